#include "look/flight_summary.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <map>

#include "common/time_text.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::look {

namespace {

// Console texts of a rejected record (the brightness and thermal decoders print one line for each).
constexpr std::string_view kDamagedTexts[] = {"%B Read Error @ ", "Therm Read Error: "};

// Row of the status table for every channel list with fewer than six channels.
constexpr std::string_view kFewerChannelsRow = "F with fewer channels (F0-2345 ...)";

bool finite(float v) {
  return std::isfinite(v);
}

void take_extreme(std::optional<Extreme>& e, double value, const flight::OutSecond& s) {
  if (e && value <= e->value) return;
  e = Extreme{value, s.elapsed, s.Lat, s.Lon, has_position(s)};
}

std::string position_label(const Extreme& e) {
  if (!e.position) return "position unknown";
  const auto hemisphere = [](double v, char pos, char neg) {
    return format_F(std::fabs(v), 7, 3) + (v < 0.0 ? neg : pos);
  };
  return hemisphere(e.lat, 'N', 'S') + hemisphere(e.lon, 'E', 'W');
}

std::string duration_label(std::int64_t s) {
  return std::to_string(s / 3600) + " h " + format_I(s % 3600 / 60, 2, 2) + " min " + format_I(s % 60, 2, 2) +
         " s";
}

}  // namespace

Band band_of(const flight::RetrievalStatus& status) {
  using K = flight::RetrievalKind;
  switch (status.kind) {
    case K::ChannelList:
      return std::all_of(status.channel_used.begin(), status.channel_used.end(), [](bool u) { return u; })
                 ? Band::AllChannels
                 : Band::FewerChannels;
    case K::Calm:
      return Band::AllChannels;
    case K::OverLand:
      return Band::OverLand;
    case K::BigRoll:
      return Band::BigRoll;
    case K::NoData:
      return Band::NoData;
    case K::NoSolution:
    case K::RefTempErr:
      return Band::NoSolution;
  }
  return Band::NoSolution;
}

std::string_view band_label(Band band) {
  switch (band) {
    case Band::AllChannels:
      return "retrieved, all channels";
    case Band::FewerChannels:
      return "retrieved, fewer channels";
    case Band::OverLand:
      return "over land";
    case Band::BigRoll:
      return "big roll";
    case Band::NoData:
      return "no data";
    case Band::NoSolution:
      return "no solution";
  }
  return "";
}

unsigned band_colour(Band band) {
  static constexpr unsigned kColours[kBands] = {0x2c7fb8, 0x9ecae1, 0xa6761d, 0xe7298a, 0xbdbdbd, 0xd62728};
  return kColours[static_cast<int>(band)];
}

bool has_retrieval(const flight::OutSecond& s) {
  return s.Err.retrieved() && finite(s.SFWS) && finite(s.SFRR);
}

bool has_onboard(const flight::OutSecond& s) {
  return s.PSErr.kind == flight::OnboardKind::ChannelList && finite(s.PSWS) && finite(s.PSRR);
}

bool has_position(const flight::OutSecond& s) {
  return finite(s.Lat) && finite(s.Lon) && std::fabs(s.Lat) <= 90.0f && std::fabs(s.Lon) <= 360.0f &&
         !(s.Lat == 0.0f && s.Lon == 0.0f);
}

void PairStats::add(double a, double b) {
  ++n_;
  sa_ += a;
  sb_ += b;
  saa_ += a * a;
  sbb_ += b * b;
  sab_ += a * b;
}

Comparison PairStats::result() const {
  Comparison c;
  c.n = n_;
  if (n_ == 0) return c;
  const double n = n_;
  c.bias = (sa_ - sb_) / n;
  c.rms = std::sqrt(std::max(0.0, (saa_ - 2.0 * sab_ + sbb_) / n));
  // Pearson correlation from the centred sums.
  const double va = saa_ - sa_ * sa_ / n, vb = sbb_ - sb_ * sb_ / n, cov = sab_ - sa_ * sb_ / n;
  if (n_ >= 3 && va > 0.0 && vb > 0.0) c.correlation = std::clamp(cov / std::sqrt(va * vb), -1.0, 1.0);
  return c;
}

