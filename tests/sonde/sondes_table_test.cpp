// The sondes table: each row's fields and its note saying why a value is missing.
#include <gtest/gtest.h>

#include <string>

#include "sonde/sondes_table.hpp"

namespace {

using namespace sfmr::sonde;

TEST(SondeTable, RowsAndNotes) {
  Sonde full;
  full.id = "AF302-0715A-OB03", full.aircraft = "AF302", full.mission = "0715A";
  full.release = {.time = 1505874715.0, .lat = 15.32, .lon = -65.87};
  full.splash = {.time = 1505875312.0, .lat = 15.29, .lon = -65.81};
  Level surface;
  surface.kind = LevelKind::kWind, surface.height = 10.0, surface.wind = {.from_deg = 285.0, .speed = 10.8};
  full.levels = {surface};
  full.wl150 = {.wind = {.from_deg = 285.0, .speed = 11.83}, .mean_height = 80.0};
  full.mbl.wind = {.from_deg = 290.0, .speed = 11.83};
  Sonde bare = full;
  bare.id = "NOAA43-0210A-OB01", bare.splash = {}, bare.levels.clear(), bare.wl150 = {}, bare.mbl = {};
  const ReadResult read{{full, bare}, {{"f.txt: UZNT13 KNHC 200250 OB 05", "dew-point depression '29451'"}}};
  struct Case {
    const char* name;
    std::string want;
  } cases[] = {
      {"header", std::string(kSondesHeader)},
      {"full",
       "AF302-0715A-OB03,AF302,0715A,2017-09-20T02:31:55Z,15.3200,-65.8700,2017-09-20T02:41:52Z,15.2900,"
       "-65.8100,10.80,285.0,lowest wind at 10 m,1.19,11.83,285.0,11.83,290.0,"},
      {"bare",
       "NOAA43-0210A-OB01,AF302,0715A,2017-09-20T02:31:55Z,15.3200,-65.8700,,,,,,,,,,,,no splash point; "
       "no 10-m wind: no wind with a height; no WL150 in the message or from the profile; no MBL in the "
       "message or from the profile"},
      {"skipped", "f.txt: UZNT13 KNHC 200250 OB 05,,,,,,,,,,,,,,,,,skipped: dew-point depression '29451'"},
  };
  const std::string table = sondes_csv(read, default_reduction());
  std::size_t at = 0;
  for (const Case& c : cases) {
    const std::size_t end = table.find('\n', at);
    ASSERT_NE(end, std::string::npos) << c.name;
    EXPECT_EQ(table.substr(at, end - at), c.want) << c.name;
    at = end + 1;
  }
  EXPECT_EQ(at, table.size()) << "no further rows";
}

}  // namespace
