// Accuracy of the storm analysis on simulated flights: reads what sfmrstorm wrote for each analysis
// (PREFIX.centres.csv, .legs.csv, .radii.csv, .storm.txt; columns found by their header names, so older and
// newer layouts both read) and compares it with the simulator's truth beside each flight (FLIGHT.nc, the
// archive file; FLIGHT.truth.csv, the true wind along the track; FLIGHT.centre.csv, the true centre every
// 10 s; FLIGHT.storm_truth.csv, the storm's RMW).
//   storm_eval [--csv FILE] PREFIX...          the analysis PREFIX.* of the one flight PREFIX
//   storm_eval [--csv FILE] --manifest FILE    one analysis per row of a CSV `analysis,flights,tags`:
//                                              flights separated by blanks, tags `key=value` separated by `;`
// An analysis without PREFIX.centres.csv was refused (PREFIX.refused, when there, holds sfmrstorm's message).
// Prints one line per analysis, then the figures overall and per tag (a group per key=value) as a table and
// as CSV (header `group,...`, also written to FILE with --csv). With STORM_EVAL_LEGS set, also one line per
// leg; with STORM_EVAL_FIXES, one per fix; with STORM_EVAL_RADII, one per radius with its truth and verdict.
//
// The truth, the same statistic over the same seconds from the true wind and the true centre:
//   - a true pass: a least distance of the aircraft from the true centre over 5 minutes either side; it is
//     found when a fix lies within 2 minutes of it. Passes within 10 km count for "found"; passes within the
//     inner core (0.5 RMW or 10 km) for the motion's condition below;
//   - a fix's error: its distance from the true centre at its time; the pass goes through the centre when
//     the aircraft came within 2 km of it within 2 minutes of the fix, else it misses. A fix more than 2
//     minutes from every true pass within 1 RMW (or 10 km) of the centre, those near the ends of the record
//     included, is also counted as spurious (a dip of the wind that is not the eye: the moat of concentric
//     eyewalls, a gap between rain bands);
//   - a leg's peak: the largest 10-s mean of the true wind over the leg's seconds (at least 7 of the 10 with
//     a retrieval); its RMW the distance of that window's mean position from the true centre at its
//     mid-time, counted only when that window lies more than 30 s inside both ends of the leg;
//   - the wind radii: per quadrant of bearing from the true centre (a mean within 2 km of a boundary's
//     half-line counting for both quadrants, as the analysis counts it), the outermost true 10-s mean of the
//     analysis's legs at the threshold (0 when none reaches it). The data show the crossing in a quadrant
//     when its outermost true 10-s mean is below the threshold and either some mean reaches the threshold or
//     some mean lies inside the storm's RMW; elsewhere (the data end above the threshold, or all below it
//     but none inside the RMW, or no data) a radius given without E or U is counted as unjustified. A pair
//     is a radius given (with or without E) in a quadrant with data; it agrees within 5 n mi or not;
//   - coverage: the truth within one and two stated errors (accuracy_km of a fix, peak_wind_speed_error and
//     peak_radius_error_km of a leg when legs.csv has them);
//   - the motion, for analyses with three or more inner-core passes over an hour or more: the report's
//     "Storm motion" (else a straight line fitted to the fixes) against the true centre's mean velocity
//     between the first and the last of those passes; the error is the length of the vector difference.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/nc_reader.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "storm/analysis.hpp"
#include "storm/radii.hpp"
#include "storm_figures.hpp"

namespace {

namespace fs = std::filesystem;
using sfmr::bench::Figures;
using sfmr::storm::nan_mean;
using sfmr::storm::Series;

constexpr std::size_t kWindow = 10;      // s, the running mean of peaks and radii
constexpr std::size_t kWindowMin = 7;    // retrieved seconds a 10-s mean needs
constexpr double kNearKm = 10.0;         // a true pass this close to the centre must be found, km
constexpr double kThroughKm = 2.0;       // a pass closer than this goes through the centre, km
constexpr double kMatchS = 120.0;        // a fix this close in time belongs to a true pass, s
constexpr std::size_t kPassReach = 300;  // s either side of a true pass's least distance

const double kNaN = std::nan("");

// A CSV file as text cells, with its header's names.
struct Csv {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  int column(const std::string& name) const {
    const auto it = std::find(header.begin(), header.end(), name);
    return it == header.end() ? -1 : static_cast<int>(it - header.begin());
  }
  std::string cell(const std::vector<std::string>& row, int col) const {
    return col >= 0 && static_cast<std::size_t>(col) < row.size() ? row[static_cast<std::size_t>(col)] : "";
  }
};

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string field;
  while (std::getline(ss, field, sep)) out.push_back(field);
  if (!line.empty() && line.back() == sep) out.emplace_back();
  return out;
}

