#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "common/earth.hpp"
#include "core/text.hpp"
#include "records/brightness.hpp"
#include "records/thermal.hpp"
#include "retrieval/driver.hpp"
#include "setup/raw_file.hpp"
#include "sim/flight.hpp"
#include "sim/sst_grid.hpp"
#include "sim/storm.hpp"
#include "sim/track.hpp"
#include "sst/sst_field.hpp"
#include "support/test_util.hpp"

namespace sfmr::sim {
namespace {

using sfmr::testing::lines_of;
using sfmr::testing::ScriptedConsole;

// A brightness temperature turned into counts by the simulator comes back out of the processing's own
// decoders and calibration within the count quantisation (1/20000 of the ratio span, under 0.01 K here).
TEST(Simulator, CountsReproduceTheBrightnessTemperature) {
  const Radiometer radiometer = sample_radiometer();
  const char* therm_lines[] = {"%T 744 755 779 786 795 1086 1094 696",
                               "%T 700 710 760 770 800 1050 1110 650"};
  const double tbs[] = {95.0, 150.25, 180.5, 262.75};
  for (const char* therm : therm_lines) {
    for (double tb : tbs) {
      for (int ch = 0; ch < 6; ++ch) {
        State s;
        s.cal.coef = radiometer.coef;
        ScriptedConsole c;
        decodetherm(s, c.console, fixed_text(therm));
        const auto counts = counts_for_ratio(
            ratio_for_tb(radiometer.coef[static_cast<std::size_t>(ch)], s.sfmr.Th, tb), 40123);
        decodebright(s, c.console,
                     fixed_text("%B," + std::to_string(ch) + "," + std::to_string(counts[0]) + "," +
                                std::to_string(counts[1]) + "," + std::to_string(counts[2])));
        for (int k = 0; k < 4; ++k) decodebright(s, c.console, fixed_text("%B,x"));
        btemp(s);
        EXPECT_NEAR(s.sfmr.Tb[static_cast<std::size_t>(ch)], tb, 0.01) << therm << " channel " << ch;
        EXPECT_EQ(c.transcript().find("Therm"), std::string::npos);
      }
    }
  }
}

TEST(Simulator, ModelWindGivesTheStormWindAfterTheRainCorrection) {
  const double cases[][2] = {{0.0, 0.0}, {10.0, 5.0}, {45.0, 50.0}, {60.0, 20.0}, {3.0, 0.3}};
  for (const auto& c : cases) {
    const double u = model_wind_for(c[0], c[1]);
    EXPECT_NEAR(u - (0.2035 - 0.0043 * u) * c[1], c[0], 1e-12) << c[0] << " m/s, " << c[1] << " mm/h";
  }
}

TEST(Simulator, GridBytesGiveTheIntendedCodes) {
  for (int code = 1; code <= 173; ++code) {
    EXPECT_EQ(sst_code_from_byte(sst_byte_for_code(code)), code) << code;
  }
  EXPECT_THROW(sst_byte_for_code(174), std::out_of_range);
  EXPECT_NEAR(sst_climatology(26.0, -85.0), 28.0, 1.5) << "warm Gulf of Mexico";
  EXPECT_EQ(sst_climatology(85.0, 0.0), -1.8) << "never below freezing sea water";
}

TEST(Simulator, StormWindPeaksAtTheRadiusOfMaximumWind) {
  const Storm storm;
  double best = 0.0, best_r = 0.0;
  for (double r = 1.0; r < 200.0; r += 1.0) {
    const double lon = storm.lon0 + r / earth::km_per_degree(storm.lat0).lon;
    const double w = storm.wind(storm.lat0, lon);  // due east: no asymmetry term
    if (w > best) best = w, best_r = r;
  }
  EXPECT_NEAR(best_r, storm.rmax, 1.5);
  EXPECT_NEAR(best, storm.vmax, 0.01);
  EXPECT_LT(storm.rain(storm.lat0, storm.lon0), 3.0) << "a nearly rain-free eye";
  EXPECT_GT(storm.rain(storm.lat0, storm.lon0 + 1.15 * storm.rmax / 100.1), 40.0) << "eyewall rain";
}

TEST(Simulator, TurnsBankBeyondTheRollLimit) {
  const std::vector<Waypoint> plan = {{26.0, -84.0}, {26.0, -86.0}, {27.0, -85.0}};
  const Track track(plan, 0, 6000.0, 130.0, 3000.0, 25.0);
  double km = 0.0, heading = 0.0;
  leg_geometry(plan[0], plan[1], km, heading);
  EXPECT_NEAR(heading, 270.0, 1e-9);
  const double turn_at = km * 1000.0 / 130.0;
  EXPECT_EQ(std::fabs(track.at(turn_at).roll), 25.0);
  EXPECT_LT(std::fabs(track.at(turn_at / 2).roll), 8.0);
  EXPECT_NEAR(track.at(0.0).lat, 26.0, 1e-12);
  EXPECT_NEAR(track.at(turn_at).lon, -86.0, 1e-9);
}

std::string flight_text(const FlightOptions& o) {
  std::ostringstream raw, truth;
  write_flight(o, Storm{}, sample_radiometer(), nullptr, raw, truth);
  return raw.str();
}

TEST(Simulator, FlightIsDeterministicAndHasTheRecordCadence) {
  FlightOptions o;
  o.hours = 0.1;  // 360 s
  o.damage = 0.0;
  o.drop_acft = 0.0;
  o.gap_seconds = 10;
  o.start_sec = 86400 - 100;
  const std::string text = flight_text(o);
  EXPECT_EQ(text, flight_text(o)) << "same seed, same flight";
  FlightOptions other = o;
  other.seed = 2;
  EXPECT_NE(text, flight_text(other));

  int a = 0, b = 0, t = 0, r = 0;
  int expected_channel = 0;
  bool saw_next_day = false;
  ASSERT_TRUE(text.ends_with("\r\n"));
  ASSERT_EQ(std::count(text.begin(), text.end(), '\r'), std::count(text.begin(), text.end(), '\n'))
      << "every line ends with CR LF";
  for (const std::string& line : lines_of(text)) {
    const std::string tag = line.substr(0, 2);
    a += tag == "%A";
    t += tag == "%T";
    r += tag == "%R";
    if (tag == "%B") {
      ++b;
      EXPECT_EQ(line[3] - '0', expected_channel) << line;
      expected_channel = (expected_channel + 1) % 6;
    }
    if (tag == "%A" && line.find("08/12/2026,00:00:") != std::string::npos) saw_next_day = true;
  }
  EXPECT_EQ(b, 720) << "two channel measurements per second";
  EXPECT_EQ(t, 360);
  EXPECT_EQ(r, 360);
  EXPECT_EQ(a, 350) << "one per second but for the gap";
  EXPECT_TRUE(saw_next_day) << "midnight crossing changes the date";
}

// The damage the simulator reports is the damage it did: without damage the file is the undamaged flight and
// nothing is reported; bit flips and noise change exactly the reported lines; a cut-off transfer keeps the
// asked share of the bytes and reports the cut.
TEST(Simulator, ReportsTheDamageItDoes) {
  struct Case {
    const char* name;
    double binary_damage, keep;
    bool damaged;
  };
  const Case cases[] = {
      {.name = "undamaged", .binary_damage = 0.0, .keep = 1.0, .damaged = false},
      {.name = "bit flips and binary noise", .binary_damage = 0.2, .keep = 1.0, .damaged = true},
      {.name = "transfer cut at 40 %", .binary_damage = 0.0, .keep = 0.4, .damaged = true},
  };
  FlightOptions clean;
  clean.hours = 0.02;
  clean.damage = 0.0;
  clean.drop_acft = 0.0;
  std::ostringstream clean_raw, truth;
  write_flight(clean, Storm{}, sample_radiometer(), nullptr, clean_raw, truth);
  const std::string reference = clean_raw.str();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FlightOptions o = clean;
    o.binary_damage = c.binary_damage;
    o.keep = c.keep;
    std::ostringstream raw;
    std::vector<ByteRange> damaged;
    write_flight(o, Storm{}, sample_radiometer(), nullptr, raw, truth, &damaged);
    const std::string text = raw.str();
    EXPECT_EQ(!damaged.empty(), c.damaged);
    if (c.keep < 1.0) {
      EXPECT_EQ(text, reference.substr(0, static_cast<std::size_t>(c.keep * reference.size())));
      continue;
    }
    // Outside the reported ranges the lines are those of the undamaged flight, in order.
    std::string kept;
    std::size_t at = 0;
    for (const ByteRange& d : damaged) {
      kept += text.substr(at, d.begin - at);
      at = d.end;
    }
    kept += text.substr(at);
    // Each reported range replaced one record: what is left is the undamaged flight less that many lines.
    const std::vector<std::string> left = lines_of(kept), all = lines_of(reference);
    EXPECT_EQ(left.size() + damaged.size(), all.size());
    std::size_t next = 0;
    for (const std::string& line : left) {
      while (next < all.size() && all[next] != line) ++next;
      ASSERT_LT(next++, all.size()) << "not a line of the undamaged flight: " << line;
    }
  }
}

TEST(Simulator, SerialNumberRecordIsReadByTheProcessing) {
  sfmr::testing::TempDir dir;
  FlightOptions o;
  o.hours = 0.01;
  sfmr::testing::write_file("f.dat", flight_text(o));
  State s;
  ScriptedConsole c;
  TextFile raw;
  get_infile(c.console, s, fixed_text("f.dat"), raw);
  EXPECT_EQ(s.sfmr.serial, sample_radiometer().serial);
  EXPECT_EQ(c.transcript(), "S/N: 17\r\n");
}

}  // namespace
}  // namespace sfmr::sim
