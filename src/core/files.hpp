// Files of a run: text files opened for reading by name (with the operating system's status of the open),
// and the output file, created new and never overwriting anything.
#pragma once

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/text.hpp"

namespace sfmr {

// Status of an open that must create a new file when the name is already taken.
constexpr int kFileExists = 128;
// Status of an open for reading when the name is a directory (the system's EISDIR).
constexpr int kIsDirectory = 21;

// Delivers the next line of a text into a fixed-length field; returns the read status (0, negative at the
// end, positive on a read error). Readers of whole files take their lines through one of these, so that they
// run as well over a file as over text in memory.
using LineSource = std::function<int(std::string& line)>;

// A text file opened for sequential reading of fixed-length lines.
class TextFile {
 public:
  // Opens `name` (used up to its trimmed length) for reading; the file must exist and must not be a
  // directory. Returns 0 or the operating system's error number.
  int open(std::string_view name, std::size_t line_length = kLineLength);

  // Reads the next line (status as LineReader::read).
  int read(std::string& line);

  // This file's lines as a LineSource (valid while the file is open).
  LineSource lines() {
    return [this](std::string& line) { return read(line); };
  }

  // Back to the first line.
  void rewind();

  bool is_open() const { return stream_.is_open(); }
  void close();

 private:
  std::ifstream stream_;
  std::unique_ptr<LineReader> reader_;
};

// Tries to open `name` for reading and closes it again at once; returns the open status.
int probe_readable(std::string_view name);

// The output file: lines are written with CR LF. A write that fails ends the run with the console line
// "Write error on output file." and exit status 1. What was written is flushed when the file is closed or
// destroyed, also when the run ends early.
class OutFile {
 public:
  OutFile() = default;
  explicit OutFile(std::FILE* file) : file_(file) {}
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;
  OutFile(OutFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
  OutFile& operator=(OutFile&& other) noexcept;
  ~OutFile();

  // Creates `name` (used up to its trimmed length) as a new file; fails if anything of that name exists.
  // Returns 0, kFileExists, or the operating system's error number.
  int create(std::string_view name);

  void write_line(std::string_view text);

  // Flushes and closes; a failure ends the run as a failed write does.
  void close();

  bool is_open() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace sfmr
