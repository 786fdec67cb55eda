#include "sonde/tempdrop.hpp"

#include <algorithm>
#include <set>
#include <vector>

#include "common/input.hpp"
#include "sonde/tempdrop_codes.hpp"

namespace sfmr::sonde {

namespace {

using namespace tempdrop;

// The lines of `text` without their line ends and trailing blanks (the 65-character limit of a line is
// counted without them).
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines = tool::lines_of(text);
  for (std::string_view& line : lines) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.remove_suffix(1);
  }
  return lines;
}

std::string_view first_word(std::string_view line) {
  const std::size_t a = line.find_first_not_of(" \t");
  if (a == std::string_view::npos) return {};
  const std::size_t b = line.find_first_of(" \t", a);
  return line.substr(a, b == std::string_view::npos ? b : b - a);
}

bool is_heading(std::string_view line) {
  const std::string_view w = first_word(line);
  return w == "UZNT13" || w == "UZPN13";
}

// The groups of one part: its lines joined, the remark lines after `62626` directly when a line was cut at
// the 65-character limit (in the middle of a group), else with a blank; the part ends at `=`.
struct PartText {
  std::string name;
  std::vector<std::string> groups;
};

// The parts of one bulletin (lines after its heading); a part without its `=` is a fault.
std::vector<PartText> split_parts(const std::vector<std::string_view>& lines) {
  std::vector<PartText> parts;
  std::string text;
  bool in_part = false, remarks = false;
  std::size_t previous_length = 0;
  const auto finish = [&] {
    PartText p;
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t a = text.find_first_not_of(" \t", i);
      if (a == std::string::npos) break;
      const std::size_t b = std::min(text.find_first_of(" \t", a), text.size());
      p.groups.emplace_back(text.substr(a, b - a));
      i = b;
    }
    p.name = p.groups.front();
    parts.push_back(std::move(p));
  };
  for (std::string_view line : lines) {
    const std::string_view w = first_word(line);
    const bool starts = w == "XXAA" || w == "XXBB" || w == "XXCC" || w == "XXDD";
    if (in_part && starts)
      throw Malformed("part " + std::string(first_word(text)) + " does not end with '='");
    if (!in_part) {
      if (!starts) continue;
      in_part = true, remarks = false, text.clear();
    }
    const std::size_t eq = line.find('=');
    const std::string_view body = line.substr(0, eq);
    if (remarks && previous_length >= kRemarkWidth) {
      text += body;
    } else {
      if (!remarks && first_word(body) == "62626") remarks = true;
      text += ' ';
      text += body;
    }
    previous_length = body.size();
    if (eq != std::string_view::npos) {
      finish();
      in_part = false;
    }
  }
  if (in_part) throw Malformed("part " + std::string(first_word(text)) + " does not end with '='");
  return parts;
}

}  // namespace

bool has_tempdrop_heading(std::string_view text) {
  for (std::string_view line : split_lines(text)) {
    if (is_heading(line)) return true;
  }
  return false;
}

ReadResult read_tempdrop(std::string_view text, const DateContext* context) {
  const std::vector<std::string_view> lines = split_lines(text);
  ReadResult result;
  std::set<std::string> seen;
  std::size_t bulletins = 0;
  for (std::size_t i = 0; i < lines.size();) {
    if (!is_heading(lines[i])) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < lines.size() && !is_heading(lines[end])) ++end;
    ++bulletins;
    if (context == nullptr)
      throw SondeError(
          "no month and year for the TEMP DROP bulletins (give YYYY-MM, or a file name "
          "holding YYYYMMDDhhmm)");
    const std::vector<std::string_view> body(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                             lines.begin() + static_cast<std::ptrdiff_t>(end));
    BulletinReader reader(lines[i], *context);
    try {
      for (const PartText& part : split_parts(body)) reader.add_part(part.name, part.groups);
      Sonde s = reader.finish();
      const std::string key = s.id + "@" + std::to_string(s.release.time);
      if (seen.insert(key).second)
        result.sondes.push_back(std::move(s));
      else
        result.skipped.push_back({reader.name(body), "a repeat of a bulletin already read"});
    } catch (const Malformed& e) {
      result.skipped.push_back({reader.name(body), e.what()});
    }
    i = end;
  }
  if (bulletins == 0) throw SondeError("no TEMP DROP bulletin (UZNT13/UZPN13 heading)");
  if (result.sondes.empty()) {
    const Skipped& first = result.skipped.front();
    throw SondeError("no bulletin reads (" + first.sonde + ": " + first.reason + ")");
  }
  return result;
}

}  // namespace sfmr::sonde
