// TEMP DROP decoding: the group codes, the real Maria message (README of the recon formats), bulletins with
// the decoding rules' cases, and the writer read back.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/constants.hpp"
#include "sonde/tempdrop.hpp"
#include "sonde/tempdrop_codes.hpp"

namespace {

using namespace sfmr::sonde;

// Hurricane Maria 2017, AF302, observation 3 (real; public archive).
const std::string kMaria = R"(UZNT13 KNHC 200250
XXAA  70035 99153 70659 04355 99007 29456 28521 00067 28856 28523
92755 22217 30027 85489 19027 31524 70139 11442 29022 50587 04759
29522 88999 77999
31313 09608 80231
51515 10190 40760
61616 AF302 0715A MARIA              OB 03
62626 MBL WND 29023 AEV 33304 DLM WND 29525 007410 WL150 28523 08
0 REL 1532N06587W 023155 SPG 1529N06581W 024152 =
XXBB  70038 99153 70659 04355 00007 29456 11911 21010 22850 19027
33812 17227 44795 17257 55706 11438 66680 10656 77573 01456 88559
00258 99549 00369 11532 02358 22516 03958 33511 03962 44504 04350
55498 04960 66482 07330 77466 08138 88461 08561 99455 08962 11439
10556 22427 10758 33410 13561
21212 00007 28521 11998 28524 22960 29523 33890 31528 44850 31524
55658 28029 66617 30527 77589 28524 88506 29523 99430 27527 11410
29524
31313 09608 80231
51515 10190 40760
61616 AF302 0715A MARIA              OB 03
62626 MBL WND 29023 AEV 33304 DLM WND 29525 007410 WL150 28523 08
0 REL 1532N06587W 023155 SPG 1529N06581W 024152 =
)";

const DateContext kSeptember2017{2017, 9, 0};

