#include "feeds/log_merge.h"

#include <algorithm>
#include <exception>

#include "core/sjis.h"
#include "core/trace.h"
#include "feeds/xml_node.h"

namespace norvane {

namespace {

// The item's identity: the text of its own first link child ("" when it has none), so
// items pair by what they hold, not by their place among all links.
std::string ItemLink(const xmlNode* item) {
  xmlNodePtr link = SelectSingleNode(item, "link");
  return link ? NodeText(link) : std::string();
}

xmlNodePtr Mark(const xmlNode* item) { return SelectSingleNode(item, "rg:log"); }

std::string MarkType(const xmlNode* item) {
  xmlNodePtr mark = Mark(item);
  return mark ? GetAttribute(mark, "type") : std::string();
}

// Places a new element before the item's first child (or as its only child).
xmlNodePtr PrependElement(TRXML& doc, xmlNodePtr item, const char* name, const std::string& text) {
  return item->children ? doc.InsertBefore(item->children, name, text) : doc.AddChild(item, name, text);
}

}  // namespace

std::vector<xmlNodePtr> StampArrivedItems(TRXML& fetched, const FeedPaths& paths,
                                          const std::string& date) {
  std::vector<xmlNodePtr> items;
  for (xmlNodePtr item : fetched.SelectNodes(paths.items)) {
    PrependElement(fetched, item, "rg:revday", date);
    SetAttribute(PrependElement(fetched, item, "rg:log", ""), "type", kLogNew);
    items.push_back(item);
  }
  return items;
}

LogMergeResult MergeLog(TRXML& fetched, TRXML& old, const FeedPaths& paths, int logCnt) {
  LogMergeResult result;
  try {
    NodeList oldItems = old.SelectNodes(paths.items);
    std::vector<std::string> oldLinks;
    oldLinks.reserve(oldItems.Length());
    for (xmlNodePtr item : oldItems) oldLinks.push_back(SjisAsciiLower(ItemLink(item)));
    std::vector<bool> consumed(oldLinks.size(), false);

    for (xmlNodePtr item : fetched.SelectNodes(paths.items)) {
      const std::string link = SjisAsciiLower(ItemLink(item));
      size_t found = oldLinks.size();
      for (size_t k = oldLinks.size(); k-- > 0;)
        if (!consumed[k] && oldLinks[k] == link) {
          found = k;
          break;
        }
      if (found == oldLinks.size()) {
        result.newItems.push_back(item);
        continue;
      }
      try {
        consumed[found] = true;
        if (xmlNodePtr mark = Mark(item)) SetAttribute(mark, "type", kLogToday);
        xmlNodePtr revday = SelectSingleNode(item, "rg:revday");
        xmlNodePtr oldRevday = SelectSingleNode(oldItems[found], "rg:revday");
        if (revday && oldRevday) SetNodeText(revday, NodeText(oldRevday));
        RemoveNode(oldItems[found]);
        ++result.paired;
      } catch (const std::exception& e) {
        WriteErrorLog(TraceArea::Merge, "Exception", e.what());
      }
    }

    // The old items still in the old log: those before the first "log" one leave the
    // feed now.
    NodeList left = old.SelectNodes(paths.items);
    for (xmlNodePtr item : left) {
      if (MarkType(item) == kLogPast) break;
      if (xmlNodePtr mark = Mark(item)) SetAttribute(mark, "type", kLogPast);
    }
    const size_t keep = static_cast<size_t>(std::max(0, logCnt));
    for (size_t pos = left.Length(); pos-- > keep;)
      if (MarkType(left[pos]) == kLogPast) {
        RemoveNode(left[pos]);
        ++result.trimmed;
      }

    xmlNodePtr container = fetched.SelectSingleNode(paths.itemContainer);
    if (!container) throw XmlError(std::string("no item container ") + paths.itemContainer);
    for (xmlNodePtr item : old.SelectNodes(paths.items)) {
      AppendChild(container, item);
      ++result.kept;
    }
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Merge, "Exception", e.what());
    result.error = e.what();
  }
  return result;
}

size_t MarkUnchanged(TRXML& log, const FeedPaths& paths) {
  size_t changed = 0;
  for (xmlNodePtr mark : log.SelectNodes(std::string(paths.items) + "/rg:log"))
    if (GetAttribute(mark, "type") == kLogNew) {
      SetAttribute(mark, "type", kLogToday);
      ++changed;
    }
  return changed;
}

}  // namespace norvane
