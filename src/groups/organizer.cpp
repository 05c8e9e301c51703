#include "groups/organizer.h"

#include <cstdio>
#include <mutex>
#include <stdexcept>

#include "core/background_task.h"
#include "core/disk_path.h"
#include "core/gate_lock.h"
#include "core/plain_text.h"
#include "core/program_files.h"
#include "core/route_names.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "feeds/rss2.h"
#include "feeds/xml_node.h"
#include "groups/group_catalogue.h"
#include "groups/group_file_name.h"
#include "groups/opml_append.h"
#include "search/scrap_book.h"
#include "search/scrap_collection.h"
#include "search/search_catalogue.h"

namespace norvane {

namespace {

constexpr const char* kItems = "group/items/item";
constexpr const char* kOutlines = "opml/body/outline";
constexpr const char* kNewTitle = "notitle";

// "a.opml" -> "a(2).opml": the extension is what follows the last dot of the name.
std::string WithSecondMark(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "(2)";
  return name.substr(0, dot) + "(2)" + name.substr(dot);
}

std::string FreeGroupFileName(std::string name) {
  while (FileExists(DiskPath(GroupFilePath(name)))) name = WithSecondMark(name);
  return name;
}

// A group file name the catalogue keeps: it must end in ".opml" (the catalogue drops
// other files at the next start) and name a file directly inside the group folder.
bool UsableGroupFileName(const std::string& name) {
  const std::string disk = DiskPath(name);
  if (disk.size() <= 5 || disk.find('/') != std::string::npos || !StaysInside(name)) return false;
  return SjisAsciiLower(name.substr(name.size() - 5)) == ".opml";
}

// A scrapbook title is a file name and a part of the feed URL "scrap.xml?u=<t>.keys/",
// so it must hold no separator, nothing the query would read differently, no control
// character. Double-byte characters are whole: their trail byte may look like "\".
bool UsableScrapTitle(const std::string& title) {
  if (title.empty() || title == "." || title == ".." || title.front() == ' ' || title.back() == ' ')
    return false;
  static const std::string refused = "/\\:*?\"<>|&=#%+";
  for (size_t i = 0; i < title.size(); ++i) {
    const auto b = static_cast<unsigned char>(title[i]);
    if (IsSjisLead(b)) {
      if (++i == title.size()) return false;
      continue;
    }
    if (b < 0x20 || b == 0x7F || refused.find(static_cast<char>(b)) != std::string::npos)
      return false;
  }
  return true;
}

// The document name of a URL's path without its extension: "/dir/list.opml?x=1" -> "list".
std::string DocumentNameOfUrl(const std::string& url) {
  const size_t scheme = url.find("://");
  std::string rest = url.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("?#"));
  const size_t slash = rest.find('/');
  std::string path = slash == std::string::npos ? std::string() : rest.substr(slash);
  std::string name = path.substr(path.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) name.erase(dot);
  return name;
}

// The file name of a path without folder and extension.
std::string DocumentNameOfPath(const std::string& path) {
  std::string disk = DiskPath(path);
  std::string name = disk.substr(disk.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) name.erase(dot);
  return Utf8ToSjis(name);
}

// A catalogue item may name any file; only one inside the group folder is read or
// removed, also when it is a link.
bool InsideGroupFolder(const std::string& file) {
  if (file.empty() || !StaysInside(file)) return false;
  const std::string disk = DiskPath(GroupFilePath(file));
  return !FileExists(disk) || !ResolveInside(DiskPath(std::string(files::kOpmls)), disk).empty();
}

// Saves a group file under the lock every writer of group files takes.
void SaveGroupFile(TRXML& doc, const std::string& file) {
  std::lock_guard<std::mutex> lock(GroupFileLock());
  doc.SaveToFile(GroupFilePath(file));
}

bool RemoveGroupFile(const std::string& file) {
  std::lock_guard<std::mutex> lock(GroupFileLock());
  return std::remove(DiskPath(GroupFilePath(file)).c_str()) == 0;
}

void SwapEntries(std::vector<std::string>& list, int a, int b) {
  std::swap(list[static_cast<size_t>(a)], list[static_cast<size_t>(b)]);
}

}  // namespace

