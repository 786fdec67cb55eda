#include "sonde/matchups.hpp"

#include "core/text.hpp"

namespace sfmr::sonde {

std::vector<Matchup> collocate_all(const ReadResult& read, const std::vector<FlightSeries>& flights,
                                   const CentreTrack& track, const Limits& limits) {
  std::vector<Matchup> out;
  out.reserve(read.sondes.size());
  for (const Sonde& s : read.sondes) out.push_back(collocate(s.splash, flights, track, limits));
  return out;
}

Table matchups_columns(const ReadResult& read, const ReductionTable& table,
                       const std::vector<Matchup>& matchups) {
  Table t = sondes_columns(read, table);
  using K = ColumnKind;
  const std::size_t first = t.size();
  t.push_back(
      {"matched", K::kText, "", "", "collocated with the radiometer: yes or no (why not in note)", {}, {}});
  t.push_back({"sfmr_time", K::kTime, "", "time", "radiometer's second nearest to the splash point", {}, {}});
  t.push_back(
      {"sfmr_lat", K::kNumber, "degrees_north", "latitude", "aircraft latitude at that second", {}, {}});
  t.push_back(
      {"sfmr_lon", K::kNumber, "degrees_east", "longitude", "aircraft longitude at that second", {}, {}});
  t.push_back({"sfmr_wind_speed",
               K::kNumber,
               "m s-1",
               "wind_speed",
               "radiometer 10-m wind speed, 10-s mean",
               {},
               {}});
  t.push_back(
      {"sfmr_rain_rate", K::kNumber, "mm h-1", "rainfall_rate", "radiometer rain rate, 10-s mean", {}, {}});
  t.push_back({"sfmr_wind_speed_standard_error",
               K::kNumber,
               "m s-1",
               "",
               "standard error of the radiometer wind speed, 10-s mean",
               {},
               {}});
  t.push_back({"distance_km", K::kNumber, "km", "", "distance of that second from the splash point", {}, {}});
  t.push_back({"time_difference_s", K::kNumber, "s", "", "radiometer time minus splash time", {}, {}});
  t.push_back({"storm_range_km", K::kNumber, "km", "", "splash point's range from the storm centre", {}, {}});
  t.push_back({"storm_bearing_deg",
               K::kNumber,
               "degree",
               "",
               "splash point's bearing from the storm centre",
               {},
               {}});
  Column& note = t[first - 1];
  const std::size_t rows = note.cells.size();
  for (std::size_t r = 0; r < rows; ++r) {
    const Matchup m = r < matchups.size() ? matchups[r] : Matchup{};
    if (!m.matched && r < matchups.size())
      note.cells[r] += (note.cells[r].empty() ? "" : "; ") + std::string("not matched: ") + m.reason;
    t[first].cells.push_back(m.matched ? "yes" : "no");
    const double v[] = {m.time,
                        m.lat,
                        m.lon,
                        m.wind,
                        m.rain,
                        m.wind_se,
                        m.distance_km,
                        m.time_difference_s,
                        m.storm_range_km,
                        m.storm_bearing_deg};
    const int decimals[] = {0, 4, 4, 2, 2, 2, 3, 0, 2, 1};
    for (std::size_t k = 0; k < std::size(v); ++k) {
      Column& c = t[first + 1 + k];
      c.values.push_back(v[k]);
      c.cells.push_back(c.kind == K::kTime ? iso_time(v[k]) : format_trimmed(v[k], decimals[k]));
    }
  }
  return t;
}

std::vector<Pair> matched_pairs(const ReadResult& read, const ReductionTable& table,
                                const std::vector<Matchup>& matchups) {
  std::vector<Pair> out;
  for (std::size_t i = 0; i < read.sondes.size() && i < matchups.size(); ++i) {
    const Matchup& m = matchups[i];
    if (!m.matched) continue;
    const SurfaceEstimate e = estimate_surface_wind(read.sondes[i], table);
    if (!e.wind.known()) continue;
    out.push_back({e.wind.speed, m.wind, m.rain, combined_error(m.wind_se, e.error, m.representativeness)});
  }
  return out;
}

}  // namespace sfmr::sonde
