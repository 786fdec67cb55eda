#include "storm/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include "core/constants.hpp"

namespace sfmr::storm {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kWgs84A = 6378.137;           // WGS84 semi-major axis, km
constexpr double kWgs84E2 = 6.69437999014e-3;  // WGS84 first eccentricity squared
constexpr double kTurnRoll = 10.0;             // deg: a banked turn
constexpr double kTurnCourse = 10.0;           // deg of course change in 10 s: a turn
constexpr double kPositionSpike = 1.0;     // km: a one-second position this far off its neighbours is garbled
constexpr std::size_t kWindow = 10;        // s: the running mean of peaks and radii
constexpr std::size_t kWindowMin = 7;      // retrieved seconds a 10-s mean needs
constexpr std::size_t kMinLeg = 60;        // s: shortest leg
constexpr double kPeakFitDrop = 0.04;      // the peak's fit spans the 10-s means this share below the peak
constexpr double kPeakFitMinHalf = 15.0;   // s: least reach of the fit either side of the peak
constexpr double kPeakFitMaxHalf = 200.0;  // s: largest reach (a flat peak far from the centre)
constexpr std::size_t kPeakFitMinSeconds = 15;  // retrieved seconds the fit needs
constexpr double kPassPeak = 15.0;              // m/s: least eyewall peak
constexpr double kPassDip = 0.15;               // the dip lies this share of the lower peak below it
constexpr double kPassSigma = 0.3;       // km: assumed along-track error of a pass's time of closest approach
constexpr double kPriorMotion = 5.0e-3;  // km/s: spread of the motion prior
constexpr double kPriorCentre = 50.0;    // km: spread of the centre prior
const double kNaN = std::numeric_limits<double>::quiet_NaN();

double nan_mean(const std::vector<double>& v, std::size_t a, std::size_t b, std::size_t min_count) {
  double sum = 0.0;
  std::size_t n = 0;
  for (std::size_t i = a; i < b; ++i)
    if (std::isfinite(v[i])) {
      sum += v[i];
      ++n;
    }
  return n >= min_count && n > 0 ? sum / static_cast<double>(n) : kNaN;
}

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

// Time of closest approach of a pass: the t0 minimising the misfit of the symmetric profile plus gradient
// (see the header), scanned every 0.25 s within `search` s of `guess`, refined by a parabola.
double symmetric_time(const Series& s, std::size_t a, std::size_t b, double guess, double reach,
                      double search, double& gradient) {
  auto misfit = [&](double t0, double& g) {
    double sdt = 0.0, stt = 0.0;
    std::vector<std::pair<double, double>> d;
    for (double tau = 1.0; tau <= reach; tau += 1.0) {
      const double hi = wind_at(s, a, b, t0 + tau), lo = wind_at(s, a, b, t0 - tau);
      if (!std::isfinite(hi) || !std::isfinite(lo)) continue;
      d.emplace_back(tau, hi - lo);
      sdt += (hi - lo) * tau;
      stt += tau * tau;
    }
    if (d.size() < 10) return kNaN;
    g = sdt / (2.0 * stt);
    double r = 0.0;
    for (const auto& [tau, diff] : d) r += (diff - 2.0 * g * tau) * (diff - 2.0 * g * tau);
    return r / static_cast<double>(d.size());
  };
  double best = kNaN, best_t = guess, g = 0.0;
  std::vector<double> ts, ms;
  for (double t0 = guess - search; t0 <= guess + search; t0 += 0.25) {
    const double m = misfit(t0, g);
    ts.push_back(t0);
    ms.push_back(m);
    if (std::isfinite(m) && !(m >= best)) {
      best = m;
      best_t = t0;
    }
  }
  const std::size_t k = static_cast<std::size_t>(std::find(ts.begin(), ts.end(), best_t) - ts.begin());
  if (k > 0 && k + 1 < ts.size() && std::isfinite(ms[k - 1]) && std::isfinite(ms[k + 1])) {
    const double den = ms[k - 1] - 2.0 * ms[k] + ms[k + 1];
    if (den > 0.0) best_t += 0.125 * (ms[k - 1] - ms[k + 1]) / den * 2.0;
  }
  misfit(best_t, gradient);
  return best_t;
}

// Solves the n x n system m x = r in place (Gauss-Jordan with partial pivoting); also returns the inverse.
bool solve(std::vector<std::vector<double>> m, std::vector<double>& x,
           std::vector<std::vector<double>>& inv) {
  const std::size_t n = m.size();
  inv.assign(n, std::vector<double>(n, 0.0));
  for (std::size_t i = 0; i < n; ++i) inv[i][i] = 1.0;
  std::vector<double> r = x;
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t i = c + 1; i < n; ++i)
      if (std::fabs(m[i][c]) > std::fabs(m[p][c])) p = i;
    if (std::fabs(m[p][c]) < 1e-300) return false;
    std::swap(m[p], m[c]);
    std::swap(inv[p], inv[c]);
    std::swap(r[p], r[c]);
    const double d = m[c][c];
    for (std::size_t j = 0; j < n; ++j) {
      m[c][j] /= d;
      inv[c][j] /= d;
    }
    r[c] /= d;
    for (std::size_t i = 0; i < n; ++i) {
      if (i == c) continue;
      const double f = m[i][c];
      for (std::size_t j = 0; j < n; ++j) {
        m[i][j] -= f * m[c][j];
        inv[i][j] -= f * inv[c][j];
      }
      r[i] -= f * r[c];
    }
  }
  x = r;
  return true;
}

}  // namespace

