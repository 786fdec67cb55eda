// What the plotting steps share in their scratch directory: writing a data file whole, numbers as the
// scripts read them, and the helper programs (gnuplot, GMT) run there with one message when they fail.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "common/process.hpp"

namespace sfmr::plot {

// Writes `path` by calling `writer` with its stream; false when the file cannot be written whole.
template <typename Writer>
bool write_to(const std::filesystem::path& path, Writer&& writer) {
  std::ofstream out(path, std::ios::binary);
  std::forward<Writer>(writer)(out);
  out.close();
  return static_cast<bool>(out);
}

// `v` to four decimals without leading blanks, as the settings and the GMT region give it.
std::string number(double v);

// A helper program run in `dir`, its standard output into `out` when given (else discarded).
tool::ChildCommand helper(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                          const std::filesystem::path& out = {});

// Ends the run (tool::fail) with the one line about a failed child (ChildResult::failure_line) when the
// helper `program` could not be run or failed, with the first line of its error output.
void check(const tool::ChildResult& r, const std::string& program);

}  // namespace sfmr::plot
