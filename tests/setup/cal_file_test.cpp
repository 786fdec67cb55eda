// Calibration block search and constants (get_cals).
#include "setup/cal_file.hpp"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "setup_test_support.hpp"

namespace sfmr {
namespace {

using namespace setup_test;

using Coef = std::array<std::array<float, kCalConstants>, kChannels>;

// Value held by every constant before the call, so that an untouched constant is visible.
constexpr float kPrior = 0.5f;

Coef prior_coef() {
  Coef c;
  for (auto& row : c) row.fill(kPrior);
  return c;
}

// Constant c (1..9) of channel k (0..5) in a block made with `base`: base + 10 (k + 1) + c, so every value of
// a file names its block, channel and position.
float constant(int base, int k, int c) {
  return static_cast<float>(base + 10 * (k + 1) + c);
}

Coef block_values(int base) {
  Coef v;
  for (int k = 0; k < kChannels; ++k) {
    for (int c = 1; c <= kCalConstants; ++c) v[k][c - 1] = constant(base, k, c);
  }
  return v;
}

// The constant line of channel k, blank separated, with nine numbers.
std::string constant_line(int base, int k) {
  std::string line;
  for (int c = 1; c <= kCalConstants; ++c) {
    if (c > 1) line += ' ';
    line += std::to_string(static_cast<int>(constant(base, k, c)));
  }
  return line + "\n";
}

// Constant lines of channels first..last-1 of a block (all six by default).
std::string block_lines(int base, int first = 0, int last = kChannels) {
  std::string s;
  for (int k = first; k < last; ++k) s += constant_line(base, k);
  return s;
}

// Six lines that are not numbers: any attempt to read them as constants fails.
const std::string kForeignBlock =
    "alpha beta\nchannel two of another radiometer\nx\ny\nz\nend of foreign block\n";

struct LoadCase {
  const char* name;
  std::string content;
  std::int32_t serial;
  Coef coef;
};

Coef with_row(Coef c, int k, std::array<float, kCalConstants> row) {
  c[k] = row;
  return c;
}

const std::vector<LoadCase>& load_cases() {
  static const std::vector<LoadCase> cases = {
      {"second block of two, first block never parsed",
       "# calibration of the fleet\nUS-  3\n" + kForeignBlock + "US- 12\n# after the header\n" +
           block_lines(100),
       12, block_values(100)},
      {"first block of two for the same serial", "US-7\n" + block_lines(100) + "US-7\n" + block_lines(300), 7,
       block_values(100)},
      {"comments between constant lines",
       "US-7\n#c0\n" + constant_line(0, 0) + "#c1\n#c1b\n" + constant_line(0, 1) + constant_line(0, 2) +
           "#\n" + constant_line(0, 3) + constant_line(0, 4) + "# x\n" + constant_line(0, 5),
       7, block_values(0)},
      {"header 007", "US-007\n" + block_lines(200), 7, block_values(200)},
      {"header with two blanks and 7", "US-  7\n" + block_lines(200), 7, block_values(200)},
      {"only columns 4-6 of the header are read: 1234 is 123", "US-1234\n" + block_lines(200), 123,
       block_values(200)},
      {"text after column 6 of the header is ignored", "US- 12 radiometer twelve\n" + block_lines(200), 12,
       block_values(200)},
      {"a lower-case header is an ordinary line", "us-7\n" + kForeignBlock + "US-7\n" + block_lines(100), 7,
       block_values(100)},
      {"tenth and later numbers are ignored",
       "US-9\n" + std::string("1 2 3 4 5 6 7 8 9 10 11\n") + block_lines(0, 1), 9,
       with_row(block_values(0), 0, {1, 2, 3, 4, 5, 6, 7, 8, 9})},
      {"commas, exponents and signs", "US-9\n1.5e2, 2D0,-3, +4 ,5.,.5,7E-1,8q0,9\n" + block_lines(0, 1), 9,
       with_row(block_values(0), 0, {150.0f, 2.0f, -3.0f, 4.0f, 5.0f, 0.5f, 0.7f, 8.0f, 9.0f})},
      {"a slash keeps the constants it did not reach", "US-9\n1 2 3 /\n" + block_lines(0, 1), 9,
       with_row(block_values(0), 0, {1, 2, 3, kPrior, kPrior, kPrior, kPrior, kPrior, kPrior})},
      {"CR LF line ends", "US- 5\r\n1 2 3 4 5 6 7 8 9\r\n" + block_lines(0, 1), 5,
       with_row(block_values(0), 0, {1, 2, 3, 4, 5, 6, 7, 8, 9})},
      {"nothing after the sixth constant line is read", "US-4\n" + block_lines(400) + "US-XYZ\n\nrubbish\n",
       4, block_values(400)},
  };
  return cases;
}

TEST(GetCals, LoadsTheBlockOfTheSerialNumber) {
  ScratchDir dir;
  for (const LoadCase& c : load_cases()) {
    SCOPED_TRACE(c.name);
    write_file("cal.dat", c.content);
    ScriptedConsole sc("");
    State s;
    s.sfmr.serial = c.serial;
    s.cal.coef = prior_coef();
    s.cal.freq.fill(5.0f);
    const Ending e = capture_end([&] { get_cals(sc.console, s, fixed_text("cal.dat")); });
    EXPECT_FALSE(e.ended) << e.message;
    EXPECT_EQ(sc.transcript(), "");
    EXPECT_EQ(s.cal.coef, c.coef);
    EXPECT_EQ(s.cal.freq, (std::array<float, kChannels>{5, 5, 5, 5, 5, 5}));  // nothing else in cal changes
  }
}

struct FailCase {
  const char* name;
  std::string content;
  std::int32_t serial;
  std::string message;
};

const std::vector<FailCase>& fail_cases() {
  static const std::vector<FailCase> cases = {
      {"only five constant lines", "US-7\n" + block_lines(0, 0, 5), 7, "Unexpected EOF in Cal file"},
      {"five constant lines and a comment", "US-7\n" + block_lines(0, 0, 5) + "# last\n", 7,
       "Unexpected EOF in Cal file"},
      {"header as the last line", "US-7\n", 7, "Unexpected EOF in Cal file"},
      {"no block for the serial", "US-3\n" + block_lines(0) + "US-4\n" + block_lines(0), 5,
       "Unexpected EOF in Cal file"},
      {"lower-case header is no header", "us-7\n" + block_lines(0), 7, "Unexpected EOF in Cal file"},
      {"1234 does not match serial 234", "US-1234\n" + block_lines(0), 234, "Unexpected EOF in Cal file"},
      {"empty file", "", 1, "Unexpected EOF in Cal file"},
      {"header with text in columns 4-6", "US-ABC\n" + block_lines(0), 7, "Bad line in Cal file: US-ABC"},
      {"header of another radiometer without a number", "US-\n" + kForeignBlock + "US-7\n" + block_lines(0),
       7, "Bad line in Cal file: US-"},
      {"header with only a slash", "US-/ 7\n" + block_lines(0), 7, "Bad line in Cal file: US-/ 7"},
      {"header with a decimal number", "US-7.0\n" + block_lines(0), 7, "Bad line in Cal file: US-7.0"},
      {"eight constants without a slash", "US-7\n1 2 3 4 5 6 7 8   \n" + block_lines(0), 7,
       "Bad line in Cal file: 1 2 3 4 5 6 7 8"},
      {"text among the constants", "US-7\n" + constant_line(0, 0) + "1 2 3 four 5 6 7 8 9\n" + block_lines(0),
       7, "Bad line in Cal file: 1 2 3 four 5 6 7 8 9"},
      {"a blank line inside the block", "US-7\n" + constant_line(0, 0) + "\n" + block_lines(0), 7,
       "Bad line in Cal file: "},
      {"a blank before # makes a constant line", "US-7\n # note\n" + block_lines(0), 7,
       "Bad line in Cal file:  # note"},
      {"the wanted block of a foreign-looking file", "US-7\n" + kForeignBlock, 7,
       "Bad line in Cal file: alpha beta"},
  };
  return cases;
}

TEST(GetCals, FailuresEndTheRun) {
  ScratchDir dir;
  for (const FailCase& c : fail_cases()) {
    SCOPED_TRACE(c.name);
    write_file("cal.dat", c.content);
    ScriptedConsole sc("");
    State s;
    s.sfmr.serial = c.serial;
    const Ending e = capture_end([&] { get_cals(sc.console, s, fixed_text("cal.dat")); });
    EXPECT_TRUE(e.ended);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.message, c.message);
    EXPECT_EQ(sc.transcript(), "");
  }
}

TEST(GetCals, RowsReadBeforeTheEndStay) {
  ScratchDir dir;
  write_file("cal.dat", "US-7\n" + constant_line(0, 0) + constant_line(0, 1));
  ScriptedConsole sc("");
  State s;
  s.sfmr.serial = 7;
  s.cal.coef = prior_coef();
  const Ending e = capture_end([&] { get_cals(sc.console, s, fixed_text("cal.dat")); });
  EXPECT_EQ(e.message, "Unexpected EOF in Cal file");
  Coef want = prior_coef();
  want[0] = block_values(0)[0];
  want[1] = block_values(0)[1];
  EXPECT_EQ(s.cal.coef, want);
}

TEST(GetCals, FileThatDoesNotOpenEndsTheRun) {
  ScratchDir dir;
  std::filesystem::create_directory("cals");
  struct Case {
    const char* name;
    const char* calfile;
    const char* message;
  };
  const Case cases[] = {
      {"missing file", "nocal.dat", "Error on file open.  File:nocal.dat Err:    2"},
      {"directory", "cals", "Error on file open.  File:cals Err:   21"},
      {"missing file in a missing directory", "no/where.dat",
       "Error on file open.  File:no/where.dat Err:    2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedConsole sc("");
    State s;
    s.sfmr.serial = 7;
    s.cal.coef = prior_coef();
    const Ending e = capture_end([&] { get_cals(sc.console, s, fixed_text(c.calfile)); });
    EXPECT_TRUE(e.ended);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.message, c.message);
    EXPECT_EQ(s.cal.coef, prior_coef());
  }
}

}  // namespace
}  // namespace sfmr
