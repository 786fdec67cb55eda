#include "storm/evidence.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace sfmr::storm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPressureRounding = 0.1 / 3.4641016151377544;  // hPa: 0.1 hPa steps over sqrt 12
constexpr double kMaxShiftS = 60.0;  // s: a fit's time further than this from its central line is no fit
constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kMsPerKms = 1000.0;
// The flight-level wind's lines: the error of a 30-s wind, m/s (the code's whole knots and degrees, the
// turbulence and the aircraft's wind measurement), the model's error of its direction, rad (the flow's own
// departures from a vortex with one inflow angle), the least storm-relative speed whose direction counts,
// m/s, and the least number of lines.
constexpr double kWindNoise = 1.0;
constexpr double kDirectionModel = 0.03;
constexpr double kLeastWind = 5.0;
constexpr int kLeastLines = 6;
// The storm's motion's error is an error of every storm-relative wind, which turns the directions most
// where the wind is weak. Where the passes fix the motion (Analysis::motion_constrained: its standard error
// from the passes below kMotionConstrained) it is taken as that bound, m/s: the analysis's widened
// covariance of the motion carries the wrong-pass and Birge shares that guard its own fixes, several times
// the motion's actual error. Where they do not, the widened covariance's error, no better than kMotionFloor.
constexpr double kMotionFixed = kMotionConstrained * kMsPerKms;
constexpr double kMotionFloor = 0.5;
// The analysis's fix from HDOBs is no better than this in each direction, km: each eyewall's peak is held
// over its line's 30 s, so its time is blurred by 30 s / sqrt 12 (uniform), 6.1 s for the two eyewalls
// of a pass together; at the aircraft's 130 m/s, 0.8 km.
constexpr double kHeldPeakBlurKm = 0.8;
// Standard deviation of the first guess as the fit's prior, km, and the longest step of the fit, km.
constexpr double kGuessSigmaKm = 10.0;
constexpr double kStepKm = 2.0;
// A straight track through the lines whose residual RMS exceeds this (km) is a turn: no fit.
constexpr double kStraightKm = 1.5;
// The wind's centre and the analysis's fix further apart than this many standard deviations of their
// difference (squared Mahalanobis distance) are not combined.
constexpr double kConsistent2 = 25.0;
// Refits of the flight-level wind's centre about its own result.
constexpr int kRecentre = 3;
// A wind's centre apart from the fix is taken alone when its error (sqrt of its covariance's trace) is
// below this, km: the fix is then the radiometer's dip on the wrong feature (a moat, a band).
constexpr double kTrustWindKm = 1.5;

// Solves the symmetric 3x3 system for its inverse; false when singular.
bool invert3(std::array<std::array<double, 3>, 3> m, std::array<std::array<double, 3>, 3>& inv) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (!(std::fabs(det) > 0.0)) return false;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
      inv[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
    }
  return true;
}

}  // namespace

EvidenceTime pressure_minimum_time(const HdobLines& l, double t0) {
  std::size_t lo = l.t.size();
  for (std::size_t i = 0; i < l.t.size(); ++i)
    if (std::fabs(l.t[i] - t0) <= kEvidenceReachS && std::isfinite(l.surface_pressure_hpa[i]) &&
        (lo == l.t.size() || l.surface_pressure_hpa[i] < l.surface_pressure_hpa[lo]))
      lo = i;
  if (lo < 2 || lo + 2 >= l.t.size()) return {kNaN, kNaN};
  std::array<std::array<double, 3>, 3> m{};
  std::array<double, 3> r{};
  int n = 0;
  for (std::size_t i = lo - 2; i <= lo + 2; ++i) {
    const double p = l.surface_pressure_hpa[i];
    if (!std::isfinite(p) || std::fabs(l.t[i] - t0) > kEvidenceReachS) return {kNaN, kNaN};
    const double x = l.t[i] - l.t[lo];
    const std::array<double, 3> g = {1.0, x, x * x};
    for (int a = 0; a < 3; ++a) {
      r[a] += g[a] * p;
      for (int b = 0; b < 3; ++b) m[a][b] += g[a] * g[b];
    }
    ++n;
  }
  std::array<std::array<double, 3>, 3> inv{};
  if (!invert3(m, inv)) return {kNaN, kNaN};
  std::array<double, 3> c{};
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) c[a] += inv[a][b] * r[b];
  if (!(c[2] > 0.0)) return {kNaN, kNaN};
  const double x = -c[1] / (2.0 * c[2]);
  if (std::fabs(x) > kMaxShiftS) return {kNaN, kNaN};
  double ssr = 0.0;
  for (std::size_t i = lo - 2; i <= lo + 2; ++i) {
    const double u = l.t[i] - l.t[lo];
    const double e = l.surface_pressure_hpa[i] - (c[0] + c[1] * u + c[2] * u * u);
    ssr += e * e;
  }
  const double s2 = std::max(ssr / (n - 3), kPressureRounding * kPressureRounding);
  const std::array<double, 3> g = {0.0, -1.0 / (2.0 * c[2]), c[1] / (2.0 * c[2] * c[2])};
  double var = 0.0;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) var += g[a] * inv[a][b] * g[b];
  return {l.t[lo] + x, std::sqrt(var * s2)};
}

