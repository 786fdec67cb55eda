#include "storm/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "common/earth.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "storm/gauss_jordan.hpp"
#include "storm/vortex.hpp"

namespace sfmr::storm {

double nan_mean(const std::vector<double>& v, std::size_t a, std::size_t b, std::size_t min_count) {
  double sum = 0.0;
  std::size_t n = 0;
  for (std::size_t i = a; i < b; ++i)
    if (std::isfinite(v[i])) {
      sum += v[i];
      ++n;
    }
  return n >= min_count && n > 0 ? sum / static_cast<double>(n) : std::numeric_limits<double>::quiet_NaN();
}

namespace {

constexpr double kTurnRoll = 10.0;         // deg: a banked turn
constexpr double kTurnCourse = 10.0;       // deg of course change in 10 s: a turn
constexpr std::size_t kMinTurn = 5;        // s: a course change lasting less is the positions' rounding
constexpr double kPositionSpike = 1.0;     // km: a one-second position this far off its neighbours is garbled
constexpr double kRollSpike = 10.0;        // deg: a one-second roll this far off its neighbours is garbled
constexpr std::size_t kWindow = 10;        // s: the running mean of peaks and radii
constexpr std::size_t kWindowMin = 7;      // retrieved seconds a 10-s mean needs
constexpr std::size_t kMinLeg = 60;        // s: shortest leg
constexpr double kPeakFitDrop = 0.04;      // the peak's fit spans the 10-s means this share below the peak
constexpr double kPeakFitMinHalf = 15.0;   // s: least reach of the fit either side of the peak
constexpr double kPeakFitMaxHalf = 200.0;  // s: largest reach (a flat peak far from the centre)
constexpr std::size_t kPeakFitMinSeconds = 15;  // retrieved seconds the fit needs
// The cubic takes up the profile's skew about its maximum (third order), so what moves the fitted maximum
// is the fourth-order term, whose pull grows as the span squared: over the whole span the bias is
// 1 / (1 - 1/4) = 4/3 of the maximum's move between the whole span and half of it. The move also carries
// the two fits' noise beyond their formal variances (the retrieval's noise is correlated over the
// seconds of its channels' cycle); on the tune flights about three quarters of its square is that noise,
// so the model's error is half of 4/3 of the move.
constexpr double kCubicBias = 2.0 / 3.0;
// A leg's maximum is moved towards the half span's maximum: the move shows which way the profile beyond
// the cubic pulls (outwards where the profile is steep inside and flat outside), and kCubicBias of its
// part above the noise is the bias the whole span carries, taken in the share of the move that is not
// noise (a Wiener-like shrink, so that a move made of noise moves the maximum little). The shift applied
// carries the fits' noise beyond their formal variances, the more so the more strongly the retrieval's
// noise is correlated from second to second: the RMW's error keeps the model's error times a share whose
// square grows with the fit's own correlation factor c = (1 + rho) / (1 - rho), kLegModelWhite +
// kLegModelPerCorrelation (c - 1), up to kLegModelShareMax^2. On the sixteen kept sets, at the share 1.25
// throughout, the legs whose error is mostly the model's held the truth within one error 80 % of the
// time where c is below 3.5 (most fits there have white residuals, c = 1) and 68 % above; flights with a
// noise of 0.8 m/s correlated 0.7 from second to second (c 2.6-5.3 in the fits) need the whole 1.25.
constexpr double kLegModelWhite = 0.8;
constexpr double kLegModelPerCorrelation = 0.8;
constexpr double kLegModelShareMax = 1.25;
// A flat top places its maximum only as well as the wind's shape along the leg follows the radial
// profile. About the top, a profile falling by kPeakFitDrop over the half-width w/2 of the fit's span has
// V'' = -8 kPeakFitDrop V / w^2, so a slope left out of the profile, delta V per RMW (the asymmetry
// along a leg off the centre, the storm's change during the leg), moves the maximum by delta w^2 /
// (8 kPeakFitDrop RMW): kFlatTop w^2 / RMW with w the span's extent in range (km). The legs' errors
// beyond the cubic's terms on the fifteen kept sets grow so, with delta about 1.6 % of the peak.
constexpr double kFlatTop = 0.05;
// The centre's share in an RMW's error: half its standard error along the peak's bearing. The centre is
// fixed from the same eyewall maxima as the legs' peaks, so its error along a pass moves the peaks with
// it (a centre midway between two maxima leaves the range to one of them half their variance); with the
// whole share the legs whose error is mostly the centre's held the truth within one error 91 % of the
// time.
constexpr double kLegCentreShare = 0.5;
constexpr double kRivalReach = 30.0;  // s: a rival maximum is the largest 10-s mean this far either side
constexpr double kPassPeak = 15.0;    // m/s: least eyewall peak
constexpr double kPassDip = 0.15;     // the dip lies this share of the lower peak below it
// A wavenumber 1 lowers the eyewall on its weak side by its amplitude while the eye's wind, fading to the
// calm centre, keeps little of it: a pass beside the eye of a weak, lopsided storm then shows its bottom
// well below the mean of the flanking peaks (the symmetric part's eyewall) but barely below the weak
// side's. Such a dip counts when it lies kLopsidedDip below that mean (more than kPassDip: the weak side
// no longer bounds it) and the weak side still stands kWeakWallDip above the bottom, its own maximum
// clear of the retrieval's noise.
constexpr double kLopsidedDip = 0.2;
constexpr double kWeakWallDip = 0.05;
constexpr std::size_t kDipReach = 1200;  // s: the eyewall peaks of a dip lie this close to it
constexpr double kEyeDip = 0.02;         // an eye between two moats: its 10-s mean this share below its peaks
// A dip's flanks (flank_kinds): the share of its peak an eyewall's 10-s mean falls to, on its far side
// from the dip; the least share of the flank peak a nearer peak has to count as the nearest eyewall; the
// ratio of the widths at or above which the two are an inner and an outer eyewall (their widths 0.3-0.5
// and 1.5-3.5 inner radii), and below which they are alike.
constexpr double kFlankFall = 0.85;
constexpr double kNearPeak = 0.8;
constexpr double kUnlikeFlanks = 2.5;
constexpr double kAlikeFlanks = 1.5;
constexpr double kSeenFall = 0.25;
constexpr double kSymmetryReach = 2.5;   // the eye's symmetry is judged over this many times its half-width
constexpr std::size_t kEdgePeak = 15;    // s: a highest 10-s mean this near a segment's end is no peak
constexpr std::size_t kSeekPeaks = 900;  // s: eyewall peaks of a predicted pass lie this close to it
constexpr double kSeekHump = 300.0;      // s: reach of the symmetric fit about a single maximum
constexpr double kSeekSearch = 120.0;    // s: the closest approach lies this close to the predicted one
constexpr double kSeekKm = 20.0;         // km: predicted closest approaches this near are searched
constexpr double kTrackCentre = 10.0;    // km: error of a track's centre interpolated between fixes
// A lone wind maximum (lone_maximum): the flight's 61-s mean falls below this share of its highest value
// on both sides of it and stays below it everywhere else. Outside the radius of maximum wind the family's
// steepest profile (Holland B = 2.5) keeps 0.8 of its maximum out to 1.574 RMW, so a pass at a miss d from
// the centre keeps 0.8 of its peak for at least d sqrt(1.574^2 - 1) = 1.216 d either side of its closest
// approach (a slower decay, a pass inside the RMW, the 61-s mean's smoothing and an outer eyewall all
// widen it): the centre lies within the half width over 1.216 of the track.
constexpr double kLoneFall = 0.8;
constexpr double kLoneWidth = 1.216;
// A pass within 0.6 RMW shows a dip, so a lone maximum within 10 km of the centre needs an RMW below about
// 17 km; the family's slowest decay (Holland B = 0.8) keeps 0.8 of the peak out to 4.12 RMW, a bound of
// sqrt(70^2 - 10^2) / 1.216 = 57 km there. A wider maximum is a pass too far from the storm to place it.
constexpr double kLoneBound = 60.0;  // km
constexpr double kShortReach = 0.6;  // the symmetric fit's second reach, a share of the first
// The model's share of a pass's error is the move of its time between two reaches of the symmetric fit
// (method, step 3); one such comparison sees only part of the odd part's bend, and on the storm family's
// tune flights (Holland, wdr and concentric profiles, wavenumbers 1 and 2) 1.25 times the move covers it.
constexpr double kShapeScale = 1.25;
// With four passes or fewer (as many as the centre's and motion's unknowns) a wrong pass (the moat, a
// rain band) leaves no residual to show it: each pass's line then carries a share of the distance from
// the centre to the nearer eyewall, about the error of taking a wrong dip times its chance: 0.3 holds
// every fix of the tune flights' four-pass analyses within its error (16 fixes, some 3-10 km off), and
// so errs wide there. A pass about a single maximum (no dip) has the symmetric fit's reach instead. The
// share falls with the dip's doubt (wrong_pass_doubt): a near-calm eye between even maxima is no moat.
constexpr double kWrongPass = 0.3;
constexpr std::size_t kFewPasses = 4;  // passes: as many as the unknowns (centre and motion)
constexpr double kLagSigma = 0.5;      // s: uncertainty of the retrieval's lag behind the position
constexpr double kPassOutlier = 5.0;  // standard errors: a pass this far off the others' solution is left out
constexpr double kPriorCentre = 50.0;  // km: spread of the centre prior
// A dip pass crossed the eye: the aircraft passed inside the eyewall, so the centre lies across the track
// within the half chord h to the nearer eyewall peak (a miss d leaves a chord 2 sqrt(R^2 - d^2) with
// h = sqrt(R^2 - d^2) > d while the miss is below 0.7 R, and a dip shows only up to about 0.6 R). A
// solution farther than h across a dip pass is pulled back to h with this share of h as its error: a
// bound, not a preference, that decides only where nothing else does (passes at one heading hours apart,
// whose motion across the track the still-storm prior would otherwise set). The centre may lie anywhere
// within the bound, so the covariance then takes the whole half chord as the bound's error. Where the
// dip falls near calm the pass went close to the centre, and its depth bounds the miss tighter
// (dip_miss); that bound takes the half chord's place. Such a bound also counts in the covariance of
// passes within it, the centre anywhere within +-h about the track: a spread of h / sqrt(3).
constexpr double kEyeBound = 0.25;
constexpr double kWithinBound = std::numbers::inv_sqrt3;
constexpr double kOnTracksSpan = 3600.0;  // s: passes at one heading this far apart are fixed on their tracks
// The dip's depth bounds the miss tighter (dip_miss): the storm family's flattest and steepest inner
// profiles, the seconds about the closest approach that give the wind at the bottom, and the retrieval's
// noise added to it (m/s: its bias near calm and the mean's spread).
constexpr double kFlatB = 2.5;
constexpr double kSteepN = 2.5;
constexpr double kBottomHalf = 10.0;  // s
constexpr double kBottomNoise = 1.0;  // m/s
constexpr double kRhoStep = 0.005;    // step of the miss over the RMW in dip_miss
// A dip's shape against a wrong pass (wrong_pass_doubt): the bottom's wind as a share of the flanking
// peaks in the eyes of the storm family's tune flights (0.06-0.2 through the centre, the retrieval's
// 3 m/s near calm included) and in the moats taken for the eye there (0.35-0.87); half the flanking
// peaks' difference over their mean: up to 0.15 in those eyes, more where one side is much the stronger.
// Eyes above 0.1 in either keep part of the share: with four passes it also stands for the model error
// they cannot show (a wdr storm with a wavenumber 1, its eyes at 0.15-0.17 and 0.06-0.18, fixed 1-5 km off).
constexpr double kEyeBottom = 0.1;
constexpr double kMoatBottom = 0.35;
constexpr double kEyeAsymmetry = 0.1;
constexpr double kGapAsymmetry = 0.3;
// The eyewall's maxima as ranges from the centre (method, step 4): at least kMinWalls of them; the
// spread of their ranges about the common radius, as a share of it, before the data show it (an
// elliptical eyewall or a wavenumber 2 of 10 % of the peak moves the maximum by about a tenth of the RMW)
// and the least one once kManyWalls maxima do; a maximum kWallOutlier errors off is left out.
constexpr std::size_t kMinWalls = 3;
constexpr std::size_t kManyWalls = 6;
constexpr double kWallSpread = 0.1;
constexpr double kWallSpreadMin = 0.03;
constexpr double kWallOutlier = 4.0;
// Share of a pass's model error that every pass of the storm repeats (see add_shared_bias): 0.5 brings
// the tune flights' fixes within two stated errors from 92 % to 96 % while the legacy seeds' clean Holland
// passes widen least (within one error 88 % to 92 %).
constexpr double kShapeShared = 0.5;
// Degrees of freedom that a pass's move with the fit's reach counts as when the residuals of more passes
// than unknowns scale the model shares down (model_share_scale). The move is one draw of the profile's
// pull on each pass and the residuals of five or six passes one or two more, so neither alone sizes the
// share: half a degree of freedom lets two agreeing residuals halve a share at most to sqrt(0.2), and
// keeps the fixes within two stated errors at 90 % or more on the family's tune sets.
constexpr double kModelPrior = 0.5;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Straight segments [begin, end) of consecutive seconds out of turns.
std::vector<std::pair<std::size_t, std::size_t>> segments(const Series& s) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  std::size_t i = 0;
  const std::size_t n = s.t.size();
  while (i < n) {
    while (i < n && s.turn[i]) ++i;
    std::size_t j = i;
    while (j < n && !s.turn[j] && (j == i || s.t[j] - s.t[j - 1] < 30.0)) ++j;
    if (j > i) out.emplace_back(i, j);
    i = j;
  }
  return out;
}

// Wind at fractional time tt on a segment (linear between retrieved seconds no more than 5 s apart).
double wind_at(const Series& s, std::size_t a, std::size_t b, double tt) {
  auto it = std::lower_bound(s.t.begin() + static_cast<long>(a), s.t.begin() + static_cast<long>(b), tt);
  std::size_t j = static_cast<std::size_t>(it - s.t.begin());
  if (j >= b || j == a) return (j < b && s.t[j] == tt) ? s.wind[j] : kNaN;
  std::size_t lo = j - 1, hi = j;
  while (lo > a && !std::isfinite(s.wind[lo])) --lo;
  while (hi + 1 < b && !std::isfinite(s.wind[hi])) ++hi;
  if (!std::isfinite(s.wind[lo]) || !std::isfinite(s.wind[hi]) || s.t[hi] - s.t[lo] > 5.0) return kNaN;
  const double f = (tt - s.t[lo]) / (s.t[hi] - s.t[lo]);
  return s.wind[lo] + f * (s.wind[hi] - s.wind[lo]);
}

// Linear interpolation of a series at fractional time tt.
double value_at(const Series& s, const std::vector<double>& v, double tt) {
  auto it = std::lower_bound(s.t.begin(), s.t.end(), tt);
  std::size_t j = static_cast<std::size_t>(it - s.t.begin());
  if (j == 0) return v.front();
  if (j >= s.t.size()) return v.back();
  const double f = (tt - s.t[j - 1]) / (s.t[j] - s.t[j - 1]);
  return v[j - 1] + f * (v[j] - v[j - 1]);
}

// Variance (s^2) of the time minimising a least-squares misfit of mean square m over the residuals `res`,
// whose curvature per residual is `curvature` (per s^2): 2 s2 / E'' with s2 = m n / (n - 2), times
// (1 + rho) / (1 - rho) for the residuals' lag-1 correlation rho (symmetric_time).
double misfit_time_variance(const std::vector<double>& res, double m, double curvature) {
  double c1 = 0.0, c0 = 0.0;
  for (std::size_t i = 0; i < res.size(); ++i) {
    c0 += res[i] * res[i];
    if (i > 0) c1 += res[i] * res[i - 1];
  }
  const double rho = std::clamp(c0 > 0.0 ? c1 / c0 : 0.0, 0.0, 0.95);
  const double n = static_cast<double>(res.size());
  return 2.0 * m * n / (n - 2.0) / (n * curvature) * (1.0 + rho) / (1.0 - rho);
}

constexpr std::size_t kLeastPairs = 10;  // pairs of seconds the symmetric misfit needs

// Pairs of retrieved seconds (wind_at) at t0 -+ tau, tau whole seconds beyond `inner` up to `reach`.
std::size_t pair_count(const Series& s, std::size_t a, std::size_t b, double t0, double reach, double inner) {
  std::size_t n = 0;
  for (double tau = std::floor(inner) + 1.0; tau <= reach; tau += 1.0)
    n += std::isfinite(wind_at(s, a, b, t0 + tau)) && std::isfinite(wind_at(s, a, b, t0 - tau)) ? 1 : 0;
  return n;
}
constexpr int kFineMoves = 8;  // moves of the fine scan of symmetric_time, 2.5 s each at most

// Time of closest approach of a pass: the t0 minimising the misfit of the symmetric profile plus gradient
// (see the header), scanned within `search` s of `guess` to 0.25 s, refined by a parabola. `sigma` is
// its standard error: for a least-squares misfit E(t0) = sum of N squared residuals, var t0 = 2 s2 / E''
// with s2 the residual variance, and neighbouring residuals share the retrieval's correlated noise, so the
// variance is multiplied by (1 + rho) / (1 - rho) for the residuals' lag-1 correlation rho (the variance
// of a mean of an AR(1) series). A misfit without a minimum inside the scan gets `search` as its error.
// The pairs nearer t0 than `inner` s (the eye's floor, eye_floor) take no part.
double symmetric_time(const Series& s, std::size_t a, std::size_t b, double guess, double reach,
                      double search, double& gradient, double& sigma, double* misfit_out = nullptr,
                      double inner = 0.0) {
  std::vector<double> res;
  std::size_t least_pairs = kLeastPairs;
  auto misfit = [&](double t0, double& g) {
    double sdt = 0.0, stt = 0.0;
    std::vector<std::pair<double, double>> d;
    for (double tau = std::floor(inner) + 1.0; tau <= reach; tau += 1.0) {
      const double hi = wind_at(s, a, b, t0 + tau), lo = wind_at(s, a, b, t0 - tau);
      if (!std::isfinite(hi) || !std::isfinite(lo)) continue;
      d.emplace_back(tau, hi - lo);
      sdt += (hi - lo) * tau;
      stt += tau * tau;
    }
    if (d.size() < least_pairs) return kNaN;
    g = sdt / (2.0 * stt);
    double r = 0.0;
    res.clear();
    for (const auto& [tau, diff] : d) {
      res.push_back(diff - 2.0 * g * tau);
      r += res.back() * res.back();
    }
    return r / static_cast<double>(d.size());
  };
  double best = kNaN, best_t = guess, g = 0.0;
  // Every 2 s over the search, then every 0.25 s within 2.5 s of the best (the misfit is smooth over
  // seconds: the eye takes a minute or more to cross). A time whose pairs are fewer than half the most
  // that any time of the scan has is not judged: where the record has a gap (a retrieval failing over
  // the strongest eyewall), the pairs left about a time on one flank's slope alone are fitted exactly by
  // the gradient, at any time on that slope.
  std::size_t most = 0;
  for (double t0 = guess - search; t0 <= guess + search; t0 += 2.0)
    most = std::max(most, pair_count(s, a, b, t0, reach, inner));
  least_pairs = std::max(kLeastPairs, (most + 1) / 2);
  for (double t0 = guess - search; t0 <= guess + search; t0 += 2.0) {
    const double m = misfit(t0, g);
    if (std::isfinite(m) && !(m >= best)) {
      best = m;
      best_t = t0;
    }
  }
  // The retrieval's noise, interpolated between seconds, roughens the misfit at a quarter second, so over
  // a flat minimum (a pass just inside a wide eyewall, nearly symmetric) the finer scan's best can fall on
  // its edge: the scan then moves there, within the search, until its best lies inside (kFineMoves times
  // at most), so that the minimum's curvature is seen.
  std::vector<double> ts, ms;
  for (int move = 0; move <= kFineMoves; ++move) {
    const double lo = std::max(guess - search, best_t - 2.5), hi = std::min(guess + search, best_t + 2.5);
    best = kNaN;
    ts.clear();
    ms.clear();
    for (double t0 = lo; t0 <= hi; t0 += 0.25) {
      const double m = misfit(t0, g);
      ts.push_back(t0);
      ms.push_back(m);
      if (std::isfinite(m) && !(m >= best)) {
        best = m;
        best_t = t0;
      }
    }
    const bool low_edge = best_t == ts.front() && lo > guess - search,
               high_edge = best_t == ts.back() && hi < guess + search;
    if (!low_edge && !high_edge) break;
  }
  sigma = search;
  double curvature = 0.0;  // E'' / N, per s^2
  const std::size_t k = static_cast<std::size_t>(std::find(ts.begin(), ts.end(), best_t) - ts.begin());
  if (k > 0 && k + 1 < ts.size() && std::isfinite(ms[k - 1]) && std::isfinite(ms[k + 1])) {
    const double den = ms[k - 1] - 2.0 * ms[k] + ms[k + 1];
    if (den > 0.0) {
      best_t += 0.125 * (ms[k - 1] - ms[k + 1]) / den * 2.0;
      curvature = den / (0.25 * 0.25);
    }
  }
  const double m = misfit(best_t, gradient);
  if (misfit_out != nullptr) *misfit_out = m;
  if (curvature > 0.0 && std::isfinite(m) && res.size() > 2)
    sigma = std::min(search, std::sqrt(misfit_time_variance(res, m, curvature)));
  return best_t;
}

// The pass's time from the symmetric fit over `reach`, its error from the noise and from the model: the
// odd part of the wind across the eye is linear only near the centre (a wavenumber-2 field or a skewed
// wavenumber-1 bends it), and what the linear term leaves moves t0. The fit repeated over 0.6 of the
// reach shows how much; that shift joins the noise's error in quadrature.
double pass_time(const Series& s, std::size_t a, std::size_t b, double guess, double reach, double search,
                 double& gradient, double& sigma, double& shape, double inner = 0.0) {
  const double t = symmetric_time(s, a, b, guess, reach, search, gradient, sigma, nullptr, inner);
  shape = 0.0;
  if (!(sigma < search)) return t;
  double g = 0.0, sigma_short = 0.0;
  const double short_reach = kShortReach * reach;
  const double t_short = symmetric_time(s, a, b, t, short_reach, std::min(search, 0.5 * short_reach), g,
                                        sigma_short, nullptr, inner);
  // The shorter fit's own noise is in the difference too: for nested fits var(t - t_short) is about
  // sigma_short^2 - sigma^2, and only the excess is the model's.
  if (sigma_short < search && short_reach >= 20.0)
    shape =
        std::sqrt(std::max(0.0, (t - t_short) * (t - t_short) - (sigma_short * sigma_short - sigma * sigma)));
  return t;
}

// The least inner wind of the storm family as a share of its maximum at rho = r / RMW (method, step 4):
// the lower of a Holland (1980) profile of B = 2.5, V^2 / Vm^2 = x exp(1 - x) with x = rho^-B, flat near
// the centre, and a power law rho^2.5 (Willoughby, Darling and Rahn 2006 inside the RMW).
double least_inner_wind(double rho) {
  if (!(rho > 0.0)) return 0.0;
  const double x = std::pow(rho, -kFlatB);
  return std::min(std::sqrt(x * std::exp(1.0 - x)), std::pow(rho, kSteepN));
}

// The dip as an eye's signature (method, step 4): the wind at its bottom, a share `q` of the flanking
// peaks' mean P, and their asymmetry `asym`, half their difference over P. The bottom is the mean of the
// retrieved seconds within kBottomHalf s of the closest approach less the gradient across the eye, plus
// kBottomNoise. False when the seconds there are too few or the peaks unknown.
bool dip_shape(const Series& s, std::size_t a, std::size_t b, const Pass& p, double left_peak,
               double right_peak, double& q, double& asym) {
  double sum = 0.0, n = 0.0;
  for (std::size_t j = a; j < b; ++j) {
    const double tau = s.t[j] - p.time;
    if (std::fabs(tau) > kBottomHalf || !std::isfinite(s.wind[j])) continue;
    sum += s.wind[j] - p.gradient * tau;
    n += 1.0;
  }
  const double peak = 0.5 * (left_peak + right_peak);
  if (n < kBottomHalf || !(peak > 0.0)) return false;
  q = (sum / n + kBottomNoise) / peak;
  asym = 0.5 * std::fabs(left_peak - right_peak) / peak;
  return true;
}

// A bound on a dip pass's miss from the depth of its dip (method, step 4), in seconds at the storm-
// relative speed; infinite when the dip is too shallow to bound it. Inside the eyewall the wind rises
// with the radius no slower than least_inner_wind, and a wavenumber 1 fading to the calm centre adds
// A rho at most, A its amplitude at the eyewall; the wind at the closest approach, a share q of the
// eyewall's wind P, then puts the miss d within rho R for the largest rho with
// least_inner_wind(rho) - (A / P) rho <= q, R the eyewall's radius. The flanking peaks lie
// sqrt(R^2 - d^2) either side of the closest approach (the half chord H), so d <= H rho / sqrt(1 - rho^2).
// A / P is the dip's asymmetry (the asymmetry along the pass stands for the one across it, which one
// pass cannot see).
double dip_miss(double q, double asym, double half_chord) {
  // The largest rho below one that satisfies the condition, scanned inwards from the eyewall.
  double rho = 1.0;
  while (rho > kRhoStep && least_inner_wind(rho) - asym * rho > q) rho -= kRhoStep;
  if (!(rho < 1.0)) return std::numeric_limits<double>::infinity();
  return half_chord * rho / std::sqrt(1.0 - rho * rho);
}

// How far a dip could be a wrong pass (0: the eye's signature, 1: as likely a moat or a rain-band gap as
// the eye), from its shape: the eye is near calm between two maxima of about equal strength, while a moat
// keeps strong wind at its bottom and a rain-band gap is not flanked symmetrically. Each of the bottom's
// share q and the asymmetry ramps linearly from the eye's (below kEyeBottom, kEyeAsymmetry) to the wrong
// pass's (kMoatBottom, kGapAsymmetry); the larger ramp counts.
double wrong_pass_doubt(double q, double asym) {
  auto ramp = [](double x, double lo, double hi) { return std::clamp((x - lo) / (hi - lo), 0.0, 1.0); };
  return std::max(ramp(q, kEyeBottom, kMoatBottom), ramp(asym, kEyeAsymmetry, kGapAsymmetry));
}

// Position and ground velocity of the aircraft at `p.time` from a straight line fitted to the positions of
// the 4 minutes around it on seconds [a, b) (the archive's positions are rounded to 0.001 deg, about
// 110 m). False when fewer than 10 positions are there.
bool locate_pass(const Series& s, std::size_t a, std::size_t b, const Plane& plane, Pass& p) {
  double st = 0.0, stt = 0.0, sx = 0.0, sy = 0.0, stx = 0.0, sty = 0.0, cnt = 0.0;
  for (std::size_t j = a; j < b; ++j) {
    const double dt = s.t[j] - p.time;
    if (std::fabs(dt) > 120.0 || !std::isfinite(s.lat[j]) || !std::isfinite(s.lon[j])) continue;
    double x = 0.0, y = 0.0;
    plane.to_xy(s.lat[j], s.lon[j], x, y);
    st += dt;
    stt += dt * dt;
    sx += x;
    sy += y;
    stx += dt * x;
    sty += dt * y;
    cnt += 1.0;
  }
  const double den = cnt * stt - st * st;
  if (cnt < 10.0 || den <= 0.0) return false;
  p.vx = (cnt * stx - st * sx) / den;
  p.vy = (cnt * sty - st * sy) / den;
  p.x = (sx - p.vx * st) / cnt;
  p.y = (sy - p.vy * st) / cnt;
  return true;
}

// Solves the n x n system m x = r in place; also returns the inverse.
bool solve(std::vector<std::vector<double>> m, std::vector<double>& x,
           std::vector<std::vector<double>>& inv) {
  const std::size_t n = m.size();
  inv.assign(n, std::vector<double>(n, 0.0));
  for (std::size_t i = 0; i < n; ++i) inv[i][i] = 1.0;
  return gauss_jordan(m, inv, &x);
}

}  // namespace

