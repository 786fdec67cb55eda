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

}  // namespace
}  // namespace sfmr::sim
