#include "archive/nc_clock.hpp"

#include <cstdint>

namespace sfmr::archive {

namespace {
constexpr int kDeflateLevel = 4;  // as the flight file's other series
}  // namespace

ClockVariables define_clock_variables(nc::File& nc, int time_dim, const std::string& time_units) {
  ClockVariables v;
  v.recorded = nc.var("time_recorded", NC_DOUBLE, {time_dim}, kDeflateLevel);
  nc.text(v.recorded, "long_name", "time of the second as recorded in the output file, UTC");
  nc.text(v.recorded, "units", time_units);
  nc.text(v.recorded, "calendar", "standard");
  nc.text(v.recorded, "comment",
          "Differs from time where time_quality is not time_as_recorded: a damaged aircraft record moved the "
          "data clock away from the sequence of seconds");
  v.quality = nc.var("time_quality", NC_BYTE, {time_dim}, kDeflateLevel);
  nc.text(v.quality, "standard_name", "status_flag");
  nc.text(v.quality, "long_name", "quality of the time of the second");
  nc.text(v.quality, "units", "1");
  const std::int8_t values[] = {0, 1, 2};
  nc.bytes(v.quality, "flag_values", values);
  nc.text(v.quality, "flag_meanings", "time_as_recorded time_repaired time_unverified");
  nc.text(v.quality, "comment",
          "time_repaired: the recorded time was out of sequence with its neighbours (a jump away and back); "
          "time is the time of the line in the sequence, confirmed by the time where the sequence resumes. "
          "time_unverified: replaced the same way, but the sequence does not confirm it (seconds lost within "
          "the run, or a clock that never returned). time_recorded keeps the printed time");
  nc.text(v.quality, "coordinates", "time lat lon height");
  return v;
}

void put_clock_variables(nc::File& nc, const ClockVariables& vars,
                         const std::vector<flight::OutSecond>& seconds) {
  std::vector<double> recorded;
  std::vector<signed char> quality;
  recorded.reserve(seconds.size());
  quality.reserve(seconds.size());
  for (const auto& s : seconds) {
    recorded.push_back(static_cast<double>(s.recorded));
    quality.push_back(static_cast<signed char>(s.time_quality));
  }
  nc.put(vars.recorded, recorded.data(), "time_recorded");
  nc.put(vars.quality, quality.data(), "time_quality");
}

}  // namespace sfmr::archive
