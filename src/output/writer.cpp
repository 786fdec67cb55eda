#include "output/writer.hpp"

#include <cmath>

#include "core/text.hpp"

namespace sfmr {

namespace {

constexpr std::size_t kStatusLength = 10;

// "F012345" with the digit of channel k replaced by '-' where `removed(k)` holds.
template <typename Removed>
std::string channel_list(Removed removed) {
  std::string text = "F012345";
  for (int k = 0; k < kChannels; ++k)
    if (removed(k)) text[static_cast<std::size_t>(k) + 1] = '-';
  return text;
}

}  // namespace

void decodesferr(std::int32_t bits, std::string& text) {
  using namespace err_bit;
  std::string t;
  if (bit_set(bits, kBigRoll)) {
    t = "BigRoll";
  } else if (bit_set(bits, kOverLand)) {
    t = "OverLand";
  } else if (bit_set(bits, kNoData)) {
    t = "NoData";
  } else if (bit_set(bits, kNoSolution)) {
    t = "NoSolution";
  } else if (bit_set(bits, kRefTempErr)) {
    t = "RefTempErr";
  } else if (bit_set(bits, kZeroWsRr)) {
    t = "ZeroWS&RR";
  } else {
    t = channel_list([bits](int k) { return !bit_set(bits, kChannel0 + k); });
  }
  text = fixed_text(t, kStatusLength);
}

void decodepserr(std::int32_t bits, std::string& text) {
  using namespace pserr_bit;
  std::string t;
  if (bit_set(bits, kNoData)) {
    t = " NoData";
  } else if (bit_set(bits, kNoAuxData)) {
    t = " NoAuxData";
  } else if (bit_set(bits, kOldSst)) {
    t = " OldSST";
  } else if (bit_set(bits, kTempErr)) {
    t = " TempErr";
  } else {
    t = channel_list([bits](int k) { return bit_set(bits, kChannel0 + k); });
  }
  if (bit_set(bits, kMarker)) t[0] = '*';
  text = fixed_text(t, kStatusLength);
}

std::string Writer::data_line(const State& s, float sst) {
  const std::int32_t sec = s.time.sec;
  std::string line =
      format_I(sec / 3600, 2, 2) + ":" + format_I(sec % 3600 / 60, 2, 2) + ":" + format_I(sec % 60, 2, 2);
  auto col = [&line](const std::string& text) {
    line += ',';
    line += text;
  };
  const AcftRecord& a = s.acft;
  // Radar altitude to the nearest whole metre, halves away from zero.
  const double ralt = a.RAlt >= 0.0f ? static_cast<double>(a.RAlt) + 0.5 : static_cast<double>(a.RAlt) - 0.5;
  col(format_F(a.Lat, 7, 3));
  col(format_F(a.Lon, 8, 3));
  col(std::isfinite(ralt) ? format_I(static_cast<std::int64_t>(std::trunc(ralt)), 5) : std::string(5, '*'));
  col(format_F(a.TAmb, 5, 1));
  col(format_F(a.AcftWS, 6, 2));
  col(format_F(a.Roll, 6, 2));
  col(format_F(a.Pitch, 6, 2));
  col(format_F(sst, 6, 2));
  for (float tb : s.sfmr.Tb) col(format_F(tb, 6, 2));
  for (int n = 2; n <= 6; ++n) col(format_F(s.sfmr.Th[static_cast<std::size_t>(n)], 6, 2));
  col(format_F(s.sfmr.SFWS, 6, 2));
  col(format_F(s.sfmr.SFRR, 6, 2));
  col(format_F(s.sfmr.SFQF, 6, 2));
  std::string status;
  decodesferr(s.sfmr.Err, status);
  col(status);
  col(format_F(s.ps.PSWS, 6, 2));
  col(format_F(s.ps.PSRR, 6, 2));
  col(format_F(s.ps.PSQF, 6, 2));
  decodepserr(s.ps.PSErr, status);
  col(status);
  return line;
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
  outfile.write_line(data_line(s, sst));
}

}  // namespace sfmr
