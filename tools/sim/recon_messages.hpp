// The reconnaissance messages of a simulated flight: its HDOBs and one vortex data message per centre pass,
// as a reconnaissance aircraft would have sent them (tools/recon writes the text).
//
// The radiometer's wind in these messages is the truth's 10-m wind plus an independent retrieval-like
// noise of kRetrievalNoise each second (not the processing's own retrieval, which sfmrsim does not run);
// the flight-level air comes from sim/balance.hpp. None of this draws on the flight's own random sequence,
// so the raw data and truth files stay as they are.
#pragma once

#include <string>
#include <vector>

#include "sim/balance.hpp"
#include "sim/flight.hpp"
#include "sim/storm.hpp"

namespace sfmr {
class SstField;
}

namespace sfmr::sim {

// Standard deviation of the retrieval-like noise added to each second's surface wind, m/s.
constexpr double kRetrievalNoise = 1.0;
// Standard deviation of each second's flight-level turbulence, m/s.
constexpr double kTurbulence = 1.0;
// The meteorological accuracy the vortex data messages state, n mi; their centres lie within it.
constexpr double kFixAccuracyNmi = 2.0;

// The flight-level air as the messages report it. The defaults are the balanced storm's own values without
// any error of measurement beyond the per-second turbulence and the code's rounding.
struct AirOptions {
  double inflow_deg = kFlightInflowDeg;  // inflow angle of the flight-level wind, deg
  // Standard deviation of an independent error of each HDOB line's 30-s flight-level wind, m/s in each of
  // its east and north components: the aircraft's wind from its inertial and GPS velocities is good to
  // about 1 m/s, and the eyewall's convection moves a 30-s mean by as much again.
  double wind_noise_ms = 0.0;
  // Standard deviation of an independent error of each line's extrapolated surface pressure, hPa: the
  // extrapolation from flight level through an assumed column moves with the aircraft's height and the
  // air's temperature by a few tenths of a hPa to 1 hPa from line to line.
  double pressure_noise_hpa = 0.0;
};

// The mission as the messages name it: aircraft, mission identifier (the flight's mission number in the
// storm, the storm's number and basin letter: 0199A for the first mission into the simulator's own storm
// AL99), storm number and basin, storm name (the b-deck's: SIMULATED, or the track's).
struct Mission {
  std::string aircraft = "NOAA2";
  std::string mission = "0199A";
  std::string storm_id = "99A";
  std::string storm_name = "SIMULATED";
};

// The mission of flight `o` into `storm`: o.mission and the storm of truth_storm_id and truth_storm_name in
// the flight's year (basin AL A, EP E, CP C, WP W; another basin its first letter).
Mission flight_mission(const FlightOptions& o, const Storm& storm);

// One second of the flight as the aircraft's instruments see it.
struct FlightSecond {
  double t = 0.0;                  // s after the first record
  double lat = 0.0, lon = 0.0;     // deg
  double alt = 0.0;                // m
  double east = 0.0, north = 0.0;  // km from the storm's centre
  bool land = false;               // over land: the radiometer gives no wind
  double wind = 0.0, rain = 0.0;   // the truth's 10-m wind, m/s, and rain rate, mm/h
  double sfmr_wind = 0.0;          // the radiometer-like wind, m/s
  double fl_speed = 0.0;           // flight-level wind, m/s
  double fl_from = 0.0;            // its from-direction, deg
  double static_hpa = 0.0;         // static pressure at the aircraft, hPa
  double surface_hpa = 0.0;        // sea-level pressure below it, hPa
  double temperature_c = 0.0, dew_point_c = 0.0;
};

// Every second of a flight of `seconds` s (the aircraft's track of write_flight). The flight-level wind is
// earth-relative: the vortex's (the surface wind over kSurfaceOverFlightLevel, cyclonic with the inflow of
// `air`) plus the storm's motion.
std::vector<FlightSecond> flight_seconds(const FlightOptions& o, const Storm& storm, const SstField* field,
                                         int seconds, const AirOptions& air = {});

// Mean of the radiometer-like wind over the 10 s ending at second `k`, m/s; NaN before the tenth second
// or when any of them is over land. The rain rate of the same 10 s in `rain` when given.
double ten_second_wind(const std::vector<FlightSecond>& s, std::size_t k, double* rain = nullptr);

// HDOB messages (20 observations each) of the flight: an observation every 30 s at hh:mm:00 and hh:mm:30,
// each covering the 30 s from 15 s before its time: the 30-s mean flight-level wind and the peak of its
// 10-s means, the peak 10-s mean radiometer wind and the rain rate of those 10 s; the position, pressures,
// height and temperatures at its time. Flags 00. The 30-s wind and the surface pressure carry the errors
// of `air` (drawn apart from every other random sequence of the flight).
std::string hdob_text(const FlightOptions& o, const Mission& mission, const std::vector<FlightSecond>& s,
                      const AirOptions& air = {});

// One vortex data message per pass through the centre: the fix at the closest approach, at the truth's
// centre moved by a random error within kFixAccuracyNmi, the least sea-level pressure (extrapolated), the
// maxima of each leg, under flight_mission(o, storm). `truth_csv` gets one line per fix:
// fix,Sec,true_lat,true_lon,vdm_lat,vdm_lon,error_km.
std::string vdm_text(const FlightOptions& o, const Storm& storm, const std::vector<FlightSecond>& s,
                     std::string& truth_csv);

}  // namespace sfmr::sim
