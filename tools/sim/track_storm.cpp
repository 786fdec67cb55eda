#include "sim/track_storm.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "common/earth.hpp"

#include "core/constants.hpp"

namespace sfmr::sim {

namespace {

using storm::kRadiiThresholdsKt;

// Sum of squared differences (n mi) between the storm's radii and the observed ones (NaN: not used).
double misfit(const Storm& s, const std::array<double, 12>& observed) {
  double sum = 0.0;
  for (int k = 0; k < 12; ++k) {
    if (std::isnan(observed[static_cast<std::size_t>(k)])) continue;
    const double r = fitted_radius_km(s, kRadiiThresholdsKt[k / 4] * kMsPerKt, k % 4) / kKmPerNmi;
    sum += std::pow(r - observed[static_cast<std::size_t>(k)], 2);
  }
  return sum;
}

}  // namespace

double fitted_radius_km(const Storm& s, double threshold, int q) {
  double out = 0.0;
  for (double into : {15.0, 45.0, 75.0}) {
    const double b = (90.0 * q + into) * std::numbers::pi / 180.0;
    auto wind = [&](double r) { return s.wind_relative(r * std::sin(b), r * std::cos(b)); };
    double lo = s.rmax, hi = 1500.0;
    if (wind(lo) < threshold) continue;
    if (wind(hi) >= threshold) return hi;
    for (int i = 0; i < 40; ++i) {
      const double mid = 0.5 * (lo + hi);
      (wind(mid) >= threshold ? lo : hi) = mid;
    }
    out = std::max(out, lo);
  }
  return out;
}

RadiiFit storm_from_track(const storm::StormTrack& track, double time, Storm& storm) {
  const auto& p = track.points;
  if (p.empty() || time < p.front().time || time > p.back().time)
    throw std::runtime_error("the time lies outside storm " + track.id + "'s track");
  storm::track_position(track, time, storm.lat0, storm.lon0);
  const double before = std::max(p.front().time, time - 5400.0),
               after = std::min(p.back().time, time + 5400.0);
  storm.motion_east = storm.motion_north = 0.0;
  if (after > before) {
    double lat1 = 0.0, lon1 = 0.0, lat2 = 0.0, lon2 = 0.0;
    storm::track_position(track, before, lat1, lon1);
    storm::track_position(track, after, lat2, lon2);
    const earth::KmPerDegree k = earth::km_per_degree(storm.lat0);
    storm.motion_north = (lat2 - lat1) * k.lat * 1000.0 / (after - before);
    storm.motion_east = (lon2 - lon1) * k.lon * 1000.0 / (after - before);
  }
  const double vmax_kt = storm::track_value(track, time, &storm::TrackPoint::vmax_kt);
  if (std::isnan(vmax_kt))
    throw std::runtime_error("storm " + track.id + "'s track gives no Vmax at that time");
  const double rmw_nmi = storm::track_value(track, time, &storm::TrackPoint::rmw_nmi);
  if (!std::isnan(rmw_nmi)) storm.rmax = std::clamp(rmw_nmi * kKmPerNmi, 5.0, 150.0);
  const double vmax = vmax_kt * kMsPerKt;
  storm.profile = Profile::kHolland;
  storm.asymmetry = storm.wn2 = 0.0;
  storm.vmax = vmax;
  storm.wn1 = 0.0;
  storm.track_id = track.id, storm.track_name = track.name;
  // The radii of the nearest track time.
  std::size_t nearest = 0;
  for (std::size_t k = 1; k < p.size(); ++k)
    if (std::fabs(p[k].time - time) < std::fabs(p[nearest].time - time)) nearest = k;
  const std::array<double, 12>& observed = p[nearest].radii_nmi;
  RadiiFit fit;
  for (double r : observed) fit.radii += !std::isnan(r);
  if (fit.radii == 0) return fit;

  auto trial = [&](double b, double share, double dir) {
    Storm s = storm;
    s.holland_b = b, s.wn1 = share * vmax, s.wn1_dir = std::fmod(dir + 360.0, 360.0), s.vmax = vmax - s.wn1;
    return s;
  };
  Storm best = trial(1.6, 0.0, 0.0);
  double best_cost = misfit(best, observed);
  auto consider = [&](double b, double share, double dir) {
    if (b < 0.8 || b > 2.5 || share < 0.0 || share > 0.3) return;
    const Storm s = trial(b, share, dir);
    const double cost = misfit(s, observed);
    if (cost < best_cost) best = s, best_cost = cost;
  };
  for (int i = 0; i <= 17; ++i)
    for (int j = 0; j <= 6; ++j)
      for (int k = 0; k < 12; ++k) consider(0.8 + 0.1 * i, 0.05 * j, 30.0 * k);
  const Storm coarse = best;
  for (int i = -5; i <= 5; ++i)
    for (int j = -2; j <= 2; ++j)
      for (int k = -3; k <= 3; ++k)
        consider(coarse.holland_b + 0.02 * i, coarse.wn1 / vmax + 0.0125 * j, coarse.wn1_dir + 5.0 * k);
  storm = best;
  fit.rms_nmi = std::sqrt(best_cost / fit.radii);
  return fit;
}

}  // namespace sfmr::sim
