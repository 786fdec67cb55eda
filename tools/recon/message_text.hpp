// The transmitted reconnaissance messages as text: a file split into its messages (WMO heading and body),
// the communications lines around them left out, and the small readers of the messages' fixed codes.
//
// A message begins at a WMO heading "TTAAii CCCC ddhhmm" (URNT15 KNHC 020423), or, in a file whose headings
// were stripped, at an HDOB mission line or a "VORTEX DATA MESSAGE" title that no heading precedes. Its body
// runs to "$$", ";", "NNNN", the next heading or the end of the file. Around messages a file may hold blank
// lines, "000", a three-digit sequence number and an AWIPS identifier (AHONT1); the AWIPS identifier may also
// stand on the line after the heading, and is then not part of the body.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/time_text.hpp"

namespace sfmr::recon {

// One line of a file, without its line end and trailing blanks; `number` counts from 1.
struct TextLine {
  std::string_view text;
  int number = 0;
};

struct Message {
  std::string heading;         // "URNT15 KNHC 020423", empty when the file has no heading for it
  int heading_line = 0;        // line of the heading (of the first body line when there is no heading)
  std::vector<TextLine> body;  // the lines after the heading, blank lines and the AWIPS identifier left out
};

// The kinds of message a heading or a first body line tells.
enum class MessageKind { kHdob, kVortex, kOther };

// The whole text of a message file (opened with tools/common/input: a missing or unreadable file, or a
// directory, is a ToolFailure naming it; so is a read that fails half way).
std::string read_message_file(const std::filesystem::path& path);

std::vector<TextLine> split_lines(std::string_view text);

// True for "TTAAii CCCC ddhhmm" with an optional fourth group (RRA, CCA, AAA).
bool is_wmo_heading(std::string_view line);

std::vector<Message> split_messages(std::string_view text);

// HDOB (URNT15, URPN15, or a mission line with "HDOB"), vortex data message (URNT12, URPN12, or the title
// line), or any other.
MessageKind kind_of(const Message& m);

// What a file holds, from its content: HDOB messages (an archive), vortex data messages, or neither. A file
// of both is taken by the kind of its first such message.
enum class ReconFile { kHdob, kVortex, kNone };
ReconFile recon_file_kind(std::string_view text);

// Throws std::runtime_error "FILE: not an HDOB archive or a file of vortex data messages" for kNone.
ReconFile require_recon_file(std::string_view text, std::string_view file);

// The whitespace-separated words of a line.
std::vector<std::string_view> words(std::string_view line);

// Whole non-negative number of only digits (at most 9), or nothing.
std::optional<int> digits_value(std::string_view s);

// Decimal number "[+-]digits[.digits]" (at least one digit before or after the point), or nothing. Read by
// its grammar: the digits accumulated as an integer, then scaled once.
std::optional<double> decimal_value(std::string_view s);

// True when every character is '/' (a missing field) and there is at least one.
bool all_slashes(std::string_view s);

// Seconds since 1970-01-01 UTC of a date and a time of day; nothing for an impossible date or time.
std::optional<double> utc_seconds(int year, int month, int day, int second_of_day);

// "YYYY-MM-DDThh:mm:ssZ", the time format of the storm tool's tables, from seconds since 1970.
using tool::iso_time;

// "URNT15 KNHC 020423 (HDOB 51)": how a fault names its message.
std::string message_name(const Message& m, std::string_view detail);

}  // namespace sfmr::recon