GroupOrganizer::GroupOrganizer(OrganizerQuestions& ask, TScrapSerch& books,
                               const SearchCatalogue& search)
    : ask_(ask), books_(books), search_(search) {}

GroupOrganizer::~GroupOrganizer() = default;

bool GroupOrganizer::Open() {
  auto doc = std::make_unique<TRXML>();
  try {
    doc->LoadFromFile(files::CataloguePath());
  } catch (const XmlError&) {
    return false;
  }
  if (!doc->SelectSingleNode("group/items")) return false;
  gpDoc_ = std::move(doc);
  groupTitles_.clear();
  // An item without a title shows its file name, so list and catalogue stay in step.
  for (xmlNodePtr item : gpDoc_->SelectNodes(kItems))
    groupTitles_.push_back(HasAttribute(item, "title") ? GetAttribute(item, "title")
                                                       : GetAttribute(item, "file"));
  if (!groupTitles_.empty()) {
    selectedGroup_ = 0;
    OpenGroup();
  }
  return true;
}

void GroupOrganizer::Close() {
  if (!gpDoc_) return;
  try {
    SaveGroup();
    gpDoc_->SaveToFile(files::CataloguePath());
  } catch (const std::exception& e) {
    // The window is closing; what was not written is said once.
    ask_.Tell(T().orgSaveFailed + e.what());
  }
  gpDoc_.reset();
}

void GroupOrganizer::ReadGroupFields() {
  gpIndex_ = selectedGroup_;
  xmlNodePtr item = gpDoc_->SelectNodes(kItems).Item(static_cast<size_t>(gpIndex_));
  if (!item) throw std::logic_error(T().orgGroupBroken);
  group.title = groupTitles_[static_cast<size_t>(gpIndex_)];
  group.file = GetAttribute(item, "file");
  group.goround = ReadWholeInteger(GetAttribute(item, "goround")).value_or(0);
}

void GroupOrganizer::OpenGroup() {
  ReadGroupFields();
  opmlFile_ = group.file;
  feedTitles_.clear();
  rssIndex_ = -1;
  feed = FeedFields{};
  opmlDoc_.reset();
  if (!InsideGroupFolder(opmlFile_)) {
    opmlFile_.clear();
    return;
  }
  auto doc = std::make_unique<TRXML>();
  try {
    doc->LoadFromFile(GroupFilePath(opmlFile_));
  } catch (const XmlError&) {
    opmlFile_.clear();
    return;
  }
  if (!doc->SelectSingleNode("opml/body")) {
    opmlFile_.clear();
    return;
  }
  // An outline without text shows as empty: it is still a feed of the group.
  for (xmlNodePtr outline : doc->SelectNodes(kOutlines))
    feedTitles_.push_back(GetAttribute(outline, "text"));
  opmlDoc_ = std::move(doc);
  rssIndex_ = feedTitles_.empty() ? -1 : 0;
  ShowFeedFields();
}

void GroupOrganizer::StoreFeedFields() {
  if (!opmlDoc_ || rssIndex_ < 0) return;
  xmlNodePtr outline = opmlDoc_->SelectNodes(kOutlines).Item(static_cast<size_t>(rssIndex_));
  if (!outline) return;
  // Only what changed is written: looking at a feed leaves its outline as it was, and a
  // missing attribute stays missing while its field stays empty.
  auto store = [outline](const char* name, const std::string& value) {
    if (HasAttribute(outline, name) ? GetAttribute(outline, name) != value : !value.empty())
      SetAttribute(outline, name, value);
  };
  store("text", feed.title);
  store("xmlUrl", feed.url);
  store("description", feed.description);
  store("htmlUrl", feed.link);
  feedTitles_[static_cast<size_t>(rssIndex_)] = feed.title;
}

void GroupOrganizer::ShowFeedFields() {
  feed = FeedFields{};
  if (!opmlDoc_ || rssIndex_ < 0) return;
  xmlNodePtr outline = opmlDoc_->SelectNodes(kOutlines).Item(static_cast<size_t>(rssIndex_));
  if (!outline) {
    ask_.Tell(T().orgReadError);
    return;
  }
  // A missing attribute shows as empty, never as the previous feed's text, which the
  // next store would write into this outline.
  feed.title = GetAttribute(outline, "text");
  feed.url = GetAttribute(outline, "xmlUrl");
  feed.description = GetAttribute(outline, "description");
  feed.link = GetAttribute(outline, "htmlUrl");
}

