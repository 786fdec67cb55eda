// Raw record text: cutting a line into fields.
//
// A field is a maximal run of field characters: any character whose code, as an unsigned byte, is above 32
// and which is not a comma. Runs of separators (commas, blanks, tabs, other control characters) are passed
// over as a whole, so empty fields do not exist and fields are counted by their non-empty occurrences.
#pragma once

#include <string>
#include <string_view>

namespace sfmr {

// Takes the first field of `text` into `field` and what follows it (minus the one character that ended the
// field) into `rest`; both are 128-character blank-padded buffers. `rest` may be the same object as `text`.
// With no field left, `field` and `rest` are all blank.
void splitstring(const std::string& text, std::string& field, std::string& rest);

// Sets every character of `text` to a blank.
void clrch(std::string& text);

// Walks the fields of a raw line in the way every decoder does: the first call yields the tag, each further
// call the next field. Fields are views of the line (empty where splitstring gives an all-blank field), so
// walking a line allocates nothing; `line` must outlive the cursor.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view line) : rest_(line) {}

  // The next field, without blank padding; empty when the line has no more fields.
  std::string_view next();

  // What follows the last field taken, without blank padding.
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Character `pos` (0-based) of a field as splitstring's blank-padded buffer holds it: a blank beyond the
// field's end.
inline char field_char(std::string_view field, std::size_t pos) {
  return pos < field.size() ? field[pos] : ' ';
}

}  // namespace sfmr
