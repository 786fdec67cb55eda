// The reader of one TEMP DROP bulletin's parts (see tempdrop.hpp for the code).
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/constants.hpp"
#include "sonde/tempdrop_codes.hpp"

namespace sfmr::sonde::tempdrop {

namespace {

const std::string& at(const std::vector<std::string>& g, std::size_t i, const char* what) {
  if (i >= g.size()) throw Malformed(std::string("part ends before its ") + what);
  return g[i];
}

void expect_size(const std::string& g, const char* what) {
  if (g.size() != 5) throw Malformed(std::string(what) + " '" + g + "'");
}

}  // namespace

BulletinReader::BulletinReader(std::string_view heading, const DateContext& context)
    : heading_(heading.substr(heading.find_first_not_of(" \t"))), context_(context) {
  sonde_.heading = heading_;
}

std::string BulletinReader::name(const std::vector<std::string_view>& body) const {
  if (sonde_.observation > 0)
    return heading_ + " OB " + (sonde_.observation < 10 ? "0" : "") + std::to_string(sonde_.observation);
  for (std::string_view line : body) {
    const std::size_t ob = line.find(" OB ");
    if (ob == std::string_view::npos) continue;
    const std::string_view rest = line.substr(ob + 4);
    return heading_ + " OB " + std::string(rest.substr(0, rest.find(' ')));
  }
  return heading_;
}

void BulletinReader::read_ident(const std::vector<std::string>& g, std::size_t& i, bool part_a) {
  const std::string& yygg = at(g, i++, "identification");
  const std::string& la = at(g, i++, "latitude");
  const std::string& lo = at(g, i++, "longitude");
  const int yy = digits(yygg, 0, 2), gg = digits(yygg, 2, 2), l = digits(la, 2, 3), q = digits(lo, 0, 1),
            n = digits(lo, 1, 4);
  if (yygg.size() != 5 || yy < 1 || yy % 50 < 1 || yy % 50 > 31 || yy > 81 || gg < 0 || gg > 23)
    throw Malformed("identification group '" + yygg + "'");
  if (la.size() != 5 || la.compare(0, 2, "99") != 0 || l < 0 || l > 900)
    throw Malformed("latitude group '" + la + "'");
  if (lo.size() != 5 || (q != 1 && q != 3 && q != 5 && q != 7) || n < 0 || n > 1800)
    throw Malformed("longitude group '" + lo + "'");
  Ident id{.day = yy % 50, .hour = gg, .last_wind = -1, .knots = yy > 50};
  id.lat = (q == 3 || q == 5 ? -l : l) / 10.0;
  id.lon = (q == 5 || q == 7 ? -n : n) / 10.0;
  if (part_a) {
    const char c = yygg[4];
    if (c != '/' && (c < '0' || c > '9')) throw Malformed("identification group '" + yygg + "'");
    // The last standard level with a wind, by its hundreds of hPa (0: 1000, 9: 925, 8: 850).
    constexpr int kByDigit[10] = {1000, 100, 200, 300, 400, 500, 600, 700, 850, 925};
    if (c != '/') id.last_wind = kByDigit[c - '0'];
  }
  if (have_ident_ && (id.day != ident_.day || id.knots != ident_.knots))
    throw Malformed("parts A and B disagree on the day or the wind unit");
  if (!have_ident_ || part_a) ident_ = id;
  have_ident_ = true;
}

void BulletinReader::read_part_a(const std::vector<std::string>& g, std::size_t& i) {
  read_ident(g, i, true);
  if (i < g.size() && g[i].compare(0, 2, "99") != 0) ++i;  // the Marsden square group
  while (i < g.size() && !is_indicator(g[i])) {
    const std::string& lv = g[i++];
    expect_size(lv, "level group");
    const std::string nn = lv.substr(0, 2);
    if (nn == "88" || nn == "77" || nn == "66") {
      if (lv.compare(2, 3, "999") == 0) continue;
      Level l;
      l.kind = nn == "88" ? LevelKind::kSignificant : LevelKind::kWind;
      l.pressure = pressure_hpa(lv.substr(2));
      if (nn == "88") {
        const Temperature t = decode_temperature(at(g, i++, "tropopause temperature"));
        l.temperature = t.temperature, l.dewpoint_depression = t.dewpoint_depression;
      }
      l.wind = decode_wind(at(g, i++, "wind"), ident_.knots);
      if (nn != "88" && i < g.size() && g[i].size() == 5 && g[i][0] == '4' && !is_indicator(g[i])) ++i;
      continue;  // the tropopause and the maximum wind are not levels of the profile
    }
    Level l;
    l.kind = nn == "99" ? LevelKind::kSurface : LevelKind::kStandard;
    if (nn == "99") {
      l.pressure = pressure_hpa(lv.substr(2)), l.height = 0.0;
      surface_pressure_ = l.pressure;
    } else {
      l.pressure = standard_pressure(nn);
      if (!std::isfinite(l.pressure)) throw Malformed("level group '" + lv + "'");
      l.height = decode_height(l.pressure, lv.substr(2));
    }
    const Temperature t = decode_temperature(at(g, i++, "temperature"));
    l.temperature = t.temperature, l.dewpoint_depression = t.dewpoint_depression;
    if (nn == "99") {
      surface_a_ = decode_wind(at(g, i++, "surface wind"), ident_.knots);
    } else if (ident_.last_wind > 0 && l.pressure >= ident_.last_wind) {
      l.wind = decode_wind(at(g, i++, "wind"), ident_.knots);
    }
    sonde_.levels.push_back(l);
  }
  have_a_ = true;
}

void BulletinReader::read_part_b(const std::vector<std::string>& g, std::size_t& i) {
  read_ident(g, i, false);
  // The significant levels come in pairs: an odd count of groups before the next section means a Marsden
  // square group first.
  std::size_t n = 0;
  while (i + n < g.size() && !is_indicator(g[i + n])) ++n;
  if (n % 2 == 1) ++i;
  while (i < g.size() && !is_indicator(g[i])) {
    const std::string& lv = g[i++];
    expect_size(lv, "significant level group");
    if (lv[0] != lv[1] || digits(lv, 0, 2) < 0) throw Malformed("significant level group '" + lv + "'");
    Level l;
    l.kind = lv[0] == '0' ? LevelKind::kSurface : LevelKind::kSignificant;
    l.pressure = pressure_hpa(lv.substr(2));
    if (l.kind == LevelKind::kSurface) {
      l.height = 0.0;
      surface_pressure_ = l.pressure;
    }
    const Temperature t = decode_temperature(at(g, i++, "temperature"));
    l.temperature = t.temperature, l.dewpoint_depression = t.dewpoint_depression;
    sonde_.levels.push_back(l);
  }
  have_b_ = true;
}

void BulletinReader::read_sections(const std::vector<std::string>& g, std::size_t& i, bool part_b) {
  while (i < g.size()) {
    const std::string ind = g[i++];
    const auto until_indicator = [&] {
      std::vector<std::string> words;
      while (i < g.size() && !is_indicator(g[i])) words.push_back(g[i++]);
      return words;
    };
    if (ind == "21212" && part_b) {
      while (i < g.size() && !is_indicator(g[i])) {
        const std::string& lv = g[i++];
        expect_size(lv, "wind level group");
        if (lv[0] != lv[1] || digits(lv, 0, 2) < 0) throw Malformed("wind level group '" + lv + "'");
        const Level l{.kind = LevelKind::kWind,
                      .pressure = pressure_hpa(lv.substr(2)),
                      .wind = decode_wind(at(g, i++, "wind"), ident_.knots)};
        if (lv[0] == '0')
          surface_b_ = l.wind;
        else
          sonde_.levels.push_back(l);
      }
    } else if (ind == "31313") {
      const std::vector<std::string> w = until_indicator();
      // sr rara sasa, then 8GGgg: the launch time.
      if (w.size() >= 2 && w[1].size() == 5 && w[1][0] == '8') {
        const int hh = digits(w[1], 1, 2), mm = digits(w[1], 3, 2);
        if (hh < 0 || hh > 23 || mm < 0 || mm > 59) throw Malformed("launch time group '" + w[1] + "'");
        launch_ = hh * 3600 + mm * 60;
      }
    } else if (ind == "61616") {
      read_mission(until_indicator());
    } else if (ind == "62626") {
      std::vector<std::string> words(g.begin() + static_cast<std::ptrdiff_t>(i), g.end());
      i = g.size();
      read_remarks(words);
    } else {
      until_indicator();  // a section or group this reader does not use
    }
  }
}

void BulletinReader::read_mission(const std::vector<std::string>& w) {
  if (have_mission_) return;
  if (w.size() < 2) throw Malformed("61616 without aircraft and mission");
  sonde_.aircraft = w[0], sonde_.mission = w[1];
  std::size_t k = 2;
  for (; k < w.size() && w[k] != "OB"; ++k) sonde_.storm += (sonde_.storm.empty() ? "" : " ") + w[k];
  if (k + 1 < w.size()) {
    const int ob = digits(w[k + 1], 0, w[k + 1].size());
    if (w[k + 1].empty() || w[k + 1].size() > 4 || ob < 0)
      throw Malformed("observation number '" + w[k + 1] + "'");
    sonde_.observation = ob;
  }
  have_mission_ = true;
}

void BulletinReader::read_remarks(const std::vector<std::string>& w) {
  if (have_remarks_) return;
  bool keyword_seen = false;
  const auto wind_after = [&](std::size_t k, const char* what) {
    if (k >= w.size()) throw Malformed(std::string(what) + " without its wind");
    return decode_wind(w[k], ident_.knots);
  };
  for (std::size_t k = 0; k < w.size(); ++k) {
    const std::string& word = w[k];
    if (word == "REL" || word == "SPG" || word == "SPL") {
      Point& p = word == "REL" ? sonde_.release : sonde_.splash;
      int& t = word == "REL" ? release_ : splash_;
      if (k + 2 >= w.size() || !decode_position(w[k + 1], p.lat, p.lon) ||
          (t = decode_time_of_day(w[k + 2])) < 0)
        throw Malformed(word + " point and time malformed");
      k += 2;
    } else if ((word == "MBL" || word == "DLM" || word == "LST") && k + 1 < w.size() && w[k + 1] == "WND") {
      if (word == "MBL") sonde_.mbl.wind = wind_after(k + 2, "MBL WND");
      if (word == "LST") {
        const std::string& z = k + 2 < w.size() ? w[k + 2] : word;
        const int h = digits(z, 0, z.size());
        if (z.empty() || z.size() > 5 || h < 0) throw Malformed("LST WND height '" + z + "'");
        sonde_.last_wind_height = h;
      }
      if (word == "DLM") wind_after(k + 2, "DLM WND");
      k += 2 + (word == "DLM" && k + 3 < w.size());  // DLM WND dddff pppPPP
    } else if (word == "WL150") {
      sonde_.wl150.wind = wind_after(k + 1, "WL150");
      const std::string& z = k + 2 < w.size() ? w[k + 2] : word;
      const int h = digits(z, 0, z.size());
      if (z.empty() || z.size() > 4 || h < 0) throw Malformed("WL150 mean height '" + z + "'");
      sonde_.wl150.mean_height = h;
      k += 2;
    } else if (word == "AEV") {
      ++k;
    } else {
      if (!keyword_seen) sonde_.where += (sonde_.where.empty() ? "" : " ") + word;
      continue;
    }
    keyword_seen = true;
  }
  have_remarks_ = true;
}

void BulletinReader::add_part(const std::string& name, const std::vector<std::string>& groups) {
  std::size_t i = 1;
  if (name == "XXAA") {
    if (have_a_) throw Malformed("a second part XXAA");
    read_part_a(groups, i);
  } else if (name == "XXBB") {
    if (have_b_) throw Malformed("a second part XXBB");
    read_part_b(groups, i);
  } else {
    return;  // XXCC, XXDD: above 100 hPa, not used
  }
  read_sections(groups, i, name == "XXBB");
}

// A time of the observation day, put on the day before or after when it lies more than 12 h from the hour
// of the identification group (a sonde released before midnight and reported after it).
double BulletinReader::time_of(int seconds_of_day) const {
  if (seconds_of_day < 0) return kNaN;
  const double day = day_start(context_, sent_day_, ident_.day);
  double offset = seconds_of_day - ident_.hour * 3600.0;
  if (offset > kSecondsPerDay / 2) offset -= kSecondsPerDay;
  if (offset < -kSecondsPerDay / 2) offset += kSecondsPerDay;
  return day + ident_.hour * 3600.0 + offset;
}

// Heights of the levels: 0 m at the surface pressure, the stated heights of the standard levels, and between
// them the hypsometric equation z2 - z1 = Rd Tv / g ln(p1 / p2) with Tv the mean of the two levels' virtual
// temperatures (linear in ln p); where a temperature is missing, z linear in ln p between known heights.
void BulletinReader::assign_heights() {
  struct Node {
    double p, z, tv;
  };
  std::vector<Node> nodes;
  for (const Level& l : sonde_.levels) {
    if (!std::isfinite(l.pressure) || !(l.pressure <= surface_pressure_)) continue;
    if (l.kind == LevelKind::kWind && !std::isfinite(l.temperature)) continue;
    const double tv = std::isfinite(l.temperature)
                          ? virtual_temperature(l.temperature, l.dewpoint_depression, l.pressure)
                          : kNaN;
    nodes.push_back({l.pressure, l.kind == LevelKind::kSurface ? 0.0 : l.height, tv});
  }
  std::stable_sort(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) { return a.p > b.p; });
  if (nodes.empty() || nodes[0].p != surface_pressure_)
    nodes.insert(nodes.begin(), {surface_pressure_, 0.0, kNaN});
  const double scale = kDryAirGasConstant / kGravity;
  for (std::size_t k = 1; k < nodes.size(); ++k) {
    Node& n = nodes[k];
    const Node& b = nodes[k - 1];
    if (!std::isfinite(n.z) && std::isfinite(b.z) && std::isfinite(b.tv) && std::isfinite(n.tv))
      n.z = b.z + scale * 0.5 * (b.tv + n.tv) * std::log(b.p / n.p);
  }
  std::erase_if(nodes, [](const Node& n) { return !std::isfinite(n.z); });
  const auto height_at = [&](double p) {
    for (std::size_t k = 0; k + 1 < nodes.size(); ++k) {
      const Node &a = nodes[k], &b = nodes[k + 1];
      if (p > a.p || p < b.p) continue;
      const double w = std::log(a.p / p) / std::log(a.p / b.p);
      if (!std::isfinite(w)) return a.z;
      if (!std::isfinite(a.tv) || !std::isfinite(b.tv)) return a.z + w * (b.z - a.z);
      const double tv = a.tv + w * (b.tv - a.tv);
      return a.z + scale * 0.5 * (a.tv + tv) * std::log(a.p / p);
    }
    return p == surface_pressure_ ? 0.0 : kNaN;
  };
  for (Level& l : sonde_.levels) {
    if (!std::isfinite(l.height)) l.height = height_at(l.pressure);
  }
}

