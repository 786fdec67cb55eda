// sfmrsonde on the fixture's flight with three sondes: PREFIX.matchups.nc read back gives the matchups.csv
// rows and the columns' CF attributes; a failing gnuplot leaves the tables written, status 1 and one line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "netcdf/nc_support.hpp"

namespace {

namespace fs = std::filesystem;
using sfmr::testing::NcReader;
using sfmr::testing::read_file;

const std::string kFlight = std::string(SFMR_NC_FLIGHT_DIR) + "/sd";

// The cells of a CSV table (no quoted commas in the matchups' columns used here), header first.
std::vector<std::vector<std::string>> csv_cells(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : sfmr::testing::lines_of(text)) {
    if (line.empty()) continue;
    rows.emplace_back();
    for (std::size_t from = 0, end = 0; end != std::string::npos; from = end + 1)
      rows.back().push_back(line.substr(from, (end = line.find(',', from)) - from));
  }
  return rows;
}

// sfmrsonde on the fixture's sondes and flight into DIR/m, with `env` before the command.
sfmr::testing::CommandResult run_sonde(const fs::path& dir, const std::string& env = "") {
  fs::remove_all(dir);
  fs::create_directories(dir);
  return sfmr::testing::run_command(env + " " + SFMRSONDE_BINARY + " " + kFlight + ".tempdrop --flight " +
                                    kFlight + ".nc -o " + (dir / "m").string());
}

TEST(SondeMatchupsNc, ValuesAndAttributesOfTheCsv) {
  const fs::path dir = fs::temp_directory_path() / ("sonde_nc." + std::to_string(::getpid()));
  const auto r = run_sonde(dir);
  ASSERT_EQ(r.status, 0) << r.error;
  const auto rows = csv_cells(read_file(dir / "m.matchups.csv"));
  ASSERT_EQ(rows.size(), 4U);  // the header and three sondes
  const NcReader nc((dir / "m.matchups.nc").string());
  for (const char* name : {"surface_wind_speed", "sfmr_wind_speed", "distance_km"}) {
    const auto column = std::find(rows[0].begin(), rows[0].end(), name) - rows[0].begin();
    const std::vector<double> v = nc.values<double>(name);
    ASSERT_EQ(v.size(), 3U) << name;
    for (std::size_t k = 0; k < v.size(); ++k) {
      const std::string& cell = rows[k + 1].at(column);  // rounded to its last digit
      const double half_digit = 0.5 * std::pow(10.0, -double(cell.size() - cell.find('.') - 1)) + 1e-6;
      EXPECT_NEAR(v[k], std::stod(cell), half_digit) << name << " sonde " << k;
    }
  }
  const auto matched = std::find(rows[0].begin(), rows[0].end(), "matched") - rows[0].begin();
  std::vector<char*> texts = nc.values<char*>("matched");
  ASSERT_EQ(texts.size(), 3U);
  for (std::size_t k = 0; k < texts.size(); ++k) EXPECT_EQ(texts[k], rows[k + 1].at(matched)) << k;
  nc_free_string(texts.size(), texts.data());
  struct Case {
    const char* var;
    const char* units;
    const char* standard_name;
  } cases[] = {{"surface_wind_speed", "m s-1", "wind_speed"}, {"sfmr_wind_speed", "m s-1", "wind_speed"}};
  for (const Case& c : cases) {
    EXPECT_EQ(nc.text(nc.var(c.var), "units"), c.units) << c.var;
    EXPECT_EQ(nc.text(nc.var(c.var), "standard_name"), c.standard_name) << c.var;
  }
  EXPECT_EQ(nc.text(NC_GLOBAL, "featureType"), "point");
  fs::remove_all(dir);
}

TEST(SondeMatchupsNc, FailedPlotLeavesTheTables) {
  const fs::path dir = fs::temp_directory_path() / ("sonde_plot." + std::to_string(::getpid()));
  const fs::path bin = dir.string() + ".bin";
  fs::create_directories(bin);
  sfmr::testing::write_executable(bin / "gnuplot",
                                  "#!/bin/sh\necho '   line 0: all points out of range' >&2\nexit 1\n");
  const auto r = run_sonde(dir, "PATH=" + bin.string() + ":$PATH");
  EXPECT_EQ(r.status, 1) << r.error;
  EXPECT_EQ(std::count(r.error.begin(), r.error.end(), '\n'), 1) << r.error;
  EXPECT_NE(r.error.find("m.scatter.png and " + (dir / "m").string() +
                         ".bias.png (gnuplot:    line 0: all points out of range)"),
            std::string::npos)
      << r.error;
  for (const char* file : {"m.matchups.csv", "m.matchups.nc", "m.sonde_stats.txt"})
    EXPECT_TRUE(fs::exists(dir / file)) << file;
  fs::remove_all(dir);
  fs::remove_all(bin);
}

}  // namespace
