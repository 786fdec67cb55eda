#include "recon/message_text.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <stdexcept>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"

namespace sfmr::recon {

namespace {

bool is_upper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// "$$", ";", "NNNN": the end of a message's body.
bool is_end_marker(std::string_view line) {
  const auto w = words(line);
  return w.size() == 1 && (w[0] == "$$" || w[0] == ";" || w[0] == "NNNN");
}

// An AWIPS identifier alone on its line: four to nine capitals and digits, beginning with a capital.
bool is_awips_id(std::string_view line) {
  const auto w = words(line);
  if (w.size() != 1 || w[0].size() < 4 || w[0].size() > 9 || !is_upper(w[0][0])) return false;
  for (char c : w[0]) {
    if (!is_upper(c) && !is_digit(c)) return false;
  }
  return true;
}

// A line that starts a message without a heading: an HDOB mission line or a vortex data message title.
bool starts_headless(std::string_view line) {
  const auto w = words(line);
  if (w.size() >= 3 && w[0] == "VORTEX" && w[1] == "DATA" && w[2] == "MESSAGE") return true;
  return w.size() >= 5 && w[w.size() - 3] == "HDOB" && w.back().size() == 8 && digits_value(w.back());
}

}  // namespace

std::string read_message_file(const std::filesystem::path& path) {
  std::ifstream in = tool::open_input(path);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) tool::fail(path.string() + ": read error");
  return text;
}

std::vector<TextLine> split_lines(std::string_view text) {
  std::vector<TextLine> lines;
  int number = 0;
  for (std::string_view line : tool::lines_of(text)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.remove_suffix(1);
    lines.push_back({line, ++number});
  }
  return lines;
}

bool is_wmo_heading(std::string_view line) {
  const auto w = words(line);
  if (w.size() < 3 || w.size() > 4 || w[0].size() != 6 || w[1].size() != 4 || w[2].size() != 6) return false;
  for (int i = 0; i < 4; ++i) {
    if (!is_upper(w[0][i]) || !is_upper(w[1][i])) return false;
  }
  return is_digit(w[0][4]) && is_digit(w[0][5]) && digits_value(w[2]).has_value();
}

std::vector<Message> split_messages(std::string_view text) {
  std::vector<Message> messages;
  bool open = false;        // inside a message's body
  bool after_head = false;  // no body line yet since the heading
  for (const TextLine& line : split_lines(text)) {
    if (is_wmo_heading(line.text)) {
      messages.push_back({std::string(line.text), line.number, {}});
      open = after_head = true;
      continue;
    }
    if (line.text.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (is_end_marker(line.text)) {
      open = false;
      continue;
    }
    if (open && after_head && is_awips_id(line.text)) continue;
    if (starts_headless(line.text) && !(open && after_head)) {
      messages.push_back({std::string(), line.number, {}});
      open = true;
    }
    after_head = false;
    if (open) messages.back().body.push_back(line);
  }
  return messages;
}

MessageKind kind_of(const Message& m) {
  if (m.heading.size() >= 6) {
    const std::string_view t = std::string_view(m.heading).substr(0, 6);
    if (t == "URNT15" || t == "URPN15") return MessageKind::kHdob;
    if (t == "URNT12" || t == "URPN12") return MessageKind::kVortex;
    if (!m.body.empty() && starts_headless(m.body.front().text)) {
      return words(m.body.front().text)[0] == "VORTEX" ? MessageKind::kVortex : MessageKind::kHdob;
    }
    return MessageKind::kOther;
  }
  if (m.body.empty()) return MessageKind::kOther;
  return words(m.body.front().text)[0] == "VORTEX" ? MessageKind::kVortex : MessageKind::kHdob;
}

ReconFile recon_file_kind(std::string_view text) {
  for (const Message& m : split_messages(text)) {
    const MessageKind k = kind_of(m);
    if (k == MessageKind::kHdob) return ReconFile::kHdob;
    if (k == MessageKind::kVortex) return ReconFile::kVortex;
  }
  return ReconFile::kNone;
}

ReconFile require_recon_file(std::string_view text, std::string_view file) {
  const ReconFile k = recon_file_kind(text);
  if (k == ReconFile::kNone)
    throw std::runtime_error(std::string(file) + ": not an HDOB archive or a file of vortex data messages");
  return k;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::optional<int> digits_value(std::string_view s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (!is_digit(c)) return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::optional<double> decimal_value(std::string_view s) {
  double sign = 1.0;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    sign = s[0] == '-' ? -1.0 : 1.0;
    s.remove_prefix(1);
  }
  const std::size_t point = s.find('.');
  const std::string_view whole = s.substr(0, point);
  const std::string_view frac = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
  if (whole.size() + frac.size() == 0 || whole.size() + frac.size() > 15) return std::nullopt;
  std::int64_t v = 0;
  for (std::string_view part : {whole, frac}) {
    for (char c : part) {
      if (!is_digit(c)) return std::nullopt;
      v = v * 10 + (c - '0');
    }
  }
  return sign * static_cast<double>(v) / std::pow(10.0, static_cast<double>(frac.size()));
}

bool all_slashes(std::string_view s) {
  return !s.empty() && s.find_first_not_of('/') == std::string_view::npos;
}

std::optional<double> utc_seconds(int year, int month, int day, int second_of_day) {
  if (month < 1 || month > 12 || day < 1 || second_of_day < 0 || second_of_day >= kSecondsPerDay)
    return std::nullopt;
  const long days = days_from_civil(year, month, day);
  int y = 0, m = 0, d = 0;
  civil_from_days(days, y, m, d);
  if (y != year || m != month || d != day) return std::nullopt;  // 31 April, 29 February of 2019
  return static_cast<double>(days) * kSecondsPerDay + second_of_day;
}

std::string message_name(const Message& m, std::string_view detail) {
  std::string name = m.heading.empty() ? "message at line " + std::to_string(m.heading_line) : m.heading;
  if (!detail.empty()) name += " (" + std::string(detail) + ")";
  return name;
}

}  // namespace sfmr::recon
