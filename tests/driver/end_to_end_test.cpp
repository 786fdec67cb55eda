// Whole runs of the program over hand-made flights: console answers in, output file and transcript out.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "core/constants.hpp"
#include "driver/main_loop.hpp"
#include "records/thermal.hpp"
#include "retrieval/forward_model.hpp"
#include "sim/flight.hpp"
#include "support/test_util.hpp"

namespace sfmr {
namespace {

using sfmr::testing::TempDir;
using sfmr::testing::write_file;

// The comma-separated columns of every data line of an output file (header checked and dropped).
std::vector<std::vector<std::string>> output_rows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(sfmr::testing::read_file(path));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, std::string(Writer::kHeader) + "\r");
  while (std::getline(in, line)) {
    EXPECT_EQ(line.back(), '\r');
    line.pop_back();
    std::vector<std::string> cols;
    std::istringstream split(line);
    for (std::string c; std::getline(split, c, ',');) cols.push_back(c);
    EXPECT_EQ(cols.size(), 28u) << line;
    rows.push_back(cols);
  }
  return rows;
}

// Calibration file, setup file (aircraft SST mode, line filter) and an SST "grid" that does not load.
void write_run_files(const sim::Radiometer& radiometer) {
  std::ostringstream cal;
  sim::write_calibration_file(cal, radiometer);
  write_file("flight.cal", cal.str());
  write_file("sst.bin", "too short to be a grid");
  write_file("flight.setup",
             sfmr::testing::text_lines({"&A", "flight.dat", "&B", "flight.cal", "&C", "sst.bin", "&D",
                                        "4.74 5.31 5.57 6.02 6.69 7.09", "&E", "5.0", "&F", "2.0"}));
}

int run_program(std::string& transcript) {
  std::istringstream in("flight.setup\n");
  std::ostringstream out;
  const int status = run_sfmrbatch(in, out);
  transcript = out.str();
  return status;
}

// Brightness temperatures made by the forward model at a known wind and rain, turned into counts through the
// calibration, come back out of the whole program as that wind (after the rain correction) and rain.
TEST(EndToEnd, SyntheticSecondsAreRetrieved) {
  struct Case {
    double u, r;  // model wind speed (m/s) and rain rate (mm/h)
  };
  const Case cases[] = {{10.0, 0.0}, {20.0, 5.0}, {35.0, 15.0}, {45.0, 30.0}};
  const sim::Radiometer radiometer = sim::sample_radiometer();
  const std::string therm = "%T 745 759 784 787 791 1081 1092 699";
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "U " << c.u << " R " << c.r);
    TempDir dir;
    write_run_files(radiometer);

    // What the processing will see: the aircraft record's temperatures in deg C, the thermal values.
    const float sst = static_cast<float>(static_cast<double>(301.146f) - 273.146);
    const float tamb = static_cast<float>(static_cast<double>(293.146f) - 273.146);
    State th;
    sfmr::testing::ScriptedConsole quiet;
    decodetherm(th, quiet.console, fixed_text(therm));
    std::array<float, 6> emis{};
    klsw_loop(radiometer.freq, sst, emis, radiometer.serial, 6);
    const float ts = static_cast<float>(sst + kKelvinOffset);
    const float ta = static_cast<float>(tamb + kKelvinOffset);
    const std::array<float, 2> x = {static_cast<float>(c.u), static_cast<float>(c.r)};

    std::string raw = "%P 1 17\n";
    for (int t = 0; t < 10; ++t) {
      raw += "%A,07/12/2026,12:00:" + format_I(t, 2, 2) +
             ",26.0,-85.0,3000.0,2.0,1.0,293.146,301.146,a,b,c,d,40.0\n";
      raw += therm + "\n";
      for (int half = 0; half < 2; ++half) {
        const auto k = static_cast<std::size_t>((2 * t + half) % 6);
        const double tb = tbsfmr(radiometer.freq[k], ts, 3000.0f, ta, emis[k], x);
        const auto n = sim::counts_for_ratio(sim::ratio_for_tb(radiometer.coef[k], th.sfmr.Th, tb), 40000);
        raw += "%B," + std::to_string(k) + "," + std::to_string(n[0]) + "," + std::to_string(n[1]) + "," +
               std::to_string(n[2]) + "\n";
      }
    }
    write_file("flight.dat", raw);

    std::string transcript;
    ASSERT_EQ(run_program(transcript), 0) << transcript;
    EXPECT_NE(transcript.find("\r\nSST field not loaded; using aircraft or default SST\r\n"),
              std::string::npos);
    const auto rows = output_rows("flight.OUT");
    ASSERT_EQ(rows.size(), 11u) << "12:00:00 to 12:00:10, the last one moved by brightness records";
    const auto& last = rows.back();
    EXPECT_EQ(last[0], "12:00:10");
    EXPECT_EQ(last[23][0], 'F') << "a retrieval was made: " << last[23];
    const double wind = c.u - (0.2035 - 0.0043 * c.u) * c.r;
    float ws = 0.0f, rr = 0.0f;
    ASSERT_EQ(read_free(last[20], {&ws}), 0);
    ASSERT_EQ(read_free(last[21], {&rr}), 0);
    EXPECT_NEAR(ws, wind, 0.1);
    EXPECT_NEAR(rr, c.r, 0.1);
    EXPECT_EQ(last[8], " 28.00") << "the aircraft's SST";
  }
}

