#include "groups/opml_append.h"

#include "core/disk_path.h"
#include "core/program_files.h"
#include "core/texts.h"
#include "core/trace.h"
#include "feeds/rss2.h"
#include "feeds/xml_node.h"
#include "groups/group_file_name.h"

namespace norvane {

// Two additions to the same group at once would each write the file as they read it,
// and one feed would be lost: the read, append and save are one step.
std::mutex& GroupFileLock() {
  static std::mutex m;
  return m;
}

namespace {

// Reads a group file; throws when it does not parse or has no opml/body.
xmlNodePtr LoadBody(TRXML& doc, const std::string& path) {
  doc.LoadFromFile(path);
  if (!doc.DocumentElement()) throw XmlError(T().xmlLoadFailed + " : " + path + doc.ErrorText);
  xmlNodePtr body = doc.SelectSingleNode("opml/body");
  if (!body) throw XmlError(T().opmlNoBody + path);
  return body;
}

}  // namespace

void CheckGroupToAppend(const std::string& file) {
  const std::string path = GroupFilePath(file);
  if (file.empty() || !StaysInside(file) || !FileExists(DiskPath(path)) ||
      ResolveInside(DiskPath(std::string(files::kOpmls)), DiskPath(path)).empty())
    throw XmlError(T().opmlNotFound);
  TRXML probe;
  LoadBody(probe, path);  // a broken group file fails before anything is fetched
}

void AppendFeedOutline(const TRSS2& feed, const std::string& url, const std::string& file) {
  const std::string path = GroupFilePath(file);
  std::lock_guard<std::mutex> lock(GroupFileLock());
  TRXML doc;
  xmlNodePtr body = LoadBody(doc, path);
  xmlNodePtr outline = doc.AddChild(body, "outline", "");
  try {
    SetAttribute(outline, "text", feed.GetTitle());
    SetAttribute(outline, "type", "rss");
    SetAttribute(outline, "xmlUrl", url);
    SetAttribute(outline, "description", feed.GetDescription());
    SetAttribute(outline, "htmlUrl", feed.GetLink());
  } catch (const std::exception& e) {
    // The outline keeps what was set.
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
  }
  doc.SaveToFile(path);
}

void AddRssToOpml(const std::string& url, const std::string& file) {
  if (url.find("://") == std::string::npos) throw XmlError(T().badFeedUrl);
  CheckGroupToAppend(file);
  TRSS2 feed;
  feed.Open(url);
  AppendFeedOutline(feed, url, file);
}

}  // namespace norvane
