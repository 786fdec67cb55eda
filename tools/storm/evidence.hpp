// The HDOBs' other evidence of the centre, beside the radiometer's wind:
//   - the pressure minimum times a pass's closest approach: a least-squares parabola in time through the
//     extrapolated surface pressure of the lowest line and the two lines either side (the lowest not at the
//     end of the pass's lines); its standard error by the delta method from the fit's covariance, the
//     residual variance taken no smaller than the code's rounding (0.1 hPa). The pass's time becomes the
//     weighted mean of the radiometer's and this one (weights the inverse variances) before the analysis
//     fits the storm's motion; `Pass::evidence` names what entered it.
//   - the flight-level wind places the centre in two dimensions. With the storm's motion U (the analysis's)
//     taken off, the wind at storm-relative position q = p - c from the centre c blows round it with an
//     inflow angle a: towards the angle of q turned by 90 deg + a (anticlockwise in the northern
//     hemisphere, clockwise in the southern). Over the lines of a pass within twice the storm's RMW (the
//     legs' median, at most kWindReachKm) of the fix and kWindReachS of its time, c and a minimise
//         sum_i (d_i - model_i(c, a))^2 / s_i^2 + ((a - kInflowPriorDeg) / kInflowPriorSigmaDeg)^2
//                                               + |c - c_guess|^2 / 10 km^2
//     (d_i the observed direction, Gauss-Newton from the analysis's fix, refitted about its own result
//     while that moves), so that an inflow not known exactly is fitted and its uncertainty carried into
//     the centre's covariance. s_i is the direction's error: a 30-s wind's error over the storm-relative
//     speed, with a model error. The loose prior holds the centre along the track of a pass through it,
//     whose directions only tell which lines lie before it and which after. The positions are those of a
//     straight track fitted in time through the whole-minute positions, whose error at the pass's time
//     adds to the covariance; so does the motion's error, through the centre's derivatives by the motion
//     (by differences), the motion known to 1 m/s where the passes fix it (else to the analysis's
//     widened error, at least 0.5 m/s). The directions' share is scaled by the residuals' Birge ratio
//     (chi^2 per degree of freedom, at least 0.25): the 30-s winds' own noise, less than the assumed 1 m/s
//     in calm air, more in convection. That centre and the analysis's fix are combined by their
//     covariances (inverse-covariance weights), the fix's taken along the pass from the pass's own time
//     (the radiometer's and the pressure's) with the held peaks' blur, across it from the analysis's fit,
//     and the fix's evidence gains "flight-level wind"; its accuracy is the combined covariance's. The two
//     more than 5 standard deviations apart are not combined: the wind's centre stands alone (evidence
//     "flight-level wind") when its error is below 1.5 km (the radiometer's dip was then another feature,
//     a moat, a band), else the fix stays, its accuracy at least their distance. On the simulated tune
//     flights these errors are true ones: 75 % of the fixes lie within their stated accuracy and
//     93 % within twice it (bench/storm_hdob.sh tune).
#pragma once

#include <array>
#include <vector>

#include "storm/analysis.hpp"
#include "storm/recon_input.hpp"

namespace sfmr::storm {

// Lines within this of a pass's time (s) are its evidence.
constexpr double kEvidenceReachS = 240.0;

// A time of closest approach and its standard error, s; NaN when the lines do not give one.
struct EvidenceTime {
  double time = 0.0;
  double sigma = 0.0;
};

// From the pressure of `lines` within kEvidenceReachS of `t0`.
EvidenceTime pressure_minimum_time(const HdobLines& lines, double t0);

// The flight-level wind's lines reach this far from the centre, km, and this far in time from the pass, s.
constexpr double kWindReachKm = 60.0;
constexpr double kWindReachS = 600.0;
// Prior of the flight-level inflow angle, deg: its mean and standard deviation (inflow at 700 hPa lies
// mostly between 0 and 15 degrees).
constexpr double kInflowPriorDeg = 5.0;
constexpr double kInflowPriorSigmaDeg = 5.0;

// A centre placed by the flight-level wind of one pass.
struct WindCentre {
  bool found = false;
  double x = 0.0, y = 0.0;      // km in the plane, at the pass's time
  std::array<double, 3> cov{};  // km^2: var x, cov xy, var y
  // Its parts by cause, km^2 (var x, cov xy, var y): the directions' (the fit's, widened by the Birge
  // ratio), the straight track's and the motion's.
  std::array<double, 3> fit_cov{}, track_cov{}, motion_cov{};
  double inflow_deg = 0.0;        // the fitted inflow angle
  double inflow_sigma_deg = 0.0;  // and its standard error
  int lines = 0;                  // lines used
};

// From the lines of `l` within kWindReachS of `t0` and `reach_km` of the first guess (x0, y0) (plane km, the
// centre at t0), the storm moving at (u, v) km/s east and north, that motion known to `motion_sigma` m/s
// (each component).
WindCentre flight_level_wind_centre(const HdobLines& l, const Plane& plane, double t0, double x0, double y0,
                                    double u, double v, double motion_sigma, double reach_km);

// Each pass of `an` with HDOB lines: its fix combined with the centre of the flight-level wind
// (`lines[f]` the HDOB lines of flight f, null for a flight file).
void place_by_flight_level_wind(Analysis& an, const std::vector<const HdobLines*>& lines);

// The analysis's centre moved onto the fixes the flight-level wind placed: the fitted track plus each
// pass's fix's offset from it (plane km; none for a fix of the fit itself), interpolated linearly in time
// between passes and held before the first and after the last; the legs, their peaks, the wind radii and
// every second's range and bearing from the centre are taken again about it. Unchanged without a fix the
// flight-level wind placed.
void recentre_on_wind_fixes(Analysis& an, const std::vector<Series>& flights);

// A PassRefiner for the analysis: `lines[f]` the HDOB lines of flight f, null for a flight file.
PassRefiner hdob_refiner(const std::vector<const HdobLines*>& lines);

}  // namespace sfmr::storm