std::string part_a_only() {
  return kMaria.substr(0, kMaria.find("XXBB"));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

TEST(SondeTempDrop, GroupCodes) {
  struct Case {
    const char* group;
    double temperature, depression;  // NaN: missing; a depression of -1: the group is malformed
  } cases[] = {
      {"29456", 29.4, 6.0},   {"04759", -4.7, 9.0}, {"00000", 0.0, 0.0},  {"00150", -0.1, 5.0},
      {"12399", -12.3, 49.0}, {"/////", NAN, NAN},  {"12451", 0.0, -1.0}, {"1234/", 0.0, -1.0},
  };
  for (const Case& c : cases) {
    if (c.depression < 0) {
      EXPECT_THROW(tempdrop::decode_temperature(c.group), tempdrop::Malformed) << c.group;
      continue;
    }
    const tempdrop::Temperature t = tempdrop::decode_temperature(c.group);
    EXPECT_TRUE(std::isnan(c.temperature) ? std::isnan(t.temperature) : t.temperature == c.temperature)
        << c.group << ": want " << c.temperature << " got " << t.temperature;
    EXPECT_TRUE(std::isnan(c.depression) ? std::isnan(t.dewpoint_depression)
                                         : t.dewpoint_depression == c.depression)
        << c.group << ": want " << c.depression << " got " << t.dewpoint_depression;
    if (!std::isnan(c.temperature)) {
      EXPECT_EQ(tempdrop::encode_temperature(t.temperature, t.dewpoint_depression), c.group) << c.group;
    }
  }
  struct WindCase {
    const char* group;
    double from, knots;  // knots -1: malformed
  } winds[] = {{"28521", 285, 21}, {"12551", 125, 51}, {"28615", 285, 115}, {"36099", 360, 99},
               {"00000", 0, 0},    {"36500", 0, -1},   {"2852/", 0, -1}};
  for (const WindCase& c : winds) {
    if (c.knots < 0) {
      EXPECT_THROW(tempdrop::decode_wind(c.group, true), tempdrop::Malformed) << c.group;
      continue;
    }
    const Wind w = tempdrop::decode_wind(c.group, true);
    EXPECT_EQ(w.from_deg, c.from) << c.group;
    EXPECT_NEAR(w.speed, c.knots * sfmr::kMsPerKt, 1e-9) << c.group;
    EXPECT_EQ(tempdrop::encode_wind(w), c.group) << c.group;
  }
}

TEST(SondeTempDrop, MariaMessage) {
  const ReadResult r = read_tempdrop(kMaria, &kSeptember2017);
  ASSERT_EQ(r.sondes.size(), 1u);
  ASSERT_TRUE(r.skipped.empty());
  const Sonde& s = r.sondes[0];
  EXPECT_EQ(s.id, "AF302-0715A-OB03");
  EXPECT_EQ(s.storm, "MARIA");
  struct Case {
    const char* what;
    double got, want, tolerance;
  } cases[] = {
      // 2017-09-20 02:31:55 and 02:41:52 UTC.
      {"release time", s.release.time, 1505874715.0, 0.0},
      {"splash time", s.splash.time, 1505875312.0, 0.0},
      {"release lat", s.release.lat, 15.32, 1e-9},
      {"splash lon", s.splash.lon, -65.81, 1e-9},
      {"surface wind kt", s.surface_wind.speed / sfmr::kMsPerKt, 21.0, 1e-9},
      {"surface wind from", s.surface_wind.from_deg, 285.0, 0.0},
      {"MBL kt", s.mbl.wind.speed / sfmr::kMsPerKt, 23.0, 1e-9},
      {"MBL from", s.mbl.wind.from_deg, 290.0, 0.0},
      {"WL150 kt (across the wrapped line)", s.wl150.wind.speed / sfmr::kMsPerKt, 23.0, 1e-9},
      {"WL150 mean height", s.wl150.mean_height, 80.0, 0.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.got, c.want, c.tolerance) << c.what;
  // The 21212 level at 850 hPa, its height from the hypsometric equation on part B alone, against part A's
  // stated 1489 m.
  const std::string part_b = "UZNT13 KNHC 200250\n" + kMaria.substr(kMaria.find("XXBB"));
  std::size_t found = 0;
  const ReadResult b_only = read_tempdrop(part_b, &kSeptember2017);
  for (const Level& l : b_only.sondes.at(0).levels) {
    if (l.kind != LevelKind::kWind || l.pressure != 850) continue;
    EXPECT_NEAR(l.height, 1489.0, 10.0) << "850 hPa";
    ++found;
  }
  EXPECT_EQ(found, 1u);
}

TEST(SondeTempDrop, BulletinRules) {
  const double kt21 = 21 * sfmr::kMsPerKt;
  struct Case {
    const char* name;
    std::string text;
    std::size_t sondes, skipped;
    const char* reason;      // part of the first skip's reason
    double surface, splash;  // the first sonde's surface wind, m/s, and splash latitude
  } cases[] = {
      {"missing part B", part_a_only(), 1, 0, "", kt21, 15.29},
      {"winds in m/s (day not + 50)", replaced(replaced(kMaria, "70035", "20035"), "70038", "20038"), 1, 0,
       "", 21.0, 15.29},
      {"115 kt in the direction group", replaced(kMaria, "00007 28521", "00007 28615"), 1, 0, "",
       115 * sfmr::kMsPerKt, 15.29},
      {"older SPL", replaced(kMaria, "SPG", "SPL"), 1, 0, "", kt21, 15.29},
      {"heading with a correction indicator", replaced(kMaria, "200250", "200250 RRA"), 1, 0, "", kt21,
       15.29},
      {"two bulletins and a repeat", kMaria + "$$\n" + replaced(kMaria, "OB 03", "OB 04") + kMaria, 2, 1,
       "repeat", kt21, 15.29},
      {"unknown section skipped", replaced(kMaria, "51515 10190 40760", "41414 12345 99999 51515"), 1, 0, "",
       kt21, 15.29},
      {"malformed temperature", kMaria + replaced(replaced(kMaria, "OB 03", "OB 05"), "29456", "29451"), 1, 1,
       "dew-point depression", kt21, 15.29},
      {"unknown level", kMaria + replaced(replaced(kMaria, "OB 03", "OB 06"), "92755", "93755"), 1, 1,
       "level group", kt21, 15.29},
      {"part without its end", kMaria + replaced(replaced(kMaria, "OB 03", "OB 07"), "024152 =", "024152"), 1,
       1, "does not end", kt21, 15.29},
      {"bad splash", kMaria + replaced(replaced(kMaria, "OB 03", "OB 08"), "1529N", "15X9N"), 1, 1, "SPG",
       kt21, 15.29},
  };
  for (const Case& c : cases) {
    const ReadResult r = read_tempdrop(c.text, &kSeptember2017);
    ASSERT_EQ(r.sondes.size(), c.sondes) << c.name;
    EXPECT_NEAR(r.sondes[0].surface_wind.speed, c.surface, 1e-9) << c.name;
    EXPECT_NEAR(r.sondes[0].splash.lat, c.splash, 1e-9) << c.name;
    ASSERT_EQ(r.skipped.size(), c.skipped) << c.name;
    if (c.skipped > 0) {
      EXPECT_NE(r.skipped[0].reason.find(c.reason), std::string::npos)
          << c.name << ": " << r.skipped[0].reason;
      EXPECT_NE(r.skipped[0].sonde.find("UZNT13 KNHC 200250 OB 0"), std::string::npos) << r.skipped[0].sonde;
    }
  }
  EXPECT_THROW(read_tempdrop(kMaria, nullptr), SondeError) << "no month";
  EXPECT_THROW(read_tempdrop(replaced(kMaria, "29456", "29451"), &kSeptember2017), SondeError)
      << "none reads";
  EXPECT_THROW(read_tempdrop("XXAA 70035", &kSeptember2017), SondeError) << "no bulletin";
}

TEST(SondeTempDrop, WriterReadBack) {
  const Sonde maria = read_tempdrop(kMaria, &kSeptember2017).sondes.at(0);
  // The same sonde moved in time so that it splashes at `splash` (seconds since 1970).
  const auto splashing_at = [&maria](double splash) {
    Sonde s = maria;
    const double shift = splash - s.splash.time;
    s.release.time += shift, s.splash.time += shift;
    return s;
  };
  struct Case {
    const char* name;
    Sonde first;
  } cases[] = {
      {"as sent", maria},
      {"23:45 on the 19th, nominal hour 00 of the 20th", splashing_at(1505864700.0)},
      {"23:45 on 30 September, nominal hour 00 of 1 October", splashing_at(1506815100.0)},
  };
  for (const Case& c : cases) {
    const Sonde& first = c.first;
    const ReadResult again = read_tempdrop(write_tempdrop(first), &kSeptember2017);
    ASSERT_EQ(again.sondes.size(), 1u) << c.name << "\n" << write_tempdrop(first);
    const Sonde& s = again.sondes[0];
    EXPECT_EQ(s.id, first.id) << c.name;
    EXPECT_EQ(s.release.time, first.release.time) << c.name;
    EXPECT_EQ(s.splash.time, first.splash.time) << c.name;
    EXPECT_EQ(s.splash.lat, first.splash.lat) << c.name;
    EXPECT_EQ(s.surface_wind.speed, first.surface_wind.speed) << c.name;
    EXPECT_EQ(s.wl150.mean_height, first.wl150.mean_height) << c.name;
    ASSERT_EQ(s.levels.size(), first.levels.size()) << c.name;
    for (std::size_t k = 0; k < s.levels.size(); ++k) {
      const Level &a = first.levels[k], &b = s.levels[k];
      EXPECT_EQ(a.pressure, b.pressure) << c.name << ", level " << k;
      EXPECT_TRUE(a.temperature == b.temperature || (std::isnan(a.temperature) && std::isnan(b.temperature)))
          << c.name << ", level " << k;
      EXPECT_TRUE(a.wind.speed == b.wind.speed || (std::isnan(a.wind.speed) && std::isnan(b.wind.speed)))
          << c.name << ", level " << k;
      EXPECT_NEAR(a.height, b.height, 1e-6) << c.name << ", level " << k;
    }
  }
}

}  // namespace
