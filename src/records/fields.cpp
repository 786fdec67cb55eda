#include "records/fields.hpp"

#include <algorithm>

#include "core/text.hpp"

namespace sfmr {

namespace {
bool is_field_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 32 && c != ',';
}
}  // namespace

void splitstring(const std::string& text, std::string& field, std::string& rest) {
  const std::size_t n = text.size();
  std::size_t first = 0;  // 0-based index of the field's first character
  while (first < n && !is_field_char(text[first])) ++first;
  if (first == n) {
    field.assign(kLineLength, ' ');
    rest.assign(kLineLength, ' ');
    return;
  }
  std::size_t end = first;  // one past the field's last character
  while (end < n && is_field_char(text[end])) ++end;
  // Exactly one character after the field (the one that ended it) is dropped.
  std::string new_rest =
      end + 1 < n ? fixed_text(std::string_view(text).substr(end + 1)) : std::string(kLineLength, ' ');
  field = fixed_text(std::string_view(text).substr(first, end - first));
  rest = std::move(new_rest);
}

std::string_view FieldViews::next() {
  const std::size_t n = rest_.size();
  std::size_t first = 0;
  while (first < n && !is_field_char(rest_[first])) ++first;
  if (first == n) {
    rest_ = {};
    return {};
  }
  std::size_t end = first;
  while (end < n && is_field_char(rest_[end])) ++end;
  // Both as far as a 128-character buffer holds them. Exactly one character after the field (the one that
  // ended it) is dropped.
  const std::string_view field = rest_.substr(first, std::min(end - first, kLineLength));
  rest_ = end + 1 < n ? rest_.substr(end + 1, kLineLength) : std::string_view();
  return field;
}

void clrch(std::string& text) {
  text.assign(text.size(), ' ');
}

}  // namespace sfmr
