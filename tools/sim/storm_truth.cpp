#include "sim/storm_truth.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::sim {

namespace {

constexpr std::array<double, 3> kThresholdsKt = {34.0, 50.0, 64.0};

std::string num(double v, int decimals) {
  return format_trimmed(v, decimals);
}

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

std::array<std::array<long, 4>, 3> radii_nmi(const Storm& storm) {
  std::array<std::array<long, 4>, 3> out{};
  for (std::size_t k = 0; k < 3; ++k) {
    const auto r = storm.radii_km(kThresholdsKt[k] * kMsPerKt);
    for (std::size_t q = 0; q < 4; ++q) out[k][q] = std::lround(r[q] / kKmPerNmi);
  }
  return out;
}

}  // namespace

void write_centre_track(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds) {
  out << "Sec,Lat,Lon\r\n";
  for (int t = 0; t <= seconds; t += 10) {
    double lat = 0.0, lon = 0.0;
    storm.centre(t, lat, lon);
    out << (o.start_sec + t) << ',' << num(lat, 5) << ',' << num(lon, 5) << "\r\n";
  }
}

void write_storm_facts(std::ostream& out, const Storm& storm) {
  out << "quantity,value\r\n";
  out << "vmax_ms," << num(storm.vmax + storm.asymmetry, 3) << "\r\n";
  out << "rmw_km," << num(storm.rmax, 3) << "\r\n";
  out << "motion_east_ms," << num(storm.motion_east, 3) << "\r\n";
  out << "motion_north_ms," << num(storm.motion_north, 3) << "\r\n";
  out << "asymmetry_ms," << num(storm.asymmetry, 3) << "\r\n";
  static const char* const kQuadrant[] = {"NE", "SE", "SW", "NW"};
  for (double kt : kThresholdsKt) {
    const auto r = storm.radii_km(kt * kMsPerKt);
    for (std::size_t q = 0; q < 4; ++q)
      out << 'r' << static_cast<int>(kt) << "_km_" << kQuadrant[q] << ',' << num(r[q], 1) << "\r\n";
  }
}

void write_bdeck(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds) {
  const auto radii = radii_nmi(storm);
  const long vmax = std::lround((storm.vmax + storm.asymmetry) / kMsPerKt);
  const long rmw = std::lround(storm.rmax / kKmPerNmi);
  for (const TrackTime& tt : track_times(o, seconds)) {
    double lat = 0.0, lon = 0.0;
    storm.centre(tt.t, lat, lon);
    for (std::size_t k = 0; k < 3; ++k) {
      char line[256];
      std::snprintf(line, sizeof line,
                    "AL, 99, %s%02d,   , BEST,   0, %5s, %6s, %3ld,  950, HU, %3d, NEQ, %4ld, %4ld, %4ld, "
                    "%4ld, 1010,  250, %3ld,   0,   0,   L,   0,    ,   0,   0,  SIMULATED,",
                    tt.date.c_str(), tt.hour, lat_text(lat, 10).c_str(), lon_text(lon, 10).c_str(), vmax,
                    static_cast<int>(kThresholdsKt[k]), radii[k][0], radii[k][1], radii[k][2], radii[k][3],
                    rmw);
      out << line << "\n";
    }
  }
}

void write_hurdat2(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds) {
  const auto radii = radii_nmi(storm);
  const long vmax = std::lround((storm.vmax + storm.asymmetry) / kMsPerKt);
  const long rmw = std::lround(storm.rmax / kKmPerNmi);
  const std::vector<TrackTime> times = track_times(o, seconds);
  char line[256];
  std::snprintf(line, sizeof line, "AL99%04d,          SIMULATED,     %2zu,", o.year, times.size());
  out << line << "\n";
  for (const TrackTime& tt : times) {
    double lat = 0.0, lon = 0.0;
    storm.centre(tt.t, lat, lon);
    std::snprintf(line, sizeof line, "%s, %02d00,  , HU, %5s, %6s, %3ld,  950", tt.date.c_str(), tt.hour,
                  (num(std::fabs(lat), 1) + (lat < 0 ? "S" : "N")).c_str(),
                  (num(std::fabs(lon), 1) + (lon < 0 ? "W" : "E")).c_str(), vmax);
    out << line;
    for (const auto& row : radii)
      for (long r : row) out << ", " << format_I(static_cast<std::int32_t>(r), 4);
    out << ", " << format_I(static_cast<std::int32_t>(rmw), 4) << ",\n";
  }
}

}  // namespace sfmr::sim