Csv read_csv(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  Csv csv;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first)
      csv.header = split(line, ',');
    else if (!line.empty())
      csv.rows.push_back(split(line, ','));
    first = false;
  }
  return csv;
}

// A number of a CSV cell; NaN for an empty cell.
double number(const std::string& text, const std::string& where) {
  const auto a = text.find_first_not_of(' ');
  if (a == std::string::npos) return kNaN;
  float v = 0.0f;
  if (!sfmr::read_value(text.substr(a), &v)) throw std::runtime_error(where + ": bad number '" + text + "'");
  return v;
}

// A time YYYY-MM-DDTHH:MM:SSZ as seconds since 1970.
double iso_seconds(const std::string& text, const std::string& where) {
  std::int32_t f[6] = {};
  const std::size_t at[6] = {0, 5, 8, 11, 14, 17}, len[6] = {4, 2, 2, 2, 2, 2};
  bool ok = text.size() == 20 && text[4] == '-' && text[10] == 'T' && text[19] == 'Z';
  for (std::size_t i = 0; i < 6 && ok; ++i) ok = sfmr::read_value(text.substr(at[i], len[i]), &f[i]);
  if (!ok) throw std::runtime_error(where + ": bad time '" + text + "'");
  return static_cast<double>(sfmr::days_from_civil(f[0], f[1], f[2])) * 86400.0 + f[3] * 3600.0 +
         f[4] * 60.0 + f[5];
}

// One flight as the simulator made it and as the analysis read it.
struct FlightTruth {
  std::string name;                    // the archive's flight name (legs.csv's `flight`)
  Series s;                            // the archive as the analysis sees it
  std::vector<double> true_wind;       // m/s at each second of s; NaN where s has no retrieval
  std::vector<double> ct, clat, clon;  // the true centre: s since 1970, deg
  std::vector<double> range_km;        // the aircraft's distance from the true centre each second
  double rmw_km = kNaN;

  void centre(double t, double& lat, double& lon) const {
    const auto it = std::lower_bound(ct.begin(), ct.end(), t);
    const std::size_t j =
        std::clamp<std::size_t>(static_cast<std::size_t>(it - ct.begin()), 1, ct.size() - 1);
    const double w = (t - ct[j - 1]) / (ct[j] - ct[j - 1]);
    lat = clat[j - 1] + w * (clat[j] - clat[j - 1]);
    lon = clon[j - 1] + w * (clon[j] - clon[j - 1]);
  }
};

// The true wind each second of f.s. The truth file's seconds of day are unwrapped past midnight; the
// archive's positions may lag the truth's by a second or two, so the truth is taken at the lag (0..3 s)
// whose true longitudes match the archive's best (least mean square difference).
void align_true_wind(const std::string& prefix, double base, FlightTruth& f) {
  const Csv truth = read_csv(prefix + ".truth.csv");
  const int c_sec = truth.column("Sec"), c_ws = truth.column("WS"), c_lon = truth.column("Lon");
  std::vector<double> tt, tw, tlon;
  double offset = 0.0, last = -1.0;
  for (const auto& row : truth.rows) {
    const double sec = number(truth.cell(row, c_sec), prefix + ".truth.csv");
    if (sec < last) offset += 86400.0;
    last = sec;
    tt.push_back(base + offset + sec);
    tw.push_back(number(truth.cell(row, c_ws), prefix + ".truth.csv"));
    tlon.push_back(number(truth.cell(row, c_lon), prefix + ".truth.csv"));
  }
  const Series& s = f.s;
  double lag = 0.0, best = 1e300;
  for (int l = 0; l <= 3; ++l) {
    double e = 0.0;
    for (std::size_t i = 10; i < s.t.size(); ++i) {
      const auto it = std::lower_bound(tt.begin(), tt.end(), s.t[i] - l);
      if (it == tt.end() || !std::isfinite(s.lon[i])) continue;
      const double d = s.lon[i] - tlon[static_cast<std::size_t>(it - tt.begin())];
      e += d * d;
    }
    if (e < best) {
      best = e;
      lag = l;
    }
  }
  for (double& t : tt) t += lag;
  for (double& t : f.ct) t += lag;
  f.true_wind.assign(s.t.size(), kNaN);
  for (std::size_t i = 0; i < s.t.size(); ++i) {
    const auto it = std::lower_bound(tt.begin(), tt.end(), s.t[i]);
    if (it != tt.end() && *it == s.t[i] && std::isfinite(s.wind[i]))
      f.true_wind[i] = tw[static_cast<std::size_t>(it - tt.begin())];
  }
}

