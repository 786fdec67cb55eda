// A simulated storm put where a real one was: its position, motion, intensity and size at one time of a
// best track (b-deck or HURDAT2, read by the storm analysis's reader), with the Holland shape parameter and a
// wavenumber-1 asymmetry fitted to the track's quadrant wind radii.
#pragma once

#include "sim/storm.hpp"
#include "tracks/track_file.hpp"

namespace sfmr::sim {

// How the fit to the wind radii came out.
struct RadiiFit {
  int radii = 0;         // quadrant radii used (R34, R50, R64 that the track gives at the nearest time)
  double rms_nmi = 0.0;  // root-mean-square difference between the fitted storm's radii and the track's
};

// Sets the storm's centre (lat0, lon0) to the track's position at `time` (s since 1970; linear
// interpolation), its motion to the track's displacement from 90 minutes before to 90 minutes after (within
// the track's span), Vmax (the largest wind of the field) and the RMW to the track's values interpolated at
// `time` (the RMW kept as it is when the track gives none), the profile to Holland with no asymmetry to
// the right of the motion, and track_id and track_name to the track's. Then fits, when the nearest track
// time gives quadrant radii, Holland's B (0.8 to 2.5) and a wavenumber-1 asymmetry (amplitude 0 to 30 % of
// Vmax, any direction) by least squares on the radii: a grid of B in steps of 0.1, 7 amplitudes and 12
// directions, then a finer grid about the best (B in 0.02, direction in 5 degrees). Each model radius is the
// outermost reach of the threshold on three bearings of the quadrant (15, 45 and 75 degrees into it), found
// by bisection outside the RMW.
// Throws std::runtime_error when `time` lies outside the track or the track gives no Vmax there.
RadiiFit storm_from_track(const storm::StormTrack& track, double time, Storm& storm);

// The model's outermost radius (km) of `threshold` (m/s) in quadrant q (0 NE .. 3 NW) as the fit measures
// it; 0 when the threshold is not reached.
double fitted_radius_km(const Storm& storm, double threshold, int q);

}  // namespace sfmr::sim
