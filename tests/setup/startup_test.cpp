// The whole program's start-up from a setup file, through run_sfmrbatch.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/main_loop.hpp"
#include "setup_test_support.hpp"

namespace sfmr {
namespace {

using namespace setup_test;

const std::string kSetup = text_lines({"&A", "flight.dat", "&B", "cal.dat", "&C", "sst.bin", "&D",
                                       "4.0 5.0 6.0 7.0 0.0 0.0", "&E", "25.0", "&F", "-3.0"});

// Three aircraft seconds; the serial-number record stands after the first two.
const std::string kRaw =
    text_lines({"%A,15/08/2005,12:00:00,25.5,-80.25,1500.0,1.0,2.0,290.0,300.0",
                "%A,15/08/2005,12:00:01,25.6,-80.25,1500.0,1.0,2.0,290.0,300.0", "%P 1 12",
                "%A,15/08/2005,12:00:02,25.7,-80.25,1500.0,1.0,2.0,290.0,300.0"});
const std::string kRawWithoutSerial =
    text_lines({"%A,15/08/2005,12:00:00,25.5,-80.25,1500.0,1.0,2.0,290.0,300.0"});

std::string cal_block(int serial) {
  std::string s = "US-" + std::to_string(serial) + "\n";
  for (int k = 0; k < kChannels; ++k) s += "1 2 3 4 5 6 7 8 9\n";
  return s;
}

// Splits CR LF lines; the last piece is whatever follows the last line end (an unfinished prompt).
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

// True when every line of `wanted` occurs as a whole line of `lines`, in this order.
bool lines_in_order(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  std::size_t i = 0;
  for (const std::string& w : wanted) {
    while (i < lines.size() && lines[i] != w) ++i;
    if (i == lines.size()) return false;
    ++i;
  }
  return true;
}

struct Case {
  const char* name;
  std::string raw;
  std::string cal;
  std::vector<std::string> taken;  // output names that exist before the run
  std::string answers;
  int status;
  std::vector<std::string> console;  // console lines that must appear, in this order
  std::string last_line;             // the last complete console line
  const char* created;               // output file made by the run, or nullptr
};

const std::string kTryOut = "Trying create file: " + setup_test::field128("flight.OUT");
const std::string kTryOutA = "Trying create file: " + setup_test::field128("flighta.OUT");

const std::vector<Case>& cases() {
  static const std::vector<Case> list = {
      {"full start-up, then the raw file from its first line",
       kRaw,
       "# fleet\n" + cal_block(3) + cal_block(12),
       {},
       "setup.txt\n",
       0,
       {"Enter SFMR setup filename: Setup success", "S/N: 12", "S/N success", "Cal File success",
        "SST field not loaded; using aircraft or default SST", kTryOut, "Create Out File success"},
       "Create Out File success",
       "flight.OUT"},
      {"output name taken",
       kRaw,
       cal_block(12),
       {"flight.OUT"},
       "setup.txt\n",
       0,
       {"Enter SFMR setup filename: Setup success", "S/N success", "Cal File success", kTryOut, kTryOutA,
        "Create Out File success"},
       "Create Out File success",
       "flighta.OUT"},
      {"no calibration block: the run ends before the output file",
       kRaw,
       cal_block(3),
       {},
       "setup.txt\n",
       1,
       {"Enter SFMR setup filename: Setup success", "S/N success", "Unexpected EOF in Cal file"},
       "Unexpected EOF in Cal file",
       nullptr},
      {"no serial record and a negative answer",
       kRawWithoutSerial,
       cal_block(12),
       {},
       "setup.txt\nn\n",
       0,
       {"Enter SFMR setup filename: Setup success"},
       "Enter SFMR setup filename: Setup success",
       nullptr},
  };
  return list;
}

TEST(Startup, FromASetupFile) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    write_file("setup.txt", kSetup);
    write_file("flight.dat", c.raw);
    write_file("cal.dat", c.cal);
    write_file("sst.bin", "");
    for (const std::string& t : c.taken) write_file(t, "kept");
    std::istringstream in(c.answers);
    std::ostringstream out;
    const int status = run_sfmrbatch(in, out);
    EXPECT_EQ(status, c.status);
    std::vector<std::string> lines = split_lines(out.str());
    EXPECT_TRUE(lines_in_order(lines, c.console)) << out.str();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], c.last_line) << out.str();
    for (const std::string& t : c.taken) EXPECT_EQ(read_file(t), "kept");

    std::vector<std::string> outputs;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      const std::string name = entry.path().filename().string();
      if (name.size() > 4 && name.substr(name.size() - 4) == ".OUT") outputs.push_back(name);
    }
    const std::size_t expected_outputs = c.taken.size() + (c.created ? 1 : 0);
    EXPECT_EQ(outputs.size(), expected_outputs);
    if (!c.created) continue;
    // A header and one line per aircraft second, from the first line of the raw file on: the lines before
    // the serial-number record are processed too. Latitude is f7.3, longitude f8.3, altitude i5.
    const std::vector<std::string> out_lines = split_lines(read_file(c.created));
    ASSERT_EQ(out_lines.size(), 5u);
    EXPECT_EQ(out_lines[4], "");
    EXPECT_EQ(out_lines[1].rfind("12:00:00, 25.500, -80.250, 1500,", 0), 0u) << out_lines[1];
    EXPECT_EQ(out_lines[2].rfind("12:00:01, 25.600, -80.250, 1500,", 0), 0u) << out_lines[2];
    EXPECT_EQ(out_lines[3].rfind("12:00:02, 25.700, -80.250, 1500,", 0), 0u) << out_lines[3];
  }
}

}  // namespace
}  // namespace sfmr
