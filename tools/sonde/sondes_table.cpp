#include "sonde/sondes_table.hpp"

#include <cmath>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::sonde {

namespace {

std::string number(double v, int decimals) {
  if (!std::isfinite(v)) return "";
  const std::string s = format_F(v, 16, decimals);
  return s.substr(s.find_first_not_of(' '));
}

// A text field without the table's separators.
std::string text_field(std::string s) {
  for (char& c : s) c = c == ',' || c == '\n' || c == '\r' || c == '"' ? ' ' : c;
  return s;
}

// The message's layer wind, else the profile's.
LayerWind either(const LayerWind& message, const LayerWind& profile) {
  return message.wind.known() ? message : profile;
}

}  // namespace

std::string iso_time(double t) {
  if (!std::isfinite(t)) return "";
  const double whole = std::round(t);
  const long days = static_cast<long>(std::floor(whole / kSecondsPerDay));
  const long sod = static_cast<long>(whole - static_cast<double>(days) * kSecondsPerDay);
  int y = 0, m = 0, d = 0;
  civil_from_days(days, y, m, d);
  return format_I(y, 4, 4) + "-" + format_I(m, 2, 2) + "-" + format_I(d, 2, 2) + "T" +
         format_I(sod / 3600, 2, 2) + ":" + format_I(sod / 60 % 60, 2, 2) + ":" + format_I(sod % 60, 2, 2) +
         "Z";
}

std::string sondes_csv(const ReadResult& read, const ReductionTable& table) {
  std::string out(kSondesHeader);
  out += '\n';
  for (const Sonde& s : read.sondes) {
    const SurfaceEstimate e = estimate_surface_wind(s, table);
    const LayerWind wl150 = either(s.wl150, e.wl150_profile), mbl = either(s.mbl, mbl_from_profile(s.levels));
    std::string note;
    const auto add = [&note](const std::string& why) { note += (note.empty() ? "" : "; ") + why; };
    if (!std::isfinite(s.release.time)) add("no release time");
    if (!std::isfinite(s.splash.lat))
      add("no splash point");
    else if (!std::isfinite(s.splash.time))
      add("no splash time");
    if (!e.wind.known()) add("no 10-m wind: " + e.note);
    if (!wl150.wind.known()) add("no WL150 in the message or from the profile");
    if (!mbl.wind.known()) add("no MBL in the message or from the profile");
    if (!e.wl150_check.empty()) add(e.wl150_check);
    const std::vector<std::string> fields = {
        text_field(s.id),          text_field(s.aircraft),       text_field(s.mission),
        iso_time(s.release.time),  number(s.release.lat, 4),     number(s.release.lon, 4),
        iso_time(s.splash.time),   number(s.splash.lat, 4),      number(s.splash.lon, 4),
        number(e.wind.speed, 2),   number(e.wind.from_deg, 1),   text_field(e.method_text),
        number(e.error, 2),        number(wl150.wind.speed, 2),  number(wl150.wind.from_deg, 1),
        number(mbl.wind.speed, 2), number(mbl.wind.from_deg, 1), text_field(note)};
    for (std::size_t k = 0; k < fields.size(); ++k) out += (k == 0 ? "" : ",") + fields[k];
    out += '\n';
  }
  for (const Skipped& k : read.skipped)
    out += text_field(k.sonde) + std::string(17, ',') + text_field("skipped: " + k.reason) + "\n";
  return out;
}

void write_sondes_table(const std::string& prefix, const ReadResult& read, const ReductionTable& table,
                        tool::Replace replace) {
  tool::publish_text(prefix + ".sondes.csv", sondes_csv(read, table), replace);
}

}  // namespace sfmr::sonde
