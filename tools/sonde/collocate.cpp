#include "sonde/collocate.hpp"

#include <algorithm>
#include <cmath>

#include "common/earth.hpp"

namespace sfmr::sonde {

namespace {

// East and north offsets (km) of (lat, lon) from (clat, clon), on the scale of the centre's latitude.
struct Offset {
  double east = 0.0, north = 0.0;
};
Offset offset(double clat, double clon, double lat, double lon) {
  const earth::KmPerDegree k = earth::km_per_degree(clat);
  return {(lon - clon) * k.lon, (lat - clat) * k.lat};
}

// Index range [first, last) of the samples within `half` seconds of `t`.
std::pair<std::size_t, std::size_t> window(const std::vector<double>& time, double t, double half) {
  const auto a = std::lower_bound(time.begin(), time.end(), t - half);
  const auto b = std::upper_bound(a, time.end(), t + half);
  return {static_cast<std::size_t>(a - time.begin()), static_cast<std::size_t>(b - time.begin())};
}

// Mean of the finite values of `v` over the seconds t0 - 5 .. t0 + 4 (the 10-s mean); NaN when none.
double ten_second_mean(const FlightSeries& f, const std::vector<float>& v, double t0) {
  if (v.empty()) return kNaN;
  const auto a = std::lower_bound(f.time.begin(), f.time.end(), t0 - 5.0);
  double sum = 0.0;
  int n = 0;
  for (auto it = a; it != f.time.end() && *it <= t0 + 4.0; ++it) {
    const float x = v[static_cast<std::size_t>(it - f.time.begin())];
    if (std::isfinite(x)) sum += x, ++n;
  }
  return n > 0 ? sum / n : kNaN;
}

// Sum of squared residuals of the finite (wind, standard error) pairs of the 10 s t - 5 .. t + 4 about
// their least-squares line in time, and the count and sum of squared standard errors of those pairs.
struct LineScatter {
  double rss = 0.0, se2 = 0.0;
  int n = 0;
};
LineScatter line_scatter(const FlightSeries& f, double t) {
  LineScatter out;
  double st = 0.0, sw = 0.0, stt = 0.0, stw = 0.0, sww = 0.0;
  const auto a = std::lower_bound(f.time.begin(), f.time.end(), t - 5.0);
  for (auto it = a; it != f.time.end() && *it <= t + 4.0; ++it) {
    const auto i = static_cast<std::size_t>(it - f.time.begin());
    if (!std::isfinite(f.wind[i]) || !std::isfinite(f.wind_se[i])) continue;
    const double x = *it - t, w = f.wind[i];
    st += x, sw += w, stt += x * x, stw += x * w, sww += w * w,
        out.se2 += double{f.wind_se[i]} * f.wind_se[i];
    ++out.n;
  }
  if (out.n < 3) return out;
  const double sxx = stt - st * st / out.n, sxw = stw - st * sw / out.n, sw2 = sww - sw * sw / out.n;
  out.rss = sxx > 0.0 ? std::max(0.0, sw2 - sxw * sxw / sxx) : sw2;
  return out;
}

}  // namespace

double independent_share(const FlightSeries& f, double t0) {
  if (f.wind_se.empty()) return kNaN;
  double rss = 0.0, expected = 0.0;
  for (int k = -kShareWindows; k <= kShareWindows; ++k) {
    const LineScatter s = line_scatter(f, t0 + 10.0 * k);
    if (s.n < 3) continue;
    rss += s.rss;
    expected += (s.n - 2) * s.se2 / s.n;
  }
  if (!(expected > 0.0)) return 0.0;
  return std::min(1.0, rss / expected);
}

double ten_second_standard_error(const FlightSeries& f, double t0) {
  if (f.wind_se.empty()) return kNaN;
  const auto a = std::lower_bound(f.time.begin(), f.time.end(), t0 - 5.0);
  double sum = 0.0, sum2 = 0.0;
  int n = 0;
  for (auto it = a; it != f.time.end() && *it <= t0 + 4.0; ++it) {
    const float s = f.wind_se[static_cast<std::size_t>(it - f.time.begin())];
    if (std::isfinite(s)) sum += s, sum2 += double{s} * s, ++n;
  }
  if (n == 0) return kNaN;
  const double share = independent_share(f, t0), mean = sum / n;
  return std::sqrt((1.0 - share) * mean * mean + share * sum2 / (static_cast<double>(n) * n));
}

namespace {

// The 10-s mean wind where the distance flown from second i0, walking by `step` (+1 or -1), first reaches
// `km`; NaN when the flight ends or kChangeSpanMaxS passes first. Seconds without a position are stepped
// over.
double wind_at_distance(const FlightSeries& f, std::size_t i0, double km, int step) {
  std::size_t at = i0, last = i0;
  double flown = 0.0;
  while (flown < km) {
    if ((step < 0 && at == 0) || (step > 0 && at + 1 >= f.time.size())) return kNaN;
    at = step < 0 ? at - 1 : at + 1;
    if (std::fabs(f.time[at] - f.time[i0]) > kChangeSpanMaxS) return kNaN;
    if (!std::isfinite(f.lat[at]) || !std::isfinite(f.lon[at])) continue;
    const Offset d = offset(f.lat[last], f.lon[last], f.lat[at], f.lon[at]);
    flown += std::hypot(d.east, d.north);
    last = at;
  }
  return ten_second_mean(f, f.wind, f.time[at]);
}

// The radiometer's own change of wind over a pair's separation: the larger of |W(s0 - d) - W(s0)| and
// |W(s0 + d) - W(s0)|, W the 10-s mean wind and s the distance flown, s0 at second i0 and d = `km`. The
// pair's two points are d apart in a direction the flight does not tell; the wind changes most along the
// leg in a storm (the legs are radial), so the change along it over the same distance bounds the change
// between the points. Taking the change over d itself, not a gradient times d, keeps the eyewall's curvature
// (a gradient from a few km would miss the fall into the eye beyond them), and taking the larger side keeps
// the term from vanishing where s0 lies on the wind's peak or in the eye's calm. 0 when d is 0; NaN when
// neither side has both means.
double change_over(const FlightSeries& f, std::size_t i0, double km) {
  const double w0 = ten_second_mean(f, f.wind, f.time[i0]);
  if (!std::isfinite(w0) || !std::isfinite(km)) return kNaN;
  if (km <= 0.0) return 0.0;
  double out = kNaN;
  for (const int step : {-1, 1}) {
    const double w = wind_at_distance(f, i0, km, step);
    if (std::isfinite(w) && !(std::abs(w - w0) <= out)) out = std::abs(w - w0);
  }
  return out;
}

// The radiometer's change of wind between the ranges from the storm's centre of second i0 and of the splash
// point (`range` km), read on the leg itself: |W(i) - W(i0)| at the second i nearest in time to i0, within
// kChangeSpanMaxS, at which the aircraft's storm-relative range reaches the splash's. Where a leg passes the
// centre at a distance it runs across the radius near its closest approach, so that the pair's
// displacement, across the leg, is radial and the change along the leg over it would miss the radial
// profile's change. NaN when the leg does not reach that range in the time or has no wind there.
double radial_change(const FlightSeries& f, std::size_t i0, const CentreTrack& track, double range) {
  const auto range_at = [&](std::size_t i) {
    const Point c = track.at(f.time[i]);
    const Offset p = offset(c.lat, c.lon, f.lat[i], f.lon[i]);
    return std::hypot(p.east, p.north);
  };
  const double w0 = ten_second_mean(f, f.wind, f.time[i0]), side0 = range_at(i0) - range;
  double best_s = INFINITY, out = kNaN;
  for (const int step : {-1, 1}) {
    for (std::size_t i = i0; !(step < 0 && i == 0) && !(step > 0 && i + 1 >= f.time.size());) {
      i = step < 0 ? i - 1 : i + 1;
      const double s = std::fabs(f.time[i] - f.time[i0]);
      if (s > kChangeSpanMaxS || s >= best_s) break;
      if (!std::isfinite(f.lat[i]) || !std::isfinite(f.lon[i]) || (range_at(i) - range) * side0 > 0.0)
        continue;
      best_s = s, out = std::abs(ten_second_mean(f, f.wind, f.time[i]) - w0);
      break;
    }
  }
  return out;
}

}  // namespace

Point CentreTrack::at(double t) const {
  if (time.empty()) return {};
  if (t <= time.front()) return {t, lat.front(), lon.front()};
  if (t >= time.back()) return {t, lat.back(), lon.back()};
  const std::size_t j =
      static_cast<std::size_t>(std::upper_bound(time.begin(), time.end(), t) - time.begin());
  const double w = (t - time[j - 1]) / (time[j] - time[j - 1]);
  return {t, lat[j - 1] + w * (lat[j] - lat[j - 1]), lon[j - 1] + w * (lon[j] - lon[j - 1])};
}

Matchup collocate(const Point& splash, const std::vector<FlightSeries>& flights, const CentreTrack& track,
                  const Limits& limits) {
  Matchup m;
  if (!std::isfinite(splash.time) || !std::isfinite(splash.lat) || !std::isfinite(splash.lon)) {
    m.reason = "no splash point and time";
    return m;
  }
  const Point c0 = track.empty() ? Point{} : track.at(splash.time);
  Offset target{};
  if (!track.empty()) {
    target = offset(c0.lat, c0.lon, splash.lat, splash.lon);
    earth::range_bearing(c0.lat, c0.lon, splash.lat, splash.lon, m.storm_range_km, m.storm_bearing_deg);
  }
  const FlightSeries* best_flight = nullptr;
  std::size_t best = 0;
  double best_km = INFINITY;
  bool any_in_time = false;
  for (const FlightSeries& f : flights) {
    const auto [a, b] = window(f.time, splash.time, limits.max_s);
    for (std::size_t i = a; i < b; ++i) {
      if (!std::isfinite(f.lat[i]) || !std::isfinite(f.lon[i])) continue;
      any_in_time = true;
      Offset d{};
      if (track.empty()) {
        d = offset(splash.lat, splash.lon, f.lat[i], f.lon[i]);
      } else {
        const Point c = track.at(f.time[i]);
        const Offset p = offset(c.lat, c.lon, f.lat[i], f.lon[i]);
        d = {p.east - target.east, p.north - target.north};
      }
      const double km = std::hypot(d.east, d.north);
      if (km < best_km) best_km = km, best_flight = &f, best = i;
    }
  }
  if (!any_in_time) {
    m.reason = "no radiometer second within the time limit";
    return m;
  }
  const FlightSeries& f = *best_flight;
  m.time = f.time[best];
  m.lat = f.lat[best];
  m.lon = f.lon[best];
  m.distance_km = best_km;
  m.time_difference_s = m.time - splash.time;
  m.wind = ten_second_mean(f, f.wind, m.time);
  m.rain = ten_second_mean(f, f.rain, m.time);
  m.wind_se = ten_second_standard_error(f, m.time);
  // The larger of the two estimates of the wind's change between the points: along the leg over their
  // distance, and (with a track) across the ranges from the centre by the leg's own profile.
  m.representativeness = change_over(f, best, best_km);
  if (!track.empty()) {
    const double radial = radial_change(f, best, track, std::hypot(target.east, target.north));
    if (std::isfinite(radial) && !(radial <= m.representativeness)) m.representativeness = radial;
  }
  if (best_km > limits.max_km)
    m.reason = "nearest pass beyond the distance limit";
  else if (!std::isfinite(m.wind))
    m.reason = "no retrieved wind in the 10 s at the nearest pass";
  else
    m.matched = true;
  return m;
}

}  // namespace sfmr::sonde
