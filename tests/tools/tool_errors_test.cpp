// Every companion tool run as a user runs it, on the inputs a user gets wrong: a missing file, a directory
// named as a file, an empty file, random bytes, a file cut in the middle, an output directory that cannot be
// written, and every option with a bad value. Each run ends with exactly one line on standard error that
// begins with the tool's name, status 1 (error) or 2 (usage), and leaves the directory as it was: no partial
// output, no temporary.
//
// The unwritable directory is a read-only bind mount in a mount namespace of this process (we run as root,
// who may write into any directory whatever its mode); where that cannot be made, a path below a regular
// file stands in for it.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/process.hpp"
#include "support/test_util.hpp"

namespace sfmr::tool {
namespace {

namespace fs = std::filesystem;
using sfmr::testing::lines_of;
using sfmr::testing::read_file;
using sfmr::testing::TempDir;
using sfmr::testing::write_file;

// The programs under test by name; a new tool is one line here and its rows below.
const std::map<std::string, std::string>& programs() {
  static const std::map<std::string, std::string> p = {
      {"sfmrsim", SFMR_SIM_BINARY},   {"sfmrsummary", SFMR_SUMMARY_BINARY},
      {"sfmrplot", SFMR_PLOT_BINARY}, {"sfmrcampaign", SFMR_CAMPAIGN_SCRIPT},
#ifdef SFMR2NC_BINARY
      {"sfmr2nc", SFMR2NC_BINARY},
#endif
  };
  return p;
}

// What stands in the place of IN in a row's arguments.
enum class Bad { kMissing, kDirectory, kEmpty, kRandom, kCut };
const std::vector<Bad> kAllBad = {Bad::kMissing, Bad::kDirectory, Bad::kEmpty, Bad::kRandom, Bad::kCut};
const std::vector<Bad> kNotThere = {Bad::kMissing, Bad::kDirectory};
const std::vector<Bad> kNotWhole = {Bad::kMissing, Bad::kDirectory, Bad::kEmpty, Bad::kRandom};

struct Case {
  const char* tool;
  std::vector<std::string> args;  // IN: the bad input; RO: a directory that cannot be written
  std::vector<Bad> bad = {};      // the inputs the row runs with (none: once, as it stands)
  const char* cut = "";           // the good file that Bad::kCut cuts in the middle
  int status = 1;
  const char* says = "";  // a part of the error line, when the row tests one refusal
};

// A directory that cannot be written, even by root: a read-only bind mount of itself, in a mount namespace
// of this process only (gone with the process); else a path below a regular file.
class ReadOnlyDir {
 public:
  explicit ReadOnlyDir(const fs::path& dir) : path_(dir) {
    fs::create_directory(dir);
    mounted_ = ::unshare(CLONE_NEWNS) == 0 &&
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
               ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    if (!mounted_) {
      fs::remove(dir);
      write_file(dir.string() + ".file", "");
      path_ = dir.string() + ".file/dir";
    }
  }
  ReadOnlyDir(const ReadOnlyDir&) = delete;
  ReadOnlyDir& operator=(const ReadOnlyDir&) = delete;
  ~ReadOnlyDir() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  bool mounted_ = false;
};

// Every file and directory below `dir` with its size, to see that a run changed nothing.
std::vector<std::string> tree(const fs::path& dir) {
  std::vector<std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    std::string entry = fs::relative(e.path(), dir).string();
    entry += e.is_regular_file() ? ' ' + std::to_string(e.file_size()) : std::string("/");
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string bad_input(Bad bad, const std::string& cut) {
  switch (bad) {
    case Bad::kMissing:
      return "nosuch.file";
    case Bad::kDirectory:
      return "adir";
    case Bad::kEmpty:
      return "empty.file";
    case Bad::kRandom:
      return "random.bin";
    case Bad::kCut:
      break;
  }
  const std::string text = read_file(cut);
  write_file("cut." + cut, text.substr(0, text.size() / 2 + 7));
  return "cut." + cut;
}

// A processed 2-minute flight (f.OUT, console.txt, f.dat, f.setup, f.truth.csv), an SST grid, a manifest,
// and the bad inputs, in the working directory; inputs that belong to another flight: the raw file and
// truth of a flight at noon (g.dat, g.truth.csv), f's truth mirrored into the other hemisphere
// (moved.truth.csv), f's setup with channel 1 shifted by 0.1 GHz (shifted.setup) and with channel 5 disabled
// (disabled.setup), f's truth cut to its first two seconds, which have no retrieval (early.truth.csv);
// and a campaign list of one flight without a valid position (nowhere.list).
void make_inputs() {
  const auto sim = [](std::vector<std::string> args) {
    args.insert(args.begin(), SFMR_SIM_BINARY);
    ASSERT_EQ(run_child({.argv = args}).shell_status(), 0) << args[1];
  };
  sim({"grid", "sst.bin"});
  sim({"flight", ".", "--name", "f", "--hours", "0.03", "--no-land"});
  sim({"flight", ".", "--name", "g", "--hours", "0.03", "--no-land", "--start", "12:00:00"});
  write_file("nogrid", "");
  const auto setup = [](const char* name, const char* freqs) {
    write_file(name, sfmr::testing::text_lines({"&A", "f.dat", "&B", "f.cal", "&C", "nogrid", "&D", freqs,
                                                "&E", "25.0", "&F", "2.0"}));
  };
  setup("f.setup", "4.74 5.31 5.57 6.02 6.69 7.09");
  setup("shifted.setup", "4.74 5.41 5.57 6.02 6.69 7.09");
  setup("disabled.setup", "4.74 5.31 5.57 6.02 6.69 0.0");
  std::string moved;  // "Sec,WS,RR,Lat,Lon,Land" with the latitude's sign changed
  for (const std::string& line : lines_of(read_file("f.truth.csv"))) {
    std::vector<std::string> c(1);
    for (const char ch : line) {
      if (ch == ',') {
        c.emplace_back();
      } else {
        c.back().push_back(ch);
      }
    }
    if (c.size() == 6 && c[3] != "Lat") c[3] = c[3][0] == '-' ? c[3].substr(1) : "-" + c[3];
    for (std::size_t k = 0; k < c.size(); ++k) moved += (k ? "," : "") + c[k];
    moved += "\n";
  }
  write_file("moved.truth.csv", moved);
  const std::vector<std::string> truth = lines_of(read_file("f.truth.csv"));
  write_file("early.truth.csv", sfmr::testing::text_lines({truth.at(0), truth.at(1), truth.at(2)}));
  const ChildResult batch = run_child({.argv = {SFMR_BINARY}, .in_file = "f.answers"});
  ASSERT_EQ(batch.shell_status(), 0) << batch.out;
  write_file("console.txt", batch.out);
  std::string nowhere;  // f.OUT with every position 0, 0 (no valid position), listed as a campaign
  for (std::string line : lines_of(read_file("f.OUT"))) {
    if (line.rfind("Time", 0) != 0) line.replace(9, 16, "  0.000,   0.000");
    nowhere += line + "\r\n";
  }
  write_file("nowhere.OUT", nowhere);
  write_file("nowhere.list", "nowhere.OUT\n");
  write_file("manifest.csv",
             sfmr::testing::text_lines({"name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter",
                                        "f,f.dat,f.cal,aircraft,4.74,5.31,5.57,6.02,6.69,7.09,25.0,2.0",
                                        "g,f.dat,f.cal,aircraft,4.74,5.31,5.57,6.02,6.69,7.09,25.0,2.0"}));
  fs::create_directory("adir");
  write_file("empty.file", "");
  std::mt19937 random(7);
  std::string bytes(4096, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  write_file("random.bin", bytes);
}

TEST(ToolErrors, OneLineAStatusAndNothingLeftBehind) {
  const Case cases[] = {
      {.tool = "sfmrsim", .args = {"grid", "RO/g.bin"}},
      {.tool = "sfmrsim", .args = {"flight", "RO/new"}},
      {.tool = "sfmrsim", .args = {"flight", "RO"}},
      {.tool = "sfmrsim", .args = {"flight", "out", "--sst", "IN"}, .bad = kAllBad, .cut = "sst.bin"},
      {.tool = "sfmrsim", .args = {"flight", "out", "--drop", "7"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--damage", "-0.1"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--binary", "1.5"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--keep", "x"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--noise", "-1"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--hours", "0"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--hours", "24"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--roll", "90"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--seed", "-1"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--gap", "1.5"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--start", "25:00:00"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--date", "32/13/2026"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--date", "31/02/2026"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--date", "29/02/2027"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--profile", "rankine"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--holland-b", "3"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--outer-radius", "1.5"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--pattern", "zigzag"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--misses", "3,,4"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--track", "t.bdeck"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--storm-time", "2026023012"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--sondes", "0"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--sondes", "100"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--mission", "0"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--mission", "100"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--name", "a/b"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--name", ".."}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--seed"}, .status = 2},
      {.tool = "sfmrsim", .args = {"flight", "out", "--bogus"}, .status = 2},
      {.tool = "sfmrsim", .args = {"jump"}, .status = 2},
      {.tool = "sfmrsim", .args = {}, .status = 2},
      {.tool = "sfmrsummary", .args = {"IN"}, .bad = kAllBad, .cut = "f.OUT"},
      {.tool = "sfmrsummary", .args = {"f.OUT", "--console", "IN"}, .bad = kNotThere},
      {.tool = "sfmrsummary", .args = {"f.OUT", "--truth", "IN"}, .bad = kNotThere},
      {.tool = "sfmrsummary", .args = {"f.OUT", "--truth", "g.truth.csv"}, .says = "does not overlap"},
      {.tool = "sfmrsummary", .args = {"f.OUT", "--truth", "moved.truth.csv"}, .says = "km from the flight"},
      {.tool = "sfmrsummary",
       .args = {"f.OUT", "--truth", "early.truth.csv"},
       .says = "shares no second with a retrieval"},
      {.tool = "sfmrsummary", .args = {"f.OUT", "--setup", "shifted.setup"}, .says = "misfit SFQF"},
      {.tool = "sfmrsummary",
       .args = {"f.OUT", "--setup", "disabled.setup"},
       .says = "channel 5 is disabled"},
      {.tool = "sfmrsummary", .args = {"f.OUT", "--console"}, .status = 2},
      {.tool = "sfmrsummary", .args = {"f.OUT", "--bogus"}, .status = 2},
      {.tool = "sfmrplot", .args = {"IN"}, .bad = kAllBad, .cut = "f.OUT"},
      {.tool = "sfmrplot", .args = {"f.OUT", "--truth", "IN", "-o", "p"}, .bad = kNotThere},
      {.tool = "sfmrplot", .args = {"f.OUT", "-o", "RO/p"}},
      {.tool = "sfmrplot",
       .args = {"--campaign", "nowhere.list", "-o", "p"},
       .says = "nowhere.list: no valid position in any flight"},
      {.tool = "sfmrplot",
       .args = {"f.OUT", "--truth", "g.truth.csv", "-o", "p"},
       .says = "does not overlap"},
      {.tool = "sfmrplot", .args = {"f.OUT", "--truth", "moved.truth.csv", "-o", "p"}, .says = "km from"},
      {.tool = "sfmrplot",
       .args = {"f.OUT", "--truth", "early.truth.csv", "-o", "p"},
       .says = "shares no second with a retrieval"},
      {.tool = "sfmrplot", .args = {"f.OUT", "--setup", "shifted.setup", "-o", "p"}, .says = "misfit SFQF"},
      {.tool = "sfmrplot",
       .args = {"f.OUT", "--setup", "disabled.setup", "-o", "p"},
       .says = "channel 5 is disabled"},
      {.tool = "sfmrplot", .args = {"f.OUT", "-o", "RO/"}},
      {.tool = "sfmrplot", .args = {"f.OUT", "-o"}, .status = 2},
      {.tool = "sfmrplot", .args = {"f.OUT", "--bogus"}, .status = 2},
      {.tool = "sfmr2nc", .args = {"IN", "f.dat", "-o", "f.nc"}, .bad = kAllBad, .cut = "f.OUT"},
      // A raw file or a setup file cut short is still one (a shorter flight, a setup that leaves questions).
      {.tool = "sfmr2nc", .args = {"f.OUT", "IN", "-o", "f.nc"}, .bad = kNotWhole},
      {.tool = "sfmr2nc", .args = {"f.OUT", "f.dat", "--setup", "IN", "-o", "f.nc"}, .bad = kNotWhole},
      {.tool = "sfmr2nc", .args = {"f.OUT", "f.dat", "-o", "RO/f.nc"}},
      {.tool = "sfmr2nc",
       .args = {"f.OUT", "g.dat", "-o", "f.nc"},
       .says = "g.dat is not the raw file of f.OUT"},
      {.tool = "sfmr2nc",
       .args = {"f.OUT", "f.dat", "--setup", "shifted.setup", "-o", "f.nc"},
       .says = "shifted.setup is not the setup of f.OUT"},
      {.tool = "sfmr2nc",
       .args = {"f.OUT", "f.dat", "--setup", "disabled.setup", "-o", "f.nc"},
       .says = "channel 5 is disabled"},
      {.tool = "sfmr2nc", .args = {"f.OUT", "f.dat", "-o", "f.nc", "--date", "2026-13-01"}},
      {.tool = "sfmr2nc", .args = {"f.OUT", "f.dat", "-o"}, .status = 2},
      {.tool = "sfmr2nc", .args = {"f.OUT"}, .status = 2},
      {.tool = "sfmrcampaign", .args = {"IN", "out"}, .bad = kAllBad, .cut = "manifest.csv"},
      {.tool = "sfmrcampaign", .args = {"manifest.csv", "RO/out"}},
      {.tool = "sfmrcampaign", .args = {"manifest.csv", "RO"}},
      {.tool = "sfmrcampaign", .args = {"manifest.csv", "out", "--mask", "IN"}, .bad = kNotThere},
      {.tool = "sfmrcampaign", .args = {"manifest.csv", "out", "--jobs", "0"}, .status = 2},
      {.tool = "sfmrcampaign", .args = {"manifest.csv", "out", "--jobs", "two"}, .status = 2},
      {.tool = "sfmrcampaign", .args = {"manifest.csv", "out", "--jobs"}, .status = 2},
      {.tool = "sfmrcampaign", .args = {"manifest.csv", "out", "--bogus"}, .status = 2},
      {.tool = "sfmrcampaign", .args = {"manifest.csv"}, .status = 2},
  };
  TempDir dir;
  make_inputs();
  const ReadOnlyDir read_only(dir.path() / "ro");
  const std::vector<std::string> before = tree(dir.path());
  for (const Case& c : cases) {
    const auto program = programs().find(c.tool);
    if (program == programs().end()) continue;  // not built here
    const std::vector<Bad> bads = c.bad.empty() ? std::vector<Bad>{Bad::kMissing} : c.bad;
    for (const Bad bad : bads) {
      std::vector<std::string> argv = {program->second};
      for (const std::string& a : c.args) {
        argv.push_back(a == "IN"               ? bad_input(bad, c.cut)
                       : a.rfind("RO", 0) == 0 ? read_only.path().string() + a.substr(2)
                                               : a);
      }
      std::string name = c.tool;
      for (std::size_t k = 1; k < argv.size(); ++k) name += " " + argv[k];
      const ChildResult r = run_child({.argv = argv, .timeout_seconds = 60});
      const std::vector<std::string> err = lines_of(r.err);
      EXPECT_EQ(r.shell_status(), c.status) << name << ": " << r.err;
      EXPECT_EQ(err.size(), 1u) << name << ": " << r.err;
      EXPECT_EQ(r.err.rfind(std::string(c.tool) + ": ", 0), 0u) << name << ": " << r.err;
      EXPECT_NE(r.err.find(c.says), std::string::npos) << name << ": " << r.err;
      fs::remove("cut." + std::string(c.cut));
      EXPECT_EQ(tree(dir.path()), before) << name << ": the directory changed";
    }
  }
}

}  // namespace
}  // namespace sfmr::tool
