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

// hav(theta) = hav(dlat) + cos(lat1) cos(lat2) hav(dlon), with hav(x) = sin^2(x / 2); d = 2 R asin(sqrt(h)).
double great_circle_km(double lat1, double lon1, double lat2, double lon2) {
  const double rad = pi / 180.0;
  const double dlat = (lat2 - lat1) * rad, dlon = (lon2 - lon1) * rad;
  const double s1 = std::sin(dlat / 2.0), s2 = std::sin(dlon / 2.0);
  const double h = s1 * s1 + std::cos(lat1 * rad) * std::cos(lat2 * rad) * s2 * s2;
  return 2.0 * kMeanRadiusKm * std::asin(std::sqrt(std::fmin(1.0, h)));
}

}  // namespace sfmr::earth
