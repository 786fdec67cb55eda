#include "archive/eol_nc.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <span>
#include <vector>

#include "archive/nc_file.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::archive {

namespace {

using sonde::kNaN;
using sonde::SondeError;

constexpr double kMissingValue = -999.0;  // the files' missing value
constexpr double kZeroCelsius = 273.15;   // K
constexpr double kPaPerHpa = 100.0;

// "seconds since YYYY-MM-DD hh:mm:ss[.f][ UTC]" (also with a T between date and time, a Z after it, or
// without the time): seconds since 1970 of that instant; nullopt when the units are not of that form.
std::optional<double> seconds_since(std::string units) {
  const std::string head = "seconds since ";
  if (units.compare(0, head.size(), head) != 0) return std::nullopt;
  units.erase(0, head.size());
  for (const std::string_view tail : {" UTC", "Z"}) {
    if (units.size() > tail.size() && units.compare(units.size() - tail.size(), tail.size(), tail) == 0)
      units.erase(units.size() - tail.size());
  }
  for (char& c : units) c = c == '-' || c == ':' || c == 'T' ? ' ' : c;
  std::int32_t y = 0, m = 0, d = 0, hh = 0, mm = 0;
  float ss = 0.0f;
  int filled = 0;
  if (units.find_first_of(",/*") != std::string::npos ||
      read_free(units, {&y, &m, &d, &hh, &mm, &ss}, &filled) > 0 || (filled != 3 && filled < 5) ||
      !is_civil_date(y, m, d) || hh < 0 || hh > 23 || mm < 0 || mm > 59 || !(ss >= 0.0f && ss < 61.0f))
    return std::nullopt;
  return static_cast<double>(days_from_civil(y, m, d)) * kSecondsPerDay + hh * 3600.0 + mm * 60.0 + ss;
}

// The variables of the file with their standard names and units.
struct Variable {
  int id = -1;
  std::string name, standard_name, units;
};

std::vector<Variable> variables(const nc::File& f) {
  int n = 0;
  nc::check(nc_inq_nvars(f.id(), &n), "variables");
  std::vector<Variable> out;
  for (int v = 0; v < n; ++v) {
    std::array<char, NC_MAX_NAME + 1> name{};
    nc::check(nc_inq_varname(f.id(), v, name.data()), "variable name");
    out.push_back({v, name.data(), f.text(v, "standard_name"), f.text(v, "units")});
  }
  return out;
}

// The variable of standard name `standard` (else of short name `name`, when given) whose units are among
// `units`; nullptr when there is none.
const Variable* find(const std::vector<Variable>& vars, std::string_view standard,
                     std::initializer_list<std::string_view> units, std::string_view name = {}) {
  for (const bool by_name : {false, true}) {
    for (const Variable& v : vars) {
      const bool named =
          by_name ? !name.empty() && v.name == name && v.standard_name.empty() : v.standard_name == standard;
      if (!named) continue;
      for (const std::string_view u : units) {
        if (v.units == u) return &v;
      }
    }
  }
  return nullptr;
}

// The values of `v` (n of them, along the samples' dimension), NaN where missing; `scale` and `offset`
// bring them to the record's units. An absent variable gives n NaN.
std::vector<double> values(const nc::File& f, const Variable* v, std::size_t n, double scale = 1.0,
                           double offset = 0.0) {
  std::vector<double> out(n, kNaN);
  if (v == nullptr || n == 0) return out;
  if (f.series_length(v->id, v->name) != n)
    throw SondeError("variable " + v->name + " does not run along the samples of 'time'");
  f.get(v->id, std::span<double>(out), v->name);
  const double fill = f.number(v->id, "_FillValue").value_or(kMissingValue);
  for (double& x : out) x = x == fill || x == kMissingValue || !std::isfinite(x) ? kNaN : x * scale + offset;
  return out;
}

// What brings a temperature in `v`'s units to degC.
double celsius_offset(const Variable* v) {
  return v != nullptr && v->units == "K" ? -kZeroCelsius : 0.0;
}

void read_attributes(const nc::File& f, sonde::Sonde& s) {
  s.id = f.text(NC_GLOBAL, "sonde_id");
  s.mission = f.text(NC_GLOBAL, "project_name");
  s.aircraft = f.text(NC_GLOBAL, "platform");
  s.where = f.text(NC_GLOBAL, "comment");
}

sonde::Sonde read_file(const nc::File& f, const std::string& path) {
  const std::vector<Variable> vars = variables(f);
  const Variable* time = nullptr;
  for (const Variable& v : vars) time = v.name == "time" || v.standard_name == "time" ? &v : time;
  if (time == nullptr) throw SondeError("no variable 'time'");
  const std::optional<double> origin = seconds_since(time->units);
  if (!origin) throw SondeError("time units '" + time->units + "' are not 'seconds since' a launch time");
  const std::size_t n = f.series_length(time->id, time->name);
  sonde::Sonde s;
  s.heading = path;
  read_attributes(f, s);
  s.release.time = *origin;
  if (const std::optional<int> launch = f.find_var("launch_time")) {
    double t = kNaN;
    const std::optional<double> since = seconds_since(f.text(*launch, "units"));
    if (since) f.get(*launch, std::span<double>(&t, 1), "launch_time");
    if (!since || !std::isfinite(t)) throw SondeError("launch_time is not in seconds since a date");
    s.release.time = *since + t;
  }
  const std::vector<double> t = values(f, time, n, 1.0, *origin - s.release.time);
  const Variable* u = find(vars, "eastward_wind", {"m s-1", "m/s"});
  const Variable* v = find(vars, "northward_wind", {"m s-1", "m/s"});
  const Variable* speed = find(vars, "wind_speed", {"m s-1", "m/s"});
  const Variable* dir = find(vars, "wind_from_direction", {"degree", "degrees", "deg"});
  if ((u == nullptr || v == nullptr) && (speed == nullptr || dir == nullptr))
    throw SondeError(
        "no winds: neither eastward_wind and northward_wind nor wind_speed and "
        "wind_from_direction in m s-1 and degree");
  const Variable* p = find(vars, "air_pressure", {"hPa", "mb", "Pa"});
  const Variable* temp = find(vars, "air_temperature", {"degC", "C", "K"});
  const Variable* dew = find(vars, "dew_point_temperature", {"degC", "C", "K"});
  const Variable* lat = find(vars, "latitude", {"degrees_north", "degree_north"});
  const Variable* lon = find(vars, "longitude", {"degrees_east", "degree_east"});
  const Variable* geo = find(vars, "geopotential_height", {"m"}, "alt");
  const Variable* gps = find(vars, "altitude", {"m"}, "gpsalt");
  if (lat == nullptr || lon == nullptr) throw SondeError("no latitude and longitude in degrees");
  const std::vector<double> vu = values(f, u, n), vv = values(f, v, n), vs = values(f, speed, n),
                            vd = values(f, dir, n),
                            vp = values(f, p, n, p != nullptr && p->units == "Pa" ? 1.0 / kPaPerHpa : 1.0),
                            vt = values(f, temp, n, 1.0, celsius_offset(temp)),
                            vdew = values(f, dew, n, 1.0, celsius_offset(dew)), vlat = values(f, lat, n),
                            vlon = values(f, lon, n), vgeo = values(f, geo, n), vgps = values(f, gps, n);
  std::size_t first_placed = n;  // index of the first sample with a position
  for (std::size_t k = 0; k < n; ++k) {
    sonde::Level l;
    l.time = t[k], l.pressure = vp[k], l.temperature = vt[k], l.dewpoint_depression = vt[k] - vdew[k];
    l.wind = {.from_deg = vd[k], .speed = vs[k]};
    if (!l.wind.known() && std::isfinite(vu[k]) && std::isfinite(vv[k])) {
      const double d = std::atan2(-vu[k], -vv[k]) * 180.0 / std::numbers::pi;
      l.wind = {.from_deg = d < 0.0 ? d + 360.0 : d, .speed = std::hypot(vu[k], vv[k])};
    }
    l.height = std::isfinite(vgeo[k]) ? vgeo[k] : vgps[k];
    // Samples before the launch (negative times) are not the fall; the first with a position is the
    // release point (and its height the release altitude), the last the splash.
    const bool placed = std::isfinite(vlat[k]) && std::isfinite(vlon[k]) && l.time >= 0.0;
    if (placed && first_placed == n) first_placed = k;
    if (placed && !(l.time < s.splash.time - s.release.time))
      s.splash = {
          .time = s.release.time + l.time, .lat = vlat[k], .lon = vlon[k] > 180.0 ? vlon[k] - 360 : vlon[k]};
    s.levels.push_back(l);
  }
  if (s.levels.empty()) throw SondeError("no samples");
  const std::size_t k0 = first_placed;
  if (k0 < n && s.levels[k0].time < s.splash.time - s.release.time) {
    s.release.lat = vlat[k0], s.release.lon = vlon[k0] > 180.0 ? vlon[k0] - 360.0 : vlon[k0];
    s.release_altitude = s.levels[k0].height;
  }
  if (s.id.empty()) s.id = path;
  return s;
}

// A column of the samples: its value at a level; the first sample carries the release point, the last the
// splash point (`at`: -1 first, 1 last, 0 between).
struct Column {
  const char *name, *standard_name, *units;
  double (*get)(const sonde::Level&, int at, const sonde::Sonde&);
};
constexpr std::array<Column, 10> kColumns{{
    {"pres", "air_pressure", "hPa",
     [](const sonde::Level& l, int, const sonde::Sonde&) { return l.pressure; }},
    {"tdry", "air_temperature", "degC",
     [](const sonde::Level& l, int, const sonde::Sonde&) { return l.temperature; }},
    {"dp", "dew_point_temperature", "degC",
     [](const sonde::Level& l, int, const sonde::Sonde&) { return l.temperature - l.dewpoint_depression; }},
    {"u_wind", "eastward_wind", "m s-1",
     [](const sonde::Level& l, int, const sonde::Sonde&) {
       return -l.wind.speed * std::sin(l.wind.from_deg * std::numbers::pi / 180.0);
     }},
    {"v_wind", "northward_wind", "m s-1",
     [](const sonde::Level& l, int, const sonde::Sonde&) {
       return -l.wind.speed * std::cos(l.wind.from_deg * std::numbers::pi / 180.0);
     }},
    {"wspd", "wind_speed", "m s-1",
     [](const sonde::Level& l, int, const sonde::Sonde&) { return l.wind.speed; }},
    {"wdir", "wind_from_direction", "degree",
     [](const sonde::Level& l, int, const sonde::Sonde&) { return l.wind.from_deg; }},
    {"lat", "latitude", "degrees_north",
     [](const sonde::Level&, int at, const sonde::Sonde& s) {
       return at < 0 ? s.release.lat : at > 0 ? s.splash.lat : kNaN;
     }},
    {"lon", "longitude", "degrees_east",
     [](const sonde::Level&, int at, const sonde::Sonde& s) {
       return at < 0 ? s.release.lon : at > 0 ? s.splash.lon : kNaN;
     }},
    {"alt", "", "m", [](const sonde::Level& l, int, const sonde::Sonde&) { return l.height; }},
}};

}  // namespace