Plane Plane::at(double lat, double lon) {
  Plane p;
  p.lat0 = lat;
  p.lon0 = lon;
  const earth::KmPerDegree k = earth::km_per_degree(lat);
  p.km_per_deg_lat = k.lat;
  p.km_per_deg_lon = k.lon;
  return p;
}

void Plane::to_xy(double lat, double lon, double& x, double& y) const {
  x = (lon - lon0) * km_per_deg_lon;
  y = (lat - lat0) * km_per_deg_lat;
}

void Plane::to_latlon(double x, double y, double& lat, double& lon) const {
  lat = lat0 + y / km_per_deg_lat;
  lon = lon0 + x / km_per_deg_lon;
}

Series series_of(const archive::ArchiveFlight& f, double lag) {
  Series s;
  s.name = f.flight;
  const std::size_t n = f.time.size();
  s.t = f.time;
  s.lat.resize(n);
  s.lon.resize(n);
  s.wind.resize(n);
  s.rain.resize(n);
  s.turn.assign(n, 0);
  const auto shift = static_cast<std::size_t>(std::lround(std::max(0.0, lag)));
  for (std::size_t i = 0; i < n; ++i) {
    s.lat[i] = f.lat[i];
    s.lon[i] = f.lon[i];
    // The retrieval of the line `shift` seconds later describes the sea under this line's position.
    const std::size_t j = i + shift;
    const bool found = j < n && f.time[j] - f.time[i] == static_cast<double>(shift);
    s.wind[i] = found ? f.wind[j] : kNaN;
    s.rain[i] = found ? f.rain[j] : kNaN;
  }
  // A damaged record can carry a garbled position for one second (a digit of the latitude or longitude
  // replaced, hundreds of metres to thousands of kilometres off). A position more than kPositionSpike from
  // the midpoint of its two neighbours, which agree with each other, is replaced by that midpoint: the
  // aircraft flies about 0.15 km in a second, so no real track bends that much in two.
  const std::vector<double> lat = s.lat, lon = s.lon;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (f.time[i + 1] - f.time[i - 1] != 2.0 || !std::isfinite(lat[i - 1]) || !std::isfinite(lat[i + 1]) ||
        !std::isfinite(lon[i - 1]) || !std::isfinite(lon[i + 1]) || !std::isfinite(lat[i]) ||
        !std::isfinite(lon[i]))
      continue;
    double gap = 0.0, off = 0.0, b = 0.0;
    range_bearing(lat[i - 1], lon[i - 1], lat[i + 1], lon[i + 1], gap, b);
    const double mid_lat = 0.5 * (lat[i - 1] + lat[i + 1]), mid_lon = 0.5 * (lon[i - 1] + lon[i + 1]);
    range_bearing(mid_lat, mid_lon, lat[i], lon[i], off, b);
    if (off > kPositionSpike && gap < kPositionSpike) {
      s.lat[i] = mid_lat;
      s.lon[i] = mid_lon;
    }
  }
  // The roll with one-second spikes (a garbled digit) replaced by the midpoint of their neighbours, which
  // agree within kRollSpike, so that a damaged line does not cut a pass in two as a bank would: an aircraft
  // rolls a few deg/s, so no real bank comes and goes within two seconds.
  std::vector<double> roll(f.roll.begin(), f.roll.end());
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double before = f.roll[i - 1], after = f.roll[i + 1], mid = 0.5 * (before + after);
    if (f.time[i + 1] - f.time[i - 1] == 2.0 && std::isfinite(mid) &&
        std::fabs(after - before) <= kRollSpike && std::fabs(f.roll[i] - mid) > kRollSpike)
      roll[i] = mid;
  }
  // Course over 10 s from the positions; a turn is a bank or a course change.
  std::vector<double> course(n, kNaN);
  for (std::size_t i = 5; i + 5 < n; ++i) {
    double km = 0.0, b = 0.0;
    if (!std::isfinite(s.lat[i - 5]) || !std::isfinite(s.lat[i + 5])) continue;
    range_bearing(s.lat[i - 5], s.lon[i - 5], s.lat[i + 5], s.lon[i + 5], km, b);
    if (km > 0.05) course[i] = b;
  }
  // A course change alone marks a turn only when it lasts kMinTurn seconds: positions rounded to 0.001 deg
  // (about 110 m) swing the course over 10 s (1.3 km) by several degrees on a heading just off north,
  // east, south or west, where one coordinate steps by a single unit now and then.
  std::vector<char> by_course(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const bool turn = !std::isfinite(s.lat[i]) || !std::isfinite(s.lon[i]) ||
                      (std::isfinite(roll[i]) && std::fabs(roll[i]) > kTurnRoll);
    if (!turn && i >= 5 && i + 5 < n && std::isfinite(course[i - 5]) && std::isfinite(course[i + 5])) {
      double d = std::fabs(course[i + 5] - course[i - 5]);
      if (d > 180.0) d = 360.0 - d;
      by_course[i] = d > kTurnCourse ? 1 : 0;
    }
    s.turn[i] = turn ? 1 : 0;
  }
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i;
    while (j < n && by_course[j]) ++j;
    if (j - i >= kMinTurn)
      for (std::size_t k = i; k < j; ++k) s.turn[k] = 1;
    i = j > i ? j : i + 1;
  }
  return s;
}

std::size_t peak_window(const std::vector<double>& wind, std::size_t begin, std::size_t end, double& mean) {
  std::size_t best = std::string::npos;
  mean = kNaN;
  for (std::size_t i = begin; i + kWindow <= end; ++i) {
    const double m = nan_mean(wind, i, i + kWindow, kWindowMin);
    if (std::isfinite(m) && !(m <= mean)) {
      mean = m;
      best = i;
    }
  }
  return best;
}

