#include "campaign/manifest.hpp"

#include <fstream>
#include <map>
#include <sstream>

#include "common/input.hpp"
#include "core/text.hpp"
#include "setup/setup_file.hpp"

namespace sfmr::campaign {
namespace {

constexpr std::string_view kHeader = "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter";
constexpr std::size_t kFields = 12;
constexpr std::size_t kMaxName = 64;
constexpr std::array<std::string_view, 6> kFreqNames = {"f1", "f2", "f3", "f4", "f5", "f6"};

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view strip(std::string_view s) {
  while (!s.empty() && (is_blank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (is_blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(strip(line.substr(start, comma == std::string_view::npos ? line.npos : comma - start)));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

std::string check_name(std::string_view name) {
  if (name.empty()) return "empty flight name";
  if (name.size() > kMaxName) return "flight name longer than 64 characters";
  if (name.front() == '.' || name.front() == '-')
    return "flight name '" + std::string(name) + "' starts with '" + name.front() + "'";
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '.' || c == '-';
    if (!ok) return "flight name '" + std::string(name) + "' holds '" + c + "' (allowed: A-Z a-z 0-9 _ . -)";
  }
  return {};
}

// One number from a field, checked against its range; empty on success, else what is wrong.
template <typename InRange>
std::string check_number(std::string_view column, std::string_view text, InRange in_range,
                         std::string_view range) {
  float value = 0.0f;
  // A field is one number and nothing else: free-format reading would stop at a blank and ignore the rest.
  if (text.find_first_of(" \t/*") != std::string_view::npos || !read_value(text, &value)) {
    return std::string(column) + " '" + std::string(text) + "' is not a number";
  }
  if (!in_range(value))
    return std::string(column) + " " + std::string(text) + " is outside " + std::string(range);
  return {};
}

// A limit for messages, with one decimal ("4.0", "-40.0").
std::string limit_text(float v) {
  return format_trimmed(v, 1);
}

std::filesystem::path resolve(const std::filesystem::path& base, std::string_view field) {
  const std::filesystem::path p(field);
  return (p.is_absolute() ? p : base / p).lexically_normal();
}

}  // namespace

std::variant<std::vector<Flight>, ManifestError> parse_manifest(std::string_view text,
                                                                const std::filesystem::path& base) {
  std::vector<Flight> flights;
  std::map<std::string, int, std::less<>> first_line;
  bool header_seen = false;
  int number = 0;
  for (const std::string_view whole : tool::lines_of(text)) {
    const std::string_view line = strip(whole);
    ++number;
    if (line.empty() || line.front() == '#') continue;
    if (!header_seen) {
      if (line != kHeader) return ManifestError{number, "header must be '" + std::string(kHeader) + "'"};
      header_seen = true;
      continue;
    }
    const auto fields = split_fields(line);
    if (fields.size() != kFields) {
      return ManifestError{number, std::to_string(fields.size()) + " fields, want 12"};
    }
    if (auto what = check_name(fields[0]); !what.empty()) return ManifestError{number, what};
    if (auto [it, inserted] = first_line.try_emplace(std::string(fields[0]), number); !inserted) {
      return ManifestError{number, "flight name '" + std::string(fields[0]) + "' already used on line " +
                                       std::to_string(it->second)};
    }
    Flight f;
    f.line = number;
    f.name = fields[0];
    const std::array<std::string_view, 3> file_columns = {"raw", "cal", "sst"};
    for (std::size_t k = 0; k < 3; ++k) {
      if (fields[k + 1].empty())
        return ManifestError{number, "empty " + std::string(file_columns[k]) + " path"};
    }
    f.raw = resolve(base, fields[1]);
    f.cal = resolve(base, fields[2]);
    if (fields[3] != "aircraft") f.sst = resolve(base, fields[3]);
    for (std::size_t k = 0; k < 6; ++k) {
      auto what = check_number(kFreqNames[k], fields[4 + k], setup_limits::frequency_accepted,
                               "0.0 and " + limit_text(setup_limits::kFreqLow) + " to " +
                                   limit_text(setup_limits::kFreqHigh) + " GHz");
      if (!what.empty()) return ManifestError{number, what};
      f.freq[k] = fields[4 + k];
    }
    if (auto what = check_number("default_sst", fields[10], setup_limits::default_sst_accepted,
                                 limit_text(-setup_limits::kDefaultSstLimit) + " to " +
                                     limit_text(setup_limits::kDefaultSstLimit) + " deg C (both excluded)");
        !what.empty()) {
      return ManifestError{number, what};
    }
    f.default_sst = fields[10];
    if (auto what = check_number(
            "filter", fields[11], setup_limits::filter_accepted,
            limit_text(-setup_limits::kFilterLimit) + " to " + limit_text(setup_limits::kFilterLimit));
        !what.empty()) {
      return ManifestError{number, what};
    }
    f.filter = fields[11];
    flights.push_back(std::move(f));
  }
  if (!header_seen) return ManifestError{0, "no header line"};
  if (flights.empty()) return ManifestError{0, "no flights"};
  return flights;
}

std::variant<std::vector<Flight>, ManifestError> read_manifest(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ManifestError{0, "cannot read the manifest"};
  std::ostringstream text;
  text << in.rdbuf();
  std::error_code ec;
  const auto dir = std::filesystem::absolute(path, ec).parent_path();
  if (ec) return ManifestError{0, "cannot resolve the manifest's directory: " + ec.message()};
  return parse_manifest(text.str(), dir);
}

std::string setup_text(const Flight& flight, std::string_view raw_name, std::string_view cal_name,
                       std::string_view sst_name) {
  std::string s = "# sfmrbatch setup of flight " + flight.name + ", written by sfmrcampaign\n";
  s += "&A raw data file\n" + std::string(raw_name) + "\n";
  s += "&B calibration file\n" + std::string(cal_name) + "\n";
  s += flight.sst.empty() ? "&C no SST grid: the SST comes from the aircraft record\n" : "&C SST grid file\n";
  s += std::string(sst_name) + "\n";
  s += "&D channel frequencies, GHz\n";
  for (std::size_t k = 0; k < 6; ++k) s += flight.freq[k] + (k < 5 ? " " : "\n");
  s += "&E default SST, deg C\n" + flight.default_sst + "\n";
  s += "&F channel filter\n" + flight.filter + "\n";
  return s;
}

}  // namespace sfmr::campaign
