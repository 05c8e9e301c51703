#include "core/sjis.h"

#include "core/iconv_codec.h"

namespace norvane {

std::string Utf8ToSjis(std::string_view utf8) {
  thread_local IconvCodec codec("CP932", "UTF-8");
  return codec.Convert(utf8, [](std::string_view rest, std::string& out) -> size_t {
    unsigned char b = static_cast<unsigned char>(rest[0]);
    size_t n = b < 0x80 ? 1 : b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (n > rest.size()) n = rest.size();
    // A whole, well-formed character that CP932 lacks becomes '?'; stray bytes vanish.
    bool whole = n > 1;
    for (size_t i = 1; i < n && whole; ++i)
      whole = (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80;
    if (whole) {
      out.push_back('?');
      return n;
    }
    return 1;
  });
}

std::string SjisToUtf8(std::string_view sjis) {
  thread_local IconvCodec codec("UTF-8", "CP932");
  return codec.Convert(sjis, [](std::string_view rest, std::string& out) -> size_t {
    out.push_back(rest[0]);
    return 1;
  });
}

std::string SjisAsciiLower(std::string_view sjis) {
  std::string out(sjis);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(out[i]);
    if (IsSjisLead(b) && i + 1 < out.size()) {
      ++i;
    } else if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + 32);
    }
  }
  return out;
}

}  // namespace norvane