FlightTruth load_flight(const std::string& prefix) {
  sfmr::archive::ArchiveFlight archive;
  const std::string error = sfmr::archive::read_archive_flight(prefix + ".nc", archive);
  if (!error.empty()) throw std::runtime_error(prefix + ".nc: " + error);
  FlightTruth f;
  f.name = archive.flight.empty() ? fs::path(prefix).filename().string() : archive.flight;
  f.s = sfmr::storm::series_of(archive);
  if (f.s.t.empty()) throw std::runtime_error(prefix + ".nc: no seconds");
  const double base = std::floor(f.s.t.front() / 86400.0) * 86400.0;
  const Csv centre = read_csv(prefix + ".centre.csv");
  const int c_sec = centre.column("Sec"), c_lat = centre.column("Lat"), c_lon = centre.column("Lon");
  for (const auto& row : centre.rows) {
    f.ct.push_back(base + number(centre.cell(row, c_sec), prefix + ".centre.csv"));
    f.clat.push_back(number(centre.cell(row, c_lat), prefix + ".centre.csv"));
    f.clon.push_back(number(centre.cell(row, c_lon), prefix + ".centre.csv"));
  }
  if (f.ct.size() < 2) throw std::runtime_error(prefix + ".centre.csv: fewer than two centres");
  const Csv facts = read_csv(prefix + ".storm_truth.csv");
  for (const auto& row : facts.rows)
    if (facts.cell(row, 0) == "rmw_km") f.rmw_km = number(facts.cell(row, 1), prefix + ".storm_truth.csv");
  align_true_wind(prefix, base, f);
  f.range_km.assign(f.s.t.size(), 1e9);
  for (std::size_t i = 0; i < f.s.t.size(); ++i) {
    double lat = 0.0, lon = 0.0, b = 0.0;
    f.centre(f.s.t[i], lat, lon);
    if (std::isfinite(f.s.lat[i]))
      sfmr::storm::range_bearing(lat, lon, f.s.lat[i], f.s.lon[i], f.range_km[i], b);
  }
  return f;
}

// The flights of one analysis; the true centre of a time is that of the flight whose time it is (nearest).
struct StormTruth {
  std::vector<FlightTruth> flights;
  const FlightTruth& at(double t) const {
    const FlightTruth* best = &flights.front();
    double gap = 1e300;
    for (const FlightTruth& f : flights) {
      const double d = std::max({0.0, f.s.t.front() - t, t - f.s.t.back()});
      if (d < gap) {
        gap = d;
        best = &f;
      }
    }
    return *best;
  }
  void centre(double t, double& lat, double& lon) const { at(t).centre(t, lat, lon); }
};

// Times of the true passes closer than `limit_km` (km) to the centre: least distances over 5 minutes
// either side (with `clipped`, also those less than 5 minutes from either end of the record).
std::vector<double> true_passes(const FlightTruth& f, double limit_km, bool clipped = false) {
  return sfmr::bench::least_distance_times(f.s.t, f.range_km, limit_km, kPassReach, clipped);
}

// ---- What the analysis wrote

struct Fix {
  double t, lat, lon, accuracy_km;
};

