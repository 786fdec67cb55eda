// The campaign's report: OUTDIR/campaign.csv (one row per flight) and OUTDIR/index.html (the same table as
// a static page, each flight linked to its files and showing its two quick-look images).
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "campaign/flight.hpp"
#include "campaign/manifest.hpp"

namespace sfmr::campaign {

// The row of `sfmrsummary --csv`, its values as text, in the order of kSummaryColumns.
inline constexpr std::array<std::string_view, 10> kSummaryColumns = {
    "seconds",         "retrieved_seconds", "retrieved_share", "max_wind_speed", "max_rain_rate",
    "damaged_records", "time_repaired",     "max_wind_time",   "max_wind_lat",   "max_wind_lon"};
using SummaryRow = std::array<std::string, kSummaryColumns.size()>;

// Reads sfmrsummary's two lines (header and one row); nullopt when they are not that.
std::optional<SummaryRow> parse_summary(std::string_view text);

// What the report shows of one flight.
struct FlightReport {
  std::string name;
  std::optional<FlightResult> result;  // none: not run yet, or interrupted
  std::optional<SummaryRow> summary;
  std::vector<std::string> files;  // files of the flight's directory worth a link, names only
};

// Gathers the report of every flight of the manifest from outdir.
std::vector<FlightReport> collect_report(const std::vector<Flight>& flights,
                                         const std::filesystem::path& outdir);

// The steps that ran in the campaign, in order of first appearance (for the report's heading).
std::vector<std::string> steps_run(const std::vector<FlightReport>& rows);

std::string report_csv(const std::vector<FlightReport>& rows);
// The page; `campaign_map`: OUTDIR/campaign.map.png exists and is shown at the top. Its headings sort the
// table (a few lines of plain JavaScript).
std::string report_html(const std::vector<FlightReport>& rows, std::string_view title,
                        bool campaign_map = false);

// Writes campaign.csv, campaign_summary.csv (campaign/totals.hpp) and index.html into outdir (each through a
// temporary name).
void write_report(const std::vector<FlightReport>& rows, const std::filesystem::path& outdir,
                  std::string_view title);

}  // namespace sfmr::campaign
