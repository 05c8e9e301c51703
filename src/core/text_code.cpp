#include "core/text_code.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "core/iconv_codec.h"
#include "core/sjis.h"

namespace norvane {

namespace {

// Detection looks at this many leading bytes only.
constexpr size_t kDetectWindow = 1536;
// CP932's default character for what it cannot hold.
constexpr char kDefaultChar = '?';

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kShiftOut = 0x0E;
constexpr unsigned char kShiftIn = 0x0F;
constexpr unsigned char kSs2 = 0x8E;
constexpr unsigned char kSs3 = 0x8F;

inline bool In(unsigned char b, unsigned char lo, unsigned char hi) { return b >= lo && b <= hi; }

inline const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

inline bool IsSjisTrail(unsigned char b) { return In(b, 0x40, 0x7E) || In(b, 0x80, 0xFC); }

// Control bytes that no text in a Japanese code carries. TAB, LF, VT, FF, CR, SO/SI and
// ESC belong to text (SO/SI and ESC to JIS), SUB is the old end-of-file mark.
inline bool IsBinaryControl(unsigned char b) {
  return b <= 0x08 || In(b, 0x10, 0x19) || In(b, 0x1C, 0x1F);
}

// ---- JIS escape sequences -------------------------------------------------------------

enum class JisSet { kAscii, kKanji, kKanjiOld, kKana, kSupplement, kNone };

struct JisEscape {
  JisSet set = JisSet::kNone;  // kNone: a recognised sequence that selects nothing
  size_t length = 0;           // 0: not a sequence we know
};

// Reads the escape sequence at p[0] == ESC, never past n bytes.
JisEscape ReadJisEscape(const unsigned char* p, size_t n) {
  if (n >= 3 && p[1] == '(') {
    switch (p[2]) {
      case 'B':
      case 'J': return {JisSet::kAscii, 3};
      case 'I': return {JisSet::kKana, 3};
    }
    return {};
  }
  if (n >= 3 && p[1] == '$') {
    switch (p[2]) {
      case 'B': return {JisSet::kKanji, 3};
      case '@': return {JisSet::kKanjiOld, 3};
    }
    if (n >= 4 && p[2] == '(') {
      switch (p[3]) {
        case 'B':
        case 'O':
        case 'Q': return {JisSet::kKanji, 4};
        case '@': return {JisSet::kKanjiOld, 4};
        case 'D': return {JisSet::kSupplement, 4};
      }
    }
    return {};
  }
  // ESC & @ announces the 1990 revision before ESC $ B; it selects nothing itself.
  if (n >= 3 && p[1] == '&' && p[2] == '@') return {JisSet::kNone, 3};
  return {};
}

// ---- row/cell to Shift_JIS ------------------------------------------------------------

// JIS X 0208 row/cell bytes (0x21 to 0x7E each) to the Shift_JIS pair.
void AppendJis0208(unsigned char j1, unsigned char j2, std::string& out) {
  const unsigned char s1 = static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
  unsigned char s2;
  if (j1 & 1) {
    s2 = static_cast<unsigned char>(j2 + 0x1F);
    if (s2 >= 0x7F) ++s2;  // Shift_JIS trails skip 0x7F
  } else {
    s2 = static_cast<unsigned char>(j2 + 0x7E);
  }
  out.push_back(static_cast<char>(s1));
  out.push_back(static_cast<char>(s2));
}

// JIS X 0212 has no place in Shift_JIS. CP932 holds some of its characters among the IBM
// extensions (and its user area); iconv's EUC-JP-MS knows that correspondence. Anything
// else becomes the default character, like any other character CP932 lacks.
void AppendJis0212(unsigned char j1, unsigned char j2, std::string& out) {
  thread_local IconvCodec codec("CP932", "EUC-JP-MS");
  const char euc[3] = {static_cast<char>(kSs3), static_cast<char>(j1 | 0x80),
                       static_cast<char>(j2 | 0x80)};
  bool failed = false;
  std::string sjis = codec.Convert(std::string_view(euc, 3),
                                   [&](std::string_view rest, std::string&) -> size_t {
                                     failed = true;
                                     return rest.size();
                                   });
  if (failed || sjis.empty())
    out.push_back(kDefaultChar);
  else
    out += sjis;
}

// ---- UTF-8 ----------------------------------------------------------------------------

// Where iconv stopped in UTF-8 input: the length of the whole character when it is well
// formed (CP932 lacks it), else of its maximal ill-formed subpart, which the platform's
// decoder replaces by one U+FFFD. Never 0.
size_t Utf8StopLength(std::string_view s) {
  const unsigned char b0 = static_cast<unsigned char>(s[0]);
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;
  if (In(b0, 0xC2, 0xDF)) {
    need = 1;
  } else if (b0 == 0xE0) {
    need = 2, lo = 0xA0;
  } else if (In(b0, 0xE1, 0xEC) || In(b0, 0xEE, 0xEF)) {
    need = 2;
  } else if (b0 == 0xED) {
    need = 2, hi = 0x9F;  // no surrogates
  } else if (b0 == 0xF0) {
    need = 3, lo = 0x90;
  } else if (In(b0, 0xF1, 0xF3)) {
    need = 3;
  } else if (b0 == 0xF4) {
    need = 3, hi = 0x8F;
  } else {
    return 1;
  }
  size_t k = 1;
  while (k <= need && k < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[k]);
    if (b < lo || b > hi) break;
    lo = 0x80, hi = 0xBF;
    ++k;
  }
  return k;
}

// The three-byte UTF-8 scan: only three-byte sequences count, at 1-based positions
// p <= 1536 with p < size - 4.
bool LooksLikeUtf8(std::string_view text) {
  if (text.size() <= 5) return false;
  const unsigned char* p = Bytes(text);
  const size_t end = std::min(kDetectWindow, text.size() - 5);  // 0-based i < end
  bool seen = false;
  size_t i = 0;
  while (i < end) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    // i + 2 < size holds because i < size - 5.
    if (b == 0xE0) {
      if (!In(p[i + 1], 0xA0, 0xBF) || !In(p[i + 2], 0x80, 0xBF)) return false;
    } else if (In(b, 0xE1, 0xEF)) {
      if (!In(p[i + 1], 0x80, 0xBF) || !In(p[i + 2], 0x80, 0xBF)) return false;
    } else {
      return false;  // continuation byte, or a two- or four-byte lead
    }
    seen = true;
    i += 3;
  }
  return seen;
}

}  // namespace

