#include "sim/summary.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "core/text.hpp"
#include "records/aircraft.hpp"

namespace sfmr::sim {

namespace {

std::vector<std::string> split_commas(const std::string& line) {
  std::vector<std::string> parts;
  std::istringstream in(line);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  return parts;
}

bool number(const std::string& text, double& value) {
  float v = 0.0f;
  if (!read_value(text, &v)) return false;
  value = v;
  return true;
}

// "HH:MM:SS" to the second of day, -1 when it is not a time.
int clock_seconds(const std::string& text) {
  std::int32_t sec = -1;
  decodetime(fixed_text(text), sec);
  return sec;
}

void accumulate(Stats& st, double diff) {
  ++st.n;
  st.bias += diff;
  st.rms += diff * diff;
}

void finish(Stats& st) {
  if (st.n == 0) return;
  st.bias /= st.n;
  st.rms = std::sqrt(st.rms / st.n);
}

}  // namespace

std::vector<OutputSecond> read_output(std::istream& in) {
  std::vector<OutputSecond> out;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> c = split_commas(line);
    if (c.size() != 28) continue;
    OutputSecond o;
    o.sec = clock_seconds(c[0]);
    if (o.sec < 0) continue;
    o.status = std::string(trimmed(c[23]));
    o.retrieved = !o.status.empty() && o.status[0] == 'F';
    o.values_ok = number(c[20], o.sfws) && number(c[21], o.sfrr);
    // The onboard status is a channel list ("F012345", "*0-2345") when its processor had a solution.
    const std::string& ps = c[27];
    o.onboard_ok = number(c[24], o.psws) && number(c[25], o.psrr) && ps.size() >= 2 &&
                   ((ps[1] >= '0' && ps[1] <= '5') || ps[1] == '-');
    out.push_back(o);
  }
  return out;
}

std::map<int, TruthSecond> read_truth(std::istream& in) {
  std::map<int, TruthSecond> truth;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> c = split_commas(line);
    if (c.size() != 6) continue;
    double sec = 0.0, land = 0.0;
    TruthSecond t;
    if (!number(c[0], sec) || !number(c[1], t.ws) || !number(c[2], t.rr) || !number(c[5], land)) continue;
    t.land = land != 0.0;
    truth[static_cast<int>(sec)] = t;
  }
  return truth;
}

Summary summarise(const std::vector<OutputSecond>& out, const std::map<int, TruthSecond>& truth) {
  Summary s;
  s.seconds = static_cast<int>(out.size());
  for (const OutputSecond& o : out) {
    std::string key = o.status;
    if (o.retrieved)
      key = o.status == "F012345" ? "retrieved, all six channels" : "retrieved, fewer channels";
    ++s.statuses[key];
    if (!o.retrieved || !o.values_ok) continue;
    ++s.retrieved;
    s.max_ws = std::max(s.max_ws, o.sfws);
    s.max_rr = std::max(s.max_rr, o.sfrr);
    const auto t = truth.find(o.sec);
    if (t == truth.end()) continue;
    accumulate(s.ws, o.sfws - t->second.ws);
    accumulate(s.rr, o.sfrr - t->second.rr);
    if (o.onboard_ok) {
      accumulate(s.onboard_ws, o.psws - t->second.ws);
      accumulate(s.onboard_rr, o.psrr - t->second.rr);
    }
  }
  for (Stats* st : {&s.ws, &s.rr, &s.onboard_ws, &s.onboard_rr}) finish(*st);

  for (int lag = 0; lag <= 10; ++lag) {
    Stats ws, rr;
    for (const OutputSecond& o : out) {
      if (!o.retrieved || !o.values_ok) continue;
      const auto t = truth.find((o.sec - lag + 86400) % 86400);
      if (t == truth.end()) continue;
      accumulate(ws, o.sfws - t->second.ws);
      accumulate(rr, o.sfrr - t->second.rr);
    }
    finish(ws);
    finish(rr);
    if (lag == 0 || ws.rms < s.ws_lagged.rms) {
      s.lag = lag;
      s.ws_lagged = ws;
      s.rr_lagged = rr;
    }
  }
  return s;
}

void print_summary(std::ostream& os, const Summary& s) {
  os << "Seconds processed:        " << s.seconds << '\n';
  os << "Status texts:\n";
  std::vector<std::pair<std::string, int>> statuses(s.statuses.begin(), s.statuses.end());
  std::stable_sort(statuses.begin(), statuses.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  for (const auto& [text, count] : statuses)
    os << "  " << std::left << std::setw(30) << text << std::right << std::setw(7) << count << '\n';
  os << "Seconds with a retrieval: " << s.retrieved << '\n';
  os << "Maximum wind speed:       " << format_F(s.max_ws, 6, 2) << " m/s\n";
  os << "Maximum rain rate:        " << format_F(s.max_rr, 6, 2) << " mm/h\n";
  const std::string lagged = "truth " + std::to_string(s.lag) + " s earlier";
  auto row = [&os](const std::string& label, const Stats& st) {
    os << "  " << std::left << std::setw(44) << label << std::right << format_F(st.bias, 7, 2)
       << format_F(st.rms, 8, 2) << '\n';
  };
  os << "Against the truth, over " << s.ws.n << " seconds with a retrieval:\n";
  os << std::string(46, ' ') << "   bias     RMS\n";
  row("retrieved wind speed, m/s", s.ws);
  row("retrieved rain rate, mm/h", s.rr);
  row("retrieved wind speed, m/s, " + lagged, s.ws_lagged);
  row("retrieved rain rate, mm/h, " + lagged, s.rr_lagged);
  row("onboard wind speed, m/s", s.onboard_ws);
  row("onboard rain rate, mm/h", s.onboard_rr);
}

void write_plot_data(std::ostream& os, const std::vector<OutputSecond>& out,
                     const std::map<int, TruthSecond>& truth) {
  auto value = [](bool ok, double v) { return ok ? format_F(v, 8, 3) : std::string("     NaN"); };
  int day_offset = 0;
  int last = -1;
  os << "# hours sfws sfrr psws psrr truth_ws truth_rr\n";
  for (const OutputSecond& o : out) {
    if (last >= 0 && o.sec < last - 43200) day_offset += 86400;  // past midnight
    last = o.sec;
    const auto t = truth.find(o.sec);
    const bool has_truth = t != truth.end() && !t->second.land;
    const bool solved = o.retrieved && o.values_ok;
    os << format_F((o.sec + day_offset) / 3600.0, 10, 5) << value(solved, o.sfws) << value(solved, o.sfrr)
       << value(o.onboard_ok, o.psws) << value(o.onboard_ok, o.psrr)
       << value(has_truth, has_truth ? t->second.ws : 0.0) << value(has_truth, has_truth ? t->second.rr : 0.0)
       << '\n';
  }
}

}  // namespace sfmr::sim
