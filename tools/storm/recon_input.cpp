#include "storm/recon_input.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <stdexcept>

#include "recon/message_text.hpp"
#include "recon/vdm.hpp"
#include "tracks/track_file.hpp"

namespace sfmr::storm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kSmoothHalf = 2;  // lines either side of the line fit taking up the minutes' rounding
constexpr double kPeakAfterS = 15.0;    // s: a line's peaks reach this far past its time
constexpr double kHpaPerPa = 0.01;
constexpr std::size_t kTurnLines = 3;  // lines either side of a line whose course is compared
constexpr double kTurnCourse = 25.0;   // deg: a course change this large between them is a turn

// Least-squares line through (t, v) over lines [a, b] evaluated at t0; v[i] itself with fewer than 3.
double line_at(const std::vector<double>& t, const std::vector<double>& v, std::size_t a, std::size_t b,
               double t0) {
  double n = 0.0, st = 0.0, sv = 0.0, stt = 0.0, stv = 0.0;
  for (std::size_t i = a; i <= b; ++i) {
    if (!std::isfinite(v[i])) continue;
    const double x = t[i] - t0;
    n += 1.0;
    st += x;
    sv += v[i];
    stt += x * x;
    stv += x * v[i];
  }
  const double den = n * stt - st * st;
  if (n < 3.0 || den <= 0.0) return kNaN;
  const double slope = (n * stv - st * sv) / den;
  return (sv - slope * st) / n;
}

// Smoothed positions of the lines: the line fit over kSmoothHalf lines either side that lie within the
// same stretch of lines no more than kHdobGapS apart.
void smooth_positions(const HdobLines& l, std::vector<double>& lat, std::vector<double>& lon) {
  const std::size_t n = l.t.size();
  lat.assign(n, kNaN);
  lon.assign(n, kNaN);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t a = i, b = i;
    while (a > 0 && i - a < kSmoothHalf && l.t[a] - l.t[a - 1] <= kHdobGapS) --a;
    while (b + 1 < n && b - i < kSmoothHalf && l.t[b + 1] - l.t[b] <= kHdobGapS) ++b;
    lat[i] = line_at(l.t, l.lat, a, b, l.t[i]);
    lon[i] = line_at(l.t, l.lon, a, b, l.t[i]);
    if (!std::isfinite(lat[i]) || !std::isfinite(lon[i])) {
      lat[i] = l.lat[i];
      lon[i] = l.lon[i];
    }
  }
}

// Lines in a turn: the course over kTurnLines lines before a line differs from that over as many after it
// by more than kTurnCourse. The baseline (about 10 km at 3 lines) keeps the minutes' rounding of the
// positions to a few degrees of course; the analysis's own test over 10 s cannot see a turn through
// positions interpolated between smoothed lines.
std::vector<char> turning_lines(const HdobLines& l) {
  const std::size_t n = l.t.size();
  std::vector<char> turn(n, 0);
  auto course = [&l](std::size_t a, std::size_t b) {
    const double dy = l.lat[b] - l.lat[a];
    const double dx = (l.lon[b] - l.lon[a]) * std::cos(l.lat[a] * std::numbers::pi / 180.0);
    return std::atan2(dx, dy) * 180.0 / std::numbers::pi;
  };
  for (std::size_t i = kTurnLines; i + kTurnLines < n; ++i) {
    if (l.t[i + kTurnLines] - l.t[i - kTurnLines] > 2.0 * kTurnLines * kHdobGapS) continue;
    double d = std::fabs(course(i - kTurnLines, i) - course(i, i + kTurnLines));
    if (d > 180.0) d = 360.0 - d;
    if (d > kTurnCourse) turn[i] = 1;
  }
  return turn;
}