void GroupOrganizer::SaveGroup() {
  if (!opmlDoc_) return;
  StoreFeedFields();
  if (xmlNodePtr title = opmlDoc_->SelectSingleNode("opml/head/title"))
    SetNodeText(title, group.title);
  else if (xmlNodePtr head = opmlDoc_->SelectSingleNode("opml/head"))
    opmlDoc_->AddChild(head, "title", group.title);

  if (group.file != opmlFile_) {
    // A new name is written first and the old file removed only after that, so a
    // rename that fails keeps the group under its old name.
    std::string renamed;
    if (UsableGroupFileName(group.file)) {
      renamed = FreeGroupFileName(group.file);
      try {
        SaveGroupFile(*opmlDoc_, renamed);
      } catch (const XmlError& e) {
        ask_.Tell(T().orgSaveFailed + e.what());
        renamed.clear();
      }
    } else {
      ask_.Tell(T().orgBadFileName + group.file);
    }
    group.file = renamed.empty() ? opmlFile_ : renamed;
    if (!renamed.empty()) {
      RemoveGroupFile(opmlFile_);
      opmlFile_ = renamed;
      opmlDoc_.reset();
    }
  }
  if (opmlDoc_) {
    SaveGroupFile(*opmlDoc_, opmlFile_);
    opmlDoc_.reset();
  }

  xmlNodePtr item = gpDoc_->SelectNodes(kItems).Item(static_cast<size_t>(gpIndex_));
  if (!item) throw std::logic_error(T().orgGroupBroken);
  SetAttribute(item, "title", group.title);
  SetAttribute(item, "file", group.file);
  SetAttribute(item, "goround", std::to_string(group.goround));
  groupTitles_[static_cast<size_t>(gpIndex_)] = group.title;
}

void GroupOrganizer::SelectGroup(int index) {
  if (index < 0 || index >= static_cast<int>(groupTitles_.size()))
    throw std::logic_error(T().orgGroupBroken);
  try {
    SaveGroup();
  } catch (const XmlError& e) {
    // The group could not be written: it stays open with its edits.
    ask_.Tell(T().orgSaveFailed + e.what());
    return;
  }
  selectedGroup_ = index;
  OpenGroup();
}

void GroupOrganizer::SelectFeed(int index) {
  if (index < -1 || index >= static_cast<int>(feedTitles_.size()))
    throw std::logic_error(T().orgFeedBroken);
  StoreFeedFields();
  rssIndex_ = index;
  ShowFeedFields();
}

void GroupOrganizer::AppendGroupItem(const std::string& title, const std::string& file) {
  xmlNodePtr items = gpDoc_->SelectSingleNode("group/items");
  xmlNodePtr item = gpDoc_->AddChild(items, "item", "");
  SetAttribute(item, "title", title);
  SetAttribute(item, "file", file);
  SetAttribute(item, "goround", std::to_string(TGP::kNewGroupInterval));
  groupTitles_.push_back(title);
  selectedGroup_ = static_cast<int>(groupTitles_.size()) - 1;
  OpenGroup();
}

void GroupOrganizer::NewGroup() {
  if (!gpDoc_) return;
  try {
    SaveGroup();
    TRXML doc;
    xmlNodePtr root = doc.CreateRoot("opml");
    SetAttribute(root, "version", "1.0");
    xmlNodePtr head = doc.AddChild(root, "head", "");
    doc.AddChild(head, "title", kNewTitle);
    doc.AddChild(root, "body", "");
    std::string name = kNewTitle;
    while (FileExists(DiskPath(GroupFilePath(name + ".opml")))) name += "(2)";
    SaveGroupFile(doc, name + ".opml");
    AppendGroupItem(kNewTitle, name + ".opml");
  } catch (const XmlError& e) {
    ask_.Tell(T().orgSaveFailed + e.what());
  }
}

