#include "records/fields.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text.hpp"

namespace sfmr {
namespace {

// All fields of a line, trimmed, until the first blank field.
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> out;
  std::string rest = fixed_text(line);
  std::string field;
  for (int i = 0; i < 40; ++i) {
    splitstring(rest, field, rest);
    if (trimmed_length(field) == 0) break;
    out.emplace_back(trimmed(field));
  }
  return out;
}

TEST(Splitstring, SeparatorsAndEmptyFields) {
  struct Case {
    const char* line;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"%A,1,,2", {"%A", "1", "2"}},
      {"%B, 3 , 100", {"%B", "3", "100"}},
      {"%A 01/02/2005 12:00:00", {"%A", "01/02/2005", "12:00:00"}},
      {"%A12,5", {"%A12", "5"}},
      {"a\tb\x01" "c", {"a", "b", "c"}},
      {"  ,, x", {"x"}},
      {"", {}},
      {"\xe9t\xe9,2", {"\xe9t\xe9", "2"}},  // bytes above 127 are field characters
  };
  for (const Case& c : cases) EXPECT_EQ(fields_of(c.line), c.fields) << c.line;
}

TEST(Splitstring, OnlyTheEndingCharacterIsDropped) {
  std::string text = fixed_text("%B, 3 , 100");
  std::string field, rest;
  splitstring(text, field, rest);
  EXPECT_EQ(trimmed(field), "%B");
  EXPECT_EQ(rest, fixed_text(" 3 , 100"));
  EXPECT_EQ(text, fixed_text("%B, 3 , 100")) << "text unchanged";
}

TEST(Splitstring, FieldEndingNearTheEndOfTheBuffer) {
  struct Case {
    std::size_t last_column;  // 1-based column where the field ends
    std::string rest;
  };
  // Column 128 holds "Z" in every case.
  const Case cases[] = {
      {128, std::string(128, ' ')},
      {127, std::string(128, ' ')},
      {126, fixed_text("Z")},
  };
  for (const Case& c : cases) {
    std::string text(128, ' ');
    text[c.last_column - 1] = 'Y';
    if (c.last_column < 127) text[127] = 'Z';
    if (c.last_column == 127) text[127] = ' ';
    std::string field, rest;
    splitstring(text, field, rest);
    EXPECT_EQ(trimmed(field), "Y") << c.last_column;
    EXPECT_EQ(rest, c.rest) << c.last_column;
  }
}

TEST(Splitstring, ExhaustedLineKeepsGivingBlankFields) {
  std::string rest = fixed_text("%R,1");
  std::string field;
  splitstring(rest, field, rest);
  splitstring(rest, field, rest);
  EXPECT_EQ(trimmed(field), "1");
  for (int i = 0; i < 3; ++i) {
    splitstring(rest, field, rest);
    EXPECT_EQ(field, std::string(128, ' '));
    EXPECT_EQ(rest, std::string(128, ' '));
  }
}

TEST(Clrch, BlanksTheWholeBuffer) {
  std::string text = "abc";
  clrch(text);
  EXPECT_EQ(text, "   ");
}

}  // namespace
}  // namespace sfmr
