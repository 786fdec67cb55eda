#include "sim/storm_truth.hpp"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "tracks/track_file.hpp"

namespace sfmr::sim {

namespace {

using storm::kRadiiThresholdsKt;

// One best-track time: hours since the flight's first midnight, and seconds from the flight's start.
struct TrackTime {
  std::string date;  // YYYYMMDD
  int hour;
  double t;  // s after the first record
};

std::vector<TrackTime> track_times(const FlightOptions& o, int seconds) {
  const long day0 = days_from_civil(o.year, o.month, o.day);
  const int first = o.start_sec / 3600;
  const int last = (o.start_sec + seconds) / 3600 + 1;
  std::vector<TrackTime> times;
  for (int h = first; h <= last; ++h) {
    int y = 0, m = 0, d = 0;
    civil_from_days(day0 + h / 24, y, m, d);
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", y, m, d);
    times.push_back({date, h % 24, h * 3600.0 - o.start_sec});
  }
  return times;
}

std::string lat_text(double lat, int scale) {
  return std::to_string(std::lround(std::fabs(lat) * scale)) + (lat < 0 ? "S" : "N");
}
std::string lon_text(double lon, int scale) {
  return std::to_string(std::lround(std::fabs(lon) * scale)) + (lon < 0 ? "W" : "E");
}

// `text` after the blanks that make it `width` characters (none when it is as long or longer).
std::string right_aligned(const std::string& text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// What both track forms write of the storm, rounded as they write it: the field's largest wind (kt), its
// distance from the centre as the RMW (n mi) and the wind radii of 34, 50 and 64 kt per quadrant (n mi).
struct TrackIntensity {
  long vmax_kt = 0, rmw_nmi = 0;
  std::array<std::array<long, 4>, 3> radii_nmi{};
};

TrackIntensity track_intensity(const Storm& storm) {
  TrackIntensity out;
  const Peak peak = field_peak(storm);
  out.vmax_kt = std::lround(peak.wind / kMsPerKt);
  out.rmw_nmi = std::lround(peak.radius / kKmPerNmi);
  for (std::size_t k = 0; k < 3; ++k) {
    const auto r = storm.radii_km(kRadiiThresholdsKt[k] * kMsPerKt);
    for (std::size_t q = 0; q < 4; ++q) out.radii_nmi[k][q] = std::lround(r[q] / kKmPerNmi);
  }
  return out;
}

}  // namespace

std::string truth_storm_id(const Storm& storm, int year) {
  const std::string& id = storm.track_id;
  const bool atcf = id.size() == 8 && std::isupper(static_cast<unsigned char>(id[0])) &&
                    std::isupper(static_cast<unsigned char>(id[1])) &&
                    id.find_first_not_of("0123456789", 2) == std::string::npos;
  if (atcf) return id;
  char text[16];
  std::snprintf(text, sizeof text, "AL99%04d", year);
  return text;
}

std::string truth_storm_name(const Storm& storm) {
  if (storm.track_id.empty()) return "SIMULATED";
  return storm.track_name.empty() ? "UNNAMED" : storm.track_name;
}

void write_centre_track(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds) {
  out << "Sec,Lat,Lon\r\n";
  for (int t = 0; t <= seconds; t += 10) {
    double lat = 0.0, lon = 0.0;
    storm.centre(t, lat, lon);
    out << (o.start_sec + t) << ',' << format_trimmed(lat, 5) << ',' << format_trimmed(lon, 5) << "\r\n";
  }
}

void write_storm_facts(std::ostream& out, const Storm& storm) {
  const Peak peak = field_peak(storm);
  out << "quantity,value\r\n";
  out << "vmax_ms," << format_trimmed(peak.wind, 3) << "\r\n";
  out << "rmw_km," << format_trimmed(peak.radius, 3) << "\r\n";
  out << "motion_east_ms," << format_trimmed(storm.motion_east, 3) << "\r\n";
  out << "motion_north_ms," << format_trimmed(storm.motion_north, 3) << "\r\n";
  out << "asymmetry_ms," << format_trimmed(storm.asymmetry, 3) << "\r\n";
  static const char* const kQuadrant[] = {"NE", "SE", "SW", "NW"};
  for (double kt : kRadiiThresholdsKt) {
    const auto r = storm.radii_km(kt * kMsPerKt);
    for (std::size_t q = 0; q < 4; ++q)
      out << 'r' << static_cast<int>(kt) << "_km_" << kQuadrant[q] << ',' << format_trimmed(r[q], 1)
          << "\r\n";
  }
}

void write_storm_kind(std::ostream& out, const Storm& storm) {
  static const char* const kProfile[] = {"holland", "wdr", "concentric"};
  const Peak peak = field_peak(storm);
  out << "quantity,value\r\n";
  out << "profile," << kProfile[static_cast<int>(storm.profile)] << "\r\n";
  const std::pair<const char*, double> rows[] = {{"holland_b", storm.holland_b},
                                                 {"wdr_n", storm.wdr_n},
                                                 {"wdr_x1_km", storm.wdr_x1},
                                                 {"wdr_x2_km", storm.wdr_x2},
                                                 {"wdr_a", storm.wdr_a},
                                                 {"outer_radius_rmw", storm.outer_radius},
                                                 {"outer_ratio", storm.outer_ratio},
                                                 {"wn1_ms", storm.wn1},
                                                 {"wn1_dir_deg", storm.wn1_dir},
                                                 {"wn2_ms", storm.wn2},
                                                 {"wn2_dir_deg", storm.wn2_dir},
                                                 {"eye_wind_ms", storm.eye_wind},
                                                 {"rain_ring_rmw", storm.rain_ring},
                                                 {"rain_dir_deg", storm.rain_dir},
                                                 {"vmax_dir_deg", peak.bearing},
                                                 {"symmetric_vmax_ms", storm.vmax},
                                                 {"symmetric_rmw_km", storm.rmax},
                                                 {"epoch_s", storm.epoch},
                                                 {"lat0_deg", storm.lat0},
                                                 {"lon0_deg", storm.lon0}};
  for (const auto& [name, value] : rows) out << name << ',' << format_trimmed(value, 3) << "\r\n";
}

std::vector<FlownPass> flown_passes(const FlightOptions& o, const Storm& storm, int seconds) {
  constexpr double kRad = std::numbers::pi / 180.0;
  const FlightPlan plan = flight_plan(o, storm, seconds);
  const Track track = plan_track(plan, o, seconds);
  std::vector<FlownPass> flown;
  for (const PlannedPass& p : plan.passes) {
    if (p.leg >= track.leg_count()) break;
    // Signed distance of the centre, right of the pass, and its absolute value, at time t.
    auto miss_at = [&](double t) {
      const AircraftState a = aircraft_at(track, storm, t);
      double east = 0.0, north = 0.0;
      storm.offset_km(a.lat, a.lon, east, north, t);
      return std::pair{east * std::cos(p.heading * kRad) - north * std::sin(p.heading * kRad),
                       std::hypot(east, north)};
    };
    const double start = track.leg_start(p.leg), end = start + track.leg_length(p.leg);
    double best_t = start;
    for (double t = start; t <= end; t += 1.0)
      if (miss_at(t).second < miss_at(best_t).second) best_t = t;
    const double coarse = best_t;
    for (double t = coarse - 1.0; t <= coarse + 1.0; t += 0.1)
      if (miss_at(t).second < miss_at(best_t).second) best_t = t;
    if (best_t < 0.0 || best_t >= seconds) continue;
    flown.push_back({p, start, end, best_t, miss_at(best_t).first});
  }
  return flown;
}

void write_passes(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds) {
  out << "pass,t_s,Sec,heading_deg,planned_miss_km,miss_km\r\n";
  int number = 0;
  for (const FlownPass& f : flown_passes(o, storm, seconds)) {
    out << ++number << ',' << format_trimmed(f.closest, 1) << ','
        << format_trimmed(o.start_sec + f.closest, 1) << ',' << format_trimmed(f.plan.heading, 1) << ','
        << format_trimmed(f.plan.miss, 2) << ',' << format_trimmed(f.miss, 2) << "\r\n";
  }
}

void write_bdeck(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds) {
  const TrackIntensity in = track_intensity(storm);
  const auto& radii = in.radii_nmi;
  const std::string id = truth_storm_id(storm, o.year), name = truth_storm_name(storm);
  for (const TrackTime& tt : track_times(o, seconds)) {
    double lat = 0.0, lon = 0.0;
    storm.centre(tt.t, lat, lon);
    for (std::size_t k = 0; k < 3; ++k) {
      char line[256];
      std::snprintf(
          line, sizeof line,
          "%.2s, %.2s, %s%02d,   , BEST,   0, %5s, %6s, %3ld,  950, HU, %3d, NEQ, %4ld, %4ld, %4ld, "
          "%4ld, 1010,  250, %3ld,   0,   0,   L,   0,    ,   0,   0, ",
          id.c_str(), id.c_str() + 2, tt.date.c_str(), tt.hour, lat_text(lat, 10).c_str(),
          lon_text(lon, 10).c_str(), in.vmax_kt, static_cast<int>(kRadiiThresholdsKt[k]), radii[k][0],
          radii[k][1], radii[k][2], radii[k][3], in.rmw_nmi);
      out << line << right_aligned(name, 10) << ",\n";
    }
  }
}

void write_hurdat2(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds) {
  const TrackIntensity in = track_intensity(storm);
  const auto& radii = in.radii_nmi;
  const std::vector<TrackTime> times = track_times(o, seconds);
  char line[256];
  std::snprintf(line, sizeof line, ",     %2zu,", times.size());
  out << truth_storm_id(storm, o.year) << "," << right_aligned(truth_storm_name(storm), 19) << line << "\n";
  for (const TrackTime& tt : times) {
    double lat = 0.0, lon = 0.0;
    storm.centre(tt.t, lat, lon);
    std::snprintf(line, sizeof line, "%s, %02d00,  , HU, %5s, %6s, %3ld,  950", tt.date.c_str(), tt.hour,
                  (format_trimmed(std::fabs(lat), 1) + (lat < 0 ? "S" : "N")).c_str(),
                  (format_trimmed(std::fabs(lon), 1) + (lon < 0 ? "W" : "E")).c_str(), in.vmax_kt);
    out << line;
    for (const auto& row : radii)
      for (long r : row) out << ", " << format_I(static_cast<std::int32_t>(r), 4);
    out << ", " << format_I(static_cast<std::int32_t>(in.rmw_nmi), 4) << ",\n";
  }
}

}  // namespace sfmr::sim
