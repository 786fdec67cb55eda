#include "sim/storm.hpp"

#include <algorithm>
#include <cmath>

namespace sfmr::sim {

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kKmPerDegLat = 110.57;  // km per degree of latitude
constexpr double kKmPerDegLon = 111.32;  // km per degree of longitude at the equator
}  // namespace

void Storm::offset_km(double lat, double lon, double& east, double& north) const {
  east = (lon - lon0) * kKmPerDegLon * std::cos(lat0 * kPi / 180.0);
  north = (lat - lat0) * kKmPerDegLat;
}

// Holland (1980): V(r) = Vmax sqrt((Rmax/r)^B exp(1 - (Rmax/r)^B)), which peaks at r = Rmax.
double Storm::wind(double lat, double lon) const {
  double east = 0.0, north = 0.0;
  offset_km(lat, lon, east, north);
  const double r = std::max(std::hypot(east, north), 0.5);
  const double p = std::pow(rmax / r, holland_b);
  double v = vmax * std::sqrt(p * std::exp(1.0 - p));
  // Asymmetry from the storm's motion, fading towards the calm centre.
  v += asymmetry * (north / r) * std::min(1.0, r / rmax);
  return std::max(v, background);
}

double Storm::rain(double lat, double lon) const {
  double east = 0.0, north = 0.0;
  offset_km(lat, lon, east, north);
  const double r = std::hypot(east, north);
  const double ring = (r - 1.15 * rmax) / (0.3 * rmax);
  double rr = eyewall_rain * std::exp(-ring * ring);
  // A band spiralling outwards by 25 km per turn, starting at 2.5 Rmax.
  double theta = std::atan2(north, east);
  if (theta < 0.0) theta += 2.0 * kPi;
  const double band = (r - 2.5 * rmax - 25.0 * theta / (2.0 * kPi)) / 10.0;
  rr += band_rain * std::exp(-band * band);
  rr += 1.5 * std::exp(-r / 150.0);  // stratiform rain
  return rr;
}

}  // namespace sfmr::sim
