// The centre's time of closest approach on a pass from the HDOBs' other evidence, combined with the
// radiometer's by their errors:
//   - the pressure minimum: a least-squares parabola in time through the extrapolated surface pressure of
//     the lowest line and the two lines either side (the lowest not at the end of the pass's lines);
//   - the circulation centre of the flight-level wind: at the closest approach the wind blows along the
//     track (the centre lies to its left in the northern hemisphere, perpendicular), so the wind's component
//     across the track changes sign there; a least-squares line through the across-track component of the
//     two lines either side of the sign change nearest the pass gives its zero.
// Each time's standard error comes by the delta method from its fit's covariance, the residual variance
// taken no smaller than the code's rounding (0.1 hPa; 1 kt and 1 deg of the wind). The pass's time becomes
// the weighted mean of the radiometer's and these (weights the inverse variances), its error that of the
// mean, and `Pass::evidence` names what entered it. The across-track place of the centre still comes from
// the passes' headings (method, step 4).
#pragma once

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

// From the flight-level wind of `lines` within kEvidenceReachS of `t0`, the track along (vx, vy) (km/s east
// and north).
EvidenceTime wind_centre_time(const HdobLines& lines, double t0, double vx, double vy);

// A PassRefiner for the analysis: `lines[f]` the HDOB lines of flight f, null for a flight file.
PassRefiner hdob_refiner(const std::vector<const HdobLines*>& lines);

}  // namespace sfmr::storm
