// The storm benchmarks' figures on hand-made sets: quantiles, the coverage of stated errors, the merging of
// groups and the CSV summary's cells.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "storm_figures.hpp"

namespace sfmr::bench {
namespace {

std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::stringstream ss(row + ",");
  std::string c;
  while (std::getline(ss, c, ',')) out.push_back(c);
  return out;
}

TEST(StormFigures, QuantilesInterpolateBetweenOrderStatistics) {
  struct Case {
    const char* name;
    std::vector<double> values;
    double q, want;
  } cases[] = {
      {"median of an odd set, unsorted", {5, 1, 3}, 0.5, 3.0},
      {"median of an even set", {4, 1, 3, 2}, 0.5, 2.5},
      {"90th percentile of 0..10", {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, 0.9, 9.0},
      {"90th percentile between two values", {0, 10}, 0.9, 9.0},
      {"one value", {7}, 0.9, 7.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(quantile(c.values, c.q), c.want) << c.name;
  EXPECT_TRUE(std::isnan(quantile({}, 0.5))) << "an empty set has no median";
}

TEST(StormFigures, CoverageCountsTruthWithinOneAndTwoStatedErrors) {
  struct Case {
    const char* name;
    double error, estimate;
    int n, within1, within2;
  } cases[] = {
      {"inside one", 0.5, 1.0, 1, 1, 1},           {"on one exactly", 1.0, 1.0, 1, 1, 1},
      {"between one and two", 1.5, 1.0, 1, 0, 1},  {"beyond two", 2.5, 1.0, 1, 0, 0},
      {"no estimate", 0.5, std::nan(""), 0, 0, 0}, {"zero estimate", 0.0, 0.0, 0, 0, 0},
      {"no error", std::nan(""), 1.0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Coverage cov;
    cov.add(c.error, c.estimate);
    EXPECT_EQ(cov.n, c.n) << c.name;
    EXPECT_EQ(cov.within1, c.within1) << c.name;
    EXPECT_EQ(cov.within2, c.within2) << c.name;
  }
  Coverage cov;
  for (double e : {0.2, 0.9, 1.4, 3.0}) cov.add(e, 1.0);
  EXPECT_DOUBLE_EQ(cov.percent1(), 50.0);
  EXPECT_DOUBLE_EQ(cov.percent2(), 75.0);
}

TEST(StormFigures, TruePassesAreLeastDistancesWithinTheirWindow) {
  // Distances every second: a pass at 4 (1 km), one at 12 (3 km), one at 18 (0.5 km) too near the end for
  // a whole window of 3 either side, and the series' last second lower still.
  const std::vector<double> r = {9, 7, 5, 3, 1, 3, 5, 7, 9, 8, 6, 4, 3, 4, 6, 8, 6, 2, 0.5, 2, 0.2};
  std::vector<double> t(r.size());
  for (std::size_t i = 0; i < t.size(); ++i) t[i] = 100.0 + static_cast<double>(i);
  struct Case {
    const char* name;
    double limit;
    bool clipped;
    std::vector<double> want;
  } cases[] = {
      {"whole windows", 10.0, false, {104, 112}},
      {"within 2 km", 2.0, false, {104}},
      {"windows cut at the ends", 10.0, true, {104, 112}},
      {"none below the limit", 0.5, false, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(least_distance_times(t, r, c.limit, 3, c.clipped), c.want) << c.name;
  // The last second (0.2 km) never counts, so the pass at 18 is hidden by it even with clipped windows;
  // without that second it shows.
  const std::vector<double> cut(r.begin(), r.end() - 1), tc(t.begin(), t.end() - 1);
  const std::vector<double> want = {104, 112};
  EXPECT_EQ(least_distance_times(tc, cut, 10.0, 3, false), want) << "whole windows, series cut";
  const std::vector<double> want_clipped = {104, 112, 118};
  EXPECT_EQ(least_distance_times(tc, cut, 10.0, 3, true), want_clipped) << "windows cut, series cut";
}

TEST(StormFigures, RadiiScoredOnlyWhereTheDataShowTheCrossing) {
  const double nan = std::nan(""), threshold = 17.5, rmw = 30.0;
  struct Case {
    const char* name;
    RadiusTruth truth;
    double nmi;
    const char* flag;
    int pairs, ok, unseen, unjustified;
  } cases[] = {
      {"crossing shown, radius agrees", {true, 12.0, 92.6, 10.0}, 52.0, "", 1, 1, 0, 0},
      {"crossing shown, radius 6 n mi off", {true, 12.0, 92.6, 10.0}, 56.0, "", 1, 0, 0, 0},
      {"data end above the threshold, no E", {true, 20.0, 92.6, 10.0}, 50.0, "", 1, 1, 1, 1},
      {"data end above the threshold, E", {true, 20.0, 92.6, 10.0}, 50.0, "E", 1, 1, 1, 0},
      {"all below, none inside the RMW, 0", {true, 12.0, 0.0, 45.0}, 0.0, "", 1, 1, 1, 1},
      {"all below, none inside the RMW, U", {true, 12.0, 0.0, 45.0}, nan, "U", 0, 0, 1, 0},
      {"all below, one inside the RMW, 0", {true, 12.0, 0.0, 20.0}, 0.0, "", 1, 1, 0, 0},
      {"no data, radius given", {false, 0.0, 0.0, 1e9}, 30.0, "", 0, 0, 1, 1},
      {"no data, empty", {false, 0.0, 0.0, 1e9}, nan, "", 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    Figures f;
    score_radius(c.truth, threshold, rmw, c.nmi, c.flag, f);
    EXPECT_EQ(f.radii_pairs, c.pairs) << c.name;
    EXPECT_EQ(f.radii_ok, c.ok) << c.name;
    EXPECT_EQ(f.radii_unseen, c.unseen) << c.name;
    EXPECT_EQ(f.radii_unjustified, c.unjustified) << c.name;
  }
}

TEST(StormFigures, BoundaryMeansCountForBothQuadrants) {
  struct Case {
    const char* name;
    double km, bearing;
    std::vector<std::size_t> want;  // own quadrant first (0 NE, 1 SE, 2 SW, 3 NW)
  } cases[] = {
      {"well inside NE", 100.0, 10.0, {0}},
      {"1.7 km east of the north half-line", 100.0, 1.0, {0, 3}},
      {"1.7 km west of the north half-line", 100.0, 359.0, {3, 0}},
      {"0.9 km west of the south half-line", 50.0, 181.0, {2, 1}},
      {"0.9 km south of the east half-line", 100.0, 90.5, {1, 0}},
      {"on the west half-line", 100.0, 270.0, {3, 2}},
      {"2.6 km from the west half-line", 100.0, 268.5, {2}},
      {"near the centre: both lines", 1.0, 45.0, {0, 3, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(true_quadrants(c.km, c.bearing, 2.0), c.want) << c.name;
}

TEST(StormFigures, GroupsMergeAndSummariseAsCsv) {
  Figures a, b;
  a.analyses = 2;
  a.refused = 1;
  a.refused_with_pass = 1;
  a.passes_near = 3;
  a.passes_found = 2;
  a.fix_through = {0.1, 0.3};
  a.peak = {0.2};
  a.fix_cov.add(0.1, 0.2);
  a.radii_pairs = 4;
  a.radii_ok = 3;
  b.analyses = 1;
  b.passes_near = 2;
  b.passes_found = 2;
  b.fix_through = {0.2};
  b.fix_miss = {1.0, 3.0};
  b.fix_spurious = 1;
  b.rmw = {0.5, 1.5};
  b.motion = {0.4};
  b.fix_cov.add(5.0, 1.0);
  b.radii_unseen = 2;
  b.radii_unjustified = 1;
  Groups groups;
  group(groups, "all").merge(a);
  group(groups, "all").merge(b);
  group(groups, "pattern=alpha").merge(b);
  ASSERT_EQ(groups.size(), 2u);
  const std::vector<std::string> head = cells(summary_header());
  const std::vector<std::string> row = cells(summary_row("all", groups[0].second));
  ASSERT_EQ(head.size(), row.size());
  auto at = [&](const std::string& column) {
    for (std::size_t i = 0; i < head.size(); ++i)
      if (head[i] == column) return row[i];
    return std::string("no column " + column);
  };
  struct Case {
    const char* column;
    const char* want;
  } cases[] = {
      {"group", "all"},
      {"analyses", "3"},
      {"refused", "1"},
      {"refused_with_pass", "1"},
      {"passes_near", "5"},
      {"passes_found", "4"},
      {"fix_through_n", "3"},
      {"fix_through_median_km", "0.200"},
      {"fix_miss_p90_km", "2.800"},
      {"fix_spurious", "1"},
      {"peak_median_ms", "0.200"},
      {"rmw_median_km", "1.000"},
      {"radii_within_5nmi", "3"},
      {"radii_unjustified", "1"},
      {"fix_cov_n", "2"},
      {"fix_within1_pct", "50.0"},
      {"peak_within1_pct", ""},
      {"motion_median_ms", "0.400"},
  };
  for (const Case& c : cases) EXPECT_EQ(at(c.column), c.want) << c.column;
  std::ostringstream table;
  print_table(table, groups);
  EXPECT_NE(table.str().find("pattern=alpha"), std::string::npos) << table.str();
}

}  // namespace
}  // namespace sfmr::bench
