// The calibration file: nine constants per channel for the radiometer of sfmr.serial.
#pragma once

#include <string>

#include "driver/console.hpp"
#include "driver/state.hpp"

namespace sfmr {

// Loads the calibration block of sfmr.serial from `calfile` into cal.coef; failures end the run.
void get_cals(Console& console, State& s, const std::string& calfile);

}  // namespace sfmr
