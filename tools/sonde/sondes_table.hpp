// The sondes table, PREFIX.sondes.csv: one row per sonde with its release and splash, its 10-m wind with
// the method and error, and the WL150 and MBL winds (the message's, else computed from the profile).
// Speeds m/s, directions deg (from), times YYYY-MM-DDTHH:MM:SSZ; an empty field where the sonde gives
// nothing, and `note` saying why.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/publish.hpp"
#include "common/time_text.hpp"
#include "sonde/sonde.hpp"
#include "sonde/surface_wind.hpp"

namespace sfmr::sonde {

inline constexpr std::string_view kSondesHeader =
    "sonde,aircraft,mission,release_time,release_lat,release_lon,splash_time,splash_lat,splash_lon,"
    "surface_wind_speed,surface_wind_from_direction,surface_wind_method,surface_wind_error,wl150_speed,"
    "wl150_from_direction,mbl_speed,mbl_from_direction,note";

// A table of one row per sonde, column by column: each cell as the CSV writes it, and for a number or a time
// its value too (NaN where the cell is empty), so that the CSV and netCDF forms come from one place.
enum class ColumnKind { kText, kNumber, kTime };
struct Column {
  std::string name;
  ColumnKind kind = ColumnKind::kText;
  std::string units, standard_name, long_name;  // for the netCDF form
  std::vector<std::string> cells;
  std::vector<double> values;  // kNumber: the value; kTime: s since 1970
};
using Table = std::vector<Column>;

// The CSV text of a table: the names, then the rows; each line ends with a line feed.
std::string table_csv(const Table& table);

// The sondes table's columns (kSondesHeader), sondes then skipped bulletins as in sondes_csv.
Table sondes_columns(const ReadResult& read, const ReductionTable& table);

// "YYYY-MM-DDTHH:MM:SSZ" of seconds since 1970 (rounded to the second); empty for NaN.
using tool::iso_time;

// The table's text: the header line, one line per sonde, then one per skipped bulletin (its name in
// `sonde`, "skipped: REASON" in `note`, the rest empty); each line ends with a line feed.
std::string sondes_csv(const ReadResult& read, const ReductionTable& table);

// PREFIX.sondes.csv published under a temporary name (tools/common/publish.hpp).
void write_sondes_table(const std::string& prefix, const ReadResult& read, const ReductionTable& table,
                        tool::Replace replace);

}  // namespace sfmr::sonde
