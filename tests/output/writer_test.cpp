#include "output/writer.hpp"

#include <gtest/gtest.h>

#include <cstdio>

#include "core/run_end.hpp"
#include "support/test_util.hpp"

namespace sfmr {
namespace {

TEST(Decodesferr, PriorityAndChannelList) {
  struct Case {
    std::int32_t bits;
    const char* text;
  };
  auto b = [](std::initializer_list<int> bits) {
    std::int32_t v = 0;
    for (int i : bits) v |= 1 << i;
    return v;
  };
  const Case cases[] = {
      {b({1, 0}), "BigRoll   "},
      {b({5, 0, 6}), "OverLand  "},
      {b({0, 6, 3}), "NoData    "},
      {b({6, 3, 2}), "NoSolution"},
      {b({3, 2}), "RefTempErr"},
      {b({2, 8, 9}), "ZeroWS&RR "},
      {b({8, 9, 11, 12, 13}), "F01-345   "},
      {b({8, 9, 10, 11, 12, 13}), "F012345   "},
      {0, "F------   "},
      {b({4, 7, 14, 20, 31}), "F------   "},
  };
  for (const Case& c : cases) {
    std::string text;
    decodesferr(c.bits, text);
    EXPECT_EQ(text, c.text) << c.bits;
  }
}

TEST(Decodepserr, PriorityChannelListAndMarker) {
  struct Case {
    std::int32_t bits;
    const char* text;
  };
  const Case cases[] = {
      {0, "F012345   "},
      {(1 << 0) | (1 << 5), "F-1234-   "},
      {1 << 12, "*012345   "},
      {(1 << 9) | (1 << 12), "*NoData   "},
      {(1 << 11) | (1 << 12), "*NoAuxData"},
      {(1 << 9) | (1 << 11) | (1 << 10), " NoData   "},
      {(1 << 11) | (1 << 10), " NoAuxData"},
      {(1 << 10) | (1 << 6), " OldSST   "},
      {(1 << 6) | 0x3f, " TempErr  "},
      {(1 << 7) | (1 << 8) | (1 << 13), "F012345   "},
  };
  for (const Case& c : cases) {
    std::string text;
    decodepserr(c.bits, text);
    EXPECT_EQ(text, c.text) << c.bits;
  }
}

State example_state() {
  State s;
  s.time.sec = 3723;
  s.acft = {25.5f, -80.25f, 152.5f, 2.5f, -3.25f, 999.0f, 0.0f, 12.5f};
  s.sfmr.Tb = {1234.5f, -150.0f, 150.125f, 0.0f, 270.0f, -99.9f};
  s.sfmr.Th = {1.0f, 2.0f, 30.0f, 31.5f, 32.25f, 33.0f, 1234.5f, 8.0f};
  s.sfmr.SFWS = 19.41f;
  s.sfmr.SFRR = 5.0f;
  s.sfmr.SFQF = 0.04f;
  s.sfmr.Err = 0x3f00;
  s.ps = {20.0f, 4.5f, 1.25f, 1 << 12};
  return s;
}

TEST(Writer, DataLineColumnsAndWidths) {
  State s = example_state();
  const std::string want =
      "01:02:03, 25.500, -80.250,  153,999.0, 12.50, -3.25,  2.50, 28.00,999.90,-99.90,150.13,  "
      "0.00,270.00,-99.90,"
      " 30.00, 31.50, 32.25, 33.00,******, 19.41,  5.00,  0.04,F012345   , 20.00,  4.50,  1.25,*012345   ";
  sfmr::testing::TempDir dir;
  OutFile out;
  ASSERT_EQ(out.create("x.OUT"), 0);
  Writer w;
  w.writeout(s, out, 28.0f);
  out.close();
  EXPECT_EQ(sfmr::testing::read_file("x.OUT"), std::string(Writer::kHeader) + "\r\n" + want + "\r\n");
  EXPECT_EQ(s.sfmr.Tb[0], 999.9f) << "limited in place";
  EXPECT_EQ(s.sfmr.Tb[1], -99.9f);
  EXPECT_EQ(s.sfmr.Th[6], 1234.5f) << "thermal values are not limited";
}

TEST(Writer, TimeAndAltitudeColumns) {
  struct Case {
    std::int32_t sec;
    float ralt;
    const char* start;
  };
  const Case cases[] = {
      {0, 152.49f, "00:00:00,  0.000,   0.000,  152,"},
      {86399, -0.5f, "23:59:59,  0.000,   0.000,   -1,"},
      {3723, 152.5f, "01:02:03,  0.000,   0.000,  153,"},
      {60, -2.0f, "00:01:00,  0.000,   0.000,   -2,"},
      {7200, 15000.0f, "02:00:00,  0.000,   0.000,15000,"},
  };
  for (const Case& c : cases) {
    State s;
    s.time.sec = c.sec;
    s.acft.RAlt = c.ralt;
    const std::string line = Writer::data_line(s, 0.0f);
    EXPECT_EQ(line.substr(0, std::string(c.start).size()), c.start) << c.sec;
    EXPECT_EQ(line.size(), 206u) << "8 + 27 commas + 7 + 8 + 5 + 5 + 21 x 6 + 2 x 10";
  }
}

TEST(Writer, HeaderOnlyOnceAndNothingBeforeTheFirstLine) {
  sfmr::testing::TempDir dir;
  {
    OutFile out;
    ASSERT_EQ(out.create("y.OUT"), 0);
    out.close();
  }
  EXPECT_EQ(sfmr::testing::read_file("y.OUT"), "");
  OutFile out;
  ASSERT_EQ(out.create("z.OUT"), 0);
  Writer w;
  State s;
  w.writeout(s, out, 0.0f);
  s.time.sec = 1;
  w.writeout(s, out, 0.0f);
  out.close();
  const std::string text = sfmr::testing::read_file("z.OUT");
  EXPECT_EQ(text.find("Time,"), 0u);
  EXPECT_EQ(text.find("Time,", 1), std::string::npos);
  EXPECT_EQ(text.rfind("00:00:01,"), text.find("\r\n00:00:01,") + 2);
}

TEST(Writer, FailedWriteEndsTheRun) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (!full) GTEST_SKIP() << "no /dev/full";
  std::setvbuf(full, nullptr, _IONBF, 0);
  OutFile out(full);
  Writer w;
  State s;
  try {
    w.writeout(s, out, 0.0f);
    FAIL() << "write to a full device succeeded";
  } catch (const RunEnd& end) {
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(end.message, "Write error on output file.");
  }
}

TEST(Writer, FailedFlushAtCloseEndsTheRun) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (!full) GTEST_SKIP() << "no /dev/full";
  OutFile out(full);
  out.write_line("buffered");
  try {
    out.close();
    FAIL() << "close of a full device succeeded";
  } catch (const RunEnd& end) {
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(end.message, "Write error on output file.");
  }
}

}  // namespace
}  // namespace sfmr
