// A pile of sonde files read into records: each file an EOL sounding file or a file of TEMP DROP
// bulletins, told apart by their first lines.
#pragma once

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

// Every file in turn, the sondes in the files' order; a TEMP DROP bulletin already read from an earlier
// file is skipped as a repeat; the first file that cannot be read ends the reading.
ReadResult read_sonde_files(const std::vector<std::string>& paths, const std::optional<DateContext>& month);

}  // namespace sfmr::sonde
