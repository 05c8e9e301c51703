// The group organizer on a real program folder: group files, the catalogue, keyword
// files and scrapbooks, with feeds from the local server. The user's answers come from
// a script.

#include "groups/organizer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <memory>
#include <thread>

#include "core/background_task.h"
#include "core/gate_lock.h"
#include "core/program_folder.h"
#include "core/texts.h"
#include "feeds/xml_node.h"
#include "groups/opml_append.h"
#include "search/scrap_collection.h"
#include "search/search_catalogue.h"
#include "support/feed_server.h"
#include "support/program_home.h"
#include "groups/group_home.h"

namespace norvane::test {
namespace {

class ScriptedAnswers : public OrganizerQuestions {
 public:
  std::optional<std::string> AskLine(const std::string& caption, const std::string& prompt,
                                     const std::string& preset, bool browse) override {
    asked.push_back(caption + "|" + prompt + "|" + preset + (browse ? "|browse" : "|no browse"));
    return Next(lines);
  }
  bool AskYesNo(const std::string& question) override {
    asked.push_back(question);
    return Next(yesNo).value_or(false);
  }
  std::optional<SearchAnswer> AskSearch() override { return Next(searches); }
  std::optional<ScrapAnswer> AskScrapbook() override { return Next(scraps); }
  void Tell(const std::string& message) override { told.push_back(message); }
  // The user waits for the fetch, or cancels it at once when cancelBusy says so.
  void WaitBusy(const std::string& message, BackgroundTask& task) override {
    busy.push_back(message);
    runningAtWait.push_back(!task.Finished());
    if (cancelBusy) task.Cancel();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!task.Finished() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(task.Finished()) << "the fetch did not end";
  }

  std::deque<std::optional<std::string>> lines;
  std::deque<bool> yesNo;
  std::deque<std::optional<SearchAnswer>> searches;
  std::deque<std::optional<ScrapAnswer>> scraps;
  std::vector<std::string> asked, told;
  std::vector<std::string> busy;   // the messages of the waits
  std::vector<bool> runningAtWait;  // whether the fetch still ran when the wait began
  bool cancelBusy = false;

 private:
  template <class T>
  static std::optional<typename T::value_type::value_type> Next(T& queue) {
    if (queue.empty()) return std::nullopt;
    auto v = queue.front();
    queue.pop_front();
    return v;
  }
  static std::optional<bool> Next(std::deque<bool>& queue) {
    if (queue.empty()) return std::nullopt;
    bool v = queue.front();
    queue.pop_front();
    return v;
  }
};

std::string Catalogue(const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><group><items>" + items + "</items></group>";
}

class Organizer : public ::testing::Test {
 protected:
  void SetUp() override {
    // The folder as it ships, with what the program's start adds to it.
    CopyTree(NORVANE_DATA_DIR, home_.path());
    MakeWrittenFolders();
    feeds_.Serve("/a.xml", FeedBody("Alpha"));
    feeds_.Serve("/b.xml", FeedBody("Beta"));
    feeds_.Serve("/page.html", "<html><body>no feed</body></html>", "text/html");
    home_.Write("opmls/one.opml",
                OpmlOf("One", {{"A", feeds_.Url("/a.xml")}, {"B", feeds_.Url("/b.xml")},
                               {"C", "http://127.0.0.1:1/c.xml"}}));
    home_.Write("opmls/two.opml", OpmlOf("Two", {{"D", "http://127.0.0.1:1/d.xml"}}));
    home_.Write("opmls/gp.xml", Catalogue("<item title=\"One\" file=\"one.opml\" goround=\"3\"/>"
                                          "<item title=\"Two\" file=\"two.opml\" goround=\"6\"/>"));
    home_.Write("search.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><search><item><title>Local</title><searchUrl>" +
                    feeds_.Url("/a.xml") + "?q=$SEARCH_PHRASE$</searchUrl></item></search>");
    search_.LoadFromFile("search.xml");
    books_ = std::make_unique<TScrapSerch>();
  }

  // A path the server answers only after delay.
  void ServeLate(const std::string& path, std::string body, std::chrono::milliseconds delay) {
    FeedRoute route{.body = std::move(body)};
    route.delay = delay;
    feeds_.Route(path, route);
  }

