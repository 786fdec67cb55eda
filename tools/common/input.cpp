#include "common/input.hpp"

#include <cerrno>
#include <cstring>

#include "common/cli.hpp"

namespace sfmr::tool {

std::ifstream open_input(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) fail(path.string() + ": is a directory");
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(path.string() + ": cannot open (" + std::strerror(errno) + ")");
  return in;
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace sfmr::tool
