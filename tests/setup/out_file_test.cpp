// Output file naming and creation (create_outfile).
#include "setup/out_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "setup_test_support.hpp"

namespace sfmr {
namespace {

using namespace setup_test;

TEST(OutputStem, LastDotFromColumnTwoOn) {
  struct Case {
    const char* infile;
    const char* stem;
  };
  const Case cases[] = {
      {"flight.dat", "flight"},
      {"flight.dat      ", "flight"},
      {"flight", "flight"},
      {"flight.2005.dat", "flight.2005"},
      {".hidden", ".hidden"},
      {".hidden.dat", ".hidden"},
      {"data.old/flight", "data"},
      {"./flight", "./flight"},
      {"FLIGHT.Dat", "FLIGHT"},
      {"flight.", "flight"},
      {" a.b", " a"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.infile);
    EXPECT_EQ(output_stem(field128(c.infile)), c.stem);
  }
}

TEST(OutputCandidate, ElevenNamesInA128CharacterField) {
  struct Case {
    int attempt;
    const char* name;
  };
  const Case cases[] = {{0, "S.OUT"}, {1, "Sa.OUT"}, {2, "Sb.OUT"}, {3, "Sc.OUT"}, {10, "Sj.OUT"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attempt);
    EXPECT_EQ(output_candidate("S", c.attempt), field128(c.name));
  }
  // A name that does not fit is cut at 128 characters.
  const std::string long_stem(126, 'x');
  EXPECT_EQ(output_candidate(long_stem, 0), long_stem + ".O");
}

std::string trying(std::string_view name) {
  return crlf("Trying create file: " + field128(name));
}

struct Case {
  const char* name;
  const char* infile;
  std::vector<std::string> taken;  // files that exist before the call
  std::vector<std::string> tried;  // candidates shown, in order
  const char* created;             // the new file, when the call returned
};

const std::vector<Case>& cases() {
  static const std::vector<Case> list = {
      {"free name", "flight.dat", {}, {"flight.OUT"}, "flight.OUT"},
      {"first name taken", "flight.dat", {"flight.OUT"}, {"flight.OUT", "flighta.OUT"}, "flighta.OUT"},
      {"two names taken",
       "flight.dat",
       {"flight.OUT", "flighta.OUT"},
       {"flight.OUT", "flighta.OUT", "flightb.OUT"},
       "flightb.OUT"},
      {"no extension", "flight", {}, {"flight.OUT"}, "flight.OUT"},
      {"two dots", "flight.2005.dat", {}, {"flight.2005.OUT"}, "flight.2005.OUT"},
      {"dot in column 1", ".hidden", {}, {".hidden.OUT"}, ".hidden.OUT"},
      {"dot in a directory name", "data.old/flight", {}, {"data.OUT"}, "data.OUT"},
      {"extension in mixed case", "FLIGHT.Dat", {}, {"FLIGHT.OUT"}, "FLIGHT.OUT"},
      {"file in a subdirectory",
       "runs/flight.dat",
       {"runs/flight.OUT"},
       {"runs/flight.OUT", "runs/flighta.OUT"},
       "runs/flighta.OUT"},
      {"a directory of the candidate's name",
       "flight.dat",
       {"dir:flight.OUT"},
       {"flight.OUT", "flighta.OUT"},
       "flighta.OUT"},
      {"a gap in the taken names is used",
       "flight.dat",
       {"flight.OUT", "flightb.OUT"},
       {"flight.OUT", "flighta.OUT"},
       "flighta.OUT"},
  };
  return list;
}

// Makes `entry` exist: "dir:<name>" a directory, otherwise a file holding its own name.
void make_taken(const std::string& entry) {
  if (entry.rfind("dir:", 0) == 0) {
    std::filesystem::create_directories(entry.substr(4));
  } else {
    write_file(entry, entry);
  }
}

TEST(CreateOutfile, NamesAndCreatesANewFile) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::filesystem::create_directories("data.old");
    std::filesystem::create_directories("runs");
    for (const std::string& t : c.taken) make_taken(t);
    ScriptedConsole sc("");
    OutFile outfile;
    const Ending e = capture_end([&] { create_outfile(sc.console, field128(c.infile), outfile); });
    ASSERT_FALSE(e.ended) << e.message;
    std::string want;
    for (const std::string& t : c.tried) want += trying(t);
    EXPECT_EQ(sc.transcript(), want);
    ASSERT_TRUE(outfile.is_open());
    outfile.write_line("x");
    outfile.close();
    EXPECT_EQ(read_file(c.created), "x\r\n");
    // Nothing that existed was touched.
    for (const std::string& t : c.taken) {
      if (t.rfind("dir:", 0) == 0) {
        EXPECT_TRUE(std::filesystem::is_directory(t.substr(4)));
      } else {
        EXPECT_EQ(read_file(t), t);
      }
    }
  }
}

TEST(CreateOutfile, ElevenFailuresEndTheRun) {
  struct FailCase {
    const char* name;
    const char* infile;
    bool take_all;  // create all eleven names first
    const char* stem;
    const char* last_line;
  };
  const FailCase cases[] = {
      {"all eleven names taken", "flight.dat", true, "flight", "Last Filename:flightj.OUT Err:  128"},
      {"directory that does not exist", "nodir/flight.dat", false, "nodir/flight",
       "Last Filename:nodir/flightj.OUT Err:    2"},
  };
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::vector<std::string> names;
    names.push_back(std::string(c.stem) + ".OUT");
    for (const char letter : std::string_view("abcdefghij"))
      names.push_back(c.stem + std::string(1, letter) + ".OUT");
    if (c.take_all) {
      for (const std::string& n : names) write_file(n, "kept " + n);
    }
    ScriptedConsole sc("");
    OutFile outfile;
    const Ending e = capture_end([&] { create_outfile(sc.console, field128(c.infile), outfile); });
    std::string want;
    for (const std::string& n : names) want += trying(n);
    want += crlf("Error on output file creation.");
    EXPECT_EQ(sc.transcript(), want);
    EXPECT_TRUE(e.ended);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.message, c.last_line);
    EXPECT_FALSE(outfile.is_open());
    for (const std::string& n : names) {
      if (c.take_all) {
        EXPECT_EQ(read_file(n), "kept " + n);
      } else {
        EXPECT_FALSE(std::filesystem::exists(n));
      }
    }
  }
}

}  // namespace
}  // namespace sfmr
