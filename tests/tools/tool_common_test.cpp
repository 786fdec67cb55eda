// The shared tool skeleton: the child-process runner, the publisher of result files, the option reader and
// the main wrapper that turns every escaping exception into one line.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/earth.hpp"
#include "common/input.hpp"
#include "common/process.hpp"
#include "common/publish.hpp"
#include "common/time_text.hpp"
#include "support/test_util.hpp"

namespace sfmr::tool {
namespace {

namespace fs = std::filesystem;
using sfmr::testing::read_file;
using sfmr::testing::TempDir;
using sfmr::testing::write_file;

TEST(ToolCommon, ChildEndsAreReported) {
  struct Case {
    const char* name;
    ChildCommand command;
    bool started;
    int shell_status = 0;
    std::string out{}, err{};
  };
  const auto sh = [](const char* script) { return std::vector<std::string>{"sh", "-c", script}; };
  const Case cases[] = {
      {.name = "exit status and both streams",
       .command = {.argv = sh("echo out; echo err >&2; exit 3")},
       .started = true,
       .shell_status = 3,
       .out = "out\n",
       .err = "err\n"},
      {.name = "signal", .command = {.argv = sh("kill -TERM $$")}, .started = true, .shell_status = 128 + 15},
      {.name = "no such program",
       .command = {.argv = {"./no-such-program"}},
       .started = false,
       .shell_status = 127},
      {.name = "input text", .command = {.argv = {"cat"}, .in_text = "a\nb"}, .started = true, .out = "a\nb"},
      {.name = "input /dev/null", .command = {.argv = {"cat"}}, .started = true, .out = ""},
      {.name = "environment",
       .command = {.argv = sh("printf %s \"$SFMR_X\""), .env = {"SFMR_X=y"}},
       .started = true,
       .out = "y"},
      {.name = "working directory", .command = {.argv = {"pwd"}, .dir = "/"}, .started = true, .out = "/\n"},
      {.name = "missing working directory",
       .command = {.argv = {"pwd"}, .dir = "/no/such/dir"},
       .started = false,
       .shell_status = 127},
      {.name = "time limit",
       .command = {.argv = {"sleep", "5"}, .timeout_seconds = 0.2},
       .started = true,
       .shell_status = 128 + 9},
  };
  for (const Case& c : cases) {
    const ChildResult r = run_child(c.command);
    EXPECT_EQ(r.started, c.started) << c.name << ": " << r.start_error;
    EXPECT_EQ(r.shell_status(), c.shell_status) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.failure().empty(), c.shell_status == 0) << c.name << ": " << r.failure();
    EXPECT_LT(r.seconds, 3.0) << c.name;
  }
}

TEST(ToolCommon, FailedChildIsOneLine) {
  struct Case {
    const char* name;
    ChildResult result;
    std::string detail, expected;
  };
  const Case cases[] = {
      {"success", {.started = true, .exited = true, .status = 0}, "ignored", ""},
      {"exit with its own line",
       {.started = true, .exited = true, .status = 1},
       "bad input",
       "prog: bad input"},
      {"already prefixed",
       {.started = true, .exited = true, .status = 1},
       "prog: bad input",
       "prog: bad input"},
      {"exit without a line", {.started = true, .exited = true, .status = 3}, "", "prog: exit status 3"},
      {"signal",
       {.started = true, .signal = 9},
       "last words",
       "prog: ended by signal 9 (Killed); last words"},
      {"time limit",
       {.started = true, .signal = 9, .timed_out = true},
       "",
       "prog: killed after its time limit"},
      {"not started",
       {.start_error = "cannot run prog: No such file"},
       "x",
       "prog: cannot run prog: No such file"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result.failure_line("prog", c.detail), c.expected) << c.name;
}

TEST(ToolCommon, TimesAreWrittenOnTheOneCalendar) {
  // Seconds since 1970 and their texts: the epoch, a leap day, the last second of a day, halves rounded
  // away from zero (onto the next day), a time before 1970 (floor division onto the day before), NaN.
  struct Case {
    double t;
    const char* iso;
  };
  const Case cases[] = {{0.0, "1970-01-01T00:00:00Z"},
                        {951782400.0, "2000-02-29T00:00:00Z"},
                        {86399.0, "1970-01-01T23:59:59Z"},
                        {86399.5, "1970-01-02T00:00:00Z"},
                        {-0.5, "1969-12-31T23:59:59Z"},
                        {-86400.0, "1969-12-31T00:00:00Z"},
                        {std::nan(""), ""}};
  for (const Case& c : cases) EXPECT_EQ(iso_time(c.t), c.iso) << "t = " << c.t;
}

TEST(ToolCommon, LinesAreNumberedAsAUserCountsThem) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {{"empty", "", {}},
                        {"no line feed at the end", "a\nb", {"a", "b"}},
                        {"DOS line ends", "a\r\nb\r\n", {"a", "b"}},
                        {"blank lines kept", "\n\r\nc\n", {"", "", "c"}},
                        {"a carriage return inside a line kept", "a\rb\r\r\n", {"a\rb\r"}}};
  for (const Case& c : cases) {
    const std::vector<std::string_view> got = lines_of(c.text);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), c.lines) << c.name;
  }
}

