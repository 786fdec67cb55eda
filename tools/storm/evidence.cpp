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
// The storm's motion is known no better than this, m/s, whatever the analysis's fit says: its error is an
// error of every storm-relative wind, which turns the directions most where the wind is weak.
constexpr double kMotionFloor = 0.5;
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
  const double birge = std::max(1.0, chi2 / dof);
  out.found = true;
  out.x = c[0], out.y = c[1];
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
  const double sigma = std::hypot(motion_sigma, kMotionFloor) / kMsPerKms;  // km/s
  std::array<std::array<double, 2>, 2> j{};
  for (int k = 0; k < 2; ++k) {
    const WindCentre moved = fit_wind_centre(l, plane, t0, x0, y0, u + (k == 0 ? sigma : 0.0),
                                             v + (k == 1 ? sigma : 0.0), reach_km);
    if (!moved.found) return {};
    j[0][k] = moved.x - out.x;  // km per sigma
    j[1][k] = moved.y - out.y;
  }
  out.cov[0] += j[0][0] * j[0][0] + j[0][1] * j[0][1];
  out.cov[1] += j[0][0] * j[1][0] + j[0][1] * j[1][1];
  out.cov[2] += j[1][0] * j[1][0] + j[1][1] * j[1][1];
  return out;
}

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
  // The motion's standard error, m/s: the larger component's, as the fit of the passes left it (widened).
  const double motion_sigma = std::sqrt(std::max({m.cov[2][2], m.cov[3][3], 0.0})) * kMsPerKms;
  for (Pass& p : an.passes) {
    if (p.flight >= lines.size() || !lines[p.flight]) continue;
    double ax = 0.0, ay = 0.0;
    an.plane.to_xy(p.lat, p.lon, ax, ay);
    const WindCentre w =
        flight_level_wind_centre(*lines[p.flight], an.plane, p.time, ax, ay, m.u, m.v, motion_sigma, reach);
    if (!w.found) continue;
    // The fix's covariance in the plane: its variances east, north and along the diagonal.
    const double axx = centre_variance(m, p.time, 1.0, 0.0), ayy = centre_variance(m, p.time, 0.0, 1.0);
    const double axy = centre_variance(m, p.time, std::sqrt(0.5), std::sqrt(0.5)) - 0.5 * (axx + ayy);
    const double da = axx * ayy - axy * axy, dw = w.cov[0] * w.cov[2] - w.cov[1] * w.cov[1];
    if (!(da > 0.0) || !(dw > 0.0)) continue;
    // Inverse covariances (information) of both, and the squared distance of the difference.
    const double sxx = axx + w.cov[0], sxy = axy + w.cov[1], syy = ayy + w.cov[2];
    const double ex = w.x - ax, ey = w.y - ay;
    if ((syy * ex * ex - 2.0 * sxy * ex * ey + sxx * ey * ey) / (sxx * syy - sxy * sxy) > kConsistent2) {
      if (std::sqrt(w.cov[0] + w.cov[2]) < kTrustWindKm) {
        an.plane.to_latlon(w.x, w.y, p.lat, p.lon);
        p.accuracy_km = std::sqrt(w.cov[0] + w.cov[2]);
        p.evidence = "flight-level wind";
      }
      continue;
    }
    const double ixx = ayy / da + w.cov[2] / dw, ixy = -axy / da - w.cov[1] / dw,
                 iyy = axx / da + w.cov[0] / dw;
    const double bx = (ayy * ax - axy * ay) / da + (w.cov[2] * w.x - w.cov[1] * w.y) / dw;
    const double by = (-axy * ax + axx * ay) / da + (-w.cov[1] * w.x + w.cov[0] * w.y) / dw;
    const double det = ixx * iyy - ixy * ixy;
    const double x = (iyy * bx - ixy * by) / det, y = (-ixy * bx + ixx * by) / det;
    an.plane.to_latlon(x, y, p.lat, p.lon);
    p.accuracy_km = std::sqrt((ixx + iyy) / det);  // sqrt of the combined covariance's trace
    p.evidence += " + flight-level wind";
  }
}

PassRefiner hdob_refiner(const std::vector<const HdobLines*>& lines) {
  return [lines](std::vector<Pass>& passes, const Plane&) {
    for (Pass& p : passes) {
      if (p.evidence != "surface wind" || p.flight >= lines.size() || !lines[p.flight]) continue;
      const HdobLines& l = *lines[p.flight];
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
