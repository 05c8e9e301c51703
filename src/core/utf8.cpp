#include "core/utf8.h"

namespace norvane {

size_t Utf8SequenceLength(std::string_view s, char32_t* cp) {
  if (s.empty()) return 0;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    if (cp) *cp = lead;
    return 1;
  }
  size_t n;
  char32_t v, min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, v = lead & 0x1Fu, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, v = lead & 0x0Fu, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, v = lead & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (byte(i) & 0x3Fu);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  if (cp) *cp = v;
  return n;
}

bool IsWellFormedUtf8(std::string_view s, bool* nonAscii) {
  bool wide = false;
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8SequenceLength(s.substr(i));
    if (n == 0) return false;
    wide |= n > 1;
    i += n;
  }
  if (nonAscii) *nonAscii = wide;
  return true;
}

bool IsNonAsciiUtf8(std::string_view s) {
  bool wide = false;
  return IsWellFormedUtf8(s, &wide) && wide;
}

std::string ReplaceIllFormedUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (const size_t n = Utf8SequenceLength(s.substr(i))) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

}  // namespace norvane
