// The land mask reader over a small synthetic grid: the first byte sets the grid's size (4 to 256 cells, a
// whole number of hexadecimal digits), the rest is the mask file. Cells only ever become land; all others
// keep their codes.
#include <sstream>
#include <vector>

#include "fuzz_util.hpp"
#include "sst/land_mask.hpp"

using namespace sfmr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t cells = 4 * (1 + data[0] % 64);
  std::vector<std::uint8_t> grid(cells);
  for (std::size_t i = 0; i < cells; ++i) grid[i] = static_cast<std::uint8_t>(1 + i % 200);
  std::istringstream in{std::string(fuzz::as_text(data + 1, size - 1))};
  LineReader lines(in, kMaskLineLength);
  land_overlay_lines(fuzz::lines_of(lines), grid);
  for (std::size_t i = 0; i < cells; ++i) {
    fuzz::check(grid[i] == kSstLand || grid[i] == 1 + i % 200, "a cell is land or unchanged");
  }
  return 0;
}
