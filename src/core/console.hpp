// The operator's console: prompts and messages on one output stream, answers from one input stream.
// Tests construct it over string streams to script the answers and read the transcript.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "core/text.hpp"

namespace sfmr {

class Console {
 public:
  Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  // Writes `text` as a line of its own (ended with CR LF).
  void line(std::string_view text);

  // Writes `text` without a line end, so that the answer is typed on the same line.
  void prompt(std::string_view text);

  // Reads the operator's answer into a blank-padded field of `length` characters (a longer answer is cut).
  // The end of the input ends the run: a line end closes the prompt's line, then the line
  // "Unexpected EOF on console input", exit status 1.
  std::string answer(std::size_t length = kLineLength);

  // Shows `text` and reads the answer.
  std::string ask(std::string_view text, std::size_t length = kLineLength);

 private:
  std::istream& in_;
  std::ostream& out_;
};

}  // namespace sfmr
