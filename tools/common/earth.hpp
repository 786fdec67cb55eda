// The one earth model of the companion tools: the WGS84 ellipsoid, with distances measured on the local
// scale of a latitude, which is what the simulator, the storm analysis and the checks of positions need
// over the few hundred kilometres of a flight.
//
// Radii of curvature at geodetic latitude phi (e.g. Torge & Mueller, Geodesy, 4th ed., eq. 4.39 and 4.40):
//   meridian        M = a (1 - e^2) / W^3        prime vertical  N = a / W,    W = sqrt(1 - e^2 sin^2 phi)
// so a degree of latitude is M pi/180 long and a degree of longitude N cos(phi) pi/180.
#pragma once

#include <cmath>
#include <numbers>

namespace sfmr::earth {

constexpr double kWgs84A = 6378.137;           // WGS84 semi-major axis, km
constexpr double kWgs84E2 = 6.69437999014e-3;  // WGS84 first eccentricity squared

// Mean radius of the ellipsoid, km: R1 = (2a + b) / 3 (IUGG), b = a sqrt(1 - e^2); 6371.0088 km. The radius
// of the sphere on which great-circle distances are measured.
inline const double kMeanRadiusKm = (2.0 * kWgs84A + kWgs84A * std::sqrt(1.0 - kWgs84E2)) / 3.0;

// Kilometres per degree of latitude and of longitude at latitude `lat` (deg).
struct KmPerDegree {
  double lat = 0.0, lon = 0.0;
};
KmPerDegree km_per_degree(double lat);

// Distance (km) and bearing (deg clockwise from north, 0..360) of (lat, lon) from (clat, clon), on the local
// scale of their mean latitude.
void range_bearing(double clat, double clon, double lat, double lon, double& km, double& bearing);

// Great-circle distance, km, on the sphere of kMeanRadiusKm, by the haversine formula (R. W. Sinnott,
// "Virtues of the haversine", Sky and Telescope 68, 1984), well conditioned for short distances; for points
// farther apart than the local scale of range_bearing serves (centre fixes of different messages).
double great_circle_km(double lat1, double lon1, double lat2, double lon2);

}  // namespace sfmr::earth
