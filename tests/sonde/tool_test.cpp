// sfmrsonde as a user runs it on the inputs users get wrong: exit status and the one line on standard error.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(SondeTool, ExitStatusAndMessage) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sfmrsonde_tool_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "garbage.txt") << "not a sonde\n";
  std::ofstream(dir / "nomonth.txt") << "UZNT13 KNHC 200250\nXXAA 70035 99153 70659 99007 29456 28521 =\n";
  std::ofstream(dir / "bad.tbl") << "0 1.0\n100 two\n";
  std::ofstream(dir / "hdob.txt")
      << "URNT15 KNHC 020423\nAF304 3005A DORIAN             HDOB 51 20190902\n"
         "041400 2752N 07714W 6967 03149 0059 +086 +033 116050 051 039 004 00\n$$\n";
  const std::string d = dir.string() + "/";
  struct Case {
    const char* name;
    std::string args;
    int status;
    const char* message;  // part of standard error
  } cases[] = {
      {"help", "--help", 0, ""},
      {"no file", "", 2, "sfmrsonde: no sonde file; usage: sfmrsonde"},
      {"bad month", d + "nomonth.txt --month 2017-13", 2, "--month '2017-13' is not YYYY-MM"},
      {"unknown option", d + "nomonth.txt --moth 2017-09", 2, "sfmrsonde:"},
      {"missing file", d + "none.txt", 1, "none.txt: cannot open"},
      {"not a sonde file", d + "garbage.txt", 1, "garbage.txt: neither an EOL sounding file nor TEMP DROP"},
      {"no month", d + "nomonth.txt", 1, "nomonth.txt: TEMP DROP gives the day but not the month"},
      {"bad reduction table", d + "nomonth.txt --month 2017-09 --reduction " + d + "bad.tbl", 1,
       "bad.tbl: line 2"},
      {"reads", d + "nomonth.txt --month 2017-09 -o " + d + "out", 0, ""},
      {"exists", d + "nomonth.txt --month 2017-09 -o " + d + "out", 1, "out.sondes.csv: exists"},
      {"storm and track", d + "nomonth.txt --flight f.nc --storm s --track t", 2,
       "--storm and --track together"},
      {"track without flight", d + "nomonth.txt --track t", 2, "a storm track needs --flight"},
      {"flight without its file", d + "nomonth.txt --flight", 2, "--flight needs a value"},
      {"zero distance limit", d + "nomonth.txt --flight f.nc --max-distance 0", 2, "--max-distance"},
      {"flight neither netCDF nor HDOB", d + "nomonth.txt --flight " + d + "garbage.txt -o " + d + "x", 1,
       "garbage.txt: holds no HDOB message"},
      {"HDOB flight read, the sonde without a splash",
       d + "nomonth.txt --flight " + d + "hdob.txt -o " + d + "x", 1,
       "no sonde with a splash time to compare with the flights"},
  };
  for (const Case& c : cases) {
    const std::string command = std::string(SFMRSONDE_BINARY) + " " + c.args + " >/dev/null 2>" + d + "err";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), c.status) << c.name;
    std::stringstream err;
    err << std::ifstream(d + "err").rdbuf();
    EXPECT_NE(err.str().find(c.message), std::string::npos) << c.name << ": " << err.str();
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
