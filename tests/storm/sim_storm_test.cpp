// The simulator's storm: the centre moves at the chosen velocity, the flight pattern moves with it and
// misses it by the chosen distance, and its b-deck and HURDAT2 tracks read back (through the project's
// readers) as the centre at their times, to each format's precision.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <sstream>
#include <string>

#include "common/earth.hpp"
#include "core/text.hpp"
#include "sim/flight.hpp"
#include "sim/storm.hpp"
#include "sim/storm_truth.hpp"
#include "sim/track_storm.hpp"
#include "storm/analysis.hpp"
#include "tracks/track_file.hpp"

namespace sfmr::sim {
namespace {

TEST(SimStorm, MovesMissesAndWritesItsTrack) {
  struct Case {
    const char* name;
    double east, north;  // m/s
    double miss_km;
    const char *track_id = "", *track_name = "";  // of the real storm it stands for; empty: its own
    const char *id = "AL992026", *storm_name = "SIMULATED";  // in the b-deck and HURDAT2 truth
  };
  const Case cases[] = {
      {"still, through", 0.0, 0.0, 0.0},
      {"6 m/s north-west, 9 km off", -4.2, 4.2, 9.0},
      {"8 m/s east, 15 km off", 8.0, 0.0, 15.0},
      {"a track's storm", 0.0, 4.0, 5.0, "AL092026", "HELENE", "AL092026", "HELENE"},
      {"a track's unnamed storm", 0.0, 0.0, 0.0, "EP142026", "", "EP142026", "UNNAMED"},
      {"an f-deck's unnumbered storm", 0.0, 0.0, 0.0, "unnumbered-2026", "", "AL992026", "UNNAMED"}};
  for (const Case& c : cases) {
    Storm storm;
    storm.motion_east = c.east;
    storm.motion_north = c.north;
    storm.track_id = c.track_id, storm.track_name = c.track_name;
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
      const storm::StormTrack& s = storm::choose_storm(file, c.id);
      EXPECT_EQ(s.name, c.storm_name) << c.name << " " << storm::format_name(file.format);
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

// Flights at different times of one storm (its position fixed at one reference time) write b-decks that
// agree wherever they overlap, and each flight's pattern is laid out about the centre of its own start.
TEST(SimStorm, LaterFlightsContinueTheTrack) {
  struct Case {
    const char* name;
    int day;
    std::int32_t start_sec;
  };
  const Case cases[] = {{"the reference flight", 7, 23 * 3600 + 600},
                        {"80 minutes later, next day", 8, 1800},
                        {"a day later", 8, 23 * 3600 + 600}};
  const double reference = 86400.0 * 20794.0 + 23 * 3600 + 600;  // 07/12/2026 23:10:00
  std::map<double, std::pair<double, double>> seen;              // time: lat, lon
  for (const Case& c : cases) {
    FlightOptions o;
    o.day = c.day, o.start_sec = c.start_sec, o.hours = 2.0, o.land_leg = false;
    Storm storm;
    storm.motion_east = -6.0, storm.motion_north = 3.0;
    storm.epoch = reference - flight_start_seconds(o);
    std::ostringstream bdeck;
    write_bdeck(bdeck, o, storm, 7200);
    const storm::TrackFile file = storm::parse_track_file(bdeck.str());
    for (const storm::TrackPoint& p : file.storms.at(0).points) {
      const auto [it, fresh] = seen.try_emplace(p.time, p.lat, p.lon);
      EXPECT_EQ(it->second, std::make_pair(p.lat, p.lon)) << c.name << " at " << p.time;
    }
    double lat = 0.0, lon = 0.0;
    storm.centre(0.0, lat, lon);
    const double hours = (flight_start_seconds(o) - reference) / 3600.0;
    EXPECT_NEAR(lat - storm.lat0, 3.0 * 3.6 * hours / earth::km_per_degree(storm.lat0).lat, 1e-9) << c.name;
    const Track track = plan_track(flight_plan(o, storm, 7200), o, 7200);
    const AircraftState first = track.at(0.0);
    EXPECT_NEAR(first.lat, lat, 1e-9) << c.name << ": the first pass starts due east of the centre";
  }
  EXPECT_GT(seen.size(), 6u);
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
  constexpr double kDeg = std::numbers::pi / 180.0;
  for (const Case& c : cases) {
    const Peak peak = field_peak(c.storm);
    double best = 0.0, best_r = 0.0, best_b = 0.0;
    for (double r = 0.2; r < 130.0; r += 0.2)
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
    float stated = 0.0f;
    ASSERT_TRUE(read_value(text.substr(at, text.find('\r', at) - at), &stated)) << c.name;
    EXPECT_NEAR(stated, best, 0.02) << c.name << ": NAME.storm_truth.csv";
  }
}

// Each pattern's passes, found in the flown track (truth file) as the closest approaches to the moving
// centre: at the headings and misses that NAME.passes.csv states.
TEST(SimStorm, PatternsPassWhereTheyAreSaidTo) {
  struct Case {
    const char* name;
    Pattern pattern;
    double rotation;
    std::vector<double> misses;
    double miss_km;
    std::vector<double> headings;  // the first passes' headings, deg (empty: random)
  };
  const Case cases[] = {
      {"figure-four turned 30", Pattern::kFigure4, 30.0, {}, 0.0, {300.0, 210.0, 300.0}},
      {"rotated figure-four", Pattern::kRotated4, 0.0, {}, 4.0, {315.0, 225.0, 315.0}},
      {"alpha", Pattern::kAlpha, 0.0, {-6.0, 3.0}, 0.0, {270.0, 180.0, 90.0, 0.0}},
      {"butterfly", Pattern::kButterfly, 0.0, {}, 0.0, {180.0, 60.0, 300.0}},
      {"random, misses to 12 km", Pattern::kRandom, 0.0, {}, 12.0, {}},
      {"single", Pattern::kSingle, 0.0, {}, 2.0, {270.0}},
  };
  for (const Case& c : cases) {
    Storm storm;
    storm.motion_east = -3.0, storm.motion_north = 4.0;
    FlightOptions o;
    o.land_leg = false;
    o.hours = 3.0;
    o.pattern = c.pattern, o.pattern_rotation = c.rotation, o.misses = c.misses, o.miss_km = c.miss_km;
    std::ostringstream raw, truth, passes;
    const int seconds = write_flight(o, storm, sample_radiometer(), nullptr, raw, truth);
    write_passes(passes, o, storm, seconds);
    // The flown positions, one a second.
    std::vector<std::pair<double, double>> flown;
    std::istringstream lines(truth.str());
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
      std::vector<std::string> f;
      std::istringstream fields(line);
      for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
      float lat = 0.0f, lon = 0.0f;
      ASSERT_TRUE(read_value(f[3], &lat) && read_value(f[4], &lon)) << line;
      flown.emplace_back(lat, lon);
    }
    std::istringstream rows(passes.str());
    std::getline(rows, line);
    std::size_t count = 0;
    while (std::getline(rows, line)) {
      if (line.ends_with('\r')) line.pop_back();
      std::vector<double> v;
      std::istringstream fields(line);
      for (std::string x; std::getline(fields, x, ',');) {
        float value = 0.0f;
        ASSERT_TRUE(read_value(x, &value)) << line;
        v.push_back(value);
      }
      const double t = v[1], heading = v[3], planned = v[4], miss = v[5];
      if (count < c.headings.size()) {
        EXPECT_NEAR(heading, c.headings[count], 1e-6) << c.name << " pass " << count;
      }
      const double want = c.misses.empty() ? (c.pattern == Pattern::kRandom ? planned : c.miss_km)
                                           : c.misses[count % c.misses.size()];
      EXPECT_NEAR(planned, want, 0.01) << c.name << " pass " << count;
      EXPECT_LE(std::fabs(planned), std::fabs(c.miss_km) + std::fabs(want)) << c.name;
      // Closest approach in the flown track within 3 s of the stated time, at the stated distance; the
      // storm-relative heading there from the positions 20 s either side.
      double best = 1e9, lat = 0.0, lon = 0.0, km = 0.0, bearing = 0.0;
      for (int s = static_cast<int>(t) - 3; s <= static_cast<int>(t) + 3; ++s) {
        if (s < 0 || s >= static_cast<int>(flown.size())) continue;
        storm.centre(s, lat, lon);
        storm::range_bearing(lat, lon, flown[s].first, flown[s].second, km, bearing);
        best = std::min(best, km);
      }
      EXPECT_NEAR(best, std::fabs(miss), 0.15) << c.name << " pass " << count;
      EXPECT_NEAR(miss, planned, 0.15) << c.name << " pass " << count;
      const auto at = static_cast<std::size_t>(t);
      if (at >= 20 && at + 20 < flown.size()) {
        double e1 = 0.0, n1 = 0.0, e2 = 0.0, n2 = 0.0;
        storm.offset_km(flown[at - 20].first, flown[at - 20].second, e1, n1, at - 20.0);
        storm.offset_km(flown[at + 20].first, flown[at + 20].second, e2, n2, at + 20.0);
        const double flown_heading =
            std::fmod(std::atan2(e2 - e1, n2 - n1) * 180.0 / std::numbers::pi + 360.0, 360.0);
        EXPECT_NEAR(std::remainder(flown_heading - heading, 360.0), 0.0, 0.5) << c.name << " pass " << count;
      }
      ++count;
    }
    EXPECT_GE(count, c.pattern == Pattern::kSingle ? 1u : 3u) << c.name;
    if (c.pattern == Pattern::kSingle) {
      EXPECT_EQ(count, 1u) << c.name;
    }
  }
}

// A storm put at a real track's time: the track's position and motion there, its Vmax as the field's peak,
// and radii that fit the track's better than the plain vortex does, the asymmetry towards the wide side.
TEST(SimStorm, TrackPutsTheStormWhereItWas) {
  const std::string bdeck =
      "AL, 09, 2024092606,   , BEST,   0, 230N,  850W,  95,  960, HU,  34, NEQ,  170,  150,  100,  140, 1006,"
      "  250,  22\n"
      "AL, 09, 2024092606,   , BEST,   0, 230N,  850W,  95,  960, HU,  50, NEQ,   80,   70,   50,   60, 1006,"
      "  250,  22\n"
      "AL, 09, 2024092612,   , BEST,   0, 245N,  852W, 105,  955, HU,  34, NEQ,  180,  160,  110,  150, 1006,"
      "  250,  20\n";
  // The same track in HURDAT2 (-999: no radius).
  const std::string hurdat =
      "AL092024,             SAMPLE,      2,\n"
      "20240926, 0600,  , HU, 23.0N,  85.0W,  95,  960,  170,  150,  100,  140,   80,   70,   50,   60, -999,"
      " -999, -999, -999,   22\n"
      "20240926, 1200,  , HU, 24.5N,  85.2W, 105,  955,  180,  160,  110,  150, -999, -999, -999, -999, -999,"
      " -999, -999, -999,   20\n";
  const storm::TrackFile file = storm::parse_track_file(bdeck), other = storm::parse_track_file(hurdat);
  const storm::StormTrack& track = storm::choose_storm(file, "AL092024");
  for (std::size_t p = 0; p < 2; ++p)
    for (std::size_t k = 0; k < 12; ++k) {
      const double b = track.points[p].radii_nmi[k], h = other.storms[0].points[p].radii_nmi[k];
      EXPECT_TRUE(b == h || (std::isnan(b) && std::isnan(h))) << "point " << p << " radius " << k;
    }
  EXPECT_EQ(track.points[0].radii_nmi[5], 70.0) << "R50 SE of the b-deck's second line at 06 UTC";
  struct Case {
    const char* name;
    double hours;  // after 2024-09-26 06 UTC
    double lat, lon, vmax_kt, rmw_nmi;
  };
  const Case cases[] = {{"at the first fix", 0.0, 23.0, -85.0, 95.0, 22.0},
                        {"halfway", 3.0, 23.75, -85.1, 100.0, 21.0},
                        {"at the last fix", 6.0, 24.5, -85.2, 105.0, 20.0}};
  const double t0 = 86400.0 * 19992.0 + 6 * 3600.0;  // 2024-09-26 06 UTC, s since 1970
  for (const Case& c : cases) {
    Storm s;
    const RadiiFit fit = storm_from_track(track, t0 + 3600.0 * c.hours, s);
    EXPECT_EQ(truth_storm_id(s, 2026), "AL092024") << c.name;
    EXPECT_NEAR(s.lat0, c.lat, 1e-9) << c.name;
    EXPECT_NEAR(s.lon0, c.lon, 1e-9) << c.name;
    EXPECT_NEAR(s.motion_north, 1.5 * earth::km_per_degree(s.lat0).lat * 1e3 / 21600.0, 1e-6) << c.name;
    EXPECT_NEAR(field_peak(s).wind, c.vmax_kt * 0.514444, 0.01) << c.name;
    EXPECT_NEAR(s.rmax, c.rmw_nmi * 1.852, 1e-9) << c.name;
    EXPECT_GT(fit.radii, 0) << c.name;
    Storm plain = s;
    plain.holland_b = 1.6, plain.vmax += plain.wn1, plain.wn1 = 0.0;
    double plain_sq = 0.0;
    for (int k = 0; k < 8; ++k) {
      const double r = fitted_radius_km(plain, (k < 4 ? 34.0 : 50.0) * 0.514444, k % 4) / 1.852;
      const double observed = track.points[c.hours < 3.5 ? 0 : 1].radii_nmi[static_cast<std::size_t>(k)];
      if (!std::isnan(observed)) plain_sq += (r - observed) * (r - observed);
    }
    EXPECT_LT(fit.rms_nmi, std::sqrt(plain_sq / fit.radii)) << c.name;
    EXPECT_LT(std::fabs(std::remainder(s.wn1_dir - 45.0, 360.0)), 90.0) << c.name << ": towards the NE";
  }
  Storm s;
  EXPECT_THROW(storm_from_track(track, t0 - 60.0, s), std::runtime_error) << "before the track";
}

}  // namespace
}  // namespace sfmr::sim
