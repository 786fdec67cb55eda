// The reader of sfmrbatch's output file (tools/out_file/out_reader) over any bytes as the whole file.
// Properties: a failure is one message naming the file; the seconds read are at most the data lines, each
// with a time of day 0..86399; `time` increases strictly, rounds to `elapsed`, the recorded time continues
// the time of day, and a time kept as recorded is the recorded one (out_file/clock_repair.hpp).
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "fuzz_util.hpp"
#include "out_file/out_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(sfmr::fuzz::as_text(data, size));
  std::istringstream in(text);
  std::vector<sfmr::flight::OutSecond> seconds;
  const std::string error = sfmr::flight::read_out(in, "f.OUT", seconds);
  sfmr::fuzz::check(error.empty() || error.rfind("f.OUT", 0) == 0, "message names the file", error);
  sfmr::fuzz::check(error.find('\n') == std::string::npos, "one line", error);
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  sfmr::fuzz::check(seconds.size() <= lines + 1, "no more seconds than lines");
  double last = -1e300;
  for (const auto& s : seconds) {
    sfmr::fuzz::check(s.clock >= 0 && s.clock < sfmr::kSecondsPerDay, "time of day", std::to_string(s.clock));
    sfmr::fuzz::check(s.time > last && std::llround(s.time) == s.elapsed, "time increases strictly",
                      std::to_string(s.time));
    sfmr::fuzz::check(
        ((s.recorded % sfmr::kSecondsPerDay) + sfmr::kSecondsPerDay) % sfmr::kSecondsPerDay == s.clock,
        "recorded time continues the clock", std::to_string(s.recorded));
    sfmr::fuzz::check(s.time_quality != sfmr::flight::TimeQuality::AsRecorded || s.elapsed == s.recorded,
                      "a time as recorded is the recorded one", std::to_string(s.elapsed));
    last = s.time;
  }
  return 0;
}
