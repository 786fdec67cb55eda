#include "records/thermal.hpp"

#include <gtest/gtest.h>

#include "core/text.hpp"
#include "support/test_util.hpp"

namespace sfmr {
namespace {

using sfmr::testing::ScriptedConsole;

TEST(Decodetherm, ConvertsEightCounts) {
  State s;
  ScriptedConsole c;
  decodetherm(s, c.console, fixed_text("%T 1000 1000 1000 1000 1000 1000 1000 1000"));
  EXPECT_EQ(c.transcript(), "");
  const float want[] = {61.0f, 61.0f, 61.0f, 61.0f, 61.0f, 33.0f, 33.0f, 61.0f};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s.sfmr.Th[static_cast<std::size_t>(i)], want[i]) << i;

  decodetherm(s, c.console, fixed_text("%T100,1999,100,1999,100,1999,100,1999,55555"));
  EXPECT_EQ(c.transcript(), "") << "bounds inclusive, ninth value ignored";
  EXPECT_FLOAT_EQ(s.sfmr.Th[0], -30.8f);
  EXPECT_FLOAT_EQ(s.sfmr.Th[1], 162.898f);
  EXPECT_EQ(s.sfmr.Th[0], static_cast<float>(100 * static_cast<double>(0.102f) - 41.0));
  EXPECT_EQ(s.sfmr.Th[5], static_cast<float>(1999 * static_cast<double>(0.096f) - 63.0));
}

TEST(Decodetherm, RejectedLinesKeepEveryTemperature) {
  const char* lines[] = {
      "%T 99 1000 1000 1000 1000 1000 1000 1000",
      "%T 1000 1000 1000 1000 1000 1000 1000 2000",
      "%T 1000.5 1000 1000 1000 1000 1000 1000 1000",
      "%T 1000 1000 1000 1000 1000 1000 1000",
      "%T,1000 1000 1000 1000 1000 1000 1000 1000",
      "%T 1000 1000,,1000 1000 1000 1000 1000",
      "%T 1000 1000 1000/",
      "%T",
      "%T 1000 1000 1000 1000 1000 1000 1000 abc",
  };
  for (const char* line : lines) {
    State s;
    s.sfmr.Th.fill(5.0f);
    ScriptedConsole c;
    const std::string padded = fixed_text(line);
    decodetherm(s, c.console, padded);
    EXPECT_EQ(c.transcript(), "Therm Read Error: " + padded + "\r\n") << line;
    for (float t : s.sfmr.Th) EXPECT_EQ(t, 5.0f) << line;
  }
}

}  // namespace
}  // namespace sfmr
