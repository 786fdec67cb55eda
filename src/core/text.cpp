#include "core/text.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>
#include <vector>

namespace sfmr {

// ---- Fixed-length text
// -------------------------------------------------------------------------------------

std::string fixed_text(std::string_view s, std::size_t n) {
  std::string out(s.substr(0, n));
  out.resize(n, ' ');
  return out;
}

std::size_t trimmed_length(std::string_view s) {
  const std::size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? 0 : last + 1;
}

std::string_view trimmed(std::string_view s) {
  return s.substr(0, trimmed_length(s));
}

std::string_view columns(std::string_view s, std::size_t first, std::size_t last) {
  if (first < 1 || first > last || first > s.size()) return {};
  return s.substr(first - 1, last - first + 1);
}

// ---- Line reading
// ------------------------------------------------------------------------------------------

int LineReader::read(std::string& line) {
  raw_.clear();
  errno = 0;  // so that a failed read reports its own cause, not an older one
  if (!std::getline(*in_, raw_)) {
    if (in_->bad()) return errno != 0 ? errno : EIO;
    return kEndOfInput;
  }
  // getline stops at a line feed (and consumes it) or at the end of the input; only a carriage return that
  // stood directly before a line feed is dropped.
  if (!in_->eof() && !raw_.empty() && raw_.back() == '\r') raw_.pop_back();
  line = fixed_text(raw_, length_);
  return 0;
}

// ---- Free-format reading
// -----------------------------------------------------------------------------------

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_space(char c) {
  return c == ' ' || c == '\t';
}
bool ends_value(char c) {
  return c == ',' || c == ' ' || c == '\t' || c == '/';
}

// Optional sign and digits, within the 32-bit range.
bool parse_integer(std::string_view v, std::int32_t& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  if (i == v.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < v.size(); ++i) {
    if (!is_digit(v[i])) return false;
    magnitude = magnitude * 10 + (v[i] - '0');
    if (magnitude > std::int64_t{1} << 31) return false;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

// Powers of ten that single precision holds exactly (5^10 < 2^24).
constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// Real value by the free-format grammar, rounded once to single precision.
bool parse_real(std::string_view v, float& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  {
    // The usual value: up to seven digits with an optional point and nothing else. Below 10^7 < 2^24 the
    // digits are exact in single precision, and so is the power of ten: one correctly rounded division.
    std::uint32_t whole = 0;
    int count = 0;
    int decimals = -1;  // digits after the point; -1 without a point
    std::size_t j = i;
    for (; j < v.size() && count <= 7; ++j) {
      const char c = v[j];
      if (is_digit(c)) {
        whole = whole * 10 + static_cast<std::uint32_t>(c - '0');
        ++count;
        if (decimals >= 0) ++decimals;
      } else if (c == '.' && decimals < 0) {
        decimals = 0;
      } else {
        break;
      }
    }
    if (j == v.size() && count >= 1 && count <= 7) {
      const float value = static_cast<float>(whole) / kExactPowersOfTen[decimals < 0 ? 0 : decimals];
      out = negative ? -value : value;
      return true;
    }
  }
  const std::size_t first = i;  // the significant text "ddd.ddd" is v[first, last)
  std::size_t ndigits = 0;
  std::int64_t int_digits = 0;  // digits before the point, leading zeros excluded
  bool seen_nonzero = false;
  std::int64_t leading_frac_zeros = 0;  // zeros right after the point before the first non-zero digit
  // The digits as a whole number and the count of digits after the point, while the number stays exact in
  // single precision (below 2^24): such a value is one correctly rounded division.
  std::uint32_t mantissa = 0;
  int scale = 0;
  bool small = true;
  auto take = [&](char c) {
    if (small) {
      mantissa = mantissa * 10 + static_cast<std::uint32_t>(c - '0');
      small = mantissa < (1u << 24) / 10;
    }
  };
  for (; i < v.size() && is_digit(v[i]); ++i, ++ndigits) {
    take(v[i]);
    if (v[i] != '0') seen_nonzero = true;
    if (seen_nonzero) ++int_digits;
  }
  if (i < v.size() && v[i] == '.') {
    for (++i; i < v.size() && is_digit(v[i]); ++i, ++ndigits) {
      take(v[i]);
      ++scale;
      if (!seen_nonzero) {
        if (v[i] == '0') {
          ++leading_frac_zeros;
        } else {
          seen_nonzero = true;
        }
      }
    }
  }
  if (ndigits == 0) return false;
  const std::string_view significant = v.substr(first, i - first);
  std::int64_t exponent = 0;
  if (i < v.size()) {
    const char c = v[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q') {
      ++i;
    } else if (c != '+' && c != '-') {
      return false;
    }
    bool exp_negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) exp_negative = v[i++] == '-';
    if (i == v.size()) return false;
    for (; i < v.size(); ++i) {
      if (!is_digit(v[i])) return false;
      if (exponent < 1'000'000) exponent = exponent * 10 + (v[i] - '0');  // saturates far beyond any float
    }
    if (exp_negative) exponent = -exponent;
  }
  if (!seen_nonzero) {
    out = negative ? -0.0f : 0.0f;
    return true;
  }
  float value = 0.0f;
  if (small && exponent == 0 && scale <= 10) {
    // Both operands exact, so the quotient is rounded once, as the converter would round it.
    value = static_cast<float>(mantissa) / kExactPowersOfTen[scale];
    out = negative ? -value : value;
    return true;
  }
  // The converter's text: the significant text, "e" and the exponent; on the stack unless it is longer than
  // a line.
  char buffer[kLineLength + 32];
  std::string long_text;
  char* text = buffer;
  const std::size_t room = significant.size() + 32;
  if (room > sizeof buffer) {
    long_text.resize(room);
    text = long_text.data();
  }
  std::memcpy(text, significant.data(), significant.size());
  text[significant.size()] = 'e';
  const char* const end = std::to_chars(text + significant.size() + 1, text + room, exponent).ptr;
  const auto result = std::from_chars(text, end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Out of range either way: decide by the decimal magnitude of the first significant digit.
    const std::int64_t magnitude =
        int_digits > 0 ? int_digits - 1 + exponent : -(leading_frac_zeros + 1) + exponent;
    if (magnitude > 0) return false;  // rounds beyond the largest single-precision value
    value = 0.0f;                     // rounds to zero
  } else if (result.ec != std::errc() || result.ptr != end) {
    return false;
  }
  out = negative ? -value : value;
  return true;
}

bool assign(const FreeTarget& target, std::string_view v) {
  if (const auto* p = std::get_if<std::int32_t*>(&target)) return parse_integer(v, **p);
  return parse_real(v, *std::get<float*>(target));
}

// Repeat count r of r*v: a whole number from 1 to 2147483647 without sign.
bool parse_repeat(std::string_view r, std::int64_t& count) {
  if (r.empty()) return false;
  count = 0;
  for (char c : r) {
    if (!is_digit(c)) return false;
    count = count * 10 + (c - '0');
    if (count > std::numeric_limits<std::int32_t>::max()) return false;
  }
  return count >= 1;
}

}  // namespace

int read_free(std::string_view text, std::span<const FreeTarget> targets, int* filled) {
  int assigned = 0;
  if (filled) *filled = 0;
  std::size_t pos = 0;
  std::int64_t repeat = 0;  // copies of `repeat_value` still to hand out
  std::string_view repeat_value;
  bool repeat_null = false;

  for (const FreeTarget& target : targets) {
    if (repeat == 0) {
      while (pos < text.size() && is_space(text[pos])) ++pos;
      if (pos == text.size()) return kEndOfInput;
      if (text[pos] == '/') return 0;
      if (text[pos] == ',') {  // empty value
        ++pos;
        continue;
      }
      const std::size_t start = pos;
      while (pos < text.size() && !ends_value(text[pos])) ++pos;
      std::string_view token = text.substr(start, pos - start);
      // Separator: blanks, at most one comma, blanks. A slash is left for the next value to find.
      while (pos < text.size() && is_space(text[pos])) ++pos;
      if (pos < text.size() && text[pos] == ',') ++pos;

      const std::size_t star = token.find('*');
      if (star == std::string_view::npos) {
        if (!assign(target, token)) return kMalformed;
        if (filled) *filled = ++assigned;
        continue;
      }
      if (!parse_repeat(token.substr(0, star), repeat)) return kMalformed;
      repeat_value = token.substr(star + 1);
      repeat_null = repeat_value.empty();
    }
    --repeat;
    if (repeat_null) continue;
    if (!assign(target, repeat_value)) return kMalformed;
    if (filled) *filled = ++assigned;
  }
  return 0;
}

int read_free(std::string_view text, std::initializer_list<FreeTarget> targets, int* filled) {
  return read_free(text, std::span<const FreeTarget>(targets.begin(), targets.size()), filled);
}

bool read_value(std::string_view text, FreeTarget target) {
  // The common case, one plain value, without the general reader's bookkeeping: what follows the value does
  // not matter once the one variable has it.
  std::size_t pos = 0;
  while (pos < text.size() && is_space(text[pos])) ++pos;
  if (pos == text.size() || text[pos] == ',' || text[pos] == '/') return false;  // no value delivered
  std::size_t end = pos;
  while (end < text.size() && !ends_value(text[end]) && text[end] != '*') ++end;
  if (end == text.size() || text[end] != '*') return assign(target, text.substr(pos, end - pos));
  int filled = 0;  // a repeat count: the general reader
  return read_free(text, std::span<const FreeTarget>(&target, 1), &filled) == 0 && filled == 1;
}

namespace {
template <typename T>
int read_free_run(std::string_view text, std::span<T> values, int* filled) {
  std::array<FreeTarget, 16> few{};  // short runs (a calibration line, a thermal record) need no heap
  std::vector<FreeTarget> many;
  std::span<FreeTarget> targets(few.data(), values.size());
  if (values.size() > few.size()) {
    many.resize(values.size());
    targets = many;
  }
  for (std::size_t i = 0; i < values.size(); ++i) targets[i] = &values[i];
  return read_free(text, std::span<const FreeTarget>(targets), filled);
}
}  // namespace

int read_free(std::string_view text, std::span<float> values, int* filled) {
  return read_free_run(text, values, filled);
}

int read_free(std::string_view text, std::span<std::int32_t> values, int* filled) {
  return read_free_run(text, values, filled);
}

// ---- Fixed-width writing
// -----------------------------------------------------------------------------------

namespace {

// Adds one unit in the last place to the text of decimal digits and at most one point text[0, n)
// ("9.99" -> "10.00"); returns the new length (one more when a digit is carried out in front).
std::size_t increment_decimal(char* text, std::size_t n) {
  for (std::size_t i = n; i-- > 0;) {
    if (text[i] == '.') continue;
    if (text[i] != '9') {
      ++text[i];
      return n;
    }
    text[i] = '0';
  }
  std::memmove(text + 1, text, n);
  text[0] = '1';
  return n + 1;
}

// Room for any |value| in fixed notation with the few decimals the program writes.
constexpr std::size_t kNumberRoom = 512;

// |value| rounded to d decimals, ties away from zero, as "ddd.ddd" (at least one digit before the point)
// into text; returns its length.
std::size_t rounded_magnitude(double magnitude, int d, char* text) {
  if (d >= 0 && d <= 3 && magnitude < 0x1p52) {
    // Exactly, in integers: magnitude = m 2^-k with m < 2^53, so magnitude 10^d = m 10^d / 2^k with
    // m 10^d < 2^63. The quotient, plus one when the remainder is at least half (ties away from zero), is
    // the rounded value in units of 10^-d.
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>(bits >> 52);  // sign bit clear: magnitude is not negative
    const std::uint64_t m =
        (bits & ((std::uint64_t{1} << 52) - 1)) | (biased != 0 ? std::uint64_t{1} << 52 : 0);
    const int k = biased != 0 ? 1075 - biased : 1074;  // at least 1, as magnitude < 2^52
    constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000};
    const std::uint64_t scaled = m * kPowersOfTen[static_cast<std::size_t>(d)];
    std::uint64_t units = 0;
    if (k < 64) {
      const std::uint64_t half = std::uint64_t{1} << (k - 1);
      units = (scaled >> k) + ((scaled & ((half << 1) - 1)) >= half ? 1 : 0);
    }
    // Written from the right: d decimals, the point, and at least one digit before it.
    char digits[32];
    char* const end = digits + sizeof digits;
    char* p = end;
    for (int i = 0; i < d; ++i, units /= 10) *--p = static_cast<char>('0' + units % 10);
    if (d > 0) *--p = '.';
    do {
      *--p = static_cast<char>('0' + units % 10);
      units /= 10;
    } while (units != 0);
    const auto length = static_cast<std::size_t>(end - p);
    std::memcpy(text, p, length);
    return length;
  }
  char* const room_end = text + kNumberRoom - 1;  // one left for a carried digit
  // A tie at d decimals needs the exact binary value to end at the (d+1)-th decimal with a 5; such a value
  // times 2^(d+1) is a whole number, and then the (d+1)-decimal text is exact.
  const double scaled = std::ldexp(magnitude, d + 1);
  if (scaled < 0x1p60 && scaled == std::floor(scaled)) {
    const auto r = std::to_chars(text, room_end, magnitude, std::chars_format::fixed, d + 1);
    auto n = static_cast<std::size_t>(r.ptr - text);
    if (text[n - 1] == '5') {
      --n;
      if (d == 0) --n;  // drop the point
      return increment_decimal(text, n);
    }
  }
  const auto r = std::to_chars(text, room_end, magnitude, std::chars_format::fixed, d);
  return static_cast<std::size_t>(r.ptr - text);
}

}  // namespace

