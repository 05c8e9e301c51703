#include "feeds/item_addresses.h"

#include <libxml/tree.h>

#include <string_view>

#include "feeds/xml_node.h"

namespace norvane {

namespace {

std::string Trimmed(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsWebAddress(std::string_view url) {
  return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

// The guid of an item that names the item's page.
std::string PermalinkGuid(const xmlNode* item) {
  xmlNodePtr guid = SelectSingleNode(item, "guid");
  if (!guid) return {};
  if (HasAttribute(guid, "isPermaLink") && Trimmed(GetAttribute(guid, "isPermaLink")) != "true") return {};
  std::string text = Trimmed(NodeText(guid));
  return IsWebAddress(text) ? text : std::string();
}

void GuidAsLink(TRXML& doc, xmlNodePtr item) {
  xmlNodePtr link = SelectSingleNode(item, "link");
  if (link && !Trimmed(NodeText(link)).empty()) return;
  std::string guid = PermalinkGuid(item);
  if (guid.empty()) return;
  if (link)
    SetNodeText(link, guid);
  else
    doc.AddChild(item, "link", guid);
}

}  // namespace

void PrepareArrivedItems(TRXML& doc, const FeedPaths& paths, const std::string& feedUrl) {
  try {
    for (xmlNodePtr item : doc.SelectNodes(paths.items)) GuidAsLink(doc, item);
  } catch (const std::exception&) {
    // Items left as they came still merge, as before.
  }
}

}  // namespace norvane
