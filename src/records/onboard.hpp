// Onboard solution record "%R": the radiometer's own wind speed, rain rate, quality figure and status.
#pragma once

#include <string_view>

#include "core/state.hpp"

namespace sfmr {

void decodeps(State& s, std::string_view line);

}  // namespace sfmr
