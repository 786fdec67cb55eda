// Where the tools find their installed scripts and data: share/sfmrbatch beside the bin/ directory of the
// running program when it is installed, else the source tree it was built from. The shell scripts
// (sfmrcampaign, sfmrdemo) follow the same rule in their shared_file function.
#pragma once

#include <filesystem>
#include <string_view>

namespace sfmr::tool {

// The directory of the running program (empty when /proc/self/exe cannot be read).
std::filesystem::path program_dir();

// The file `name` in share/sfmrbatch beside the installed bin/, else `source_relative` below the source
// tree; empty when neither is a regular file.
std::filesystem::path find_shared_file(std::string_view name, std::string_view source_relative);

}  // namespace sfmr::tool
