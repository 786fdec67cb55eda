#include "campaign/report.hpp"

#include "campaign/totals.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/publish.hpp"
#include "core/text.hpp"

namespace sfmr::campaign {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> split(std::string_view line, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto at = line.find(sep, start);
    parts.emplace_back(line.substr(start, at == std::string_view::npos ? line.npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

// A CSV field, quoted when it holds a comma, a quote or a line end.
std::string csv_field(std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string html_escape(std::string_view s) {
  std::string e;
  for (char c : s) {
    switch (c) {
      case '&':
        e += "&amp;";
        break;
      case '<':
        e += "&lt;";
        break;
      case '>':
        e += "&gt;";
        break;
      case '"':
        e += "&quot;";
        break;
      default:
        e += c;
    }
  }
  return e;
}

std::string status_of(const FlightReport& row) {
  if (!row.result) return "pending";
  return row.result->done ? "done" : "failed";
}

std::string step_list(const FlightReport& row) {
  std::string s;
  if (!row.result) return s;
  for (const auto& st : row.result->steps) s += (s.empty() ? "" : " ") + st.step;
  return s;
}

// Files of a flight's directory that the page links, in this order, when they exist.
std::vector<std::string> linked_files(const std::string& name) {
  return {name + ".OUT", name + ".nc",   std::string(kConsoleFile), name + ".setup",
          "sfmr2nc.log", "sfmrplot.log", "sfmrsummary.log",         std::string(kResultFile)};
}

}  // namespace

std::optional<SummaryRow> parse_summary(std::string_view text) {
  std::istringstream lines{std::string(text)};
  std::string header, row;
  if (!std::getline(lines, header) || !std::getline(lines, row)) return std::nullopt;
  for (auto* l : {&header, &row}) {
    if (!l->empty() && l->back() == '\r') l->pop_back();
  }
  const auto names = split(header, ',');
  const auto values = split(row, ',');
  if (names.size() != kSummaryColumns.size() || values.size() != kSummaryColumns.size()) return std::nullopt;
  SummaryRow s;
  for (std::size_t k = 0; k < kSummaryColumns.size(); ++k) {
    if (names[k] != kSummaryColumns[k]) return std::nullopt;
    s[k] = values[k];
  }
  return s;
}

std::vector<FlightReport> collect_report(const std::vector<Flight>& flights, const fs::path& outdir) {
  std::vector<FlightReport> rows;
  for (const auto& f : flights) {
    FlightReport row;
    row.name = f.name;
    const fs::path dir = outdir / f.name;
    row.result = read_result(dir);
    std::error_code ec;
    if (row.result) {
      if (fs::is_regular_file(dir / kSummaryFile, ec))
        row.summary = parse_summary(read_text(dir / kSummaryFile));
      for (const auto& name : linked_files(f.name)) {
        if (fs::is_regular_file(dir / name, ec)) row.files.push_back(name);
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::string> steps_run(const std::vector<FlightReport>& rows) {
  std::vector<std::string> steps;
  for (const auto& row : rows) {
    if (!row.result) continue;
    for (const auto& st : row.result->steps) {
      if (std::find(steps.begin(), steps.end(), st.step) == steps.end()) steps.push_back(st.step);
    }
  }
  return steps;
}

std::string report_csv(const std::vector<FlightReport>& rows) {
  std::vector<std::string> header = {"name", "status", "exit_status", "failed_step", "reason"};
  header.insert(header.end(), kSummaryColumns.begin(), kSummaryColumns.end());
  header.insert(header.end(), {"time_taken", "steps"});
  std::string s;
  auto put_line = [&s](const std::vector<std::string>& fields) {
    for (std::size_t k = 0; k < fields.size(); ++k) {
      if (k > 0) s += ',';
      s += csv_field(fields[k]);
    }
    s += '\n';
  };
  put_line(header);
  for (const auto& row : rows) {
    std::vector<std::string> fields = {row.name, status_of(row)};
    if (row.result) {
      fields.insert(fields.end(),
                    {std::to_string(row.result->exit_status), row.result->failed_step, row.result->reason});
    } else {
      fields.insert(fields.end(), 3, "");
    }
    for (std::size_t k = 0; k < kSummaryColumns.size(); ++k)
      fields.push_back(row.summary ? (*row.summary)[k] : "");
    fields.push_back(row.result ? format_trimmed(row.result->seconds, 2) : "");
    fields.push_back(step_list(row));
    put_line(fields);
  }
  return s;
}

// Sorts the table by the column whose heading is clicked (again: the other way), numbers as numbers.
constexpr const char* kSortScript = R"(<script>
document.querySelectorAll("th").forEach((th, col) => th.addEventListener("click", () => {
  const body = th.closest("table").tBodies[0], up = th.dataset.up !== "1";
  th.dataset.up = up ? "1" : "0";
  const key = r => { const t = r.cells[col].textContent.trim(), n = Number(t); return t !== "" && !isNaN(n) ? n : t; };
  const rows = Array.from(body.rows).sort((a, b) => {
    const x = key(a), y = key(b);
    const c = typeof x === typeof y ? (x < y ? -1 : x > y ? 1 : 0) : typeof x === "number" ? -1 : 1;
    return up ? c : -c;
  });
  rows.forEach(r => body.appendChild(r));
}));
</script>
)";

std::string report_html(const std::vector<FlightReport>& rows, std::string_view title, bool campaign_map) {
  int done = 0, failed = 0, pending = 0;
  for (const auto& row : rows) {
    const auto st = status_of(row);
    (st == "done" ? done : st == "failed" ? failed : pending)++;
  }
  std::string steps;
  for (const auto& st : steps_run(rows)) steps += (steps.empty() ? "" : ", ") + st;
  std::string h;
  h += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  h += "<title>" + html_escape(title) + "</title>\n";
  h += "<style>\n"
       "body { font-family: sans-serif; margin: 1em; color: #222; max-width: 1380px; }\n"
       "table { border-collapse: collapse; font-size: 13px; }\n"
       "th, td { border: 1px solid #bbb; padding: 0.2em 0.35em; vertical-align: top; }\n"
       "th { background: #e8eef4; cursor: pointer; }\n"
       "th:hover { background: #d4e0ec; }\n"
       "td.num { text-align: right; font-variant-numeric: tabular-nums; }\n"
       "tr.failed td { background: #fde8e8; }\n"
       "tr.pending td { background: #f4f4f4; color: #777; }\n"
       "td.files a { display: block; font-size: 0.85em; }\n"
       "td.reason { min-width: 8em; max-width: 16em; overflow-wrap: break-word; }\n"
       "img { width: 150px; border: 1px solid #ccc; display: block; }\n"
       "img.campaign { width: 100%; max-width: 1000px; }\n"
       "</style>\n</head>\n<body>\n";
  h += "<h1>" + html_escape(title) + "</h1>\n";
  if (campaign_map) {
    h += "<a href=\"campaign.map.png\"><img class=\"campaign\" src=\"campaign.map.png\" "
         "alt=\"all tracks of the campaign\"></a>\n";
  }
  h += "<p>" + totals_html(campaign_totals(rows)) +
       " Totals as CSV: <a href=\"campaign_summary.csv\">campaign_summary.csv</a>.</p>\n";
  h += "<p>" + std::to_string(rows.size()) + " flights: " + std::to_string(done) + " done, " +
       std::to_string(failed) + " failed, " + std::to_string(pending) +
       " not processed. Steps run: " + html_escape(steps.empty() ? "none" : steps) +
       ". The same table as CSV: <a href=\"campaign.csv\">campaign.csv</a>. Click a heading to sort.</p>\n";
  h += "<table>\n<thead><tr><th>Flight</th><th>Status</th><th>Exit status</th><th>Reason</th>"
       "<th>Seconds</th><th>Retrieved seconds</th><th>Retrieved share</th><th>Max wind (m/s)</th>"
       "<th>Max rain (mm/h)</th><th>Damaged records</th><th>Time repaired</th><th>Time taken (s)</th>"
       "<th>Files</th><th>Time series</th><th>Map</th></tr></thead>\n<tbody>\n";
  constexpr std::size_t kTableColumns = 7;  // of kSummaryColumns; the place of the maximum is in the CSV
  for (const auto& row : rows) {
    const std::string dir = html_escape(row.name) + "/";
    const std::string st = status_of(row);
    h += "<tr class=\"" + st + "\" id=\"" + html_escape(row.name) + "\"><td>" + html_escape(row.name) +
         "</td><td>" + st + "</td><td class=\"num\">" +
         (row.result ? std::to_string(row.result->exit_status) : "") + "</td><td class=\"reason\">" +
         (row.result ? html_escape(row.result->reason) : "") + "</td>";
    for (std::size_t k = 0; k < kTableColumns; ++k) {
      h += "<td class=\"num\">" + (row.summary ? html_escape((*row.summary)[k]) : "") + "</td>";
    }
    h += "<td class=\"num\">" + (row.result ? format_trimmed(row.result->seconds, 2) : "") +
         "</td><td class=\"files\">";
    for (const auto& file : row.files)
      h += "<a href=\"" + dir + html_escape(file) + "\">" + html_escape(file) + "</a>";
    h += "</td>";
    for (const char* kind : {".timeseries.png", ".map.png"}) {
      const std::string image = row.name + kind;
      h += "<td>";
      if (row.result && row.result->done &&
          std::any_of(row.result->steps.begin(), row.result->steps.end(),
                      [](const StepRecord& s) { return s.step == "sfmrplot"; })) {
        h += "<a href=\"" + dir + html_escape(image) + "\"><img loading=\"lazy\" src=\"" + dir +
             html_escape(image) + "\" alt=\"" + html_escape(image) + "\"></a>";
      }
      h += "</td>";
    }
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n";
  h += kSortScript;
  h += "</body>\n</html>\n";
  return h;
}

void write_report(const std::vector<FlightReport>& rows, const fs::path& outdir, std::string_view title) {
  // The files are the campaign's own, replaced at every report.
  tool::publish_text(outdir / "campaign.csv", report_csv(rows), tool::Replace::kAlways);
  tool::publish_text(outdir / "campaign_summary.csv", totals_csv(campaign_totals(rows)),
                     tool::Replace::kAlways);
  std::error_code ec;
  tool::publish_text(outdir / "index.html",
                     report_html(rows, title, fs::is_regular_file(outdir / "campaign.map.png", ec)),
                     tool::Replace::kAlways);
}

}  // namespace sfmr::campaign
