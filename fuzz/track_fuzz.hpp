// The body of the track reader targets (tools/tracks/track_file): a first line of one format, so that the
// reader takes the input as that format, then the input's bytes. Properties: a fault is a one-line message
// naming a line of the text (or the whole text as no track); an accepted file has storms with an id, points
// strictly in time order at valid positions, Vmax and RMW missing or not negative, and the interpolated
// track passes through each point; choosing a storm names at most ten of them.
#pragma once

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_util.hpp"
#include "tracks/track_file.hpp"

namespace sfmr::fuzz {

inline void check_track_file(std::string_view head, const std::uint8_t* data, std::size_t size) {
  const std::string text = std::string(head) + std::string(as_text(data, size));
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  storm::TrackFile file;
  try {
    file = storm::parse_track_file(text);
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    check(what.find('\n') == std::string::npos, "one-line message", what);
    if (what.rfind("line ", 0) == 0) {
      std::int32_t line = 0;
      check(read_value(what.substr(5, what.find(':') - 5), &line) && line >= 1 &&
                static_cast<std::size_t>(line) <= lines,
            "a line of the text", what);
    } else {
      check(what.rfind("not an ATCF b-deck, f-deck or HURDAT2 file", 0) == 0, "not a track", what);
    }
    return;
  }
  std::vector<std::string> ids;
  for (const storm::StormTrack& s : file.storms) {
    check(!s.id.empty() && !s.points.empty(), "a storm with an id and points", s.id);
    ids.push_back(s.id);
    for (std::size_t i = 0; i < s.points.size(); ++i) {
      const storm::TrackPoint& p = s.points[i];
      check(i == 0 || p.time > s.points[i - 1].time, "points in time order", s.id);
      check(std::fabs(p.lat) <= 90.0 && std::fabs(p.lon) <= 180.0, "a position", s.id);
      check(!(p.vmax_kt < 0.0) && !(p.rmw_nmi < 0.0), "Vmax and RMW missing or not negative", s.id);
      double lat = 0.0, lon = 0.0;
      storm::track_position(s, p.time, lat, lon);
      check(std::fabs(lat - p.lat) < 1e-6 && std::fabs(lon - p.lon) < 1e-6, "the track through its points",
            s.id);
    }
  }
  if (file.storms.size() > 1) {
    try {
      storm::choose_storm(file, "");
      check(false, "a choice needed among several storms");
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      std::size_t named = 0;
      for (const std::string& id : ids) named += what.find(" " + id) != std::string::npos;
      check(what.find(std::to_string(ids.size()) + " storms:") != std::string::npos && named <= 10,
            "the count and at most ten names", what);
    }
  }
}

}  // namespace sfmr::fuzz