struct LegOut {
  std::string flight;
  double start = 0.0, end = 0.0;
  double peak = kNaN, radius_km = kNaN;           // NaN: no peak
  double peak_error = kNaN, radius_error = kNaN;  // stated errors, NaN when not written
};

struct RadiusOut {
  double nmi = kNaN;  // NaN: empty
  std::string flag;
};

std::vector<Fix> read_fixes(const std::string& prefix) {
  const std::string path = prefix + ".centres.csv";
  const Csv csv = read_csv(path);
  const int c_t = csv.column("time"), c_lat = csv.column("lat"), c_lon = csv.column("lon"),
            c_src = csv.column("source"), c_acc = csv.column("accuracy_km");
  std::vector<Fix> fixes;
  for (const auto& row : csv.rows) {
    if (c_src >= 0 && csv.cell(row, c_src) != "flight") continue;
    fixes.push_back({iso_seconds(csv.cell(row, c_t), path), number(csv.cell(row, c_lat), path),
                     number(csv.cell(row, c_lon), path), number(csv.cell(row, c_acc), path)});
  }
  return fixes;
}

std::vector<LegOut> read_legs(const std::string& prefix) {
  const std::string path = prefix + ".legs.csv";
  const Csv csv = read_csv(path);
  const int c_f = csv.column("flight"), c_a = csv.column("start_time"), c_b = csv.column("end_time"),
            c_peak = csv.column("peak_wind_speed"), c_r = csv.column("peak_radius_km"),
            c_pe = csv.column("peak_wind_speed_error"), c_re = csv.column("peak_radius_error_km");
  std::vector<LegOut> legs;
  for (const auto& row : csv.rows) {
    LegOut leg;
    leg.flight = csv.cell(row, c_f);
    leg.start = iso_seconds(csv.cell(row, c_a), path);
    leg.end = iso_seconds(csv.cell(row, c_b), path);
    leg.peak = number(csv.cell(row, c_peak), path);
    leg.radius_km = number(csv.cell(row, c_r), path);
    leg.peak_error = number(csv.cell(row, c_pe), path);
    leg.radius_error = number(csv.cell(row, c_re), path);
    legs.push_back(leg);
  }
  return legs;
}

// Radii by threshold (34, 50, 64 kt) and quadrant (NE, SE, SW, NW).
using RadiiOut = std::array<std::array<RadiusOut, 4>, 3>;

RadiiOut read_radii(const std::string& prefix) {
  const std::string path = prefix + ".radii.csv";
  const Csv csv = read_csv(path);
  const int c_k = csv.column("threshold_kt"), c_q = csv.column("quadrant"), c_r = csv.column("radius_nmi"),
            c_flag = csv.column("flag");
  static const std::vector<std::string> kThresholds = {"34", "50", "64"},
                                        kQuadrants = {"NE", "SE", "SW", "NW"};
  RadiiOut out;
  for (const auto& row : csv.rows) {
    const auto k = std::find(kThresholds.begin(), kThresholds.end(), csv.cell(row, c_k));
    const auto q = std::find(kQuadrants.begin(), kQuadrants.end(), csv.cell(row, c_q));
    if (k == kThresholds.end() || q == kQuadrants.end()) throw std::runtime_error(path + ": unknown row");
    RadiusOut& r = out[static_cast<std::size_t>(k - kThresholds.begin())]
                      [static_cast<std::size_t>(q - kQuadrants.begin())];
    r.nmi = number(csv.cell(row, c_r), path);
    r.flag = csv.cell(row, c_flag);
  }
  return out;
}

// The report's "Storm motion: towards D deg at S m/s" as east and north m/s; false when absent.
bool read_motion(const std::string& prefix, double& east, double& north) {
  std::ifstream in(prefix + ".storm.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Storm motion: towards ", 0) != 0) continue;
    std::vector<std::string> w = split(line, ' ');
    if (w.size() < 7 || w[4] != "deg" || w[5] != "at") return false;
    const double dir = number(w[3], prefix + ".storm.txt"), speed = number(w[6], prefix + ".storm.txt");
    east = speed * std::sin(dir * std::numbers::pi / 180.0);
    north = speed * std::cos(dir * std::numbers::pi / 180.0);
    return std::isfinite(east) && std::isfinite(north);
  }
  return false;
}

