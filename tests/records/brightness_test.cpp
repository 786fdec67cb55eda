#include "records/brightness.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "core/text.hpp"
#include "support/test_util.hpp"

namespace sfmr {
namespace {

using sfmr::testing::ScriptedConsole;

// Feeds one "%B" line and returns the ratio and channel it put into the newest slot.
struct SlotResult {
  std::int32_t chan;
  float ratio;
  std::string console;
};
SlotResult decode_one(const std::string& line) {
  State s;
  ScriptedConsole c;
  decodebright(s, c.console, fixed_text(line));
  return {s.gbuffer.chan[3], s.gbuffer.ratio[3], c.transcript()};
}

TEST(Decodebright, CountRatiosAndBadLines) {
  struct Case {
    const char* line;
    std::int32_t chan;  // 0 for a bad line
    float ratio;
  };
  const Case cases[] = {
      {"%B,3,100,300,500", 4, -1.0f},
      {"%B,0,400,400,900", 1, 0.0f},
      {"%B,5,900,400,900", 6, 1.0f},
      {"%B,2abc,1,2,3", 3, -1.0f},
      {"%B 1 10 20 40", 2, -0.5f},
      {"%B,1,2147483647,-2147483648,2147483647", 2, static_cast<float>(-4294967295.0 / -4294967295.0)},
      {"%B,1,-2147483648,2147483647,-2147483648", 2, 1.0f},
      {"%B,4,-2147483648,2147483647,2147483646", 5, static_cast<float>(4294967295.0)},
      {"%B,1,0,1,3", 2, static_cast<float>(1.0 / -2.0)},
      {"%B,1,0,3,0", 2, 1.0f},
      {"%B,1,0,1,4", 2, static_cast<float>(1.0 / -3.0)},
      {"%B,6,1,2,3", 0, 0.0f},
      {"%B,x,1,2,3", 0, 0.0f},
      {"%B,-1,1,2,3", 0, 0.0f},
      {"%B,1,5,7,7", 0, 0.0f},
      {"%B,1,5,7", 0, 0.0f},
      {"%B,1,5.5,7,9", 0, 0.0f},
      {"%B,1,/,7,9", 0, 0.0f},
      {"%B,1,5,7,2147483648", 0, 0.0f},
      {"%B", 0, 0.0f},
  };
  for (const Case& c : cases) {
    const SlotResult r = decode_one(c.line);
    EXPECT_EQ(r.chan, c.chan) << c.line;
    if (c.chan != 0) {
      EXPECT_EQ(r.ratio, c.ratio) << c.line;
      EXPECT_EQ(r.console, "") << c.line;
    } else {
      EXPECT_EQ(r.console, "%B Read Error @  0:00:00\r\n") << c.line;
    }
  }
}

TEST(Decodebright, RatioReachesItsChannelOnTheFourthFollowingLine) {
  State s;
  ScriptedConsole c;
  decodebright(s, c.console, fixed_text("%B,3,100,300,500"));
  for (int k = 1; k <= 3; ++k) {
    decodebright(s, c.console, fixed_text("%B,0,1,2,3"));
    EXPECT_EQ(s.sfmr.ratio[3], 0.0f) << "after " << k << " following lines";
  }
  decodebright(s, c.console, fixed_text("%B,0,1,2,3"));
  EXPECT_EQ(s.sfmr.ratio[3], -1.0f);
  EXPECT_EQ(s.sfmr.ratio[0], 0.0f) << "channel 0's first ratio is still in the delay line";
}

TEST(Decodebright, BadLineLeavesAnEmptySlotAndPrintsTheClock) {
  State s;
  s.time.sec = 9 * 3600 + 5 * 60 + 6;
  s.time.bphase = 1;  // this line moves the clock to 09:05:07
  s.sfmr.ratio.fill(7.0f);
  ScriptedConsole c;
  decodebright(s, c.console, fixed_text("%B,9,1,2,3"));
  EXPECT_EQ(c.transcript(), "%B Read Error @  9:05:07\r\n");
  for (int k = 0; k < 4; ++k) decodebright(s, c.console, fixed_text("%B,1,0,1,3"));
  for (float r : s.sfmr.ratio) EXPECT_EQ(r, 7.0f) << "no channel updated by the bad line";
}

TEST(Decodebright, ClockStepsEverySecondLineAndWrapsAtMidnight) {
  struct Case {
    const char* name;
    TimeRecord before;
    TimeRecord after;
  };
  const Case cases[] = {
      {"phase 0 arms", {10, 500, 500, 0}, {10, 500, 500, 1}},
      {"phase 1 advances", {10, 500, 500, 1}, {10, 501, 500, 0}},
      {"midnight wrap", {10, 86399, 86399, 1}, {11, 0, 86399, 0}},
  };
  for (const Case& c : cases) {
    State s;
    s.time = c.before;
    ScriptedConsole con;
    decodebright(s, con.console, fixed_text("%B,x"));  // bad lines step the clock too
    EXPECT_EQ(s.time.day, c.after.day) << c.name;
    EXPECT_EQ(s.time.sec, c.after.sec) << c.name;
    EXPECT_EQ(s.time.lastsec, c.after.lastsec) << c.name;
    EXPECT_EQ(s.time.bphase, c.after.bphase) << c.name;
  }
}

}  // namespace
}  // namespace sfmr
