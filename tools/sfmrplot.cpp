// sfmrplot: quick-look plots of a processed flight, from its output file alone.
//
//   sfmrplot FLIGHT.OUT [--truth TRUTH.csv] [--setup SETUP] [-o PREFIX] [--cache DIR] [--force]
//   sfmrplot --campaign LIST [--title TITLE] -o PREFIX [--cache DIR] [--force]
//
// Writes PREFIX.timeseries.png (retrieved and onboard wind speed, rain rate and a band of each second's
// status against UTC time) and PREFIX.map.png (the track coloured by retrieved wind speed over the
// coastlines); PREFIX defaults to the output file's path without its extension, and a PREFIX that is a
// directory puts the files inside it, named after the output file. The simulator's truth file,
// when given, is drawn over the time series; with the run's setup file (--setup, for its frequencies) a band
// of one standard error is shaded around the retrieved wind speed and rain rate. The plots are drawn by
// gnuplot (tools/plot/*.gp, installed in share/sfmrbatch), the coastlines and the land come from GMT's GSHHG
// shorelines (tools/plot does the work). A truth or a setup file that is not the flight's is refused.
// Existing PNG files are kept unless --force is given; both files are written under temporary
// names and renamed at the end.
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "plot/quicklook.hpp"

namespace {

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrplot",
    .usage =
        "sfmrplot FLIGHT.OUT [--truth TRUTH.csv] [--setup SETUP] [-o PREFIX] [--cache DIR] [--force] | "
        "sfmrplot --campaign LIST [--title TITLE] -o PREFIX [--cache DIR] [--force]",
    .help =
        "Writes PREFIX.timeseries.png (wind speed, rain rate and status against UTC time) and\n"
        "PREFIX.map.png (track coloured by retrieved wind speed, with coastlines). PREFIX defaults to\n"
        "FLIGHT without its extension; --truth draws the simulator's truth over the time series;\n"
        "--setup SETUP (the run's setup file: its channel frequencies) shades one standard error\n"
        "around the retrieved wind speed and rain rate (computed as sfmr2nc computes them);\n"
        "--force replaces existing PNG files. --campaign LIST draws PREFIX.map.png alone: the tracks of\n"
        "every output file that LIST names (one a line) on one map, titled TITLE. --cache DIR keeps the\n"
        "coastlines and land of each map region in DIR and takes them from there next time.\n"
        "A PREFIX that is a directory (or ends in '/') puts the files inside it, named after FLIGHT\n"
        "(or LIST) without its extension. A truth that does not overlap the flight in time or place,\n"
        "and a setup whose channels contradict the output file, are errors.\n"};

int plot_command(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--truth", true},
                                      {"-o", true},
                                      {"--setup", true},
                                      {"--force"},
                                      {"--campaign", true},
                                      {"--title", true},
                                      {"--cache", true}});
  if (const auto list = args.text("--campaign")) {
    if (!args.positional().empty() || args.text("--truth") || args.text("--setup") || !args.text("-o"))
      sfmr::tool::usage_error("--campaign takes -o PREFIX and no flight file, truth or setup");
    sfmr::plot::draw_quicklook({.flight = "",
                                .truth = "",
                                .prefix = args.text("-o", ""),
                                .setup = "",
                                .cache = args.text("--cache", ""),
                                .campaign = *list,
                                .title = args.text("--title", "campaign"),
                                .force = args.flag("--force")});
    return 0;
  }
  if (args.positional().empty()) sfmr::tool::usage_error("no flight file");
  sfmr::plot::draw_quicklook({.flight = args.positional(1, 1, "more than one flight file")[0],
                              .truth = args.text("--truth", ""),
                              .prefix = args.text("-o", ""),
                              .setup = args.text("--setup", ""),
                              .cache = args.text("--cache", ""),
                              .campaign = "",
                              .title = "",
                              .force = args.flag("--force")});
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, plot_command);
}
