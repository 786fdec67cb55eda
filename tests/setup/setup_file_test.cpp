// Setup file sections and the start-up dialogue of get_setupfile.
#include "setup/setup_file.hpp"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "core/files.hpp"
#include "setup_test_support.hpp"

namespace sfmr {
namespace {

using namespace setup_test;

using Freqs = std::array<float, kChannels>;

const std::string kSetupPrompt = "Enter SFMR setup filename: ";
const std::string kRetryPrompt = "Try again (Y/N)? :";
const std::string kManualPrompt = "Do you want to enter parameters manually (Y/N)? :";
const std::string kRawPrompt = "Enter raw data file name: ";
const std::string kCalPrompt = "Enter cal file name: ";
const std::string kSstPrompt = "Enter SST file name: ";
const std::string kFreqPrompt = "Enter six freqs in GHz (0.0 to disable): ";
const std::string kDefaultSstPrompt = "Enter default SST value (pos for %A, neg for file): ";
const std::string kFilterPrompt = "Enter Filter value (pos for Least Sq, neg for Outlier): ";
const std::string kConsoleEof = "Unexpected EOF on console input";

// Every parameter missing except those named.
constexpr std::uint32_t missing_all_but(std::uint32_t accepted) {
  return rcvd_bit::kAll & ~accepted;
}

// Values held before the reading starts. All lie inside their accepted ranges, so a value that a faulty
// reader leaves in place would pass its range test and show up in the missing set.
constexpr Freqs kPriorFreqs = {6.5f, 6.5f, 6.5f, 6.5f, 6.5f, 6.5f};
constexpr float kPriorSst = 5.5f;
constexpr float kPriorFilter = 1.5f;

constexpr Freqs kValidFreqs = {0.0f, 4.0f, 8.0f, 5.0f, 6.0f, 7.0f};

// A working directory with the three files that the setup names, and a directory.
class SetupFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file("raw.dat", "%A\n");
    write_file("cal.dat", "US-  1\n");
    write_file("sst.bin", "x");
    std::filesystem::create_directory("adir");
  }
  ScratchDir dir_;
};

// ---- Sections of the setup file
// ----------------------------------------------------------------------------

struct SectionCase {
  const char* name;
  std::vector<std::string> lines;
  std::uint32_t rcvd;  // missing set after the reading
  const char* infile;  // raw data file name field after the reading, trailing blanks dropped
  Freqs freq;
  float default_sst;
  float filter;
};

std::vector<std::string> six_valid() {
  return {"&A", "raw.dat", "&B", "cal.dat", "&C", "sst.bin", "&D", "0.0 4.0 8.0 5.0 6.0 7.0",
          "&E", "25.0",    "&F", "-3.0"};
}

