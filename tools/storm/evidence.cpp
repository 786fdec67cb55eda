#include "storm/evidence.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace sfmr::storm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPressureRounding = 0.1 / 3.4641016151377544;  // hPa: 0.1 hPa steps over sqrt 12
constexpr double kWindRounding = 0.5;  // m/s: whole kt and whole deg at flight-level speeds, about
constexpr double kMaxShiftS = 60.0;    // s: a fit's time further than this from its central line is no fit

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

EvidenceTime wind_centre_time(const HdobLines& l, double t0, double vx, double vy) {
  const double speed = std::hypot(vx, vy);
  if (!(speed > 0.0)) return {kNaN, kNaN};
  // Left of the track: the across-track unit vector.
  const double nx = -vy / speed, ny = vx / speed;
  std::vector<double> across(l.t.size(), kNaN);
  for (std::size_t i = 0; i < l.t.size(); ++i) {
    if (std::fabs(l.t[i] - t0) > kEvidenceReachS) continue;
    const double d = l.wind_from_deg[i] * std::numbers::pi / 180.0;
    // The wind blows towards the opposite of its from-direction.
    across[i] = -l.wind_ms[i] * (std::sin(d) * nx + std::cos(d) * ny);
  }
  std::size_t best = l.t.size();
  for (std::size_t i = 1; i + 2 < l.t.size(); ++i)
    if (std::isfinite(across[i]) && std::isfinite(across[i + 1]) &&
        (across[i] < 0.0) != (across[i + 1] < 0.0) &&
        (best == l.t.size() || std::fabs(l.t[i] - t0) < std::fabs(l.t[best] - t0)))
      best = i;
  if (best == l.t.size()) return {kNaN, kNaN};
  double n = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
  const double tc = l.t[best];
  for (std::size_t i = best - 1; i <= best + 2; ++i) {
    if (!std::isfinite(across[i])) continue;
    const double x = l.t[i] - tc;
    n += 1.0;
    sx += x;
    sy += across[i];
    sxx += x * x;
    sxy += x * across[i];
  }
  const double den = n * sxx - sx * sx;
  if (n < 3.0 || !(den > 0.0)) return {kNaN, kNaN};
  const double slope = (n * sxy - sx * sy) / den, icpt = (sy - slope * sx) / n;
  if (!(std::fabs(slope) > 0.0)) return {kNaN, kNaN};
  const double x = -icpt / slope;
  if (std::fabs(x) > kMaxShiftS) return {kNaN, kNaN};
  double ssr = 0.0;
  for (std::size_t i = best - 1; i <= best + 2; ++i)
    if (std::isfinite(across[i])) {
      const double e = across[i] - (icpt + slope * (l.t[i] - tc));
      ssr += e * e;
    }
  const double s2 = std::max(n > 2.0 ? ssr / (n - 2.0) : 0.0, kWindRounding * kWindRounding);
  // Covariance of (icpt, slope): s2 / den * [[sxx, -sx], [-sx, n]]; x = -icpt / slope.
  const double var = s2 / den * (sxx + 2.0 * x * sx + x * x * n) / (slope * slope);
  return {tc + x, std::sqrt(var)};
}

PassRefiner hdob_refiner(const std::vector<const HdobLines*>& lines) {
  return [lines](std::vector<Pass>& passes, const Plane&) {
    for (Pass& p : passes) {
      if (p.evidence != "surface wind" || p.flight >= lines.size() || !lines[p.flight]) continue;
      const HdobLines& l = *lines[p.flight];
      const EvidenceTime pres = pressure_minimum_time(l, p.time);
      const EvidenceTime wind = wind_centre_time(l, p.time, p.vx, p.vy);
      double w = 1.0 / (p.time_sigma * p.time_sigma + p.shape_sigma * p.shape_sigma);
      if (!std::isfinite(w)) continue;
      double sum = w * p.time;
      std::string evidence = p.evidence;
      for (const auto& [e, name] :
           {std::pair{pres, "pressure minimum"}, std::pair{wind, "flight-level wind"}}) {
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
