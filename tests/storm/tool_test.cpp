// sfmrstorm as a user runs it, on the fixture's archive files: the outputs and their headers, the track
// rows against the track file interpolated, and every bad input ending with one line, its status and no
// file written.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/nc_reader.hpp"
#include "core/text.hpp"
#include "storm/outputs.hpp"
#include "support/test_util.hpp"
#include "tracks/track_file.hpp"

namespace fs = std::filesystem;

namespace sfmr::storm {
namespace {

const std::string kDir = SFMR_STORM_FLIGHT_DIR;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

struct ToolRun {
  int status;
  std::string err;
};

ToolRun run(const std::string& args, const std::string& env = "") {
  // One file per test process: ctest runs the tests of this directory side by side.
  const std::string err = kDir + "/stderr." + std::to_string(::getpid()) + ".txt";
  const int raw = std::system(
      ("cd " + kDir + " && " + env + " " + SFMRSTORM_BINARY + " " + args + " 2>" + err + " >/dev/null")
          .c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(err)};
}

std::vector<std::vector<std::string>> csv(const fs::path& p) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(slurp(p));
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::size_t a = 0;
    while (true) {
      const std::size_t c = line.find(',', a);
      f.push_back(line.substr(a, c == std::string::npos ? std::string::npos : c - a));
      if (c == std::string::npos) break;
      a = c + 1;
    }
    rows.push_back(f);
  }
  return rows;
}

bool any_output(const std::string& prefix) {
  for (const auto& e : fs::directory_iterator(kDir))
    if (e.path().filename().string().rfind(prefix + ".", 0) == 0) return true;
  return false;
}

TEST(StormTool, BadInputEndsWithOneLineAndNothingWritten) {
  write(kDir + "/not_track.csv", "time,lat,lon\n1,2,3\n");
  write(kDir + "/bad_line.bdeck",
        "AL, 99, 2026120723,   , BEST,   0,  260N,   850W, 105\n"
        "AL, 99, 2026120800,   , BEST,   0,  26xN,   850W, 105,  950, HU\n");
  write(kDir + "/old.hurdat2",
        "AL012020, OLD, 1,\n20200601, 1200,  , HU, 26.0N,  85.0W, 100, 950, "
        "0,0,0,0,0,0,0,0,0,0,0,0, 20\n");
  write(kDir + "/text.nc", "not a netCDF file\n");
  {
    int id = -1;
    nc_create((kDir + "/other.nc").c_str(), NC_NETCDF4 | NC_CLOBBER, &id);
    nc_put_att_text(id, NC_GLOBAL, "software_name", 5, "other");
    nc_close(id);
  }
  struct Case {
    const char* name;
    const char* args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"no flight", "-o e1", 2, "sfmrstorm: needs at least one FLIGHT.nc"},
      {"option without its value", "pass.nc -o e2 --track", 2, "sfmrstorm: "},
      {"unknown option", "pass.nc -o e3 --tracks x", 2, "sfmrstorm: "},
      {"--storm without --track", "pass.nc -o e4 --storm AL992026", 2, "--storm needs --track"},
      {"not a netCDF file", "text.nc -o e5", 1, "sfmrstorm: text.nc: not a netCDF file"},
      {"another program's netCDF file", "other.nc -o e6", 1,
       "sfmrstorm: other.nc: not an archive file of sfmr2nc"},
      {"missing file", "none.nc -o e7", 1,
       "sfmrstorm: none.nc: not a netCDF file (No such file or directory)\n"},
      {"a text file of neither format", "text.nc -o e13", 1,
       "text.nc: not a netCDF file (NetCDF: Unknown file format); nor an HDOB archive\n"},
      {"track of none of the formats", "pass.nc -o e8 --track not_track.csv", 1,
       "sfmrstorm: not_track.csv: not an ATCF b-deck, f-deck or HURDAT2 file"},
      {"malformed track line", "pass.nc -o e9 --track bad_line.bdeck", 1,
       "sfmrstorm: bad_line.bdeck: line 1: has 9 fields"},
      {"storm not in the file", "pass.nc -o e10 --track pass.bdeck --storm AL012026", 1,
       "storm AL012026 is not in the track file (it holds 1 storm: AL992026)"},
      {"track before the flights", "pass.nc -o e11 --track old.hurdat2", 1, "does not overlap the flights"},
      {"no centre pass and no track", "nopass.nc -o e12", 1, "sfmrstorm: no centre pass found"},
  };
  for (const Case& c : cases) {
    const ToolRun r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
    const std::string args = c.args;
    const std::size_t o = args.find("-o ");
    EXPECT_FALSE(any_output(args.substr(o + 3, args.find(' ', o + 3) - o - 3))) << c.name;
  }
}

