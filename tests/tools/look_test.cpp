// Summary and plot data of a processed flight: status bands, the flight summary and its CSV line, damaged
// records in a console transcript, time labels, map frames and tics, status runs, coastline segments and
// the truth comparison.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "look/flight_summary.hpp"
#include "look/truth.hpp"
#include "out_file/out_reader.hpp"
#include "plot/plot_data.hpp"
#include "plot/quicklook.hpp"
#include "support/test_util.hpp"

namespace sfmr::look {
namespace {

using plot::convert_segments;
using plot::degree_tics;
using plot::LandGrid;
using plot::map_frame;
using plot::MapFrame;
using plot::write_bands;
using plot::write_land_outlines;
using plot::write_series;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// One second as the reader delivers it: time, position, retrieval and onboard values and status texts.
flight::OutSecond second(std::int64_t elapsed, float lat, float lon, float ws, float rr, const char* err,
                         float psws = 0.0f, float psrr = 0.0f, const char* pserr = "F012345   ") {
  flight::OutSecond s;
  s.elapsed = elapsed;
  s.clock = static_cast<std::int32_t>(elapsed % 86400);
  s.Lat = lat;
  s.Lon = lon;
  s.SFWS = ws;
  s.SFRR = rr;
  s.PSWS = psws;
  s.PSRR = psrr;
  EXPECT_EQ(flight::classify_retrieval(fixed_text(err, flight::kStatusWidth), s.Err), "") << err;
  EXPECT_EQ(flight::classify_onboard(fixed_text(pserr, flight::kStatusWidth), s.PSErr), "") << pserr;
  return s;
}

TEST(FlightSummary, StatusTextsFallIntoTheBandsOfThePlot) {
  struct Case {
    const char* text;
    Band band;
  };
  const Case cases[] = {
      {"F012345", Band::AllChannels},   {"ZeroWS&RR", Band::AllChannels}, {"F0-2345", Band::FewerChannels},
      {"F------", Band::FewerChannels}, {"OverLand", Band::OverLand},     {"BigRoll", Band::BigRoll},
      {"NoData", Band::NoData},         {"NoSolution", Band::NoSolution}, {"RefTempErr", Band::NoSolution}};
  for (const Case& c : cases) EXPECT_EQ(band_of(second(0, 25, -80, 10, 1, c.text).Err), c.band) << c.text;
}

TEST(FlightSummary, CountsSecondsRetrievalsAndExtremes) {
  struct Case {
    const char* name;
    std::vector<flight::OutSecond> seconds;
    int retrieved;
    double max_ws;
    std::int64_t max_ws_at;
    bool max_ws_position;
    int statuses;  // rows of the status table
  };
  const Case cases[] = {
      {.name = "across midnight, a big roll's repeated values are no retrieval",
       .seconds = {second(86398, 25, -80, 10, 1, "F012345"), second(86399, 25.1f, -80.1f, 20, 2, "F0-2345"),
                   second(86400, 25.2f, -80.2f, 50, 3, "BigRoll"),
                   second(86401, 25.3f, -80.3f, 15, 4, "F012345")},
       .retrieved = 3,
       .max_ws = 20.0,
       .max_ws_at = 86399,
       .max_ws_position = true,
       .statuses = 3},
      {.name = "asterisks in the wind column are no retrieval",
       .seconds = {second(100, 25, -80, kNaN, 1, "F012345"), second(101, 25, -80, 12, 1, "F012345")},
       .retrieved = 1,
       .max_ws = 12.0,
       .max_ws_at = 101,
       .max_ws_position = true,
       .statuses = 1},
      {.name = "the maximum before any aircraft record has no position",
       .seconds = {second(5, 0, 0, 30, 1, "F012345"), second(6, 25, -80, 12, 1, "F012345")},
       .retrieved = 2,
       .max_ws = 30.0,
       .max_ws_at = 5,
       .max_ws_position = false,
       .statuses = 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FlightSummary s = summarise_flight(c.seconds);
    EXPECT_EQ(s.seconds, static_cast<int>(c.seconds.size()));
    EXPECT_EQ(s.first, c.seconds.front().elapsed);
    EXPECT_EQ(s.last, c.seconds.back().elapsed);
    EXPECT_EQ(s.retrieved, c.retrieved);
    ASSERT_TRUE(s.max_ws.has_value());
    EXPECT_DOUBLE_EQ(s.max_ws->value, c.max_ws);
    EXPECT_EQ(s.max_ws->elapsed, c.max_ws_at);
    EXPECT_EQ(s.max_ws->position, c.max_ws_position);
    EXPECT_EQ(static_cast<int>(s.statuses.size()), c.statuses);
    int total = 0;
    for (const auto& [text, n] : s.statuses) total += n;
    EXPECT_EQ(total, s.seconds) << "every second has one status row";
  }
}

TEST(FlightSummary, ComparesTheRetrievalWithTheOnboardSolution) {
  struct Case {
    const char* name;
    std::vector<flight::OutSecond> seconds;
    int n;
    double bias, rms;
    std::optional<double> correlation;
  };
  const Case cases[] = {
      // Differences -1, 1, -3; centred retrieval -10, 0, 10 and onboard -10, -2, 12.
      {.name = "three pairs",
       .seconds = {second(0, 25, -80, 10, 0, "F012345", 11, 0), second(1, 25, -80, 20, 0, "F012345", 19, 0),
                   second(2, 25, -80, 30, 0, "F012345", 33, 0)},
       .n = 3,
       .bias = -1.0,
       .rms = std::sqrt(11.0 / 3.0),
       .correlation = 220.0 / std::sqrt(200.0 * 248.0)},
      {.name = "onboard without a solution and seconds without a retrieval are left out",
       .seconds = {second(0, 25, -80, 10, 0, "F012345", 11, 0),
                   second(1, 25, -80, 20, 0, "F012345", 19, 0, " NoData"),
                   second(2, 25, -80, 30, 0, "OverLand", 33, 0), second(3, 25, -80, 14, 0, "F012345", 12, 0)},
       .n = 2,
       .bias = 0.5,
       .rms = std::sqrt(2.5),
       .correlation = std::nullopt},
      {.name = "no pair",
       .seconds = {second(0, 25, -80, 10, 0, "NoData", 11, 0)},
       .n = 0,
       .bias = 0.0,
       .rms = 0.0,
       .correlation = std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Comparison w = summarise_flight(c.seconds).ws_vs_onboard;
    EXPECT_EQ(w.n, c.n);
    EXPECT_NEAR(w.bias, c.bias, 1e-9);
    EXPECT_NEAR(w.rms, c.rms, 1e-9);
    ASSERT_EQ(w.correlation.has_value(), c.correlation.has_value());
    if (c.correlation) {
      EXPECT_NEAR(*w.correlation, *c.correlation, 1e-9);
    }
  }
}

TEST(FlightSummary, CsvLineHasTheCampaignColumns) {
  const auto repaired = [](flight::OutSecond s, flight::TimeQuality q) {
    s.time_quality = q;
    return s;
  };
  struct Case {
    const char* name;
    std::vector<flight::OutSecond> seconds;
    std::optional<int> damaged;
    const char* values;
  };
  const Case cases[] = {
      {.name = "retrievals and a console",
       .seconds = {second(0, 25, -80, 54.875f, 47.154f, "F012345"), second(1, 25, -80, 3, 5, "F0-2345"),
                   second(2, 25, -80, 60, 60, "OverLand")},
       .damaged = 21,
       .values = "3,2,0.6667,54.88,47.15,21,0,00:00:00,25.000,-80.000"},
      {.name = "no retrieval, no console",
       .seconds = {second(0, 25, -80, 5, 5, "NoData")},
       .damaged = std::nullopt,
       .values = "1,0,0.0000,,,,0,,,"},
      {.name = "no seconds", .seconds = {}, .damaged = 0, .values = "0,0,,,,0,0,,,"},
      {.name = "times repaired, verified or not",
       .seconds = {repaired(second(0, 25, -80, 5, 5, "NoData"), flight::TimeQuality::Repaired),
                   repaired(second(1, 25, -80, 5, 5, "NoData"), flight::TimeQuality::Unverified),
                   second(2, 25, -80, 5, 5, "NoData")},
       .damaged = std::nullopt,
       .values = "3,0,0.0000,,,,2,,,"},
  };
  for (const Case& c : cases) {
    FlightSummary s = summarise_flight(c.seconds);
    s.damaged = c.damaged;
    std::ostringstream os;
    print_flight_csv(os, s);
    EXPECT_EQ(
        os.str(),
        std::string("seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records,"
                    "time_repaired,max_wind_time,max_wind_lat,max_wind_lon\n") +
            c.values + "\n")
        << c.name;
  }
}

TEST(FlightSummary, DamagedRecordsAreTheDecodersConsoleLines) {
  struct Case {
    const char* name;
    const char* console;
    int damaged;
  };
  const Case cases[] = {
      {.name = "start-up only",
       .console = "Enter SFMR setup filename: Setup success\r\nS/N: 17\r\nCreate Out File success\r\n",
       .damaged = 0},
      {.name = "both kinds",
       .console = "Create Out File success\r\n%B Read Error @ 23:16:55\r\nTherm Read Error: %T 74    \r\n"
                  "%B Read Error @ 00:00:01\r\n",
       .damaged = 3},
      {.name = "the text elsewhere in a line is not a report",
       .console = "Trying create file: %B Read Error @ .OUT\r\n",
       .damaged = 0},
      {.name = "last line without a line end", .console = "Therm Read Error: %T 1 2", .damaged = 1},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.console);
    EXPECT_EQ(count_damaged_records(in), c.damaged) << c.name;
  }
}

TEST(FlightSummary, ClockLabelsCountTheDaysCrossed) {
  struct Case {
    std::int64_t elapsed;
    const char* label;
  };
  const Case cases[] = {
      {0, "00:00:00"}, {86399, "23:59:59"}, {86400 + 3723, "01:02:03 +1d"}, {2 * 86400, "00:00:00 +2d"}};
  for (const Case& c : cases) EXPECT_EQ(clock_label(c.elapsed), c.label) << c.elapsed;
}

TEST(PlotData, DegreeTicsCarryTheHemisphere) {
  struct Case {
    double lo, hi;
    const char *pos, *neg;
    const char* tics;
  };
  const Case cases[] = {
      {.lo = -86.5,
       .hi = -81.6,
       .pos = "E",
       .neg = "W",
       .tics =
           "(\"86°W\"    -86.000, \"85°W\"    -85.000, \"84°W\"    -84.000, \"83°W\"    -83.000, \"82°W\"    "
           "-82.000)"},
      {.lo = -1.1,
       .hi = 1.1,
       .pos = "N",
       .neg = "S",
       .tics = "(\"1.0°S\"     -1.000, \"0.5°S\"     -0.500, \"0.0°\"      0.000, \"0.5°N\"      0.500, "
               "\"1.0°N\"    "
               "  "
               "1.000)"},
      {.lo = 178.0,
       .hi = 182.5,
       .pos = "E",
       .neg = "W",
       .tics = "(\"178°E\"    178.000, \"179°E\"    179.000, \"180°E\"    180.000, \"179°W\"    181.000, "
               "\"178°W\"   "
               " "
               "182.000)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(degree_tics(c.lo, c.hi, c.pos, c.neg), c.tics) << c.lo << ".." << c.hi;
}

TEST(PlotData, MapFrameHoldsTheTrackWithTheAspectOfItsLatitude) {
  struct Case {
    const char* name;
    std::vector<flight::OutSecond> seconds;
    bool shifted;
  };
  const Case cases[] = {
      {.name = "Gulf of Mexico",
       .seconds = {second(0, 25, -86, 1, 0, "F012345"), second(1, 28, -82, 1, 0, "F012345")},
       .shifted = false},
      {.name = "a short leg at 60N",
       .seconds = {second(0, 60, 5, 1, 0, "F012345"), second(1, 60.1f, 5.2f, 1, 0, "F012345")},
       .shifted = false},
      {.name = "a north-south leg",
       .seconds = {second(0, 10, -60, 1, 0, "F012345"), second(1, 20, -60, 1, 0, "F012345")},
       .shifted = false},
      {.name = "across the dateline",
       .seconds = {second(0, -17, 179.5f, 1, 0, "F012345"), second(1, -17, -179.5f, 1, 0, "F012345")},
       .shifted = true},
      {.name = "positions before the first aircraft record are left out",
       .seconds = {second(0, 0, 0, 1, 0, "NoData"), second(1, 25, -86, 1, 0, "F012345"),
                   second(2, 28, -82, 1, 0, "F012345")},
       .shifted = false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto f = map_frame(c.seconds);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->shifted, c.shifted);
    for (const flight::OutSecond& s : c.seconds) {
      if (!has_position(s)) continue;
      const double lon = c.shifted && s.Lon < 0 ? s.Lon + 360.0 : s.Lon;
      EXPECT_LT(f->west, lon);
      EXPECT_GT(f->east, lon);
      EXPECT_LT(f->south, s.Lat);
      EXPECT_GT(f->north, s.Lat);
    }
    const double mid = 0.5 * (f->south + f->north) * std::numbers::pi / 180.0;
    EXPECT_NEAR(f->ratio, (f->north - f->south) / ((f->east - f->west) * std::cos(mid)), 1e-9);
    EXPECT_GE(f->ratio, 0.6 - 1e-9);
    EXPECT_LE(f->ratio, 1.25 + 1e-9);
  }
}

TEST(PlotData, MapOfATrackRoundTheGlobeIsTheGlobeOnce) {
  // Longitudes across the dateline and across 0: drawn in 0..360, with room for no margin.
  const std::vector<flight::OutSecond> seconds = {second(0, 25, 0.5f, 1, 0, "F012345"),
                                                  second(1, -30, 179.9f, 1, 0, "F012345"),
                                                  second(2, 40, -0.5f, 1, 0, "F012345")};
  const auto f = map_frame(seconds);
  ASSERT_TRUE(f.has_value());
  EXPECT_LE(f->east - f->west, 360.0 + 1e-9);
  EXPECT_GE(f->south, -90.0);
  EXPECT_LE(f->north, 90.0);
  for (const flight::OutSecond& s : seconds) {
    const double lon = f->shifted && s.Lon < 0 ? s.Lon + 360.0 : s.Lon;
    EXPECT_LE(f->west, lon);
    EXPECT_GE(f->east, lon);
  }
}

TEST(PlotData, GarbledPositionDoesNotStretchTheMap) {
  std::vector<flight::OutSecond> seconds;
  for (int k = 0; k < 10; ++k) seconds.push_back(second(k, 25 + 0.01f * k, -80 + 0.01f * k, 1, 0, "F012345"));
  const auto clean = map_frame(seconds);
  seconds[4].Lat = -60;  // one record's latitude and another's longitude garbled
  seconds[7].Lon = 100;
  const auto garbled = map_frame(seconds);
  ASSERT_TRUE(clean && garbled);
  EXPECT_EQ(garbled->west, clean->west);
  EXPECT_EQ(garbled->east, clean->east);
  EXPECT_EQ(garbled->south, clean->south);
  EXPECT_EQ(garbled->north, clean->north);
}

TEST(PlotData, NoMapWithoutAValidPosition) {
  const std::vector<flight::OutSecond> cases[] = {
      {},
      {second(0, 0, 0, 1, 0, "NoData"), second(1, 0, 0, 1, 0, "NoData")},
      {second(0, kNaN, -80, 1, 0, "F012345"), second(1, 95, -80, 1, 0, "F012345")},
  };
  for (const auto& seconds : cases)
    EXPECT_FALSE(map_frame(seconds).has_value()) << seconds.size() << " seconds";
}

// The native doubles of a binary plot data file.
std::vector<double> doubles(const std::string& bytes) {
  std::vector<double> v(bytes.size() / sizeof(double));
  std::memcpy(v.data(), bytes.data(), v.size() * sizeof(double));
  return v;
}

TEST(PlotData, StatusRunsEndAtAChangeOrAGap) {
  const std::vector<flight::OutSecond> seconds = {
      second(10, 25, -80, 1, 0, "F012345"),  second(11, 25, -80, 1, 0, "ZeroWS&RR"),
      second(12, 25, -80, 1, 0, "OverLand"), second(13, 25, -80, 1, 0, "OverLand"),
      second(20, 25, -80, 1, 0, "OverLand"), second(21, 25, -80, 1, 0, "F-12345")};
  std::ostringstream os;
  write_bands(os, seconds);
  // Each run as gnuplot's boxxyerror columns: middle, 0.5, half length, 0.5, colour.
  const auto colour = [](Band b) { return " 0.5 " + std::to_string(band_colour(b)) + "\n"; };
  EXPECT_EQ(os.str(), "# middle_s y half_s half_y colour\n11 0.5 1" + colour(Band::AllChannels) + "13 0.5 1" +
                          colour(Band::OverLand) + "20.5 0.5 0.5" + colour(Band::OverLand) + "21.5 0.5 0.5" +
                          colour(Band::FewerChannels));
}

TEST(PlotData, SeriesHasNoValueWhereNoneWasMade) {
  const std::vector<flight::OutSecond> seconds = {second(86399, 25, -80, 20, 4, "F012345", 21, 5),
                                                  second(86400, 25, -80, 20, 4, "BigRoll", 21, 5, " NoData")};
  const std::map<int, TruthSecond> truth = {{86399, {19.5, 4.5, false}}, {0, {19.0, 4.0, true}}};
  std::ostringstream retrieved, onboard, truth_series;
  write_series({retrieved, onboard, &truth_series}, seconds, truth);
  EXPECT_EQ(doubles(retrieved.str()), (std::vector<double>{86399, 20, 4}));
  EXPECT_EQ(doubles(onboard.str()), (std::vector<double>{86399, 21, 5}));
  // The truth keeps the second without a value (over land), so that its line breaks there.
  const std::vector<double> t = doubles(truth_series.str());
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ((std::vector<double>(t.begin(), t.begin() + 4)), (std::vector<double>{86399, 19.5, 4.5, 86400}));
  EXPECT_TRUE(std::isnan(t[4]) && std::isnan(t[5]));
}

// The land outlines read back: polygons ("lon lat" lines, a blank line after each) per level of nesting
// (two blank lines between levels).
std::vector<std::vector<std::vector<std::pair<double, double>>>> outline_levels(const std::string& text) {
  std::vector<std::vector<std::vector<std::pair<double, double>>>> levels;
  std::istringstream in(text);
  int blanks = 2;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) {
      ++blanks;
      continue;
    }
    if (blanks >= 2) levels.emplace_back();
    if (blanks >= 1) levels.back().emplace_back();
    blanks = 0;
    std::istringstream xy(line);
    double x = 0, y = 0;
    xy >> x >> y;
    levels.back().back().emplace_back(x, y);
  }
  return levels;
}

// A point is inside a polygon when a ray from it crosses the polygon's sides an odd number of times.
bool inside(const std::vector<std::pair<double, double>>& poly, double x, double y) {
  bool in = false;
  for (std::size_t a = 0; a < poly.size(); ++a) {
    const auto [x1, y1] = poly[a];
    const auto [x2, y2] = poly[(a + 1) % poly.size()];
    if ((y1 < y) != (y2 < y) && x < x1 + (y - y1) * (x2 - x1) / (y2 - y1)) in = !in;
  }
  return in;
}

TEST(PlotData, LandOutlinesCoverTheLandCells) {
  struct Case {
    const char* name;
    std::vector<std::string> rows;  // northern row first; '#' land
    std::vector<int> polygons;      // per level of nesting
  };
  const Case cases[] = {
      {.name = "no land", .rows = {"...", "..."}, .polygons = {}},
      {.name = "one cell", .rows = {"...", ".#.", "..."}, .polygons = {1}},
      {.name = "all land to the edges", .rows = {"###", "###"}, .polygons = {1}},
      {.name = "cells touching at a corner are apart", .rows = {"#.", ".#"}, .polygons = {2}},
      {.name = "the other diagonal", .rows = {".#", "#."}, .polygons = {2}},
      {.name = "a lake", .rows = {"####", "#..#", "####"}, .polygons = {1, 1}},
      {.name = "an island in a lake",
       .rows = {"#####", "#...#", "#.#.#", "#...#", "#####"},
       .polygons = {1, 1, 1}},
      // Land cells touching at a corner are apart, so water cells touching at a corner are one water.
      {.name = "water reaching in through corners",
       .rows = {"....", ".##.", ".#.#", ".##.", "...."},
       .polygons = {2}},
      {.name = "a lake with land touching it at a corner",
       .rows = {"#####", "#...#", "#..##", "#.#.#", "#####"},
       .polygons = {1, 1}},
      {.name = "a coast", .rows = {"..###", "...##", "#..##", "##.##"}, .polygons = {2}},
  };
  for (const Case& c : cases) {
    const int ny = static_cast<int>(c.rows.size()), nx = static_cast<int>(c.rows[0].size());
    std::vector<unsigned char> mask(static_cast<std::size_t>(nx) * ny, 0);
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i)
        if (c.rows[ny - 1 - j][i] == '#') mask[static_cast<std::size_t>(j) * nx + i] = 1;
    std::ostringstream os;
    const LandGrid grid{.nx = nx, .ny = ny, .west = -80.0, .south = 20.0, .dx = 0.5, .dy = 0.25};
    const int levels = write_land_outlines(os, mask, grid);
    const auto read = outline_levels(os.str());
    ASSERT_EQ(levels, static_cast<int>(c.polygons.size())) << c.name;
    ASSERT_EQ(read.size(), c.polygons.size()) << c.name;
    for (std::size_t l = 0; l < read.size(); ++l)
      EXPECT_EQ(read[l].size(), c.polygons[l]) << c.name << ", level " << l;
    // Filled level after level (land, water, land, ...), the polygons paint land on every land cell and
    // on nothing else: what the raster's image shows.
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        const double x = grid.west + i * grid.dx, y = grid.south + j * grid.dy;
        bool land = false;
        for (std::size_t l = 0; l < read.size(); ++l)
          for (const auto& poly : read[l])
            if (inside(poly, x, y)) land = l % 2 == 0;
        EXPECT_EQ(land, c.rows[ny - 1 - j][i] == '#') << c.name << ", cell " << i << ", " << j;
      }
  }
}

TEST(PlotData, CoastSegmentsBecomeGnuplotBlocks) {
  struct Case {
    const char* gmt;
    const char* gnuplot;
    int points;
    bool shifted = false;  // a map across the dateline, in 0..360
  };
  const Case cases[] = {
      {.gmt = "> Bin\n179.5\t-17\n-179.25\t-17.5\n",
       .gnuplot = "179.5\t-17\n180.75000000\t-17.5\n",
       .points = 2,
       .shifted = true},
      // Across 0 the shifted longitudes jump round the map: the segment breaks there.
      {.gmt = "> Bin\n-0.5 51\n0.25 51.5\n",
       .gnuplot = "359.50000000 51\n\n0.25 51.5\n",
       .points = 2,
       .shifted = true},
      {.gmt = "> Shore Bin # 207, Level 1\n1 2\n3 4\n> Shore Bin # 208, Level 1\n5 6\n",
       .gnuplot = "1 2\n3 4\n\n5 6\n",
       .points = 3},
      {.gmt = "# comment\n> a\n> b\n7 8\n", .gnuplot = "7 8\n", .points = 1},
      {.gmt = "", .gnuplot = "", .points = 0},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.gmt);
    std::ostringstream out;
    EXPECT_EQ(convert_segments(in, out, c.shifted), c.points) << c.gmt;
    EXPECT_EQ(out.str(), c.gnuplot) << c.gmt;
  }
}

