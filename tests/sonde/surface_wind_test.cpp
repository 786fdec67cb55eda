// The sonde's 10-m wind: WL150 by its rule on hand-made profiles, the choice of method, the reduction table
// reader, and the month of a TEMP DROP.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/calendar.hpp"
#include "sonde/date_context.hpp"
#include "sonde/surface_wind.hpp"

namespace {

using namespace sfmr::sonde;

// Samples from the west at `heights` (m), the speed 20 m/s at 10 m growing by 0.1 m/s per m, falling at
// 12 m/s (time after release 600 s at 0 m), with an extra `gap` s before every sample above `gap_above` m.
std::vector<Level> profile(const std::vector<double>& heights, double gap = 0.0, double gap_above = 1e9) {
  std::vector<Level> levels;
  for (double z : heights) {
    Level l;
    l.kind = LevelKind::kSample;
    l.height = z;
    l.time = 600.0 - z / 12.0 - (z > gap_above ? gap : 0.0);
    l.wind = {.from_deg = 270.0, .speed = 20.0 + 0.1 * (z - 10.0)};
    levels.push_back(l);
  }
  return levels;
}

TEST(SondeSurfaceWind, Wl150Rule) {
  struct Case {
    const char* name;
    std::vector<Level> levels;
    double speed, mean_height;  // NaN: no WL150
  } cases[] = {
      // Linear in height: the depth-weighted mean is the speed at the layer's middle, 10 + 75 m.
      {"linear, winds every 30 m", profile({10, 40, 70, 100, 130, 160, 190}), 27.5, 85.0},
      {"linear, top interpolated", profile({10, 55, 100, 145, 190}), 27.5, 85.0},
      {"two winds in the layer", profile({10, 100, 300}), NAN, NAN},
      {"winds span less than 112.5 m", profile({10, 30, 50, 70, 400}), NAN, NAN},
      {"a 40-s gap ends the layer", profile({10, 40, 70, 100, 130, 160}, 45.0, 75.0), NAN, NAN},
      {"a 30-s gap does not", profile({10, 40, 70, 100, 130, 160}, 30.0, 75.0), 27.5, 85.0},
  };
  for (const Case& c : cases) {
    const LayerWind w = wl150_from_profile(c.levels);
    if (std::isnan(c.speed)) {
      EXPECT_FALSE(w.wind.known()) << c.name << ": got " << w.wind.speed;
      continue;
    }
    EXPECT_NEAR(w.wind.speed, c.speed, 1e-9) << c.name;
    EXPECT_NEAR(w.wind.from_deg, 270.0, 1e-9) << c.name;
    EXPECT_NEAR(w.mean_height, c.mean_height, 1e-9) << c.name;
  }
}

Sonde with_levels(std::vector<Level> levels) {
  Sonde s;
  s.levels = std::move(levels);
  return s;
}

TEST(SondeSurfaceWind, Method) {
  const ReductionTable& table = default_reduction();
  Sonde message_only;
  message_only.wl150 = {.wind = {.from_deg = 90.0, .speed = 30.0}, .mean_height = 75.0};
  Sonde mbl_only;
  mbl_only.mbl.wind = {.from_deg = 90.0, .speed = 30.0};
  struct Case {
    const char* name;
    Sonde sonde;
    Method method;
    double speed, error;
  } cases[] = {
      {"lowest at 12 m", with_levels(profile({12, 40, 70})), Method::kLowest, 20.2, std::hypot(0.5, 2.02)},
      {"WL150 from the profile", with_levels(profile({20, 50, 80, 110, 140, 170})), Method::kWl150,
       table.factor(95.0) * 28.5, std::hypot(2.0, 0.05 * 28.5)},
      {"the message's WL150", message_only, Method::kWl150, 0.851 * 30.0, std::hypot(2.0, 1.5)},
      {"the message's MBL", mbl_only, Method::kMbl, 0.782 * 30.0, std::hypot(2.0, 1.5)},
      {"nothing", with_levels(profile({300, 400})), Method::kNone, NAN, NAN},
  };
  for (const Case& c : cases) {
    const SurfaceEstimate e = estimate_surface_wind(c.sonde, table);
    EXPECT_EQ(e.method, c.method) << c.name << ": " << e.method_text;
    if (c.method == Method::kNone) {
      EXPECT_FALSE(e.wind.known() || e.note.empty()) << c.name;
      continue;
    }
    EXPECT_NEAR(e.wind.speed, c.speed, 1e-9) << c.name << ": " << e.method_text;
    EXPECT_NEAR(e.error, c.error, 1e-9) << c.name;
  }
}

TEST(SondeSurfaceWind, ReductionTableFile) {
  struct Case {
    const char* text;
    const char* fault;  // part of the error, "" when it reads
    double at_50;
  } cases[] = {
      {"# z factor\n0 1.0\n100 0.8\n", "", 0.9},
      {"0 1.0\r\n\n100 0.8 # comment\r\n", "", 0.9},
      {"0 1.0\n", "line 1: fewer than two rows", 0},
      {"0 1.0\n100 0.8 7\n", "line 2: not", 0},
      {"0 1.0\n0 0.8\n", "line 2: mean heights must increase", 0},
      {"0 1.0\n100 0\n", "line 2: factor", 0},
      {"0 1.0\n100 0.8x\n", "line 2: not", 0},
  };
  for (const Case& c : cases) {
    try {
      const ReductionTable t = read_reduction_table(c.text, "test");
      EXPECT_STREQ(c.fault, "") << c.text;
      EXPECT_NEAR(t.factor(50.0), c.at_50, 1e-6) << c.text;
    } catch (const SondeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << c.text << ": " << e.what();
      EXPECT_STRNE(c.fault, "") << c.text << ": " << e.what();
    }
  }
}

TEST(SondeSurfaceWind, MonthOfTheBulletin) {
  const auto day = [](int y, int m, int d) {
    return static_cast<double>(sfmr::days_from_civil(y, m, d)) * 86400;
  };
  struct Case {
    const char* name;
    std::optional<DateContext> context;
    int sent_day, day;
    double want;  // NaN: no such day
  } cases[] = {
      {"--month", parse_month("2017-09"), 20, 20, day(2017, 9, 20)},
      {"observed the day before the first", parse_month("2017-09"), 1, 31, day(2017, 8, 31)},
      {"file name", date_from_file_name("/a/b/UZNT13_201701010005.txt"), 31, 31, day(2016, 12, 31)},
      {"file name, same day", date_from_file_name("x_201709200300.txt"), 20, 20, day(2017, 9, 20)},
      {"no 31 September", parse_month("2017-09"), 31, 31, NAN},
      {"observed past midnight after the month's last day", parse_month("2017-09"), 30, 1, day(2017, 10, 1)},
      {"past midnight after 31 December", parse_month("2017-12"), 31, 1, day(2018, 1, 1)},
      {"past midnight after 28 February of a common year", parse_month("2017-02"), 28, 1, day(2017, 3, 1)},
      {"past midnight after 29 February of a leap year", parse_month("2016-02"), 29, 1, day(2016, 3, 1)},
      {"28 February of a leap year is not its last day", parse_month("2016-02"), 28, 1, day(2016, 2, 1)},
      {"file name on 29 February of a leap year", date_from_file_name("x_201602291200.txt"), 29, 29,
       day(2016, 2, 29)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.context.has_value()) << c.name;
    const double got = day_start(*c.context, c.sent_day, c.day);
    EXPECT_TRUE(std::isnan(c.want) ? std::isnan(got) : got == c.want) << c.name << ": got " << got;
  }
  for (const char* bad : {"2017-13", "2017-9", "17-09-01", "2017-09x"}) EXPECT_FALSE(parse_month(bad)) << bad;
  for (const char* bad : {"/d/201713010000.txt", "/d/201702290000.txt", "2017090100001.txt", "UZNT13.txt"})
    EXPECT_FALSE(date_from_file_name(bad)) << bad;
}

}  // namespace
