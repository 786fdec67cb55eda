#include "storm/outputs.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

#include "archive/nc_file.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::storm {

namespace {

const char* const kQuadrants[] = {"NE", "SE", "SW", "NW"};

struct Clock {
  int y, mo, d, h, mi, s;
};
Clock clock_of(double t) {
  const long sec = std::lround(t);
  const long day = sec >= 0 ? sec / kSecondsPerDay : (sec - kSecondsPerDay + 1) / kSecondsPerDay;
  const long in_day = sec - day * kSecondsPerDay;
  Clock c{};
  civil_from_days(day, c.y, c.mo, c.d);
  c.h = static_cast<int>(in_day / 3600);
  c.mi = static_cast<int>(in_day % 3600 / 60);
  c.s = static_cast<int>(in_day % 60);
  return c;
}

// The storm's motion from the centre: direction it moves towards (deg) and speed (m/s).
void motion_of(const Analysis& an, double& dir, double& speed) {
  speed = std::hypot(an.motion.u, an.motion.v) * 1000.0;
  dir = std::atan2(an.motion.u, an.motion.v) * 180.0 / std::numbers::pi;
  if (dir < 0.0) dir += 360.0;
}

// ATCF position in hundredths: 2441N, 8519W.
std::string atcf_lat(double lat) {
  return std::to_string(std::lround(std::fabs(lat) * 100.0)) + (lat < 0 ? "S" : "N");
}
std::string atcf_lon(double lon) {
  return std::to_string(std::lround(std::fabs(lon) * 100.0)) + (lon < 0 ? "W" : "E");
}

std::string nmi_int(double km) {
  return std::isfinite(km) ? std::to_string(std::lround(km / kKmPerNmi)) : "";
}

const Leg* inbound_leg_of(const Analysis& an, const Pass& p) {
  // The inbound leg whose peak came last before the pass (within half an hour).
  const Leg* best = nullptr;
  double gap = 1e300;
  for (const Leg& leg : an.legs) {
    if (leg.flight != p.flight || !leg.inbound || !leg.has_peak) continue;
    const double d = std::fabs(leg.peak_time - p.time);
    if (leg.peak_time <= p.time + 60.0 && d < gap) {
      gap = d;
      best = &leg;
    }
  }
  return gap < 1800.0 ? best : nullptr;
}

// E: a lower bound; U: unknown; empty: the radius (or 0) as the data show it.
const char* radius_flag(const Radii& r, std::size_t k, std::size_t q) {
  return r.unknown[k][q] ? "U" : r.lower_bound[k][q] ? "E" : "";
}

}  // namespace

void write_centres_csv(std::ostream& out, const Analysis& an, const Context& ctx) {
  out << "time,lat,lon,source,accuracy_km,evidence\n";
  for (const Pass& p : an.passes) {
    out << iso_time(p.time) << ',' << format_trimmed(p.lat, 4) << ',' << format_trimmed(p.lon, 4)
        << ",flight," << format_trimmed(p.accuracy_km, 2) << ',' << p.evidence << '\n';
    if (ctx.track) {
      double lat = 0.0, lon = 0.0;
      track_position(*ctx.track, p.time, lat, lon);
      out << iso_time(p.time) << ',' << format_trimmed(lat, 4) << ',' << format_trimmed(lon, 4)
          << ",track,,\n";
    }
  }
}

void write_legs_csv(std::ostream& out, const Analysis& an, const Context& ctx) {
  out << "flight,leg,direction,start_time,end_time,bearing_deg,peak_wind_speed,peak_time,peak_lat,peak_lon,"
         "peak_radius_km,peak_rain_rate,peak_wind_speed_error,peak_radius_error_km\n";
  for (const Leg& leg : an.legs) {
    const Series& s = ctx.flights[leg.flight];
    out << s.name << ',' << leg.number << ',' << (leg.inbound ? "inbound" : "outbound") << ','
        << iso_time(s.t[leg.begin]) << ',' << iso_time(s.t[leg.end - 1]) << ',';
    if (leg.has_peak)
      out << format_trimmed(leg.bearing_deg, 1) << ',' << format_trimmed(leg.peak, 2) << ','
          << iso_time(leg.peak_time) << ',' << format_trimmed(leg.peak_lat, 4) << ','
          << format_trimmed(leg.peak_lon, 4) << ',' << format_trimmed(leg.peak_radius_km, 2) << ','
          << format_trimmed(leg.peak_rain, 2) << ',' << format_trimmed(leg.peak_error, 2) << ','
          << format_trimmed(leg.peak_radius_error_km, 2) << '\n';
    else
      out << ",,,,,,,,\n";
  }
}

