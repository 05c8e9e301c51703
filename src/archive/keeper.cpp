#include "archive/keeper.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "archive/archive_source.h"
#include "archive/dom_build.h"
#include "core/disk_path.h"
#include "core/form_token.h"
#include "core/gate_lock.h"
#include "core/program_files.h"
#include "core/route_names.h"
#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/channel_log_lock.h"
#include "feeds/chlist.h"
#include "feeds/rss2.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"
#include "search/scrap_book.h"
#include "search/scrap_collection.h"

namespace norvane {

namespace {

uint64_t DigestOf(const xmlNode* item) {
  return ItemDigest(DomText(ChildElement(item, "link")), DomText(ChildElement(item, "title")),
                    DomText(ChildElement(item, "description")));
}

std::vector<xmlNodePtr> BookItems(const Tword& book) {
  std::vector<xmlNodePtr> items;
  for (xmlNodePtr c = book.Channel ? book.Channel->children : nullptr; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && HasQualifiedName(c, "item")) items.push_back(c);
  return items;
}

xmlNodePtr ItemOfDigest(const std::vector<xmlNodePtr>& items, uint64_t digest) {
  for (xmlNodePtr item : items)
    if (DigestOf(item) == digest) return item;
  return nullptr;
}

// The book the program's own scrap.xml address names ("scrap.xml?u=<name>.keys"); empty
// for any other address.
std::string OwnBookName(const std::string& url) {
  if (!IsOwnRoute(url, routes::kScrapXml)) return {};
  const size_t at = url.find("u=", AsciiLower(url).find(routes::kScrapXml));
  if (at == std::string::npos) return {};
  std::string name = url.substr(at + 2, url.find('&', at) - (at + 2));
  if (name.find('%') != std::string::npos) name = PercentDecode(name);
  while (!name.empty() && name.back() == '/') name.pop_back();
  if (name.size() > 5 && AsciiLower(name.substr(name.size() - 5)) == ".keys") name.resize(name.size() - 5);
  return name;
}

// Copies what a reader of the book needs of an item, each text DOM to DOM: title, link,
// description, the date it was published, when it came in, and its feed (the source the
// item names, else channelTitle with feedUrl).
void CopyItem(xmlNodePtr entry, const xmlNode* from, const xmlNode* channelTitle, const std::string& feedUrl) {
  for (const char* name : {"title", "link", "description"})
    if (const xmlNode* c = ChildElement(from, name)) CopyNodeText(AddDomChild(entry, name, ""), c);
  if (const xmlNode* date = PublishedElement(from)) {
    const bool dc = !HasQualifiedName(date, "pubDate");
    xmlNodePtr to = dc ? AddNamespacedChild(entry, "http://purl.org/dc/elements/1.1/", "dc", "date")
                       : AddDomChild(entry, "pubDate", "");
    CopyNodeText(to, date);
  }
  if (const xmlNode* revday = RgElement(from, "revday")) CopyNodeText(AddRgChild(entry, "revday"), revday);
  const xmlNode* source = ChildElement(from, "source");
  xmlNodePtr to = AddDomChild(entry, "source", "");
  CopyNodeText(to, source ? source : channelTitle);
  SetAttribute(to, "url", source ? GetAttribute(source, "url") : feedUrl);
}

}  // namespace

std::string Keeper::KeptBookName() { return T().keptBookName; }

const std::unordered_set<uint64_t>& Keeper::KeptDigests() {
  Tword* book = books_.Find(KeptBookName());
  const std::vector<xmlNodePtr> items = book ? BookItems(*book) : std::vector<xmlNodePtr>();
  if (book != keptOf_ || items.size() != keptCount_) {
    kept_.clear();
    for (xmlNodePtr item : items) kept_.insert(DigestOf(item));
    keptOf_ = book;
    keptCount_ = items.size();
  }
  return kept_;
}

Tword* Keeper::FindOrMakeBook(const std::string& name, Outcome& outcome) {
  if (Tword* book = books_.Find(name)) return book;
  if (name != KeptBookName()) {
    outcome.kind = Outcome::Kind::NoBook;
    return nullptr;
  }
  // The kept book is made on the first keep: a keyword file without words.
  std::string error;
  try {
    if (!FileExists(DiskPath(files::ScrapPath(name, ".keys")))) {
      std::error_code ignored;  // made at start; gone since, it is made again
      std::filesystem::create_directories(DiskPath(std::string(files::kScrap)), ignored);
      WriteKeywordFile(name, {});
    }
    if (books_.AddWord(name, &error)) return books_.Find(name);
  } catch (const std::exception& e) {
    error = e.what();
  }
  outcome.kind = Outcome::Kind::Failed;
  outcome.message = error;
  return nullptr;
}

Keeper::Outcome Keeper::Keep(const std::string& feedUrl, uint64_t digest, std::string book) {
  Outcome out;
  out.book = book.empty() ? KeptBookName() : std::move(book);
  const std::string fromBook = OwnBookName(feedUrl);
  TRXML log;
  xmlNodePtr from = nullptr;
  xmlNodePtr channelTitle = nullptr;
  try {
    if (fromBook.empty()) {
      TChItem entry(channels_, feedUrl);
      const std::string path = files::ChannelLogPath(entry.GetFileName());
      {
        ChannelLogLock serialise(path);
        if (!FileExists(DiskPath(path))) return out;
        log.LoadOwnFile(path);
      }
      const std::string version = DetectRSSVersion(log);
      if (version.empty()) return out;
      const FeedPaths& paths = PathsForVersion(version);
      for (xmlNodePtr item : log.SelectNodes(paths.items))
        if (!from && DigestOf(item) == digest) from = item;
      if (!from) return out;
      channelTitle = log.SelectSingleNode(paths.title);
    }

    GateGuard lock(GateLock());
    if (!fromBook.empty()) {
      Tword* source = books_.Find(fromBook);
      if (!source || !(from = ItemOfDigest(BookItems(*source), digest))) return out;
    }
    Tword* target = FindOrMakeBook(out.book, out);
    if (!target) return out;
    if (!target->Channel) {
      out.kind = Outcome::Kind::Failed;
      out.message = T().scrapFeedUnreadable + files::ScrapPath(target->Name, ".xml");
      return out;
    }
    const std::vector<xmlNodePtr> items = BookItems(*target);
    if (ItemOfDigest(items, digest)) {
      out.kind = Outcome::Kind::AlreadyKept;
      return out;
    }
    xmlNodePtr entry = CreateElement(target->Holder(), "item");
    if (!items.empty()) InsertBefore(items.front(), entry);
    else AppendChild(target->Channel, entry);
    CopyItem(entry, from, channelTitle, feedUrl);
    keptOf_ = nullptr;
    if (!books_.SaveBook(*target)) {
      RemoveNode(entry);
      out.kind = Outcome::Kind::Failed;
      out.message = T().xmlCannotSave + files::ScrapPath(target->Name, ".xml");
      return out;
    }
    out.kind = Outcome::Kind::Kept;
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Find, "exception", e.what());
    out.kind = Outcome::Kind::Failed;
    out.message = e.what();
  }
  return out;
}

