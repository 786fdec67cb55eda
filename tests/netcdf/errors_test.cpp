// The converter run as a user runs it, on good and bad input: exit status, one line on standard error, and
// no file left behind by a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "netcdf/nc_support.hpp"
#include "output/writer.hpp"

namespace sfmr::testing {
namespace {

std::string out_line(std::int32_t sec) {
  State s;
  s.time.sec = sec;
  s.acft.Lat = 27.5f;
  s.acft.Lon = -81.25f;
  s.sfmr.Err = 0x3f00;
  return Writer::data_line(s, 20.0f) + "\r\n";
}

std::string out_file(std::string_view header, std::initializer_list<std::int32_t> secs) {
  std::string text = std::string(header) + "\r\n";
  for (std::int32_t s : secs) text += out_line(s);
  return text;
}

TEST(Sfmr2ncErrors, StatusMessageAndNothingLeftBehind) {
  TempDir dir;
  write_file("good.OUT", out_file(Writer::kHeader, {83400, 83401, 83402}));
  write_file("empty.OUT", out_file(Writer::kHeader, {}));
  write_file("header.OUT", out_file("Time,Lat,Lon", {83400}));
  write_file("wide.OUT", out_file(Writer::kHeader, {83400}) + std::string(1, ' ').append(out_line(83401)));
  write_file("back.OUT", out_file(Writer::kHeader, {83405, 83404}));
  // Raw files with an aircraft record at each second of their output files, at the printed position.
  const auto raw = [](const char* name, std::initializer_list<const char*> times) {
    std::string text = "%P 2 17 SFMR\n";
    for (const char* t : times)
      text += std::string("%A,07/12/2026,") + t +
              ",27.50,-81.25,3000.0,2.00,0.00,283.15,305.00,3015.0,221.5,129.0,701.0,16.7\n";
    write_file(name, text);
  };
  raw("good.dat", {"23:10:00", "23:10:01", "23:10:02"});
  raw("back.dat", {"23:10:05", "23:10:04"});
  write_file("nodate.dat", text_lines({"%P 2 17 SFMR", "%A,7/12/2026,23:10:00,27.50,-81.25"}));
  // HDOB archives: a sound one, one without a sound message, and one of two storms.
  const auto hdob = [](const char* mission_line, const char* line) {
    return text_lines({"URNT15 KNHC 101201", mission_line, line, "$$"});
  };
  const char* lee = "AF305 1207A LEE                HDOB 01 20260910";
  const char* obs = "120000 2752N 07714W 6967 03149 0059 +086 +033 116050 051 039 004 00";
  write_file("lee.hdob", hdob(lee, obs));
  write_file("broken.hdob", hdob(lee, "120000 2752N 07714W 6967"));
  write_file("two.hdob", hdob(lee, obs) + hdob("NOAA3 0309A MARIA              HDOB 01 20260910", obs));
  write_file("existing.nc", "old");
  write_file("forced.nc", "old");

  struct Case {
    const char* name;
    const char* args;
    int status;
    const char* message;  // part of the one error line (of what a run that succeeds reports); "" for none
    const char* output;   // the file the run writes, or must not write
  };
  const Case cases[] = {
      {"converts", "good.OUT good.dat -o a.nc", 0, "", "a.nc"},
      {"default name beside the output file", "good.OUT good.dat", 0, "", "good.nc"},
      {"output file missing", "none.OUT good.dat -o b.nc", 1, "none.OUT: cannot open", "b.nc"},
      {"raw file missing", "good.OUT none.dat -o c.nc", 1, "none.dat: cannot open", "c.nc"},
      {"setup file missing", "good.OUT good.dat --setup none.setup -o d.nc", 1, "none.setup: cannot open",
       "d.nc"},
      {"wrong header", "header.OUT good.dat -o e.nc", 1, "header.OUT line 1: not the header line", "e.nc"},
      {"wrong width", "wide.OUT good.dat -o f.nc", 1, "wide.OUT line 3: line of 207 characters", "f.nc"},
      {"no date in the raw file", "good.OUT nodate.dat -o g.nc", 1,
       "nodate.dat: no \"%A\" record with a decodable date; give the flight date with --date YYYY-MM-DD",
       "g.nc"},
      {"date given", "good.OUT nodate.dat --date 2026-12-07 -o h.nc", 0, "", "h.nc"},
      {"date that does not exist", "good.OUT good.dat --date 2026-02-29 -o h2.nc", 1,
       "--date 2026-02-29: not a date", "h2.nc"},
      {"time backwards: converted, the time unverified", "back.OUT back.dat -o i.nc", 0, "", "i.nc"},
      {"no data lines", "empty.OUT good.dat -o k.nc", 1, "empty.OUT: no data lines", "k.nc"},
      {"directory missing", "good.OUT good.dat -o nodir/j.nc", 1, "nodir/j.nc: cannot write", "nodir/j.nc"},
      {"existing file kept", "good.OUT good.dat -o existing.nc", 1,
       "existing.nc: exists (--force replaces it)", ""},
      {"existing file replaced", "good.OUT good.dat -o forced.nc --force", 0, "", "forced.nc"},
      {"no arguments", "", 2, "needs OUTFILE and RAWFILE", ""},
      {"unknown option", "--bogus good.OUT good.dat", 2, "unknown option --bogus", ""},
      {"option without value", "good.OUT good.dat -o", 2, "-o needs a value", ""},
      {"HDOB archive converts", "--hdob lee.hdob -o l.nc", 0, "", "l.nc"},
      {"HDOB default name beside the first file", "--hdob lee.hdob", 0, "", "lee.nc"},
      {"HDOB archive without a sound message", "--hdob broken.hdob -o m.nc", 1,
       "broken.hdob: URNT15 KNHC 101201 (HDOB 01), line 3: observation line has 4 fields", "m.nc"},
      {"HDOB file missing", "--hdob lee.hdob none.hdob -o n.nc", 1, "none.hdob: cannot open", "n.nc"},
      {"HDOB missions of two storms", "--hdob two.hdob -o o.nc", 1,
       "missions of several storms (07A LEE, 09A MARIA)", "o.nc"},
      {"HDOB storm chosen", "--hdob two.hdob --storm maria -o p.nc", 0, "1 messages of other storms skipped",
       "p.nc"},
      {"HDOB storm chosen across files", "--hdob lee.hdob two.hdob --storm 07A -o q.nc", 0,
       "1 repeated observations read once, 1 messages of other storms skipped", "q.nc"},
      {"storm without --hdob", "good.OUT good.dat --storm LEE", 2, "--storm goes with --hdob", ""},
      {"HDOB without files", "--hdob -o r.nc", 2, "--hdob needs at least one FILE", ""},
  };
  for (const Case& c : cases) {
    const CommandResult r = run_command(std::string(SFMR2NC_BINARY) + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.error;
    if (*c.message == '\0') {
      EXPECT_EQ(r.error, "") << c.name;
    } else {
      EXPECT_EQ(r.error.rfind("sfmr2nc: ", 0), 0u) << c.name << ": " << r.error;
      EXPECT_NE(r.error.find(c.message), std::string::npos) << c.name << ": " << r.error;
      if (c.status != 0) {
        EXPECT_EQ(std::count(r.error.begin(), r.error.end(), '\n'), 1) << c.name << ": " << r.error;
      }
    }
    if (*c.output != '\0') {
      const std::string content = std::filesystem::exists(c.output) ? read_file(c.output) : "";
      if (c.status == 0) {
        EXPECT_EQ(content.substr(0, 4), "\x89HDF") << c.name << ": not a netCDF-4 file";
      } else {
        EXPECT_FALSE(std::filesystem::exists(c.output)) << c.name;
      }
    }
  }
  EXPECT_EQ(read_file("existing.nc"), "old");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace sfmr::testing
