// The calibration file: nine constants per channel for the radiometer of sfmr.serial.
//
// Layout: a block for each radiometer, headed by a line whose columns 1-3 are "US-" and whose columns 4-6
// hold its serial number (a whole number, blanks around it allowed), followed by six lines of nine constants
// c1..c9 for channels 0..5 in order. Lines with "#" in column 1 inside a block are comments. Lines outside
// the wanted block are never parsed, except the headers of other radiometers.
#pragma once

#include <string>

#include "core/console.hpp"
#include "core/files.hpp"
#include "core/state.hpp"

namespace sfmr {

// Loads the calibration block of sfmr.serial from `calfile` into cal.coef; failures end the run (status 1):
//   the file does not open            "Error on file open.  File:<name> Err:<status i5>"
//   the block or one of its six lines is missing       "Unexpected EOF in Cal file"
//   a header without a whole number in columns 4-6, or a constant line without nine readable numbers
//                                     "Bad line in Cal file: <line without trailing blanks>"
// A slash on a constant line ends it early and keeps the previous values of the constants it did not reach.
void get_cals(Console& console, State& s, const std::string& calfile);

// The reading of an open calibration file: finds the block of sfmr.serial among the lines of `next_line` and
// fills cal.coef; the same failures as get_cals after the open.
void read_cals(const LineSource& next_line, State& s);

}  // namespace sfmr
