// Soak: one hundred simulated flights, each damaged at random in its own way (seeded, so every run of the
// test sees the same flights): cut and garbled lines, stray lines, bit flips, binary noise, missing aircraft
// records, a gap, a transfer cut short. Every run ends by itself with status 0 or 1 within its time bound,
// every output line is exactly as wide as the format makes it, and every damaged "%B" or "%T" record that its
// decoder rejects is reported on the console.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "common/process.hpp"
#include "output/writer.hpp"
#include "records/brightness.hpp"
#include "records/thermal.hpp"
#include "sim/random.hpp"
#include "support/flight_files.hpp"

namespace sfmr {
namespace {

using sfmr::testing::read_file;

#if defined(__SANITIZE_ADDRESS__)
constexpr double kFlightHours = 0.01;  // 36 s of data a flight under the sanitizers
#else
constexpr double kFlightHours = 0.05;  // 180 s of data a flight
#endif
constexpr double kSecondsPerFlight = 30.0;

// The damage of flight `seed`, drawn from the seed.
sim::FlightOptions damaged_flight(std::uint64_t seed) {
  sim::Rng rng(seed * 7919);
  sim::FlightOptions o;
  o.seed = seed;
  o.hours = kFlightHours;
  o.land_leg = false;
  o.start_sec = rng.below(86400);
  o.damage = 0.2 * rng.uniform();
  o.binary_damage = 0.05 * rng.uniform();
  o.drop_acft = 0.2 * rng.uniform();
  o.gap_seconds = rng.below(3) == 0 ? 20 : 0;
  o.keep = rng.below(4) == 0 ? 0.2 + 0.8 * rng.uniform() : 1.0;
  return o;
}

// Number of "%B" and "%T" lines of `raw` (lines as the program reads them) that their decoder rejects; each
// must be one that the simulator damaged.
int rejected_records(const std::string& raw, const std::vector<sim::ByteRange>& damaged) {
  int rejected = 0;
  for (std::size_t begin = 0; begin < raw.size();) {
    const std::size_t lf = raw.find('\n', begin);
    const std::size_t end = lf == std::string::npos ? raw.size() : lf + 1;
    std::string_view text = std::string_view(raw).substr(begin, end - begin);
    if (text.ends_with('\n')) text.remove_suffix(text.ends_with("\r\n") ? 2 : 1);
    const std::string line = fixed_text(text);
    const std::string_view tag = std::string_view(line).substr(0, 2);
    if (tag == "%B" || tag == "%T") {
      sfmr::testing::ScriptedConsole probe;
      State s;
      if (tag == "%B") {
        decodebright(s, probe.console, line);
      } else {
        decodetherm(s, probe.console, line);
      }
      if (!probe.transcript().empty()) {
        ++rejected;
        const bool touched = std::any_of(damaged.begin(), damaged.end(), [&](const sim::ByteRange& d) {
          return d.begin < end && begin < d.end;
        });
        EXPECT_TRUE(touched) << "undamaged line rejected: " << line;
      }
    }
    begin = end;
  }
  return rejected;
}

int reported_records(const std::string& console) {
  int reported = 0;
  for (std::size_t at = 0; at < console.size(); at = console.find('\n', at) + 1) {
    const std::string_view line = std::string_view(console).substr(at);
    if (line.starts_with("%B Read Error @ ") || line.starts_with("Therm Read Error: ")) ++reported;
    if (console.find('\n', at) == std::string::npos) break;
  }
  return reported;
}

TEST(Soak, HundredDamagedFlightsEndCleanly) {
  const std::size_t width = Writer::data_line(State{}, 0.0f).size();
  sfmr::testing::TempDir dir;
  int completed = 0, rejections = 0;
  for (std::uint64_t seed = 1; seed <= 100; ++seed) {
    SCOPED_TRACE(::testing::Message() << "flight seed " << seed);
    std::vector<sim::ByteRange> damaged;
    sfmr::testing::write_flight_files(damaged_flight(seed), "5.0", &damaged);
    const tool::ChildResult r = tool::run_child({.argv = {SFMR_BINARY},
                                                 .in_text = std::string(sfmr::testing::kFlightAnswers),
                                                 .err = tool::Sink::kInherit,
                                                 .timeout_seconds = kSecondsPerFlight});
    ASSERT_FALSE(r.timed_out) << "still running after " << kSecondsPerFlight << " s";
    ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
    ASSERT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status;

    std::istringstream out(std::filesystem::exists("flight.OUT") ? read_file("flight.OUT") : "");
    std::string line;
    for (int n = 0; std::getline(out, line); ++n) {
      ASSERT_TRUE(line.ends_with('\r')) << "line " << n << " without CR LF";
      line.pop_back();
      if (n == 0) {
        ASSERT_EQ(line, Writer::kHeader);
      } else {
        ASSERT_EQ(line.size(), width) << "line " << n << ": " << line;
      }
    }
    // A run that ended early (a damaged "%P" record naming another radiometer) decoded no records.
    if (r.status == 0) {
      const int rejected = rejected_records(read_file("flight.dat"), damaged);
      EXPECT_EQ(reported_records(r.out), rejected);
      rejections += rejected;
      ++completed;
    }
    std::filesystem::remove("flight.OUT");
  }
  // The damage must reach the decoders and most flights must run to their end, or the soak proves little.
  EXPECT_GE(completed, 90);
  EXPECT_GE(rejections, 100);
}

}  // namespace
}  // namespace sfmr
