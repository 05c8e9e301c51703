#include "http/http_date.h"

#include <array>
#include <string>

#include "core/url_helpers.h"

namespace norvane {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

int Number(std::string_view s) {
  int n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

// 0 to 11 for a month's name or its first three letters; -1 otherwise.
int MonthOf(std::string_view word) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "january", "february", "march",     "april",   "may",      "june",
      "july",    "august",   "september", "october", "november", "december"};
  if (word.size() < 3) return -1;
  for (size_t m = 0; m < kMonths.size(); ++m) {
    if (!SameAsciiName(word.substr(0, 3), kMonths[m].substr(0, 3))) continue;
    if (word.size() == 3 || (word.size() <= kMonths[m].size() &&
                             SameAsciiName(word, kMonths[m].substr(0, word.size()))))
      return static_cast<int>(m);
  }
  return -1;
}

bool IsWeekday(std::string_view word) {
  static constexpr std::array<std::string_view, 7> kDays = {
      "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
  if (word.size() < 3) return false;
  for (std::string_view day : kDays)
    if (word.size() <= day.size() && SameAsciiName(word, day.substr(0, word.size()))) return true;
  return false;
}

// hh:mm or hh:mm:ss.
bool ReadClock(std::string_view s, int& h, int& m, int& sec) {
  const size_t first = s.find(':');
  const size_t second = s.find(':', first + 1);
  std::string_view hh = s.substr(0, first);
  std::string_view mm = s.substr(first + 1, second == std::string_view::npos ? std::string_view::npos
                                                                               : second - first - 1);
  std::string_view ss = second == std::string_view::npos ? std::string_view("0") : s.substr(second + 1);
  if (hh.size() > 2 || mm.size() != 2 || ss.size() > 2 || !AllDigits(hh) || !AllDigits(mm) ||
      !AllDigits(ss))
    return false;
  h = Number(hh);
  m = Number(mm);
  sec = Number(ss);
  return h <= 23 && m <= 59 && sec <= 60;  // 60: a leap second, as written
}

// Days since 1970-01-01 of a proleptic Gregorian date (no time zone, no library state).
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysIn(int year, int month) {  // month 1 to 12
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[static_cast<size_t>(month - 1)];
}

}  // namespace

std::optional<std::time_t> ParseHttpDate(std::string_view text) {
  if (text.empty() || text.size() > 64) return std::nullopt;
  int day = -1, month = -1, year = -1, yearDigits = 0, h = -1, m = 0, s = 0;
  long offset = 0;  // seconds east of GMT
  bool zoneSeen = false;

  // Words are split at spaces and commas, and at a hyphen between two parts of a date.
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == ',' || c == '\t' || (c == '-' && i > 0 && text[i - 1] != ' ')) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < text.size() && text[end] != ' ' && text[end] != ',' && text[end] != '\t' &&
           text[end] != '-')
      ++end;
    const std::string_view word = text.substr(i, end - i);
    i = end;

    if ((word[0] == '+' || word[0] == '-') && word.size() == 5 && AllDigits(word.substr(1))) {
      if (zoneSeen) return std::nullopt;
      const int hhmm = Number(word.substr(1));
      if (hhmm / 100 > 14 || hhmm % 100 > 59) return std::nullopt;
      offset = (hhmm / 100 * 3600L + hhmm % 100 * 60L) * (word[0] == '-' ? -1 : 1);
      zoneSeen = true;
    } else if (word.find(':') != std::string_view::npos) {
      if (h >= 0 || !ReadClock(word, h, m, s)) return std::nullopt;
    } else if (AllDigits(word)) {
      if (word.size() == 4 && year < 0) {
        year = Number(word);
        yearDigits = 4;
      } else if (word.size() <= 2 && day < 0) {
        day = Number(word);
      } else if (word.size() == 2 && year < 0) {
        year = Number(word);
        yearDigits = 2;
      } else {
        return std::nullopt;
      }
    } else if (IsAlpha(word[0])) {
      const int mon = MonthOf(word);
      if (mon >= 0 && month < 0) {
        month = mon + 1;
      } else if (SameAsciiName(word, "GMT") || SameAsciiName(word, "UTC") ||
                 SameAsciiName(word, "UT") || SameAsciiName(word, "Z")) {
        if (zoneSeen) return std::nullopt;
        zoneSeen = true;
      } else if (!IsWeekday(word)) {
        return std::nullopt;
      }
    } else {
      return std::nullopt;
    }
  }
  if (day < 1 || month < 1 || year < 0 || h < 0) return std::nullopt;
  if (yearDigits == 2) {
    // A two-digit year more than 50 years ahead is the century before.
    const std::time_t now = std::time(nullptr);
    const long long thisYear = 1970 + static_cast<long long>(now / 31556952);
    long long full = thisYear / 100 * 100 + year;
    if (full > thisYear + 50) full -= 100;
    year = static_cast<int>(full);
  }
  if (year < 1970 || day > DaysIn(year, month)) return std::nullopt;
  const long long seconds = DaysFromCivil(year, month, day) * 86400LL + h * 3600LL + m * 60LL + s - offset;
  if (seconds < 0) return std::nullopt;
  return static_cast<std::time_t>(seconds);
}

}  // namespace norvane
