// The global sea-surface temperature field: 2048 x 4096 one-byte cells, loaded once per run from the SST
// grid file, completed by the land mask and the filling of isolated gaps (sst/land_mask.hpp), and looked up
// once per second of data at the aircraft's position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/console.hpp"
#include "core/state.hpp"
#include "sst/grid.hpp"

namespace sfmr {

// Reads the SST grid file `sstfile` (used up to its trimmed length) into `ssta` and converts every byte to
// its cell code:
//   byte 0..127 -> level u = byte;  128 -> u = 127;  129..251 -> u = byte - 1;
//   level u -> T = 0.15 u - 3.0 deg C, code = nearest(5 T), at least 1;
//   bytes 252..254 -> 0 (no data);  255 -> 255 (land).
// The file is raw bytes without header; only its first 8,388,608 bytes are used. `ierr` becomes 0, or -1
// when the file does not open or is shorter than the grid (then `ssta` is left partly filled).
void read_mwir(std::string_view sstfile, SstGrid ssta, std::int32_t& ierr);

// Cell code of one byte of the grid file, by the conversion above.
std::uint8_t sst_code_from_byte(std::uint8_t byte);

// Grid cell (index row * 4096 + col, see sst/grid.hpp) of the position (lat, lon), in degrees, latitude
// positive north, longitude positive east in -180..180 or 0..360. Returns false when the position lies
// outside the grid (south of about -89.991 deg, north of about 90.009 deg, or a longitude beyond about
// +-720 deg), leaving `cell` unchanged.
bool sst_cell(float lat, float lon, std::size_t& cell);

class SstField {
 public:
  // Loads the grid file `sstfile`, marks land from the mask file, fills isolated gaps; `sst` becomes 0.0 on
  // success and -1.0 on failure. The gap filling runs (and prints its counts) even when the mask fails.
  void sst4main(Console& console, std::string_view sstfile, float& sst);

  // SST at (acft.Lat, acft.Lon) in deg C: 0.0 for no data (or no field loaded), -1.0 for land; `sst` is left
  // unchanged for a position outside the grid.
  void getsst(const State& s, float& sst) const;

  bool loaded() const { return loaded_; }

  // The cell codes as loaded (empty before the first load).
  std::span<const std::uint8_t> grid() const { return ssta_; }

 private:
  std::vector<std::uint8_t> ssta_;  // kSstCells cell codes once allocated, for the rest of the run
  bool loaded_ = false;
};

}  // namespace sfmr