namespace {

// Running means of a segment's wind: 61 s (at least 20 retrieved seconds) and 10 s (kWindowMin).
void running_means(const Series& s, std::size_t a, std::size_t b, std::vector<double>& w60,
                   std::vector<double>& w10) {
  for (std::size_t i = a; i < b; ++i) {
    const std::size_t lo60 = i >= a + 30 ? i - 30 : a, hi60 = std::min(b, i + 31);
    w60[i] = nan_mean(s.wind, lo60, hi60, 20);
    const std::size_t lo10 = i >= a + 5 ? i - 5 : a, hi10 = std::min(b, i + 5);
    w10[i] = nan_mean(s.wind, lo10, hi10, kWindowMin);
  }
}

// How the dip's flanks compare (flank_kinds, below): the same kind of eyewall on both sides, an inner and
// an outer one (a moat), or unknown.
enum class Flanks { kUnknown, kAlike, kUnlike };

struct Dip {
  std::size_t at, left, right;               // the dip's second and its flanking peaks'
  double depth;                              // 61-s mean at the dip over the lower peak
  bool moats = false;                        // an eye without a dip, `left` and `right` the moats about it
  double left_wind = 0.0, right_wind = 0.0;  // m/s, 10-s means of the flanking peaks
  Flanks flanks = Flanks::kUnknown;
  // An eye added between two dips (add_between): their seconds; npos for a dip of segment_dips.
  std::size_t outer_left = std::string::npos, outer_right = std::string::npos;
};

// Dips of one segment: the lowest 61-s mean within 60 s either side, the deepest between the highest
// 10-s means within kDipReach either side, at least kPassDip below the lower of them (or kLopsidedDip
// below their mean and kWeakWallDip below the lower one), which reaches kPassPeak.
std::vector<Dip> segment_dips(std::size_t a, std::size_t b, const std::vector<double>& w60,
                              const std::vector<double>& w10) {
  std::vector<Dip> dips;
  for (std::size_t i = a + 60; i + 60 < b; ++i) {
    if (!std::isfinite(w60[i])) continue;
    bool lowest = true;
    for (std::size_t j = i - 60; j <= i + 60 && lowest; ++j)
      if (std::isfinite(w60[j]) && (w60[j] < w60[i] || (w60[j] == w60[i] && j < i))) lowest = false;
    if (!lowest) continue;
    std::size_t pl = i, pr = i;
    for (std::size_t j = (i > a + kDipReach ? i - kDipReach : a); j < i; ++j)
      if (std::isfinite(w10[j]) && (!std::isfinite(w10[pl]) || w10[j] > w10[pl])) pl = j;
    for (std::size_t j = i + 1; j < std::min(b, i + kDipReach); ++j)
      if (std::isfinite(w10[j]) && (!std::isfinite(w10[pr]) || w10[j] > w10[pr])) pr = j;
    if (pl == i || pr == i || !std::isfinite(w10[pl]) || !std::isfinite(w10[pr])) continue;
    // A flanking peak at the segment's end is no peak: the wind still rises where the record or the
    // straight stretch stops (an eye entered as the flight ends), and the dip is not bounded on that side.
    if (pl < a + kEdgePeak || pr + kEdgePeak >= b) continue;
    const double lower = std::min(w10[pl], w10[pr]), mean = 0.5 * (w10[pl] + w10[pr]);
    if (lower < kPassPeak) continue;
    if (w60[i] > (1.0 - kPassDip) * lower &&
        (w60[i] > (1.0 - kLopsidedDip) * mean || w60[i] > (1.0 - kWeakWallDip) * lower))
      continue;
    bool deepest = true;
    for (std::size_t j = pl; j <= pr && deepest; ++j)
      if (std::isfinite(w60[j]) && w60[j] < w60[i]) deepest = false;
    // A bottom that keeps a moat's wind (kMoatBottom of the lower peak) between peaks of which one is not
    // seen to fall beyond it (to kFlankFall of it) before the segment ends may be the moat inside an outer
    // eyewall, the peak the inner eyewall and the eye beyond the record's or the leg's end: no pass.
    if (deepest) dips.push_back({i, pl, pr, w60[i] / lower, false, w10[pl], w10[pr]});
  }
  return dips;
}

// Around concentric eyewalls a pass that misses the centre by more than about half the inner RMW shows
// the moats on either side as dips while the eye between them, crossed on a short chord and filled by
// the eyewall's winds, stays above the dip test (the 61-s mean smooths it away). Between two consecutive
// dips whose spans meet, the lowest 10-s mean between the two highest 10-s means on either side of their
// midpoint is added as a candidate eye (its depth that of the shallower dip), for eye_of to judge with the
// others.
void add_between(std::size_t a, std::size_t b, const std::vector<double>& w10, std::vector<Dip>& dips) {
  const std::size_t found = dips.size();
  for (std::size_t k = 0; k + 1 < found; ++k) {
    const Dip& p = dips[k];
    const Dip& q = dips[k + 1];
    if (q.left > p.right) continue;
    const std::size_t mid = (p.at + q.at) / 2;
    std::size_t left = mid, right = mid;
    for (std::size_t j = p.at + 1; j < mid; ++j)
      if (std::isfinite(w10[j]) && !(w10[j] <= w10[left])) left = j;
    for (std::size_t j = mid + 1; j < q.at; ++j)
      if (std::isfinite(w10[j]) && !(w10[j] <= w10[right])) right = j;
    if (!(std::max(w10[left], w10[right]) >= kPassPeak) || mid < a || mid >= b) continue;
    std::size_t at = left;
    for (std::size_t j = left; j <= right; ++j)
      if (std::isfinite(w10[j]) && !(w10[j] >= w10[at])) at = j;
    // The eye lies halfway between the moats (within 15 % of their half spacing, as for three dips) and
    // is a dip of the 10-s mean, at least kEyeDip below the lower of its peaks. Without such a dip (a
    // wavenumber 1 can lift the eye's winds over its weak side's eyewall, leaving a steady rise from one
    // moat to the other eyewall) the candidate is the midpoint itself, the symmetric fit reaching out to
    // the moats.
    const double half = 0.5 * static_cast<double>(q.at - p.at);
    if (left != mid && right != mid && at != left && at != right &&
        std::fabs(static_cast<double>(at) - static_cast<double>(mid)) <= 0.15 * half &&
        w10[at] <= (1.0 - kEyeDip) * std::min(w10[left], w10[right]))
      dips.push_back({at, left, right, std::max(p.depth, q.depth), false, w10[left], w10[right]});
    else
      dips.push_back({mid, p.at, q.at, std::max(p.depth, q.depth), true});
    dips.back().outer_left = dips[k].at;  // p and q may have moved with the push_back
    dips.back().outer_right = dips[k + 1].at;
  }
}

// Seconds from the peak at `p` of segment [a, b), going in direction `dir` (-1, +1), until the 10-s mean
// falls below kFlankFall of the peak; negative when the segment ends first (at least that many).
double flank_width(std::size_t a, std::size_t b, const std::vector<double>& w10, std::size_t p, int dir) {
  const double level = kFlankFall * w10[p];
  std::size_t j = p;
  while (!(std::isfinite(w10[j]) && w10[j] < level)) {
    if ((dir < 0 && j == a) || (dir > 0 && j + 1 == b))
      return -std::fabs(static_cast<double>(j) - static_cast<double>(p));
    j = dir < 0 ? j - 1 : j + 1;
  }
  return std::fabs(static_cast<double>(j) - static_cast<double>(p));
}

// A flank that runs into the segment's end (flank_width negative) but whose 10-s mean has fallen there by
// at least kSeenFall of the way to kFlankFall of its peak: the width at which the fall, continued at its
// mean rate from the peak, would reach kFlankFall (s); the width as flank_width gives it otherwise.
double cut_width(std::size_t a, std::size_t b, const std::vector<double>& w10, std::size_t p, int dir) {
  const double w = flank_width(a, b, w10, p, dir);
  if (w >= 0.0) return w;
  std::size_t last = dir < 0 ? a : b - 1;
  while (last != p && !std::isfinite(w10[last])) last = dir < 0 ? last + 1 : last - 1;
  const double fall = 1.0 - w10[last] / w10[p],
               seen = std::fabs(static_cast<double>(last) - static_cast<double>(p));
  if (!(fall >= kSeenFall * (1.0 - kFlankFall)) || !(seen > 0.0)) return w;
  return seen * (1.0 - kFlankFall) / fall;
}

std::size_t nearest_peak(std::size_t a, std::size_t b, const std::vector<double>& w10, std::size_t at,
                         std::size_t flank);

// Whether a dip of unknown flanks is a moat cut by the segment's end: one of its nearest eyewall peaks runs
// into the end (flank_width negative) while the other is seen whole, and that whole one is kUnlikeFlanks
// times wider than the cut one's fall so far makes it (cut_width): an outer eyewall beside the inner one.
bool cut_moat(std::size_t a, std::size_t b, const std::vector<double>& w10, const Dip& d) {
  const std::size_t pl = nearest_peak(a, b, w10, d.at, d.left), pr = nearest_peak(a, b, w10, d.at, d.right);
  const double wl = flank_width(a, b, w10, pl, -1), wr = flank_width(a, b, w10, pr, 1);
  if ((wl < 0.0) == (wr < 0.0)) return false;
  const double cut = wl < 0.0 ? cut_width(a, b, w10, pl, -1) : cut_width(a, b, w10, pr, 1);
  return cut > 0.0 && (wl < 0.0 ? wr : wl) >= kUnlikeFlanks * cut;
}

// The eyewall peak nearest the dip on the side of `flank` (its flanking peak, the highest 10-s mean within
// kDipReach): the first second from the dip towards it whose 10-s mean is the highest within 30 s either
// side and at least kNearPeak of the flank's (an inner eyewall before an outer one of about its strength).
std::size_t nearest_peak(std::size_t a, std::size_t b, const std::vector<double>& w10, std::size_t at,
                         std::size_t flank) {
  const int dir = flank < at ? -1 : 1;
  for (std::size_t j = at; j != flank; j = dir < 0 ? j - 1 : j + 1) {
    if (!std::isfinite(w10[j]) || w10[j] < kNearPeak * w10[flank]) continue;
    bool top = true;
    for (std::size_t k = (j > a + 30 ? j - 30 : a); k < std::min(b, j + 31) && top; ++k)
      if (std::isfinite(w10[k]) && w10[k] > w10[j]) top = false;
    if (top) return j;
  }
  return flank;
}

// Whether the eyewall peaks nearest a dip are of one kind or are an inner and an outer eyewall. Outside its
// maximum an inner eyewall falls to kFlankFall of its peak within about 0.4 of its radius, on either side
// (the Holland (1980) profile inside it, the eyewall's decay towards the moat outside it); an outer eyewall
// keeps that share out to about twice its radius of 2-3.5 inner radii (the Holland decay of B 1-2 about
// it). So the time from each peak away from the dip until the 10-s mean falls below kFlankFall of it (the
// aircraft's storm-relative speed is constant along a pass) differs by kUnlikeFlanks or more about a moat,
// the inner eyewall the narrower; about the eye both are the same eyewall. Unknown when the narrower
// width runs to the segment's end.
Flanks peak_kinds(std::size_t a, std::size_t b, const std::vector<double>& w10, std::size_t pl,
                  std::size_t pr) {
  const double wl = flank_width(a, b, w10, pl, -1), wr = flank_width(a, b, w10, pr, 1);
  const double narrow = std::fabs(wl) < std::fabs(wr) ? wl : wr,
               wide = std::max(std::fabs(wl), std::fabs(wr));
  if (!(narrow > 0.0)) return Flanks::kUnknown;
  if (wide >= kUnlikeFlanks * narrow) return Flanks::kUnlike;
  return wide < kAlikeFlanks * narrow ? Flanks::kAlike : Flanks::kUnknown;
}

// The kinds of a dip's nearest eyewall peaks (peak_kinds).
Flanks flank_kinds(std::size_t a, std::size_t b, const std::vector<double>& w10, const Dip& d) {
  return peak_kinds(a, b, w10, nearest_peak(a, b, w10, d.at, d.left), nearest_peak(a, b, w10, d.at, d.right));
}

// The eye's flanks are its own eyewall: where its flanking peaks (the highest 10-s means about it) are not
// alike (an inner and an outer eyewall: a wavenumber 1, or an outer maximum up to 1.1 of the inner, lifts
// the outer one above the inner on one side; or unknown, the outer eyewall's width running into the
// segment's end) while the nearest peaks are alike, the nearest peaks flank it.
void inner_flanks(std::size_t a, std::size_t b, const std::vector<double>& w10, Dip& d) {
  if (d.moats || d.flanks != Flanks::kAlike || peak_kinds(a, b, w10, d.left, d.right) == Flanks::kAlike)
    return;
  d.left = nearest_peak(a, b, w10, d.at, d.left);
  d.right = nearest_peak(a, b, w10, d.at, d.right);
  d.left_wind = w10[d.left];
  d.right_wind = w10[d.right];
}

// The eye lies inside the innermost maximum: a moat by its flanks (Flanks::kUnlike) between an eye (a dip
// whose bottom lies below what a moat keeps, kMoatBottom, and whose own flanks are not a moat's) and one of
// its flanking peaks puts that peak on the outer eyewall (an outer maximum above the inner one, or lifted
// above it by a wavenumber 1), and the inner eyewall flanks the eye: on both sides, the peaks nearest it
// (nearest_peak), the one beyond the moat's side no farther than the moat's peak towards the eye.
void moat_bounded(std::size_t a, std::size_t b, const std::vector<Dip>& dips, const std::vector<double>& w10,
                  Dip& d) {
  if (d.moats || d.flanks == Flanks::kUnlike || !(d.depth < kMoatBottom)) return;
  std::size_t left = d.left, right = d.right;
  for (const Dip& x : dips) {
    if (x.moats || x.flanks != Flanks::kUnlike) continue;
    if (x.at > d.at && x.at < d.right && x.left > d.at && x.left < right) right = x.left;
    if (x.at < d.at && x.at > d.left && x.right < d.at && x.right > left) left = x.right;
  }
  // Without such a moat (a weak side's moat too shallow for a dip), a flanking peak kUnlikeFlanks times
  // farther from the eye than the other is no part of its eyewall either: a chord's two crossings of
  // one eyewall lie equally far from the closest approach.
  const double dl = static_cast<double>(d.at - d.left), dr = static_cast<double>(d.right - d.at);
  if (left == d.left && right == d.right && std::max(dl, dr) < kUnlikeFlanks * std::min(dl, dr)) return;
  d.left = nearest_peak(a, b, w10, d.at, left);
  d.right = nearest_peak(a, b, w10, d.at, right);
  d.left_wind = w10[d.left];
  d.right_wind = w10[d.right];
}

// How far the wind about a dip departs from the symmetric profile plus gradient of step 3 over
// kSymmetryReach times the time to its nearer flanking peak: the misfit's mean square over twice the
// wind's variance there (near 0 for a symmetric pattern, about 1 for none). NaN when the segment does not
// reach 1.5 times that time on both sides.
double asymmetry_of(const Series& s, std::size_t a, std::size_t b, const Dip& d) {
  const double guess = 0.5 * (s.t[d.left] + s.t[d.right]);
  const double half = std::min(guess - s.t[d.left], s.t[d.right] - guess);
  const double reach = std::min({kSymmetryReach * half, guess - s.t[a], s.t[b - 1] - guess});
  if (!(reach >= 1.5 * half) || half < 20.0) return kNaN;
  double g = 0.0, sigma = 0.0, ms = kNaN;
  symmetric_time(s, a, b, guess, reach, std::min(90.0, 0.5 * half), g, sigma, &ms);
  double sum = 0.0, sum2 = 0.0, n = 0.0;
  for (std::size_t i = a; i < b; ++i)
    if (std::fabs(s.t[i] - guess) <= reach && std::isfinite(s.wind[i])) {
      sum += s.wind[i];
      sum2 += s.wind[i] * s.wind[i];
      n += 1.0;
    }
  const double var = n > 1.0 ? (sum2 - sum * sum / n) / (n - 1.0) : 0.0;
  return var > 0.0 ? ms / (2.0 * var) : kNaN;
}

// The eye lies inside the innermost wind maximum. A dip x whose flanking peaks enclose another dip y
// with both of y's own flanking peaks is a moat whose flank beyond y is the eyewall on the far side of the
// eye y, when y's flank towards x is clearly weaker than that peak (below kEnclosedPeak of it): the two
// are then the weak and the strong side of one eyewall. When they are of about the same strength, y's
// flank is the inner eyewall and x's the outer one on the same side of the storm (the outer maximum is
// 0.6-1.1 of the inner one), y the moat and x the eye.
constexpr double kEnclosedPeak = 0.8;
bool encloses(const Dip& x, const Dip& y) {
  if (x.moats || y.moats || y.left < x.left || y.right > x.right) return false;
  if (y.at > x.at) return y.left > x.at && y.left > x.left && y.left_wind < kEnclosedPeak * x.right_wind;
  return y.right < x.at && y.right < x.right && y.right_wind < kEnclosedPeak * x.left_wind;
}

// Whether `d`, an eye added between two dips (add_between) with flanks alike, has a moat by its flanks
// (Flanks::kUnlike) as one of the two.
bool between_moats(const std::vector<Dip>& dips, const Dip& d) {
  if (d.moats || d.outer_left == std::string::npos || d.flanks != Flanks::kAlike) return false;
  return std::any_of(dips.begin(), dips.end(), [&d](const Dip& x) {
    return !x.moats && x.flanks == Flanks::kUnlike && (x.at == d.outer_left || x.at == d.outer_right);
  });
}

// Whether a dip's bottom keeps a moat's wind: kMoatBottom of its flanking peaks' mean (the weak side of a
// lopsided eye's eyewall understates the wind about it, so the lower peak does not judge it).
bool moat_bottom(const Dip& d) {
  const double lower = std::min(d.left_wind, d.right_wind), mean = 0.5 * (d.left_wind + d.right_wind);
  return mean > 0.0 && d.depth * lower >= kMoatBottom * mean;
}

// Which of a segment's dips are moats by their flanks (flank_kinds): a dip between an inner and an outer
// eyewall, and the midpoint of such a moat and an eye, that is a dip between alike eyewalls whose bottom
// lies below what a moat keeps (kMoatBottom of its lower flank): the midpoint lies on the eye's eyewall.
std::vector<char> moat_dips(const std::vector<Dip>& dips) {
  // +1 for an eye, -1 for a moat, 0 for neither or unknown.
  auto kind_at = [&dips](std::size_t at) {
    for (const Dip& x : dips)
      if (!x.moats && x.at == at) {
        if (x.flanks == Flanks::kUnlike) return -1;
        return x.flanks == Flanks::kAlike && x.depth < kMoatBottom ? 1 : 0;
      }
    return 0;
  };
  std::vector<char> moat(dips.size(), 0);
  for (std::size_t i = 0; i < dips.size(); ++i) {
    if (!dips[i].moats) {
      moat[i] = dips[i].flanks == Flanks::kUnlike;
      continue;
    }
    const int l = kind_at(dips[i].left), r = kind_at(dips[i].right);
    moat[i] = l * r == -1;
  }
  // The midpoint of two dips, one a moat by its flanks and the other of unknown flanks whose bottom keeps a
  // moat's wind (moat_bottom): the other is the moat on the eye's far side, its outer
  // eyewall's width running into the segment's end or alike the inner one's over a short chord.
  for (std::size_t i = 0; i < dips.size(); ++i) {
    if (!dips[i].moats || moat[i]) continue;
    const int l = kind_at(dips[i].left), r = kind_at(dips[i].right);
    if (l + r != -1 || l * r != 0) continue;
    const std::size_t other = l == 0 ? dips[i].left : dips[i].right;
    for (std::size_t k = 0; k < dips.size(); ++k)
      if (!dips[k].moats && dips[k].at == other && dips[k].flanks == Flanks::kUnknown && moat_bottom(dips[k]))
        moat[k] = 1;
  }
  // An eye between two dips (add_between) whose own flanks are alike, one of the two a moat by its flanks:
  // the other lies as far across the eye and is the moat on that side, even where its outer eyewall runs
  // to the segment's end and its flanks stay unknown (a flight ending just after the eye).
  for (const Dip& d : dips) {
    if (!between_moats(dips, d)) continue;
    for (std::size_t i = 0; i < dips.size(); ++i)
      if (!dips[i].moats && (dips[i].at == d.outer_left || dips[i].at == d.outer_right)) moat[i] = 1;
  }
  return moat;
}

// The eye among a segment's dips. A straight leg crosses the storm's core once (the aircraft flies 20-40
// times faster than the storm moves), so a segment holds at most one pass. Around concentric eyewalls the
// moat shows as a dip on either side of the eye, at the same distance: of three dips whose middle one lies
// halfway between the others (within 15 % of their spacing), the middle one is the eye. Otherwise the eye
// is the dip about which the wind is most nearly symmetric over a reach beyond its flanking peaks: beyond
// the eyewall lie the same moat and outer eyewall (or the same decay) on both sides, while a moat has the
// eye on one side and the outer eyewall on the other, and a rain band's gap has the core on one side
// only. The depth of a dip does not tell them apart: a wavenumber-1 asymmetry deepens the moat on its weak
// side below the eye's winds. Without the reach to judge every dip, the deepest dip relative to its
// eyewall peaks is the eye. A dip that encloses another (encloses, above) is neither, while another
// candidate remains.
std::size_t eye_of(const Series& s, std::size_t a, std::size_t b, const std::vector<Dip>& dips) {
  // Three dips of segment_dips, in time order (those of add_between, after them, lie halfway between two
  // dips by their making).
  const std::size_t found = static_cast<std::size_t>(
      std::find_if(dips.begin(), dips.end(), [](const Dip& x) { return x.outer_left != std::string::npos; }) -
      dips.begin());
  for (std::size_t i = 0; i < found; ++i)
    for (std::size_t k = i + 2; k < found; ++k)
      for (std::size_t j = i + 1; j < k; ++j) {
        const double half = 0.5 * static_cast<double>(dips[k].at - dips[i].at);
        const double mid = 0.5 * static_cast<double>(dips[i].at + dips[k].at);
        if (std::fabs(static_cast<double>(dips[j].at) - mid) < 0.15 * half) return j;
      }
  std::vector<char> open(dips.size(), 1);
  for (std::size_t i = 0; i < dips.size(); ++i)
    for (std::size_t j = 0; j < dips.size() && open[i]; ++j)
      if (j != i && encloses(dips[i], dips[j])) open[i] = 0;
  if (std::none_of(open.begin(), open.end(), [](char o) { return o != 0; })) open.assign(dips.size(), 1);
  std::size_t best = 0;
  while (!open[best]) ++best;
  const std::size_t first = best;
  if (dips.size() > 1) {
    std::vector<double> score(dips.size(), 0.0);
    bool judged = true;
    for (std::size_t i = 0; i < dips.size(); ++i)
      if (open[i]) {
        score[i] = asymmetry_of(s, a, b, dips[i]);
        judged = judged && std::isfinite(score[i]);
      }
    if (judged) {
      // The moats (moat_dips) are no candidates while another remains. Only here: a segment too short to
      // judge every candidate's symmetry is too short to show an outer eyewall's width either.
      const std::vector<char> moat = moat_dips(dips);
      bool other = false;
      for (std::size_t i = 0; i < dips.size(); ++i) other = other || (open[i] && !moat[i]);
      for (std::size_t i = 0; i < dips.size() && other; ++i)
        if (moat[i]) open[i] = 0;
      best = 0;
      while (!open[best]) ++best;
      for (std::size_t i = best + 1; i < dips.size(); ++i)
        if (open[i] && score[i] < score[best]) best = i;
      return best;
    }
  }
  for (std::size_t i = first + 1; i < dips.size(); ++i)
    if (open[i] && dips[i].depth < dips[best].depth) best = i;
  return best;
}

// A dip between an inner and an outer eyewall seen whole (Flanks::kUnlike) with the eye beyond the inner
// one: a concentric storm's moat can fall as calm as its eye, so its depth does not tell it from the eye.
// Its nearest peaks lie on one side of the storm, where a wavenumber 1 lifts or lowers both alike, so with
// an outer maximum of 0.8-1.1 of the inner they stay within kEnclosedPeak of each other (the weak and the
// strong side of an eye's eyewall differ by twice the wavenumber 1, and on a lopsided power-law core its
// strong side is also the wider); and beyond the narrower (inner) peak, away from the dip, the 10-s mean
// falls below the dip's 61-s mean within the segment (the eye, calmer than the moat, while outward from an
// eye's eyewall the wind decays slowly). That peak must be the dip's flank on its side: where the flank is
// farther (the outer eyewall beyond the eye), the eye lies inside the dip's span, and the symmetric fit
// about the flanks' midpoint finds it.
bool whole_moat(std::size_t a, std::size_t b, const std::vector<double>& w60, const std::vector<double>& w10,
                const Dip& d) {
  if (d.moats || d.flanks != Flanks::kUnlike || !std::isfinite(w60[d.at])) return false;
  const std::size_t pl = nearest_peak(a, b, w10, d.at, d.left), pr = nearest_peak(a, b, w10, d.at, d.right);
  if (!(std::min(w10[pl], w10[pr]) >= kEnclosedPeak * std::max(w10[pl], w10[pr]))) return false;
  const bool left = std::fabs(flank_width(a, b, w10, pl, -1)) < std::fabs(flank_width(a, b, w10, pr, 1));
  if ((left ? pl : pr) != (left ? d.left : d.right)) return false;
  const std::size_t from = left ? a : pr, to = left ? pl : b;
  for (std::size_t j = from; j < to; ++j)
    if (std::isfinite(w10[j]) && w10[j] < w60[d.at]) return true;
  return false;
}

// The eye's floor (method, step 3): the wind speed cannot fall below the eye's residual wind (nor below
// calm), so where a wavenumber 1 fading to the centre would take the weak side's wind below it the speed
// stays on that floor, over a stretch reaching further on the weak side than on the strong one. There the
// odd part of the wind is not linear (nil where both sides lie on the floor, rising stepwise where one
// side leaves it), and a symmetric fit including those seconds is drawn towards the floor's middle, away
// from the centre. The floor is the stretch about the dip whose 61-s mean lies within kFloorRise of the
// dip's; the fit keeps to the pairs farther from t0 than the floor's farther edge from the flanking peaks'
// midpoint (returned, s; 0 without a floor). A flat floor marks a broad eye with a flat core (a power
// law r^1.5 inside a 65-km RMW of 35 m/s stays within 6 m/s of calm out to 20 km); a small eye's bottom
// is narrower than the 61-s mean can resolve, and a floor that does not hold the midpoint, or a bottom
// above kMoatBottom of the lower peak (a moat's, or a chord beside the eye), is no eye's floor.
// The floor takes at most kFloorShare of the fit's reach, which keeps the eyewall's inner rise in the fit.
constexpr double kFloorRise = 2.0;        // m/s: twice the noise of the bottom's mean (kBottomNoise)
constexpr double kFloorResolved = 122.0;  // s: two 61-s windows, each blurring an edge by half its length
constexpr double kFloorShare = 0.5;       // of the symmetric fit's reach
// s: a floor narrower in the 61-s mean is resolved when its 10-s mean stays within kFloorRise this long
// (`narrow`; find_passes keeps it only for a pass timed by its cusps). A V-shaped bottom (no floor) keeps
// within it 50-70 s on the family's wdr cores as retrieved; a wavenumber 1 of 0.3 Vmax about 7.5 m/s of
// eye wind floors 85-135 s of a 26-km RMW's passes.
constexpr double kFloorFlat = 85.0;
double eye_floor(const Series& s, const std::vector<double>& w60, const std::vector<double>& w10,
                 const Dip& d, double reach, bool& narrow) {
  narrow = false;
  if (!std::isfinite(w60[d.at]) || !(d.depth < kMoatBottom)) return 0.0;
  const double level = w60[d.at] + kFloorRise;
  std::size_t lo = d.at, hi = d.at;
  while (lo > d.left && !(w60[lo - 1] > level)) --lo;
  while (hi < d.right && !(w60[hi + 1] > level)) ++hi;
  const double mid = 0.5 * (s.t[d.left] + s.t[d.right]);
  // The floor in the 10-s mean, which blurs its edges by 5 s only: the stretch within kFloorRise of the
  // lowest 10-s mean of the 61-s floor.
  std::size_t low = lo;
  for (std::size_t j = lo; j <= hi; ++j)
    if (std::isfinite(w10[j]) && !(w10[j] >= w10[low])) low = j;
  double flat = 0.0;
  if (std::isfinite(w10[low])) {
    std::size_t first = low, last = low;
    while (first > d.left && !(w10[first - 1] > w10[low] + kFloorRise)) --first;
    while (last < d.right && !(w10[last + 1] > w10[low] + kFloorRise)) ++last;
    flat = s.t[last] - s.t[first];
  }
  if ((s.t[hi] - s.t[lo] < kFloorResolved && flat < kFloorFlat) || !(s.t[lo] < mid && mid < s.t[hi]))
    return 0.0;
  narrow = s.t[hi] - s.t[lo] < kFloorResolved;
  return std::min(kFloorShare * reach, std::max({0.0, mid - s.t[lo], s.t[hi] - mid}));
}

// Sets the pass's eyewall maxima (Pass::wall_*) on segment [a, b), defined below; `bends` (may be null)
// receives each maximum's curvature (m/s per s^2, NaN when not found) and its sharpness (kCusp).
struct WallBends {
  std::array<double, 2> curvature{kNaN, kNaN}, sharpness{kNaN, kNaN};
};
void eyewall_maxima(const Series& s, std::size_t a, std::size_t b, const Plane& plane, Pass& p,
                    WallBends* bends = nullptr);

// A pass across a floored eye (eye_floor) whose eyewall maxima are both cusps: its time from the maxima.
// The symmetric fit then rests on the eyewall's inner rise alone and, on the family's power-law storms as
// retrieved, misses the closest approach by 10-30 s (1-3 km along the track), while a cusp stays at the
// RMW whatever the gradient across the eye: a maximum of S(|tau|) + g tau lies g / |S''| later than the
// profile's on both sides, which is taken off and which the cusp's curvature keeps to a second or two.
// The maxima of a rounded profile (Holland's, S'' h^2 = B^2 / 2 of the peak at the time h to it, at most
// 3.1 in the family) move with the gradient and the asymmetry's shape by tens of seconds, and the
// symmetric fit stays. A cusp: S'' h^2 at least kCusp times the peak on both sides.
constexpr double kCusp = 6.0;
bool cusp_time(const Series& s, std::size_t a, std::size_t b, const Plane& plane, const WallBends& bends,
               Pass& p);

}  // namespace

