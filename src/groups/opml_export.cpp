#include "groups/opml_export.h"

#include <libxml/tree.h>

#include "core/route_names.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/xml_node.h"
#include "feeds/xml_owners.h"
#include "groups/group_file_name.h"

namespace norvane {

namespace {

void SetDomAttr(xmlNodePtr n, const char* name, const std::string& utf8) {
  if (!xmlSetProp(n, BAD_CAST name, X(utf8))) throw std::bad_alloc();
}

// A group's address as another reader can fetch it: the gateway's own relative
// addresses made absolute on this machine.
std::string Absolute(const std::string& xmlUrl, int port) {
  if (xmlUrl.find("://") != std::string::npos) return EncodeAddressBytes(xmlUrl);
  std::string relative = xmlUrl;
  while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
  return EncodeAddressBytes("http://localhost:" + std::to_string(port) + "/" + relative);
}

xmlNodePtr Folder(xmlNodePtr body, const std::string& title) {
  xmlNodePtr folder = xmlNewChild(body, nullptr, BAD_CAST "outline", nullptr);
  if (!folder) throw std::bad_alloc();
  SetDomAttr(folder, "text", title);
  SetDomAttr(folder, "title", title);
  return folder;
}

void Feed(xmlNodePtr folder, const std::string& title, const std::string& xmlUrl, const std::string& htmlUrl,
          const std::string& description) {
  xmlNodePtr feed = xmlNewChild(folder, nullptr, BAD_CAST "outline", nullptr);
  if (!feed) throw std::bad_alloc();
  SetDomAttr(feed, "text", title.empty() ? xmlUrl : title);
  SetDomAttr(feed, "title", title.empty() ? xmlUrl : title);
  SetDomAttr(feed, "type", "rss");
  SetDomAttr(feed, "xmlUrl", xmlUrl);
  if (!htmlUrl.empty()) SetDomAttr(feed, "htmlUrl", htmlUrl);
  if (!description.empty()) SetDomAttr(feed, "description", description);
}

// Every feed outline of a group file, at any depth, in document order, into folder.
void CopyFeeds(const xmlNode* parent, xmlNodePtr folder, int port) {
  for (const xmlNode* n = parent ? parent->children : nullptr; n; n = n->next) {
    if (n->type != XML_ELEMENT_NODE || xmlStrcmp(n->name, BAD_CAST "outline") != 0) continue;
    if (FirstChildElement(n)) {
      CopyFeeds(n, folder, port);  // nested folders flatten into the group's one folder
      continue;
    }
    const std::string xmlUrl = DomAttr(n, "xmlUrl");
    if (xmlUrl.find_first_not_of(" \t\r\n") == std::string::npos) continue;
    std::string title = DomAttr(n, "text");
    if (title.empty()) title = DomAttr(n, "title");
    Feed(folder, title, Absolute(xmlUrl, port), DomAttr(n, "htmlUrl"), DomAttr(n, "description"));
  }
}

}  // namespace

std::string CreateExportOpml(const TGP& gp, const std::vector<std::string>& scrapbooks, int port) {
  TRXML catalogue;
  catalogue.Clear();
  gp.CopyGroupTo(catalogue);

  TRXML out;
  out.Clear();
  xmlNodePtr root = out.CreateRoot("opml");
  SetAttribute(root, "version", "2.0");
  xmlNodePtr head = out.AddChild(root, "head", "");
  out.AddChild(head, "title", "Norvane");
  out.AddChild(head, "dateCreated", HttpDateNow());
  xmlNodePtr body = out.AddChild(root, "body", "");

  for (xmlNodePtr item : catalogue.SelectNodes("group/items/item")) {
    const std::string file = GetAttribute(item, "file");  // the program's own name of it
    std::string title = DomAttr(item, "title");
    if (title.find_first_not_of(" \t\r\n") == std::string::npos) title = SjisToUtf8(file);
    xmlNodePtr folder = Folder(body, title);
    try {
      std::optional<std::string> resolved = ResolveGroupFile(file);
      if (!resolved || resolved->empty()) continue;
      TRXML group;
      group.LoadFromFile(GroupFilePath(*resolved));
      CopyFeeds(group.SelectSingleNode("opml/body"), folder, port);
    } catch (const std::exception& e) {
      WriteErrorLog(TraceArea::Group, "Exception", e.what());  // the folder stays empty
    }
  }

  if (!scrapbooks.empty()) {
    xmlNodePtr folder = Folder(body, SjisToUtf8(T().exportScrapbooks));
    for (const std::string& name : scrapbooks) {
      const std::string address = std::string(routes::kScrapXml) + "?u=" + SjisToUtf8(name) + ".keys/";
      Feed(folder, SjisToUtf8(name), Absolute(address, port), "", "");
    }
  }
  return out.Utf8XML();
}

}  // namespace norvane
