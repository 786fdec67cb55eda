// The calibration file reader: the input's first line is the radiometer's serial number, the rest the file.
// The reading either fills the constants or ends the run with status 1 and one of its two messages.
#include <sstream>

#include "core/run_end.hpp"
#include "fuzz_util.hpp"
#include "setup/cal_file.hpp"

using namespace sfmr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in{std::string(fuzz::as_text(data, size))};
  LineReader lines(in);
  std::string first;
  State s;
  if (lines.read(first) != 0 || !read_value(first, &s.sfmr.serial)) return 0;
  try {
    read_cals(fuzz::lines_of(lines), s);
  } catch (const RunEnd& end) {
    fuzz::check(end.status == 1, "a bad calibration file ends the run as an error", end.message);
    fuzz::check(
        end.message == "Unexpected EOF in Cal file" || end.message.starts_with("Bad line in Cal file: "),
        "calibration failure message", end.message);
  }
  return 0;
}
