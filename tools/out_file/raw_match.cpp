#include "out_file/raw_match.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "core/constants.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "records/aircraft.hpp"
#include "records/fields.hpp"

namespace sfmr::flight {

namespace {

// The position of an aircraft record, NaN when it does not read; whether the output has a line at its time.
struct AircraftSecond {
  float lat = NAN, lon = NAN;  // deg
  bool has_line = false;
};

// Time and position of each aircraft record ("%A" tag, date, time, latitude, longitude, ...) whose time
// decodes (decodetime), the first record of each second of the day; a position that does not read is NaN.
// The date is not needed: a raw file without a decodable date is converted with --date. Returns the status
// of the read (0, or an errno value).
int read_aircraft_positions(const std::string& path, std::unordered_map<int, AircraftSecond>& at) {
  TextFile raw;
  if (const int status = raw.open(path); status != 0) return status;
  std::string line(kLineLength, ' ');
  int status = 0;
  while ((status = raw.read(line)) == 0) {
    if (line.compare(0, 2, "%A") != 0) continue;
    FieldCursor fields(line);
    fields.next();  // tag
    fields.next();  // date
    std::int32_t sec = -1;
    decodetime(fields.next(), sec);
    if (sec < 0 || sec >= kSecondsPerDay) continue;
    float lat = NAN, lon = NAN;
    if (!read_value(fields.next(), &lat) || !read_value(fields.next(), &lon)) lat = lon = NAN;
    at.try_emplace(sec, AircraftSecond{.lat = lat, .lon = lon});
  }
  return status > 0 ? status : 0;
}

}  // namespace

std::string raw_mismatch(const std::string& raw_path, const std::string& out_name,
                         const std::vector<OutSecond>& seconds) {
  std::unordered_map<int, AircraftSecond> at;
  if (const int status = read_aircraft_positions(raw_path, at); status != 0)
    return raw_path + ": cannot read (" + std::strerror(status) + ")";
  std::size_t compared = 0, placed = 0;
  for (const OutSecond& o : seconds) {
    const auto a = at.find(o.clock);
    if (a == at.end()) continue;
    a->second.has_line = true;
    const auto [lat, lon, has_line] = a->second;
    if (!(std::isfinite(lat) && std::isfinite(lon) && std::isfinite(o.Lat) && std::isfinite(o.Lon))) continue;
    ++compared;
    if (std::fabs(lat - o.Lat) <= kRawPositionTolerance && std::fabs(lon - o.Lon) <= kRawPositionTolerance)
      ++placed;
  }
  const auto shared = static_cast<std::size_t>(
      std::count_if(at.begin(), at.end(), [](const auto& a) { return a.second.has_line; }));
  const std::string head = raw_path + " is not the raw file of " + out_name + " (";
  if (shared == 0)
    return head + "none of its " + std::to_string(at.size()) + " aircraft times is the time of one of the " +
           std::to_string(seconds.size()) + " output lines)";
  if (static_cast<double>(at.size() - shared) > kRawExtraShare * static_cast<double>(at.size()))
    return head + "it has aircraft records at " + std::to_string(at.size() - shared) + " of its " +
           std::to_string(at.size()) + " seconds for which the output has no line)";
  if (2 * placed < compared)
    return head + "its aircraft positions differ from the output's at " + std::to_string(compared - placed) +
           " of the " + std::to_string(compared) + " seconds they share)";
  return {};
}

}  // namespace sfmr::flight
