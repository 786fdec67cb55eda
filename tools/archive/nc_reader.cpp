#include "archive/nc_reader.hpp"

#include <cmath>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "archive/nc_file.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::archive {

namespace {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The archive file, opened read only; a file the library cannot open is not a netCDF file.
nc::File open_archive(const std::string& path) {
  try {
    return nc::File::open(path);
  } catch (const nc::Error& e) {
    throw Failure(std::string("not a netCDF file (") + nc_strerror(e.status) + ")");
  }
}

int var(const nc::File& f, const char* name) {
  const std::optional<int> v = f.find_var(name);
  if (!v) throw Failure(std::string("no variable ") + name);
  return *v;
}

// A variable along time of length n: one dimension of that length, read as T.
template <typename T>
std::vector<T> series(const nc::File& f, const char* name, std::size_t n) {
  const int v = var(f, name);
  if (f.series_length(v, name) != n)
    throw Failure(std::string("variable ") + name + " is not a series along time");
  std::vector<T> out(n);
  f.get(v, std::span<T>(out), name);
  return out;
}

// "seconds since YYYY-MM-DD 00:00:00" -> seconds since 1970 of its midnight; throws otherwise.
double epoch_of_units(const std::string& units) {
  const std::string head = "seconds since ";
  const std::string tail = " 00:00:00";
  if (units.size() != head.size() + 10 + tail.size() || units.compare(0, head.size(), head) != 0 ||
      units.compare(head.size() + 10, tail.size(), tail) != 0)
    throw Failure("time units '" + units + "' are not the converter's");
  const std::string date = units.substr(head.size(), 10);
  std::int32_t y = 0, m = 0, d = 0;
  const bool digits =
      date[4] == '-' && date[7] == '-' && date.find_first_not_of("0123456789-") == std::string::npos;
  if (!digits || !read_value(date.substr(0, 4), &y) || !read_value(date.substr(5, 2), &m) ||
      !read_value(date.substr(8, 2), &d) || !is_civil_date(y, m, d))
    throw Failure("time units '" + units + "' are not the converter's");
  return double{kSecondsPerDay} * static_cast<double>(days_from_civil(y, m, d));
}

}  // namespace

std::string read_archive_flight(const std::string& path, ArchiveFlight& out) {
  try {
    const nc::File f = open_archive(path);
    if (f.text(NC_GLOBAL, "software_name") != "sfmr2nc" || f.text(NC_GLOBAL, "featureType") != "trajectory")
      return "not an archive file of sfmr2nc (software_name or featureType differ)";
    const std::optional<int> dim = f.find_dim("time");
    if (!dim) return "no dimension time";
    const std::size_t n = f.dim_length(*dim);
    ArchiveFlight a;
    a.path = path;
    a.flight = f.string_value(var(f, "trajectory"), "trajectory");
    const double epoch = epoch_of_units(f.text(var(f, "time"), "units"));
    a.time = series<double>(f, "time", n);
    for (double& t : a.time) {
      if (!std::isfinite(t)) return "a time is not a number";
      t += epoch;
    }
    auto filled = [&f, n](const char* name) {
      std::vector<float> v = series<float>(f, name, n);
      for (float& x : v)
        if (x == NC_FILL_FLOAT) x = std::nanf("");
      return v;
    };
    a.lat = filled("lat");
    a.lon = filled("lon");
    a.wind = filled("wind_speed");
    a.rain = filled("rain_rate");
    a.roll = filled("roll");
    if (f.find_var("wind_speed_standard_error")) a.wind_se = filled("wind_speed_standard_error");
    out = std::move(a);
    return {};
  } catch (const std::runtime_error& e) {  // Failure, nc::Error
    return e.what();
  }
}

}  // namespace sfmr::archive
