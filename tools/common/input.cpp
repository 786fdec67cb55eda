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

}  // namespace sfmr::tool