// One second per step from the lines: the peaks held over the seconds they cover, the positions
// interpolated between the smoothed ones.
Series expand(const std::string& name, const HdobLines& l, const std::vector<double>& wind,
              const std::vector<double>& rain) {
  Series s;
  s.name = name;
  if (l.t.empty()) return s;
  std::vector<double> lat, lon;
  smooth_positions(l, lat, lon);
  const std::vector<char> turning = turning_lines(l);
  const double t0 = std::ceil(l.t.front() - kPeakAfterS);
  const double t1 = l.t.back() + kPeakAfterS;
  std::size_t k = 0;  // the line whose peaks cover the second
  for (double t = t0; t <= t1; t += 1.0) {
    while (k + 1 < l.t.size() && t > l.t[k] + kPeakAfterS) ++k;
    const bool covered = t > l.t[k] + kPeakAfterS - std::min(kHdobGapS, k > 0 ? l.t[k] - l.t[k - 1] : 30.0);
    s.t.push_back(t);
    s.wind.push_back(covered ? wind[k] : kNaN);
    s.rain.push_back(covered ? rain[k] : kNaN);
    // Position: between the lines on either side of t, when they are near enough.
    std::size_t j = k;
    if (j > 0 && t < l.t[j]) --j;
    double la = kNaN, lo = kNaN;
    if (t <= l.t[j] || j + 1 == l.t.size()) {
      if (std::fabs(t - l.t[j]) <= kPeakAfterS) {
        la = lat[j];
        lo = lon[j];
      }
    } else if (l.t[j + 1] - l.t[j] <= kHdobGapS) {
      const double f = (t - l.t[j]) / (l.t[j + 1] - l.t[j]);
      la = lat[j] + f * (lat[j + 1] - lat[j]);
      lo = lon[j] + f * (lon[j + 1] - lon[j]);
    }
    s.lat.push_back(la);
    s.lon.push_back(lo);
    const std::size_t near = (j + 1 < l.t.size() && l.t[j + 1] - t < t - l.t[j]) ? j + 1 : j;
    s.turn.push_back(std::isfinite(la) && std::isfinite(lo) && !turning[near] ? 0 : 1);
  }
  return s;
}

}  // namespace

std::vector<HdobMission> hdob_missions(const recon::HdobArchive& archive) {
  std::map<std::string, std::size_t> index;
  std::vector<HdobMission> missions;
  std::vector<std::vector<double>> winds, rains;
  for (const recon::HdobObservation& o : archive.observations) {
    const recon::HdobMessage& m = archive.messages[o.message];
    const std::string key = m.aircraft + " " + m.mission + " " + m.storm_name;
    auto [it, added] = index.emplace(key, missions.size());
    if (added) {
      missions.push_back({key, m.storm_id, {}, {}});
      winds.emplace_back();
      rains.emplace_back();
    }
    HdobLines& l = missions[it->second].lines;
    l.t.push_back(o.time);
    l.lat.push_back(o.lat);
    l.lon.push_back(o.lon);
    l.surface_pressure_hpa.push_back(o.surface_pressure_pa * kHpaPerPa);
    l.wind_from_deg.push_back(o.wind_from_deg);
    l.wind_ms.push_back(o.wind_speed_ms);
    winds[it->second].push_back(o.sfmr_wind_ms);
    rains[it->second].push_back(o.rain_rate_mmh);
  }
  for (std::size_t i = 0; i < missions.size(); ++i)
    missions[i].series = expand(missions[i].mission, missions[i].lines, winds[i], rains[i]);
  return missions;
}

std::vector<recon::OperationalFix> read_operational_fixes(const std::string& text, const std::string& file,
                                                          double reference_time) {
  if (recon::recon_file_kind(text) == recon::ReconFile::kVortex)
    return recon::operational_fixes(recon::read_vdm(text, file, reference_time));
  TrackFile track;
  try {
    track = parse_track_file(text);
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    if (what.starts_with("not an ATCF"))
      throw std::runtime_error(file + ": not a file of vortex data messages or an ATCF f-deck");
    throw std::runtime_error(file + ": " + what);
  }
  if (track.format != TrackFormat::kFdeck)
    throw std::runtime_error(file + ": a " + format_name(track.format) +
                             ", not a file of vortex data messages or an ATCF f-deck");
  std::vector<recon::OperationalFix> fixes;
  for (const StormTrack& s : track.storms)
    for (const TrackPoint& p : s.points) fixes.push_back({p.time, p.lat, p.lon, kNaN, kNaN});
  std::sort(fixes.begin(), fixes.end(),
            [](const recon::OperationalFix& a, const recon::OperationalFix& b) { return a.time < b.time; });
  return fixes;
}

}  // namespace sfmr::storm
