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
// and east and north (km): across the north-south and the east-west boundary lines.
struct Mean {
  double km, bearing, wind, noise, radial, east, north;
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
      double radial = 0.0, east = 0.0, north = 0.0;
      if (centre_var) {
        radial = std::sqrt(std::max(0.0, centre_var(t, bearing)));
        east = std::sqrt(std::max(0.0, centre_var(t, 90.0)));
        north = std::sqrt(std::max(0.0, centre_var(t, 0.0)));
      }
      out.push_back({km, bearing, m, noise[l], radial, east, north, l});
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

// Whether mean `m` still counts for quadrant q with the centre moved by kRadiiSigmas of its errors across
// either boundary line: its distances east and north of the centre, signed towards the quadrant, each less
// that many errors along it (east across the north-south line, north across the east-west one), stay
// within the band. Both lines count: a mean near the centre lies near both, and the centre's error may be
// much larger along one of them (passes at one heading fix the centre along it only).
bool sure_in(const Mean& m, std::size_t q) {
  const double b = m.bearing * std::numbers::pi / 180.0;
  const double east = (q < 2 ? 1.0 : -1.0) * m.km * std::sin(b);
  const double north = (q == 0 || q == 3 ? 1.0 : -1.0) * m.km * std::cos(b);
  return std::min(east - kRadiiSigmas * m.east, north - kRadiiSigmas * m.north) > -kRadiiBoundaryKm;
}

// The storm's RMW: the range of the largest leg peak and its error from the fit and the centre
// (Leg::peak_core_error_km), km (NaN without one).
void storm_rmw(const std::vector<Leg>& legs, double& rmw, double& error) {
  rmw = error = std::numeric_limits<double>::quiet_NaN();
  double vmax = -1.0;
  for (const Leg& leg : legs)
    if (leg.has_peak && leg.peak > vmax) {
      vmax = leg.peak;
      rmw = leg.peak_radius_km;
      error = leg.peak_core_error_km;
    }
}

// One quadrant's means: those counted (in it or in the band beyond its boundaries), which of them are
// sure (sure_in), and which witness that its data reach a threshold or the core. A quadrant with
// kRadiiMinMeans sure means of its own (inside it about the fitted centre) is judged by them alone: a leg
// just beyond its boundary counts for its radius, but the quadrant's own legs show what lies inside it (a
// quadrant flown only far out must not take its core or its winds from the neighbour's boundary leg). A
// quadrant seen only along its boundaries (a figure-four's legs) is judged by its sure means.
struct Quadrant {
  std::vector<Mean> counted;
  std::vector<bool> sure, witness;
  std::size_t sure_count = 0;
  bool core = false;  // a witness inside the RMW beyond the errors of both
};

Quadrant quadrant_means(const std::vector<Mean>& means, std::size_t q, double rmw, double rmw_error) {
  Quadrant out;
  std::size_t own = 0;
  for (const Mean& m : means) {
    const double inside = inside_km(m.km, m.bearing, q);
    if (inside < -kRadiiBoundaryKm) continue;
    const bool sure = sure_in(m, q);
    out.counted.push_back(m);
    out.sure.push_back(sure);
    out.witness.push_back(sure && inside > 0.0);
    if (sure) ++out.sure_count;
    if (out.witness.back()) ++own;
  }
  if (own < kRadiiMinMeans) out.witness = out.sure;
  for (std::size_t i = 0; i < out.counted.size(); ++i) {
    const Mean& m = out.counted[i];
    if (out.witness[i] && m.km < rmw - kRadiiSigmas * std::hypot(m.radial, rmw_error)) out.core = true;
  }
  return out;
}

// Whether a witness mean exceeds `threshold` (m/s) beyond the noise (exceedance_margin), K the witness
// means within kRadiiSigmas noises of the threshold or above it.
bool threshold_exceeded(const Quadrant& qd, double threshold) {
  double near = 0.0;
  for (std::size_t i = 0; i < qd.counted.size(); ++i)
    if (qd.witness[i] && qd.counted[i].wind >= threshold - kRadiiSigmas * qd.counted[i].noise) near += 1.0;
  const double margin = exceedance_margin(near);
  for (std::size_t i = 0; i < qd.counted.size(); ++i)
    if (qd.witness[i] && qd.counted[i].wind > threshold + margin * qd.counted[i].noise) return true;
  return false;
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

double exceedance_margin(double means) {
  const double log_k = std::log(std::max(1.0, means / static_cast<double>(kWindow)));
  return std::max(0.0, std::sqrt(2.0 * log_k) - 0.6) + kRadiiSigmas / (1.0 + 0.2 * log_k);
}

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
      for (const Mean& m : qd.counted)
        if (m.wind >= threshold) radius = std::max(radius, m.km);
      out.unknown[k][q] = qd.sure_count < kRadiiMinMeans || !(qd.core || threshold_exceeded(qd, threshold));
      out.lower_bound[k][q] =
          !out.unknown[k][q] && radius >= 0.0 && !crossing_shown(qd, threshold, radius, legs.size());
      out.km[k][q] = out.unknown[k][q] ? nan : std::max(radius, 0.0);
    }
  }
  return out;
}

}  // namespace sfmr::storm
