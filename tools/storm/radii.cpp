#include "storm/radii.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/constants.hpp"
#include "storm/analysis.hpp"

namespace sfmr::storm {

namespace {

constexpr std::size_t kWindow = 10;    // s: the running mean of the radii
constexpr std::size_t kWindowMin = 7;  // retrieved seconds a 10-s mean needs

// One 10-s mean: distance (km) and bearing (deg) from the centre at its mid-time, and the mean (m/s).
struct Mean {
  double km, bearing, wind;
};

std::vector<Mean> leg_means(const std::vector<Series>& flights, const std::vector<Leg>& legs,
                            const CentreFn& centre) {
  std::vector<Mean> out;
  for (const Leg& leg : legs) {
    const Series& s = flights[leg.flight];
    for (std::size_t i = leg.begin; i + kWindow <= leg.end; ++i) {
      const double m = nan_mean(s.wind, i, i + kWindow, kWindowMin);
      if (!std::isfinite(m)) continue;
      const double t = 0.5 * (s.t[i] + s.t[i + kWindow - 1]);
      const double lat = nan_mean(s.lat, i, i + kWindow, 1), lon = nan_mean(s.lon, i, i + kWindow, 1);
      if (!std::isfinite(lat) || !std::isfinite(lon)) continue;
      double clat = 0.0, clon = 0.0, km = 0.0, bearing = 0.0;
      centre(t, clat, clon);
      range_bearing(clat, clon, lat, lon, km, bearing);
      out.push_back({km, bearing, m});
    }
  }
  return out;
}

// Whether a mean at `km` and `bearing` from the centre lies in quadrant q (0 NE .. 3 NW), widened by the
// band of kRadiiBoundaryKm either side of its boundaries.
bool in_quadrant(double km, double bearing, std::size_t q) {
  double d = std::fmod(bearing - (90.0 * static_cast<double>(q) + 45.0), 360.0);
  if (d < -180.0) d += 360.0;
  if (d >= 180.0) d -= 360.0;
  const double beyond = std::fabs(d) - 45.0;  // deg past the nearer boundary
  return beyond <= 0.0 ||
         (beyond < 90.0 && km * std::sin(beyond * std::numbers::pi / 180.0) <= kRadiiBoundaryKm);
}

// The storm's RMW: the range of the largest leg peak, km (NaN without one).
double storm_rmw(const std::vector<Leg>& legs) {
  double rmw = std::numeric_limits<double>::quiet_NaN(), vmax = -1.0;
  for (const Leg& leg : legs)
    if (leg.has_peak && leg.peak > vmax) {
      vmax = leg.peak;
      rmw = leg.peak_radius_km;
    }
  return rmw;
}

}  // namespace

Radii wind_radii(const std::vector<Series>& flights, const std::vector<Leg>& legs, const CentreFn& centre) {
  const std::vector<Mean> means = leg_means(flights, legs, centre);
  const double rmw = storm_rmw(legs);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Radii out;
  for (std::size_t q = 0; q < 4; ++q) {
    std::vector<Mean> in;
    for (const Mean& m : means)
      if (in_quadrant(m.km, m.bearing, q)) in.push_back(m);
    out.has_data[q] = !in.empty();
    double inner = std::numeric_limits<double>::infinity();
    for (const Mean& m : in) inner = std::min(inner, m.km);
    for (std::size_t k = 0; k < 3; ++k) {
      const double threshold = kRadiiThresholdsKt[k] * kMsPerKt;
      double radius = -1.0;
      for (const Mean& m : in)
        if (m.wind >= threshold) radius = std::max(radius, m.km);
      bool shown = false;
      for (const Mean& m : in)
        if (m.wind < threshold && m.km > radius && m.km <= radius + kRadiiCrossingGap) shown = true;
      const bool reaches_core = std::isfinite(rmw) && inner <= rmw;
      out.unknown[k][q] = in.size() < kRadiiMinMeans || (radius < 0.0 && !reaches_core);
      out.lower_bound[k][q] = !out.unknown[k][q] && radius >= 0.0 && !shown;
      out.km[k][q] = out.unknown[k][q] ? nan : std::max(radius, 0.0);
    }
  }
  return out;
}

}  // namespace sfmr::storm
