// Free-format reading of any text into a mix of integers and reals (the first byte chooses the type of each
// of eight variables): a valid status and never more values than asked. Then the round trip: a real and an
// integer taken from the input, written by the fixed-width writer and read back, give the number printed
// (the real correctly rounded to single precision, as an independent decimal conversion gives it).
// fuzz-max-len: 256 (longest input of a campaign: one line; fuzz/CMakeLists.txt reads it)
#include <array>
#include <charconv>
#include <cstring>

#include "fuzz_util.hpp"

using namespace sfmr;

namespace {

void check_real_round_trip(double value, int w, int d) {
  const std::string printed = format_F(value, w, d);
  // Asterisks, or the bare "." that a zero leaves in a one-character field without decimals, hold no number.
  if (printed.find_first_of("0123456789") == std::string::npos) return;
  const std::string_view number = std::string_view(printed).substr(printed.find_first_not_of(' '));
  float expected = 0.0f;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), expected);
  fuzz::check(end == number.data() + number.size(), "written real is a decimal number", printed);
  float got = -1.0f;
  const bool read = read_value(printed, &got);
  if (error == std::errc::result_out_of_range) {
    fuzz::check(!read, "a real beyond single precision is unreadable", printed);
    return;
  }
  fuzz::check(read && std::memcmp(&got, &expected, sizeof got) == 0, "written real reads back", printed);
}

void check_integer_round_trip(std::int32_t value) {
  const std::string printed = format_I(value, 11);
  std::int32_t got = value == 0 ? 1 : 0;
  fuzz::check(read_value(printed, &got) && got == value, "written integer reads back", printed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text = fuzz::as_text(data + 1, size - 1);
  std::array<std::int32_t, 8> ints{};
  std::array<float, 8> reals{};
  std::array<FreeTarget, 8> targets;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    targets[i] = (data[0] >> i) & 1 ? FreeTarget(&reals[i]) : FreeTarget(&ints[i]);
  }
  int filled = -1;
  const int status = read_free(text, targets, &filled);
  fuzz::check(status == 0 || status == kEndOfInput || status == kMalformed, "read status is valid");
  fuzz::check(filled >= 0 && filled <= 8, "filled count within the variables");

  if (size >= 1 + sizeof(double) + 2) {
    double value = 0.0;
    std::memcpy(&value, data + 1, sizeof value);
    const int w = 1 + data[1 + sizeof value] % 40;
    const int d = data[2 + sizeof value] % w;
    check_real_round_trip(value, w, d);
    std::int32_t integer = 0;
    std::memcpy(&integer, data + 1, sizeof integer);
    check_integer_round_trip(integer);
  }
  return 0;
}