namespace {

// One line as the fit uses it: the aircraft's storm-relative position (km, plane, at the pass's time) and
// the storm-relative wind (m/s, blowing towards, east and north).
struct WindLine {
  double x = 0.0, y = 0.0, wx = 0.0, wy = 0.0;
};

// The lines of `l` near the pass with their positions on a straight track fitted in time through the
// transmitted ones; `track_var` the variance (km^2, each axis) of that track at t0. Empty for a turn.
std::vector<WindLine> wind_lines(const HdobLines& l, const Plane& plane, double t0, double x0, double y0,
                                 double u, double v, double reach_km, double& track_var) {
  std::vector<double> t, x, y;
  std::vector<std::size_t> index;
  for (std::size_t i = 0; i < l.t.size(); ++i) {
    const double dt = l.t[i] - t0;
    if (std::fabs(dt) > kWindReachS || !std::isfinite(l.lat[i]) || !std::isfinite(l.lon[i]) ||
        !std::isfinite(l.wind_ms[i]) || !std::isfinite(l.wind_from_deg[i]))
      continue;
    double xi = 0.0, yi = 0.0;
    plane.to_xy(l.lat[i], l.lon[i], xi, yi);
    if (std::hypot(xi - u * dt - x0, yi - v * dt - y0) > reach_km) continue;
    t.push_back(dt), x.push_back(xi), y.push_back(yi), index.push_back(i);
  }
  const double n = static_cast<double>(t.size());
  if (t.size() < static_cast<std::size_t>(kLeastLines)) return {};
  double st = 0.0, sx = 0.0, sy = 0.0, stt = 0.0, stx = 0.0, sty = 0.0;
  for (std::size_t k = 0; k < t.size(); ++k)
    st += t[k], sx += x[k], sy += y[k], stt += t[k] * t[k], stx += t[k] * x[k], sty += t[k] * y[k];
  const double den = n * stt - st * st;
  if (!(den > 0.0)) return {};
  const double bx = (n * stx - st * sx) / den, ax = (sx - bx * st) / n;
  const double by = (n * sty - st * sy) / den, ay = (sy - by * st) / n;
  double ssr = 0.0;
  for (std::size_t k = 0; k < t.size(); ++k) {
    const double ex = x[k] - ax - bx * t[k], ey = y[k] - ay - by * t[k];
    ssr += ex * ex + ey * ey;
  }
  const double s2 = ssr / (2.0 * (n - 2.0));  // per axis
  if (std::sqrt(2.0 * s2) > kStraightKm) return {};
  track_var = s2 * stt / den;  // the intercept's variance: the track at t0
  std::vector<WindLine> out;
  for (std::size_t k = 0; k < t.size(); ++k) {
    const std::size_t i = index[k];
    const double from = l.wind_from_deg[i] * kDeg;
    WindLine w{ax + bx * t[k] - u * t[k], ay + by * t[k] - v * t[k],
               -l.wind_ms[i] * std::sin(from) - u * kMsPerKms,
               -l.wind_ms[i] * std::cos(from) - v * kMsPerKms};
    if (std::hypot(w.wx, w.wy) >= kLeastWind) out.push_back(w);
  }
  return out;
}

// The residual of line `w` (rad: the observed direction the wind blows towards less the model's) for the
// centre (cx, cy) and inflow `a` (rad), hemisphere h (+1 north, -1 south), with its derivatives by cx, cy
// and a, and its standard error (rad). The model's direction at q = p - c is the bearing vector's angle
// turned by h (90 deg + a): cyclonic round the centre and `a` inwards.
struct LineTerm {
  double e = 0.0, dcx = 0.0, dcy = 0.0, da = 0.0, sigma = 0.0;
};

LineTerm line_term(const WindLine& w, double cx, double cy, double a, double h) {
  const double qx = w.x - cx, qy = w.y - cy;
  const double r2 = std::max(qx * qx + qy * qy, 0.01);
  const double model = std::atan2(qy, qx) + h * (0.5 * std::numbers::pi + a);
  const double e = std::remainder(std::atan2(w.wy, w.wx) - model, 2.0 * std::numbers::pi);
  // d(model)/d(cx) = qy / r^2, d(model)/d(cy) = -qx / r^2, d(model)/d(a) = h; e = observed - model.
  return {e, -qy / r2, qx / r2, -h, std::hypot(kWindNoise / std::hypot(w.wx, w.wy), kDirectionModel)};
}

// The fit for one storm motion (u, v), km/s.
WindCentre fit_wind_centre(const HdobLines& l, const Plane& plane, double t0, double x0, double y0, double u,
                           double v, double reach_km) {
  WindCentre out;
  double track_var = 0.0;
  const std::vector<WindLine> lines = wind_lines(l, plane, t0, x0, y0, u, v, reach_km, track_var);
  if (lines.size() < static_cast<std::size_t>(kLeastLines)) return out;
  const double h = plane.lat0 >= 0.0 ? 1.0 : -1.0;
  std::array<double, 3> c = {x0, y0, kInflowPriorDeg * kDeg};
  std::array<std::array<double, 3>, 3> inv{};
  double chi2 = 0.0;
  for (int iteration = 0; iteration < 30; ++iteration) {
    std::array<std::array<double, 3>, 3> m{};
    std::array<double, 3> g{};
    chi2 = 0.0;
    for (const WindLine& w : lines) {
      const LineTerm t = line_term(w, c[0], c[1], c[2], h);
      const std::array<double, 3> j = {t.dcx, t.dcy, t.da};
      const double wt = 1.0 / (t.sigma * t.sigma);
      for (int a = 0; a < 3; ++a) {
        g[a] -= j[a] * t.e * wt;
        for (int b = 0; b < 3; ++b) m[a][b] += j[a] * j[b] * wt;
      }
      chi2 += t.e * t.e * wt;
    }
    // The priors: the inflow's, and the first guess's, loose, which holds the centre along the track of a
    // pass through it (whose lines' directions tell only which lines lie before it and which after).
    const double prior = 1.0 / (kInflowPriorSigmaDeg * kDeg * kInflowPriorSigmaDeg * kDeg);
    const double guess = 1.0 / (kGuessSigmaKm * kGuessSigmaKm);
    m[2][2] += prior;
    g[2] -= (c[2] - kInflowPriorDeg * kDeg) * prior;
    m[0][0] += guess, m[1][1] += guess;
    g[0] -= (c[0] - x0) * guess, g[1] -= (c[1] - y0) * guess;
    if (!invert3(m, inv)) return out;
    std::array<double, 3> step{};
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) step[a] += inv[a][b] * g[b];
    // Steps of at most kStepKm, so that a far line's turn cannot throw the centre out of reach.
    const double shrink = std::min(1.0, kStepKm / std::max(std::hypot(step[0], step[1]), 1e-12));
    for (int a = 0; a < 3; ++a) c[a] += shrink * step[a];
    if (std::hypot(step[0], step[1]) < 1e-5 && std::fabs(step[2]) < 1e-7) break;
  }
  if (!(std::hypot(c[0] - x0, c[1] - y0) <= reach_km)) return out;
  const double dof = static_cast<double>(lines.size()) - 3.0;
  const double birge = std::max(0.25, chi2 / dof);
  out.found = true;
  out.x = c[0], out.y = c[1];
  out.fit_cov = {inv[0][0] * birge, inv[0][1] * birge, inv[1][1] * birge};
  out.track_cov = {track_var, 0.0, track_var};
  out.cov = {inv[0][0] * birge + track_var, inv[0][1] * birge, inv[1][1] * birge + track_var};
  out.inflow_deg = c[2] / kDeg;
  out.inflow_sigma_deg = std::sqrt(inv[2][2] * birge) / kDeg;
  out.lines = static_cast<int>(lines.size());
  return out;
}

}  // namespace

