// The three track readers on lines as real files write them: padded fields, trailing commas, short b-deck
// lines, HURDAT2 lines of 20 and 21 fields, missing-value codes, several storms; and the faults each must
// name by line.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "tracks/track_file.hpp"

namespace sfmr::storm {
namespace {

// 2024-09-26 12:00 UTC, s since 1970.
constexpr double k20240926T12 = 1727352000.0;

TEST(TrackFile, ReadsTheThreeFormats) {
  struct Case {
    const char* name;
    const char* text;
    TrackFormat format;
    const char* id;
    double time, lat, lon, vmax_kt, rmw_nmi;  // of the first point; NaN: missing
    std::size_t points;
    double r50_se_nmi = std::nan("");  // the first point's 50-kt radius south-east
  };
  const double nan = std::nan("");
  const Case cases[] = {
      {.name = "b-deck, full line with trailing comma, repeated per threshold",
       .text =
           "AL, 09, 2024092612,   , BEST,   0, 245N,  852W, 105,  955, HU,  34, NEQ,  180,  160,  110,  150, "
           "1006,  250,  20, 130,  18,   L,   0,    , 355,  12,     SAMPLE,\n"
           "AL, 09, 2024092612,   , BEST,   0, 245N,  852W, 105,  955, HU,  50, NEQ,   90,   80,   60,   70, "
           "1006,  250,  20, 130,  18,   L,   0,    , 355,  12,     SAMPLE,\n",
       .format = TrackFormat::kBdeck,
       .id = "AL092024",
       .time = k20240926T12,
       .lat = 24.5,
       .lon = -85.2,
       .vmax_kt = 105,
       .rmw_nmi = 20,
       .points = 1,
       .r50_se_nmi = 80},
      {.name = "b-deck, short lines (11 fields), southern hemisphere east",
       .text = "SH, 14, 2024092612,   , BEST,   0, 123S, 1456E,  45, 1000, TS\r\n"
               "SH, 14, 2024092618,   , BEST,   0, 130S, 1450E,   0, 1000, TS\r\n",
       .format = TrackFormat::kBdeck,
       .id = "SH142024",
       .time = k20240926T12,
       .lat = -12.3,
       .lon = 145.6,
       .vmax_kt = 45,
       .rmw_nmi = nan,
       .points = 2},
      {.name = "b-deck on a leap day",
       .text = "AL, 01, 2024022912,   , BEST,   0, 245N,  852W,  35, 1005, TS\n",
       .format = TrackFormat::kBdeck,
       .id = "AL012024",
       .time = 1709208000.0,  // 2024-02-29 12:00 UTC
       .lat = 24.5,
       .lon = -85.2,
       .vmax_kt = 35,
       .rmw_nmi = nan,
       .points = 1},
      {.name = "f-deck, aircraft centre fix in hundredths, a radii-only line skipped",
       .text = "AL, 09, 202409261215, 50, AIRC, CI, , 2441N, 8519W, , 1, 110, 1, 950, 1, MEAS, , , , , , , , "
               ", , , "
               ", 18,\n"
               "AL, 09, 202409261230, 50, AIRC, R, , 2445N, 8522W, , 1,\n",
       .format = TrackFormat::kFdeck,
       .id = "AL092024",
       .time = k20240926T12 + 900.0,
       .lat = 24.41,
       .lon = -85.19,
       .vmax_kt = 110,
       .rmw_nmi = 18,
       .points = 1},
      {.name = "f-deck, sfmrstorm's own fix of a storm without a number",
       .text = "  ,   , 202409261215, 50, AIRC, CI, , 2441N, 8519W, , 1, 110,\n",
       .format = TrackFormat::kFdeck,
       .id = "unnumbered-2024",
       .time = k20240926T12 + 900.0,
       .lat = 24.41,
       .lon = -85.19,
       .vmax_kt = 110,
       .rmw_nmi = nan,
       .points = 1},
      {.name = "HURDAT2, 21 fields with RMW, trailing comma",
       .text = "AL092024,             SAMPLE,      2,\n"
               "20240926, 1200,  , HU, 24.5N,  85.2W, 105,  955,  180,  160,  110,  150,   90,   80,   60,   "
               "70,   "
               "50,   45,   30,   40,   20,\n"
               "20240927, 0310, L, HU, 30.1N,  83.9W, 120,  938,  200,  180,  120,  160,  100,   90,   70,   "
               "80,   "
               "60,   50,   40,   45,   25\n",
       .format = TrackFormat::kHurdat2,
       .id = "AL092024",
       .time = k20240926T12,
       .lat = 24.5,
       .lon = -85.2,
       .vmax_kt = 105,
       .rmw_nmi = 20,
       .points = 2,
       .r50_se_nmi = 80},
      {.name = "HURDAT2, older 20-field line, -999 radii and RMW missing",
       .text = "AL092024,             SAMPLE,      1,\n"
               "20240926, 1200,  , TS, 24.5N,  85.2W, -999, 1000, -999, -999, -999, -999, -999, -999, -999, "
               "-999, "
               "-999, -999, -999, -999,\n",
       .format = TrackFormat::kHurdat2,
       .id = "AL092024",
       .time = k20240926T12,
       .lat = 24.5,
       .lon = -85.2,
       .vmax_kt = nan,
       .rmw_nmi = nan,
       .points = 1},
  };
  for (const Case& c : cases) {
    const TrackFile f = parse_track_file(c.text);
    EXPECT_EQ(f.format, c.format) << c.name;
    const StormTrack& s = choose_storm(f, "");
    EXPECT_EQ(s.id, c.id) << c.name;
    ASSERT_EQ(s.points.size(), c.points) << c.name;
    const TrackPoint& p = s.points.front();
    EXPECT_EQ(p.time, c.time) << c.name;
    EXPECT_NEAR(p.lat, c.lat, 1e-9) << c.name;
    EXPECT_NEAR(p.lon, c.lon, 1e-9) << c.name;
    EXPECT_EQ(std::isnan(p.vmax_kt), std::isnan(c.vmax_kt)) << c.name;
    if (!std::isnan(c.vmax_kt)) {
      EXPECT_EQ(p.vmax_kt, c.vmax_kt) << c.name;
    }
    EXPECT_EQ(std::isnan(p.rmw_nmi), std::isnan(c.rmw_nmi)) << c.name;
    if (!std::isnan(c.rmw_nmi)) {
      EXPECT_EQ(p.rmw_nmi, c.rmw_nmi) << c.name;
    }
    const double r50_se = p.radii_nmi[5];
    EXPECT_TRUE(r50_se == c.r50_se_nmi || (std::isnan(r50_se) && std::isnan(c.r50_se_nmi)))
        << c.name << ": R50 SE " << r50_se;
  }
}

TEST(TrackFile, FaultsNameTheLine) {
  struct Case {
    const char* name;
    const char* text;
    const char* message;  // a part of the error
  };
  const Case cases[] = {
      {.name = "not a track",
       .text = "time,lat,lon\n1,2,3\n",
       .message = "not an ATCF b-deck, f-deck or HURDAT2"},
      {.name = "empty", .text = "\n  \n", .message = "no data line"},
      {.name = "b-deck bad latitude",
       .text = "AL, 09, 2024092612, , BEST, 0, 245N, 852W, 105, 955, HU\nAL, 09, 2024092618, , BEST, 0, "
               "24.5X, 852W, "
               "105, 955, HU\n",
       .message = "line 2: field 7 (latitude) '24.5X'"},
      {.name = "b-deck too short",
       .text = "AL, 09, 2024092612, , BEST, 0, 245N, 852W\n",
       .message = "line 1: has 8 fields"},
      {.name = "b-deck bad hour",
       .text = "AL, 09, 2024092625, , BEST, 0, 245N, 852W, 105, 955, HU\n",
       .message = "line 1: field 3 (date-time)"},
      {.name = "b-deck 31 February",
       .text =
           "AL, 09, 2024092612, , BEST, 0, 245N, 852W, 105, 955, HU\nAL, 09, 2024023112, , BEST, 0, 245N, "
           "852W, 105, 955, HU\n",
       .message = "line 2: field 3 (date-time) '2024023112' is not a valid time"},
      {.name = "b-deck month 13",
       .text = "AL, 09, 2024130112, , BEST, 0, 245N, 852W, 105, 955, HU\n",
       .message = "line 1: field 3 (date-time) '2024130112' is not a valid time"},
      {.name = "f-deck 31 April",
       .text = "AL, 09, 202404311215, 50, AIRC, CI, , 2441N, 8519W, , 1, 110,\n",
       .message = "line 1: field 3 (date-time) '202404311215' is not a valid time"},
      {.name = "f-deck minute 60",
       .text = "AL, 09, 202409261260, 50, AIRC, CI, , 2441N, 8519W, , 1, 110,\n",
       .message = "line 1: field 3 (date-time) '202409261260' is not a valid time"},
      {.name = "HURDAT2 29 February of a common year",
       .text = "AL092023, SAMPLE, 1,\n20230229, 1200,  , HU, 24.5N,  85.2W, 105,  955,  180,  160,  110,  "
               "150,   90,   80,   60,   70,   50,   45,   30,   40\n",
       .message = "line 2: fields 1 and 2 (date and time) '202302291200' is not a valid time"},
      {.name = "b-deck basin not two letters",
       .text = "A1, 09, 2024092612, , BEST, 0, 245N, 852W, 105, 955, HU\n",
       .message = "line 1: field 1 (basin) 'A1' is not a basin"},
      {.name = "b-deck cyclone number of one digit",
       .text = "AL, 9, 2024092612, , BEST, 0, 245N, 852W, 105, 955, HU\n",
       .message = "line 1: field 2 (cyclone number) '9' is not 01-99"},
      {.name = "b-deck latitude beyond the pole",
       .text = "AL, 09, 2024092612, , BEST, 0, 910N, 852W, 105, 955, HU\n",
       .message = "line 1: field 7 (latitude) '910N' is not a latitude"},
      {.name = "HURDAT2 storm id in lower case",
       .text = "al092024, SAMPLE, 1,\n",
       .message = "line 1: field 1 (storm id) 'al092024' is not a basin, number and year"},
      {.name = "HURDAT2 19 fields",
       .text = "AL092024, SAMPLE, 1,\n20240926, 1200,  , HU, 24.5N,  85.2W, 105,  955,  180,  160,  110,  "
               "150,   90,  "
               " 80,   60,   70,   50,   45,   30\n",
       .message = "line 2: has 19 fields"},
      {.name = "HURDAT2 Vmax not a number",
       .text = "AL092024, SAMPLE, 1,\n\n20240926, 1200,  , HU, 24.5N,  85.2W, 1o5,  955,  180,  160,  110,  "
               "150,   90,  "
               " 80,   60,   70,   50,   45,   30,   40\n",
       .message = "line 3: field 7 (Vmax) '1o5'"},
  };
  for (const Case& c : cases) {
    try {
      parse_track_file(c.text);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

TEST(TrackFile, ChoosesAStormAndInterpolates) {
  const TrackFile f = parse_track_file(
      "AL092024, ONE, 2,\n20240926, 1200,  , HU, 24.0N,  85.0W, 100, 950, 0,0,0,0,0,0,0,0,0,0,0,0, 20\n"
      "20240926, 1800,  , HU, 25.0N,  86.0W, 100, 950, 0,0,0,0,0,0,0,0,0,0,0,0, 20\n"
      "EP142024, TWO, 1,\n20240926, 1200,  , HU, 14.0N, 105.0W, 100, 950, 0,0,0,0,0,0,0,0,0,0,0,0\n");
  struct Case {
    const char* id;
    const char* message;  // error part, or empty
  };
  const Case cases[] = {{"", "holds 2 storms: AL092024 EP142024; choose one with --storm"},
                        {"AL102024", "AL102024 is not in"},
                        {"EP142024", ""}};
  for (const Case& c : cases) {
    try {
      EXPECT_EQ(choose_storm(f, c.id).id, c.id);
      EXPECT_STREQ(c.message, "") << c.id;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.id << ": " << e.what();
      EXPECT_STRNE(c.message, "") << c.id;
    }
  }
  struct At {
    double dt, lat, lon;  // s after 12 UTC
  };
  const At points[] = {
      {0.0, 24.0, -85.0}, {5400.0, 24.25, -85.25}, {21600.0, 25.0, -86.0}, {25200.0, 25.1667, -86.1667}};
  for (const At& a : points) {
    double lat = 0.0, lon = 0.0;
    track_position(choose_storm(f, "AL092024"), k20240926T12 + a.dt, lat, lon);
    EXPECT_NEAR(lat, a.lat, 1e-4) << a.dt;
    EXPECT_NEAR(lon, a.lon, 1e-4) << a.dt;
  }
}

// The storms a message names: all of up to ten, else the first nine, "..." and the last.
TEST(TrackFile, ListsNameAtMostTenItems) {
  struct Case {
    std::size_t n;  // items S1 .. Sn
    const char* expected;
  };
  const Case cases[] = {{1, "1 storm: S1"},
                        {3, "3 storms: S1 S2 S3"},
                        {10, "10 storms: S1 S2 S3 S4 S5 S6 S7 S8 S9 S10"},
                        {11, "11 storms: S1 S2 S3 S4 S5 S6 S7 S8 S9 ... S11"},
                        {25, "25 storms: S1 S2 S3 S4 S5 S6 S7 S8 S9 ... S25"}};
  for (const Case& c : cases) {
    std::vector<std::string> items;
    for (std::size_t k = 1; k <= c.n; ++k) {
      items.emplace_back("S");
      items.back() += std::to_string(k);
    }
    EXPECT_EQ(counted_list(items, "storm", "storms"), c.expected) << c.n << " items";
  }
}

}  // namespace
}  // namespace sfmr::storm
