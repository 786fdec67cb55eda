// Opening a tool's input file with the message a user needs: a missing or unreadable file, or a directory
// named as a file (which a stream would open and then read as empty), is a ToolFailure naming the path.
#pragma once

#include <filesystem>
#include <fstream>

namespace sfmr::tool {

// The file opened for binary reading; throws ToolFailure "PATH: cannot open (reason)" or "PATH: is a
// directory".
std::ifstream open_input(const std::filesystem::path& path);

}  // namespace sfmr::tool
