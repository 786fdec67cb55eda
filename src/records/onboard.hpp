// Onboard solution record "%R": the radiometer's own wind speed, rain rate, quality figure and status.
#pragma once

#include <string>

#include "core/state.hpp"

namespace sfmr {

void decodeps(State& s, const std::string& line);

}  // namespace sfmr
