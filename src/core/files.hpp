// Files of a run: text files opened for reading by name (with the operating system's status of the open),
// and the output file, created new and never overwriting anything.
#pragma once

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text.hpp"

namespace sfmr {

// Status of an open that must create a new file when the name is already taken.
constexpr int kFileExists = 128;
// Status of an open for reading when the name is a directory (the system's EISDIR).
constexpr int kIsDirectory = 21;

// A text file opened for sequential reading of fixed-length lines. The file is read in large blocks and
// lines are handed out from the block, so reading a line allocates nothing. Lines follow LineReader's rules:
// a line ends at a line feed, a carriage return directly before it is dropped, a shorter line is
// blank-padded and a longer one cut, and a last line without a line feed is still a line.
class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  TextFile(TextFile&& other) noexcept { *this = std::move(other); }
  TextFile& operator=(TextFile&& other) noexcept;
  ~TextFile() { close(); }

  // Opens `name` (used up to its trimmed length) for reading; the file must exist and must not be a
  // directory. Returns 0 or the operating system's error number.
  int open(std::string_view name, std::size_t line_length = kLineLength);

  // Reads the next line into `line` (status as LineReader::read).
  int read(std::string& line);

  // Reads the next line as a view of `line_length` characters, valid until the next read, rewind or close
  // (status as LineReader::read; `line` is unchanged unless the status is 0).
  int read(std::string_view& line);

  // Back to the first line.
  void rewind();

  bool is_open() const { return fd_ >= 0; }
  void close();

 private:
  // The next line's text without its line end (longer lines cut to line_length + 1 characters).
  int next_line(std::string_view& text);

  int fd_ = -1;
  std::size_t length_ = kLineLength;
  std::vector<char> block_;  // bytes read from the file; [pos_, end_) not yet handed out
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;  // the file has no bytes beyond end_
  std::string long_;     // the start of a line longer than the block
  std::string padded_;   // the last line handed out as a view, blank-padded
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
