// A parametric tropical cyclone: surface wind from a Holland (1980) radial profile with a motion asymmetry,
// and rain from an eyewall ring, a spiral band and light stratiform rain.
#pragma once

namespace sfmr::sim {

struct Storm {
  double lat0 = 26.0;          // centre latitude, deg
  double lon0 = -85.0;         // centre longitude, deg
  double vmax = 50.0;          // maximum surface wind, m/s
  double rmax = 35.0;          // radius of maximum wind, km
  double holland_b = 1.6;      // Holland shape parameter
  double asymmetry = 4.0;      // extra wind on the storm's right (north) side, m/s
  double background = 3.0;     // least wind far from the storm, m/s
  double eyewall_rain = 45.0;  // peak eyewall rain rate, mm/h
  double band_rain = 12.0;     // peak spiral-band rain rate, mm/h

  // Distance east and north of the centre, km (local flat approximation).
  void offset_km(double lat, double lon, double& east, double& north) const;

  // Surface (10 m) wind speed, m/s.
  double wind(double lat, double lon) const;

  // Rain rate, mm/h.
  double rain(double lat, double lon) const;
};

}  // namespace sfmr::sim
