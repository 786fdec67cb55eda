// Raw data file opening and the radiometer's serial number (get_infile).
#include "setup/raw_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "setup_test_support.hpp"

namespace sfmr {
namespace {

using namespace setup_test;

const std::string kNoRecordQuestion = "No %P record found - Continue (y/n)? ";
const std::string kSerialPrompt = "Enter a valid Radiometer S/N (1-255, q to quit): ";
const Ending kReturned = {};
const Ending kOperatorStop = {true, 0, ""};
const Ending kConsoleClosed = {true, 1, "Unexpected EOF on console input"};

const std::string kAcft = "%A,15/08/2005,12:00:00,25.5,-80.25,1500.0,1.0,2.0,290.0,300.0";
const std::string kBright = "%B,1,0.5";

struct Case {
  const char* name;
  std::string raw;  // content of the raw data file
  std::string answers;
  std::string transcript;
  Ending ending;
  std::int32_t serial;  // checked when get_infile returned
};

const std::vector<Case>& cases() {
  static const std::vector<Case> list = {
      {"record after aircraft and brightness lines", text_lines({kAcft, kBright, kBright, "%P 1 123", kAcft}),
       "", crlf("S/N:123"), kReturned, 123},
      {"only the first of two records counts", text_lines({"%P 1 12", "%P 1 34"}), "", crlf("S/N: 12"),
       kReturned, 12},
      {"blanks and commas around values", text_lines({"%P  7 , 45 ,9"}), "", crlf("S/N: 45"), kReturned, 45},
      {"a leading comma makes the first value empty", text_lines({"%P,1,123"}), "", crlf("S/N:  1"),
       kReturned, 1},
      {"a CR LF line end", "%P 1 200\r\n", "", crlf("S/N:200"), kReturned, 200},
      {"serial 0: asked, 300 asks again, 17 is taken", text_lines({"%P 1 0"}), "300\n17\n",
       crlf("S/N:  0") + kSerialPrompt + kSerialPrompt, kReturned, 17},
      {"serial 256 is asked for", text_lines({"%P 1 256"}), "255\n", crlf("S/N:256") + kSerialPrompt,
       kReturned, 255},
      {"serial 1000 shows asterisks", text_lines({"%P 1 1000"}), "1\n", crlf("S/N:***") + kSerialPrompt,
       kReturned, 1},
      {"a negative serial", text_lines({"%P 1 -5"}), "9\n", crlf("S/N: -5") + kSerialPrompt, kReturned, 9},
      {"a single value gives 0", text_lines({"%P 5"}), "8\n", crlf("S/N:  0") + kSerialPrompt, kReturned, 8},
      {"text in place of the serial gives 0", text_lines({"%P 1 abc"}), "8\n",
       crlf("S/N:  0") + kSerialPrompt, kReturned, 8},
      {"a decimal serial gives 0", text_lines({"%P 1 12.5"}), "8\n", crlf("S/N:  0") + kSerialPrompt,
       kReturned, 8},
      {"a decimal first value gives 0", text_lines({"%P 1.5 12"}), "8\n", crlf("S/N:  0") + kSerialPrompt,
       kReturned, 8},
      {"an answer without a number keeps the serial and asks again", text_lines({"%P 1 300"}),
       "abc\n/\n\n17\n", crlf("S/N:300") + kSerialPrompt + kSerialPrompt + kSerialPrompt + kSerialPrompt,
       kReturned, 17},
      {"answers are cut at 12 characters (blanks)", text_lines({"%P 1 0"}), "           17\n",
       crlf("S/N:  0") + kSerialPrompt, kReturned, 1},
      {"answers are cut at 12 characters (zeros)", text_lines({"%P 1 0"}), "0000000000017\n",
       crlf("S/N:  0") + kSerialPrompt, kReturned, 1},
      {"q at the serial prompt", text_lines({"%P 1 0"}), "q\n", crlf("S/N:  0") + kSerialPrompt,
       kOperatorStop, 0},
      {"Q at the serial prompt", text_lines({"%P 1 0"}), "Q\n", crlf("S/N:  0") + kSerialPrompt,
       kOperatorStop, 0},
      {"quit at the serial prompt", text_lines({"%P 1 0"}), "quit\n", crlf("S/N:  0") + kSerialPrompt,
       kOperatorStop, 0},
      {"a lower-case p is not a record; y continues", text_lines({kAcft, "%p 1 12"}), "y\n12\n",
       kNoRecordQuestion + kSerialPrompt, kReturned, 12},
      {"yes continues", text_lines({kAcft}), "yes\n77\n", kNoRecordQuestion + kSerialPrompt, kReturned, 77},
      {"Y continues", "", "Y\n77\n", kNoRecordQuestion + kSerialPrompt, kReturned, 77},
      {"n ends the run", text_lines({kAcft}), "n\n", kNoRecordQuestion, kOperatorStop, 0},
      {"an empty answer ends the run", text_lines({kAcft}), "\n", kNoRecordQuestion, kOperatorStop, 0},
      {"a blank before y ends the run", text_lines({kAcft}), " y\n", kNoRecordQuestion, kOperatorStop, 0},
      {"q after continuing", text_lines({kAcft}), "y\nq\n", kNoRecordQuestion + kSerialPrompt, kOperatorStop,
       0},
      {"end of input at the no-record question", text_lines({kAcft}), "", kNoRecordQuestion + "\r\n",
       kConsoleClosed, 0},
      {"end of input at the serial prompt", text_lines({"%P 1 0"}), "",
       crlf("S/N:  0") + kSerialPrompt + "\r\n", kConsoleClosed, 0},
      {"end of input after rejected answers", text_lines({"%P 1 0"}), "0\n256\n",
       crlf("S/N:  0") + kSerialPrompt + kSerialPrompt + kSerialPrompt + "\r\n", kConsoleClosed, 0},
  };
  return list;
}

TEST(GetInfile, SerialNumberDialogue) {
  ScratchDir dir;
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    write_file("flight.dat", c.raw);
    ScriptedConsole sc(c.answers);
    State s;
    TextFile rawfile;
    const Ending e = capture_end([&] { get_infile(sc.console, s, field128("flight.dat"), rawfile); });
    EXPECT_EQ(sc.transcript(), c.transcript);
    EXPECT_EQ(e.ended, c.ending.ended);
    EXPECT_EQ(e.status, c.ending.status);
    EXPECT_EQ(e.message, c.ending.message);
    if (e.ended) continue;
    EXPECT_EQ(s.sfmr.serial, c.serial);
    // The file comes back open at its first line.
    std::string line;
    const int status = rawfile.read(line);
    if (c.raw.empty()) {
      EXPECT_LT(status, 0);
    } else {
      ASSERT_EQ(status, 0);
      EXPECT_EQ(line, fixed_text(c.raw.substr(0, c.raw.find_first_of("\r\n"))));
    }
  }
}

TEST(GetInfile, FileThatDoesNotOpenEndsTheRun) {
  ScratchDir dir;
  std::filesystem::create_directory("flights");
  struct OpenCase {
    const char* name;
    const char* infile;
    const char* message;
  };
  const OpenCase cases[] = {
      {"missing file", "missing.dat", "Error on file open.  File:missing.dat Err:    2"},
      {"directory", "flights", "Error on file open.  File:flights Err:   21"},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedConsole sc("17\n");
    State s;
    TextFile rawfile;
    const Ending e = capture_end([&] { get_infile(sc.console, s, fixed_text(c.infile), rawfile); });
    EXPECT_TRUE(e.ended);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.message, c.message);
    EXPECT_EQ(sc.transcript(), "");
    EXPECT_EQ(s.sfmr.serial, 0);
    EXPECT_FALSE(rawfile.is_open());
  }
}

}  // namespace
}  // namespace sfmr
