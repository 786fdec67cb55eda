// The campaign manifest parser (tools/campaign/manifest) over any bytes as the manifest's text.
// Properties: an error names a line of the text (or 0 for the whole); every accepted flight has a unique,
// well-formed name, absolute input paths and the line it came from, and its setup text can be made.
#include <set>
#include <string>
#include <variant>

#include "campaign/manifest.hpp"
#include "fuzz_util.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = sfmr::fuzz::as_text(data, size);
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  const auto parsed = sfmr::campaign::parse_manifest(text, "/campaign");
  if (const auto* e = std::get_if<sfmr::campaign::ManifestError>(&parsed)) {
    sfmr::fuzz::check(e->line >= 0 && static_cast<std::size_t>(e->line) <= lines, "error on a line", e->what);
    sfmr::fuzz::check(!e->what.empty(), "error says what");
    return 0;
  }
  std::set<std::string> names;
  for (const auto& f : std::get<std::vector<sfmr::campaign::Flight>>(parsed)) {
    sfmr::fuzz::check(!f.name.empty() && f.name.front() != '.' && f.name.front() != '-', "name", f.name);
    sfmr::fuzz::check(f.name.find('/') == std::string::npos, "name without '/'", f.name);
    sfmr::fuzz::check(names.insert(f.name).second, "unique name", f.name);
    sfmr::fuzz::check(f.raw.is_absolute() && f.cal.is_absolute() && (f.sst.empty() || f.sst.is_absolute()),
                      "absolute inputs", f.raw.string());
    sfmr::fuzz::check(f.line >= 1 && static_cast<std::size_t>(f.line) <= lines, "line of the flight");
    sfmr::fuzz::check(!sfmr::campaign::setup_text(f, "r.dat", "c.cal", "s.sst").empty(), "setup text");
  }
  return 0;
}
