#include "groups/opml_import.h"

#include <libxml/tree.h>

#include <cctype>
#include <map>
#include <mutex>
#include <set>
#include <unordered_set>

#include "core/disk_path.h"
#include "core/plain_text.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "feeds/xml_encoding.h"
#include "feeds/xml_node.h"
#include "feeds/xml_owners.h"
#include "groups/group_file_name.h"
#include "groups/opml_append.h"

namespace norvane {

namespace {

// A new group file's name is the title's start, this long at most (bytes of Shift_JIS).
constexpr size_t kMaxFileStem = 60;

// Whole imports one at a time: each decides which files are free and which groups exist
// before it writes them.
std::mutex& ImportLock() {
  static std::mutex m;
  return m;
}

// "<!DOCTYPE" in any letter case and any width of ASCII (UTF-16 and UTF-32 put NUL bytes
// between the letters). Only a document type declares entities: a file without one can
// hold neither external entities nor an entity expansion.
bool HoldsDoctype(std::string_view bytes) {
  static constexpr std::string_view kWord = "<!doctype";
  size_t matched = 0;
  for (char c : bytes) {
    if (c == '\0') continue;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    matched = lower == kWord[matched] ? matched + 1 : (lower == kWord[0] ? 1 : 0);
    if (matched == kWord.size()) return true;
  }
  return false;
}

bool IsOutline(const xmlNode* n) {
  return n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, BAD_CAST "outline") == 0;
}

bool IsFolder(const xmlNode* n) {
  for (const xmlNode* c = n->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) return true;
  return false;
}

// An outline's name: text, else title (UTF-8).
std::string NameOf(const xmlNode* n) {
  std::string name = TrimXmlSpace(DomAttr(n, "text"));
  return name.empty() ? TrimXmlSpace(DomAttr(n, "title")) : name;
}

bool IsWebAddress(const std::string& url) {
  const size_t colon = url.find("://");
  if (colon == std::string::npos) return false;
  std::string scheme = url.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return (scheme == "http" || scheme == "https") && url.size() > colon + 3;
}

// One target group of the file and the outlines going to it, in file order.
struct Planned {
  std::string title;  // UTF-8
  std::vector<const xmlNode*> feeds;
  std::vector<std::string> emptyFolders;  // UTF-8 names, for the report
};

// The feed outlines of a folder at any depth, in document order.
void CollectFeeds(const xmlNode* folder, Planned& into) {
  for (const xmlNode* c = folder->children; c; c = c->next) {
    if (!IsOutline(c)) continue;
    if (IsFolder(c)) CollectFeeds(c, into);
    else into.feeds.push_back(c);
  }
}

// A file name for a new group from its title: the characters a file name cannot hold
// become "_", then (2), (3), ... until no file and no name of this import has it.
std::string FreeFileName(const std::string& titleSjis, std::set<std::string>& taken) {
  std::string stem;
  for (size_t i = 0; i < titleSjis.size() && stem.size() < kMaxFileStem; ++i) {
    const auto b = static_cast<unsigned char>(titleSjis[i]);
    if (IsSjisLead(b) && i + 1 < titleSjis.size()) {
      if (stem.size() + 2 > kMaxFileStem) break;
      stem.append(titleSjis, i, 2);
      ++i;
      continue;
    }
    static const std::string kRefused = "/\\:*?\"<>|&=#%+";
    stem += b < 0x20 || b == 0x7F || kRefused.find(static_cast<char>(b)) != std::string::npos ? '_' : static_cast<char>(b);
  }
  stem = TrimXmlSpace(stem);
  while (!stem.empty() && stem.front() == '.') stem.erase(0, 1);
  if (stem.empty()) stem = "import";
  std::string name = stem + ".opml";
  for (int n = 2; FileExists(DiskPath(GroupFilePath(name))) || taken.count(SjisAsciiLower(name)); ++n)
    name = stem + "(" + std::to_string(n) + ").opml";
  taken.insert(SjisAsciiLower(name));
  return name;
}

// The xmlUrl of every outline of a group document, at any depth.
void CollectAddresses(const xmlNode* parent, std::unordered_set<std::string>& into) {
  for (const xmlNode* c = parent ? parent->children : nullptr; c; c = c->next) {
    if (!IsOutline(c)) continue;
    if (std::string url = TrimXmlSpace(DomAttr(c, "xmlUrl")); !url.empty()) into.insert(url);
    CollectAddresses(c, into);
  }
}

void CopyAttr(xmlNodePtr to, const char* name, const std::string& utf8) {
  if (!xmlSetProp(to, BAD_CAST name, X(utf8))) throw std::bad_alloc();
}

// A new group document: the organizer's shape, its title as the file gave it.
xmlNodePtr NewGroup(TRXML& doc, const std::string& titleUtf8) {
  doc.Clear();
  xmlNodePtr root = doc.CreateRoot("opml");
  SetAttribute(root, "version", "1.0");
  xmlNodePtr title = doc.AddChild(doc.AddChild(root, "head", ""), "title", "");
  xmlNodeAddContent(title, X(titleUtf8));
  return doc.AddChild(root, "body", "");
}

// The group document of an existing group; throws when it cannot be read.
xmlNodePtr ExistingGroup(TRXML& doc, const std::string& file) {
  std::optional<std::string> resolved = ResolveGroupFile(file);
  if (!resolved || resolved->empty()) throw XmlError(T().opmlNotFound);
  doc.LoadFromFile(GroupFilePath(*resolved));
  xmlNodePtr body = doc.DocumentElement() ? doc.SelectSingleNode("opml/body") : nullptr;
  if (!body) throw XmlError(T().opmlNoBody + GroupFilePath(file));
  return body;
}

// The file read and checked: the document, or why it is refused.
std::string ReadOpml(TRXML& doc, std::string_view bytes) {
  if (HoldsDoctype(bytes)) return T().importDoctype;
  if (bytes.empty() || !doc.LoadFromString(bytes, "upload") || !doc.DocumentElement()) {
    std::string why = doc.ErrorText;
    const size_t line = why.rfind("\r\n");
    return T().importNotXml + (line == std::string::npos ? why : why.substr(line + 2));
  }
  if (doc.Document()->intSubset || doc.Document()->extSubset) return T().importDoctype;
  if (NodeName(doc.DocumentElement()) != "opml" || !doc.SelectSingleNode("opml/body")) return T().importNotOpml;
  return {};
}

// The groups the file's outlines go to, in the order they first appear.
std::vector<Planned> Plan(const TRXML& doc) {
  std::vector<Planned> plan;
  std::map<std::string, size_t> byTitle;
  auto target = [&](const std::string& title) -> Planned& {
    auto [it, fresh] = byTitle.emplace(title, plan.size());
    if (fresh) plan.push_back(Planned{title, {}, {}});
    return plan[it->second];
  };
  std::string loose;
  if (xmlNodePtr head = doc.SelectSingleNode("opml/head/title")) {
    XmlText text(xmlNodeGetContent(head));
    if (text) loose = TrimXmlSpace(C(text.get()));
  }
  if (loose.empty()) loose = SjisToUtf8(T().importLooseTitle);
  for (const xmlNode* n = doc.SelectSingleNode("opml/body")->children; n; n = n->next) {
    if (!IsOutline(n)) continue;
    if (!IsFolder(n)) {
      target(loose).feeds.push_back(n);
      continue;
    }
    std::string title = NameOf(n);
    if (title.empty()) title = SjisToUtf8(T().importFolderTitle);
    Planned& group = target(title);
    const size_t before = group.feeds.size();
    CollectFeeds(n, group);
    if (group.feeds.size() == before) group.emptyFolders.push_back(title);
  }
  return plan;
}

}  // namespace

