// Fixed-width writing of any double in Fw.d and of any integer in iw.m: the field is always exactly w
// characters, and the text is what an independent rounding of the exact decimal expansion of the value gives
// (halves away from zero, no minus sign on an all-zero result, the "0." shortened by its zero when that alone
// makes it fit), or w asterisks exactly when that does not fit.
// fuzz-max-len: 256 (longest input of a campaign: one line; fuzz/CMakeLists.txt reads it)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "fuzz_util.hpp"

using namespace sfmr;

namespace {

// Fw.d written from the exact decimal digits of |value| (the C library prints them all).
std::string expected_F(double value, int w, int d) {
  const std::string stars(static_cast<std::size_t>(w), '*');
  if (!std::isfinite(value)) return stars;
  static char buf[2048];
  std::snprintf(buf, sizeof buf, "%.1100f", std::fabs(value));
  const std::string exact = buf;
  const std::size_t dot = exact.find('.');
  std::string digits = exact.substr(0, dot) + exact.substr(dot + 1, static_cast<std::size_t>(d));
  if (exact[dot + 1 + static_cast<std::size_t>(d)] >= '5') {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits = "1" + digits;
    } else {
      ++digits[i - 1];
    }
  }
  const std::size_t int_len = digits.size() - static_cast<std::size_t>(d);
  const std::string text = digits.substr(0, int_len) + "." + digits.substr(int_len);
  const bool zero = digits.find_first_not_of('0') == std::string::npos;
  const std::string sign = std::signbit(value) && !zero ? "-" : "";
  std::string out = sign + text;
  if (out.size() == static_cast<std::size_t>(w) + 1 && text.starts_with("0.")) out = sign + text.substr(1);
  if (out.size() > static_cast<std::size_t>(w)) return stars;
  return std::string(static_cast<std::size_t>(w) - out.size(), ' ') + out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 * sizeof(double) + 3) return 0;
  double value = 0.0;
  std::memcpy(&value, data, sizeof value);
  std::int64_t integer = 0;
  std::memcpy(&integer, data + sizeof value, sizeof integer);
  const int w = 1 + data[16] % 40;
  const int d = data[17] % w;
  const std::string f = format_F(value, w, d);
  fuzz::check(f == expected_F(value, w, d), "Fw.d text", f);

  const int m = 1 + data[18] % 24;
  const std::string i = format_I(integer, w, m);
  fuzz::check(i.size() == static_cast<std::size_t>(w), "iw.m width", i);
  const std::string magnitude = std::to_string(integer < 0 ? -static_cast<std::uint64_t>(integer)
                                                           : static_cast<std::uint64_t>(integer));
  const std::size_t needed = std::max(magnitude.size(), static_cast<std::size_t>(m)) + (integer < 0 ? 1 : 0);
  fuzz::check((i == std::string(static_cast<std::size_t>(w), '*')) == (needed > static_cast<std::size_t>(w)),
              "iw.m asterisks exactly when the integer does not fit", i);
  return 0;
}
