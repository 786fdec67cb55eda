// Reading and converting the SST grid file, and the load sequence of sst4main.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "sst/sst_field.hpp"
#include "sst_test_files.hpp"

namespace sfmr {
namespace {

using testing::ByteAt;
using testing::ScratchCwd;
using testing::write_file;
using testing::write_grid_file;

// Cell code of a file byte, derived independently of the code under test: the level u, then
// 5 T = 5 (0.15 u - 3) = (3u - 60) / 4, to the nearest whole number with halves up = floor((3u - 58) / 4),
// never below 1.
int expected_code(int byte) {
  if (byte == 255) return 255;
  if (byte >= 252) return 0;
  const int u = byte <= 127 ? byte : (byte == 128 ? 127 : byte - 1);
  const int n = 3 * u - 58;
  return n < 4 ? 1 : n / 4;
}

// Grid file whose byte k is k mod 256, so cell k must hold the code of byte k mod 256.
void write_cycling_grid(const std::string& name) {
  std::vector<char> bytes(kSstCells);
  for (std::size_t k = 0; k < kSstCells; ++k) bytes[k] = static_cast<char>(k % 256);
  write_file(name, std::string_view(bytes.data(), bytes.size()));
}

// The cycling grid as read_mwir converts it; empty when the read reported failure.
std::vector<std::uint8_t> read_cycling_grid() {
  ScratchCwd scratch;
  write_cycling_grid("grid.bin");
  std::vector<std::uint8_t> grid(kSstCells);
  std::int32_t ierr = 99;
  read_mwir("grid.bin", SstGrid{grid.data(), kSstCells}, ierr);
  if (ierr != 0) grid.clear();
  return grid;
}

TEST(ReadMwir, ConvertsTheTabulatedBytes) {
  const std::vector<std::uint8_t> grid = read_cycling_grid();
  ASSERT_EQ(grid.size(), kSstCells);

  struct Case {
    int byte;
    int code;
    const char* why;
  };
  const Case cases[] = {
      {0, 1, "level 0: 5T = -15, raised to 1"},
      {21, 1, "level 21: 5T = 0.75"},
      {22, 2, "level 22: 5T = 1.5 exactly, half goes up"},
      {24, 3, "level 24: 5T = 3"},
      {26, 5, "level 26: 5T = 4.5, half goes up"},
      {127, 80, "level 127: 5T = 80.25"},
      {128, 80, "byte 128 repeats level 127"},
      {129, 81, "byte 129 is level 128: 5T = 81"},
      {251, 173, "byte 251 is level 250: 5T = 172.5"},
      {252, 0, "no data"},
      {253, 0, "no data"},
      {254, 0, "no data"},
      {255, 255, "land"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "byte " << c.byte << ": " << c.why);
    EXPECT_EQ(grid[static_cast<std::size_t>(c.byte)], c.code);
  }
}

TEST(ReadMwir, EveryCellHoldsTheCodeOfItsByte) {
  const std::vector<std::uint8_t> grid = read_cycling_grid();
  ASSERT_EQ(grid.size(), kSstCells);
  std::size_t wrong = 0;
  std::size_t first_wrong = 0;
  for (std::size_t k = 0; k < kSstCells; ++k) {
    if (grid[k] != expected_code(static_cast<int>(k % 256)) && wrong++ == 0) first_wrong = k;
  }
  EXPECT_EQ(wrong, 0u) << "first wrong cell " << first_wrong << ": want "
                       << expected_code(static_cast<int>(first_wrong % 256)) << " got "
                       << int{grid[first_wrong]};
}

TEST(ReadMwir, FileLength) {
  struct Case {
    const char* name;
    std::size_t size;  // bytes written; 0 with `create` false: no file at all
    bool create;
    std::int32_t ierr;
  };
  const Case cases[] = {
      {"no file", 0, false, -1},
      {"empty file", 0, true, -1},
      {"one byte short", kSstCells - 1, true, -1},
      {"exact size", kSstCells, true, 0},
      {"longer file, extra bytes ignored", kSstCells + 4096, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchCwd scratch;
    // Byte 129 (code 81) everywhere, land in the last cell of the grid; bytes beyond the grid are 252.
    if (c.create) {
      std::vector<ByteAt> set;
      if (c.size >= kSstCells) set.push_back({kSstCells - 1, 255});
      for (std::size_t k = kSstCells; k < c.size; ++k) set.push_back({k, 252});
      write_grid_file("grid.bin", 129, set, c.size);
    }
    std::vector<std::uint8_t> grid(kSstCells, 7);
    std::int32_t ierr = 99;
    read_mwir(fixed_text("grid.bin"), SstGrid{grid.data(), kSstCells}, ierr);  // blank-padded name
    EXPECT_EQ(ierr, c.ierr);
    if (c.ierr == 0) {
      EXPECT_EQ(grid[0], 81);
      EXPECT_EQ(grid[kSstCells - 1], 255);
    }
  }
}

TEST(Sst4main, LoadOutcome) {
  struct Case {
    const char* name;
    std::size_t grid_size;  // 0: no grid file
    const char* mask;       // nullptr: no mask file
    float sst;
    bool loaded;
    std::string console;
  };
  // The grid holds code 81 everywhere except one isolated empty cell in the filled band, so the console shows
  // whether the gap filling ran.
  const std::string fixed_line = "# of loc fixed by interpolation:       1\r\n";
  const Case cases[] = {
      {"grid and mask", kSstCells, " \n\n", 0.0f, true, fixed_line},
      {"no grid file", 0, " \n\n", -1.0f, false, ""},
      {"short grid file: nothing else runs", kSstCells - 1, " \n\n", -1.0f, false, ""},
      {"no mask: the gaps are still filled", kSstCells, nullptr, -1.0f, false, fixed_line},
      {"mask of unknown encoding", kSstCells, "X\n", -1.0f, false, fixed_line},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchCwd scratch;
    if (c.grid_size > 0)
      write_grid_file("grid.bin", 129, {{testing::cell_index(1000, 2000), 252}}, c.grid_size);
    if (c.mask) write_file("mwir_land.txt", c.mask);
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out);
    SstField field;
    float sst = 12.5f;
    field.sst4main(console, "grid.bin", sst);
    EXPECT_EQ(sst, c.sst);
    EXPECT_EQ(field.loaded(), c.loaded);
    EXPECT_EQ(out.str(), c.console);

    // A field that did not load answers 0.0 everywhere, even where a loaded one would keep the value.
    State s;
    s.acft.Lat = c.loaded ? 10.0f : -90.0f;
    float looked_up = 12.5f;
    field.getsst(s, looked_up);
    EXPECT_EQ(looked_up, c.loaded ? 81 / 5.0f : 0.0f);
  }
}

}  // namespace
}  // namespace sfmr
