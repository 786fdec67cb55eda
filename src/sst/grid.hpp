// Layout and cell codes of the global sea-surface temperature grid.
//
// The grid has 2048 rows of 4096 one-byte cells; each cell spans 360/4096 = 0.087890625 degrees in latitude
// and in longitude. Row 0 is the southernmost, column 0 starts at the prime meridian and columns run east.
// Each row is contiguous: cell (row, col) is byte row * 4096 + col, which is also the cell's place in the
// grid file and in the land mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sfmr {

constexpr std::size_t kSstRows = 2048;
constexpr std::size_t kSstCols = 4096;
constexpr std::size_t kSstCells = kSstRows * kSstCols;  // 8,388,608 bytes

// Cell codes: 0 no data, 1..254 the SST in steps of 0.2 deg C (code / 5), 255 land.
constexpr std::uint8_t kSstNoData = 0;
constexpr std::uint8_t kSstLand = 255;

// The whole grid, in file order.
using SstGrid = std::span<std::uint8_t, kSstCells>;

}  // namespace sfmr