// ---- Comparison

// The passes within 10 km of the true centre, and those of them with a fix. Returns their count.
int evaluate_passes(const StormTruth& truth, const std::vector<Fix>& fixes, Figures& fig) {
  int near = 0;
  for (const FlightTruth& f : truth.flights)
    for (double t : true_passes(f, kNearKm)) {
      ++near;
      const bool found =
          std::any_of(fixes.begin(), fixes.end(), [t](const Fix& x) { return std::fabs(x.t - t) < kMatchS; });
      if (found) ++fig.passes_found;
    }
  fig.passes_near += near;
  return near;
}

// Each fix's distance from the true centre, split by how close the pass came, and its stated accuracy's
// coverage.
void evaluate_fixes(const StormTruth& truth, const std::vector<Fix>& fixes, Figures& fig) {
  for (const Fix& x : fixes) {
    const FlightTruth& f = truth.at(x.t);
    double lat = 0.0, lon = 0.0, km = 0.0, b = 0.0;
    f.centre(x.t, lat, lon);
    sfmr::storm::range_bearing(lat, lon, x.lat, x.lon, km, b);
    double miss = 1e9;
    for (std::size_t i = 0; i < f.s.t.size(); ++i)
      if (std::fabs(f.s.t[i] - x.t) < kMatchS) miss = std::min(miss, f.range_km[i]);
    (miss < kThroughKm ? fig.fix_through : fig.fix_miss).push_back(km);
    const std::vector<double> passes = true_passes(f, std::max(kNearKm, f.rmw_km), true);
    if (std::none_of(passes.begin(), passes.end(), [&x](double t) { return std::fabs(t - x.t) < kMatchS; }))
      ++fig.fix_spurious;
    fig.fix_cov.add(km, x.accuracy_km);
    if (std::getenv("STORM_EVAL_FIXES") != nullptr)
      std::printf("  fix %.0f: error %.2f km, accuracy %.2f km, closest %.1f km\n", x.t, km, x.accuracy_km,
                  miss);
  }
}

// The seconds [begin, end) of a flight that a leg spans.
struct Span {
  const FlightTruth* flight = nullptr;
  std::size_t begin = 0, end = 0;
};

Span span_of(const StormTruth& truth, const LegOut& leg) {
  for (const FlightTruth& f : truth.flights) {
    if (f.name != leg.flight) continue;
    const auto a = std::lower_bound(f.s.t.begin(), f.s.t.end(), leg.start);
    const auto b = std::upper_bound(f.s.t.begin(), f.s.t.end(), leg.end);
    return {&f, static_cast<std::size_t>(a - f.s.t.begin()), static_cast<std::size_t>(b - f.s.t.begin())};
  }
  throw std::runtime_error("a leg of flight '" + leg.flight + "', which is not among the flights");
}

// The true 10-s mean window of a leg: its mean, mid-time and distance from the true centre.
struct TruePeak {
  bool found = false;
  double mean = kNaN, time = kNaN, radius_km = kNaN;
};

TruePeak true_peak(const Span& sp) {
  const FlightTruth& f = *sp.flight;
  TruePeak p;
  std::size_t best = sp.end;
  for (std::size_t i = sp.begin; i + kWindow <= sp.end; ++i) {
    const double m = nan_mean(f.true_wind, i, i + kWindow, kWindowMin);
    if (std::isfinite(m) && !(m <= p.mean)) {
      p.mean = m;
      best = i;
    }
  }
  if (best == sp.end) return p;
  p.found = true;
  p.time = 0.5 * (f.s.t[best] + f.s.t[best + kWindow - 1]);
  const double lat = nan_mean(f.s.lat, best, best + kWindow, 1),
               lon = nan_mean(f.s.lon, best, best + kWindow, 1);
  double clat = 0.0, clon = 0.0, b = 0.0;
  f.centre(p.time, clat, clon);
  sfmr::storm::range_bearing(clat, clon, lat, lon, p.radius_km, b);
  return p;
}

