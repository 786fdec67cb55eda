#include "sonde/sonde_stats.hpp"

#include <cmath>
#include <functional>

#include "core/text.hpp"

namespace sfmr::sonde {

namespace {

constexpr double kWindBinWidth = 10.0;                   // m/s
constexpr double kRainEdges[] = {0.0, 5.0, 15.0, 30.0};  // mm/h, the last bin open

BinStats summarise(std::string binning, std::string bin, const std::vector<const Pair*>& in) {
  BinStats s{std::move(binning), std::move(bin)};
  s.n = static_cast<int>(in.size());
  if (in.empty()) return s;
  double sd = 0.0, sdd = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, syy = 0.0, sxy = 0.0;
  int one = 0, two = 0;
  for (const Pair* p : in) {
    const double d = p->sfmr - p->sonde;
    sd += d, sdd += d * d;
    sx += p->sonde, sy += p->sfmr, sxx += p->sonde * p->sonde, syy += p->sfmr * p->sfmr;
    sxy += p->sonde * p->sfmr;
    if (std::isfinite(p->combined_error)) {
      ++s.n_error;
      one += std::abs(d) <= p->combined_error;
      two += std::abs(d) <= 2.0 * p->combined_error;
    }
  }
  const double n = s.n;
  s.bias = sd / n;
  s.rms = std::sqrt(sdd / n);
  const double vx = sxx - sx * sx / n, vy = syy - sy * sy / n;
  if (s.n >= 3 && vx > 0.0 && vy > 0.0) s.correlation = (sxy - sx * sy / n) / std::sqrt(vx * vy);
  if (s.n_error > 0) s.within_one = one / double(s.n_error), s.within_two = two / double(s.n_error);
  return s;
}

// Bins of width kWindBinWidth by `value` of each pair, from 0 to the highest value.
void wind_bins(const std::vector<Pair>& pairs, const std::string& binning,
               const std::function<double(const Pair&)>& value, std::vector<BinStats>& out) {
  double top = 0.0;
  for (const Pair& p : pairs) top = std::max(top, value(p));
  for (double lo = 0.0; lo <= top; lo += kWindBinWidth) {
    std::vector<const Pair*> in;
    for (const Pair& p : pairs)
      if (value(p) >= lo && value(p) < lo + kWindBinWidth) in.push_back(&p);
    if (!in.empty())
      out.push_back(
          summarise(binning, format_trimmed(lo, 0) + "-" + format_trimmed(lo + kWindBinWidth, 0), in));
  }
}

// Fw.d, or w blanks for a missing value; `scale` 100 writes a share as a percentage.
std::string cell(double v, int w, int d, double scale = 1.0) {
  return std::isfinite(v) ? format_F(scale * v, w, d) + (scale == 100.0 ? "%" : "")
                          : std::string(static_cast<std::size_t>(w) + (scale == 100.0 ? 1 : 0), ' ');
}

}  // namespace

double combined_error(double sfmr_se, double sonde_se, double representativeness) {
  const double rep = std::isfinite(representativeness) ? representativeness : 0.0;
  return std::sqrt(sfmr_se * sfmr_se + sonde_se * sonde_se + rep * rep);
}

std::vector<BinStats> sonde_statistics(const std::vector<Pair>& pairs) {
  std::vector<BinStats> out;
  std::vector<const Pair*> all;
  for (const Pair& p : pairs) all.push_back(&p);
  out.push_back(summarise("all", "all", all));
  wind_bins(
      pairs, "wind_by_sonde", [](const Pair& p) { return p.sonde; }, out);
  wind_bins(
      pairs, "wind_by_sfmr", [](const Pair& p) { return p.sfmr; }, out);
  const std::size_t nr = std::size(kRainEdges);
  for (std::size_t k = 0; k < nr; ++k) {
    const double lo = kRainEdges[k], hi = k + 1 < nr ? kRainEdges[k + 1] : INFINITY;
    std::vector<const Pair*> in;
    for (const Pair& p : pairs)
      if (p.rain >= lo && p.rain < hi) in.push_back(&p);
    const std::string label =
        k + 1 < nr ? format_trimmed(lo, 0) + "-" + format_trimmed(hi, 0) : "over " + format_trimmed(lo, 0);
    if (!in.empty()) out.push_back(summarise("rain_by_sfmr", label, in));
  }
  return out;
}

std::string statistics_text(const std::vector<BinStats>& stats) {
  std::string out =
      "Radiometer against dropsonde, 10-m wind (m/s): bias = radiometer - sonde; within 1 and 2 combined "
      "errors\n"
      "binning        bin          n    bias     rms    corr  n_err  within1  within2\n";
  for (const BinStats& s : stats) {
    std::string line = s.binning;
    line.resize(15, ' ');
    std::string bin = s.bin;
    bin.resize(10, ' ');
    line += bin + format_I(s.n, 5) + cell(s.bias, 8, 2) + cell(s.rms, 8, 2) + cell(s.correlation, 8, 3) +
            format_I(s.n_error, 7) + cell(s.within_one, 8, 1, 100.0) + cell(s.within_two, 8, 1, 100.0);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += '\n';
    out += line;
  }
  return out;
}

std::string statistics_csv(const std::vector<BinStats>& stats) {
  std::string out = "binning,bin,n,bias,rms,correlation,n_error,within_one,within_two\n";
  for (const BinStats& s : stats)
    out += s.binning + "," + s.bin + "," + std::to_string(s.n) + "," + format_trimmed(s.bias, 3) + "," +
           format_trimmed(s.rms, 3) + "," + format_trimmed(s.correlation, 4) + "," +
           std::to_string(s.n_error) + "," + format_trimmed(s.within_one, 4) + "," +
           format_trimmed(s.within_two, 4) + "\n";
  return out;
}

}  // namespace sfmr::sonde
