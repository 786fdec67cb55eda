#include "storm/vortex.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "storm/gauss_jordan.hpp"

namespace sfmr::storm {

namespace {

constexpr double kReach = 1.8;        // inner eyewall radii: the data's reach from the centre
constexpr double kMoatRise = 0.08;    // a rise of the 10-s mean beyond its peak by this share is a moat
constexpr double kMoatRiseMin = 2.5;  // m/s: the least such rise (above the 10-s mean's noise)
constexpr std::size_t kBlock = 5;     // s: seconds per block mean
// At most this many block means: the blocks grow longer where the data are many (a long flight, a large
// eye), since the fit's cost grows with their number (a 10-hour flight's inner core gives about 2300).
constexpr std::size_t kMaxSamples = 3000;
constexpr double kBlockMin = 0.6;  // share of a block's seconds that must carry a retrieval
constexpr double kGapS = 30.0;     // s: a longer gap between seconds breaks a stretch
constexpr double kHuber = 1.5;     // robust standard deviations: Huber's k
constexpr int kMaxIterations = 50;
constexpr double kConverged = 1e-4;  // relative fall of the misfit below which a step ends the fit
constexpr double kNearlyConverged = 1e-3;
constexpr std::size_t kMinSamples = 60;  // block means the fit needs (14 unknowns)
const double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr std::size_t kParams = 14;
using Params = std::array<double, kParams>;
using Matrix = std::array<std::array<double, kParams>, kParams>;
enum : std::size_t { kX0, kY0, kU, kV, kVmax, kLnR, kLnA, kLnN, kLnC, kEye, kW1a, kW1b, kW2a, kW2b };

// Wind speed (m/s) of the vortex `p` (centre track about t_ref) at sample `s`; `vec`: vector wavenumber 1.
double model_speed(const Params& p, double t_ref, bool vec, const VortexSample& s) {
  const double dx = s.x - p[kX0] - p[kU] * (s.t - t_ref), dy = s.y - p[kY0] - p[kV] * (s.t - t_ref);
  const double r = std::max(std::hypot(dx, dy), 1e-3);
  const double c = dx / r, sn = dy / r;
  const double lx = std::log(r) - p[kLnR], a = std::exp(p[kLnA]), n = std::exp(p[kLnN]),
               sharp = std::exp(p[kLnC]);
  const double k = a / n, m = (a + n) / sharp;
  const double h = p[kVmax] * std::exp(a * lx + m * (std::log1p(k) - std::log1p(k * std::exp(sharp * lx))));
  const double sym = std::sqrt(h * h + p[kEye] * p[kEye]);
  const double a2 = 1.0 + p[kW2a] * (c * c - sn * sn) + p[kW2b] * 2.0 * c * sn;
  if (!vec) return sym * (a2 + p[kW1a] * c + p[kW1b] * sn);
  // The rotating wind along e_theta = (-sin, cos), plus the uniform flow (a1, b1) m/s.
  return std::hypot(p[kW1a] - sym * a2 * sn, p[kW1b] + sym * a2 * c);
}

// Inverts the matrix m in place; false when singular.
bool invert(Matrix& m) {
  Matrix inv{};
  for (std::size_t i = 0; i < kParams; ++i) inv[i][i] = 1.0;
  if (!gauss_jordan<Matrix, Params>(m, inv)) return false;
  m = inv;
  return true;
}

// Residuals (data less model) of every sample.
void residuals(const std::vector<VortexSample>& d, const Params& p, double t_ref, bool vec,
               std::vector<double>& res) {
  res.resize(d.size());
  for (std::size_t i = 0; i < d.size(); ++i) res[i] = d[i].wind - model_speed(p, t_ref, vec, d[i]);
}

// Robust standard deviation: 1.4826 times the median absolute residual.
double robust_sigma(const std::vector<double>& res) {
  std::vector<double> a(res.size());
  for (std::size_t i = 0; i < res.size(); ++i) a[i] = std::fabs(res[i]);
  if (a.empty()) return kNaN;
  std::nth_element(a.begin(), a.begin() + static_cast<long>(a.size() / 2), a.end());
  return 1.4826 * a[a.size() / 2];
}

// Huber's weights of the residuals for the robust standard deviation `sigma`.
std::vector<double> huber_weights(const std::vector<double>& res, double sigma) {
  std::vector<double> w(res.size(), 1.0);
  const double k = kHuber * std::max(sigma, 1e-3);
  for (std::size_t i = 0; i < res.size(); ++i)
    if (std::fabs(res[i]) > k) w[i] = k / std::fabs(res[i]);
  return w;
}

double weighted_cost(const std::vector<double>& res, const std::vector<double>& w) {
  double sum = 0.0;
  for (std::size_t i = 0; i < res.size(); ++i) sum += w[i] * res[i] * res[i];
  return sum;
}

// Steps of the forward differences, in each parameter's own unit.
constexpr Params kStep = {1e-3, 1e-3, 1e-7, 1e-7, 1e-3, 1e-5, 1e-5, 1e-5, 1e-5, 1e-3, 1e-5, 1e-5, 1e-5, 1e-5};

// The weighted normal matrix J^T W J and gradient J^T W r of the residuals `res` at `p`.
void normal_equations(const std::vector<VortexSample>& d, const Params& p, double t_ref, bool vec,
                      const std::vector<double>& res, const std::vector<double>& w, Matrix& jtj,
                      Params& jtr) {
  std::vector<std::array<double, kParams>> jac(d.size());
  const double scale = vec ? 1e3 : 1.0;  // the vector flow is in m/s, the shares are fractions
  for (std::size_t k = 0; k < kParams; ++k) {
    Params q = p;
    const double h = kStep[k] * (k == kW1a || k == kW1b ? scale : 1.0);
    q[k] += h;
    for (std::size_t i = 0; i < d.size(); ++i)
      jac[i][k] = (model_speed(q, t_ref, vec, d[i]) - (d[i].wind - res[i])) / h;
  }
  jtj = Matrix{};
  jtr = Params{};
  for (std::size_t i = 0; i < d.size(); ++i)
    for (std::size_t a = 0; a < kParams; ++a) {
      jtr[a] += w[i] * jac[i][a] * res[i];
      for (std::size_t b = 0; b <= a; ++b) jtj[a][b] += w[i] * jac[i][a] * jac[i][b];
    }
  for (std::size_t a = 0; a < kParams; ++a)
    for (std::size_t b = 0; b < a; ++b) jtj[b][a] = jtj[a][b];
}

// Keeps the profile's parameters where the model means something: R within 0.3-3 R0, B 0.3-6, n 0.05-2,
// Vmax above 5 m/s, the multiplicative shares below 0.8.
void clamp(Params& p, double r0, bool vec) {
  p[kLnR] = std::clamp(p[kLnR], std::log(0.3 * r0), std::log(3.0 * r0));
  p[kLnA] = std::clamp(p[kLnA], std::log(0.3), std::log(8.0));
  p[kLnN] = std::clamp(p[kLnN], std::log(0.05), std::log(2.0));
  p[kLnC] = std::clamp(p[kLnC], std::log(0.5), std::log(20.0));
  p[kVmax] = std::max(p[kVmax], 5.0);
  p[kEye] = std::fabs(p[kEye]);
  for (std::size_t k : {kW2a, kW2b}) p[k] = std::clamp(p[k], -0.8, 0.8);
  if (!vec)
    for (std::size_t k : {kW1a, kW1b}) p[k] = std::clamp(p[k], -0.8, 0.8);
}

struct Solution {
  Params p{};
  Matrix inv{};
  std::vector<double> res, w;
  double cost = 0.0, sigma = 0.0;
  bool converged = false;
  int iterations = 0;
  double drop = 1.0;  // the last step's relative fall of the misfit
};

// The motion's prior (the still storm's, or the track's) as a term of the misfit in the wind's unit: the
// motion's departure over its spread, times the residuals' standard deviation `sigma`.
double prior_weight(const MotionPrior& prior, double sigma) {
  return prior.sigma > 0.0 && std::isfinite(prior.sigma) ? sigma * sigma / (prior.sigma * prior.sigma) : 0.0;
}
double prior_cost(const Params& p, const MotionPrior& prior, double weight) {
  return weight * ((p[kU] - prior.u) * (p[kU] - prior.u) + (p[kV] - prior.v) * (p[kV] - prior.v));
}
void add_prior(const Params& p, const MotionPrior& prior, double weight, Matrix& jtj, Params& jtr) {
  jtj[kU][kU] += weight;
  jtj[kV][kV] += weight;
  jtr[kU] += weight * (prior.u - p[kU]);
  jtr[kV] += weight * (prior.v - p[kV]);
}

// Robust Levenberg-Marquardt from `p`: each iteration takes Huber's weights of the current residuals,
// solves (J^T W J + lambda diag) dp = J^T W r (with the motion's prior), and accepts the step when the
// weighted misfit falls (lambda / 3), else retries with lambda * 4. Converged when the misfit falls by
// less than kConverged of itself.
Solution levenberg_marquardt(const std::vector<VortexSample>& d, Params p, double t_ref, bool vec, double r0,
                             const MotionPrior& prior) {
  Solution s;
  std::vector<double> res, trial;
  residuals(d, p, t_ref, vec, res);
  double lambda = 1e-3;
  for (int it = 0; it < kMaxIterations && !s.converged; ++it) {
    const double sigma = robust_sigma(res), pw = prior_weight(prior, sigma);
    const std::vector<double> w = huber_weights(res, sigma);
    const double cost = weighted_cost(res, w) + prior_cost(p, prior, pw);
    Matrix jtj{};
    Params jtr{};
    normal_equations(d, p, t_ref, vec, res, w, jtj, jtr);
    add_prior(p, prior, pw, jtj, jtr);
    bool stepped = false;
    for (int tries = 0; tries < 10 && !stepped; ++tries) {
      Matrix a = jtj;
      for (std::size_t k = 0; k < kParams; ++k) a[k][k] += lambda * std::max(jtj[k][k], 1e-12);
      if (!invert(a)) return s;
      Params q = p;
      for (std::size_t i = 0; i < kParams; ++i)
        for (std::size_t j = 0; j < kParams; ++j) q[i] += a[i][j] * jtr[j];
      clamp(q, r0, vec);
      residuals(d, q, t_ref, vec, trial);
      const double c = weighted_cost(trial, w) + prior_cost(q, prior, pw);
      stepped = c < cost;
      if (!stepped) {
        lambda *= 4.0;
        continue;
      }
      p = q;
      res = trial;
      lambda = std::max(lambda / 3.0, 1e-9);
      s.drop = (cost - c) / cost;
      s.converged = s.drop < kConverged;
      ++s.iterations;
    }
    if (!stepped) s.converged = true;  // no step lowers the misfit: a minimum
  }
  // Out of iterations with the misfit still falling by less than kNearlyConverged of itself per step: the
  // remaining steps move along a flat valley of the profile's shape, not the centre.
  s.converged = s.converged || s.drop < kNearlyConverged;
  s.p = p;
  s.res = res;
  s.sigma = robust_sigma(res);
  s.w = huber_weights(res, s.sigma);
  s.cost = weighted_cost(res, s.w);
  Params jtr{};
  normal_equations(d, p, t_ref, vec, res, s.w, s.inv, jtr);
  add_prior(p, prior, prior_weight(prior, s.sigma), s.inv, jtr);
  if (!invert(s.inv)) s.converged = false;
  return s;
}

// Lag-1 correlation of consecutive blocks' residuals within each unbroken stretch, within [0, 0.9].
double lag1_rho(const std::vector<VortexSample>& d, const std::vector<double>& res) {
  double num = 0.0, den = 0.0;
  for (std::size_t i = 0; i < res.size(); ++i) {
    den += res[i] * res[i];
    if (i + 1 < res.size() && d[i + 1].run == d[i].run) num += res[i] * res[i + 1];
  }
  return den > 0.0 ? std::clamp(num / den, 0.0, 0.9) : 0.0;
}

// The fit's result from a solution: track, covariance (scaled by the residuals' variance per degree of
// freedom and the correlation's factor), profile and asymmetry.
VortexFit result_of(const std::vector<VortexSample>& d, const Solution& s, double t_ref, bool vec,
                    double r0) {
  VortexFit f;
  f.converged = s.converged;
  f.vector_wn1 = vec;
  f.samples = d.size();
  f.inner_radius = r0;
  f.t_ref = t_ref;
  f.x0 = s.p[kX0];
  f.y0 = s.p[kY0];
  f.u = s.p[kU];
  f.v = s.p[kV];
  double wsum = 0.0;
  for (double w : s.w) wsum += w;
  const double dof = std::max(1.0, wsum - static_cast<double>(kParams));
  f.rho = lag1_rho(d, s.res);
  const double var = s.cost / dof * (1.0 + f.rho) / (1.0 - f.rho);
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j) f.cov[i][j] = s.inv[i][j] * var;
  f.vmax = s.p[kVmax];
  f.rmw = std::exp(s.p[kLnR]);
  f.shape_b = std::exp(s.p[kLnA]);
  f.sharpness = std::exp(s.p[kLnC]);
  f.decay_n = std::exp(s.p[kLnN]);
  f.eye = s.p[kEye];
  f.wn1 = std::hypot(s.p[kW1a], s.p[kW1b]);
  // Multiplicative: strongest towards (a1, b1); vector: the flow adds most where e_theta runs along A,
  // 90 degrees clockwise of A's direction for a cyclonic (anticlockwise) rotation.
  const double east = vec ? s.p[kW1b] : s.p[kW1a], north = vec ? -s.p[kW1a] : s.p[kW1b];
  f.wn1_dir = std::fmod(std::atan2(east, north) * 180.0 / std::numbers::pi + 360.0, 360.0);
  f.wn2 = std::hypot(s.p[kW2a], s.p[kW2b]);
  f.sigma = s.sigma;
  return f;
}

}  // namespace

