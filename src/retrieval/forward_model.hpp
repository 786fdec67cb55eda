// Forward model of the radiometer's view of the sea at nadir: calm-sea emissivity from the permittivity of
// sea water, and the brightness temperature seen from the aircraft for a given surface wind speed and rain
// rate. Pure functions: no shared state is read or written.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace sfmr {

// Sea-water permittivity and flat-surface reflectivities.
//   f      frequency, GHz              theta  incidence angle, rad
//   t      water temperature, deg C    s      salinity, parts per thousand
// Returns rv, rh (power reflectivities, V and H polarisation) and eps = epsr + i epsi (epsi > 0 for a lossy
// medium). Permittivity after Klein & Swift (1977), IEEE Trans. Antennas Propag. 25(1), 104-111;
// reflectivities from the Fresnel equations. For f = 0 the loss term is not finite and so are rv and rh.
void kleinswift(float f, float theta, float t, float s, float& rv, float& rh, float& epsr, float& epsi);

// Rectangular (x, y) to polar (rho, phi), phi in [0, 2 pi). x = 0 gives phi = pi/2 whatever the sign of y.
void rec2sph(float x, float y, float& rho, float& phi);

// Calm-sea emissivities at nadir and salinity 36 of the first n channels: 1 - rv for the radiometer with
// serial number 20, 1 - rh for every other one (identical at nadir within rounding).
//   freq   channel frequencies, GHz (a channel whose frequency is not positive is skipped: its emissivity
//          is left as it was)
//   sst    sea-surface temperature, deg C
//   emis   out: calm-sea emissivity of each channel
void klsw_loop(std::span<const float> freq, float sst, std::span<float> emis, std::int32_t serial, int n);

// Brightness temperature (K) seen at nadir from height h (m) above the sea, for one channel.
//   f   frequency, GHz (outside 4..8 GHz the result is 0.0)
//   ts  sea-surface temperature, K       h   altitude, m
//   ta  air temperature at the aircraft, K
//   e0  calm-sea emissivity of the channel
//   x   state: x[0] surface wind speed U (m/s), x[1] rain rate R (mm/h, not negative)
float tbsfmr(float f, float ts, float h, float ta, float e0, const std::array<float, 2>& x);

// The rain rate's own powers R^0.06 and R^0.87 in the rain absorption, the same for every channel: kept for
// the last two rain rates, so the channels of one solve compute them once per rain rate.
class RainPowers {
 public:
  // R^0.06 and R^0.87 (single-precision exponents) of the rain rate r, mm/h.
  void of(float r, double& p06, double& p87);

 private:
  struct Entry {
    bool set = false;
    std::uint32_t bits = 0;  // bit pattern of the rain rate
    double p06 = 0.0, p87 = 0.0;
  };
  std::array<Entry, 2> entries_{};
  std::size_t next_ = 0;  // the entry replaced next
};

// tbsfmr for one channel under fixed conditions (f, ts, h, ta, e0 as above), evaluated for many states: the
// terms that depend on the conditions alone (air column, clear-air transmissivity, rain-layer top, air
// temperatures) are computed once, and the rain terms are kept for the last rain rate, so a wind-speed step
// at the same rain rate costs no exponential or power. Every result equals tbsfmr's bit for bit: the same
// expressions in the same order, only fewer times.
class ChannelModel {
 public:
  ChannelModel() = default;
  // `powers`, when given, is shared by the channels of one solve and must outlive the model.
  ChannelModel(float f, float ts, float h, float ta, float e0, RainPowers* powers = nullptr);

  float tb(const std::array<float, 2>& x);

 private:
  void rain_terms(float r);

  RainPowers* powers_ = nullptr;
  bool in_band_ = false;
  double F_ = 0.0, Ts_ = 0.0, E0_ = 0.0;
  double A_ = 0.0, Tr_ = 0.0, Z_ = 0.0;
  double T1000_ = 0.0, Tup_ = 0.0, Tsky_ = 0.0;
  bool have_rain_ = false;
  std::uint32_t rain_bits_ = 0;    // bit pattern of the rain rate the terms below belong to
  double tR_ = 0.0, Tdown_ = 0.0;  // rain transmissivity below the aircraft, downwelling temperature
};

// Number of forward-model evaluations (tbsfmr or ChannelModel::tb) made in this process so far; the
// whole-flight benchmark counts the model's work with it.
std::uint64_t model_evaluations();

}  // namespace sfmr
