#include "campaign/products.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#ifdef SFMR_CAMPAIGN_NC
#include "archive/campaign_nc.hpp"
#endif

namespace sfmr::campaign {
namespace fs = std::filesystem;

namespace {

bool has_file(const FlightReport& row, const std::string& name) {
  return std::find(row.files.begin(), row.files.end(), name) != row.files.end();
}

// Runs argv, its output into `log`; the exit status (-1 when it could not be started).
int run(const std::vector<std::string>& argv, const fs::path& log) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (!std::freopen(log.c_str(), "w", stdout) || !std::freopen(log.c_str(), "a", stderr)) ::_exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::vector<std::string> write_products(const std::vector<FlightReport>& rows, const fs::path& outdir,
                                        std::string_view title, const Tools& tools) {
  std::vector<std::string> problems;
  std::error_code ec;
  std::vector<const FlightReport*> done;
  for (const auto& row : rows)
    if (row.result && row.result->done) done.push_back(&row);

#ifdef SFMR_CAMPAIGN_NC
  std::vector<archive::CampaignMember> members;
  for (const FlightReport* row : done)
    if (has_file(*row, row->name + ".nc"))
      members.push_back({row->name, outdir / row->name / (row->name + ".nc")});
  if (members.empty()) {
    fs::remove(outdir / "campaign.nc", ec);
  } else if (const std::string e =
                 archive::write_campaign_nc(outdir / "campaign.nc", members, std::string(title),
                                            "written by sfmrcampaign from the flight files");
             !e.empty()) {
    problems.push_back("campaign.nc: " + e);
  }
#endif

  std::vector<std::string> outs;
  for (const FlightReport* row : done)
    if (has_file(*row, row->name + ".OUT"))
      outs.push_back((outdir / row->name / (row->name + ".OUT")).string());
  if (tools.sfmrplot.empty() || outs.empty()) {
    fs::remove(outdir / "campaign.map.png", ec);
    return problems;
  }
  const fs::path list = outdir / ".campaign.flights";
  {
    std::ofstream out(list);
    for (const auto& o : outs) out << o << '\n';
  }
  const int status = run({tools.sfmrplot.string(), "--campaign", list.string(), "--title", std::string(title),
                          "-o", (outdir / "campaign").string(), "--force"},
                         outdir / "campaign.map.log");
  fs::remove(list, ec);
  if (status != 0)
    problems.push_back("campaign.map.png: sfmrplot failed (see " + (outdir / "campaign.map.log").string() +
                       ")");
  return problems;
}

}  // namespace sfmr::campaign