std::vector<Pass> find_passes(const std::vector<Series>& flights, const Plane& plane) {
  std::vector<Pass> passes;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    const std::size_t n = s.t.size();
    std::vector<double> w60(n, kNaN), w10(n, kNaN);
    for (const auto& [a, b] : segments(s)) {
      running_means(s, a, b, w60, w10);
      std::vector<Dip> dips = segment_dips(a, b, w60, w10);
      if (dips.empty()) continue;
      add_between(a, b, w10, dips);
      for (Dip& d : dips)
        if (!d.moats) d.flanks = flank_kinds(a, b, w10, d);
      Dip d = dips[eye_of(s, a, b, dips)];
      // A lone dip between an inner and an outer eyewall is a moat whose eye lies beyond the inner one:
      // seen whole (whole_moat, however deep), or cut by the segment's end (cut_moat; its bottom a moat's).
      if (dips.size() == 1 &&
          (whole_moat(a, b, w60, w10, d) ||
           (d.depth >= kMoatBottom && d.flanks == Flanks::kUnknown && cut_moat(a, b, w10, d))))
        continue;
      inner_flanks(a, b, w10, d);
      moat_bounded(a, b, dips, w10, d);
      const double guess = 0.5 * (s.t[d.left] + s.t[d.right]);
      const double reach_s = 0.95 * std::min(guess - s.t[d.left], s.t[d.right] - guess);
      bool narrow = false;
      double floor = d.moats ? 0.0 : eye_floor(s, w60, w10, d, reach_s, narrow);
      Pass p;
      WallBends bends;
      bool located = false;
      // A narrow floor serves only the cusps' midpoint: without cusps (a rounded Holland peak) the
      // symmetric fit keeps the eye's pairs, which place it better than the eyewall's rise alone.
      for (int tries = 0; tries < 2; ++tries, floor = 0.0) {
        p = Pass{};
        p.flight = f;
        p.reach_s = reach_s;
        p.time = pass_time(s, a, b, guess, reach_s, std::min(90.0, 0.5 * reach_s), p.gradient, p.time_sigma,
                           p.shape_sigma, floor);
        located = locate_pass(s, a, b, plane, p);
        if (!located) break;
        bends = {};
        if (!d.moats) eyewall_maxima(s, a, b, plane, p, &bends);
        if (!(floor > 0.0) || cusp_time(s, a, b, plane, bends, p) || !narrow) break;
      }
      if (!located) continue;
      // The half chord is the whole time to the nearer flanking peak (reach_s is 0.95 of it); an eye
      // between moats shows no bottom of its own.
      double q = 0.0, asym = 0.0;
      if (!d.moats && dip_shape(s, a, b, p, d.left_wind, d.right_wind, q, asym)) {
        p.miss_s = dip_miss(q, asym, reach_s / 0.95);
        p.wrong_doubt = wrong_pass_doubt(q, asym);
      }
      passes.push_back(p);
    }
  }
  return passes;
}

double centre_variance(const Motion& m, double t, double ex, double ey) {
  // c(t) = (x0 + u dt, y0 + v dt): its component along e is a . p with a = (ex, ey, ex dt, ey dt).
  const double dt = t - m.t_ref;
  const std::array<double, 4> a = {ex, ey, ex * dt, ey * dt};
  double var = 0.0;
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j) var += a[i] * m.cov[i][j] * a[j];
  return std::max(0.0, var);
}

double centre_accuracy(const Motion& m, double t) {
  return std::sqrt(centre_variance(m, t, 1.0, 0.0) + centre_variance(m, t, 0.0, 1.0));
}

namespace {

// Standard error (km) of a pass's line across the track: its time's noise at the storm-relative speed
// `w` (km/s), the retrieval's lag, known to about half a second (kLagSigma along the track), and a sought
// single maximum's offset on a lopsided storm (Pass::lopsided_sigma, its own: no other pass shares it), with
// the model's share: the larger of `scatter` (km, when the passes' own scatter gives it: more passes than
// unknowns) and the move of the time with the symmetric fit's reach (method, step 3); with `few` passes
// at least the wrong-pass share of the distance to the eyewall, sized by the dip's doubt.
double pass_sigma(const Pass& p, double w, double scatter, bool few) {
  double model = std::max(scatter, kShapeScale * w * p.shape_sigma);
  if (few) model = std::max(model, kWrongPass * p.wrong_doubt * w * p.reach_s);
  const double own =
      p.time_sigma * p.time_sigma + kLagSigma * kLagSigma + p.lopsided_sigma * p.lopsided_sigma;
  return std::sqrt(w * w * own + p.wn2_km * p.wn2_km + model * model);
}

// A pass's chord of the eyewall: with the eyewall a circle of radius R about the centre, the two maxima
// of a pass that misses the centre by d lie sqrt(R^2 - d^2) either side of the closest approach, so
// r = sqrt(d^2 + h^2) is R for h the half distance between the maxima in the storm's frame (the
// storm moves between them). Sets d (km, the centre of `m` across the pass, positive to the left of the
// storm-relative track), r (km) and r's noise from the maxima's times at the storm-relative speed (km);
// false without both maxima.
bool chord(const Pass& p, const Motion& m, double& d, double& r, double& sigma) {
  if (!std::isfinite(p.wall_time[0]) || !std::isfinite(p.wall_time[1])) return false;
  double wx = p.vx - m.u, wy = p.vy - m.v;
  const double w = std::hypot(wx, wy);
  if (!(w > 0.0)) return false;
  wx /= w;
  wy /= w;
  const double dt = p.time - m.t_ref, span = p.wall_time[1] - p.wall_time[0];
  d = -wy * (m.x0 + m.u * dt - p.x) + wx * (m.y0 + m.v * dt - p.y);
  const double h = 0.5 * std::fabs(wx * (p.wall_x[1] - p.wall_x[0] - m.u * span) +
                                   wy * (p.wall_y[1] - p.wall_y[0] - m.v * span));
  r = std::hypot(d, h);
  sigma = 0.5 * w * std::hypot(p.wall_sigma[0], p.wall_sigma[1]);
  return true;
}

// Whether the passes run along one heading (a pass and its reverse agree): the mean resultant length of
// their doubled headings above kOneHeading.
constexpr double kOneHeading = 0.97;
bool one_heading(const std::vector<Pass>& passes) {
  double c = 0.0, sn = 0.0;
  for (const Pass& p : passes) {
    const double h = 2.0 * std::atan2(p.vy, p.vx);
    c += std::cos(h);
    sn += std::sin(h);
  }
  return std::hypot(c, sn) > kOneHeading * static_cast<double>(passes.size());
}

// The centre of `m` across a dip pass (km, positive to the left of the storm-relative track) and the
// half chord `h` (km) within which it lies; h is 0 for a pass without a dip.
double eye_across(const Pass& p, const Motion& m, double& h) {
  const double wx = p.vx - m.u, wy = p.vy - m.v, w = std::hypot(wx, wy), dt = p.time - m.t_ref;
  h = p.seeded || !(w > 0.0) ? 0.0 : w * std::min(p.reach_s, p.miss_s);
  return w > 0.0 ? (-wy * (m.x0 + m.u * dt - p.x) + wx * (m.y0 + m.v * dt - p.y)) / w : 0.0;
}

// One weighted least-squares solution of the passes' lines, the eyewall's maxima (when
// m.wall_radius is set) and the priors for (x0, y0, u, v, and the eyewall's radius R) about the motion
// `m` (which sets the storm-relative directions and the point about which a maximum's range is
// linearised: |P - c(t)| - R, a Gauss-Newton step). Returns each pass's residual (km) and its standard
// error without the model's share (`noise`) and with it (`sigma`), the normalised residuals' sum of
// squares in `chi2`; false when the system is singular. `few`: each line carries the wrong-pass share.
// A dip pass whose centre lies beyond its half chord h is held at h with the error `bound` h. With the
// passes along one heading (`centred`) nothing but the motion's prior decides across the track: each dip
// pass then puts the centre on its track, the middle of its bound, as a single pass is, with the error
// `bound` h (the covariance takes the whole h). With `dip_bounds` (for the covariance) a dip pass within
// its dip's bound on the miss (Pass::miss_s) holds the centre where it is with the bound's spread.
bool solve_centre(const std::vector<Pass>& passes, const std::array<double, 4>& prior,
                  const std::array<double, 4>& prior_sigma, double scatter, Motion& m,
                  std::vector<double>& resid, std::vector<double>& noise, std::vector<double>& sigma,
                  double& chi2, bool few = false, double bound = kEyeBound, bool centred = false,
                  bool dip_bounds = false) {
  std::vector<std::vector<double>> ata(5, std::vector<double>(5, 0.0));
  std::vector<double> atb(5, 0.0);
  auto row = [&](const std::array<double, 5>& a, double b, double sigma) {
    for (std::size_t i = 0; i < 5; ++i) {
      for (std::size_t j = 0; j < 5; ++j) ata[i][j] += a[i] * a[j] / (sigma * sigma);
      atb[i] += a[i] * b / (sigma * sigma);
    }
  };
  std::vector<std::array<double, 6>> rows;
  noise.clear();
  sigma.clear();
  const bool walls = std::isfinite(m.wall_radius);
  const std::array<double, 5> now = {m.x0, m.y0, m.u, m.v, walls ? m.wall_radius : 0.0};
  for (const Pass& p : passes) {
    double wx = p.vx - m.u, wy = p.vy - m.v;
    const double w = std::hypot(wx, wy);
    wx /= w;
    wy /= w;
    const double dt = p.time - m.t_ref;
    rows.push_back({wx, wy, wx * dt, wy * dt, wx * p.x + wy * p.y, pass_sigma(p, w, scatter, few)});
    noise.push_back(pass_sigma(p, w, 0.0, false));
    sigma.push_back(rows.back()[5]);
    row({wx, wy, wx * dt, wy * dt, 0.0}, wx * p.x + wy * p.y, rows.back()[5]);
    double h = 0.0;
    const double across = eye_across(p, m, h);
    if (h > 0.0 && centred)
      row({-wy, wx, -wy * dt, wx * dt, 0.0}, -wy * p.x + wx * p.y, bound * h);
    else if (h > 0.0 && std::fabs(across) > h)
      row({-wy, wx, -wy * dt, wx * dt, 0.0}, -wy * p.x + wx * p.y + std::copysign(h, across), bound * h);
    else if (h > 0.0 && dip_bounds && p.miss_s < p.reach_s)
      row({-wy, wx, -wy * dt, wx * dt, 0.0}, -wy * p.x + wx * p.y + across, kWithinBound * h);
    double d = 0.0, r = 0.0, chord_sigma = 0.0;
    if (walls && chord(p, m, d, r, chord_sigma) && r > 1e-6) {
      // Across the pass only: d = n . (c(t) - P) with n the pass's normal (-wy, wx).
      const std::array<double, 5> j = {-wy * d / r, wx * d / r, -wy * d / r * dt, wx * d / r * dt, -1.0};
      double b = m.wall_radius - r;
      for (std::size_t i = 0; i < 5; ++i) b += j[i] * now[i];
      row(j, b, std::hypot(chord_sigma, m.wall_spread));
    }
  }
  for (std::size_t k = 0; k < 4; ++k) {
    std::array<double, 5> a{};
    a[k] = 1.0;
    row(a, prior[k], prior_sigma[k]);
  }
  row({0.0, 0.0, 0.0, 0.0, 1.0}, now[4], kPriorCentre);
  std::vector<double> x = atb;
  std::vector<std::vector<double>> inv;
  if (!solve(ata, x, inv)) return false;
  m.x0 = x[0];
  m.y0 = x[1];
  m.u = x[2];
  m.v = x[3];
  if (walls) m.wall_radius = x[4];
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j) m.cov[i][j] = inv[i][j];
  chi2 = 0.0;
  resid.clear();
  for (const auto& r : rows) {
    resid.push_back(r[0] * m.x0 + r[1] * m.y0 + r[2] * m.u + r[3] * m.v - r[4]);
    chi2 += resid.back() * resid.back() / (r[5] * r[5]);
  }
  return true;
}

// The eyewall maxima's ranges from the centre of `m` less its eyewall radius (km), with their noise, one
// per pass with both maxima (see `chord`).
void wall_residuals(const std::vector<Pass>& passes, const Motion& m, std::vector<double>& res,
                    std::vector<double>& noise) {
  res.clear();
  noise.clear();
  for (const Pass& p : passes) {
    double d = 0.0, r = 0.0, sigma = 0.0;
    if (!chord(p, m, d, r, sigma)) continue;
    res.push_back(r - (std::isfinite(m.wall_radius) ? m.wall_radius : 0.0));
    noise.push_back(sigma);
  }
}

