// Test helpers of the SST field: a scratch directory that stands in as the working directory (the land mask
// names are relative to it and to its parent), and writers of grid and mask files.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sst/grid.hpp"

namespace sfmr::testing {

// A fresh directory <tmp>/sfmr_sst_XXXXXX with a subdirectory "work". While it lives, the working directory
// is "work", so "../name" lands in the scratch directory itself and never in the shared /tmp. The destructor
// restores the previous working directory and removes everything.
class ScratchCwd {
 public:
  ScratchCwd() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "sfmr_sst_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directory(root_ / "work");
    std::filesystem::current_path(root_ / "work");
  }
  ScratchCwd(const ScratchCwd&) = delete;
  ScratchCwd& operator=(const ScratchCwd&) = delete;
  ~ScratchCwd() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(root_, ec);
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path root_;
};

// Writes `text` to `name` (relative to the working directory) as it is.
inline void write_file(const std::string& name, std::string_view text) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw std::runtime_error("cannot write " + name);
}

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
