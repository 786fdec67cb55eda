#include "sonde/eol.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <vector>

#include "common/input.hpp"
#include "common/time_text.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::sonde {

namespace {

constexpr std::size_t kColumns = 17;
constexpr double kMissingValue = -999.0;  // the files' missing value
constexpr std::string_view kFirstKey = "Data Type/Direction";
constexpr std::string_view kLocationKey = "Launch Location (lon,lat,alt)";
constexpr std::string_view kTimeKey = "UTC Launch Time (y,m,d,h,m,s)";
constexpr std::string_view kIdKey = "Sonde Id/Sonde Type";
constexpr std::string_view kProjectKey = "Project Name/Platform";

std::string_view strip(std::string_view s) {
  const std::size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string_view::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// The file's lines in turn; `number` is the line last given (from 1).
struct Lines {
  std::vector<std::string_view> all;
  std::size_t number = 0;
  bool next(std::string_view& line) {
    if (number == all.size()) return false;
    line = all[number++];
    return true;
  }
};

SondeError fault(std::size_t line, const std::string& what) {
  return SondeError("line " + std::to_string(line) + ": " + what);
}

// "-65.87 W" or "-65.87": the number, negated when a positive one is followed by W or S.
std::optional<double> coordinate(std::string_view s) {
  s = strip(s);
  bool negate = false;
  if (!s.empty() && (s.back() == 'W' || s.back() == 'S' || s.back() == 'E' || s.back() == 'N')) {
    negate = s.back() == 'W' || s.back() == 'S';
    s = strip(s.substr(0, s.size() - 1));
  }
  float v = 0.0f;
  if (s.empty() || s.find_first_of(",/* \t") != std::string_view::npos || !read_value(s, &v))
    return std::nullopt;
  return negate && v > 0.0f ? -v : v;
}

void read_location(std::string_view value, std::size_t line, Sonde& s) {
  std::array<std::optional<double>, 3> v;
  std::size_t k = 0;
  while (k < 3) {
    const std::size_t comma = value.find(',');
    v[k++] = coordinate(value.substr(0, comma));
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  if (k < 2 || !v[0] || !v[1] || (k == 3 && !v[2]) || std::fabs(*v[0]) > 360.0 || std::fabs(*v[1]) > 90.0)
    throw fault(line, std::string(kLocationKey) + ": not 'lon, lat, alt'");
  s.release.lon = *v[0] > 180.0 ? *v[0] - 360.0 : *v[0];
  s.release.lat = *v[1];
  s.release_altitude = k == 3 ? *v[2] : kNaN;
}

void read_launch_time(std::string_view value, std::size_t line, Sonde& s) {
  std::string text(value);
  for (char& c : text) c = c == ':' ? ' ' : c;
  std::int32_t y = 0, m = 0, d = 0, hh = 0, mm = 0;
  float ss = 0.0f;
  int filled = 0;
  if (text.find_first_of("/*") != std::string::npos ||
      read_free(text, {&y, &m, &d, &hh, &mm, &ss}, &filled) > 0 || filled != 6 || y < 1900 || y > 2999 ||
      m < 1 || m > 12 || d < 1 || d > 31 || hh > 23 || hh < 0 || mm < 0 || mm > 59 ||
      !(ss >= 0.0f && ss < 61.0f))
    throw fault(line, std::string(kTimeKey) + ": not 'y, m, d, hh:mm:ss'");
  s.release.time =
      static_cast<double>(days_from_civil(y, m, d)) * kSecondsPerDay + hh * 3600.0 + mm * 60.0 + ss;
}

// The header up to and including the dashes line; returns with `lines` at the first row.
void read_header(Lines& lines, Sonde& s) {
  std::string_view line;
  bool location = false, time = false;
  while (lines.next(line) && strip(line).empty()) {
  }
  if (strip(line).substr(0, kFirstKey.size()) != kFirstKey)
    throw fault(lines.number, "not an EOL sounding file (no '" + std::string(kFirstKey) + ":')");
  while (true) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) break;  // the column names
    const std::string_view key = strip(line.substr(0, colon)), value = strip(line.substr(colon + 1));
    if (key == kLocationKey) read_location(value, lines.number, s), location = true;
    if (key == kTimeKey) read_launch_time(value, lines.number, s), time = true;
    if (key == kIdKey) s.id = std::string(strip(value.substr(0, value.find('/'))));
    if (key == kProjectKey && value.find('/') != std::string_view::npos) {
      s.mission = std::string(strip(value.substr(0, value.find('/'))));
      s.aircraft = std::string(strip(value.substr(value.find('/') + 1)));
    }
    if (!lines.next(line)) throw fault(lines.number, "header ends before the column names");
  }
  if (strip(line).empty()) throw fault(lines.number, "blank line where the column names belong");
  if (!location) throw fault(lines.number, "no '" + std::string(kLocationKey) + ":' in the header");
  if (!time) throw fault(lines.number, "no '" + std::string(kTimeKey) + ":' in the header");
  if (!lines.next(line) || strip(line).empty()) throw fault(lines.number, "no line of units");
  if (!lines.next(line) || strip(line).empty() ||
      strip(line).find_first_not_of("- ") != std::string_view::npos)
    throw fault(lines.number, "no line of dashes under the column names and units");
}

double value_or_nan(float v) {
  return std::fabs(v - kMissingValue) < 0.005 ? kNaN : static_cast<double>(v);
}

}  // namespace

