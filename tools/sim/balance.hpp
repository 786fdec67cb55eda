// The simulated storm's air above and around the surface wind field, in balance with it: what the aircraft
// measures at flight level and what the sea-level pressure is, for the reconnaissance messages and the
// dropsondes of a simulated flight.
//
// Flight-level wind: the surface wind divided by 0.9, the mean ratio of the surface wind to the 700-hPa
// flight-level wind in the eyewall (Franklin, Black and Valde 2003, Wea. Forecasting 18), blowing
// cyclonically round the centre with an inflow angle of kFlightInflowDeg by default (the messages take
// another with AirOptions and add the storm's motion: sim/recon_messages.hpp).
//
// Pressure: the gradient-wind equation dp/dr = rho (v^2 / r + f v) integrated inwards from the environment
// (kOuterKm) with v the flight-level wind of the symmetric vortex, taken as the gradient wind; with the
// surface air's density for the sea-level pressure and the flight level's for the static pressure at
// 3000 m. For a Holland vortex this gives back Holland's (1980, Mon. Wea. Rev. 108) pressure profile
// p = pc + dp exp(-(Rmax / r)^B) from which his wind profile is derived. Both minima lie at the centre,
// where the wind is least.
#pragma once

#include <vector>

#include "sim/storm.hpp"

namespace sfmr::sim {

// Surface wind over flight-level wind in the eyewall (Franklin, Black and Valde 2003).
constexpr double kSurfaceOverFlightLevel = 0.9;
// Inflow angle of the wind at flight level and at 10 m, deg (the surface value after Zhang and Uhlhorn
// 2012, J. Appl. Meteor. Climatol. 51, about 22 deg).
constexpr double kFlightInflowDeg = 5.0;
constexpr double kSurfaceInflowDeg = 20.0;
// The environment: sea-level pressure, hPa, and the flight level's static pressure at 3000 m, hPa, and air
// temperature, deg C (the raw file's aircraft values), and the surface air temperature, deg C.
constexpr double kEnvironmentSurfaceHpa = 1012.0;
constexpr double kEnvironmentFlightHpa = 701.0;
constexpr double kFlightAltitudeM = 3000.0;
constexpr double kFlightTemperatureC = 10.0;
constexpr double kSurfaceTemperatureC = 28.0;
// Warm core: flight-level air warmer by this much per hPa of the sea-level pressure deficit, K/hPa.
constexpr double kWarmCoreKPerHpa = 0.1;

// The wind's from-direction, deg, at bearing `bearing` (deg from the centre) with inflow `inflow` (deg),
// cyclonic for the hemisphere of `lat`.
double cyclonic_from_deg(double bearing, double inflow, double lat);

class Balance {
 public:
  explicit Balance(const Storm& storm);

  // Sea-level pressure and the static pressure at 3000 m at `r` km from the centre, hPa.
  double surface_hpa(double r) const { return kEnvironmentSurfaceHpa - deficit(surface_, r); }
  double flight_hpa(double r) const { return kEnvironmentFlightHpa - deficit(flight_, r); }
  // Flight-level air temperature at `r` km, deg C.
  double flight_temperature_c(double r) const;

 private:
  std::vector<double> surface_, flight_;  // pressure deficits every kStepKm from the centre, hPa
  static double deficit(const std::vector<double>& table, double r);
};

}  // namespace sfmr::sim
