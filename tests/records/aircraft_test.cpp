#include "records/aircraft.hpp"

#include <gtest/gtest.h>

#include "core/text.hpp"

namespace sfmr {
namespace {

TEST(Decodedate, DayNumbersAndInvalidDates) {
  struct Case {
    const char* text;
    std::int32_t day;
  };
  const Case cases[] = {
      {"01/01/2000", 1},     {"31/12/2000", 366},   {"01/01/2001", 367}, {"01/03/2004", 1522},
      {"07/12/2026", 9838},  {"29/02/2001", 426},   {"01/03/2001", 426}, {"31/04/2005", 1948},
      {"01/01/1999", -1},    {"01/01/2051", -1},    {"1/1/2005", -1},    {"01-01-2005", 1828},
      {"01.01.2005", 1828},  {"01/01/2005", 1828},  {"00/01/2005", -1},  {"32/01/2005", -1},
      {"01/13/2005", -1},    {"01/00/2005", -1},    {"ab/01/2005", -1},  {"01/01/20x5", -1},
      {"01/01/2050", 18264}, {"31/12/2050", 18628}, {"/1/01/2005", -1},  {"01/01/2005xyz", 1828},
  };
  for (const Case& c : cases) {
    std::int32_t day = 12345;
    decodedate(fixed_text(c.text), day);
    EXPECT_EQ(day, c.day) << c.text;
  }
}

TEST(Decodetime, SecondsOfTheDayAndInvalidTimes) {
  struct Case {
    const char* text;
    std::int32_t sec;
  };
  const Case cases[] = {
      {"12:00:00", 43200},  {"23:59:59", 86399}, {"00:00:00", 0},  {"24:00:00", -1},
      {"12:60:00", -1},     {"12:00:60", -1},    {"1:00:00", -1},  {"01-02-03", 3723},
      {"01:02:03.5", 3723}, {"-1:00:00", -1},    {"0a:00:00", -1},
  };
  for (const Case& c : cases) {
    std::int32_t sec = 12345;
    decodetime(fixed_text(c.text), sec);
    EXPECT_EQ(sec, c.sec) << c.text;
  }
}

// A state whose aircraft fields all hold a marker value, to see which fields a line changes.
State marked_state() {
  State s;
  s.time = {5, 100, 100, 1};
  s.acft = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f};
  return s;
}

TEST(Decodeacft, StoresFieldsUntilTheFirstBadOne) {
  const std::string full = "%A,07/12/2026,12:00:00,25.5,-80.25,3000.4,2.5,-3.25,300.0,399.9,x,x,x,x,12.5";
  struct Case {
    const char* name;
    std::string line;
    TimeRecord time;
    AcftRecord acft;
  };
  const float tamb = static_cast<float>(300.0 - 273.146);
  const float sst = static_cast<float>(static_cast<double>(399.9f) - 273.146);
  const float c280 = static_cast<float>(280.0 - 273.146);  // 280 K and 290 K in deg C
  const float c290 = static_cast<float>(290.0 - 273.146);
  const TimeRecord noon = {9838, 43200, 100, 0};  // 07/12/2026 12:00:00
  const AcftRecord before = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f};
  const Case cases[] = {
      {"full line", full, noon, {25.5f, -80.25f, 3000.4f, 2.5f, -3.25f, tamb, sst, 12.5f}},
      {"bad date changes nothing", "%A,01/01/1999,12:00:00,25.5", {5, 100, 100, 1}, before},
      {"bad time changes the day only", "%A,07/12/2026,24:00:00,25.5", {9838, 100, 100, 1}, before},
      {"latitude 90 stored",
       "%A,07/12/2026,12:00:00,90,10",
       noon,
       {90.0f, 10.0f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f}},
      {"latitude 90.5 ends", "%A,07/12/2026,12:00:00,90.5,10", noon, before},
      {"slash field ends", "%A,07/12/2026,12:00:00,/,10", noon, before},
      {"cut after field 6",
       "%A,07/12/2026,12:00:00,-90,-180,15000",
       noon,
       {-90.0f, -180.0f, 15000.0f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f}},
      {"altitude -2.5 ends",
       "%A,07/12/2026,12:00:00,1,2,-2.5,3",
       noon,
       {1.0f, 2.0f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f}},
      {"pitch 60.1 ends",
       "%A,07/12/2026,12:00:00,1,2,3,60.1",
       noon,
       {1.0f, 2.0f, 3.0f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f}},
      {"SST 400 stores 0",
       "%A,07/12/2026,12:00:00,1,2,3,4,5,280,400.0",
       noon,
       {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, c280, 0.0f, 8.5f}},
      {"SST 1000 ends before wind",
       "%A,07/12/2026,12:00:00,1,2,3,4,5,280,1000,a,b,c,d,9",
       noon,
       {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, c280, 7.5f, 8.5f}},
      {"short last wind field not read",
       "%A,07/12/2026,12:00:00,1,2,3,4,5,280,290,a,b,c,d,5.2",
       noon,
       {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, c280, c290, 8.5f}},
      {"four-character wind read",
       "%A,07/12/2026,12:00:00,1,2,3,4,5,280,290,a,b,c,d,12.5",
       noon,
       {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, c280, c290, 12.5f}},
      {"blank before short wind counts",
       "%A,07/12/2026,12:00:00,1,2,3,4,5,280,290,a,b,c,d, 5.2",
       noon,
       {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, c280, c290, 5.2f}},
      {"wind 150.5 not stored",
       "%A,07/12/2026,12:00:00,1,2,3,4,5,280,290,a,b,c,d,150.5",
       noon,
       {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, c280, c290, 8.5f}},
      {"line ends among skipped fields",
       "%A,07/12/2026,12:00:00,1,2,3,4,5,280,290,a,b",
       noon,
       {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, c280, c290, 8.5f}},
  };
  for (const Case& c : cases) {
    State s = marked_state();
    decodeacft(s, fixed_text(c.line));
    EXPECT_EQ(s.time.day, c.time.day) << c.name;
    EXPECT_EQ(s.time.sec, c.time.sec) << c.name;
    EXPECT_EQ(s.time.lastsec, c.time.lastsec) << c.name;
    EXPECT_EQ(s.time.bphase, c.time.bphase) << c.name;
    const float got[] = {s.acft.Lat,  s.acft.Lon,  s.acft.RAlt,    s.acft.Pitch,
                         s.acft.Roll, s.acft.TAmb, s.acft.AcftSST, s.acft.AcftWS};
    const float want[] = {c.acft.Lat,  c.acft.Lon,  c.acft.RAlt,    c.acft.Pitch,
                          c.acft.Roll, c.acft.TAmb, c.acft.AcftSST, c.acft.AcftWS};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << c.name << ", acft field " << i;
  }
}

TEST(Decodeacft, KelvinOffsetIsAppliedInDouble) {
  State s;
  decodeacft(s, fixed_text("%A,07/12/2026,12:00:00,1,2,3,4,5,300.0,399.9"));
  EXPECT_DOUBLE_EQ(static_cast<double>(s.acft.TAmb), 26.854000091552734);
  EXPECT_NEAR(s.acft.AcftSST, 126.754, 1e-4);
}

}  // namespace
}  // namespace sfmr