void write_radii_csv(std::ostream& out, const Analysis& an) {
  out << "threshold_kt,quadrant,radius_nmi,flag\n";
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t q = 0; q < 4; ++q) {
      out << static_cast<int>(kRadiiThresholdsKt[k]) << ',' << kQuadrants[q] << ',';
      // A threshold the data show is not reached is written as 0, as the exchange formats do; an unknown
      // radius is empty, flagged U.
      if (!an.radii.unknown[k][q])
        out << (an.radii.km[k][q] > 0.0 ? format_trimmed(an.radii.km[k][q] / kKmPerNmi, 1)
                                        : std::string("0"));
      out << ',' << radius_flag(an.radii, k, q) << '\n';
    }
}

namespace {

// The report's table of wind radii (n mi) with their flags, one row per threshold.
void write_radii_table(std::ostream& out, const Analysis& an) {
  out << "\nWind radii, n mi (outermost 10-s mean at the threshold; E: the data do not show the wind "
         "falling\n"
         "clearly below it beyond, a lower bound; U: unknown, the quadrant's data do not show the crossing\n"
         "beyond the noise of a 10-s mean and the centre's and RMW's errors; 0: not reached inside the RMW "
         "or "
         "beyond):\n";
  out << "  kt      NE       SE       SW       NW\n";
  for (std::size_t k = 0; k < 3; ++k) {
    out << "  " << static_cast<int>(kRadiiThresholdsKt[k]);
    for (std::size_t q = 0; q < 4; ++q) {
      std::string cell = an.radii.unknown[k][q] ? "U" : format_trimmed(an.radii.km[k][q] / kKmPerNmi, 1);
      if (an.radii.lower_bound[k][q]) cell += " E";
      char buf[32];
      std::snprintf(buf, sizeof buf, "%9s", cell.c_str());
      out << buf;
    }
    out << "\n";
  }
}

}  // namespace

