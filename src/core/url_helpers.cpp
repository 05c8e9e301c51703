#include "core/url_helpers.h"

#include <netdb.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <ctime>

#include "core/civil_date.h"
#include "core/route_names.h"
#include "core/settings.h"

namespace norvane {

std::string CompleteLocalURL(const std::string& u) {
  if (u.find("://") != std::string::npos) return u;
  Settings s = GetSettings();
  if (u.find(routes::kHtrXml) != std::string::npos)
    return "http://localhost:" + std::to_string(s.PORT) + "/" + u;
  if (u.find(routes::kScrapXml) != std::string::npos)
    return "http://" + s.LocalAddress + ":" + std::to_string(s.PORT) + "/" + u;
  return u;
}

std::string HttpDateNow() { return HttpDate(std::time(nullptr)); }

std::string HttpDate(long long secondsSinceEpoch) {
  // Written by hand: strftime would follow the locale the desktop sets.
  std::time_t when = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm tm{};
  gmtime_r(&when, &tm);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kWeekdayAbbreviations[static_cast<size_t>(tm.tm_wday)],
                tm.tm_mday, kMonthAbbreviations[static_cast<size_t>(tm.tm_mon)], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return buf;
}

std::string EncodeAddressBytes(std::string_view address) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(address.size());
  for (unsigned char b : address) {
    if (b <= 0x20 || b >= 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

std::string EncodeURLParam(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t pos = 0;
  for (;;) {
    size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string GetLocalAddress() {
  char host[129] = {};
  if (gethostname(host, 128) != 0) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* res = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &res) != 0 || !res) return {};
  char dotted[INET_ADDRSTRLEN] = {};
  auto* sin = reinterpret_cast<sockaddr_in*>(res->ai_addr);
  inet_ntop(AF_INET, &sin->sin_addr, dotted, sizeof dotted);
  freeaddrinfo(res);
  return dotted;
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '%') {
      out.push_back(text[i++]);
      continue;
    }
    int hi = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
    int lo = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
    if (hi >= 0 && lo >= 0 && (hi | lo) != 0) out.push_back(static_cast<char>(hi * 16 + lo));
    i += 3;
  }
  return out;
}

std::string PercentDecodeKeep(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int hi = i + 2 < text.size() && text[i] == '%' ? HexValue(text[i + 1]) : -1;
    int lo = hi >= 0 ? HexValue(text[i + 2]) : -1;
    if (lo >= 0) {
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool SameAsciiName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

}  // namespace norvane
