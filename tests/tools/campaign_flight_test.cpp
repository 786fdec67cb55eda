#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "campaign/flight.hpp"
#include "campaign/manifest.hpp"
#include "support/test_util.hpp"

namespace sfmr::campaign {
namespace {

namespace fs = std::filesystem;
using sfmr::testing::read_file;
using sfmr::testing::TempDir;
using sfmr::testing::write_executable;
using sfmr::testing::write_file;

const fs::path kSample = fs::path(SFMR_SOURCE_DIR) / "sample" / "flight";

void write_script(const fs::path& path, std::string_view body) {
  fs::create_directories(path.parent_path());
  write_executable(path, "#!/bin/sh\n" + std::string(body) + "\n");
}

// Stand-ins for the companion tools, each writing what the real one writes (or failing as one may).
const char* kNcGood = "echo \"$@\" > nc.args; echo netcdf > \"$6\"";
const char* kNcFails = "echo 'sfmr2nc: x.OUT line 3: cannot decode' >&2; exit 1";
const char* kPlotGood = "echo png > \"$3.timeseries.png\"; echo png > \"$3.map.png\"";
const char* kPlotNoMap = "echo png > \"$3.timeseries.png\"";
const char* kSummaryGood =
    "echo seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records,"
    "time_repaired,max_wind_time,max_wind_lat,max_wind_lon; "
    "echo 7200,7000,0.972,49.8,44.1,12,2,01:02:03,25.5,-84";
const char* kKilled = "kill -9 $$";

Flight sample_flight(std::string raw = (kSample / "sample.dat").string(),
                     std::string cal = (kSample / "sample.cal").string()) {
  const std::string text = "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter\nx," + raw + "," + cal +
                           ",aircraft,4.74,5.31,5.57,6.02,6.69,7.09,-20.0,2.0\n";
  return std::get<std::vector<Flight>>(parse_manifest(text, "/")).front();
}

// One flight with each combination of built companion tools and failures: which steps ran, whether it is
// done, and which step failed for what reason.
TEST(CampaignFlight, RunsTheBuiltStepsAndRecordsTheOutcome) {
  struct Case {
    const char* what;
    const char *nc, *plot, *summary;  // tool scripts; nullptr: not built
    bool missing_raw, broken_cal;
    bool done;
    std::vector<std::string> steps;
    std::string failed_step, reason_part;
    int exit_status;
  };
  const Case cases[] = {
      {.what = "sfmrbatch alone",
       .nc = nullptr,
       .plot = nullptr,
       .summary = nullptr,
       .missing_raw = false,
       .broken_cal = false,
       .done = true,
       .steps = {"sfmrbatch"},
       .failed_step = "",
       .reason_part = "",
       .exit_status = 0},
      {.what = "all tools",
       .nc = kNcGood,
       .plot = kPlotGood,
       .summary = kSummaryGood,
       .missing_raw = false,
       .broken_cal = false,
       .done = true,
       .steps = {"sfmrbatch", "sfmr2nc", "sfmrplot", "sfmrsummary"},
       .failed_step = "",
       .reason_part = "",
       .exit_status = 0},
      {.what = "plots only",
       .nc = nullptr,
       .plot = kPlotGood,
       .summary = nullptr,
       .missing_raw = false,
       .broken_cal = false,
       .done = true,
       .steps = {"sfmrbatch", "sfmrplot"},
       .failed_step = "",
       .reason_part = "",
       .exit_status = 0},
      {.what = "converter fails",
       .nc = kNcFails,
       .plot = kPlotGood,
       .summary = kSummaryGood,
       .missing_raw = false,
       .broken_cal = false,
       .done = false,
       // The steps after sfmrbatch run side by side: the plots and the summary are made all the same.
       .steps = {"sfmrbatch", "sfmr2nc", "sfmrplot", "sfmrsummary"},
       .failed_step = "sfmr2nc",
       .reason_part = "sfmr2nc: x.OUT line 3: cannot decode",
       .exit_status = 1},
      {.what = "map missing",
       .nc = nullptr,
       .plot = kPlotNoMap,
       .summary = kSummaryGood,
       .missing_raw = false,
       .broken_cal = false,
       .done = false,
       .steps = {"sfmrbatch", "sfmrplot", "sfmrsummary"},
       .failed_step = "sfmrplot",
       .reason_part = "no x.map.png written",
       .exit_status = 0},
      {.what = "summary killed",
       .nc = nullptr,
       .plot = nullptr,
       .summary = kKilled,
       .missing_raw = false,
       .broken_cal = false,
       .done = false,
       .steps = {"sfmrbatch", "sfmrsummary"},
       .failed_step = "sfmrsummary",
       .reason_part = "ended by signal 9",
       .exit_status = 137},
      {.what = "raw missing",
       .nc = kNcGood,
       .plot = nullptr,
       .summary = nullptr,
       .missing_raw = true,
       .broken_cal = false,
       .done = false,
       .steps = {},
       .failed_step = "inputs",
       .reason_part = "raw file missing: /nowhere/x.dat",
       .exit_status = 1},
      {.what = "broken calibration",
       .nc = kNcGood,
       .plot = nullptr,
       .summary = nullptr,
       .missing_raw = false,
       .broken_cal = true,
       .done = false,
       .steps = {"sfmrbatch"},
       .failed_step = "sfmrbatch",
       .reason_part = "sfmrbatch: Unexpected EOF in Cal file",
       .exit_status = 1},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const fs::path bin = dir.path() / "bin";
    Tools tools;
    tools.sfmrbatch = SFMR_BINARY;
    if (c.nc) write_script(tools.sfmr2nc = bin / "sfmr2nc", c.nc);
    if (c.plot) write_script(tools.sfmrplot = bin / "sfmrplot", c.plot);
    if (c.summary) write_script(tools.sfmrsummary = bin / "sfmrsummary", c.summary);
    write_file(dir.path() / "bad.cal", "US- 17\n");
    const Flight flight =
        sample_flight(c.missing_raw ? "/nowhere/x.dat" : (kSample / "sample.dat").string(),
                      c.broken_cal ? (dir.path() / "bad.cal").string() : (kSample / "sample.cal").string());
    const fs::path out = dir.path() / "out";
    const FlightResult r = run_flight(flight, out, tools);

    EXPECT_EQ(r.done, c.done) << c.what << ": " << r.reason;
    std::vector<std::string> steps;
    for (const auto& s : r.steps) steps.push_back(s.step);
    EXPECT_EQ(steps, c.steps) << c.what;
    EXPECT_EQ(r.failed_step, c.failed_step) << c.what;
    EXPECT_NE(r.reason.find(c.reason_part), std::string::npos)
        << c.what << ": want '" << c.reason_part << "' in '" << r.reason << "'";
    // The reason names its step once, also when the tool's own line begins with its name.
    if (!c.failed_step.empty()) {
      EXPECT_EQ(r.reason.find(c.failed_step + ": " + c.failed_step), std::string::npos)
          << c.what << ": " << r.reason;
    }
    EXPECT_EQ(r.exit_status, c.exit_status) << c.what;
    // What result.txt holds is what the run returned.
    const auto recorded = read_result(out / "x");
    ASSERT_TRUE(recorded) << c.what;
    EXPECT_EQ(recorded->done, c.done) << c.what;
    EXPECT_EQ(recorded->reason, r.reason) << c.what;
    if (c.done) {
      EXPECT_GT(fs::file_size(out / "x" / "x.OUT"), 0u) << c.what;
    }
    if (c.nc == kNcGood && c.done) {
      EXPECT_EQ(read_file(out / "x" / "nc.args"), "x.OUT x.dat --setup x.setup -o x.nc\n") << c.what;
    }
  }
}

// A second run of a flight replaces the first one's directory (sfmrbatch would otherwise write xa.OUT); a
// directory that the campaign did not make is never touched.
TEST(CampaignFlight, RerunReplacesOnlyItsOwnDirectory) {
  TempDir dir;
  Tools tools;
  tools.sfmrbatch = SFMR_BINARY;
  const fs::path out = dir.path() / "out";
  const Flight flight = sample_flight();
  ASSERT_TRUE(run_flight(flight, out, tools).done);
  write_file(out / "x" / "stale.txt", "old");
  ASSERT_TRUE(run_flight(flight, out, tools).done);
  EXPECT_TRUE(fs::exists(out / "x" / "x.OUT"));
  EXPECT_FALSE(fs::exists(out / "x" / "xa.OUT"));
  EXPECT_FALSE(fs::exists(out / "x" / "stale.txt"));

  fs::create_directories(dir.path() / "other" / "x");
  write_file(dir.path() / "other" / "x" / "keep.txt", "mine");
  EXPECT_THROW(run_flight(flight, dir.path() / "other", tools), std::runtime_error);
  EXPECT_EQ(read_file(dir.path() / "other" / "x" / "keep.txt"), "mine");
}

// sfmrbatch is taken from the first directory that holds it, the companion tools from beside it or its
// tools/ subdirectory; a file that is not executable does not count.
TEST(CampaignFlight, FindsToolsBesideSfmrbatch) {
  struct Case {
    const char* what;
    std::vector<std::string> files;            // executables to make, relative to the scratch directory
    std::string sfmrbatch, sfmr2nc, sfmrplot;  // expected, relative; empty: not found
  };
  const Case cases[] = {
      {.what = "build tree",
       .files = {"b/sfmrbatch", "b/tools/sfmr2nc", "b/tools/sfmrplot"},
       .sfmrbatch = "b/sfmrbatch",
       .sfmr2nc = "b/tools/sfmr2nc",
       .sfmrplot = "b/tools/sfmrplot"},
      {.what = "installed",
       .files = {"a/sfmrbatch", "a/sfmr2nc", "b/sfmrbatch", "b/sfmrplot"},
       .sfmrbatch = "a/sfmrbatch",
       .sfmr2nc = "a/sfmr2nc",
       .sfmrplot = ""},
      {.what = "second directory",
       .files = {"b/sfmrbatch", "a/sfmr2nc"},
       .sfmrbatch = "b/sfmrbatch",
       .sfmr2nc = "",
       .sfmrplot = ""},
      {.what = "not executable",
       .files = {"a/sfmrbatch", "a/sfmrplot=text"},
       .sfmrbatch = "a/sfmrbatch",
       .sfmr2nc = "",
       .sfmrplot = ""},
      {.what = "no sfmrbatch", .files = {"a/sfmr2nc"}, .sfmrbatch = "", .sfmr2nc = "", .sfmrplot = ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& f : c.files) {
      if (f.ends_with("=text")) {
        write_file(dir.path() / f.substr(0, f.size() - 5), "text");
      } else {
        write_script(dir.path() / f, "exit 0");
      }
    }
    const Tools t = find_tools({dir.path() / "a", dir.path() / "b"});
    auto rel = [&](const fs::path& p) {
      return p.empty() ? std::string() : p.lexically_relative(dir.path()).string();
    };
    EXPECT_EQ(rel(t.sfmrbatch), c.sfmrbatch) << c.what;
    EXPECT_EQ(rel(t.sfmr2nc), c.sfmr2nc) << c.what;
    EXPECT_EQ(rel(t.sfmrplot), c.sfmrplot) << c.what;
  }
}

// result.txt: what is written reads back the same; anything else is no result (the flight runs again).
TEST(CampaignFlight, ResultFileReadsBackOrIsRejected) {
  FlightResult r;
  r.done = false;
  r.exit_status = 137;
  r.failed_step = "sfmrplot";
  r.reason = "sfmrplot: line one\nline two";
  r.seconds = 12.5;
  r.steps = {{"sfmrbatch", 0, 0.25}, {"sfmrplot", 137, 3.125}};
  const auto back = parse_result(format_result(r));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->done, r.done);
  EXPECT_EQ(back->exit_status, 137);
  EXPECT_EQ(back->failed_step, "sfmrplot");
  EXPECT_EQ(back->reason, "sfmrplot: line one line two");
  EXPECT_DOUBLE_EQ(back->seconds, 12.5);
  ASSERT_EQ(back->steps.size(), 2u);
  EXPECT_EQ(back->steps[1].step, "sfmrplot");
  EXPECT_EQ(back->steps[1].status, 137);
  EXPECT_DOUBLE_EQ(back->steps[1].seconds, 3.125);

  struct Case {
    const char* what;
    std::string text;
  };
  const Case bad[] = {
      {"empty (interrupted write)", ""},
      {"no state", "exit_status=0\n"},
      {"unknown state", "state=running\n"},
      {"unknown key", "state=done\ncolour=red\n"},
      {"bad number", "state=done\nexit_status=zero\n"},
      {"short step", "state=done\nstep=sfmrbatch 0\n"},
      {"line without =", "state=done\ngarbage\n"},
  };
  for (const auto& c : bad) EXPECT_FALSE(parse_result(c.text)) << c.what;
}

}  // namespace
}  // namespace sfmr::campaign
