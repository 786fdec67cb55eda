// Run parameters from a setup file, with console prompts for whatever it does not supply.
#pragma once

#include <string>

#include "driver/console.hpp"
#include "driver/state.hpp"

namespace sfmr {

// Obtains the raw data, calibration and SST file names (128-character fields) and fills cal.freq,
// cal.default_sst and cal.filter; then calls clear_common and sets acft.TAmb to 999.0. Returns only when all
// six parameters were accepted; the operator's quit ends the run.
void get_setupfile(Console& console, State& s, std::string& infile, std::string& calfile,
                   std::string& sstfile);

}  // namespace sfmr
