// sfmrsonde: dropsondes decoded into a table.
//
//   sfmrsonde SONDES... [--month YYYY-MM] [--reduction FILE] [-o PREFIX] [--force]
//
// Reads TEMP DROP bulletin files and EOL sounding files (tools/sonde) and writes PREFIX.sondes.csv, one
// row per sonde with its release, splash, 10-m wind (method and error) and layer winds, and one row per
// skipped bulletin with the reason; each skipped bulletin is also named on standard error.
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "common/publish.hpp"
#include "sonde/date_context.hpp"
#include "sonde/sonde_files.hpp"
#include "sonde/sondes_table.hpp"
#include "sonde/surface_wind.hpp"

namespace {

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrsonde",
    .usage = "sfmrsonde SONDES... [--month YYYY-MM] [--reduction FILE] [-o PREFIX] [--force]",
    .help = R"(Decodes dropsondes into a table: TEMP DROP bulletin files (UZNT13/UZPN13, one bulletin or many)
and EOL sounding files (.eol text).
  --month YYYY-MM  the month of the TEMP DROP bulletins (the message gives only the day); without it, a
                   file name holding YYYYMMDDhhmm gives it
  --reduction FILE factors reducing a layer-mean wind to 10 m: lines "MEAN_HEIGHT_M FACTOR", '#' comments
                   (default: a built-in table, see README)
  -o PREFIX        output prefix (default: the first file's name without its extension)
  --force          replace an existing PREFIX.sondes.csv
Writes PREFIX.sondes.csv: one row per sonde (speeds m/s, times YYYY-MM-DDTHH:MM:SSZ, an empty field where
the sonde gives nothing and a note saying why), and one row per skipped bulletin with the reason.
Exit status: 0 success, 1 error (one line on standard error, nothing written), 2 usage error.
)"};

std::string default_prefix(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
}

int decode(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--month", true}, {"--reduction", true}, {"-o", true}, {"--force"}});
  if (args.positional().empty()) sfmr::tool::usage_error("no sonde file");
  std::optional<sfmr::sonde::DateContext> month;
  if (const auto m = args.text("--month")) {
    month = sfmr::sonde::parse_month(*m);
    if (!month) sfmr::tool::usage_error("--month '" + *m + "' is not YYYY-MM");
  }
  sfmr::sonde::ReductionTable table = sfmr::sonde::default_reduction();
  if (const auto file = args.text("--reduction")) {
    std::ifstream in = sfmr::tool::open_input(*file);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    try {
      table = sfmr::sonde::read_reduction_table(text, *file);
    } catch (const sfmr::sonde::SondeError& e) {
      sfmr::tool::fail(*file + ": " + e.what());
    }
  }
  const std::string prefix = args.text("-o", default_prefix(args.positional().front()));
  const sfmr::tool::Replace replace = sfmr::tool::replace_if(args.flag("--force"));
  sfmr::tool::check_replaceable(prefix + ".sondes.csv", replace);
  sfmr::sonde::ReadResult read;
  try {
    read = sfmr::sonde::read_sonde_files(args.positional(), month);
  } catch (const sfmr::sonde::SondeError& e) {
    sfmr::tool::fail(e.what());
  }
  for (const sfmr::sonde::Skipped& k : read.skipped)
    std::cerr << kTool.name << ": skipped " << k.sonde << ": " << k.reason << '\n';
  sfmr::sonde::write_sondes_table(prefix, read, table, replace);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, decode);
}
