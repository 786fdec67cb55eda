#include "sim/storm.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/earth.hpp"

namespace sfmr::sim {

void Storm::centre(double t, double& lat, double& lon) const {
  const earth::KmPerDegree k = earth::km_per_degree(lat0);
  lat = lat0 + motion_north * t / 1000.0 / k.lat;
  lon = lon0 + motion_east * t / 1000.0 / k.lon;
}

void Storm::offset_km(double lat, double lon, double& east, double& north, double t) const {
  double clat = 0.0, clon = 0.0;
  centre(t, clat, clon);
  const earth::KmPerDegree k = earth::km_per_degree(lat0);
  east = (lon - clon) * k.lon;
  north = (lat - clat) * k.lat;
}

// Holland (1980): V(r) = Vmax sqrt((Rmax/r)^B exp(1 - (Rmax/r)^B)), which peaks at r = Rmax. The asymmetry
// adds A cos(angle from the right of the motion), fading linearly towards the calm centre inside Rmax.
double Storm::wind_relative(double east, double north) const {
  const double r = std::max(std::hypot(east, north), 0.5);
  const double p = std::pow(rmax / r, holland_b);
  double v = vmax * std::sqrt(p * std::exp(1.0 - p));
  const double speed = std::hypot(motion_east, motion_north);
  // Right of the motion: the motion vector turned 90 degrees clockwise; north for a still storm.
  const double along = speed > 0.0 ? (east * motion_north - north * motion_east) / speed : north;
  v += asymmetry * (along / r) * std::min(1.0, r / rmax);
  return std::max(v, background);
}

double Storm::wind(double lat, double lon, double t) const {
  double east = 0.0, north = 0.0;
  offset_km(lat, lon, east, north, t);
  return wind_relative(east, north);
}

double Storm::rain(double lat, double lon, double t) const {
  double east = 0.0, north = 0.0;
  offset_km(lat, lon, east, north, t);
  const double r = std::hypot(east, north);
  const double ring = (r - 1.15 * rmax) / (0.3 * rmax);
  double rr = eyewall_rain * std::exp(-ring * ring);
  // A band spiralling outwards by 25 km per turn, starting at 2.5 Rmax.
  double theta = std::atan2(north, east);
  if (theta < 0.0) theta += 2.0 * std::numbers::pi;
  const double band = (r - 2.5 * rmax - 25.0 * theta / (2.0 * std::numbers::pi)) / 10.0;
  rr += band_rain * std::exp(-band * band);
  rr += 1.5 * std::exp(-r / 150.0);  // stratiform rain
  return rr;
}

std::array<double, 4> Storm::radii_km(double threshold) const {
  std::array<double, 4> out{};
  for (int deg = 0; deg < 360; ++deg) {
    const double b = (deg + 0.5) * std::numbers::pi / 180.0;  // bearing clockwise from north
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

}  // namespace sfmr::sim
