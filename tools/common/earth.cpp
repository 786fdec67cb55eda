#include "common/earth.hpp"

#include <cmath>

namespace sfmr::earth {

using std::numbers::pi;

KmPerDegree km_per_degree(double lat) {
  const double s = std::sin(lat * pi / 180.0);
  const double w = 1.0 - kWgs84E2 * s * s;  // W^2
  return {.lat = kWgs84A * (1.0 - kWgs84E2) / std::pow(w, 1.5) * pi / 180.0,
          .lon = kWgs84A / std::sqrt(w) * std::cos(lat * pi / 180.0) * pi / 180.0};
}

void range_bearing(double clat, double clon, double lat, double lon, double& km, double& bearing) {
  const KmPerDegree k = km_per_degree(0.5 * (clat + lat));
  const double x = (lon - clon) * k.lon, y = (lat - clat) * k.lat;
  km = std::hypot(x, y);
  bearing = std::atan2(x, y) * 180.0 / pi;
  if (bearing < 0.0) bearing += 360.0;
  if (bearing >= 360.0) bearing -= 360.0;
}

}  // namespace sfmr::earth
