#include "core/sjis.h"

#include <vector>

#include "core/iconv_codec.h"

namespace norvane {

namespace {

// Every byte from 0x80 and every pair CP932 assigns, decoded once by iconv, so that
// reading needs no iconv call per block (the pages' logs are read on every request).
class Cp932Chars {
 public:
  Cp932Chars() : pairs_(0x10000, 0) {
    IconvCodec decode("UTF-16LE", "CP932");
    if (!decode.ok()) return;  // then only ASCII reads
    for (int b = 0x80; b <= 0xFF; ++b) singles_[b - 0x80] = Decode(decode, {static_cast<char>(b)});
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsSjisLead(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail)
        pairs_[static_cast<size_t>(lead << 8 | trail)] =
            Decode(decode, {static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  char32_t Single(unsigned char b) const { return b >= 0x80 ? singles_[b - 0x80] : 0; }
  char32_t Pair(unsigned char lead, unsigned char trail) const { return pairs_[lead << 8 | trail]; }
  // What a form of one or two bytes reads as; 0 when nothing.
  char32_t Of(std::string_view form) const {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(form[i]); };
    if (form.size() == 1) return Single(b(0));
    return form.size() == 2 && IsSjisLead(b(0)) ? Pair(b(0), b(1)) : 0;
  }

 private:
  static char32_t Decode(IconvCodec& codec, const std::string& bytes) {
    bool failed = false;
    const std::string unit = codec.Convert(bytes, [&](std::string_view rest, std::string&) -> size_t {
      failed = true;
      return rest.size();
    });
    if (failed || unit.size() != 2) return 0;
    return static_cast<char32_t>(static_cast<unsigned char>(unit[0]) | static_cast<unsigned char>(unit[1]) << 8);
  }
  char32_t singles_[0x80] = {};
  std::vector<char32_t> pairs_;
};

const Cp932Chars& Chars() {
  static const Cp932Chars chars;
  return chars;
}

// Each code point of CP932 kept with the form iconv writes for it when that form reads
// back as it again. All of CP932 lies in the Basic Multilingual Plane.
class Cp932Forms {
 public:
  Cp932Forms() : forms_(0x10000, 0) {
    IconvCodec encode("CP932", "UTF-16LE");
    if (!encode.ok()) return;  // then only ASCII is written as itself
    const Cp932Chars& chars = Chars();
    for (int b = 0x80; b <= 0xFF; ++b) Consider(chars.Single(static_cast<unsigned char>(b)), encode, chars);
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsSjisLead(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail)
        Consider(chars.Pair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)), encode, chars);
    }
  }
  unsigned Of(char32_t cp) const { return cp < forms_.size() ? forms_[cp] : 0; }

 private:
  void Consider(char32_t cp, IconvCodec& encode, const Cp932Chars& chars) {
    if (cp < 0x80 || forms_[cp]) return;
    const char unit[2] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8)};
    bool failed = false;
    const std::string form = encode.Convert(std::string_view(unit, 2), [&](std::string_view rest, std::string&) {
      failed = true;
      return rest.size();
    });
    if (failed || form.empty() || form.size() > 2 || chars.Of(form) != cp) return;
    unsigned v = static_cast<unsigned char>(form[0]);
    if (form.size() == 2) v = v << 8 | static_cast<unsigned char>(form[1]);
    forms_[cp] = static_cast<unsigned short>(v);
  }
  std::vector<unsigned short> forms_;
};

}  // namespace

char32_t SjisCharOf(unsigned char single) { return Chars().Single(single); }
char32_t SjisCharOf(unsigned char lead, unsigned char trail) { return Chars().Pair(lead, trail); }

unsigned SjisFormOf(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned>(cp);
  static const Cp932Forms forms;
  return forms.Of(cp);
}

bool AppendSjisForm(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
    return true;
  }
  const unsigned form = SjisFormOf(cp);
  if (!form) return false;
  if (form > 0xFF) out.push_back(static_cast<char>(form >> 8));
  out.push_back(static_cast<char>(form & 0xFF));
  return true;
}

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
