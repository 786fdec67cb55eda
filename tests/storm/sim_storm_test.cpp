// The simulator's storm: the centre moves at the chosen velocity, the flight pattern moves with it and
// misses it by the chosen distance, and its b-deck and HURDAT2 tracks read back (through the project's
// readers) as the centre at their times, to each format's precision.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "core/text.hpp"

#include "sim/flight.hpp"
#include "sim/storm.hpp"
#include "sim/storm_truth.hpp"
#include "storm/analysis.hpp"
#include "storm/track_file.hpp"

namespace sfmr::sim {
namespace {

TEST(SimStorm, MovesMissesAndWritesItsTrack) {
  struct Case {
    const char* name;
    double east, north;  // m/s
    double miss_km;
  };
  const Case cases[] = {{"still, through", 0.0, 0.0, 0.0},
                        {"6 m/s north-west, 9 km off", -4.2, 4.2, 9.0},
                        {"8 m/s east, 15 km off", 8.0, 0.0, 15.0}};
  for (const Case& c : cases) {
    Storm storm;
    storm.motion_east = c.east;
    storm.motion_north = c.north;
    FlightOptions o;
    o.land_leg = false;
    o.hours = 1.0;
    o.miss_km = c.miss_km;
    std::ostringstream raw, truth;
    const int seconds = write_flight(o, storm, sample_radiometer(), nullptr, raw, truth);
    // The centre after an hour, km from where it started.
    double lat = 0.0, lon = 0.0, km = 0.0, bearing = 0.0;
    storm.centre(3600.0, lat, lon);
    storm::range_bearing(storm.lat0, storm.lon0, lat, lon, km, bearing);
    EXPECT_NEAR(km, std::hypot(c.east, c.north) * 3.6, 0.05 * std::hypot(c.east, c.north) + 1e-9) << c.name;
    // The first pass (westbound) comes closest to the moving centre at the chosen miss distance.
    std::istringstream lines(truth.str());
    std::string line;
    std::getline(lines, line);
    double closest = std::numeric_limits<double>::infinity();
    for (int t = 0; t < 1600 && std::getline(lines, line); ++t) {
      std::istringstream f(line);
      std::string sec, ws, rr, la, lo;
      std::getline(f, sec, ',');
      std::getline(f, ws, ',');
      std::getline(f, rr, ',');
      std::getline(f, la, ',');
      std::getline(f, lo, ',');
      float alat = 0.0f, alon = 0.0f;
      ASSERT_TRUE(read_value(la, &alat) && read_value(lo, &alon)) << line;
      storm.centre(t, lat, lon);
      storm::range_bearing(lat, lon, alat, alon, km, bearing);
      closest = std::min(closest, km);
    }
    EXPECT_NEAR(closest, c.miss_km, 0.1 + 0.01 * c.miss_km) << c.name;
    // Both track files: every point is the centre at its time, to half a tenth of a degree (both write
    // tenths).
    std::ostringstream bdeck, hurdat;
    write_bdeck(bdeck, o, storm, seconds);
    write_hurdat2(hurdat, o, storm, seconds);
    for (const std::string& text : {bdeck.str(), hurdat.str()}) {
      const storm::TrackFile file = storm::parse_track_file(text);
      const storm::StormTrack& s = storm::choose_storm(file, "AL992026");
      ASSERT_GE(s.points.size(), 2u) << c.name;
      // Seconds since 1970 of the flight's first record (07/12/2026 23:10:00).
      const double start = 86400.0 * 20794.0 + o.start_sec;
      for (const storm::TrackPoint& p : s.points) {
        storm.centre(p.time - start, lat, lon);
        EXPECT_NEAR(p.lat, lat, 0.05 + 1e-9) << c.name << " " << storm::format_name(file.format);
        EXPECT_NEAR(p.lon, lon, 0.05 + 1e-9) << c.name << " " << storm::format_name(file.format);
        EXPECT_EQ(p.vmax_kt, std::lround((storm.vmax + storm.asymmetry) / 0.514444)) << c.name;
      }
    }
  }
}

// Every kind of storm: the peak the truth files state is the largest wind of the field found by an
// independent scan (0.2 km, 0.5 degree), at its radius and bearing; concentric vortices have a moat below
// both maxima; the rain ring peaks where it is put.
TEST(SimStorm, TruthIsTheFieldsOwnPeak) {
  struct Case {
    const char* name;
    Storm storm;
    double bearing;  // expected bearing of the peak, deg (< 0: not checked)
    double radius;   // expected radius of the peak, km
  };
  auto with = [](auto change) {
    Storm s;
    s.asymmetry = 0.0;
    change(s);
    return s;
  };
  const Case cases[] = {
      {"Holland B 1.0", with([](Storm& s) { s.holland_b = 1.0, s.wn1 = 6.0, s.wn1_dir = 135.0; }), 135.0,
       35.0},
      {"Holland B 2.4, wn2", with([](Storm& s) { s.holland_b = 2.4, s.wn2 = 5.0, s.wn2_dir = 250.0; }), -1.0,
       35.0},
      {"wdr, wn1 west", with([](Storm& s) { s.profile = Profile::kWdr, s.wn1 = 8.0, s.wn1_dir = 270.0; }),
       270.0, 35.0},
      {"concentric 0.8 at 2.5", with([](Storm& s) { s.profile = Profile::kConcentric; }), -1.0, 35.0},
      {"concentric 1.1 at 3", with([](Storm& s) {
         s.profile = Profile::kConcentric, s.outer_ratio = 1.1, s.outer_radius = 3.0, s.wn1 = 3.0;
         s.wn1_dir = 30.0;
       }),
       30.0, 105.0},
      {"moving, right of motion", with([](Storm& s) { s.asymmetry = 5.0, s.motion_east = 5.0; }), 180.0,
       35.0},
  };
  constexpr double kDeg = 3.141592653589793 / 180.0;
  for (const Case& c : cases) {
    const Peak peak = field_peak(c.storm);
    double best = 0.0, best_r = 0.0, best_b = 0.0;
    for (double r = 0.2; r < 200.0; r += 0.2)
      for (double b = 0.0; b < 360.0; b += 0.5) {
        const double w = c.storm.wind_relative(r * std::sin(b * kDeg), r * std::cos(b * kDeg));
        if (w > best) best = w, best_r = r, best_b = b;
      }
    EXPECT_NEAR(peak.wind, best, 0.02) << c.name;
    EXPECT_GE(peak.wind, best - 1e-9) << c.name << ": the stated peak is the largest";
    EXPECT_NEAR(peak.radius, best_r, 0.3) << c.name;
    EXPECT_NEAR(peak.radius, c.radius, 2.0) << c.name;
    if (c.bearing >= 0.0) {
      EXPECT_NEAR(peak.bearing, c.bearing, 0.6) << c.name;
      EXPECT_NEAR(best_b, c.bearing, 0.6) << c.name;
    }
    if (c.storm.profile == Profile::kConcentric) {
      const double inner = c.storm.symmetric(c.storm.rmax);
      const double outer = c.storm.symmetric(c.storm.outer_radius * c.storm.rmax);
      const double moat = c.storm.symmetric(0.5 * (1.0 + c.storm.outer_radius) * c.storm.rmax);
      EXPECT_LT(moat, 0.7 * std::min(inner, outer)) << c.name;
      EXPECT_NEAR(outer / inner, c.storm.outer_ratio, 0.03) << c.name;
    }
    std::ostringstream facts;
    write_storm_facts(facts, c.storm);
    const std::string text = facts.str();
    const std::size_t at = text.find("vmax_ms,") + 8;
    double stated = 0.0;
    ASSERT_TRUE(read_value(text.substr(at, text.find('\r', at) - at), &stated)) << c.name;
    EXPECT_NEAR(stated, best, 0.02) << c.name << ": NAME.storm_truth.csv";
  }
}

}  // namespace
}  // namespace sfmr::sim