TEST(PlotData, PrefixThatIsADirectoryNamesTheFilesAfterTheFlight) {
  const sfmr::testing::TempDir dir;
  std::filesystem::create_directory("out");
  struct Case {
    const char *prefix, *named_after, *want;
  };
  const Case cases[] = {
      {"", "data/f.OUT", "data/f"},
      {"p", "data/f.OUT", "p"},
      {"out", "data/f.OUT", "out/f"},
      {"out/", "f.OUT", "out/f"},
      {"new/", "f.OUT", "new/f"},
      {"out/x", "f.OUT", "out/x"},
      {"out/", "flights.txt", "out/flights"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plot::output_prefix(c.prefix, c.named_after).string(), c.want)
        << c.prefix << " " << c.named_after;
}

TEST(Truth, RetrievalAndOnboardAgainstTheTruth) {
  std::istringstream truth_text(
      "Sec,WS,RR,Lat,Lon,Land\r\n86399,20.0,4.0,25,-80,0\r\n0,20.0,4.0,25,-80,0\r\n1,20,4,25,-80,0\r\nbad "
      "line\r\n");
  const std::map<int, TruthSecond> truth = read_truth(truth_text);
  ASSERT_EQ(truth.size(), 3u);
  const std::vector<flight::OutSecond> seconds = {
      second(86399, 25, -80, 21, 3, "F012345", 20, 4), second(86400, 25, -80, 19, 5, "F0-2345", 22, 4),
      second(86401, 25, -80, 50, 40, "BigRoll", 20, 4), second(86402, 25, -80, kNaN, 1, "F012345", 20, 4)};
  const TruthSummary s = compare_with_truth(seconds, truth);
  EXPECT_EQ(s.ws.n, 2);
  EXPECT_NEAR(s.ws.bias, 0.0, 1e-9);
  EXPECT_NEAR(s.ws.rms, 1.0, 1e-9);
  EXPECT_NEAR(s.rr.rms, 1.0, 1e-9);
  EXPECT_EQ(s.onboard_ws.n, 2);
  EXPECT_NEAR(s.onboard_ws.bias, 1.0, 1e-9);
  EXPECT_NEAR(s.onboard_ws.rms, std::sqrt(2.0), 1e-9);
}

// Whether a truth file belongs to the flight: shared seconds, positions within 5 km by the median (so one
// garbled position does not decide), and a retrieval among the shared seconds.
TEST(Truth, MismatchNamesWhyTheTruthIsNotTheFlights) {
  const std::vector<flight::OutSecond> flight = {second(100, 25, -80, 21, 3, "F012345"),
                                                 second(101, 25, -80, 21, 3, "F012345"),
                                                 second(102, 25, -80, kNaN, 1, "F012345")};
  auto truth = [](std::initializer_list<int> secs, double lat, double lat_102 = NAN) {
    std::map<int, TruthSecond> t;
    for (int s : secs) t[s] = {.ws = 20.0, .rr = 4.0, .lat = s == 102 ? lat_102 : lat, .lon = -80.0};
    return t;
  };
  struct Case {
    const char* name;
    std::map<int, TruthSecond> truth;
    const char* says;  // a part of the reason; empty: the flight's truth
  };
  const Case cases[] = {
      {"the flight's own", truth({100, 101, 102}, 25.0, 25.0), ""},
      {"one garbled position of three", truth({100, 101, 102}, 25.0, 31.0), ""},
      {"no positions in the truth", truth({100, 101}, NAN), ""},
      {"0.1 deg north", truth({100, 101, 102}, 25.1, 25.1), "km from the flight's positions (median over 3"},
      {"another time of day", truth({5000, 5001}, 25.0), "does not overlap the flight in time"},
      {"only a second without a retrieval", truth({102}, 25.0, 25.0), "shares no second with a retrieval"},
      {"empty", {}, "no truth line"},
  };
  for (const Case& c : cases) {
    const std::string why = truth_mismatch(flight, c.truth);
    if (*c.says == '\0') {
      EXPECT_EQ(why, "") << c.name;
    } else {
      EXPECT_NE(why.find(c.says), std::string::npos) << c.name << ": " << why;
    }
  }
}

}  // namespace
}  // namespace sfmr::look
