#include "sim/recon_messages.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "common/earth.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "recon/hdob.hpp"
#include "recon/vdm.hpp"
#include "sim/random.hpp"
#include "sim/storm_truth.hpp"
#include "sonde/tempdrop_codes.hpp"

namespace sfmr::sim {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDeg = std::numbers::pi / 180.0;
// Seeds of the messages' own random draws, apart from the flight's.
constexpr std::uint64_t kSecondsSeed = 0x4844'4f42'0000'0001u;
constexpr std::uint64_t kFixSeed = 0x5644'4d00'0000'0002u;
constexpr std::uint64_t kAirSeed = 0x4149'5200'0000'0003u;
// Dew-point depression at flight level in rain (above 5 mm/h) and outside it, K.
constexpr double kDepressionRain = 0.5, kDepressionDry = 3.0;

double bearing_deg(double east, double north) {
  return std::fmod(std::atan2(east, north) / kDeg + 360.0, 360.0);
}

// The 10-s vector mean of the flight-level wind ending at second k: speed and from-direction.
void ten_second_flight_wind(const std::vector<FlightSecond>& s, std::size_t k, double& speed, double& from) {
  double u = 0.0, v = 0.0;
  const std::size_t first = k >= 9 ? k - 9 : 0;
  for (std::size_t j = first; j <= k; ++j) {
    u += s[j].fl_speed * std::sin(s[j].fl_from * kDeg);
    v += s[j].fl_speed * std::cos(s[j].fl_from * kDeg);
  }
  const double n = static_cast<double>(k - first + 1);
  speed = std::hypot(u, v) / n;
  from = bearing_deg(u, v);
}

}  // namespace

std::vector<FlightSecond> flight_seconds(const FlightOptions& o, const Storm& storm, const SstField* field,
                                         int seconds, const AirOptions& air) {
  const FlightPlan plan = flight_plan(o, storm, seconds);
  const Track track = plan_track(plan, o, seconds);
  const Balance balance(storm);
  Rng rng(o.seed ^ kSecondsSeed);
  std::vector<FlightSecond> out;
  out.reserve(static_cast<std::size_t>(std::max(seconds, 0)));
  for (int k = 0; k < seconds; ++k) {
    const double t = k;
    const AircraftState a = aircraft_at(track, storm, t);
    FlightSecond f;
    f.t = t, f.lat = a.lat, f.lon = a.lon, f.alt = a.alt;
    storm.offset_km(a.lat, a.lon, f.east, f.north, t);
    const double r = std::hypot(f.east, f.north);
    f.land = over_land(field, a.lat, a.lon);
    f.wind = storm.wind(a.lat, a.lon, t);
    f.rain = storm.rain(a.lat, a.lon, t);
    f.sfmr_wind = std::max(0.0, f.wind + kRetrievalNoise * rng.normal());
    const double vortex = std::max(0.0, f.wind / kSurfaceOverFlightLevel + kTurbulence * rng.normal());
    const double from = cyclonic_from_deg(bearing_deg(f.east, f.north), air.inflow_deg, a.lat);
    // Blowing towards (u, v), m/s east and north: the vortex's wind carried along with the storm.
    const double u = -vortex * std::sin(from * kDeg) + storm.motion_east;
    const double v = -vortex * std::cos(from * kDeg) + storm.motion_north;
    if (storm.motion_east == 0.0 && storm.motion_north == 0.0) {
      f.fl_speed = vortex, f.fl_from = from;  // the vortex's own, not through the vector sum
    } else {
      f.fl_speed = std::hypot(u, v), f.fl_from = bearing_deg(-u, -v);
    }
    const double t_c = balance.flight_temperature_c(r);
    // The static pressure at the aircraft's own height, hydrostatically from the 3000-m value.
    f.static_hpa = balance.flight_hpa(r) * std::exp(-(a.alt - kFlightAltitudeM) * sonde::tempdrop::kGravity /
                                                    (sonde::tempdrop::kDryAirGasConstant * (t_c + 273.15)));
    f.surface_hpa = balance.surface_hpa(r);
    f.temperature_c = t_c + 0.4 * std::sin(t / 900.0);  // the raw file's slow swing of the air temperature
    f.dew_point_c = f.temperature_c - (f.rain > 5.0 ? kDepressionRain : kDepressionDry);
    out.push_back(f);
  }
  return out;
}

double ten_second_wind(const std::vector<FlightSecond>& s, std::size_t k, double* rain) {
  if (k < 9 || k >= s.size()) return kNaN;
  double wind = 0.0, r = 0.0;
  for (std::size_t j = k - 9; j <= k; ++j) {
    if (s[j].land) return kNaN;
    wind += s[j].sfmr_wind;
    r += s[j].rain;
  }
  if (rain != nullptr) *rain = r / 10.0;
  return wind / 10.0;
}

