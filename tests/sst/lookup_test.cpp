// The lookup at the aircraft's position, alone and inside the per-second step of the main loop.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "driver/main_loop.hpp"
#include "sst/sst_field.hpp"
#include "sst_test_files.hpp"

namespace sfmr {
namespace {

using testing::cell_index;
using testing::ScratchCwd;

// Expected rows and columns are worked out by hand with k = 11.377778 (4096/360 in single precision):
// row = nearest((lat + 90) k + 0.4) - 1, col = nearest(lon' k + 0.9) - 1 with lon' = lon + 360 for a negative
// lon, wrapped once into 0..4095.
TEST(SstCell, RowAndColumn) {
  struct Case {
    float lat, lon;
    bool inside;
    std::size_t row, col;
    const char* why;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {25.0f, -80.0f, true, 1308, 3186, "115 k + 0.4 = 1308.84; 280 k + 0.9 = 3186.68"},
      {0.0f, 0.0f, true, 1023, 0, "90 k + 0.4 = 1024.4; 0.9"},
      {0.0f, -0.0f, true, 1023, 0, "-0.0 is not negative"},
      {0.0f, 359.99f, true, 1023, 0, "4096.79 rounds to 4097, wraps to the first column"},
      {0.0f, 359.9f, true, 1023, 4095, "4095.76"},
      {0.0f, -180.0f, true, 1023, 2048, "180 k + 0.9 = 2048.9"},
      {0.0f, 180.0f, true, 1023, 2048, "same cell as -180"},
      {0.0f, 500.0f, true, 1023, 1593, "5689.79 rounds to 5690, less 4096"},
      {0.0f, -700.0f, true, 1023, 227, "-340 k + 0.9 = -3867.54 rounds to -3868, plus 4096"},
      {0.0f, -719.99f, true, 1023, 0, "-4094.99 rounds to -4095, plus 4096"},
      {0.0f, 719.9f, true, 1023, 4095, "8191.76 rounds to 8192, less 4096"},
      {0.0f, -720.5f, false, 0, 0, "-4100.79 rounds to -4101, still below 1 after the wrap"},
      {0.0f, 725.0f, false, 0, 0, "8249.79 rounds to 8250, still above 4096 after the wrap"},
      {-90.0f, 0.0f, false, 0, 0, "0.4 rounds to row 0 counted from 1"},
      {-89.99f, 0.0f, true, 0, 0, "0.51"},
      {90.0f, 0.0f, true, 2047, 0, "2048.40"},
      {90.01f, 0.0f, false, 0, 0, "2048.51 rounds to 2049"},
      {nan, 0.0f, false, 0, 0, "NaN latitude"},
      {0.0f, nan, false, 0, 0, "NaN longitude"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "lat " << c.lat << " lon " << c.lon << ": " << c.why);
    const std::size_t untouched = 12345;
    std::size_t cell = untouched;
    EXPECT_EQ(sst_cell(c.lat, c.lon, cell), c.inside);
    EXPECT_EQ(cell, c.inside ? cell_index(c.row, c.col) : untouched);
  }
}

// Field for the lookups: code 81 (byte 129) everywhere, 140 (byte 207, level 206) at 25 N 80 W, land at
// 0 N 0 E, no data at row 100 (outside the filled band) column 5, and a pair of empty cells at row 1024,
// columns 100 and 101, which the gap filling leaves empty.
void load_test_field(SstField& field) {
  testing::write_grid_file("grid.bin", 129,
                           {{cell_index(1308, 3186), 207},
                            {cell_index(1023, 0), 255},
                            {cell_index(100, 5), 252},
                            {cell_index(1024, 100), 253},
                            {cell_index(1024, 101), 254}});
  testing::write_file("mwir_land.txt", testing::kEmptyMask);
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  float sst = 99.0f;
  field.sst4main(console, "grid.bin", sst);
  ASSERT_EQ(sst, 0.0f);
  ASSERT_TRUE(field.loaded());
}

// Centre of cell (row, col): latitude -90 + (row + 0.6) d, longitude (col + 0.1) d, d = 360/4096.
constexpr float kCell = 360.0f / 4096.0f;
constexpr float centre_lat(std::size_t row) {
  return -90.0f + (static_cast<float>(row) + 0.6f) * kCell;
}
constexpr float centre_lon(std::size_t col) {
  return (static_cast<float>(col) + 0.1f) * kCell;
}

TEST(Getsst, ValueAtThePosition) {
  ScratchCwd scratch;
  SstField field;
  load_test_field(field);
  struct Case {
    float lat, lon;
    float want;
    const char* why;
  };
  const Case cases[] = {
      {25.0f, -80.0f, 28.0f, "code 140 / 5"},
      {10.0f, 10.0f, 16.2f, "code 81 / 5"},
      {0.0f, 0.0f, -1.0f, "land"},
      {0.0f, 359.99f, -1.0f, "land, column wrapped"},
      {0.0f, -0.0f, -1.0f, "land, -0.0 longitude"},
      {centre_lat(100), centre_lon(5), 0.0f, "no data"},
      {centre_lat(1024), centre_lon(101), 0.0f, "no data, not filled"},
      {-90.0f, 0.0f, 12.5f, "outside the grid: value kept"},
      {0.0f, 725.0f, 12.5f, "outside the grid: value kept"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "lat " << c.lat << " lon " << c.lon << ": " << c.why);
    State s;
    s.acft.Lat = c.lat;
    s.acft.Lon = c.lon;
    float sst = 12.5f;
    field.getsst(s, sst);
    EXPECT_EQ(sst, c.want);
  }
}

// The SST that the per-second step hands on, by source mode, for seconds in this order (a position outside
// the grid keeps the previous second's value). The aircraft's own SST is 30.0 throughout.
TEST(Getsst, SourceOfEachSecond) {
  ScratchCwd scratch;
  auto run = std::make_unique<sfmr::Run>();
  load_test_field(run->sst_field);
  ASSERT_EQ(run->outfile.create("test.OUT"), 0);
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);