Keeper::Outcome Keeper::Drop(uint64_t digest, std::string book) {
  Outcome out;
  out.book = book.empty() ? KeptBookName() : std::move(book);
  GateGuard lock(GateLock());
  Tword* target = books_.Find(out.book);
  if (!target) {
    out.kind = Outcome::Kind::NoBook;
    return out;
  }
  xmlNodePtr item = ItemOfDigest(BookItems(*target), digest);
  if (!item) {
    out.kind = Outcome::Kind::NotKept;
    return out;
  }
  xmlNodePtr next = item->next;
  try {
    RemoveNode(item);
    keptOf_ = nullptr;
    if (books_.SaveBook(*target)) {
      out.kind = Outcome::Kind::Dropped;
      return out;
    }
    // The file still holds it: so does the book.
    if (next) InsertBefore(next, item);
    else AppendChild(target->Channel, item);
    out.message = T().xmlCannotSave + files::ScrapPath(target->Name, ".xml");
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Find, "exception", e.what());
    out.message = e.what();
  }
  out.kind = Outcome::Kind::Failed;
  return out;
}

void Keeper::MarkItems(TRXML& doc, const std::string& itemsPath, const std::string& feedUrl) {
  const NodeList items = doc.SelectNodes(itemsPath);
  std::vector<uint64_t> digests;
  digests.reserve(items.Length());
  for (xmlNodePtr item : items) digests.push_back(DigestOf(item));
  std::vector<bool> kept(digests.size());
  // The books an item may go to: the kept book first (made on its first keep), then the
  // others in their list's order.
  std::vector<std::string> bookNames{KeptBookName()};
  {
    GateGuard lock(GateLock());
    const std::unordered_set<uint64_t>& keptDigests = KeptDigests();
    for (size_t i = 0; i < digests.size(); ++i) kept[i] = keptDigests.count(digests[i]) > 0;
    for (int i = 0; i < books_.Count(); ++i)
      if (books_.Items(i).Name != bookNames.front()) bookNames.push_back(books_.Items(i).Name);
  }
  if (xmlNodePtr root = doc.DocumentElement()) {
    SetNodeText(AddRgChild(root, "token"), FormToken());
    xmlNodePtr books = AddRgChild(root, "books");
    for (const std::string& name : bookNames) SetNodeText(AddRgChild(books, "book"), name);
  }
  for (size_t i = 0; i < items.Length(); ++i) {
    std::string url = feedUrl;
    if (url.empty()) url = GetAttribute(ChildElement(items[i], "source"), "url");
    xmlNodePtr keep = AddRgChild(items[i], "keep");
    SetAttribute(keep, "u", url);
    SetAttribute(keep, "k", DigestText(digests[i]));
    SetAttribute(keep, "kept", kept[i] ? "1" : "0");
  }
}

}  // namespace norvane
