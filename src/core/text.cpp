#include "core/text.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
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

// Real value by the free-format grammar, rounded once to single precision.
bool parse_real(std::string_view v, float& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  std::string digits;  // significant text handed to the converter: "ddd.ddd"
  std::size_t ndigits = 0;
  std::int64_t int_digits = 0;  // digits before the point, leading zeros excluded
  bool seen_nonzero = false;
  std::int64_t leading_frac_zeros = 0;  // zeros right after the point before the first non-zero digit
  for (; i < v.size() && is_digit(v[i]); ++i, ++ndigits) {
    digits += v[i];
    if (v[i] != '0') seen_nonzero = true;
    if (seen_nonzero) ++int_digits;
  }
  if (i < v.size() && v[i] == '.') {
    digits += '.';
    for (++i; i < v.size() && is_digit(v[i]); ++i, ++ndigits) {
      digits += v[i];
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
  std::string text = digits + 'e' + std::to_string(exponent);
  float value = 0.0f;
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Out of range either way: decide by the decimal magnitude of the first significant digit.
    const std::int64_t magnitude =
        int_digits > 0 ? int_digits - 1 + exponent : -(leading_frac_zeros + 1) + exponent;
    if (magnitude > 0) return false;  // rounds beyond the largest single-precision value
    value = 0.0f;                     // rounds to zero
  } else if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
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
  int filled = 0;
  return read_free(text, std::span<const FreeTarget>(&target, 1), &filled) == 0 && filled == 1;
}

namespace {
template <typename T>
int read_free_run(std::string_view text, std::span<T> values, int* filled) {
  std::vector<FreeTarget> targets;
  targets.reserve(values.size());
  for (T& v : values) targets.emplace_back(&v);
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

// Adds one unit in the last place to a text of decimal digits and at most one point ("9.99" -> "10.00").
void increment_decimal(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] == '.') continue;
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// |value| rounded to d decimals, ties away from zero, as "ddd.ddd" (at least one digit before the point).
std::string rounded_magnitude(double magnitude, int d) {
  char buf[512];
  // A tie at d decimals needs the exact binary value to end at the (d+1)-th decimal with a 5; such a value
  // times 2^(d+1) is a whole number, and then the (d+1)-decimal text is exact.
  const double scaled = std::ldexp(magnitude, d + 1);
  if (scaled < 0x1p60 && scaled == std::floor(scaled)) {
    auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, d + 1);
    std::string exact(buf, r.ptr);
    if (exact.back() == '5') {
      exact.pop_back();
      if (d == 0) exact.pop_back();  // drop the point
      increment_decimal(exact);
      return exact;
    }
  }
  auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, d);
  return std::string(buf, r.ptr);
}

}  // namespace

std::string format_F(double value, int w, int d) {
  const std::string stars(static_cast<std::size_t>(w), '*');
  if (!std::isfinite(value)) return stars;
  std::string text = rounded_magnitude(std::fabs(value), d);
  if (d == 0) text += '.';
  const bool all_zero = text.find_first_not_of("0.") == std::string::npos;
  const bool negative = std::signbit(value) && !all_zero;
  const std::string sign = negative ? "-" : "";
  std::string out = sign + text;
  if (out.size() > static_cast<std::size_t>(w) && text.size() >= 2 && text[0] == '0' && text[1] == '.') {
    out = sign + text.substr(1);
    if (out.size() != static_cast<std::size_t>(w)) return stars;
  }
  if (out.size() > static_cast<std::size_t>(w)) return stars;
  return std::string(static_cast<std::size_t>(w) - out.size(), ' ') + out;
}

std::string format_I(std::int64_t value, int w, int m) {
  std::string digits =
      std::to_string(value < 0 ? -static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
  if (static_cast<int>(digits.size()) < m) digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
  if (value < 0) digits.insert(digits.begin(), '-');
  if (static_cast<int>(digits.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - digits.size(), ' ') + digits;
}

}  // namespace sfmr
