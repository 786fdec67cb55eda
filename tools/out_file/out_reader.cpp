#include "out_file/out_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "core/constants.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "records/aircraft.hpp"

namespace sfmr::flight {

namespace {

constexpr float kMissing = std::numeric_limits<float>::quiet_NaN();

// 'text' in quotes, for messages.
std::string quoted(std::string_view text) {
  std::string q(1, '\'');
  q.append(text);
  q += '\'';
  return q;
}

bool all_asterisks(std::string_view field) {
  return std::all_of(field.begin(), field.end(), [](char c) { return c == '*'; });
}

// A right-justified field: blanks, then a value without blanks.
bool right_justified(std::string_view field) {
  const std::size_t first = field.find_first_not_of(' ');
  return first != std::string_view::npos && field.find(' ', first) == std::string_view::npos;
}

// Walks the columns of a data line in the order of the column table: each call takes the next column, of
// the table's width, checking the comma before it.
class ColumnCursor {
 public:
  explicit ColumnCursor(std::string_view line) : line_(line) {}

  // The next column's text; empty (with `error` set) when the line does not have it, or when the column is
  // not of the form the caller reads (the reader and the table disagree: a fault of the program).
  std::string_view take(ColumnForm form) {
    if (!error.empty()) return {};
    current_ = next_;
    if (current_ >= kOutColumns.size() || column().form != form) {
      error = "the reader does not follow the column table at column " + std::to_string(current_ + 1);
      return {};
    }
    if (current_ > 0) {
      if (pos_ >= line_.size() || line_[pos_] != ',') {
        fail(pos_ >= line_.size() ? "the line ends before the column" : "no comma before the column");
        return {};
      }
      ++pos_;
    }
    const auto width = static_cast<std::size_t>(column().width);
    if (pos_ + width > line_.size()) {
      fail("the line ends inside the column");
      return {};
    }
    const std::string_view field = line_.substr(pos_, width);
    pos_ += width;
    ++next_;
    return field;
  }

  // Fw.d column: a number with its point d places from the right, or asterisks (missing).
  void real(float& value) {
    const std::string_view field = take(ColumnForm::Fixed);
    if (!error.empty()) return;
    if (all_asterisks(field)) {
      value = kMissing;
      return;
    }
    const auto decimals = static_cast<std::size_t>(column().decimals);
    if (field[field.size() - decimals - 1] != '.' || !right_justified(field) || !read_value(field, &value))
      fail(quoted(field) + " is not a number with " + std::to_string(decimals) + " decimals");
  }

  // iw column: a whole number, or asterisks (missing).
  void integer(float& value) {
    const std::string_view field = take(ColumnForm::Integer);
    if (!error.empty()) return;
    if (all_asterisks(field)) {
      value = kMissing;
      return;
    }
    std::int32_t v = 0;
    if (!right_justified(field) || !read_value(field, &v)) {
      fail(quoted(field) + " is not a whole number");
      return;
    }
    value = static_cast<float>(v);
  }

  // Records the first fault, naming the column taken last; an empty `what` is no fault.
  void fail(const std::string& what) {
    if (error.empty() && !what.empty()) error = "column " + std::string(column().name) + ": " + what;
  }

  // The whole line has been taken, every column of the table included.
  bool at_end() const { return pos_ == line_.size() && next_ == kOutColumns.size(); }

  std::string error;

 private:
  const OutColumn& column() const { return kOutColumns[current_]; }