void write_report(std::ostream& out, const Analysis& an, const Context& ctx) {
  out << "Storm structure from " << ctx.flights.size()
      << (ctx.flights.size() == 1 ? " flight:" : " flights:");
  for (const Series& s : ctx.flights) out << ' ' << s.name;
  out << "\n";
  if (ctx.track)
    out << "Track: " << ctx.track->id << ' ' << ctx.track->name << " from " << ctx.track_file << "\n";
  out << "\nCentre: "
      << (an.centre_from_flight ? "fixed from the flights' wind field" : "the track's (no centre pass)")
      << "\n";
  if (an.centre_from_flight) {
    double dir = 0.0, speed = 0.0;
    motion_of(an, dir, speed);
    out << "Storm motion: towards " << format_trimmed(dir, 0) << " deg at " << format_trimmed(speed, 1)
        << " m/s (" << format_trimmed(speed / kMsPerKt, 1) << " kt), fitted over " << an.passes.size()
        << " passes\n";
    if (!an.motion_constrained && !an.motion_note.empty()) out << "  " << an.motion_note << "\n";
    if (!an.across_note.empty()) out << "  " << an.across_note << "\n";
    if (!an.search_note.empty()) out << "  " << an.search_note << "\n";
  }
  out << "\nFixes (time, position, estimated error, what placed it):\n";
  for (const Pass& p : an.passes) {
    out << "  " << iso_time(p.time) << "  " << format_trimmed(p.lat, 3) << ' ' << format_trimmed(p.lon, 3)
        << "  +-" << format_trimmed(p.accuracy_km, 1) << " km ("
        << format_trimmed(p.accuracy_km / kKmPerNmi, 1) << " n mi), " << p.evidence;
    if (ctx.track) {
      double lat = 0.0, lon = 0.0, km = 0.0, b = 0.0;
      track_position(*ctx.track, p.time, lat, lon);
      range_bearing(lat, lon, p.lat, p.lon, km, b);
      out << "  track " << format_trimmed(lat, 3) << ' ' << format_trimmed(lon, 3) << ", fix "
          << format_trimmed(km, 1) << " km (" << format_trimmed(km / kKmPerNmi, 1) << " n mi) at "
          << format_trimmed(b, 0) << " deg from it";
    }
    out << "\n";
  }
  out << "\nLegs: peak 10-s mean surface wind, its bearing and range from the centre (the leg's RMW):\n";
  const Leg* vmax = nullptr;
  for (const Leg& leg : an.legs) {
    if (!leg.has_peak) continue;
    if (vmax == nullptr || leg.peak > vmax->peak) vmax = &leg;
    out << "  " << ctx.flights[leg.flight].name << " leg " << leg.number
        << (leg.inbound ? " inbound " : " outbound") << "  " << iso_time(leg.peak_time) << "  "
        << format_trimmed(leg.peak, 1) << " m/s (" << format_trimmed(leg.peak / kMsPerKt, 0) << " kt) at "
        << format_trimmed(leg.bearing_deg, 0) << " deg " << format_trimmed(leg.peak_radius_km, 1) << " km ("
        << format_trimmed(leg.peak_radius_km / kKmPerNmi, 1) << " n mi)\n";
  }
  if (vmax) {
    out << "\nVmax (largest 10-s mean of the retrieved wind on the legs; not a 1-min mean): "
        << format_trimmed(vmax->peak, 1) << " m/s (" << format_trimmed(vmax->peak / kMsPerKt, 0) << " kt) at "
        << iso_time(vmax->peak_time) << ", bearing " << format_trimmed(vmax->bearing_deg, 0) << " deg\n";
    out << "RMW (range of that peak): " << format_trimmed(vmax->peak_radius_km, 1) << " km ("
        << format_trimmed(vmax->peak_radius_km / kKmPerNmi, 1) << " n mi)\n";
  }
  write_radii_table(out, an);
  if (ctx.track && !an.passes.empty()) {
    double sum = 0.0, worst = 0.0;
    for (const Pass& p : an.passes) {
      double lat = 0.0, lon = 0.0, km = 0.0, b = 0.0;
      track_position(*ctx.track, p.time, lat, lon);
      range_bearing(lat, lon, p.lat, p.lon, km, b);
      sum += km;
      worst = std::max(worst, km);
    }
    out << "\nAgreement with the track: fixes "
        << format_trimmed(sum / static_cast<double>(an.passes.size()), 1) << " km from it on average ("
        << format_trimmed(sum / static_cast<double>(an.passes.size()) / kKmPerNmi, 1) << " n mi), "
        << format_trimmed(worst, 1) << " km at most\n";
  }
}