double inner_eyewall_radius(const std::vector<Pass>& passes, const Motion& m) {
  if (std::isfinite(m.wall_radius) && m.wall_radius > 0.0) return m.wall_radius;
  std::vector<double> r;
  for (const Pass& p : passes) {
    const double wx = p.vx - m.u, wy = p.vy - m.v, w = std::hypot(wx, wy), dt = p.time - m.t_ref;
    if (!(w > 0.0) || !(p.reach_s > 0.0)) continue;
    const double across = (-wy * (m.x0 + m.u * dt - p.x) + wx * (m.y0 + m.v * dt - p.y)) / w;
    r.push_back(std::hypot(across, w * p.reach_s));
  }
  if (r.empty()) return kNaN;
  std::nth_element(r.begin(), r.begin() + static_cast<long>(r.size() / 2), r.end());
  return r[r.size() / 2];
}

namespace {

// Each second's position in the plane and range from the centre of `m` (NaN in turns or without a
// position), and the centred 10-s mean of the wind (NaN with fewer than 7 retrieved seconds).
void ranges_and_means(const Series& s, const Plane& plane, const Motion& m, std::vector<double>& x,
                      std::vector<double>& y, std::vector<double>& range, std::vector<double>& w10) {
  const std::size_t n = s.t.size();
  x.assign(n, kNaN);
  y.assign(n, kNaN);
  range.assign(n, kNaN);
  w10.assign(n, kNaN);
  for (std::size_t i = 0; i < n; ++i) {
    w10[i] = nan_mean(s.wind, i >= 5 ? i - 5 : 0, std::min(n, i + 5), 7);
    if (s.turn[i] || !std::isfinite(s.lat[i]) || !std::isfinite(s.lon[i])) continue;
    plane.to_xy(s.lat[i], s.lon[i], x[i], y[i]);
    const double dt = s.t[i] - m.t_ref;
    range[i] = std::hypot(x[i] - m.x0 - m.u * dt, y[i] - m.y0 - m.v * dt);
  }
}

// Marks the seconds from the closest approach `i` outwards (step +1 or -1) while they stay within
// `reach` km, unbroken, and short of a moat: beyond the eyewall (range above r0) the 10-s mean rising
// over its least value since its peak (taken outside 0.5 r0) by kMoatRise of the peak.
void walk_out(const Series& s, const std::vector<double>& range, const std::vector<double>& w10,
              std::size_t i, int step, double r0, double reach, std::vector<char>& keep) {
  double peak = 0.0, low = std::numeric_limits<double>::infinity();
  for (std::size_t j = i;; j += static_cast<std::size_t>(step)) {
    if (!std::isfinite(range[j]) || range[j] > reach) return;
    if (j != i && std::fabs(s.t[j] - s.t[j - static_cast<std::size_t>(step)]) > kGapS) return;
    if (std::isfinite(w10[j]) && range[j] >= 0.5 * r0) {
      if (w10[j] > peak) {
        peak = w10[j];
        low = w10[j];
      }
      low = std::min(low, w10[j]);
      if (range[j] > r0 && w10[j] > low + std::max(kMoatRiseMin, kMoatRise * peak)) return;
    }
    keep[j] = 1;
    if ((step < 0 && j == 0) || (step > 0 && j + 1 >= s.t.size())) return;
  }
}

// Block means of the kept seconds of one flight, appended to `out`; `run` numbers the unbroken stretches.
void block_means(const Series& s, const std::vector<double>& x, const std::vector<double>& y,
                 const std::vector<char>& keep, std::size_t block, std::size_t& run,
                 std::vector<VortexSample>& out) {
  std::size_t i = 0;
  const std::size_t n = s.t.size();
  while (i < n) {
    if (!keep[i]) {
      ++i;
      continue;
    }
    ++run;
    std::size_t j = i;
    while (j + 1 < n && keep[j + 1] && s.t[j + 1] - s.t[j] <= 2.0) ++j;
    for (std::size_t a = i; a + block <= j + 1; a += block) {
      VortexSample b;
      std::size_t count = 0;
      for (std::size_t k = a; k < a + block; ++k)
        if (std::isfinite(s.wind[k])) {
          b.t += s.t[k];
          b.x += x[k];
          b.y += y[k];
          b.wind += s.wind[k];
          ++count;
        }
      if (static_cast<double>(count) < kBlockMin * static_cast<double>(block)) continue;
      const double c = static_cast<double>(count);
      b.t /= c;
      b.x /= c;
      b.y /= c;
      b.wind /= c;
      b.run = run;
      out.push_back(b);
    }
    i = j + 1;
  }
}

// Block means of the `kept` seconds marked in `keep` of every flight: blocks of `least` seconds, longer
// where the means would be more than `most`.
std::vector<VortexSample> flights_block_means(const std::vector<Series>& flights,
                                              const std::vector<std::vector<double>>& x,
                                              const std::vector<std::vector<double>>& y,
                                              const std::vector<std::vector<char>>& keep, std::size_t kept,
                                              std::size_t least, std::size_t most) {
  const std::size_t block = std::max(least, (kept + most - 1) / most);
  std::vector<VortexSample> out;
  std::size_t run = 0;
  for (std::size_t f = 0; f < flights.size(); ++f)
    block_means(flights[f], x[f], y[f], keep[f], block, run, out);
  return out;
}

}  // namespace