// Each leg's peak and RMW against the truth, with the coverage of their stated errors. Returns the legs'
// spans (for the radii).
std::vector<Span> evaluate_legs(const StormTruth& truth, const std::vector<LegOut>& legs,
                                const std::string& name, Figures& fig) {
  std::vector<Span> spans;
  const bool print = std::getenv("STORM_EVAL_LEGS") != nullptr;
  for (const LegOut& leg : legs) {
    const Span sp = span_of(truth, leg);
    spans.push_back(sp);
    const TruePeak tp = true_peak(sp);
    if (!std::isfinite(leg.peak) || !tp.found) continue;
    const double peak_error = std::fabs(leg.peak - tp.mean);
    fig.peak.push_back(peak_error);
    fig.peak_cov.add(peak_error, leg.peak_error);
    // A leg has an RMW when it crosses the wind maximum: the true peak more than 30 s inside both ends.
    const bool crosses = tp.time > leg.start + 30.0 && tp.time < leg.end - 30.0;
    const double rmw_error = std::fabs(leg.radius_km - tp.radius_km);
    if (crosses) {
      fig.rmw.push_back(rmw_error);
      fig.rmw_cov.add(rmw_error, leg.radius_error);
    }
    if (print)
      std::printf(
          "%s %s leg at %.0f: peak %.2f +- %.2f m/s (truth %.2f), RMW %.2f +- %.2f km (truth %.2f)%s\n",
          name.c_str(), leg.flight.c_str(), leg.start, leg.peak, leg.peak_error, tp.mean, leg.radius_km,
          leg.radius_error, tp.radius_km, crosses ? "" : " (no maximum inside)");
  }
  return spans;
}

// The truth of the wind radii over the legs' seconds: per quadrant, whether it has data, its outermost
// 10-s mean and the least distance of any mean; per threshold and quadrant the outermost distance reached.
struct TrueRadii {
  std::array<bool, 4> has_data{};
  std::array<double, 4> outer_km{}, outer_mean{}, inner_km{1e9, 1e9, 1e9, 1e9};
  std::array<std::array<double, 4>, 3> km{};
};

TrueRadii true_radii(const std::vector<Span>& spans) {
  TrueRadii out;
  for (const Span& sp : spans) {
    const FlightTruth& f = *sp.flight;
    for (std::size_t i = sp.begin; i + kWindow <= sp.end; ++i) {
      const double m = nan_mean(f.true_wind, i, i + kWindow, kWindowMin);
      if (!std::isfinite(m)) continue;
      const double t = 0.5 * (f.s.t[i] + f.s.t[i + kWindow - 1]);
      const double lat = nan_mean(f.s.lat, i, i + kWindow, 1), lon = nan_mean(f.s.lon, i, i + kWindow, 1);
      double clat = 0.0, clon = 0.0, km = 0.0, bearing = 0.0;
      f.centre(t, clat, clon);
      sfmr::storm::range_bearing(clat, clon, lat, lon, km, bearing);
      for (const std::size_t q : sfmr::bench::true_quadrants(km, bearing, sfmr::storm::kRadiiBoundaryKm)) {
        out.has_data[q] = true;
        out.inner_km[q] = std::min(out.inner_km[q], km);
        if (km > out.outer_km[q]) {
          out.outer_km[q] = km;
          out.outer_mean[q] = m;
        }
        for (std::size_t k = 0; k < 3; ++k)
          if (m >= sfmr::storm::kRadiiThresholdsKt[k] * sfmr::kMsPerKt)
            out.km[k][q] = std::max(out.km[k][q], km);
      }
    }
  }
  return out;
}

