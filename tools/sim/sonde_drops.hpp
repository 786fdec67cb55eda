// Dropsondes of a simulated flight: released from the aircraft at chosen points of the passes (the eye at
// the closest approach, the eyewall where the leg crosses the radius of maximum wind, the outer end of the
// pass), falling from flight level and drifting with the storm's wind, sampled every half second as a
// sounding, so that tools/sonde writes them as TEMP DROP bulletins and EOL files.
//
// Fall: kSurfaceFallSpeed at the sea (11-12 m/s near sea level: Hock and Franklin 1999, Bull. Amer.
// Meteor. Soc. 80), faster aloft as 1 / sqrt(air density) (the drag of a parachute
// balancing the sonde's weight); the density from the hydrostatic pressure and a 6.5 K/km lapse rate
// above the sea-level pressure of sim/balance.hpp.
// Mean wind: the truth's 10-m wind times a shape of the height z, blowing cyclonically with an inflow angle
// that eases from kSurfaceInflowDeg at the sea to kFlightInflowDeg at flight level. The shape is the
// neutral log law ln(z / z0) / ln(10 / z0) (z0 = 1 mm, a roughness of hurricane seas) up to its low-level
// maximum at 500 m, then falls linearly to the flight-level ratio 1 / 0.9 at 3000 m; its mean over the
// lowest 500 m is 1.32 times the 10-m wind, as the reduction factor of near 0.8 for that layer in the
// eyewall implies (Franklin, Black and Valde 2003, Wea. Forecasting 18).
// A sonde's winds are not that mean wind. Each half-second wind is near-instantaneous and carries
//   - the turbulence the sonde falls through: gusts along the mean wind with a standard deviation of
//     kTurbulenceIntensity times the wind (turbulence intensity near 0.1 in the hurricane boundary layer:
//     Zhang, Drennan, Black and French 2009, J. Atmos. Sci. 66), across it 0.8 of that (the neutral surface
//     layer's sigma_v / sigma_u = 1.9 / 2.4, Panofsky and Dutton 1984), each correlated over
//     kTurbulenceScale of fall (some four seconds: an exponential correlation in height, the size of the
//     energetic eddies of the lowest few hundred metres); applied over the whole fall, which overstates it
//     above the boundary layer where no comparison looks;
//   - the GPS wind's measurement error, kGpsWindError per component, independent from sample to sample
//     (the lower end of the 0.5-2.0 m/s Hock and Franklin 1999, Bull. Amer. Meteor. Soc. 80, give for the
//     sonde's winds; their upper end holds the turbulence drawn above).
// The sonde meets the waves at a random phase of its half-second sampling: its lowest sample lies between
// kWaveCrest (the crests of hurricane seas of significant heights near 10 m stand some 5 m above the mean
// sea level) and one sample's fall above it, and that lowest sample's point and time are the sonde's
// splash. The truth file states the mean 10-m wind at the splash point (the truth's), not the sample.
// The draws come from the sondes' own random sequence, so a flight's other files are the same with or
// without sondes.
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
// Turbulence intensity of the sampled wind (sigma_u over the mean wind), and the fall over which its gusts
// stay correlated, m.
constexpr double kTurbulenceIntensity = 0.1;
constexpr double kTurbulenceScale = 50.0;
// The GPS wind's random error per component, m/s.
constexpr double kGpsWindError = 0.5;
// Height above the mean sea level below which the sonde keeps no sample (the waves' crests), m.
constexpr double kWaveCrest = 5.0;

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