std::vector<VortexSample> vortex_samples(const std::vector<Series>& flights, const Plane& plane,
                                         const Motion& start, double r0) {
  const double reach = kReach * r0;
  std::vector<std::vector<double>> x(flights.size()), y(flights.size());
  std::vector<std::vector<char>> keep(flights.size());
  std::size_t kept = 0;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    std::vector<double> range, w10;
    ranges_and_means(s, plane, start, x[f], y[f], range, w10);
    keep[f].assign(s.t.size(), 0);
    for (std::size_t i = 0; i < s.t.size(); ++i) {
      if (!(range[i] <= reach)) continue;
      const bool before = i == 0 || !std::isfinite(range[i - 1]) || range[i - 1] >= range[i];
      const bool after = i + 1 >= s.t.size() || !std::isfinite(range[i + 1]) || range[i + 1] > range[i];
      if (!before || !after) continue;
      walk_out(s, range, w10, i, -1, r0, reach, keep[f]);
      walk_out(s, range, w10, i, 1, r0, reach, keep[f]);
    }
    kept += static_cast<std::size_t>(std::count(keep[f].begin(), keep[f].end(), 1));
  }
  return flights_block_means(flights, x, y, keep, kept, kBlock, kMaxSamples);
}

VortexFit fit_vortex(const std::vector<VortexSample>& samples, const Motion& start, double r0,
                     const MotionPrior& prior) {
  if (samples.size() < kMinSamples || !(r0 > 0.0)) return {};
  std::vector<double> winds;
  for (const VortexSample& s : samples) winds.push_back(s.wind);
  std::nth_element(winds.begin(), winds.begin() + static_cast<long>(0.95 * static_cast<double>(winds.size())),
                   winds.end());
  Params p{};
  p[kX0] = start.x0;
  p[kY0] = start.y0;
  p[kU] = start.u;
  p[kV] = start.v;
  p[kVmax] = winds[static_cast<std::size_t>(0.95 * static_cast<double>(winds.size()))];
  p[kLnR] = std::log(r0);
  p[kLnA] = std::log(2.0);
  p[kLnN] = std::log(0.5);
  p[kLnC] = std::log(2.0);
  p[kEye] = 3.0;
  const Solution mult = levenberg_marquardt(samples, p, start.t_ref, false, r0, prior);
  const Solution vec = levenberg_marquardt(samples, p, start.t_ref, true, r0, prior);
  const bool use_vec = vec.converged && (!mult.converged || vec.sigma < mult.sigma);
  return use_vec ? result_of(samples, vec, start.t_ref, true, r0)
                 : result_of(samples, mult, start.t_ref, false, r0);
}

