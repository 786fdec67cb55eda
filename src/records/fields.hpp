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
// call the next field.
class FieldCursor {
 public:
  explicit FieldCursor(const std::string& line) : rest_(line) {}

  // The next field (128 characters, blank-padded; all blank when the line has no more fields).
  const std::string& next() {
    splitstring(rest_, field_, rest_);
    return field_;
  }

  // What follows the last field taken.
  const std::string& rest() const { return rest_; }

 private:
  std::string rest_;
  std::string field_;
};

// FieldCursor's walk without copies, as the decoders use it: fields are views of the line without their
// blank padding (empty where FieldCursor gives an all-blank field), and so is the rest. `line` must outlive
// the walk.
class FieldViews {
 public:
  explicit FieldViews(std::string_view line) : rest_(line) {}

  // The next field; empty when the line has no more fields.
  std::string_view next();

  // What follows the last field taken.
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