  GroupOrganizer& Open() {
    org_ = std::make_unique<GroupOrganizer>(ask_, *books_, search_);
    EXPECT_TRUE(org_->Open());
    return *org_;
  }
  // The attribute of every top-level outline of a group file.
  std::vector<std::string> Outlines(const std::string& file, const char* attribute = "text") {
    TRXML doc;
    doc.LoadFromFile("opmls\\" + file);
    std::vector<std::string> values;
    for (xmlNodePtr o : doc.SelectNodes("opml/body/outline")) values.push_back(GetAttribute(o, attribute));
    return values;
  }
  std::vector<std::string> CatalogueItems() {
    TRXML doc;
    doc.LoadFromFile("opmls\\gp.xml");
    std::vector<std::string> items;
    for (xmlNodePtr i : doc.SelectNodes("group/items/item"))
      items.push_back(GetAttribute(i, "title") + "|" + GetAttribute(i, "file") + "|" +
                      GetAttribute(i, "goround"));
    return items;
  }

  ProgramHome home_;
  FeedServer feeds_;
  SearchCatalogue search_;
  std::unique_ptr<TScrapSerch> books_;
  ScriptedAnswers ask_;
  std::unique_ptr<GroupOrganizer> org_;
};

using Titles = std::vector<std::string>;

TEST_F(Organizer, OpensTheFirstGroupAndShowsMissingTextsAsEmpty) {
  home_.Write("opmls/gp.xml", Catalogue("<item title=\"One\" file=\"one.opml\" goround=\"3\"/>"
                                        "<item file=\"bare.opml\" goround=\"x\"/>"));
  home_.Write("opmls/bare.opml", OpmlText("Bare", "<outline xmlUrl=\"u1\" text=\"T\" description=\"d\" "
                                                  "htmlUrl=\"h\"/><outline type=\"rss\"/>"));
  GroupOrganizer& org = Open();
  EXPECT_EQ(org.GroupTitles(), (Titles{"One", "bare.opml"})) << "an untitled item shows its file";
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C"}));
  EXPECT_EQ(org.group.goround, 3);
  EXPECT_EQ(org.feed.url, feeds_.Url("/a.xml"));

  org.SelectGroup(1);
  EXPECT_EQ(org.group.goround, 0) << "a goround that is no number";
  EXPECT_EQ(org.FeedTitles(), (Titles{"T", ""}));
  org.SelectFeed(1);
  EXPECT_EQ(org.feed.title, "");
  EXPECT_EQ(org.feed.url, "") << "never the previous feed's text";
  EXPECT_EQ(org.feed.link, "");
  EXPECT_TRUE(ask_.told.empty());
  EXPECT_THROW(org.SelectGroup(2), std::logic_error);
}

TEST_F(Organizer, NewGroupsAreNumberedAndTheCatalogueIsWrittenAtClose) {
  GroupOrganizer& org = Open();
  org.NewGroup();
  org.NewGroup();
  EXPECT_EQ(org.GroupTitles(), (Titles{"One", "Two", "notitle", "notitle"}));
  EXPECT_EQ(org.group.file, "notitle(2).opml");
  EXPECT_EQ(Outlines("notitle.opml").size(), 0u);
  EXPECT_NE(home_.Read("opmls/notitle(2).opml").find("<title>notitle</title>"), std::string::npos);
  EXPECT_EQ(CatalogueItems().size(), 2u) << "the catalogue waits for the close";

  org.group.goround = 0;  // never patrolled
  org.SelectGroup(0);
  org.Close();
  EXPECT_EQ(CatalogueItems(), (Titles{"One|one.opml|3", "Two|two.opml|6", "notitle|notitle.opml|6",
                                      "notitle|notitle(2).opml|0"}));
}

TEST_F(Organizer, RenamesWriteTheNewFileBeforeTheOldOneGoes) {
  home_.Write("opmls/b.opml", OpmlText("B", ""));
  struct Case {
    std::string wanted, stored;
    bool refused;
  } cases[] = {
      {"b.opml", "b(2).opml", false},  // taken: the "(2)" rule
      {"", "b(2).opml", true},
      {"x.txt", "b(2).opml", true},  // the catalogue keeps only .opml files
      {"sub/x.opml", "b(2).opml", true},
      {"../x.opml", "b(2).opml", true},
      {"c.opml", "c.opml", false},
  };
  GroupOrganizer& org = Open();
  std::string current = "one.opml";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wanted);
    ask_.told.clear();
    org.group.file = c.wanted;
    org.SelectGroup(0);
    EXPECT_EQ(org.group.file, c.stored);
    EXPECT_EQ(ask_.told.size(), c.refused ? 1u : 0u);
    EXPECT_EQ(Outlines(c.stored), (Titles{"A", "B", "C"}));
    if (current != c.stored) {
      EXPECT_FALSE(home_.Exists("opmls/" + current));
    }
    current = c.stored;
  }
  EXPECT_TRUE(home_.Exists("opmls/b.opml"));
  EXPECT_FALSE(home_.Exists("opmls/x.txt"));
  org.Close();
  EXPECT_EQ(CatalogueItems()[0], "One|c.opml|3");
}

