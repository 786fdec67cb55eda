#include "archive/nc_clock.hpp"

#include <netcdf.h>

#include <cstdint>
#include <stdexcept>

namespace sfmr::archive {

namespace {

void check(int status, const char* what) {
  if (status != NC_NOERR) throw std::runtime_error(std::string(what) + ": " + nc_strerror(status));
}

void text(int nc, int var, const char* name, const std::string& value) {
  check(nc_put_att_text(nc, var, name, value.size(), value.data()), name);
}

}  // namespace

ClockVariables define_clock_variables(int nc, int time_dim, const std::string& time_units) {
  ClockVariables v;
  check(nc_def_var(nc, "time_recorded", NC_DOUBLE, 1, &time_dim, &v.recorded), "time_recorded");
  check(nc_def_var_deflate(nc, v.recorded, 1, 1, 4), "time_recorded");
  text(nc, v.recorded, "long_name", "time of the second as recorded in the output file, UTC");
  text(nc, v.recorded, "units", time_units);
  text(nc, v.recorded, "calendar", "standard");
  text(nc, v.recorded, "comment",
       "Differs from time where time_quality is not time_as_recorded: a damaged aircraft record moved the "
       "data clock away from the sequence of seconds");
  check(nc_def_var(nc, "time_quality", NC_BYTE, 1, &time_dim, &v.quality), "time_quality");
  check(nc_def_var_deflate(nc, v.quality, 1, 1, 4), "time_quality");
  text(nc, v.quality, "standard_name", "status_flag");
  text(nc, v.quality, "long_name", "quality of the time of the second");
  text(nc, v.quality, "units", "1");
  const std::int8_t values[] = {0, 1, 2};
  check(nc_put_att_schar(nc, v.quality, "flag_values", NC_BYTE, 3, values), "flag_values");
  text(nc, v.quality, "flag_meanings", "time_as_recorded time_repaired time_unverified");
  text(nc, v.quality, "comment",
       "time_repaired: the recorded time was out of sequence with its neighbours (a jump away and back); "
       "time is the time of the line in the sequence, confirmed by the time where the sequence resumes. "
       "time_unverified: replaced the same way, but the sequence does not confirm it (seconds lost within "
       "the run, or a clock that never returned). time_recorded keeps the printed time");
  text(nc, v.quality, "coordinates", "time lat lon height");
  return v;
}

void put_clock_variables(int nc, const ClockVariables& vars, const std::vector<flight::OutSecond>& seconds) {
  std::vector<double> recorded;
  std::vector<signed char> quality;
  recorded.reserve(seconds.size());
  quality.reserve(seconds.size());
  for (const auto& s : seconds) {
    recorded.push_back(static_cast<double>(s.recorded));
    quality.push_back(static_cast<signed char>(s.time_quality));
  }
  check(nc_put_var_double(nc, vars.recorded, recorded.data()), "time_recorded");
  check(nc_put_var_schar(nc, vars.quality, quality.data()), "time_quality");
}

}  // namespace sfmr::archive
