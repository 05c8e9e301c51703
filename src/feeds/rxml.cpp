#include "feeds/rxml.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <system_error>

#include "core/atomic_file.h"
#include "core/disk_path.h"
#include "core/sjis.h"
#include "core/text_code.h"
#include "core/texts.h"
#include "core/utf8.h"
#include "feeds/xml_encoding.h"
#include "feeds/xml_owners.h"

namespace norvane {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\"?>\n";

std::string SerialiseUtf8(xmlDocPtr doc) {
  XmlBuffer buf = NewXmlBuffer();
  xmlSaveCtxtPtr save = xmlSaveToBuffer(buf.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_FORMAT);
  if (!save) throw XmlError("cannot serialise the document");
  xmlSaveDoc(save, doc);
  xmlSaveClose(save);
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buf.get())),
                     static_cast<size_t>(xmlBufferLength(buf.get())));
}

// HTML's named entities as numeric character references; the five of XML stay. Safe on
// Shift_JIS bytes too: no trail byte is "&" or ";".
std::string HtmlEntitiesAsReferences(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] != '&') {
      out.push_back(bytes[i++]);
      continue;
    }
    size_t j = i + 1;
    while (j < bytes.size() && j - i <= 32 && std::isalnum(static_cast<unsigned char>(bytes[j]))) ++j;
    std::string name(bytes.substr(i + 1, j - i - 1));
    const htmlEntityDesc* e = nullptr;
    if (j < bytes.size() && bytes[j] == ';' && !name.empty() && name != "amp" && name != "lt" &&
        name != "gt" && name != "quot" && name != "apos")
      e = htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.c_str()));
    if (e) {
      out += "&#" + std::to_string(e->value) + ";";
      i = j + 1;
    } else {
      out.push_back(bytes[i++]);
    }
  }
  return out;
}

}  // namespace

TRXML::TRXML() {
  XmlInit();
  slot_ = std::make_shared<Slot>();
  slot_->doc = std::make_shared<XmlDocument>();
}

TRXML::~TRXML() = default;

void TRXML::AddErrorLine(std::string_view line) {
  ErrorText += "\r\n";
  ErrorText += line;
}

bool TRXML::IsEmpty() const {
  const XmlDocument& d = *slot_->doc;
  return !d.declaration && d.doc()->children == nullptr;
}

bool TRXML::Parse(std::string_view bytes, const char* encoding, const char* baseUrl) {
  XmlInit();  // this thread may not be the one that created the object
  xmlDocPtr parsed = nullptr;
  if (!bytes.empty() && bytes.size() <= static_cast<size_t>(INT_MAX)) {
    int options = ParseOptionsFor(bytes) | (encoding ? XML_PARSE_IGNORE_ENC : 0);
    xmlResetLastError();
    parsed = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), baseUrl, encoding, options);
    parseError_.clear();
    parseErrorCode_ = 0;
    if (!parsed) {
      // What the parser stopped at, for the error feed ("XML error at line 3: ...").
      if (const xmlError* e = xmlGetLastError(); e && e->message) {
        std::string m = e->message;
        while (!m.empty() && (m.back() == '\n' || m.back() == '\r')) m.pop_back();
        parseError_ = "XML error at line " + std::to_string(e->line) + ": " + m;
        parseErrorCode_ = e->code;
      }
    }
  }
  if (parsed && !xmlDocGetRootElement(parsed)) {
    xmlFreeDoc(parsed);
    parsed = nullptr;
  }
  auto doc = std::make_shared<XmlDocument>(parsed);
  // In any code the declaration is written in: a UTF-16 document's log must declare
  // Shift_JIS like every other.
  if (parsed) doc->declaration = HasDeclaration(bytes);
  slot_->doc = std::move(doc);
  return parsed != nullptr;
}

void TRXML::ParseOrThrow(std::string_view bytes, const char* encoding) {
  if (!Parse(bytes, encoding, nullptr)) {
    AddErrorLine(T().xmlParseFailed);
    throw XmlError(T().xmlParseFailedRaise);
  }
}