TEST_F(Organizer, MovesExchangeNeighboursAndStopAtTheEnds) {
  GroupOrganizer& org = Open();
  org.MoveGroupUp();  // the first one
  org.MoveFeedUp();
  EXPECT_EQ(org.GroupTitles(), (Titles{"One", "Two"}));
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C"}));

  org.SelectFeed(2);
  org.MoveFeedDown();  // the last one
  org.MoveFeedUp();
  org.MoveFeedUp();
  EXPECT_EQ(org.FeedTitles(), (Titles{"C", "A", "B"}));
  EXPECT_EQ(org.SelectedFeed(), 0);
  EXPECT_EQ(org.feed.title, "C");
  org.MoveGroupDown();  // writes the moved feeds
  EXPECT_EQ(Outlines("one.opml"), (Titles{"C", "A", "B"}));
  EXPECT_EQ(org.GroupTitles(), (Titles{"Two", "One"}));
  EXPECT_EQ(org.OpenGroupIndex(), 1);
  EXPECT_EQ(org.OpenGroupFile(), "one.opml");
  org.MoveGroupDown();
  org.Close();
  EXPECT_EQ(CatalogueItems(), (Titles{"Two|two.opml|6", "One|one.opml|3"}));
}

TEST_F(Organizer, AddedFeedsAreWrittenByteForByteAsTheAddPageWritesThem) {
  home_.Write("opmls/copy.opml", home_.Read("opmls/one.opml"));
  GroupOrganizer& org = Open();
  ask_.lines = {feeds_.Url("/b.xml"), feeds_.Url("/page.html"), std::string("no-scheme"), std::nullopt};
  org.AddFeedByUrl();
  EXPECT_EQ(ask_.asked[0], T().orgAddFeedCaption + "|" + T().enterUrl + "|http://|no browse");
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C", "Beta"}));
  EXPECT_EQ(org.feed.description, "about Beta");
  for (int i = 0; i < 3; ++i) org.AddFeedByUrl();  // not a feed, no "://", cancelled
  EXPECT_EQ(org.FeedTitles().size(), 4u) << "the list keeps mirroring the outlines";
  ASSERT_EQ(ask_.told.size(), 1u);
  EXPECT_EQ(ask_.told[0].rfind(T().orgFeedNotAdded, 0), 0u);

  ask_.searches = {SearchAnswer{"Local", "x y"}, SearchAnswer{"None", "x"}};
  org.AddSearchFeed();
  org.AddSearchFeed();  // an engine without a URL adds nothing
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C", "Beta", "Alpha"}));
  org.Close();
  const std::string searchUrl = Outlines("one.opml", "xmlUrl").back();
  EXPECT_EQ(searchUrl, search_.GetSearchURL("Local", "x y"));

  AddRssToOpml(feeds_.Url("/b.xml"), "copy.opml");
  AddRssToOpml(searchUrl, "copy.opml");
  EXPECT_EQ(home_.Read("opmls/one.opml"), home_.Read("opmls/copy.opml"));
}

TEST_F(Organizer, ScrapbooksAreNumberedWrittenAndLiveAtOnce) {
  home_.Write("scrap/news.keys", "<scrap><word>a</word></scrap>");
  home_.Write("scrap/news(2).keys", "<scrap><word>b</word></scrap>");
  GroupOrganizer& org = Open();
  ask_.scraps = {ScrapAnswer{"news", {"R&D", "<b>", "R&D"}}, ScrapAnswer{"", {"x"}},
                 ScrapAnswer{"t", {}}, ScrapAnswer{"a/b", {"x"}}, ScrapAnswer{"a&b", {"x"}},
                 ScrapAnswer{"..", {"x"}}, std::nullopt};
  for (int i = 0; i < 7; ++i) org.AddScrapbook();
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C", "news(2)(2)"}));
  EXPECT_EQ(org.feed.url, "scrap.xml?u=news(2)(2).keys/");
  EXPECT_EQ(ask_.told.size(), 3u) << "three titles that are no file names";
  EXPECT_EQ(home_.Read("scrap/news(2)(2).keys"),
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<scrap>\r\n <word>R&amp;D</word>\r\n"
            " <word>&lt;b></word>\r\n <word>R&amp;D</word>\r\n</scrap>\r\n");
  {
    GateGuard gate(GateLock());
    Tword* book = books_->Find("news(2)(2)");
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book->WordList, "R&D,<b>,R&D");
  }
  org.SelectGroup(1);
  EXPECT_NE(home_.Read("opmls/one.opml").find("<outline text=\"news(2)(2)\" type=\"rss\" "
                                              "xmlUrl=\"scrap.xml?u=news(2)(2).keys/\" "
                                              "description=\"\" htmlUrl=\"\"/>"),
            std::string::npos);
}

