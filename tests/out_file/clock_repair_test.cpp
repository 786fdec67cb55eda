// The data clock's repair: runs out of sequence as sfmrbatch writes them around a damaged aircraft record,
// the seconds and the strictly increasing times they get, and whether the sequence confirms them.
#include "out_file/clock_repair.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "out_file/out_reader.hpp"

namespace sfmr::flight {
namespace {

TEST(ClockRepair, RunsOutOfSequence) {
  using Q = TimeQuality;
  constexpr Q A = Q::AsRecorded, R = Q::Repaired, U = Q::Unverified;
  struct Case {
    const char* name;
    std::vector<std::int32_t> clock;    // time of day as written
    std::vector<std::int64_t> elapsed;  // repaired seconds
    std::vector<Q> quality;
  };
  const Case cases[] = {
      {.name = "in sequence", .clock = {100, 101, 102}, .elapsed = {100, 101, 102}, .quality = {A, A, A}},
      {.name = "a gap forwards stays",
       .clock = {100, 101, 160, 161},
       .elapsed = {100, 101, 160, 161},
       .quality = {A, A, A, A}},
      {.name = "midnight",
       .clock = {86398, 86399, 0, 1},
       .elapsed = {86398, 86399, 86400, 86401},
       .quality = {A, A, A, A}},
      // sfmrbatch: the damaged record's line and one more, then the good record's line of the same second.
      {.name = "backwards and back, as sfmrbatch writes it",
       .clock = {100, 101, 40, 41, 102, 103},
       .elapsed = {100, 101, 101, 102, 102, 103},
       .quality = {A, A, R, R, A, A}},
      {.name = "forwards and back",
       .clock = {100, 101, 9000, 9001, 102, 103},
       .elapsed = {100, 101, 101, 102, 102, 103},
       .quality = {A, A, R, R, A, A}},
      {.name = "one second a line, resumed after the run",
       .clock = {100, 40, 41, 103, 104},
       .elapsed = {100, 101, 102, 103, 104},
       .quality = {A, R, R, A, A}},
      {.name = "backwards across midnight",
       .clock = {86399, 0, 86000, 86001, 1, 2},
       .elapsed = {86399, 86400, 86400, 86401, 86401, 86402},
       .quality = {A, A, R, R, A, A}},
      {.name = "seconds lost inside the run",
       .clock = {100, 40, 41, 104, 105},
       .elapsed = {100, 101, 102, 104, 105},
       .quality = {A, U, U, A, A}},
      {.name = "the clock's start before the first aircraft record",
       .clock = {1, 2, 85501, 85502},
       .elapsed = {85499, 85500, 85501, 85502},
       .quality = {U, U, A, A}},
      {.name = "a reset that never returns",
       .clock = {36000, 36001, 35950, 35951, 35952},
       .elapsed = {36000, 36001, 36002, 36003, 36004},
       .quality = {A, A, U, U, U}},
  };
  for (const Case& c : cases) {
    std::vector<OutSecond> s(c.clock.size());
    for (std::size_t i = 0; i < s.size(); ++i) s[i].clock = c.clock[i];
    std::size_t changed = 0;
    for (Q q : c.quality) changed += q != A ? 1 : 0;
    EXPECT_EQ(repair_clock(s), changed) << c.name;
    for (std::size_t i = 0; i < s.size(); ++i) {
      EXPECT_EQ(s[i].elapsed, c.elapsed[i]) << c.name << " line " << i;
      EXPECT_EQ(s[i].time_quality, c.quality[i]) << c.name << " line " << i;
      EXPECT_EQ(std::llround(s[i].time), s[i].elapsed) << c.name << " line " << i;
      if (i > 0) {
        EXPECT_GT(s[i].time, s[i - 1].time) << c.name << " line " << i;
      }
      EXPECT_EQ(s[i].recorded % 86400, c.clock[i]) << c.name << " line " << i;
    }
  }
}

}  // namespace
}  // namespace sfmr::flight
