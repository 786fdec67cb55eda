// Opening a tool's input file with the message a user needs: a missing or unreadable file, or a directory
// named as a file (which a stream would open and then read as empty), is a ToolFailure naming the path; and
// the lines of its text, numbered as a user counts them.
#pragma once

#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace sfmr::tool {

// The file opened for binary reading; throws ToolFailure "PATH: cannot open (reason)" or "PATH: is a
// directory".
std::ifstream open_input(const std::filesystem::path& path);

// The lines of `text`, split at line feeds, each without its line feed and a carriage return before it
// (Unix and DOS line ends alike). A last line without a line feed is a line; a line feed at the end starts
// none. Line N of the file (from 1) is element N - 1.
std::vector<std::string_view> lines_of(std::string_view text);

}  // namespace sfmr::tool
