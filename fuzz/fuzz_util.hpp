// Helpers of the fuzz targets: the input as text, its split into two parts, lines of text in memory, and the
// check that stops a target on a broken property.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <istream>
#include <string>
#include <string_view>
#include <utility>

#include <stdlib.h>
#include <unistd.h>

#include "core/files.hpp"
#include "core/text.hpp"

namespace sfmr::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The parts before and after the first line "--" (the whole text and nothing when there is none).
inline std::pair<std::string_view, std::string_view> split_parts(std::string_view text) {
  constexpr std::string_view kSeparator = "\n--\n";
  const std::size_t at = text.find(kSeparator);
  if (at == std::string_view::npos) return {text, {}};
  return {text.substr(0, at + 1), text.substr(at + kSeparator.size())};
}

// The lines of `in` as a LineSource of `length`-character fields.
inline LineSource lines_of(LineReader& reader) {
  return [&reader](std::string& line) { return reader.read(line); };
}

// True when `text` could name a device or a system file: such names are never opened by a target, so that
// an input cannot make the fuzzer open a disk or a terminal.
inline bool names_system_files(std::string_view text) {
  for (std::string_view dir : {"dev/", "proc/", "sys/"}) {
    if (text.find(dir) != std::string_view::npos) return true;
  }
  return false;
}

// Stops the target with a message when a property does not hold (the fuzzer keeps the input).
inline void check(bool holds, std::string_view what, std::string_view detail = {}) {
  if (holds) return;
  std::cerr << "property broken: " << what << " [" << detail << "]\n";
  std::abort();
}

// Makes a fresh directory <tmp>/sfmrfuzz-XXXXXX the working directory for the rest of the process and removes
// it at exit; a target calls it once, from its first input.
inline void enter_scratch_dir() {
  static std::filesystem::path dir;
  std::string pattern = (std::filesystem::temp_directory_path() / "sfmrfuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr || ::chdir(pattern.c_str()) != 0) {
    std::perror("sfmrfuzz scratch directory");
    std::abort();
  }
  dir = pattern;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  });
}

inline void write_file(const std::string& name, std::string_view content) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  check(static_cast<bool>(out), "scratch file written", name);
}

}  // namespace sfmr::fuzz
