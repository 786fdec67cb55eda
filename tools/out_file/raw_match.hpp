// Whether a raw data file is the one an output file was processed from, judged by the aircraft records:
// each line of the output file carries the time and position of the aircraft record ("%A") that the
// processing last decoded, so the raw file of the flight has an aircraft record at most of the output's
// times, at the position the output prints; and the processing writes a line for every second of the
// aircraft clock, so the raw file has no aircraft time that the output lacks. A raw file cut short is still
// the flight's. Simulated flights of the same track, start and length share their aircraft records and
// pass for each other.
#pragma once

#include <string>
#include <vector>

#include "out_file/out_reader.hpp"

namespace sfmr::flight {

// Largest difference between a position printed in the output file (to 0.001 deg) and the one of the
// aircraft record of the same second in the raw file (to 0.0001 deg), deg.
constexpr float kRawPositionTolerance = 0.002f;

// Largest share of the raw file's aircraft seconds that may lack an output line.
constexpr double kRawExtraShare = 0.01;

// Why the raw data file at `raw_path` is not the raw file of `seconds` (the output file `out_name`), or ""
// when it is:
//   - an aircraft record of the raw file has the time of day of an output line;
//   - at most kRawExtraShare of the raw file's aircraft seconds have no output line (on simulated flights
//     of 18 minutes to 2 hours with up to 20 % damaged and 5 % dropped records: none);
//   - where both give a position, at least half of the seconds they share have the printed position
//     (within kRawPositionTolerance; a damaged record or a line that kept an earlier position may differ:
//     2 to 8 % of them on those flights).
// A raw file that cannot be read is an error too.
std::string raw_mismatch(const std::string& raw_path, const std::string& out_name,
                         const std::vector<OutSecond>& seconds);

}  // namespace sfmr::flight
