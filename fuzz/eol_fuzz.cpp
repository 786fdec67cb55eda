// The EOL sounding file reader (tools/sonde/eol) over any bytes as a file.
// Properties: a refused file names a line of the text (or the line after its last) in one line; a file that
// reads has a release time and at least one row, and its splash comes no earlier than its release.
// fuzz-max-len: 8192
#include <cmath>
#include <string>

#include "core/text.hpp"
#include "fuzz_util.hpp"
#include "sonde/eol.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sfmr::sonde;
  const std::string_view text = sfmr::fuzz::as_text(data, size);
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  try {
    const Sonde s = read_eol(text, "fuzz.eol");
    sfmr::fuzz::check(!s.levels.empty() && std::isfinite(s.release.time), "rows and a release time");
    sfmr::fuzz::check(std::isnan(s.splash.time) || s.splash.time >= s.release.time, "splash after release");
  } catch (const SondeError& e) {
    const std::string what = e.what();
    std::int32_t line = 0;
    const std::size_t colon = what.find(':');
    sfmr::fuzz::check(what.rfind("line ", 0) == 0 && colon != std::string::npos &&
                          sfmr::read_value(what.substr(5, colon - 5), &line) && line >= 0 &&
                          static_cast<std::size_t>(line) <= lines && what.find('\n') == std::string::npos,
                      "refusal names its line", what);
  }
  return 0;
}