namespace {

// Fixes within this many of the passes' stated errors (or kGuardFloor km, the larger) of the vortex's
// centre let it place them: a centre farther from every line the passes allow is a wrong fit.
constexpr double kGuardErrors = 3.0;
constexpr double kGuardFloor = 2.0;  // km
// The vortex's centre must be well determined: its standard error (km, at the passes' mean time) below
// this share of the inner eyewall's radius.
constexpr double kGuardSigma = 0.1;
// The centre is where the wind falls towards calm: a fitted eye's wind (E) of this share of Vmax or more
// says the data do not show that fall (passes beside the eye), and the centre then rests on the profile's
// shape alone, which trades it against E and the asymmetry (on the family's flights such fits lay 8-9 km
// off where the passes were right within 0.2 km).
constexpr double kEyeFloor = 0.35;
// The vortex's model error (the standard error of its centre that its form adds, km) as a share of its RMW
// per unit of its fitted wavenumber 1: where the storm's asymmetry is not the model's, the fit trades a
// part of it for a shift of the centre, and the more so the stronger the asymmetry. Measured on the
// family's flights (the fit's centre against the truth, errors / RMW at the 68th percentile): the vector
// form's uniform flow A places the calm point by the profile's inner shape (where S = |A|), 0.02 RMW for
// |A| below 0.1 Vmax, 0.04 for 0.1-0.15, 0.08 for 0.15-0.25 and 0.15 above; the multiplicative form keeps
// the calm point at the centre, 0.005 RMW for a share below 0.15, 0.02 for 0.15-0.25 and 0.035 above.
// So 0.35 RMW per |A| / Vmax and 0.15 per multiplicative share, at least 0.01 RMW (the profile's own).
constexpr double kModelVector = 0.35;
constexpr double kModelShare = 0.15;
constexpr double kModelFloor = 0.01;
// The adoption weighs the disagreement against the tail of the model error (its 90th percentile on the
// family, about 1.3 times the stated share where the fit placed the fixes).
constexpr double kAdoptTail = 1.3;
constexpr double kAdoptErrors = 2.0;

}  // namespace

