#include "output/writer.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "core/text.hpp"

namespace sfmr {

namespace {

constexpr std::size_t kStatusLength = 10;

// Writes `t` blank-padded to the ten characters of a status text; returns out + 10.
char* status_text(std::string_view t, char* out) {
  const std::size_t n = std::min(t.size(), kStatusLength);
  std::memcpy(out, t.data(), n);
  std::memset(out + n, ' ', kStatusLength - n);
  return out + kStatusLength;
}

// "F012345" with the digit of channel k replaced by '-' where `removed(k)` holds, as a status text.
template <typename Removed>
char* channel_list(Removed removed, char* out) {
  char text[] = "F012345";
  for (int k = 0; k < kChannels; ++k)
    if (removed(k)) text[static_cast<std::size_t>(k) + 1] = '-';
  return status_text(text, out);
}

char* sferr_text(std::int32_t bits, char* out) {
  using namespace err_bit;
  if (bit_set(bits, kBigRoll)) return status_text("BigRoll", out);
  if (bit_set(bits, kOverLand)) return status_text("OverLand", out);
  if (bit_set(bits, kNoData)) return status_text("NoData", out);
  if (bit_set(bits, kNoSolution)) return status_text("NoSolution", out);
  if (bit_set(bits, kRefTempErr)) return status_text("RefTempErr", out);
  if (bit_set(bits, kZeroWsRr)) return status_text("ZeroWS&RR", out);
  return channel_list([bits](int k) { return !bit_set(bits, kChannel0 + k); }, out);
}

char* pserr_text(std::int32_t bits, char* out) {
  using namespace pserr_bit;
  char* end = nullptr;
  if (bit_set(bits, kNoData)) {
    end = status_text(" NoData", out);
  } else if (bit_set(bits, kNoAuxData)) {
    end = status_text(" NoAuxData", out);
  } else if (bit_set(bits, kOldSst)) {
    end = status_text(" OldSST", out);
  } else if (bit_set(bits, kTempErr)) {
    end = status_text(" TempErr", out);
  } else {
    end = channel_list([bits](int k) { return bit_set(bits, kChannel0 + k); }, out);
  }
  if (bit_set(bits, kMarker)) out[0] = '*';
  return end;
}

// Longest data line: 8 + 2 * 10 + 7 + 8 + 5 + 5 + 24 * 6 + 28 commas, rounded up.
constexpr std::size_t kDataLineRoom = 256;

// The data line of the current second into out; returns its end.
char* data_line_to(const State& s, float sst, char* out) {
  const std::int32_t sec = s.time.sec;
  out = format_I_to(out, sec / 3600, 2, 2);
  *out++ = ':';
  out = format_I_to(out, sec % 3600 / 60, 2, 2);
  *out++ = ':';
  out = format_I_to(out, sec % 60, 2, 2);
  auto F = [&out](double value, int w, int d) {
    *out++ = ',';
    out = format_F_to(out, value, w, d);
  };
  const AcftRecord& a = s.acft;
  // Radar altitude to the nearest whole metre, halves away from zero.
  const double ralt = a.RAlt >= 0.0f ? static_cast<double>(a.RAlt) + 0.5 : static_cast<double>(a.RAlt) - 0.5;
  F(a.Lat, 7, 3);
  F(a.Lon, 8, 3);
  *out++ = ',';
  out = std::isfinite(ralt) ? format_I_to(out, static_cast<std::int64_t>(std::trunc(ralt)), 5)
                            : std::fill_n(out, 5, '*');
  F(a.TAmb, 5, 1);
  F(a.AcftWS, 6, 2);
  F(a.Roll, 6, 2);
  F(a.Pitch, 6, 2);
  F(sst, 6, 2);
  for (float tb : s.sfmr.Tb) F(tb, 6, 2);
  for (int n = 2; n <= 6; ++n) F(s.sfmr.Th[static_cast<std::size_t>(n)], 6, 2);
  F(s.sfmr.SFWS, 6, 2);
  F(s.sfmr.SFRR, 6, 2);
  F(s.sfmr.SFQF, 6, 2);
  *out++ = ',';
  out = sferr_text(s.sfmr.Err, out);
  F(s.ps.PSWS, 6, 2);
  F(s.ps.PSRR, 6, 2);
  F(s.ps.PSQF, 6, 2);
  *out++ = ',';
  return pserr_text(s.ps.PSErr, out);
}

}  // namespace

void decodesferr(std::int32_t bits, std::string& text) {
  char out[kStatusLength];
  text.assign(out, sferr_text(bits, out));
}

void decodepserr(std::int32_t bits, std::string& text) {
  char out[kStatusLength];
  text.assign(out, pserr_text(bits, out));
}

std::string Writer::data_line(const State& s, float sst) {
  char out[kDataLineRoom];
  return std::string(out, data_line_to(s, sst, out));
}

void Writer::writeout(State& s, OutFile& outfile, float sst) {
  if (first_) {
    first_ = false;
    outfile.write_line(kHeader);
  }
  // Brightness temperatures are limited in place to what their columns can show.
  for (float& tb : s.sfmr.Tb) {
    if (tb > 999.9f) tb = 999.9f;
    if (tb < -99.9f) tb = -99.9f;
  }
  char out[kDataLineRoom];
  outfile.write_line(std::string_view(out, static_cast<std::size_t>(data_line_to(s, sst, out) - out)));
}

}  // namespace sfmr
