#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "campaign/report.hpp"
#include "campaign/totals.hpp"

namespace sfmr::campaign {
namespace {

const std::string kSummaryHeader =
    "seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records,time_repaired,"
    "max_wind_time,max_wind_lat,max_wind_lon";

TEST(CampaignReport, ReadsTheSummaryRow) {
  struct Case {
    const char* what;
    std::string text;
    bool ok;
    std::string seconds, damaged;
  };
  const Case cases[] = {
      {.what = "two lines",
       .text = kSummaryHeader + "\n7200,7000,0.972,49.8,44.1,12,0,01:02:03,25.5,-84\n",
       .ok = true,
       .seconds = "7200",
       .damaged = "12"},
      {.what = "CR LF",
       .text = kSummaryHeader + "\r\n36000,0,0.000,,,0,3,,,\r\n",
       .ok = true,
       .seconds = "36000",
       .damaged = "0"},
      {.what = "header only", .text = kSummaryHeader + "\n", .ok = false, .seconds = "", .damaged = ""},
      {.what = "short row",
       .text = kSummaryHeader + "\n7200,7000\n",
       .ok = false,
       .seconds = "",
       .damaged = ""},
      {.what = "other header", .text = "seconds,retrieved\n1,2\n", .ok = false, .seconds = "", .damaged = ""},
      {.what = "columns swapped",
       .text = "retrieved_seconds,seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records\n1,2,"
               "3,4,5,"
               "6\n",
       .ok = false,
       .seconds = "",
       .damaged = ""},
      {.what = "empty", .text = "", .ok = false, .seconds = "", .damaged = ""},
  };
  for (const auto& c : cases) {
    const auto s = parse_summary(c.text);
    EXPECT_EQ(s.has_value(), c.ok) << c.what;
    if (s && c.ok) {
      EXPECT_EQ((*s)[0], c.seconds) << c.what;
      EXPECT_EQ((*s)[5], c.damaged) << c.what;
    }
  }
}

FlightReport done_row(std::string name, bool plotted) {
  FlightReport row;
  row.name = std::move(name);
  FlightResult r;
  r.done = true;
  r.seconds = 1.234;
  r.steps = {{"sfmrbatch", 0, 0.5}};
  if (plotted) r.steps.push_back({"sfmrplot", 0, 0.7});
  row.result = r;
  row.summary = SummaryRow{"7200", "7000", "0.972", "49.8", "44.1", "12", "2", "01:02:03", "25.5", "-84"};
  row.files = {row.name + ".OUT", "console.txt"};
  return row;
}

FlightReport failed_row(std::string name, std::string reason) {
  FlightReport row;
  row.name = std::move(name);
  FlightResult r;
  r.exit_status = 1;
  r.failed_step = "sfmrbatch";
  r.reason = std::move(reason);
  r.steps = {{"sfmrbatch", 1, 0.1}};
  row.result = r;
  return row;
}

// One CSV row per flight in manifest order, with its status; reasons holding commas or quotes are quoted.
TEST(CampaignReport, CsvRows) {
  FlightReport pending;
  pending.name = "p";
  const std::vector<FlightReport> rows = {done_row("a", true), failed_row("b", "sfmrbatch: Bad line, \"x\""),
                                          pending};
  const std::string want =
      "name,status,exit_status,failed_step,reason,seconds,retrieved_seconds,retrieved_share,max_wind_speed,"
      "max_rain_rate,damaged_records,time_repaired,max_wind_time,max_wind_lat,max_wind_lon,time_taken,steps\n"
      "a,done,0,,,7200,7000,0.972,49.8,44.1,12,2,01:02:03,25.5,-84,1.23,sfmrbatch sfmrplot\n"
      "b,failed,1,sfmrbatch,\"sfmrbatch: Bad line, \"\"x\"\"\",,,,,,,,,,,0.00,sfmrbatch\n"
      "p,pending,,,,,,,,,,,,,,,\n";
  EXPECT_EQ(report_csv(rows), want);
  EXPECT_EQ(steps_run(rows), (std::vector<std::string>{"sfmrbatch", "sfmrplot"}));
}

// The page: counts, one row per flight with its class, links into the flight's directory, images only for
// flights whose plots were made, and text escaped.
TEST(CampaignReport, HtmlPage) {
  const std::vector<FlightReport> rows = {done_row("a", true), done_row("n", false),
                                          failed_row("b", "Bad line in Cal file: <x> & y")};
  const std::string html = report_html(rows, "Campaign <2026>");
  struct Case {
    const char* what;
    std::string part;
    bool present;
  };
  const Case cases[] = {
      {.what = "title escaped", .part = "<title>Campaign &lt;2026&gt;</title>", .present = true},
      {.what = "counts", .part = "3 flights: 2 done, 1 failed, 0 not processed", .present = true},
      {.what = "steps", .part = "Steps run: sfmrbatch, sfmrplot.", .present = true},
      {.what = "done row", .part = "<tr class=\"done\" id=\"a\">", .present = true},
      {.what = "failed row", .part = "<tr class=\"failed\" id=\"b\">", .present = true},
      {.what = "reason escaped", .part = "Bad line in Cal file: &lt;x&gt; &amp; y", .present = true},
      {.what = "raw reason", .part = "<x>", .present = false},
      {.what = "file link", .part = "<a href=\"a/a.OUT\">a.OUT</a>", .present = true},
      {.what = "time series image",
       .part = "<img loading=\"lazy\" src=\"a/a.timeseries.png\"",
       .present = true},
      {.what = "map image", .part = "<img loading=\"lazy\" src=\"a/a.map.png\"", .present = true},
      {.what = "no image without plots", .part = "n/n.map.png", .present = false},
      {.what = "no image for a failed flight", .part = "b/b.map.png", .present = false},
      {.what = "summary value", .part = "<td class=\"num\">49.8</td>", .present = true},
      {.what = "document end", .part = "</table>\n<script>", .present = true},
      {.what = "sorting script", .part = "addEventListener(\"click\"", .present = true},
      {.what = "totals of the done flights",
       .part = "2 flights done, 4.0 hours, 14400 seconds, 14000 with a retrieval, 4 with a repaired time. "
               "Strongest retrieved wind 49.8 m/s, flight a at 01:02:03, latitude 25.5, longitude -84.",
       .present = true},
      {.what = "no campaign map unless there is one", .part = "campaign.map.png", .present = false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(html.find(c.part) != std::string::npos, c.present) << c.what << ": " << c.part;
  }
  EXPECT_NE(report_html(rows, "c", true).find("<img class=\"campaign\" src=\"campaign.map.png\""),
            std::string::npos);
}

// The totals' CSV row: the done flights with a summary, the strongest wind's flight and place.
TEST(CampaignReport, TotalsCsv) {
  FlightReport calm = done_row("c", false);
  (*calm.summary)[3] = "12.5";
  struct Case {
    const char* what;
    std::vector<FlightReport> rows;
    std::string row;
  };
  const Case cases[] = {
      {"strongest of two",
       {calm, done_row("a", true), failed_row("b", "x")},
       "2,4.00,14400,14000,4,49.80,a,01:02:03,25.5,-84"},
      {"none done", {failed_row("b", "x")}, "0,0.00,0,0,0,,,,,"},
  };
  for (const auto& c : cases) {
    const std::string csv = totals_csv(campaign_totals(c.rows));
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), c.row + "\n") << c.what;
  }
}

}  // namespace
}  // namespace sfmr::campaign