ImportReport ImportOpml(TGP& gp, std::string_view bytes) {
  ImportReport report;
  TRXML source;
  report.refused = ReadOpml(source, bytes);
  if (!report.refused.empty()) return report;
  const std::vector<Planned> plan = Plan(source);

  std::lock_guard<std::mutex> importing(ImportLock());
  const std::vector<TGP::Item> items = gp.Items();
  std::set<std::string> taken;  // lower case: the catalogue matches files so at start
  for (const TGP::Item& item : items) taken.insert(SjisAsciiLower(item.file));
  std::vector<TGP::Item> made;
  {
    std::lock_guard<std::mutex> writing(GroupFileLock());
    for (const Planned& planned : plan) {
      const std::string title = DomToSjis(planned.title);
      for (const std::string& folder : planned.emptyFolders)
        report.skipped.push_back({DomToSjis(folder), "", title, T().importEmptyFolder});
      ImportedGroup group{title, "", true, 0};
      for (const TGP::Item& item : items)
        if (item.title == title) {
          group.file = item.file;
          group.made = false;
          break;
        }
      TRXML doc;
      xmlNodePtr body = nullptr;
      std::string unreadable;
      if (group.made) {
        body = NewGroup(doc, planned.title);
      } else {
        try {
          body = ExistingGroup(doc, group.file);
        } catch (const std::exception& e) {
          unreadable = T().importGroupUnreadable + e.what();
        }
      }
      std::unordered_set<std::string> present;
      if (body) CollectAddresses(body, present);
      const size_t firstAdded = report.added.size();
      for (const xmlNode* feed : planned.feeds) {
        const std::string url = TrimXmlSpace(DomAttr(feed, "xmlUrl"));
        std::string name = NameOf(feed);
        ImportLine line{DomToSjis(name.empty() ? url : name), DomToSjis(url), title, ""};
        if (url.empty()) line.reason = T().importNoAddress;
        else if (!IsWebAddress(url)) line.reason = T().importBadScheme;
        else if (!body) line.reason = unreadable;
        else if (!present.insert(url).second) line.reason = T().importDuplicate;
        if (!line.reason.empty()) {
          report.skipped.push_back(std::move(line));
          continue;
        }
        xmlNodePtr outline = doc.AddChild(body, "outline", "");
        CopyAttr(outline, "text", name.empty() ? url : name);
        CopyAttr(outline, "type", "rss");
        CopyAttr(outline, "xmlUrl", url);
        CopyAttr(outline, "description", DomAttr(feed, "description"));
        const std::string site = TrimXmlSpace(DomAttr(feed, "htmlUrl"));
        CopyAttr(outline, "htmlUrl", IsWebAddress(site) ? site : std::string());
        report.added.push_back(std::move(line));
      }
      group.added = report.added.size() - firstAdded;
      if (group.added == 0) continue;  // nothing to write; a new group is not made empty
      if (group.made) group.file = FreeFileName(title, taken);
      try {
        doc.SaveToFile(GroupFilePath(group.file));
      } catch (const std::exception& e) {
        for (size_t i = firstAdded; i < report.added.size(); ++i) {
          report.added[i].reason = T().importWriteFailed + e.what();
          report.skipped.push_back(std::move(report.added[i]));
        }
        report.added.resize(firstAdded);
        continue;
      }
      if (group.made) made.push_back({title, group.file});
      report.groups.push_back(group);
    }
  }
  try {
    gp.AddGroups(made);
  } catch (const std::exception& e) {
    report.catalogueError = T().importCatalogueFailed + e.what();
  }
  return report;
}

}  // namespace norvane
