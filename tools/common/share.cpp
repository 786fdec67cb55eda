#include "common/share.hpp"

#include <string>

namespace sfmr::tool {
namespace fs = std::filesystem;

fs::path program_dir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

fs::path find_shared_file(std::string_view name, std::string_view source_relative) {
  std::error_code ec;
  if (const fs::path bin = program_dir(); !bin.empty()) {
    const fs::path installed = bin / SFMR_SHARE_RELATIVE / name;
    if (fs::is_regular_file(installed, ec)) return installed.lexically_normal();
  }
  const fs::path source = fs::path(SFMR_SOURCE_TREE) / source_relative;
  if (fs::is_regular_file(source, ec)) return source;
  return {};
}

}  // namespace sfmr::tool
