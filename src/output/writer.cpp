#include "output/writer.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <string_view>

#include "core/text.hpp"

namespace sfmr {

namespace {

constexpr std::size_t kStatusLength = kStatusTextLength;

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

// An onboard label after its blank, the place of the marker '*'.
char* onboard_label(std::string_view label, char* out) {
  *out = ' ';
  const std::size_t n = std::min(label.size(), kStatusLength - 1);
  std::memcpy(out + 1, label.data(), n);
  std::memset(out + 1 + n, ' ', kStatusLength - 1 - n);
  return out + kStatusLength;
}

char* sferr_text(std::int32_t bits, char* out) {
  using namespace err_bit;
  namespace w = status_word;
  if (bit_set(bits, kBigRoll)) return status_text(w::kBigRoll, out);
  if (bit_set(bits, kOverLand)) return status_text(w::kOverLand, out);
  if (bit_set(bits, kNoData)) return status_text(w::kNoData, out);
  if (bit_set(bits, kNoSolution)) return status_text(w::kNoSolution, out);
  if (bit_set(bits, kRefTempErr)) return status_text(w::kRefTempErr, out);
  if (bit_set(bits, kZeroWsRr)) return status_text(w::kZeroWsRr, out);
  return channel_list([bits](int k) { return !bit_set(bits, kChannel0 + k); }, out);
}

char* pserr_text(std::int32_t bits, char* out) {
  using namespace pserr_bit;
  namespace w = status_word;
  char* end = nullptr;
  if (bit_set(bits, kNoData)) {
    end = onboard_label(w::kPsNoData, out);
  } else if (bit_set(bits, kNoAuxData)) {
    end = onboard_label(w::kPsNoAuxData, out);
  } else if (bit_set(bits, kOldSst)) {
    end = onboard_label(w::kPsOldSst, out);
  } else if (bit_set(bits, kTempErr)) {
    end = onboard_label(w::kPsTempErr, out);
  } else {
    end = channel_list([bits](int k) { return bit_set(bits, kChannel0 + k); }, out);
  }
  if (bit_set(bits, kMarker)) out[0] = '*';
  return end;
}

// Room for a data line.
constexpr std::size_t kDataLineRoom = out_line_width() + 1;

// Writes the columns of kOutColumns one after the other, each in its table width and decimals, with a comma
// before every column but the first.
class LineBuilder {
 public:
  explicit LineBuilder(char* out) : out_(out) {}

  void clock(std::int32_t sec) {
    next(ColumnForm::Clock);
    out_ = format_I_to(out_, sec / 3600, 2, 2);
    *out_++ = ':';
    out_ = format_I_to(out_, sec % 3600 / 60, 2, 2);
    *out_++ = ':';
    out_ = format_I_to(out_, sec % 60, 2, 2);
  }
  void fixed(double value) {
    const OutColumn& c = next(ColumnForm::Fixed);
    out_ = format_F_to(out_, value, c.width, c.decimals);
  }
  // A value already rounded to a whole number; asterisks when it is not finite.
  void integer(double value) {
    const OutColumn& c = next(ColumnForm::Integer);
    out_ = std::isfinite(value) ? format_I_to(out_, static_cast<std::int64_t>(value), c.width)
                                : std::fill_n(out_, c.width, '*');
  }
  template <typename Text>
  void status(Text text) {
    next(ColumnForm::Status);
    out_ = text(out_);
  }
  char* end() const {
    assert(column_ == kOutColumns.size());
    return out_;
  }

 private:
  const OutColumn& next([[maybe_unused]] ColumnForm form) {
    assert(column_ < kOutColumns.size() && kOutColumns[column_].form == form);
    if (column_ > 0) *out_++ = ',';
    return kOutColumns[column_++];
  }

  char* out_;
  std::size_t column_ = 0;
};

// The data line of the current second into out; returns its end.
char* data_line_to(const State& s, float sst, char* out) {
  LineBuilder line(out);
  line.clock(s.time.sec);
  const AcftRecord& a = s.acft;
  line.fixed(a.Lat);
  line.fixed(a.Lon);
  // Radar altitude to the nearest whole metre, halves away from zero.
  const double ralt = a.RAlt >= 0.0f ? static_cast<double>(a.RAlt) + 0.5 : static_cast<double>(a.RAlt) - 0.5;
  line.integer(std::trunc(ralt));
  line.fixed(a.TAmb);
  line.fixed(a.AcftWS);
  line.fixed(a.Roll);
  line.fixed(a.Pitch);
  line.fixed(sst);
  for (float tb : s.sfmr.Tb) line.fixed(tb);
  for (int n = 2; n <= 6; ++n) line.fixed(s.sfmr.Th[static_cast<std::size_t>(n)]);
  line.fixed(s.sfmr.SFWS);
  line.fixed(s.sfmr.SFRR);
  line.fixed(s.sfmr.SFQF);
  line.status([&s](char* to) { return sferr_text(s.sfmr.Err, to); });
  line.fixed(s.ps.PSWS);
  line.fixed(s.ps.PSRR);
  line.fixed(s.ps.PSQF);
  line.status([&s](char* to) { return pserr_text(s.ps.PSErr, to); });
  return line.end();
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
