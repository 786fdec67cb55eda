#include "out_file/flight_facts.hpp"

#include <cstring>

#include "core/calendar.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "records/aircraft.hpp"
#include "setup/raw_file.hpp"
#include "setup/setup_file.hpp"

namespace sfmr::archive {

namespace {

constexpr std::int32_t kSerialMin = 1;
constexpr std::int32_t kSerialMax = 255;

std::string open_failure(const std::string& path, int status) {
  return path + ": cannot open (" + std::strerror(status) + ")";
}

std::string read_failure(const std::string& path, int status) {
  return path + ": read error (" + std::strerror(status) + ")";
}

}  // namespace

CalendarDate date_of_day(std::int32_t day) {
  CalendarDate d;
  civil_from_days(days_from_civil(2000, 1, 1) + (day - 1), d.year, d.month, d.day);
  return d;
}

std::string iso_date(const CalendarDate& date) {
  return format_I(date.year, 4, 4) + "-" + format_I(date.month, 2, 2) + "-" + format_I(date.day, 2, 2);
}

std::int32_t day_of_iso_date(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return -1;
  for (std::size_t n : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[n] < '0' || text[n] > '9') return -1;
  // decodedate reads DD?MM?YYYY.
  std::string dmy = std::string(text.substr(8, 2)) + "/" + std::string(text.substr(5, 2)) + "/" +
                    std::string(text.substr(0, 4));
  std::int32_t day = -1;
  decodedate(fixed_text(dmy), day);
  if (day < 0) return -1;
  // decodedate does not compare the day with its month's length: a date that comes back different from
  // the day number does not exist (31 April).
  const CalendarDate d = date_of_day(day);
  return iso_date(d) == text ? day : -1;
}

std::string read_raw_facts(const std::string& path, RawFacts& facts) {
  facts = RawFacts{};
  TextFile raw;
  if (const int status = raw.open(path); status != 0) return open_failure(path, status);
  std::string line(kLineLength, ' ');
  bool serial_seen = false;
  int status = 0;
  while ((facts.day < 0 || !serial_seen) && (status = raw.read(line)) == 0) {
    if (!serial_seen && is_serial_record(line)) {
      serial_seen = true;
      const std::int32_t serial = serial_from_record(line);
      if (serial >= kSerialMin && serial <= kSerialMax) facts.serial = serial;
    } else if (facts.day < 0 && line.compare(0, 2, "%A") == 0) {
      State s;
      s.time.day = -1;
      decodeacft(s, line);
      if (s.time.day > 0) facts.day = s.time.day;
    }
  }
  if (status > 0) return read_failure(path, status);
  return {};
}

std::string read_setup_facts(const std::string& path, SetupFacts& facts) {
  facts = SetupFacts{};
  TextFile file;
  if (const int status = file.open(path); status != 0) return open_failure(path, status);
  State s;
  SetupParameters p;
  const int status = read_setup_sections([&file](std::string& line) { return file.read(line); }, s, p,
                                         [](std::string_view) { return 0; });
  if (status > 0) return read_failure(path, status);
  auto known = [&p](std::uint32_t flag) { return (p.rcvd & flag) == 0; };
  // A setup file named on purpose that holds none of the sections is not the file meant.
  const bool any = known(rcvd_bit::kRawFile) || known(rcvd_bit::kCalFile) || known(rcvd_bit::kSstFile) ||
                   known(rcvd_bit::kFreqs) || known(rcvd_bit::kDefaultSst) || known(rcvd_bit::kFilter);
  if (!any) return path + ": no setup section (&A to &F)";
  if (known(rcvd_bit::kRawFile)) facts.raw_file = std::string(trimmed(p.infile));
  if (known(rcvd_bit::kCalFile)) facts.cal_file = std::string(trimmed(p.calfile));
  if (known(rcvd_bit::kSstFile)) facts.sst_file = std::string(trimmed(p.sstfile));
  facts.have_freq = known(rcvd_bit::kFreqs);
  facts.have_default_sst = known(rcvd_bit::kDefaultSst);
  facts.have_filter = known(rcvd_bit::kFilter);
  facts.freq = s.cal.freq;
  facts.default_sst = s.cal.default_sst;
  facts.filter = s.cal.filter;
  return {};
}

}  // namespace sfmr::archive
