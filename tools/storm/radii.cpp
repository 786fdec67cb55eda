#include "storm/radii.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/constants.hpp"
#include "storm/analysis.hpp"

namespace sfmr::storm {

namespace {

constexpr std::size_t kWindow = 10;    // s: the running mean of the radii
constexpr std::size_t kWindowMin = 7;  // retrieved seconds a 10-s mean needs

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

}  // namespace

Radii wind_radii(const std::vector<Series>& flights, const std::vector<Leg>& legs, const CentreFn& centre) {
  Radii out;
  std::array<double, 4> outer_r{};
  std::array<double, 4> outer_mean{};
  for (const Leg& leg : legs) {
    const Series& s = flights[leg.flight];
    for (std::size_t i = leg.begin; i + kWindow <= leg.end; ++i) {
      const double m = nan_mean(s.wind, i, i + kWindow, kWindowMin);
      if (!std::isfinite(m)) continue;
      const double t = 0.5 * (s.t[i] + s.t[i + kWindow - 1]);
      const double lat = nan_mean(s.lat, i, i + kWindow, 1), lon = nan_mean(s.lon, i, i + kWindow, 1);
      double clat = 0.0, clon = 0.0, km = 0.0, bearing = 0.0;
      centre(t, clat, clon);
      range_bearing(clat, clon, lat, lon, km, bearing);
      const auto q = static_cast<std::size_t>(std::min(3.0, std::floor(bearing / 90.0)));
      out.has_data[q] = true;
      if (km > outer_r[q]) {
        outer_r[q] = km;
        outer_mean[q] = m;
      }
      for (std::size_t k = 0; k < 3; ++k)
        if (m >= kRadiiThresholdsKt[k] * kMsPerKt) out.km[k][q] = std::max(out.km[k][q], km);
    }
  }
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t q = 0; q < 4; ++q)
      out.lower_bound[k][q] = out.has_data[q] && outer_mean[q] >= kRadiiThresholdsKt[k] * kMsPerKt;
  return out;
}

}  // namespace sfmr::storm
