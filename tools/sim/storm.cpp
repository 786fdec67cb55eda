#include "sim/storm.hpp"

#include <algorithm>
#include <cmath>

namespace sfmr::sim {

namespace {
constexpr double kPi = 3.141592653589793;

// Holland (1980) shape: V / Vmax = sqrt((R/r)^B exp(1 - (R/r)^B)), which is 1 at r = R.
double holland_shape(double r, double radius, double b) {
  const double p = std::pow(radius / r, b);
  return std::sqrt(p * std::exp(1.0 - p));
}
}  // namespace

void Storm::centre(double t, double& lat, double& lon) const {
  lat = lat0 + motion_north * (t - epoch) / 1000.0 / kKmPerDegLat;
  lon = lon0 + motion_east * (t - epoch) / 1000.0 / (kKmPerDegLon * std::cos(lat0 * kPi / 180.0));
}

void Storm::offset_km(double lat, double lon, double& east, double& north, double t) const {
  double clat = 0.0, clon = 0.0;
  centre(t, clat, clon);
  east = (lon - clon) * kKmPerDegLon * std::cos(lat0 * kPi / 180.0);
  north = (lat - clat) * kKmPerDegLat;
}

// Holland (1980): V(r) = Vmax sqrt((Rmax/r)^B exp(1 - (Rmax/r)^B)), which peaks at r = Rmax.
// Power law and dual exponential, after Willoughby, Darling and Rahn (2006): V = Vmax (r/Rmax)^n inside
// Rmax, V = Vmax ((1 - A) exp(-(r - Rmax)/X1) + A exp(-(r - Rmax)/X2)) outside; their smooth transition
// zone is left out, so the two parts meet at Rmax, where the wind is Vmax.
// Concentric eyewalls: the inner Holland vortex, cut off outside Rmax by a Gaussian of half the gap to the
// outer maximum, plus an outer ring of outer_ratio x Vmax at Ro = outer_radius x Rmax (a Gaussian rise of
// 0.35 of the gap inside Ro, the Holland shape about Ro outside); the moat between holds under half Vmax.
double Storm::symmetric(double r) const {
  switch (profile) {
    case Profile::kWdr:
      if (r <= rmax) return vmax * std::pow(r / rmax, wdr_n);
      return vmax * ((1.0 - wdr_a) * std::exp(-(r - rmax) / wdr_x1) + wdr_a * std::exp(-(r - rmax) / wdr_x2));
    case Profile::kConcentric: {
      const double ro = outer_radius * rmax, gap = ro - rmax;
      double inner = vmax * holland_shape(r, rmax, holland_b);
      if (r > rmax) inner *= std::exp(-std::pow((r - rmax) / (0.5 * gap), 2));
      const double outer =
          r < ro ? std::exp(-std::pow((r - ro) / (0.35 * gap), 2)) : holland_shape(r, ro, holland_b);
      return inner + outer_ratio * vmax * outer;
    }
    default: {
      const double p = std::pow(rmax / r, holland_b);
      return vmax * std::sqrt(p * std::exp(1.0 - p));
    }
  }
}

// The asymmetries add A cos(angle from their direction) (2 x the angle for wavenumber 2), fading linearly
// towards the calm centre inside Rmax and constant outside it. `asymmetry` points to the right of the motion
// (the motion vector turned 90 degrees clockwise), north for a still storm.
double Storm::wind_relative(double east, double north) const {
  const double r = std::max(std::hypot(east, north), 0.5);
  double v = symmetric(r);
  const double speed = std::hypot(motion_east, motion_north);
  const double along = speed > 0.0 ? (east * motion_north - north * motion_east) / speed : north;
  const double fade = std::min(1.0, r / rmax);
  v += asymmetry * (along / r) * fade;
  if (wn1 != 0.0 || wn2 != 0.0) {
    const double bearing = std::atan2(east, north);
    v += wn1 * std::cos(bearing - wn1_dir * kPi / 180.0) * fade;
    v += wn2 * std::cos(2.0 * (bearing - wn2_dir * kPi / 180.0)) * fade;
  }
  if (eye_wind > 0.0 && r < rmax) v = std::max(v, eye_wind);
  return std::max(v, background);
}

double Storm::wind(double lat, double lon, double t) const {
  double east = 0.0, north = 0.0;
  offset_km(lat, lon, east, north, t);
  return wind_relative(east, north);
}

// The eyewall ring peaks at rain_ring x Rmax; with a direction its rain falls from the full rate there to a
// quarter of it on the opposite side, as (1 + 3 (1 + cos(angle)) / 2) / 4.
double Storm::rain(double lat, double lon, double t) const {
  double east = 0.0, north = 0.0;
  offset_km(lat, lon, east, north, t);
  const double r = std::hypot(east, north);
  const double ring = (r - rain_ring * rmax) / (0.3 * rmax);
  double rr = eyewall_rain * std::exp(-ring * ring);
  if (rain_dir >= 0.0)
    rr *= 0.25 + 0.375 * (1.0 + std::cos(std::atan2(east, north) - rain_dir * kPi / 180.0));
  // A band spiralling outwards by 25 km per turn, starting at 2.5 Rmax.
  double theta = std::atan2(north, east);
  if (theta < 0.0) theta += 2.0 * kPi;
  const double band = (r - 2.5 * rmax - 25.0 * theta / (2.0 * kPi)) / 10.0;
  rr += band_rain * std::exp(-band * band);
  rr += 1.5 * std::exp(-r / 150.0);  // stratiform rain
  return rr;
}

std::array<double, 4> Storm::radii_km(double threshold) const {
  std::array<double, 4> out{};
  for (int deg = 0; deg < 360; ++deg) {
    const double b = (deg + 0.5) * kPi / 180.0;  // bearing clockwise from north
    for (int k = 5000; k > 0; --k) {
      const double r = 0.1 * k;
      if (wind_relative(r * std::sin(b), r * std::cos(b)) >= threshold) {
        double& q = out[static_cast<std::size_t>(deg / 90)];
        q = std::max(q, r);
        break;
      }
    }
  }
  return out;
}

Peak field_peak(const Storm& s) {
  Peak best{-1.0, 0.0, 0.0};
  auto consider = [&](double r, double deg) {
    const double b = deg * kPi / 180.0;
    const double w = s.wind_relative(r * std::sin(b), r * std::cos(b));
    if (w > best.wind) best = {w, r, std::fmod(deg + 360.0, 360.0)};
  };
  if (s.profile != Profile::kConcentric) {
    for (int k = 0; k < 3600; ++k) consider(s.rmax, 0.1 * k);
    const double at = best.bearing;
    for (int k = -100; k <= 100; ++k) consider(s.rmax, at + 0.001 * k);
    return best;
  }
  const double dr = s.rmax / 200.0;
  for (int i = 1; i <= 1000; ++i)
    for (int k = 0; k < 360; ++k) consider(i * dr, k);
  const Peak coarse = best;
  for (int i = -50; i <= 50; ++i)
    for (int k = -50; k <= 50; ++k) consider(coarse.radius + i * dr / 50.0, coarse.bearing + k / 50.0);
  return best;
}

}  // namespace sfmr::sim