Plane Plane::at(double lat, double lon) {
  Plane p;
  p.lat0 = lat;
  p.lon0 = lon;
  const double s = std::sin(lat * kPi / 180.0);
  const double w = 1.0 - kWgs84E2 * s * s;
  p.km_per_deg_lat = kWgs84A * (1.0 - kWgs84E2) / std::pow(w, 1.5) * kPi / 180.0;
  p.km_per_deg_lon = kWgs84A / std::sqrt(w) * std::cos(lat * kPi / 180.0) * kPi / 180.0;
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

void range_bearing(double clat, double clon, double lat, double lon, double& km, double& bearing) {
  const Plane p = Plane::at(0.5 * (clat + lat), clon);
  const double x = (lon - clon) * p.km_per_deg_lon, y = (lat - clat) * p.km_per_deg_lat;
  km = std::hypot(x, y);
  bearing = std::atan2(x, y) * 180.0 / kPi;
  if (bearing < 0.0) bearing += 360.0;
  if (bearing >= 360.0) bearing -= 360.0;
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
  // Course over 10 s from the positions; a turn is a bank or a course change.
  std::vector<double> course(n, kNaN);
  for (std::size_t i = 0; i + 5 < n && n >= 6; ++i) {
    if (i < 5) continue;
    double km = 0.0, b = 0.0;
    if (!std::isfinite(s.lat[i - 5]) || !std::isfinite(s.lat[i + 5])) continue;
    range_bearing(s.lat[i - 5], s.lon[i - 5], s.lat[i + 5], s.lon[i + 5], km, b);
    if (km > 0.05) course[i] = b;
  }
  for (std::size_t i = 0; i < n; ++i) {
    bool turn = !std::isfinite(s.lat[i]) || !std::isfinite(s.lon[i]) ||
                (std::isfinite(f.roll[i]) && std::fabs(f.roll[i]) > kTurnRoll);
    if (!turn && i >= 5 && i + 5 < n && std::isfinite(course[i - 5]) && std::isfinite(course[i + 5])) {
      double d = std::fabs(course[i + 5] - course[i - 5]);
      if (d > 180.0) d = 360.0 - d;
      turn = d > kTurnCourse;
    }
    s.turn[i] = turn ? 1 : 0;
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

std::vector<Pass> find_passes(const std::vector<Series>& flights, const Plane& plane) {
  std::vector<Pass> passes;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    const std::size_t n = s.t.size();
    std::vector<double> w60(n, kNaN), w10(n, kNaN);
    for (const auto& [a, b] : segments(s)) {
      for (std::size_t i = a; i < b; ++i) {
        const std::size_t lo60 = i >= a + 30 ? i - 30 : a, hi60 = std::min(b, i + 31);
        w60[i] = nan_mean(s.wind, lo60, hi60, 20);
        const std::size_t lo10 = i >= a + 5 ? i - 5 : a, hi10 = std::min(b, i + 5);
        w10[i] = nan_mean(s.wind, lo10, hi10, kWindowMin);
      }
      // Dips: the lowest 61-s mean within 60 s either side, between two peaks in the same segment.
      const std::size_t reach = 1200;
      std::size_t last_accepted = std::string::npos;
      for (std::size_t i = a + 60; i + 60 < b; ++i) {
        if (!std::isfinite(w60[i])) continue;
        bool lowest = true;
        for (std::size_t j = i - 60; j <= i + 60 && lowest; ++j)
          if (std::isfinite(w60[j]) && (w60[j] < w60[i] || (w60[j] == w60[i] && j < i))) lowest = false;
        if (!lowest) continue;
        std::size_t pl = i, pr = i;
        for (std::size_t j = (i > a + reach ? i - reach : a); j < i; ++j)
          if (std::isfinite(w10[j]) && (!std::isfinite(w10[pl]) || w10[j] > w10[pl])) pl = j;
        for (std::size_t j = i + 1; j < std::min(b, i + reach); ++j)
          if (std::isfinite(w10[j]) && (!std::isfinite(w10[pr]) || w10[j] > w10[pr])) pr = j;
        if (pl == i || pr == i || !std::isfinite(w10[pl]) || !std::isfinite(w10[pr])) continue;
        const double lower = std::min(w10[pl], w10[pr]);
        if (lower < kPassPeak || w60[i] > (1.0 - kPassDip) * lower) continue;
        // The dip must be the lowest 61-s mean between the peaks.
        bool deepest = true;
        for (std::size_t j = pl; j <= pr && deepest; ++j)
          if (std::isfinite(w60[j]) && w60[j] < w60[i]) deepest = false;
        if (!deepest || (last_accepted != std::string::npos && i - last_accepted < 300)) continue;
        last_accepted = i;
        const double guess = 0.5 * (s.t[pl] + s.t[pr]);
        const double reach_s = 0.95 * std::min(guess - s.t[pl], s.t[pr] - guess);
        Pass p;
        p.flight = f;
        p.time = symmetric_time(s, a, b, guess, reach_s, std::min(90.0, 0.5 * reach_s), p.gradient);
        // Position and ground velocity at the pass from a straight line fitted to the positions of the
        // 4 minutes around it (the archive's positions are rounded to 0.001 deg, about 110 m).
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
        if (cnt < 10.0 || den <= 0.0) continue;
        p.vx = (cnt * stx - st * sx) / den;
        p.vy = (cnt * sty - st * sy) / den;
        p.x = (sx - p.vx * st) / cnt;
        p.y = (sy - p.vy * st) / cnt;
        passes.push_back(p);
      }
    }
  }
  return passes;
}

Motion fit_motion(std::vector<Pass>& passes, const Plane& plane, double u_prior, double v_prior) {
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
  m.u = u_prior;
  m.v = v_prior;
  std::vector<std::vector<double>> inv;
  double chi2 = 0.0;
  for (int iteration = 0; iteration < 3; ++iteration) {
    // Normal equations of the weighted rows: passes, then the priors. Unknowns x0, y0, u, v.
    std::vector<std::vector<double>> ata(4, std::vector<double>(4, 0.0));
    std::vector<double> atb(4, 0.0);
    auto row = [&](const std::array<double, 4>& a, double b, double sigma) {
      for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) ata[i][j] += a[i] * a[j] / (sigma * sigma);
        atb[i] += a[i] * b / (sigma * sigma);
      }
    };
    std::vector<std::array<double, 5>> rows;
    for (const Pass& p : passes) {
      double wx = p.vx - m.u, wy = p.vy - m.v;
      const double w = std::hypot(wx, wy);
      wx /= w;
      wy /= w;
      const double dt = p.time - m.t_ref;
      rows.push_back({wx, wy, wx * dt, wy * dt, wx * p.x + wy * p.y});
      row({wx, wy, wx * dt, wy * dt}, wx * p.x + wy * p.y, kPassSigma);
    }
    row({1, 0, 0, 0}, xs / np, kPriorCentre);
    row({0, 1, 0, 0}, ys / np, kPriorCentre);
    row({0, 0, 1, 0}, u_prior, kPriorMotion);
    row({0, 0, 0, 1}, v_prior, kPriorMotion);
    std::vector<double> x = atb;
    if (!solve(ata, x, inv)) break;
    m.x0 = x[0];
    m.y0 = x[1];
    m.u = x[2];
    m.v = x[3];
    chi2 = 0.0;
    for (const auto& r : rows) {
      const double e = r[0] * m.x0 + r[1] * m.y0 + r[2] * m.u + r[3] * m.v - r[4];
      chi2 += e * e / (kPassSigma * kPassSigma);
    }
  }
  const double scale = passes.size() > 4 ? std::max(1.0, chi2 / (np - 4.0)) : 1.0;
  for (Pass& p : passes) {
    const double dt = p.time - m.t_ref;
    const double cx = m.x0 + m.u * dt, cy = m.y0 + m.v * dt;
    plane.to_latlon(cx, cy, p.lat, p.lon);
    // Variance of c(t) = J p with J = [[1, 0, dt, 0], [0, 1, 0, dt]].
    double var = 0.0;
    if (!inv.empty()) {
      var = inv[0][0] + 2.0 * dt * inv[0][2] + dt * dt * inv[2][2] + inv[1][1] + 2.0 * dt * inv[1][3] +
            dt * dt * inv[3][3];
    }
    p.accuracy_km = std::sqrt(std::max(0.0, var * scale));
  }
  return m;
}

