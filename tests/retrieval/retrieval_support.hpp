// Helpers for the retrieval tests: synthetic seconds built from the forward model and turned into count
// ratios through the calibration formula.
#pragma once

#include <array>
#include <sstream>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/state.hpp"
#include "retrieval/forward_model.hpp"
#include "support/test_util.hpp"

namespace sfmr::testing {

// A console over string streams; `out` collects what the filters print.
using TestConsole = ScriptedConsole;

// Typical channel frequencies of the instrument, GHz.
inline constexpr std::array<float, kChannels> kFreqs = {4.74f, 5.31f, 5.57f, 6.02f, 6.69f, 7.09f};

// Brightness temperatures (K) of the forward model at wind speed u (m/s) and rain rate r (mm/h) for the
// channels `freq` (a channel with frequency 0.0 gets 0.0), with the calm-sea emissivities of the radiometer
// with serial number `serial` at SST `sst` (deg C), air temperature `tamb` (deg C) and altitude `alt` (m).
inline std::array<float, kChannels> model_tbs(const std::array<float, kChannels>& freq, float sst, float tamb,
                                              float alt, float u, float r, std::int32_t serial = 1) {
  std::array<float, kChannels> emis{};
  klsw_loop(freq, sst, emis, serial, kChannels);
  const float ts = static_cast<float>(static_cast<double>(sst) + kKelvinOffset);
  const float ta = static_cast<float>(static_cast<double>(tamb) + kKelvinOffset);
  std::array<float, kChannels> tb{};
  for (std::size_t k = 0; k < kChannels; ++k) {
    tb[k] = freq[k] > 0.0f ? tbsfmr(freq[k], ts, alt, ta, emis[k], {u, r}) : 0.0f;
  }
  return tb;
}

// Calibration in which Tb = N: only the weight of the count ratio is non-zero. With it, a count ratio
// stands for itself as brightness temperature, exactly.
inline void identity_calibration(State& s) {
  for (auto& row : s.cal.coef) {
    row.fill(0.0f);
    row[2] = 1.0f;
  }
  s.sfmr.Th = {0.0f, 0.0f, 30.0f, 31.0f, 32.0f, 33.0f, 34.0f, 0.0f};
}

// A plausible calibration, different for every channel, with thermal values Th2..Th6.
inline void realistic_calibration(State& s) {
  for (std::size_t k = 0; k < kChannels; ++k) {
    const float shift = static_cast<float>(k);
    s.cal.coef[k] = {-60.0f + shift, 1.5f, 210.0f - 4.0f * shift, 3.0f, -0.8f, 0.6f, -1.2f, 0.9f, 0.4f};
  }
  s.sfmr.Th = {21.0f, 22.5f, 30.25f, 35.5f, 40.75f, 38.0f, 36.5f, 25.0f};
}

// Count ratio N that the calibration of channel k turns into brightness temperature tb, by inverting
//   Tb = c1 + c3 N + (c2 Th4 + c4 N Th4 + c5 Th5 + c6 Th2 + c7 N Th3 + c8 Th3 + c9 Th6) / 35.
inline float ratio_for(const State& s, std::size_t k, double tb) {
  const auto& c = s.cal.coef[k];
  const double th2 = s.sfmr.Th[2], th3 = s.sfmr.Th[3], th4 = s.sfmr.Th[4], th5 = s.sfmr.Th[5];
  const double th6 = s.sfmr.Th[6];
  const double fixed = c[0] + (c[1] * th4 + c[4] * th5 + c[5] * th2 + c[7] * th3 + c[8] * th6) / 35.0;
  const double per_ratio = c[2] + (c[3] * th4 + c[6] * th3) / 35.0;
  return static_cast<float>((tb - fixed) / per_ratio);
}

// Sets the count ratios so that the calibration gives the brightness temperatures `tb` (0.0 stays 0.0).
inline void set_ratios(State& s, const std::array<float, kChannels>& tb) {
  for (std::size_t k = 0; k < kChannels; ++k) s.sfmr.ratio[k] = tb[k] == 0.0f ? 0.0f : ratio_for(s, k, tb[k]);
}

}  // namespace sfmr::testing
