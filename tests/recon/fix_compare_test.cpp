// The fix comparison against an independent computation from the two files: the tool's centres as a
// centres.csv would give them and the crews' fixes as vortex data messages, the distances taken again from
// the angle between the two positions' unit vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "common/earth.hpp"
#include "recon/fix_compare.hpp"
#include "recon/message_text.hpp"
#include "recon/vdm.hpp"

namespace sfmr::recon {
namespace {

// Central angle from the unit vectors' cross and dot products (well conditioned at every distance), km.
double independent_km(double lat1, double lon1, double lat2, double lon2) {
  const double r = std::numbers::pi / 180.0;
  const double a[3] = {std::cos(lat1 * r) * std::cos(lon1 * r), std::cos(lat1 * r) * std::sin(lon1 * r),
                       std::sin(lat1 * r)};
  const double b[3] = {std::cos(lat2 * r) * std::cos(lon2 * r), std::cos(lat2 * r) * std::sin(lon2 * r),
                       std::sin(lat2 * r)};
  const double cross =
      std::hypot(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]);
  return std::atan2(cross, a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) * earth::kMeanRadiusKm;
}

// A vortex data message of a fix at day 23, `clock`, with `centre` (item B), `pressure` (item D), `accuracy`
// (item T).
std::string message(const std::string& clock, const std::string& centre, const std::string& pressure,
                    const std::string& accuracy) {
  return "URNT12 KNHC 231400\nVORTEX DATA MESSAGE AL022026\nA. 23/" + clock + "\nB. " + centre + "\nD. " +
         pressure + "\nT. " + accuracy + "\nU. AF305 0701C LALA OB 04\n$$\n";
}

TEST(FixCompare, DistancesEqualAnIndependentComputationFromTheFiles) {
  const std::string vdm_file =
      message("12:00:00Z", "29.63 deg N 092.45 deg W", "999 mb", "0.02 / 3 nm") +
      message("10:00:00Z", "29.10 deg N 091.90 deg W", "NA", "NA") +
      message("16:00:00Z", "30.40 deg N 093.30 deg W", "EXTRAP 995 mb", "0.02 / 2.5 nm");
  const std::string centres_csv =
      "time,lat,lon,source,accuracy_km\n"
      "2026-07-23T10:05:30Z,29.1204,-91.8650,flight,1.20\n"
      "2026-07-23T11:52:10Z,29.6000,-92.5000,flight,0.90\n"
      "2026-07-23T12:10:00Z,29.7001,-92.3000,flight,0.80\n";
  // The tool's fixes from the table, times by their fields.
  std::vector<CentreFix> tool;
  std::istringstream in(centres_csv);
  std::string row;
  std::getline(in, row);
  while (std::getline(in, row)) {
    const std::string_view r(row);
    const int h = *digits_value(r.substr(11, 2)), m = *digits_value(r.substr(14, 2)),
              s = *digits_value(r.substr(17, 2));
    tool.push_back({*utc_seconds(2026, 7, 23, h * 3600 + m * 60 + s), *decimal_value(r.substr(21, 7)),
                    *decimal_value(r.substr(29, 8))});
  }
  const auto vdms = read_vdm(vdm_file, "fixes.txt", tool.front().time);
  const auto ops = operational_fixes(vdms);
  const FixComparison c = compare_fixes(tool, ops);
  struct Case {
    const char* name;
    std::size_t tool_fix;
    double op_lat, op_lon, dt;
  };
  const Case cases[] = {{"first tool fix: the 10:00 fix", 0, 29.10, -91.90, -330.0},
                        {"second: the 12:00 fix, nearer than 10:00", 1, 29.63, -92.45, 470.0},
                        {"third: the 12:00 fix again", 2, 29.63, -92.45, -600.0}};
  ASSERT_EQ(c.pairs.size(), std::size(cases));
  for (const Case& k : cases) {
    const FixPair& p = c.pairs[k.tool_fix];
    ASSERT_GE(p.operational, 0) << k.name;
    EXPECT_EQ(ops[p.operational].lat, k.op_lat) << k.name;
    EXPECT_EQ(ops[p.operational].lon, k.op_lon) << k.name;
    EXPECT_EQ(p.time_difference_s, k.dt) << k.name;
    EXPECT_NEAR(p.distance_km, independent_km(tool[k.tool_fix].lat, tool[k.tool_fix].lon, k.op_lat, k.op_lon),
                1e-9)
        << k.name;
  }
  ASSERT_EQ(c.unmatched.size(), 1u) << "the 16:00 fix has no tool fix within 15 minutes";
  EXPECT_EQ(iso_time(ops[c.unmatched[0]].time), "2026-07-23T16:00:00Z");

  std::ostringstream csv;
  write_fix_compare_csv(csv, c, ops);
  std::istringstream lines(csv.str());
  std::getline(lines, row);
  EXPECT_EQ(row,
            "time,lat,lon,fix_time,fix_lat,fix_lon,fix_pressure_hpa,fix_accuracy_nmi,distance_km,"
            "time_difference_s");
  const char* const pressure_and_accuracy[] = {"-91.9000,,,", "-92.4500,999,3,", "-92.4500,999,3,"};
  for (const Case& k : cases) {
    ASSERT_TRUE(std::getline(lines, row)) << k.name;
    EXPECT_EQ(row.substr(0, 20), iso_time(tool[k.tool_fix].time)) << k.name;
    EXPECT_NE(row.find(pressure_and_accuracy[k.tool_fix]), std::string::npos) << k.name << ": " << row;
    const std::size_t last = row.rfind(','), before = row.rfind(',', last - 1);
    const double km = *decimal_value(std::string_view(row).substr(before + 1, last - before - 1));
    EXPECT_NEAR(km, independent_km(tool[k.tool_fix].lat, tool[k.tool_fix].lon, k.op_lat, k.op_lon), 0.0005)
        << k.name;
    EXPECT_EQ(*decimal_value(std::string_view(row).substr(last + 1)), k.dt) << k.name;
  }
}

TEST(FixCompare, SummaryOfTheReport) {
  // Operational fixes on the equator 1 h apart; the tool's fixes east of them by a given distance.
  const double km_per_deg = earth::kMeanRadiusKm * std::numbers::pi / 180.0;
  const std::vector<OperationalFix> ops = {{0.0, 0.0, 0.0, 990.0, 1.0}, {3600.0, 0.0, 0.0, 985.0, kNotGiven}};
  struct Case {
    const char* name;
    std::vector<double> times, km;
    std::size_t compared;
    double median_km;
    std::vector<std::size_t> beyond;
  };
  const Case cases[] = {
      {"odd count, one beyond three times 1 n mi", {60, 100, 3700}, {1, 6, 2}, 3, 2, {1}},
      {"even count: the middle two; no accuracy given, never beyond", {-60, 3650}, {4, 9}, 2, 6.5, {}},
      {"a pair 30 min apart not compared", {1800, 10}, {2, 1}, 1, 1, {}},
  };
  for (const Case& c : cases) {
    std::vector<CentreFix> tool;
    for (std::size_t i = 0; i < c.times.size(); ++i) tool.push_back({c.times[i], 0.0, c.km[i] / km_per_deg});
    const FixSummary s = summarise_fixes(compare_fixes(tool, ops), ops);
    EXPECT_EQ(s.compared, c.compared) << c.name;
    EXPECT_NEAR(s.median_distance_km, c.median_km, 1e-9) << c.name;
    EXPECT_EQ(s.beyond_accuracy, c.beyond) << c.name;
  }
}

}  // namespace
}  // namespace sfmr::recon
