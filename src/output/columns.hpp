// Columns of the output file: the one table of header name, form, width and decimals, and the words of the
// status texts, that the writer writes and the companion tools' reader reads, so that both always agree on
// the layout of a line.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace sfmr {

// How a column is written.
enum class ColumnForm {
  Clock,    // HH:MM:SS, each part i2.2
  Fixed,    // Fw.d, right-justified; asterisks when the value does not fit
  Integer,  // iw, right-justified; asterisks when the value does not fit
  Status,   // a status text, left-justified and blank-padded to the width
};

struct OutColumn {
  std::string_view name;  // in the header line
  ColumnForm form;
  int width;         // characters
  int decimals = 0;  // Fixed only
};

// Characters of each status text (columns Err and PSErr).
constexpr int kStatusTextLength = 10;

// Words of the status texts, for the writer and every reader of the file.
namespace status_word {
// Retrieval (column Err): why no retrieval was made, or the calm-sea solution.
constexpr std::string_view kBigRoll = "BigRoll";
constexpr std::string_view kOverLand = "OverLand";
constexpr std::string_view kNoData = "NoData";
constexpr std::string_view kNoSolution = "NoSolution";
constexpr std::string_view kRefTempErr = "RefTempErr";
constexpr std::string_view kZeroWsRr = "ZeroWS&RR";
// Onboard (column PSErr): written after one character, a blank or the marker '*'.
constexpr std::string_view kPsNoData = "NoData";
constexpr std::string_view kPsNoAuxData = "NoAuxData";
constexpr std::string_view kPsOldSst = "OldSST";
constexpr std::string_view kPsTempErr = "TempErr";
}  // namespace status_word

// The 28 columns in the order of the line; consecutive columns are separated by one comma.
// clang-format off
inline constexpr std::array<OutColumn, 28> kOutColumns = {{
    {"Time", ColumnForm::Clock, 8},
    {"Lat", ColumnForm::Fixed, 7, 3},
    {"Lon", ColumnForm::Fixed, 8, 3},
    {"RAlt", ColumnForm::Integer, 5},
    {"TAmb", ColumnForm::Fixed, 5, 1},
    {"AcftWS", ColumnForm::Fixed, 6, 2},
    {"Roll", ColumnForm::Fixed, 6, 2},
    {"Pitch", ColumnForm::Fixed, 6, 2},
    {"SST", ColumnForm::Fixed, 6, 2},
    {"Tb0", ColumnForm::Fixed, 6, 2},
    {"Tb1", ColumnForm::Fixed, 6, 2},
    {"Tb2", ColumnForm::Fixed, 6, 2},
    {"Tb3", ColumnForm::Fixed, 6, 2},
    {"Tb4", ColumnForm::Fixed, 6, 2},
    {"Tb5", ColumnForm::Fixed, 6, 2},
    {"Th2", ColumnForm::Fixed, 6, 2},
    {"Th3", ColumnForm::Fixed, 6, 2},
    {"Th4", ColumnForm::Fixed, 6, 2},
    {"Th5", ColumnForm::Fixed, 6, 2},
    {"Th6", ColumnForm::Fixed, 6, 2},
    {"SFWS", ColumnForm::Fixed, 6, 2},
    {"SFRR", ColumnForm::Fixed, 6, 2},
    {"SFQF", ColumnForm::Fixed, 6, 2},
    {"Err", ColumnForm::Status, kStatusTextLength},
    {"PSWS", ColumnForm::Fixed, 6, 2},
    {"PSRR", ColumnForm::Fixed, 6, 2},
    {"PSQF", ColumnForm::Fixed, 6, 2},
    {"PSErr", ColumnForm::Status, kStatusTextLength},
}};
// clang-format on

namespace column_detail {

constexpr std::size_t header_length() {
  std::size_t n = kOutColumns.size() - 1;  // commas
  for (const OutColumn& c : kOutColumns) n += c.name.size();
  return n;
}

constexpr std::array<char, header_length() + 1> header_text() {
  std::array<char, header_length() + 1> text{};
  std::size_t pos = 0;
  for (std::size_t k = 0; k < kOutColumns.size(); ++k) {
    if (k > 0) text[pos++] = ',';
    for (const char c : kOutColumns[k].name) text[pos++] = c;
  }
  text[pos] = '\0';
  return text;
}

inline constexpr std::array<char, header_length() + 1> kHeaderText = header_text();

}  // namespace column_detail

// The header line (without its line end): the column names joined by commas.
inline constexpr std::string_view kOutHeader(column_detail::kHeaderText.data(),
                                             column_detail::header_length());

// Characters of a data line without its line end: the columns' widths and the commas between them.
constexpr std::size_t out_line_width() {
  std::size_t n = kOutColumns.size() - 1;
  for (const OutColumn& c : kOutColumns) n += static_cast<std::size_t>(c.width);
  return n;
}

}  // namespace sfmr
