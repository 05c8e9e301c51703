// The filters of a feed answer. They run after the channel log was written, so they
// shape the answer and never the stored log.
#include "core/gate_lock.h"
#include "feeds/rss.h"
#include "feeds/xml_node.h"
#include "pattern/rserch.h"

namespace norvane {

void TRSS::ExtractByDate() {
  if (Version.empty()) return;
  const std::string marks = std::string(PathsForVersion(Version).items) + "/rg:log";
  for (xmlNodePtr mark : SelectNodes(marks)) {
    const std::string type = GetAttribute(mark, "type");
    bool remove = false;
    if (Params.Sel == "today") remove = type == "log";
    else if (Params.Sel == "new") remove = type != "new";
    else if (Params.Sel == "log") remove = type != "log";
    if (remove && mark->parent) RemoveNode(mark->parent);
  }
}

void TRSS::RemoveSummary() {
  if (Version.empty()) return;
  const std::string items = PathsForVersion(Version).items;
  for (xmlNodePtr d : SelectNodes(items + "/description")) RemoveNode(d);
  for (xmlNodePtr c : SelectNodes(items + "/content:encoded")) RemoveNode(c);
}

void TRSS::ExtractByKeyword() {
  if (Version.empty()) return;
  TRSerch matcher;
  if (context_.dictionaryLender) {
    GateGuard lock(GateLock());
    matcher.AssignSynonymDic(*context_.dictionaryLender);
  }
  matcher.SetKeyword(Params.Keyword);
  for (xmlNodePtr item : SelectNodes(PathsForVersion(Version).items)) {
    xmlNodePtr title = norvane::SelectSingleNode(item, "title");
    if (title && matcher.IsMatch(NodeText(title))) continue;
    xmlNodePtr description = norvane::SelectSingleNode(item, "description");
    if (description && matcher.IsMatch(NodeText(description))) continue;
    RemoveNode(item);
  }
}

}  // namespace norvane
