// Accuracy of the storm analysis on simulated flights: runs the analysis of sfmrstorm on each archive file
// and compares it with the simulator's truth beside it (PREFIX.truth.csv: the true wind along the track;
// PREFIX.centre.csv: the true centre every 10 s). The truth of a leg's peak and RMW, and of the wind radii,
// is the same statistic taken over the same seconds from the true wind and the true centre.
//   storm_eval PREFIX...   (PREFIX.nc, PREFIX.truth.csv, PREFIX.centre.csv)
// Prints one line per flight, then the medians and 90th percentiles over all flights. With the environment
// variable STORM_EVAL_TRUE_WIND set, the analysis runs on the true wind instead of the retrieved one (what
// the method itself contributes, without the retrieval's noise); with STORM_EVAL_LEGS set, it also prints
// one line per leg (the analysed and true peak, the peak time's difference and the two RMWs).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/nc_reader.hpp"
#include "core/text.hpp"
#include "storm/analysis.hpp"
#include "storm/outputs.hpp"

namespace {

using sfmr::storm::Series;

struct Table {
  std::vector<std::vector<double>> rows;
};

// A CSV of numbers with one header line.
Table read_csv(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  Table t;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<double> row;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) {
      float v = 0.0f;
      if (!sfmr::read_value(field, &v)) throw std::runtime_error(path + ": bad number " + field);
      row.push_back(v);
    }
    t.rows.push_back(row);
  }
  return t;
}

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return std::nan("");
  std::sort(v.begin(), v.end());
  const double pos = q * static_cast<double>(v.size() - 1);
  const auto i = static_cast<std::size_t>(pos);
  const double f = pos - static_cast<double>(i);
  return i + 1 < v.size() ? v[i] * (1 - f) + v[i + 1] * f : v[i];
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> fix_through, fix_miss, peak_err, rmw_err;
  int radii_ok = 0, radii_pairs = 0, passes_near = 0, passes_found = 0;
  try {
    for (int a = 1; a < argc; ++a) {
      const std::string prefix = argv[a];
      sfmr::archive::ArchiveFlight f;
      const std::string error = sfmr::archive::read_archive_flight(prefix + ".nc", f);
      if (!error.empty()) throw std::runtime_error(prefix + ".nc: " + error);
      const std::vector<Series> flights = {sfmr::storm::series_of(f)};
      const Series& s = flights.front();
      const double base = std::floor(s.t.front() / 86400.0) * 86400.0;
      // True centre: (epoch, lat, lon).
      Table centre = read_csv(prefix + ".centre.csv");
      std::vector<double> ct, clat, clon;
      for (const auto& r : centre.rows) {
        ct.push_back(base + r[0]);
        clat.push_back(r[1]);
        clon.push_back(r[2]);
      }
      const sfmr::storm::CentreFn truth_centre = [&](double t, double& lat, double& lon) {
        auto it = std::lower_bound(ct.begin(), ct.end(), t);
        std::size_t j = std::clamp<std::size_t>(static_cast<std::size_t>(it - ct.begin()), 1, ct.size() - 1);
        const double w = (t - ct[j - 1]) / (ct[j] - ct[j - 1]);
        lat = clat[j - 1] + w * (clat[j] - clat[j - 1]);
        lon = clon[j - 1] + w * (clon[j] - clon[j - 1]);
      };
      // True wind at each archive second (the truth file's seconds of day unwrapped).
      const Table truth = read_csv(prefix + ".truth.csv");
      std::vector<double> tt, tw, tlon;
      double offset = 0.0, last = -1.0;
      for (const auto& r : truth.rows) {
        if (r[0] < last) offset += 86400.0;
        last = r[0];
        tt.push_back(base + offset + r[0]);
        tw.push_back(r[1]);
        tlon.push_back(r[4]);
      }
      // The archive's positions may lag the truth's by a second or two: the truth is taken at the time whose
      // true position matches the archive's (least mean square longitude difference over lags 0..3 s).
      double lag = 0.0, best = 1e300;
      for (int l = 0; l <= 3; ++l) {
        double e = 0.0;
        for (std::size_t i = 10; i < s.t.size(); ++i) {
          auto it = std::lower_bound(tt.begin(), tt.end(), s.t[i] - l);
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
      for (double& t : ct) t += lag;
      std::vector<Series> true_flights = flights;
      Series& ts = true_flights.front();
      for (std::size_t i = 0; i < ts.t.size(); ++i) {
        auto it = std::lower_bound(tt.begin(), tt.end(), ts.t[i]);
        const bool hit = it != tt.end() && *it == ts.t[i];
        ts.wind[i] =
            hit && std::isfinite(s.wind[i]) ? tw[static_cast<std::size_t>(it - tt.begin())] : std::nan("");
      }

      sfmr::storm::Analysis an;
      try {
        an = sfmr::storm::analyse(flights, {});
      } catch (const std::runtime_error& e) {
        std::printf("%s: %s\n", prefix.c_str(), e.what());
        continue;
      }
      if (std::getenv("STORM_EVAL_TRUE_WIND")) an = sfmr::storm::analyse(true_flights, {});
      // Distance from the true centre each second.
      std::vector<double> r(s.t.size(), 1e9);
      for (std::size_t i = 0; i < s.t.size(); ++i) {
        double la = 0.0, lo = 0.0, b = 0.0;
        truth_centre(s.t[i], la, lo);
        if (std::isfinite(s.lat[i])) sfmr::storm::range_bearing(la, lo, s.lat[i], s.lon[i], r[i], b);
      }
      std::vector<double> fixes;
      for (const auto& p : an.passes) {
        double la = 0.0, lo = 0.0, km = 0.0, b = 0.0;
        truth_centre(p.time, la, lo);
        sfmr::storm::range_bearing(la, lo, p.lat, p.lon, km, b);
        double miss = 1e9;
        for (std::size_t i = 0; i < s.t.size(); ++i)
          if (std::fabs(s.t[i] - p.time) < 120.0) miss = std::min(miss, r[i]);
        (miss < 1.0 ? fix_through : fix_miss).push_back(km);
        fixes.push_back(km);
      }
      // Passes within 10 km of the true centre: local minima of the distance over 5 minutes.
      int near = 0, found = 0;
      for (std::size_t i = 300; i + 300 < s.t.size(); ++i) {
        if (r[i] >= 10.0) continue;
        bool lowest = true;
        for (std::size_t j = i - 300; j <= i + 300 && lowest; ++j)
          lowest = !(r[j] < r[i] || (r[j] == r[i] && j < i));
        if (!lowest) continue;
        ++near;
        for (const auto& p : an.passes)
          if (std::fabs(p.time - s.t[i]) < 120.0) {
            ++found;
            break;
          }
      }
      passes_near += near;
      passes_found += found;
      double peak_sum = 0.0;
      int legs = 0;
      for (const auto& leg : an.legs) {
        if (!leg.has_peak) continue;
        sfmr::storm::Leg truth_leg = leg;
        sfmr::storm::leg_peak(ts, truth_centre, truth_leg);
        if (!truth_leg.has_peak) continue;
        peak_err.push_back(std::fabs(leg.peak - truth_leg.peak));
        // A leg has an RMW when it crosses the wind maximum: the true peak lies inside the leg, not at
        // either end (a leg that stops short of the eyewall, or one that never nears it, has none).
        const double first = s.t[leg.begin] + 30.0, end = s.t[leg.end - 1] - 30.0;
        const bool crosses = truth_leg.peak_time > first && truth_leg.peak_time < end;
        if (crosses) rmw_err.push_back(std::fabs(leg.peak_radius_km - truth_leg.peak_radius_km));
        if (std::getenv("STORM_EVAL_LEGS"))
          std::printf("%s leg %d %s: peak %.2f m/s (truth %.2f), time %+.1f s, RMW %.2f km (truth %.2f)%s\n",
                      prefix.c_str(), leg.number, leg.inbound ? "in " : "out", leg.peak, truth_leg.peak,
                      leg.peak_time - truth_leg.peak_time, leg.peak_radius_km, truth_leg.peak_radius_km,
                      crosses ? "" : " (no maximum inside)");
        peak_sum += leg.peak - truth_leg.peak;
        ++legs;
      }
      const sfmr::storm::Radii truth_radii = sfmr::storm::wind_radii(true_flights, an.legs, truth_centre);
      int ok = 0, pairs = 0;
      for (std::size_t k = 0; k < 3; ++k)
        for (std::size_t q = 0; q < 4; ++q) {
          if (an.radii.unknown[k][q] || truth_radii.unknown[k][q]) continue;  // defined pairs only
          ++pairs;
          if (std::fabs(an.radii.km[k][q] - truth_radii.km[k][q]) / sfmr::storm::kKmPerNmi <= 5.0) ++ok;
        }
      radii_ok += ok;
      radii_pairs += pairs;
      std::printf(
          "%s: passes %zu (true passes within 10 km %d, found %d), fix error median %.2f km, "
          "legs %d (peak bias %+.2f m/s), radii within 5 n mi %d/%d\n",
          prefix.c_str(), an.passes.size(), near, found, quantile(fixes, 0.5), legs,
          legs ? peak_sum / legs : 0.0, ok, pairs);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "storm_eval: %s\n", e.what());
    return 1;
  }
  std::printf("\n%-52s %10s %10s %6s\n", "figure", "median", "90th pct", "n");
  std::printf("%-52s %10.2f %10.2f %6zu\n", "centre fix error, passes that miss (km)",
              quantile(fix_miss, 0.5), quantile(fix_miss, 0.9), fix_miss.size());
  std::printf("%-52s %10.2f %10.2f %6zu\n", "centre fix error, passes through the centre (km)",
              quantile(fix_through, 0.5), quantile(fix_through, 0.9), fix_through.size());
  std::printf("%-52s %10.3f %10.3f %6zu\n", "leg peak 10-s mean wind, |error| (m/s)", quantile(peak_err, 0.5),
              quantile(peak_err, 0.9), peak_err.size());
  std::printf("%-52s %10.2f %10.2f %6zu\n", "leg RMW (legs crossing the maximum), |error| (km)",
              quantile(rmw_err, 0.5), quantile(rmw_err, 0.9), rmw_err.size());
  std::printf("%-52s %d of %d\n", "true passes within 10 km of the centre found", passes_found, passes_near);
  std::printf("%-52s %d of %d (%.0f %%)\n", "wind radii within 5 n mi of the truth", radii_ok, radii_pairs,
              radii_pairs ? 100.0 * radii_ok / radii_pairs : 0.0);
  return 0;
}