TEST(ToolCommon, EarthModelIsWgs84) {
  // Length of a degree on the WGS84 ellipsoid (the published table of the meridian arc and the parallel):
  // equator 110.574 / 111.320 km, 45 deg 111.132 / 78.847 km, 60 deg 111.412 / 55.800 km.
  struct Case {
    double lat, km_lat, km_lon;
  };
  const Case cases[] = {{0.0, 110.574, 111.320}, {45.0, 111.132, 78.847}, {-60.0, 111.412, 55.800}};
  for (const Case& c : cases) {
    const earth::KmPerDegree k = earth::km_per_degree(c.lat);
    EXPECT_NEAR(k.lat, c.km_lat, 0.001) << "latitude " << c.lat;
    EXPECT_NEAR(k.lon, c.km_lon, 0.001) << "latitude " << c.lat;
  }
  // A degree due north, east, south and west of (20 N, 80 W): its length at the mean latitude, its bearing.
  struct Leg {
    const char* name;
    double lat, lon, km, bearing;
  };
  const Leg legs[] = {{"north", 21.0, -80.0, earth::km_per_degree(20.5).lat, 0.0},
                      {"east", 20.0, -79.0, earth::km_per_degree(20.0).lon, 90.0},
                      {"south", 19.0, -80.0, earth::km_per_degree(19.5).lat, 180.0},
                      {"west", 20.0, -81.0, earth::km_per_degree(20.0).lon, 270.0}};
  for (const Leg& l : legs) {
    double km = 0.0, bearing = 0.0;
    earth::range_bearing(20.0, -80.0, l.lat, l.lon, km, bearing);
    EXPECT_NEAR(km, l.km, 1e-9) << l.name;
    EXPECT_NEAR(bearing, l.bearing, 1e-9) << l.name;
  }
}

TEST(ToolCommon, ChildrenRunSideBySideIntoFiles) {
  TempDir dir;
  const std::vector<ChildResult> r = run_children({{.argv = {"sh", "-c", "echo a; echo b >&2"},
                                                    .out = Sink::kFile,
                                                    .err = Sink::kFile,
                                                    .out_file = "both.txt",
                                                    .err_file = "both.txt"},
                                                   {.argv = {"sh", "-c", "head -c 300000 /dev/zero"}}});
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(read_file("both.txt"), "a\nb\n");
  EXPECT_EQ(r[1].out.size(), 300000u) << "a large capture does not hold up the other child";
}

// A fed child reads what it is given, in the pieces it is given them, until its input is closed; one that
// has stopped reading makes feeding fail without ending this process by SIGPIPE; one not waited for is
// killed, not waited out.
TEST(ToolCommon, FedChildReadsItsInputUntilItIsClosed) {
  struct Case {
    const char* name;
    std::vector<std::string> argv;
    std::vector<std::string> pieces;
    bool fed;  // every piece was taken
    std::string out;
    int shell_status;
  };
  const Case cases[] = {
      {.name = "cat",
       .argv = {"cat"},
       .pieces = {"one\n", "two\n"},
       .fed = true,
       .out = "one\ntwo\n",
       .shell_status = 0},
      {.name = "first line, then the rest",
       .argv = {"sh", "-c", "read a; echo \"got $a\"; cat"},
       .pieces = {"x\n", "y\n"},
       .fed = true,
       .out = "got x\ny\n",
       .shell_status = 0},
      {.name = "not reading",
       .argv = {"sh", "-c", "exec 0<&-; sleep 0.2; exit 3"},
       .pieces = {std::string(1 << 20, 'z')},
       .fed = false,
       .out = "",
       .shell_status = 3},
  };
  for (const Case& c : cases) {
    FedChild child({.argv = c.argv});
    bool fed = true;
    for (const std::string& piece : c.pieces) fed = child.feed(piece) && fed;
    const ChildResult r = child.wait();
    EXPECT_EQ(fed, c.fed) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.shell_status(), c.shell_status) << c.name;
  }
  const auto start = std::chrono::steady_clock::now();
  { FedChild idle({.argv = {"sleep", "30"}}); }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0)
      << "a child not waited for is killed";
}

