#include "records/onboard.hpp"

#include <gtest/gtest.h>

#include "core/text.hpp"

namespace sfmr {
namespace {

TEST(Decodeps, FieldsLimitsAndStatusBits) {
  struct Case {
    const char* line;
    PsRecord ps;  // starting from {7, 8, 9, 0x7fff}
  };
  const PsRecord start{7.0f, 8.0f, 9.0f, 0x7fff};
  const Case cases[] = {
      {"%R,a,b,12.5,3.0,1.25,0,00000000000", {12.5f, 3.0f, 1.25f, 0}},
      {"%R,a,b,12,1.2E1,0,0,00000100001", {12.0f, 12.0f, 0.0f, (1 << 5) | 1}},
      {"%R,a,b,1,2,3,0,10000000000", {1.0f, 2.0f, 3.0f, 1 << 11}},
      {"%R,a,b,1,2,3,0,00200000000", {1.0f, 2.0f, 3.0f, 1 << 9}},
      {"%R,a,b,1,2,3,0,01000000000", {1.0f, 2.0f, 3.0f, 1 << 10}},
      {"%R,a,b,1,2,3,0,00010000000", {1.0f, 2.0f, 3.0f, 0}},
      {"%R,a,b,1,2,3,0,00001000000", {1.0f, 2.0f, 3.0f, 1 << 6}},
      {"%R,a,b,1,2,3,1,00000000000", {1.0f, 2.0f, 3.0f, 1 << 12}},
      {"%R,a,b,1,2,3,0,00000", {1.0f, 2.0f, 3.0f, 0x3f}},
      {"%R,a,b,1,2,3", {1.0f, 2.0f, 3.0f, (1 << 12) | 0x7f | (1 << 9) | (1 << 10) | (1 << 11)}},
      {"%R,a,b,0,999.9,9.99,0,00000000000", {0.0f, 999.9f, 9.99f, 0}},
      {"%R,a,b,-0.1,2,3,0,00000000000", start},
      {"%R,a,b,1000,2,3,0,00000000000", start},
      {"%R,a,b,1,2,10.0,0,00000000000", {1.0f, 2.0f, 9.0f, 0x7fff}},
      {"%R,a,b,1,abc,3,0,00000000000", {1.0f, 8.0f, 9.0f, 0x7fff}},
      {"%R,12.5,3.0,1.25", {1.25f, 8.0f, 9.0f, 0x7fff}},
      {"%R,a,b,/,2,3", start},
  };
  for (const Case& c : cases) {
    State s;
    s.ps = start;
    decodeps(s, fixed_text(c.line));
    EXPECT_EQ(s.ps.PSWS, c.ps.PSWS) << c.line;
    EXPECT_EQ(s.ps.PSRR, c.ps.PSRR) << c.line;
    EXPECT_EQ(s.ps.PSQF, c.ps.PSQF) << c.line;
    EXPECT_EQ(s.ps.PSErr, c.ps.PSErr) << c.line;
  }
}

}  // namespace
}  // namespace sfmr