// Passes that miss a broad, lopsided eye by half its radius, without a track: the vortex sought in every
// second replaces the passes taken wrongly for eyes, the report says so, and each fix holds the true centre
// (the simulator's centre track, every 10 s from the flight's start) within two stated errors.
TEST(StormTool, VortexSearchPlacesTheCentreOfAnEyelessFlight) {
  ASSERT_EQ(run("eyeless.nc -o eyeless_out --force").status, 0);
  EXPECT_NE(slurp(kDir + "/eyeless_out.storm.txt").find("vortex sought in every straight second"),
            std::string::npos);
  const auto truth = csv(kDir + "/eyeless.centre.csv");  // Sec,Lat,Lon
  const auto fixes = csv(kDir + "/eyeless_out.centres.csv");
  ASSERT_GT(fixes.size(), 2u);
  const double start = std::stod(truth[1][0]);
  for (std::size_t i = 1; i < fixes.size(); ++i) {
    const std::string& t = fixes[i][0];  // 2026-12-07T23:23:36Z
    double sec =
        std::stod(t.substr(11, 2)) * 3600 + std::stod(t.substr(14, 2)) * 60 + std::stod(t.substr(17, 2));
    if (sec < start) sec += 86400.0;
    const auto k = static_cast<std::size_t>((sec - start) / 10.0) + 1;
    ASSERT_LT(k + 1, truth.size());
    const double w = (sec - std::stod(truth[k][0])) / 10.0;
    const double lat = (1 - w) * std::stod(truth[k][1]) + w * std::stod(truth[k + 1][1]);
    const double lon = (1 - w) * std::stod(truth[k][2]) + w * std::stod(truth[k + 1][2]);
    double km = 0.0, bearing = 0.0;
    range_bearing(lat, lon, std::stod(fixes[i][1]), std::stod(fixes[i][2]), km, bearing);
    EXPECT_LT(km, 2.0 * std::stod(fixes[i][4])) << t;
    EXPECT_EQ(fixes[i][5], "surface wind + vortex fit") << t;
  }
}

TEST(StormTool, TrackRowsAreTheTrackInterpolated) {
  // The f-deck: the b-deck's points as aircraft centre fixes in hundredths of a degree.
  const TrackFile bdeck = parse_track_file(slurp(kDir + "/pass.bdeck"));
  std::string fdeck;
  for (const TrackPoint& p : bdeck.storms.front().points) {
    const std::string stamp = iso_time(p.time);
    char line[256];
    std::snprintf(line, sizeof line, "AL, 99, %s%s%s%s%s, 50, AIRC, C, , %ldN, %ldW, , 1,\n",
                  stamp.substr(0, 4).c_str(), stamp.substr(5, 2).c_str(), stamp.substr(8, 2).c_str(),
                  stamp.substr(11, 2).c_str(), stamp.substr(14, 2).c_str(), std::lround(p.lat * 100),
                  std::lround(-p.lon * 100));
    fdeck += line;
  }
  write(kDir + "/pass.fdeck_in", fdeck);
  struct Case {
    const char* track;
    TrackFormat format;
  };
  const Case cases[] = {{"pass.bdeck", TrackFormat::kBdeck},
                        {"pass.hurdat2", TrackFormat::kHurdat2},
                        {"pass.fdeck_in", TrackFormat::kFdeck}};
  for (const Case& c : cases) {
    const std::string prefix = std::string("t_") + (c.track + 5);
    const ToolRun r = run("pass.nc --track " + std::string(c.track) + " -o " + prefix + " --force");
    ASSERT_EQ(r.status, 0) << c.track << ": " << r.err;
    const TrackFile f = parse_track_file(slurp(kDir + "/" + c.track));
    EXPECT_EQ(f.format, c.format) << c.track;
    const auto rows = csv(kDir + "/" + prefix + ".centres.csv");
    ASSERT_GE(rows.size(), 3u) << c.track << ": a flight row and a track row";
    int track_rows = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
      if (rows[i][3] != "track") continue;
      ++track_rows;
      EXPECT_EQ(rows[i][0], rows[i - 1][0]) << c.track << ": the track row follows its fix, at its time";
      // The row's time is rounded to the second; the interpolation at that second, to 4 decimals.
      const std::string& t = rows[i][0];
      float lat = 0.0f, lon = 0.0f;
      ASSERT_TRUE(read_value(rows[i][1], &lat) && read_value(rows[i][2], &lon)) << c.track;
      double flat = 0.0, flon = 0.0;
      std::int32_t h = 0, m = 0, s = 0;
      read_value(t.substr(11, 2), &h);
      read_value(t.substr(14, 2), &m);
      read_value(t.substr(17, 2), &s);
      std::int32_t year = 0, month = 0, day = 0;
      read_value(t.substr(0, 4), &year);
      read_value(t.substr(5, 2), &month);
      read_value(t.substr(8, 2), &day);
      const double epoch = 86400.0 * static_cast<double>(archive::days_from_civil(year, month, day)) +
                           3600.0 * h + 60.0 * m + s;
      track_position(choose_storm(f, ""), epoch, flat, flon);
      EXPECT_NEAR(lat, flat, 0.00006) << c.track << " at " << t;
      EXPECT_NEAR(lon, flon, 0.00006) << c.track << " at " << t;
    }
    EXPECT_GE(track_rows, 1) << c.track;
  }
}

