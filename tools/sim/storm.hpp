// A parametric tropical cyclone: surface wind from a Holland (1980) radial profile with a wavenumber-1
// asymmetry, and rain from an eyewall ring, a spiral band and light stratiform rain. The centre moves at a
// constant velocity from (lat0, lon0) at t = 0.
#pragma once

#include <array>

namespace sfmr::sim {

struct Storm {
  double lat0 = 26.0;          // centre latitude at t = 0, deg
  double lon0 = -85.0;         // centre longitude at t = 0, deg
  double vmax = 50.0;          // maximum surface wind of the symmetric vortex, m/s
  double rmax = 35.0;          // radius of maximum wind, km
  double holland_b = 1.6;      // Holland shape parameter
  double asymmetry = 4.0;      // extra wind on the storm's right side (north when still), m/s
  double background = 3.0;     // least wind far from the storm, m/s
  double eyewall_rain = 45.0;  // peak eyewall rain rate, mm/h
  double band_rain = 12.0;     // peak spiral-band rain rate, mm/h
  double motion_east = 0.0;    // centre velocity, m/s
  double motion_north = 0.0;

  // Centre at `t` seconds after the start, deg.
  void centre(double t, double& lat, double& lon) const;

  // Distance east and north of the centre at time t (s), km (local flat approximation).
  void offset_km(double lat, double lon, double& east, double& north, double t = 0.0) const;

  // Surface (10 m) wind speed at time t (s), m/s.
  double wind(double lat, double lon, double t = 0.0) const;

  // Rain rate at time t (s), mm/h.
  double rain(double lat, double lon, double t = 0.0) const;

  // Wind as a function of storm-relative position (km east and north of the centre), m/s.
  double wind_relative(double east, double north) const;

  // Outermost radius (km) at which the wind reaches `threshold` (m/s) in each quadrant NE, SE, SW, NW,
  // sampled every degree of azimuth and 0.1 km out to 500 km; 0 when never reached.
  std::array<double, 4> radii_km(double threshold) const;
};

}  // namespace sfmr::sim
