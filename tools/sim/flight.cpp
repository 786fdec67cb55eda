#include "sim/flight.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <sstream>
#include <string_view>
#include <vector>

#include "common/earth.hpp"
#include "common/time_text.hpp"
#include "core/calendar.hpp"
#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "records/thermal.hpp"
#include "retrieval/forward_model.hpp"
#include "retrieval/solver.hpp"
#include "sim/random.hpp"
#include "sim/sst_grid.hpp"
#include "sim/track.hpp"
#include "sst/sst_field.hpp"

namespace sfmr::sim {

namespace {

constexpr std::int32_t kCountSpan = 20000;  // counts between the two references of a "%B" line

// Fields joined by commas, as the records are written.
std::string csv(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& f : fields) {
    if (!line.empty()) line += ',';
    line += f;
  }
  return line;
}

struct Date {
  int day, month, year;
  // The next day of the calendar.
  void advance() { civil_from_days(days_from_civil(year, month, day) + 1, year, month, day); }
  std::string text() const {
    return format_I(day, 2, 2) + "/" + format_I(month, 2, 2) + "/" + format_I(year, 4);
  }
};

// Instrument temperature counts of one second: eight sensors drifting slowly about their working points.
std::array<std::int32_t, 8> thermal_counts(double t) {
  static const double kWorkingPoint[8] = {35.0, 36.0, 38.5, 39.2, 40.1, 41.3, 42.0, 30.0};  // deg C
  std::array<std::int32_t, 8> counts{};
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const double temp =
        kWorkingPoint[i] + 0.5 * std::sin(2.0 * std::numbers::pi * t / 3600.0 + static_cast<double>(i));
    // Inverse of the sensor conversions: deg C = count x 0.102 - 41 (x 0.096 - 63 for sensors 5 and 6).
    counts[i] = static_cast<std::int32_t>(
        std::lround(i == 5 || i == 6 ? (temp + 63.0) / 0.096 : (temp + 41.0) / 0.102));
  }
  return counts;
}

// Damage of the kinds real records show: a line cut short, a character garbled, a stray line. Returns true
// when it damaged the line or added one.
bool write_line(std::ostream& out, std::string line, double damage, Rng& rng) {
  const bool damaged = damage > 0.0 && rng.chance(damage);
  if (damaged) {
    switch (rng.below(3)) {
      case 0:
        line.resize(static_cast<std::size_t>(3 + rng.below(static_cast<int>(line.size()) - 3)));
        break;
      case 1: {
        static const char kJunk[] = "x#/ .,-*?";
        line[static_cast<std::size_t>(2 + rng.below(static_cast<int>(line.size()) - 2))] =
            kJunk[rng.below(9)];
        break;
      }
      default:
        out << "@@" << static_cast<char>('A' + rng.below(26)) << " line noise\r\n";
        break;
    }
  }
  out << line << "\r\n";
  return damaged;
}

// Damage of the kinds a failing medium or transfer shows: one bit flipped, or the line replaced by binary
// noise (any byte values, line feeds and NULs included). Lines stay at least 3 characters long.
void damage_binary(std::string& line, Rng& rng) {
  if (rng.below(2) == 0 && !line.empty()) {
    line[static_cast<std::size_t>(rng.below(static_cast<int>(line.size())))] ^=
        static_cast<char>(1 << rng.below(8));
    return;
  }
  line.assign(static_cast<std::size_t>(8 + rng.below(40)), ' ');
  for (char& c : line) c = static_cast<char>(rng.below(256));
}

}  // namespace

Radiometer sample_radiometer() {
  Radiometer r;
  for (std::size_t k = 0; k < r.coef.size(); ++k) {
    const float kf = static_cast<float>(k);
    r.coef[k] = {-8.0f - kf, 3.5f, 290.0f + 4.0f * kf, -7.0f, 1.75f, 0.7f, 3.5f, -1.75f, 0.35f};
  }
  return r;
}

