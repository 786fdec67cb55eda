// The HDOB archive reader (tools/recon/hdob) over any bytes as an archive file.
// Properties: a refusal is one line naming the file; a read archive has each observation once per mission,
// in time order, from a message it lists, positions on the globe or NaN, peaks within 300 kt; each fault
// is one line naming the file; the observations of the first message written back (dated by its first
// line kept) read as the same times.
// fuzz-max-len: 4096
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "fuzz_util.hpp"
#include "recon/hdob.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sfmr::recon;
  const std::string_view text = sfmr::fuzz::as_text(data, size);
  HdobArchive a;
  try {
    a = read_hdob(text, "f");
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    sfmr::fuzz::check(what.rfind("f: ", 0) == 0 && what.find('\n') == std::string::npos, "one line naming f",
                      what);
    return 0;
  }
  std::set<std::pair<std::string, double>> seen;
  for (std::size_t i = 0; i < a.observations.size(); ++i) {
    const HdobObservation& o = a.observations[i];
    sfmr::fuzz::check(o.message < a.messages.size(), "message of the observation");
    sfmr::fuzz::check(seen.emplace(a.messages[o.message].mission, o.time).second, "observation once");
    sfmr::fuzz::check(i == 0 || a.observations[i - 1].time <= o.time, "time order");
    sfmr::fuzz::check(std::isnan(o.lat) || std::fabs(o.lat) <= 90.0, "latitude");
    sfmr::fuzz::check(std::isnan(o.lon) || std::fabs(o.lon) <= 180.0, "longitude");
    sfmr::fuzz::check(!(o.raw.sfmr_wind_kt > 300 || o.raw.peak_wind_kt > 300), "peak within 300 kt");
  }
  for (const std::string& f : a.faults)
    sfmr::fuzz::check(f.rfind("f: ", 0) == 0 && f.find('\n') == std::string::npos, "fault line", f);
  std::vector<HdobRaw> first;
  std::vector<double> times;
  for (const HdobObservation& o : a.observations) {
    if (o.message == 0) first.push_back(o.raw), times.push_back(o.time);
  }
  if (first.empty()) return 0;
  // The message written with the date of its first line kept (a line dropped as a fault may have been it).
  HdobMessage m = a.messages[0];
  int y = 0, mo = 0, d = 0;
  sfmr::civil_from_days(static_cast<long>(std::floor(times.front() / sfmr::kSecondsPerDay)), y, mo, d);
  m.date = y * 10000 + mo * 100 + d;
  const HdobArchive back = read_hdob(write_hdob(m, first), "back");
  sfmr::fuzz::check(back.observations.size() == times.size(), "written observations read back");
  for (std::size_t i = 0; i < times.size(); ++i)
    sfmr::fuzz::check(back.observations[i].time == times[i], "time read back");
  return 0;
}