// Walks the window once, keeping for EUC-JP and for Shift_JIS whether the bytes so far
// can still be that code, and where in a character each one stands. EUC-JP is judged by
// byte ranges; Shift_JIS by byte ranges and by the pairs CP932 assigns, since EUC-JP text
// read as Shift_JIS mostly fits the ranges but seldom lands on assigned pairs. The first code to
// become impossible decides for the other; when both survive, the text stays undecided.
// Bytes that fit neither at once leave it undecided too: the text then passes unchanged.
// JIS is 7-bit, so its escape sequences count only before the first byte above 0x7F; a
// text with no byte above 0x7F whose only JIS mark is half-width kana (ESC ( I or SO) is
// JIS as well. Binary: a NUL or another control byte that text does not use, anywhere in
// the window.
int DetectJapaneseCode(std::string_view text) {
  const size_t n = std::min(text.size(), kDetectWindow);
  const unsigned char* p = Bytes(text);
  if (std::any_of(p, p + n, IsBinaryControl)) return kCodeBinary;

  enum class Euc { kLead, kSecond, kKana, kSupplement };
  Euc euc = Euc::kLead;
  bool eucOk = true;
  unsigned char sjisLead = 0;  // set while a trail is due
  bool sjisOk = true;
  bool eightBit = false;
  bool jisKana = false;

  for (size_t i = 0; i < n; ++i) {
    const unsigned char b = p[i];
    if (!eightBit) {
      if (b == kEsc) {
        const JisEscape e = ReadJisEscape(p + i, n - i);
        if (e.set == JisSet::kKanjiOld) return kCodeJisOld;
        if (e.set == JisSet::kKanji || e.set == JisSet::kSupplement) return kCodeJis;
        if (e.set == JisSet::kKana) jisKana = true;
      } else if (b == kShiftOut) {
        jisKana = true;
      }
    }
    if (b >= 0x80) eightBit = true;

    switch (euc) {
      case Euc::kLead:
        if (b < 0x80) break;
        if (b == kSs2)
          euc = Euc::kKana;
        else if (b == kSs3)
          euc = Euc::kSupplement;
        else if (In(b, 0xA1, 0xFE))
          euc = Euc::kSecond;
        else
          eucOk = false;
        break;
      case Euc::kSecond:
        if (In(b, 0xA1, 0xFE))
          euc = Euc::kLead;
        else
          eucOk = false;
        break;
      case Euc::kKana:
        if (In(b, 0xA1, 0xDF))
          euc = Euc::kLead;
        else
          eucOk = false;
        break;
      case Euc::kSupplement:
        if (In(b, 0xA1, 0xFE))
          euc = Euc::kSecond;
        else
          eucOk = false;
        break;
    }

    if (sjisLead) {
      if (IsSjisTrail(b) && SjisCharOf(sjisLead, b) != 0)
        sjisLead = 0;
      else
        sjisOk = false;
    } else if (IsSjisLead(b)) {
      sjisLead = b;
    } else if (b >= 0x80 && !In(b, 0xA1, 0xDF)) {
      sjisOk = false;  // 0x80, 0xA0, 0xFD to 0xFF
    }

    if (!eucOk && !sjisOk) return kCodeEucOrSjis;
    if (!eucOk) return kCodeSjis;
    if (!sjisOk) return kCodeEuc;
  }
  if (!eightBit) return jisKana ? kCodeJis : kCodeAscii;
  return kCodeEucOrSjis;
}