// スクラップ... on a program folder as it ships, which has no "scrap" folder.
TEST_F(Organizer, AScrapbookIsMadeInAFolderAsShipped) {
  GroupOrganizer& org = Open();
  ask_.scraps = {ScrapAnswer{"tech", {"qt"}}};
  org.AddScrapbook();
  EXPECT_EQ(ask_.told, std::vector<std::string>{});
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C", "tech"}));
  EXPECT_TRUE(home_.Exists("scrap/tech.keys"));
}

TEST_F(Organizer, DeletingFeedsAndGroups) {
  home_.Write("scrap/x.keys", "<scrap><word>x</word></scrap>");
  home_.Write("scrap/x.xml", "<rss version=\"2.0\"><channel><title>x</title></channel></rss>");
  books_ = std::make_unique<TScrapSerch>();
  home_.Write("opmls/two.opml", OpmlOf("Two", {{"X", "scrap.xml?u=x.keys/"}}));
  GroupOrganizer& org = Open();
  org.SelectGroup(1);
  org.DeleteFeed();  // the only feed, a scrapbook
  EXPECT_TRUE(org.FeedTitles().empty());
  EXPECT_EQ(org.SelectedFeed(), -1);
  EXPECT_FALSE(home_.Exists("scrap/x.keys"));
  EXPECT_TRUE(home_.Exists("scrap/x.xml"));
  {
    GateGuard gate(GateLock());
    EXPECT_EQ(books_->Find("x"), nullptr);
  }

  ask_.yesNo = {false, true};
  org.DeleteGroup();  // No
  EXPECT_EQ(ask_.asked.back(), "two.opml" + T().orgDeleteQuestion);
  EXPECT_TRUE(home_.Exists("opmls/two.opml"));
  org.DeleteGroup();  // Yes
  EXPECT_FALSE(home_.Exists("opmls/two.opml"));
  EXPECT_EQ(org.GroupTitles(), (Titles{"One"}));
  EXPECT_EQ(org.OpenGroupFile(), "one.opml") << "the one before opens";
  org.SelectFeed(0);
  org.DeleteFeed();
  EXPECT_EQ(org.feed.title, "B") << "the first one after deleting the first";
  org.Close();
  EXPECT_EQ(Outlines("one.opml"), (Titles{"B", "C"}));
  EXPECT_EQ(CatalogueItems(), (Titles{"One|one.opml|3"}));
}

TEST_F(Organizer, DraggingAFeedMovesItToTheOtherGroupWithItsEdits) {
  GroupOrganizer& org = Open();
  EXPECT_FALSE(org.DragOver(0)) << "the open group takes no drop";
  org.DropOnGroup(0);
  EXPECT_EQ(Outlines("one.opml"), (Titles{"A", "B", "C"}));

  org.SelectFeed(1);
  org.feed.title = "B edited";
  EXPECT_TRUE(org.DragOver(1));
  EXPECT_EQ(org.SelectedGroup(), 1);
  EXPECT_EQ(org.OpenGroupIndex(), 0);
  org.DropOnGroup(1);
  EXPECT_EQ(Outlines("one.opml"), (Titles{"A", "C"}));
  EXPECT_EQ(Outlines("two.opml"), (Titles{"D", "B edited"}));
  EXPECT_EQ(org.OpenGroupFile(), "two.opml");
  EXPECT_EQ(org.FeedTitles(), (Titles{"D", "B edited"}));

  org.SelectGroup(0);
  home_.Write("opmls/two.opml", "broken");  // a target that cannot take it
  ASSERT_TRUE(org.DragOver(1));
  org.DropOnGroup(1);
  EXPECT_EQ(ask_.told.size(), 1u);
  EXPECT_EQ(org.OpenGroupFile(), "one.opml");
  EXPECT_EQ(Outlines("one.opml"), (Titles{"A", "C"}));
}

