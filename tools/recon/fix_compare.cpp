#include "recon/fix_compare.hpp"

#include <algorithm>
#include <cmath>

#include "common/earth.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "recon/message_text.hpp"

namespace sfmr::recon {

namespace {

// The shortest of 0 to 2 decimals that writes `v` as given (3, 0.5, 0.25); empty for NaN.
std::string plain(double v) {
  if (!std::isfinite(v)) return {};
  for (int d = 0; d < 2; ++d) {
    if (std::fabs(v * std::pow(10.0, d) - std::round(v * std::pow(10.0, d))) < 1e-9)
      return format_trimmed(v, d);
  }
  return format_trimmed(v, 2);
}

}  // namespace

FixComparison compare_fixes(const std::vector<CentreFix>& tool,
                            const std::vector<OperationalFix>& operational) {
  FixComparison c;
  for (const CentreFix& f : tool) {
    FixPair p{f, -1, kNotGiven, kNotGiven};
    double best = 0.0;
    for (std::size_t k = 0; k < operational.size(); ++k) {
      const OperationalFix& o = operational[k];
      if (!std::isfinite(o.time)) continue;
      const double gap = std::fabs(o.time - f.time);
      if (p.operational < 0 || gap < best || (gap == best && o.time < operational[p.operational].time)) {
        best = gap;
        p.operational = static_cast<long>(k);
      }
    }
    if (p.operational >= 0) {
      const OperationalFix& o = operational[p.operational];
      p.distance_km = earth::great_circle_km(f.lat, f.lon, o.lat, o.lon);
      p.time_difference_s = o.time - f.time;
    }
    c.pairs.push_back(p);
  }
  for (std::size_t k = 0; k < operational.size(); ++k) {
    bool near = false;
    for (const CentreFix& f : tool)
      near = near || std::fabs(operational[k].time - f.time) <= kUnmatchedWindowS;
    if (!near) c.unmatched.push_back(k);
  }
  return c;
}

FixSummary summarise_fixes(const FixComparison& c, const std::vector<OperationalFix>& operational,
                           double window_s) {
  FixSummary s;
  std::vector<double> km;
  for (std::size_t i = 0; i < c.pairs.size(); ++i) {
    const FixPair& p = c.pairs[i];
    if (p.operational < 0 || !(std::fabs(p.time_difference_s) <= window_s)) continue;
    km.push_back(p.distance_km);
    const double accuracy_km = operational[p.operational].accuracy_nmi * kKmPerNmi;
    if (p.distance_km > 3.0 * accuracy_km) s.beyond_accuracy.push_back(i);  // false for a NaN accuracy
  }
  s.compared = km.size();
  if (km.empty()) return s;
  std::sort(km.begin(), km.end());
  const std::size_t h = km.size() / 2;
  s.median_distance_km = km.size() % 2 ? km[h] : 0.5 * (km[h - 1] + km[h]);
  return s;
}

std::vector<OperationalFix> operational_fixes(const std::vector<VortexFix>& fixes) {
  std::vector<OperationalFix> out;
  for (const VortexFix& f : fixes)
    out.push_back({f.time, f.lat, f.lon, f.pressure_hpa, f.meteorological_accuracy_nmi});
  return out;
}

void write_fix_compare_csv(std::ostream& out, const FixComparison& c,
                           const std::vector<OperationalFix>& operational) {
  out << "time,lat,lon,fix_time,fix_lat,fix_lon,fix_pressure_hpa,fix_accuracy_nmi,distance_km,"
         "time_difference_s\n";
  for (const FixPair& p : c.pairs) {
    out << iso_time(p.fix.time) << ',' << format_trimmed(p.fix.lat, 4) << ',' << format_trimmed(p.fix.lon, 4)
        << ',';
    if (p.operational < 0) {
      out << ",,,,,,\n";
      continue;
    }
    const OperationalFix& o = operational[p.operational];
    out << iso_time(o.time) << ',' << format_trimmed(o.lat, 4) << ',' << format_trimmed(o.lon, 4) << ','
        << plain(o.pressure_hpa) << ',' << plain(o.accuracy_nmi) << ',' << format_trimmed(p.distance_km, 3)
        << ',' << format_trimmed(std::round(p.time_difference_s), 0) << '\n';
  }
}

}  // namespace sfmr::recon
