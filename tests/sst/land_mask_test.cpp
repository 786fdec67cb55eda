// The land mask: which file is used, and its two encodings.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sst/land_mask.hpp"
#include "sst_test_files.hpp"

namespace sfmr {
namespace {

using testing::cell_index;
using testing::ScratchCwd;
using testing::write_file;

struct Overlay {
  std::int32_t ierr = 99;
  std::vector<std::size_t> land;  // cells set to 255, ascending
};

// Runs the overlay over a grid holding code 81 everywhere, in the current working directory.
Overlay run_overlay() {
  std::vector<std::uint8_t> grid(kSstCells, 81);
  Overlay result;
  land_overlay(SstGrid{grid.data(), kSstCells}, result.ierr);
  for (std::size_t k = 0; k < kSstCells; ++k) {
    if (grid[k] == 255) {
      result.land.push_back(k);
    } else {
      EXPECT_EQ(grid[k], 81) << "cell " << k;
    }
  }
  return result;
}

// `count` digits "0" followed by the text `tail`.
std::string zeros(std::size_t count, const std::string& tail = "") {
  return std::string(count, '0') + tail;
}

// Character-encoded mask of the first `cells` cells, `per_line` marks a line, "1" at the cells of `land` and
// "0" elsewhere, followed by `tail`.
std::string character_mask(std::size_t cells, std::size_t per_line, const std::vector<std::size_t>& land,
                           const std::string& tail) {
  std::string marks(cells, '0');
  for (std::size_t k : land) marks[k] = '1';
  std::string text;
  text.reserve(cells * 2 + cells / per_line * 2 + tail.size() + 2);
  for (std::size_t k = 0; k < cells; ++k) {
    text += ' ';
    text += marks[k];
    if ((k + 1) % per_line == 0 || k + 1 == cells) text += '\n';
  }
  return text + tail;
}

// Hexadecimal mask of the first `digits` groups of four cells, `per_line` digits a line, "F" first, "1" as
// the last digit and "0" elsewhere, followed by `tail`.
std::string hex_mask(std::size_t digits, std::size_t per_line, const std::string& tail) {
  std::string all = std::string("F") + zeros(digits - 2) + "1";
  std::string text;
  for (std::size_t k = 0; k < digits; k += per_line) text += all.substr(k, per_line) + "\n";
  return text + tail;
}

TEST(LandOverlay, MaskFilePrecedence) {
  // File n (index into kLandMaskNames) marks cell 4 (n + 1) besides the first four cells.
  struct Case {
    const char* name;
    std::vector<int> files;  // which of the four names exist as files
    bool first_is_directory;
    int used;  // -1: no mask is used
  };
  const Case cases[] = {
      {"all four", {0, 1, 2, 3}, false, 0},
      {"parent _z and local plain: parent _z", {0, 3}, false, 0},
      {"local _z before parent plain", {1, 2, 3}, false, 1},
      {"parent plain before local plain", {2, 3}, false, 2},
      {"local plain alone", {3}, false, 3},
      {"a directory named like the first is passed over", {3}, true, 3},
      {"none", {}, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchCwd scratch;
    for (int n : c.files) {
      std::string text = "F";
      text.append(static_cast<std::size_t>(n), '0');
      text += "8\n\n";
      write_file(std::string(kLandMaskNames[static_cast<std::size_t>(n)]), text);
    }
    if (c.first_is_directory) std::filesystem::create_directory(std::string(kLandMaskNames[0]));
    const Overlay result = run_overlay();
    if (c.used < 0) {
      EXPECT_EQ(result.ierr, -1);
      EXPECT_TRUE(result.land.empty());
    } else {
      EXPECT_EQ(result.ierr, 0);
      EXPECT_EQ(result.land,
                (std::vector<std::size_t>{0, 1, 2, 3, 4 * (static_cast<std::size_t>(c.used) + 1)}));
    }
  }
}

struct MaskCase {
  const char* name;
  std::string text;
  std::int32_t ierr;
  std::vector<std::size_t> land;
};

void check_masks(const std::vector<MaskCase>& cases) {
  for (const MaskCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchCwd scratch;
    write_file("mwir_land.txt", c.text);
    const Overlay result = run_overlay();
    EXPECT_EQ(result.ierr, c.ierr);
    EXPECT_EQ(result.land, c.land);
  }
}

TEST(LandOverlay, HexadecimalEncoding) {
  const std::vector<std::size_t> first4 = {0, 1, 2, 3};
  // Row 0 ends with digit 1023 and row 1 starts with digit 1024: with 200 digits a line they stand at
  // positions 23 and 24 of the sixth line.
  const std::string across_rows = std::string("F") + zeros(199) + "\n" + zeros(200) + "\n" + zeros(200) +
                                  "\n" + zeros(200) + "\n" + zeros(200) + "\n" + zeros(23, "18") + "\n\n";
  check_masks({
      {"F alone, then a blank line", "F\n\n", 0, first4},
      {"bits 8, 4, 2, 1 are the first to fourth cell", "F8421\n\n", 0, {0, 1, 2, 3, 4, 9, 14, 19}},
      {"digits A and 5", "FA5\n\n", 0, {0, 1, 2, 3, 4, 6, 9, 11}},
      {"a row continues on the next line", across_rows, 0, {0, 1, 2, 3, 4095, 4096}},
      {"the 201st character of a line is cut", std::string("F") + zeros(199, "8") + "\n\n", 0, first4},
      {"trailing blanks end a line's digits", "F  \n8\n\n", 0, {0, 1, 2, 3, 4}},
      {"CR LF line ends", "F\r\n8\r\n\r\n", 0, {0, 1, 2, 3, 4}},
      {"the first line's F is the first digit", "F0\n8\n\n", 0, {0, 1, 2, 3, 8}},
      {"lower-case f after the first digit", "F0f\n\n", -1, first4},
      {"lower-case f first", "f\n\n", -1, {}},
      {"blank between two digits", "F0 8\n\n", -1, first4},
      {"a digit after a blank line is not read", "F\n\n8\n", 0, first4},
      {"file ends before the last row", "F0\n", -1, first4},
      {"empty file", "", -1, {}},
      {"first character neither blank nor F", "0F\n\n", -1, {}},
  });
}

TEST(LandOverlay, CharacterEncoding) {
  // With 100 marks a line, cells 4095 and 4096 (end of row 0, start of row 1) are marks 95 and 96 of the
  // 41st line.
  check_masks({
      {"one land mark", " 0 0 1 0\n\n", 0, {2}},
      {"a 1 in an odd column is ignored", " 01 0\n\n", 0, {}},
      {"column 1 is ignored, later lines too", " 0\n11 0 1\n\n", 0, {1, 3}},
      {"marks only up to the last non-blank column", " 1 1 1x\n 1\n\n", 0, {0, 1, 2, 3}},
      {"a mark in column 202 is cut off", std::string(" ") + zeros(200, "1") + "\n\n", 0, {}},
      {"a row continues on the next line", character_mask(4097, 100, {4095, 4096}, "\n"), 0, {4095, 4096}},
      {"a line of one character ends the mask", " 1\n1\n 1 1\n", 0, {0}},
      {"an empty first line still selects this encoding", "\n 1\n\n", 0, {0}},
      {"file ends before the last row", " 1\n", -1, {0}},
  });
}

TEST(LandOverlay, WholeGridMask) {
  // A mask that covers all 2048 rows ends there: the line after it is never read (it would fail).
  const std::size_t groups = kSstCells / 4;
  check_masks({
      {"hexadecimal, 128 digits a line", hex_mask(groups, 128, "f\n"), 0, {0, 1, 2, 3, kSstCells - 1}},
      {"hexadecimal, one digit short", hex_mask(groups - 1, 128, ""), -1, {0, 1, 2, 3, kSstCells - 5}},
      {"character, 100 marks a line",
       character_mask(kSstCells, 100, {0, cell_index(2047, 4095)}, "\n"),
       0,
       {0, kSstCells - 1}},
  });
}

}  // namespace
}  // namespace sfmr
