// The HDOB reader on each oddity of real archives (a row per oddity, built from the real Dorian message),
// the faults it must name, and writer -> reader round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "core/constants.hpp"
#include "recon/hdob.hpp"
#include "recon/message_text.hpp"

namespace sfmr::recon {
namespace {

// Hurricane Dorian, AF304 mission 3005A, message 51 (real, shortened to four lines).
const std::string kDorian51 =
    "URNT15 KNHC 020423\n"
    "AF304 3005A DORIAN             HDOB 51 20190902\n"
    "041400 2752N 07714W 6967 03149 0059 +086 +033 116050 051 039 004 00\n"
    "041430 2752N 07716W 6963 03152 0051 +090 +036 115050 051 039 004 00\n"
    "042300 2750N 07802W 6963 03142 0044 +089 +039 087053 054 041 005 03\n"
    "042330 2749N 07804W 6974 03129 0042 +089 +042 084052 054 /// /// 03\n"
    "$$\n;\n";

// A message of the same mission with `number`, `date` and one observation line per entry of `lines`.
std::string message(int number, const std::string& date, std::initializer_list<std::string> lines,
                    const std::string& mission = "3005A DORIAN") {
  std::string s =
      "URNT15 KNHC 020430\nAF304 " + mission + "  HDOB " + std::to_string(number) + " " + date + "\n";
  for (const std::string& l : lines) s += l + "\n";
  return s + "$$\n";
}

std::string line(const std::string& hhmmss, const std::string& tail = "00") {
  return hhmmss + " 2752N 07714W 6967 03149 0059 +086 +033 116050 051 039 004 " + tail;
}

TEST(Hdob, ReadsEachOddityOfAnArchive) {
  struct Case {
    const char* name;
    std::string text;
    const char* storm;
    std::size_t observations;
    const char *first, *last;  // times of the first and last observation
    int HdobCounts::*counter;  // a count the case must move, with its value
    int count;
    std::size_t faults;
    double window;  // seconds the last observation's peaks cover (NaN: no line of its mission just before)
  };
  const double none = std::nan("");
  const Case cases[] = {
      {"the real message: the flagged SFMR values counted", kDorian51, "", 4, "2019-09-02T04:14:00Z",
       "2019-09-02T04:23:30Z", &HdobCounts::suspect_sfmr, 2, 0, 30},
      {"communications lines around it",
       "000 \n255 \n" + kDorian51.substr(0, 19) + "AHONT1\n" + kDorian51.substr(19) + "NNNN\n", "", 4,
       "2019-09-02T04:14:00Z", "2019-09-02T04:23:30Z", &HdobCounts::repeated_messages, 0, 0, 30},
      {"the message sent twice", kDorian51 + kDorian51, "", 4, "2019-09-02T04:14:00Z", "2019-09-02T04:23:30Z",
       &HdobCounts::repeated_messages, 1, 0, 30},
      {"messages out of order", message(52, "20190902", {line("042400"), line("042430")}) + kDorian51, "", 6,
       "2019-09-02T04:14:00Z", "2019-09-02T04:24:30Z", &HdobCounts::missing_messages, 0, 0, 30},
      {"a message missing", kDorian51 + message(53, "20190902", {line("043000")}), "", 5,
       "2019-09-02T04:14:00Z", "2019-09-02T04:30:00Z", &HdobCounts::missing_messages, 1, 0, none},
      {"an observation in two messages",
       kDorian51 + message(52, "20190902", {line("042330"), line("042400")}), "", 5, "2019-09-02T04:14:00Z",
       "2019-09-02T04:24:00Z", &HdobCounts::duplicate_observations, 1, 0, 30},
      {"across midnight", message(80, "20190902", {line("235930"), line("000000"), line("000030")}), "", 3,
       "2019-09-02T23:59:30Z", "2019-09-03T00:00:30Z", &HdobCounts::missing_messages, 0, 0, 30},
      {"position flagged suspect", message(1, "20190902", {line("041400", "10"), line("041430")}), "", 2,
       "2019-09-02T04:14:00Z", "2019-09-02T04:14:30Z", &HdobCounts::suspect_position, 1, 0, 30},
      {"all meteorological values suspect", message(1, "20190902", {line("041400", "09")}), "", 1,
       "2019-09-02T04:14:00Z", "2019-09-02T04:14:00Z", &HdobCounts::suspect_wind, 1, 0, none},
      {"a peak above 300 kt dropped",
       message(1, "20190902",
               {line("041400"), "041430 2752N 07716W 6963 03152 0051 +090 +036 115050 051 390 004 00"}),
       "", 1, "2019-09-02T04:14:00Z", "2019-09-02T04:14:00Z", &HdobCounts::fault_peak, 1, 0, none},
      {"a 0/0 position dropped",
       message(1, "20190902",
               {line("041400"), "041430 0000N 00000W 6963 03152 0051 +090 +036 115050 051 039 004 00"}),
       "", 1, "2019-09-02T04:14:00Z", "2019-09-02T04:14:00Z", &HdobCounts::fault_zero_position, 1, 0, none},
      {"one faulty message among sound ones",
       kDorian51 + message(52, "20190902", {"042400 2752N 07714W 6967"}), "", 4, "2019-09-02T04:14:00Z",
       "2019-09-02T04:23:30Z", &HdobCounts::repeated_messages, 0, 1, 30},
      {"a storm chosen by name among two", kDorian51 + message(7, "20190902", {line("050000")}, "0606A ERIN"),
       "erin", 1, "2019-09-02T05:00:00Z", "2019-09-02T05:00:00Z", &HdobCounts::other_storm_messages, 1, 0,
       none},
      {"a file without headings", kDorian51.substr(19), "", 4, "2019-09-02T04:14:00Z", "2019-09-02T04:23:30Z",
       &HdobCounts::repeated_messages, 0, 0, 30},
      {"60-s spacing", message(1, "20190902", {line("041400"), line("041500"), line("041600")}), "", 3,
       "2019-09-02T04:14:00Z", "2019-09-02T04:16:00Z", &HdobCounts::missing_messages, 0, 0, 60},
  };
  for (const Case& c : cases) {
    const HdobArchive a = read_hdob(c.text, "f.txt", c.storm);
    ASSERT_EQ(a.observations.size(), c.observations) << c.name;
    EXPECT_EQ(iso_time(a.observations.front().time), c.first) << c.name;
    EXPECT_EQ(iso_time(a.observations.back().time), c.last) << c.name;
    EXPECT_EQ(a.counts.*c.counter, c.count) << c.name;
    EXPECT_EQ(a.faults.size(), c.faults) << c.name;
    const double w = a.observations.back().window_s;
    EXPECT_TRUE(std::isnan(c.window) ? std::isnan(w) : w == c.window) << c.name << ": window " << w;
    for (std::size_t i = 1; i < a.observations.size(); ++i)
      EXPECT_LT(a.observations[i - 1].time, a.observations[i].time) << c.name << ", observation " << i;
  }
}

TEST(Hdob, DecodesTheFieldsOfTheRealMessage) {
  const HdobArchive a = read_hdob(kDorian51, "dorian.txt");
  const HdobObservation& o = a.observations.front();
  const HdobMessage& m = a.messages[o.message];
  EXPECT_EQ(m.aircraft + " " + m.mission + " " + m.storm_id + " " + m.storm_name, "AF304 3005A 05A DORIAN");
  struct Case {
    const char* name;
    double got, want;
  };
  const Case cases[] = {
      {"latitude 27 deg 52 min N", o.lat, 27.0 + 52.0 / 60.0},
      {"longitude 77 deg 14 min W", o.lon, -(77.0 + 14.0 / 60.0)},
      {"static pressure 696.7 hPa", o.static_pressure_pa, 69670.0},
      {"height 3149 m", o.geopotential_height_m, 3149.0},
      {"extrapolated surface pressure 1005.9 hPa", o.surface_pressure_pa, 100590.0},
      {"temperature 8.6 C", o.air_temperature_c, 8.6},
      {"dew point 3.3 C", o.dew_point_c, 3.3},
      {"wind from 116 deg", o.wind_from_deg, 116.0},
      {"wind 50 kt", o.wind_speed_ms, 50 * kMsPerKt},
      {"flight-level peak 51 kt", o.peak_wind_ms, 51 * kMsPerKt},
      {"radiometer peak 39 kt", o.sfmr_wind_ms, 39 * kMsPerKt},
      {"rain 4 mm/h", o.rain_rate_mmh, 4.0},
      {"peak window of the second line", a.observations[1].window_s, 30.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.got, c.want, 1e-9 * std::fabs(c.want)) << c.name;
  EXPECT_TRUE(std::isnan(a.observations[2].sfmr_wind_ms)) << "flag 03: radiometer wind not used";
  EXPECT_EQ(a.observations[2].raw.sfmr_wind_kt, 41) << "flag 03: raw value kept";
}

TEST(Hdob, RefusesAFileNamingTheFault) {
  struct Case {
    const char* name;
    std::string text;
    const char* storm;
    const char* error;
  };
  const Case cases[] = {
      {"a line of the wrong shape", message(51, "20190902", {"041400 2752N 07714W 6967 03149 0059 +086"}), "",
       "f.txt: URNT15 KNHC 020430 (HDOB 51), line 3: observation line has 7 fields, not 13"},
      {"a field of the wrong shape", message(51, "20190902", {line("041400", "0x")}), "",
       "line 3: field 13 '0x' is not two quality flags"},
      {"a heading without a body", "URNT15 KNHC 020423\n$$\n", "", "line 1: heading without a body"},
      {"a date that does not parse", message(51, "20190931", {line("041400")}), "",
       "line 2: date '20190931' is not a date YYYYMMDD"},
      {"a latitude past the pole", message(51, "20190902", {"041400 9001N" + line("041400").substr(12)}), "",
       "line 3: field 2 '9001N' is not a latitude"},
      {"a time that does not parse", message(51, "20190902", {line("046100")}), "", "is not a time hhmmss"},
      {"none of the formats", "hello\nworld\n", "", "f.txt: holds no HDOB message"},
      {"missions of two storms", kDorian51 + message(7, "20190902", {line("050000")}, "0606A ERIN"), "",
       "f.txt: missions of several storms (05A DORIAN, 06A ERIN)"},
      {"a storm not in the file", kDorian51, "KAREN", "f.txt: no HDOB message of storm KAREN"},
  };
  for (const Case& c : cases) {
    try {
      read_hdob(c.text, "f.txt", c.storm);
      ADD_FAILURE() << c.name << ": read";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

// An observation in SI units: time, position, pressures (Pa), height, temperatures, wind, peaks, rain.
HdobObservation obs(double t, double lat, double lon, double p, double z, double ps, double temp, double td,
                    double dir, double wind, double peak, double sfmr, double rain) {
  HdobObservation o;
  o.time = t, o.lat = lat, o.lon = lon, o.static_pressure_pa = p, o.geopotential_height_m = z;
  o.surface_pressure_pa = ps, o.air_temperature_c = temp, o.dew_point_c = td, o.wind_from_deg = dir;
  o.wind_speed_ms = wind, o.peak_wind_ms = peak, o.sfmr_wind_ms = sfmr, o.rain_rate_mmh = rain;
  return o;
}

TEST(Hdob, WriterAndReaderRoundTrip) {
  const double nan = std::nan("");
  struct Case {
    const char* name;
    HdobObservation obs;
  };
  const Case cases[] = {
      {"low level, pressure past 1000 hPa",
       obs(1567397640.0, 27.5, -77.25, 101330.0, 152.0, 101010.0, 26.5, 24.1, 90.0, 20.0, 22.0, 18.0, 12.0)},
      {"700 hPa, south and east, freezing",
       obs(1567397670.0, -12.75, 145.5, 69670.0, 3149.0, 95060.0, -1.2, -8.0, 360.0, 40.0, 45.0, 60.0, 80.0)},
      {"above the 550-hPa level: no surface pressure",
       obs(1567397700.0, 20.0, -60.0, 40010.0, 7200.0, nan, -20.3, -35.5, 270.0, 30.0, 31.0, nan, nan)},
      {"missing position and winds",
       obs(1567397730.0, nan, nan, 84320.0, 1480.0, 99870.0, 18.0, 16.0, nan, nan, nan, 33.0, 5.0)},
  };
  HdobMessage m{"", "NOAA3", "0412E", "12E", "JOHN", 7, 20190902, 0};
  std::vector<HdobRaw> raws;
  for (const Case& c : cases) raws.push_back(hdob_raw_from(c.obs));
  const HdobArchive a = read_hdob(write_hdob(m, raws), "rt.txt");
  ASSERT_EQ(a.observations.size(), std::size(cases));
  EXPECT_EQ(a.messages[0].mission + a.messages[0].storm_name, "0412EJOHN");
  auto near = [](double got, double want, double tol) {
    return std::isnan(want) ? std::isnan(got) : std::fabs(got - want) <= tol;
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const HdobObservation& w = cases[i].obs;
    const HdobObservation& g = a.observations[i];
    const std::string name = cases[i].name;
    EXPECT_EQ(g.time, w.time) << name;
    EXPECT_TRUE(near(g.lat, w.lat, 0.5 / 60.0) && near(g.lon, w.lon, 0.5 / 60.0)) << name;
    EXPECT_TRUE(near(g.static_pressure_pa, w.static_pressure_pa, 5.0))
        << name << ": " << g.static_pressure_pa;
    EXPECT_TRUE(near(g.surface_pressure_pa, w.surface_pressure_pa, 5.0))
        << name << ": " << g.surface_pressure_pa;
    EXPECT_TRUE(near(g.geopotential_height_m, w.geopotential_height_m, 0.5)) << name;
    EXPECT_TRUE(near(g.air_temperature_c, w.air_temperature_c, 0.05) &&
                near(g.dew_point_c, w.dew_point_c, 0.05))
        << name;
    EXPECT_TRUE(near(g.wind_from_deg, w.wind_from_deg, 0.5)) << name;
    for (auto [got, want] : {std::pair{g.wind_speed_ms, w.wind_speed_ms},
                             {g.peak_wind_ms, w.peak_wind_ms},
                             {g.sfmr_wind_ms, w.sfmr_wind_ms}})
      EXPECT_TRUE(near(got, want, 0.5 * kMsPerKt)) << name << ": " << got << " for " << want;
    EXPECT_TRUE(near(g.rain_rate_mmh, w.rain_rate_mmh, 0.5)) << name;
  }
}

}  // namespace
}  // namespace sfmr::recon