  struct Case {
    float default_sst;
    float lat, lon;
    float want;
    const char* column;  // SST column of the output line (f6.2)
    const char* why;
  };
  const Case cases[] = {
      {-20.0f, 25.0f, -80.0f, 28.0f, " 28.00", "grid temperature"},
      {-20.0f, 0.0f, 0.0f, -1.0f, " -1.00", "land"},
      {-20.0f, centre_lat(100), centre_lon(5), 20.0f, " 20.00", "no data: the default's magnitude"},
      {-20.0f, -90.0f, 0.0f, 20.0f, " 20.00", "outside: the previous second's value"},
      {5.0f, 25.0f, -80.0f, 30.0f, " 30.00", "non-negative default: the aircraft's SST"},
      {5.0f, 0.0f, 0.0f, -1.0f, " -1.00", "non-negative default, land"},
  };
  run->sst = 0.0f;
  int second = 0;
  for (const Case& c : cases) {
    run->s.cal.default_sst = c.default_sst;
    run->s.acft.Lat = c.lat;
    run->s.acft.Lon = c.lon;
    run->s.acft.AcftSST = 30.0f;
    run->s.time.sec = ++second;
    per_second_step(*run, console);
    EXPECT_EQ(run->sst, c.want) << c.why;
  }
  run->outfile.close();

  std::ifstream file("test.OUT");
  std::string line;
  std::getline(file, line);  // header
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    ASSERT_TRUE(std::getline(file, line));
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string f; std::getline(split, f, ',');) fields.push_back(f);
    ASSERT_GT(fields.size(), 8u);
    EXPECT_EQ(fields[8], c.column);  // Time,Lat,Lon,RAlt,TAmb,AcftWS,Roll,Pitch,SST
    ASSERT_EQ(fields.size(), 28u);
    EXPECT_EQ(fields[23] == "OverLand  ", c.want == -1.0f) << "Err column " << fields[23];
  }
}

}  // namespace
}  // namespace sfmr
