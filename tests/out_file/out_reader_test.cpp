#include "out_file/out_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/text.hpp"
#include "output/writer.hpp"

namespace sfmr::flight {
namespace {

std::int32_t bits(std::initializer_list<int> set) {
  std::int32_t v = 0;
  for (int b : set) v |= 1 << b;
  return v;
}

// A state whose every printed field differs, so that a column read from the wrong place shows.
State sample_state(std::int32_t sec) {
  State s;
  s.time.sec = sec;
  s.acft = {27.9804f, -81.9496f, 3000.5f, -1.25f, 2.04f, 11.34f, 0.0f, 16.71f};
  s.sfmr.Tb = {151.23f, 160.5f, 170.01f, 180.99f, 190.0f, 201.47f};
  s.sfmr.Th = {0, 0, 31.2f, 32.3f, 33.4f, 34.5f, 35.6f, 0};
  s.sfmr.SFWS = 42.17f;
  s.sfmr.SFRR = 12.5f;
  s.sfmr.SFQF = 0.33f;
  s.sfmr.Err = bits({8, 9, 10, 12, 13});
  s.ps = {40.01f, 9.99f, 1.5f, bits({1, 12})};
  return s;
}

std::string out_text(std::initializer_list<std::string> lines) {
  std::string text = std::string(Writer::kHeader) + "\r\n";
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

// Every column read from a line that the writer made, put back into a state, makes the writer write the
// same line again: each value is the printed one, and a column of asterisks reads as NaN (which the writer
// prints as asterisks again).
TEST(OutReader, ReadsEveryColumnAsWritten) {
  struct Case {
    const char* name;
    void (*change)(State&);
    int missing;  // number of columns written as asterisks
  };
  const Case cases[] = {
      {"every column in range", [](State&) {}, 0},
      {"negative values, midnight",
       [](State& s) { s.time.sec = 0, s.acft.Lat = -0.0004f, s.acft.Roll = -45.5f; }, 0},
      {"too wide for the columns",
       [](State& s) { s.acft.RAlt = 123456.0f, s.sfmr.SFWS = 1234.5f, s.ps.PSQF = -100; }, 3},
  };
  for (const Case& c : cases) {
    State s = sample_state(86399);
    c.change(s);
    const std::string line = Writer::data_line(s, 28.456f);
    OutSecond o;
    ASSERT_EQ(parse_out_line(line, o), "") << c.name;
    State t;
    t.time.sec = o.clock;
    t.acft = {o.Lat, o.Lon, o.RAlt, o.Pitch, o.Roll, o.TAmb, 0.0f, o.AcftWS};
    t.sfmr.Tb = o.Tb;
    std::copy(o.Th.begin(), o.Th.end(), t.sfmr.Th.begin() + 2);
    t.sfmr.SFWS = o.SFWS, t.sfmr.SFRR = o.SFRR, t.sfmr.SFQF = o.SFQF, t.sfmr.Err = s.sfmr.Err;
    t.ps = {o.PSWS, o.PSRR, o.PSQF, s.ps.PSErr};
    EXPECT_EQ(Writer::data_line(t, o.SST), line) << c.name;
    const float values[] = {o.RAlt, o.SFWS, o.PSQF, o.Lat, o.Th[4]};
    EXPECT_EQ(std::count_if(std::begin(values), std::end(values), [](float v) { return std::isnan(v); }),
              c.missing)
        << c.name;
    EXPECT_EQ(o.Err.text, "F012-45   ") << c.name;
    EXPECT_EQ(o.PSErr.text, "*0-2345   ") << c.name;
  }
}

TEST(OutReader, ClassifiesEveryStatusTheWriterMakes) {
  struct Case {
    std::int32_t err;
    RetrievalKind kind;
    bool retrieved;
    const char* used;  // channel_used as '1'/'0'
  };
  const Case cases[] = {
      {bits({1, 0, 8}), RetrievalKind::BigRoll, false, "000000"},
      {bits({5}), RetrievalKind::OverLand, false, "000000"},
      {bits({0}), RetrievalKind::NoData, false, "000000"},
      {bits({6, 3}), RetrievalKind::NoSolution, false, "000000"},
      {bits({3}), RetrievalKind::RefTempErr, false, "000000"},
      {bits({2, 8}), RetrievalKind::Calm, true, "000000"},
      {bits({8, 9, 11, 12, 13}), RetrievalKind::ChannelList, true, "110111"},
      {0, RetrievalKind::ChannelList, true, "000000"},
  };
  for (const Case& c : cases) {
    std::string text;
    decodesferr(c.err, text);
    RetrievalStatus st;
    ASSERT_EQ(classify_retrieval(text, st), "") << text;
    EXPECT_EQ(st.kind, c.kind) << text;
    EXPECT_EQ(st.retrieved(), c.retrieved) << text;
    std::string used;
    for (bool u : st.channel_used) used += u ? '1' : '0';
    EXPECT_EQ(used, c.used) << text;
    EXPECT_EQ(st.text, text);
  }

  struct OnboardCase {
    std::int32_t pserr;
    OnboardKind kind;
    bool marker;
    const char* flagged;
  };
  const OnboardCase onboard[] = {
      {0, OnboardKind::ChannelList, false, "000000"},
      {bits({0, 5}), OnboardKind::ChannelList, false, "100001"},
      {bits({12, 2}), OnboardKind::ChannelList, true, "001000"},
      {bits({9, 12}), OnboardKind::NoData, true, "000000"},
      {bits({11, 12}), OnboardKind::NoAuxData, true, "000000"},
      {bits({10}), OnboardKind::OldSst, false, "000000"},
      {bits({6, 0}), OnboardKind::TempErr, false, "000000"},
  };
  for (const OnboardCase& c : onboard) {
    std::string text;
    decodepserr(c.pserr, text);
    OnboardStatus st;
    ASSERT_EQ(classify_onboard(text, st), "") << text;
    EXPECT_EQ(st.kind, c.kind) << text;
    EXPECT_EQ(st.marker, c.marker) << text;
    std::string flagged;
    for (bool f : st.channel_flagged) flagged += f ? '1' : '0';
    EXPECT_EQ(flagged, c.flagged) << text;
  }
}

// Lines that sfmrbatch never writes are refused with the column named.
TEST(OutReader, RefusesMalformedLines) {
  const std::string good = Writer::data_line(sample_state(100), 20.0f);
  auto with = [&good](std::size_t pos, std::string_view text) {
    std::string l = good;
    l.replace(pos, text.size(), text);
    return l;
  };
  struct Case {
    const char* name;
    std::string line;
    const char* message;
  };
  const std::size_t err = good.size() - 10 - 3 * 7 - 11;  // first character of the Err column
  const Case cases[] = {
      {"time with blank", with(0, " 1:02:03"), "column Time"},
      {"hour 24", with(0, "24:00:00"), "column Time"},
      {"dot for colon", with(0, "01.02.03"), "column Time"},
      {"latitude letters", with(9, " 2x.980"), "column Lat: ' 2x.980' is not a number"},
      {"latitude point moved", with(9, "  27.98"), "column Lat"},
      {"blank inside number", with(9, "27 .980"), "column Lat"},
      {"altitude decimal", with(26, "300.5"), "column RAlt"},
      {"comma missing", with(8, ";"), "column Lat: no comma"},
      {"unknown retrieval text", with(err, "Overland  "), "column Err"},
      {"onboard label without blank", with(good.size() - 10, "NoData    "), "column PSErr"},
      {"channel list out of order", with(err, "F102345   "), "column Err"},
      {"cut inside a column", good.substr(0, 103), "column Tb5: the line ends inside"},
      {"cut before a column", good.substr(0, 100), "column Tb5: the line ends before"},
      {"text after the last column", good + ",", "text after the last column"},
  };
  for (const Case& c : cases) {
    OutSecond o;
    EXPECT_NE(parse_out_line(c.line, o).find(c.message), std::string::npos)
        << c.name << ": " << parse_out_line(c.line, o);
  }
}

// Writer and reader follow the one column table: the writer's line has the table's width, its columns are
// separated by commas where the table puts them, and a line cut inside any column is refused naming it.
TEST(OutReader, WriterAndReaderFollowTheColumnTable) {
  const std::string good = Writer::data_line(sample_state(100), 20.0f);
  ASSERT_EQ(good.size(), kOutLineWidth);
  std::size_t end = 0;  // one past the column's last character
  for (std::size_t k = 0; k < kOutColumns.size(); ++k) {
    const OutColumn& c = kOutColumns[k];
    end += (k > 0 ? 1 : 0) + static_cast<std::size_t>(c.width);
    ASSERT_LE(end, good.size()) << c.name;
    OutSecond o;
    const std::string inside = parse_out_line(good.substr(0, end - 1), o);
    EXPECT_NE(inside.find("column " + std::string(c.name) + ": the line ends inside"), std::string::npos)
        << c.name << ": " << inside;
    if (k + 1 < kOutColumns.size()) {
      EXPECT_EQ(good[end], ',') << c.name;
    }
  }
  EXPECT_EQ(end, good.size());
}

TEST(OutReader, WholeFileTimeAndFaults) {
  auto line = [](std::int32_t sec) { return Writer::data_line(sample_state(sec), 20.0f); };
  struct Case {
    const char* name;
    std::string text;
    const char* error;  // part of the message, "" for success
    std::vector<std::int64_t> elapsed;
  };
  const Case cases[] = {
      {"across midnight",
       out_text({line(86398), line(86399), line(0), line(5)}),
       "",
       {86398, 86399, 86400, 86405}},
      {"gap over midnight", out_text({line(86000), line(30)}), "", {86000, 86430}},
      {"header only", out_text({}), "", {}},
      {"time backwards: the clock's start", out_text({line(500), line(499)}), "", {498, 499}},
      {"time backwards: a reset, continued", out_text({line(5000), line(4999)}), "", {5000, 5001}},
      {"time repeated: continued", out_text({line(5000), line(5000)}), "", {5000, 5001}},
      {"empty file", "", "f: empty file", {}},
      {"other header", "Time,Lat\r\n" + line(1) + "\r\n", "f line 1: not the header", {}},
      {"header with blank", std::string(Writer::kHeader) + " \r\n", "f line 1: not the header", {}},
      {"line too wide", out_text({line(1) + " "}), "f line 2: line of 207 characters, not 206", {}},
      {"blanks stripped", out_text({std::string(trimmed(line(1)))}), "f line 2: line of 203 characters", {}},
      {"empty line at the end", out_text({line(1), ""}), "f line 3: line of 0 characters", {1}},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    std::vector<OutSecond> seconds;
    const std::string error = read_out(in, "f", seconds);
    if (*c.error == '\0') {
      EXPECT_EQ(error, "") << c.name;
    } else {
      EXPECT_EQ(error.find(c.error), 0u) << c.name << ": " << error;
    }
    std::vector<std::int64_t> elapsed;
    for (const OutSecond& o : seconds) elapsed.push_back(o.elapsed);
    EXPECT_EQ(elapsed, c.elapsed) << c.name;
  }
}

}  // namespace
}  // namespace sfmr::flight