// The eyewall's maxima join the passes' lines (method, step 4): an eyewall is close to a circle about
// the centre, so each maximum's range from the centre is the eyewall's radius R within a spread (the
// centre equidistant from the wind maxima, Willoughby and Chelmow 1982). A line fixes the centre only
// along the pass; the ranges fix it across the pass too (a pass missing by d sees its maxima a chord
// 2 sqrt(R^2 - d^2) apart), which otherwise rests on the other passes and the motion. The spread starts
// at kWallSpread of R; then a maximum more than kWallOutlier of its errors off is left out (a rain
// band's or an outer eyewall's maximum), and the spread becomes the one that makes the normalised ranges'
// mean square one per degree of freedom, at least kWallSpreadMin of R with kManyWalls maxima or more
// (else at least kWallSpread: few maxima cannot show the eyewall's shape).
void fit_walls(std::vector<Pass> passes, const std::array<double, 4>& prior,
               const std::array<double, 4>& prior_sigma, double scatter, Motion& m,
               std::vector<double>& resid, std::vector<double>& noise, std::vector<double>& sigma,
               double& chi2) {
  std::vector<double> res, wall_noise;
  wall_residuals(passes, m, res, wall_noise);
  if (res.size() < kMinWalls) return;
  Motion w = m;
  std::vector<double> sorted = res;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
  w.wall_radius = sorted[sorted.size() / 2];
  w.wall_spread = kWallSpread * w.wall_radius;
  std::vector<double> r2, n2, s2;
  double c2 = 0.0;
  for (int round = 0; round < 2; ++round) {
    for (int iteration = 0; iteration < 5; ++iteration)
      if (!solve_centre(passes, prior, prior_sigma, scatter, w, r2, n2, s2, c2)) return;
    if (round == 1) break;
    std::size_t i = 0, kept = 0;
    for (Pass& p : passes) {
      if (!std::isfinite(p.wall_time[0]) || !std::isfinite(p.wall_time[1])) continue;
      wall_residuals(passes, w, res, wall_noise);
      if (std::fabs(res[i]) > kWallOutlier * std::hypot(wall_noise[i], w.wall_spread))
        p.wall_time = {kNaN, kNaN};
      else
        ++i, ++kept;
    }
    wall_residuals(passes, w, res, wall_noise);
    if (kept < kMinWalls || !(w.wall_radius > 0.0)) return;
    auto excess = [&](double v) {
      double sum = 0.0;
      for (std::size_t j = 0; j < res.size(); ++j)
        sum += res[j] * res[j] / (wall_noise[j] * wall_noise[j] + v);
      return sum - static_cast<double>(res.size() - 1);
    };
    double lo = 0.0, hi = 1.0e4;
    if (excess(0.0) <= 0.0) hi = 0.0;
    for (int k = 0; k < 60 && hi > 0.0; ++k) (excess(0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
    const double floor = (kept >= kManyWalls ? kWallSpreadMin : kWallSpread) * w.wall_radius;
    w.wall_spread = std::max(std::sqrt(hi), floor);
  }
  m = w;
  resid = r2;
  noise = n2;
  sigma = s2;
  chi2 = c2;
}

// More passes than unknowns: their scatter about the solution gives the model's share of each pass's
// error, a variance tau^2 common to all passes, such that the residuals normalised by sqrt(noise^2 + tau^2)
// have a mean square of one per degree of freedom (the method of moments for a variance component);
// tau = 0 when the noise alone explains the scatter. Returns tau (km) with the solution that uses it.
double pass_scatter(const std::vector<Pass>& passes, const std::array<double, 4>& prior,
                    const std::array<double, 4>& prior_sigma, Motion& m, std::vector<double>& resid,
                    std::vector<double>& noise, std::vector<double>& sigma, double& chi2) {
  const std::size_t n = passes.size();
  double tau = 0.0;
  for (int iteration = 0; iteration < 4; ++iteration) {
    if (!solve_centre(passes, prior, prior_sigma, tau, m, resid, noise, sigma, chi2)) break;
    auto excess = [&](double t2) {
      double sum = 0.0;
      for (std::size_t i = 0; i < n; ++i) sum += resid[i] * resid[i] / (noise[i] * noise[i] + t2);
      return sum - static_cast<double>(n - 4);
    };
    double lo = 0.0, hi = 1.0e4;
    if (excess(0.0) <= 0.0) hi = 0.0;
    for (int k = 0; k < 60 && hi > 0.0; ++k) (excess(0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
    tau = std::sqrt(hi);
  }
  return tau;
}

// The part of the passes' model error that every pass of a storm repeats (the same profile's shape
// bends the odd part of the wind alike on each pass), so that neither the passes' scatter nor their
// number shows or shrinks it: kShapeShared of each pass's model share (the move of its time with the
// fit's reach, at the storm-relative speed), their mean square added to the centre's variance in every
// direction alike. The same bias differs between the passes' headings and so moves the motion too: the
// motion's covariance grows in the ratio of the centre's variance with and without it (a fix hours from
// the passes' mean time carries it that much more).
void add_shared_bias(const std::vector<Pass>& passes, Motion& m) {
  if (passes.empty()) return;
  double sum = 0.0;
  for (const Pass& p : passes) {
    const double b = kShapeShared * std::hypot(p.vx - m.u, p.vy - m.v) * p.shape_sigma;
    sum += b * b;
  }
  const double var = 0.5 * sum / static_cast<double>(passes.size());
  const double trace = m.cov[0][0] + m.cov[1][1];
  if (!(trace > 0.0) || !(var > 0.0)) return;
  const double grow = std::sqrt(1.0 + 2.0 * var / trace);
  for (std::size_t i = 2; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j) {
      m.cov[i][j] *= grow;
      m.cov[j][i] *= grow;
    }
  m.cov[0][0] += var;
  m.cov[1][1] += var;
}

// The model shares (km) of the passes' lines at the storm-relative speeds of `m`, as pass_sigma takes them.
std::vector<double> model_shares(const std::vector<Pass>& passes, const Motion& m) {
  std::vector<double> model;
  for (const Pass& p : passes)
    model.push_back(kShapeScale * std::hypot(p.vx - m.u, p.vy - m.v) * p.shape_sigma);
  return model;
}

// Passes and the motion's prior that disagree beyond their errors (a track's motion the passes pull away
// from, a wrong pass among few) widen the covariance by the Birge ratio: the normalised sum of squares of
// the `n` passes (`chi2`) and the motion's prior per pass, when above one.
void widen_by_birge(Motion& m, const std::array<double, 4>& prior, const std::array<double, 4>& prior_sigma,
                    double chi2, std::size_t n) {
  if (n == 0) return;
  const double du = (m.u - prior[2]) / prior_sigma[2], dv = (m.v - prior[3]) / prior_sigma[3];
  const double ratio = (chi2 + du * du + dv * dv) / static_cast<double>(n);
  if (ratio > 1.0)
    for (auto& r : m.cov)
      for (double& c : r) c *= ratio;
}

}  // namespace

double model_share_scale(const std::vector<double>& resid, const std::vector<double>& noise,
                         const std::vector<double>& model, double scatter, std::size_t unknowns) {
  const std::size_t n = resid.size();
  if (n <= unknowns || noise.size() != n || model.size() != n) return 1.0;
  const double dof = static_cast<double>(n - unknowns), floor = scatter > 0.0 ? scatter * scatter : 0.0;
  auto excess = [&](double s2) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double var = noise[i] * noise[i] + std::max(floor, s2 * model[i] * model[i]);
      // A residual with no variance at all needs the whole share.
      if (var > 0.0)
        sum += resid[i] * resid[i] / var;
      else if (resid[i] != 0.0)
        return std::numeric_limits<double>::infinity();
    }
    return sum - dof;
  };
  if (!(excess(1.0) < 0.0)) return 1.0;
  double lo = 0.0, hi = 1.0;
  if (excess(0.0) <= 0.0) hi = 0.0;
  for (int k = 0; k < 60 && hi > 0.0; ++k) (excess(0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
  return std::sqrt((dof * hi + kModelPrior) / (dof + kModelPrior));
}

double wn2_line_error(double share, double vmax, double inner_power, double miss_km) {
  if (!(std::fabs(share) * vmax >= kWn2Floor) || !(miss_km > 0.0)) return 0.0;
  const double kappa = 2.0 / std::clamp(inner_power, kWn2PowerMin, kWn2PowerMax);
  return kappa * std::fabs(share) * miss_km / std::numbers::sqrt2;
}

bool passes_one_heading(const std::vector<Pass>& passes) {
  return one_heading(passes);
}

void add_profile_bias(const std::vector<Pass>& passes, Motion& m) {
  add_shared_bias(passes, m);
}

void same_crossings(std::vector<Pass>& passes) {
  auto error = [](const Pass& p) { return std::hypot(p.time_sigma, p.shape_sigma); };
  auto twins = [](const Pass& a, const Pass& b) {
    const double dt = b.time - a.time;
    return a.flight != b.flight && std::fabs(dt) <= kTwinS &&
           std::hypot(a.x + a.vx * dt - b.x, a.y + a.vy * dt - b.y) <= kTwinKm &&
           std::hypot(a.vx - b.vx, a.vy - b.vy) <= kTwinCourse * std::hypot(a.vx, a.vy);
  };
  for (std::size_t i = 0; i < passes.size(); ++i)
    for (std::size_t j = i + 1; j < passes.size(); ++j) {
      if (!twins(passes[i], passes[j])) continue;
      if (error(passes[j]) < error(passes[i])) std::swap(passes[i], passes[j]);
      passes[i].twin = passes[j].flight;
      passes.erase(passes.begin() + static_cast<long>(j--));
    }
}

Motion fit_motion(std::vector<Pass>& passes, const Plane& plane, double u_prior, double v_prior,
                  double motion_sigma, bool on_tracks) {
  Motion m;
  if (passes.empty()) return m;
  double tsum = 0.0, xs = 0.0, ys = 0.0;
  for (const Pass& p : passes) {
    tsum += p.time;
    xs += p.x;
    ys += p.y;
  }
  const double np = static_cast<double>(passes.size());
  m.t_ref = tsum / np;
  const std::array<double, 4> prior = {xs / np, ys / np, u_prior, v_prior};
  const std::array<double, 4> prior_sigma = {kPriorCentre, kPriorCentre, motion_sigma, motion_sigma};
  std::vector<double> resid, noise, sigma;
  double chi2 = 0.0;
  // The storm-relative directions depend on the motion: three rounds. Then a pass far off the others'
  // solution (a moat or a rain band taken for the eye) is left out, one at a time, while more than three
  // remain and its residual exceeds kPassOutlier standard errors.
  for (int round = 0; round < 12; ++round) {
    m.u = u_prior;
    m.v = v_prior;
    bool ok = true;
    const bool centred = on_tracks && passes.size() >= 2 && one_heading(passes);
    for (int iteration = 0; iteration < 3 && ok; ++iteration)
      ok = solve_centre(passes, prior, prior_sigma, -1.0, m, resid, noise, sigma, chi2, false, kEyeBound,
                        centred);
    if (!ok || passes.size() <= 3) break;
    std::size_t worst = 0;
    std::vector<double> z(resid.size());
    for (std::size_t i = 0; i < resid.size(); ++i) {
      z[i] = std::fabs(resid[i]) / sigma[i];
      if (z[i] > z[worst]) worst = i;
    }
    if (z[worst] < kPassOutlier) break;
    passes.erase(passes.begin() + static_cast<long>(worst));
  }
  const std::size_t n = passes.size();
  const double scatter =
      n > 4 ? pass_scatter(passes, prior, prior_sigma, m, resid, noise, sigma, chi2) : -1.0;
  fit_walls(passes, prior, prior_sigma, scatter, m, resid, noise, sigma, chi2);
  m.motion_sigma = std::sqrt(std::max(m.cov[2][2], m.cov[3][3]));
  // Four passes or fewer: the wrong-pass share widens the covariance but does not weigh the passes
  // against the priors (the solution stays that of their own errors); so does a pass held by the eye's
  // bound, the centre lying anywhere within it. More passes that agree better than their model shares
  // say narrow the covariance to the shares their residuals support, the solution again unchanged.
  const bool few = n > 0 && n <= kFewPasses;
  const bool held = std::any_of(passes.begin(), passes.end(), [&](const Pass& p) {
    double h = 0.0;
    return std::fabs(eye_across(p, m, h)) > h && h > 0.0;
  });
  const bool centred = on_tracks && !std::isfinite(m.wall_radius) && n >= 2 && one_heading(passes);
  const double scale = model_share_scale(resid, noise, model_shares(passes, m), scatter);
  if (few || held || centred || scale < 1.0) {
    std::vector<Pass> scaled = passes;
    for (Pass& p : scaled) p.shape_sigma *= scale;
    Motion wide = m;
    std::vector<double> r2, n2, s2;
    double c2 = 0.0;
    if (solve_centre(scaled, prior, prior_sigma, few ? -1.0 : scatter, wide, r2, n2, s2, c2, few,
                     few || held || centred ? 1.0 : kEyeBound, centred, true))
      m.cov = wide.cov;
  }
  widen_by_birge(m, prior, prior_sigma, chi2, n);
  add_shared_bias(passes, m);
  for (Pass& p : passes) {
    const double dt = p.time - m.t_ref;
    plane.to_latlon(m.x0 + m.u * dt, m.y0 + m.v * dt, p.lat, p.lon);
    p.accuracy_km = centre_accuracy(m, p.time);
  }
  return m;
}

namespace {

// The fitted maximum of a leg's peak (method, step 7) with what its error needs: the residual variance
// of the seconds about the cubic (m2/s2), the variance of the maximum's time per unit residual variance
// (s^2 per m2/s2, from the cubic's covariance by the delta method: dx = -dV'(x)/V''(x), so var x =
// g' M^-1 g / V''^2 with g = (0, 1, 2x, 3x^2) and M the normal matrix) and the curvature V'' (m/s per s^2).
struct CubicPeak {
  double time = kNaN;
  double resid_var = 0.0, time_var = 0.0, curvature = 0.0;
  double correlation = 1.0;  // (1 + rho) / (1 - rho) for the residuals' lag-1 correlation rho
  double model_shift = 0.0;  // s, the model's error of the maximum's time (twice its move on half the span)
  double move = 0.0;         // s, the maximum's time less the half span's (0 without a half span's)
  double ta = kNaN, tb = kNaN;  // s since 1970, the span the cubic was fitted over
};

CubicPeak cubic_fit(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                    std::size_t end, double ta, double tb);

CubicPeak cubic_peak(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                     std::size_t end, std::size_t window, double mean) {
  if (window == std::string::npos || end < begin + kWindow || window + kWindow > end) return {};
  // The top of the peak: the 10-s means on either side of the largest one down to kPeakFitDrop below it.
  const std::size_t last = end - kWindow;
  const double floor = (1.0 - kPeakFitDrop) * mean;
  std::size_t lo = window, hi = window;
  while (lo > begin && !(nan_mean(wind, lo - 1, lo - 1 + kWindow, kWindowMin) < floor)) --lo;
  while (hi < last && !(nan_mean(wind, hi + 1, hi + 1 + kWindow, kWindowMin) < floor)) ++hi;
  const double t_peak = 0.5 * (t[window] + t[window + kWindow - 1]);
  const double ta = std::max({std::min(t[lo], t_peak - kPeakFitMinHalf), t_peak - kPeakFitMaxHalf, t[begin]});
  const double tb = std::min(
      {std::max(t[hi + kWindow - 1], t_peak + kPeakFitMinHalf), t_peak + kPeakFitMaxHalf, t[end - 1]});
  CubicPeak out = cubic_fit(t, wind, begin, end, ta, tb);
  out.ta = ta;
  out.tb = tb;
  if (!std::isfinite(out.time)) return out;
  // The profile is a cubic only near its maximum: the same fit over half the span about the maximum
  // shows how far the shape beyond moves it. The bias grows as the span squared, so the whole span's
  // bias is 4/3 of that shift (Richardson's argument), less the noise the shift carries (kCubicBias); it
  // is taken as the model's error, added to the noise's.
  const double half = std::max(kPeakFitMinHalf, 0.25 * (tb - ta));
  const CubicPeak inner =
      cubic_fit(t, wind, begin, end, std::max(ta, out.time - half), std::min(tb, out.time + half));
  // As for the passes, the inner fit's extra noise is taken out of the shift.
  if (std::isfinite(inner.time)) {
    const double noise =
        inner.time_var * inner.resid_var * inner.correlation - out.time_var * out.resid_var * out.correlation;
    const double shift = out.time - inner.time;
    out.move = shift;
    out.model_shift = kCubicBias * std::sqrt(std::max(0.0, shift * shift - std::max(0.0, noise)));
  }
  return out;
}

// The least-squares cubic in x = (t - tc) / h over the retrieved seconds of [ta, tb] of [begin, end),
// with its maximum and the maximum's error terms.
CubicPeak cubic_fit(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                    std::size_t end, double ta, double tb) {
  CubicPeak out;
  const double tc = 0.5 * (ta + tb), h = std::max(1.0, 0.5 * (tb - ta));
  std::vector<std::vector<double>> m(4, std::vector<double>(4, 0.0));
  std::vector<double> c(4, 0.0);
  std::size_t n = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (t[i] < ta || t[i] > tb || !std::isfinite(wind[i])) continue;
    const double x = (t[i] - tc) / h;
    const std::array<double, 4> p = {1.0, x, x * x, x * x * x};
    for (std::size_t j = 0; j < 4; ++j) {
      for (std::size_t k = 0; k < 4; ++k) m[j][k] += p[j] * p[k];
      c[j] += p[j] * wind[i];
    }
    ++n;
  }
  std::vector<std::vector<double>> inv;
  if (n < kPeakFitMinSeconds || !solve(m, c, inv)) return out;
  // The local maximum: V'(x) = c1 + 2 c2 x + 3 c3 x^2 = 0 with V''(x) = 2 c2 + 6 c3 x < 0.
  double x = kNaN;
  if (std::fabs(c[3]) <= 1e-9 * std::fabs(c[2])) {
    if (c[2] < 0.0) x = -c[1] / (2.0 * c[2]);
  } else {
    const double disc = c[2] * c[2] - 3.0 * c[1] * c[3];
    if (disc > 0.0)
      for (const double sign : {-1.0, 1.0}) {
        const double root = (-c[2] + sign * std::sqrt(disc)) / (3.0 * c[3]);
        if (c[2] + 3.0 * c[3] * root < 0.0) x = root;
      }
  }
  const double vertex = tc + x * h;
  if (!(vertex >= ta && vertex <= tb)) return out;
  out.time = vertex;
  double rss = 0.0, lag1 = 0.0, previous = kNaN;
  for (std::size_t i = begin; i < end; ++i) {
    if (t[i] < ta || t[i] > tb || !std::isfinite(wind[i])) continue;
    const double xi = (t[i] - tc) / h;
    const double e = wind[i] - (c[0] + xi * (c[1] + xi * (c[2] + xi * c[3])));
    rss += e * e;
    if (std::isfinite(previous)) lag1 += e * previous;
    previous = e;
  }
  out.resid_var = rss / static_cast<double>(n - 4);
  const double rho = std::clamp(rss > 0.0 ? lag1 / rss : 0.0, 0.0, 0.95);
  out.correlation = (1.0 + rho) / (1.0 - rho);
  const double v2 = 2.0 * c[2] + 6.0 * c[3] * x;
  const std::array<double, 4> g = {0.0, 1.0, 2.0 * x, 3.0 * x * x};
  double gmg = 0.0;
  for (std::size_t j = 0; j < 4; ++j)
    for (std::size_t k = 0; k < 4; ++k) gmg += g[j] * inv[j][k] * g[k];
  out.time_var = h * h * gmg / (v2 * v2);
  out.curvature = v2 / (h * h);
  return out;
}

}  // namespace

// Noise of one 10-s mean of the leg's retrieved wind (m/s): from the second differences of consecutive
// non-overlapping 10-s means, D = m(k+1) - 2 m(k) + m(k-1), whose variance is 6 times a mean's when the
// true wind is straight over 30 s; the median absolute D (times 1.4826, a normal spread) keeps the
// eyewall's bends out.
double ten_second_noise(const Series& s, const Leg& leg) {
  std::vector<double> means, d;
  for (std::size_t i = leg.begin; i + kWindow <= leg.end; i += kWindow)
    means.push_back(nan_mean(s.wind, i, i + kWindow, kWindowMin));
  for (std::size_t k = 1; k + 1 < means.size(); ++k)
    if (std::isfinite(means[k - 1] + means[k] + means[k + 1]))
      d.push_back(std::fabs(means[k + 1] - 2.0 * means[k] + means[k - 1]));
  if (d.size() < 3) return kNaN;
  std::nth_element(d.begin(), d.begin() + static_cast<long>(d.size() / 2), d.end());
  return 1.4826 * d[d.size() / 2] / std::sqrt(6.0);
}

double cut_reach(double first, double last, double ta, double tb, double peak_time) {
  const bool at_first = ta <= first, at_last = tb >= last;
  if (at_first == at_last) return 0.0;
  const double before = peak_time - ta, after = tb - peak_time;
  return std::max(0.0, at_first ? after - before : before - after);
}

double rival_variance(const Series& s, const CentreFn& centre, const Leg& leg, std::size_t window,
                      double mean, double s10) {
  if (window == std::string::npos || !(s10 > 0.0) || leg.end < leg.begin + kWindow) return 0.0;
  std::vector<double> means(leg.end - leg.begin - kWindow + 1);
  for (std::size_t i = 0; i < means.size(); ++i)
    means[i] = nan_mean(s.wind, leg.begin + i, leg.begin + i + kWindow, kWindowMin);
  const std::size_t peak = window - leg.begin, reach = static_cast<std::size_t>(kRivalReach);
  const double top = (1.0 - kPeakFitDrop) * mean;
  double deficit = std::numeric_limits<double>::infinity();
  std::size_t best = std::string::npos;
  for (std::size_t i = 0; i < means.size(); ++i) {
    if (i == peak || !std::isfinite(means[i])) continue;
    const std::size_t lo = i > reach ? i - reach : 0, hi = std::min(means.size(), i + reach + 1);
    if (std::any_of(means.begin() + static_cast<long>(lo), means.begin() + static_cast<long>(hi),
                    [&](double m) { return m > means[i]; }))
      continue;
    // Parted from the peak by a 10-s mean below its top.
    const std::size_t a = std::min(i, peak), b = std::max(i, peak);
    if (!std::any_of(means.begin() + static_cast<long>(a), means.begin() + static_cast<long>(b),
                     [&](double m) { return m < top; }))
      continue;
    if (mean - means[i] < deficit) {
      deficit = mean - means[i];
      best = i;
    }
  }
  if (best == std::string::npos) return 0.0;
  const double tt = 0.5 * (s.t[leg.begin + best] + s.t[leg.begin + best + kWindow - 1]);
  double clat = 0.0, clon = 0.0, km = 0.0, bearing = 0.0;
  centre(tt, clat, clon);
  range_bearing(clat, clon, value_at(s, s.lat, tt), value_at(s, s.lon, tt), km, bearing);
  // P(the rival's true 10-s mean is the higher) = Phi(-deficit / (sqrt 2 s10)) = erfc(deficit / (2 s10)) / 2.
  const double share = 0.5 * std::erfc(deficit / (2.0 * s10)), dr = km - leg.peak_radius_km;
  return std::isfinite(dr) ? share * dr * dr : 0.0;
}

namespace {

// The flat top's share in a leg's RMW error (km): kFlatTop w^2 / rmw for w the range (km) between the
// ends of the cubic's span; 0 without a fit.
double flat_top_error(const Series& s, const CentreFn& centre, const CubicPeak& fit, double rmw) {
  if (!std::isfinite(fit.time) || !(rmw > 0.0)) return 0.0;
  double r[2] = {0.0, 0.0};
  for (int k = 0; k < 2; ++k) {
    const double tt = k == 0 ? fit.ta : fit.tb;
    double clat = 0.0, clon = 0.0, b = 0.0;
    centre(tt, clat, clon);
    range_bearing(clat, clon, value_at(s, s.lat, tt), value_at(s, s.lon, tt), r[k], b);
  }
  const double w = std::fabs(r[1] - r[0]);
  return std::isfinite(w) ? kFlatTop * w * w / rmw : 0.0;
}

// The share of a leg's model error that its RMW's error keeps, for the fit's residual correlation factor
// (values below 1 or not finite count as 1).
double leg_model_share(double correlation) {
  const double c = std::isfinite(correlation) ? std::max(1.0, correlation) : 1.0;
  return std::sqrt(
      std::min(kLegModelShareMax * kLegModelShareMax, kLegModelWhite + kLegModelPerCorrelation * (c - 1.0)));
}

// The share of the cubic's move to the half span's maximum that is not the fits' noise: model_shift /
// (kCubicBias |move|), in [0, 1]; 0 without a move.
double move_share(const CubicPeak& fit) {
  return fit.move != 0.0 ? std::clamp(fit.model_shift / (kCubicBias * std::fabs(fit.move)), 0.0, 1.0) : 0.0;
}

// Standard errors of a leg's peak 10-s mean and of its range (method, step 7).
void peak_errors(const Series& s, const CentreFn& centre, const CentreVarFn& centre_var, const CubicPeak& fit,
                 std::size_t window, double mean, Leg& leg) {
  double s10 = ten_second_noise(s, leg);
  if (!std::isfinite(s10)) s10 = std::sqrt(fit.resid_var / static_cast<double>(kWindow));
  // How long the wind stays within one noise of its maximum: from the cubic's curvature, else from the
  // 10-s means themselves.
  double span = static_cast<double>(kWindow);
  if (std::isfinite(fit.time) && fit.curvature < 0.0) {
    span = 2.0 * std::sqrt(2.0 * s10 / -fit.curvature);
  } else {
    double first = kNaN, last = kNaN;
    for (std::size_t i = leg.begin; i + kWindow <= leg.end; ++i)
      if (nan_mean(s.wind, i, i + kWindow, kWindowMin) >= mean - s10) {
        if (!std::isfinite(first)) first = s.t[i];
        last = s.t[i];
      }
    if (std::isfinite(first)) span = last - first + static_cast<double>(kWindow);
  }
  // The largest of K independent 10-s means over a flat top exceeds the true largest by the largest of K
  // normal deviates: mean mu_K ~ sqrt(2 ln K) - 0.6 and spread s_K ~ 1 / (1 + 0.2 ln K) in units of the
  // noise (within 0.1 of the exact order statistics for K = 2-20); the error stated is their root sum
  // of squares, sqrt(mu_K^2 + s_K^2), which is 1 for K = 1.
  const double log_k = std::log(std::max(1.0, span / static_cast<double>(kWindow)));
  const double mu = std::max(0.0, std::sqrt(2.0 * log_k) - 0.6), spread = 1.0 / (1.0 + 0.2 * log_k);
  leg.peak_error = s10 * std::hypot(mu, spread);
  // The maximum's time: from the cubic's covariance, its residual variance multiplied by the 10-s means'
  // noise over that of white noise (the retrieval's noise is correlated from second to second).
  double time_var = span * span / 12.0, model_var = 0.0, window_var = 0.0;
  if (std::isfinite(fit.time) && fit.resid_var > 0.0) {
    // For the wind radii's core test the RMW is the position of a 10-s window, which stands for the
    // maximum only to within its own length: a uniform spread over 10 s, 10 / sqrt(12) s.
    const double length = static_cast<double>(kWindow) / std::sqrt(12.0);
    window_var = length * length;
    time_var = fit.time_var * fit.resid_var * fit.correlation;
    model_var = fit.model_shift * fit.model_shift;
  }
  double r[2] = {0.0, 0.0};
  for (int k = 0; k < 2; ++k) {
    const double tt = leg.peak_time + (k == 0 ? -5.0 : 5.0);
    double clat = 0.0, clon = 0.0, b = 0.0;
    centre(tt, clat, clon);
    range_bearing(clat, clon, value_at(s, s.lat, tt), value_at(s, s.lon, tt), r[k], b);
  }
  const double rate = std::fabs(r[1] - r[0]) / 10.0;  // km/s
  const double centre_along = centre_var ? centre_var(leg.peak_time, leg.bearing_deg) : 0.0;
  leg.peak_core_error_km = std::sqrt(rate * rate * (time_var + window_var + model_var) + centre_along);
  // The RMW's own error leaves the window's length out: the maximum moved by its model's error stands
  // for the place of the largest 10-s mean, and with the length the legs held the truth within one error
  // 77 % of the time. A span cut by the leg's end adds a uniform spread over the reach it lost, as far as
  // the profile beyond the cubic moves the maximum at all: in the share of the half span's move that is
  // not noise (with the whole spread the legs whose error is mostly the cut's held the truth within one
  // error 94 % of the time, with the share 77 %).
  const double flat = flat_top_error(s, centre, fit, leg.peak_radius_km);
  const double cut = std::isfinite(fit.time) && leg.end > leg.begin
                         ? rate * cut_reach(s.t[leg.begin], s.t[leg.end - 1], fit.ta, fit.tb, leg.peak_time) /
                               std::sqrt(12.0) * move_share(fit)
                         : 0.0;
  const double model_share = leg_model_share(fit.correlation);
  leg.peak_radius_error_km = std::sqrt(
      rate * rate * (time_var + model_share * model_share * model_var) + flat * flat + cut * cut +
      kLegCentreShare * kLegCentreShare * centre_along + rival_variance(s, centre, leg, window, mean, s10));
}

// The eyewall's maxima either side of a pass: the largest 10-s mean between 0.5 and 1.6 times the time from
// the closest approach to the nearer eyewall peak (the symmetric fit's reach over 0.95) on each side,
// placed by the cubic of step 7. A side whose largest mean lies at the edge of that span (no maximum
// inside it), below kPassPeak, or whose cubic has no maximum there, is left out.
void eyewall_maxima(const Series& s, std::size_t a, std::size_t b, const Plane& plane, Pass& p,
                    WallBends* bends) {
  const double h = p.reach_s / 0.95;
  const auto at = [&](double tt) {
    return static_cast<std::size_t>(
        std::lower_bound(s.t.begin() + static_cast<long>(a), s.t.begin() + static_cast<long>(b), tt) -
        s.t.begin());
  };
  for (std::size_t k = 0; k < 2; ++k) {
    const double t_lo = p.time + (k == 0 ? -1.6 : 0.5) * h, t_hi = p.time + (k == 0 ? -0.5 : 1.6) * h;
    const std::size_t i0 = at(t_lo), i1 = at(t_hi);
    double mean = 0.0;
    const std::size_t w = peak_window(s.wind, i0, i1, mean);
    if (w == std::string::npos || w == i0 || w + kWindow >= i1 || mean < kPassPeak) continue;
    const CubicPeak fit = cubic_peak(s.t, s.wind, a, b, w, mean);
    if (!(fit.time >= t_lo && fit.time <= t_hi)) continue;
    const double lat = value_at(s, s.lat, fit.time), lon = value_at(s, s.lon, fit.time);
    if (!std::isfinite(lat) || !std::isfinite(lon)) continue;
    const double window = static_cast<double>(kWindow) / std::sqrt(12.0);
    p.wall_time[k] = fit.time;
    plane.to_xy(lat, lon, p.wall_x[k], p.wall_y[k]);
    p.wall_sigma[k] = std::sqrt(fit.time_var * fit.resid_var * fit.correlation +
                                fit.model_shift * fit.model_shift + window * window);
    if (bends != nullptr) {
      const double to_max = fit.time - p.time;
      bends->curvature[k] = fit.curvature;
      bends->sharpness[k] = -fit.curvature * to_max * to_max / mean;
    }
  }
}

bool cusp_time(const Series& s, std::size_t a, std::size_t b, const Plane& plane, const WallBends& bends,
               Pass& p) {
  for (std::size_t k = 0; k < 2; ++k)
    if (!(bends.sharpness[k] >= kCusp) || !(bends.curvature[k] < 0.0)) return false;
  const double shift = 0.5 * p.gradient * (-1.0 / bends.curvature[0] - 1.0 / bends.curvature[1]);
  Pass moved = p;
  moved.time = 0.5 * (p.wall_time[0] + p.wall_time[1]) - shift;
  // The time's errors are now the maxima's (their mean's noise and model shift, wall_sigma) and the
  // gradient's shift taken off, as the model's share; the symmetric fit's no longer apply.
  moved.time_sigma = 0.5 * std::hypot(p.wall_sigma[0], p.wall_sigma[1]);
  moved.shape_sigma = std::fabs(shift);
  if (!locate_pass(s, a, b, plane, moved)) return false;
  p = moved;
  return true;
}

// The second of [a, b) nearest to `centre`, and its distance `km`.
std::size_t closest_approach(const Series& s, std::size_t a, std::size_t b, const CentreFn& centre,
                             double& km) {
  std::size_t closest = a;
  km = std::numeric_limits<double>::infinity();
  for (std::size_t i = a; i < b; ++i) {
    double clat = 0.0, clon = 0.0, d = 0.0, bearing = 0.0;
    centre(s.t[i], clat, clon);
    range_bearing(clat, clon, s.lat[i], s.lon[i], d, bearing);
    if (d < km) {
      km = d;
      closest = i;
    }
  }
  return closest;
}

}  // namespace

double peak_fit_time(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                     std::size_t end, std::size_t window, double mean) {
  return cubic_peak(t, wind, begin, end, window, mean).time;
}

double peak_move_share(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                       std::size_t end, std::size_t window, double mean) {
  return move_share(cubic_peak(t, wind, begin, end, window, mean));
}

void locate_peak(const Series& s, const CentreFn& centre, Leg& leg, const CentreVarFn& centre_var,
                 bool corrected) {
  if (!leg.has_peak) return;
  double mean = 0.0;
  const std::size_t w = peak_window(s.wind, leg.begin, leg.end, mean);
  const CubicPeak fit = cubic_peak(s.t, s.wind, leg.begin, leg.end, w, mean);
  // The maximum moved towards the half span's maximum by its model's error times the share of the move
  // that is not the fits' noise (model_shift / (kCubicBias |move|), 1 for a noise-free move), within the
  // span: 2/3 (m^2 - n) / |m| for a move m whose noise has the variance n.
  double tv = fit.time;
  if (corrected && std::isfinite(tv) && fit.move != 0.0) {
    tv = std::clamp(tv - std::copysign(fit.model_shift * move_share(fit), fit.move), fit.ta, fit.tb);
  }
  if (std::isfinite(tv)) {
    leg.peak_time = tv;
    leg.peak_lat = value_at(s, s.lat, tv);
    leg.peak_lon = value_at(s, s.lon, tv);
    // The rain of the 10-s window centred on the fitted time.
    const auto it = std::lower_bound(s.t.begin() + static_cast<long>(leg.begin),
                                     s.t.begin() + static_cast<long>(leg.end), tv - 0.5 * (kWindow - 1));
    const std::size_t a = std::min(static_cast<std::size_t>(it - s.t.begin()),
                                   leg.end >= kWindow ? leg.end - kWindow : leg.begin);
    leg.peak_rain = nan_mean(s.rain, a, std::min(leg.end, a + kWindow), kWindowMin);
    double clat = 0.0, clon = 0.0;
    centre(leg.peak_time, clat, clon);
    range_bearing(clat, clon, leg.peak_lat, leg.peak_lon, leg.peak_radius_km, leg.bearing_deg);
  }
  peak_errors(s, centre, centre_var, fit, w, mean, leg);
}

void leg_peak(const Series& s, const CentreFn& centre, Leg& leg) {
  double mean = 0.0;
  const std::size_t w = peak_window(s.wind, leg.begin, leg.end, mean);
  leg.has_peak = w != std::string::npos;
  if (!leg.has_peak) return;
  leg.peak = mean;
  leg.peak_time = 0.5 * (s.t[w] + s.t[w + kWindow - 1]);
  leg.peak_lat = nan_mean(s.lat, w, w + kWindow, 1);
  leg.peak_lon = nan_mean(s.lon, w, w + kWindow, 1);
  leg.peak_rain = nan_mean(s.rain, w, w + kWindow, kWindowMin);
  double clat = 0.0, clon = 0.0;
  centre(leg.peak_time, clat, clon);
  range_bearing(clat, clon, leg.peak_lat, leg.peak_lon, leg.peak_radius_km, leg.bearing_deg);
}

std::vector<Leg> cut_legs(const std::vector<Series>& flights, const CentreFn& centre,
                          const CentreVarFn& centre_var, bool corrected) {
  std::vector<Leg> legs;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    int number = 0;
    for (const auto& [a, b] : segments(s)) {
      double best = 0.0;
      const std::size_t closest = closest_approach(s, a, b, centre, best);
      for (const auto& [lo, hi, inbound] : {std::tuple{a, closest, true}, std::tuple{closest, b, false}}) {
        if (hi - lo < kMinLeg) continue;
        Leg leg;
        leg.flight = f;
        leg.number = ++number;
        leg.inbound = inbound;
        leg.begin = lo;
        leg.end = hi;
        leg_peak(s, centre, leg);
        locate_peak(s, centre, leg, centre_var, corrected);
        legs.push_back(leg);
      }
    }
  }
  return legs;
}

namespace {

// A pass on segment [a, b) of flight f near second c, where a centre predicts the closest approach
// (method, step 5): the eyewall peaks are the highest 10-s means within kSeekPeaks either side; without
// two (a miss beyond the eyewall leaves one maximum at the closest approach) the symmetric fit reaches
// kSeekHump either side.
bool seek_pass(const Series& s, std::size_t f, std::size_t a, std::size_t b, std::size_t c,
               const Plane& plane, std::vector<double>& w60, std::vector<double>& w10, Pass& p,
               bool* single = nullptr) {
  running_means(s, a, b, w60, w10);
  std::size_t pl = c, pr = c;
  for (std::size_t j = (c > a + kSeekPeaks ? c - kSeekPeaks : a); j < c; ++j)
    if (std::isfinite(w10[j]) && !(w10[j] <= w10[pl])) pl = j;
  for (std::size_t j = c + 1; j < std::min(b, c + kSeekPeaks); ++j)
    if (std::isfinite(w10[j]) && !(w10[j] <= w10[pr])) pr = j;
  const double top = std::max(std::isfinite(w10[pl]) ? w10[pl] : 0.0, std::isfinite(w10[pr]) ? w10[pr] : 0.0);
  if (top < kPassPeak) return false;
  double reach = 0.95 * std::min(s.t[c] - s.t[pl], s.t[pr] - s.t[c]);
  const bool two_peaks = reach >= 60.0;
  // Two peaks bound an eye only where both are eyewall winds (kPassPeak, as for a dip): a wide eye's
  // floor, where the record or the straight stretch stops inside it, holds only the floor's own
  // wobbles, and a symmetric fit over them says nothing of the centre.
  if (two_peaks && !(std::min(w10[pl], w10[pr]) >= kPassPeak)) return false;
  if (!two_peaks) reach = kSeekHump;
  // A stretch that ends within the pattern (the record or the straight leg stops near the closest
  // approach) leaves one side too short to show its symmetry: a wind still rising there is taken up by the
  // gradient and any time fits. The reach may be cut to no less than half.
  const double full = reach;
  reach = std::min({reach, s.t[c] - s.t[a], s.t[b - 1] - s.t[c]});
  if (reach < 60.0 || reach < 0.5 * full) return false;
  p.flight = f;
  p.seeded = true;
  p.reach_s = reach;
  const double search = std::min(kSeekSearch, 0.5 * reach);
  p.time = pass_time(s, a, b, s.t[c], reach, search, p.gradient, p.time_sigma, p.shape_sigma);
  if (!(p.time_sigma < search && p.time - reach >= s.t[a] && p.time + reach <= s.t[b - 1] &&
        locate_pass(s, a, b, plane, p)))
    return false;
  // Two eyewall peaks bound the pass (not a single maximum outside the eye): their maxima join the fit.
  if (two_peaks) eyewall_maxima(s, a, b, plane, p);
  if (single != nullptr) *single = !two_peaks;
  return true;
}

// The wavenumber 1 that the dip passes show, as a vector G (m/s) in the plane towards the strongest
// wind: a dip pass's gradient times its half chord is the wind's rise from the centre to the eyewall
// along its storm-relative direction e, G . e. Least squares over the passes of at least two headings
// 30 degrees apart; with one heading only the component along it is seen, and the wavenumber 1 is
// taken as that component in every direction (`round`). False without a dip pass.
bool dip_wavenumber1(const std::vector<Pass>& passes, double u, double v, std::array<double, 2>& g,
                     bool& round) {
  double sxx = 0.0, sxy = 0.0, syy = 0.0, bx = 0.0, by = 0.0, ss = 0.0, n = 0.0;
  for (const Pass& p : passes) {
    const double wx = p.vx - u, wy = p.vy - v, w = std::hypot(wx, wy);
    if (p.seeded || !(w > 0.0)) continue;
    const double ex = wx / w, ey = wy / w, rise = p.gradient * p.reach_s / 0.95;
    sxx += ex * ex;
    sxy += ex * ey;
    syy += ey * ey;
    bx += ex * rise;
    by += ey * rise;
    ss += rise * rise;
    n += 1.0;
  }
  if (n == 0.0) return false;
  const double det = sxx * syy - sxy * sxy;
  round = !(det > 0.25 * 0.25 * n * n);  // sin^2 of 30 degrees between two headings
  if (round) {
    g = {std::sqrt(ss / n), 0.0};
    return true;
  }
  g = {(syy * bx - sxy * by) / det, (sxx * by - sxy * bx) / det};
  return true;
}

// A sought single maximum on a lopsided storm (method, step 5): along a chord at the miss d from the
// centre the wavenumber 1 at the position r = d n + x e from the centre (e the storm-relative
// direction, n across it) is G . r / |r|, whose odd part in x, (G . e) x / sqrt(d^2 + x^2), rises
// through the closest approach and levels off a miss or so either side: no linear gradient takes it up,
// and on a single maximum (where the symmetric part is nearly flat) it moves the symmetric fit's time
// towards the strong side by up to the time to the eyewall. With G and d known the closest approach is
// the t0 about which the wind less that odd part is symmetric plus a gradient (the misfit of step 3);
// returns (s) its distance from the t0 of the same scan without the odd part, at most the fit's reach
// (the whole reach where the scan lacks the data). With one heading seen (`round`), |G| stands for
// G . e, either sign. A G . e below the retrieval's noise near calm (kBottomNoise) is none the dips show.
double lopsided_offset(const Series& s, std::size_t a, std::size_t b, const Pass& p, double d_km, double u,
                       double v, const std::array<double, 2>& g, bool round) {
  const double wx = p.vx - u, wy = p.vy - v, w = std::hypot(wx, wy);
  if (!(w > 0.0)) return 0.0;
  const double along = round ? g[0] : (g[0] * wx + g[1] * wy) / w, d = std::max(d_km, 1.0);
  if (!(std::fabs(along) > kBottomNoise)) return 0.0;
  const double reach = p.reach_s, search = std::min(kSeekSearch, 0.5 * reach);
  double offset = 0.0, plain = kNaN;
  for (const double sign : {0.0, 1.0, -1.0}) {
    if (sign < 0.0 && !round) break;
    double best = kNaN, best_t = p.time;
    for (double t0 = p.time - search; t0 <= p.time + search; t0 += 1.0) {
      // The odd part less the linear gradient fitted with it: sum of r^2 - (sum r tau)^2 / sum tau^2.
      double rr = 0.0, rt = 0.0, tt = 0.0, n = 0.0;
      for (double tau = 1.0; tau <= reach; tau += 1.0) {
        const double hi = wind_at(s, a, b, t0 + tau), lo = wind_at(s, a, b, t0 - tau);
        if (!std::isfinite(hi) || !std::isfinite(lo)) continue;
        const double x = w * tau, r = hi - lo - 2.0 * sign * along * x / std::hypot(d, x);
        rr += r * r;
        rt += r * tau;
        tt += tau * tau;
        n += 1.0;
      }
      const double misfit = n > 0.0 ? (rr - rt * rt / tt) / n : kNaN;
      if (n >= 0.5 * reach && !(misfit >= best)) {
        best = misfit;
        best_t = t0;
      }
    }
    if (!std::isfinite(best)) return reach;
    if (sign == 0.0)
      plain = best_t;
    else
      offset = std::max(offset, std::fabs(best_t - plain));
  }
  return std::min(offset, reach);
}

// The motion (km/s east and north) of the centre track `track` over the hour about t.
void track_motion(const CentreFn& track, const Plane& plane, double t, double& u, double& v) {
  double la1 = 0.0, lo1 = 0.0, la2 = 0.0, lo2 = 0.0, x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
  track(t - 1800.0, la1, lo1);
  track(t + 1800.0, la2, lo2);
  plane.to_xy(la1, lo1, x1, y1);
  plane.to_xy(la2, lo2, x2, y2);
  u = (x2 - x1) / 3600.0;
  v = (y2 - y1) / 3600.0;
}

// Adds the passes that `centre` predicts on the straight segments without one: those whose closest
// approach lies within seek_km of it.
void seek_passes(const std::vector<Series>& flights, const Plane& plane, const CentreFn& centre,
                 double seek_km, std::vector<Pass>& passes) {
  const std::vector<Pass> known = passes;
  // The storm's motion from the centre over an hour about the known passes' mean time, and the
  // wavenumber 1 their dips show.
  double t_mid = 0.0, u = 0.0, v = 0.0;
  for (const Pass& p : known) t_mid += p.time / static_cast<double>(known.size());
  std::array<double, 2> g{};
  bool round = false;
  const bool lopsided = !known.empty() && [&] {
    track_motion(centre, plane, t_mid, u, v);
    return dip_wavenumber1(known, u, v, g, round);
  }();
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    std::vector<double> w60(s.t.size(), kNaN), w10(s.t.size(), kNaN);
    for (const auto& [a, b] : segments(s)) {
      const double t_first = s.t[a], t_last = s.t[b - 1];  // a lambda may not capture a structured binding
      const bool has = std::any_of(known.begin(), known.end(), [&](const Pass& p) {
        return p.flight == f && p.time >= t_first && p.time <= t_last;
      });
      if (has) continue;
      double best = 0.0;
      const std::size_t c = closest_approach(s, a, b, centre, best);
      Pass p;
      bool single = false;
      if (!(best <= seek_km && seek_pass(s, f, a, b, c, plane, w60, w10, p, &single))) continue;
      if (single && lopsided) {
        double clat = 0.0, clon = 0.0, cx = 0.0, cy = 0.0;
        centre(p.time, clat, clon);
        plane.to_xy(clat, clon, cx, cy);
        p.lopsided_sigma = lopsided_offset(s, a, b, p, std::hypot(p.x - cx, p.y - cy), u, v, g, round);
      }
      passes.push_back(p);
    }
  }
}

// The last resort when no eye shows and no track is given: each straight segment's highest 61-s mean away
// from its ends, where a pass that misses the eye by more than the eye's radius comes closest.
std::vector<Pass> hump_passes(const std::vector<Series>& flights, const Plane& plane) {
  std::vector<Pass> passes;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    std::vector<double> w60(s.t.size(), kNaN), w10(s.t.size(), kNaN);
    for (const auto& [a, b] : segments(s)) {
      running_means(s, a, b, w60, w10);
      std::size_t c = std::string::npos;
      for (std::size_t i = a + 120; i + 120 < b; ++i)
        if (std::isfinite(w60[i]) && (c == std::string::npos || w60[i] > w60[c])) c = i;
      Pass p;
      if (c != std::string::npos && seek_pass(s, f, a, b, c, plane, w60, w10, p)) passes.push_back(p);
    }
  }
  return passes;
}

