#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "campaign/manifest.hpp"
#include "core/state.hpp"
#include "setup/setup_file.hpp"
#include "support/test_util.hpp"

namespace sfmr::campaign {
namespace {

using sfmr::testing::TempDir;
using sfmr::testing::write_file;

const std::string kHeader = "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter\n";
const std::string kGoodRow = "f1,a.dat,a.cal,sst.bin,4.74,5.31,5.57,6.02,6.69,7.09,-20.0,2.0\n";

std::string row_with(std::string_view name, std::string_view freqs, std::string_view sst_default,
                     std::string_view filter) {
  return std::string(name) + ",a.dat,a.cal,sst.bin," + std::string(freqs) + "," + std::string(sst_default) +
         "," + std::string(filter) + "\n";
}

// Every malformed manifest is rejected as a whole, naming the line and the fault.
TEST(CampaignManifest, RejectsMalformedManifests) {
  const std::string freqs = "4.74,5.31,5.57,6.02,6.69,7.09";
  struct Case {
    const char* what;
    std::string text;
    int line;
    std::string message_part;
  };
  const Case cases[] = {
      {.what = "no header", .text = "# only a comment\n\n", .line = 0, .message_part = "no header"},
      {.what = "header only", .text = kHeader, .line = 0, .message_part = "no flights"},
      {.what = "wrong header",
       .text = "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst\n" + kGoodRow,
       .line = 1,
       .message_part = "header must be"},
      {.what = "too few fields",
       .text = kHeader + "f1,a.dat,a.cal,sst.bin,4.74,5.31,5.57,6.02,6.69,7.09,-20.0\n",
       .line = 2,
       .message_part = "11 fields, want 12"},
      {.what = "too many fields",
       .text = kHeader + row_with("f1", freqs, "-20.0", "2.0,9"),
       .line = 2,
       .message_part = "13 fields"},
      {.what = "frequency out of range",
       .text = kHeader + row_with("f1", "4.74,5.31,3.9,6.02,6.69,7.09", "-20", "2"),
       .line = 2,
       .message_part = "f3 3.9 is outside"},
      {.what = "frequency above 8",
       .text = kHeader + row_with("f1", "4.74,5.31,5.57,6.02,6.69,8.01", "-20", "2"),
       .line = 2,
       .message_part = "f6 8.01"},
      {.what = "frequency not a number",
       .text = kHeader + row_with("f1", "4.74,five,5.57,6.02,6.69,7.09", "-20", "2"),
       .line = 2,
       .message_part = "f2 'five' is not a number"},
      {.what = "two numbers in a field",
       .text = kHeader + row_with("f1", "4.74 5.0,5.31,5.57,6.02,6.69,7.09", "-20", "2"),
       .line = 2,
       .message_part = "f1 '4.74 5.0' is not a number"},
      {.what = "empty frequency",
       .text = kHeader + row_with("f1", "4.74,,5.57,6.02,6.69,7.09", "-20", "2"),
       .line = 2,
       .message_part = "f2 ''"},
      {.what = "default SST at -40",
       .text = kHeader + row_with("f1", freqs, "-40.0", "2"),
       .line = 2,
       .message_part = "default_sst -40.0 is outside"},
      {.what = "default SST at 40",
       .text = kHeader + row_with("f1", freqs, "40", "2"),
       .line = 2,
       .message_part = "default_sst 40 is outside"},
      {.what = "filter above 20",
       .text = kHeader + row_with("f1", freqs, "-20", "20.1"),
       .line = 2,
       .message_part = "filter 20.1 is outside"},
      {.what = "name with a slash",
       .text = kHeader + row_with("a/b", freqs, "-20", "2"),
       .line = 2,
       .message_part = "holds '/'"},
      {.what = "name with a blank",
       .text = kHeader + row_with("a b", freqs, "-20", "2"),
       .line = 2,
       .message_part = "holds ' '"},
      {.what = "name starting with a dot",
       .text = kHeader + row_with("..", freqs, "-20", "2"),
       .line = 2,
       .message_part = "starts with '.'"},
      {.what = "empty name",
       .text = kHeader + row_with("", freqs, "-20", "2"),
       .line = 2,
       .message_part = "empty flight name"},
      {.what = "long name",
       .text = kHeader + row_with(std::string(65, 'x'), freqs, "-20", "2"),
       .line = 2,
       .message_part = "longer than 64"},
      {.what = "empty raw path",
       .text = kHeader + "f1,,a.cal,sst.bin," + freqs + ",-20,2\n",
       .line = 2,
       .message_part = "empty raw path"},
      {.what = "empty sst",
       .text = kHeader + "f1,a.dat,a.cal,," + freqs + ",-20,2\n",
       .line = 2,
       .message_part = "empty sst path"},
      {.what = "duplicate name after comments",
       .text = "# c\n" + kHeader + kGoodRow + "\n# x\n" + kGoodRow,
       .line = 6,
       .message_part = "flight name 'f1' already used on line 3"},
      {.what = "bad row after good rows",
       .text = kHeader + kGoodRow + row_with("g", freqs, "-20", "2") + "h,x\n",
       .line = 4,
       .message_part = "2 fields"},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_manifest(c.text, "/base");
    const auto* e = std::get_if<ManifestError>(&parsed);
    ASSERT_NE(e, nullptr) << c.what << ": accepted";
    EXPECT_EQ(e->line, c.line) << c.what << ": " << e->what;
    EXPECT_NE(e->what.find(c.message_part), std::string::npos)
        << c.what << ": want '" << c.message_part << "' in '" << e->what << "'";
  }
}

// Accepted rows: paths taken from the manifest's directory unless absolute, "aircraft" for no grid, blanks
// around fields and CR line ends dropped, the limits of each range included.
TEST(CampaignManifest, ReadsGoodRows) {
  struct Case {
    const char* what;
    std::string row;
    std::string name, raw, cal, sst;  // sst empty for aircraft
    std::string f1, f6, default_sst, filter;
  };
  const Case cases[] = {
      {.what = "relative paths",
       .row = kGoodRow,
       .name = "f1",
       .raw = "/base/a.dat",
       .cal = "/base/a.cal",
       .sst = "/base/sst.bin",
       .f1 = "4.74",
       .f6 = "7.09",
       .default_sst = "-20.0",
       .filter = "2.0"},
      {.what = "absolute and parent paths",
       .row = "x_1.b-2,/data/r.dat,../cal/c.txt,aircraft,0.0,4,8,5,6,7.0,39.9,-20\n",
       .name = "x_1.b-2",
       .raw = "/data/r.dat",
       .cal = "/cal/c.txt",
       .sst = "",
       .f1 = "0.0",
       .f6 = "7.0",
       .default_sst = "39.9",
       .filter = "-20"},
      {.what = "blanks and CR",
       .row = " g , sub/r.dat ,c.cal , s.bin ,4.0, 5,6,7,8.0 , 0 , -39.9 , 20.0 \r\n",
       .name = "g",
       .raw = "/base/sub/r.dat",
       .cal = "/base/c.cal",
       .sst = "/base/s.bin",
       .f1 = "4.0",
       .f6 = "0",
       .default_sst = "-39.9",
       .filter = "20.0"},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_manifest("# campaign\n\n" + kHeader + c.row, "/base");
    const auto* flights = std::get_if<std::vector<Flight>>(&parsed);
    ASSERT_NE(flights, nullptr) << c.what << ": " << std::get<ManifestError>(parsed).what;
    ASSERT_EQ(flights->size(), 1u) << c.what;
    const Flight& f = flights->front();
    EXPECT_EQ(f.line, 4) << c.what;
    EXPECT_EQ(f.name, c.name) << c.what;
    EXPECT_EQ(f.raw.string(), c.raw) << c.what;
    EXPECT_EQ(f.cal.string(), c.cal) << c.what;
    EXPECT_EQ(f.sst.string(), c.sst) << c.what;
    EXPECT_EQ(f.freq[0], c.f1) << c.what;
    EXPECT_EQ(f.freq[5], c.f6) << c.what;
    EXPECT_EQ(f.default_sst, c.default_sst) << c.what;
    EXPECT_EQ(f.filter, c.filter) << c.what;
  }
}

// The setup file written for a flight supplies all six parameters, as sfmrbatch reads them, so the run never
// stops at a console prompt.
TEST(CampaignManifest, SetupFileSuppliesEveryParameter) {
  struct Case {
    const char* what;
    std::string row;
    float freq0, freq5, default_sst, filter;
  };
  const Case cases[] = {
      {.what = "grid",
       .row = kGoodRow,
       .freq0 = 4.74f,
       .freq5 = 7.09f,
       .default_sst = -20.0f,
       .filter = 2.0f},
      {.what = "aircraft, channel off",
       .row = "f2,a.dat,a.cal,aircraft,0.0,5.31,5.57,6.02,6.69,8,15.5,-3\n",
       .freq0 = 0.0f,
       .freq5 = 8.0f,
       .default_sst = 15.5f,
       .filter = -3.0f},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const char* name : {"f.dat", "f.cal", "f.sst"}) write_file(dir.path() / name, "x");
    const auto parsed = parse_manifest(kHeader + c.row, "/base");
    ASSERT_TRUE(std::holds_alternative<std::vector<Flight>>(parsed)) << c.what;
    const std::string text =
        setup_text(std::get<std::vector<Flight>>(parsed).front(), "f.dat", "f.cal", "f.sst");
    std::istringstream in(text);
    LineReader reader(in);
    State s;
    SetupParameters p;
    EXPECT_EQ(read_setup_sections([&](std::string& line) { return reader.read(line); }, s, p), 0) << c.what;
    EXPECT_EQ(p.rcvd, 0u) << c.what << ": parameters still missing in\n" << text;
    EXPECT_EQ(std::string(trimmed(p.infile)), "f.dat") << c.what;
    EXPECT_EQ(std::string(trimmed(p.sstfile)), "f.sst") << c.what;
    EXPECT_EQ(s.cal.freq[0], c.freq0) << c.what;
    EXPECT_EQ(s.cal.freq[5], c.freq5) << c.what;
    EXPECT_EQ(s.cal.default_sst, c.default_sst) << c.what;
    EXPECT_EQ(s.cal.filter, c.filter) << c.what;
  }
}

}  // namespace
}  // namespace sfmr::campaign
