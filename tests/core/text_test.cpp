#include "core/text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

namespace sfmr {
namespace {

TEST(FixedText, PadsCutsAndTrims) {
  EXPECT_EQ(fixed_text("ab", 5), "ab   ");
  EXPECT_EQ(fixed_text("abcdef", 4), "abcd");
  EXPECT_EQ(fixed_text("", 3), "   ");
  EXPECT_EQ(trimmed_length("   "), 0u);
  EXPECT_EQ(trimmed_length(" a b  "), 4u);
  EXPECT_EQ(trimmed_length("a\t"), 2u) << "a tab is not blank";
  EXPECT_EQ(trimmed(" a  "), " a");
  EXPECT_EQ(columns("%T123", 3, 5), "123");
  EXPECT_EQ(columns("%T", 3, 2), "");
  EXPECT_EQ(columns("abc", 2, 10), "bc");
}

std::vector<std::string> read_all(const std::string& content, std::size_t length,
                                  int* last_status = nullptr) {
  std::istringstream in(content);
  LineReader reader(in, length);
  std::vector<std::string> lines;
  std::string line;
  int status = 0;
  while ((status = reader.read(line)) == 0) lines.push_back(line);
  if (last_status) *last_status = status;
  return lines;
}

TEST(LineReader, LinesArePaddedCutAndEndedByLineFeed) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> lines;  // expected, length 6
  };
  const std::vector<Case> cases = {
      {"padded", "ab\ncd\n", {"ab    ", "cd    "}},
      {"long line cut, next read starts at next line", "abcdefghij\nxy\n", {"abcdef", "xy    "}},
      {"CR before LF dropped", "ab\r\ncd\r\n", {"ab    ", "cd    "}},
      {"CR elsewhere kept", "a\rb\n", {"a\rb   "}},
      {"last line without line feed delivered", "ab\ncd", {"ab    ", "cd    "}},
      {"CR at end of file without LF kept", "ab\r", {"ab\r   "}},
      {"blank lines", "\n\n", {"      ", "      "}},
      {"empty input", "", {}},
  };
  for (const Case& c : cases) {
    int status = 0;
    EXPECT_EQ(read_all(c.content, 6, &status), c.lines) << c.name;
    EXPECT_LT(status, 0) << c.name;
  }
}

TEST(LineReader, TwoHundredCharacterLineGivesFirst128) {
  const std::string longline(200, 'x');
  const auto lines = read_all(longline + "\nnext\n", kLineLength);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(128, 'x'));
  EXPECT_EQ(lines[1], fixed_text("next"));
}

// ---- Free-format reading ----------------------------------------------------------------------------------

struct RealCase {
  const char* text;
  int status;
  std::vector<float> expected;  // after the read, starting from {1, 2, 3} (or as many as given)
};

TEST(ReadFree, RealsFollowTheFreeFormatRules) {
  const std::vector<RealCase> cases = {
      {"5.0,,7.0", 0, {5.0f, 2.0f, 7.0f}},
      {"3/", 0, {3.0f, 2.0f, 3.0f}},
      {"3 / 9 9", 0, {3.0f, 2.0f, 3.0f}},
      {"12", -1, {12.0f, 2.0f, 3.0f}},
      {"12 13 14 15", 0, {12.0f, 13.0f, 14.0f}},
      {"  4.5 , 6.5 ,7", 0, {4.5f, 6.5f, 7.0f}},
      {"4\t5\t6", 0, {4.0f, 5.0f, 6.0f}},
      {",5,6", 0, {1.0f, 5.0f, 6.0f}},
      {" , 5,6", 0, {1.0f, 5.0f, 6.0f}},
      {"1 ,, 3", 0, {1.0f, 2.0f, 3.0f}},
      {"1,2,", -1, {1.0f, 2.0f, 3.0f}},
      {"3*7.5", 0, {7.5f, 7.5f, 7.5f}},
      {"2*,9", 0, {1.0f, 2.0f, 9.0f}},
      {"2* 9", 0, {1.0f, 2.0f, 9.0f}},
      {"5*4", 0, {4.0f, 4.0f, 4.0f}},
      {"0*4", 1, {1.0f, 2.0f, 3.0f}},
      {"*4", 1, {1.0f, 2.0f, 3.0f}},
      {"+2*4", 1, {1.0f, 2.0f, 3.0f}},
      {"1.5E2 1.5e-2 2D1", 0, {150.0f, 0.015f, 20.0f}},
      {"2d-1 1Q2 1q+1", 0, {0.2f, 100.0f, 10.0f}},
      {"1.5+2 1.5-2 -.5", 0, {150.0f, 0.015f, -0.5f}},
      {"1. .5 +7", 0, {1.0f, 0.5f, 7.0f}},
      {".", 1, {1.0f, 2.0f, 3.0f}},
      {"1E", 1, {1.0f, 2.0f, 3.0f}},
      {"1E+", 1, {1.0f, 2.0f, 3.0f}},
      {"1E+-2", 1, {1.0f, 2.0f, 3.0f}},
      {"+", 1, {1.0f, 2.0f, 3.0f}},
      {"7 abc", 1, {7.0f, 2.0f, 3.0f}},
      {"inf", 1, {1.0f, 2.0f, 3.0f}},
      {"nan", 1, {1.0f, 2.0f, 3.0f}},
      {"0x1p3", 1, {1.0f, 2.0f, 3.0f}},
      {"1.2.3", 1, {1.0f, 2.0f, 3.0f}},
      {"1e39", 1, {1.0f, 2.0f, 3.0f}},
      {"-3.5e38", 1, {1.0f, 2.0f, 3.0f}},
      {"3.4028235e38", -1, {std::numeric_limits<float>::max(), 2.0f, 3.0f}},
      {"1e-50 -1e-50 0e999999999", 0, {0.0f, -0.0f, 0.0f}},
      {"1e-45", -1, {std::numeric_limits<float>::denorm_min(), 2.0f, 3.0f}},
      {"", -1, {1.0f, 2.0f, 3.0f}},
      {"   ", -1, {1.0f, 2.0f, 3.0f}},
      {"/", 0, {1.0f, 2.0f, 3.0f}},
  };
  for (const RealCase& c : cases) {
    std::vector<float> v = {1.0f, 2.0f, 3.0f};
    EXPECT_EQ(read_free(c.text, std::span<float>(v)), c.status) << '"' << c.text << '"';
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(v[i], c.expected[i]) << '"' << c.text << "\" value " << i;
      EXPECT_EQ(std::signbit(v[i]), std::signbit(c.expected[i])) << '"' << c.text << "\" sign of value " << i;
    }
  }
}

