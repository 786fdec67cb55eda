// A parametric tropical cyclone: surface wind from a radial profile (Holland 1980, a power law inside the
// radius of maximum wind with a dual-exponential decay outside after Willoughby, Darling and Rahn 2006, or
// concentric eyewalls) with wavenumber-1 and wavenumber-2 asymmetries, and rain from an eyewall ring, a
// spiral band and light stratiform rain. The centre moves at a constant velocity and is at (lat0, lon0) at
// t = epoch (seconds after the flight's first record).
#pragma once

#include <array>
#include <string>

namespace sfmr::sim {

enum class Profile { kHolland, kWdr, kConcentric };

struct Storm {
  double lat0 = 26.0;   // centre latitude at t = epoch, deg
  double lon0 = -85.0;  // centre longitude at t = epoch, deg
  double epoch = 0.0;   // time at which the centre is at (lat0, lon0), s after the first record
  double vmax = 50.0;   // maximum surface wind of the symmetric vortex, m/s
  double rmax = 35.0;   // radius of maximum wind, km
  Profile profile = Profile::kHolland;
  double holland_b = 1.6;      // Holland shape parameter (also the outer ring's decay for kConcentric)
  double wdr_n = 1.0;          // kWdr: power of the inner profile V = Vmax (r / Rmax)^n
  double wdr_x1 = 250.0;       // kWdr: slow e-folding length of the outer decay, km
  double wdr_x2 = 25.0;        // kWdr: fast e-folding length, km
  double wdr_a = 0.15;         // kWdr: share of the fast decay, 0..1
  double outer_radius = 2.5;   // kConcentric: radius of the outer maximum, in units of rmax
  double outer_ratio = 0.8;    // kConcentric: outer maximum over the inner one (of the symmetric vortex)
  double asymmetry = 4.0;      // extra wind on the storm's right side (north when still), m/s
  double wn1 = 0.0;            // wavenumber-1 amplitude, m/s, with its maximum towards wn1_dir
  double wn1_dir = 0.0;        // deg clockwise from north
  double wn2 = 0.0;            // wavenumber-2 amplitude, m/s, maxima towards wn2_dir and wn2_dir + 180
  double wn2_dir = 0.0;        // deg clockwise from north
  double eye_wind = 0.0;       // least wind inside the radius of maximum wind, m/s
  double background = 3.0;     // least wind far from the storm, m/s
  double eyewall_rain = 45.0;  // peak eyewall rain rate, mm/h
  double rain_ring = 1.15;     // radius of the eyewall rain ring, in units of rmax
  double rain_dir = -1.0;      // azimuth of the ring's heaviest rain, deg clockwise from north; < 0: uniform
  double band_rain = 12.0;     // peak spiral-band rain rate, mm/h
  double motion_east = 0.0;    // centre velocity, m/s
  double motion_north = 0.0;
  // The real storm this one is put in the place of (storm_from_track): its basin, number and year (AL092024)
  // and name as the track gives them; empty for the simulator's own storm.
  std::string track_id, track_name;

  // Centre at `t` seconds after the start, deg.
  void centre(double t, double& lat, double& lon) const;

  // Distance east and north of the centre at time t (s), km (local flat approximation).
  void offset_km(double lat, double lon, double& east, double& north, double t = 0.0) const;

  // Surface (10 m) wind speed at time t (s), m/s.
  double wind(double lat, double lon, double t = 0.0) const;

  // Rain rate at time t (s), mm/h.
  double rain(double lat, double lon, double t = 0.0) const;

  // Wind of the symmetric vortex at radius r (km), m/s (before the asymmetries and the floors).
  double symmetric(double r) const;

  // Wind as a function of storm-relative position (km east and north of the centre), m/s.
  double wind_relative(double east, double north) const;

  // Outermost radius (km) at which the wind reaches `threshold` (m/s) in each quadrant NE, SE, SW, NW,
  // sampled every degree of azimuth and 0.1 km out to 500 km; 0 when never reached.
  std::array<double, 4> radii_km(double threshold) const;
};

// The largest wind of a storm's field and where it lies.
struct Peak {
  double wind = 0.0;     // m/s
  double radius = 0.0;   // km from the centre
  double bearing = 0.0;  // deg clockwise from north
};

// The field's largest wind. For Holland and power-law profiles every asymmetry term grows with radius
// inside rmax and is constant outside while the symmetric wind falls, so the maximum lies on r = rmax, at the
// azimuth of the largest asymmetry (a 0.1-degree scan, then 0.001 degree); concentric vortices are scanned
// in radius and azimuth (rmax / 200 and 1 degree out to 5 rmax, then 50 times finer round the best).
Peak field_peak(const Storm& storm);

}  // namespace sfmr::sim
