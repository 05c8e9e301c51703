#include "feeds/xml_encoding.h"

#include <libxml/encoding.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/iconv_codec.h"
#include "core/sjis.h"
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

}  // namespace

std::string DeclaredEncoding(std::string_view bytes) {
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
  thread_local IconvCodec codec("CP932", "UTF-8");
  std::string out;
  out.reserve(s.size());
  Context where = Context::Text;
  char quote = 0;
  int depth = 0;
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) >= 0x80) {
      size_t j = i;
      while (j < s.size() && static_cast<unsigned char>(s[j]) >= 0x80) ++j;
      out += codec.Convert(s.substr(i, j - i), [where](std::string_view rest, std::string& o) -> size_t {
        char32_t cp = 0;
        size_t n = Utf8SequenceLength(rest, &cp);
        if (!n) {
          Substitute(where, 0xFFFD, o);
          return 1;
        }
        Substitute(where, cp, o);
        return n;
      });
      i = j;
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

}  // namespace norvane
