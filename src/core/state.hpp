// The shared processing state: seven records that exist once per run, start at zero and are read and written
// in place by the decoders, the retrieval and the writer. Nothing clears them between seconds, so a value
// that a second does not renew is repeated in its output line.
//
// Arrays are 0-based: channel k (k = 0..5, in the order of the frequencies entered at set-up) is index k of
// cal.freq, cal.coef, sfmr.ratio and sfmr.Tb. sfmr.Th holds the eight thermal values; the output columns
// Th2..Th6 are sfmr.Th[2]..sfmr.Th[6].
#pragma once

#include <array>
#include <cstdint>

namespace sfmr {

constexpr int kChannels = 6;
constexpr int kCalConstants = 9;

// Clock of the data stream.
struct TimeRecord {
  std::int32_t day = 0;      // day number, 1 January 2000 is day 1
  std::int32_t sec = 0;      // second of the day, 0..86399
  std::int32_t lastsec = 0;  // second for which the per-second step last ran
  std::int32_t bphase = 0;   // brightness-record phase toggle, 0 or 1
};

// Four-slot delay line of the brightness records; slot 0 is the oldest, slot 3 the newest.
struct GBufferRecord {
  std::array<float, 4> ratio{};
  std::array<std::int32_t, 4> chan{};  // channel digit + 1 (1..6), 0 for an empty slot
};

// Calibration constants and processing parameters.
struct CalRecord {
  std::array<std::array<float, kCalConstants>, kChannels> coef{};  // c1..c9 of each channel
  std::array<float, kChannels> freq{};                             // GHz; 0.0 disables the channel
  float default_sst = 0.0f;  // deg C; sign selects the SST source, magnitude is the fallback
  float filter = 0.0f;       // negative: outlier filter; zero or positive: least-squares line filter
};

struct DiagRecord {
  std::int32_t on = 0;  // channel filters print diagnostics while non-zero
};

// Onboard processor's solution, from the last accepted "%R" record.
struct PsRecord {
  float PSWS = 0.0f;
  float PSRR = 0.0f;
  float PSQF = 0.0f;
  std::int32_t PSErr = 0;
};

// Radiometer measurements and retrieval results of the current second.
struct SfmrRecord {
  std::array<float, kChannels> ratio{};  // normalised count ratio per channel
  std::array<float, kChannels> Tb{};     // brightness temperature per channel, K
  std::array<float, 8> Th{};             // instrument thermal temperatures, deg C
  float SFWS = 0.0f;                     // retrieved surface wind speed, m/s
  float SFRR = 0.0f;                     // retrieved rain rate, mm/h
  float SFQF = 0.0f;                     // rms misfit of the solve, K
  std::int32_t Err = 0;                  // retrieval status bits
  std::int32_t serial = 0;               // radiometer serial number, 1..255
};

// Aircraft state from the last "%A" record.
struct AcftRecord {
  float Lat = 0.0f;      // deg
  float Lon = 0.0f;      // deg
  float RAlt = 0.0f;     // radar altitude, m
  float Pitch = 0.0f;    // deg
  float Roll = 0.0f;     // deg
  float TAmb = 0.0f;     // ambient air temperature, deg C
  float AcftSST = 0.0f;  // sea-surface temperature measured on board, deg C (0.0: none)
  float AcftWS = 0.0f;   // flight-level wind speed
};

// Bits of sfmr.Err.
namespace err_bit {
constexpr int kNoData = 0;
constexpr int kBigRoll = 1;
constexpr int kZeroWsRr = 2;
constexpr int kRefTempErr = 3;
constexpr int kOverLand = 5;
constexpr int kNoSolution = 6;
constexpr int kChannel0 = 8;  // bit 8 + k: channel k was used in the solve
}  // namespace err_bit

// Bits of ps.PSErr.
namespace pserr_bit {
constexpr int kChannel0 = 0;  // bit k: the onboard processor flagged channel k
constexpr int kTempErr = 6;
constexpr int kNoData = 9;
constexpr int kOldSst = 10;
constexpr int kNoAuxData = 11;
constexpr int kMarker = 12;
}  // namespace pserr_bit

inline bool bit_set(std::int32_t bits, int bit) {
  return (bits >> bit) & 1;
}
inline void set_bit(std::int32_t& bits, int bit, bool on) {
  const std::uint32_t mask = std::uint32_t{1} << bit;
  bits = static_cast<std::int32_t>(on ? (static_cast<std::uint32_t>(bits) | mask)
                                      : (static_cast<std::uint32_t>(bits) & ~mask));
}

struct State {
  TimeRecord time;
  GBufferRecord gbuffer;
  CalRecord cal;
  DiagRecord diag;
  PsRecord ps;
  SfmrRecord sfmr;
  AcftRecord acft;
};

// Sets the six brightness temperatures to 0.0.
void zero_tb(State& s);

// Start-up reset: clock (sec, lastsec, bphase), brightness temperatures and thermal values. Leaves time.day,
// gbuffer, cal, diag, ps, acft and the other sfmr fields alone.
void clear_common(State& s);

}  // namespace sfmr