// Thermal and onboard-solution columns follow their records and repeat where a record is missing or
// rejected.
TEST(EndToEnd, ThermalAndOnboardColumnsFollowTheirRecords) {
  TempDir dir;
  write_run_files(sim::sample_radiometer());
  const std::string bb = "%B,0,1,2,3\n%B,0,1,2,3\n";
  write_file("flight.dat",
             "%P 1 17\n"
             "%A,07/12/2026,12:00:00,26.0,-85.0,3000.0,2.0,1.0,293.146,301.146\n"
             "%T 1000 1000 1000 1000 1000 1000 1000 1000\n"
             "%R,a,b,12.5,3.0,1.25,0,00000000000\n" +
                 bb +
                 "%T 99 1000 1000 1000 1000 1000 1000 1000\n"
                 "%R,a,b,1000,3.0,1.25,0,00000000000\n" +
                 bb + "%T 1100 1100 1100 1100 1100 1100 1100 1100\n" + bb +
                 "%R,a,b,20,4,0.5,1,00000100001\n" + bb);
  std::string transcript;
  ASSERT_EQ(run_program(transcript), 0);
  EXPECT_NE(
      transcript.find("Therm Read Error: " + fixed_text("%T 99 1000 1000 1000 1000 1000 1000 1000") + "\r\n"),
      std::string::npos);
  const auto rows = output_rows("flight.OUT");
  struct Want {
    const char* time;
    std::vector<std::string> th;  // Th2..Th6
    std::vector<std::string> ps;  // PSWS, PSRR, PSQF, PSErr
  };
  const std::string t1 = " 61.00", t2 = " 33.00";
  const std::string u1 = format_F(static_cast<float>(1100 * static_cast<double>(0.102f) - 41.0), 6, 2);
  const std::string u2 = format_F(static_cast<float>(1100 * static_cast<double>(0.096f) - 63.0), 6, 2);
  const Want want[] = {
      {"12:00:00",
       {"  0.00", "  0.00", "  0.00", "  0.00", "  0.00"},
       {"  0.00", "  0.00", "  0.00", "F012345   "}},
      {"12:00:01", {t1, t1, t1, t2, t2}, {" 12.50", "  3.00", "  1.25", "F012345   "}},
      {"12:00:02", {t1, t1, t1, t2, t2}, {" 12.50", "  3.00", "  1.25", "F012345   "}},
      {"12:00:03", {u1, u1, u1, u2, u2}, {" 12.50", "  3.00", "  1.25", "F012345   "}},
      {"12:00:04", {u1, u1, u1, u2, u2}, {" 20.00", "  4.00", "  0.50", "*-1234-   "}},
  };
  ASSERT_EQ(rows.size(), std::size(want));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(want[i].time);
    EXPECT_EQ(rows[i][0], want[i].time);
    EXPECT_EQ(std::vector<std::string>(rows[i].begin() + 15, rows[i].begin() + 20), want[i].th);
    EXPECT_EQ(std::vector<std::string>(rows[i].begin() + 24, rows[i].end()), want[i].ps);
  }
}

TEST(EndToEnd, ReadErrorEndsTheRunWithStatusOne) {
  auto run = std::make_unique<sfmr::Run>();
  // Reading this file fails at once with an input/output error.
  if (run->rawfile.open("/proc/self/mem") != 0) GTEST_SKIP() << "no /proc/self/mem";
  sfmr::testing::ScriptedConsole c;
  const auto end = sfmr::testing::capture_end([&] { process_raw(*run, c.console); });
  EXPECT_TRUE(end.ended);
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(end.message, "Read error on input file.  IOStat=    5");
}

}  // namespace
}  // namespace sfmr
