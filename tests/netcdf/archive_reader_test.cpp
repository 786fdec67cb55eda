// The reader of the converter's archive file on files written here through the netCDF layer: a sound file
// read whole (a series stored as double converted to float), and files of the right name but the wrong
// shape refused naming the variable or the units.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/nc_file.hpp"
#include "archive/nc_reader.hpp"

namespace sfmr::archive {
namespace {

struct Shape {
  int lat_dims = 1;  // 2: lat over (time, pair)
  nc_type lat_type = NC_FLOAT;
  const char* units = "seconds since 2026-12-07 00:00:00";
  nc_type trajectory = NC_STRING;  // NC_INT: a number where the flight's name belongs
  std::size_t wind_length = 3;     // the length of wind_speed's own dimension
};

// Three seconds of a flight named F1 in the converter's layout, with the variables shaped as `s` says.
void write_archive(const std::string& path, const Shape& s) {
  nc::File f = nc::File::create(path);
  f.text(NC_GLOBAL, "software_name", "sfmr2nc");
  f.text(NC_GLOBAL, "featureType", "trajectory");
  const int time_dim = f.dim("time", 3), pair = f.dim("pair", 2), other = f.dim("other", s.wind_length);
  const int trajectory = f.var("trajectory", s.trajectory, {});
  const int time = f.var("time", NC_DOUBLE, {time_dim});
  f.text(time, "units", s.units);
  const int lat =
      s.lat_dims == 2 ? f.var("lat", s.lat_type, {time_dim, pair}) : f.var("lat", s.lat_type, {time_dim});
  std::vector<int> series;
  for (const char* name : {"lon", "rain_rate", "roll"}) series.push_back(f.var(name, NC_FLOAT, {time_dim}));
  const int wind = f.var("wind_speed", NC_FLOAT, {s.wind_length == 3 ? time_dim : other});
  f.end_define();
  const char* name = "F1";
  const int number = 1;
  if (s.trajectory == NC_STRING)
    f.put(trajectory, &name, "trajectory");
  else
    f.put(trajectory, &number, "trajectory");
  const std::vector<double> t = {83400.0, 83401.0, 83402.0}, lats(6, 27.5);
  const std::vector<float> values(s.wind_length, 20.0f), lat_f(6, 27.5f);
  f.put(time, t.data(), "time");
  if (s.lat_type == NC_DOUBLE)
    f.put(lat, lats.data(), "lat");
  else
    f.put(lat, lat_f.data(), "lat");
  for (const int v : series) f.put(v, values.data(), "series");
  f.put(wind, values.data(), "wind_speed");
  f.close();
}

TEST(ArchiveReader, ReadsTheConvertersLayoutAndNamesWhatIsWrong) {
  struct Case {
    const char* name;
    Shape shape;
    const char* fault;  // empty: read
  };
  const Case cases[] = {
      {"sound", {}, ""},
      {"lat stored as double", {.lat_type = NC_DOUBLE}, ""},
      {"lat of two dimensions", {.lat_dims = 2}, "variable lat has 2 dimensions, one expected"},
      {"wind of another length", {.wind_length = 4}, "variable wind_speed is not a series along time"},
      {"time units on 31 February",
       {.units = "seconds since 2026-02-31 00:00:00"},
       "time units 'seconds since 2026-02-31 00:00:00' are not the converter's"},
      {"trajectory a number", {.trajectory = NC_INT}, "variable trajectory is not one string"},
  };
  const std::string path = (std::filesystem::temp_directory_path() / "sfmr_archive_reader.nc").string();
  for (const Case& c : cases) {
    write_archive(path, c.shape);
    ArchiveFlight a;
    EXPECT_EQ(read_archive_flight(path, a), c.fault) << c.name;
    if (*c.fault != '\0') continue;
    EXPECT_EQ(a.flight, "F1") << c.name;
    ASSERT_EQ(a.lat.size(), 3u) << c.name;
    EXPECT_EQ(a.lat[2], 27.5f) << c.name;
    // 2026-12-07 00:00 UTC is day 20794 since 1970.
    EXPECT_EQ(a.time[1], 20794.0 * 86400.0 + 83401.0) << c.name;
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace sfmr::archive