double vortex_model_error(const VortexFit& f) {
  const double share = f.vector_wn1 ? f.wn1 / std::max(f.vmax, 1.0) : f.wn1;
  return f.rmw * std::max(kModelFloor, (f.vector_wn1 ? kModelVector : kModelShare) * share);
}

bool vortex_sound(const VortexFit& f) {
  return f.converged && std::sqrt(f.cov[0][0] + f.cov[1][1]) < kGuardSigma * f.inner_radius &&
         f.eye < kEyeFloor * f.vmax;
}

namespace {

// Adds a model error of `model` km (the root of the trace, split evenly east and north) to the centre's
// covariance of `m`, and the passes' shared profile error (add_profile_bias).
void with_model_error(double model, const std::vector<Pass>& passes, Motion& m) {
  m.cov[0][0] += 0.5 * model * model;
  m.cov[1][1] += 0.5 * model * model;
  add_profile_bias(passes, m);
}

// The fitted vortex's track and its covariance in place of those of `m` (its other fields kept).
Motion fitted_track(const VortexFit& f, Motion m) {
  m.t_ref = f.t_ref;
  m.x0 = f.x0;
  m.y0 = f.y0;
  m.u = f.u;
  m.v = f.v;
  m.cov = f.cov;
  m.motion_sigma = std::sqrt(std::max(m.cov[2][2], m.cov[3][3]));
  return m;
}

// Moves a pass's time to its closest approach to the track of `m` (its ground velocity constant over the
// shift), then sets its fix and accuracy from `m`.
void move_fix(Pass& p, const Plane& plane, const Motion& m) {
  const double wx = p.vx - m.u, wy = p.vy - m.v, w2 = wx * wx + wy * wy;
  if (w2 > 0.0) {
    const double dt = p.time - m.t_ref;
    const double shift = ((m.x0 + m.u * dt - p.x) * wx + (m.y0 + m.v * dt - p.y) * wy) / w2;
    p.time += shift;
    p.x += p.vx * shift;
    p.y += p.vy * shift;
  }
  const double dt = p.time - m.t_ref;
  plane.to_latlon(m.x0 + m.u * dt, m.y0 + m.v * dt, p.lat, p.lon);
  p.accuracy_km = centre_accuracy(m, p.time);
  p.evidence += " + vortex fit";
}

}  // namespace

bool refine_with_vortex(const std::vector<Series>& flights, const Plane& plane, std::vector<Pass>& passes,
                        Motion& motion, const MotionPrior& prior, VortexFit* fit) {
  if (passes.size() < 2 || passes_one_heading(passes)) return false;
  const double r0 = inner_eyewall_radius(passes, motion);
  if (!(r0 > 0.0)) return false;
  const VortexFit f = fit_vortex(vortex_samples(flights, plane, motion, r0), motion, r0, prior);
  if (fit) *fit = f;
  if (!f.converged) return false;
  Motion m = fitted_track(f, motion);
  if (!vortex_sound(f)) return false;
  // The model's own error: its profile and asymmetry are not the storm's, and that error does not shrink
  // with the seconds' number. The adoption takes its tail, the stated error the typical one.
  const double model = vortex_model_error(f);
  Motion wide = m;
  with_model_error(kAdoptTail * model, passes, wide);
  with_model_error(model, passes, m);
  double off_sum = 0.0, error_sum = 0.0;
  for (const Pass& p : passes) {
    const double dt = p.time - motion.t_ref, ft = p.time - m.t_ref;
    const double off =
        std::hypot(m.x0 + m.u * ft - motion.x0 - motion.u * dt, m.y0 + m.v * ft - motion.y0 - motion.v * dt);
    if (!(off <= std::max(kGuardErrors * p.accuracy_km, kGuardFloor))) return false;
    off_sum += off;
    error_sum += centre_accuracy(wide, p.time);
  }
  if (!(off_sum > kAdoptErrors * error_sum)) return false;
  for (Pass& p : passes) move_fix(p, plane, m);
  motion = m;
  return true;
}

}  // namespace sfmr::storm

