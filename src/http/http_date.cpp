#include "http/http_date.h"

#include <array>
#include <string>

#include "core/civil_date.h"
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

bool AllLetters(std::string_view s) {
  for (char c : s)
    if (!IsAlpha(c)) return false;
  return true;
}

// The index in names of a word that is one of them or begins with one and goes on in
// letters ("Nov", "November", "Sunday"); -1 otherwise.
template <size_t N>
int NameIndex(std::string_view word, const std::array<const char*, N>& names) {
  if (word.size() < 3 || word.size() > 9 || !AllLetters(word)) return -1;
  for (size_t i = 0; i < N; ++i)
    if (SameAsciiName(word.substr(0, 3), names[i])) return static_cast<int>(i);
  return -1;
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
      const int mon = NameIndex(word, kMonthAbbreviations);
      if (mon >= 0 && month < 0) {
        month = mon + 1;
      } else if (SameAsciiName(word, "GMT") || SameAsciiName(word, "UTC") ||
                 SameAsciiName(word, "UT") || SameAsciiName(word, "Z")) {
        if (zoneSeen) return std::nullopt;
        zoneSeen = true;
      } else if (NameIndex(word, kWeekdayAbbreviations) < 0) {
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
  if (year < 1970 || day > static_cast<int>(DaysInMonth(year, static_cast<unsigned>(month))))
    return std::nullopt;
  const long long seconds =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400LL + h * 3600LL + m * 60LL + s - offset;
  if (seconds < 0) return std::nullopt;
  return static_cast<std::time_t>(seconds);
}

}  // namespace norvane
