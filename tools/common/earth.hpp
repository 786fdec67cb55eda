// The one earth model of the companion tools: the WGS84 ellipsoid, with distances measured on the local
// scale of a latitude, which is what the simulator, the storm analysis and the checks of positions need
// over the few hundred kilometres of a flight.
//
// Radii of curvature at geodetic latitude phi (e.g. Torge & Mueller, Geodesy, 4th ed., eq. 4.39 and 4.40):
//   meridian        M = a (1 - e^2) / W^3        prime vertical  N = a / W,    W = sqrt(1 - e^2 sin^2 phi)
// so a degree of latitude is M pi/180 long and a degree of longitude N cos(phi) pi/180.
#pragma once

#include <numbers>

namespace sfmr::earth {

constexpr double kWgs84A = 6378.137;           // WGS84 semi-major axis, km
constexpr double kWgs84E2 = 6.69437999014e-3;  // WGS84 first eccentricity squared

// Kilometres per degree of latitude and of longitude at latitude `lat` (deg).
struct KmPerDegree {
  double lat = 0.0, lon = 0.0;
};
KmPerDegree km_per_degree(double lat);

// Distance (km) and bearing (deg clockwise from north, 0..360) of (lat, lon) from (clat, clon), on the local
// scale of their mean latitude.
void range_bearing(double clat, double clon, double lat, double lon, double& km, double& bearing);

}  // namespace sfmr::earth
