// The converter on HDOB archives made here with the reconnaissance writer: two files of one mission given out
// of order, overlapping by one observation, one faulty message, values flagged suspect. The file read back:
// each observation once in time order, every value from its transmitted field by the code's own units,
// the flags as sent, the mission in the global attributes, the fault named on standard error.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "netcdf/nc_support.hpp"
#include "recon/hdob.hpp"

namespace sfmr::testing {
namespace {

using recon::HdobRaw;

// Observation k of the mission: 30 s apart from 11:59:00 on, every field changing with k.
HdobRaw observation(int k) {
  HdobRaw r;
  const int second = 11 * 3600 + 59 * 60 + 30 * k;
  r.time_hhmmss = second / 3600 * 10000 + second / 60 % 60 * 100 + second % 60;
  r.lat_deg = 27;
  r.lat_min = 40 + k;
  r.lon_deg = 77;
  r.lon_min = 14 + 2 * k;
  r.pressure = k == 5 ? 4990 : 6967 - k;  // 696.7 hPa; the last above the 550-hPa level (a D-value)
  r.height_m = 3149 + k;
  r.extrap = 59 - k;  // 1005.9 hPa
  r.temperature = 86 - 3 * k;
  r.dew_point = -12 + k;
  r.wind_dir_deg = 116 + k;
  r.wind_kt = 50 + k;
  r.peak_wind_kt = 55 + k;
  r.sfmr_wind_kt = 39 + 2 * k;
  r.rain_mmh = 4 + k;
  r.flag_position = k == 4 ? 1 : 0;  // position suspect
  r.flag_met = k == 2 ? 3 : 0;       // radiometer suspect
  return r;
}

std::string message(int number, int first, int last) {
  const recon::HdobMessage m{.heading = "",
                             .aircraft = "AF305",
                             .mission = "1207A",
                             .storm_id = "07A",
                             .storm_name = "LEE",
                             .number = number,
                             .date = 20260910,
                             .line = 0};
  std::vector<HdobRaw> lines;
  for (int k = first; k <= last; ++k) lines.push_back(observation(k));
  return recon::write_hdob(m, lines);
}

TEST(Sfmr2ncHdob, FileReadBackFromTheTransmittedFields) {
  TempDir dir;
  write_file("first.txt", message(1, 0, 3));
  write_file("second.txt", message(2, 3, 5) + text_lines({"URNT15 KNHC 101203",
                                                          "AF305 1207A LEE                HDOB 03 20260910",
                                                          "120200 2752N 07714W 6967", "$$"}));
  const CommandResult r = run_command(std::string(SFMR2NC_BINARY) + " --hdob second.txt first.txt -o m.nc");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_NE(r.error.find("sfmr2nc: second.txt: URNT15 KNHC 101203 (HDOB 03), line "), std::string::npos)
      << r.error;
  EXPECT_NE(r.error.find("1 faulty messages left out, "), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("1 repeated observations read once"), std::string::npos) << r.error;

  const NcReader nc("m.nc");
  const std::vector<double> time = nc.values<double>("time");
  ASSERT_EQ(time.size(), 6u);
  const double kt = kMsPerKt;
  struct Case {
    const char* variable;
    std::function<double(const HdobRaw&)> want;  // NaN for _FillValue
    bool suspect_position, suspect_sfmr;         // held as _FillValue where so flagged
  };
  const Case cases[] = {
      {"time",
       [](const HdobRaw& o) {
         return o.time_hhmmss / 10000 * 3600.0 + o.time_hhmmss / 100 % 100 * 60.0 + o.time_hhmmss % 100;
       },
       false, false},
      {"lat", [](const HdobRaw& o) { return o.lat_deg + o.lat_min / 60.0; }, true, false},
      {"lon", [](const HdobRaw& o) { return -(o.lon_deg + o.lon_min / 60.0); }, true, false},
      {"wind_speed", [kt](const HdobRaw& o) { return o.sfmr_wind_kt * kt; }, false, true},
      {"rain_rate", [](const HdobRaw& o) { return o.rain_mmh; }, false, true},
      {"air_pressure", [](const HdobRaw& o) { return o.pressure * 10.0; }, false, false},
      {"geopotential_height", [](const HdobRaw& o) { return o.height_m; }, false, false},
      {"extrapolated_surface_pressure",
       [](const HdobRaw& o) { return o.pressure < 5500 ? NAN : (1000.0 + o.extrap * 0.1) * 100.0; }, false,
       false},
      {"d_value", [](const HdobRaw& o) { return o.pressure < 5500 ? o.extrap : NAN; }, false, false},
      {"air_temperature", [](const HdobRaw& o) { return o.temperature * 0.1; }, false, false},
      {"dew_point_temperature", [](const HdobRaw& o) { return o.dew_point * 0.1; }, false, false},
      {"flight_level_wind_speed", [kt](const HdobRaw& o) { return o.wind_kt * kt; }, false, false},
      {"flight_level_wind_from_direction", [](const HdobRaw& o) { return o.wind_dir_deg; }, false, false},
      {"flight_level_peak_wind_speed", [kt](const HdobRaw& o) { return o.peak_wind_kt * kt; }, false, false},
      {"position_quality_flag", [](const HdobRaw& o) { return o.flag_position; }, false, false},
      {"meteorological_quality_flag", [](const HdobRaw& o) { return o.flag_met; }, false, false},
  };
  for (const Case& c : cases) {
    const bool is_int = std::string(c.variable).ends_with("_flag") || std::string(c.variable) == "d_value";
    std::vector<double> got;
    if (is_int) {
      for (const int v : nc.values<int>(c.variable)) got.push_back(v == NC_FILL_INT ? NAN : v);
    } else if (std::string(c.variable) == "time") {
      got = time;
    } else {
      for (const float v : nc.values<float>(c.variable)) got.push_back(v == NC_FILL_FLOAT ? NAN : v);
    }
    ASSERT_EQ(got.size(), 6u) << c.variable;
    for (int k = 0; k < 6; ++k) {
      const HdobRaw o = observation(k);
      const bool fill = (c.suspect_position && o.flag_position == 1) || (c.suspect_sfmr && o.flag_met == 3);
      const double want = fill ? NAN : c.want(o);
      const double tolerance = std::abs(want) * 1e-6;
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got[k])) << c.variable << " [" << k << "]: want _FillValue got " << got[k];
      } else {
        EXPECT_NEAR(got[k], want, tolerance) << c.variable << " [" << k << "]";
      }
    }
  }
  struct Attribute {
    const char* name;
    const char* want;
  };
  const Attribute attributes[] = {{"featureType", "trajectory"},
                                  {"platform", "AF305"},
                                  {"mission", "1207A"},
                                  {"storm_id", "07A"},
                                  {"storm_name", "LEE"},
                                  {"hdob_files", "second.txt first.txt"},
                                  {"time_coverage_start", "2026-09-10T11:59:00Z"},
                                  {"time_coverage_end", "2026-09-10T12:01:30Z"}};
  for (const Attribute& a : attributes) EXPECT_EQ(nc.text(NC_GLOBAL, a.name), a.want) << a.name;
  EXPECT_EQ(nc.text(nc.var("time"), "units"), "seconds since 2026-09-10 00:00:00");
  EXPECT_EQ(nc.att<int>(NC_GLOBAL, "hdob_faulty_messages_left_out"), std::vector<int>{1});
}

}  // namespace
}  // namespace sfmr::testing