void write_fdeck(std::ostream& out, const Analysis& an, const Context& ctx) {
  std::string basin, number;
  if (ctx.track && ctx.track->id.size() >= 4) {
    basin = ctx.track->id.substr(0, 2);
    number = ctx.track->id.substr(2, 2);
  }
  auto line = [&](std::vector<std::string> f) {
    f.resize(56);
    std::string s;
    for (std::size_t i = 0; i < f.size(); ++i) {
      if (i > 0) s += ", ";
      s += f[i];
    }
    out << s << ",\n";
  };
  auto stamp = [](double t) {
    const Clock c = clock_of(t);
    char s[16];
    std::snprintf(s, sizeof s, "%04d%02d%02d%02d%02d", c.y, c.mo, c.d, c.h, c.mi);
    return std::string(s);
  };
  for (const Pass& p : an.passes) {
    std::vector<std::string> f = {basin, number, stamp(p.time), "50", "AIRC", "C"};
    f.resize(56);
    f[7] = atcf_lat(p.lat);
    f[8] = atcf_lon(p.lon);
    // Position confidence: 1 good (within 5 km), 2 fair (within 15 km), 3 poor.
    f[10].assign(1, p.accuracy_km < 5.0 ? '1' : p.accuracy_km < 15.0 ? '2' : '3');
    if (const Leg* leg = inbound_leg_of(an, p)) {
      f[5].push_back('I');
      f[9] = "10";  // the surface wind is the 10-m wind
      f[11] = std::to_string(std::lround(leg->peak / kMsPerKt));
      f[27] = nmi_int(leg->peak_radius_km);
      f[35] = f[11];
      f[36] = std::to_string(std::lround(leg->bearing_deg) % 360);
      f[37] = f[27];
    }
    f[53] = std::to_string(std::lround(p.accuracy_km / kKmPerNmi * 10.0));
    f[55] = "SFMR 10-s mean peak";
    line(f);
  }
  if (an.passes.empty()) return;
  // Radii at the middle pass.
  const Pass& mid = an.passes[an.passes.size() / 2];
  for (std::size_t k = 0; k < 3; ++k) {
    std::vector<std::string> f = {basin, number, stamp(mid.time), "50", "AIRC", "R"};
    f.resize(56);
    f[7] = atcf_lat(mid.lat);
    f[8] = atcf_lon(mid.lon);
    f[16] = std::to_string(static_cast<int>(kRadiiThresholdsKt[k]));
    f[17] = "NEQ";
    for (std::size_t q = 0; q < 4; ++q) {
      // An unknown radius is left blank, as the format does for a field the fix does not provide.
      if (!an.radii.unknown[k][q]) f[18 + q] = nmi_int(an.radii.km[k][q]);
      if (an.radii.lower_bound[k][q]) f[22 + q] = "E";
    }
    f[55] = "SFMR 10-s mean radii";
    line(f);
  }
}

void write_radial_data(std::ostream& out, const Analysis& an, const Context& ctx) {
  for (const Leg& leg : an.legs) {
    const Series& s = ctx.flights[leg.flight];
    for (std::size_t i = leg.begin; i < leg.end; ++i)
      if (std::isfinite(s.wind[i]) && std::isfinite(an.range_km[leg.flight][i]))
        out << format_trimmed(an.range_km[leg.flight][i], 2) << ' ' << format_trimmed(s.wind[i], 2) << ' '
            << leg.number << '\n';
    out << "\n\n";
  }
}

PlanExtent write_plan_data(std::ostream& out, const Analysis& an, const Context& ctx) {
  PlanExtent e;
  auto widen = [&e](double x, double y) {
    e.x0 = std::min(e.x0, x);
    e.x1 = std::max(e.x1, x);
    e.y0 = std::min(e.y0, y);
    e.y1 = std::max(e.y1, y);
  };
  for (std::size_t f = 0; f < ctx.flights.size(); ++f) {
    const Series& s = ctx.flights[f];
    for (std::size_t i = 0; i < s.t.size(); ++i) {
      const double r = an.range_km[f][i], b = an.bearing_deg[f][i] * std::numbers::pi / 180.0;
      if (an.leg_of[f][i] == 0 || !std::isfinite(r) || !std::isfinite(s.wind[i])) continue;
      out << format_trimmed(r * std::sin(b), 2) << ' ' << format_trimmed(r * std::cos(b), 2) << ' '
          << format_trimmed(s.wind[i], 2) << '\n';
      widen(r * std::sin(b), r * std::cos(b));
      ++e.points;
    }
  }
  // The quarter circles of the radii: quadrant q spans the signs (east, north) below.
  const double east[] = {1, 1, -1, -1}, north[] = {1, -1, -1, 1};
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t q = 0; q < 4; ++q)
      if (std::isfinite(an.radii.km[k][q]) && e.points > 0) {
        widen(0.0, 0.0);
        widen(east[q] * an.radii.km[k][q], north[q] * an.radii.km[k][q]);
      }
  return e;
}

