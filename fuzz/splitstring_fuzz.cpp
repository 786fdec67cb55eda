// Field splitting of any 128-character line: the fields taken one after another are exactly the maximal runs
// of field characters (unsigned code above 32, not a comma) of the line, each in a 128-character buffer.
// fuzz-max-len: 256 (longest input of a campaign: one line; fuzz/CMakeLists.txt reads it)
#include "fuzz_util.hpp"
#include "records/fields.hpp"

using namespace sfmr;

namespace {

bool is_field_char(char c) {
  return static_cast<unsigned char>(c) > 32 && c != ',';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line = fixed_text(fuzz::as_text(data, size));
  std::string expected;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (!is_field_char(line[i])) continue;
    if (!expected.empty() && (i == 0 || !is_field_char(line[i - 1]))) expected += '|';
    expected += line[i];
  }
  std::string got;
  FieldCursor fields(line);
  for (int n = 0; n <= 65; ++n) {
    const std::string& field = fields.next();
    fuzz::check(field.size() == kLineLength && fields.rest().size() == kLineLength, "buffers of 128", field);
    const std::string_view taken = trimmed(field);
    if (taken.empty()) break;
    for (char c : taken) fuzz::check(is_field_char(c), "a field holds field characters only", field);
    if (!got.empty()) got += '|';
    got += taken;
  }
  fuzz::check(got == expected, "fields are the runs of field characters", got);
  return 0;
}
