#include "archive/nc_reader.hpp"

#include <cmath>
#include <cstdint>
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

// A variable along time of length n.
template <typename T>
std::vector<T> series(const nc::File& f, const char* name, std::size_t n) {
  const int v = var(f, name);
  int ndims = 0, dim = -1;
  nc_inq_varndims(f.id(), v, &ndims);
  if (ndims != 1) throw Failure(std::string("variable ") + name + " is not a series along time");
  nc_inq_vardimid(f.id(), v, &dim);
  std::size_t len = 0;
  nc_inq_dimlen(f.id(), dim, &len);
  if (len != n) throw Failure(std::string("variable ") + name + " is not a series along time");
  std::vector<T> out(n);
  if (n > 0 && nc_get_var(f.id(), v, out.data()) != NC_NOERR)
    throw Failure(std::string("cannot read variable ") + name);
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
    const int traj = var(f, "trajectory");
    char* name = nullptr;
    if (nc_get_var_string(f.id(), traj, &name) == NC_NOERR && name != nullptr) {
      a.flight = name;
      nc_free_string(1, &name);
    }
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
