// Campaign totals over the done flights, from their summary rows: flights, hours, seconds, seconds with a
// retrieval, and the strongest retrieved wind with its flight, time and place. The report shows them on the
// page and writes them to OUTDIR/campaign_summary.csv.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "campaign/report.hpp"

namespace sfmr::campaign {

struct StrongestWind {
  double speed = 0.0;                  // m/s
  std::string flight, time, lat, lon;  // time and position as the summary writes them
};

struct CampaignTotals {
  int flights = 0;  // done flights with a summary
  long long seconds = 0, retrieved = 0, repaired = 0;
  std::optional<StrongestWind> strongest;
  double hours() const { return static_cast<double>(seconds) / 3600.0; }
};

CampaignTotals campaign_totals(const std::vector<FlightReport>& rows);

// Header "flights,hours,seconds,retrieved_seconds,time_repaired,max_wind_speed,max_wind_flight,
// max_wind_time,max_wind_lat,max_wind_lon" and one row.
std::string totals_csv(const CampaignTotals& totals);

// One sentence for the page, HTML-escaped.
std::string totals_html(const CampaignTotals& totals);

}  // namespace sfmr::campaign
