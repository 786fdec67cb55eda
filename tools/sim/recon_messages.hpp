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

// The mission as the messages name it: aircraft, mission identifier (mission 01 of storm 99, Atlantic),
// storm number and basin, storm name (the b-deck's AL99 SIMULATED).
struct Mission {
  const char* aircraft = "NOAA2";
  const char* mission = "0199A";
  const char* storm_id = "99A";
  const char* storm_name = "SIMULATED";
};

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

// Every second of a flight of `seconds` s (the aircraft's track of write_flight).
std::vector<FlightSecond> flight_seconds(const FlightOptions& o, const Storm& storm, const SstField* field,
                                         int seconds);

// Mean of the radiometer-like wind over the 10 s ending at second `k`, m/s; NaN before the tenth second
// or when any of them is over land. The rain rate of the same 10 s in `rain` when given.
double ten_second_wind(const std::vector<FlightSecond>& s, std::size_t k, double* rain = nullptr);

// HDOB messages (20 observations each) of the flight: an observation every 30 s at hh:mm:00 and hh:mm:30,
// each covering the 30 s from 15 s before its time: the 30-s mean flight-level wind and the peak of its
// 10-s means, the peak 10-s mean radiometer wind and the rain rate of those 10 s; the position, pressures,
// height and temperatures at its time. Flags 00.
std::string hdob_text(const FlightOptions& o, const std::vector<FlightSecond>& s);

// One vortex data message per pass through the centre: the fix at the closest approach, at the truth's
// centre moved by a random error within kFixAccuracyNmi, the least sea-level pressure (extrapolated), the
// maxima of each leg. `truth_csv` gets one line per fix: fix,Sec,true_lat,true_lon,vdm_lat,vdm_lon,error_km.
std::string vdm_text(const FlightOptions& o, const Storm& storm, const std::vector<FlightSecond>& s,
                     std::string& truth_csv);

}  // namespace sfmr::sim