WindCentre flight_level_wind_centre(const HdobLines& l, const Plane& plane, double t0, double x0, double y0,
                                    double u, double v, double motion_sigma, double reach_km) {
  // From the first guess, then again from the fit while it moves by more than a kilometre: the lines near
  // the centre are chosen about the centre the wind itself gives.
  WindCentre out = fit_wind_centre(l, plane, t0, x0, y0, u, v, reach_km);
  for (int again = 0; again < kRecentre && out.found && std::hypot(out.x - x0, out.y - y0) > 1.0; ++again) {
    x0 = out.x, y0 = out.y;
    out = fit_wind_centre(l, plane, t0, x0, y0, u, v, reach_km);
  }
  if (!out.found) return out;
  // The motion's error moves every storm-relative wind alike: its share of the centre's covariance is
  // J S J' with J the centre's derivatives by the motion (by differences) and S its variance.
  const double sigma = motion_sigma / kMsPerKms;  // km/s
  std::array<std::array<double, 2>, 2> j{};
  for (int k = 0; k < 2; ++k) {
    const WindCentre moved = fit_wind_centre(l, plane, t0, x0, y0, u + (k == 0 ? sigma : 0.0),
                                             v + (k == 1 ? sigma : 0.0), reach_km);
    if (!moved.found) return {};
    j[0][k] = moved.x - out.x;  // km per sigma
    j[1][k] = moved.y - out.y;
  }
  out.motion_cov = {j[0][0] * j[0][0] + j[0][1] * j[0][1], j[0][0] * j[1][0] + j[0][1] * j[1][1],
                    j[1][0] * j[1][0] + j[1][1] * j[1][1]};
  out.cov[0] += j[0][0] * j[0][0] + j[0][1] * j[0][1];
  out.cov[1] += j[0][0] * j[1][0] + j[0][1] * j[1][1];
  out.cov[2] += j[1][0] * j[1][0] + j[1][1] * j[1][1];
  return out;
}

