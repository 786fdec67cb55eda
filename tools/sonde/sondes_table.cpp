#include "sonde/sondes_table.hpp"

#include <cmath>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::sonde {

namespace {

// A text field without the table's separators.
std::string text_field(std::string s) {
  for (char& c : s) c = c == ',' || c == '\n' || c == '\r' || c == '"' ? ' ' : c;
  return s;
}

// The message's layer wind, else the profile's.
LayerWind either(const LayerWind& message, const LayerWind& profile) {
  return message.wind.known() ? message : profile;
}

struct Builder {
  Table t;
  void text(std::size_t k, const std::string& v) { t[k].cells.push_back(text_field(v)); }
  void value(std::size_t k, double v, int decimals) {
    t[k].cells.push_back(t[k].kind == ColumnKind::kTime ? iso_time(v) : format_trimmed(v, decimals));
    t[k].values.push_back(v);
  }
};

Column column(const char* name, ColumnKind kind, const char* units = "", const char* standard_name = "",
              const char* long_name = "") {
  return {name, kind, units, standard_name, long_name, {}, {}};
}

}  // namespace

Table sondes_columns(const ReadResult& read, const ReductionTable& table) {
  using K = ColumnKind;
  Builder b{{column("sonde", K::kText, "", "", "sonde: aircraft, mission and observation"),
             column("aircraft", K::kText), column("mission", K::kText),
             column("release_time", K::kTime, "", "time", "release time"),
             column("release_lat", K::kNumber, "degrees_north", "latitude", "release latitude"),
             column("release_lon", K::kNumber, "degrees_east", "longitude", "release longitude"),
             column("splash_time", K::kTime, "", "time", "splash time"),
             column("splash_lat", K::kNumber, "degrees_north", "latitude", "splash latitude"),
             column("splash_lon", K::kNumber, "degrees_east", "longitude", "splash longitude"),
             column("surface_wind_speed", K::kNumber, "m s-1", "wind_speed", "sonde's 10-m wind speed"),
             column("surface_wind_from_direction", K::kNumber, "degree", "wind_from_direction"),
             column("surface_wind_method", K::kText),
             column("surface_wind_error", K::kNumber, "m s-1", "", "standard error of the sonde's 10-m wind"),
             column("wl150_speed", K::kNumber, "m s-1", "", "mean wind speed of the lowest 150 m"),
             column("wl150_from_direction", K::kNumber, "degree"),
             column("mbl_speed", K::kNumber, "m s-1", "", "mean wind speed of the lowest 500 m"),
             column("mbl_from_direction", K::kNumber, "degree"), column("note", K::kText)}};
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
    b.text(0, s.id), b.text(1, s.aircraft), b.text(2, s.mission);
    b.value(3, s.release.time, 0), b.value(4, s.release.lat, 4), b.value(5, s.release.lon, 4);
    b.value(6, s.splash.time, 0), b.value(7, s.splash.lat, 4), b.value(8, s.splash.lon, 4);
    b.value(9, e.wind.speed, 2), b.value(10, e.wind.from_deg, 1), b.text(11, e.method_text);
    b.value(12, e.error, 2), b.value(13, wl150.wind.speed, 2), b.value(14, wl150.wind.from_deg, 1);
    b.value(15, mbl.wind.speed, 2), b.value(16, mbl.wind.from_deg, 1), b.text(17, note);
  }
  for (const Skipped& k : read.skipped) {
    for (std::size_t c = 0; c < b.t.size(); ++c)
      if (b.t[c].kind == ColumnKind::kText)
        b.text(c, c == 0 ? k.sonde : c + 1 == b.t.size() ? "skipped: " + k.reason : "");
      else
        b.value(c, kNaN, 0);
  }
  return b.t;
}

std::string table_csv(const Table& table) {
  std::string out;
  for (std::size_t c = 0; c < table.size(); ++c) out += (c == 0 ? "" : ",") + table[c].name;
  out += '\n';
  const std::size_t rows = table.empty() ? 0 : table.front().cells.size();
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < table.size(); ++c) out += (c == 0 ? "" : ",") + table[c].cells[r];
    out += '\n';
  }
  return out;
}

std::string sondes_csv(const ReadResult& read, const ReductionTable& table) {
  return table_csv(sondes_columns(read, table));
}

void write_sondes_table(const std::string& prefix, const ReadResult& read, const ReductionTable& table,
                        tool::Replace replace) {
  tool::publish_text(prefix + ".sondes.csv", sondes_csv(read, table), replace);
}

}  // namespace sfmr::sonde