namespace {

constexpr std::size_t kBins = 200;  // 1-km radius bins out to 200 km

// The variables of the storm file, by their netCDF ids.
struct StormVars {
  int time, flight_index, flight_name, range, bearing, leg, radius, quadrant_name, wind, rain, wind_quadrant,
      rain_quadrant, count;
};

// Defines the dimensions and variables (with their attributes) of a file of `seconds` seconds from
// `flights` flights, in the order ncdump lists them.
StormVars define_storm_vars(nc::File& file, std::size_t seconds, std::size_t flights) {
  const int dt = file.dim("time", seconds), dr = file.dim("radius", kBins), dq = file.dim("quadrant", 4);
  const int df = file.dim("flight", flights), ds = file.dim("quadrant_name_length", 2);
  auto def = [&file](const char* name, nc_type type, std::initializer_list<int> dims, const char* long_name,
                     const char* units) {
    const int v = file.var(name, type, dims);
    file.text(v, "long_name", long_name);
    if (units) file.text(v, "units", units);
    if (type == NC_FLOAT) file.fill(v);
    return v;
  };
  StormVars v{};
  v.time = def("time", NC_DOUBLE, {dt}, "time of the second, UTC", "seconds since 1970-01-01 00:00:00");
  file.text(v.time, "standard_name", "time");
  v.flight_index = def("flight_index", NC_INT, {dt}, "index of the second's flight in flight_name", "1");
  v.flight_name = def("flight_name", NC_STRING, {df}, "flight name", nullptr);
  v.range = def("range", NC_FLOAT, {dt}, "distance of the second from the storm centre", "km");
  v.bearing = def("bearing", NC_FLOAT, {dt},
                  "bearing of the second from the storm centre, clockwise from north", "degree");
  v.leg = def("leg", NC_INT, {dt}, "leg number within the flight (0: in a turn or no leg)", "1");
  v.radius = def("radius", NC_FLOAT, {dr}, "centre of the 1-km radius bin", "km");
  v.quadrant_name =
      def("quadrant_name", NC_CHAR, {dq, ds}, "quadrant of bearing from the centre: NE SE SW NW", nullptr);
  v.wind = def("wind_profile", NC_FLOAT, {dr}, "azimuthal mean of the retrieved 10-m wind speed on the legs",
               "m s-1");
  file.text(v.wind, "standard_name", "wind_speed");
  v.rain =
      def("rain_profile", NC_FLOAT, {dr}, "azimuthal mean of the retrieved rain rate on the legs", "mm h-1");
  file.text(v.rain, "standard_name", "rainfall_rate");
  v.wind_quadrant = def("wind_profile_quadrant", NC_FLOAT, {dq, dr},
                        "mean retrieved 10-m wind speed per quadrant", "m s-1");
  v.rain_quadrant =
      def("rain_profile_quadrant", NC_FLOAT, {dq, dr}, "mean retrieved rain rate per quadrant", "mm h-1");
  v.count = def("profile_count", NC_INT, {dr}, "retrieved seconds in the bin", "1");
  return v;
}

void write_storm_globals(nc::File& file, const Analysis& an, const Context& ctx) {
  file.text(NC_GLOBAL, "title", "Storm-relative structure from SFMR surface winds");
  file.text(NC_GLOBAL, "Conventions", "CF-1.8");
  file.text(NC_GLOBAL, "history", ctx.command_line);
  file.text(NC_GLOBAL, "centre",
            an.centre_from_flight ? "fixed from the flights' wind field" : "from the track");
  file.text(NC_GLOBAL, "software_name", "sfmrstorm");
}

// Sums and counts of wind and rain over the leg seconds, by radius bin (all quadrants) and by quadrant
// and bin (index q * kBins + bin).
struct Profiles {
  std::vector<double> wind = std::vector<double>(kBins), rain = std::vector<double>(kBins),
                      wind_q = std::vector<double>(4 * kBins), rain_q = std::vector<double>(4 * kBins);
  std::vector<int> wind_n = std::vector<int>(kBins), rain_n = std::vector<int>(kBins),
                   wind_qn = std::vector<int>(4 * kBins), rain_qn = std::vector<int>(4 * kBins);

