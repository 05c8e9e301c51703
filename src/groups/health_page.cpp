#include "groups/health_page.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <mutex>

#include "core/form_token.h"
#include "core/html_text.h"
#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"
#include "gateway/page_builders.h"
#include "groups/group_file_name.h"
#include "groups/opml_append.h"

namespace norvane {

namespace {

// Calls visit(outline) for every feed outline under node, folders flattened.
template <typename Visit>
void EachFeedOutline(xmlNodePtr node, Visit&& visit) {
  // Nesting is bounded by the parser's depth limit.
  for (xmlNodePtr child = FirstChildElement(node); child; child = NextSiblingElement(child)) {
    if (!HasQualifiedName(child, "outline")) continue;
    if (FirstChildElement(child)) EachFeedOutline(child, visit);
    else if (!GetAttribute(child, "xmlUrl").empty()) visit(child);
  }
}

// The catalogue's groups: file and title, in order.
std::vector<std::pair<std::string, std::string>> CatalogueGroups(const TGP& gp) {
  TRXML copy;
  copy.CreateRoot("copy");
  std::vector<std::pair<std::string, std::string>> groups;
  xmlNodePtr items = gp.CopyItemsTo(copy.DocumentElement());
  for (xmlNodePtr item = FirstChildElement(items); item; item = NextSiblingElement(item))
    if (HasQualifiedName(item, "item"))
      groups.emplace_back(GetAttribute(item, "file"), GetAttribute(item, "title"));
  return groups;
}

void SetTime(xmlNodePtr e, const char* name, std::time_t when) {
  if (!when) return;
  SetAttribute(e, name, IsoTime(when));
  SetAttribute(e, std::string(name) + "Shown", ShownDay(when, true));
}

}  // namespace

std::vector<GroupedFeed> FeedsOfGroups(const TGP& gp) {
  std::vector<GroupedFeed> feeds;
  std::map<std::string, size_t> at;
  for (const auto& group : CatalogueGroups(gp)) {
    // Named references: clang 14 will not let a lambda capture a structured binding.
    const std::string& file = group.first;
    const std::string& title = group.second;
    TRXML opml;
    try {
      opml.LoadFromFile(GroupFilePath(file));
    } catch (const std::exception&) {
      continue;  // a group file that does not read holds no feed to list
    }
    xmlNodePtr body = opml.SelectSingleNode("opml/body");
    if (!body) continue;
    EachFeedOutline(body, [&](xmlNodePtr outline) {
      const std::string url = CompleteLocalURL(GetAttribute(outline, "xmlUrl"));
      auto [it, added] = at.emplace(url, feeds.size());
      if (added) {
        std::string name = GetAttribute(outline, "text");
        if (name.empty()) name = GetAttribute(outline, "title");
        feeds.push_back({url, name, {}});
      }
      auto& groups = feeds[it->second].groups;
      if (groups.empty() || groups.back().first != file) groups.emplace_back(file, title);
    });
  }
  return feeds;
}

std::string CreateHealthXml(const TGP& gp, TChList& channels, const std::string& message) {
  std::map<std::string, FeedHealth> records;
  for (auto& [url, health] : channels.HealthRecords())
    if (HasProblem(health)) records.emplace(url, std::move(health));
  std::vector<std::pair<const GroupedFeed*, const FeedHealth*>> problems;
  const std::vector<GroupedFeed> feeds = FeedsOfGroups(gp);
  for (const GroupedFeed& feed : feeds) {
    auto it = records.find(feed.url);
    if (it != records.end()) problems.emplace_back(&feed, &it->second);
  }
  std::stable_sort(problems.begin(), problems.end(),
                   [](const auto& a, const auto& b) { return WorseThan(*a.second, *b.second); });

  TRXML doc;
  xmlNodePtr root = doc.CreateRoot("health");
  SetAttribute(root, "token", FormToken());
  SetAttribute(root, "feeds", std::to_string(feeds.size()));
  if (!message.empty()) SetAttribute(root, "message", message);
  const std::time_t now = std::time(nullptr);
  for (const auto& [feed, health] : problems) {
    xmlNodePtr e = doc.AddChild(root, "feed", "");
    SetAttribute(e, "url", feed->url);
    SetAttribute(e, "title", feed->title.empty() ? feed->url : feed->title);
    if (health->failing()) SetAttribute(e, "reason", HealthReason(*health));
    SetAttribute(e, "outcome", FetchOutcomeKindName(health->outcome));
    if (health->status) SetAttribute(e, "status", std::to_string(health->status));
    if (health->failures) SetAttribute(e, "failures", std::to_string(health->failures));
    SetTime(e, "since", health->failingSince);
    SetTime(e, "lastSuccess", health->lastSuccess);
    if (health->bindsEveryone && health->notBefore > now) SetTime(e, "waitUntil", health->notBefore);
    if (health->gone()) SetAttribute(e, "gone", "yes");
    if (!health->movedTo.empty()) SetAttribute(e, "movedTo", health->movedTo);
    if (!health->detail.empty()) doc.AddChild(e, "detail", health->detail);
    const std::string notice = HealthNotice(*health, now);
    if (!notice.empty()) doc.AddChild(e, "notice", notice);
    for (const auto& [file, title] : feed->groups) {
      xmlNodePtr g = doc.AddChild(e, "group", title);
      SetAttribute(g, "file", file);
    }
  }
  return doc.GetXML();
}

int RewriteFeedInGroups(const TGP& gp, const std::string& from, const std::string& to) {
  int changed = 0;
  std::lock_guard<std::mutex> lock(GroupFileLock());
  for (const auto& [file, title] : CatalogueGroups(gp)) {
    TRXML opml;
    try {
      opml.LoadFromFile(GroupFilePath(file));
    } catch (const std::exception&) {
      continue;
    }
    xmlNodePtr body = opml.SelectSingleNode("opml/body");
    if (!body) continue;
    std::vector<xmlNodePtr> matches;
    EachFeedOutline(body, [&](xmlNodePtr outline) {
      if (CompleteLocalURL(GetAttribute(outline, "xmlUrl")) == from) matches.push_back(outline);
    });
    if (matches.empty()) continue;
    for (xmlNodePtr outline : matches) {
      if (to.empty()) {
        xmlUnlinkNode(outline);
        xmlFreeNode(outline);
      } else {
        SetAttribute(outline, "xmlUrl", to);
      }
    }
    opml.SaveToFile(GroupFilePath(file));  // atomic: a failure leaves the file as it was
    changed += static_cast<int>(matches.size());
  }
  return changed;
}

std::string CreateHealthHtml(TGP& gp, TChList& channels, const ParamList& params, bool editsAllowed,
                             FeedContext feeds) {
  const std::string action = ParamValue(params, "do");
  const std::string url = ParamValue(params, "u");
  std::string message;
  std::string confirm;
  try {
    if (!action.empty() && !editsAllowed) {
      confirm = action;
    } else if (action == "move" || action == "remove" || action == "retry") {
      const FeedHealth health = TChItem(channels, url).GetHealth();
      const std::vector<GroupedFeed> grouped = FeedsOfGroups(gp);
      const bool held = std::any_of(grouped.begin(), grouped.end(),
                                    [&](const GroupedFeed& f) { return f.url == url; });
      if (!held) {
        message = T().healthUnknownFeed + url;
      } else if (action == "move" && !health.movedTo.empty()) {
        const std::string to = health.movedTo;
        RewriteFeedInGroups(gp, url, to);
        channels.MoveEntry(url, to);  // the log goes with its entry
        channels.SaveIfChanged();
        message = T().healthMovedDone + to;
      } else if (action == "remove") {
        RewriteFeedInGroups(gp, url, "");
        message = T().healthRemovedDone + url;
      } else if (action == "retry") {
        feeds.asker = FetchAsker::Person;
        CreateRSSxml(ParamList{"u=" + url, "r=on"}, true, feeds);
        message = T().healthRetryDone + url;
      }
    }
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
    message = T().healthWriteFailed + e.what();
  }
  try {
    TRXML doc;
    doc.LoadFromXML(CreateHealthXml(gp, channels, message));
    if (!confirm.empty()) {
      SetAttribute(doc.DocumentElement(), "confirm", confirm);
      SetAttribute(doc.DocumentElement(), "confirmUrl", url);
    }
    return TransformWithStyle(doc, "health.xsl");
  } catch (const std::exception& e) {
    return T().xsltFailed + EscapeHtml(e.what());
  }
}

}  // namespace norvane