// The flights' highest 61-s mean: its flight, straight segment [seg_a, seg_b), second `top`, the seconds
// [left, right] about it where the mean stays at or above kLoneFall of it, and that flight's running means.
struct LoneSpan {
  std::size_t flight = 0, seg_a = 0, seg_b = 0, top = 0, left = 0, right = 0;
  std::vector<double> w60, w10;
};

// False when the mean does not fall below kLoneFall of the highest on both sides within its segment or
// rises to it anywhere else in the flights (no single clear maximum).
bool lone_span(const std::vector<Series>& flights, LoneSpan& span) {
  double top = -1.0;
  std::vector<std::vector<double>> w60(flights.size()), w10(flights.size());
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    w60[f].assign(s.t.size(), kNaN);
    w10[f].assign(s.t.size(), kNaN);
    for (const auto& [a, b] : segments(s)) {
      running_means(s, a, b, w60[f], w10[f]);
      for (std::size_t i = a; i < b; ++i)
        if (std::isfinite(w60[f][i]) && w60[f][i] > top) {
          top = w60[f][i];
          span.flight = f;
          span.seg_a = a;
          span.seg_b = b;
          span.top = i;
        }
    }
  }
  if (top < kPassPeak) return false;
  const std::vector<double>& w = w60[span.flight];
  std::size_t left = span.top, right = span.top;
  while (left > span.seg_a && !(w[left - 1] < kLoneFall * top)) --left;
  while (right + 1 < span.seg_b && !(w[right + 1] < kLoneFall * top)) ++right;
  if (left == span.seg_a || right + 1 == span.seg_b) return false;
  for (std::size_t f = 0; f < flights.size(); ++f)
    for (std::size_t i = 0; i < w60[f].size(); ++i)
      if ((f != span.flight || i < left || i > right) && w60[f][i] >= kLoneFall * top) return false;
  span.left = left;
  span.right = right;
  span.w60 = std::move(w60[span.flight]);
  span.w10 = std::move(w10[span.flight]);
  return true;
}

}  // namespace