TEST_F(Organizer, ImportNamesTheFileAfterTheUrlAndKeepsRunningOnFailures) {
  const std::string opml = OpmlText("Imported", "<outline text=\"folder\"><outline text=\"in\"/></outline>");
  feeds_.Serve("/dir/list.opml", opml);
  feeds_.Serve("/untitled.opml", "<opml version=\"1.0\"><head/><body/></opml>");
  home_.Write("opmls/list.opml", OpmlText("Old", ""));
  const std::string local = home_.Write("elsewhere/mine.xml", OpmlText("Mine", ""));
  GroupOrganizer& org = Open();
  ask_.lines = {feeds_.Url("/dir/list.opml?x=1"), feeds_.Url("/missing.opml"),
                feeds_.Url("/untitled.opml"), feeds_.Url("/a.xml"), local, std::string("nofile.opml")};
  for (int i = 0; i < 6; ++i) org.ImportGroup();
  EXPECT_EQ(ask_.asked[0], T().orgImportCaption + "|" + T().orgImportPrompt + "||browse");
  EXPECT_EQ(org.GroupTitles(), (Titles{"One", "Two", "Imported", "Mine"}));
  EXPECT_EQ(ask_.told.size(), 2u) << "a 404 and a missing title; an RSS file and a missing file say nothing";
  EXPECT_EQ(Outlines("list(2).opml"), (Titles{"folder"})) << "folders kept";
  EXPECT_EQ(home_.Read("opmls/list.opml"), OpmlText("Old", ""));
  EXPECT_FALSE(home_.Exists("opmls/untitled.opml"));
  org.Close();
  EXPECT_EQ(CatalogueItems()[2], "Imported|list(2).opml|6");
  EXPECT_EQ(CatalogueItems()[3], "Mine|mine.opml|6");
}

// A slow server: the feed and the group are read on a thread of their own while the
// user sees the wait, and what they brought is added as before.
TEST_F(Organizer, FeedsAndGroupsAreReadAsideWhileTheUserWaits) {
  ServeLate("/slow.xml", FeedBody("Slow"), std::chrono::milliseconds(300));
  ServeLate("/far.opml", OpmlText("Far", ""), std::chrono::milliseconds(300));
  GroupOrganizer& org = Open();
  ask_.lines = {feeds_.Url("/slow.xml"), feeds_.Url("/far.opml")};
  org.AddFeedByUrl();
  org.ImportGroup();
  EXPECT_EQ(ask_.busy, (Titles{T().orgFetching + feeds_.Url("/slow.xml"),
                               T().orgFetching + feeds_.Url("/far.opml")}));
  EXPECT_EQ(ask_.runningAtWait, (std::vector<bool>{true, true})) << "not read before the wait";
  EXPECT_EQ(org.GroupTitles(), (Titles{"One", "Two", "Far"}));
  org.SelectGroup(0);
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C", "Slow"}));
  EXPECT_TRUE(ask_.told.empty());
}

// Cancelled, a fetch from a server that would answer only much later gives up at once
// and adds nothing, without a message.
TEST_F(Organizer, ACancelledFetchAddsNothingAndSaysNothing) {
  ServeLate("/late.xml", FeedBody("Late"), std::chrono::seconds(60));
  ServeLate("/late.opml", OpmlText("Late", ""), std::chrono::seconds(60));
  GroupOrganizer& org = Open();
  ask_.cancelBusy = true;
  ask_.lines = {feeds_.Url("/late.xml"), feeds_.Url("/late.opml")};
  const auto began = std::chrono::steady_clock::now();
  org.AddFeedByUrl();
  org.ImportGroup();
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20)) << "the server's delay ran out first";
  EXPECT_EQ(ask_.busy.size(), 2u);
  EXPECT_EQ(org.FeedTitles(), (Titles{"A", "B", "C"}));
  EXPECT_EQ(org.GroupTitles(), (Titles{"One", "Two"}));
  EXPECT_TRUE(ask_.told.empty());
  org.Close();
  EXPECT_EQ(Outlines("one.opml"), (Titles{"A", "B", "C"}));
  EXPECT_FALSE(home_.Exists("opmls/late.opml"));
}

TEST_F(Organizer, AnUnreadableCatalogueClosesTheWindowAndAnEmptyOneOpensNothing) {
  home_.Write("opmls/gp.xml", "not xml");
  GroupOrganizer broken(ask_, *books_, search_);
  EXPECT_FALSE(broken.Open());

  home_.Write("opmls/gp.xml", Catalogue(""));
  GroupOrganizer& org = Open();
  EXPECT_FALSE(org.HasOpenGroup());
  org.AddFeedByUrl();
  org.MoveGroupDown();
  org.DeleteGroup();
  EXPECT_TRUE(ask_.asked.empty());
  org.NewGroup();
  EXPECT_EQ(org.GroupTitles(), (Titles{"notitle"}));
  EXPECT_TRUE(org.HasOpenGroup());
}

}  // namespace
}  // namespace norvane::test
