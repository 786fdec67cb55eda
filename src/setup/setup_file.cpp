#include "setup/setup_file.hpp"

#include <array>
#include <span>

#include "core/files.hpp"
#include "core/run_end.hpp"

namespace sfmr {

namespace {

constexpr std::string_view kSetupPrompt = "Enter SFMR setup filename: ";
constexpr std::string_view kRetryPrompt = "Try again (Y/N)? :";
constexpr std::string_view kManualPrompt = "Do you want to enter parameters manually (Y/N)? :";

bool is_yes(std::string_view answer) {
  return !answer.empty() && (answer[0] == 'Y' || answer[0] == 'y');
}

bool is_section_line(std::string_view line) {
  return !line.empty() && line[0] == '&';
}

// Parameter flag named by a section line's second character, upper or lower case; 0 for any other.
std::uint32_t section_flag(std::string_view line) {
  if (line.size() < 2) return 0;
  switch (line[1]) {
    case 'A':
    case 'a':
      return rcvd_bit::kRawFile;
    case 'B':
    case 'b':
      return rcvd_bit::kCalFile;
    case 'C':
    case 'c':
      return rcvd_bit::kSstFile;
    case 'D':
    case 'd':
      return rcvd_bit::kFreqs;
    case 'E':
    case 'e':
      return rcvd_bit::kDefaultSst;
    case 'F':
    case 'f':
      return rcvd_bit::kFilter;
    default:
      return 0;
  }
}

std::string& file_field(SetupParameters& p, std::uint32_t flag) {
  if (flag == rcvd_bit::kRawFile) return p.infile;
  if (flag == rcvd_bit::kCalFile) return p.calfile;
  return p.sstfile;
}

// Takes `text` as the file name of parameter `flag`; accepted when `check` gives 0 (by default when the file
// opens for reading). Returns the check's status.
int take_file_name(std::string_view text, SetupParameters& p, std::uint32_t flag,
                   const NameCheck& check = probe_readable) {
  std::string& field = file_field(p, flag);
  field = fixed_text(text);
  const int status = check(field);
  if (status == 0) p.rcvd &= ~flag;
  return status;
}

// Six frequencies from `text`: each must be read and be accepted (0.0, or within the channel band). Working
// values start at -1.0, so a value that the read does not reach (slash, empty value) fails the range test.
// cal.freq changes only when all six are accepted.
bool take_freqs(std::string_view text, State& s, SetupParameters& p) {
  std::array<float, kChannels> freq;
  freq.fill(-1.0f);
  if (read_free(text, std::span<float>(freq)) != 0) return false;
  for (const float f : freq) {
    if (!setup_limits::frequency_accepted(f)) return false;
  }
  s.cal.freq = freq;
  p.rcvd &= ~rcvd_bit::kFreqs;
  return true;
}

bool take_default_sst(std::string_view text, State& s, SetupParameters& p) {
  float& v = s.cal.default_sst;
  if (!read_value(text, &v) || !setup_limits::default_sst_accepted(v)) return false;
  p.rcvd &= ~rcvd_bit::kDefaultSst;
  return true;
}

bool take_filter(std::string_view text, State& s, SetupParameters& p) {
  float& v = s.cal.filter;
  if (!read_value(text, &v) || !setup_limits::filter_accepted(v)) return false;
  p.rcvd &= ~rcvd_bit::kFilter;
  return true;
}

// The manual question; anything but "Y"/"y" ends the run at the operator's choice.
void ask_manual_entry(Console& console) {
  if (!is_yes(console.ask(kManualPrompt))) throw RunEnd(0);
}

// One file-name prompt of manual entry; false (after the message) when the file does not open.
bool enter_file_name(Console& console, std::string_view prompt, SetupParameters& p, std::uint32_t flag) {
  const std::string answer = console.ask(prompt);
  if (is_quit_answer(answer)) throw RunEnd(0);
  if (take_file_name(answer, p, flag) == 0) return true;
  console.line("Error while opening file " + answer);
  return false;
}

bool enter_freqs(Console& console, State& s, SetupParameters& p) {
  // This prompt has no quit answer: a "q" is an unreadable frequency line.
  const std::string answer = console.ask("Enter six freqs in GHz (0.0 to disable): ");
  if (take_freqs(answer, s, p)) return true;
  console.line("Error while reading freqs.  Line was: " + std::string(trimmed(answer)));
  return false;
}

bool enter_default_sst(Console& console, State& s, SetupParameters& p) {
  const std::string answer = console.ask("Enter default SST value (pos for %A, neg for file): ");
  if (is_quit_answer(answer)) throw RunEnd(0);
  if (take_default_sst(answer, s, p)) return true;
  console.line("Error while entering Default SST: " + answer);
  return false;
}

bool enter_filter(Console& console, State& s, SetupParameters& p) {
  const std::string answer = console.ask("Enter Filter value (pos for Least Sq, neg for Outlier): ");
  if (is_quit_answer(answer)) throw RunEnd(0);
  if (take_filter(answer, s, p)) return true;
  console.line("Error while entering Outlier Filter: " + answer);
  return false;
}

}  // namespace

bool is_quit_answer(std::string_view answer) {
  return trimmed(answer) == "q" || trimmed(answer) == "Q";
}

int read_setup_sections(const LineSource& next_line, State& s, SetupParameters& p, const NameCheck& check) {
  std::string line(kLineLength, ' ');
  bool pending_section = false;  // `line` holds a section line found while looking for a value line
  while (p.rcvd != 0) {
    if (!pending_section) {
      // Everything up to the next section line is passed over.
      for (;;) {
        const int status = next_line(line);
        if (status != 0) return status > 0 ? status : 0;
        if (is_section_line(line)) break;
      }
    }
    pending_section = false;
    const std::uint32_t flag = section_flag(line);
    if (flag == 0) continue;  // unrecognised section: its lines are skipped

    // The value line: the first line after the section line that is not a "#" comment.
    do {
      const int status = next_line(line);
      if (status != 0) return status > 0 ? status : 0;
    } while (!line.empty() && line[0] == '#');
    if (is_section_line(line)) {
      pending_section = true;  // the section had no value
      continue;
    }

    switch (flag) {
      case rcvd_bit::kRawFile:
      case rcvd_bit::kCalFile:
      case rcvd_bit::kSstFile:
        // A name that does not open ends the reading; the rest is asked for on the console.
        if (take_file_name(line, p, flag, check) != 0) return 0;
        break;
      case rcvd_bit::kFreqs:
        take_freqs(line, s, p);
        break;
      case rcvd_bit::kDefaultSst:
        take_default_sst(line, s, p);
        break;
      default:
        take_filter(line, s, p);
        break;
    }
  }
  return 0;
}

void enter_parameters(Console& console, State& s, SetupParameters& p) {
  // Any rejected answer starts again from the first parameter still missing.
  while (p.rcvd != 0) {
    if ((p.rcvd & rcvd_bit::kRawFile) &&
        !enter_file_name(console, "Enter raw data file name: ", p, rcvd_bit::kRawFile)) {
      continue;
    }
    if ((p.rcvd & rcvd_bit::kCalFile) &&
        !enter_file_name(console, "Enter cal file name: ", p, rcvd_bit::kCalFile)) {
      continue;
    }
    if ((p.rcvd & rcvd_bit::kSstFile) &&
        !enter_file_name(console, "Enter SST file name: ", p, rcvd_bit::kSstFile)) {
      continue;
    }
    if ((p.rcvd & rcvd_bit::kFreqs) && !enter_freqs(console, s, p)) continue;
    if ((p.rcvd & rcvd_bit::kDefaultSst) && !enter_default_sst(console, s, p)) continue;
    if ((p.rcvd & rcvd_bit::kFilter) && !enter_filter(console, s, p)) continue;
  }
}

void get_setupfile(Console& console, State& s, std::string& infile, std::string& calfile,
                   std::string& sstfile) {
  SetupParameters p;
  for (;;) {
    const std::string name = console.ask(kSetupPrompt);
    if (is_quit_answer(name)) throw RunEnd(0);
    TextFile setup;
    const int status = setup.open(name);
    if (status == 0) {
      const int read_status =
          read_setup_sections([&setup](std::string& line) { return setup.read(line); }, s, p);
      setup.close();
      if (read_status > 0) {
        console.line("Error on file read. Err:" + format_I(read_status, 5));
        ask_manual_entry(console);
      }
      break;
    }
    console.line("Error on file open.  File:" + std::string(trimmed(name)) + " Err:" + format_I(status, 5));
    if (is_yes(console.ask(kRetryPrompt))) continue;
    ask_manual_entry(console);
    break;
  }
  enter_parameters(console, s, p);
  infile = p.infile;
  calfile = p.calfile;
  sstfile = p.sstfile;
  clear_common(s);
  s.acft.TAmb = 999.0f;
}

}  // namespace sfmr
