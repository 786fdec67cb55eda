// The converter's clock repair against the simulator's own record of what it damaged: every line of the
// output file is in the file, times increase strictly, and each run that a damaged aircraft time moved away
// gets the true time of that record and one second a line after it.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "core/state.hpp"
#include "core/text.hpp"
#include "netcdf/nc_support.hpp"
#include "out_file/out_reader.hpp"
#include "records/aircraft.hpp"

namespace sfmr::testing {
namespace {

const std::filesystem::path kFlight = SFMR_NC_FLIGHT_DIR;
constexpr std::int64_t kDay = kSecondsPerDay;

// The time of day an aircraft record sets with the processing's own decoder; -1 when it sets none.
std::int32_t aircraft_time(const std::string& line) {
  State s;
  s.time.sec = -1;
  decodeacft(s, fixed_text(line));
  return s.time.sec;
}

std::vector<std::string> lines_of(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(Sfmr2ncClock, RepairedSecondsAreTheSimulatorsTrueTimes) {
  struct Case {
    const char* stem;
    int min_runs;  // runs moved by a damaged aircraft time, at least
  };
  const Case cases[] = {{.stem = "glitch31", .min_runs = 1}, {.stem = "glitch1", .min_runs = 1}};
  for (const Case& c : cases) {
    const std::string stem = (kFlight / c.stem).string();
    std::vector<flight::OutSecond> seconds;
    ASSERT_EQ(flight::read_out_file(stem + ".OUT", seconds), "") << c.stem;
    const NcReader nc(stem + ".nc");
    const auto time = nc.values<double>("time");
    const auto recorded = nc.values<double>("time_recorded");
    const auto quality = nc.values<signed char>("time_quality");
    ASSERT_EQ(time.size(), seconds.size()) << c.stem << ": every line of the output file";
    for (std::size_t i = 1; i < time.size(); ++i) ASSERT_GT(time[i], time[i - 1]) << c.stem << " line " << i;

    const auto raw = lines_of(stem + ".dat");
    int runs = 0;
    for (const std::string& row : lines_of(stem + ".damage.csv")) {
      const auto comma = row.find(',');
      std::int32_t raw_line = 0;
      if (comma == std::string::npos || !read_value(row.substr(0, comma), &raw_line) || raw_line < 1)
        continue;
      const std::string original = row.substr(comma + 1);
      const std::int32_t truth = aircraft_time(original),
                         shown = aircraft_time(raw.at(static_cast<std::size_t>(raw_line) - 1));
      if (!original.starts_with("%A") || truth < 0 || shown < 0 || shown == truth) continue;
      // The line the damaged record wrote, and the one more the brightness records advanced.
      std::size_t k = 0;
      while (k < time.size() && !(quality[k] != 0 && std::llround(recorded[k]) % kDay == shown)) ++k;
      ASSERT_LT(k, time.size()) << c.stem << ": no repaired line recorded at " << shown;
      EXPECT_EQ(quality[k], 1) << c.stem << " line " << k << ": verified";
      EXPECT_EQ(std::llround(time[k]) % kDay, truth) << c.stem << " line " << k;
      if (k + 1 < time.size() && quality[k + 1] != 0) {
        EXPECT_EQ(std::llround(time[k + 1]) % kDay, (truth + 1) % kDay) << c.stem << " line " << k + 1;
      }
      ++runs;
    }
    EXPECT_GE(runs, c.min_runs) << c.stem;
  }
}

}  // namespace
}  // namespace sfmr::testing