double peak_fit_time(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                     std::size_t end, std::size_t window, double mean) {
  if (window == std::string::npos || end < begin + kWindow || window + kWindow > end) return kNaN;
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
  // Least-squares cubic in x = (t - tc) / h over the retrieved seconds of [ta, tb].
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
  if (n < kPeakFitMinSeconds || !solve(m, c, inv)) return kNaN;
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
  return vertex >= ta && vertex <= tb ? vertex : kNaN;
}

void locate_peak(const Series& s, const CentreFn& centre, Leg& leg) {
  if (!leg.has_peak) return;
  double mean = 0.0;
  const std::size_t w = peak_window(s.wind, leg.begin, leg.end, mean);
  const double tv = peak_fit_time(s.t, s.wind, leg.begin, leg.end, w, mean);
  if (!std::isfinite(tv)) return;
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

std::vector<Leg> cut_legs(const std::vector<Series>& flights, const CentreFn& centre) {
  std::vector<Leg> legs;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    const Series& s = flights[f];
    int number = 0;
    for (const auto& [a, b] : segments(s)) {
      std::size_t closest = a;
      double best = std::numeric_limits<double>::infinity();
      for (std::size_t i = a; i < b; ++i) {
        double clat = 0.0, clon = 0.0, km = 0.0, bearing = 0.0;
        centre(s.t[i], clat, clon);
        range_bearing(clat, clon, s.lat[i], s.lon[i], km, bearing);
        if (km < best) {
          best = km;
          closest = i;
        }
      }
      for (const auto& [lo, hi, inbound] : {std::tuple{a, closest, true}, std::tuple{closest, b, false}}) {
        if (hi - lo < kMinLeg) continue;
        Leg leg;
        leg.flight = f;
        leg.number = ++number;
        leg.inbound = inbound;
        leg.begin = lo;
        leg.end = hi;
        leg_peak(s, centre, leg);
        locate_peak(s, centre, leg);
        legs.push_back(leg);
      }
    }
  }
  return legs;
}