namespace {

// A symmetric 2x2 matrix (xx, xy, yy), km^2 or its inverse.
using Sym2 = std::array<double, 3>;

double det2(const Sym2& a) {
  return a[0] * a[2] - a[1] * a[1];
}

Sym2 inverse2(const Sym2& a) {
  const double d = det2(a);
  return {a[2] / d, -a[1] / d, a[0] / d};
}

Sym2 sum2(const Sym2& a, const Sym2& b) {
  return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}

// The analysis's fix of pass `p` as the combination takes it, km^2: along the pass (its storm-relative
// velocity) the error of the pass's own time (the radiometer's and the pressure's, at that speed) with the
// held peaks' blur; across it the analysis's variance there (the motion's fit of the other passes). The
// analysis's own covariance along the pass carries the wrong-pass share that guards a fix from the
// radiometer alone, which the pressure and the flight-level wind make needless here.
Sym2 fix_covariance(const Motion& m, const Pass& p) {
  const double vx = p.vx - m.u, vy = p.vy - m.v, speed = std::hypot(vx, vy);
  if (!(speed > 0.0)) {  // no direction of the pass: the analysis's own covariance
    const double xx = centre_variance(m, p.time, 1.0, 0.0), yy = centre_variance(m, p.time, 0.0, 1.0);
    return {xx, centre_variance(m, p.time, std::sqrt(0.5), std::sqrt(0.5)) - 0.5 * (xx + yy), yy};
  }
  const double ux = vx / speed, uy = vy / speed;
  const double t2 = p.time_sigma * p.time_sigma + p.shape_sigma * p.shape_sigma;
  const double along = t2 * speed * speed + kHeldPeakBlurKm * kHeldPeakBlurKm;
  const double across = centre_variance(m, p.time, -uy, ux);
  return {along * ux * ux + across * uy * uy, (along - across) * ux * uy, along * uy * uy + across * ux * ux};
}

}  // namespace

