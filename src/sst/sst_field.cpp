#include "sst/sst_field.hpp"

#include <array>
#include <cmath>
#include <fstream>
#include <string>

#include "core/text.hpp"
#include "sst/land_mask.hpp"

namespace sfmr {

namespace {

// Cell code of a temperature level u (0..250) of the grid file: T = 0.15 u - 3.0 deg C, stored as 5 T
// rounded to the nearest whole number, halves up, and never below 1 (0 means no data).
// The factor is the single-precision 0.15 (0.150000006): it puts an exact half such as level 22
// (5 T = 1.5) just above the half, so it rounds up; a double-precision 0.15 would round it down.
constexpr std::uint8_t code_of_level(int u) {
  const double five_t = 5.0 * (static_cast<double>(0.15f) * u - 3.0);
  const long code = five_t >= 0.0 ? static_cast<long>(five_t + 0.5) : static_cast<long>(five_t - 0.5);
  return static_cast<std::uint8_t>(code < 1 ? 1 : code);
}

static_assert(code_of_level(21) == 1 && code_of_level(22) == 2 && code_of_level(24) == 3);
static_assert(code_of_level(26) == 5 && code_of_level(128) == 81 && code_of_level(250) == 173);

// Cell code of every byte of the grid file. Bytes 128 and 129..251 are one level below their value (128
// repeats level 127); 252..254 carry no data, 255 is land.
constexpr std::array<std::uint8_t, 256> make_code_table() {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    if (b <= 127) {
      table[b] = code_of_level(b);
    } else if (b <= 251) {
      table[b] = code_of_level(b - 1);
    } else if (b <= 254) {
      table[b] = kSstNoData;
    } else {
      table[b] = kSstLand;
    }
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kCodeOfByte = make_code_table();

// Grid cells per degree of latitude or longitude: 4096/360 in single precision (11.377778).
constexpr float kCellsPerDegree = 4096.0f / 360.0f;

// Nearest whole number, halves away from zero.
double nearest(double x) {
  return x >= 0.0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
}

}  // namespace

std::uint8_t sst_code_from_byte(std::uint8_t byte) {
  return kCodeOfByte[byte];
}

void read_mwir(std::string_view sstfile, SstGrid ssta, std::int32_t& ierr) {
  ierr = -1;
  std::ifstream file(std::string(trimmed(sstfile)), std::ios::in | std::ios::binary);
  if (!file.is_open()) return;
  // One block read; the same bytes in the same order as a byte-by-byte read.
  const auto size = static_cast<std::streamsize>(ssta.size());
  file.read(reinterpret_cast<char*>(ssta.data()), size);
  const bool complete = file.gcount() == size;
  file.close();
  if (!complete) return;
  for (std::uint8_t& cell : ssta) cell = kCodeOfByte[cell];
  ierr = 0;
}

bool sst_cell(float lat, float lon, std::size_t& cell) {
  constexpr double rows = static_cast<double>(kSstRows);
  constexpr double cols = static_cast<double>(kSstCols);
  // With d = 360/4096 deg, row r covers latitudes -90 + (r + 0.1) d up to (not including) -90 + (r + 1.1) d,
  // and column c covers longitudes (c - 0.4) d up to (c + 0.6) d, modulo 360: column 0 straddles the prime
  // meridian.
  const double row = nearest((static_cast<double>(lat) + 90.0) * kCellsPerDegree + 0.4) - 1.0;
  double east = lon;
  if (east < 0.0) east += 360.0;  // -0.0 is not negative
  double col = nearest(east * kCellsPerDegree + 0.9) - 1.0;
  if (col >= cols) {
    col -= cols;
  } else if (col < 0.0) {
    col += cols;
  }
  // Also rejects NaN.
  if (!(row >= 0.0 && row < rows && col >= 0.0 && col < cols)) return false;
  cell = static_cast<std::size_t>(row) * kSstCols + static_cast<std::size_t>(col);
  return true;
}

void SstField::sst4main(Console& console, std::string_view sstfile, float& sst) {
  loaded_ = false;
  if (ssta_.empty()) ssta_.resize(kSstCells);  // the one allocation of the run
  const SstGrid ssta{ssta_.data(), kSstCells};

  std::int32_t ierr = 0;
  read_mwir(sstfile, ssta, ierr);
  if (ierr != 0) {
    sst = -1.0f;
    return;
  }
  land_overlay(ssta, ierr);
  hole_fillin(console, ssta);  // runs whatever the mask reported
  if (ierr != 0) {
    sst = -1.0f;
    return;
  }
  loaded_ = true;
  sst = 0.0f;
}

void SstField::getsst(const State& s, float& sst) const {
  if (!loaded_) {
    sst = 0.0f;
    return;
  }
  std::size_t cell = 0;
  if (!sst_cell(s.acft.Lat, s.acft.Lon, cell)) return;
  const std::uint8_t code = ssta_[cell];
  if (code == kSstNoData) {
    sst = 0.0f;
  } else if (code == kSstLand) {
    sst = -1.0f;
  } else {
    sst = static_cast<float>(code / 5.0);  // 0.2 deg C per step
  }
}

}  // namespace sfmr
