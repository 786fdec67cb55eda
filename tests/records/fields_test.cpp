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
      {"a\tb\x01"
       "c",
       {"a", "b", "c"}},
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

TEST(FieldViews, WalksAsFieldCursorDoes) {
  const std::vector<std::string> lines = {
      "%A,07/12/2026,23:10:00,27.9800,-81.9500,3000.0,2.00,0.00,283.15,305.00,3015.0,221.5,129.0,701.0,16.7",
      "%R,,07/12/2026  , 23:10:00,0.0,\t0.0,0.73,0,00100000000",
      "%B,0,20518,40000,20000,",
      std::string(127, 'x') + ",y",
      std::string(60, ' ') + "a" + std::string(66, ',') + "b",
      "",
      "\x01\x1f\x7f\xff,\xa0 z",
  };
  for (const std::string& line : lines) {
    const std::string padded = fixed_text(line);
    FieldCursor cursor(padded);
    FieldViews views(padded);
    for (int k = 0; k < 20; ++k) {
      const std::string& field = cursor.next();
      const std::string_view view = views.next();
      EXPECT_EQ(fixed_text(view), field) << "line " << line << ", field " << k;
      EXPECT_EQ(trimmed_length(views.rest()), trimmed_length(cursor.rest()))
          << "line " << line << ", field " << k;
    }
  }
}

}  // namespace
}  // namespace sfmr
