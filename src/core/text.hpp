// Text conventions shared by every file and by the console:
//   - fixed-length blank-padded text and its trimmed length,
//   - reading whole lines into fixed-length buffers,
//   - free-format reading of numbers,
//   - Fortran-style fixed-width writing of numbers (Fw.d, iw, iw.m),
//   - line ends (CR LF) of every line written.
// Every subsystem uses these; nothing else in the program parses a number from text or formats one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace sfmr {

// Length of a raw data line, a file name and a console answer.
constexpr std::size_t kLineLength = 128;

// Every line the program writes, to the console or to a file, ends with these two characters.
constexpr std::string_view kLineEnd = "\r\n";

// ---- Fixed-length text
// -------------------------------------------------------------------------------------

// Returns s cut or blank-padded to exactly n characters.
std::string fixed_text(std::string_view s, std::size_t n = kLineLength);

// Position (1-based) of the last non-blank character, 0 for an all-blank text. Only the space counts as
// blank; a tab is a character like any other.
std::size_t trimmed_length(std::string_view s);

// s without its trailing blanks.
std::string_view trimmed(std::string_view s);

// Characters first..last (1-based, inclusive) of s, as far as s reaches; empty when first > last.
std::string_view columns(std::string_view s, std::size_t first, std::size_t last);

// ---- Line reading
// ------------------------------------------------------------------------------------------

// Status of a read: 0 success, negative at the end of the input, positive on an error.
constexpr int kEndOfInput = -1;

// Reads lines from a stream into fixed-length buffers. A line ends at a line feed; a carriage return directly
// before the line feed is dropped; a shorter line is blank-padded and a longer one cut, the next read
// starting at the next line. A last line without a line feed is still delivered as a line.
class LineReader {
 public:
  explicit LineReader(std::istream& in, std::size_t length = kLineLength) : in_(&in), length_(length) {}

  // Reads the next line into `line` (always `length` characters on success). Returns the read status; on end
  // of input or error `line` is left unchanged.
  int read(std::string& line);

  // Length of the line last read as it stood in the input (line end excluded), before padding or cutting.
  std::size_t last_length() const { return raw_.size(); }

 private:
  std::istream* in_;
  std::size_t length_;
  std::string raw_;
};

// ---- Free-format reading of numbers
// ------------------------------------------------------------------------

// One variable of a free-format read: a 32-bit integer or a single-precision real.
using FreeTarget = std::variant<std::int32_t*, float*>;

// Status of a free-format read: 0 success, kEndOfInput when the text ended before every variable was read,
// kMalformed when a value does not fit the grammar of its variable's type (or does not fit its type).
constexpr int kMalformed = 1;

// Reads values from `text` into `targets`, in order, by the free-format rules:
//   - blanks and tabs before a value are skipped; a value ends at a comma, blank, tab, slash or the end of
//   the
//     text; blanks around a comma form one separator;
//   - an empty value (a comma at the start or directly after another comma) leaves its variable unchanged;
//   - a slash ends the read successfully, every variable not yet read keeps its value;
//   - r*v is r copies of v, r* is r empty values (r a whole number 1..2147483647);
//   - integer: optional sign and digits, in the 32-bit range;
//   - real: optional sign, digits with an optional decimal point (at least one digit), optional exponent
//     (E, D or Q in either case, optionally signed, or a bare sign, then digits); rounded once, correctly,
//     to single precision; a magnitude that rounds beyond the largest single-precision value is malformed.
// Variables read before an error or the end of the text keep their new values. `filled`, when given,
// receives the number of variables that received a value.
int read_free(std::string_view text, std::span<const FreeTarget> targets, int* filled = nullptr);
int read_free(std::string_view text, std::initializer_list<FreeTarget> targets, int* filled = nullptr);

// Reads exactly one value from `text`: true when the read succeeds and delivers a value. A read that
// delivers none (a lone slash, an empty value, an r* null, an empty text) is unreadable like a malformed
// one. `target` changes only when the result is true.
bool read_value(std::string_view text, FreeTarget target);

// Convenience forms for a run of variables of one type.
int read_free(std::string_view text, std::span<float> values, int* filled = nullptr);
int read_free(std::string_view text, std::span<std::int32_t> values, int* filled = nullptr);

// ---- Fixed-width writing
// -----------------------------------------------------------------------------------

// Fw.d: `value` rounded to d decimals (exact binary value, ties away from zero), right-justified in w
// characters. A minus sign only when a digit of the rounded value is non-zero. A text one character too long
// that begins with "0." (after the sign) drops that zero; any other text that does not fit, and NaN or an
// infinity, gives w asterisks.
std::string format_F(double value, int w, int d);

// format_F into out[0, w) without allocating; returns out + w.
char* format_F_to(char* out, double value, int w, int d);

// `value` rounded to d decimals as format_F rounds it, without padding ("-0.5", "12.25"); d = 0 gives a whole
// number without the decimal point ("10" for 9.5). Empty for NaN or an infinity: the text of a missing value
// in the companion tools' CSV and reports.
std::string format_trimmed(double value, int d);

// iw and iw.m: the integer right-justified in w characters with at least m digits (leading zeros), minus sign
// for negatives, w asterisks when it does not fit.
std::string format_I(std::int64_t value, int w, int m = 1);

// format_I into out[0, w) without allocating; returns out + w.
char* format_I_to(char* out, std::int64_t value, int w, int m = 1);

}  // namespace sfmr