Sonde BulletinReader::finish() {
  if (!have_a_ && !have_b_) throw Malformed("no part XXAA or XXBB");
  // `TTAAii CCCC ddhhmm`, perhaps followed by a correction or amendment indicator (RRA, CCA, AAA).
  const std::size_t time_at =
      heading_.find_first_not_of(' ', heading_.find(' ', heading_.find_first_not_of(' ', 6)));
  const int sent = time_at == std::string::npos ? -1 : digits(heading_, time_at, 6);
  const bool ends = sent >= 0 && (time_at + 6 == heading_.size() || heading_[time_at + 6] == ' ');
  if (!ends || sent < 0 || sent / 10000 < 1 || sent / 10000 > 31)
    throw Malformed("heading '" + heading_ + "' is not 'TTAAii CCCC ddhhmm'");
  sent_day_ = sent / 10000;
  if (!std::isfinite(day_start(context_, sent_day_, ident_.day)))
    throw Malformed("day " + std::to_string(ident_.day) + " is not in the month");
  if (release_ < 0 && launch_ >= 0) release_ = launch_;
  if (!std::isfinite(sonde_.release.lat)) sonde_.release.lat = ident_.lat, sonde_.release.lon = ident_.lon;
  sonde_.release.time = time_of(release_);
  sonde_.splash.time = time_of(splash_);
  sonde_.surface_wind = have_b_ && surface_b_.known() ? surface_b_ : surface_a_;
  if (sonde_.surface_wind.known()) {
    sonde_.surface_wind_height = std::isfinite(sonde_.last_wind_height) ? sonde_.last_wind_height : 10.0;
    sonde_.levels.push_back({.kind = LevelKind::kWind,
                             .pressure = surface_pressure_,
                             .height = sonde_.surface_wind_height,
                             .wind = sonde_.surface_wind});
  }
  if (std::isfinite(surface_pressure_)) assign_heights();
  char ob[8];
  std::snprintf(ob, sizeof ob, "%02d", sonde_.observation);
  sonde_.id = sonde_.aircraft.empty() ? heading_ : sonde_.aircraft + "-" + sonde_.mission + "-OB" + ob;
  return sonde_;
}

}  // namespace sfmr::sonde::tempdrop
