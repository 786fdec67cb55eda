// The whole program under faults of its surroundings: a raw file that fails to read part-way, an output file
// system that fills up, an output directory that cannot be written, the operator's input ending at each
// prompt, and an SST grid file that vanishes between its open and its read. Each run ends with its message
// and status, and the output file keeps every line written before the fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/process.hpp"
#include "support/flight_files.hpp"

namespace sfmr {
namespace {

using sfmr::testing::kFlightAnswers;
using sfmr::testing::read_file;
using sfmr::testing::TempDir;
using sfmr::tool::ChildResult;
using sfmr::tool::run_child;
using sfmr::tool::Sink;

// The fault library in the child's environment, with ASan told that it may come first.
std::vector<std::string> preload(std::string fault) {
  return {std::string("LD_PRELOAD=") + SFMR_FAULT_PRELOAD, "ASAN_OPTIONS=verify_asan_link_order=0",
          std::move(fault)};
}

std::string last_line(const std::string& console) {
  std::string text = console.substr(0, console.size() - (console.ends_with("\r\n") ? 2 : 0));
  return text.substr(text.rfind('\n') + 1);
}

sim::FlightOptions short_flight() {
  sim::FlightOptions o;
  o.hours = 0.05;
  o.land_leg = false;
  o.damage = 0.0;
  return o;
}

// What the output file must hold after the fault.
enum class Kept {
  kLines,   // a non-empty prefix of the undisturbed output that ends at a line end
  kBytes,   // exactly the undisturbed output's first `file_size_limit` bytes
  kNoFile,  // no output file at all
};

TEST(FaultInjection, EndsWithMessageAndKeepsWhatWasWritten) {
  struct Case {
    const char* name;
    std::vector<std::string> env;
    long file_size_limit;
    int status;
    const char* last;
    Kept kept;
  };
  const Case cases[] = {
      {"raw file read fails part-way", preload("SFMR_FAULT_READ=flight.dat:20000:5"), -1, 1,
       "Read error on input file.  IOStat=    5", Kept::kLines},
      {"output file system full part-way", {}, 10000, 1, "Write error on output file.", Kept::kBytes},
      {"output file system full from the start", {}, 0, 1, "Write error on output file.", Kept::kBytes},
      {"output directory not writable", preload("SFMR_FAULT_CREATE=.OUT:30"), -1, 1,
       "Last Filename:flightj.OUT Err:   30", Kept::kNoFile},
  };
  TempDir dir;
  sfmr::testing::write_flight_files(short_flight());
  const ChildResult undisturbed =
      run_child({.argv = {SFMR_BINARY}, .in_text = std::string(kFlightAnswers), .err = Sink::kInherit});
  ASSERT_EQ(undisturbed.status, 0) << undisturbed.out;
  const std::string full = read_file("flight.OUT");
  ASSERT_GT(full.size(), 20000u);
  std::filesystem::remove("flight.OUT");

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ChildResult r = run_child({.argv = {SFMR_BINARY},
                                     .in_text = std::string(kFlightAnswers),
                                     .err = Sink::kInherit,
                                     .env = c.env,
                                     .file_size_limit = c.file_size_limit});
    EXPECT_TRUE(r.exited) << "signal " << r.signal;
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_EQ(last_line(r.out), c.last);
    const bool exists = std::filesystem::exists("flight.OUT");
    const std::string kept = exists ? read_file("flight.OUT") : std::string();
    switch (c.kept) {
      case Kept::kLines:
        EXPECT_TRUE(full.starts_with(kept) && kept.ends_with("\r\n") && kept.size() > 1000)
            << kept.size() << " bytes kept";
        break;
      case Kept::kBytes:
        EXPECT_EQ(kept, full.substr(0, static_cast<std::size_t>(c.file_size_limit)));
        break;
      case Kept::kNoFile:
        EXPECT_FALSE(exists);
        break;
    }
    std::filesystem::remove("flight.OUT");
  }
}

// The operator's input ends at each prompt in turn (the setup file supplies only the file names, the raw file
// has no "%P" record), or standard input is closed altogether: the prompt's line is closed, then the message.
TEST(FaultInjection, InputEndsAtEachPrompt) {
  const std::vector<std::string> answers = {
      "flight.setup", "4.74 5.31 5.57 6.02 6.69 7.09", "5.0", "2.0", "y", "17"};
  const std::vector<std::string> prompts = {"Enter SFMR setup filename: ",
                                            "Enter six freqs in GHz (0.0 to disable): ",
                                            "Enter default SST value (pos for %A, neg for file): ",
                                            "Enter Filter value (pos for Least Sq, neg for Outlier): ",
                                            "No %P record found - Continue (y/n)? ",
                                            "Enter a valid Radiometer S/N (1-255, q to quit): "};
  TempDir dir;
  sfmr::testing::write_flight_files(short_flight());
  sfmr::testing::write_file(
      "flight.setup", sfmr::testing::text_lines({"&A", "flight.dat", "&B", "flight.cal", "&C", "sst.bin"}));
  std::string raw = read_file("flight.dat");
  const std::size_t p = raw.find("%P");
  raw.erase(p, raw.find('\n', p) + 1 - p);
  sfmr::testing::write_file("flight.dat", raw);

  for (std::size_t k = 0; k <= answers.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "input ends after " << k << " answers");
    std::string input;
    for (std::size_t i = 0; i < k; ++i) input += answers[i] + "\n";
    const ChildResult r = run_child({.argv = {SFMR_BINARY}, .in_text = input, .err = Sink::kInherit});
    EXPECT_TRUE(r.exited) << "signal " << r.signal;
    if (k == answers.size()) {
      EXPECT_EQ(r.status, 0) << r.out;
      continue;
    }
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with(prompts[k] + "\r\nUnexpected EOF on console input\r\n")) << r.out;
    EXPECT_FALSE(std::filesystem::exists("flight.OUT"));
  }
  const ChildResult closed = run_child({.argv = {SFMR_BINARY}, .close_in = true, .err = Sink::kInherit});
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.out, prompts[0] + "\r\nUnexpected EOF on console input\r\n");
}

// An SST grid file whose reads fail after the open (a file removed or cut on a network file system): the run
// goes on with aircraft and default temperatures and says so, and writes every second.
TEST(FaultInjection, SstGridVanishesBetweenOpenAndRead) {
  struct Case {
    const char* name;
    std::vector<std::string> env;
    bool loaded;
  };
  const Case cases[] = {
      {"grid read undisturbed", {}, true},
      {"grid gone at the first read", preload("SFMR_FAULT_READ=sst.bin:0:116"), false},
      {"grid gone part-way", preload("SFMR_FAULT_READ=sst.bin:4096:116"), false},
  };
  TempDir dir;
  sfmr::testing::write_file("sst.bin", std::string(2048 * 4096, '\x64'));
  sfmr::testing::write_file("mwir_land.txt", "F000\n\n");  // a mask whose blank line ends it early
  sfmr::testing::write_flight_files(short_flight(), "-20.0");
  std::size_t lines = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ChildResult r = run_child(
        {.argv = {SFMR_BINARY}, .in_text = std::string(kFlightAnswers), .err = Sink::kInherit, .env = c.env});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("SST field not loaded; using aircraft or default SST\r\n") == std::string::npos,
              c.loaded);
    const std::string out = read_file("flight.OUT");
    const auto n = static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
    if (lines == 0) lines = n;
    EXPECT_EQ(n, lines);
    std::filesystem::remove("flight.OUT");
  }
}

}  // namespace
}  // namespace sfmr
