#include "sim/sst_grid.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "sst/sst_field.hpp"

namespace sfmr::sim {

double sst_climatology(double lat, double lon) {
  constexpr double kFreezing = -1.8;  // sea water, deg C
  const double a = std::max(std::fabs(lat) - 12.0, 0.0);
  const double t = 29.5 - 0.008 * a * a + 0.5 * std::sin(3.0 * lon * std::numbers::pi / 180.0);
  return std::max(t, kFreezing);
}

std::uint8_t sst_byte_for_code(int code) {
  static const std::array<int, 256> first_byte = [] {
    std::array<int, 256> table;
    table.fill(-1);
    for (int b = 255; b >= 0; --b) table[sst_code_from_byte(static_cast<std::uint8_t>(b))] = b;
    return table;
  }();
  if (code < 1 || code > 255 || first_byte[static_cast<std::size_t>(code)] < 0)
    throw std::out_of_range("no grid byte gives SST code " + std::to_string(code));
  return static_cast<std::uint8_t>(first_byte[static_cast<std::size_t>(code)]);
}

void write_sst_grid(std::ostream& out) {
  const double dx = 360.0 / 4096.0;  // cell size, deg
  std::vector<char> row(kSstCols);
  for (std::size_t i = 0; i < kSstRows; ++i) {
    const double lat = -90.0 + (static_cast<double>(i) + 0.6) * dx;  // centre of row i + 1
    for (std::size_t j = 0; j < kSstCols; ++j) {
      const double lon = (static_cast<double>(j) + 0.1) * dx;  // centre of column j + 1
      const int code = std::clamp(static_cast<int>(std::lround(5.0 * sst_climatology(lat, lon))), 1, 173);
      row[j] = static_cast<char>(sst_byte_for_code(code));
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
}

}  // namespace sfmr::sim
