// Thermal record "%T": eight instrument temperature counts.
#pragma once

#include <string_view>

#include "core/console.hpp"
#include "core/state.hpp"

namespace sfmr {

void decodetherm(State& s, Console& console, std::string_view line);

}  // namespace sfmr
