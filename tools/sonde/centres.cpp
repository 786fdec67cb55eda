#include "sonde/centres.hpp"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "sonde/date_context.hpp"

namespace sfmr::sonde {

namespace {

std::vector<std::string_view> split(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t from = 0;
  for (std::size_t k = 0; k <= line.size(); ++k)
    if (k == line.size() || line[k] == ',') out.push_back(line.substr(from, k - from)), from = k + 1;
  return out;
}

}  // namespace

double parse_iso_time(std::string_view t) {
  if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' ||
      t[19] != 'Z')
    return kNaN;
  const int y = digits(t, 0, 4), mo = digits(t, 5, 2), d = digits(t, 8, 2);
  const int h = digits(t, 11, 2), mi = digits(t, 14, 2), s = digits(t, 17, 2);
  if (y < 0 || !is_civil_date(y, mo, d) || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
    return kNaN;
  return double{kSecondsPerDay} * static_cast<double>(days_from_civil(y, mo, d)) + h * 3600.0 + mi * 60.0 + s;
}

CentreTrack read_centres_csv(std::string_view text) {
  struct Row {
    double t, lat, lon;
    bool flight;
  };
  std::vector<Row> rows;
  const std::vector<std::string_view> lines = tool::lines_of(text);
  for (std::size_t line_no = 1; line_no <= lines.size(); ++line_no) {
    const std::string_view line = lines[line_no - 1];
    if (line_no == 1) {
      if (!line.starts_with("time,lat,lon,source"))
        throw SondeError("line 1: not a centres file of sfmrstorm");
      continue;
    }
    if (line.empty()) continue;
    const std::vector<std::string_view> f = split(line);
    const std::string where = "line " + std::to_string(line_no) + ": ";
    if (f.size() < 4) throw SondeError(where + "fewer than 4 fields");
    const double t = parse_iso_time(f[0]);
    const auto lat = tool::read_real(f[1], {.min = -90.0, .max = 90.0});
    const auto lon = tool::read_real(f[2], {.min = -360.0, .max = 360.0});
    if (!std::isfinite(t))
      throw SondeError(where + "time '" + std::string(f[0]) + "' is not YYYY-MM-DDTHH:MM:SSZ");
    if (!lat || !lon) throw SondeError(where + "latitude or longitude is not a number in range");
    rows.push_back({t, *lat, *lon, f[3] == "flight"});
  }
  const bool any_flight = std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.flight; });
  std::erase_if(rows, [any_flight](const Row& r) { return any_flight && !r.flight; });
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.t < b.t; });
  CentreTrack track;
  for (const Row& r : rows) {
    if (!track.time.empty() && r.t == track.time.back()) continue;
    track.time.push_back(r.t), track.lat.push_back(r.lat), track.lon.push_back(r.lon);
  }
  if (track.empty()) throw SondeError("no centre in the file");
  return track;
}

}  // namespace sfmr::sonde
