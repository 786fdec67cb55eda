#include "records/onboard.hpp"

#include <array>
#include <cstdint>

#include "core/text.hpp"
#include "records/fields.hpp"

namespace sfmr {

namespace {

// One real from a field, accepted within [0, hi] (single-precision bounds); false stops the decoding.
bool read_onboard_value(std::string_view field, float hi, float& value) {
  float v = 0.0f;
  if (!read_value(field, &v) || v < 0.0f || v > hi) return false;
  value = v;
  return true;
}

// Bit of ps.PSErr set by each of the eleven status characters (-1: position not used). The channel flags
// read right to left: the last position is channel 0.
constexpr std::array<int, 11> kStatusBits = {
    pserr_bit::kNoAuxData, pserr_bit::kOldSst, pserr_bit::kNoData, -1, pserr_bit::kTempErr, 5, 4, 3, 2, 1, 0};

}  // namespace

void decodeps(State& s, std::string_view line) {
  FieldViews fields(line);
  for (int k = 0; k < 3; ++k) fields.next();  // tag and two fields this system does not use
  if (!read_onboard_value(fields.next(), 999.9f, s.ps.PSWS)) return;
  if (!read_onboard_value(fields.next(), 999.9f, s.ps.PSRR)) return;
  if (!read_onboard_value(fields.next(), 9.99f, s.ps.PSQF)) return;

  std::int32_t bits = 0;
  if (field_char(fields.next(), 0) != '0') set_bit(bits, pserr_bit::kMarker, true);
  const std::string_view status = fields.next();
  for (std::size_t pos = 0; pos < kStatusBits.size(); ++pos)
    if (kStatusBits[pos] >= 0 && field_char(status, pos) != '0') set_bit(bits, kStatusBits[pos], true);
  s.ps.PSErr = bits;
}

}  // namespace sfmr
