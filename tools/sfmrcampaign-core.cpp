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
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "campaign/flight.hpp"
#include "campaign/manifest.hpp"
#include "campaign/products.hpp"
#include "campaign/report.hpp"
#include "core/text.hpp"

namespace {
namespace fs = std::filesystem;
using namespace sfmr::campaign;

constexpr const char* kUsage =
    "usage: sfmrcampaign-core check MANIFEST\n"
    "       sfmrcampaign-core pending MANIFEST OUTDIR [--retry-failed]\n"
    "       sfmrcampaign-core flight MANIFEST OUTDIR (NAME | --task N) [--retry-failed]\n"
    "       sfmrcampaign-core report MANIFEST OUTDIR\n";

int usage() {
  std::cerr << kUsage;
  return 2;
}

int error(const std::string& what) {
  std::cerr << "sfmrcampaign: " << what << '\n';
  return 1;
}

// Directories where sfmrbatch may be: this program's own (installed side by side) and its parent (the
// build tree, where the tools sit in build/tools/ and sfmrbatch in build/).
std::vector<fs::path> tool_dirs() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return {self.parent_path(), self.parent_path().parent_path()};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--help") {
    std::cout << kUsage;
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::cout << "sfmrcampaign-core 1.0\n";
    return 0;
  }
  bool retry_failed = false;
  std::erase_if(args, [&](const std::string& a) { return a == "--retry-failed" && (retry_failed = true); });
  if (args.size() < 2) return usage();
  const std::string& command = args[0];
  const fs::path manifest_path = args[1];
  auto manifest = read_manifest(manifest_path);
  if (const auto* e = std::get_if<ManifestError>(&manifest)) {
    return error(manifest_path.string() + (e->line > 0 ? " line " + std::to_string(e->line) : "") + ": " +
                 e->what);
  }
  const auto& flights = std::get<std::vector<Flight>>(manifest);

  if (command == "check" && args.size() == 2) {
    std::cout << flights.size() << '\n';
    return 0;
  }
  if (args.size() < 3) return usage();
  const fs::path outdir = args[2];
  if (command == "pending" && args.size() == 3) {
    for (const auto& f : flights) {
      if (is_pending(read_result(outdir / f.name), retry_failed)) std::cout << f.name << '\n';
    }
    return 0;
  }
  if (command == "report" && args.size() == 3) {
    try {
      const auto rows = collect_report(flights, outdir);
      const std::string title = "Campaign " + manifest_path.filename().string();
      for (const std::string& problem : write_products(rows, outdir, title, find_tools(tool_dirs())))
        std::cerr << "sfmrcampaign: " << problem << '\n';
      write_report(rows, outdir, title);
      int done = 0, failed = 0;
      for (const auto& row : rows) {
        if (row.result) ++(row.result->done ? done : failed);
      }
      std::cout << rows.size() << " flights: " << done << " done, " << failed << " failed, "
                << rows.size() - done - failed
                << " not processed. Report: " << (outdir / "index.html").string() << '\n';
      return failed > 0 || done < static_cast<int>(rows.size()) ? 1 : 0;
    } catch (const std::exception& e) {
      return error(e.what());
    }
  }
  if (command == "flight" && (args.size() == 4 || (args.size() == 5 && args[3] == "--task"))) {
    const Flight* flight = nullptr;
    if (args.size() == 5) {
      std::int32_t task = 0;
      if (!sfmr::read_value(args[4], &task) || task < 1 || task > static_cast<std::int32_t>(flights.size())) {
        return error("task '" + args[4] + "' is not a flight number 1.." + std::to_string(flights.size()));
      }
      flight = &flights[static_cast<std::size_t>(task - 1)];
    } else {
      for (const auto& f : flights) {
        if (f.name == args[3]) flight = &f;
      }
      if (flight == nullptr) return error("no flight '" + args[3] + "' in " + manifest_path.string());
    }
    const auto previous = read_result(outdir / flight->name);
    if (!is_pending(previous, retry_failed)) {
      std::cout << flight->name << ": " << (previous->done ? "done" : "failed") << " before, not run again\n";
      return previous->done ? 0 : 1;
    }
    try {
      const auto tools = find_tools(tool_dirs());
      const auto result = run_flight(*flight, outdir, tools);
      if (!result.done) std::cerr << "sfmrcampaign: flight " << flight->name << ": " << result.reason << '\n';
      return result.done ? 0 : 1;
    } catch (const std::exception& e) {
      return error("flight " + flight->name + ": " + e.what());
    }
  }
  return usage();
}
