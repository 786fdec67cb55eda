// The repaired data clock in the flight file: `time_recorded`, the time as the output file writes it, and
// `time_quality`, a flag variable saying whether `time` is that time or a repair (out_file/clock_repair.hpp).
#pragma once

#include <string>
#include <vector>

#include "archive/nc_file.hpp"
#include "out_file/out_reader.hpp"

namespace sfmr::archive {

struct ClockVariables {
  int recorded = -1, quality = -1;
};

// Defines both variables along `time_dim` (in define mode); `time_units` are those of `time`.
ClockVariables define_clock_variables(nc::File& nc, int time_dim, const std::string& time_units);

// Writes their values (in data mode).
void put_clock_variables(nc::File& nc, const ClockVariables& vars,
                         const std::vector<flight::OutSecond>& seconds);

}  // namespace sfmr::archive