TEST(ReadFree, RealsAreRoundedOnceToSingle) {
  // 0.15 rounds directly to the float 0.150000006; 16777217 is a tie between two floats and goes to even;
  // 1.00000005960464477539062500001 lies just above the tie and must go up (a double in between would not).
  struct Case {
    const char* text;
    float expected;
  };
  const Case cases[] = {
      {"0.15", 0.15f},
      {"16777217", 16777216.0f},
      {"16777219", 16777220.0f},
      {"1.00000005960464477539062500001", 1.00000012f},
      {"1.000000059604644775390625", 1.0f},
      {"273.146", 273.146f},
  };
  for (const Case& c : cases) {
    float v = 0.0f;
    EXPECT_EQ(read_free(c.text, {&v}), 0) << c.text;
    EXPECT_EQ(v, c.expected) << c.text;
  }
}

TEST(ReadFree, IntegersRejectPointsExponentsAndOverflow) {
  struct Case {
    const char* text;
    int status;
    std::int32_t value;  // starting from 99
  };
  const Case cases[] = {
      {"12", 0, 12},
      {"-12", 0, -12},
      {"+7", 0, 7},
      {"007", 0, 7},
      {"12.5", 1, 99},
      {"12.", 1, 99},
      {"1E2", 1, 99},
      {"1+2", 1, 99},
      {"2147483647", 0, 2147483647},
      {"-2147483648", 0, std::numeric_limits<std::int32_t>::min()},
      {"2147483648", 1, 99},
      {"-2147483649", 1, 99},
      {"99999999999999999999", 1, 99},
      {"2*5", 0, 5},
      {"2*", 0, 99},
      {"2147483647*5", 0, 5},
      {"2147483648*5", 1, 99},
      {"", -1, 99},
      {"/", 0, 99},
      {",", 0, 99},
      {"-", 1, 99},
      {"1a", 1, 99},
  };
  for (const Case& c : cases) {
    std::int32_t v = 99;
    EXPECT_EQ(read_free(c.text, {&v}), c.status) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value) << '"' << c.text << '"';
  }
}

TEST(ReadFree, MixedTargetsAndFilledCount) {
  std::int32_t a = 0, b = 0;
  float x = 0.0f;
  int filled = -1;
  EXPECT_EQ(read_free("3*12", {&a, &x, &b}, &filled), 0);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(x, 12.0f);
  EXPECT_EQ(b, 12);
  EXPECT_EQ(filled, 3);

  // An empty value or a slash assigns nothing and so counts nothing.
  a = 5;
  EXPECT_EQ(read_free(",7", {&a, &b}, &filled), 0);
  EXPECT_EQ(filled, 1);
  EXPECT_EQ(read_free("/", {&a}, &filled), 0);
  EXPECT_EQ(filled, 0);
  EXPECT_EQ(a, 5);
  // A malformed second value leaves the first read.
  EXPECT_EQ(read_free("8 8.5", {&a, &b}, &filled), 1);
  EXPECT_EQ(a, 8);
  EXPECT_EQ(filled, 1);
}

