// The month and year a TEMP DROP bulletin belongs to. The message gives the day of the month and the time
// but not the month or the year: they come from the caller, as a YYYY-MM, or from an archive file name that
// holds the transmission time as YYYYMMDDhhmm (which also gives the day, so that a bulletin sent just after
// midnight on the first of a month is put in the month before when its day is the previous month's). And
// the fixed-width digit runs the sonde readers' dates and groups are made of.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace sfmr::sonde {

struct DateContext {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31 when the transmission day is known, else 0
};

// Digits g[at, at+n) as a number, or -1 when one of them is not a digit, the text ends before them, or n
// is over 9 (nine digits at most: within an int).
int digits(std::string_view g, std::size_t at, std::size_t n);

// "YYYY-MM" (a month 01..12, a year 1900..2999); nullopt for anything else.
std::optional<DateContext> parse_month(std::string_view text);

// The first run of exactly twelve digits in the file name (directories ignored) that reads as a valid
// YYYYMMDDhhmm; nullopt when there is none.
std::optional<DateContext> date_from_file_name(std::string_view path);

// Seconds since 1970 of the day `day` (1..31) of the bulletin whose transmission day is `sent_day`, in the
// month of `context`: the day after the transmission day is that next day (the observation's nominal hour
// rounded up past midnight; the 1st after a month's last day is in the next month), a later day belongs to
// the month before, and so does a transmission day after the context's known day. Returns NaN for a day
// the month does not have.
double day_start(const DateContext& context, int sent_day, int day);

}  // namespace sfmr::sonde
