// The matchups table as a CF-1.8 netCDF-4 file: one row per sonde along the dimension `sonde`, each column
// a variable of that name (texts as strings, times as seconds since 1970-01-01 00:00:00 UTC, numbers as
// doubles with _FillValue where the CSV cell is empty), with its units, standard name and long name.
#pragma once

#include <string>

#include "sonde/sondes_table.hpp"

namespace sfmr::archive {

// Writes `table` to the file `path` (made by the caller under a temporary name); `history` is the global
// history line (time stamp and command line). Throws nc::Error.
void write_matchups_nc(const std::string& path, const sonde::Table& table, const std::string& history);

}  // namespace sfmr::archive
