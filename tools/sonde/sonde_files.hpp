// A pile of sonde files read into records: each file an EOL sounding file (text, or netCDF through a reader
// the caller gives) or a file of TEMP DROP bulletins, told apart by their first bytes and lines.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sonde/date_context.hpp"
#include "sonde/sonde.hpp"

namespace sfmr::sonde {

// The sondes of the file `path` whose content is `text`. A TEMP DROP file's month and year come from
// `month`, else from the file name (YYYYMMDDhhmm); skipped bulletins are named "PATH: HEADING OB nn".
// Throws SondeError "PATH: what is wrong" for a file that cannot be read at all.
ReadResult read_sonde_text(const std::string& path, std::string_view text,
                           const std::optional<DateContext>& month);

// True when `head` begins with the netCDF magic bytes: "CDF" and 1, 2 or 5 (classic formats), or the HDF5
// signature of netCDF-4.
bool looks_like_netcdf(std::string_view head);

// The reader of an EOL netCDF QC file (tools/archive/eol_nc.hpp): throws SondeError "what is wrong".
using NetcdfSondeReader = std::function<Sonde(const std::string& path)>;

// Every file in turn, the sondes in the files' order; a TEMP DROP bulletin already read from an earlier
// file is skipped as a repeat; the first file that cannot be read ends the reading. A netCDF file is read
// by `netcdf`, and refused when there is none (a build without the netCDF library).
ReadResult read_sonde_files(const std::vector<std::string>& paths, const std::optional<DateContext>& month,
                            const NetcdfSondeReader& netcdf = {});

}  // namespace sfmr::sonde
