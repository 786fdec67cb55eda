// The TEMP DROP writer (see tempdrop.hpp): one bulletin, parts XXAA and XXBB, winds in knots.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "sonde/surface_wind.hpp"
#include "sonde/tempdrop.hpp"
#include "sonde/tempdrop_codes.hpp"

namespace sfmr::sonde {

namespace {

using namespace tempdrop;

// Groups written eleven to a line (65 characters), the part's sections each on a line of their own.
class PartWriter {
 public:
  void group(const std::string& g) {
    if (count_ == 11) newline();
    if (count_ > 0) text_ += ' ';
    text_ += g;
    ++count_;
  }
  void newline() {
    if (count_ > 0) text_ += '\n';
    count_ = 0;
  }
  // The remarks wrapped at 65 characters wherever the limit falls; the part's `=` after them.
  void remarks(const std::string& line) {
    newline();
    for (std::size_t at = 0; at < line.size(); at += kRemarkWidth)
      text_ += line.substr(at, kRemarkWidth) + "\n";
  }
  std::string take() { return text_; }

 private:
  std::string text_;
  int count_ = 0;
};

std::string two(long v) {
  return format_I(v, 2, 2);
}

// The hour and minute of a time, hhmmss of it, and its day of the month.
long seconds_of_day(double t) {
  return static_cast<long>(std::floor(t - std::floor(t / kSecondsPerDay) * kSecondsPerDay));
}
int day_of_month(double t) {
  int y = 0, m = 0, d = 0;
  civil_from_days(static_cast<long>(std::floor(t / kSecondsPerDay)), y, m, d);
  return d;
}
std::string hhmmss(double t) {
  const long s = std::lround(seconds_of_day(t));
  return two(s / 3600) + two(s / 60 % 60) + two(s % 60);
}

// The observation's time: the splash, else the release.
double observation_time(const Sonde& s) {
  return std::isfinite(s.splash.time) ? s.splash.time : s.release.time;
}

// `YYGGx 99LaLaLa QcLoLoLoLo`, winds in knots (day + 50); x the last standard level with a wind (part A) or
// `/`.
void ident(PartWriter& w, const Sonde& s, char last) {
  // The nominal hour is the nearest whole hour, with its day: 23:45 on the 7th is the 8th at 00.
  const double t = std::floor(observation_time(s) / 3600.0 + 0.5) * 3600.0;
  w.group(two(day_of_month(t) + 50) + two(seconds_of_day(t) / 3600) + last);
  const double lat = s.release.lat, lon = s.release.lon;
  const int qc = lat >= 0 ? (lon < 0 ? 7 : 1) : (lon < 0 ? 5 : 3);
  w.group("99" + format_I(std::lround(std::fabs(lat) * 10.0), 3, 3));
  w.group(std::to_string(qc) + format_I(std::lround(std::fabs(lon) * 10.0), 4, 4));
}

std::string pressure_code(double p) {
  return format_I(std::lround(p) % 1000, 3, 3);
}

void sections(PartWriter& w, const Sonde& s) {
  w.newline();
  if (std::isfinite(s.release.time)) {
    const long t = seconds_of_day(s.release.time);
    w.group("31313");
    w.group("/////");
    std::string launch = two(t / 3600) + two(t / 60 % 60);
    launch.insert(0, 1, '8');
    w.group(launch);
    w.newline();
  }
  if (!s.aircraft.empty()) {
    w.group("61616");
    w.group(s.aircraft);
    w.group(s.mission.empty() ? "/////" : s.mission);
    if (!s.storm.empty()) w.group(s.storm);
    w.group("OB");
    w.group(two(s.observation));
    w.newline();
  }
  std::string r = "62626";
  if (!s.where.empty()) r += " " + s.where;
  if (std::isfinite(s.release.lat) && std::isfinite(s.release.time))
    r += " REL " + encode_position(s.release.lat, s.release.lon) + " " + hhmmss(s.release.time);
  if (std::isfinite(s.splash.lat) && std::isfinite(s.splash.time))
    r += " SPG " + encode_position(s.splash.lat, s.splash.lon) + " " + hhmmss(s.splash.time);
  if (s.mbl.wind.known()) r += " MBL WND " + encode_wind(s.mbl.wind);
  if (s.wl150.wind.known() && std::isfinite(s.wl150.mean_height))
    r += " WL150 " + encode_wind(s.wl150.wind) + " " + format_I(std::lround(s.wl150.mean_height), 3, 3);
  if (std::isfinite(s.last_wind_height)) r += " LST WND " + format_I(std::lround(s.last_wind_height), 3, 3);
  w.remarks(r + " =");
}

const Level* surface_level(const Sonde& s) {
  for (const Level& l : s.levels) {
    if (l.kind == LevelKind::kSurface) return &l;
  }
  return nullptr;
}

// Pressure levels of a sounding's samples are kept this far apart in the message, hPa.
constexpr double kLevelSpacing = 10.0;
constexpr std::array<double, 11> kStandardPressures{1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100};

// The value at `p` between two samples, linear in ln p.
double between(double p, const Level& a, const Level& b, double va, double vb) {
  const double w = std::log(a.pressure / p) / std::log(a.pressure / b.pressure);
  return std::isfinite(w) ? va + w * (vb - va) : va;
}

Level standard_level(double p, const Level& a, const Level& b) {
  Level l;
  l.kind = LevelKind::kStandard, l.pressure = p;
  l.height = between(p, a, b, a.height, b.height);
  l.temperature = between(p, a, b, a.temperature, b.temperature);
  l.dewpoint_depression = between(p, a, b, a.dewpoint_depression, b.dewpoint_depression);
  if (a.wind.known() && b.wind.known()) {
    const double ra = a.wind.from_deg * std::numbers::pi / 180.0,
                 rb = b.wind.from_deg * std::numbers::pi / 180.0;
    const double u = between(p, a, b, a.wind.speed * std::sin(ra), b.wind.speed * std::sin(rb));
    const double v = between(p, a, b, a.wind.speed * std::cos(ra), b.wind.speed * std::cos(rb));
    double dir = std::atan2(u, v) * 180.0 / std::numbers::pi;
    l.wind = {.from_deg = dir < 0.0 ? dir + 360.0 : dir, .speed = std::hypot(u, v)};
  }
  return l;
}

// A sounding (samples only) as a message would state it: the surface at 0 m (its pressure from the lowest
// sample by the hypsometric equation, its temperature that sample's), the standard levels interpolated in
// ln p, significant temperature and wind levels every kLevelSpacing hPa, the surface wind the lowest
// sample's when within 15 m of the sea (else its height as LST WND), and WL150 and MBL from the samples.
Sonde message_from_samples(const Sonde& in) {
  Sonde s = in;
  std::vector<Level> samples;
  for (const Level& l : in.levels) {
    if (std::isfinite(l.pressure) && std::isfinite(l.height)) samples.push_back(l);
  }
  std::stable_sort(samples.begin(), samples.end(),
                   [](const Level& a, const Level& b) { return a.pressure > b.pressure; });
  s.levels.clear();
  if (samples.empty()) return s;
  const Level& low = samples.front();
  Level surface = low;
  surface.kind = LevelKind::kSurface, surface.height = 0.0, surface.wind = {}, surface.time = kNaN;
  const double tv = std::isfinite(low.temperature)
                        ? virtual_temperature(low.temperature, low.dewpoint_depression, low.pressure)
                        : 288.0;
  surface.pressure = low.pressure * std::exp(low.height * kGravity / (kDryAirGasConstant * tv));
  s.levels.push_back(surface);
  for (double p : kStandardPressures) {
    for (std::size_t k = 0; k + 1 < samples.size(); ++k) {
      if (p <= samples[k].pressure && p >= samples[k + 1].pressure && p <= surface.pressure) {
        s.levels.push_back(standard_level(p, samples[k], samples[k + 1]));
        break;
      }
    }
  }
  double last_t = surface.pressure, last_w = surface.pressure;
  for (const Level& l : samples) {
    if (std::isfinite(l.temperature) && last_t - l.pressure >= kLevelSpacing) {
      Level t = l;
      t.kind = LevelKind::kSignificant, t.height = kNaN, t.time = kNaN, t.wind = {};
      s.levels.push_back(t);
      last_t = l.pressure;
    }
    if (l.wind.known() && last_w - l.pressure >= kLevelSpacing) {
      Level w;
      w.kind = LevelKind::kWind, w.pressure = l.pressure, w.wind = l.wind;
      s.levels.push_back(w);
      last_w = l.pressure;
    }
  }
  const LayerWind wl150 = wl150_from_profile(in.levels), mbl = mbl_from_profile(in.levels);
  if (!s.wl150.wind.known()) s.wl150 = wl150;
  if (!s.mbl.wind.known()) s.mbl = mbl;
  for (const Level& l : in.levels) {
    if (!l.wind.known() || !std::isfinite(l.height) || l.height >= s.surface_wind_height) continue;
    s.surface_wind_height = l.height;
    if (!in.surface_wind.known()) s.surface_wind = l.wind;
  }
  if (std::isfinite(s.surface_wind_height) && s.surface_wind_height > kLowestWindHeight) {
    s.last_wind_height = s.surface_wind_height;
    if (!in.surface_wind.known()) s.surface_wind = {};
  }
  return s;
}

}  // namespace

std::string write_tempdrop(const Sonde& record) {
  const bool samples_only = std::all_of(record.levels.begin(), record.levels.end(),
                                        [](const Level& l) { return l.kind == LevelKind::kSample; });
  const Sonde s = samples_only && !record.levels.empty() ? message_from_samples(record) : record;
  const double t = observation_time(s);
  // Sent ten minutes after the splash.
  std::string out = "UZNT13 KNHC " + two(day_of_month(t + 600.0)) + hhmmss(t + 600.0).substr(0, 4) + "\n";
  const Level* sfc = surface_level(s);
  std::vector<const Level*> standard, significant, winds;
  for (const Level& l : s.levels) {
    if (l.kind == LevelKind::kStandard) standard.push_back(&l);
    if (l.kind == LevelKind::kSignificant) significant.push_back(&l);
    const bool surface_wind = s.surface_wind.known() && sfc != nullptr && l.pressure == sfc->pressure;
    if ((l.kind == LevelKind::kWind || l.kind == LevelKind::kSample) && l.wind.known() && !surface_wind)
      winds.push_back(&l);
  }
  // Part A: the surface, the standard levels (winds down from the last one that has a wind).
  double last = kNaN;
  for (const Level* l : standard) {
    if (l->wind.known() && !(l->pressure >= last)) last = l->pressure;
  }
  const char digit = !std::isfinite(last) ? '/'
                     : last == 1000       ? '0'
                     : last == 925        ? '9'
                     : last == 850        ? '8'
                                          : static_cast<char>('0' + static_cast<int>(last / 100) % 10);
  PartWriter a;
  a.group("XXAA ");
  ident(a, s, digit);
  if (sfc != nullptr) {
    a.group("99" + pressure_code(sfc->pressure));
    a.group(encode_temperature(sfc->temperature, sfc->dewpoint_depression));
    a.group(encode_wind(s.surface_wind));
  }
  for (const Level* l : standard) {
    const double p = l->pressure;
    a.group(format_I(p == 1000  ? 0
                     : p == 925 ? 92
                                : static_cast<long>(p / 10) % 100,
                     2, 2) +
            encode_height(p, l->height));
    a.group(encode_temperature(l->temperature, l->dewpoint_depression));
    if (std::isfinite(last) && p >= last) a.group(encode_wind(l->wind));
  }
  a.group("88999");
  a.group("77999");
  sections(a, s);
  // Part B: the significant temperature levels from the surface, then 21212 and the wind levels.
  PartWriter b;
  b.group("XXBB ");
  ident(b, s, '/');
  const auto nn = [](std::size_t k) { return two(static_cast<long>(k == 0 ? 0 : (k - 1) % 9 + 1) * 11); };
  std::size_t k = 0;
  if (sfc != nullptr) {
    b.group("00" + pressure_code(sfc->pressure));
    b.group(encode_temperature(sfc->temperature, sfc->dewpoint_depression));
    k = 1;
  }
  for (const Level* l : significant) {
    b.group(nn(std::max<std::size_t>(k++, 1)) + pressure_code(l->pressure));
    b.group(encode_temperature(l->temperature, l->dewpoint_depression));
  }
  b.newline();
  b.group("21212");
  k = 0;
  if (s.surface_wind.known() && sfc != nullptr) {
    b.group("00" + pressure_code(sfc->pressure));
    b.group(encode_wind(s.surface_wind));
  }
  for (const Level* l : winds) {
    b.group(nn(++k) + pressure_code(l->pressure));
    b.group(encode_wind(l->wind));
  }
  sections(b, s);
  return out + a.take() + b.take();
}

}  // namespace sfmr::sonde
