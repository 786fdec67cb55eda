// Helpers shared by the tests: scratch working directories, whole-file reading and writing (and fake
// programs written whole), a console with
// scripted answers, and the capture of a run's end.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/run_end.hpp"
#include "core/text.hpp"

namespace sfmr::testing {

// A fresh directory <tmp>/sfmrtest-XXXXXX with a subdirectory "work" that is the working directory while
// the object lives, so that names in the parent directory ("../name") land inside the scratch directory too.
// The destructor restores the previous working directory and removes everything.
class TempDir {
 public:
  TempDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "sfmrtest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directory(root_ / "work");
    std::filesystem::current_path(root_ / "work");
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(root_, ec);
  }
  // The working directory.
  std::filesystem::path path() const { return root_ / "work"; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path root_;
};

// Writes `content` to `path` as it is.
inline void write_file(const std::filesystem::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Writes an executable script (mode 0700) whole: under the name with ".part" added, through a descriptor
// closed on exec, then renamed into place. The name never holds a partly written script, and a child that
// this process forks while the file is open drops the descriptor when it executes its program, so that
// running the script cannot fail with "text file busy" (ETXTBSY: a file open for writing somewhere).
inline void write_executable(const std::filesystem::path& path, std::string_view content) {
  const std::filesystem::path part = path.string() + ".part";
  const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
  if (fd < 0) throw std::runtime_error("cannot create " + part.string());
  const bool whole = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  if (::close(fd) != 0 || !whole) throw std::runtime_error("cannot write " + part.string());
  std::filesystem::permissions(part, std::filesystem::perms::owner_all);
  std::filesystem::rename(part, path);
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
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

// The lines of `text`, split at each LF with a CR before it dropped; text after the last line end (an
// unfinished prompt) is a last line of its own.
inline std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

// A console line as the program writes it.
inline std::string crlf(std::string_view text) {
  return std::string(text) + "\r\n";
}

// `text` blank-padded to a 128-character field.
inline std::string field128(std::string_view text) {
  return fixed_text(text, kLineLength);
}

// A console whose answers are scripted and whose transcript can be read back.
struct ScriptedConsole {
  explicit ScriptedConsole(std::string answers = {}) : in(std::move(answers)) {}
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

}  // namespace sfmr::testing
