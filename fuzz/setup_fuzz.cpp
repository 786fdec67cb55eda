// The setup file followed by the console dialogue for whatever it lacks: the input's part before a line "--"
// is the setup file, the part after it the operator's answers. The dialogue ends with every parameter
// accepted, or with the operator's quit (status 0) or the end of the answers (status 1). Accepted frequencies
// are always in range; an accepted default SST or filter value is, unless its section occurs more than once
// (a later value replaces an accepted one even when it is rejected, and the acceptance stands).
// File names are looked up in a scratch directory holding three files.
#include <cmath>
#include <sstream>

#include "core/run_end.hpp"
#include "fuzz_util.hpp"
#include "setup/setup_file.hpp"

using namespace sfmr;

namespace {

// Number of section lines "&<letter>" (either case) in the setup text.
int sections(std::string_view text, char letter) {
  int n = 0;
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.substr(at, 1) == "&" && at + 1 < text.size() && (text[at + 1] | 0x20) == (letter | 0x20)) ++n;
    if (text.find('\n', at) == std::string_view::npos) break;
  }
  return n;
}

void check_accepted(const State& s, std::uint32_t rcvd, std::string_view setup) {
  if (sections(setup, 'E') > 1) rcvd |= rcvd_bit::kDefaultSst;
  if (sections(setup, 'F') > 1) rcvd |= rcvd_bit::kFilter;
  if (!(rcvd & rcvd_bit::kFreqs)) {
    for (float f : s.cal.freq) fuzz::check(f == 0.0f || (f >= 4.0f && f <= 8.0f), "accepted frequency");
  }
  if (!(rcvd & rcvd_bit::kDefaultSst)) {
    fuzz::check(s.cal.default_sst > -40.0f && s.cal.default_sst < 40.0f, "accepted default SST");
  }
  if (!(rcvd & rcvd_bit::kFilter)) fuzz::check(std::abs(s.cal.filter) <= 20.0f, "accepted filter");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    fuzz::enter_scratch_dir();
    for (const char* name : {"flight.dat", "flight.cal", "sst.bin"}) fuzz::write_file(name, "x\n");
    return true;
  }();
  const std::string_view text = fuzz::as_text(data, size);
  if (!ready || fuzz::names_system_files(text)) return 0;
  const auto [setup_text, answers] = fuzz::split_parts(text);

  State s;
  SetupParameters p;
  std::istringstream setup{std::string(setup_text)};
  LineReader setup_lines(setup);
  fuzz::check(read_setup_sections(fuzz::lines_of(setup_lines), s, p) == 0, "no read error in memory");
  check_accepted(s, p.rcvd, setup_text);

  std::istringstream in{std::string(answers)};
  std::ostringstream out;
  Console console(in, out);
  try {
    enter_parameters(console, s, p);
    fuzz::check(p.rcvd == 0, "manual entry returns with every parameter");
  } catch (const RunEnd& end) {
    fuzz::check(end.status == 0 || end.status == 1, "quit or end of answers", end.message);
  }
  check_accepted(s, p.rcvd, setup_text);
  return 0;
}