int DetectTextCode(std::string_view text) {
  const unsigned char* p = Bytes(text);
  const size_t n = text.size();
  if (n == 0) return kCodeBinary;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return kCodeUtf16LE;
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return kCodeUtf16BE;
  if (n > 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return kCodeUtf8Mark;
  if (LooksLikeUtf8(text)) return kCodeUtf8;
  return DetectJapaneseCode(text);
}

// Unknown escape sequences, stray bytes and broken pairs are copied as they are, so
// nothing is lost. SO/SI shift to half-width kana and back whatever set is selected.
std::string JisToSjis(std::string_view text) {
  const unsigned char* p = Bytes(text);
  const size_t n = text.size();
  std::string out;
  out.reserve(n);
  JisSet set = JisSet::kAscii;
  bool shiftedOut = false;
  size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b == kEsc) {
      const JisEscape e = ReadJisEscape(p + i, n - i);
      if (e.length) {
        if (e.set != JisSet::kNone) set = e.set;
        i += e.length;
        continue;
      }
    } else if (b == kShiftOut) {
      shiftedOut = true;
      ++i;
      continue;
    } else if (b == kShiftIn) {
      shiftedOut = false;
      ++i;
      continue;
    } else if (shiftedOut || set == JisSet::kKana) {
      out.push_back(static_cast<char>(In(b, 0x21, 0x5F) ? b + 0x80 : b));
      ++i;
      continue;
    } else if (set != JisSet::kAscii && In(b, 0x21, 0x7E) && i + 1 < n && In(p[i + 1], 0x21, 0x7E)) {
      if (set == JisSet::kSupplement)
        AppendJis0212(b, p[i + 1], out);
      else
        AppendJis0208(b, p[i + 1], out);
      i += 2;
      continue;
    }
    out.push_back(static_cast<char>(b));
    ++i;
  }
  return out;
}

// Bytes that start no well-formed EUC-JP character are copied as they are.
std::string EucToSjis(std::string_view text) {
  const unsigned char* p = Bytes(text);
  const size_t n = text.size();
  std::string out;
  out.reserve(n);
  size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b == kSs2 && i + 1 < n && In(p[i + 1], 0xA1, 0xDF)) {
      out.push_back(static_cast<char>(p[i + 1]));
      i += 2;
    } else if (b == kSs3 && i + 2 < n && In(p[i + 1], 0xA1, 0xFE) && In(p[i + 2], 0xA1, 0xFE)) {
      AppendJis0212(p[i + 1] & 0x7F, p[i + 2] & 0x7F, out);
      i += 3;
    } else if (In(b, 0xA1, 0xFE) && i + 1 < n && In(p[i + 1], 0xA1, 0xFE)) {
      AppendJis0208(b & 0x7F, p[i + 1] & 0x7F, out);
      i += 2;
    } else {
      out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  return out;
}

