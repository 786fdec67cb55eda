#include "driver/main_loop.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "core/run_end.hpp"
#include "support/test_util.hpp"

namespace sfmr {
namespace {

using sfmr::testing::ScriptedConsole;
using sfmr::testing::TempDir;

struct LoopResult {
  std::vector<std::string> lines;  // output file lines without their CR LF
  std::string console;
  State s;
};

// Runs the line loop over `raw` with a state as the start-up leaves it (TAmb 999.0), after `prepare`.
LoopResult run_loop(const std::string& raw, const std::function<void(Run&)>& prepare = {}) {
  TempDir dir;
  sfmr::testing::write_file("flight.dat", raw);
  auto run = std::make_unique<Run>();
  run->s.acft.TAmb = 999.0f;
  if (prepare) prepare(*run);
  EXPECT_EQ(run->rawfile.open("flight.dat"), 0);
  EXPECT_EQ(run->outfile.create("flight.OUT"), 0);
  ScriptedConsole c;
  process_raw(*run, c.console);
  run->outfile.close();
  LoopResult r{{}, c.transcript(), run->s};
  std::istringstream in(sfmr::testing::read_file("flight.OUT"));
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(line.back(), '\r');
    line.pop_back();
    r.lines.push_back(line);
  }
  return r;
}

// Column n (1-based) of a comma-separated output line.
std::string column(const std::string& line, int n) {
  std::istringstream in(line);
  std::string field;
  for (int i = 0; i < n; ++i) std::getline(in, field, ',');
  return field;
}

std::vector<std::string> times_of(const LoopResult& r) {
  std::vector<std::string> t;
  for (std::size_t i = 1; i < r.lines.size(); ++i) t.push_back(r.lines[i].substr(0, 8));
  return t;
}

const std::string A0 = "%A,07/12/2026,00:00:00,25.0,-80.0,3000,1,2,290,300,a,b,c,d,10.5\n";
const std::string A1 = "%A,07/12/2026,12:00:00,25.0,-80.0,3000,1,2,290,300,a,b,c,d,10.5\n";
const std::string A2 = "%A,07/12/2026,12:00:01,25.1,-80.1,3000,1,2,290,300,a,b,c,d,10.5\n";
const std::string A_early = "%A,07/12/2026,11:00:00,25.0,-80.0,3000,1,2,290,300,a,b,c,d,10.5\n";
const std::string A_late = "%A,07/12/2026,23:59:59,25.0,-80.0,3000,1,2,290,300,a,b,c,d,10.5\n";
const std::string B = "%B,0,1,2,3\n";

TEST(MainLoop, ClockMovementDecidesTheSteps) {
  struct Case {
    const char* name;
    std::string raw;
    std::vector<std::string> times;
  };
  const Case cases[] = {
      {"no movement: empty file", "", {}},
      {"no movement: first time 00:00:00", A0 + "%P,1,7\n", {}},
      {"first time 00:00:00 then brightness", A0 + B + B, {"00:00:01"}},
      {"brightness before any aircraft record", B + B + B + B + A1, {"00:00:01", "00:00:02", "12:00:00"}},
      {"aircraft then two brightness then the next aircraft", A1 + B + B + A2 + B, {"12:00:00", "12:00:01"}},
      {"earlier time steps at once", A1 + A_early, {"12:00:00", "11:00:00"}},
      {"midnight wrap", A_late + B + B, {"23:59:59", "00:00:00"}},
      {"two aircraft records keep the phase at 0", A1 + A1 + B + A1 + B, {"12:00:00"}},
      {"lower-case or indented tags are not decoded",
       "%a,07/12/2026,12:00:00\n %A,07/12/2026,12:00:00\n",
       {}},
      {"bad brightness lines still move the clock", A1 + "%Bxx\n%B\n", {"12:00:00", "12:00:01"}},
      {"last line without line feed", "%A,07/12/2026,12:00:00", {"12:00:00"}},
  };
  for (const Case& c : cases) {
    const LoopResult r = run_loop(c.raw);
    EXPECT_EQ(times_of(r), c.times) << c.name;
    if (c.times.empty()) {
      EXPECT_TRUE(r.lines.empty()) << c.name << ": not even a header";
    } else {
      EXPECT_EQ(r.lines[0], Writer::kHeader) << c.name;
    }
  }
}

TEST(MainLoop, StepBeforeTheFirstAircraftRecordShowsTheStartValues) {
  const LoopResult r = run_loop(B + B);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[1].substr(0, 58), "00:00:01,  0.000,   0.000,    0,999.0,  0.00,  0.00,  0.00");
  EXPECT_EQ(r.lines[1].substr(r.lines[1].size() - 10), "F012345   ") << "no onboard record yet";
}

TEST(MainLoop, StepSeesTheAircraftRecordThatMovedTheClock) {
  const LoopResult r = run_loop(A1 + B + B + A2);
  ASSERT_EQ(r.lines.size(), 3u);
  EXPECT_EQ(r.lines[1].substr(0, 26), "12:00:00, 25.000, -80.000,");
  EXPECT_EQ(r.lines[2].substr(0, 26), "12:00:01, 25.000, -80.000,") << "moved by a brightness record";
}

TEST(MainLoop, SstSourceSelection) {
  // acft.AcftSST from the records below is 300 - 273.146 = 26.854 deg C; "%A" lines with 400 K carry none.
  const std::string no_sst = "%A,07/12/2026,12:00:00,25.0,-80.0,3000,1,2,290,400,a,b,c,d,10.5\n";
  struct Case {
    const char* name;
    float default_sst;
    std::string raw;
    const char* sst_column;
  };
  const Case cases[] = {
      {"aircraft SST", 10.0f, A1, " 26.85"},
      {"no aircraft SST: default", 10.0f, no_sst, " 10.00"},
      {"unloaded field with negative default: its magnitude", -12.5f, A1, " 12.50"},
  };
  for (const Case& c : cases) {
    const LoopResult r = run_loop(c.raw, [&](sfmr::Run& run) { run.s.cal.default_sst = c.default_sst; });
    ASSERT_EQ(r.lines.size(), 2u) << c.name;
    EXPECT_EQ(column(r.lines[1], 9), c.sst_column) << c.name << ": " << r.lines[1];
  }
}

TEST(MainLoop, ProgramEndsWithStatusAndMessage) {
  // The placeholder-free parts of the program: a quit or end of input before anything was set up.
  std::istringstream in("");
  std::ostringstream out;
  EXPECT_EQ(run_sfmrbatch(in, out), 1);
  EXPECT_NE(out.str().find("\r\nUnexpected EOF on console input\r\n"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace sfmr
