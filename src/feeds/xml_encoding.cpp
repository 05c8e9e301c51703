#include "feeds/xml_encoding.h"

#include <libxml/encoding.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/iconv_codec.h"
#include "core/sjis.h"
#include "core/text_code.h"
#include "core/utf8.h"
#include "feeds/xml_document.h"

namespace norvane {

namespace {

// The declaration part of a UTF-16 text, read as ASCII (every other byte).
std::string Utf16Head(std::string_view b, bool littleEndian) {
  std::string ascii;
  for (size_t i = 0; i + 1 < b.size() && ascii.size() < 512; i += 2) {
    unsigned char lo = static_cast<unsigned char>(b[littleEndian ? i : i + 1]);
    unsigned char hi = static_cast<unsigned char>(b[littleEndian ? i + 1 : i]);
    if (hi != 0 || lo == 0 || lo > 0x7F) break;
    ascii.push_back(static_cast<char>(lo));
  }
  return ascii;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

enum class Context { Text, Tag, TagQuote, Cdata, Comment, Pi, Doctype };

// What stands for a character Shift_JIS lacks, by where it stands. Where no reference
// can stand (names, processing instructions) it becomes "_<hex code>_": a name stays a
// name, two names that differ stay apart, and nothing can end a processing instruction
// early the way '?' before '>' would. Written as '?', a name would make the document,
// and so a stored channel log, unreadable. A comment takes '?'.
void Substitute(Context where, char32_t cp, std::string& out) {
  std::string ref = "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
  char hex[16];
  std::snprintf(hex, sizeof hex, "_%X_", static_cast<unsigned>(cp));
  switch (where) {
    case Context::Text:
    case Context::TagQuote: out += ref; break;
    case Context::Cdata: out += "]]>" + ref + "<![CDATA["; break;
    case Context::Comment: out.push_back('?'); break;
    default: out += hex; break;
  }
}

bool At(std::string_view s, size_t i, std::string_view what) {
  return s.compare(i, what.size(), what) == 0;
}


// The start of bytes as ASCII text, after a byte-order mark; UTF-16 read every other byte.
std::string AsciiHead(std::string_view bytes) {
  std::string head;
  auto byte = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
  if (byte(0) == 0xFF && byte(1) == 0xFE) head = Utf16Head(bytes.substr(2), true);
  else if (byte(0) == 0xFE && byte(1) == 0xFF) head = Utf16Head(bytes.substr(2), false);
  else if (byte(0) == '<' && byte(1) == 0 && byte(2) == '?' && byte(3) == 0) head = Utf16Head(bytes, true);
  else if (byte(0) == 0 && byte(1) == '<' && byte(2) == 0 && byte(3) == '?') head = Utf16Head(bytes, false);
  else {
    std::string_view b = bytes;
    if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
    head = std::string(b.substr(0, 512));
  }
  return head;
}

// The code of the UTF-16 text the zero bytes of its first two characters show: an ASCII
// character has a zero high byte. UTF-32 (three zero bytes) is not taken for it.
std::optional<ByteCode> Utf16ByZeroBytes(std::string_view b) {
  if (b.size() < 4) return std::nullopt;
  auto z = [&](size_t i) { return b[i] == '\0'; };
  if (!z(0) && z(1) && !z(2) && z(3)) return ByteCode::Utf16LE;
  if (z(0) && !z(1) && z(2) && !z(3)) return ByteCode::Utf16BE;
  return std::nullopt;
}

// What WHATWG's encoding table names windows-1252, as libxml2 and iconv spell them too.
bool IsSingleByteWesternName(const std::string& upper) {
  static const char* const kNames[] = {
      "ISO-8859-1", "ISO8859-1", "ISO_8859-1", "ISO_8859-1:1987", "ISO88591", "LATIN1", "L1",
      "IBM819", "CP819", "CSISOLATIN1", "ISO-IR-100", "US-ASCII", "ASCII", "ANSI_X3.4-1968",
      "ISO646-US", "CSASCII", "US", "WINDOWS-1252", "CP1252", "X-CP1252"};
  for (const char* n : kNames)
    if (upper == n) return true;
  return false;
}

bool IsWideUnicodeName(const std::string& upper) {
  return upper.rfind("UTF-16", 0) == 0 || upper.rfind("UTF16", 0) == 0 ||
         upper.rfind("UTF-32", 0) == 0 || upper.rfind("UCS-", 0) == 0 ||
         upper.rfind("ISO-10646-UCS", 0) == 0 || upper == "UNICODE";
}

TextReading Named(std::string name) { return {ByteCode::Named, std::move(name)}; }

ByteCode JapaneseByName(const std::string& upper) {
  if (upper.find("EUC") != std::string::npos) return ByteCode::EucJp;
  if (upper.find("2022") != std::string::npos) return ByteCode::Jis;
  return ByteCode::ShiftJis;
}

// A Japanese name, unless the bytes prove another Japanese code.
ByteCode JapaneseReading(ByteCode named, int detected) {
  switch (detected) {
    case kCodeUtf8:
    case kCodeUtf8Mark: return ByteCode::Utf8;
    case kCodeJis:
    case kCodeJisOld: return ByteCode::Jis;  // escapes before any 8-bit byte
    case kCodeEuc: return named == ByteCode::EucJp ? named : ByteCode::EucJp;  // not Shift_JIS
    case kCodeSjis: return named == ByteCode::ShiftJis ? named : ByteCode::ShiftJis;  // not EUC-JP
    default: return named;
  }
}

// The reading an encoding name gives these bytes; nothing when the name is passed over.
std::optional<TextReading> ReadingByName(const std::string& name, std::string_view bytes) {
  if (name.empty() || name.size() > 64) return std::nullopt;
  const std::string upper = Upper(name);
  if (IsSingleByteWesternName(upper)) {
    // Mislabelled UTF-8 is common; real windows-1252 text is almost never valid UTF-8.
    if (IsNonAsciiUtf8(bytes)) return TextReading{};
    return Named("WINDOWS-1252");
  }
  if (IsWideUnicodeName(upper)) return std::nullopt;  // these bytes are not UTF-16
  switch (FamilyOf(name)) {
    case DeclaredFamily::Utf8: return TextReading{};
    case DeclaredFamily::Japanese:
      return TextReading{JapaneseReading(JapaneseByName(upper), DetectTextCode(bytes)), {}};
    case DeclaredFamily::Other:
      if (IconvCodec("UTF-8", name.c_str()).ok()) return Named(name);
      return std::nullopt;
    default: return std::nullopt;
  }
}

// Every byte of the text forms a CP932 character.
bool FitsCp932(std::string_view bytes) {
  thread_local IconvCodec codec("UTF-16LE", "CP932");
  bool fits = true;
  codec.Convert(bytes, [&](std::string_view rest, std::string&) -> size_t {
    fits = false;
    return rest.size();
  });
  return fits;
}

}  // namespace

std::string DeclaredEncoding(std::string_view bytes) {
  const std::string head = AsciiHead(bytes);
  size_t p = 0;
  while (p < head.size() && IsXmlSpace(head[p])) ++p;
  if (head.compare(p, 5, "<?xml") != 0 || p + 5 >= head.size() || !IsXmlSpace(head[p + 5]))
    return {};
  size_t end = head.find("?>", p);
  std::string decl = head.substr(p, end == std::string::npos ? std::string::npos : end - p);
  size_t e = decl.find("encoding");
  if (e == std::string::npos) return {};
  e += 8;
  while (e < decl.size() && IsXmlSpace(decl[e])) ++e;
  if (e >= decl.size() || decl[e] != '=') return {};
  ++e;
  while (e < decl.size() && IsXmlSpace(decl[e])) ++e;
  if (e >= decl.size() || (decl[e] != '"' && decl[e] != '\'')) return {};
  char q = decl[e++];
  size_t close = decl.find(q, e);
  if (close == std::string::npos) return {};
  return decl.substr(e, close - e);
}

DeclaredFamily FamilyOf(const std::string& encoding) {
  if (encoding.empty()) return DeclaredFamily::None;
  std::string u = Upper(encoding);
  if (u == "UTF-8" || u == "UTF8") return DeclaredFamily::Utf8;
  static const char* const kJapanese[] = {
      "SHIFT_JIS", "SHIFT-JIS", "SJIS", "X-SJIS", "MS_KANJI", "CSSHIFTJIS", "WINDOWS-31J",
      "CP932", "MS932", "EUC-JP", "EUCJP", "X-EUC-JP", "CSEUCPKDFMTJAPANESE", "ISO-2022-JP",
      "CSISO2022JP", "ISO-2022-JP-1", "ISO-2022-JP-2", "ISO-2022-JP-3"};
  for (const char* j : kJapanese)
    if (u == j) return DeclaredFamily::Japanese;
  XmlInit();
  xmlCharEncodingHandlerPtr h = xmlFindCharEncodingHandler(encoding.c_str());
  if (!h) return DeclaredFamily::Unknown;
  xmlCharEncCloseFunc(h);
  return DeclaredFamily::Other;
}

std::string CleanUtf8(std::string_view bytes) {
  size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  return ReplaceIllFormedUtf8(bytes);
}

std::string SjisToDom(std::string_view sjis) { return CleanUtf8(SjisToUtf8(sjis)); }

std::string DomToSjis(std::string_view utf8) { return Utf8ToSjis(utf8); }

std::string SerialisedToSjis(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  Context where = Context::Text;
  char quote = 0;
  int depth = 0;
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) >= 0x80) {
      // Only a form that reads back as the same character is written as Shift_JIS.
      char32_t cp = 0;
      size_t n = Utf8SequenceLength(s.substr(i), &cp);
      if (!n) {
        Substitute(where, 0xFFFD, out);
        ++i;
      } else {
        if (!AppendSjisForm(cp, out)) Substitute(where, cp, out);
        i += n;
      }
      continue;
    }
    char c = s[i];
    switch (where) {
      case Context::Text:
        if (c == '<') {
          if (At(s, i, "<![CDATA[")) { out += "<![CDATA["; i += 9; where = Context::Cdata; continue; }
          if (At(s, i, "<!--")) { out += "<!--"; i += 4; where = Context::Comment; continue; }
          if (At(s, i, "<?")) { out += "<?"; i += 2; where = Context::Pi; continue; }
          if (At(s, i, "<!")) { out += "<!"; i += 2; where = Context::Doctype; depth = 0; continue; }
          where = Context::Tag;
        }
        break;
      case Context::Tag:
        if (c == '"' || c == '\'') { quote = c; where = Context::TagQuote; }
        else if (c == '>') where = Context::Text;
        break;
      case Context::TagQuote:
        if (c == quote) where = Context::Tag;
        break;
      case Context::Cdata:
        if (At(s, i, "]]>")) { out += "]]>"; i += 3; where = Context::Text; continue; }
        break;
      case Context::Comment:
        if (At(s, i, "-->")) { out += "-->"; i += 3; where = Context::Text; continue; }
        break;
      case Context::Pi:
        if (At(s, i, "?>")) { out += "?>"; i += 2; where = Context::Text; continue; }
        break;
      case Context::Doctype:
        if (c == '[') ++depth;
        else if (c == ']') --depth;
        else if (c == '>' && depth <= 0) where = Context::Text;
        break;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

bool HasDeclaration(std::string_view bytes) {
  const std::string head = AsciiHead(bytes);
  size_t p = 0;
  while (p < head.size() && IsXmlSpace(head[p])) ++p;
  return head.compare(p, 5, "<?xml") == 0 && p + 5 < head.size() && IsXmlSpace(head[p + 5]);
}

std::string CharsetOf(std::string_view contentType) {
  size_t at = contentType.find(';');
  while (at != std::string_view::npos) {
    std::string_view param = contentType.substr(at + 1);
    at = param.find(';');
    if (at != std::string_view::npos) {
      at += static_cast<size_t>(param.data() - contentType.data());
      param = param.substr(0, param.find(';'));
    }
    while (!param.empty() && IsXmlSpace(param.front())) param.remove_prefix(1);
    while (!param.empty() && IsXmlSpace(param.back())) param.remove_suffix(1);
    if (param.size() < 8 || Upper(std::string(param.substr(0, 8))) != "CHARSET=") continue;
    std::string_view value = param.substr(8);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    // A name is letters, digits and - _ . : ( ); anything else is no name to act on.
    if (value.empty() || value.size() > 64) return {};
    for (char c : value)
      if (c == '\0' || (!std::isalnum(static_cast<unsigned char>(c)) && !std::strchr("-_.:()", c)))
        return {};
    return std::string(value);
  }
  return {};
}

TextReading DecideTextReading(std::string_view bytes, std::string_view httpCharset) {
  auto byte = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
  if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return {};
  if (byte(0) == 0xFF && byte(1) == 0xFE) return {ByteCode::Utf16LE, {}};
  if (byte(0) == 0xFE && byte(1) == 0xFF) return {ByteCode::Utf16BE, {}};
  if (std::optional<ByteCode> wide = Utf16ByZeroBytes(bytes)) return {*wide, {}};
  if (auto r = ReadingByName(DeclaredEncoding(bytes), bytes)) return *r;
  if (auto r = ReadingByName(std::string(httpCharset), bytes)) return *r;
  const int code = DetectTextCode(bytes);
  if (code == kCodeUtf8 || code == kCodeUtf8Mark) return {};
  // Without any name XML means UTF-8; the three-byte scan misses text with é before 日本.
  if (IsNonAsciiUtf8(bytes)) return {};
  switch (code) {
    case kCodeAscii: return {};
    case kCodeJis:
    case kCodeJisOld: return {ByteCode::Jis, {}};
    case kCodeEuc: return {ByteCode::EucJp, {}};
    // The detector rules a code out by the first byte the other cannot hold: Western
    // text with a curly quote (0x92) passes for Shift_JIS until a later byte breaks it.
    case kCodeSjis:
      if (FitsCp932(bytes)) return {ByteCode::ShiftJis, {}};
      return Named("WINDOWS-1252");
    case kCodeEucOrSjis:
      if (FitsCp932(bytes)) return {ByteCode::ShiftJis, {}};
      return Named("WINDOWS-1252");
    default: return Named("WINDOWS-1252");
  }
}

bool DecodeToUtf8(std::string_view bytes, const TextReading& reading, std::string& utf8) {
  const char* from = reading.name.c_str();
  if (reading.code == ByteCode::Utf16LE) from = "UTF-16LE";
  if (reading.code == ByteCode::Utf16BE) from = "UTF-16BE";
  IconvCodec codec("UTF-8", from);
  if (!codec.ok()) return false;
  const bool wide = reading.code == ByteCode::Utf16LE || reading.code == ByteCode::Utf16BE;
  if (wide && bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
    bytes.remove_prefix(2);
  const bool western = Upper(reading.name) == "WINDOWS-1252";
  utf8 = codec.Convert(bytes, [&](std::string_view rest, std::string& out) -> size_t {
    const unsigned char b = static_cast<unsigned char>(rest[0]);
    if (western && (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)) {
      out.push_back(static_cast<char>(0xC2));
      out.push_back(static_cast<char>(b));
      return 1;
    }
    out += "\xEF\xBF\xBD";
    // A broken UTF-16 unit is two bytes; a lone byte at the end is one.
    return wide ? std::min<size_t>(2, rest.size()) : 1;
  });
  utf8 = CleanUtf8(utf8);
  return true;
}

namespace {

// The XML library's "Shift_JIS" (CP932): reading with the system's table, read once;
// writing stops at a character without a form that reads back as itself, so the library
// writes a character reference there. iconv's own writer would put ¥ down as '\'.
int SjisInput(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  if (!out || !outlen || !inlen) return -1;
  if (!in) {
    *outlen = 0;
    *inlen = 0;
    return 0;
  }
  const size_t size = static_cast<size_t>(*inlen);
  const size_t room = static_cast<size_t>(*outlen);
  size_t i = 0, o = 0;
  int result = 0;
  while (i < size) {
    const unsigned char b = in[i];
    if (b < 0x80) {
      if (o == room) {
        result = -1;
        break;
      }
      out[o++] = b;
      ++i;
      continue;
    }
    const bool lead = IsSjisLead(b);
    if (lead && i + 1 == size) break;  // the pair is finished by the next block
    const char32_t cp = lead ? SjisCharOf(b, in[i + 1]) : SjisCharOf(b);
    if (!cp) {
      result = -2;
      break;
    }
    // All of CP932 lies in the Basic Multilingual Plane: at most three bytes of UTF-8.
    const size_t width = cp < 0x80 ? 1 : cp < 0x800 ? 2 : 3;
    if (o + width > room) {
      result = -1;
      break;
    }
    if (width == 3) {
      out[o++] = static_cast<unsigned char>(0xE0 | cp >> 12);
      out[o++] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
    } else if (width == 2) {
      out[o++] = static_cast<unsigned char>(0xC0 | cp >> 6);
    }
    out[o++] = static_cast<unsigned char>(width == 1 ? cp : 0x80 | (cp & 0x3F));
    i += lead ? 2 : 1;
  }
  *inlen = static_cast<int>(i);
  *outlen = static_cast<int>(o);
  return result ? result : *outlen;
}

int SjisOutput(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  if (!out || !outlen || !inlen) return -1;
  if (!in) {
    *outlen = 0;
    *inlen = 0;
    return 0;
  }
  const size_t size = static_cast<size_t>(*inlen);
  const size_t room = static_cast<size_t>(*outlen);
  size_t i = 0, o = 0;
  int result = 0;
  while (i < size) {
    // Pages are mostly ASCII markup: copy such runs as they are.
    if (in[i] < 0x80) {
      if (o == room) {
        result = -1;
        break;
      }
      out[o++] = in[i++];
      continue;
    }
    char32_t cp = 0;
    const std::string_view rest(reinterpret_cast<const char*>(in) + i, size - i);
    const size_t n = Utf8SequenceLength(rest, &cp);
    if (!n) {
      // A character cut at the end of this block is finished by the next one.
      const unsigned char lead = in[i];
      const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
      if (need && size - i < need) break;
      result = -2;
      break;
    }
    const unsigned form = SjisFormOf(cp);
    if (!form) {
      result = -2;
      break;
    }
    const size_t width = form > 0xFF ? 2 : 1;
    if (o + width > room) {
      result = -1;
      break;
    }
    if (width == 2) out[o++] = static_cast<unsigned char>(form >> 8);
    out[o++] = static_cast<unsigned char>(form & 0xFF);
    i += n;
  }
  *inlen = static_cast<int>(i);
  *outlen = static_cast<int>(o);
  return result ? result : *outlen;
}

}  // namespace

void RegisterShiftJisHandler() {
  // Registered under the name the "Shift_JIS" aliases lead to; the library owns it.
  xmlNewCharEncodingHandler("CP932", &SjisInput, &SjisOutput);
}

}  // namespace norvane
