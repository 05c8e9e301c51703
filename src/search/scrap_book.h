#pragma once
#include <libxml/tree.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "feeds/rxml.h"

namespace norvane {

inline constexpr const char* kDcNamespace = "http://purl.org/dc/elements/1.1/";

// A book that cannot be loaded (keyword file missing, malformed, or keywords that form
// no pattern). what() is a Shift_JIS message for the user.
class ScrapBookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The program path of a book's files: "scrap/" + name + extension (".keys", ".xml").
std::string ScrapPath(const std::string& name, const char* extension);

// Writes the keyword file "scrap/" + name + ".keys": the Shift_JIS declaration, <scrap>,
// one " <word>keyword</word>" line per keyword in order, </scrap>, lines ending in CR LF.
// Keywords are Shift_JIS; "&", "<" and the ">" of "]]>" are escaped, control characters
// (which no keyword field can hold) are dropped. Atomic; throws ScrapBookError with the
// path when the file cannot be written.
void WriteKeywordFile(const std::string& name, const std::vector<std::string>& keywords);

// One scrapbook: its keywords and its RSS 2.0 feed, which is this object's document. A
// book whose keyword file holds no word (the kept book) takes no items from the feeds,
// only those kept into it, and is never trimmed.
//
// Locking: once the book is in a TScrapSerch, its document, Channel and the changed
// flag are shared between threads; touch them only while holding GateLock().
class Tword : public TRXML {
 public:
  // Loads the book name (Shift_JIS) from "scrap/" + name + ".keys" (or keysPath, a
  // program path, when given: the listing may find the extension in other letters) and
  // "scrap/" + name + ".xml". Throws ScrapBookError when the keywords cannot be had.
  // A feed file that exists but does not load leaves the book without a channel: it
  // takes no items and the file is never overwritten.
  explicit Tword(const std::string& name, const std::string& keysPath = {});

  std::string Name;
  std::string WordList;  // the keywords joined by ","
  std::string Pattern;   // the keywords' pattern, before dictionary expansion
  xmlNodePtr Channel = nullptr;  // rss/channel, where items go; none when absent
  // No keywords: items come only by keeping, and none is ever trimmed.
  bool Keywordless() const { return WordList.empty() && Pattern.empty(); }

  // Reads a keyword file into WordList and Pattern. Throws ScrapBookError.
  void LoadKeys(const std::string& path);
  // Makes the document the empty feed: title Name, generator, empty link and description.
  void NewFeed();
  // Trims the feed to LOG_CNT items (not a keyword-less book's), then writes the document to "scrap/" + Name +
  // ".xml", atomically. A document without a
  // root element (a feed file that did not load) is not written, so the file stays.
  // Throws XmlError when writing fails; the previous file is then untouched.
  void SaveFeed();
  // Keeps the first keep items (the newest). Trimmed items are freed at once: a book's
  // document lives for the whole run and would otherwise keep every removed item.
  void TrimItems(size_t keep);

  // Whether the document holds something the feed file lacks.
  bool Changed() const { return changed_; }
  void MarkChanged() { changed_ = true; }
  void ClearChanged() { changed_ = false; }

 private:
  bool changed_ = false;
};

}  // namespace norvane
