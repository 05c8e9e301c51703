#include "feeds/feed_date.h"

#include <array>
#include <utility>

namespace norvane {

namespace {

bool Digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string Normalised(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (space) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Splits off the text before the first space; the rest stays in s.
std::string_view Word(std::string_view& s) {
  size_t sp = s.find(' ');
  std::string_view w = s.substr(0, sp);
  s = sp == std::string_view::npos ? std::string_view() : s.substr(sp + 1);
  return w;
}

std::string Zone(std::string_view z) {
  if (z == "GMT" || z == "UT" || z == "UTC" || z == "Z" || z == "+0000" || z == "-0000") return "Z";
  if (z.size() == 5 && (z[0] == '+' || z[0] == '-') && Digits(z.substr(1)))
    return std::string(z.substr(0, 3)) + ":" + std::string(z.substr(3, 2));
  static constexpr std::array<std::pair<const char*, const char*>, 9> kNamed = {{{"JST", "+09:00"},
      {"EST", "-05:00"}, {"EDT", "-04:00"}, {"CST", "-06:00"}, {"CDT", "-05:00"}, {"MST", "-07:00"},
      {"MDT", "-06:00"}, {"PST", "-08:00"}, {"PDT", "-07:00"}}};
  for (const auto& [name, offset] : kNamed)
    if (z == name) return offset;
  return {};
}

}  // namespace

std::string IsoDate(std::string_view text) {
  const std::string v = Normalised(text);
  if (v.size() >= 8 && v[4] == '-' && v[7] == '-' && Digits(std::string_view(v).substr(0, 4))) {
    if (v.size() == 10 || (v.size() >= 16 && v[10] == 'T')) return v;
    return {};
  }
  std::string_view r = v;
  if (size_t comma = r.find(','); comma != std::string_view::npos) {
    r.remove_prefix(comma + 1);
    while (!r.empty() && r.front() == ' ') r.remove_prefix(1);
  }
  std::string_view day = Word(r), mon = Word(r), yr = Word(r), tm = Word(r);
  std::string_view zone = r;
  static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  size_t at = mon.size() == 3 ? kMonths.find(mon) : std::string_view::npos;
  if (at == std::string_view::npos || at % 3 != 0) return {};
  if (!Digits(day) || day.size() > 2 || day == "0" || day == "00" || std::stoi(std::string(day)) > 31) return {};
  std::string year = yr.size() == 2 ? "20" + std::string(yr) : std::string(yr);
  if (year.size() != 4 || !Digits(year)) return {};
  std::string time = tm.size() == 5 ? std::string(tm) + ":00" : std::string(tm);
  if (time.size() != 8 || time[2] != ':' || time[5] != ':' || !Digits(time.substr(0, 2)) ||
      !Digits(time.substr(3, 2)) || !Digits(time.substr(6, 2)))
    return {};
  const std::string z = Zone(zone);
  if (z.empty()) return {};
  const int month = static_cast<int>(at / 3) + 1;
  std::string out = year + "-" + (month < 10 ? "0" : "") + std::to_string(month) + "-" +
                    (day.size() == 1 ? "0" : "") + std::string(day) + "T" + time + z;
  return out;
}

}  // namespace norvane