  std::string_view line_;
  std::size_t pos_ = 0;
  std::size_t next_ = 0;     // column about to be taken, 0-based
  std::size_t current_ = 0;  // column taken last (or being taken)
};

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// "F" (or the onboard's "*") then, for each channel k, the digit k or '-'; `removed[k]` is true for '-'.
bool channel_list(std::string_view t, std::array<bool, kChannels>& removed) {
  if (t.size() != 1 + kChannels) return false;
  for (int k = 0; k < kChannels; ++k) {
    const char c = t[static_cast<std::size_t>(k) + 1];
    if (c != '-' && c != static_cast<char>('0' + k)) return false;
    removed[static_cast<std::size_t>(k)] = c == '-';
  }
  return true;
}

}  // namespace

std::string classify_retrieval(std::string_view text, RetrievalStatus& status) {
  if (text.size() != kStatusWidth) return "status text of " + std::to_string(text.size()) + " characters";
  status.text = std::string(text);
  status.channel_used.fill(false);
  const std::string_view t = trimmed(text);
  for (std::size_t n = 0; n < kNoRetrievalTexts.size(); ++n) {
    if (t == kNoRetrievalTexts[n]) {
      status.kind =
          static_cast<RetrievalKind>(static_cast<int>(RetrievalKind::BigRoll) + static_cast<int>(n));
      return {};
    }
  }
  if (t == kCalmText) {
    status.kind = RetrievalKind::Calm;
    return {};
  }
  std::array<bool, kChannels> removed{};
  if (!t.empty() && t[0] == 'F' && channel_list(t, removed)) {
    status.kind = RetrievalKind::ChannelList;
    for (int k = 0; k < kChannels; ++k)
      status.channel_used[static_cast<std::size_t>(k)] = !removed[static_cast<std::size_t>(k)];
    return {};
  }
  return quoted(text) + " is not a retrieval status text";
}

std::string classify_onboard(std::string_view text, OnboardStatus& status) {
  if (text.size() != kStatusWidth) return "status text of " + std::to_string(text.size()) + " characters";
  status.text = std::string(text);
  status.channel_flagged.fill(false);
  status.marker = text[0] == '*';
  const std::string_view label = trimmed(text.substr(1));
  if (text[0] == ' ' || text[0] == '*') {
    for (std::size_t n = 0; n < kOnboardLabels.size(); ++n) {
      if (label == kOnboardLabels[n]) {
        status.kind = static_cast<OnboardKind>(static_cast<int>(OnboardKind::NoData) + static_cast<int>(n));
        return {};
      }
    }
  }
  if ((text[0] == 'F' || text[0] == '*') && channel_list(trimmed(text), status.channel_flagged)) {
    status.kind = OnboardKind::ChannelList;
    return {};
  }
  return quoted(text) + " is not an onboard status text";
}

std::string parse_out_line(std::string_view line, OutSecond& s) {
  ColumnCursor c(line);
  const std::string_view clock = c.take(ColumnForm::Clock);
  if (!c.error.empty()) return c.error;
  bool digits = clock[2] == ':' && clock[5] == ':';
  for (std::size_t n : {0, 1, 3, 4, 6, 7}) digits = digits && is_digit(clock[n]);
  std::int32_t sec = -1;
  if (digits) decodetime(std::string(clock), sec);
  if (sec < 0) {
    c.fail(quoted(clock) + " is not a time of day HH:MM:SS");
    return c.error;
  }
  s.clock = sec;
  c.real(s.Lat);
  c.real(s.Lon);
  c.integer(s.RAlt);
  for (float* v : {&s.TAmb, &s.AcftWS, &s.Roll, &s.Pitch, &s.SST}) c.real(*v);
  for (float& v : s.Tb) c.real(v);
  for (float& v : s.Th) c.real(v);
  for (float* v : {&s.SFWS, &s.SFRR, &s.SFQF}) c.real(*v);
  const std::string_view err = c.take(ColumnForm::Status);
  if (c.error.empty()) c.fail(classify_retrieval(err, s.Err));
  for (float* v : {&s.PSWS, &s.PSRR, &s.PSQF}) c.real(*v);
  const std::string_view pserr = c.take(ColumnForm::Status);
  if (c.error.empty()) c.fail(classify_onboard(pserr, s.PSErr));
  if (c.error.empty() && !c.at_end()) return "text after the last column";
  return c.error;
}

std::string read_out(std::istream& in, std::string_view name, std::vector<OutSecond>& seconds) {
  const std::string file(name);
  auto at = [&file](long lineno) { return file + " line " + std::to_string(lineno) + ": "; };
  auto read_failure = [&file](int status) { return file + ": read error (" + std::strerror(status) + ")"; };

  LineReader reader(in, kOutLineWidth);
  std::string line;
  int status = reader.read(line);
  if (status > 0) return read_failure(status);
  if (status < 0) return file + ": empty file, no header line";
  const std::string_view header = kOutHeader;
  if (reader.last_length() != header.size() || trimmed(line) != header)
    return at(1) + "not the header line of an sfmrbatch output file";

  long lineno = 1;
  std::string fault;
  while ((status = reader.read(line)) == 0) {
    ++lineno;
    if (reader.last_length() != kOutLineWidth) {
      fault = at(lineno) + "line of " + std::to_string(reader.last_length()) + " characters, not " +
              std::to_string(kOutLineWidth);
      break;
    }
    OutSecond s;
    if (const std::string what = parse_out_line(line, s); !what.empty()) {
      fault = at(lineno) + what;
      break;
    }
    seconds.push_back(std::move(s));
  }
  repair_clock(seconds);
  if (!fault.empty()) return fault;
  if (status > 0) return read_failure(status);
  return {};
}

std::string read_out_file(const std::string& path, std::vector<OutSecond>& seconds) {
  const int status = probe_readable(path);
  if (status != 0) return path + ": cannot open (" + std::strerror(status) + ")";
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot open";
  // One second a line of kOutLineWidth characters and its line end: room for all of them at once, so that
  // the seconds are not moved and their pages not touched again as the vector grows.
  std::error_code ec;
  if (const auto bytes = std::filesystem::file_size(path, ec); !ec)
    seconds.reserve(seconds.size() + bytes / (kOutLineWidth + 1) + 1);
  return read_out(in, path, seconds);
}

}  // namespace sfmr::flight
