// Thermal record "%T": eight instrument temperature counts.
#pragma once

#include <string>

#include "driver/console.hpp"
#include "driver/state.hpp"

namespace sfmr {

void decodetherm(State& s, Console& console, const std::string& line);

}  // namespace sfmr