void evaluate_radii(const StormTruth& truth, const std::vector<Span>& spans, const RadiiOut& radii,
                    const std::string& name, Figures& fig) {
  const TrueRadii tr = true_radii(spans);
  double rmw = kNaN;
  for (const FlightTruth& f : truth.flights) rmw = std::isfinite(rmw) ? std::min(rmw, f.rmw_km) : f.rmw_km;
  const bool print = std::getenv("STORM_EVAL_RADII") != nullptr;
  constexpr std::array<const char*, 4> kQuadrants{"NE", "SE", "SW", "NW"};
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t q = 0; q < 4; ++q) {
      const sfmr::bench::RadiusTruth rt{tr.has_data[q], tr.outer_mean[q], tr.km[k][q], tr.inner_km[q]};
      const int unjust = fig.radii_unjustified, ok = fig.radii_ok, pairs = fig.radii_pairs;
      sfmr::bench::score_radius(rt, sfmr::storm::kRadiiThresholdsKt[k] * sfmr::kMsPerKt, rmw, radii[k][q].nmi,
                                radii[k][q].flag, fig);
      const char* verdict = fig.radii_unjustified > unjust ? "unjustified"
                            : fig.radii_pairs > pairs      ? (fig.radii_ok > ok ? "agrees" : "differs")
                                                           : "no pair";
      if (print)
        std::printf(
            "%s radius %.0f kt %s: %.1f n mi %s (truth %.1f n mi; outermost mean %.2f m/s at %.1f km, "
            "innermost %.1f km, RMW %.1f km): %s\n",
            name.c_str(), sfmr::storm::kRadiiThresholdsKt[k], kQuadrants[q], radii[k][q].nmi,
            radii[k][q].flag.c_str(), tr.km[k][q] / sfmr::kKmPerNmi, tr.outer_mean[q], tr.outer_km[q],
            tr.inner_km[q], rmw, verdict);
    }
}

// Motion (east, north m/s) of a straight line fitted to the fixes; false with fewer than two at different
// times.
bool fitted_motion(const std::vector<Fix>& fixes, double& east, double& north) {
  if (fixes.size() < 2) return false;
  const sfmr::storm::Plane plane = sfmr::storm::Plane::at(fixes.front().lat, fixes.front().lon);
  double st = 0.0, sx = 0.0, sy = 0.0, stt = 0.0, stx = 0.0, sty = 0.0;
  const double n = static_cast<double>(fixes.size()), t0 = fixes.front().t;
  for (const Fix& f : fixes) {
    double x = 0.0, y = 0.0;
    plane.to_xy(f.lat, f.lon, x, y);
    const double t = f.t - t0;
    st += t, sx += x, sy += y, stt += t * t, stx += t * x, sty += t * y;
  }
  const double d = n * stt - st * st;
  if (!(d > 0.0)) return false;
  east = (n * stx - st * sx) / d * 1000.0;
  north = (n * sty - st * sy) / d * 1000.0;
  return true;
}

void evaluate_motion(const StormTruth& truth, const std::string& prefix, const std::vector<Fix>& fixes,
                     Figures& fig) {
  std::vector<double> core;
  for (const FlightTruth& f : truth.flights) {
    const std::vector<double> p = true_passes(f, std::max(kNearKm, 0.5 * f.rmw_km));
    core.insert(core.end(), p.begin(), p.end());
  }
  std::sort(core.begin(), core.end());
  if (core.size() < 3 || core.back() - core.front() < 3600.0) return;
  double east = 0.0, north = 0.0;
  if (!read_motion(prefix, east, north) && !fitted_motion(fixes, east, north)) return;
  double lat0 = 0.0, lon0 = 0.0, lat1 = 0.0, lon1 = 0.0, km = 0.0, bearing = 0.0;
  truth.centre(core.front(), lat0, lon0);
  truth.centre(core.back(), lat1, lon1);
  sfmr::storm::range_bearing(lat0, lon0, lat1, lon1, km, bearing);
  const double dt = core.back() - core.front();
  const double true_east = km * 1000.0 * std::sin(bearing * std::numbers::pi / 180.0) / dt;
  const double true_north = km * 1000.0 * std::cos(bearing * std::numbers::pi / 180.0) / dt;
  fig.motion.push_back(std::hypot(east - true_east, north - true_north));
}

// ---- The runs

struct Item {
  std::string analysis;              // output prefix of sfmrstorm
  std::vector<std::string> flights;  // flight prefixes
  std::vector<std::string> tags;     // key=value
};

std::vector<Item> read_manifest(const std::string& path) {
  const Csv csv = read_csv(path);
  const int c_a = csv.column("analysis"), c_f = csv.column("flights"), c_t = csv.column("tags");
  if (c_a < 0 || c_f < 0) throw std::runtime_error(path + ": needs the columns analysis and flights");
  std::vector<Item> items;
  for (const auto& row : csv.rows) {
    Item it{csv.cell(row, c_a), {}, {}};
    for (const std::string& f : split(csv.cell(row, c_f), ' '))
      if (!f.empty()) it.flights.push_back(f);
    for (const std::string& t : split(csv.cell(row, c_t), ';'))
      if (!t.empty()) it.tags.push_back(t);
    if (it.flights.empty()) throw std::runtime_error(path + ": analysis " + it.analysis + " has no flights");
    items.push_back(it);
  }
  return items;
}

