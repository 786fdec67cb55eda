#include "sonde/date_context.hpp"

#include <cmath>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "sonde/sonde.hpp"

namespace sfmr::sonde {

namespace {

void previous_month(int& year, int& month) {
  if (--month == 0) {
    month = 12;
    --year;
  }
}

void next_month(int& year, int& month) {
  if (++month == 13) {
    month = 1;
    ++year;
  }
}

}  // namespace

int digits(std::string_view g, std::size_t at, std::size_t n) {
  if (n > 9 || at + n > g.size()) return -1;  // nine digits at most: within an int
  int v = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (g[i] < '0' || g[i] > '9') return -1;
    v = v * 10 + (g[i] - '0');
  }
  return v;
}

std::optional<DateContext> parse_month(std::string_view text) {
  if (text.size() != 7 || text[4] != '-') return std::nullopt;
  DateContext c;
  c.year = digits(text, 0, 4), c.month = digits(text, 5, 2);
  if (c.year < 1900 || c.year > 2999 || c.month < 1 || c.month > 12) return std::nullopt;
  return c;
}

std::optional<DateContext> date_from_file_name(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::size_t i = 0;
  while (i < name.size()) {
    std::size_t j = i;
    while (j < name.size() && name[j] >= '0' && name[j] <= '9') ++j;
    if (j - i == 12) {
      const DateContext c{digits(name, i, 4), digits(name, i + 4, 2), digits(name, i + 6, 2)};
      const int hour = digits(name, i + 8, 2), minute = digits(name, i + 10, 2);
      if (c.year >= 1900 && c.year <= 2999 && is_civil_date(c.year, c.month, c.day) && hour < 24 &&
          minute < 60)
        return c;
    }
    i = j == i ? i + 1 : j;
  }
  return std::nullopt;
}

double day_start(const DateContext& context, int sent_day, int day) {
  int year = context.year, month = context.month;
  // The context's day is the day the file was made; a bulletin of a later day was sent the month before.
  if (context.day > 0 && sent_day > context.day) previous_month(year, month);
  // The observation's hour is the nearest whole hour, so a sonde that splashed after 23:30 and was sent
  // before midnight bears the next day: the 1st of the next month after a month's last day.
  if (day == 1 && is_civil_date(year, month, sent_day) && !is_civil_date(year, month, sent_day + 1))
    next_month(year, month);
  else if (day > sent_day + 1)
    previous_month(year, month);
  if (!is_civil_date(year, month, day)) return kNaN;
  return static_cast<double>(days_from_civil(year, month, day)) * kSecondsPerDay;
}

}  // namespace sfmr::sonde
