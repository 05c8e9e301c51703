#pragma once
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>

#include "feeds/fetch_outcome.h"
#include "feeds/xml_document.h"
#include "feeds/xml_node.h"

namespace norvane {

class CompiledStyle;

// The program's wrapper of one XML document. Text crossing it is Shift_JIS; the DOM
// holds the real characters (UTF-8), so text that Shift_JIS lacks survives a load and a
// save as numeric character references. Files are written as Shift_JIS and declare it.
//
// Not thread-safe: one owner at a time (TChList guards its own document).
class TRXML {
 public:
  TRXML();
  virtual ~TRXML();
  TRXML(const TRXML&) = delete;
  TRXML& operator=(const TRXML&) = delete;

  // If-Modified-Since to send / Last-Modified received; empty outside a fetch.
  std::string LastModified;
  // The Content-Type of the last answer GET took a body from; it names the charset.
  std::string ContentType;
  // If-None-Match to send / ETag received, the same way.
  std::string ETag;
  // Failure lines, each preceded by CR LF.
  std::string ErrorText;
  // Where the last successful request's answer came from: its URL, or where its
  // redirects ended. Relative addresses in what it brought resolve against this.
  std::string FinalURL;

  // Loads program or fetched bytes (any code) into the document. source names where they
  // came from (a path or URL) for the error lines; httpCharset is the charset the server
  // named, read after the document's own declaration (see DecideTextReading). False when
  // nothing could be loaded.
  bool LoadFromString(std::string_view text, std::string_view source,
                      std::string_view httpCharset = {});
  // Reads the whole file, then LoadFromString. Throws XmlError when it cannot be read.
  void LoadFromFile(std::string_view path);
  // A file this program wrote (a channel log): declared Shift_JIS, it is parsed as it
  // stands, without the code detection and conversions that text from outside needs;
  // anything else is read as LoadFromFile reads it. Throws like LoadFromFile.
  void LoadOwnFile(std::string_view path);
  // Parses Shift_JIS text as it stands. Throws XmlError when nothing parsed.
  void LoadFromXML(std::string_view text);
  // The XML library's own loader on a file path (stylesheets). A URL, or anything that
  // does not load, leaves the document empty; nothing is reported.
  void Load(std::string_view source);
  // Replaces the file atomically with XMLWithEncoding. Throws XmlError when it cannot be
  // written; the previous file is then untouched.
  void SaveToFile(std::string_view path);

  // The serialisation; empty for an empty document. The declaration, when the document
  // has one, reads <?xml version="1.0"?>.
  std::string GetXML() const;
  // GetXML with the declaration naming encoding="Shift_JIS".
  std::string XMLWithEncoding() const;
  // The serialisation in UTF-8, declared so, for files other programs read (an OPML
  // export): nothing of the text is lost.
  std::string Utf8XML() const;
  // An empty document with only the XML declaration. A document shared through Assign
  // stays with the other holders.
  void Clear();

  xmlNodePtr CreateRoot(std::string_view name);
  // Appends the node to the document (moving it, also from another document).
  void AppendNode(xmlNodePtr node);
  xmlNodePtr AddChild(xmlNodePtr parent, std::string_view name, std::string_view text);
  xmlNodePtr InsertBefore(xmlNodePtr ref, std::string_view name, std::string_view text);

  // Path selection from the document node (see xml_path.h). A malformed path throws.
  NodeList SelectNodes(std::string_view path) const;
  xmlNodePtr SelectSingleNode(std::string_view path) const;

  xmlNodePtr DocumentElement() const;
  xmlDocPtr Document() const;
  // The holder of the current document, for node operations that create nodes.
  XmlDocument& Holder() const { return *slot_->doc; }

  // Shares the other object's document (not a copy).
  void Assign(const TRXML& other);
  // Throws XmlError when the node is not an element.
  static xmlNodePtr ToElement(xmlNodePtr node);
  // Applies the stylesheet document to this one; the result as Shift_JIS text.
  // Throws XmlError with the engine's message when the transformation fails.
  std::string Transform(const TRXML& stylesheet) const;
  // The same with a stylesheet compiled before (see style_cache.h), which any number of
  // threads may use at once.
  std::string Transform(const CompiledStyle& style) const;
  const std::string& GetErrorText() const { return ErrorText; }

  // HTTP (rxml_http.cpp).
  // One request with LastModified as If-Modified-Since and ETag as If-None-Match; on
  // success both become the response's values. Every failure is put in front of
  // ErrorText and rethrown.
  std::string GET(const std::string& url);
  // One conditional request with the validators given; the body when the outcome is Ok,
  // else empty. Never throws; a failure is put in front of ErrorText as GET puts it.
  FetchOutcome FetchIfModified(const std::string& url, const CacheValidators& given,
                               std::string& body);
  // Empty body when unchanged or failed, and then received is what was given; never
  // throws.
  std::string GetIfModified(const std::string& url, const CacheValidators& given,
                            CacheValidators& received);
  std::string GetIfModified(const std::string& url, const std::string& lastModified,
                            std::string& newLastModified);
  // FetchIfModified, and the body read into the document (LoadFetched). Ok only when a
  // feed is in the document now; an answer that does not parse is XmlError, one that
  // parses but is no feed (or is empty) NotAFeed, with the reason in detail. Never throws.
  FetchOutcome LoadFromHTTPIfModified(const std::string& url, const CacheValidators& given);
  bool LoadFromHTTPIfModified(const std::string& url, const std::string& lastModified,
                              std::string& newLastModified);
  void LoadFromHTTP(const std::string& url);
  // Fetched bytes into the document: a JSON Feed or an Atom feed becomes RSS 2.0 (see
  // feed_formats.h), and a web page that came instead says so in ErrorText. contentType
  // is the answer's Content-Type header, for its charset.
  bool LoadFetched(std::string body, const std::string& url, std::string_view contentType = {});

 protected:
  void AddErrorLine(std::string_view line);
  // One request with LastModified and ETag sent; on an Ok answer they, FinalURL and
  // ContentType become the answer's. Never throws: a failure (an error of the client
  // included) comes back as the response's kind and is put in front of ErrorText.
  FetchResponse Request(const std::string& url);

 private:
  // Documents are reference-counted, and a slot is what Assign shares: loading into one
  // holder is seen by all, Clear gives this holder a slot of its own.
  struct Slot {
    XmlDocumentRef doc;
  };
  // Parses bytes (encoding nullptr: the library's own detection) into the shared slot;
  // on failure the slot holds an empty document. False when nothing parsed.
  bool Parse(std::string_view bytes, const char* encoding, const char* baseUrl);
  // Parse, plus the failure line; throws like LoadFromXML.
  void ParseOrThrow(std::string_view bytes, const char* encoding);
  bool IsEmpty() const;

  std::shared_ptr<Slot> slot_;
  // ParseOrThrow, and once more with HTML's named entities as references when the
  // parser stopped at an entity it does not know.
  void ParseWithHtmlEntities(std::string_view bytes, const char* encoding);

  std::string parseError_;  // the parser's own words on the last failed parse
  int parseErrorCode_ = 0;
};

}  // namespace norvane