double ratio_for_tb(const std::array<float, 9>& c, const std::array<float, 8>& th, double tb) {
  const double th2 = th[2], th3 = th[3], th4 = th[4], th5 = th[5], th6 = th[6];
  const double fixed = c[0] + (c[1] * th4 + c[4] * th5 + c[5] * th2 + c[7] * th3 + c[8] * th6) / 35.0;
  const double per_ratio = c[2] + (c[3] * th4 + c[6] * th3) / 35.0;
  return (tb - fixed) / per_ratio;
}

std::array<std::int32_t, 3> counts_for_ratio(double ratio, std::int32_t hot) {
  return {hot - static_cast<std::int32_t>(std::lround(ratio * kCountSpan)), hot, hot - kCountSpan};
}

double model_wind_for(double wind, double rain) {
  return (wind + kRainWind0 * rain) / (1.0 + kRainWind1 * rain);
}

AircraftState aircraft_at(const Track& track, const Storm& storm, double t) {
  AircraftState a = track.at(t);
  double lat = 0.0, lon = 0.0, lat_start = 0.0, lon_start = 0.0;
  storm.centre(t, lat, lon);
  storm.centre(0.0, lat_start, lon_start);
  a.lat += lat - lat_start;
  a.lon += lon - lon_start;
  return a;
}

namespace {

// The figure-four as first flown: east-west legs pass miss_km north of the centre, north-south legs miss_km
// west of it (to the right of a westbound and a southbound aircraft), from end points 1.1 degrees of
// longitude and 1 degree of latitude out; the plan repeats from its first pass.
void classic_figure4(const FlightOptions& o, double clat, double clon, FlightPlan& plan) {
  const earth::KmPerDegree k = earth::km_per_degree(clat);
  const double dlat = o.miss_km / k.lat, dlon = o.miss_km / k.lon;
  const Waypoint east{clat + dlat, clon + 1.1}, west{clat + dlat, clon - 1.1};
  const Waypoint north{clat + 1.0, clon - dlon}, south{clat - 1.0, clon - dlon};
  plan.waypoints.insert(plan.waypoints.end(), {east, west, north, south});
}

// Bearings (deg clockwise from north) of the start points of a pattern's passes, in the order flown.
std::vector<double> pass_starts(Pattern pattern) {
  switch (pattern) {
    case Pattern::kAlpha:
      return {90.0, 0.0, 270.0, 180.0};
    case Pattern::kButterfly:
      return {0.0, 240.0, 120.0};
    default:
      return {90.0, 0.0};
  }
}

}  // namespace

double flight_start_seconds(const FlightOptions& o) {
  return double{kSecondsPerDay} * static_cast<double>(days_from_civil(o.year, o.month, o.day)) + o.start_sec;
}

