#include "groups/group_pages.h"

#include <stdexcept>

#include "core/disk_path.h"
#include "core/form_token.h"
#include "core/html_text.h"
#include "core/settings.h"
#include "core/texts.h"
#include "feeds/xml_node.h"
#include "gateway/page_builders.h"
#include "groups/group_file_name.h"
#include "groups/opml_append.h"
#include "feeds/feed_discovery.h"

namespace norvane {

namespace {

XmlError CannotOpen(const std::string& file) {
  return XmlError(T().xmlCannotOpen + GroupFilePath(file) + T().xmlCannotOpenAfter);
}

// The feeds a page offers, for the add page: add/found, with the page's address.
void ListOffers(TRXML& doc, xmlNodePtr add, const Discovery& found) {
  xmlNodePtr list = doc.AddChild(add, "found", "");
  SetAttribute(list, "page", found.address);
  for (const FeedOffer& offer : found.offers) {
    xmlNodePtr feed = doc.AddChild(list, "feed", "");
    SetAttribute(feed, "xmlUrl", offer.url);
    SetAttribute(feed, "title", offer.title);
    if (!offer.type.empty()) SetAttribute(feed, "type", offer.type);
  }
}

// Reads what was typed and adds the feed it leads to: the address itself when it is a
// feed; the one feed a page offers when the answer is XML (the page shows it, to be added
// with one click); several are listed to choose from. The group keeps the feed's address,
// never the page's; add/added names it. True when a feed was added; otherwise message
// says why (it may name what the request gave: the caller escapes it for a page).
bool AddFoundFeed(TRXML& doc, xmlNodePtr add, const std::string& typed, const std::string& file, bool xmlOnly,
                  std::string& message) {
  CheckGroupToAppend(file);  // nothing is fetched for a group that cannot take it
  Discovery found = DiscoverFeeds(typed);
  std::string stored;
  switch (found.kind) {
    case Discovery::Kind::BadAddress:
    case Discovery::Kind::Failed:
      message += found.failure;
      return false;
    case Discovery::Kind::NoneFound:
      message += T().notRss;
      if (found.isPage) message += T().discoveryNone;
      if (found.linkBackToPage) message += T().discoveryLinkBack;
      return false;
    case Discovery::Kind::Feed:
      AppendFeedOutline(*found.feed, found.address, file);
      stored = found.address;
      break;
    case Discovery::Kind::Offers:
      ListOffers(doc, add, found);
      if (found.offers.size() > 1 || !xmlOnly) {
        message += found.offers.size() > 1 ? T().discoveryChoose : T().discoveryFound;
        return false;
      }
      AddRssToOpml(found.offers.front().url, file);
      stored = found.offers.front().url;
      break;
  }
  SetAttribute(doc.AddChild(add, "added", ""), "xmlUrl", stored);
  return true;
}

}  // namespace

std::string CreateGpHtml(TGP& gp, const std::string& given) {
  try {
    // A name leaving the group folder is refused before it is remembered or read.
    std::optional<std::string> resolved = ResolveGroupFile(given);
    if (!resolved) throw CannotOpen(given);
    // Only a group file that exists is remembered as the last one shown.
    if (!resolved->empty() && !FileExists(DiskPath(GroupFilePath(*resolved)))) throw CannotOpen(*resolved);
    const std::string file = gp.SelectGpFile(*resolved);
    if (file.empty()) throw std::runtime_error(T().noSuchGroupFile);
    if (!StaysInside(file)) throw CannotOpen(file);  // LASTOPML comes from the INI file

    TRXML doc;
    doc.Clear();
    xmlNodePtr group = gp.CopyGroupTo(doc);
    SetAttribute(group, "token", FormToken());  // for the page's forms that write
    xmlNodePtr selected = doc.AddChild(group, "selected", "");
    for (xmlNodePtr item : SelectNodes(group, "items/item"))
      if (GetAttribute(item, "file") == file) SetAttribute(selected, "title", GetAttribute(item, "title"));
    SetAttribute(selected, "file", file);

    TRXML opml;
    opml.LoadFromFile(GroupFilePath(file));
    xmlNodePtr root = opml.DocumentElement();
    if (!root) throw XmlError(T().xmlLoadFailed + " : " + GroupFilePath(file) + opml.ErrorText);
    AppendChild(group, root);

    return TransformWithStyle(doc, "gp.xsl");
  } catch (const std::exception& e) {
    // The message may name the file as the request gave it.
    return T().gpBuildFailed + EscapeHtml(e.what());
  }
}

std::string CreateAddHtml(TGP& gp, const ParamList& params, bool xmlOnly, bool editsAllowed) {
  // The page is HTML: a message that names what the request gave is escaped.
  auto failure = [xmlOnly](const std::exception& e) -> std::string {
    return xmlOnly ? e.what() : EscapeHtml(e.what());
  };
  try {
    const std::string url = ParamValue(params, "u");
    std::string opml = ParamValue(params, "opml");
    if (ParamValue(params, "last") == "on") {
      opml = GetSettings().LASTOPML;
    } else if (std::optional<std::string> resolved = ResolveGroupFile(opml)) {
      opml = *resolved;  // a name leaving the folder stays as asked; the addition refuses it
    }

    TRXML doc;
    doc.Clear();
    xmlNodePtr add = doc.CreateRoot("add");
    if (!xmlOnly) SetAttribute(add, "token", FormToken());  // for the page's forms
    xmlNodePtr result = doc.AddChild(add, "result", "");
    xmlNodePtr error = doc.AddChild(result, "error", "0");
    xmlNodePtr message = doc.AddChild(result, "message", "");
    SetAttribute(doc.AddChild(add, "addUrl", ""), "xmlUrl", url);
    xmlNodePtr selected = doc.AddChild(add, "selected", "");
    SetAttribute(selected, "file", opml);

    bool added = false;
    std::string text;
    if (!url.empty() && !opml.empty() && !editsAllowed) {
      // Asked for by a page without the form's token: the form, filled in, to confirm.
      SetAttribute(result, "confirm", "on");
      text = T().confirmAdd;
    } else if (!url.empty() && !opml.empty()) {
      try {
        added = AddFoundFeed(doc, add, url, opml, xmlOnly, text);
      } catch (const std::exception& e) {
        text += e.what();
      }
    }
    if (!added) {
      SetNodeText(error, "1");
      if (url.empty()) text += T().enterUrl;
      if (opml.empty()) text += T().chooseOpml;
      SetNodeText(message, text);
      if (xmlNodePtr items = gp.CopyItemsTo(add)) {
        for (xmlNodePtr item : SelectNodes(items, "item"))
          if (GetAttribute(item, "file") == opml) SetAttribute(selected, "title", GetAttribute(item, "title"));
      }
    }

    if (xmlOnly) return doc.XMLWithEncoding();
    try {
      return TransformWithStyle(doc, "add.xsl");
    } catch (const std::exception& e) {
      return failure(e);
    }
  } catch (const std::exception& e) {
    return failure(e);
  }
}

std::string CreateFilterHtml(TGP& gp, const std::string& word, const GroupContext& context) {
  // The frame first: when it cannot be made the request fails, and nothing was fetched
  // for nothing. A keyword the frame cannot hold (bytes that are no Shift_JIS) only
  // costs the page its showing of the word.
  std::string frame;
  try {
    frame = CreateChFrame("", word);
  } catch (const std::exception&) {
    frame = CreateChFrame("");
  }
  std::string joined;
  for (const std::string& file : gp.GpFiles()) {
    ParamList params{"u=" + file, "w=" + word, "sel=today", "d=off"};
    joined += CreateChHtml(params, false, context);
    joined += "\r\n";
  }
  return FillFrame(frame, joined);
}

}  // namespace norvane