bool looks_like_eol(std::string_view text) {
  const std::string_view s = strip(text);
  return s.substr(0, kFirstKey.size()) == kFirstKey;
}

Sonde read_eol(std::string_view text, std::string_view name) {
  Sonde s;
  s.heading = std::string(name);
  Lines lines{tool::lines_of(text)};
  read_header(lines, s);
  std::string_view line;
  while (lines.next(line)) {
    if (strip(line).empty()) continue;
    std::array<float, kColumns> v{};
    int filled = 0;
    if (line.find_first_of("/*") != std::string_view::npos || read_free(line, v, &filled) > 0 ||
        filled != static_cast<int>(kColumns))
      throw fault(lines.number, "not a row of 17 numbers");
    Level l;
    l.time = value_or_nan(v[0]), l.pressure = value_or_nan(v[4]), l.temperature = value_or_nan(v[5]);
    l.dewpoint_depression = l.temperature - value_or_nan(v[6]);
    l.wind = {.from_deg = value_or_nan(v[11]), .speed = value_or_nan(v[10])};
    const double u = value_or_nan(v[8]), w = value_or_nan(v[9]);
    if (!l.wind.known() && std::isfinite(u) && std::isfinite(w)) {
      const double dir = std::atan2(-u, -w) * 180.0 / std::numbers::pi;
      l.wind = {.from_deg = dir < 0.0 ? dir + 360.0 : dir, .speed = std::hypot(u, w)};
    }
    l.height = std::isfinite(value_or_nan(v[13])) ? value_or_nan(v[13]) : value_or_nan(v[16]);
    const double lon = value_or_nan(v[14]), lat = value_or_nan(v[15]);
    // Rows before the launch (negative times) are not the fall.
    if (std::isfinite(lat) && std::isfinite(lon) && l.time >= 0.0 &&
        !(l.time < s.splash.time - s.release.time))
      s.splash = {.time = s.release.time + l.time, .lat = lat, .lon = lon};
    s.levels.push_back(l);
  }
  if (s.levels.empty()) throw fault(lines.number, "no data rows");
  if (s.id.empty()) s.id = std::string(name);
  return s;
}