Analysis analyse(const std::vector<Series>& flights, const CentreFn& track) {
  Analysis an;
  // A first plane about the first position; then about the first pass, near the storm's centre.
  double lat0 = kNaN, lon0 = kNaN;
  for (const Series& s : flights)
    for (std::size_t i = 0; i < s.t.size() && !std::isfinite(lat0); ++i)
      if (std::isfinite(s.lat[i]) && std::isfinite(s.lon[i])) {
        lat0 = s.lat[i];
        lon0 = s.lon[i];
      }
  if (!std::isfinite(lat0)) throw std::runtime_error("the flights have no positions");
  an.plane = Plane::at(lat0, lon0);
  std::vector<Pass> first = find_passes(flights, an.plane);
  if (!first.empty()) {
    // Refine the plane's origin to the first pass, so that distances are measured near the storm.
    const Series& s = flights[first.front().flight];
    an.plane = Plane::at(value_at(s, s.lat, first.front().time), value_at(s, s.lon, first.front().time));
    first = find_passes(flights, an.plane);
  }
  an.passes = std::move(first);
  double u_prior = 0.0, v_prior = 0.0;
  if (track && !an.passes.empty()) {
    const double t = an.passes.front().time;
    double la1 = 0.0, lo1 = 0.0, la2 = 0.0, lo2 = 0.0, x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
    track(t - 1800.0, la1, lo1);
    track(t + 1800.0, la2, lo2);
    an.plane.to_xy(la1, lo1, x1, y1);
    an.plane.to_xy(la2, lo2, x2, y2);
    u_prior = (x2 - x1) / 3600.0;
    v_prior = (y2 - y1) / 3600.0;
  }
  if (!an.passes.empty()) {
    an.motion = fit_motion(an.passes, an.plane, u_prior, v_prior);
    an.centre_from_flight = true;
    const Motion m = an.motion;
    const Plane plane = an.plane;
    an.centre = [m, plane](double t, double& lat, double& lon) {
      plane.to_latlon(m.x0 + m.u * (t - m.t_ref), m.y0 + m.v * (t - m.t_ref), lat, lon);
    };
  } else if (track) {
    an.centre = track;
  } else {
    throw std::runtime_error("no centre pass found in the flights (and no --track to place the centre)");
  }
  an.legs = cut_legs(flights, an.centre);
  an.radii = wind_radii(flights, an.legs, an.centre);
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
  return an;
}

}  // namespace sfmr::storm
