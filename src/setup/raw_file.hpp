// The raw data file and the radiometer's serial number.
#pragma once

#include <string>

#include "driver/console.hpp"
#include "driver/files.hpp"
#include "driver/state.hpp"

namespace sfmr {

// Opens the raw data file `infile`, sets sfmr.serial from its first "%P" record (asking the operator when
// there is none or it is out of range) and hands the file back in `rawfile`, positioned at its first line.
void get_infile(Console& console, State& s, const std::string& infile, TextFile& rawfile);

}  // namespace sfmr
