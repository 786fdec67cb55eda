// EOL netCDF QC files: a sonde written with the netCDF layer and read back gives the text form's record
// (same splash, same 10-m wind), whatever the short names; files without winds or with other time units
// are refused with what is wrong.
#include <gtest/gtest.h>

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include "archive/eol_nc.hpp"
#include "sonde/eol.hpp"
#include "sonde/surface_wind.hpp"

namespace {

using namespace sfmr::sonde;

// Released at 2019-09-02 04:20:10.5 UTC from 4000 m, falling at 12 m/s to `lowest` m, sampled every 5 s,
// the wind turning and slowing towards the sea.
Sonde hand_made(double lowest) {
  Sonde s;
  s.id = "AF304-3005A-OB07";
  s.aircraft = "AF304", s.mission = "3005A";
  s.release = {.time = 1567398010.5, .lat = 27.5, .lon = -77.25};
  s.release_altitude = 4000.0;
  for (double t = 0.0; s.levels.empty() || s.levels.back().height > lowest; t += 5.0) {
    Level l;
    l.time = t;
    l.height = std::max(4000.0 - 12.0 * t, lowest);
    l.pressure = 1010.0 * std::exp(-l.height / 8000.0);
    l.temperature = 28.0 - 0.0065 * l.height;
    l.dewpoint_depression = 2.5;
    l.wind = {.from_deg = 100.0 + l.height / 100.0, .speed = 30.0 + l.height / 400.0};
    s.levels.push_back(l);
  }
  s.splash = {.time = s.release.time + s.levels.back().time, .lat = 27.46, .lon = -77.31};
  return s;
}

// Applies `edit` to the open file `path` in define mode.
void edit_file(const std::string& path, const std::function<void(int)>& edit) {
  int id = -1;
  ASSERT_EQ(nc_open(path.c_str(), NC_WRITE, &id), NC_NOERR);
  nc_redef(id);
  edit(id);
  ASSERT_EQ(nc_close(id), NC_NOERR);
}

int var(int id, const char* name) {
  int v = -1;
  nc_inq_varid(id, name, &v);
  return v;
}

TEST(EolNetcdf, ReadBackAsTheTextForm) {
  const std::string path = (std::filesystem::temp_directory_path() / "sfmr_eol_nc_test.nc").string();
  const auto rename_all = [](int id) {
    for (const char* name : {"u_wind", "v_wind", "wspd", "wdir", "pres", "tdry", "dp", "lat", "lon"})
      nc_rename_var(id, var(id, name), (std::string("x") + name).c_str());
  };
  struct Case {
    const char* name;
    double lowest;  // m, the lowest sample
    std::function<void(int)> edit;
    Method method;
  } cases[] = {
      {"lowest wind at 4 m", 4.0, nullptr, Method::kLowest},
      {"profile ending at 40 m: WL150", 40.0, nullptr, Method::kWl150},
      {"other short names", 4.0, rename_all, Method::kLowest},
  };
  for (const Case& c : cases) {
    const Sonde a = hand_made(c.lowest);
    sfmr::archive::write_eol_nc(path, a);
    if (c.edit) edit_file(path, c.edit);
    const Sonde b = sfmr::archive::read_eol_nc(path);
    const Sonde text = read_eol(write_eol(a), "D20190902_042010_P.QC.eol");
    EXPECT_EQ(b.id, a.id) << c.name;
    EXPECT_EQ(b.aircraft + b.mission, a.aircraft + a.mission) << c.name;
    EXPECT_NEAR(b.release.time, a.release.time, 1e-6) << c.name;
    EXPECT_NEAR(b.splash.time, a.splash.time, 1e-6) << c.name;
    EXPECT_EQ(b.splash.lat, a.splash.lat) << c.name;
    EXPECT_EQ(b.splash.lon, a.splash.lon) << c.name;
    EXPECT_EQ(b.release.lat, a.release.lat) << c.name;
    EXPECT_EQ(b.release.lon, a.release.lon) << c.name;
    ASSERT_EQ(b.levels.size(), text.levels.size()) << c.name;
    const SurfaceEstimate eb = estimate_surface_wind(b, default_reduction()),
                          et = estimate_surface_wind(text, default_reduction());
    EXPECT_EQ(eb.method, c.method) << c.name << ": " << eb.method_text;
    EXPECT_NEAR(eb.wind.speed, et.wind.speed, 0.01) << c.name;
    EXPECT_NEAR(eb.wind.from_deg, et.wind.from_deg, 0.01) << c.name;
  }
  std::filesystem::remove(path);
}

TEST(EolNetcdf, Refused) {
  const std::string path = (std::filesystem::temp_directory_path() / "sfmr_eol_nc_bad.nc").string();
  struct Case {
    const char* name;
    std::function<void(int)> edit;
    const char* fault;
  } cases[] = {
      {"no winds",
       [](int id) {
         for (const char* name : {"u_wind", "wspd"}) nc_del_att(id, var(id, name), "standard_name");
       },
       "no winds"},
      {"time in hours", [](int id) { nc_put_att_text(id, var(id, "time"), "units", 11, "hours since"); },
       "time units 'hours since'"},
      {"no positions", [](int id) { nc_put_att_text(id, var(id, "lat"), "units", 1, "m"); }, "no latitude"},
      {"time units on 31 February",
       [](int id) {
         const std::string units = "seconds since 2019-02-31 04:20:10 UTC";
         nc_put_att_text(id, var(id, "time"), "units", units.size(), units.c_str());
       },
       "time units 'seconds since 2019-02-31 04:20:10 UTC'"},
      {"a wind of two dimensions",
       [](int id) {
         int dims[2] = {-1, -1}, v = -1;
         nc_inq_dimid(id, "time", &dims[0]);
         nc_def_dim(id, "pair", 2, &dims[1]);
         nc_def_var(id, "u2", NC_DOUBLE, 2, dims, &v);
         nc_put_att_text(id, v, "standard_name", 13, "eastward_wind");
         nc_put_att_text(id, v, "units", 5, "m s-1");
         nc_del_att(id, var(id, "u_wind"), "standard_name");
       },
       "variable u2 has 2 dimensions, one expected"},
  };
  for (const Case& c : cases) {
    sfmr::archive::write_eol_nc(path, hand_made(5.0));
    edit_file(path, c.edit);
    try {
      sfmr::archive::read_eol_nc(path);
      ADD_FAILURE() << c.name << ": read";
    } catch (const SondeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << c.name << ": " << e.what();
    }
  }
  std::filesystem::remove(path);
}

}  // namespace
