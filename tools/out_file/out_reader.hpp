// Reader of the output file that sfmrbatch writes (the ".OUT" file): the one reader every companion tool
// uses, so that each column is read the same way everywhere.
//
// The file is a header line and then one line per processed second, 28 fixed-width columns separated by
// commas, 206 characters without the line end (CR LF). Each column is read by the writer's own column
// table (kOutColumns): its name, form, width and decimals. Every number is read by the program's own
// free-format rules (read_value); a column written as asterisks (a value too wide for its column) is a
// missing value, held as NaN. The two status texts are kept verbatim and classified.
//
// The time column holds only the time of day; the reader continues it across midnight (a step back by 12
// hours or more is the next day) and repairs a run of lines whose times are out of sequence with their
// neighbours (clock_repair.hpp), so `time` increases strictly from line to line.
//
// Nothing is printed: every failure comes back as one message naming the file and the line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "core/state.hpp"
#include "out_file/clock_repair.hpp"
#include "output/columns.hpp"

namespace sfmr::flight {

// Width of a data line without its line end.
constexpr std::size_t kOutLineWidth = out_line_width();
// Width of each status text column.
constexpr std::size_t kStatusWidth = kStatusTextLength;
// Number of instrument temperature columns (Th2..Th6).
constexpr int kThermalColumns = 5;

// What the retrieval status text (column Err) says.
enum class RetrievalKind {
  ChannelList,  // "F012345" style: wind and rain were solved with the channels whose digit stands
  Calm,         // "ZeroWS&RR": the solution is a calm sea without rain (a real zero)
  BigRoll,      // no retrieval: the aircraft rolled too far
  OverLand,     // no retrieval: over land
  NoData,       // no retrieval: no usable measurement
  NoSolution,   // no retrieval: the solver did not converge
  RefTempErr,   // no retrieval: reference temperatures out of range
};

struct RetrievalStatus {
  std::string text;  // the 10 characters as written, trailing blanks included
  RetrievalKind kind = RetrievalKind::ChannelList;
  std::array<bool, kChannels> channel_used{};  // ChannelList only: channel k took part in the solve

  // True when SFWS, SFRR and SFQF hold this second's solution (channel list or calm), false when they
  // repeat an earlier second's.
  bool retrieved() const { return kind == RetrievalKind::ChannelList || kind == RetrievalKind::Calm; }
};

// What the onboard status text (column PSErr) says.
enum class OnboardKind {
  ChannelList,  // "F012345" style: a digit replaced by '-' is a channel the onboard processor flagged
  NoData,       // " NoData"
  NoAuxData,    // " NoAuxData"
  OldSst,       // " OldSST"
  TempErr,      // " TempErr"
};

struct OnboardStatus {
  std::string text;  // the 10 characters as written, trailing blanks included
  OnboardKind kind = OnboardKind::ChannelList;
  std::array<bool, kChannels> channel_flagged{};  // ChannelList only: channel k was flagged
  bool marker = false;                            // the first character is '*'
};

// One data line. Members keep the header's names; NaN marks a column written as asterisks.
struct OutSecond {
  std::int32_t clock = 0;     // time of day as written, s (0..86399)
  std::int64_t elapsed = 0;   // s since 00:00:00 of the first line's day: clock + 86400 per midnight passed
                              // (the repaired second where the clock was out of sequence)
  std::int64_t recorded = 0;  // s, the same for the time as written, out of sequence or not
  double time = 0.0;          // s, the same as `elapsed`, strictly increasing (see clock_repair.hpp)
  TimeQuality time_quality = TimeQuality::AsRecorded;
  float Lat = 0, Lon = 0;                   // deg
  float RAlt = 0;                           // radar altitude, whole metres
  float TAmb = 0;                           // air temperature, deg C
  float AcftWS = 0;                         // flight-level wind speed, as recorded
  float Roll = 0, Pitch = 0;                // deg
  float SST = 0;                            // sea-surface temperature used, deg C
  std::array<float, kChannels> Tb{};        // brightness temperatures, K
  std::array<float, kThermalColumns> Th{};  // instrument temperatures Th2..Th6, deg C
  float SFWS = 0, SFRR = 0, SFQF = 0;       // retrieved wind (m/s), rain (mm/h), rms misfit (K)
  RetrievalStatus Err;
  float PSWS = 0, PSRR = 0, PSQF = 0;  // onboard solution: wind (m/s), rain (mm/h), quality
  OnboardStatus PSErr;
};

// Reads one data line (without its line end) into `second`; `clock` is set, the times are not. Returns an
// empty string on success, else what is wrong with the line (without file name or line number).
std::string parse_out_line(std::string_view line, OutSecond& second);

// Classifies a status text (exactly kStatusWidth characters). Empty string on success, else what is wrong.
std::string classify_retrieval(std::string_view text, RetrievalStatus& status);
std::string classify_onboard(std::string_view text, OnboardStatus& status);

// The retrieval texts that mean no retrieval, and the onboard labels (without the leading blank or '*'),
// in the order of their kinds after ChannelList (and Calm for the retrieval).
constexpr std::array<std::string_view, 5> kNoRetrievalTexts = {status_word::kBigRoll, status_word::kOverLand,
                                                               status_word::kNoData, status_word::kNoSolution,
                                                               status_word::kRefTempErr};
constexpr std::string_view kCalmText = status_word::kZeroWsRr;
constexpr std::array<std::string_view, 4> kOnboardLabels = {status_word::kPsNoData, status_word::kPsNoAuxData,
                                                            status_word::kPsOldSst, status_word::kPsTempErr};

// Reads a whole output file from `in`: the header line, then every data line. `name` is used in messages
// only. Returns an empty string on success, else one message "NAME line N: what is wrong" (or "NAME: ..."
// for a fault of the whole file, such as a missing header). `seconds` holds the lines read before a fault.
std::string read_out(std::istream& in, std::string_view name, std::vector<OutSecond>& seconds);

// Opens `path` and reads it as read_out does; a file that does not open gives "PATH: cannot open (reason)".
std::string read_out_file(const std::string& path, std::vector<OutSecond>& seconds);

}  // namespace sfmr::flight
