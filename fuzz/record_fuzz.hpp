// The body of the record decoder targets: the input's first line, as the main loop hands it over (up to the
// line feed, without a carriage return before it, blank-padded or cut to 128 characters), goes to one decoder
// working on a fresh state; afterwards the output line of that state is exactly as wide as the output line of
// an untouched state.
#pragma once

#include <sstream>

#include "core/console.hpp"
#include "core/state.hpp"
#include "fuzz_util.hpp"
#include "output/writer.hpp"

namespace sfmr::fuzz {

template <typename Decode>
void decode_line(const std::uint8_t* data, std::size_t size, Decode decode) {
  static const std::size_t kWidth = Writer::data_line(State{}, 0.0f).size();
  std::string_view text = as_text(data, size);
  text = text.substr(0, text.find('\n'));
  if (text.ends_with('\r')) text.remove_suffix(1);
  static std::istringstream no_answers;
  static std::ostringstream transcript;
  transcript.str({});
  Console console(no_answers, transcript);
  State s;
  decode(s, console, fixed_text(text));
  check(Writer::data_line(s, 0.0f).size() == kWidth, "output line width after decoding");
}

}  // namespace sfmr::fuzz
