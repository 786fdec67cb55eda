// The block reader of TextFile against the stream reader LineReader: the same content gives the same lines,
// whatever the block boundaries, and reals read the same on the short path and on the converter's.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/files.hpp"
#include "core/text.hpp"
#include "support/test_util.hpp"

namespace sfmr {
namespace {

std::vector<std::string> stream_lines(const std::string& content, std::size_t length) {
  std::istringstream in(content);
  LineReader reader(in, length);
  std::vector<std::string> lines;
  for (std::string line; reader.read(line) == 0;) lines.push_back(line);
  return lines;
}

TEST(TextFile, GivesTheLinesOfLineReader) {
  const std::string block(1 << 16, 'x');  // the reader's block size
  struct Case {
    const char* name;
    std::string content;
  };
  const std::vector<Case> cases = {
      {"short lines, CR LF and LF", "ab\r\ncd\n\nef\r\n"},
      {"CR not before LF kept", "a\rb\n\r\r\n"},
      {"last line without LF keeps its CR", "ab\ncd\r"},
      {"empty file", ""},
      {"200-character line", std::string(200, 'q') + "\nnext\n"},
      {"line across a block boundary", std::string(65530, 'a') + "\n" + std::string(20, 'b') + "\r\nc\n"},
      {"CR at the end of a block, LF after it", std::string(65535, 'a') + "\r\nz\n"},
      {"line longer than a block", "head\n" + block + block + "tail\r\nlast"},
      {"line longer than a block without LF", block + "abc"},
  };
  sfmr::testing::TempDir dir;
  for (const Case& c : cases) {
    for (std::size_t length : {std::size_t{6}, kLineLength}) {
      sfmr::testing::write_file("f.txt", c.content);
      TextFile opened;
      ASSERT_EQ(opened.open("f.txt", length), 0) << c.name;
      TextFile moved;
      for (int pass = 0; pass < 2; ++pass) {  // the second pass after a rewind, in a moved-to object
        TextFile& file = pass == 0 ? opened : moved;
        std::vector<std::string> lines;
        int status = 0;
        for (std::string line; (status = file.read(line)) == 0;) lines.push_back(line);
        EXPECT_EQ(status, kEndOfInput) << c.name;
        EXPECT_EQ(lines, stream_lines(c.content, length))
            << c.name << ", length " << length << ", pass " << pass;
        file.rewind();
        if (pass == 0) moved = std::move(opened);
      }
    }
  }
}

TEST(ReadValue, ShortRealsEqualTheConvertersRounding) {
  // A value with up to seven digits and no exponent is read by one division; the same value written with an
  // exponent goes through the converter. Both must give the same single-precision number.
  std::mt19937 random(7);
  for (int k = 0; k < 200000; ++k) {
    const int digits = 1 + static_cast<int>(random() % 7);
    const int point = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
    std::string digit_text;
    for (int d = 0; d < digits; ++d) digit_text.push_back(static_cast<char>('0' + random() % 10));
    const auto at = static_cast<std::size_t>(point);
    std::string text = digit_text.substr(0, at);  // "dd.ddd"
    text.push_back('.');
    text.append(digit_text, at);
    std::string shifted = "0.";  // the same digits as 0.ddddd E point
    shifted.append(digit_text);
    shifted.push_back('E');
    shifted.push_back(static_cast<char>('0' + point));
    float fast = -1.0f;
    float converted = -2.0f;
    ASSERT_TRUE(read_value(text, &fast)) << text;
    ASSERT_TRUE(read_value(shifted, &converted)) << shifted;
    ASSERT_EQ(fast, converted) << text << " against " << shifted;
  }
}

}  // namespace
}  // namespace sfmr

namespace sfmr {
namespace {

// |v| rounded to d decimals, ties away from zero, from its exact decimal expansion (every double has at most
// 1074 decimals): the digit after the d-th decides.
std::string reference_rounding(double v, int d) {
  static char buf[1500];
  const char* end = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, 1080).ptr;
  std::string exact(static_cast<const char*>(buf), end);
  const std::size_t point = exact.find('.');
  const auto decimals = static_cast<std::size_t>(d);
  std::string kept = "0";  // a leading zero to carry into
  kept.append(exact, 0, point);
  kept.append(exact, point + 1, decimals);
  if (exact[point + 1 + decimals] >= '5') {
    std::size_t i = kept.size();
    while (kept[i - 1] == '9') kept[--i] = '0';
    ++kept[i - 1];
  }
  const std::size_t from = kept[0] == '0' && kept.size() > decimals + 1 ? 1 : 0;
  std::string text(kept, from, kept.size() - decimals - from);
  if (d > 0) {
    text.push_back('.');
    text.append(kept, kept.size() - decimals, decimals);
  }
  return text;
}

TEST(FormatF, RoundsTheExactBinaryValueHalfAwayFromZero) {
  std::mt19937_64 random(11);
  int checked = 0;
  for (int k = 0; k < 100000; ++k) {
    const int d = static_cast<int>(random() % 4);
    double v = 0.0;
    switch (k % 3) {
      case 0:  // any single-precision value the writer may meet
        v = static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
        break;
      case 1:  // ties and near-ties: multiples of 1/16 and their neighbours
        v = std::nextafter(static_cast<double>(static_cast<std::int64_t>(random() % 200001) - 100000) / 16.0,
                           static_cast<double>(static_cast<std::int64_t>(random() % 3) - 1) * 1e300);
        break;
      default:  // moderate magnitudes
        v = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 60) - 70);
    }
    if (!std::isfinite(v) || std::fabs(v) > 1e15) continue;
    const std::string want = reference_rounding(v, d);
    const std::string got = format_F(v, 40, d);
    const std::string text = got.substr(got.find_first_not_of(" -"));
    ASSERT_EQ(text, d == 0 ? want + "." : want) << "value " << v << ", " << d << " decimals";
    ++checked;
  }
  EXPECT_GT(checked, 60000);
}

}  // namespace
}  // namespace sfmr
