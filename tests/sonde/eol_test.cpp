// EOL sounding files: a hand-made sonde written and read back, broken headers refused with their line, and
// the sondes table of sfmrsonde as a user runs it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/text.hpp"
#include "sonde/eol.hpp"
#include "sonde/sondes_table.hpp"
#include "sonde/tempdrop.hpp"

namespace {

using namespace sfmr::sonde;

// Released at 2019-09-02 04:20:10.5 UTC from 4000 m, falling at 12 m/s to 5 m, sampled every 0.5 s (each
// tenth sample kept), the wind turning and slowing towards the sea.
Sonde hand_made() {
  Sonde s;
  s.id = "AF304-3005A-OB07";
  s.aircraft = "AF304", s.mission = "3005A";
  s.release = {.time = 1567398010.5, .lat = 27.5, .lon = -77.25};
  s.release_altitude = 4000.0;
  for (int k = 0; k <= 680; k += 10) {
    Level l;
    l.time = 0.5 * k;
    l.height = std::max(4000.0 - 12.0 * l.time, 5.0);
    l.pressure = 1010.0 * std::exp(-l.height / 8000.0);
    l.temperature = 28.0 - 0.0065 * l.height;
    l.dewpoint_depression = 2.5;
    l.wind = {.from_deg = 100.0 + l.height / 100.0, .speed = 30.0 + l.height / 400.0};
    s.levels.push_back(l);
  }
  s.splash = {.time = s.release.time + s.levels.back().time, .lat = 27.46, .lon = -77.31};
  return s;
}

TEST(SondeEol, WriterReadBack) {
  const Sonde a = hand_made();
  std::string crlf;  // the file with CR LF line ends
  for (char c : write_eol(a)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const Sonde b = read_eol(crlf, "D20190902_042010_P.QC.eol");
  EXPECT_EQ(b.id, a.id);
  EXPECT_EQ(b.aircraft, a.aircraft);
  EXPECT_EQ(b.mission, a.mission);
  struct Case {
    const char* what;
    double got, want, tolerance;
  } cases[] = {
      {"release time", b.release.time, a.release.time, 0.5},  // whole seconds in the header
      {"release lat", b.release.lat, a.release.lat, 1e-5},
      {"release lon", b.release.lon, a.release.lon, 1e-5},
      {"release altitude", b.release_altitude, a.release_altitude, 0.05},
      {"splash time", b.splash.time, a.splash.time, 0.5},
      {"splash lat", b.splash.lat, a.splash.lat, 1e-5},
      {"splash lon", b.splash.lon, a.splash.lon, 1e-5},
      {"rows", static_cast<double>(b.levels.size()), static_cast<double>(a.levels.size()), 0},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.got, c.want, c.tolerance) << c.what;
  for (std::size_t k = 0; k < std::min(a.levels.size(), b.levels.size()); ++k) {
    const Level &x = a.levels[k], &y = b.levels[k];
    EXPECT_NEAR(y.height, x.height, 0.005) << "row " << k;
    EXPECT_NEAR(y.pressure, x.pressure, 0.005) << "row " << k;
    EXPECT_NEAR(y.dewpoint_depression, x.dewpoint_depression, 0.011) << "row " << k;
    EXPECT_NEAR(y.wind.speed, x.wind.speed, 0.005) << "row " << k;
    EXPECT_NEAR(y.wind.from_deg, x.wind.from_deg, 0.005) << "row " << k;
  }
}

TEST(SondeEol, BrokenHeaders) {
  const std::string good = write_eol(hand_made());
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  struct Case {
    const char* name;
    std::string text;
    const char* fault;
  } cases[] = {
      {"not an EOL file", "UZNT13 KNHC 020423\n", "line 1: not an EOL"},
      {"bad launch time", replaced("2019, 09, 02, 04:20:10", "2019, 09, 02, 04:20"),
       "line 5: UTC Launch Time"},
      {"bad location", replaced("-77.25000,", "-77.25000 X,"), "line 4: Launch Location"},
      {"no launch time", replaced("UTC Launch Time (y,m,d,h,m,s):", "UTC Launch Date:"), "line 8: no 'UTC"},
      {"no dashes", replaced("------ -- --", "====== == =="), "line 10: no line of dashes"},
      {"short row", replaced("\n   5.00 04", "\n   5.00"), "line 12: not a row of 17 numbers"},
      {"no rows", good.substr(0, good.find("------")) + "------\n", "no data rows"},
  };
  for (const Case& c : cases) {
    try {
      read_eol(c.text, "x.eol");
      ADD_FAILURE() << c.name << ": read";
    } catch (const SondeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

// sfmrsonde on an EOL file and a TEMP DROP file of the same sonde: the same 10-m wind within the
// message's rounding (1 kt, 5 deg), and the table's header exactly as documented.
TEST(SondeEol, SondesTableFromBothForms) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sfmrsonde_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  // Samples only: the TEMP DROP writer makes the message (surface, levels, WL150, MBL) from them.
  const Sonde s = hand_made();
  std::ofstream(dir / "a.eol") << write_eol(s);
  std::ofstream(dir / "b.txt") << write_tempdrop(s);
  // The bulletin twice: read once, the repeat skipped.
  const std::string command = std::string(SFMRSONDE_BINARY) + " " + (dir / "a.eol").string() + " " +
                              (dir / "b.txt").string() + " " + (dir / "b.txt").string() +
                              " --month 2019-09 -o " + (dir / "t").string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(dir / "t.sondes.csv");
  std::string header, eol_row, tempdrop_row, repeat_row, end;
  std::getline(in, header), std::getline(in, eol_row), std::getline(in, tempdrop_row);
  std::getline(in, repeat_row);
  EXPECT_NE(repeat_row.find("skipped: a repeat"), std::string::npos) << repeat_row;
  EXPECT_FALSE(std::getline(in, end)) << end;
  EXPECT_EQ(header, kSondesHeader);
  const auto field = [](const std::string& row, int n) {
    std::stringstream ss(row);
    std::string f;
    for (int k = 0; k <= n; ++k) std::getline(ss, f, ',');
    float v = NAN;
    sfmr::read_value(f, &v);
    return static_cast<double>(v);
  };
  EXPECT_NEAR(field(eol_row, 9), field(tempdrop_row, 9), 0.5 * 0.514444) << eol_row << "\n" << tempdrop_row;
  EXPECT_NEAR(field(eol_row, 10), field(tempdrop_row, 10), 2.5) << eol_row << "\n" << tempdrop_row;
  EXPECT_NE(std::system(command.c_str()), 0) << "the table is there: not replaced without --force";
  std::filesystem::remove_all(dir);
}

}  // namespace
