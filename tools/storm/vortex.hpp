// A moving parametric vortex fitted to every retrieved second of the inner core of every flight, the pass
// solution (analysis.hpp, steps 3-4) as its starting point: a refinement of the centre track that no single
// pass can give where a strong wavenumber 1 moves the calmest wind off the circulation's centre.
//
// Data: the retrieved seconds (out of turns, with a position) whose range from the pass solution's centre
// lies within 1.8 times the inner eyewall's radius R0 (the passes' common chord radius, or the median of
// their half chords' ranges), walked outwards from each closest approach and stopped at a moat (beyond
// R0, the 10-s mean rising again over its least value since its peak by 8 % of the peak, at least
// 2.5 m/s: the outer eyewall of a concentric storm or a rain band must not enter). Consecutive seconds are
// averaged over 5 s (0.65 km of track at 130 m/s), which keeps the eye's shape and the fit fast; over
// longer blocks where more than 3000 such means would result.
//
// Model, at the storm-relative position (r, theta) about the centre c(t) = c0 + U (t - tref):
//   symmetric speed   S(r) = sqrt(H(r)^2 + E^2),  H = Vmax x^a [(1 + k) / (1 + k x^c)]^((a + n) / c)
// with x = r / R and k = a / n: H rises as x^a inside R, decays as x^-n outside it, and has its maximum
// Vmax at R whatever a, n and c (d ln H / d ln x = a - (a + n) k x^c / (1 + k x^c), zero at x = 1); c sets
// how sharply the eyewall's peak turns. A power law inside (Willoughby, Darling and Rahn 2006) is the
// limit of small x; a large a stands for a Holland (1980) core that stays near calm out to 0.3-0.4 R. E is
// the eye's residual wind and the retrieval's bias near calm. Wavenumber 2 multiplies the rotating wind by
// 1 + a2 cos 2 theta + b2 sin 2 theta (an elliptical eyewall). Wavenumber 1 takes one of two forms:
//   multiplicative  V = S (1 + a2 cos 2 theta + b2 sin 2 theta + a1 cos theta + b1 sin theta)
//   vector          V = | S (1 + a2 cos 2 theta + b2 sin 2 theta) e_theta + A |
// The vector form is a uniform flow A added to the rotating wind (the storm's translation, or the
// ventilation by shear): near the centre, where S < |A|, the speed's minimum leaves the centre for the
// point on the side where the rotating wind runs against A at the radius where S = |A|. The
// multiplicative form keeps the calm point at the centre. Near the eyewall both give a cos theta of
// the speed; only the eye's seconds tell them apart, so both are fitted and the one with the smaller
// robust misfit is kept (their unknowns are as many). The sense of rotation needs no parameter: it only
// turns A by 180 degrees. Fourteen unknowns: c0, U, Vmax, R, a, n, c, E and the two pairs of the
// asymmetries.
//
// Fit: Levenberg-Marquardt (Marquardt 1963) on the block means with forward-difference derivatives,
// reweighted each step by Huber's weights (k = 1.5 robust standard deviations from the residuals' median
// absolute deviation), so that a rain-contaminated block or a gust does not pull the centre; the motion's
// prior (the still storm's or the track's, as the passes' fit takes it) joins the misfit. The covariance
// of (c0, U) is the inverse of the weighted normal matrix times the residuals' variance (the reduced
// chi-square of unit weights), times (1 + rho) / (1 - rho) for the lag-1 correlation rho of consecutive
// blocks' residuals (the variance of a mean of an AR(1) series). The model's own error is added to it
// (vortex_model_error), and the profile's share that the passes' fit adds (add_profile_bias).
//
// Use (refine_with_vortex): the passes see the eye directly and are finer where they are right, so the
// fit places the fixes only where it disagrees with them beyond its own error: the passes' centre lies
// more than twice the fit's error from the fit's (on average over the passes; the error here with 1.3 times
// the model error, its tail), and within three of the passes' stated errors (or 2 km; the errors before
// their calibration) at every pass, the fit converged, its centre's standard error below 0.1 R0, its eye's
// wind below 0.35 Vmax (else the data do not show the fall to calm that places the centre), and the passes at
// two headings or more. Otherwise the pass solution stands, its errors then taking the wavenumber 2 the fit
// found (when sound: vortex_sound) and their calibration (analysis.hpp, step 6). Limits: one profile for the
// whole flight (an eyewall that contracts over hours biases R, not c0), the asymmetry fixed in the storm's
// frame and the motion constant; where the passes are off by less than about 0.2 R the fit cannot tell them
// wrong and leaves them.
#pragma once

#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "storm/analysis.hpp"