std::string JapaneseToSjis(std::string_view text, int code) {
  switch (code) {
    case kCodeJis:
    case kCodeJisOld: return JisToSjis(text);
    case kCodeEuc: return EucToSjis(text);
    default: return std::string(text);
  }
}

// Converting straight from UTF-8 gives what going through UTF-16 gives: every character,
// and every ill-formed piece the decoder would turn into U+FFFD, that CP932 cannot hold
// becomes one default character.
std::string Utf8ToSjisMarkingInvalid(std::string_view text) {
  // The conversion works on a zero-terminated text, so a zero byte ends it.
  if (const size_t z = text.find('\0'); z != std::string_view::npos) text = text.substr(0, z);
  thread_local IconvCodec codec("CP932", "UTF-8");
  return codec.Convert(text, [](std::string_view rest, std::string& out) -> size_t {
    out.push_back(kDefaultChar);
    return Utf8StopLength(rest);
  });
}

// A lead byte and a valid trail go together. A lead followed by anything else is a
// broken character: the lead is copied alone, so a CR or LF after it still counts as a
// line break.
std::string NormalizeLineBreaks(std::string_view sjis) {
  const unsigned char* p = Bytes(sjis);
  const size_t n = sjis.size();
  std::string out;
  out.reserve(n + n / 32 + 2);
  size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (IsSjisLead(b) && i + 1 < n && IsSjisTrail(p[i + 1])) {
      out.push_back(static_cast<char>(b));
      out.push_back(static_cast<char>(p[i + 1]));
      i += 2;
    } else if (b == '\r') {
      out += "\r\n";
      i += (i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
    } else if (b == '\n') {
      out += "\r\n";
      ++i;
    } else {
      out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  return out;
}

// Binary and UTF-16 texts pass through untouched: adding CR bytes would corrupt them
// (in UTF-16 a CR byte shifts every character after it).
std::string ConvertToSJIS(std::string_view text) {
  const int code = DetectTextCode(text);
  switch (code) {
    case kCodeUtf8Mark: return NormalizeLineBreaks(Utf8ToSjisMarkingInvalid(text.substr(3)));
    case kCodeUtf8: return NormalizeLineBreaks(Utf8ToSjisMarkingInvalid(text));
    case kCodeBinary:
    case kCodeUtf16LE:
    case kCodeUtf16BE: return std::string(text);
    default: return NormalizeLineBreaks(JapaneseToSjis(text, code));
  }
}

std::optional<std::string> ConvertNamedToSJIS(std::string_view text, std::string_view charset) {
  if (charset.empty() || charset.size() > 40) return std::nullopt;
  std::string name;
  for (char c : charset) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (!std::isalnum(b) && c != '-' && c != '_' && c != '.' && c != ':') return std::nullopt;
    name.push_back(static_cast<char>(std::toupper(b)));
  }
  auto is = [&](std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
  };
  if (is({"UTF-8", "UTF8", "UNICODE-1-1-UTF-8"}))
    return NormalizeLineBreaks(Utf8ToSjisMarkingInvalid(text));
  if (is({"SHIFT_JIS", "SHIFT-JIS", "SJIS", "X-SJIS", "MS_KANJI", "CSSHIFTJIS", "WINDOWS-31J", "CP932",
          "MS932"}))
    return NormalizeLineBreaks(text);
  if (is({"EUC-JP", "EUCJP", "X-EUC-JP", "CSEUCPKDFMTJAPANESE"})) return NormalizeLineBreaks(EucToSjis(text));
  if (is({"ISO-2022-JP", "CSISO2022JP"})) return NormalizeLineBreaks(JisToSjis(text));
  IconvCodec codec("UTF-8", name.c_str());
  if (!codec.ok()) return std::nullopt;
  const std::string utf8 = codec.Convert(text, [](std::string_view, std::string& out) -> size_t {
    out += "\xEF\xBF\xBD";
    return 1;
  });
  return NormalizeLineBreaks(Utf8ToSjisMarkingInvalid(utf8));
}

}  // namespace norvane