void TRXML::ParseWithHtmlEntities(std::string_view bytes, const char* encoding) {
  try {
    ParseOrThrow(bytes, encoding);
  } catch (const XmlError&) {
    // Feeds often use HTML's named entities (&nbsp;, &mdash;) that XML does not know.
    if (parseErrorCode_ != XML_ERR_UNDECLARED_ENTITY) throw;
    std::string fixed = HtmlEntitiesAsReferences(bytes);
    if (fixed == bytes) throw;
    ParseOrThrow(fixed, encoding);
  }
}

void TRXML::LoadFromXML(std::string_view text) {
  // Program text is Shift_JIS whatever its declaration says.
  ParseOrThrow(text, "Shift_JIS");
}

bool TRXML::LoadFromString(std::string_view text, std::string_view source,
                           std::string_view httpCharset) {
  try {
    const TextReading reading = DecideTextReading(text, httpCharset);
    bool utf8 = true;
    std::string body;
    switch (reading.code) {
      case ByteCode::Utf8: {
        // Kept as UTF-8: converting first would lose every character Shift_JIS lacks.
        std::string_view t = text;
        if (t.substr(0, 3) == "\xEF\xBB\xBF") t.remove_prefix(3);
        body = CleanUtf8(t);
        break;
      }
      case ByteCode::ShiftJis:
      case ByteCode::EucJp:
      case ByteCode::Jis: {
        const int code = reading.code == ByteCode::EucJp ? kCodeEuc
                         : reading.code == ByteCode::Jis ? kCodeJis
                                                         : kCodeSjis;
        body = NormalizeLineBreaks(JapaneseToSjis(text, code));
        utf8 = false;
        break;
      }
      default:
        if (!DecodeToUtf8(text, reading, body)) {
          // A code only the XML library knows: its own reading of the declaration.
          ParseWithHtmlEntities(text, nullptr);
          slot_->doc->declaration = true;
          return true;
        }
        break;
    }
    size_t close = body.find("?>");
    if (close != std::string::npos) body.erase(0, close + 2);
    body.insert(0, utf8 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                        : "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>");
    ParseWithHtmlEntities(body, utf8 ? "UTF-8" : "Shift_JIS");
    return true;
  } catch (const XmlError&) {
  }

  // The bytes as they came, read by the library's own encoding detection.
  AddErrorLine(T().xmlFallback + std::string(source));
  TRXML second;
  second.Parse(text, nullptr, nullptr);
  if (second.IsEmpty()) {
    AddErrorLine(T().xmlLoadFailed);
    if (!second.parseError_.empty()) AddErrorLine(second.parseError_);  // where it broke
    return false;
  }
  try {
    Clear();
    AppendNode(second.DocumentElement());
    return true;
  } catch (const std::exception&) {
    AddErrorLine(T().xmlBuildFailed);
    return false;
  }
}

void TRXML::LoadFromFile(std::string_view path) {
  std::string bytes;
  if (!ReadWholeFile(DiskPath(path), bytes, kMaxDocumentFileBytes))
    throw XmlError(T().xmlCannotOpen + std::string(path) + T().xmlCannotOpenAfter);
  LoadFromString(bytes, path);
}

void TRXML::LoadOwnFile(std::string_view path) {
  std::string bytes;
  if (!ReadWholeFile(DiskPath(path), bytes, kMaxDocumentFileBytes))
    throw XmlError(T().xmlCannotOpen + std::string(path) + T().xmlCannotOpenAfter);
  // UTF-8 under a Shift_JIS label would parse as Shift_JIS without an error, as nonsense.
  if (SjisAsciiLower(DeclaredEncoding(bytes)) == "shift_jis" && !IsNonAsciiUtf8(bytes)) {
    const std::string errors = ErrorText;
    try {
      ParseWithHtmlEntities(bytes, "Shift_JIS");
      return;
    } catch (const XmlError&) {
      ErrorText = errors;  // not as this program writes it: the careful way below
    }
  }
  LoadFromString(bytes, path);
}