void place_by_flight_level_wind(Analysis& an, const std::vector<const HdobLines*>& lines) {
  std::vector<double> rmw;
  for (const Leg& leg : an.legs)
    if (leg.has_peak) rmw.push_back(leg.peak_radius_km);
  double reach = kWindReachKm;
  if (!rmw.empty()) {
    std::nth_element(rmw.begin(), rmw.begin() + static_cast<long>(rmw.size() / 2), rmw.end());
    reach = std::clamp(2.0 * rmw[rmw.size() / 2], 0.25 * kWindReachKm, kWindReachKm);
  }
  const Motion& m = an.motion;
  // The motion's error, m/s: kMotionFixed where the passes fix the motion, else the larger component's as
  // the analysis's widened covariance states it, at least kMotionFloor.
  const double motion_sigma =
      an.motion_constrained
          ? kMotionFixed
          : std::hypot(std::sqrt(std::max({m.cov[2][2], m.cov[3][3], 0.0})) * kMsPerKms, kMotionFloor);
  for (Pass& p : an.passes) {
    // A pass kept for an HDOB pass of the same crossing (same_crossings) takes that mission's lines, as
    // in hdob_refiner.
    const std::size_t f = p.flight < lines.size() && lines[p.flight] ? p.flight : p.twin;
    if (f >= lines.size() || !lines[f]) continue;
    double ax = 0.0, ay = 0.0;
    an.plane.to_xy(p.lat, p.lon, ax, ay);
    const WindCentre w =
        flight_level_wind_centre(*lines[f], an.plane, p.time, ax, ay, m.u, m.v, motion_sigma, reach);
    if (!w.found) continue;
    const Sym2 a = fix_covariance(m, p);
    if (!(det2(a) > 0.0) || !(det2(w.cov) > 0.0)) continue;
    // The squared distance of the difference by the sum of their covariances.
    const Sym2 s = inverse2(sum2(a, w.cov));
    const double ex = w.x - ax, ey = w.y - ay;
    if (s[0] * ex * ex + 2.0 * s[1] * ex * ey + s[2] * ey * ey > kConsistent2) {
      if (std::sqrt(w.cov[0] + w.cov[2]) < kTrustWindKm) {
        an.plane.to_latlon(w.x, w.y, p.lat, p.lon);
        p.accuracy_km = std::sqrt(w.cov[0] + w.cov[2]);
        p.evidence = "flight-level wind";
      } else {
        // Two pieces of evidence apart beyond their errors, neither shown wrong: the fix stays, and its
        // error is at least their distance.
        p.accuracy_km = std::max(p.accuracy_km, std::hypot(ex, ey));
      }
      continue;
    }
    // Weighted by the inverse covariances: x = C (Ia xa + Iw xw), C = (Ia + Iw)^-1 its covariance.
    const Sym2 ia = inverse2(a), iw = inverse2(w.cov), c = inverse2(sum2(ia, iw));
    const double bx = ia[0] * ax + ia[1] * ay + iw[0] * w.x + iw[1] * w.y;
    const double by = ia[1] * ax + ia[2] * ay + iw[1] * w.x + iw[2] * w.y;
    an.plane.to_latlon(c[0] * bx + c[1] * by, c[1] * bx + c[2] * by, p.lat, p.lon);
    p.accuracy_km = std::sqrt(c[0] + c[2]);  // sqrt of the combined covariance's trace
    p.evidence += " + flight-level wind";
  }
}

