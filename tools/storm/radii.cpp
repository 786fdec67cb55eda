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

// One 10-s mean: distance (km) and bearing (deg) from the centre at its mid-time, the mean (m/s), the noise
// of a 10-s mean of its leg (m/s) and the centre's standard errors at its time along its bearing (radial)
// and across it (km).
struct Mean {
  double km, bearing, wind, noise, radial, across;
  std::size_t leg;  // index into the legs
};

// Noise of a 10-s mean per leg; a leg too short for its own takes the largest of the others'.
std::vector<double> leg_noises(const std::vector<Series>& flights, const std::vector<Leg>& legs) {
  std::vector<double> out;
  double largest = 0.0;
  for (const Leg& leg : legs) {
    out.push_back(ten_second_noise(flights[leg.flight], leg));
    if (std::isfinite(out.back())) largest = std::max(largest, out.back());
  }
  for (double& n : out)
    if (!std::isfinite(n)) n = largest;
  return out;
}

// The 10-s means of every leg about `centre`, with their leg's noise and the centre's errors.
std::vector<Mean> leg_means(const std::vector<Series>& flights, const std::vector<Leg>& legs,
                            const CentreFn& centre, const CentreVarFn& centre_var) {
  const std::vector<double> noise = leg_noises(flights, legs);
  std::vector<Mean> out;
  for (std::size_t l = 0; l < legs.size(); ++l) {
    const Leg& leg = legs[l];
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
      double radial = 0.0, across = 0.0;
      if (centre_var) {
        radial = std::sqrt(std::max(0.0, centre_var(t, bearing)));
        across = std::sqrt(std::max(0.0, centre_var(t, bearing + 90.0)));
      }
      out.push_back({km, bearing, m, noise[l], radial, across, l});
    }
  }
  return out;
}

// Distance (km) of a mean at `km` and `bearing` inside quadrant q (0 NE .. 3 NW) from the nearer of its
// boundaries' lines through the centre; negative beyond a boundary, minus infinity more than 90 deg beyond
// (on the far side of the centre, where no band reaches).
double inside_km(double km, double bearing, std::size_t q) {
  double d = std::fmod(bearing - (90.0 * static_cast<double>(q) + 45.0), 360.0);
  if (d < -180.0) d += 360.0;
  if (d >= 180.0) d -= 360.0;
  const double beyond = std::fabs(d) - 45.0;  // deg past the nearer boundary
  return beyond < 90.0 ? -km * std::sin(beyond * std::numbers::pi / 180.0)
                       : -std::numeric_limits<double>::infinity();
}

// The storm's RMW: the range of the largest leg peak and its standard error, km (NaN without one).
void storm_rmw(const std::vector<Leg>& legs, double& rmw, double& error) {
  rmw = error = std::numeric_limits<double>::quiet_NaN();
  double vmax = -1.0;
  for (const Leg& leg : legs)
    if (leg.has_peak && leg.peak > vmax) {
      vmax = leg.peak;
      rmw = leg.peak_radius_km;
      error = leg.peak_radius_error_km;
    }
}

// One quadrant's means: those counted (in it or in the band beyond its boundaries) and which of them are
// sure (still counted with the centre moved by kRadiiSigmas of its errors across the boundary's line).
struct Quadrant {
  std::vector<Mean> counted;
  std::vector<bool> sure;
  std::size_t sure_count = 0;
  bool core = false;  // a sure mean inside the RMW beyond the errors of both
};

Quadrant quadrant_means(const std::vector<Mean>& means, std::size_t q, double rmw, double rmw_error) {
  Quadrant out;
  for (const Mean& m : means) {
    const double inside = inside_km(m.km, m.bearing, q);
    if (inside < -kRadiiBoundaryKm) continue;
    const bool sure = inside > kRadiiSigmas * m.across - kRadiiBoundaryKm;
    out.counted.push_back(m);
    out.sure.push_back(sure);
    if (!sure) continue;
    ++out.sure_count;
    if (m.km < rmw - kRadiiSigmas * std::hypot(m.radial, rmw_error)) out.core = true;
  }
  return out;
}

// Whether the quadrant's data show the wind falling below `threshold` (m/s) beyond `radius` (km): a sure
// mean below it within kRadiiCrossingGap beyond the radius (no gap in the data there), and where the
// quadrant's data end the wind plainly below the threshold, beyond the noise (nearer the crossing a gentle
// slope keeps the means within the noise of it): every counted mean from the outermost sure mean
// outwards, and the outermost counted mean of every leg. A leg that ends above the threshold leaves the
// radius open at its bearing, and a leg in the band may be the quadrant's last data whichever side of the
// boundary it lies.
bool crossing_shown(const Quadrant& qd, double threshold, double radius, std::size_t legs) {
  auto clearly_below = [threshold](const Mean& m) { return m.wind < threshold - kRadiiSigmas * m.noise; };
  double outer = -1.0;
  std::vector<const Mean*> leg_end(legs, nullptr);
  for (std::size_t i = 0; i < qd.counted.size(); ++i) {
    const Mean& m = qd.counted[i];
    if (qd.sure[i]) outer = std::max(outer, m.km);
    if (leg_end[m.leg] == nullptr || m.km > leg_end[m.leg]->km) leg_end[m.leg] = &m;
  }
  for (const Mean* end : leg_end)
    if (end != nullptr && !clearly_below(*end)) return false;
  bool below = false;
  for (std::size_t i = 0; i < qd.counted.size(); ++i) {
    const Mean& m = qd.counted[i];
    if (m.km >= outer && !clearly_below(m)) return false;
    if (qd.sure[i] && m.wind < threshold && m.km > radius && m.km <= radius + kRadiiCrossingGap) below = true;
  }
  return below;
}

}  // namespace

Radii wind_radii(const std::vector<Series>& flights, const std::vector<Leg>& legs, const CentreFn& centre,
                 const CentreVarFn& centre_var) {
  const std::vector<Mean> means = leg_means(flights, legs, centre, centre_var);
  double rmw = 0.0, rmw_error = 0.0;
  storm_rmw(legs, rmw, rmw_error);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Radii out;
  for (std::size_t q = 0; q < 4; ++q) {
    const Quadrant qd = quadrant_means(means, q, rmw, rmw_error);
    out.has_data[q] = !qd.counted.empty();
    for (std::size_t k = 0; k < 3; ++k) {
      const double threshold = kRadiiThresholdsKt[k] * kMsPerKt;
      double radius = -1.0;
      bool exceeded = false;  // a sure mean above the threshold beyond the noise
      for (std::size_t i = 0; i < qd.counted.size(); ++i) {
        const Mean& m = qd.counted[i];
        if (m.wind >= threshold) radius = std::max(radius, m.km);
        if (qd.sure[i] && m.wind > threshold + kRadiiSigmas * m.noise) exceeded = true;
      }
      out.unknown[k][q] = qd.sure_count < kRadiiMinMeans || !(exceeded || qd.core);
      out.lower_bound[k][q] =
          !out.unknown[k][q] && radius >= 0.0 && !crossing_shown(qd, threshold, radius, legs.size());
      out.km[k][q] = out.unknown[k][q] ? nan : std::max(radius, 0.0);
    }
  }
  return out;
}

}  // namespace sfmr::storm
