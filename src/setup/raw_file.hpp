// The raw data file and the radiometer's serial number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/console.hpp"
#include "core/files.hpp"
#include "core/state.hpp"

namespace sfmr {

// Opens the raw data file `infile`, sets sfmr.serial from its first "%P" record (asking the operator when
// there is none or it is out of range) and hands the file back in `rawfile`, positioned at its first line.
// A file that does not open ends the run (status 1); the operator's refusal or "q" ends it with status 0.
void get_infile(Console& console, State& s, const std::string& infile, TextFile& rawfile);

// Length of the field that takes the operator's answers at the serial-number prompts.
constexpr std::size_t kSerialAnswerLength = 12;

// A line that is a serial-number record: its first two characters are "%P".
bool is_serial_record(std::string_view line);

// Serial number from a "%P" record: the second whole number of the free-format list from column 3 on; 0 when
// the list does not give two whole numbers.
std::int32_t serial_from_record(const std::string& line);

}  // namespace sfmr