namespace {

// The observation of the 30 s from 15 s before second `k` to 15 s after it.
recon::HdobObservation observation(const FlightOptions& o, const std::vector<FlightSecond>& s, std::size_t k,
                                   const AirOptions& air, Rng& rng) {
  const FlightSecond& f = s[k];
  recon::HdobObservation obs;
  obs.time = flight_start_seconds(o) + f.t;
  obs.lat = f.lat, obs.lon = f.lon;
  obs.static_pressure_pa = f.static_hpa * 100.0;
  obs.geopotential_height_m = f.alt;
  obs.surface_pressure_pa = (f.surface_hpa + air.pressure_noise_hpa * rng.normal()) * 100.0;
  obs.air_temperature_c = f.temperature_c, obs.dew_point_c = f.dew_point_c;
  double u = 0.0, v = 0.0, peak = 0.0;
  obs.sfmr_wind_ms = kNaN, obs.rain_rate_mmh = kNaN;
  for (std::size_t j = k - 14; j <= k + 15; ++j) {
    u += s[j].fl_speed * std::sin(s[j].fl_from * kDeg);
    v += s[j].fl_speed * std::cos(s[j].fl_from * kDeg);
    double speed = 0.0, from = 0.0, rain = 0.0;
    ten_second_flight_wind(s, j, speed, from);
    peak = std::max(peak, speed);
    const double wind = ten_second_wind(s, j, &rain);
    if (std::isfinite(wind) && !(wind <= obs.sfmr_wind_ms)) obs.sfmr_wind_ms = wind, obs.rain_rate_mmh = rain;
  }
  // The line's error, as a sum over the 30 s like u and v.
  u += 30.0 * air.wind_noise_ms * rng.normal();
  v += 30.0 * air.wind_noise_ms * rng.normal();
  obs.wind_speed_ms = std::hypot(u, v) / 30.0;
  obs.wind_from_deg = bearing_deg(u, v);
  obs.peak_wind_ms = peak;
  return obs;
}

// YYYYMMDD of a time, s since 1970.
int date_number(double time) {
  int y = 0, m = 0, d = 0;
  civil_from_days(static_cast<long>(std::floor(time / kSecondsPerDay)), y, m, d);
  return y * 10000 + m * 100 + d;
}

}  // namespace

Mission flight_mission(const FlightOptions& o, const Storm& storm) {
  Mission m;
  const std::string id = truth_storm_id(storm, o.year);  // BBNNYYYY
  const std::string basin = id.substr(0, 2);
  const char letter = basin == "AL"   ? 'A'
                      : basin == "EP" ? 'E'
                      : basin == "CP" ? 'C'
                      : basin == "WP" ? 'W'
                                      : id[0];
  m.storm_id = id.substr(2, 2) + letter;
  char text[16];
  std::snprintf(text, sizeof text, "%02d%s", o.mission, m.storm_id.c_str());
  m.mission = text;
  m.storm_name = truth_storm_name(storm);
  return m;
}

std::string hdob_text(const FlightOptions& o, const Mission& mission, const std::vector<FlightSecond>& s,
                      const AirOptions& air) {
  constexpr std::size_t kPerMessage = 20;
  Rng rng(o.seed ^ kAirSeed);
  std::vector<recon::HdobObservation> observations;
  // The first time whose 30 s have their 10-s means, the last whose 30 s lie within the flight.
  for (std::size_t k = 23; k + 15 < s.size(); ++k) {
    if ((o.start_sec + static_cast<long>(k)) % 30 == 0)
      observations.push_back(observation(o, s, k, air, rng));
  }
  std::string text;
  for (std::size_t first = 0; first < observations.size(); first += kPerMessage) {
    recon::HdobMessage m;
    m.aircraft = mission.aircraft, m.mission = mission.mission;
    m.storm_id = mission.storm_id, m.storm_name = mission.storm_name;
    m.number = static_cast<int>(first / kPerMessage) + 1;
    m.date = date_number(observations[first].time);
    std::vector<recon::HdobRaw> lines;
    for (std::size_t k = first; k < std::min(first + kPerMessage, observations.size()); ++k)
      lines.push_back(recon::hdob_raw_from(observations[k]));
    text += recon::write_hdob(m, lines);
  }
  return text;
}

