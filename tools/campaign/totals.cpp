#include "campaign/totals.hpp"

#include <cstdint>

#include "core/text.hpp"

namespace sfmr::campaign {

namespace {

long long whole(const std::string& text) {
  std::int32_t v = 0;
  return read_value(text, &v) ? v : 0;
}

}  // namespace

CampaignTotals campaign_totals(const std::vector<FlightReport>& rows) {
  CampaignTotals t;
  for (const auto& row : rows) {
    if (!row.result || !row.result->done || !row.summary) continue;
    const SummaryRow& s = *row.summary;
    ++t.flights;
    t.seconds += whole(s[0]);
    t.retrieved += whole(s[1]);
    t.repaired += whole(s[6]);
    float wind = 0.0f;
    if (!read_value(s[3], &wind)) continue;
    if (!t.strongest || wind > t.strongest->speed)
      t.strongest = StrongestWind{wind, row.name, s[7], s[8], s[9]};
  }
  return t;
}

std::string totals_csv(const CampaignTotals& t) {
  std::string s =
      "flights,hours,seconds,retrieved_seconds,time_repaired,max_wind_speed,max_wind_flight,max_wind_time,"
      "max_wind_lat,max_wind_lon\n";
  s += std::to_string(t.flights) + "," + format_trimmed(t.hours(), 2) + "," + std::to_string(t.seconds) +
       "," + std::to_string(t.retrieved) + "," + std::to_string(t.repaired) + ",";
  if (t.strongest)
    s += format_trimmed(t.strongest->speed, 2) + "," + t.strongest->flight + "," + t.strongest->time + "," +
         t.strongest->lat + "," + t.strongest->lon;
  else
    s += ",,,,";
  return s + "\n";
}

std::string totals_html(const CampaignTotals& t) {
  std::string s = std::to_string(t.flights) + " flights done, " + format_trimmed(t.hours(), 1) + " hours, " +
                  std::to_string(t.seconds) + " seconds, " + std::to_string(t.retrieved) +
                  " with a retrieval, " + std::to_string(t.repaired) + " with a repaired time.";
  if (t.strongest) {
    s += " Strongest retrieved wind " + format_trimmed(t.strongest->speed, 1) + " m/s, flight " +
         t.strongest->flight;
    if (!t.strongest->time.empty()) s += " at " + t.strongest->time;
    if (!t.strongest->lat.empty()) s += ", latitude " + t.strongest->lat + ", longitude " + t.strongest->lon;
    s += ".";
  }
  // Flight names hold only letters, digits and _ . -, so nothing else needs escaping.
  return s;
}

}  // namespace sfmr::campaign
