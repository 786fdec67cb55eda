// What the converter learns about a flight besides its output file: the flight date and the radiometer's
// serial number from the raw data file, and the run's parameters from the setup file. Everything is read
// with the processing's own readers and decoders (decodeacft/decodedate, serial_from_record,
// read_setup_sections), so each text has one parser.
//
// Errors come back as one message naming the file; nothing is printed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/state.hpp"

namespace sfmr::archive {

// A calendar date.
struct CalendarDate {
  int year = 0, month = 0, day = 0;
};

// Calendar date of a day number as decodedate counts them (1 January 2000 is day 1), on the proleptic
// Gregorian calendar of core/calendar.hpp (within 2000..2050, decodedate's years, every year divisible by 4
// is a leap year, as decodedate counts).
CalendarDate date_of_day(std::int32_t day);

// "YYYY-MM-DD".
std::string iso_date(const CalendarDate& date);

// Day number of a date written YYYY-MM-DD (years 2000..2050, a day that exists in its month); -1 when the
// text is not such a date. The numbers are read by decodedate itself.
std::int32_t day_of_iso_date(std::string_view text);

// From the raw data file.
struct RawFacts {
  std::int32_t day = -1;    // day number of the first "%A" record whose date decodes; -1 when there is none
  std::int32_t serial = 0;  // serial number of the first "%P" record, 1..255; 0 when missing or invalid
};

// Reads the raw data file at `path` up to its first "%P" record and its first "%A" record with a decodable
// date. Returns an empty string, or the message for a file that cannot be opened or read.
std::string read_raw_facts(const std::string& path, RawFacts& facts);

// From the setup file; each value is known only when its section was found and accepted.
struct SetupFacts {
  std::string raw_file, cal_file, sst_file;  // file names as written; empty when unknown
  bool have_freq = false, have_default_sst = false, have_filter = false;
  std::array<float, kChannels> freq{};  // GHz, 0.0 for a disabled channel
  float default_sst = 0.0f;             // deg C
  float filter = 0.0f;                  // channel filter value
};

// Reads the setup file at `path` with the processing's own section reader. File names are taken as written
// (the files need not exist where the converter runs); a file with none of the sections is an error.
// Returns an empty string or the error message.
std::string read_setup_facts(const std::string& path, SetupFacts& facts);

}  // namespace sfmr::archive