std::string write_eol(const Sonde& s) {
  const auto header = [](std::string_view key, const std::string& value) {
    return std::string(key) + ":" + std::string(key.size() < 42 ? 42 - key.size() : 1, ' ') + value + "\n";
  };
  // Each number after a blank, so that a missing value filling its width stays apart from its neighbour.
  const auto number = [](double v, int w, int d) {
    std::string field(1, ' ');
    field += format_F(std::isfinite(v) ? v : kMissingValue, w, d);
    return field;
  };
  const double t0 = s.release.time;
  int y = 0, mo = 0, d = 0;
  civil_from_days(static_cast<long>(std::floor(t0 / kSecondsPerDay)), y, mo, d);
  const double sod = t0 - std::floor(t0 / kSecondsPerDay) * kSecondsPerDay;
  const long whole = static_cast<long>(sod);
  std::string out = header(kFirstKey, "AVAPS SOUNDING DATA, Channel 1/Descending");
  out += header("File Format/Version", "EOL Sounding Format/1.1");
  out += header(kProjectKey, s.mission + "/" + s.aircraft);
  out += header(kLocationKey, number(s.release.lon, 11, 5) + "," + number(s.release.lat, 10, 5) + "," +
                                  number(s.release_altitude, 9, 1));
  out += header(kTimeKey, format_I(y, 4) + ", " + format_I(mo, 2, 2) + ", " + format_I(d, 2, 2) + ", " +
                              tool::clock_text(whole));
  out += header(kIdKey, s.id + "/");
  out += header("System Operator/Comments", s.where);
  out +=
      " Time  -- UTC  --   Press    Temp   Dewpt    RH   Uwind  Vwind   Wspd    Dir     dZ  GeoPoAlt"
      "         Lon        Lat   GPSAlt\n";
  out +=
      "  sec  hh mm   ss     mb       C       C     %     m/s    m/s    m/s    deg    m/s         m"
      "         deg        deg        m\n";
  out +=
      "------ -- -- ----- ------- ------- ------- ----- ------ ------ ------ ------ ------ ---------"
      " ----------- ---------- --------\n";
  std::size_t last_row = 0;  // the splash point goes on the last row written
  for (std::size_t k = 0; k < s.levels.size(); ++k) last_row = std::isfinite(s.levels[k].time) ? k : last_row;
  for (std::size_t k = 0; k < s.levels.size(); ++k) {
    const Level& l = s.levels[k];
    if (!std::isfinite(l.time)) continue;
    const double t = sod + l.time;
    const double tod = t - std::floor(t / kSecondsPerDay) * kSecondsPerDay;
    const long hms = static_cast<long>(tod);
    const double a = l.wind.from_deg * std::numbers::pi / 180.0;
    const double u = -l.wind.speed * std::sin(a), v = -l.wind.speed * std::cos(a);
    // Fall speed from the neighbouring rows' heights, m/s (negative downwards).
    double dz = kNaN;
    if (k > 0 && std::isfinite(s.levels[k - 1].time) && l.time > s.levels[k - 1].time)
      dz = (l.height - s.levels[k - 1].height) / (l.time - s.levels[k - 1].time);
    const bool last = k == last_row;
    out += number(l.time, 6, 2) + " " + format_I(hms / 3600, 2, 2) + " " + format_I(hms / 60 % 60, 2, 2) +
           " " + number(tod - static_cast<double>(hms / 60 * 60), 5, 2) + number(l.pressure, 8, 2) +
           number(l.temperature, 8, 2) + number(l.temperature - l.dewpoint_depression, 8, 2) +
           number(kNaN, 6, 1) + number(u, 7, 2) + number(v, 7, 2) + number(l.wind.speed, 7, 2) +
           number(l.wind.from_deg, 7, 2) + number(dz, 7, 2) + number(l.height, 10, 2) +
           number(last ? s.splash.lon : kNaN, 12, 6) + number(last ? s.splash.lat : kNaN, 11, 6) +
           number(l.height, 9, 2) + "\n";
  }
  return out;
}

}  // namespace sfmr::sonde