TEST(ReadValue, OnlyADeliveredValueIsReadable) {
  struct Case {
    const char* text;
    bool ok;
    float value;  // starting from 9.0
  };
  const Case cases[] = {
      {"5", true, 5.0f},   {" 2.5 ", true, 2.5f}, {"3*7", true, 7.0f}, {"4/", true, 4.0f},
      {"1 2", true, 1.0f}, {"/", false, 9.0f},    {"", false, 9.0f},   {",", false, 9.0f},
      {"2*", false, 9.0f}, {"1.5x", false, 9.0f}, {",5", false, 9.0f},
  };
  for (const Case& c : cases) {
    float v = 9.0f;
    EXPECT_EQ(read_value(c.text, &v), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value) << '"' << c.text << '"';
  }
}

// ---- Fixed-width writing ----------------------------------------------------------------------------------

TEST(FormatF, RoundsPadsSignsAndOverflows) {
  struct Case {
    double value;
    int w, d;
    const char* expected;
  };
  const Case cases[] = {
      {12.5, 5, 1, " 12.5"},
      {123.4, 4, 1, "****"},
      {-0.5, 4, 2, "-.50"},
      {-0.01, 5, 1, "  0.0"},
      {-0.0, 6, 2, "  0.00"},
      {0.125, 5, 2, " 0.13"},
      {-0.125, 6, 2, " -0.13"},
      {0.375, 5, 2, " 0.38"},
      {2.5, 3, 0, " 3."},
      {0.5, 3, 2, ".50"},
      {0.5, 2, 2, "**"},
      {0.05, 4, 2, "0.05"},
      {999.9f, 6, 2, "999.90"},
      {-99.9f, 6, 2, "-99.90"},
      {1234.5, 6, 2, "******"},
      {-9.995, 6, 2, " -9.99"},  // the double nearest -9.995 lies below the tie in magnitude
      {26.854000091552734, 5, 1, " 26.9"},
      {0.0, 7, 3, "  0.000"},
      {-90.0, 7, 3, "-90.000"},
      {-180.0, 8, 3, "-180.000"},
      {-180.0, 7, 3, "*******"},
      {1.0e30, 6, 2, "******"},
      {std::numeric_limits<double>::quiet_NaN(), 6, 2, "******"},
      {std::numeric_limits<double>::infinity(), 5, 1, "*****"},
      {-std::numeric_limits<double>::infinity(), 6, 2, "******"},
      {0.1f, 12, 10, "0.1000000015"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_F(c.value, c.w, c.d), c.expected) << c.value << " in F" << c.w << '.' << c.d;
  }
}

TEST(FormatF, HalfwayValuesRoundAwayFromZeroOnlyWhenExact) {
  // 2.675 is stored below the tie (2.67499999...) and so rounds down; 2.625 is exact and rounds up.
  EXPECT_EQ(format_F(2.675, 5, 2), " 2.67");
  EXPECT_EQ(format_F(2.625, 5, 2), " 2.63");
  EXPECT_EQ(format_F(-2.625, 6, 2), " -2.63");
  EXPECT_EQ(format_F(0.0625, 6, 3), " 0.063");
  EXPECT_EQ(format_F(99.995f, 6, 2), "100.00") << "float 99.995 lies above the tie";
  EXPECT_EQ(format_F(9.5, 6, 0), "   10.");
}

TEST(FormatTrimmed, RoundedAsFormatFWithoutPadding) {
  struct Case {
    double value;
    int d;
    const char* expected;
  };
  const Case cases[] = {
      {-0.01, 1, "0.0"},
      {0.125, 2, "0.13"},
      {-2.625, 2, "-2.63"},
      {9.5, 0, "10"},
      {-0.4, 0, "0"},
      {-0.6, 0, "-1"},
      {123456.789, 3, "123456.789"},
      {1.0e30, 0, "1000000000000000019884624838656"},
      {std::numeric_limits<double>::quiet_NaN(), 2, ""},
      {-std::numeric_limits<double>::infinity(), 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(format_trimmed(c.value, c.d), c.expected) << c.value << " to " << c.d;
}

TEST(FormatI, WidthMinimumDigitsAndOverflow) {
  struct Case {
    std::int64_t value;
    int w, m;
    const char* expected;
  };
  const Case cases[] = {
      {5, 2, 2, "05"},        {123, 2, 2, "**"},       {7, 2, 2, "07"},        {0, 2, 2, "00"},
      {9, 2, 1, " 9"},        {-5, 5, 1, "   -5"},     {-5, 2, 2, "**"},       {-5, 3, 2, "-05"},
      {99999, 5, 1, "99999"}, {100000, 5, 1, "*****"}, {-9999, 5, 1, "-9999"}, {-10000, 5, 1, "*****"},
      {1000, 3, 1, "***"},    {0, 3, 1, "  0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_I(c.value, c.w, c.m), c.expected) << c.value << " in i" << c.w << '.' << c.m;
  }
}

}  // namespace
}  // namespace sfmr
