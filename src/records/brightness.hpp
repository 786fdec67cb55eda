// Brightness record "%B": one channel's counts, the four-slot delay line, and the data clock's step.
#pragma once

#include <string_view>

#include "core/console.hpp"
#include "core/state.hpp"

namespace sfmr {

void decodebright(State& s, Console& console, std::string_view line);

}  // namespace sfmr
