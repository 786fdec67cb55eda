#include "core/console.hpp"

#include "core/run_end.hpp"

namespace sfmr {

void Console::line(std::string_view text) {
  out_ << text << kLineEnd;
  out_.flush();
}

void Console::prompt(std::string_view text) {
  out_ << text;
  out_.flush();
}

std::string Console::answer(std::size_t length) {
  std::string field;
  LineReader reader(in_, length);
  if (reader.read(field) != 0) {
    out_ << kLineEnd;
    throw RunEnd(1, "Unexpected EOF on console input");
  }
  return field;
}

std::string Console::ask(std::string_view text, std::size_t length) {
  prompt(text);
  return answer(length);
}

}  // namespace sfmr
