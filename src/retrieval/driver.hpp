// Per-second retrieval: count ratios to brightness temperatures, channel selection and filtering, and the
// wind speed and rain rate solve, with the retrieval status bits.
#pragma once

#include <cstdint>

#include "driver/console.hpp"
#include "driver/state.hpp"

namespace sfmr {

class Retrieval {
 public:
  // Runs the retrieval of the current second. `sst` (deg C) is read, and replaced by 25.0 when it is exactly
  // 0.0 and a retrieval is made.
  void sfmr5_6x(State& s, Console& console, float& sst);

 private:
  std::int32_t nocompute_ = 0;  // hold-off counter
  float prevws_ = 0.0f;         // wind speed of the previous solve, m/s
  float prevrr_ = 0.0f;         // rain rate of the previous solve, mm/h
};

}  // namespace sfmr
