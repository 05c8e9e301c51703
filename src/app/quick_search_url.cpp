#include "app/quick_search_url.h"

#include "core/url_helpers.h"

namespace norvane {

namespace {

bool BreaksUrl(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return true;
  switch (c) {
    case '"': case '#': case '<': case '>': case '\\': case '^': case '`': case '{':
    case '|': case '}':
      return true;
    default:
      return false;
  }
}

// What the router's decoding of a parameter would change.
bool ChangesDecodedValue(unsigned char c) { return c == '%' || c == '&' || c == '+' || c == '/'; }

std::string EncodePhrase(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (BreaksUrl(c) || ChangesDecodedValue(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
  return out;
}

bool RawQuerySafe(std::string_view title) {
  for (char ch : title) {
    const auto c = static_cast<unsigned char>(ch);
    if (BreaksUrl(c) || c == '%') return false;
  }
  return true;
}

}  // namespace

std::string QuickSearchUrl(int port, std::string_view engine, std::string_view phrase) {
  if (phrase.empty()) return {};
  std::string url = "http://localhost:" + std::to_string(port) + "/search?";
  if (RawQuerySafe(engine))
    url += "u=" + std::string(engine) + "/";
  else
    url += "ue=on&u=" + EncodeURLParam(engine);
  return url + "&w=" + EncodePhrase(phrase);
}

}  // namespace norvane
