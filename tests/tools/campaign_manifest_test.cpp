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
      {"no header", "# only a comment\n\n", 0, "no header"},
      {"header only", kHeader, 0, "no flights"},
      {"wrong header", "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst\n" + kGoodRow, 1, "header must be"},
      {"too few fields", kHeader + "f1,a.dat,a.cal,sst.bin,4.74,5.31,5.57,6.02,6.69,7.09,-20.0\n", 2,
       "11 fields, want 12"},
      {"too many fields", kHeader + row_with("f1", freqs, "-20.0", "2.0,9"), 2, "13 fields"},
      {"frequency out of range", kHeader + row_with("f1", "4.74,5.31,3.9,6.02,6.69,7.09", "-20", "2"), 2,
       "f3 3.9 is outside"},
      {"frequency above 8", kHeader + row_with("f1", "4.74,5.31,5.57,6.02,6.69,8.01", "-20", "2"), 2,
       "f6 8.01"},
      {"frequency not a number", kHeader + row_with("f1", "4.74,five,5.57,6.02,6.69,7.09", "-20", "2"), 2,
       "f2 'five' is not a number"},
      {"two numbers in a field", kHeader + row_with("f1", "4.74 5.0,5.31,5.57,6.02,6.69,7.09", "-20", "2"), 2,
       "f1 '4.74 5.0' is not a number"},
      {"empty frequency", kHeader + row_with("f1", "4.74,,5.57,6.02,6.69,7.09", "-20", "2"), 2, "f2 ''"},
      {"default SST at -40", kHeader + row_with("f1", freqs, "-40.0", "2"), 2,
       "default_sst -40.0 is outside"},
      {"default SST at 40", kHeader + row_with("f1", freqs, "40", "2"), 2, "default_sst 40 is outside"},
      {"filter above 20", kHeader + row_with("f1", freqs, "-20", "20.1"), 2, "filter 20.1 is outside"},
      {"name with a slash", kHeader + row_with("a/b", freqs, "-20", "2"), 2, "holds '/'"},
      {"name with a blank", kHeader + row_with("a b", freqs, "-20", "2"), 2, "holds ' '"},
      {"name starting with a dot", kHeader + row_with("..", freqs, "-20", "2"), 2, "starts with '.'"},
      {"empty name", kHeader + row_with("", freqs, "-20", "2"), 2, "empty flight name"},
      {"long name", kHeader + row_with(std::string(65, 'x'), freqs, "-20", "2"), 2, "longer than 64"},
      {"empty raw path", kHeader + "f1,,a.cal,sst.bin," + freqs + ",-20,2\n", 2, "empty raw path"},
      {"empty sst", kHeader + "f1,a.dat,a.cal,," + freqs + ",-20,2\n", 2, "empty sst path"},
      {"duplicate name after comments", "# c\n" + kHeader + kGoodRow + "\n# x\n" + kGoodRow, 6,
       "flight name 'f1' already used on line 3"},
      {"bad row after good rows", kHeader + kGoodRow + row_with("g", freqs, "-20", "2") + "h,x\n", 4,
       "2 fields"},
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
      {"relative paths", kGoodRow, "f1", "/base/a.dat", "/base/a.cal", "/base/sst.bin", "4.74", "7.09",
       "-20.0", "2.0"},
      {"absolute and parent paths", "x_1.b-2,/data/r.dat,../cal/c.txt,aircraft,0.0,4,8,5,6,7.0,39.9,-20\n",
       "x_1.b-2", "/data/r.dat", "/cal/c.txt", "", "0.0", "7.0", "39.9", "-20"},
      {"blanks and CR", " g , sub/r.dat ,c.cal , s.bin ,4.0, 5,6,7,8.0 , 0 , -39.9 , 20.0 \r\n", "g",
       "/base/sub/r.dat", "/base/c.cal", "/base/s.bin", "4.0", "0", "-39.9", "20.0"},
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
      {"grid", kGoodRow, 4.74f, 7.09f, -20.0f, 2.0f},
      {"aircraft, channel off", "f2,a.dat,a.cal,aircraft,0.0,5.31,5.57,6.02,6.69,8,15.5,-3\n", 0.0f, 8.0f,
       15.5f, -3.0f},
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
