// The global sea-surface temperature field: 2048 x 4096 one-byte cells, loaded once per run.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "driver/console.hpp"
#include "driver/state.hpp"

namespace sfmr {

class SstField {
 public:
  // Loads the grid file `sstfile`, marks land from the mask file, fills isolated gaps; `sst` becomes 0.0 on
  // success and -1.0 on failure.
  void sst4main(Console& console, std::string_view sstfile, float& sst);

  // SST at (acft.Lat, acft.Lon) in deg C: 0.0 for no data (or no field loaded), -1.0 for land; `sst` is left
  // unchanged for a position outside the grid.
  void getsst(const State& s, float& sst) const;

  bool loaded() const { return loaded_; }

 private:
  std::vector<std::uint8_t> ssta_;
  bool loaded_ = false;
};

}  // namespace sfmr