void GroupOrganizer::ImportGroup() {
  if (!gpDoc_) return;
  std::optional<std::string> input = ask_.AskLine(T().orgImportCaption, T().orgImportPrompt, "", true);
  if (!input) return;
  const std::string& source = *input;
  TRXML doc;
  std::string name;
  try {
    if (source.find("://") != std::string::npos) {
      name = DocumentNameOfUrl(source);
      if (!FetchAside(source, [&doc, &source] { doc.LoadFromHTTP(source); })) return;
    } else {
      if (!FileExists(DiskPath(source))) return;
      name = DocumentNameOfPath(source);
      doc.LoadFromFile(source);
    }
  } catch (const std::exception& e) {
    ask_.Tell(T().orgImportFailed + source + "\r\n" + e.what());
    return;
  }
  xmlNodePtr root = doc.DocumentElement();
  if (!root || NodeName(root) != "opml") return;
  xmlNodePtr title = doc.SelectSingleNode("opml/head/title");
  if (!title) {
    ask_.Tell(T().orgImportNoTitle + source);
    return;
  }
  if (name.empty() || !UsableGroupFileName(name + ".opml")) name = kNewTitle;
  try {
    SaveGroup();
    while (FileExists(DiskPath(GroupFilePath(name + ".opml")))) name += "(2)";
    SaveGroupFile(doc, name + ".opml");
  } catch (const XmlError& e) {
    ask_.Tell(T().orgSaveFailed + e.what());
    return;
  }
  AppendGroupItem(NodeText(title), name + ".opml");
}

void GroupOrganizer::DeleteGroup() {
  if (!gpDoc_ || selectedGroup_ < 0) return;
  const int index = selectedGroup_;
  xmlNodePtr item = gpDoc_->SelectNodes(kItems).Item(static_cast<size_t>(index));
  if (!item) throw std::logic_error(T().orgGroupBroken);
  const std::string file = GetAttribute(item, "file");
  if (!ask_.AskYesNo(file + T().orgDeleteQuestion)) return;
  try {
    SaveGroup();
  } catch (const XmlError& e) {
    ask_.Tell(T().orgSaveFailed + e.what());
    return;
  }
  // A catalogue item naming a file outside the folder loses its item, never that file.
  if (InsideGroupFolder(file)) RemoveGroupFile(file);
  RemoveNode(item);
  groupTitles_.erase(groupTitles_.begin() + index);
  if (groupTitles_.empty()) {
    selectedGroup_ = gpIndex_ = -1;
    opmlFile_.clear();
    feedTitles_.clear();
    rssIndex_ = -1;
    group = GroupFields{};
    feed = FeedFields{};
    return;
  }
  selectedGroup_ = index > 0 ? index - 1 : 0;
  OpenGroup();
}

void GroupOrganizer::MoveGroup(int step) {
  const int i = selectedGroup_;
  try {
    SaveGroup();
  } catch (const XmlError& e) {
    ask_.Tell(T().orgSaveFailed + e.what());
    return;
  }
  NodeList items = gpDoc_->SelectNodes(kItems);
  if (step < 0) InsertBefore(items[static_cast<size_t>(i - 1)], items[static_cast<size_t>(i)]);
  else InsertBefore(items[static_cast<size_t>(i)], items[static_cast<size_t>(i + 1)]);
  SwapEntries(groupTitles_, i, i + step);
  selectedGroup_ = i + step;
  OpenGroup();
}

void GroupOrganizer::MoveGroupUp() {
  if (gpDoc_ && selectedGroup_ > 0) MoveGroup(-1);
}

void GroupOrganizer::MoveGroupDown() {
  if (gpDoc_ && selectedGroup_ >= 0 && selectedGroup_ + 1 < static_cast<int>(groupTitles_.size()))
    MoveGroup(+1);
}

void GroupOrganizer::MoveFeed(int step) {
  StoreFeedFields();
  const int i = rssIndex_;
  NodeList outlines = opmlDoc_->SelectNodes(kOutlines);
  if (step < 0) InsertBefore(outlines[static_cast<size_t>(i - 1)], outlines[static_cast<size_t>(i)]);
  else InsertBefore(outlines[static_cast<size_t>(i)], outlines[static_cast<size_t>(i + 1)]);
  SwapEntries(feedTitles_, i, i + step);
  rssIndex_ = i + step;
  ShowFeedFields();
}