bool lone_maximum(const std::vector<Series>& flights, const Plane& plane, Pass& pass, double& bound_km) {
  LoneSpan span;
  if (!lone_span(flights, span)) return false;
  const Series& s = flights[span.flight];
  if (!seek_pass(s, span.flight, span.seg_a, span.seg_b, span.top, plane, span.w60, span.w10, pass))
    return false;
  // The half width along the track, the mean of the two sides (an asymmetry along the track steepens one
  // side and flattens the other), from the aircraft's positions in the plane.
  double xl = 0.0, yl = 0.0, xr = 0.0, yr = 0.0;
  plane.to_xy(value_at(s, s.lat, s.t[span.left]), value_at(s, s.lon, s.t[span.left]), xl, yl);
  plane.to_xy(value_at(s, s.lat, s.t[span.right]), value_at(s, s.lon, s.t[span.right]), xr, yr);
  bound_km = 0.5 * (std::hypot(xl - pass.x, yl - pass.y) + std::hypot(xr - pass.x, yr - pass.y)) / kLoneWidth;
  return std::isfinite(bound_km) && bound_km <= kLoneBound;
}

void hold_across(const Pass& pass, double bound_km, Motion& m) {
  const double wx = pass.vx - m.u, wy = pass.vy - m.v, w = std::hypot(wx, wy);
  if (!(w > 0.0)) return;
  const double nx = -wy / w, ny = wx / w;
  const double var = nx * nx * m.cov[0][0] + 2.0 * nx * ny * m.cov[0][1] + ny * ny * m.cov[1][1];
  if (!(var > 0.0)) return;
  // T = I + (k - 1) n n' on the centre's block scales its spread across the track to the bound, keeping
  // its correlations (and the covariance positive).
  const double k1 = bound_km / std::sqrt(var) - 1.0;
  std::array<std::array<double, 4>, 4> t{};
  for (std::size_t i = 0; i < 4; ++i) t[i][i] = 1.0;
  t[0][0] += k1 * nx * nx;
  t[0][1] += k1 * nx * ny;
  t[1][0] += k1 * ny * nx;
  t[1][1] += k1 * ny * ny;
  std::array<std::array<double, 4>, 4> out{};
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j)
      for (std::size_t a = 0; a < 4; ++a)
        for (std::size_t b = 0; b < 4; ++b) out[i][j] += t[i][a] * m.cov[a][b] * t[j][b];
  m.cov = out;
}

namespace {

// Keeps the single-maximum passes whose closest approach to the centre fitted to them lies within kSeekKm,
// when at least two of them cross at more than 30 degrees: beyond that a maximum is a pass far outside
// the eye, too broad to fix the centre, and one heading leaves the distance across the track unknown.
void confirm_humps(std::vector<Pass>& passes, const Motion& m) {
  std::vector<Pass> kept;
  for (const Pass& p : passes) {
    const double dt = p.time - m.t_ref;
    if (std::hypot(p.x - m.x0 - m.u * dt, p.y - m.y0 - m.v * dt) <= kSeekKm) kept.push_back(p);
  }
  bool crossing = false;
  for (std::size_t i = 0; i < kept.size(); ++i)
    for (std::size_t j = i + 1; j < kept.size(); ++j) {
      const double cross = kept[i].vx * kept[j].vy - kept[i].vy * kept[j].vx;
      crossing = crossing || std::fabs(cross) > 0.5 * std::hypot(kept[i].vx, kept[i].vy) *
                                                    std::hypot(kept[j].vx, kept[j].vy);
    }
  passes = crossing ? kept : std::vector<Pass>{};
}

// What the fixes rest on across the track when the passes run along one heading (empty otherwise): each
// dip pass's track when `on_tracks` (fit_motion) or with a single pass (the centre's prior is the pass's
// position), else the eye crossings' bound (the largest, km) and the motion's prior, not the passes' lines.
std::string across_note(const std::vector<Pass>& passes, const Motion& m, bool track, bool on_tracks) {
  if (passes.empty() || !one_heading(passes)) return {};
  double largest = 0.0;
  for (const Pass& p : passes) {
    double h = 0.0;
    eye_across(p, m, h);
    largest = std::max(largest, h);
  }
  const std::string along = "the passes run along one heading: across it ",
                    within = " (the centre within " + format_trimmed(largest, 1) + " km of each pass)";
  if (passes.size() == 1)
    return "across the pass the fix lies on its track" +
           (largest > 0.0
                ? ", the centre within " + format_trimmed(largest, 1) + " km of it (the eye crossing's bound)"
                : std::string());
  if (largest > 0.0 && on_tracks)
    return along + "each fix lies on its pass's track, the middle of the eye crossing's bound" + within;
  return along + "the fixes rest on " + (largest > 0.0 ? "the eye crossing's bound" + within + " and " : "") +
         (track ? "the track's motion" : "the still-storm prior");
}

// Why the passes do not fix the motion, and where it comes from then; `stated` (km/s) is the motion's
// stated error, narrower than the still-storm prior where the fixes bound the centre at two headings
// (the eye crossings' bounds on their misses).
std::string motion_note(const std::vector<Pass>& passes, bool track, double stated) {
  std::string why = "the passes do not fix it";
  double first = passes.front().time, last = first;
  for (const Pass& p : passes) {
    first = std::min(first, p.time);
    last = std::max(last, p.time);
  }
  if (passes.size() == 1)
    why = "one centre pass";
  else if (last - first < 3600.0)
    why = "the passes span " + std::to_string(std::lround((last - first) / 60.0)) + " min";
  else if (one_heading(passes))
    why = "the passes run along one heading";
  if (track) return why + "; the motion is the track's";
  why += "; the motion is taken as a still storm within " +
         std::to_string(std::lround(kPriorMotion * 1000.0)) + " m/s";
  if (stated < 0.9 * kPriorMotion)
    why += ", narrowed to +-" + format_trimmed(stated * 1000.0, 1) + " m/s by the fixes";
  return why;
}

}  // namespace

namespace {

// The local plane (about the first position, then about the first pass, near the storm's centre) and the
// passes found in it: the eye dips, or without them and without a track the single maxima (`humps`).
std::vector<Pass> first_passes(const std::vector<Series>& flights, bool track, Plane& plane, bool& humps) {
  double lat0 = kNaN, lon0 = kNaN;
  for (const Series& s : flights)
    for (std::size_t i = 0; i < s.t.size() && !std::isfinite(lat0); ++i)
      if (std::isfinite(s.lat[i]) && std::isfinite(s.lon[i])) {
        lat0 = s.lat[i];
        lon0 = s.lon[i];
      }
  if (!std::isfinite(lat0)) throw std::runtime_error("the flights have no positions");
  plane = Plane::at(lat0, lon0);
  std::vector<Pass> first = find_passes(flights, plane);
  humps = first.empty() && !track;
  if (humps) first = hump_passes(flights, plane);
  if (!first.empty()) {
    const Series& s = flights[first.front().flight];
    plane = Plane::at(value_at(s, s.lat, first.front().time), value_at(s, s.lon, first.front().time));
    first = humps ? hump_passes(flights, plane) : find_passes(flights, plane);
  }
  return first;
}

// How near a predicted closest approach must come to be searched for a pass: kSeekKm, or 0.7 of the
// median RMW of the legs about `centre` (their cubics' maxima as fitted) when that is larger.
double seek_radius(const std::vector<Series>& flights, const CentreFn& centre) {
  std::vector<double> rmw;
  for (const Leg& leg : cut_legs(flights, centre, {}, false))
    if (leg.has_peak) rmw.push_back(leg.peak_radius_km);
  if (rmw.empty()) return kSeekKm;
  std::nth_element(rmw.begin(), rmw.begin() + static_cast<long>(rmw.size() / 2), rmw.end());
  return std::max(kSeekKm, 0.7 * rmw[rmw.size() / 2]);
}

// Every second's range and bearing from the centre, and its leg.
void storm_relative(const std::vector<Series>& flights, Analysis& an) {
  an.range_km.resize(flights.size());
  an.bearing_deg.resize(flights.size());
  an.leg_of.resize(flights.size());
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    an.range_km[f].assign(s.t.size(), kNaN);
    an.bearing_deg[f].assign(s.t.size(), kNaN);
    an.leg_of[f].assign(s.t.size(), 0);
    for (std::size_t i = 0; i < s.t.size(); ++i) {
      if (!std::isfinite(s.lat[i]) || !std::isfinite(s.lon[i])) continue;
      double clat = 0.0, clon = 0.0;
      an.centre(s.t[i], clat, clon);
      range_bearing(clat, clon, s.lat[i], s.lon[i], an.range_km[f][i], an.bearing_deg[f][i]);
    }
  }
  for (const Leg& leg : an.legs)
    for (std::size_t i = leg.begin; i < leg.end; ++i) an.leg_of[leg.flight][i] = leg.number;
}