FlightPlan flight_plan(const FlightOptions& o, const Storm& storm, int seconds) {
  FlightPlan plan;
  const Waypoint base{27.98, -81.95};  // inland Florida
  if (o.land_leg) plan.waypoints.push_back(base);
  plan.loop_from = plan.waypoints.size();
  double clat = 0.0, clon = 0.0;
  storm.centre(0.0, clat, clon);
  const bool classic = o.pattern == Pattern::kFigure4 && o.pattern_rotation == 0.0 && o.misses.empty();
  // Enough passes for the flight at 130 m/s: each pass and cross leg together cover at least 160 km.
  const int count = o.pattern == Pattern::kSingle ? 1 : static_cast<int>(seconds * 0.130 / 160.0) + 3;
  const std::vector<double> starts = pass_starts(o.pattern);
  Rng rng(o.seed ^ 0x5bd1e9955bd1e995u);  // its own sequence: the flight's draws stay as they are
  for (int i = 0; i < count; ++i) {
    double start = starts[static_cast<std::size_t>(i) % starts.size()], reach = 110.0;
    double miss = o.misses.empty() ? o.miss_km : o.misses[static_cast<std::size_t>(i) % o.misses.size()];
    if (o.pattern == Pattern::kRandom) {
      start = 360.0 * rng.uniform();
      reach = 80.0 + 80.0 * rng.uniform();
      const double spread = (2.0 * rng.uniform() - 1.0) * std::fabs(o.miss_km);
      if (o.misses.empty()) miss = spread;
    }
    start += o.pattern_rotation + (o.pattern == Pattern::kRotated4 && o.pattern_rotation == 0.0 ? 45.0 : 0.0);
    const double heading = std::fmod(start + 180.0, 360.0);
    plan.passes.push_back({0, heading, miss});
    if (classic) continue;
    // km east and north of the centre: the start point, the end point (far beyond for a single pass) and
    // the miss, to the right of the heading.
    const double s = start * std::numbers::pi / 180.0, h = heading * std::numbers::pi / 180.0;
    const double right_e = miss * std::cos(h), right_n = -miss * std::sin(h);
    const double beyond = o.pattern == Pattern::kSingle ? reach + seconds * 0.130 : reach;
    auto point = [&](double e, double n) {
      const earth::KmPerDegree k = earth::km_per_degree(clat);
      return Waypoint{clat + (n + right_n) / k.lat, clon + (e + right_e) / k.lon};
    };
    plan.waypoints.push_back(point(reach * std::sin(s), reach * std::cos(s)));
    plan.waypoints.push_back(point(-beyond * std::sin(s), -beyond * std::cos(s)));
  }
  // The classic plan repeats its four points (east, west, north, south), which fly the same legs.
  if (classic) classic_figure4(o, clat, clon, plan);
  // Pass k flies leg 2k after the ferry: every pass is followed by one cross leg.
  for (std::size_t k = 0; k < plan.passes.size(); ++k) plan.passes[k].leg = plan.loop_from + 2 * k;
  return plan;
}

Track plan_track(const FlightPlan& plan, const FlightOptions& o, int seconds) {
  return Track(plan.waypoints, plan.loop_from, seconds, 130.0, 3000.0, o.turn_roll);
}

bool over_land(const SstField* field, double lat, double lon) {
  if (field == nullptr) return false;
  State probe;
  probe.acft.Lat = static_cast<float>(lat);
  probe.acft.Lon = static_cast<float>(lon);
  float sst = 0.0f;
  field->getsst(probe, sst);
  return sst == -1.0f;
}

namespace {

// What a second's measurements are simulated from.
struct FlightScene {
  const Storm& storm;
  const Radiometer& radiometer;
  const SstField* field;
  const Track& track;
};

// The raw file as it is written, with the damage of the options: garbled lines from `rng`; binary damage
// from a sequence of its own, so that a flight with it differs from one without only by that damage; the
// byte ranges of the damaged records when `damaged` is given.
struct RawWriter {
  RawWriter(const FlightOptions& o, Rng& rng, std::vector<ByteRange>* damaged)
      : o(o), rng(rng), binary_rng(o.seed ^ 0x9e3779b97f4a7c15u), damaged(damaged) {}

  void record(std::string line) {
    std::string original = damaged ? line : std::string();
    const bool binary = o.binary_damage > 0.0 && binary_rng.chance(o.binary_damage);
    if (binary) damage_binary(line, binary_rng);
    const auto begin = static_cast<std::size_t>(raw.tellp());
    if (write_line(raw, std::move(line), o.damage, rng) || binary) {
      if (damaged) damaged->push_back({begin, static_cast<std::size_t>(raw.tellp()), std::move(original)});
    }
  }

