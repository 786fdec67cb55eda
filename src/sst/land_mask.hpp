// The two passes over a freshly read SST grid: land cells from the land mask file, then the filling of
// isolated cells without data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/console.hpp"
#include "core/files.hpp"
#include "sst/grid.hpp"

namespace sfmr {

// Land mask file names, tried in this order (relative to the working directory); the first that opens for
// reading is used.
constexpr std::array<std::string_view, 4> kLandMaskNames = {"../mwir_land_z.txt", "mwir_land_z.txt",
                                                            "../mwir_land.txt", "mwir_land.txt"};

// Length of a land mask line; a longer line is cut.
constexpr std::size_t kMaskLineLength = 200;

// Sets the land cells of `ssta` to 255 from the land mask file. `ierr` becomes 0 on success, -1 on failure
// (no mask file, an unknown encoding, a bad hexadecimal digit, a read error, or the end of the file before
// all 2048 rows); cells marked before a failure stay marked. Prints nothing.
//
// The mask lists the cells in grid order as one stream of marks over lines of at most 200 characters (a
// longer line is cut). The first character of the first line selects the encoding:
//   blank: one mark in each even column (2, 4, ...) up to the line's last non-blank character; "1" is land;
//   "F":   every character up to the last non-blank one is an upper-case hexadecimal digit covering four
//          cells, bit 8 the first; a set bit is land (a row takes 1024 digits).
// A blank line where more marks are needed (with blank marks: also a line of one character) ends the
// overlay early with success.
void land_overlay(SstGrid ssta, std::int32_t& ierr);

// The overlay of land_overlay over the lines of an open mask (kMaskLineLength characters each) and any run
// of cells whose count is a multiple of 4 (one hexadecimal digit): true on success, false on the failures
// listed above.
bool land_overlay_lines(const LineSource& next_line, std::span<std::uint8_t> cells);

struct FillCounts {
  std::int32_t fixed = 0;    // cells filled
  std::int32_t missing = 0;  // cells without data left in the band
};

// Fills each cell without data in rows 409..1762 (about 54 S to 65 N) and columns 1..4094 whose four
// neighbours (west, east, south, north) all hold a code, land (255) included, with the mean of the four codes
// (fraction dropped). Cells of the band left without data are counted as missing; rows outside the band are
// neither filled nor counted, and there is no wrap-around in longitude. Shows the console lines
//   "# of loc fixed by interpolation:" and "# of loc still missing:" with the count in 8 columns,
// each only when its count is above zero. Returns the counts.
FillCounts hole_fillin(Console& console, SstGrid ssta);

}  // namespace sfmr