namespace {

// The largest 10-s mean surface and flight-level winds of seconds [from, to], from the centre at their time.
void leg_maxima(const std::vector<FlightSecond>& s, std::size_t from, std::size_t to, double start_sec,
                recon::MaxWind& surface, recon::MaxWind& flight) {
  auto place = [&](std::size_t k, recon::MaxWind& m) {
    m.bearing_deg = std::lround(bearing_deg(s[k].east, s[k].north));
    m.range_nmi = std::lround(std::hypot(s[k].east, s[k].north) / kKmPerNmi);
    m.second_of_day = std::fmod(start_sec + s[k].t, kSecondsPerDay);
  };
  double best_surface = -1.0, best_flight = -1.0;
  for (std::size_t k = from; k <= to && k < s.size(); ++k) {
    const double wind = ten_second_wind(s, k);
    double speed = 0.0, dir = 0.0;
    ten_second_flight_wind(s, k, speed, dir);
    if (std::isfinite(wind) && wind > best_surface) {
      best_surface = wind;
      surface.speed_kt = std::lround(wind / kMsPerKt);
      place(k, surface);
    }
    if (speed > best_flight) {
      best_flight = speed;
      flight.speed_kt = std::lround(speed / kMsPerKt);
      flight.direction_deg = std::lround(dir / 5.0) * 5 % 360;
      place(k, flight);
    }
  }
}

}  // namespace

std::string vdm_text(const FlightOptions& o, const Storm& storm, const std::vector<FlightSecond>& s,
                     std::string& truth_csv) {
  const Mission mission = flight_mission(o, storm);
  const Balance balance(storm);
  const Peak peak = field_peak(storm);
  const double start = flight_start_seconds(o);
  Rng rng(o.seed ^ kFixSeed);
  std::string text;
  truth_csv = "fix,Sec,true_lat,true_lon,vdm_lat,vdm_lon,error_km\r\n";
  int number = 0;
  for (const FlownPass& pass : flown_passes(o, storm, static_cast<int>(s.size()))) {
    recon::VortexFix f;
    const double time = start + pass.closest;
    const auto sod = static_cast<long>(std::lround(time)) % kSecondsPerDay;
    int y = 0, m = 0, d = 0;
    civil_from_days(static_cast<long>(std::floor(std::round(time) / kSecondsPerDay)), y, m, d);
    f.day = d, f.second_of_day = static_cast<int>(sod);
    f.storm_id = truth_storm_id(storm, y);
    double lat = 0.0, lon = 0.0;
    storm.centre(pass.closest, lat, lon);
    // A position error uniform over the disc of the stated accuracy, drawn again in the rare case that the
    // message's rounding to 0.01 deg takes it outside.
    const double accuracy_km = kFixAccuracyNmi * kKmPerNmi;
    const earth::KmPerDegree k = earth::km_per_degree(lat);
    double error_km = accuracy_km + 1.0;
    while (error_km > accuracy_km) {
      const double radius = accuracy_km * std::sqrt(rng.uniform()), angle = 360.0 * rng.uniform() * kDeg;
      f.lat = std::round((lat + radius * std::cos(angle) / k.lat) * 100.0) / 100.0;
      f.lon = std::round((lon + radius * std::sin(angle) / k.lon) * 100.0) / 100.0;
      error_km = std::hypot((f.lat - lat) * k.lat, (f.lon - lon) * k.lon);
    }
    const double t_centre = balance.flight_temperature_c(0.0);
    f.flight_level_hpa = 700.0;
    f.min_height_m = std::lround(kFlightAltitudeM + sonde::tempdrop::kDryAirGasConstant *
                                                        (t_centre + 273.15) / sonde::tempdrop::kGravity *
                                                        std::log(balance.flight_hpa(0.0) / 700.0));
    f.pressure_hpa = std::lround(balance.surface_hpa(0.0));
    f.pressure_extrapolated = true;
    f.eye_character = "CLOSED";
    char shape[16];
    std::snprintf(shape, sizeof shape, "C%ld", std::lround(peak.radius / kKmPerNmi));
    f.eye_shape = shape;
    const auto from = static_cast<std::size_t>(std::max(pass.start, 0.0));
    const auto at = static_cast<std::size_t>(pass.closest);
    const auto to = static_cast<std::size_t>(std::max(pass.end, 0.0));
    leg_maxima(s, from, at, start, f.surface_inbound, f.flight_level_inbound);
    leg_maxima(s, at, to, start, f.surface_outbound, f.flight_level_outbound);
    f.temperature_outside_c = std::round(balance.flight_temperature_c(peak.radius));
    f.altitude_outside_m = kFlightAltitudeM;
    f.temperature_inside_c = std::round(t_centre);
    f.altitude_inside_m = kFlightAltitudeM;
    f.navigational_accuracy_nmi = 0.02, f.meteorological_accuracy_nmi = kFixAccuracyNmi;
    f.aircraft = mission.aircraft, f.mission = mission.mission, f.storm_name = mission.storm_name;
    f.observation = ++number;
    text += recon::write_vdm(f);
    char line[160];
    std::snprintf(line, sizeof line, "%d,%.1f,%.5f,%.5f,%.5f,%.5f,%.3f\r\n", number,
                  o.start_sec + pass.closest, lat, lon, f.lat, f.lon, error_km);
    truth_csv += line;
  }
  return text;
}

}  // namespace sfmr::sim