  const FlightOptions& o;
  Rng& rng;
  Rng binary_rng;
  std::vector<ByteRange>* damaged;
  std::ostringstream raw;  // the whole raw file, of which `o.keep` is written at the end
};

// The two "%B" channel measurements of second t, stepping through the six channels, at the half seconds;
// `air_k` is the second's air temperature (K) and `th` the thermal temperatures of its "%T" line.
void write_channel_records(RawWriter& w, const FlightScene& scene, int t, double air_k,
                           const std::array<float, 8>& th) {
  for (int half = 0; half < 2; ++half) {
    const int ch = (2 * t + half) % 6;
    const auto k = static_cast<std::size_t>(ch);
    const AircraftState m = aircraft_at(scene.track, scene.storm, t + 0.5 * half);
    const double wind = scene.storm.wind(m.lat, m.lon, t + 0.5 * half);
    const double rain = scene.storm.rain(m.lat, m.lon, t + 0.5 * half);
    const double sst = sst_climatology(m.lat, m.lon);
    double tb = 0.0;
    if (over_land(scene.field, m.lat, m.lon)) {
      tb = 276.0 + 3.0 * std::sin(t / 97.0);  // land: emissivity near 0.92 at 300 K
    } else {
      std::array<float, 6> emis{};
      klsw_loop(scene.radiometer.freq, static_cast<float>(sst), emis, scene.radiometer.serial, 6);
      const std::array<float, 2> state = {static_cast<float>(model_wind_for(wind, rain)),
                                          static_cast<float>(rain)};
      tb = tbsfmr(scene.radiometer.freq[k], static_cast<float>(sst + kKelvinOffset),
                  static_cast<float>(m.alt), static_cast<float>(air_k), emis[k], state);
    }
    tb += w.o.noise * w.rng.normal();
    const std::int32_t hot = 40000 + static_cast<std::int32_t>(std::lround(200.0 * std::sin(t / 1000.0)));
    const auto c = counts_for_ratio(ratio_for_tb(scene.radiometer.coef[k], th, tb), hot);
    w.record(
        csv({"%B", std::to_string(ch), std::to_string(c[0]), std::to_string(c[1]), std::to_string(c[2])}));
  }
}

}  // namespace

int write_flight(const FlightOptions& o, const Storm& storm, const Radiometer& radiometer,
                 const SstField* field, std::ostream& raw_file, std::ostream& truth,
                 std::vector<ByteRange>* damaged) {
  Rng rng(o.seed);
  RawWriter w(o, rng, damaged);
  std::ostringstream& raw = w.raw;
  auto write_record = [&w](std::string line) { w.record(std::move(line)); };
  const int seconds = static_cast<int>(std::lround(o.hours * 3600.0));
  const FlightPlan plan = flight_plan(o, storm, seconds);
  const Track track = plan_track(plan, o, seconds);

  std::istringstream no_input;
  std::ostringstream discard;
  Console quiet(no_input, discard);
  State th_state;  // the thermal decoder's view of each "%T" line

  Date date{o.day, o.month, o.year};
  const int gap_start = seconds / 3;
  truth << "Sec,WS,RR,Lat,Lon,Land\r\n";
  raw << "%I SFMR simulated flight, seed " << o.seed << "\r\n";
  raw << "%P 2 " << radiometer.serial << " SFMR\r\n";

  for (int t = 0; t < seconds; ++t) {
    const std::int32_t sec = (o.start_sec + t) % kSecondsPerDay;
    if (t > 0 && sec == 0) date.advance();
    const std::string stamp = date.text() + "," + tool::clock_text(sec);
    const AircraftState a = aircraft_at(track, storm, t);
    const bool land = over_land(field, a.lat, a.lon);
    const double wind = storm.wind(a.lat, a.lon, t);
    const double rain = storm.rain(a.lat, a.lon, t);
    const double sst = sst_climatology(a.lat, a.lon);
    const double air_k = 283.15 - 0.0065 * (a.alt - 3000.0) + 0.4 * std::sin(t / 900.0);
    truth << sec << ',' << format_trimmed(wind, 3) << ',' << format_trimmed(rain, 3) << ','
          << format_trimmed(a.lat, 4) << ',' << format_trimmed(a.lon, 4) << ',' << (land ? 1 : 0) << "\r\n";

    const bool in_gap = o.gap_seconds > 0 && t >= gap_start && t < gap_start + o.gap_seconds;
    if (!in_gap && !rng.chance(o.drop_acft)) {
      // The aircraft's sensor reports true kelvin (273.15); the processing converts back with its own offset.
      const double sst_k = land ? 305.0 : sst + 273.15 + 0.3 * rng.normal();
      write_record(csv({"%A", stamp, format_trimmed(a.lat, 4), format_trimmed(a.lon, 4),
                        format_trimmed(a.alt, 1), format_trimmed(a.pitch, 2), format_trimmed(a.roll, 2),
                        format_trimmed(air_k, 2), format_trimmed(sst_k, 2), format_trimmed(a.alt + 15.0, 1),
                        format_trimmed(a.heading, 1), format_trimmed(130.0 + 2.0 * rng.normal(), 1),
                        format_trimmed(701.0 - 0.01 * (a.alt - 3000.0), 1), format_trimmed(1.15 * wind, 1)}));
    }

    const std::array<std::int32_t, 8> counts = thermal_counts(t);
    std::string therm = "%T";
    for (std::int32_t c : counts) {
      therm += ' ';
      therm += std::to_string(c);
    }
    decodetherm(th_state, quiet, fixed_text(therm));
    write_record(therm);

    const double onboard_ws = land ? 0.0 : std::max(0.0, wind + 0.8 * rng.normal());
    const double onboard_rr = land ? 0.0 : std::max(0.0, rain + 0.4 * rng.normal());
    write_record(csv({"%R", stamp, format_trimmed(onboard_ws, 1), format_trimmed(onboard_rr, 1),
                      format_trimmed(0.3 + 0.2 * std::fabs(rng.normal()), 2), "0",
                      land ? "00100000000" : "00000000000"}));

    write_channel_records(w, {storm, radiometer, field, track}, t, air_k, th_state.sfmr.Th);
  }
  const std::string text = raw.str();
  const auto kept = static_cast<std::size_t>(std::clamp(o.keep, 0.0, 1.0) * static_cast<double>(text.size()));
  raw_file << std::string_view(text).substr(0, kept);
  if (damaged && kept > 0 && kept < text.size())
    damaged->push_back({kept - 1, kept, {}});  // the line cut off
  return seconds;
}

