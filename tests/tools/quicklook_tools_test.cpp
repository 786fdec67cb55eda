// sfmrsummary and sfmrplot run as a user runs them, on a small simulated flight processed by sfmrbatch
// without a truth file, and on bad input that must fail with one line and leave no PNG behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/process.hpp"
#include "core/state.hpp"
#include "core/text.hpp"
#include "output/writer.hpp"
#include "support/test_util.hpp"

namespace sfmr::look {
namespace {

namespace fs = std::filesystem;
using sfmr::testing::lines_of;
using sfmr::testing::read_file;
using sfmr::testing::TempDir;
using sfmr::testing::write_executable;
using sfmr::testing::write_file;

struct Result {
  int status = 0;
  std::string out, err;
};

// Runs a program in the working directory, standard input from the file `in` when given.
Result run(const std::vector<std::string>& argv, const std::string& in = {}) {
  const tool::ChildResult r = tool::run_child({.argv = argv, .in_file = in});
  return {r.shell_status(), r.out, r.err};
}

std::vector<std::string> files_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A 6-minute simulated flight without land, processed with the aircraft's SST (no grid needed): f.OUT and
// the console transcript console.txt in the working directory.
void make_processed_flight() {
  ASSERT_EQ(run({SFMR_SIM_BINARY, "flight", ".", "--name", "f", "--hours", "0.1", "--no-land", "--seed", "5",
                 "--damage", "0.01"})
                .status,
            0);
  write_file("sst.bin", "no grid");
  write_file("f.setup",
             sfmr::testing::text_lines({"&A", "f.dat", "&B", "f.cal", "&C", "sst.bin", "&D",
                                        "4.74 5.31 5.57 6.02 6.69 7.09", "&E", "25.0", "&F", "2.0"}));
  const Result batch = run({SFMR_BINARY}, "f.answers");
  ASSERT_EQ(batch.status, 0) << batch.out;
  write_file("console.txt", batch.out);
}

// What the summary must say, counted here straight from the columns of the output file and the console.
struct Expected {
  int seconds = 0, retrieved = 0, damaged = 0;
  double max_ws = 0.0;
};

Expected count_by_hand() {
  Expected e;
  const std::vector<std::string> lines = lines_of(read_file("f.OUT"));
  for (std::size_t i = 1; i < lines.size(); ++i) {
    ++e.seconds;
    const std::string& l = lines[i];
    // SFWS is characters 143..148 (0-based) and Err 164..173 of the fixed-width line.
    float ws = 0.0f;
    if (l.substr(164, 1) == "F" && read_value(l.substr(143, 6), &ws)) {
      ++e.retrieved;
      e.max_ws = std::max<double>(e.max_ws, ws);
    }
  }
  for (const std::string& l : lines_of(read_file("console.txt")))
    if (l.rfind("%B Read Error @ ", 0) == 0 || l.rfind("Therm Read Error: ", 0) == 0) ++e.damaged;
  return e;
}

TEST(QuickLookTools, SummaryOfAFlightWithoutTruth) {
  TempDir dir;
  make_processed_flight();
  const Expected e = count_by_hand();
  ASSERT_GT(e.retrieved, 300);
  ASSERT_GT(e.damaged, 0) << "the flight has damaged lines";

  const Result csv = run({SFMR_SUMMARY_BINARY, "f.OUT", "--console", "console.txt", "--csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const std::vector<std::string> rows = lines_of(csv.out);
  ASSERT_EQ(rows.size(), 2u) << csv.out;
  EXPECT_EQ(rows[0],
            "seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records,"
            "time_repaired,max_wind_time,max_wind_lat,max_wind_lon");
  std::vector<std::string> v;
  std::istringstream split(rows[1]);
  for (std::string field; std::getline(split, field, ',');) v.push_back(field);
  ASSERT_EQ(v.size(), 10u) << rows[1];
  EXPECT_EQ(v[0], std::to_string(e.seconds));
  EXPECT_EQ(v[1], std::to_string(e.retrieved));
  const auto plain = [](double x, int d) {
    const std::string t = format_F(x, 12, d);
    return t.substr(t.find_first_not_of(' '));
  };
  EXPECT_EQ(v[2], plain(static_cast<double>(e.retrieved) / e.seconds, 4));
  EXPECT_EQ(v[3], plain(e.max_ws, 2));
  EXPECT_EQ(v[5], std::to_string(e.damaged));

  const Result text = run({SFMR_SUMMARY_BINARY, "f.OUT"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Seconds processed           " + std::to_string(e.seconds) + "\n"),
            std::string::npos)
      << text.out;
  EXPECT_EQ(text.out.find("truth"), std::string::npos) << "no truth figures without a truth file";
  EXPECT_EQ(text.out.find("Damaged"), std::string::npos) << "no damaged count without a console";
}

TEST(QuickLookTools, PlotsOfAFlightWithoutTruth) {
  TempDir dir;
  make_processed_flight();
  std::vector<std::string> expected = files_in(dir.path());
  const Result plot = run({SFMR_PLOT_BINARY, "f.OUT"});
  ASSERT_EQ(plot.status, 0) << plot.err;
  EXPECT_EQ(plot.err, "");
  for (const char* png : {"f.timeseries.png", "f.map.png"}) {
    const std::string bytes = read_file(png);
    ASSERT_GT(bytes.size(), 10000u) << png;
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n") << png;
  }
  // Only the two plots are new: no partial file, no scratch data beside them.
  expected.insert(expected.end(), {"f.map.png", "f.timeseries.png"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files_in(dir.path()), expected);

  // An existing plot is kept unless --force; -o puts the plots elsewhere.
  const Result again = run({SFMR_PLOT_BINARY, "f.OUT"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("exists"), std::string::npos) << again.err;
  EXPECT_EQ(run({SFMR_PLOT_BINARY, "f.OUT", "--force"}).status, 0);
  fs::create_directory("plots");
  EXPECT_EQ(run({SFMR_PLOT_BINARY, "f.OUT", "-o", "plots/x", "--truth", "f.truth.csv"}).status, 0);
  EXPECT_EQ(files_in("plots"), (std::vector<std::string>{"x.map.png", "x.timeseries.png"}));
}

// With a cache the coastlines of a region come from GMT once: a second plot of the same region draws the
// same pictures with no GMT to be found. --campaign draws the map alone, from a list of output files. One
// gnuplot process draws a run's pictures (a wrapper in PATH counts them).
TEST(QuickLookTools, CachedCoastlinesAndCampaignMap) {
  TempDir dir;
  make_processed_flight();
  ASSERT_EQ(run({SFMR_PLOT_BINARY, "f.OUT", "-o", "a", "--cache", "cache"}).status, 0);
  EXPECT_EQ(files_in("cache").size(), 2u);
  fs::create_directory("bin");
  const fs::path runs = fs::absolute("gnuplot.runs");
  write_executable("bin/gnuplot",
                   "#!/bin/sh\necho run >> '" + runs.string() + "'\nexec /usr/bin/gnuplot \"$@\"\n");
  const std::string only_gnuplot = "PATH=" + fs::absolute("bin").string();
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> same;  // pictures equal to those of the first plot: name, first plot's name
    int gnuplots;                   // gnuplot processes started; -1: not counted (one killed at once)
  };
  const Case cases[] = {
      {.what = "from the cache",
       .args = {"f.OUT", "-o", "b", "--cache", "cache"},
       .status = 0,
       .same = {"b.map.png", "a.map.png", "b.timeseries.png", "a.timeseries.png"},
       .gnuplots = 1},
      {.what = "no cache, no GMT", .args = {"f.OUT", "-o", "c"}, .status = 1, .same = {}, .gnuplots = -1},
      {.what = "campaign of one flight",
       .args = {"--campaign", "list.txt", "-o", "camp", "--cache", "cache"},
       .status = 0,
       .same = {},
       .gnuplots = 1},
      {.what = "campaign without -o",
       .args = {"--campaign", "list.txt"},
       .status = 2,
       .same = {},
       .gnuplots = 0},
  };
  write_file("list.txt", "f.OUT\n");
  for (const Case& c : cases) {
    std::vector<std::string> argv = {SFMR_PLOT_BINARY};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    fs::remove(runs);
    const tool::ChildResult r = tool::run_child({.argv = argv, .env = {only_gnuplot}});
    EXPECT_EQ(r.shell_status(), c.status) << c.what << ": " << r.err;
    if (c.gnuplots >= 0) {
      EXPECT_EQ(fs::exists(runs) ? lines_of(read_file(runs)).size() : 0u,
                static_cast<std::size_t>(c.gnuplots))
          << c.what;
    }
    for (std::size_t k = 0; k + 1 < c.same.size(); k += 2)
      EXPECT_EQ(read_file(c.same[k]), read_file(c.same[k + 1])) << c.what << ": " << c.same[k];
  }
  EXPECT_GT(read_file("camp.map.png").size(), 10000u);
  EXPECT_FALSE(fs::exists("camp.timeseries.png"));
  EXPECT_FALSE(fs::exists("c.map.png"));
}

TEST(QuickLookTools, BadInputFailsWithOneLineAndNoPlot) {
  // in.OUT: its only line comes before any aircraft record (position 0, 0); head.OUT: the header alone.
  const std::string header = std::string(Writer::kHeader) + "\r\n";
  struct Case {
    const char* tool;  // the program, then what its one line starts with
    const char* name;
    std::vector<std::string> args;  // after the program
    int status;
    const char* message;  // part of the one line on stderr
  };
  const char* plot = SFMR_PLOT_BINARY;
  const char* summary = SFMR_SUMMARY_BINARY;
  const Case cases[] = {
      {.tool = plot,
       .name = "missing file",
       .args = {"nosuch.OUT"},
       .status = 1,
       .message = "nosuch.OUT: cannot open"},
      {.tool = plot,
       .name = "not an output file",
       .args = {"text.OUT"},
       .status = 1,
       .message = "text.OUT line 1"},
      {.tool = plot, .name = "empty file", .args = {"empty.OUT"}, .status = 1, .message = "empty.OUT"},
      {.tool = plot, .name = "header only", .args = {"head.OUT"}, .status = 1, .message = "no data lines"},
      {.tool = plot,
       .name = "no valid position",
       .args = {"in.OUT"},
       .status = 1,
       .message = "no valid position"},
      {.tool = plot, .name = "no arguments", .args = {}, .status = 2, .message = "no flight file"},
      {.tool = plot,
       .name = "unknown option",
       .args = {"in.OUT", "--colour"},
       .status = 2,
       .message = "unknown option --colour"},
      {.tool = plot,
       .name = "option without value",
       .args = {"in.OUT", "-o"},
       .status = 2,
       .message = "-o needs a value"},
      {.tool = summary,
       .name = "missing file",
       .args = {"nosuch.OUT"},
       .status = 1,
       .message = "nosuch.OUT: cannot open"},
      {.tool = summary,
       .name = "missing console",
       .args = {"in.OUT", "--console", "nosuch.txt"},
       .status = 1,
       .message = "nosuch.txt: cannot open"},
      {.tool = summary,
       .name = "not an output file",
       .args = {"text.OUT"},
       .status = 1,
       .message = "text.OUT line 1"},
      {.tool = summary,
       .name = "two flight files",
       .args = {"in.OUT", "in.OUT"},
       .status = 2,
       .message = "more than one flight file"},
  };
  for (const Case& c : cases) {
    const std::string tool = fs::path(c.tool).filename().string();
    SCOPED_TRACE(tool + ": " + c.name);
    TempDir dir;
    write_file("in.OUT", header + Writer::data_line(State{}, 0.0f) + "\r\n");
    write_file("head.OUT", header);
    write_file("text.OUT", "Time,Lat\r\nhello\r\n");
    write_file("empty.OUT", "");
    std::vector<std::string> argv = {c.tool};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const Result r = run(argv);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> err = lines_of(r.err);
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err[0].rfind(tool + ": ", 0), 0u) << err[0];
    EXPECT_NE(err[0].find(c.message), std::string::npos) << err[0];
    EXPECT_EQ(err.size(), 1u) << r.err;
    for (const std::string& name : files_in(dir.path()))
      EXPECT_EQ(name.find(".png"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace sfmr::look