namespace sfmr::storm {

namespace {

// The search for a vortex that no pass marks (search_vortex).
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::size_t kSearchBlock = 20;           // s: seconds per block mean of the search
constexpr std::size_t kSearchMaxSamples = 1000;    // block means at most (longer blocks beyond)
constexpr std::size_t kSearchCoarseSamples = 500;  // the coarse grid's block means at most
constexpr double kSearchBin = 4.0;                 // km: the profile's bins out to kSearchLinear
constexpr double kSearchLinear = 40.0;             // km; beyond, each bin 15 % wider than the last
constexpr double kSearchGrowth = 1.15;             // ratio of consecutive bins' widths beyond kSearchLinear
constexpr std::size_t kSearchBins = 48;            // the last bin takes every range beyond
constexpr double kSearchSpeed = 12.0e-3;           // km/s: the fastest motion searched
constexpr double kSearchSpeedStep = 3.0e-3;        // km/s: the coarse grid's step in each component
constexpr double kSearchStrong = 0.75;             // share of the 95th-percentile wind: the storm's core
constexpr double kSearchMargin = 20.0;             // km about the core's samples searched for the centre
constexpr double kSearchStep = 6.0;                // km: the coarse grid's least step
constexpr int kSearchCells = 16;                   // the coarse grid's steps across at most
constexpr double kSearchNear = 15.0;               // km: a centre the flights came this near...
constexpr double kSearchNearShare = 0.5;  // ...or this share of the profile's peak radius may be the storm's
constexpr std::size_t kSearchKeep = 3;    // coarse candidates refined
constexpr double kSearchPassKm = 10.0;    // km: a closest approach this near (or 0.5 RMW) is a pass
// The searched vortex's model error (km) as a share of its RMW, by the form of its wavenumber 1. With no
// eye on any pass, the centre rests on the profile's shape and trades against the asymmetry: on flights
// into broad-cored, lopsided storms passed 0.35-0.6 RMW from the centre (27 flights, the search's fix
// against the truth), the vector form's errors were 0.08-0.38 RMW (68th percentile 0.25 with the fit's own
// error), the multiplicative form's 0.04-0.21 (0.08); shares of 0.22 and 0.09 put 70 % of those fixes
// within one stated error and 98 % within two. The multiplicative share is 0.15: one of those flights'
// adopted searches lay 0.42 RMW off in that form.
constexpr double kSearchVector = 0.22;
constexpr double kSearchShare = 0.15;
constexpr int kSearchWiden = 3;  // times the inner radius grows by half where it holds too few samples

// Block means of every straight second with a position and a retrieval, blocks of at least `least` s
// (longer where the means would be more than `most`).
std::vector<VortexSample> straight_blocks(const std::vector<Series>& flights, const Plane& plane,
                                          std::size_t least, std::size_t most) {
  std::vector<std::vector<double>> x(flights.size()), y(flights.size());
  std::vector<std::vector<char>> keep(flights.size());
  std::size_t kept = 0;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    x[f].assign(s.t.size(), kNaN);
    y[f].assign(s.t.size(), kNaN);
    keep[f].assign(s.t.size(), 0);
    for (std::size_t i = 0; i < s.t.size(); ++i) {
      if (s.turn[i] || !std::isfinite(s.lat[i]) || !std::isfinite(s.lon[i])) continue;
      plane.to_xy(s.lat[i], s.lon[i], x[f][i], y[f][i]);
      keep[f][i] = 1;
      ++kept;
    }
  }
  return flights_block_means(flights, x, y, keep, kept, least, most);
}

// The profile's bin of a range r (km): kSearchBin wide out to kSearchLinear, then each kSearchGrowth times
// wider than the last, the last bin taking every range beyond; looked up by whole km.
constexpr std::size_t kSearchTable = 600;  // km
const std::array<unsigned char, kSearchTable>& search_bins() {
  static const std::array<unsigned char, kSearchTable> table = [] {
    std::array<unsigned char, kSearchTable> t{};
    const auto linear = static_cast<std::size_t>(kSearchLinear / kSearchBin);
    for (std::size_t km = 0; km < kSearchTable; ++km) {
      const double r = static_cast<double>(km) + 0.5;
      const std::size_t k =
          r < kSearchLinear
              ? static_cast<std::size_t>(r / kSearchBin)
              : linear + static_cast<std::size_t>(std::log(r / kSearchLinear) / std::log(kSearchGrowth));
      t[km] = static_cast<unsigned char>(std::min(kSearchBins - 1, k));
    }
    return t;
  }();
  return table;
}

// A candidate track of the search and its misfit.
struct Candidate {
  double cost = std::numeric_limits<double>::infinity();
  double x0 = 0.0, y0 = 0.0, u = 0.0, v = 0.0;
  double step = kSearchStep;  // km: the grid's step where it was found
};

// How well a symmetric profile times a wavenumber 1 describes the winds about the track `c`:
// V = S(r) (1 + a cos theta + b sin theta) with S free in each range bin (search_bin), fitted by
// alternating least squares (S given the asymmetry, then the asymmetry given S, twice); the residuals' mean
// square per degree of freedom, infinite for a centre the blocks never come within kSearchNear (or
// kSearchNearShare of the radius where S peaks) of. `peak_km` (may be null) receives the mid-range of the
// bin where S peaks.
// Each block's range bin and direction about a candidate's centre (profile_misfit's working space, kept by
// its caller so that the grid's thousands of calls do not allocate).
struct Polar {
  std::vector<unsigned char> bin;
  std::vector<double> cs, sn;
};

double profile_misfit(const std::vector<VortexSample>& d, double t_ref, const Candidate& c, Polar& at,
                      double* peak_km = nullptr) {
  const auto& bins = search_bins();
  const std::size_t n = d.size();
  at.bin.resize(n);
  at.cs.resize(n);
  at.sn.resize(n);
  double nearest = kInf;  // km, the blocks' least range from the centre
  for (std::size_t i = 0; i < n; ++i) {
    const double dx = d[i].x - c.x0 - c.u * (d[i].t - t_ref), dy = d[i].y - c.y0 - c.v * (d[i].t - t_ref);
    const double r = std::max(std::sqrt(dx * dx + dy * dy), 1e-3);
    nearest = std::min(nearest, r);
    at.bin[i] = bins[std::min(kSearchTable - 1, static_cast<std::size_t>(r))];
    at.cs[i] = dx / r;
    at.sn[i] = dy / r;
  }
  std::array<double, kSearchBins> s{}, num{}, den{};
  std::array<std::size_t, kSearchBins> count{};
  for (std::size_t i = 0; i < n; ++i) ++count[at.bin[i]];
  double a = 0.0, b = 0.0;
  for (int pass = 0; pass < 3; ++pass) {
    num.fill(0.0);
    den.fill(0.0);
    for (std::size_t i = 0; i < n; ++i) {
      const double f = 1.0 + a * at.cs[i] + b * at.sn[i];
      num[at.bin[i]] += d[i].wind * f;
      den[at.bin[i]] += f * f;
    }
    for (std::size_t k = 0; k < kSearchBins; ++k) s[k] = den[k] > 0.0 ? num[k] / den[k] : 0.0;
    if (pass == 2) break;
    double xx = 0.0, xy = 0.0, yy = 0.0, bx = 0.0, by = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double m = s[at.bin[i]], p = m * at.cs[i], q = m * at.sn[i], r = d[i].wind - m;
      xx += p * p;
      xy += p * q;
      yy += q * q;
      bx += p * r;
      by += q * r;
    }
    const double det = xx * yy - xy * xy;
    if (!(det > 0.0)) break;
    a = std::clamp((yy * bx - xy * by) / det, -0.8, 0.8);
    b = std::clamp((xx * by - xy * bx) / det, -0.8, 0.8);
  }
  double cost = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double e = d[i].wind - s[at.bin[i]] * (1.0 + a * at.cs[i] + b * at.sn[i]);
    cost += e * e;
  }
  const auto used =
      static_cast<double>(std::count_if(count.begin(), count.end(), [](std::size_t k) { return k > 0; }));
  const double dof = static_cast<double>(n) - used - 2.0;
  std::size_t best = 0;
  for (std::size_t k = 0; k < kSearchBins; ++k)
    if (count[k] >= 3 && s[k] > s[best]) best = k;
  const double lo =
      best < kSearchLinear / kSearchBin
          ? static_cast<double>(best) * kSearchBin
          : kSearchLinear * std::pow(kSearchGrowth, static_cast<double>(best) - kSearchLinear / kSearchBin);
  const double peak =
      best < kSearchLinear / kSearchBin ? lo + 0.5 * kSearchBin : lo * (1.0 + 0.5 * (kSearchGrowth - 1.0));
  if (peak_km) *peak_km = peak;
  // A centre the flights never came near is none they can place: the passes that matter come within
  // kSearchNear or half the radius where the profile peaks (a far centre's wide bins fit a few legs'
  // gradients as well as the storm does).
  if (nearest > std::max(kSearchNear, kSearchNearShare * peak))
    return std::numeric_limits<double>::infinity();
  return dof > 0.0 ? cost / dof : std::numeric_limits<double>::infinity();
}

