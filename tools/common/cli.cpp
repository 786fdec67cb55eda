#include "common/cli.hpp"

#include <charconv>
#include <cmath>
#include <iostream>
#include <new>

#include "core/text.hpp"

namespace sfmr::tool {
namespace {

// One line: line ends inside a message become blanks.
std::string one_line(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string message(std::string_view tool, const std::string& what) {
  const std::string prefix = std::string(tool) + ": ";
  const std::string text = one_line(what.empty() ? std::string("failed") : what);
  return text.rfind(prefix, 0) == 0 ? text : prefix + text;
}

std::string number_text(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

bool in_range(double v, Range r) {
  return std::isfinite(v) && (r.min_open ? v > r.min : v >= r.min) && v <= r.max;
}

// Text that can hold exactly one free-format value: no separator, no repeat count, no slash.
bool single_value(std::string_view text) {
  return !text.empty() && text.find_first_of(" \t,/*") == std::string_view::npos;
}

}  // namespace

std::string_view version() {
  return SFMR_VERSION;
}

void usage_error(const std::string& what) {
  throw UsageError(what);
}

void fail(const std::string& what) {
  throw ToolFailure(what);
}

int run_tool(int argc, char** argv, const ToolInfo& info, const ToolBody& body) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  int status = 0;
  try {
    for (const std::string& a : args) {
      if (a == "--") break;
      if (a == "-h" || a == "--help") {
        std::cout << "usage: " << info.usage << '\n' << info.help;
        return std::cout.flush() ? 0 : 1;
      }
      if (a == "--version") {
        std::cout << info.name << ' ' << version() << '\n';
        return std::cout.flush() ? 0 : 1;
      }
    }
    status = body(args);
    if (!std::cout.flush()) fail("cannot write to standard output");
  } catch (const UsageError& e) {
    std::cerr << message(info.name, e.what()) << "; usage: " << info.usage << '\n';
    return 2;
  } catch (const std::bad_alloc&) {
    std::cerr << info.name << ": out of memory\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << message(info.name, e.what()) << '\n';
    return 1;
  } catch (...) {
    std::cerr << info.name << ": unexpected error\n";
    return 1;
  }
  return status;
}

std::string range_text(Range r) {
  const bool low = std::isfinite(r.min), high = std::isfinite(r.max);
  const std::string lower = (r.min_open ? "above " : "at least ") + number_text(r.min);
  if (low && high) {
    return r.min_open ? lower + " and at most " + number_text(r.max)
                      : "from " + number_text(r.min) + " to " + number_text(r.max);
  }
  if (low) return lower;
  if (high) return "at most " + number_text(r.max);
  return "a number";
}

std::optional<double> read_real(std::string_view text, Range range) {
  float v = 0.0f;
  // The value is read in single precision, so its limits are too: "1.1" within 0.6..1.1 reads as 1.10000002.
  const Range limits{
      .min = static_cast<float>(range.min), .max = static_cast<float>(range.max), .min_open = range.min_open};
  if (!single_value(text) || !read_value(text, &v) || !in_range(v, limits)) return std::nullopt;
  return v;
}

std::optional<std::int32_t> read_integer(std::string_view text, Range range) {
  std::int32_t v = 0;
  if (!single_value(text) || !read_value(text, &v) || !in_range(v, range)) return std::nullopt;
  return v;
}

Args::Args(const std::vector<std::string>& words, std::initializer_list<OptionSpec> options) {
  bool options_end = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (options_end || w.size() < 2 || w[0] != '-') {
      positional_.push_back(w);
      continue;
    }
    if (w == "--") {
      options_end = true;
      continue;
    }
    const OptionSpec* known = nullptr;
    for (const OptionSpec& o : options) {
      if (o.name == w) known = &o;
    }
    if (known == nullptr) usage_error("unknown option " + w);
    if (!known->takes_value) {
      values_[w] = "";
      continue;
    }
    if (i + 1 >= words.size()) usage_error(w + " needs a value");
    values_[w] = words[++i];
  }
}

std::optional<std::string> Args::text(std::string_view name) const {
  const auto it = values_.find(std::string(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::string Args::text(std::string_view name, std::string fallback) const {
  return text(name).value_or(std::move(fallback));
}

double Args::real(std::string_view name, double fallback, Range range) const {
  const auto value = text(name);
  if (!value) return fallback;
  const auto v = read_real(*value, range);
  if (!v) {
    const std::string what = range_text(range);
    usage_error(std::string(name) + " " + *value + ": must be " +
                (what == "a number" ? what : "a number " + what));
  }
  return *v;
}

std::int32_t Args::integer(std::string_view name, std::int32_t fallback, Range range) const {
  const auto value = text(name);
  if (!value) return fallback;
  const auto v = read_integer(*value, range);
  if (!v) {
    std::string what = range_text(range);
    what = what == "a number" ? "a whole number" : "a whole number " + what;
    usage_error(std::string(name) + " " + *value + ": must be " + what);
  }
  return *v;
}

const std::vector<std::string>& Args::positional(std::size_t min, std::size_t max,
                                                 std::string_view what) const {
  if (positional_.size() < min || positional_.size() > max) usage_error(std::string(what));
  return positional_;
}

}  // namespace sfmr::tool