void write_calibration_file(std::ostream& out, const Radiometer& radiometer) {
  out << "# SFMR calibration constants c1..c9 per channel\r\n";
  out << "# Tb = c1 + c3 N + (c2 Th4 + c4 N Th4 + c5 Th5 + c6 Th2 + c7 N Th3 + c8 Th3 + c9 Th6) / 35\r\n";
  auto block = [&out](const std::string& header, const std::array<std::array<float, 9>, 6>& coef) {
    out << header << "\r\n";
    out << "# channel constants, channel 0 first\r\n";
    for (const auto& row : coef) {
      std::string line;
      for (float c : row) line += format_F(c, 10, 4);
      out << line << "\r\n";
    }
  };
  std::array<std::array<float, 9>, 6> other{};
  for (auto& row : other) row = {-12.0f, 2.0f, 301.0f, -5.0f, 1.0f, 1.0f, 2.0f, -1.0f, 0.0f};
  block("US-  3  (retired unit)", other);
  block("US-" + format_I(radiometer.serial, 3) + "  (simulated unit)", radiometer.coef);
  other[0][0] = -99.0f;
  block("US- 12", other);
}

void write_setup_file(std::ostream& out, const std::string& raw, const std::string& cal,
                      const std::string& sst, const Radiometer& radiometer) {
  out << "# sfmrbatch setup for the simulated flight\r\n";
  out << "&A raw data file\r\n" << raw << "\r\n";
  out << "&B calibration file\r\n" << cal << "\r\n";
  out << "&C SST grid file\r\n" << sst << "\r\n";
  out << "&D channel frequencies, GHz\r\n";
  for (std::size_t k = 0; k < radiometer.freq.size(); ++k)
    out << (k ? " " : "") << format_trimmed(radiometer.freq[k], 2);
  out << "\r\n";
  out << "&E default SST: negative takes the SST from the grid, 20 deg C where it has none\r\n-20.0\r\n";
  out << "&F channel filter: least-squares line, threshold 2.0 K\r\n2.0\r\n";
}

}  // namespace sfmr::sim
