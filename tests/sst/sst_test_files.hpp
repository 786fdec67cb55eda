// Test helpers of the SST field: a scratch directory that stands in as the working directory (the land mask
// names are relative to it and to its parent), and writers of grid and mask files.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sst/grid.hpp"
#include "support/test_util.hpp"

namespace sfmr::testing {

using ScratchCwd = TempDir;

// Writes a grid file of `size` bytes, every byte `fill` except the (index, byte) pairs of `set`.
struct ByteAt {
  std::size_t index;
  std::uint8_t byte;
};
inline void write_grid_file(const std::string& name, std::uint8_t fill, const std::vector<ByteAt>& set = {},
                            std::size_t size = kSstCells) {
  std::vector<char> bytes(size, static_cast<char>(fill));
  for (const ByteAt& b : set) bytes.at(b.index) = static_cast<char>(b.byte);
  write_file(name, std::string_view(bytes.data(), bytes.size()));
}

// A land mask that marks nothing: character encoding whose second line has no marks, which ends the mask
// with success.
constexpr std::string_view kEmptyMask = " \n\n";

constexpr std::size_t cell_index(std::size_t row, std::size_t col) {
  return row * kSstCols + col;
}

}  // namespace sfmr::testing