// Keeps the kSearchKeep lowest-misfit candidates in `best` (ascending).
void keep_best(std::vector<Candidate>& best, const Candidate& c) {
  if (best.size() == kSearchKeep && !(c.cost < best.back().cost)) return;
  best.insert(std::upper_bound(best.begin(), best.end(), c,
                               [](const Candidate& x, const Candidate& y) { return x.cost < y.cost; }),
              c);
  if (best.size() > kSearchKeep) best.pop_back();
}

// The coarse grid: motions every kSearchSpeedStep up to kSearchSpeed in each component; for each, centres
// about the core's block means moved with that motion to t_ref.
std::vector<Candidate> coarse_search(const std::vector<VortexSample>& d, double t_ref) {
  std::vector<double> winds;
  for (const VortexSample& s : d) winds.push_back(s.wind);
  const auto top = static_cast<long>(0.95 * static_cast<double>(winds.size() - 1));
  std::nth_element(winds.begin(), winds.begin() + top, winds.end());
  const double strong = kSearchStrong * winds[static_cast<std::size_t>(top)];
  std::vector<Candidate> best;
  Polar at;
  const int speeds = static_cast<int>(std::lround(kSearchSpeed / kSearchSpeedStep));
  for (int iu = -speeds; iu <= speeds; ++iu)
    for (int iv = -speeds; iv <= speeds; ++iv) {
      Candidate c;
      c.u = iu * kSearchSpeedStep;
      c.v = iv * kSearchSpeedStep;
      double x_lo = kInf, x_hi = -kInf, y_lo = kInf, y_hi = -kInf;
      for (const VortexSample& s : d) {
        if (s.wind < strong) continue;
        const double x = s.x - c.u * (s.t - t_ref), y = s.y - c.v * (s.t - t_ref);
        x_lo = std::min(x_lo, x);
        x_hi = std::max(x_hi, x);
        y_lo = std::min(y_lo, y);
        y_hi = std::max(y_hi, y);
      }
      const double step =
          std::max(kSearchStep, (std::max(x_hi - x_lo, y_hi - y_lo) + 2.0 * kSearchMargin) / kSearchCells);
      for (double x0 = x_lo - kSearchMargin; x0 <= x_hi + kSearchMargin; x0 += step)
        for (double y0 = y_lo - kSearchMargin; y0 <= y_hi + kSearchMargin; y0 += step) {
          c.x0 = x0;
          c.y0 = y0;
          c.step = step;
          c.cost = profile_misfit(d, t_ref, c, at);
          keep_best(best, c);
        }
    }
  return best;
}

// Refines a candidate on finer grids about it: from half the coarse steps, halving them three times, 5 by 5
// centres by 3 by 3 motions each.
Candidate refine_candidate(const std::vector<VortexSample>& d, double t_ref, Candidate c) {
  Polar at;
  c.cost = profile_misfit(d, t_ref, c, at);
  double step = 0.5 * c.step, speed = 0.5 * kSearchSpeedStep;
  for (int round = 0; round < 3; ++round, step *= 0.5, speed *= 0.5) {
    const Candidate around = c;
    for (int i = -2; i <= 2; ++i)
      for (int j = -2; j <= 2; ++j)
        for (int k = -1; k <= 1; ++k)
          for (int l = -1; l <= 1; ++l) {
            Candidate t{
                0.0, around.x0 + i * step, around.y0 + j * step, around.u + k * speed, around.v + l * speed,
                step};
            t.cost = profile_misfit(d, t_ref, t, at);
            if (t.cost < c.cost) c = t;
          }
  }
  return c;
}