const std::vector<SectionCase>& section_cases() {
  static const std::vector<SectionCase> cases = {
      {"all six valid", six_valid(), 0, "raw.dat", kValidFreqs, 25.0f, -3.0f},
      {"lower-case letters, any order, text after the letter",
       {"&f filter value", "-3.0", "&e", "25.0", "&d freqs", "0 4 8 5 6 7", "&c", "sst.bin", "&b", "cal.dat",
        "&a raw", "raw.dat"},
       0,
       "raw.dat",
       kValidFreqs,
       25.0f,
       -3.0f},
      {"lines before the first section line are ignored",
       {"raw.dat", "25.0", "&F", "2.5"},
       missing_all_but(rcvd_bit::kFilter),
       "",
       kPriorFreqs,
       kPriorSst,
       2.5f},
      {"sections G and a lone & are skipped with their lines",
       {"&G", "12.0", "&", "-7.0", "&g", "&E", "12.0"},
       missing_all_but(rcvd_bit::kDefaultSst),
       "",
       kPriorFreqs,
       12.0f,
       kPriorFilter},
      {"five frequencies and default SST 40.0",
       {"&A", "raw.dat", "&B", "cal.dat", "&C", "sst.bin", "&D", "4.0 5.0 6.0 7.0 8.0", "&E", "40.0", "&F",
        "-3.0"},
       rcvd_bit::kFreqs | rcvd_bit::kDefaultSst,
       "raw.dat",
       kPriorFreqs,
       40.0f,
       -3.0f},
      {"a raw file name that does not open stops the reading",
       {"&A", "missing.dat", "&B", "cal.dat", "&C", "sst.bin", "&D", "0 4 8 5 6 7", "&E", "25.0", "&F",
        "-3.0"},
       rcvd_bit::kAll,
       "missing.dat",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"values accepted before a failing name stand",
       {"&E", "25.0", "&B", "cal.dat", "&A", "missing.dat", "&F", "-3.0"},
       missing_all_but(rcvd_bit::kDefaultSst | rcvd_bit::kCalFile),
       "missing.dat",
       kPriorFreqs,
       25.0f,
       kPriorFilter},
      {"a directory does not open",
       {"&C", "adir", "&E", "25.0"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"leading blanks belong to the file name",
       {"&A", " raw.dat", "&E", "25.0"},
       rcvd_bit::kAll,
       " raw.dat",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"comments between the section line and its value line are skipped",
       {"&E", "# comment", "#", "12.5"},
       missing_all_but(rcvd_bit::kDefaultSst),
       "",
       kPriorFreqs,
       12.5f,
       kPriorFilter},
      {"lines after the value line are ignored, comments included",
       {"&E", "12.5", "30.0", "# 31.0", "&F", "#", "2.0", "3.0"},
       missing_all_but(rcvd_bit::kDefaultSst | rcvd_bit::kFilter),
       "",
       kPriorFreqs,
       12.5f,
       2.0f},
      {"a section line directly after a section line leaves the first missing",
       {"&E", "# none", "&F", "2.0", "11.0"},
       missing_all_but(rcvd_bit::kFilter),
       "",
       kPriorFreqs,
       kPriorSst,
       2.0f},
      {"frequency 3.9 rejects the line",
       {"&D", "3.9 4.0 5.0 6.0 7.0 8.0"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"frequency 8.01 rejects the line",
       {"&D", "4.0 5.0 6.0 7.0 8.0 8.01"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"frequencies after a slash stay unread and fail",
       {"&D", "4 5 6 7 8 /"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"an empty frequency value fails",
       {"&D", "4,5,,6,7,8"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"a malformed frequency fails",
       {"&D", "4 5 6 7 8 x"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"commas, blanks and a seventh value",
       {"&D", "4.0, 5.0 ,6.0,7.0 8.0 0.0 99.0"},
       missing_all_but(rcvd_bit::kFreqs),
       "",
       Freqs{4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 0.0f},
       kPriorSst,
       kPriorFilter},
      {"all channels disabled",
       {"&D", "0,0,0,0,0,0"},
       missing_all_but(rcvd_bit::kFreqs),
       "",
       Freqs{},
       kPriorSst,
       kPriorFilter},
      {"default SST -40.0 rejected, stays",
       {"&E", "-40.0"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       -40.0f,
       kPriorFilter},
      {"default SST 40.0 rejected, stays",
       {"&E", "40.0"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       40.0f,
       kPriorFilter},
      {"default SST -39.9 accepted",
       {"&E", "-39.9"},
       missing_all_but(rcvd_bit::kDefaultSst),
       "",
       kPriorFreqs,
       -39.9f,
       kPriorFilter},
      {"default SST 39.9 accepted",
       {"&E", "39.9"},
       missing_all_but(rcvd_bit::kDefaultSst),
       "",
       kPriorFreqs,
       39.9f,
       kPriorFilter},
      {"default SST in exponent form",
       {"&E", "-1.5e1"},
       missing_all_but(rcvd_bit::kDefaultSst),
       "",
       kPriorFreqs,
       -15.0f,
       kPriorFilter},
      {"default SST of only a slash is no value",
       {"&E", "/"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"default SST blank line is no value",
       {"&E", ""},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"default SST lone comma is no value",
       {"&E", ","},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"default SST text is no value",
       {"&E", "warm"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"filter -20.0 accepted",
       {"&F", "-20.0"},
       missing_all_but(rcvd_bit::kFilter),
       "",
       kPriorFreqs,
       kPriorSst,
       -20.0f},
      {"filter 20.0 accepted",
       {"&F", "20.0"},
       missing_all_but(rcvd_bit::kFilter),
       "",
       kPriorFreqs,
       kPriorSst,
       20.0f},
      {"filter 20.1 rejected, stays", {"&F", "20.1"}, rcvd_bit::kAll, "", kPriorFreqs, kPriorSst, 20.1f},
      {"filter -20.1 rejected, stays", {"&F", "-20.1"}, rcvd_bit::kAll, "", kPriorFreqs, kPriorSst, -20.1f},
      {"filter of only a slash is no value",
       {"&F", "/"},
       rcvd_bit::kAll,
       "",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
      {"a later default SST replaces the value, the acceptance stands",
       {"&E", "10.0", "&E", "50.0"},
       missing_all_but(rcvd_bit::kDefaultSst),
       "",
       kPriorFreqs,
       50.0f,
       kPriorFilter},
      {"a rejected later frequency line leaves the earlier frequencies",
       {"&D", "0 4 8 5 6 7", "&D", "4 5 6 7 8 9"},
       missing_all_but(rcvd_bit::kFreqs),
       "",
       kValidFreqs,
       kPriorSst,
       kPriorFilter},
      {"a later failing file name replaces the name and stops the reading",
       {"&A", "raw.dat", "&A", "missing.dat", "&E", "25.0"},
       missing_all_but(rcvd_bit::kRawFile),
       "missing.dat",
       kPriorFreqs,
       kPriorSst,
       kPriorFilter},
  };
  return cases;
}

// Delivers the lines of a vector as 128-character fields, then the end of the text; counts the reads.
struct VectorSource {
  const std::vector<std::string>& lines;
  std::size_t next = 0;
  int read(std::string& line) {
    if (next == lines.size()) return kEndOfInput;
    line = fixed_text(lines[next++]);
    return 0;
  }
};

State prior_state() {
  State s;
  s.cal.freq = kPriorFreqs;
  s.cal.default_sst = kPriorSst;
  s.cal.filter = kPriorFilter;
  return s;
}

TEST_F(SetupFiles, SectionsAreAppliedAndAccepted) {
  for (const SectionCase& c : section_cases()) {
    SCOPED_TRACE(c.name);
    State s = prior_state();
    SetupParameters p;
    VectorSource src{c.lines};
    const int status = read_setup_sections([&src](std::string& l) { return src.read(l); }, s, p);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(p.rcvd, c.rcvd);
    EXPECT_EQ(trimmed(p.infile), c.infile);
    EXPECT_EQ(p.infile.size(), kLineLength);
    EXPECT_EQ(s.cal.freq, c.freq);
    EXPECT_EQ(s.cal.default_sst, c.default_sst);
    EXPECT_EQ(s.cal.filter, c.filter);
  }
}

TEST_F(SetupFiles, ReadingStopsOnceAllSixAreAccepted) {
  std::vector<std::string> lines = six_valid();
  const std::size_t needed = lines.size();
  lines.insert(lines.end(), {"&E", "-12.0", "&A", "missing.dat"});
  State s = prior_state();
  SetupParameters p;
  VectorSource src{lines};
  EXPECT_EQ(read_setup_sections([&src](std::string& l) { return src.read(l); }, s, p), 0);
  EXPECT_EQ(src.next, needed);
  EXPECT_EQ(s.cal.default_sst, 25.0f);
  EXPECT_EQ(trimmed(p.infile), "raw.dat");
}

TEST_F(SetupFiles, ReadErrorIsReturnedAndKeepsAcceptedValues) {
  struct Case {
    const char* name;
    std::size_t good_lines;  // lines delivered before the failing read
    std::uint32_t rcvd;
  };
  const std::vector<std::string> lines = six_valid();
  const Case cases[] = {
      {"error before any section", 0, rcvd_bit::kAll},
      {"error where a value line is wanted", 1, rcvd_bit::kAll},
      {"error after two accepted names", 4, missing_all_but(rcvd_bit::kRawFile | rcvd_bit::kCalFile)},
  };
  constexpr int kReadError = 5;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State s = prior_state();
    SetupParameters p;
    std::size_t next = 0;
    const auto source = [&](std::string& line) {
      if (next == c.good_lines) return kReadError;
      line = fixed_text(lines[next++]);
      return 0;
    };
    EXPECT_EQ(read_setup_sections(source, s, p), kReadError);
    EXPECT_EQ(p.rcvd, c.rcvd);
  }
}

TEST(QuitAnswer, OnlyALoneQInColumnOne) {
  struct Case {
    const char* answer;
    bool quit;
  };
  const Case cases[] = {{"q", true},   {"Q", true}, {"q    ", true}, {" q", false},  {"quit", false},
                        {"qq", false}, {"", false}, {"q x", false},  {"Q\t", false}, {"y", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(is_quit_answer(field128(c.answer)), c.quit);
  }
}

// ---- The whole dialogue
// ------------------------------------------------------------------------------------

const std::string kFullSetup =
    text_lines({"# flight 12 set-up", "&A", "raw.dat", "&B", "cal.dat", "&C", "sst.bin", "&D",
                "0.0 4.0 8.0 5.0 6.0 7.0", "&E", "25.0", "&F", "-3.0", "&E", "this line is never read"});
const std::string kFiveFreqsSst40 = text_lines({"&A", "raw.dat", "&B", "cal.dat", "&C", "sst.bin", "&D",
                                                "4.0 5.0 6.0 7.0 8.0", "&E", "40.0", "&F", "-3.0"});
const std::string kMissingRaw = text_lines({"&A", "missing.dat", "&B", "cal.dat", "&C", "sst.bin", "&D",
                                            "0.0 4.0 8.0 5.0 6.0 7.0", "&E", "25.0", "&F", "-3.0"});
const std::string kNumbersOnly = text_lines({"&D", "0.0 4.0 8.0 5.0 6.0 7.0", "&E", "25.0", "&F", "-3.0"});

// Answers that take manual entry through all six prompts after an empty setup file name.
const std::string kToManual = "\nn\ny\n";
const std::string kToManualTranscript =
    kSetupPrompt + crlf("Error on file open.  File: Err:    2") + kRetryPrompt + kManualPrompt;
const std::string kSixPrompts =
    kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt + kDefaultSstPrompt + kFilterPrompt;

struct Result {
  const char* infile;
  const char* calfile;
  const char* sstfile;
  Freqs freq;
  float default_sst;
  float filter;
};

struct DialogueCase {
  const char* name;
  const std::string& setup;  // content of setup.txt
  std::string answers;
  std::string transcript;
  Ending ending;  // how get_setupfile ended
  Result result;  // checked when it returned
};

const Result kFromFile = {"raw.dat", "cal.dat", "sst.bin", kValidFreqs, 25.0f, -3.0f};
const Result kManual = {"raw.dat", "cal.dat", "sst.bin", Freqs{4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 0.0f},
                        1.0f,      2.0f};
const Result kNone = {};
const Ending kReturned = {};
const Ending kOperatorStop = {true, 0, ""};
const Ending kConsoleClosed = {true, 1, kConsoleEof};

const std::vector<DialogueCase>& dialogue_cases() {
  static const std::vector<DialogueCase> cases = {
      {"all six from the setup file, no further prompt", kFullSetup, "setup.txt\n", kSetupPrompt, kReturned,
       kFromFile},
      {"an answer without a final line feed is an answer", kFullSetup, "setup.txt", kSetupPrompt, kReturned,
       kFromFile},
      {"five frequencies and SST 40.0 prompt for exactly those two",
       kFiveFreqsSst40,
       "setup.txt\n6.0 0 0 0 0 4\n-12.5\n",
       kSetupPrompt + kFreqPrompt + kDefaultSstPrompt,
       kReturned,
       {"raw.dat", "cal.dat", "sst.bin", Freqs{6.0f, 0.0f, 0.0f, 0.0f, 0.0f, 4.0f}, -12.5f, -3.0f}},
      {"a missing raw file in section A leaves all six to the console", kMissingRaw,
       "setup.txt\nraw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n1.0\n2.0\n", kSetupPrompt + kSixPrompts, kReturned,
       kManual},
      {"numbers only: the three file names are asked", kNumbersOnly, "setup.txt\nraw.dat\ncal.dat\nsst.bin\n",
       kSetupPrompt + kRawPrompt + kCalPrompt + kSstPrompt, kReturned, kFromFile},
      {"empty setup name, n then y: manual entry of all six", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n1\n2\n", kToManualTranscript + kSixPrompts,
       kReturned, kManual},
      {"y to the retry question asks for the setup file again", kFullSetup, "nosuch.txt\nY\nsetup.txt\n",
       kSetupPrompt + crlf("Error on file open.  File:nosuch.txt Err:    2") + kRetryPrompt + kSetupPrompt,
       kReturned, kFromFile},
      {"n to both questions ends the run", kFullSetup, "nosuch.txt\nn\nn\n",
       kSetupPrompt + crlf("Error on file open.  File:nosuch.txt Err:    2") + kRetryPrompt + kManualPrompt,
       kOperatorStop, kNone},
      {"a directory as setup file does not open", kFullSetup, "adir\nno\nx\n",
       kSetupPrompt + crlf("Error on file open.  File:adir Err:   21") + kRetryPrompt + kManualPrompt,
       kOperatorStop, kNone},
      {"q at the setup file name", kFullSetup, "q\n", kSetupPrompt, kOperatorStop, kNone},
      {"Q with blanks after it at the setup file name", kFullSetup, "Q   \n", kSetupPrompt, kOperatorStop,
       kNone},
      {"a blank before q makes it a file name", kFullSetup, " q\nn\nn\n",
       kSetupPrompt + crlf("Error on file open.  File: q Err:    2") + kRetryPrompt + kManualPrompt,
       kOperatorStop, kNone},
      {"quit is a setup file name", kFullSetup, "quit\nn\nn\n",
       kSetupPrompt + crlf("Error on file open.  File:quit Err:    2") + kRetryPrompt + kManualPrompt,
       kOperatorStop, kNone},
      {"q at the raw file name", kNumbersOnly, "setup.txt\nq\n", kSetupPrompt + kRawPrompt, kOperatorStop,
       kNone},
      {"Q at the cal file name", kNumbersOnly, "setup.txt\nraw.dat\nQ\n",
       kSetupPrompt + kRawPrompt + kCalPrompt, kOperatorStop, kNone},
      {"q at the SST file name", kNumbersOnly, "setup.txt\nraw.dat\ncal.dat\nq \n",
       kSetupPrompt + kRawPrompt + kCalPrompt + kSstPrompt, kOperatorStop, kNone},
      {"q at the default SST", kFullSetup, kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\nq\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt + kDefaultSstPrompt,
       kOperatorStop, kNone},
      {"Q at the filter", kFullSetup, kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n1\nQ\n",
       kToManualTranscript + kSixPrompts, kOperatorStop, kNone},
      {"q at the frequencies is a rejected line, asked again", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\nq\n4 5 6 7 8 0\n1\n2\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt +
           crlf("Error while reading freqs.  Line was: q") + kFreqPrompt + kDefaultSstPrompt + kFilterPrompt,
       kReturned, kManual},
      {"quit at the raw file name is a file name", kFullSetup,
       kToManual + "quit\nraw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n1\n2\n",
       kToManualTranscript + kRawPrompt + crlf("Error while opening file " + field128("quit")) + kSixPrompts,
       kReturned, kManual},
      {"quit at the default SST is a rejected number", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\nquit\n1\n2\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt + kDefaultSstPrompt +
           crlf("Error while entering Default SST: " + field128("quit")) + kDefaultSstPrompt + kFilterPrompt,
       kReturned, kManual},
      {"a failing SST file name restarts, asking only the SST file again", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nmissing.bin\nsst.bin\n4 5 6 7 8 0\n1\n2\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt +
           crlf("Error while opening file " + field128("missing.bin")) + kSstPrompt + kFreqPrompt +
           kDefaultSstPrompt + kFilterPrompt,
       kReturned, kManual},
      {"a rejected frequency line shows the line without trailing blanks", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 8.01   \n4 5 6 7 8 0\n1\n2\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt +
           crlf("Error while reading freqs.  Line was: 4 5 6 7 8 8.01") + kFreqPrompt + kDefaultSstPrompt +
           kFilterPrompt,
       kReturned, kManual},
      {"a frequency answer is cut at 128 characters", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\n" + std::string(128, ' ') + "4 5 6 7 8 0\n4 5 6 7 8 0\n1\n2\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt +
           crlf("Error while reading freqs.  Line was: ") + kFreqPrompt + kDefaultSstPrompt + kFilterPrompt,
       kReturned, kManual},
      {"default SST 40.0 rejected, then -39.9 accepted",
       kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n40.0\n-39.9\n2\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt + kDefaultSstPrompt +
           crlf("Error while entering Default SST: " + field128("40.0")) + kDefaultSstPrompt + kFilterPrompt,
       kReturned,
       {"raw.dat", "cal.dat", "sst.bin", Freqs{4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 0.0f}, -39.9f, 2.0f}},
      {"a default SST of only a slash is rejected", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n/\n1\n2\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt + kDefaultSstPrompt +
           crlf("Error while entering Default SST: " + field128("/")) + kDefaultSstPrompt + kFilterPrompt,
       kReturned, kManual},
      {"filter 20.1 rejected, restart asks only the filter", kFullSetup,
       kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n1\n20.1\n2\n",
       kToManualTranscript + kSixPrompts + crlf("Error while entering Outlier Filter: " + field128("20.1")) +
           kFilterPrompt,
       kReturned, kManual},
      {"end of input at the setup file name", kFullSetup, "", kSetupPrompt + "\r\n", kConsoleClosed, kNone},
      {"end of input at the retry question", kFullSetup, "nosuch.txt\n",
       kSetupPrompt + crlf("Error on file open.  File:nosuch.txt Err:    2") + kRetryPrompt + "\r\n",
       kConsoleClosed, kNone},
      {"end of input at the manual question", kFullSetup, "nosuch.txt\nn\n",
       kSetupPrompt + crlf("Error on file open.  File:nosuch.txt Err:    2") + kRetryPrompt + kManualPrompt +
           "\r\n",
       kConsoleClosed, kNone},
      {"end of input at the raw file name", kFullSetup, kToManual, kToManualTranscript + kRawPrompt + "\r\n",
       kConsoleClosed, kNone},
      {"end of input at the cal file name", kFullSetup, kToManual + "raw.dat\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + "\r\n", kConsoleClosed, kNone},
      {"end of input at the SST file name", kFullSetup, kToManual + "raw.dat\ncal.dat\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + "\r\n", kConsoleClosed, kNone},
      {"end of input at the frequencies", kFullSetup, kToManual + "raw.dat\ncal.dat\nsst.bin\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt + "\r\n", kConsoleClosed,
       kNone},
      {"end of input at the default SST", kFullSetup, kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n",
       kToManualTranscript + kRawPrompt + kCalPrompt + kSstPrompt + kFreqPrompt + kDefaultSstPrompt + "\r\n",
       kConsoleClosed, kNone},
      {"end of input at the filter", kFullSetup, kToManual + "raw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n1\n",
       kToManualTranscript + kSixPrompts + "\r\n", kConsoleClosed, kNone},
      {"end of input after a rejected answer", kFullSetup, kToManual + "missing.dat\n",
       kToManualTranscript + kRawPrompt + crlf("Error while opening file " + field128("missing.dat")) +
           kRawPrompt + "\r\n",
       kConsoleClosed, kNone},
  };
  return cases;
}

TEST_F(SetupFiles, Dialogue) {
  for (const DialogueCase& c : dialogue_cases()) {
    SCOPED_TRACE(c.name);
    write_file("setup.txt", c.setup);
    ScriptedConsole sc(c.answers);
    State s;
    std::string infile(kLineLength, ' ');
    std::string calfile(kLineLength, ' ');
    std::string sstfile(kLineLength, ' ');
    const Ending e = capture_end([&] { get_setupfile(sc.console, s, infile, calfile, sstfile); });
    EXPECT_EQ(sc.transcript(), c.transcript);
    EXPECT_EQ(e.ended, c.ending.ended);
    EXPECT_EQ(e.status, c.ending.status);
    EXPECT_EQ(e.message, c.ending.message);
    if (e.ended) continue;
    EXPECT_EQ(infile, field128(c.result.infile));
    EXPECT_EQ(calfile, field128(c.result.calfile));
    EXPECT_EQ(sstfile, field128(c.result.sstfile));
    EXPECT_EQ(s.cal.freq, c.result.freq);
    EXPECT_EQ(s.cal.default_sst, c.result.default_sst);
    EXPECT_EQ(s.cal.filter, c.result.filter);
  }
}

TEST_F(SetupFiles, CompletionResetsTheClockAndSetsAmbientTemperature) {
  write_file("setup.txt", kFullSetup);
  ScriptedConsole sc("setup.txt\n");
  State s;
  s.time = {42, 3600, 3599, 1};
  s.sfmr.Tb.fill(280.0f);
  s.sfmr.Th.fill(30.0f);
  s.sfmr.serial = 9;
  std::string infile, calfile, sstfile;
  get_setupfile(sc.console, s, infile, calfile, sstfile);
  EXPECT_EQ(s.time.day, 42);  // the reset leaves the day alone
  EXPECT_EQ(s.time.sec, 0);
  EXPECT_EQ(s.time.lastsec, 0);
  EXPECT_EQ(s.time.bphase, 0);
  EXPECT_EQ(s.sfmr.Tb, (std::array<float, kChannels>{}));
  EXPECT_EQ(s.sfmr.Th, (std::array<float, 8>{}));
  EXPECT_EQ(s.sfmr.serial, 9);
  EXPECT_EQ(s.acft.TAmb, 999.0f);
}

// A read error inside the setup file: the system's /proc/self/mem opens as a file and fails its first read
// (nothing is mapped at address 0).
TEST_F(SetupFiles, ReadErrorInTheSetupFileLeadsToTheManualQuestion) {
  const char* kFailingFile = "/proc/self/mem";
  TextFile probe;
  std::string line;
  if (probe.open(kFailingFile) != 0) GTEST_SKIP() << "no " << kFailingFile;
  const int read_status = probe.read(line);
  probe.close();
  if (read_status <= 0) GTEST_SKIP() << kFailingFile << " does not fail its first read here";
  const std::string message = crlf("Error on file read. Err:" + format_I(read_status, 5));

  struct Case {
    const char* name;
    std::string answers;
    std::string transcript;
    Ending ending;
  };
  const Case cases[] = {
      {"y: manual entry", std::string(kFailingFile) + "\ny\nraw.dat\ncal.dat\nsst.bin\n4 5 6 7 8 0\n1\n2\n",
       kSetupPrompt + message + kManualPrompt + kSixPrompts, kReturned},
      {"n: the run ends", std::string(kFailingFile) + "\nn\n", kSetupPrompt + message + kManualPrompt,
       kOperatorStop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedConsole sc(c.answers);
    State s;
    std::string infile, calfile, sstfile;
    const Ending e = capture_end([&] { get_setupfile(sc.console, s, infile, calfile, sstfile); });
    EXPECT_EQ(sc.transcript(), c.transcript);
    EXPECT_EQ(e.ended, c.ending.ended);
    EXPECT_EQ(e.status, c.ending.status);
  }
}

}  // namespace
}  // namespace sfmr