TEST(StormTool, OutputsAndReplacing) {
  ASSERT_EQ(run("pass.nc -o out --force").status, 0);
  struct Case {
    const char* file;
    const char* head;  // first line
    std::size_t rows;  // lines, 0: any
  };
  const Case cases[] = {
      {"out.centres.csv", "time,lat,lon,source,accuracy_km,evidence", 0},
      {"out.legs.csv",
       "flight,leg,direction,start_time,end_time,bearing_deg,peak_wind_speed,peak_time,peak_lat,peak_lon,"
       "peak_radius_km,peak_rain_rate,peak_wind_speed_error,peak_radius_error_km",
       0},
      {"out.radii.csv", "threshold_kt,quadrant,radius_nmi,flag", 13},
      {"out.storm.txt", "Storm structure from 1 flight: pass", 0},
  };
  for (const Case& c : cases) {
    const auto rows = csv(kDir + "/" + c.file);
    ASSERT_FALSE(rows.empty()) << c.file;
    EXPECT_EQ(slurp(kDir + "/" + c.file).substr(0, std::string(c.head).size() + 1),
              std::string(c.head) + "\n")
        << c.file;
    if (c.rows) {
      EXPECT_EQ(rows.size(), c.rows) << c.file;
    }
  }
  // One pass leaves the motion to the prior: the report says so, and what placed each fix.
  const std::string report = slurp(kDir + "/out.storm.txt");
  for (const char* said : {"  one centre pass; the motion is taken as a still storm", "), surface wind"})
    EXPECT_NE(report.find(said), std::string::npos) << said;
  for (const auto& row : csv(kDir + "/out.fdeck"))
    EXPECT_EQ(row.size(), 57u) << "56 fields and the ending comma";
  for (const char* png : {"out.radial.png", "out.storm.png"})
    EXPECT_EQ(slurp(kDir + "/" + png).substr(1, 3), "PNG") << png;
  const ToolRun again = run("pass.nc -o out");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("exists"), std::string::npos) << again.err;
  // A flight without a pass still gets its legs, relative to the track.
  ASSERT_EQ(run("nopass.nc -o nopass_out --track nopass.bdeck --force").status, 0);
  EXPECT_GT(csv(kDir + "/nopass_out.legs.csv").size(), 2u);
  EXPECT_EQ(csv(kDir + "/nopass_out.centres.csv").size(), 1u) << "no pass, no fix";
}

// A copy of pass.nc as another flight: its name, its times shifted by `hours`, its longitudes by `dlon`.
void copy_flight(const std::string& name, const char* flight, double hours, double dlon) {
  fs::copy_file(kDir + "/pass.nc", kDir + "/" + name, fs::copy_options::overwrite_existing);
  int id = -1, v = -1, dim = -1;
  std::size_t n = 0;
  ASSERT_EQ(nc_open((kDir + "/" + name).c_str(), NC_WRITE, &id), NC_NOERR) << name;
  nc_inq_dimid(id, "time", &dim);
  nc_inq_dimlen(id, dim, &n);
  std::vector<double> t(n);
  std::vector<float> lon(n);
  nc_inq_varid(id, "time", &v);
  nc_get_var_double(id, v, t.data());
  for (double& x : t) x += 3600.0 * hours;
  nc_put_var_double(id, v, t.data());
  nc_inq_varid(id, "lon", &v);
  nc_get_var_float(id, v, lon.data());
  for (float& x : lon) x += static_cast<float>(dlon);
  nc_put_var_float(id, v, lon.data());
  nc_inq_varid(id, "trajectory", &v);
  nc_put_var_string(id, v, &flight);
  nc_close(id);
}

