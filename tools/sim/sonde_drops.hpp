// Dropsondes of a simulated flight: released from the aircraft at chosen points of the passes (the eye at
// the closest approach, the eyewall where the leg crosses the radius of maximum wind, the outer end of the
// pass), falling from flight level and drifting with the storm's wind, sampled every half second as a
// sounding, so that tools/sonde writes them as TEMP DROP bulletins and EOL files.
//
// Fall: kSurfaceFallSpeed at the sea, faster aloft as 1 / sqrt(air density) (the drag of a parachute
// balancing the sonde's weight); the density from the hydrostatic pressure and a 6.5 K/km lapse rate
// above the sea-level pressure of sim/balance.hpp.
// Wind: the truth's 10-m wind times a shape of the height z, blowing cyclonically with an inflow angle
// that eases from kSurfaceInflowDeg at the sea to kFlightInflowDeg at flight level. The shape is the
// neutral log law ln(z / z0) / ln(10 / z0) (z0 = 1 mm, a roughness of hurricane seas) up to its low-level
// maximum at 500 m, then falls linearly to the flight-level ratio 1 / 0.9 at 3000 m; its mean over the
// lowest 500 m is 1.32 times the 10-m wind, as the reduction factor of near 0.8 for that layer in the
// eyewall implies (Franklin, Black and Valde 2003, Wea. Forecasting 18).
// The last sample is 10 m above the sea, a fraction of a second before the splash: its point and time are
// the sonde's splash, and its wind is the truth's 10-m wind there.
#pragma once

#include <string>
#include <vector>

#include "sim/recon_messages.hpp"
#include "sonde/sonde.hpp"

namespace sfmr::sim {

// Fall speed at the sea, m/s.
constexpr double kSurfaceFallSpeed = 11.5;
// Height of the boundary layer's wind maximum, m.
constexpr double kJetHeight = 500.0;

// The wind at height z (m) over the 10-m wind.
double wind_shape(double z);

// A dropped sonde and the truth's 10-m wind at its splash.
struct Drop {
  sonde::Sonde sonde;
  sonde::Wind truth;
};

// `count` sondes dropped from the flight whose seconds are `s`: first the passes' eye, eyewall and outer
// points spread over the flight, then (when more are asked for) releases evenly spread over the seconds
// over the sea. Each at its own second; none over land.
std::vector<Drop> drop_sondes(const FlightOptions& o, const Storm& storm, const std::vector<FlightSecond>& s,
                              int count);

// CSV id,splash_time_s,Sec,lat,lon,speed_ms,from_deg: each sonde's true 10-m wind at its splash
// (splash_time_s seconds since 1970, Sec the second from the first record's midnight).
std::string sonde_truth_csv(const FlightOptions& o, const std::vector<Drop>& drops);

// The EOL file name of a sonde: Dyyyymmdd_hhmmss_P.QC.eol of its release time.
std::string eol_file_name(const sonde::Sonde& s);

}  // namespace sfmr::sim
