// The TEMP DROP reader (tools/sonde/tempdrop) over any bytes as a file of bulletins, in September 2017.
// Properties: a refused file says why in one line; a file that reads has a sonde; every skipped bulletin is
// named and has a one-line reason; every sonde's positions, times and winds are in range or missing.
// fuzz-max-len: 8192
#include <cmath>
#include <string>

#include "fuzz_util.hpp"
#include "sonde/tempdrop.hpp"

namespace {

bool one_line(const std::string& s) {
  return !s.empty() && s.find('\n') == std::string::npos;
}

bool missing_or_within(double v, double low, double high) {
  return std::isnan(v) || (v >= low && v <= high);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sfmr::sonde;
  const DateContext september{2017, 9, 0};
  ReadResult r;
  try {
    r = read_tempdrop(sfmr::fuzz::as_text(data, size), &september);
  } catch (const SondeError& e) {
    sfmr::fuzz::check(one_line(e.what()), "refusal in one line", e.what());
    return 0;
  }
  sfmr::fuzz::check(!r.sondes.empty(), "a file that reads has a sonde");
  for (const Skipped& k : r.skipped)
    sfmr::fuzz::check(one_line(k.sonde) && one_line(k.reason), "skipped bulletin named with its reason",
                      k.reason);
  // 2017-07-31 .. 2017-10-02: the days a September bulletin can name, and half a day either side.
  constexpr double kFirst = 1501459200.0, kLast = 1506902400.0;
  for (const Sonde& s : r.sondes) {
    for (const Point& p : {s.release, s.splash}) {
      sfmr::fuzz::check(missing_or_within(p.lat, -90, 90) && missing_or_within(p.lon, -180, 180), "position",
                        s.id);
      sfmr::fuzz::check(missing_or_within(p.time, kFirst, kLast), "time in the month", s.id);
    }
    for (const Level& l : s.levels) {
      sfmr::fuzz::check(missing_or_within(l.wind.speed, 0, 500) && missing_or_within(l.wind.from_deg, 0, 360),
                        "wind", s.id);
      sfmr::fuzz::check(missing_or_within(l.pressure, 0, 1100), "pressure", s.id);
    }
  }
  return 0;
}
