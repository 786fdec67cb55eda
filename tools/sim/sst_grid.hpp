// A smooth climatological sea-surface temperature field, and the SST grid file made from it.
#pragma once

#include <cstdint>
#include <ostream>

namespace sfmr::sim {

// Sea-surface temperature, deg C: warm tropics, cooling polewards, a gentle zonal wave, never below the
// freezing point of sea water.
double sst_climatology(double lat, double lon);

// The grid file byte whose cell code (SST in 0.2 deg C steps) is `code` (1..173).
std::uint8_t sst_byte_for_code(int code);

// Writes the 2048 x 4096 byte grid of the climatology (row 1 southernmost, columns east from 0 deg), each
// cell holding the code nearest to 5 x its centre's SST.
void write_sst_grid(std::ostream& out);

}  // namespace sfmr::sim
