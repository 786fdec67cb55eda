// Figures of the storm-analysis benchmarks: the errors collected over a group of analyses (all of them, one
// kind of storm, one flight pattern) and their summary as a table for people and as CSV rows for scripts.
// The comparison with the simulator's truth that fills them is in bench/storm_eval.cpp.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace sfmr::bench {

// The q-quantile (0..1) of `v`, linear between order statistics; NaN for an empty set.
double quantile(std::vector<double> v, double q);

// How often the truth lies within one and within two estimated errors. A pair whose estimate is missing or
// not positive is not counted.
struct Coverage {
  int n = 0, within1 = 0, within2 = 0;
  //   error     |estimate - truth|        estimate  the stated error, same unit
  void add(double error, double estimate);
  double percent1() const;  // NaN when n = 0
  double percent2() const;
};

struct Figures {
  int analyses = 0;                 // sfmrstorm runs
  int refused = 0;                  // of them, refused (no output)
  int refused_with_pass = 0;        // refused although a flight passed within 10 km of the true centre
  int passes_near = 0;              // true passes within 10 km of the centre
  int passes_found = 0;             // of them, with a fix within 2 minutes
  std::vector<double> fix_through;  // centre fix errors, km, passes through the centre (miss < 2 km)
  std::vector<double> fix_miss;     // the same for passes that miss it
  int fix_spurious = 0;             // fixes with no true pass within 1 RMW (or 10 km) of the centre near them
  std::vector<double> peak;         // |leg peak 10-s mean - truth|, m/s
  std::vector<double> rmw;          // |leg RMW - truth|, km, legs whose true peak lies inside the leg
  std::vector<double> motion;       // |motion - truth|, m/s (vector difference)
  Coverage fix_cov, peak_cov, rmw_cov;
  int radii_pairs = 0;        // radii given by the analysis where the truth has data
  int radii_ok = 0;           // of them, within 5 n mi of the truth
  int radii_unseen = 0;       // quadrant and threshold whose data do not show the crossing
  int radii_unjustified = 0;  // of them, given a radius all the same (no E, no U)

  // Adds another group's figures to these.
  void merge(const Figures& other);
};

// Times t[i] of the least distances r[i] (km) below `limit_km`: the lowest of the samples within `reach`
// either side (the first of equal ones). Without `clipped`, only where that whole window lies inside the
// series; with it, the window is cut at the ends of the series, whose first and last samples never count.
std::vector<double> least_distance_times(const std::vector<double>& t, const std::vector<double>& r,
                                         double limit_km, std::size_t reach, bool clipped);

// What the true 10-s means over an analysis's legs show in one quadrant for one threshold.
struct RadiusTruth {
  bool has_data = false;    // any mean in the quadrant
  double outer_mean = 0.0;  // m/s, the mean farthest from the centre
  double reached_km = 0.0;  // the farthest distance at which a mean reaches the threshold; 0 if none does
  double inner_km = 1e9;    // the least distance of any mean
};

// The quadrants (0 NE, 1 SE, 2 SW, 3 NW) that a mean at `km` and `bearing` (deg) from the true centre
// counts for: its own, and the neighbour across a boundary's half-line when it lies within `band_km` of it,
// as the analysis counts a boundary leg for both sides (a figure-four's legs run along the boundaries, and
// which side of the line the true centre puts them on is chance).
std::vector<std::size_t> true_quadrants(double km, double bearing, double band_km);

// Scores one analysed radius (`nmi`, NaN when empty, with its `flag`) for the threshold `threshold_ms` in a
// storm of RMW `rmw_km`. The data show the crossing when the outermost mean is below the threshold and some
// mean either reaches it or lies inside the RMW; elsewhere the radius counts in radii_unseen, and in
// radii_unjustified when given without E or U. A radius given where the quadrant has data is a pair, which
// agrees when within 5 n mi of reached_km.
void score_radius(const RadiusTruth& truth, double threshold_ms, double rmw_km, double nmi,
                  const std::string& flag, Figures& fig);

// Named groups in the order they are printed; the first is usually "all".
using Groups = std::vector<std::pair<std::string, Figures>>;

// The group named `name`, appended when absent.
Figures& group(Groups& groups, const std::string& name);

// CSV header and one row per group (`group` first); empty cells for figures without data.
std::string summary_header();
std::string summary_row(const std::string& name, const Figures& f);

// The same figures as a fixed-width table, one line per group, with a header naming the columns.
void print_table(std::ostream& out, const Groups& groups);

}  // namespace sfmr::bench
