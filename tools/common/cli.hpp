// The command-line skeleton every companion tool shares:
//   - `-h`/`--help` prints the usage line and the help text, `--version` prints "TOOL VERSION"; both exit 0;
//   - a usage error prints one line "TOOL: what is wrong; usage: USAGE" and exits 2;
//   - a failure prints one line "TOOL: what is wrong" and exits 1;
//   - any exception escaping the tool's body becomes such a line (never an abort).
// A tool's main is `return sfmr::tool::run_tool(argc, argv, kTool, body);`; the body throws UsageError or
// ToolFailure (or returns an exit status) and reads its options through Args.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sfmr::tool {

// The version of sfmrbatch and its tools, from the build's project(VERSION).
std::string_view version();

struct ToolInfo {
  std::string_view name;   // the program's name, first word of every message
  std::string_view usage;  // one line: "TOOL ARGS [options]" (without "usage: ")
  std::string_view help;   // what --help prints after the usage line (ends with a line feed)
};

// The command line is wrong: exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The tool cannot do its work: exit status 1.
struct ToolFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void usage_error(const std::string& what);
[[noreturn]] void fail(const std::string& what);

// The body gets the arguments after the program name and returns the exit status.
using ToolBody = std::function<int(const std::vector<std::string>& args)>;

// Runs a tool: answers --help/-h and --version (anywhere among the arguments), runs the body, and turns
// UsageError into status 2, ToolFailure and every other exception into status 1, each with its one line on
// standard error. Output to standard output that fails to be written (a full disk, a closed pipe) is a
// failure too.
int run_tool(int argc, char** argv, const ToolInfo& info, const ToolBody& body);

// The limits of a number option. Messages say "from MIN to MAX", "at least MIN", "above MIN", ...
struct Range {
  double min = -std::numeric_limits<double>::infinity();
  double max = std::numeric_limits<double>::infinity();
  bool min_open = false;  // the minimum itself is excluded (hours > 0)
};
inline constexpr Range kProbability{.min = 0.0, .max = 1.0};
inline constexpr Range kNonNegative{.min = 0.0};
inline constexpr Range kPositive{.min = 0.0, .min_open = true};

// An option the tool knows: "--name" or "-o"; a flag or one that takes the next word as its value.
struct OptionSpec {
  std::string_view name;
  bool takes_value = false;
};

// The words of a command line split into the known options and the positional arguments, in one pass: an
// option's value is the next word whatever it looks like ("--noise -1" is the value -1), a word "-" is
// positional, "--" ends the options, any other word beginning with '-' that is not a known option is a
// usage error, and so is an option without its value. A repeated option keeps its last value.
class Args {
 public:
  Args(const std::vector<std::string>& words, std::initializer_list<OptionSpec> options);

  bool flag(std::string_view name) const { return values_.count(std::string(name)) > 0; }
  std::optional<std::string> text(std::string_view name) const;
  std::string text(std::string_view name, std::string fallback) const;

  // A number option read with the project's free-format rules (one value, nothing else) and checked against
  // `range`; a bad value is a usage error naming the option, the value and what it must be.
  double real(std::string_view name, double fallback, Range range = {}) const;
  std::int32_t integer(std::string_view name, std::int32_t fallback, Range range = {}) const;

  const std::vector<std::string>& positional() const { return positional_; }
  // The positional arguments, a usage error unless there are from `min` to `max` of them; `what` names them
  // for the message ("needs OUTFILE and RAWFILE").
  const std::vector<std::string>& positional(std::size_t min, std::size_t max, std::string_view what) const;

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
};

// One number read with the free-format rules and checked against `range`, for values that are not options
// (a positional count, a task number); nullopt when it is not such a number.
std::optional<double> read_real(std::string_view text, Range range = {});
std::optional<std::int32_t> read_integer(std::string_view text, Range range = {});
// "from 0 to 1", "at least 0", "above 0", "at most 5", or "a number".
std::string range_text(Range range);

}  // namespace sfmr::tool