TEST(ToolCommon, PublisherLeavesTheWholeFileOrNothing) {
  struct Case {
    const char* name;
    const char* existing;  // content already at the target, or null
    Replace replace;
    bool commit;
    const char* left;  // content of the target afterwards, or null for none
    bool throws = false;
  };
  const Case cases[] = {
      {.name = "new file", .existing = nullptr, .replace = Replace::kNever, .commit = true, .left = "new"},
      {.name = "no commit",
       .existing = nullptr,
       .replace = Replace::kNever,
       .commit = false,
       .left = nullptr},
      {.name = "kept",
       .existing = "old",
       .replace = Replace::kNever,
       .commit = true,
       .left = "old",
       .throws = true},
      {.name = "replaced", .existing = "old", .replace = Replace::kAlways, .commit = true, .left = "new"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.existing) write_file("out.txt", c.existing);
    bool threw = false;
    try {
      Publisher file("out.txt", c.replace);
      file.stream() << "new";
      if (c.commit) file.commit();
    } catch (const ToolFailure& e) {
      threw = true;
      EXPECT_NE(std::string(e.what()).find("out.txt: exists"), std::string::npos)
          << c.name << ": " << e.what();
    }
    EXPECT_EQ(threw, c.throws) << c.name;
    if (c.left) {
      EXPECT_EQ(read_file("out.txt"), c.left) << c.name;
    } else {
      EXPECT_FALSE(fs::exists("out.txt")) << c.name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), c.left ? 1 : 0)
        << c.name << ": no temporary left";
  }
  TempDir dir;
  write_file("plain", "");
  EXPECT_THROW(publish_text("plain/out.txt", "x", Replace::kAlways), ToolFailure) << "directory not writable";
}

TEST(ToolCommon, OptionsAreReadOrRefused) {
  struct Case {
    std::vector<std::string> words;
    std::string error;  // part of the usage error, empty when the words are good
  };
  const Case cases[] = {
      {{"f.OUT", "--noise", "-1"}, "--noise -1: must be a number at least 0"},
      {{"--drop", "7"}, "--drop 7: must be a number from 0 to 1"},
      {{"--drop", "0.5,1"}, "--drop 0.5,1: must be a number from 0 to 1"},
      {{"--hours", "0"}, "--hours 0: must be a number above 0"},
      {{"--seed", "1.5"}, "--seed 1.5: must be a whole number at least 0"},
      {{"--drop"}, "--drop needs a value"},
      {{"--colour"}, "unknown option --colour"},
      {{"a", "b", "c"}, "FILE [FILE]"},
      {{"--drop", "0.25", "--noise", "0", "--hours", "2", "--seed", "3", "--", "-x"}, ""},
  };
  for (const Case& c : cases) {
    std::string error;
    try {
      const Args args(c.words, {{"--noise", true}, {"--drop", true}, {"--hours", true}, {"--seed", true}});
      args.real("--noise", 0.0, kNonNegative);
      args.real("--drop", 0.0, kProbability);
      args.real("--hours", 1.0, kPositive);
      args.integer("--seed", 0, kNonNegative);
      args.positional(1, 2, "FILE [FILE]");
    } catch (const UsageError& e) {
      error = e.what();
    }
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.words[0] << ": " << error;
    EXPECT_EQ(error.empty(), c.error.empty()) << c.words[0];
  }
}

TEST(ToolCommon, EveryEndOfTheBodyIsOneLineAndAStatus) {
  struct Case {
    const char* name;
    ToolBody body;
    int status;
    std::string err;
  };
  const ToolInfo command{.name = "tool", .usage = "tool FILE", .help = "help\n"};
  const Case cases[] = {
      {.name = "success", .body = [](const auto&) { return 0; }, .status = 0, .err = ""},
      {.name = "usage",
       .body = [](const auto&) -> int { usage_error("no file"); },
       .status = 2,
       .err = "tool: no file; usage: tool FILE\n"},
      {.name = "failure",
       .body = [](const auto&) -> int { fail("x: cannot open"); },
       .status = 1,
       .err = "tool: x: cannot open\n"},
      {.name = "library error",
       .body = [](const auto&) -> int { throw std::runtime_error("a\nb"); },
       .status = 1,
       .err = "tool: a b\n"},
      {.name = "anything",
       .body = [](const auto&) -> int { throw 42; },
       .status = 1,
       .err = "tool: unexpected error\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    std::streambuf* const old = std::cerr.rdbuf(err.rdbuf());
    char name[] = "tool", word[] = "FILE";
    char* argv[] = {name, word, nullptr};
    const int status = run_tool(2, argv, command, c.body);
    std::cerr.rdbuf(old);
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_EQ(err.str(), c.err) << c.name;
  }
}

}  // namespace
}  // namespace sfmr::tool