FlightSummary summarise_flight(const std::vector<flight::OutSecond>& seconds) {
  FlightSummary s;
  s.seconds = static_cast<int>(seconds.size());
  if (seconds.empty()) return s;
  s.first = seconds.front().elapsed;
  s.last = seconds.back().elapsed;
  // Channel lists other than all six are one row: there are up to 62 of them.
  std::map<std::string, int> statuses;
  PairStats ws, rr;
  for (const flight::OutSecond& o : seconds) {
    s.time_repaired += o.time_quality == flight::TimeQuality::Repaired ? 1 : 0;
    s.time_unverified += o.time_quality == flight::TimeQuality::Unverified ? 1 : 0;
    const bool fewer = band_of(o.Err) == Band::FewerChannels;
    int& count = statuses[fewer ? std::string(kFewerChannelsRow) : std::string(trimmed(o.Err.text))];
    ++count;
    if (!has_retrieval(o)) continue;
    ++s.retrieved;
    take_extreme(s.max_ws, o.SFWS, o);
    take_extreme(s.max_rr, o.SFRR, o);
    if (!has_onboard(o)) continue;
    ws.add(o.SFWS, o.PSWS);
    rr.add(o.SFRR, o.PSRR);
  }
  s.ws_vs_onboard = ws.result();
  s.rr_vs_onboard = rr.result();
  s.statuses.assign(statuses.begin(), statuses.end());
  std::stable_sort(s.statuses.begin(), s.statuses.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return s;
}

int count_damaged_records(std::istream& console) {
  int n = 0;
  for (std::string line; std::getline(console, line);)
    for (std::string_view text : kDamagedTexts)
      if (line.starts_with(text)) ++n;
  return n;
}

std::string clock_label(std::int64_t elapsed) {
  const std::int64_t day = elapsed / kSecondsPerDay, sec = elapsed % kSecondsPerDay;
  std::string t = tool::clock_text(sec);
  if (day > 0) t += " +" + std::to_string(day) + "d";
  return t;
}

void print_flight_summary(std::ostream& os, std::string_view name, const FlightSummary& s) {
  const auto label = [&os](std::string_view text) { os << std::left << std::setw(28) << text << std::right; };
  label("Flight");
  os << name << '\n';
  label("Seconds processed");
  os << s.seconds << '\n';
  if (s.seconds == 0) return;
  label("Time span (UTC)");
  os << clock_label(s.first) << " to " << clock_label(s.last) << ", " << duration_label(s.last - s.first);
  const std::int64_t midnights = s.last / kSecondsPerDay - s.first / kSecondsPerDay;
  if (midnights == 1) os << ", across midnight";
  if (midnights > 1) os << ", across midnight " << midnights << " times";
  os << '\n';
  if (s.time_repaired + s.time_unverified > 0) {
    label("Seconds with time repaired");
    os << s.time_repaired + s.time_unverified << " (" << s.time_unverified << " unverified)\n";
  }
  label("Seconds with a retrieval");
  os << s.retrieved << " (" << format_F(100.0 * s.retrieved / s.seconds, 5, 1) << " %)\n";

  os << "Seconds per status text:\n";
  for (const auto& [text, count] : s.statuses)
    os << "  " << std::left << std::setw(36) << text << std::right << std::setw(8) << count
       << format_F(100.0 * count / s.seconds, 7, 1) << " %\n";

  const auto extreme = [&](std::string_view what, const std::optional<Extreme>& e, std::string_view unit) {
    label(what);
    if (!e) {
      os << "none (no retrieval)\n";
      return;
    }
    os << format_F(e->value, 6, 2) << ' ' << unit << " at " << clock_label(e->elapsed) << ", "
       << position_label(*e) << '\n';
  };
  extreme("Maximum wind speed", s.max_ws, "m/s ");
  extreme("Maximum rain rate", s.max_rr, "mm/h");

  os << "Retrieved minus onboard solution, over " << s.ws_vs_onboard.n << " seconds with both:\n";
  os << std::string(30, ' ') << "   bias     RMS  correlation\n";
  const auto row = [&os](std::string_view what, const Comparison& c) {
    os << "  " << std::left << std::setw(28) << what << std::right;
    if (c.n == 0) {
      os << "      -       -            -\n";
      return;
    }
    os << format_F(c.bias, 7, 2) << format_F(c.rms, 8, 2)
       << (c.correlation ? format_F(*c.correlation, 13, 3) : std::string(12, ' ') + "-") << '\n';
  };
  row("wind speed, m/s", s.ws_vs_onboard);
  row("rain rate, mm/h", s.rr_vs_onboard);
  if (s.damaged) {
    label("Damaged records (console)");
    os << *s.damaged << '\n';
  }
}

void print_flight_csv(std::ostream& os, const FlightSummary& s) {
  os << "seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records,"
        "time_repaired,max_wind_time,max_wind_lat,max_wind_lon\n";
  os << s.seconds << ',' << s.retrieved << ',';
  if (s.seconds > 0) os << format_trimmed(static_cast<double>(s.retrieved) / s.seconds, 4);
  os << ',';
  if (s.max_ws) os << format_trimmed(s.max_ws->value, 2);
  os << ',';
  if (s.max_rr) os << format_trimmed(s.max_rr->value, 2);
  os << ',';
  if (s.damaged) os << *s.damaged;
  os << ',' << s.time_repaired + s.time_unverified << ',';
  if (s.max_ws) os << clock_label(s.max_ws->elapsed);
  os << ',';
  if (s.max_ws && s.max_ws->position)
    os << format_trimmed(s.max_ws->lat, 3) << ',' << format_trimmed(s.max_ws->lon, 3);
  if (!(s.max_ws && s.max_ws->position)) os << ',';
  os << '\n';
}

}  // namespace sfmr::look
