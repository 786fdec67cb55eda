// Small helpers shared by the tests: temporary working directories, whole-file reading and writing, and a
// console with scripted answers.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "driver/console.hpp"

namespace sfmr::testing {

// A fresh directory under the system's temporary directory, made the working directory for the lifetime of
// the object; the previous working directory is restored and the directory removed afterwards.
class TempDir {
 public:
  TempDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "sfmrtest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    std::filesystem::current_path(path_);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline void write_file(const std::filesystem::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A console whose answers are scripted and whose transcript can be read back.
struct ScriptedConsole {
  explicit ScriptedConsole(std::string answers = {}) : in(std::move(answers)), console(in, out) {}
  std::istringstream in;
  std::ostringstream out;
  Console console;
  std::string transcript() const { return out.str(); }
};

}  // namespace sfmr::testing
