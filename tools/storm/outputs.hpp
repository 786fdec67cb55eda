// The results of a storm analysis as files: the three CSV tables, the specialist's report, ATCF f-deck
// aircraft fixes and the storm-relative netCDF file.
#pragma once

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "common/time_text.hpp"
#include "core/constants.hpp"
#include "storm/analysis.hpp"
#include "tracks/track_file.hpp"

namespace sfmr::storm {

using sfmr::kKmPerNmi;
using sfmr::kMsPerKt;

// What the outputs need besides the analysis.
struct Context {
  std::vector<Series> flights;
  const StormTrack* track = nullptr;  // the --track storm, or none
  std::string track_file;             // as named on the command line
  std::string command_line;
};

// YYYY-MM-DDTHH:MM:SSZ of seconds since 1970 (rounded to the second).
using tool::iso_time;

void write_centres_csv(std::ostream& out, const Analysis& an, const Context& ctx);
void write_legs_csv(std::ostream& out, const Analysis& an, const Context& ctx);
void write_radii_csv(std::ostream& out, const Analysis& an);
void write_report(std::ostream& out, const Analysis& an, const Context& ctx);
void write_fdeck(std::ostream& out, const Analysis& an, const Context& ctx);

// Writes the netCDF file at `path` (created there). Throws std::runtime_error.
void write_storm_nc(const std::string& path, const Analysis& an, const Context& ctx);

// Data for the plots: "range_km wind leg" per retrieved leg second (blank line between legs), and
// "x_km y_km wind" in storm-relative kilometres per retrieved leg second.
void write_radial_data(std::ostream& out, const Analysis& an, const Context& ctx);

// What the plan's data span, km east (x) and north (y) of the centre, with the wind radii's quarter circles.
struct PlanExtent {
  double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
  std::size_t points = 0;
};
PlanExtent write_plan_data(std::ostream& out, const Analysis& an, const Context& ctx);

}  // namespace sfmr::storm
