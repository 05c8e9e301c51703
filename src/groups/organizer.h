#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feeds/rxml.h"
#include "groups/organizer_questions.h"

namespace norvane {

class SearchCatalogue;
class TScrapSerch;

// The left fields of the organizer: the open group as the user edits it.
struct GroupFields {
  std::string title;  // EGpTitle
  std::string file;   // EGPFile, a name inside "opmls\"
  int goround = 0;    // SEGPAround, in ten-minute ticks
};

// The right fields: the current feed's outline as the user edits it.
struct FeedFields {
  std::string title;        // ERSSTitle: text
  std::string url;          // ERSSURL: xmlUrl
  std::string description;  // ERSSD: description
  std::string link;         // ERSSLink: htmlUrl
};

// The group organizer without its window: the catalogue, the open group, the two
// lists the window shows and the text fields, with one operation per command. The
// window draws this state after every call and writes the fields back before each.
// Texts are Shift_JIS. Runs on one thread (the desktop's), but for its fetches of a feed
// or a group, which run on a thread of their own while the desktop waits for them
// (OrganizerQuestions::WaitBusy); the group files it writes are written under
// GroupFileLock, scrapbooks are added and removed under GateLock.
class GroupOrganizer {
 public:
  GroupOrganizer(OrganizerQuestions& ask, TScrapSerch& books, const SearchCatalogue& search);
  ~GroupOrganizer();
  GroupOrganizer(const GroupOrganizer&) = delete;
  GroupOrganizer& operator=(const GroupOrganizer&) = delete;

  // Loads the catalogue and opens its first group. False when the catalogue cannot be
  // loaded: the window closes itself then.
  bool Open();
  // Writes the open group and the catalogue (the window closes). Failures are ignored.
  void Close();

  // The lists as shown: group titles (LBopml) and the open group's feed titles
  // (ListBox2), each mirroring its document entry for entry.
  const std::vector<std::string>& GroupTitles() const { return groupTitles_; }
  const std::vector<std::string>& FeedTitles() const { return feedTitles_; }
  // The selected entry of each list; -1 for none. The group selection may differ from
  // the open group while a feed is dragged over the list.
  int SelectedGroup() const { return selectedGroup_; }
  int SelectedFeed() const { return rssIndex_; }
  // The position of the open group in the catalogue (GpIndex).
  int OpenGroupIndex() const { return gpIndex_; }
  bool HasOpenGroup() const { return opmlDoc_ != nullptr; }
  // The OPML file the open group was read from; empty when none is open.
  const std::string& OpenGroupFile() const { return opmlFile_; }

  // The text fields; the window writes them before every operation.
  GroupFields group;
  FeedFields feed;

  // Commands. Each ends with the lists and fields in the state to draw.
  void SelectGroup(int index);  // another group: the open one is written first
  void SelectFeed(int index);   // another feed: the current one keeps its fields
  void NewGroup();              // 新規
  void ImportGroup();           // 追加... (a file or a URL)
  void DeleteGroup();           // 削除...
  void MoveGroupUp();
  void MoveGroupDown();
  void AddFeedByUrl();          // 追加...
  void AddSearchFeed();         // 検索...
  void AddScrapbook();          // スクラップ...
  void DeleteFeed();            // 削除
  void MoveFeedUp();
  void MoveFeedDown();
  // A feed dragged over the group entry at index: true when the drop would be taken
  // (an entry, not the open group); the entry is then selected.
  bool DragOver(int index);
  // The current feed dropped on the group entry at index.
  void DropOnGroup(int index);

 private:
  void OpenGroup();
  void SaveGroup();
  void StoreFeedFields();
  void ShowFeedFields();
  void ReadGroupFields();
  void AddFeed(const std::string& url);
  bool FetchAside(const std::string& url, std::function<void()> fetch);
  void MoveGroup(int step);
  void MoveFeed(int step);
  void DeleteScrapOf(const std::string& url);
  void AppendGroupItem(const std::string& title, const std::string& file);

  OrganizerQuestions& ask_;
  TScrapSerch& books_;
  const SearchCatalogue& search_;
  std::unique_ptr<TRXML> gpDoc_;    // the catalogue, written at Close
  std::unique_ptr<TRXML> opmlDoc_;  // the open group; none when no group is open
  std::string opmlFile_;
  int gpIndex_ = -1;
  int selectedGroup_ = -1;
  int rssIndex_ = -1;
  std::vector<std::string> groupTitles_;
  std::vector<std::string> feedTitles_;
};

}  // namespace norvane