char* format_F_to(char* out, double value, int w, int d) {
  const auto width = static_cast<std::size_t>(w);
  if (!std::isfinite(value)) return std::fill_n(out, width, '*');
  char text[kNumberRoom + 1];
  std::size_t n = rounded_magnitude(std::fabs(value), d, text);
  if (d == 0) text[n++] = '.';
  bool all_zero = true;
  for (std::size_t i = 0; i < n && all_zero; ++i) all_zero = text[i] == '0' || text[i] == '.';
  const std::size_t sign = std::signbit(value) && !all_zero ? 1 : 0;
  const char* digits = text;
  if (sign + n > width && n >= 2 && text[0] == '0' && text[1] == '.') {
    ++digits;  // "0.5" written as ".5"
    --n;
    if (sign + n != width) return std::fill_n(out, width, '*');
  }
  if (sign + n > width) return std::fill_n(out, width, '*');
  out = std::fill_n(out, width - sign - n, ' ');
  if (sign != 0) *out++ = '-';
  return std::copy_n(digits, n, out);
}

std::string format_F(double value, int w, int d) {
  std::string out(static_cast<std::size_t>(w), ' ');
  format_F_to(out.data(), value, w, d);
  return out;
}

std::string format_trimmed(double value, int d) {
  if (!std::isfinite(value)) return {};
  constexpr int kWidth = 48;  // room for any magnitude the tools write
  std::string text = format_F(value, kWidth, d);
  text.erase(0, text.find_first_not_of(' '));
  if (d == 0 && !text.empty() && text.back() == '.') text.pop_back();
  return text;
}

char* format_I_to(char* out, std::int64_t value, int w, int m) {
  const auto width = static_cast<std::size_t>(w);
  char text[48];
  const std::uint64_t magnitude =
      value < 0 ? -static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::size_t n = static_cast<std::size_t>(std::to_chars(text, text + 24, magnitude).ptr - text);
  const std::size_t zeros = m > 0 && static_cast<std::size_t>(m) > n ? static_cast<std::size_t>(m) - n : 0;
  const std::size_t sign = value < 0 ? 1 : 0;
  if (sign + zeros + n > width) return std::fill_n(out, width, '*');
  out = std::fill_n(out, width - sign - zeros - n, ' ');
  if (sign != 0) *out++ = '-';
  out = std::fill_n(out, zeros, '0');
  return std::copy_n(text, n, out);
}

std::string format_I(std::int64_t value, int w, int m) {
  std::string out(static_cast<std::size_t>(w), ' ');
  format_I_to(out.data(), value, w, m);
  return out;
}

}  // namespace sfmr
