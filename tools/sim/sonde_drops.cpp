#include "sim/sonde_drops.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <set>

#include "common/earth.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "sim/random.hpp"
#include "sim/storm_truth.hpp"
#include "sonde/tempdrop_codes.hpp"

namespace sfmr::sim {

namespace {

using sonde::tempdrop::kDryAirGasConstant;
using sonde::tempdrop::kGravity;

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kRoughness = 1e-3;    // z0 of the log law, m
constexpr double kLapseRate = 0.0065;  // K/m
constexpr double kKelvin = 273.15;     // K at 0 deg C
constexpr double kSampleStep = 0.5;    // s between samples
constexpr double kTruthHeight = 10.0;  // height of the truth's wind, m
// Across-wind over along-wind turbulence (sigma_v / sigma_u).
constexpr double kCrossGustShare = 0.8;
// The sondes' own random sequence (xor-ed with the flight's seed).
constexpr std::uint64_t kSondeSeed = 0xd1b54a32d192ed03u;
// Dew-point depression of the sonde's air, K.
constexpr double kDepression = 1.0;

double bearing_deg(double east, double north) {
  return std::fmod(std::atan2(east, north) / kDeg + 360.0, 360.0);
}

// The storm's wind at a point and height at time t (s after the first record).
sonde::Wind wind_at(const Storm& storm, double lat, double lon, double z, double t) {
  double east = 0.0, north = 0.0;
  storm.offset_km(lat, lon, east, north, t);
  const double share = std::clamp(z / kFlightAltitudeM, 0.0, 1.0);
  const double inflow = kSurfaceInflowDeg + share * (kFlightInflowDeg - kSurfaceInflowDeg);
  return {.from_deg = cyclonic_from_deg(bearing_deg(east, north), inflow, lat),
          .speed = storm.wind(lat, lon, t) * wind_shape(z)};
}

// The gusts a sonde meets as it falls: two standard normal deviates (along and across the mean wind),
// each an AR(1) sequence in the height fallen with correlation exp(-dz / kTurbulenceScale).
struct Gusts {
  double along = 0.0, across = 0.0;
  explicit Gusts(Rng& rng) : along(rng.normal()), across(rng.normal()) {}
  void fall(Rng& rng, double dz) {
    const double r = std::exp(-std::fabs(dz) / kTurbulenceScale), q = std::sqrt(1.0 - r * r);
    along = r * along + q * rng.normal();
    across = r * across + q * rng.normal();
  }
};

// The wind blowing the sonde (the mean wind and its gusts) and the wind it reports (that plus the GPS
// wind's error).
struct SampledWind {
  sonde::Wind air, measured;
};
SampledWind sample_wind(const sonde::Wind& mean, const Gusts& g, Rng& rng) {
  const double to = (mean.from_deg + 180.0) * kDeg;
  const double along = mean.speed * (1.0 + kTurbulenceIntensity * g.along);
  const double across = mean.speed * kTurbulenceIntensity * kCrossGustShare * g.across;
  // East and north components of the air's motion (blowing towards `to`).
  const double east = along * std::sin(to) + across * std::cos(to);
  const double north = along * std::cos(to) - across * std::sin(to);
  const auto wind = [](double e, double n) {
    return sonde::Wind{.from_deg = bearing_deg(-e, -n), .speed = std::hypot(e, n)};
  };
  const double ge = kGpsWindError * rng.normal(), gn = kGpsWindError * rng.normal();
  return {wind(east, north), wind(east + ge, north + gn)};
}

// Where the sonde is, in the eye, the eyewall or outside it, as the message's remarks say it.
std::string where_text(double east, double north, double rmw) {
  const double r = std::hypot(east, north);
  char text[32];
  std::snprintf(text, sizeof text, "%03ld", std::lround(bearing_deg(east, north)) % 360);
  if (r < 0.5 * rmw) return "EYE";
  if (r < 1.5 * rmw) return std::string("EYEWALL ") + text;
  return "RAINBAND";
}

// The sonde released from the aircraft at second `f` (rmw: the field's radius of maximum wind, km): its fall,
// sample by sample, to its lowest sample above the waves.
Drop fall(const FlightOptions& o, const Storm& storm, const Balance& balance, double rmw,
          const FlightSecond& f, int number, Rng& rng) {
  const Mission mission = flight_mission(o, storm);
  Drop d;
  sonde::Sonde& s = d.sonde;
  char id[64];
  std::snprintf(id, sizeof id, "%s-%s-OB%02d", mission.aircraft.c_str(), mission.mission.c_str(), number);
  s.id = id, s.aircraft = mission.aircraft, s.mission = mission.mission, s.storm = mission.storm_name;
  s.observation = number;
  s.where = where_text(f.east, f.north, rmw);
  const double start = flight_start_seconds(o);
  s.release = {.time = start + f.t, .lat = f.lat, .lon = f.lon};
  s.release_altitude = f.alt;
  double z = f.alt, lat = f.lat, lon = f.lon, t = 0.0;
  const double ts = kSurfaceTemperatureC + kKelvin;
  // The sampling's phase: the first sample after the release comes within one step of it, so that the
  // last sample above the waves' crests lies anywhere within one step's fall above them.
  double dt = kSampleStep * (1.0 - rng.uniform());
  Gusts gusts(rng);
  for (;;) {
    double east = 0.0, north = 0.0;
    storm.offset_km(lat, lon, east, north, f.t + t);
    const double ps = balance.surface_hpa(std::hypot(east, north));
    const double tz = ts - kLapseRate * z;
    const double p = ps * std::exp(-kGravity * z / (kDryAirGasConstant * 0.5 * (ts + tz)));
    sonde::Level l;
    l.kind = sonde::LevelKind::kSample;
    l.time = t, l.height = z, l.pressure = p;
    l.temperature = tz - kKelvin, l.dewpoint_depression = kDepression;
    const SampledWind w = sample_wind(wind_at(storm, lat, lon, z, f.t + t), gusts, rng);
    l.wind = w.measured;
    s.levels.push_back(l);
    // Fall speed as 1 / sqrt(density): rho_s / rho = (ps / p) (tz / ts).
    const double fall_speed = kSurfaceFallSpeed * std::sqrt(ps / p * tz / ts);
    if (z - fall_speed * dt < kWaveCrest) break;
    gusts.fall(rng, fall_speed * dt);
    z -= fall_speed * dt;
    const double a = w.air.from_deg * kDeg;
    // Drifting with the air (blowing towards from + 180 deg).
    const earth::KmPerDegree k = earth::km_per_degree(lat);
    lat -= w.air.speed * std::cos(a) * dt / 1000.0 / k.lat;
    lon -= w.air.speed * std::sin(a) * dt / 1000.0 / k.lon;
    t += dt;
    dt = kSampleStep;
  }
  s.splash = {.time = s.release.time + t, .lat = lat, .lon = lon};
  d.truth = wind_at(storm, lat, lon, kTruthHeight, f.t + t);
  return d;
}

// Seconds of the passes' eye, eyewall and outer points, over the sea, in time order.
std::vector<std::size_t> pass_points(const FlightOptions& o, const Storm& storm,
                                     const std::vector<FlightSecond>& s) {
  const double rmw = field_peak(storm).radius;
  std::set<std::size_t> points;
  auto add = [&](double t) {
    const auto k = static_cast<std::size_t>(std::max(t, 0.0));
    if (k < s.size() && !s[k].land) points.insert(k);
  };
  for (const FlownPass& pass : flown_passes(o, storm, static_cast<int>(s.size()))) {
    add(pass.start + 30.0);
    add(pass.closest);
    // Where the leg is nearest the radius of maximum wind, inbound and outbound.
    for (const auto& [from, to] : {std::pair{pass.start, pass.closest}, std::pair{pass.closest, pass.end}}) {
      double best = from, off = 1e9;
      for (double t = from; t <= to && t < static_cast<double>(s.size()); t += 1.0) {
        const auto& f = s[static_cast<std::size_t>(std::max(t, 0.0))];
        const double d = std::fabs(std::hypot(f.east, f.north) - rmw);
        if (d < off) off = d, best = t;
      }
      add(best);
    }
  }
  return {points.begin(), points.end()};
}

}  // namespace

double wind_shape(double z) {
  const auto log_law = [](double h) { return std::log(h / kRoughness) / std::log(10.0 / kRoughness); };
  if (z <= kJetHeight) return log_law(std::max(z, kRoughness));
  const double share = std::min((z - kJetHeight) / (kFlightAltitudeM - kJetHeight), 1.0);
  return log_law(kJetHeight) + share * (1.0 / kSurfaceOverFlightLevel - log_law(kJetHeight));
}

std::vector<Drop> drop_sondes(const FlightOptions& o, const Storm& storm, const std::vector<FlightSecond>& s,
                              int count) {
  const std::vector<std::size_t> points = pass_points(o, storm, s);
  std::vector<std::size_t> chosen;
  const auto n = static_cast<std::size_t>(std::max(count, 0));
  if (n <= points.size()) {
    for (std::size_t i = 0; i < n; ++i) chosen.push_back(points[(2 * i + 1) * points.size() / (2 * n)]);
  } else {
    std::set<std::size_t> all(points.begin(), points.end());
    std::vector<std::size_t> sea;
    for (std::size_t k = 0; k < s.size(); ++k)
      if (!s[k].land && all.count(k) == 0) sea.push_back(k);
    const std::size_t extra = std::min(n - points.size(), sea.size());
    for (std::size_t i = 0; i < extra; ++i) all.insert(sea[(2 * i + 1) * sea.size() / (2 * extra)]);
    chosen.assign(all.begin(), all.end());
  }
  const Balance balance(storm);
  const double rmw = field_peak(storm).radius;
  Rng rng(o.seed ^ kSondeSeed);
  std::vector<Drop> drops;
  for (std::size_t k : chosen)
    drops.push_back(fall(o, storm, balance, rmw, s[k], static_cast<int>(drops.size()) + 1, rng));
  return drops;
}

std::string sonde_truth_csv(const FlightOptions& o, const std::vector<Drop>& drops) {
  std::string out = "id,splash_time_s,Sec,lat,lon,speed_ms,from_deg\r\n";
  const double midnight = flight_start_seconds(o) - o.start_sec;
  for (const Drop& d : drops) {
    char line[200];
    std::snprintf(line, sizeof line, "%s,%.1f,%.1f,%.5f,%.5f,%.3f,%.2f\r\n", d.sonde.id.c_str(),
                  d.sonde.splash.time, d.sonde.splash.time - midnight, d.sonde.splash.lat, d.sonde.splash.lon,
                  d.truth.speed, d.truth.from_deg);
    out += line;
  }
  return out;
}

std::string eol_file_name(const sonde::Sonde& s) {
  const double t = std::floor(s.release.time);
  int y = 0, m = 0, d = 0;
  civil_from_days(static_cast<long>(std::floor(t / kSecondsPerDay)), y, m, d);
  const long sod = static_cast<long>(t - std::floor(t / kSecondsPerDay) * kSecondsPerDay);
  char name[64];
  std::snprintf(name, sizeof name, "D%04d%02d%02d_%02ld%02ld%02ld_P.QC.eol", y, m, d, sod / 3600,
                sod / 60 % 60, sod % 60);
  return name;
}

}  // namespace sfmr::sim