// The legs about the centre, with their RMW errors from the calibrated centre (Analysis::centre_scale),
// the wind radii (their quadrant shares from the centre's variance as solved, `centre_var`) and every
// second's range, bearing and leg.
void legs_and_radii(const std::vector<Series>& flights, const CentreVarFn& centre_var, Analysis& an) {
  const double scale = an.centre_scale * an.centre_scale;
  CentreVarFn calibrated = centre_var;
  if (centre_var && scale != 1.0)
    calibrated = [centre_var, scale](double t, double bearing) { return scale * centre_var(t, bearing); };
  an.legs = cut_legs(flights, an.centre, calibrated);
  an.radii = wind_radii(flights, an.legs, an.centre, centre_var);
  storm_relative(flights, an);
}

// The single maxima kept when two cross (confirm_humps), else the flights' one clear maximum
// (lone_maximum) with its centre held across the track within the maximum's bound, and the motion fitted
// to them; returns that bound (km), NaN when the single maxima stand or none is found.
double hump_or_lone(const std::vector<Series>& flights, Analysis& an, double u_prior, double v_prior,
                    double motion_sigma) {
  confirm_humps(an.passes, an.motion);
  Pass lone;
  double bound = kNaN;
  const bool alone = an.passes.empty() && lone_maximum(flights, an.plane, lone, bound);
  if (alone) an.passes = {lone};
  if (!an.passes.empty()) an.motion = fit_motion(an.passes, an.plane, u_prior, v_prior, motion_sigma);
  if (!alone) return kNaN;
  Pass& p = an.passes.front();
  hold_across(p, bound, an.motion);
  p.accuracy_km = centre_accuracy(an.motion, p.time);
  return bound;
}

// A dip crossed beyond the eyewall is not the eye: inside the outer ring of a concentric storm (its
// moat) or in a gap between rain bands the wind falls and rises again as through an eye, but at a miss
// no eye pass has. An eye pass misses the centre by less than the eyewall's radius R, and one just
// outside it sees a single maximum; so a pass not sought by the centre track whose fitted miss exceeds
// kOuterRing R is left out, R the median of the passes' chord radii (chord; kRingWalls of them at
// least, so that a ring's few crossings cannot set it). True when one was left out.
constexpr double kOuterRing = 2.0;     // eyewall radii
constexpr std::size_t kRingWalls = 3;  // passes with both maxima
// The median of the passes' chord radii (km) about the motion m, in `wall`; false with fewer than
// kRingWalls chords.
bool median_chord_radius(const std::vector<Pass>& passes, const Motion& m, double& wall) {
  std::vector<double> radii;
  for (const Pass& p : passes) {
    double d = 0.0, r = 0.0, sigma = 0.0;
    if (chord(p, m, d, r, sigma)) radii.push_back(r);
  }
  if (radii.size() < kRingWalls) return false;
  std::nth_element(radii.begin(), radii.begin() + static_cast<long>(radii.size() / 2), radii.end());
  wall = radii[radii.size() / 2];
  return true;
}

bool drop_outer_rings(std::vector<Pass>& passes, const Motion& m) {
  double wall = 0.0;
  if (!median_chord_radius(passes, m, wall)) return false;
  const std::size_t before = passes.size();
  std::erase_if(passes, [&](const Pass& p) {
    double h = 0.0;
    return !p.seeded && std::fabs(eye_across(p, m, h)) > kOuterRing * wall;
  });
  return passes.size() < before;
}

// A dip pass crossed inside the eyewall, so the centre lies across its track within its half chord
// (eye_across). A dip whose bottom keeps a moat's wind (wrong_pass_doubt at 1) may instead have been
// crossed inside the outer ring of a concentric storm, beyond the inner eyewall: the ring's two crossings
// flank the moat as the eyewall's flank the eye, and at a miss of 1.5-2 inner radii the fitted miss of
// drop_outer_rings stays below its bound once such passes have pulled the solution their way. Where the
// solution of all passes breaks the bound of a pass with an eye's bottom (the near-calm eye was crossed
// near the centre), the passes without that doubt (kRingWalls at least) are solved alone; a doubtful dip
// whose centre by their solution lies beyond its own half chord, with a chord radius (chord) beyond
// kRingChord of theirs (an eyewall's maxima stay within about 0.1 of its radius; an outer ring lies at
// 2-3.5), was crossed outside the eyewall and is left out. True when one was left out.
constexpr double kRingChord = 1.5;
bool drop_ring_dips(std::vector<Pass>& passes, const Motion& all, const Plane& plane, double u_prior,
                    double v_prior, double motion_sigma) {
  auto doubtful = [](const Pass& p) { return !p.seeded && !(p.wrong_doubt < 1.0); };
  std::vector<Pass> sure;
  bool broken = false;
  for (const Pass& p : passes)
    if (!doubtful(p)) {
      sure.push_back(p);
      double h = 0.0;
      const double across = eye_across(p, all, h);
      broken = broken || (h > 0.0 && std::fabs(across) > h);
    }
  if (!broken || sure.size() < kRingWalls || sure.size() == passes.size()) return false;
  const Motion m = fit_motion(sure, plane, u_prior, v_prior, motion_sigma);
  double wall = 0.0;
  if (!median_chord_radius(sure, m, wall)) return false;
  const std::size_t before = passes.size();
  std::erase_if(passes, [&](const Pass& p) {
    double h = 0.0, d = 0.0, r = 0.0, sigma = 0.0;
    const double across = eye_across(p, m, h);
    return doubtful(p) && std::fabs(across) > h && chord(p, m, d, r, sigma) && r > kRingChord * wall;
  });
  return passes.size() < before;
}

// The wavenumber 2's error of a pass (method, step 6) grows with its miss up to this share of the inner
// eyewall's radius (the linear term holds there on exact fields; beyond it the chord nears the eyewall).
constexpr double kWn2Miss = 0.5;
// The calibration of the pass solution's centre errors (method, step 6). On the storm family's twelve
// used sets of the time, the pass solution's fixes within one / two stated errors were 88 / 99 % at 1,
// 80 / 97 % at 0.8, 74 / 95 % at 0.7, 71 / 94 % at 0.65 and 68 / 92 % at 0.6. On the eighteen used sets
// since (tune, tune3, legacy, the sample's storm, held-out 4-17: 2634 fixes, 6294 legs with an RMW), every
// fix pooled holds the truth within one / two errors 75.9 / 95.4 % at 0.7, 72.8 / 94.5 % at 0.65 and
// 70.3 / 93.4 % at 0.6, and the legs' RMWs, which carry the centre's error, 73.1 / 93.9, 72.7 / 93.6 and
// 72.2 / 93.3 %. One set of 36 flights scatters about these by 5.6 points within one error (the standard
// deviation over the seventeen sets at 0.7: an analysis' fixes move together), so 0.65 keeps the pooled
// figure mid-band, its tail within two above 94 %.
// A separate factor for four passes or fewer (92 / 97 % at 0.7: the wrong-pass share, a bound whose tail
// holds the few wrong passes) moves the pooled figure by less than a point at 0.5, so one factor serves.
constexpr double kPassCalibration = 0.65;

// The storm's wavenumber 2 as the vortex fit `f` sees it, when sound, sets each pass's own error from it
// (wn2_line_error) at the pass's miss from the centre of `m`, at most kWn2Miss of the inner eyewall's radius
// that bounded the fit's data. True when a pass carries one.
bool with_wn2_errors(std::vector<Pass>& passes, const Motion& m, const VortexFit& f) {
  if (!vortex_sound(f)) return false;
  bool any = false;
  for (Pass& p : passes) {
    double h = 0.0;
    const double miss = std::min(std::fabs(eye_across(p, m, h)), kWn2Miss * f.inner_radius);
    p.wn2_km = p.seeded ? 0.0 : wn2_line_error(f.wn2, f.vmax, f.shape_b, miss);
    any = any || p.wn2_km > 0.0;
  }
  return any;
}

// The moving vortex fitted to every second of the inner core refines the passes' track where its guard
// allows (vortex.hpp). Where it does not, the wavenumber 2 it sees joins each pass's own error, the passes
// are solved again, and their covariance takes the calibration of the stated errors (method, step 6).
void refine_and_calibrate(const std::vector<Series>& flights, Analysis& an, const MotionPrior& prior,
                          bool on_tracks) {
  VortexFit fit;
  if (refine_with_vortex(flights, an.plane, an.passes, an.motion, prior, &fit)) return;
  if (with_wn2_errors(an.passes, an.motion, fit))
    an.motion = fit_motion(an.passes, an.plane, prior.u, prior.v, prior.sigma, on_tracks);
  an.centre_scale = kPassCalibration;
  for (Pass& p : an.passes) p.accuracy_km = an.centre_scale * centre_accuracy(an.motion, p.time);
}

// How a lone maximum's fix was placed, for the report.
std::string lone_note(double bound_km) {
  return "no eye in the wind: the fix lies on the track at its one clear wind maximum, the centre within " +
         format_trimmed(bound_km, 1) +
         " km across it on an unknown side (the maximum's width along the track)";
}

// The motion fitted to the passes, and again after each check that leaves passes out (crossings of an
// outer ring, moats crossed inside it).
void fit_without_rings(Analysis& an, double u_prior, double v_prior, double motion_sigma) {
  if (an.passes.empty()) return;
  an.motion = fit_motion(an.passes, an.plane, u_prior, v_prior, motion_sigma);
  if (drop_outer_rings(an.passes, an.motion) && !an.passes.empty())
    an.motion = fit_motion(an.passes, an.plane, u_prior, v_prior, motion_sigma);
  if (drop_ring_dips(an.passes, an.motion, an.plane, u_prior, v_prior, motion_sigma) && !an.passes.empty())
    an.motion = fit_motion(an.passes, an.plane, u_prior, v_prior, motion_sigma);
}

// How much worse the passes' track explains the winds than the vortex search's best one: the binned
// profile's misfit about it over the search's best (search_misfit); 0 with fewer than two passes (one
// pass is not judged: its motion is the prior's, so its track strays from the storm away from the pass)
// or no search. From kDoubt the passes are doubted, from kContradiction contradicted. On the storm family's
// used sets the ratio stayed below 2.2 wherever the passes were right (within 0.5 km) and below 2.5
// everywhere but on one flight whose passes were 52 km off (12.7); on the flights built to miss a
// broad-cored, lopsided storm's eye by half its radius (where rain-band gaps and the weak side's sags pass
// for eyes) passes 15-33 km off gave 3.5-7.3 and right ones up to 3.4; the analyses whose searched vortex
// lay farther off than their passes gave 3.4 and 4.6, those whose passes it mended 6.0 and 7.3.
constexpr double kDoubt = 3.0;
constexpr double kContradiction = 5.0;
// More passes than this are not checked: every doubted set of passes on the family had two to five, and
// with more than eight the ratio stayed below 1.6; the search would cost a 10-hour flight's twelve passes
// a tenth of a second for nothing.
constexpr std::size_t kSearchMostPasses = 8;
double misfit_ratio(const std::vector<Pass>& passes, const Motion& m, const VortexSearch& search) {
  if (!search.gridded || passes.size() < 2) return 0.0;
  return search_misfit(search, m) / search.grid_misfit;
}

// Mean distance (km) over the passes between the centre of `m` and that of `other` at the pass's time.
double mean_apart(const std::vector<Pass>& passes, const Motion& m, const Motion& other) {
  double sum = 0.0;
  for (const Pass& p : passes) {
    const double dt = p.time - m.t_ref, ot = p.time - other.t_ref;
    sum += std::hypot(m.x0 + m.u * dt - other.x0 - other.u * ot, m.y0 + m.v * dt - other.y0 - other.v * ot);
  }
  return sum / static_cast<double>(passes.size());
}

// The vortex sought in every straight second of the flights (without a track): it places the centre where
// no pass was found. Where it contradicts the passes (misfit_ratio) and its vortex fit is sound and lies
// apart from them by more than its own error, it replaces them; where it only doubts them, or cannot
// replace them, the passes stand with the distance to the search's best track added to their centre's
// variance (an honest error where neither can be told right). The vortex is fitted only where it may be
// used; Analysis::search_note says what the search did. Returns whether it placed the fixes.
bool search_centre(const std::vector<Series>& flights, Analysis& an, const MotionPrior& prior) {
  if (an.passes.size() > kSearchMostPasses) return false;
  VortexSearch search = search_vortex(flights, an.plane);
  const double ratio = misfit_ratio(an.passes, an.motion, search);
  if (!an.passes.empty() && ratio < kDoubt) return false;
  std::vector<Pass> passes;
  Motion motion;
  const bool found = (an.passes.empty() || ratio >= kContradiction) &&
                     fit_searched(flights, an.plane, prior, search) &&
                     searched_passes(flights, an.plane, search, passes, motion);
  double error = 0.0;  // the search's stated error, mean over the passes
  for (const Pass& p : an.passes)
    error += centre_accuracy(search.motion, p.time) / static_cast<double>(an.passes.size());
  if (!an.passes.empty() && !(found && mean_apart(an.passes, an.motion, search.motion) > error)) {
    const double apart = mean_apart(an.passes, an.motion, search.tracks.front());
    an.motion.cov[0][0] += 0.5 * apart * apart;
    an.motion.cov[1][1] += 0.5 * apart * apart;
    for (Pass& p : an.passes) p.accuracy_km = an.centre_scale * centre_accuracy(an.motion, p.time);
    an.search_note = "the passes' centre fits the winds " + format_trimmed(ratio, 1) +
                     " times worse than a vortex sought in every straight second of the flights, " +
                     format_trimmed(apart, 1) +
                     " km away on average: the fixes' errors include that distance";
    return false;
  }
  if (!found) return false;
  an.search_note = an.passes.empty()
                       ? "no eye in the wind on any pass: the centre is a vortex sought in every straight "
                         "second of the flights"
                       : "the passes' centre fits the winds " + format_trimmed(ratio, 1) +
                             " times worse than a vortex sought in every straight second of the flights: the "
                             "centre is that vortex's";
  an.passes = std::move(passes);
  an.motion = motion;
  // The searched centre is not placed by the legs' eyewall maxima, so its error moves their RMWs whole.
  an.centre_scale = 1.0 / kLegCentreShare;
  return true;
}

}  // namespace

Analysis analyse(const std::vector<Series>& flights, const CentreFn& track, const PassRefiner& refine) {
  Analysis an;
  bool humps = false;
  an.passes = first_passes(flights, static_cast<bool>(track), an.plane, humps);
  same_crossings(an.passes);
  if (refine) refine(an.passes, an.plane);
  double u_prior = 0.0, v_prior = 0.0;
  if (track)
    track_motion(track, an.plane,
                 an.passes.empty() ? flights.front().t[flights.front().t.size() / 2] : an.passes.front().time,
                 u_prior, v_prior);
  const double motion_sigma = track ? kTrackMotion : kPriorMotion;
  auto fitted = [&an]() -> CentreFn {
    const Motion m = an.motion;
    const Plane plane = an.plane;
    return [m, plane](double t, double& lat, double& lon) {
      plane.to_latlon(m.x0 + m.u * (t - m.t_ref), m.y0 + m.v * (t - m.t_ref), lat, lon);
    };
  };
  fit_without_rings(an, u_prior, v_prior, motion_sigma);
  const double lone_km = humps ? hump_or_lone(flights, an, u_prior, v_prior, motion_sigma) : kNaN;
  // Passes the eye-dip search missed, where the centre so far predicts them: within kSeekKm, or 0.7 of
  // the legs' median RMW when that is larger.
  if ((!an.passes.empty() || track) && !std::isfinite(lone_km)) {
    const CentreFn guess = an.passes.empty() ? track : fitted();
    const std::size_t before = an.passes.size();
    seek_passes(flights, an.plane, guess, seek_radius(flights, guess), an.passes);
    if (an.passes.size() > before || an.passes.empty()) {
      std::sort(an.passes.begin(), an.passes.end(), [](const Pass& x, const Pass& y) {
        return x.flight != y.flight ? x.flight < y.flight : x.time < y.time;
      });
      same_crossings(an.passes);
      if (refine) refine(an.passes, an.plane);
      if (!an.passes.empty()) an.motion = fit_motion(an.passes, an.plane, u_prior, v_prior, motion_sigma);
    }
  }
  // Passes along one heading, none sought at another, an hour or more apart (closer ones are the same
  // crossing or a motion too short to tell): each dip pass puts the centre on its track (only now, so that
  // the search above starts from the still-storm prior's centre).
  const auto [first, last] = std::minmax_element(
      an.passes.begin(), an.passes.end(), [](const Pass& x, const Pass& y) { return x.time < y.time; });
  const bool on_tracks =
      an.passes.size() >= 2 && one_heading(an.passes) && last->time - first->time >= kOnTracksSpan;
  if (on_tracks) an.motion = fit_motion(an.passes, an.plane, u_prior, v_prior, motion_sigma, true);
  if (!an.passes.empty() && !std::isfinite(lone_km))
    refine_and_calibrate(flights, an, {u_prior, v_prior, motion_sigma}, on_tracks);
  const bool searched = !track && search_centre(flights, an, {u_prior, v_prior, motion_sigma});
  CentreVarFn centre_var;
  if (!an.passes.empty()) {
    an.centre_from_flight = true;
    an.centre = fitted();
    const Motion m = an.motion;
    centre_var = [m](double t, double bearing) {
      return centre_variance(m, t, std::sin(bearing * std::numbers::pi / 180.0),
                             std::cos(bearing * std::numbers::pi / 180.0));
    };
    an.motion_constrained = m.motion_sigma < kMotionConstrained;
    if (!an.motion_constrained)
      an.motion_note =
          motion_note(an.passes, static_cast<bool>(track), std::sqrt(std::max(m.cov[2][2], m.cov[3][3])));
    an.across_note = across_note(an.passes, m, static_cast<bool>(track), on_tracks);
    if (std::isfinite(lone_km)) an.across_note = lone_note(lone_km);
    if (searched) an.across_note.clear();  // the search note says what placed the centre
  } else if (track) {
    an.centre = track;
    centre_var = [](double, double) { return kTrackCentre * kTrackCentre; };
    an.motion_note = "no centre pass; the centre and motion are the track's";
  } else {
    throw std::runtime_error("no centre pass found in the flights (and no --track to place the centre)");
  }
  legs_and_radii(flights, centre_var, an);
  return an;
}

}  // namespace sfmr::storm
