// Per-second retrieval: count ratios to brightness temperatures, channel selection and filtering, and the
// wind speed and rain rate solve, with the retrieval status bits.
#pragma once

#include <array>
#include <cstdint>

#include "core/console.hpp"
#include "core/state.hpp"

namespace sfmr {

// Data check of one second. Sets bit 1 of sfmr.Err when |acft.Roll| > 8 degrees and bit 5 when `sst`
// (deg C) is negative (land), clears each otherwise; either rejection sets the hold-off counter `nocompute`
// to 4. Then a positive `nocompute` is decreased by 1.
void checkdata(State& s, float sst, std::int32_t& nocompute);

// Brightness temperatures of the six channels from their count ratios sfmr.ratio, the thermal values
// Th2..Th6 (sfmr.Th[2..6]) and the calibration constants cal.coef. Any of Th2..Th5 exactly 0.0: all Tb
// 0.0 and bit 3 of sfmr.Err set. Otherwise bit 3 is cleared and a missing Th6 takes the value of Th5.
void btemp(State& s);

class Retrieval {
 public:
  // Runs the retrieval of the current second. `sst` (deg C) is read, and replaced by 25.0 when it is exactly
  // 0.0 and a retrieval is made. Writes sfmr.Tb, SFWS, SFRR, SFQF and Err (possibly Th6).
  void sfmr5_6x(State& s, Console& console, float& sst);

  std::int32_t nocompute() const { return nocompute_; }
  float prevws() const { return prevws_; }
  float prevrr() const { return prevrr_; }

 private:
  std::int32_t nocompute_ = 0;  // hold-off counter
  float prevws_ = 0.0f;         // wind speed of the previous solve, m/s
  float prevrr_ = 0.0f;         // rain rate of the previous solve, mm/h

  // Calm-sea emissivities of the last solve and what they were computed from: the SST of a flight changes
  // in steps of the grid's 0.2 deg C, so most seconds reuse them.
  bool have_emis_ = false;
  std::array<float, kChannels> emis_freq_{};
  float emis_sst_ = 0.0f;
  std::int32_t emis_serial_ = 0;
  std::array<float, kChannels> emis_{};
};

}  // namespace sfmr
