// Campaign manifest: one row per flight, read and checked in full before any flight is processed.
//
// The manifest is CSV text. Blank lines and lines whose first non-blank character is "#" are ignored; the
// first other line is the header, exactly
//   name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter
// and every later line is one flight with these twelve fields (blanks around a field are dropped; fields
// are not quoted, so a path cannot hold a comma). A row is accepted on the same terms sfmrbatch accepts its
// setup file, so that no flight stops at a console prompt:
//   name         1 to 64 characters from A-Z a-z 0-9 _ . -, not starting with "." or "-" (it names the
//                flight's directory and its files); unique within the manifest
//   raw, cal     file paths, relative to the manifest's directory unless absolute
//   sst          SST grid file path, or the word "aircraft": no grid, every second takes the SST carried
//                by the aircraft record (the default's magnitude where that is missing)
//   f1..f6       channel frequencies, GHz: each 0.0 (channel off) or 4.0 to 8.0
//   default_sst  deg C, strictly between -40 and 40 (negative: SST from the grid)
//   filter       -20 to 20 (zero or positive: least-squares line filter; negative: outlier filter)
// Whether the files exist is not checked here: a missing file fails that flight alone when it runs.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sfmr::campaign {

struct Flight {
  int line = 0;                         // line number in the manifest, 1-based
  std::string name;                     // flight name
  std::filesystem::path raw, cal, sst;  // absolute; sst is empty for "aircraft"
  // Numbers as written in the manifest (checked), so the setup file carries exactly the text of the row.
  std::array<std::string, 6> freq;
  std::string default_sst, filter;
};

// A manifest that cannot be used: the line (0 for the manifest as a whole) and what is wrong.
struct ManifestError {
  int line = 0;
  std::string what;
};

// Reads a manifest from its text. `base` is the directory that relative paths are taken from.
std::variant<std::vector<Flight>, ManifestError> parse_manifest(std::string_view text,
                                                                const std::filesystem::path& base);

// Reads the manifest file at `path` (relative paths in it are taken from its directory).
std::variant<std::vector<Flight>, ManifestError> read_manifest(const std::filesystem::path& path);

// The text of the flight's setup file for sfmrbatch, run in the flight's directory with its inputs linked
// under the given names.
std::string setup_text(const Flight& flight, std::string_view raw_name, std::string_view cal_name,
                       std::string_view sst_name);

}  // namespace sfmr::campaign
