#include "sim/balance.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "sonde/tempdrop_codes.hpp"

namespace sfmr::sim {

namespace {

using sonde::tempdrop::kDryAirGasConstant;

constexpr double kEarthRotation = 7.2921e-5;  // rad/s
constexpr double kStepKm = 0.25;              // radial step of the integration, km
constexpr double kOuterKm = 1500.0;           // the environment's pressure holds from here out, km
constexpr double kKelvin = 273.15;            // K at 0 deg C

}  // namespace

double cyclonic_from_deg(double bearing, double inflow, double lat) {
  // Northern hemisphere: blowing towards bearing - 90 - inflow, so from bearing + 90 - inflow.
  const double from = lat >= 0.0 ? bearing + 90.0 - inflow : bearing - 90.0 + inflow;
  return std::fmod(from + 720.0, 360.0);
}

Balance::Balance(const Storm& storm) {
  const double f = 2.0 * kEarthRotation * std::fabs(std::sin(storm.lat0 * std::numbers::pi / 180.0));
  const double rho_surface =
      kEnvironmentSurfaceHpa * 100.0 / (kDryAirGasConstant * (kSurfaceTemperatureC + kKelvin));
  const double rho_flight =
      kEnvironmentFlightHpa * 100.0 / (kDryAirGasConstant * (kFlightTemperatureC + kKelvin));
  const auto n = static_cast<std::size_t>(kOuterKm / kStepKm) + 1;
  surface_.assign(n, 0.0);
  flight_.assign(n, 0.0);
  // dp/dr per unit density, Pa m^2/kg per m, of the gradient wind at r km.
  auto gradient = [&](double r_km) {
    if (r_km <= 0.0) return 0.0;
    const double v = storm.symmetric(r_km) / kSurfaceOverFlightLevel;
    return v * v / (r_km * 1000.0) + f * v;
  };
  for (std::size_t k = n - 1; k-- > 0;) {
    const double r = static_cast<double>(k) * kStepKm;
    // Trapezoid over [r, r + step], in hPa per unit density.
    const double per_density = 0.5 * (gradient(r) + gradient(r + kStepKm)) * kStepKm * 1000.0 / 100.0;
    surface_[k] = surface_[k + 1] + rho_surface * per_density;
    flight_[k] = flight_[k + 1] + rho_flight * per_density;
  }
}

double Balance::deficit(const std::vector<double>& table, double r) {
  const double x = r / kStepKm;
  if (!(x < static_cast<double>(table.size() - 1))) return 0.0;
  const auto k = static_cast<std::size_t>(std::max(x, 0.0));
  const double w = x - static_cast<double>(k);
  return (1.0 - w) * table[k] + w * table[k + 1];
}

double Balance::flight_temperature_c(double r) const {
  return kFlightTemperatureC + kWarmCoreKPerHpa * deficit(surface_, r);
}

}  // namespace sfmr::sim
