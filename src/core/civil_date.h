#pragma once
#include <array>

namespace norvane {

// The calendar as dates on the wire write it: the proleptic Gregorian calendar, months
// 1 to 12, English abbreviations (HTTP and RFC 822 dates, whatever the locale).

inline constexpr std::array<const char*, 12> kMonthAbbreviations = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
inline constexpr std::array<const char*, 7> kWeekdayAbbreviations = {"Sun", "Mon", "Tue", "Wed",
                                                                     "Thu", "Fri", "Sat"};

// Days since 1970-01-01 (negative before it).
long long DaysFromCivil(long long year, unsigned month, unsigned day);

// The number of days of a month of a year.
unsigned DaysInMonth(long long year, unsigned month);

// The weekday of a day counted from 1970-01-01 (a Thursday): 0 is Sunday.
inline unsigned WeekdayOfDays(long long days) { return static_cast<unsigned>(((days + 4) % 7 + 7) % 7); }

}  // namespace norvane