  void add(double range_km, double bearing_deg, float wind_ms, float rain_mmh) {
    const auto b = static_cast<std::size_t>(range_km);
    const auto q = static_cast<std::size_t>(std::min(3.0, std::floor(bearing_deg / 90.0)));
    if (std::isfinite(wind_ms)) {
      wind[b] += wind_ms;
      ++wind_n[b];
      wind_q[q * kBins + b] += wind_ms;
      ++wind_qn[q * kBins + b];
    }
    if (std::isfinite(rain_mmh)) {
      rain[b] += rain_mmh;
      ++rain_n[b];
      rain_q[q * kBins + b] += rain_mmh;
      ++rain_qn[q * kBins + b];
    }
  }
};

// The means of `sum` over `count`, the fill value where the count is 0.
std::vector<float> means(const std::vector<double>& sum, const std::vector<int>& count) {
  std::vector<float> m(sum.size());
  for (std::size_t i = 0; i < m.size(); ++i)
    m[i] = count[i] > 0 ? static_cast<float>(sum[i] / count[i]) : NC_FILL_FLOAT;
  return m;
}

// Writes the per-second variables (when there are seconds) and the profiles.
void write_storm_data(nc::File& file, const StormVars& v, const Analysis& an, const Context& ctx) {
  std::vector<double> times;
  std::vector<int> flight_index, legs;
  std::vector<float> range, bearing;
  Profiles p;
  for (std::size_t f = 0; f < ctx.flights.size(); ++f) {
    const Series& s = ctx.flights[f];
    for (std::size_t i = 0; i < s.t.size(); ++i) {
      times.push_back(s.t[i]);
      flight_index.push_back(static_cast<int>(f));
      legs.push_back(an.leg_of[f][i]);
      const double r = an.range_km[f][i];
      range.push_back(std::isfinite(r) ? static_cast<float>(r) : NC_FILL_FLOAT);
      bearing.push_back(std::isfinite(r) ? static_cast<float>(an.bearing_deg[f][i]) : NC_FILL_FLOAT);
      if (an.leg_of[f][i] != 0 && std::isfinite(r) && r < kBins)
        p.add(r, an.bearing_deg[f][i], s.wind[i], s.rain[i]);
    }
  }
  if (!times.empty()) {
    file.put(v.time, times.data(), "time");
    file.put(v.flight_index, flight_index.data(), "flight_index");
    file.put(v.range, range.data(), "range");
    file.put(v.bearing, bearing.data(), "bearing");
    file.put(v.leg, legs.data(), "leg");
  }
  std::vector<const char*> names;
  for (const Series& s : ctx.flights) names.push_back(s.name.c_str());
  file.put(v.flight_name, names.data(), "flight_name");
  std::vector<float> radius(kBins);
  for (std::size_t b = 0; b < kBins; ++b) radius[b] = static_cast<float>(b) + 0.5f;
  file.put(v.radius, radius.data(), "radius");
  file.put(v.quadrant_name, "NESESWNW", "quadrant_name");
  file.put(v.wind, means(p.wind, p.wind_n).data(), "wind_profile");
  file.put(v.rain, means(p.rain, p.rain_n).data(), "rain_profile");
  file.put(v.wind_quadrant, means(p.wind_q, p.wind_qn).data(), "wind_profile_quadrant");
  file.put(v.rain_quadrant, means(p.rain_q, p.rain_qn).data(), "rain_profile_quadrant");
  file.put(v.count, p.wind_n.data(), "profile_count");
}

}  // namespace

void write_storm_nc(const std::string& path, const Analysis& an, const Context& ctx) {
  nc::File file = nc::File::create(path);
  std::size_t n = 0;
  for (const Series& s : ctx.flights) n += s.t.size();
  const StormVars v = define_storm_vars(file, n, ctx.flights.size());
  write_storm_globals(file, an, ctx);
  file.end_define();
  write_storm_data(file, v, an, ctx);
  file.close();
}

}  // namespace sfmr::storm
