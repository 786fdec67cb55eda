#include "records/aircraft.hpp"

#include <array>

#include "core/constants.hpp"
#include "core/text.hpp"
#include "records/fields.hpp"

namespace sfmr {

namespace {

// Days of a common year before the first day of each month.
constexpr std::array<std::int32_t, 12> julian = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Reads one integer from characters first..last of `text`; false when the read delivers no number.
bool read_int_columns(std::string_view text, std::size_t first, std::size_t last, std::int32_t& value) {
  return read_value(columns(text, first, last), &value);
}

// Reads one real from a field; false when it delivers no number or the number lies outside [lo, hi].
bool read_real_field(std::string_view field, double lo, double hi, float& value) {
  float v = 0.0f;
  if (!read_value(field, &v) || !(v >= lo && v <= hi)) return false;
  value = v;
  return true;
}

// Kelvin to degrees Celsius, with the system's own offset (kKelvinOffset).
float kelvin_to_celsius(float kelvin) {
  return static_cast<float>(static_cast<double>(kelvin) - kKelvinOffset);
}

}  // namespace

void decodedate(std::string_view text, std::int32_t& day) {
  day = -1;
  if (trimmed_length(text) <= 9) return;
  std::int32_t dd = 0, mm = 0, yyyy = 0;
  if (!read_int_columns(text, 1, 2, dd) || !read_int_columns(text, 4, 5, mm) ||
      !read_int_columns(text, 7, 10, yyyy))
    return;
  if (yyyy < 2000 || yyyy > 2050 || mm < 1 || mm > 12 || dd < 1 || dd > 31) return;
  std::int32_t n = dd + julian[static_cast<std::size_t>(mm - 1)];
  if (mm > 2 && yyyy % 4 == 0) n += 1;
  const std::int32_t y = yyyy - 2000;
  n += 365 * y;
  if (y > 0) n += (y - 1) / 4 + 1;  // leap days of the years 2000 .. yyyy-1
  day = n;
}

void decodetime(std::string_view text, std::int32_t& sec) {
  sec = -1;
  if (trimmed_length(text) <= 7) return;
  std::int32_t hh = 0, mm = 0, ss = 0;
  if (!read_int_columns(text, 1, 2, hh) || !read_int_columns(text, 4, 5, mm) ||
      !read_int_columns(text, 7, 8, ss))
    return;
  if (hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 || ss > 59) return;
  sec = 3600 * hh + 60 * mm + ss;
}

void decodeacft(State& s, std::string_view line) {
  FieldViews fields(line);
  fields.next();  // tag

  std::int32_t day = -1;
  decodedate(fields.next(), day);
  if (day < 0) return;
  s.time.day = day;

  std::int32_t sec = -1;
  decodetime(fields.next(), sec);
  if (sec < 0) return;
  s.time.sec = sec;
  s.time.bphase = 0;

  AcftRecord& a = s.acft;
  if (!read_real_field(fields.next(), -90.0, 90.0, a.Lat)) return;
  if (!read_real_field(fields.next(), -180.0, 180.0, a.Lon)) return;
  if (!read_real_field(fields.next(), -2.0, 15000.0, a.RAlt)) return;
  if (!read_real_field(fields.next(), -60.0, 60.0, a.Pitch)) return;
  if (!read_real_field(fields.next(), -90.0, 90.0, a.Roll)) return;

  float kelvin = 0.0f;
  if (!read_real_field(fields.next(), 0.0, 999.0, kelvin)) return;
  a.TAmb = kelvin_to_celsius(kelvin);
  if (!read_real_field(fields.next(), 0.0, 999.0, kelvin)) return;
  a.AcftSST = kelvin < 400.0f ? kelvin_to_celsius(kelvin) : 0.0f;

  // Fields 11 to 14 are passed over; a remainder of three characters or fewer ends the line.
  for (int k = 0; k < 4; ++k) {
    fields.next();
    if (trimmed_length(fields.rest()) <= 3) return;
  }
  read_real_field(fields.next(), 0.0, 150.0, a.AcftWS);
}

}  // namespace sfmr