void GroupOrganizer::MoveFeedUp() {
  if (opmlDoc_ && rssIndex_ > 0) MoveFeed(-1);
}

void GroupOrganizer::MoveFeedDown() {
  if (opmlDoc_ && rssIndex_ >= 0 && rssIndex_ + 1 < static_cast<int>(feedTitles_.size()))
    MoveFeed(+1);
}

void GroupOrganizer::AddFeed(const std::string& url) {
  if (!opmlDoc_ || url.find("://") == std::string::npos) return;
  StoreFeedFields();
  TRSS2 source;
  try {
    if (!FetchAside(url, [&source, &url] { source.Open(url); })) return;
  } catch (const std::exception& e) {
    // Nothing is added, so the list keeps mirroring the outlines.
    ask_.Tell(T().orgFeedNotAdded + url + "\r\n" + e.what());
    return;
  }
  xmlNodePtr body = opmlDoc_->SelectSingleNode("opml/body");
  xmlNodePtr outline = opmlDoc_->AddChild(body, "outline", "");
  // The attributes in the order the add page writes them.
  SetAttribute(outline, "text", source.GetTitle());
  SetAttribute(outline, "type", "rss");
  SetAttribute(outline, "xmlUrl", url);
  SetAttribute(outline, "description", source.GetDescription());
  SetAttribute(outline, "htmlUrl", source.GetLink());
  feedTitles_.push_back(source.GetTitle());
  rssIndex_ = static_cast<int>(feedTitles_.size()) - 1;
  ShowFeedFields();
}

// A fetch may take up to READTIMEOUT: it runs on a thread of its own while the desktop
// goes on and the user may cancel it. fetch touches nothing of the organizer. False
// when it was cancelled (nothing is to be added then, and nothing said); what it threw
// is thrown here.
bool GroupOrganizer::FetchAside(const std::string& url, std::function<void()> fetch) {
  BackgroundTask task(std::move(fetch));
  ask_.WaitBusy(T().orgFetching + url, task);
  // Still running only when the program ends under the wait: the task's end cancels it.
  if (!task.Finished() || task.Cancelled()) return false;
  task.Rethrow();
  return true;
}

void GroupOrganizer::AddFeedByUrl() {
  if (!opmlDoc_) return;
  std::optional<std::string> url = ask_.AskLine(T().orgAddFeedCaption, T().enterUrl, "http://", false);
  if (url) AddFeed(*url);
}

void GroupOrganizer::AddSearchFeed() {
  if (!opmlDoc_) return;
  std::optional<SearchAnswer> answer = ask_.AskSearch();
  if (!answer) return;
  std::string url;
  {
    GateGuard gate(GateLock());
    url = search_.GetSearchURL(answer->engine, answer->phrase);
  }
  if (!url.empty()) AddFeed(url);
}

void GroupOrganizer::AddScrapbook() {
  if (!opmlDoc_) return;
  std::optional<ScrapAnswer> answer = ask_.AskScrapbook();
  if (!answer || answer->title.empty() || answer->keywords.empty()) return;
  std::string title = answer->title;
  if (!UsableScrapTitle(title)) {
    ask_.Tell(T().orgBadScrapTitle + title);
    return;
  }
  while (FileExists(DiskPath(ScrapPath(title, ".keys")))) title += "(2)";
  StoreFeedFields();
  try {
    WriteKeywordFile(title, answer->keywords);
  } catch (const ScrapBookError& e) {
    ask_.Tell(T().orgScrapFailed + e.what());
    return;
  }
  std::string error;
  bool added;
  {
    GateGuard gate(GateLock());
    added = books_.AddWord(title, &error);
  }
  if (!added) {
    // Keywords that form no pattern: the file would only fail again at every start.
    std::remove(DiskPath(ScrapPath(title, ".keys")).c_str());
    ask_.Tell(T().orgScrapFailed + error);
    return;
  }
  xmlNodePtr body = opmlDoc_->SelectSingleNode("opml/body");
  xmlNodePtr outline = opmlDoc_->AddChild(body, "outline", "");
  SetAttribute(outline, "text", title);
  SetAttribute(outline, "type", "rss");
  // The trailing "/" ends the u value for the router.
  SetAttribute(outline, "xmlUrl", std::string(routes::kScrapXml) + "?u=" + title + ".keys/");
  SetAttribute(outline, "description", "");
  SetAttribute(outline, "htmlUrl", "");
  feedTitles_.push_back(title);
  rssIndex_ = static_cast<int>(feedTitles_.size()) - 1;
  ShowFeedFields();
}

