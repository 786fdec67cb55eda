// The block reader of TextFile against the stream reader LineReader: the same content gives the same lines,
// whatever the block boundaries, and reals read the same on the short path and on the converter's.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
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
      TextFile file;
      ASSERT_EQ(file.open("f.txt", length), 0) << c.name;
      for (int pass = 0; pass < 2; ++pass) {  // the second pass after a rewind
        std::vector<std::string> lines;
        int status = 0;
        for (std::string line; (status = file.read(line)) == 0;) lines.push_back(line);
        EXPECT_EQ(status, kEndOfInput) << c.name;
        EXPECT_EQ(lines, stream_lines(c.content, length))
            << c.name << ", length " << length << ", pass " << pass;
        file.rewind();
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
