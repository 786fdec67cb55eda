// The vortex data message reader (tools/recon/vdm) over any bytes as a file of messages.
// Properties: a refusal is one line naming the file; the fixes are in time order, on the globe, each
// dated within the three months around the reference; the first fix written back reads as the same time
// and, to the two decimals the message gives, the same centre.
// fuzz-max-len: 4096
#include <cmath>
#include <stdexcept>
#include <string>

#include "fuzz_util.hpp"
#include "recon/vdm.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sfmr::recon;
  constexpr double kReference = 1784808000.0;  // 2026-07-23 12:00 UTC
  constexpr double kMonths = 62.0 * 86400.0;   // farther than any day of the month before or after
  const std::string_view text = sfmr::fuzz::as_text(data, size);
  std::vector<VortexFix> fixes;
  try {
    fixes = read_vdm(text, "f", kReference);
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    sfmr::fuzz::check(what.rfind("f: ", 0) == 0 && what.find('\n') == std::string::npos, "one line naming f",
                      what);
    return 0;
  }
  for (std::size_t i = 0; i < fixes.size(); ++i) {
    const VortexFix& f = fixes[i];
    sfmr::fuzz::check(std::fabs(f.time - kReference) < kMonths, "time near the reference");
    sfmr::fuzz::check(i == 0 || fixes[i - 1].time <= f.time, "time order");
    sfmr::fuzz::check(std::fabs(f.lat) <= 90.0 && std::fabs(f.lon) <= 180.0, "centre on the globe");
  }
  const VortexFix& f = fixes.front();
  const VortexFix back = read_vdm(write_vdm(f), "back", kReference).front();
  sfmr::fuzz::check(back.time == f.time, "time read back");
  sfmr::fuzz::check(std::fabs(back.lat - f.lat) <= 0.0051 && std::fabs(back.lon - f.lon) <= 0.0051,
                    "centre read back");
  return 0;
}
