#include "setup/cal_file.hpp"

#include <cstdint>
#include <span>

#include "core/files.hpp"
#include "core/run_end.hpp"
#include "core/text.hpp"

namespace sfmr {

namespace {

RunEnd unexpected_eof() {
  return RunEnd(1, "Unexpected EOF in Cal file");
}

RunEnd bad_line(const std::string& line) {
  return RunEnd(1, "Bad line in Cal file: " + std::string(trimmed(line)));
}

bool is_block_header(std::string_view line) {
  return line.substr(0, 3) == "US-";
}

}  // namespace

void get_cals(Console& /*console*/, State& s, const std::string& calfile) {
  TextFile file;
  const int open_status = file.open(calfile);
  if (open_status != 0) {
    throw RunEnd(
        1, "Error on file open.  File:" + std::string(trimmed(calfile)) + " Err:" + format_I(open_status, 5));
  }

  read_cals(file.lines(), s);
  file.close();
}

void read_cals(const LineSource& next_line, State& s) {
  // Search: headers of other radiometers are passed over, every other line is ignored unread.
  std::string line(kLineLength, ' ');
  std::int32_t header = 0;
  while (header != s.sfmr.serial) {
    if (next_line(line) != 0) throw unexpected_eof();
    if (!is_block_header(line)) continue;
    if (!read_value(columns(line, 4, 6), &header)) throw bad_line(line);
  }

  // Six constant lines, one per channel; "#" lines between them are comments. At least one line is read per
  // channel, so the header itself is never taken as constants.
  for (auto& row : s.cal.coef) {
    do {
      if (next_line(line) != 0) throw unexpected_eof();
    } while (line[0] == '#');
    if (read_free(line, std::span<float>(row)) != 0) throw bad_line(line);
  }
}

}  // namespace sfmr