void GroupOrganizer::DeleteScrapOf(const std::string& url) {
  if (!url.starts_with(routes::kScrapXml)) return;
  const size_t eq = url.find('=');
  const size_t slash = url.find('/');
  if (eq == std::string::npos || slash == std::string::npos || slash <= eq + 1) return;
  const std::string keys = url.substr(eq + 1, slash - eq - 1);
  if (!StaysInside(keys)) return;
  std::remove(DiskPath("scrap\\" + keys).c_str());
  const size_t dot = keys.rfind('.');
  GateGuard gate(GateLock());
  books_.DeleteWord(dot == std::string::npos ? keys : keys.substr(0, dot));
}

void GroupOrganizer::DeleteFeed() {
  if (!opmlDoc_ || rssIndex_ < 0) return;
  StoreFeedFields();
  const int i = rssIndex_;
  xmlNodePtr outline = opmlDoc_->SelectNodes(kOutlines).Item(static_cast<size_t>(i));
  if (!outline) throw std::logic_error(T().orgFeedBroken);
  DeleteScrapOf(GetAttribute(outline, "xmlUrl"));
  RemoveNode(outline);
  feedTitles_.erase(feedTitles_.begin() + i);
  rssIndex_ = feedTitles_.empty() ? -1 : (i > 0 ? i - 1 : 0);
  ShowFeedFields();
}

bool GroupOrganizer::DragOver(int index) {
  // A drop on the open group would only list the feed twice.
  if (!opmlDoc_ || rssIndex_ < 0 || index < 0 ||
      index >= static_cast<int>(groupTitles_.size()) || index == gpIndex_)
    return false;
  selectedGroup_ = index;
  return true;
}

void GroupOrganizer::DropOnGroup(int index) {
  if (!opmlDoc_ || rssIndex_ < 0 || index < 0 ||
      index >= static_cast<int>(groupTitles_.size()) || index == gpIndex_)
    return;
  xmlNodePtr item = gpDoc_->SelectNodes(kItems).Item(static_cast<size_t>(index));
  const std::string targetFile = item ? GetAttribute(item, "file") : std::string();
  const int moved = rssIndex_;
  TRXML target;
  xmlNodePtr body = nullptr;
  try {
    if (!InsideGroupFolder(targetFile))
      throw XmlError(T().opmlNotFound + std::string(" : ") + targetFile);
    target.LoadFromFile(GroupFilePath(targetFile));
    body = target.SelectSingleNode("opml/body");
    if (!body) throw XmlError(T().opmlNoBody + targetFile);
    // The edits of the open group go with it, also those of the dragged feed.
    SaveGroup();
  } catch (const XmlError& e) {
    // Nothing moved, nothing lost: the open group stays open with its edits.
    ask_.Tell(T().orgDropFailed + e.what());
    return;
  }
  try {
    TRXML source;
    source.LoadFromFile(GroupFilePath(opmlFile_));
    xmlNodePtr outline = source.SelectNodes(kOutlines).Item(static_cast<size_t>(moved));
    if (!outline) throw XmlError(T().orgReadError);
    AppendChild(body, outline);
    // The target first: if the second write fails the feed is in both groups, never
    // in neither.
    SaveGroupFile(target, targetFile);
    SaveGroupFile(source, opmlFile_);
  } catch (const XmlError& e) {
    ask_.Tell(T().orgDropFailed + e.what());
  }
  selectedGroup_ = index;
  OpenGroup();
}

}  // namespace norvane
