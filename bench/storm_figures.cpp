#include "storm_figures.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/constants.hpp"

namespace sfmr::bench {

namespace {

// Fixed decimals, or `empty` for NaN.
std::string number(double v, int decimals, const char* empty) {
  if (!std::isfinite(v)) return empty;
  char s[32];
  std::snprintf(s, sizeof s, "%.*f", decimals, v);
  return s;
}

double percent(int part, int whole) {
  return whole > 0 ? 100.0 * part / whole : std::nan("");
}

void append(std::vector<double>& to, const std::vector<double>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// "median/p90 (n)" of a set of errors.
std::string spread(const std::vector<double>& v, int decimals) {
  return number(quantile(v, 0.5), decimals, "-") + "/" + number(quantile(v, 0.9), decimals, "-") + " (" +
         std::to_string(v.size()) + ")";
}

// "within1/within2 % (n)" of a coverage.
std::string covered(const Coverage& c) {
  return number(c.percent1(), 0, "-") + "/" + number(c.percent2(), 0, "-") + " (" + std::to_string(c.n) + ")";
}

}  // namespace

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return std::nan("");
  std::sort(v.begin(), v.end());
  const double pos = q * static_cast<double>(v.size() - 1);
  const auto i = static_cast<std::size_t>(pos);
  const double f = pos - static_cast<double>(i);
  return i + 1 < v.size() ? v[i] * (1 - f) + v[i + 1] * f : v[i];
}

void Coverage::add(double error, double estimate) {
  if (!std::isfinite(error) || !std::isfinite(estimate) || !(estimate > 0.0)) return;
  ++n;
  if (error <= estimate) ++within1;
  if (error <= 2.0 * estimate) ++within2;
}

double Coverage::percent1() const {
  return percent(within1, n);
}
double Coverage::percent2() const {
  return percent(within2, n);
}

void Figures::merge(const Figures& o) {
  analyses += o.analyses;
  refused += o.refused;
  refused_with_pass += o.refused_with_pass;
  passes_near += o.passes_near;
  passes_found += o.passes_found;
  append(fix_through, o.fix_through);
  append(fix_miss, o.fix_miss);
  fix_spurious += o.fix_spurious;
  append(peak, o.peak);
  append(rmw, o.rmw);
  append(motion, o.motion);
  for (auto [to, from] :
       {std::pair{&fix_cov, &o.fix_cov}, {&peak_cov, &o.peak_cov}, {&rmw_cov, &o.rmw_cov}}) {
    to->n += from->n;
    to->within1 += from->within1;
    to->within2 += from->within2;
  }
  radii_pairs += o.radii_pairs;
  radii_ok += o.radii_ok;
  radii_unseen += o.radii_unseen;
  radii_unjustified += o.radii_unjustified;
}

std::vector<double> least_distance_times(const std::vector<double>& t, const std::vector<double>& r,
                                         double limit_km, std::size_t reach, bool clipped) {
  std::vector<double> out;
  const std::size_t from = clipped ? 1 : reach;
  for (std::size_t i = from; i + from < r.size(); ++i) {
    if (!(r[i] < limit_km)) continue;
    bool lowest = true;
    const std::size_t a = i >= reach ? i - reach : 0, b = std::min(r.size() - 1, i + reach);
    for (std::size_t j = a; j <= b && lowest; ++j) lowest = !(r[j] < r[i] || (r[j] == r[i] && j < i));
    if (lowest) out.push_back(t[i]);
  }
  return out;
}

std::vector<std::size_t> true_quadrants(double km, double bearing, double band_km) {
  const auto q = static_cast<std::size_t>(std::clamp(std::floor(bearing / 90.0), 0.0, 3.0));
  std::vector<std::size_t> out{q};
  const double b = bearing * std::numbers::pi / 180.0, east = km * std::sin(b), north = km * std::cos(b);
  if (std::fabs(east) <= band_km) out.push_back(north >= 0.0 ? (q == 0 ? 3 : 0) : (q == 1 ? 2 : 1));
  if (std::fabs(north) <= band_km) out.push_back(east >= 0.0 ? (q == 0 ? 1 : 0) : (q == 2 ? 3 : 2));
  return out;
}

void score_radius(const RadiusTruth& truth, double threshold_ms, double rmw_km, double nmi,
                  const std::string& flag, Figures& fig) {
  constexpr double kAgreeNmi = 5.0;  // radii agree within this, n mi
  const bool shown = truth.has_data && truth.outer_mean < threshold_ms &&
                     (truth.reached_km > 0.0 || truth.inner_km < rmw_km);
  const bool given = std::isfinite(nmi);
  if (!shown) {
    ++fig.radii_unseen;
    if (given && flag != "E" && flag != "U") ++fig.radii_unjustified;
  }
  if (!given || !truth.has_data) return;
  ++fig.radii_pairs;
  if (std::fabs(nmi - truth.reached_km / sfmr::kKmPerNmi) <= kAgreeNmi) ++fig.radii_ok;
}

Figures& group(Groups& groups, const std::string& name) {
  for (auto& [n, f] : groups)
    if (n == name) return f;
  groups.emplace_back(name, Figures{});
  return groups.back().second;
}

std::string summary_header() {
  return "group,analyses,refused,refused_with_pass,passes_near,passes_found,"
         "fix_through_n,fix_through_median_km,fix_through_p90_km,"
         "fix_miss_n,fix_miss_median_km,fix_miss_p90_km,fix_spurious,"
         "peak_n,peak_median_ms,rmw_n,rmw_median_km,rmw_p90_km,"
         "radii_pairs,radii_within_5nmi,radii_unseen,radii_unjustified,"
         "fix_cov_n,fix_within1_pct,fix_within2_pct,peak_cov_n,peak_within1_pct,peak_within2_pct,"
         "rmw_cov_n,rmw_within1_pct,rmw_within2_pct,motion_n,motion_median_ms";
}

std::string summary_row(const std::string& name, const Figures& f) {
  std::string row = name;
  auto cell = [&row](const std::string& s) { row += "," + s; };
  auto count = [&](std::size_t n) { cell(std::to_string(n)); };
  auto value = [&](double v, int decimals) { cell(number(v, decimals, "")); };
  for (int n : {f.analyses, f.refused, f.refused_with_pass, f.passes_near, f.passes_found})
    count(static_cast<std::size_t>(n));
  for (const auto* v : {&f.fix_through, &f.fix_miss}) {
    count(v->size());
    value(quantile(*v, 0.5), 3);
    value(quantile(*v, 0.9), 3);
  }
  count(static_cast<std::size_t>(f.fix_spurious));
  count(f.peak.size());
  value(quantile(f.peak, 0.5), 3);
  count(f.rmw.size());
  value(quantile(f.rmw, 0.5), 3);
  value(quantile(f.rmw, 0.9), 3);
  for (int n : {f.radii_pairs, f.radii_ok, f.radii_unseen, f.radii_unjustified})
    count(static_cast<std::size_t>(n));
  for (const Coverage* c : {&f.fix_cov, &f.peak_cov, &f.rmw_cov}) {
    count(static_cast<std::size_t>(c->n));
    value(c->percent1(), 1);
    value(c->percent2(), 1);
  }
  count(f.motion.size());
  value(quantile(f.motion, 0.5), 3);
  return row;
}

void print_table(std::ostream& out, const Groups& groups) {
  char line[512];
  const char* const kFormat =
      "%-22s %9s %7s %-19s %-19s %5s %-14s %-19s %-11s %-7s %-15s %-15s %-15s %-12s\n";
  std::snprintf(line, sizeof line, kFormat, "group", "refused", "found", "fix thru km", "fix miss km", "fix",
                "peak m/s", "RMW km", "radii 5nmi", "unjust", "cov fix %", "cov peak %", "cov RMW %",
                "motion m/s");
  out << line;
  std::snprintf(line, sizeof line, kFormat, "", "(w/pass)", "of near", "med/p90 (n)", "med/p90 (n)", "spur",
                "med (n)", "med/p90 (n)", "ok/pairs", "/unseen", "1/2 err (n)", "1/2 err (n)", "1/2 err (n)",
                "med (n)");
  out << line;
  for (const auto& [name, f] : groups) {
    const std::string refused = std::to_string(f.refused) + "/" + std::to_string(f.analyses) + " (" +
                                std::to_string(f.refused_with_pass) + ")";
    const std::string found = std::to_string(f.passes_found) + "/" + std::to_string(f.passes_near);
    const std::string peak =
        number(quantile(f.peak, 0.5), 3, "-") + " (" + std::to_string(f.peak.size()) + ")";
    const std::string radii = std::to_string(f.radii_ok) + "/" + std::to_string(f.radii_pairs);
    const std::string unjust = std::to_string(f.radii_unjustified) + "/" + std::to_string(f.radii_unseen);
    const std::string motion =
        number(quantile(f.motion, 0.5), 2, "-") + " (" + std::to_string(f.motion.size()) + ")";
    std::snprintf(line, sizeof line, kFormat, name.c_str(), refused.c_str(), found.c_str(),
                  spread(f.fix_through, 2).c_str(), spread(f.fix_miss, 2).c_str(),
                  std::to_string(f.fix_spurious).c_str(), peak.c_str(), spread(f.rmw, 2).c_str(),
                  radii.c_str(), unjust.c_str(), covered(f.fix_cov).c_str(), covered(f.peak_cov).c_str(),
                  covered(f.rmw_cov).c_str(), motion.c_str());
    out << line;
  }
}

}  // namespace sfmr::bench
