#include "look/truth.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>

#include "common/earth.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "look/flight_summary.hpp"

namespace sfmr::look {

namespace {

constexpr int kMaxLag = 10;  // s

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

// Distance between two positions (deg), km, by the tools' earth model (the longitudes' difference taken
// across the dateline where that is shorter).
double distance_km(double lat1, double lon1, double lat2, double lon2) {
  double km = 0.0, bearing = 0.0;
  earth::range_bearing(lat1, lon1, lat2, lon1 + std::remainder(lon2 - lon1, 360.0), km, bearing);
  return km;
}

// "HH:MM:SS to HH:MM:SS" of a set of seconds of the day.
std::string clock_span(int first, int last) {
  return clock_label(first) + " to " + clock_label(last);
}

}  // namespace

std::string truth_mismatch(const std::vector<flight::OutSecond>& seconds,
                           const std::map<int, TruthSecond>& truth) {
  if (truth.empty()) return "no truth line";
  std::vector<double> distances;
  int shared = 0, retrieved = 0;
  for (const flight::OutSecond& o : seconds) {
    const auto t = truth.find(o.clock);
    if (t == truth.end()) continue;
    ++shared;
    if (has_retrieval(o)) ++retrieved;
    if (has_position(o) && std::isfinite(t->second.lat) && std::isfinite(t->second.lon))
      distances.push_back(distance_km(o.Lat, o.Lon, t->second.lat, t->second.lon));
  }
  if (shared == 0 && !seconds.empty())
    return "does not overlap the flight in time (truth " +
           clock_span(truth.begin()->first, truth.rbegin()->first) + ", flight " +
           clock_span(seconds.front().clock, seconds.back().clock) + " UTC)";
  if (!distances.empty()) {
    std::nth_element(distances.begin(), distances.begin() + distances.size() / 2, distances.end());
    const double median = distances[distances.size() / 2];
    if (!(median <= kTruthDistanceKm))
      return "lies " + format_trimmed(median, 1) + " km from the flight's positions (median over " +
             std::to_string(distances.size()) + " seconds; at most " + format_trimmed(kTruthDistanceKm, 1) +
             " km)";
  }
  if (retrieved == 0) return "shares no second with a retrieval of the flight";
  return {};
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
    if (!number(c[3], t.lat) || !number(c[4], t.lon)) t.lat = t.lon = NAN;
    t.land = land != 0.0;
    truth[static_cast<int>(sec)] = t;
  }
  return truth;
}

TruthSummary compare_with_truth(const std::vector<flight::OutSecond>& seconds,
                                const std::map<int, TruthSecond>& truth) {
  TruthSummary s;
  for (const flight::OutSecond& o : seconds) {
    if (!has_retrieval(o)) continue;
    const auto t = truth.find(o.clock);
    if (t == truth.end()) continue;
    accumulate(s.ws, o.SFWS - t->second.ws);
    accumulate(s.rr, o.SFRR - t->second.rr);
    if (has_onboard(o)) {
      accumulate(s.onboard_ws, o.PSWS - t->second.ws);
      accumulate(s.onboard_rr, o.PSRR - t->second.rr);
    }
  }
  for (Stats* st : {&s.ws, &s.rr, &s.onboard_ws, &s.onboard_rr}) finish(*st);

  for (int lag = 0; lag <= kMaxLag; ++lag) {
    Stats ws, rr;
    for (const flight::OutSecond& o : seconds) {
      if (!has_retrieval(o)) continue;
      const auto t = truth.find((o.clock - lag + kSecondsPerDay) % kSecondsPerDay);
      if (t == truth.end()) continue;
      accumulate(ws, o.SFWS - t->second.ws);
      accumulate(rr, o.SFRR - t->second.rr);
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

void print_truth_summary(std::ostream& os, const TruthSummary& s) {
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

}  // namespace sfmr::look