void recentre_on_wind_fixes(Analysis& an, const std::vector<Series>& flights) {
  if (!an.centre_from_flight || !an.centre) return;
  // (time, east offset, north offset) of each pass's fix, in time order: the wind's placed off the fitted
  // track, the others on it.
  const auto by_wind = [](const Pass& p) {
    return p.evidence.find("flight-level wind") != std::string::npos;
  };
  if (std::none_of(an.passes.begin(), an.passes.end(), by_wind)) return;
  std::vector<std::array<double, 3>> offsets;
  for (const Pass& p : an.passes) {
    double lat = 0.0, lon = 0.0, fx = 0.0, fy = 0.0, px = 0.0, py = 0.0;
    an.centre(p.time, lat, lon);
    an.plane.to_xy(lat, lon, fx, fy);
    an.plane.to_xy(p.lat, p.lon, px, py);
    offsets.push_back({p.time, px - fx, py - fy});
  }
  std::sort(offsets.begin(), offsets.end());
  const CentreFn fitted = an.centre;
  const Plane plane = an.plane;
  an.centre = [fitted, plane, offsets](double t, double& lat, double& lon) {
    const auto after = std::upper_bound(offsets.begin(), offsets.end(), t,
                                        [](double v, const std::array<double, 3>& o) { return v < o[0]; });
    std::array<double, 3> d = after == offsets.end() ? offsets.back() : *after;
    if (after != offsets.begin() && after != offsets.end()) {
      const std::array<double, 3>& b = *(after - 1);
      const double f = (t - b[0]) / (d[0] - b[0]);
      d = {t, b[1] + f * (d[1] - b[1]), b[2] + f * (d[2] - b[2])};
    }
    double x = 0.0, y = 0.0;
    fitted(t, lat, lon);
    plane.to_xy(lat, lon, x, y);
    plane.to_latlon(x + d[1], y + d[2], lat, lon);
  };
  const Motion m = an.motion;
  const CentreVarFn centre_var = [m](double t, double bearing) {
    return centre_variance(m, t, std::sin(bearing * kDeg), std::cos(bearing * kDeg));
  };
  an.legs = cut_legs(flights, an.centre, centre_var);
  an.radii = wind_radii(flights, an.legs, an.centre, centre_var);
  for (std::size_t f = 0; f < flights.size() && f < an.range_km.size(); ++f) {
    const Series& s = flights[f];
    for (std::size_t i = 0; i < s.t.size() && i < an.range_km[f].size(); ++i) {
      if (!std::isfinite(s.lat[i]) || !std::isfinite(s.lon[i])) continue;
      double clat = 0.0, clon = 0.0;
      an.centre(s.t[i], clat, clon);
      range_bearing(clat, clon, s.lat[i], s.lon[i], an.range_km[f][i], an.bearing_deg[f][i]);
    }
    std::fill(an.leg_of[f].begin(), an.leg_of[f].end(), 0);
  }
  for (const Leg& leg : an.legs)
    for (std::size_t i = leg.begin; i < leg.end; ++i) an.leg_of[leg.flight][i] = leg.number;
}

PassRefiner hdob_refiner(const std::vector<const HdobLines*>& lines) {
  // A pass kept for an HDOB pass of the same crossing (same_crossings) takes that mission's lines.
  return [lines](std::vector<Pass>& passes, const Plane&) {
    for (Pass& p : passes) {
      const std::size_t f = p.flight < lines.size() && lines[p.flight] ? p.flight : p.twin;
      if (p.evidence != "surface wind" || f >= lines.size() || !lines[f]) continue;
      const HdobLines& l = *lines[f];
      const EvidenceTime pres = pressure_minimum_time(l, p.time);
      double w = 1.0 / (p.time_sigma * p.time_sigma + p.shape_sigma * p.shape_sigma);
      if (!std::isfinite(w)) continue;
      double sum = w * p.time;
      std::string evidence = p.evidence;
      for (const auto& [e, name] : {std::pair{pres, "pressure minimum"}}) {
        if (!std::isfinite(e.time) || !(e.sigma > 0.0)) continue;
        const double we = 1.0 / (e.sigma * e.sigma);
        w += we;
        sum += we * e.time;
        evidence += std::string(" + ") + name;
      }
      if (evidence == p.evidence) continue;
      const double t = sum / w;
      p.x += p.vx * (t - p.time);
      p.y += p.vy * (t - p.time);
      p.time = t;
      p.time_sigma = 1.0 / std::sqrt(w);
      p.shape_sigma = 0.0;
      p.evidence = evidence;
    }
  };
}

}  // namespace sfmr::storm
