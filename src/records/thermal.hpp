// Thermal record "%T": eight instrument temperature counts.
#pragma once

#include <string>

#include "core/console.hpp"
#include "core/state.hpp"

namespace sfmr {

void decodetherm(State& s, Console& console, const std::string& line);

}  // namespace sfmr