void TRXML::Load(std::string_view source) {
  std::string bytes;
  if (source.find("://") != std::string_view::npos ||
      !ReadWholeFile(DiskPath(source), bytes, kMaxDocumentFileBytes)) {
    slot_->doc = std::make_shared<XmlDocument>();
    return;
  }
  std::string base = DiskPath(source);
  Parse(bytes, nullptr, base.c_str());
}

void TRXML::SaveToFile(std::string_view path) {
  std::string data = XMLWithEncoding();
  // What could not be read back is not written; the previous file stays.
  if (data.size() > kMaxDocumentFileBytes)
    throw XmlError(T().xmlCannotSave + std::string(path) + " (" +
                   std::error_code(EFBIG, std::generic_category()).message() + ")");
  if (!WriteFileAtomic(DiskPath(path), data)) {
    int e = errno;
    throw XmlError(T().xmlCannotSave + std::string(path) + " (" +
                   std::error_code(e, std::generic_category()).message() + ")");
  }
}

std::string TRXML::GetXML() const {
  const XmlDocument& d = *slot_->doc;
  std::string utf8;
  if (d.declaration) utf8 = kDeclaration;
  if (d.doc()->children) utf8 += SerialiseUtf8(d.doc());
  return SerialisedToSjis(utf8);
}

std::string TRXML::XMLWithEncoding() const {
  std::string xml = GetXML();
  static constexpr std::string_view kVersion = "version=\"1.0\"";
  size_t at = xml.find(kVersion);
  if (at != std::string::npos) xml.insert(at + kVersion.size(), " encoding=\"Shift_JIS\"");
  return xml;
}

std::string TRXML::Utf8XML() const {
  const XmlDocument& d = *slot_->doc;
  std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  if (d.doc()->children) utf8 += SerialiseUtf8(d.doc());
  return utf8;
}

void TRXML::Clear() {
  if (!IsEmpty()) {
    slot_ = std::make_shared<Slot>();
    slot_->doc = std::make_shared<XmlDocument>();
  }
  slot_->doc->declaration = true;
}

xmlNodePtr TRXML::CreateRoot(std::string_view name) {
  xmlNodePtr e = CreateElement(Holder(), name);
  AppendChild(Holder().node(), e);
  return e;
}

void TRXML::AppendNode(xmlNodePtr node) { AppendChild(Holder().node(), node); }

xmlNodePtr TRXML::AddChild(xmlNodePtr parent, std::string_view name, std::string_view text) {
  XmlDocument* holder = XmlDocument::Of(parent);
  if (!holder) throw XmlError("AddChild: no parent");
  xmlNodePtr e = CreateElement(*holder, name);
  if (!text.empty()) SetNodeText(e, text);
  AppendChild(parent, e);
  return e;
}

xmlNodePtr TRXML::InsertBefore(xmlNodePtr ref, std::string_view name, std::string_view text) {
  XmlDocument* holder = XmlDocument::Of(ref);
  if (!holder) throw XmlError("InsertBefore: no reference node");
  xmlNodePtr e = CreateElement(*holder, name);
  if (!text.empty()) SetNodeText(e, text);
  norvane::InsertBefore(ref, e);
  return e;
}

NodeList TRXML::SelectNodes(std::string_view path) const {
  return norvane::SelectNodes(Holder().node(), path);
}

xmlNodePtr TRXML::SelectSingleNode(std::string_view path) const {
  return norvane::SelectSingleNode(Holder().node(), path);
}

xmlNodePtr TRXML::DocumentElement() const { return xmlDocGetRootElement(Holder().doc()); }

xmlDocPtr TRXML::Document() const { return Holder().doc(); }

void TRXML::Assign(const TRXML& other) { slot_ = other.slot_; }

xmlNodePtr TRXML::ToElement(xmlNodePtr node) {
  if (!node || node->type != XML_ELEMENT_NODE) throw XmlError("ToElement: not an element");
  return node;
}

}  // namespace norvane
