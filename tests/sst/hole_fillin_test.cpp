// Filling isolated cells without data, and the count lines.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sst/land_mask.hpp"
#include "sst_test_files.hpp"

namespace sfmr {
namespace {

using testing::cell_index;

struct Cell {
  std::size_t row, col;
  int code;
};

TEST(HoleFillin, FillsIsolatedCellsOfTheBand) {
  // The band is rows 409..1762; rows 408 and 1763 lie just outside it.
  struct Case {
    const char* name;
    std::vector<Cell> set;   // on a grid of code 100
    std::vector<Cell> want;  // codes afterwards
    std::int32_t fixed, missing;
    std::string console;
  };
  const std::string fixed1 = "# of loc fixed by interpolation:       1\r\n";
  const std::string fixed2 = "# of loc fixed by interpolation:       2\r\n";
  const std::string missing1 = "# of loc still missing:       1\r\n";
  const std::string missing2 = "# of loc still missing:       2\r\n";
  // An empty cell at row 999, column 1999 with the given west, east, south and north neighbours.
  auto isolated = [](int west, int east, int south, int north) {
    return std::vector<Cell>{
        {999, 1999, 0}, {999, 1998, west}, {999, 2000, east}, {998, 1999, south}, {1000, 1999, north}};
  };
  // clang-format off
  const Case cases[] = {
      {"mean of 140..143, fraction dropped", isolated(140, 141, 142, 143), {{999, 1999, 141}}, 1, 0, fixed1},
      {"a land neighbour counts as 255", isolated(140, 140, 140, 255), {{999, 1999, 168}}, 1, 0, fixed1},
      {"all land: sum beyond 8 bits", isolated(255, 255, 255, 255), {{999, 1999, 255}}, 1, 0, fixed1},
      {"small codes", isolated(1, 1, 1, 2), {{999, 1999, 1}}, 1, 0, fixed1},
      {"two empty cells side by side stay empty",
       {{999, 1999, 0}, {999, 2000, 0}}, {{999, 1999, 0}, {999, 2000, 0}}, 0, 2, missing2},
      {"diagonal neighbours are not neighbours",
       {{999, 1999, 0}, {1000, 2000, 0}}, {{999, 1999, 100}, {1000, 2000, 100}}, 2, 0, fixed2},
      {"first and last columns are never filled",
       {{999, 0, 0}, {999, 4095, 0}}, {{999, 0, 0}, {999, 4095, 0}}, 0, 2, missing2},
      {"second and second-to-last columns are filled",
       {{999, 1, 0}, {999, 4094, 0}}, {{999, 1, 100}, {999, 4094, 100}}, 2, 0, fixed2},
      {"rows just outside the band: neither filled nor counted",
       {{408, 50, 0}, {1763, 50, 0}}, {{408, 50, 0}, {1763, 50, 0}}, 0, 0, ""},
      {"first and last rows of the band use neighbours outside it",
       {{409, 50, 0}, {1762, 50, 0}}, {{409, 50, 100}, {1762, 50, 100}}, 2, 0, fixed2},
      {"an empty neighbour outside the band blocks the fill",
       {{409, 50, 0}, {408, 50, 0}}, {{409, 50, 0}, {408, 50, 0}}, 0, 1, missing1},
      {"no empty cell: no lines", {}, {}, 0, 0, ""},
      {"both counts: fixed first",
       {{999, 1999, 0}, {1200, 10, 0}, {1200, 11, 0}}, {{999, 1999, 100}, {1200, 10, 0}, {1200, 11, 0}}, 1, 2,
       fixed1 + missing2},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> grid(kSstCells, 100);
    for (const Cell& cell : c.set)
      grid[cell_index(cell.row, cell.col)] = static_cast<std::uint8_t>(cell.code);
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out);
    const FillCounts counts = hole_fillin(console, SstGrid{grid.data(), kSstCells});
    EXPECT_EQ(counts.fixed, c.fixed);
    EXPECT_EQ(counts.missing, c.missing);
    EXPECT_EQ(out.str(), c.console);
    for (const Cell& cell : c.want) {
      EXPECT_EQ(grid[cell_index(cell.row, cell.col)], cell.code) << "row " << cell.row << " col " << cell.col;
    }
  }
}

TEST(HoleFillin, CountLineWidth) {
  // Every cell of the band empty: 1354 rows x 4096 columns still missing, none fixed.
  std::vector<std::uint8_t> grid(kSstCells, 100);
  for (std::size_t k = cell_index(409, 0); k < cell_index(1763, 0); ++k) grid[k] = 0;
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  hole_fillin(console, SstGrid{grid.data(), kSstCells});
  EXPECT_EQ(out.str(), "# of loc still missing: 5545984\r\n");
}

}  // namespace
}  // namespace sfmr
