// Helpers of the set-up tests: a scratch working directory, small files, a scripted console, and the capture
// of a run's end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "driver/console.hpp"
#include "driver/run_end.hpp"
#include "driver/text.hpp"

namespace sfmr::setup_test {

// A fresh directory that is the working directory for the object's lifetime; afterwards the previous working
// directory is restored and the scratch directory removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() : previous_(std::filesystem::current_path()) {
    std::string name = (std::filesystem::temp_directory_path() / "sfmr_setup_XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = name;
    std::filesystem::current_path(path_);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline void write_file(const std::string& name, std::string_view content) {
  std::ofstream f(name, std::ios::binary);
  f << content;
  if (!f) throw std::runtime_error("cannot write " + name);
}

inline std::string read_file(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Lines joined with LF, each ended by one (the form of a text file or of typed answers).
inline std::string text_lines(std::initializer_list<std::string_view> lines) {
  std::string s;
  for (std::string_view l : lines) {
    s += l;
    s += '\n';
  }
  return s;
}

// A console line as the program writes it.
inline std::string crlf(std::string_view text) {
  return std::string(text) + "\r\n";
}

// `text` blank-padded to a 128-character field.
inline std::string field128(std::string_view text) {
  return fixed_text(text, kLineLength);
}

// Answers are read from `answers`; everything written is kept for inspection.
struct ScriptedConsole {
  explicit ScriptedConsole(std::string answers) : in(std::move(answers)) {}
  std::string transcript() const { return out.str(); }

  std::istringstream in;
  std::ostringstream out;
  Console console{in, out};
};

// How a call ended: by returning, or by a RunEnd with its status and console line.
struct Ending {
  bool ended = false;
  int status = 0;
  std::string message;
};

template <typename F>
Ending capture_end(F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const RunEnd& e) {
    return {true, e.status, e.message};
  }
  return {};
}

}  // namespace sfmr::setup_test
