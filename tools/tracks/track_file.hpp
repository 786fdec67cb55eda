// Storm tracks from the three exchange formats: ATCF b-deck (best track), ATCF f-deck (fixes; the centre
// fixes are read) and HURDAT2, recognised from their content. Storms are keyed by basin, number and year
// (AL092024), never by name; f-deck fixes with a blank basin and cyclone number (sfmrstorm's own, made
// without a track) belong to the storm "unnumbered-YYYY" of their year. Every fault names the file's line and
// the field.
//
// Positions: b-deck tenths of a degree (245N), f-deck hundredths (2441N), HURDAT2 degrees (24.5N). Zeros
// (ATCF) and -999 (HURDAT2) in Vmax and RMW are missing (NaN), never zero.
#pragma once

#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace sfmr::storm {

enum class TrackFormat { kBdeck, kFdeck, kHurdat2 };

// The wind thresholds of the radii, kt: R34, R50 and R64, the rows of TrackPoint::radii_nmi.
constexpr std::array<double, 3> kRadiiThresholdsKt = {34.0, 50.0, 64.0};

struct TrackPoint {
  double time = 0.0;  // s since 1970-01-01 UTC
  double lat = 0.0;   // deg north
  double lon = 0.0;   // deg east
  double vmax_kt = 0.0;
  double rmw_nmi = 0.0;
  // Wind radii, n mi: R34 NE SE SW NW, then R50 and R64 in the same order; NaN where the file gives none
  // (b-deck lines without quadrant radii, zeros and -999; the f-deck's are not read).
  std::array<double, 12> radii_nmi = {NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN};
};

struct StormTrack {
  std::string id;                  // basin, number and year: AL092024
  std::string name;                // as written, may be empty
  std::vector<TrackPoint> points;  // sorted by time, one per time
};

struct TrackFile {
  TrackFormat format = TrackFormat::kBdeck;
  std::vector<StormTrack> storms;  // in the order of their first line
};

// Parses the text of a track file. Throws std::runtime_error "line N: ..." for a malformed line, or
// "not an ATCF b-deck, f-deck or HURDAT2 file" when the first data line fits none of them.
TrackFile parse_track_file(std::string_view text);

// "3 storms: AL012020 AL022020 AL032020"; more than ten items as the first nine, "...", and the last.
std::string counted_list(const std::vector<std::string>& items, const std::string& one,
                         const std::string& many);

// The storm `id`, or the only storm when `id` is empty. Throws std::runtime_error naming the storms found
// when the id is not there or a choice is needed.
const StormTrack& choose_storm(const TrackFile& file, const std::string& id);

// The value of `field` (lat, vmax_kt, ...) at `time` by linear interpolation between the two nearest points
// (linear extrapolation from the end pair outside; the single point's value when there is one); NaN when
// the pair has a NaN.
double track_value(const StormTrack& track, double time, double TrackPoint::*field);

// Position at `time`: track_value of latitude and longitude.
void track_position(const StormTrack& track, double time, double& lat, double& lon);

const char* format_name(TrackFormat format);

}  // namespace sfmr::storm
