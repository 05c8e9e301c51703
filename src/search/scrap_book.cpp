#include "search/scrap_book.h"

#include <algorithm>
#include <vector>

#include "core/atomic_file.h"
#include "core/disk_path.h"
#include "core/program_files.h"
#include "core/settings.h"
#include "core/headless_shell.h"
#include "core/texts.h"
#include "feeds/rg_namespace.h"
#include "feeds/xml_node.h"
#include "pattern/regexp_error.h"
#include "pattern/rserch.h"

namespace norvane {

namespace {

// A name that maps to one file name inside "scrap/": not empty, no separator, no NUL,
// not "." or "..".
bool IsBookName(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  std::string disk = DiskPath(name);  // whole characters: a trail byte 0x5C is no separator
  return disk.find('/') == std::string::npos && disk != "." && disk != "..";
}

}  // namespace

std::string ScrapPath(const std::string& name, const char* extension) {
  return files::ScrapPath(name, extension);
}

Tword::Tword(const std::string& name, const std::string& keysPath) : Name(name) {
  if (!IsBookName(name)) throw ScrapBookError(T().scrapBadName + name);
  const std::string keys = keysPath.empty() ? ScrapPath(name, ".keys") : keysPath;
  const std::string feed = ScrapPath(name, ".xml");
  // A link in the scrapbook folder that leads out of it is not read, nor served.
  for (const std::string& path : {keys, feed})
    if (FileExists(DiskPath(path)) && ResolveInside(std::string(files::kScrap), DiskPath(path)).empty())
      throw ScrapBookError(T().scrapOutside + path);
  LoadKeys(keys);

  if (FileExists(DiskPath(feed))) {
    bool loaded = false;
    try {
      LoadFromFile(feed);
      loaded = DocumentElement() != nullptr;
    } catch (const XmlError&) {
    }
    if (!loaded) {
      // Writing the empty document back at exit would destroy what the file still holds.
      Clear();  // no root element: SaveFeed skips it
      ConsoleLine(T().scrapFeedUnreadable + feed);
    }
  } else {
    NewFeed();
  }

  if (xmlNodePtr description = SelectSingleNode("rss/channel/description"))
    SetNodeText(description, Keywordless() ? T().keptBookDescription : WordList + T().scrapDescriptionSuffix);
  Channel = SelectSingleNode("rss/channel");
}

void WriteKeywordFile(const std::string& name, const std::vector<std::string>& keywords) {
  std::string text = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<scrap>\r\n";
  for (const std::string& word : keywords) {
    text += " <word>";
    for (size_t i = 0; i < word.size(); ++i) {
      const char c = word[i];
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) continue;
      if (c == '&') text += "&amp;";
      else if (c == '<') text += "&lt;";
      else if (c == '>' && text.size() >= 2 && text.compare(text.size() - 2, 2, "]]") == 0)
        text += "&gt;";
      else text += c;
    }
    text += "</word>\r\n";
  }
  text += "</scrap>\r\n";
  const std::string path = ScrapPath(name, ".keys");
  if (!WriteFileAtomic(DiskPath(path), text))
    throw ScrapBookError(T().xmlCannotSave + path);
}

void Tword::LoadKeys(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(DiskPath(path), bytes)) throw ScrapBookError(T().scrapNoKeywordFile + path);
  TRXML keys;
  if (!keys.LoadFromString(bytes, path) || !keys.DocumentElement())
    throw ScrapBookError(T().scrapBadKeywordFile + path);
  NodeList words = keys.SelectNodes("scrap/word");
  if (words.empty()) {
    WordList.clear();
    Pattern.clear();
    return;
  }

  // Each later word goes in front: "w3 OR w2 OR w1".
  std::string list, phrase;
  for (size_t i = 0; i < words.Length(); ++i) {
    std::string w = NodeText(words[i]);
    if (i == 0) {
      list = w;
      phrase = w;
    } else {
      list += "," + w;
      phrase = w + " OR " + phrase;
    }
  }

  TRSerch scratch;  // the fuzzy table alone: synonyms are added when the book is used
  try {
    scratch.SetKeyword(phrase);
  } catch (const ERegExpParser& e) {
    throw ScrapBookError(T().scrapBadKeyword + e.what());
  }
  WordList = std::move(list);
  Pattern = scratch.RegExp();
}

void Tword::NewFeed() {
  Clear();
  xmlNodePtr rss = CreateRoot("rss");
  SetAttribute(rss, "version", "2.0");
  SetAttribute(rss, "xmlns:rg", kRgNamespace);
  SetAttribute(rss, "xmlns:dc", kDcNamespace);
  xmlNodePtr channel = AddChild(rss, "channel", "");
  AddChild(channel, "title", Name);
  AddChild(channel, "generator", "Norvane");
  AddChild(channel, "link", "");
  AddChild(channel, "description", "");
}

void Tword::TrimItems(size_t keep) {
  NodeList items = SelectNodes("rss/channel/item");
  if (items.Length() <= keep) return;
  std::vector<xmlNodePtr> removed;
  for (size_t i = items.Length(); i-- > keep;) {
    RemoveNode(items[i]);
    removed.push_back(items[i]);
  }
  MarkChanged();
  // Nothing outside the book's lock names them; the list above goes with this scope.
  for (xmlNodePtr n : removed) {
    Holder().Reattached(n);
    xmlFreeNode(n);
  }
}

void Tword::SaveFeed() {
  if (!DocumentElement()) return;
  if (!Keywordless()) TrimItems(static_cast<size_t>(std::max(0, GetSettings().LOG_CNT)));
  SaveToFile(ScrapPath(Name, ".xml"));
}

}  // namespace norvane