namespace sfmr::storm {

// One block mean of the retrieved wind: mid-time (s since 1970), mean position in the plane (km), mean
// wind (m/s); `run` numbers the unbroken stretches of consecutive blocks (for the residuals' correlation).
struct VortexSample {
  double t = 0.0, x = 0.0, y = 0.0, wind = 0.0;
  std::size_t run = 0;
};

// The fitted vortex: its track (t_ref, x0, y0, u, v as in Motion) with the covariance of (x0, y0, u, v),
// the profile and asymmetry, and the diagnostics that decide whether it is used.
struct VortexFit {
  bool converged = false;
  bool vector_wn1 = false;  // the vector form of wavenumber 1 fitted better
  std::size_t samples = 0;
  double inner_radius = 0.0;  // km, R0 that bounded the data
  double t_ref = 0.0, x0 = 0.0, y0 = 0.0, u = 0.0, v = 0.0;
  std::array<std::array<double, 4>, 4> cov{};
  double vmax = 0.0, rmw = 0.0, eye = 0.0;               // m/s, km, m/s
  double shape_b = 0.0, decay_n = 0.0, sharpness = 0.0;  // the profile's inner power, outer power, knee
  double wn1 = 0.0, wn1_dir = 0.0;  // m/s (vector) or share of S (multiplicative); deg clockwise from north
  double wn2 = 0.0;                 // share of S
  double sigma = 0.0;               // m/s, the residuals' robust standard deviation
  double rho = 0.0;                 // lag-1 correlation of consecutive blocks' residuals
};

// Block means of the inner core about the centre of `start` (see the header comment); `r0` the inner
// eyewall's radius (km).
std::vector<VortexSample> vortex_samples(const std::vector<Series>& flights, const Plane& plane,
                                         const Motion& start, double r0);

// The inner eyewall's radius (km) from the passes about `m`: the chords' common radius when fitted, else
// the median range of the passes' nearer eyewall peaks; NaN without passes.
double inner_eyewall_radius(const std::vector<Pass>& passes, const Motion& m);

// The motion's prior (km/s east and north, each within `sigma`), as fit_motion takes it; none by default.
struct MotionPrior {
  double u = 0.0, v = 0.0;
  double sigma = std::numeric_limits<double>::infinity();
};

// Fits both forms of the vortex to `samples` from the track of `start` and returns the better.
VortexFit fit_vortex(const std::vector<VortexSample>& samples, const Motion& start, double r0,
                     const MotionPrior& prior = {});

// The fit's model error (km, the standard error its form adds to the centre): the model is not the storm,
// and where the storm's asymmetry is not the model's the fit trades a part of it for a shift of the centre,
// so the error grows with the fitted wavenumber 1: 0.35 R per |A| / Vmax in the vector form (which places
// the calm point off the centre by the profile's inner shape), 0.15 R per share in the multiplicative form,
// at least 0.01 R (measured on the storm family's flights, the fit's centre against the truth).
double vortex_model_error(const VortexFit& f);

// Whether the fit `f` shows the storm: converged, its centre's standard error below kGuardSigma of the
// inner eyewall's radius and its eye's wind below kEyeFloor of Vmax (else the data do not show the fall to
// calm that places the centre, and the profile and asymmetry trade against it).
bool vortex_sound(const VortexFit& f);

// The refinement stage of `analyse`: fits the vortex and, where the guard allows it (passes at two
// headings or more, a converged fit whose centre lies within kGuardErrors of the passes' stated errors of
// every pass solution's fix), replaces `motion` by the fitted track and moves every pass's fix (its time to
// the closest approach to that track) with its accuracy; `passes` and `motion` stay unchanged otherwise.
// Returns whether the fit placed the fixes; `fit` (may be null) receives the fit.
bool refine_with_vortex(const std::vector<Series>& flights, const Plane& plane, std::vector<Pass>& passes,
                        Motion& motion, const MotionPrior& prior = {}, VortexFit* fit = nullptr);

// The vortex sought in every straight second, with no pass to start from: where no pass shows the eye (a
// pass that misses it by half its radius on a broad-cored, lopsided storm sees the wind fall steadily
// across the closest approach, and nothing marks where), and as a check on the passes' solution (a
// rain-band gap or the weak side's sag taken for the eye puts it tens of km off). Every straight second's
// block means (20 s or longer) are scored about candidate centre tracks by how well a profile free in each
// range bin (4 km wide out to 40 km, then 15 % wider each) times a wavenumber 1 describes them: a grid of
// motions every 3 m/s up to 12 m/s each way, and of centres about the strong winds (0.75 of the 95th
// percentile) moved to the blocks' mean time with each motion; the best three are refined on finer grids
// (search_vortex). Where the search is used, the best track starts the vortex fit (fit_searched, its inner
// radius where the binned profile peaks).
struct VortexSearch {
  bool gridded = false;        // the grid found a track
  std::vector<Motion> tracks;  // the refined tracks, best first (no covariance)
  std::vector<double> peaks;   // km, where each one's binned profile peaks
  double grid_misfit = 0.0;    // the best one's binned profile's misfit
  bool found = false;          // the vortex fit from it converged
  VortexFit fit;
  Motion motion;       // the fitted track, its covariance with the model error along the wavenumber 1
  double model = 0.0;  // km, that model error
  double t_ref = 0.0;  // s since 1970: the blocks' mean time
  std::vector<VortexSample> blocks;  // every straight second's block means
};
VortexSearch search_vortex(const std::vector<Series>& flights, const Plane& plane);

// The vortex fit from the search's best track (see above), or from the next where it is not sound
// (vortex_sound); false when none is.
bool fit_searched(const std::vector<Series>& flights, const Plane& plane, const MotionPrior& prior,
                  VortexSearch& search);

// The binned profile's misfit (m/s squared per degree of freedom) of the search's blocks about the track of
// `m`: lower where a symmetric profile and a wavenumber 1 describe the winds better.
double search_misfit(const VortexSearch& search, const Motion& m);

// The passes of a found search: each straight stretch's closest approach to its track within 10 km (or 0.5
// of its RMW) and its model error, fixed on that track; false (nothing changed) when there is none.
bool searched_passes(const std::vector<Series>& flights, const Plane& plane, const VortexSearch& search,
                     std::vector<Pass>& passes, Motion& motion);

}  // namespace sfmr::storm
