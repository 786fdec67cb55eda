// The collocation on a hand-made flight and splash points (nearest second, the limits, a storm-relative
// match with a moving centre) and the statistics on a hand-made set of pairs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/earth.hpp"
#include "sonde/centres.hpp"
#include "sonde/collocate.hpp"
#include "sonde/matchups.hpp"
#include "sonde/sonde_stats.hpp"

namespace {

using namespace sfmr::sonde;

constexpr double kT0 = 1.5e9;        // s, the flight's first second
constexpr double kLonStep = 0.0012;  // deg per s eastward along 20 N (about 125 m/s)

// One hour eastward along 20 N from 60 W; the wind a ramp 20 + 0.01 i m/s, missing at seconds 3000-3100;
// rain 5 mm/h, standard error 1.5 m/s.
FlightSeries flight() {
  FlightSeries f;
  for (int i = 0; i < 3600; ++i) {
    f.time.push_back(kT0 + i);
    f.lat.push_back(20.0F);
    f.lon.push_back(static_cast<float>(-60.0 + kLonStep * i));
    f.wind.push_back(i >= 3000 && i <= 3100 ? NAN : static_cast<float>(20.0 + 0.01 * i));
    f.rain.push_back(5.0F);
    f.wind_se.push_back(1.5F);
  }
  return f;
}

// A centre at 19.5 N moving east 2e-4 deg/s from 59 W at kT0.
CentreTrack moving_centre() {
  return {{kT0, kT0 + 3600}, {19.5, 19.5}, {-59.0, -59.0 + 2e-4 * 3600}};
}

TEST(Collocation, NearestSecondWithinTheLimits) {
  const double km_lat = sfmr::earth::km_per_degree(20.0).lat;
  const double lon_at = -60.0 + kLonStep * 1000;  // the aircraft's longitude at second 1000
  struct Case {
    const char* name;
    Point splash;
    bool track;
    Limits limits;
    bool matched;
    int second;  // expected nearest second after kT0 (-1: none)
    double km;   // expected distance
    const char* reason;
  } cases[] = {
      {"1.1 km north of second 1000, a minute later",
       {kT0 + 1060, 20.01, lon_at},
       false,
       {},
       true,
       1000,
       0.01 * km_lat,
       ""},
      {"20 km north: beyond the distance limit",
       {kT0 + 1000, 20.18, lon_at},
       false,
       {},
       false,
       1000,
       0.18 * km_lat,
       "nearest pass beyond the distance limit"},
      {"after the flight by more than the time limit",
       {kT0 + 3599 + 1000, 20.0, lon_at},
       false,
       {},
       false,
       -1,
       NAN,
       "no radiometer second within the time limit"},
      {"the place of second 1000 at second 2000, 60-s window",
       {kT0 + 2000, 20.0, lon_at},
       false,
       {10.0, 60.0},
       false,
       1940,
       NAN,
       "nearest pass beyond the distance limit"},
      {"no retrieval at the nearest second",
       {kT0 + 3050, 20.0, -60.0 + kLonStep * 3050},
       false,
       {},
       false,
       3050,
       0.0,
       "no retrieved wind in the 10 s at the nearest pass"},
      // 0.5 deg north of the moving centre at second 1200: the aircraft was there relative to the centre at
      // second 1000 (then 1 deg west of 59 W + 0.2 deg); earth-relative it passed nearest at second 1033.
      {"storm-relative, the centre moved",
       {kT0 + 1200, 20.0, -59.0 + 2e-4 * 1200},
       true,
       {},
       true,
       1000,
       0.0,
       ""},
      {"the same earth-relative", {kT0 + 1200, 20.0, -59.0 + 2e-4 * 1200}, false, {}, true, 1033, NAN, ""},
  };
  const std::vector<FlightSeries> flights = {flight()};
  for (const Case& c : cases) {
    const Matchup m = collocate(c.splash, flights, c.track ? moving_centre() : CentreTrack{}, c.limits);
    EXPECT_EQ(m.matched, c.matched) << c.name;
    EXPECT_EQ(m.reason, c.reason) << c.name;
    if (c.second < 0) continue;
    EXPECT_EQ(m.time, kT0 + c.second) << c.name;
    EXPECT_EQ(m.time_difference_s, kT0 + c.second - c.splash.time) << c.name;
    if (std::isfinite(c.km)) {
      EXPECT_NEAR(m.distance_km, c.km, 0.02) << c.name;
    }
    if (c.matched) {
      EXPECT_NEAR(m.wind, 20.0 + 0.01 * (c.second - 0.5), 1e-4) << c.name;  // mean of seconds -5..+4
      EXPECT_NEAR(m.wind_se, 1.5, 1e-6) << c.name;
    }
    EXPECT_EQ(std::isfinite(m.storm_range_km), c.track) << c.name;
    if (c.track) {
      EXPECT_NEAR(m.storm_range_km, 0.5 * sfmr::earth::km_per_degree(19.75).lat, 0.05) << c.name;
    }
  }
}

// The representativeness term: the radiometer's change of wind along its track over the pair's distance
// (2 km north of the track: 16 seconds flown), the larger of the two sides, so that it does not vanish on
// the wind's peak, and one side enough when the other has no wind.
TEST(Collocation, ChangeOverThePairsDistance) {
  const double north = 2.0 / sfmr::earth::km_per_degree(20.0).lat;  // deg, 2 km
  struct Case {
    const char* name;
    float (*wind)(int second);
    int second;      // the pass
    double degrees;  // the splash's offset north of it
    double want;     // m/s
  } cases[] = {
      {"a steady rise", [](int i) { return static_cast<float>(20.0 + 0.01 * i); }, 1000, north, 0.16},
      // The splash lies within a metre of the track (float positions): one second flown, the least step.
      {"on the track", [](int i) { return static_cast<float>(20.0 + 0.01 * i); }, 1000, 0.0, 0.01},
      // The 10-s means at seconds 984, 1000 and 1016 lie 0.05 * 16.5, 0.05 * 2.5 and 0.05 * 15.5 below 50.
      {"a peak at the pass", [](int i) { return static_cast<float>(50.0 - 0.05 * std::abs(i - 1000)); }, 1000,
       north, 0.05 * 14.0},
      {"no retrieval after it", [](int i) { return i > 1010 ? NAN : static_cast<float>(20.0 + 0.02 * i); },
       1000, north, 0.32},
      {"the flight ends after it", [](int i) { return static_cast<float>(20.0 + 0.01 * i); }, 3595, north,
       0.16},
  };
  for (const Case& c : cases) {
    FlightSeries f = flight();
    for (int i = 0; i < 3600; ++i) f.wind[static_cast<std::size_t>(i)] = c.wind(i);
    const Point splash{kT0 + c.second, 20.0 + c.degrees, -60.0 + kLonStep * c.second};
    const Matchup m = collocate(splash, {f}, CentreTrack{}, {});
    ASSERT_TRUE(m.matched) << c.name;
    EXPECT_NEAR(m.representativeness, c.want, 1e-4) << c.name;
  }
}

// The 10-s mean's standard error on a hand-made flight: a ramp with standard error 1.5 m/s plus a pattern
// of +-a repeating every 10 s, orthogonal over each window to a constant and a line, so that each window's
// residual sum of squares is 8 a^2 against an expected 8 (1.5)^2 for wholly independent errors: the share is
// a^2 / 1.5^2, at most 1.
TEST(Collocation, StandardErrorOfTheTenSecondMean) {
  constexpr double kSe = 1.5;
  constexpr int kPass = 1000;
  constexpr int kPattern[10] = {1, -1, -1, 1, 1, -1, -1, 1, 0, 0};
  struct Case {
    const char* name;
    double a;      // m/s
    bool gap;      // no standard errors over the windows after the pass
    double share;  // expected
  } cases[] = {
      {"no scatter: wholly correlated", 0.0, false, 0.0},
      {"half the variance independent", kSe * std::sqrt(0.5), false, 0.5},
      {"more scatter than stated: wholly independent", 2.0 * kSe, false, 1.0},
      {"the share from the windows that have errors", kSe * std::sqrt(0.5), true, 0.5},
  };
  for (const Case& c : cases) {
    FlightSeries f = flight();
    for (int i = 0; i < 3600; ++i) {
      const int phase = ((i - (kPass - 5)) % 10 + 10) % 10;
      f.wind[static_cast<std::size_t>(i)] = static_cast<float>(20.0 + 0.01 * i + c.a * kPattern[phase]);
      if (c.gap && i > kPass + 5) f.wind_se[static_cast<std::size_t>(i)] = NAN;
    }
    EXPECT_NEAR(independent_share(f, kT0 + kPass), c.share, 1e-5) << c.name;
    const double want = kSe * std::sqrt(1.0 - c.share + c.share / 10.0);
    EXPECT_NEAR(ten_second_standard_error(f, kT0 + kPass), want, 1e-5) << c.name;
    const Point splash{kT0 + kPass, 20.0, -60.0 + kLonStep * kPass};
    EXPECT_NEAR(collocate(splash, {f}, CentreTrack{}, {}).wind_se, want, 1e-5) << c.name;
  }
  FlightSeries none = flight();
  none.wind_se.clear();
  EXPECT_TRUE(std::isnan(ten_second_standard_error(none, kT0 + kPass)));
}

// With a track, the change between the two points' ranges from the centre, read on the leg: a leg that
// passes a still centre 0.1 deg (11 km) south of it, the wind 10 + 2 r m/s (r km from the centre), a sonde
// 2 km north of the track at the closest approach. Across the leg the displacement is radial: the wind
// changes by 2 (r_s - r_0) m/s, while along the leg over 2 km it hardly changes.
TEST(Collocation, ChangeAcrossTheRangesFromTheCentre) {
  const double clat = 19.9, clon = -60.0 + kLonStep * 1000;
  const sfmr::earth::KmPerDegree k = sfmr::earth::km_per_degree(clat);
  const auto range = [&](double lat, double lon) {
    return std::hypot((lat - clat) * k.lat, (lon - clon) * k.lon);
  };
  FlightSeries f = flight();
  for (std::size_t i = 0; i < f.wind.size(); ++i)
    f.wind[i] = static_cast<float>(10.0 + 2.0 * range(f.lat[i], f.lon[i]));
  const Point splash{kT0 + 1000, 20.0 + 2.0 / sfmr::earth::km_per_degree(20.0).lat, clon};
  const double radial = 2.0 * (range(splash.lat, splash.lon) - range(20.0, clon));
  struct Case {
    const char* name;
    CentreTrack track;
    double low, high;  // m/s
  } cases[] = {
      // The first second past the splash's range (up to 0.07 km, 0.14 m/s, beyond it) and the 10-s means.
      {"with the centre", {{kT0}, {clat}, {clon}}, radial, radial + 0.25},
      {"without it: along the leg only", {}, 0.0, 0.5},
  };
  for (const Case& c : cases) {
    const Matchup m = collocate(splash, {f}, c.track, {});
    ASSERT_TRUE(m.matched) << c.name;
    EXPECT_GE(m.representativeness, c.low) << c.name;
    EXPECT_LE(m.representativeness, c.high) << c.name;
  }
}

TEST(SondeStatistics, HandMadeSet) {
  // Differences 1, 2, -1, -1, 3; the last pair without a combined error.
  const std::vector<Pair> pairs = {
      {5, 6, 0, 1.5}, {9, 11, 10, 1.5}, {15, 14, 20, 1.5}, {25, 24, 40, 1.5}, {35, 38, 2, NAN}};
  struct Case {
    const char* binning;
    const char* bin;
    int n;
    double bias, rms, correlation;
    int n_error;
    double within_one, within_two;
  } cases[] = {
      {"all", "all", 5, 0.8, std::sqrt(16.0 / 5), 0.9903710250, 4, 0.75, 1.0},
      {"wind_by_sonde", "0-10", 2, 1.5, std::sqrt(2.5), NAN, 2, 0.5, 1.0},
      {"wind_by_sonde", "30-40", 1, 3.0, 3.0, NAN, 0, NAN, NAN},
      {"wind_by_sfmr", "0-10", 1, 1.0, 1.0, NAN, 1, 1.0, 1.0},
      {"wind_by_sfmr", "10-20", 2, 0.5, std::sqrt(2.5), NAN, 2, 0.5, 1.0},
      {"rain_by_sfmr", "0-5", 2, 2.0, std::sqrt(5.0), NAN, 1, 1.0, 1.0},
      {"rain_by_sfmr", "over 30", 1, -1.0, 1.0, NAN, 1, 1.0, 1.0},
  };
  const std::vector<BinStats> stats = sonde_statistics(pairs);
  const auto same = [](double got, double want) {
    return std::isnan(want) ? std::isnan(got) : std::abs(got - want) < 1e-9;
  };
  for (const Case& c : cases) {
    const BinStats* s = nullptr;
    for (const BinStats& b : stats)
      if (b.binning == c.binning && b.bin == c.bin) s = &b;
    ASSERT_NE(s, nullptr) << c.binning << " " << c.bin;
    const std::string name = std::string(c.binning) + " " + c.bin;
    EXPECT_EQ(s->n, c.n) << name;
    EXPECT_TRUE(same(s->bias, c.bias)) << name << ": bias " << s->bias;
    EXPECT_TRUE(same(s->rms, c.rms)) << name << ": rms " << s->rms;
    EXPECT_TRUE(same(s->correlation, c.correlation)) << name << ": correlation " << s->correlation;
    EXPECT_EQ(s->n_error, c.n_error) << name;
    EXPECT_TRUE(same(s->within_one, c.within_one)) << name << ": within one " << s->within_one;
    EXPECT_TRUE(same(s->within_two, c.within_two)) << name << ": within two " << s->within_two;
  }
  EXPECT_DOUBLE_EQ(combined_error(1.0, 2.0, 2.0), 3.0);             // sqrt(1 + 4 + 2^2)
  EXPECT_DOUBLE_EQ(combined_error(1.0, 2.0, NAN), std::sqrt(5.0));  // no change known: no term
}

TEST(Collocation, CentresFileOfTheStormAnalysis) {
  const std::string head = "time,lat,lon,source,accuracy_km\n";
  struct Case {
    const char* name;
    std::string text;
    std::size_t centres;  // 0: refused
    const char* error;    // part of the message when refused
  } cases[] = {
      {"flight fixes preferred to the track's rows",
       head + "2026-12-08T00:11:31Z,26.08,-85.16,flight,0.37\n2026-12-08T00:11:31Z,26.1,-85.1,track,\n"
              "2026-12-07T23:24:07Z,26.08,-85.03,flight,14.23\n",
       2, ""},
      {"track rows alone", head + "2026-12-07T23:24:07Z,26.1,-85.0,track,\n", 1, ""},
      {"the evidence column of the fixes",
       "time,lat,lon,source,accuracy_km,evidence\n2026-12-08T00:11:31Z,26.08,-85.16,flight,0.37,surface wind "
       "+ "
       "flight-level wind\n2026-12-08T00:11:31Z,26.1,-85.1,track,,\n2026-12-07T23:24:07Z,26.08,-85.03,flight,"
       "1.2,flight-level wind\n",
       2, ""},
      {"not the analysis's file", "Sec,Lat,Lon\n", 0, "line 1: not a centres file"},
      {"a bad time", head + "2026-12-07 23:24:07,26.1,-85.0,flight,1\n", 0, "line 2: time"},
      {"a day the calendar does not have", head + "2026-02-29T23:24:07Z,26.1,-85.0,flight,1\n", 0,
       "line 2: time"},
      {"latitude out of range", head + "2026-12-07T23:24:07Z,95,-85.0,flight,1\n", 0, "line 2: latitude"},
      {"no centre", head, 0, "no centre"},
  };
  for (const Case& c : cases) {
    try {
      const CentreTrack t = read_centres_csv(c.text);
      EXPECT_EQ(t.time.size(), c.centres) << c.name;
      EXPECT_TRUE(std::is_sorted(t.time.begin(), t.time.end())) << c.name;
    } catch (const SondeError& e) {
      EXPECT_EQ(c.centres, 0U) << c.name << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

TEST(Collocation, MatchupsHeaderAndUnmatchedNote) {
  ReadResult read;
  read.sondes.resize(2);
  read.skipped.push_back({"UZNT13 KNHC 200250 OB 03", "level group '09078'"});
  std::vector<Matchup> m(2);
  m[0].matched = true;
  m[1].reason = "nearest pass beyond the distance limit";
  const std::string csv = table_csv(matchups_columns(read, default_reduction(), m));
  const std::string header = std::string(kSondesHeader) +
                             ",matched,sfmr_time,sfmr_lat,sfmr_lon,sfmr_wind_speed,sfmr_rain_rate,"
                             "sfmr_wind_speed_standard_error,distance_km,time_difference_s,storm_range_km,"
                             "storm_bearing_deg\n";
  EXPECT_EQ(csv.substr(0, header.size()), header);
  struct Case {
    int row;
    const char* part;
  } cases[] = {
      {1, ",yes,"}, {2, "not matched: nearest pass beyond the distance limit,no,"}, {3, "skipped: "}};
  std::vector<std::string> lines;
  for (std::size_t from = 0, end; (end = csv.find('\n', from)) != std::string::npos; from = end + 1)
    lines.push_back(csv.substr(from, end - from));
  ASSERT_EQ(lines.size(), 4U);
  for (const Case& c : cases) EXPECT_NE(lines[c.row].find(c.part), std::string::npos) << lines[c.row];
}

}  // namespace
