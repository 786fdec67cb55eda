#include "campaign/products.hpp"

#include <algorithm>
#include <fstream>

#include "common/process.hpp"

#ifdef SFMR_CAMPAIGN_NC
#include "archive/campaign_nc.hpp"
#endif

namespace sfmr::campaign {
namespace fs = std::filesystem;

namespace {

bool has_file(const FlightReport& row, const std::string& name) {
  return std::find(row.files.begin(), row.files.end(), name) != row.files.end();
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
  const fs::path log = outdir / "campaign.map.log";
  const auto r = tool::run_child(
      {.argv = {tools.sfmrplot.string(), "--campaign", list.string(), "--title", std::string(title), "-o",
                (outdir / "campaign").string(), "--cache", (outdir / ".plot-cache").string(), "--force"},
       .out = tool::Sink::kFile,
       .err = tool::Sink::kFile,
       .out_file = log,
       .err_file = log});
  fs::remove(list, ec);
  if (r.shell_status() != 0) {
    const std::string why = read_text(log);
    problems.push_back("campaign.map.png: " + r.failure_line("sfmrplot", why.substr(0, why.find('\n'))));
  }
  return problems;
}

}  // namespace sfmr::campaign