// The passes the track of `m` makes: each straight stretch's closest approach within `limit` km (the
// least range over 60 s either side), with the aircraft's position and ground velocity there.
std::vector<Pass> track_passes(const std::vector<Series>& flights, const Plane& plane, const Motion& m,
                               double limit) {
  std::vector<Pass> passes;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    std::vector<double> x, y, range, w10;
    ranges_and_means(s, plane, m, x, y, range, w10);
    for (std::size_t i = 10; i + 10 < s.t.size(); ++i) {
      if (!(range[i] <= limit)) continue;
      bool least = true;
      for (std::size_t j = i - std::min<std::size_t>(i, 60); j <= std::min(s.t.size() - 1, i + 60) && least;
           ++j)
        least = !(range[j] < range[i]) || j == i;
      if (!least || !std::isfinite(x[i - 10]) || !std::isfinite(x[i + 10])) continue;
      Pass p;
      p.flight = f;
      p.seeded = true;
      p.time = s.t[i];
      p.x = x[i];
      p.y = y[i];
      p.vx = (x[i + 10] - x[i - 10]) / (s.t[i + 10] - s.t[i - 10]);
      p.vy = (y[i + 10] - y[i - 10]) / (s.t[i + 10] - s.t[i - 10]);
      passes.push_back(p);
    }
  }
  return passes;
}

}  // namespace

double search_misfit(const VortexSearch& search, const Motion& m) {
  const Candidate c{0.0, m.x0 + m.u * (search.t_ref - m.t_ref), m.y0 + m.v * (search.t_ref - m.t_ref), m.u,
                    m.v};  // the track as the grid's candidates give it, at the blocks' mean time
  Polar at;
  return profile_misfit(search.blocks, search.t_ref, c, at);
}

VortexSearch search_vortex(const std::vector<Series>& flights, const Plane& plane) {
  VortexSearch out;
  out.blocks = straight_blocks(flights, plane, kSearchBlock, kSearchMaxSamples);
  const std::vector<VortexSample>& d = out.blocks;
  if (d.size() < kMinSamples) return out;
  for (const VortexSample& s : d) out.t_ref += s.t / static_cast<double>(d.size());
  std::vector<Candidate> refined;
  // The coarse grid on blocks twice as long (at most kSearchCoarseSamples): its steps are wider than the
  // refinement's, and it is where the search spends its time.
  for (const Candidate& c :
       coarse_search(straight_blocks(flights, plane, 2 * kSearchBlock, kSearchCoarseSamples), out.t_ref)) {
    const Candidate r = refine_candidate(d, out.t_ref, c);
    if (std::isfinite(r.cost)) refined.push_back(r);
  }
  if (refined.empty()) return out;
  std::sort(refined.begin(), refined.end(),
            [](const Candidate& x, const Candidate& y) { return x.cost < y.cost; });
  out.gridded = true;
  Polar at;
  for (const Candidate& c : refined) {
    double peak = 0.0;
    profile_misfit(d, out.t_ref, c, at, &peak);
    Motion m;
    m.t_ref = out.t_ref;
    m.x0 = c.x0;
    m.y0 = c.y0;
    m.u = c.u;
    m.v = c.v;
    out.tracks.push_back(m);
    out.peaks.push_back(peak);
  }
  out.grid_misfit = refined.front().cost;
  return out;
}

bool fit_searched(const std::vector<Series>& flights, const Plane& plane, const MotionPrior& prior,
                  VortexSearch& search) {
  // From the best track first; a fit that is not sound (vortex_sound: a corner of the grid's misfit, not
  // the storm, such as a far centre whose eye keeps 0.4 of its Vmax) tries the next.
  VortexFit f;
  for (std::size_t k = 0; k < search.tracks.size() && !f.converged; ++k) {
    double r0 = search.peaks[k];
    std::vector<VortexSample> core = vortex_samples(flights, plane, search.tracks[k], r0);
    for (int i = 0; i < kSearchWiden && core.size() < kMinSamples; ++i) {
      r0 *= 1.5;
      core = vortex_samples(flights, plane, search.tracks[k], r0);
    }
    f = fit_vortex(core, search.tracks[k], r0, prior);
    if (!vortex_sound(f)) f.converged = false;
  }
  search.fit = f;
  if (!f.converged) return false;
  Motion& m = search.motion = fitted_track(f, {});
  search.model = std::max(vortex_model_error(f), (f.vector_wn1 ? kSearchVector : kSearchShare) * f.rmw);
  // The centre trades against the asymmetry along the wavenumber 1's direction: the model error lies
  // there (a leg along it takes all of it into its RMW, one across it none).
  const double east = std::sin(f.wn1_dir * std::numbers::pi / 180.0),
               north = std::cos(f.wn1_dir * std::numbers::pi / 180.0);
  const double model2 = search.model * search.model;
  m.cov[0][0] += model2 * east * east;
  m.cov[0][1] += model2 * east * north;
  m.cov[1][0] += model2 * east * north;
  m.cov[1][1] += model2 * north * north;
  search.found = true;
  return true;
}

bool searched_passes(const std::vector<Series>& flights, const Plane& plane, const VortexSearch& search,
                     std::vector<Pass>& passes, Motion& motion) {
  if (!search.found) return false;
  // A stretch may pass within kSearchPassKm of the true centre where its closest approach to the fitted
  // track lies a model error farther.
  Motion m = search.motion;
  std::vector<Pass> found =
      track_passes(flights, plane, m, std::max(kSearchPassKm, 0.5 * search.fit.rmw) + search.model);
  if (found.empty()) return false;
  add_profile_bias(found, m);
  for (Pass& p : found) move_fix(p, plane, m);
  passes = std::move(found);
  motion = m;
  return true;
}

}  // namespace sfmr::storm
