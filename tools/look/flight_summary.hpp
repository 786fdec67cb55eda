// Summary of any processed flight, from its output file alone (and, when given, the console transcript of
// its run): seconds and time span, seconds per status text, share of seconds with a retrieval, the largest
// retrieved wind speed and rain rate with their time and position, and the retrieval against the onboard
// solution over the seconds where both exist.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "out_file/out_reader.hpp"

namespace sfmr::look {

// What a second's retrieval status amounts to, in the order of the quick-look status band.
enum class Band { AllChannels, FewerChannels, OverLand, BigRoll, NoData, NoSolution };
constexpr int kBands = 6;

// The band of a second: a channel list with all six channels (or the calm-sea solution) is AllChannels;
// RefTempErr counts as NoSolution (the solver was not run for an instrument fault).
Band band_of(const flight::RetrievalStatus& status);

// Label of a band for the plot's legend ("retrieved, all channels", ...); the one place the labels are
// written.
std::string_view band_label(Band band);
// Colour of a band in the plot, 0xRRGGBB: all channels, fewer channels, over land, big roll, no data, no
// solution; the one place the colours are written.
unsigned band_colour(Band band);

// A retrieval's wind speed and rain rate are this second's solution and can be read.
bool has_retrieval(const flight::OutSecond& s);
// The onboard processor's wind speed and rain rate are a solution (a channel list) and can be read.
bool has_onboard(const flight::OutSecond& s);
// The position can be read and lies on the globe; 0,0 is the zero of a run without aircraft records yet.
bool has_position(const flight::OutSecond& s);

// The largest value of a quantity, with the line where it occurs.
struct Extreme {
  double value = 0.0;
  std::int64_t elapsed = 0;  // s since the first line's midnight
  double lat = 0.0, lon = 0.0;
  bool position = false;  // lat and lon are valid
};

// Differences a - b over n pairs: bias (mean difference), RMS difference, and the correlation of a and b
// (Pearson; absent when fewer than 3 pairs or either has no variance).
struct Comparison {
  int n = 0;
  double bias = 0.0, rms = 0.0;
  std::optional<double> correlation;
};

// Accumulates pairs for a Comparison.
class PairStats {
 public:
  void add(double a, double b);
  Comparison result() const;

 private:
  int n_ = 0;
  double sa_ = 0, sb_ = 0, saa_ = 0, sbb_ = 0, sab_ = 0;
};

struct FlightSummary {
  int seconds = 0;
  std::int64_t first = 0, last = 0;                   // elapsed of the first and last line
  std::vector<std::pair<std::string, int>> statuses;  // status text, seconds; most frequent first
  int retrieved = 0;
  std::optional<Extreme> max_ws, max_rr;       // over the seconds with a retrieval
  Comparison ws_vs_onboard, rr_vs_onboard;     // retrieved minus onboard
  std::optional<int> damaged;                  // console lines of rejected records, when a console was read
  int time_repaired = 0, time_unverified = 0;  // lines whose time was repaired (out_file/clock_repair.hpp)
};

FlightSummary summarise_flight(const std::vector<flight::OutSecond>& seconds);

// Console lines that report a rejected brightness or thermal record.
int count_damaged_records(std::istream& console);

// "HH:MM:SS" of an elapsed time, with "+1d" (and so on) after each midnight crossed.
std::string clock_label(std::int64_t elapsed);

// Aligned plain-text summary.
void print_flight_summary(std::ostream& os, std::string_view name, const FlightSummary& s);

// Two lines: the header
//   seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records,
//   time_repaired,max_wind_time,max_wind_lat,max_wind_lon
// and the values (share 0..1 with 4 decimals; speeds and rates as the output file writes them; time_repaired
// the lines whose time was repaired, verified or not; the time of the maximum wind as clock_label writes it,
// its position in degrees; a field is empty when its value does not exist).
void print_flight_csv(std::ostream& os, const FlightSummary& s);

}  // namespace sfmr::look