// The figures of one analysis, with a line that summarises it.
Figures evaluate(const Item& item) {
  StormTruth truth;
  for (const std::string& f : item.flights) truth.flights.push_back(load_flight(f));
  Figures fig;
  fig.analyses = 1;
  if (!fs::exists(item.analysis + ".centres.csv")) {
    std::string why = "no output";
    std::ifstream in(item.analysis + ".refused");
    if (in) std::getline(in, why);
    const int near = evaluate_passes(truth, {}, fig);
    fig.refused = 1;
    fig.refused_with_pass = near > 0 ? 1 : 0;
    std::printf("%s: refused (%d true passes within 10 km): %s\n", item.analysis.c_str(), near, why.c_str());
    return fig;
  }
  const std::vector<Fix> fixes = read_fixes(item.analysis);
  const int near = evaluate_passes(truth, fixes, fig);
  evaluate_fixes(truth, fixes, fig);
  const std::vector<Span> spans = evaluate_legs(truth, read_legs(item.analysis), item.analysis, fig);
  evaluate_radii(truth, spans, read_radii(item.analysis), item.analysis, fig);
  evaluate_motion(truth, item.analysis, fixes, fig);
  std::vector<double> errors = fig.fix_through;
  errors.insert(errors.end(), fig.fix_miss.begin(), fig.fix_miss.end());
  char motion[64] = "";
  if (!fig.motion.empty())
    std::snprintf(motion, sizeof motion, ", motion error %.2f m/s", fig.motion.front());
  std::printf(
      "%s: found %d of %d passes within 10 km, %zu fixes (error median %.2f km, %d spurious), %zu legs "
      "(peak median %.2f m/s), RMW median %.2f km, radii within 5 n mi %d of %d%s\n",
      item.analysis.c_str(), fig.passes_found, near, fixes.size(), sfmr::bench::quantile(errors, 0.5),
      fig.fix_spurious, fig.peak.size(), sfmr::bench::quantile(fig.peak, 0.5),
      sfmr::bench::quantile(fig.rmw, 0.5), fig.radii_ok, fig.radii_pairs, motion);
  return fig;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Item> items;
  std::string csv_path;
  try {
    for (int a = 1; a < argc; ++a) {
      const std::string arg = argv[a];
      if ((arg == "--csv" || arg == "--manifest") && a + 1 < argc) {
        if (arg == "--csv")
          csv_path = argv[++a];
        else {
          const std::vector<Item> more = read_manifest(argv[++a]);
          items.insert(items.end(), more.begin(), more.end());
        }
      } else if (!arg.empty() && arg[0] == '-') {
        std::fprintf(stderr, "usage: storm_eval [--csv FILE] (PREFIX... | --manifest FILE)\n");
        return 2;
      } else {
        items.push_back({arg, {arg}, {}});
      }
    }
    sfmr::bench::Groups groups;
    sfmr::bench::group(groups, "all");
    for (const Item& item : items) {
      const Figures fig = evaluate(item);
      sfmr::bench::group(groups, "all").merge(fig);
      for (const std::string& tag : item.tags) sfmr::bench::group(groups, tag).merge(fig);
    }
    std::sort(groups.begin() + 1, groups.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::printf("\n");
    sfmr::bench::print_table(std::cout, groups);
    std::ostringstream csv;
    csv << sfmr::bench::summary_header() << '\n';
    for (const auto& [name, fig] : groups) csv << sfmr::bench::summary_row(name, fig) << '\n';
    std::cout << '\n' << csv.str();
    if (!csv_path.empty()) {
      std::ofstream out(csv_path);
      out << csv.str();
      if (!out) throw std::runtime_error("cannot write " + csv_path);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "storm_eval: %s\n", e.what());
    return 1;
  }
  return 0;
}
