#include "setup/raw_file.hpp"

#include "core/run_end.hpp"
#include "core/text.hpp"

namespace sfmr {

namespace {

constexpr std::int32_t kSerialMin = 1;
constexpr std::int32_t kSerialMax = 255;

}  // namespace

bool is_serial_record(std::string_view line) {
  return line.substr(0, 2) == "%P";
}

std::int32_t serial_from_record(const std::string& line) {
  std::int32_t first = 0;
  std::int32_t serial = 0;
  if (read_free(columns(line, 3, trimmed_length(line)), {&first, &serial}) != 0) return 0;
  return serial;
}

void get_infile(Console& console, State& s, const std::string& infile, TextFile& rawfile) {
  const int open_status = rawfile.open(infile);
  if (open_status != 0) {
    throw RunEnd(
        1, "Error on file open.  File:" + std::string(trimmed(infile)) + " Err:" + format_I(open_status, 5));
  }

  // Only the first "%P" record counts; the end of the file or a failed read ends the search.
  std::string line(kLineLength, ' ');
  bool found = false;
  while (rawfile.read(line) == 0) {
    if (is_serial_record(line)) {
      found = true;
      break;
    }
  }

  std::int32_t serial = 0;
  if (!found) {
    const std::string answer = console.ask("No %P record found - Continue (y/n)? ", kSerialAnswerLength);
    if (answer[0] != 'y' && answer[0] != 'Y') throw RunEnd(0);
  } else {
    serial = serial_from_record(line);
    console.line("S/N:" + format_I(serial, 3));
  }

  while (serial < kSerialMin || serial > kSerialMax) {
    const std::string answer =
        console.ask("Enter a valid Radiometer S/N (1-255, q to quit): ", kSerialAnswerLength);
    if (answer[0] == 'q' || answer[0] == 'Q') throw RunEnd(0);
    // An answer without a whole number leaves the serial number as it was.
    std::int32_t entered = serial;
    if (read_free(answer, {&entered}) == 0) serial = entered;
  }
  s.sfmr.serial = serial;

  rawfile.rewind();
}

}  // namespace sfmr
