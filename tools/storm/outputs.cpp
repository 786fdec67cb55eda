#include "storm/outputs.hpp"

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

// Fixed decimals without padding; empty for NaN.
std::string fixed(double v, int decimals) {
  return format_trimmed(v, decimals);
}

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

using nc::check;

// E: a lower bound; U: unknown; empty: the radius (or 0) as the data show it.
const char* radius_flag(const Radii& r, std::size_t k, std::size_t q) {
  return r.unknown[k][q] ? "U" : r.lower_bound[k][q] ? "E" : "";
}

}  // namespace

std::string iso_time(double t) {
  const Clock c = clock_of(t);
  char s[32];
  std::snprintf(s, sizeof s, "%04d-%02d-%02dT%02d:%02d:%02dZ", c.y, c.mo, c.d, c.h, c.mi, c.s);
  return s;
}

void write_centres_csv(std::ostream& out, const Analysis& an, const Context& ctx) {
  out << "time,lat,lon,source,accuracy_km\n";
  for (const Pass& p : an.passes) {
    out << iso_time(p.time) << ',' << fixed(p.lat, 4) << ',' << fixed(p.lon, 4) << ",flight,"
        << fixed(p.accuracy_km, 2) << '\n';
    if (ctx.track) {
      double lat = 0.0, lon = 0.0;
      track_position(*ctx.track, p.time, lat, lon);
      out << iso_time(p.time) << ',' << fixed(lat, 4) << ',' << fixed(lon, 4) << ",track,\n";
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
      out << fixed(leg.bearing_deg, 1) << ',' << fixed(leg.peak, 2) << ',' << iso_time(leg.peak_time) << ','
          << fixed(leg.peak_lat, 4) << ',' << fixed(leg.peak_lon, 4) << ',' << fixed(leg.peak_radius_km, 2)
          << ',' << fixed(leg.peak_rain, 2) << ',' << fixed(leg.peak_error, 2) << ','
          << fixed(leg.peak_radius_error_km, 2) << '\n';
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
        out << (an.radii.km[k][q] > 0.0 ? fixed(an.radii.km[k][q] / kKmPerNmi, 1) : std::string("0"));
      out << ',' << radius_flag(an.radii, k, q) << '\n';
    }
}

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
    out << "Storm motion: towards " << fixed(dir, 0) << " deg at " << fixed(speed, 1) << " m/s ("
        << fixed(speed / kMsPerKt, 1) << " kt), fitted over " << an.passes.size() << " passes\n";
    if (!an.motion_constrained && !an.motion_note.empty()) out << "  " << an.motion_note << "\n";
  }
  out << "\nFixes (time, position, estimated error, what placed it):\n";
  for (const Pass& p : an.passes) {
    out << "  " << iso_time(p.time) << "  " << fixed(p.lat, 3) << ' ' << fixed(p.lon, 3) << "  +-"
        << fixed(p.accuracy_km, 1) << " km (" << fixed(p.accuracy_km / kKmPerNmi, 1) << " n mi), "
        << p.evidence;
    if (ctx.track) {
      double lat = 0.0, lon = 0.0, km = 0.0, b = 0.0;
      track_position(*ctx.track, p.time, lat, lon);
      range_bearing(lat, lon, p.lat, p.lon, km, b);
      out << "  track " << fixed(lat, 3) << ' ' << fixed(lon, 3) << ", fix " << fixed(km, 1) << " km ("
          << fixed(km / kKmPerNmi, 1) << " n mi) at " << fixed(b, 0) << " deg from it";
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
        << fixed(leg.peak, 1) << " m/s (" << fixed(leg.peak / kMsPerKt, 0) << " kt) at "
        << fixed(leg.bearing_deg, 0) << " deg " << fixed(leg.peak_radius_km, 1) << " km ("
        << fixed(leg.peak_radius_km / kKmPerNmi, 1) << " n mi)\n";
  }
  if (vmax) {
    out << "\nVmax (largest 10-s mean of the retrieved wind on the legs; not a 1-min mean): "
        << fixed(vmax->peak, 1) << " m/s (" << fixed(vmax->peak / kMsPerKt, 0) << " kt) at "
        << iso_time(vmax->peak_time) << ", bearing " << fixed(vmax->bearing_deg, 0) << " deg\n";
    out << "RMW (range of that peak): " << fixed(vmax->peak_radius_km, 1) << " km ("
        << fixed(vmax->peak_radius_km / kKmPerNmi, 1) << " n mi)\n";
  }
  out << "\nWind radii, n mi (outermost 10-s mean at the threshold; E: data end above it, a lower bound;\n"
         "U: unknown, the quadrant's data do not show the crossing; 0: not reached inside the RMW or "
         "beyond):\n";
  out << "  kt      NE       SE       SW       NW\n";
  for (std::size_t k = 0; k < 3; ++k) {
    out << "  " << static_cast<int>(kRadiiThresholdsKt[k]);
    for (std::size_t q = 0; q < 4; ++q) {
      std::string cell = an.radii.unknown[k][q] ? "U" : fixed(an.radii.km[k][q] / kKmPerNmi, 1);
      if (an.radii.lower_bound[k][q]) cell += " E";
      char buf[32];
      std::snprintf(buf, sizeof buf, "%9s", cell.c_str());
      out << buf;
    }
    out << "\n";
  }
  if (ctx.track && !an.passes.empty()) {
    double sum = 0.0, worst = 0.0;
    for (const Pass& p : an.passes) {
      double lat = 0.0, lon = 0.0, km = 0.0, b = 0.0;
      track_position(*ctx.track, p.time, lat, lon);
      range_bearing(lat, lon, p.lat, p.lon, km, b);
      sum += km;
      worst = std::max(worst, km);
    }
    out << "\nAgreement with the track: fixes " << fixed(sum / static_cast<double>(an.passes.size()), 1)
        << " km from it on average (" << fixed(sum / static_cast<double>(an.passes.size()) / kKmPerNmi, 1)
        << " n mi), " << fixed(worst, 1) << " km at most\n";
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
        out << fixed(an.range_km[leg.flight][i], 2) << ' ' << fixed(s.wind[i], 2) << ' ' << leg.number
            << '\n';
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
      out << fixed(r * std::sin(b), 2) << ' ' << fixed(r * std::cos(b), 2) << ' ' << fixed(s.wind[i], 2)
          << '\n';
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

void write_storm_nc(const std::string& path, const Analysis& an, const Context& ctx) {
  nc::File file = nc::File::create(path);
  const int nc = file.id();
  std::size_t n = 0;
  for (const Series& s : ctx.flights) n += s.t.size();
  constexpr std::size_t kBins = 200;  // 1-km bins out to 200 km
  int dt = -1, dr = -1, dq = -1, df = -1, ds = -1;
  check(nc_def_dim(nc, "time", n, &dt), "time");
  check(nc_def_dim(nc, "radius", kBins, &dr), "radius");
  check(nc_def_dim(nc, "quadrant", 4, &dq), "quadrant");
  check(nc_def_dim(nc, "flight", ctx.flights.size(), &df), "flight");
  check(nc_def_dim(nc, "quadrant_name_length", 2, &ds), "quadrant_name_length");
  auto att = [&](int var, const char* name, const std::string& v) { file.text(var, name, v); };
  auto def = [&](const char* name, nc_type type, std::vector<int> dims, const char* long_name,
                 const char* units) {
    const int v = file.var(name, type, dims);
    att(v, "long_name", long_name);
    if (units) att(v, "units", units);
    if (type == NC_FLOAT) file.fill(v);
    return v;
  };
  const int vt = def("time", NC_DOUBLE, {dt}, "time of the second, UTC", "seconds since 1970-01-01 00:00:00");
  att(vt, "standard_name", "time");
  const int vflight = def("flight_index", NC_INT, {dt}, "index of the second's flight in flight_name", "1");
  const int vname = def("flight_name", NC_STRING, {df}, "flight name", nullptr);
  const int vrange = def("range", NC_FLOAT, {dt}, "distance of the second from the storm centre", "km");
  const int vbear = def("bearing", NC_FLOAT, {dt},
                        "bearing of the second from the storm centre, clockwise from north", "degree");
  const int vleg = def("leg", NC_INT, {dt}, "leg number within the flight (0: in a turn or no leg)", "1");
  const int vrad = def("radius", NC_FLOAT, {dr}, "centre of the 1-km radius bin", "km");
  const int vqn =
      def("quadrant_name", NC_CHAR, {dq, ds}, "quadrant of bearing from the centre: NE SE SW NW", nullptr);
  const int vw = def("wind_profile", NC_FLOAT, {dr},
                     "azimuthal mean of the retrieved 10-m wind speed on the legs", "m s-1");
  att(vw, "standard_name", "wind_speed");
  const int vr =
      def("rain_profile", NC_FLOAT, {dr}, "azimuthal mean of the retrieved rain rate on the legs", "mm h-1");
  att(vr, "standard_name", "rainfall_rate");
  const int vwq = def("wind_profile_quadrant", NC_FLOAT, {dq, dr},
                      "mean retrieved 10-m wind speed per quadrant", "m s-1");
  const int vrq =
      def("rain_profile_quadrant", NC_FLOAT, {dq, dr}, "mean retrieved rain rate per quadrant", "mm h-1");
  const int vcount = def("profile_count", NC_INT, {dr}, "retrieved seconds in the bin", "1");
  att(NC_GLOBAL, "title", "Storm-relative structure from SFMR surface winds");
  att(NC_GLOBAL, "Conventions", "CF-1.8");
  att(NC_GLOBAL, "history", ctx.command_line);
  att(NC_GLOBAL, "centre", an.centre_from_flight ? "fixed from the flights' wind field" : "from the track");
  att(NC_GLOBAL, "software_name", "sfmrstorm");
  check(nc_enddef(nc), "enddef");

  std::vector<double> times;
  std::vector<int> fi, legs;
  std::vector<float> range, bearing;
  std::vector<double> wsum(kBins), rsum(kBins), wq(4 * kBins), rq(4 * kBins);
  std::vector<int> wcount(kBins), rcount(kBins), wqc(4 * kBins), rqc(4 * kBins);
  for (std::size_t f = 0; f < ctx.flights.size(); ++f) {
    const Series& s = ctx.flights[f];
    for (std::size_t i = 0; i < s.t.size(); ++i) {
      times.push_back(s.t[i]);
      fi.push_back(static_cast<int>(f));
      legs.push_back(an.leg_of[f][i]);
      const double r = an.range_km[f][i];
      range.push_back(std::isfinite(r) ? static_cast<float>(r) : NC_FILL_FLOAT);
      bearing.push_back(std::isfinite(r) ? static_cast<float>(an.bearing_deg[f][i]) : NC_FILL_FLOAT);
      if (an.leg_of[f][i] == 0 || !std::isfinite(r) || r >= kBins) continue;
      const auto b = static_cast<std::size_t>(r);
      const auto q = static_cast<std::size_t>(std::min(3.0, std::floor(an.bearing_deg[f][i] / 90.0)));
      if (std::isfinite(s.wind[i])) {
        wsum[b] += s.wind[i];
        ++wcount[b];
        wq[q * kBins + b] += s.wind[i];
        ++wqc[q * kBins + b];
      }
      if (std::isfinite(s.rain[i])) {
        rsum[b] += s.rain[i];
        ++rcount[b];
        rq[q * kBins + b] += s.rain[i];
        ++rqc[q * kBins + b];
      }
    }
  }
  auto means = [](const std::vector<double>& sum, const std::vector<int>& count) {
    std::vector<float> m(sum.size());
    for (std::size_t i = 0; i < m.size(); ++i)
      m[i] = count[i] > 0 ? static_cast<float>(sum[i] / count[i]) : NC_FILL_FLOAT;
    return m;
  };
  std::vector<float> radius(kBins);
  for (std::size_t b = 0; b < kBins; ++b) radius[b] = static_cast<float>(b) + 0.5f;
  if (n > 0) {
    check(nc_put_var_double(nc, vt, times.data()), "time");
    check(nc_put_var_int(nc, vflight, fi.data()), "flight_index");
    check(nc_put_var_float(nc, vrange, range.data()), "range");
    check(nc_put_var_float(nc, vbear, bearing.data()), "bearing");
    check(nc_put_var_int(nc, vleg, legs.data()), "leg");
  }
  std::vector<const char*> names;
  for (const Series& s : ctx.flights) names.push_back(s.name.c_str());
  check(nc_put_var_string(nc, vname, names.data()), "flight_name");
  check(nc_put_var_float(nc, vrad, radius.data()), "radius");
  check(nc_put_var_text(nc, vqn, "NESESWNW"), "quadrant_name");
  check(nc_put_var_float(nc, vw, means(wsum, wcount).data()), "wind_profile");
  check(nc_put_var_float(nc, vr, means(rsum, rcount).data()), "rain_profile");
  check(nc_put_var_float(nc, vwq, means(wq, wqc).data()), "wind_profile_quadrant");
  check(nc_put_var_float(nc, vrq, means(rq, rqc).data()), "rain_profile_quadrant");
  check(nc_put_var_int(nc, vcount, wcount.data()), "profile_count");
  file.close();
}

}  // namespace sfmr::storm
