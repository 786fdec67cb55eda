// sfmrcampaign-core: the compiled half of sfmrcampaign (the script that drives GNU parallel). Users run
// sfmrcampaign; the script and the Slurm job script call these commands.
//
//   sfmrcampaign-core check MANIFEST
//       checks the whole manifest; prints the number of flights
//   sfmrcampaign-core pending MANIFEST OUTDIR [--retry-failed]
//       prints the names of the flights still to run, one a line
//   sfmrcampaign-core flight MANIFEST OUTDIR (NAME | --task N) [--retry-failed]
//       runs one flight (the N-th of the manifest, from 1, with --task) unless it is done already
//       (or failed, without --retry-failed); status 0 when the flight is done, 1 when it failed
//   sfmrcampaign-core report MANIFEST OUTDIR
//       writes OUTDIR/campaign.csv, campaign_summary.csv and index.html, and (campaign/products.hpp) the
//       campaign's netCDF file and map of the done flights; prints the counts
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "campaign/flight.hpp"
#include "campaign/manifest.hpp"
#include "campaign/products.hpp"
#include "campaign/report.hpp"
#include "common/cli.hpp"
#include "common/share.hpp"

namespace {
namespace fs = std::filesystem;
using namespace sfmr::campaign;
using sfmr::tool::fail;
using sfmr::tool::usage_error;

constexpr sfmr::tool::ToolInfo kTool{
    // Its messages reach the user through sfmrcampaign, whose name they carry.
    .name = "sfmrcampaign",
    .usage =
        "sfmrcampaign-core (check MANIFEST | pending MANIFEST OUTDIR | flight MANIFEST OUTDIR (NAME | "
        "--task N) | report MANIFEST OUTDIR) [--retry-failed]",
    .help =
        "The compiled half of sfmrcampaign, called by it and by its Slurm job script.\n"
        "  check MANIFEST                      checks the whole manifest; prints the number of flights\n"
        "  pending MANIFEST OUTDIR             prints the flights still to run, one a line\n"
        "  flight MANIFEST OUTDIR NAME         runs one flight unless it is done already (or failed,\n"
        "  flight MANIFEST OUTDIR --task N     without --retry-failed); N counts from 1; status 0\n"
        "                                      when the flight is done, 1 when it failed\n"
        "  report MANIFEST OUTDIR              writes OUTDIR/campaign.csv, campaign_summary.csv, "
        "index.html,\n"
        "                                      campaign.nc and campaign.map.png\n"};

// Directories where sfmrbatch may be: this program's own (installed side by side) and its parent (the
// build tree, where the tools sit in build/tools/ and sfmrbatch in build/).
std::vector<fs::path> tool_dirs() {
  const fs::path self = sfmr::tool::program_dir();
  if (self.empty()) return {};
  return {self, self.parent_path()};
}

int report(const std::vector<Flight>& flights, const fs::path& manifest_path, const fs::path& outdir) {
  const auto rows = collect_report(flights, outdir);
  const std::string title = "Campaign " + manifest_path.filename().string();
  for (const std::string& problem : write_products(rows, outdir, title, find_tools(tool_dirs())))
    std::cerr << kTool.name << ": " << problem << '\n';
  write_report(rows, outdir, title);
  int done = 0, failed = 0;
  for (const auto& row : rows) {
    if (row.result) ++(row.result->done ? done : failed);
  }
  std::cout << rows.size() << " flights: " << done << " done, " << failed << " failed, "
            << rows.size() - done - failed << " not processed. Report: " << (outdir / "index.html").string()
            << '\n';
  return failed > 0 || done < static_cast<int>(rows.size()) ? 1 : 0;
}

int flight(const std::vector<Flight>& flights, const sfmr::tool::Args& args, bool retry_failed) {
  const auto& words = args.positional();
  const fs::path manifest_path = words[1], outdir = words[2];
  const Flight* flight = nullptr;
  if (const auto task_text = args.text("--task")) {
    if (words.size() != 3) usage_error("flight takes NAME or --task N");
    const sfmr::tool::Range tasks{.min = 1, .max = static_cast<double>(flights.size())};
    const auto task = sfmr::tool::read_integer(*task_text, tasks);
    if (!task) fail("task '" + *task_text + "' is not a flight number 1.." + std::to_string(flights.size()));
    flight = &flights[static_cast<std::size_t>(*task - 1)];
  } else {
    if (words.size() != 4) usage_error("flight takes NAME or --task N");
    for (const auto& f : flights) {
      if (f.name == words[3]) flight = &f;
    }
    if (flight == nullptr) fail("no flight '" + words[3] + "' in " + manifest_path.string());
  }
  const auto previous = read_result(outdir / flight->name);
  if (!is_pending(previous, retry_failed)) {
    std::cout << flight->name << ": " << (previous->done ? "done" : "failed") << " before, not run again\n";
    return previous->done ? 0 : 1;
  }
  try {
    const auto result = run_flight(*flight, outdir, find_tools(tool_dirs()));
    if (!result.done) std::cerr << kTool.name << ": flight " << flight->name << ": " << result.reason << '\n';
    return result.done ? 0 : 1;
  } catch (const std::exception& e) {
    fail("flight " + flight->name + ": " + e.what());
  }
}

int run(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--retry-failed"}, {"--task", true}});
  const auto& positional = args.positional();
  if (positional.size() < 2) usage_error("needs a command and MANIFEST");
  const std::string& command = positional[0];
  const fs::path manifest_path = positional[1];
  const std::size_t wanted = command == "check" ? 2 : command == "flight" ? positional.size() : 3;
  if (command != "check" && command != "pending" && command != "flight" && command != "report")
    usage_error("unknown command " + command);
  if (positional.size() != wanted || (command == "flight" && positional.size() < 3))
    usage_error(command + ": wrong number of arguments");
  if (args.text("--task") && command != "flight") usage_error("--task belongs to flight");

  auto manifest = read_manifest(manifest_path);
  if (const auto* e = std::get_if<ManifestError>(&manifest)) {
    fail(manifest_path.string() + (e->line > 0 ? " line " + std::to_string(e->line) : "") + ": " + e->what);
  }
  const auto& flights = std::get<std::vector<Flight>>(manifest);
  if (command == "check") {
    std::cout << flights.size() << '\n';
    return 0;
  }
  const fs::path outdir = positional[2];
  if (command == "pending") {
    for (const auto& f : flights) {
      if (is_pending(read_result(outdir / f.name), args.flag("--retry-failed"))) std::cout << f.name << '\n';
    }
    return 0;
  }
  if (command == "report") return report(flights, manifest_path, outdir);
  return flight(flights, args, args.flag("--retry-failed"));
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, run);
}
