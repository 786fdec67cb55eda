#include "records/thermal.hpp"

#include <array>
#include <cstdint>
#include <string>

#include "core/text.hpp"

namespace sfmr {

void decodetherm(State& s, Console& console, std::string_view line) {
  std::array<std::int32_t, 8> counts{};
  int filled = 0;
  const int status =
      read_free(columns(line, 3, trimmed_length(line)), std::span<std::int32_t>(counts), &filled);
  // All eight counts must be present and within range before any is stored.
  bool good = status == 0 && filled == 8;
  for (std::int32_t c : counts) good = good && c >= 100 && c <= 1999;
  if (!good) {
    console.line(std::string("Therm Read Error: ").append(line));
    return;
  }
  // Linear sensor conversions, deg C per count; the single-precision constants are part of the calibration.
  constexpr double kGainA = 0.102f, kOffsetA = 41.0;  // sensors 0-4 and 7
  constexpr double kGainB = 0.096f, kOffsetB = 63.0;  // sensors 5 and 6
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const bool b = i == 5 || i == 6;
    s.sfmr.Th[i] = static_cast<float>(counts[i] * (b ? kGainB : kGainA) - (b ? kOffsetB : kOffsetA));
  }
}

}  // namespace sfmr