TEST(StormTool, InputChecks) {
  copy_flight("pass_copy.nc", "pass", 0.0, 0.0);
  copy_flight("later36.nc", "later36", 36.0, 0.0);
  copy_flight("east20.nc", "east20", 0.0, 20.0);
  ASSERT_EQ(run("pass.nc -o own --force").status, 0);
  std::string many;
  for (int k = 1; k <= 12; ++k) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "AL%02d2026, S%d, 1,\n20261207, 1200,  , HU, 26.0N,  85.0W, 100, 950, "
                  "0,0,0,0,0,0,0,0,0,0,0,0, 20\n",
                  k, k);
    many += line;
  }
  write(kDir + "/many.hurdat2", many);
  struct Case {
    const char* name;
    const char* args;
    int status;
    const char* message;  // a part of the one line, empty when it succeeds
  };
  const Case cases[] = {
      {"the same file twice", "pass.nc pass.nc -o c1", 1, "pass.nc: the same flight (pass) as pass.nc"},
      {"a copy under another name", "pass_copy.nc pass.nc -o c2", 1, "the same flight (pass)"},
      {"flights 36 h apart (35 h from end to start)", "later36.nc pass.nc -o c3", 1, "are 35 h apart"},
      {"flights 2000 km apart at the same time", "pass.nc east20.nc -o c4", 1,
       "flights of different storms: east20.nc"},
      {"a flight far from the track's storm", "east20.nc -o c5 --track pass.bdeck", 1,
       "east20.nc: the flight comes no nearer than"},
      {"a file of twelve storms", "pass.nc -o c6 --track many.hurdat2", 1,
       "holds 12 storms: AL012026 AL022026 AL032026 AL042026 AL052026 AL062026 AL072026 AL082026 AL092026 "
       "... AL122026; choose one with --storm"},
      {"the tool's own f-deck as the track", "pass.nc -o c7 --track own.fdeck --force", 0, ""},
  };
  for (const Case& c : cases) {
    const ToolRun r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status == 0 ? 0 : 1) << c.name << ": " << r.err;
  }
  EXPECT_NE(slurp(kDir + "/c7.storm.txt").find("Track: unnumbered-2026"), std::string::npos);
}

TEST(StormTool, ResultsDoNotDependOnTheOrderOfTheFlights) {
  copy_flight("later2.nc", "later2", 2.0, 0.0);
  ASSERT_EQ(run("pass.nc later2.nc -o ab --force").status, 0);
  ASSERT_EQ(run("later2.nc pass.nc -o ba --force").status, 0);
  for (const char* file : {".centres.csv", ".legs.csv", ".radii.csv", ".storm.txt", ".fdeck"}) {
    const std::string ab = slurp(kDir + "/ab" + file);
    EXPECT_GT(ab.size(), 40u) << file;
    EXPECT_EQ(ab, slurp(kDir + "/ba" + file)) << file;
  }
}

TEST(StormTool, FailedPlotLeavesTheAnalysis) {
  // A gnuplot that fails as gnuplot does: its message on standard error, exit status 1.
  const fs::path bin = kDir + "/failing_gnuplot." + std::to_string(::getpid());
  fs::create_directories(bin);
  sfmr::testing::write_executable(
      bin / "gnuplot",
      "#!/bin/sh\necho 'gnuplot> plot' >&2\necho '   line 0: all points out of range' >&2\nexit 1\n");
  const ToolRun r = run("pass.nc -o failed_plot --force", "PATH=" + bin.string() + ":$PATH");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("failed_plot.radial.png (gnuplot: line 0: all points out of range)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  struct Case {
    const char* file;
    bool written;
  };
  const Case cases[] = {{".centres.csv", true}, {".legs.csv", true},  {".radii.csv", true},
                        {".storm.txt", true},   {".fdeck", true},     {".storm.nc", true},
                        {".radial.png", false}, {".storm.png", false}};
  for (const Case& c : cases) EXPECT_EQ(fs::exists(kDir + "/failed_plot" + c.file), c.written) << c.file;
  fs::remove_all(bin);
}

}  // namespace
}  // namespace sfmr::storm
