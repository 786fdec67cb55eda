#include "setup/out_file.hpp"

#include "core/run_end.hpp"
#include "core/text.hpp"

namespace sfmr {

namespace {

// Attempt 0 is the plain name; attempts 1..10 add the letters a..j.
constexpr int kLastAttempt = 10;

}  // namespace

std::string_view output_stem(std::string_view infile) {
  const std::string_view name = trimmed(infile);
  // A "." in column 1 does not count (".hidden" keeps its whole name as stem).
  for (std::size_t i = name.size(); i-- > 1;) {
    if (name[i] == '.') return name.substr(0, i);
  }
  return name;
}

std::string output_candidate(std::string_view stem, int attempt) {
  std::string name(stem);
  if (attempt > 0) name += static_cast<char>('a' + (attempt - 1));
  name += ".OUT";
  return fixed_text(name);
}

void create_outfile(Console& console, const std::string& infile, OutFile& outfile) {
  const std::string_view stem = output_stem(infile);
  std::string candidate;
  int status = 0;
  for (int attempt = 0; attempt <= kLastAttempt; ++attempt) {
    candidate = output_candidate(stem, attempt);
    console.line("Trying create file: " + candidate);
    // Create-exclusive: an existing file of this name (status 128) or any other failure moves on to the
    // next name; nothing is ever overwritten.
    status = outfile.create(candidate);
    if (status == 0) return;
  }
  console.line("Error on output file creation.");
  throw RunEnd(1, "Last Filename:" + std::string(trimmed(candidate)) + " Err:" + format_I(status, 5));
}

}  // namespace sfmr