sonde::Sonde read_eol_nc(const std::string& path) {
  try {
    const nc::File f = nc::File::open(path);
    return read_file(f, path);
  } catch (const nc::Error& e) {
    throw SondeError(std::string("not a readable netCDF sounding: ") + e.what());
  }
}

void write_eol_nc(const std::string& path, const sonde::Sonde& s) {
  std::vector<const sonde::Level*> rows;
  for (const sonde::Level& l : s.levels) {
    if (std::isfinite(l.time)) rows.push_back(&l);
  }
  const double whole = std::floor(s.release.time);
  int y = 0, mo = 0, d = 0;
  civil_from_days(static_cast<long>(std::floor(whole / kSecondsPerDay)), y, mo, d);
  const long sod = static_cast<long>(whole - std::floor(whole / kSecondsPerDay) * kSecondsPerDay);
  const std::string units = "seconds since " + format_I(y, 4) + "-" + format_I(mo, 2, 2) + "-" +
                            format_I(d, 2, 2) + " " + format_I(sod / 3600, 2, 2) + ":" +
                            format_I(sod / 60 % 60, 2, 2) + ":" + format_I(sod % 60, 2, 2) + " UTC";
  nc::File f = nc::File::create(path, "create the sounding file");
  f.text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.text(NC_GLOBAL, "featureType", "trajectory");
  f.text(NC_GLOBAL, "sonde_id", s.id);
  f.text(NC_GLOBAL, "project_name", s.mission);
  f.text(NC_GLOBAL, "platform", s.aircraft);
  f.text(NC_GLOBAL, "comment", s.where);
  const int dim = f.dim("time", rows.size());
  const int time = f.var("time", NC_DOUBLE, {dim});
  f.text(time, "standard_name", "time");
  f.text(time, "units", units);
  const int launch = f.var("launch_time", NC_DOUBLE, {});
  f.text(launch, "units", "seconds since 1970-01-01 00:00:00 UTC");
  std::array<int, kColumns.size()> ids{};
  const std::array<double, 1> fill{kMissingValue};
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    ids[c] = f.var(kColumns[c].name, NC_DOUBLE, {dim});
    if (*kColumns[c].standard_name != '\0') f.text(ids[c], "standard_name", kColumns[c].standard_name);
    f.text(ids[c], "units", kColumns[c].units);
    f.doubles(ids[c], "_FillValue", fill);
  }
  f.end_define();
  std::vector<double> t(rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) t[k] = rows[k]->time + (s.release.time - whole);
  f.put(time, t.data(), "time");
  f.put(launch, &s.release.time, "launch_time");
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    std::vector<double> column(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const int at = k + 1 == rows.size() ? 1 : k == 0 ? -1 : 0;
      const double x = kColumns[c].get(*rows[k], at, s);
      column[k] = std::isfinite(x) ? x : kMissingValue;
    }
    f.put(ids[c], column.data(), kColumns[c].name);
  }
  f.close();
}

}  // namespace sfmr::archive
