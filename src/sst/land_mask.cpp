#include "sst/land_mask.hpp"

#include <string>

#include "core/files.hpp"
#include "core/text.hpp"

namespace sfmr {

namespace {

// Value 0..15 of an upper-case hexadecimal digit, -1 for any other character.
int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Character encoding: column 1 of each line is ignored, one mark stands in each even column up to the line's
// last non-blank character, "1" is land. `line` holds the first line, which already carries marks. Returns
// false on a read error or the end of the file before the last cell.
bool mark_land_characters(const LineSource& next_line, std::string& line, std::span<std::uint8_t> ssta) {
  std::size_t length = trimmed_length(line);
  std::size_t pos = 1;  // 0-based index of the mark: column 2
  for (std::uint8_t& cell : ssta) {
    if (pos >= length) {
      if (next_line(line) != 0) return false;
      length = trimmed_length(line);
      pos = 1;
      if (length < 2) return true;  // a line without marks ends the mask early
    }
    if (line[pos] == '1') cell = kSstLand;
    pos += 2;
  }
  return true;
}

// Hexadecimal encoding: every character up to the line's last non-blank one is a digit covering four cells,
// bit 8 the first. `line` holds the first line, whose leading "F" is already the first digit. Returns false
// on a character that is not an upper-case hexadecimal digit, a read error, or the end of the file before the
// last cell.
bool mark_land_hex(const LineSource& next_line, std::string& line, std::span<std::uint8_t> ssta) {
  std::size_t length = trimmed_length(line);
  std::size_t pos = 0;
  for (std::size_t first = 0; first < ssta.size(); first += 4) {
    if (pos >= length) {
      if (next_line(line) != 0) return false;
      length = trimmed_length(line);
      pos = 0;
      if (length == 0) return true;  // a blank line ends the mask early
    }
    const int digit = hex_value(line[pos]);
    if (digit < 0) return false;
    for (std::size_t k = 0; k < 4; ++k) {
      if (digit & (8 >> k)) ssta[first + k] = kSstLand;
    }
    ++pos;
  }
  return true;
}

}  // namespace

void land_overlay(SstGrid ssta, std::int32_t& ierr) {
  ierr = 0;
  TextFile mask;
  bool opened = false;
  for (std::string_view name : kLandMaskNames) {
    if (mask.open(name, kMaskLineLength) == 0) {
      opened = true;
      break;
    }
  }
  if (!opened) {
    ierr = -1;
    return;
  }
  if (!land_overlay_lines(mask.lines(), ssta)) ierr = -1;
  mask.close();
}

bool land_overlay_lines(const LineSource& next_line, std::span<std::uint8_t> cells) {
  std::string line(kMaskLineLength, ' ');
  bool ok = false;
  if (next_line(line) == 0) {  // an empty file has no first line
    if (line[0] == ' ') {
      ok = mark_land_characters(next_line, line, cells);
    } else if (line[0] == 'F') {
      ok = mark_land_hex(next_line, line, cells);
    }
  }
  return ok;
}

FillCounts hole_fillin(Console& console, SstGrid ssta) {
  // The band filled: rows 409..1762, from about 54 S to about 65 N. Rows are contiguous, so the south and
  // north neighbours of cell i are i - kSstCols and i + kSstCols.
  constexpr std::size_t first_row = 409;
  constexpr std::size_t last_row = 1762;
  FillCounts counts;
  for (std::size_t row = first_row; row <= last_row; ++row) {
    const std::size_t start = row * kSstCols;
    for (std::size_t col = 0; col < kSstCols; ++col) {
      const std::size_t i = start + col;
      if (ssta[i] != kSstNoData) continue;
      // No wrap-around in longitude: the first and last columns are never filled.
      if (col > 0 && col < kSstCols - 1) {
        const unsigned west = ssta[i - 1];
        const unsigned east = ssta[i + 1];
        const unsigned south = ssta[i - kSstCols];
        const unsigned north = ssta[i + kSstCols];
        if (west != 0 && east != 0 && south != 0 && north != 0) {
          // Up to 4 x 255 = 1020 before the division; land counts with its code 255.
          ssta[i] = static_cast<std::uint8_t>((west + east + south + north) / 4);
          ++counts.fixed;
          continue;
        }
      }
      ++counts.missing;
    }
  }
  if (counts.fixed > 0) console.line("# of loc fixed by interpolation:" + format_I(counts.fixed, 8));
  if (counts.missing > 0) console.line("# of loc still missing:" + format_I(counts.missing, 8));
  return counts;
}

}  // namespace sfmr
