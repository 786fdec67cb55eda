#include "archive/nc_reader.hpp"

#include <netcdf.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::archive {

namespace {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class File {
 public:
  explicit File(const std::string& path) {
    const int status = nc_open(path.c_str(), NC_NOWRITE, &id_);
    if (status != NC_NOERR) throw Failure(std::string("not a netCDF file (") + nc_strerror(status) + ")");
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { nc_close(id_); }

  std::string text(int var, const char* name) const {
    std::size_t len = 0;
    nc_type type = NC_NAT;
    if (nc_inq_att(id_, var, name, &type, &len) != NC_NOERR || type != NC_CHAR) return {};
    std::string s(len, '\0');
    nc_get_att_text(id_, var, name, s.data());
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
  }
  int var(const char* name) const {
    int v = -1;
    if (nc_inq_varid(id_, name, &v) != NC_NOERR) throw Failure(std::string("no variable ") + name);
    return v;
  }
  template <typename T>
  std::vector<T> series(const char* name, std::size_t n) const {
    const int v = var(name);
    int ndims = 0, dim = -1;
    nc_inq_varndims(id_, v, &ndims);
    if (ndims != 1) throw Failure(std::string("variable ") + name + " is not a series along time");
    nc_inq_vardimid(id_, v, &dim);
    std::size_t len = 0;
    nc_inq_dimlen(id_, dim, &len);
    if (len != n) throw Failure(std::string("variable ") + name + " is not a series along time");
    std::vector<T> out(n);
    if (n > 0 && nc_get_var(id_, v, out.data()) != NC_NOERR)
      throw Failure(std::string("cannot read variable ") + name);
    return out;
  }
  int id() const { return id_; }

 private:
  int id_ = -1;
};

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
      !read_value(date.substr(8, 2), &d) || m < 1 || m > 12 || d < 1 || d > 31)
    throw Failure("time units '" + units + "' are not the converter's");
  return double{kSecondsPerDay} * static_cast<double>(days_from_civil(y, m, d));
}

}  // namespace

std::string read_archive_flight(const std::string& path, ArchiveFlight& out) {
  try {
    const File f(path);
    if (f.text(NC_GLOBAL, "software_name") != "sfmr2nc" || f.text(NC_GLOBAL, "featureType") != "trajectory")
      return "not an archive file of sfmr2nc (software_name or featureType differ)";
    int dim = -1;
    std::size_t n = 0;
    if (nc_inq_dimid(f.id(), "time", &dim) != NC_NOERR) return "no dimension time";
    nc_inq_dimlen(f.id(), dim, &n);
    ArchiveFlight a;
    a.path = path;
    const int traj = f.var("trajectory");
    char* name = nullptr;
    if (nc_get_var_string(f.id(), traj, &name) == NC_NOERR && name != nullptr) {
      a.flight = name;
      nc_free_string(1, &name);
    }
    const double epoch = epoch_of_units(f.text(f.var("time"), "units"));
    a.time = f.series<double>("time", n);
    for (double& t : a.time) {
      if (!std::isfinite(t)) return "a time is not a number";
      t += epoch;
    }
    auto filled = [&f, n](const char* var) {
      std::vector<float> v = f.series<float>(var, n);
      for (float& x : v)
        if (x == NC_FILL_FLOAT) x = std::nanf("");
      return v;
    };
    a.lat = filled("lat");
    a.lon = filled("lon");
    a.wind = filled("wind_speed");
    a.rain = filled("rain_rate");
    a.roll = filled("roll");
    out = std::move(a);
    return {};
  } catch (const Failure& e) {
    return e.what();
  }
}

}  // namespace sfmr::archive
