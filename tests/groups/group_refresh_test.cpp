#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <set>

#include "core/comma_text.h"
#include "core/gate_lock.h"
#include "core/shell.h"
#include "core/texts.h"
#include "feeds/xml_node.h"
#include "groups/channel_page_stream.h"
#include "groups/channel_pages.h"
#include "groups/fetch_workers.h"
#include "groups/group_home.h"
#include "support/bounded_wait.h"
#include "support/fake_shell.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::FeedBody;
using test::OpmlOf;
using test::Outline;

// What a reader of the page takes from it, piece by piece, to its end.
std::string Drained(ChannelPageStream& stream) {
  std::string page;
  for (std::string piece; stream.Next(piece);) page += piece;
  return page;
}

// The channel title of a result document; "" for an empty one.
std::string TitleOf(const TRXML& doc) {
  for (const char* path : {"rss/channel/title", "rdf:RDF/channel/title"})
    if (xmlNodePtr t = doc.SelectSingleNode(path)) return NodeText(t);
  return "";
}

class GroupRefresh : public test::GroupHome {
 protected:
  void SetUp() override {
    GroupHome::SetUp();
    list_ = std::make_unique<TChList>("channels\\ChannelList.xml");
    context_ = std::make_unique<GroupContext>(GroupContext{
        FeedContext{*list_, {}, nullptr}, [this](bool idle) {
          // Called with GateLock held: a second lock on the same thread must succeed.
          GateGuard again(GateLock());
          idle_.push_back(idle);
        },
        &shell_});
  }
  void TearDown() override {
    context_.reset();
    list_.reset();
    GroupHome::TearDown();
  }

  // Serves n feeds "/f<i>" titled "Feed <i>" and writes a group file listing them.
  void Feeds(const std::string& file, int n, std::chrono::milliseconds delay = {}) {
    std::vector<Outline> outlines;
    for (int i = 0; i < n; ++i) {
      test::FeedRoute r;
      r.body = FeedBody("Feed " + std::to_string(i));
      r.delay = delay;
      feeds_.Route("/f" + std::to_string(i), r);
      outlines.push_back({"feed " + std::to_string(i), feeds_.Url("/f" + std::to_string(i))});
    }
    home_.Write("opmls/" + file, OpmlOf("G", outlines));
  }
  std::vector<std::string> Titles(const ChannelDocs& docs) {
    std::vector<std::string> out;
    for (const auto& d : docs) out.push_back(SjisToUtf8(TitleOf(*d)));
    return out;
  }
  static std::vector<std::string> Numbered(int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i < to; ++i) out.push_back("Feed " + std::to_string(i));
    return out;
  }
  // The parameter texts the workers of a group file are handed.
  static std::vector<std::string> Collected(const std::string& file, ParamList params) {
    TRXML opml;
    opml.LoadFromFile("opmls\\" + file);
    std::vector<std::string> texts;
    CollectFeedParams(opml.SelectSingleNode("opml/body"), params, texts);
    return texts;
  }
  // The feeds asked for, in the order the server saw them.
  std::vector<std::string> Asked() {
    std::vector<std::string> out;
    for (const auto& r : feeds_.Requests()) out.push_back(r.path);
    return out;
  }
  static std::set<std::string> Paths(int from, int to) {
    std::set<std::string> out;
    for (int i = from; i < to; ++i) out.insert("/f" + std::to_string(i));
    return out;
  }

  test::FeedServer feeds_;
  test::FakeShell shell_;
  std::unique_ptr<TChList> list_;
  std::unique_ptr<GroupContext> context_;
  std::vector<bool> idle_;
};

TEST_F(GroupRefresh, ConcurrencyTwentyFeedsGoInBatchesOfNineFromTheEndAndComeBackInFileOrder) {
  Feeds("twenty.opml", 20, std::chrono::milliseconds(20));
  auto docs = CreateChXML({"u=twenty.opml", "r=on"}, *context_);
  ASSERT_TRUE(docs);
  EXPECT_EQ(Titles(*docs), Numbered(0, 20));
  EXPECT_LE(feeds_.MaxInFlight(), 9);

  // A batch starts only when the previous one has finished, so the server sees the last
  // nine feeds first, then the nine before them, then the first two.
  std::vector<std::string> asked = Asked();
  ASSERT_EQ(asked.size(), 20u);
  EXPECT_EQ(std::set<std::string>(asked.begin(), asked.begin() + 9), Paths(11, 20));
  EXPECT_EQ(std::set<std::string>(asked.begin() + 9, asked.begin() + 18), Paths(2, 11));
  EXPECT_EQ(std::set<std::string>(asked.begin() + 18, asked.end()), Paths(0, 2));

  EXPECT_EQ(shell_.trayImages, (std::vector<int>{0, 1, 2, 3, 3, 3, 4}));
  EXPECT_EQ(idle_, (std::vector<bool>{false, true}));
}

TEST_F(GroupRefresh, ConcurrencyZeroOrNegativeMaxConnectionFetchesOneFeedAtATime) {
  Feeds("five.opml", 5, std::chrono::milliseconds(5));
  for (int setting : {0, -7}) {
    SCOPED_TRACE(setting);
    UpdateSettings([&](Settings& s) { s.MAXCONNECTION = setting; });
    feeds_.ClearLog();
    auto docs = CreateChXML({"u=five.opml", "r=on"}, *context_);
    ASSERT_TRUE(docs);
    EXPECT_EQ(Titles(*docs), Numbered(0, 5));
    EXPECT_EQ(Asked(), (std::vector<std::string>{"/f4", "/f3", "/f2", "/f1", "/f0"}));
  }
  EXPECT_EQ(feeds_.MaxInFlight(), 1);
  EXPECT_EQ(BatchSize(8), 9u);
  EXPECT_EQ(BatchSize(std::numeric_limits<int>::max()), 2147483648u);
  EXPECT_EQ(BatchSize(std::numeric_limits<int>::min()), 1u);
}

TEST_F(GroupRefresh, FeedsInNestedFoldersAndOutlinesWithoutUrlKeepTheirPlaces) {
  Feeds("unused.opml", 4);
  home_.Write("opmls/nested.opml",
              test::OpmlText("N", test::OutlineXml({"zero", feeds_.Url("/f0")}) +
                                      "<outline text=\"folder\">" + test::OutlineXml({"one", feeds_.Url("/f1")}) +
                                      "<outline text=\"deeper\">" + test::OutlineXml({"two", feeds_.Url("/f2")}) +
                                      "</outline></outline>" + test::OutlineXml({"no url", "-"}) +
                                      "<other/>" + test::OutlineXml({"three", feeds_.Url("/f3")})));
  auto docs = CreateChXML({"u=nested.opml", "r=on", "sel=today"}, *context_);
  ASSERT_TRUE(docs);
  EXPECT_EQ(Titles(*docs), (std::vector<std::string>{"Feed 0", "Feed 1", "Feed 2", "エラーメッセージ", "Feed 3"}));

  // What each worker was handed: the group request's parameters with u set per feed.
  std::vector<std::string> texts =
      Collected("nested.opml", {"u=nested.opml", "r=on", "w=a, \"b\"", "sel=today", "d=off", "scrap=off"});
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(ParseCommaText(texts[0]),
            (ParamList{"u=" + feeds_.Url("/f0"), "r=on", "w=a, \"b\"", "sel=today", "d=off", "scrap=off"}));
  EXPECT_EQ(ParseCommaText(texts[3]), (ParamList{"r=on", "w=a, \"b\"", "sel=today", "d=off", "scrap=off"}));
  EXPECT_EQ(ParamValue(ParseCommaText(texts[4]), "u"), feeds_.Url("/f3"));
}

// Other readers export pretty-printed OPML: a feed outline holding only white space is a
// feed, not a folder.
TEST_F(GroupRefresh, AnOutlineHoldingOnlyWhiteSpaceIsAFeed) {
  home_.Write("opmls/exported.opml",
              test::OpmlText("E", "\n  <outline text=\"a\" type=\"rss\" xmlUrl=\"http://e/a\">\n  </outline>\n"
                                  "  <outline text=\"folder\">\n    <outline text=\"b\" xmlUrl=\"http://e/b\">\n"
                                  "    </outline>\n  </outline>\n"));
  std::vector<std::string> texts = Collected("exported.opml", {"u=exported.opml"});
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(ParamValue(ParseCommaText(texts[0]), "u"), "http://e/a");
  EXPECT_EQ(ParamValue(ParseCommaText(texts[1]), "u"), "http://e/b");
}

TEST_F(GroupRefresh, RelativeGatewayAddressesAreCompletedToTheProgramItself) {
  UpdateSettings([](Settings& s) {
    s.PORT = 4999;
    s.LocalAddress = "127.0.0.1";
  });
  home_.Write("opmls/local.opml", OpmlOf("L", {{"h", "htr.xml?u=notice_js.xml"}, {"s", "scrap.xml?u=news.keys"}}));
  std::vector<std::string> texts = Collected("local.opml", {"u=local.opml"});
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(ParamValue(ParseCommaText(texts[0]), "u"), "http://localhost:4999/htr.xml?u=notice_js.xml");
  EXPECT_EQ(ParamValue(ParseCommaText(texts[1]), "u"), "http://127.0.0.1:4999/scrap.xml?u=news.keys");
}

TEST_F(GroupRefresh, ConcurrencyAFeedThatTimesOutGetsTheErrorFeedAndTheOthersTheirChannels) {
  UpdateSettings([](Settings& s) { s.READTIMEOUT = 300; });
  Feeds("slow.opml", 4);
  test::FeedRoute slow;
  slow.body = FeedBody("Slow");
  slow.delay = std::chrono::milliseconds(20000);  // ends early when the server stops
  feeds_.Route("/f2", slow);
  auto docs = CreateChXML({"u=slow.opml", "r=on"}, *context_);
  ASSERT_TRUE(docs);
  EXPECT_EQ(Titles(*docs), (std::vector<std::string>{"Feed 0", "Feed 1", "エラーメッセージ", "Feed 3"}));
  EXPECT_EQ(idle_, (std::vector<bool>{false, true}));
}

TEST_F(GroupRefresh, EmptyMissingAndBrokenGroups) {
  home_.Write("opmls/empty.opml", OpmlOf("E", {}));
  auto docs = CreateChXML({"u=empty.opml", "r=on"}, *context_);
  ASSERT_TRUE(docs);
  EXPECT_TRUE(docs->empty());
  EXPECT_EQ(shell_.trayImages, std::vector<int>{4});
  EXPECT_EQ(idle_, (std::vector<bool>{false, true}));

  home_.Write("opmls/nobody.opml", "<opml><head/></opml>");
  home_.Write("opmls/broken.opml", "<opml><body>");
  for (const char* u : {"u=missing.opml", "u=nobody.opml", "u=broken.opml", "u=../empty.opml", "u="})
    EXPECT_FALSE(CreateChXML({u}, *context_)) << u;
  EXPECT_EQ(idle_.size(), 2u);  // no run, no change of the flag

  // The channel page says what failed.
  EXPECT_EQ(CreateChHtml({"u=missing.opml"}, true, *context_),
            T().channelPageFailed + T().feedListFailed);
  EXPECT_EQ(CreateChHtml({"u=empty.opml"}, true, *context_), "[frame empty.opml][/frame]");
}

TEST_F(GroupRefresh, ChannelPageJoinsTheBlocksInFileOrderInsideTheFrame) {
  Feeds("three.opml", 3);
  EXPECT_EQ(CreateChHtml({"u=three.opml", "r=on"}, true, *context_),
            "[frame three.opml](Feed 0:1)(Feed 1:1)(Feed 2:1)[/frame]");
  EXPECT_EQ(CreateChHtml({"u=three.opml"}, false, *context_), "(Feed 0:1)(Feed 1:1)(Feed 2:1)");

  // A block that cannot be transformed says so and the others go on.
  std::remove("xsls/Probe/chs.xsl");
  std::string page = CreateChHtml({"u=three.opml"}, false, *context_);
  EXPECT_EQ(page.rfind(T().xsltFailed, 0), 0u);
  size_t blocks = 0;
  for (size_t at = page.find(T().xsltFailed); at != std::string::npos; at = page.find(T().xsltFailed, at + 1))
    ++blocks;
  EXPECT_EQ(blocks, 3u);
}

TEST_F(GroupRefresh, ConcurrencyWorkersParseTheirTextBackAndOneFailureStopsNoOther) {
  std::vector<std::string> texts;
  for (int i = 0; i < 12; ++i)
    texts.push_back(WriteCommaText({"u=feed " + std::to_string(i), "r=on", "sel=today"}));
  std::mutex m;
  std::vector<std::string> seen;
  auto build = [&](const ParamList& p, TRXML& into) {
    {
      std::lock_guard<std::mutex> lock(m);
      seen.push_back(ParamValue(p, "sel") + "/" + ParamValue(p, "r"));
    }
    std::string u = ParamValue(p, "u");
    if (u == "feed 3") throw std::runtime_error("builder failed");
    into.LoadFromXML(u == "feed 7" ? "<not xml" : "<doc u=\"" + u + "\"/>");
  };
  TRTMnage manager(texts, build, nullptr);
  manager.Run();
  EXPECT_EQ(seen, std::vector<std::string>(12, "today/on"));  // sel=today reaches every feed
  auto& results = manager.Results();
  ASSERT_EQ(results.size(), 12u);
  for (int i = 0; i < 12; ++i) {
    xmlNodePtr root = results[i]->DocumentElement();
    if (i == 3 || i == 7) {
      EXPECT_EQ(root, nullptr) << i;  // an empty document in its slot
    } else {
      ASSERT_NE(root, nullptr) << i;
      EXPECT_EQ(GetAttribute(root, "u"), "feed " + std::to_string(i));
    }
  }
  EXPECT_EQ(manager.Remaining(), 0u);
}

// The finish step sees each parsed document on its own worker before the slot is
// filled, and may take it away: every feed once, whatever the batch it ran in.
TEST_F(GroupRefresh, ConcurrencyFinishSeesEveryDocumentOnceAndMayTakeItAway) {
  std::vector<std::string> texts;
  for (int i = 0; i < 20; ++i) texts.push_back(WriteCommaText({"u=feed " + std::to_string(i)}));
  std::mutex m;
  std::map<size_t, std::string> seen;
  auto build = [](const ParamList& p, TRXML& into) { into.LoadFromXML("<doc u=\"" + ParamValue(p, "u") + "\"/>"); };
  auto finish = [&](size_t index, std::unique_ptr<TRXML>& doc) {
    std::string u = doc && doc->DocumentElement() ? GetAttribute(doc->DocumentElement(), "u") : "none";
    if (index % 2 == 0) doc.reset();  // taken: its slot stays empty
    std::lock_guard<std::mutex> lock(m);
    EXPECT_TRUE(seen.emplace(index, u).second) << index;
  };
  TRTMnage manager(texts, build, nullptr, finish);
  manager.Run();
  ASSERT_EQ(seen.size(), 20u);
  for (size_t i = 0; i < 20; ++i) {
    EXPECT_EQ(seen[i], "feed " + std::to_string(i));
    if (i % 2 == 0) {
      EXPECT_EQ(manager.Results()[i], nullptr) << i;
    } else {
      ASSERT_NE(manager.Results()[i], nullptr) << i;
      EXPECT_EQ(GetAttribute(manager.Results()[i]->DocumentElement(), "u"), "feed " + std::to_string(i));
    }
  }
}

TEST_F(GroupRefresh, ConcurrencyAStreamedGroupPageHasTheBytesOfTheWholePageAFailingFeedIncluded) {
  UpdateSettings([](Settings& s) { s.MAXCONNECTION = 2; });  // batches of three
  Feeds("seven.opml", 7);
  // Within each batch the later feeds answer first, and one in the middle fails.
  for (int i = 0; i < 7; ++i)
    feeds_.Route("/f" + std::to_string(i), {.body = FeedBody("Feed " + std::to_string(i)),
                                            .delay = std::chrono::milliseconds((6 - i) % 3 * 30)});
  feeds_.Route("/f3", {.status = 404});
  const ParamList params{"u=seven.opml", "r=on"};
  auto stream = ChannelPageStream::Start(params, *context_, {});
  ASSERT_TRUE(stream);
  const std::string streamed = Drained(*stream);
  EXPECT_EQ(streamed, CreateChHtml(params, true, *context_));
  EXPECT_EQ(streamed, "[frame seven.opml](Feed 0:1)(Feed 1:1)(Feed 2:1)(" +
                          test::Sjis("エラーメッセージ") +
                          ":0)(Feed 4:1)(Feed 5:1)(Feed 6:1)[/frame]");

  // The shipped style's markup, from the logs just written.
  test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls", home_ / "xsls");
  UpdateSettings([](Settings& s) { s.XSL_STYLE = "Default"; });
  stream = ChannelPageStream::Start({"u=seven.opml"}, *context_, {});
  ASSERT_TRUE(stream);
  const std::string shipped = Drained(*stream);
  EXPECT_EQ(shipped, CreateChHtml({"u=seven.opml"}, true, *context_));
  EXPECT_NE(shipped.find("Feed 6"), std::string::npos);
}

TEST_F(GroupRefresh, ConcurrencyAStreamedPageFetchesFromTheFrontAndHoldsAtMostTwoBatchesOfBlocks) {
  Feeds("twenty.opml", 20);
  bool saved = false;
  auto stream =
      ChannelPageStream::Start({"u=twenty.opml", "r=on"}, *context_, [&saved] { saved = true; });
  ASSERT_TRUE(stream);
  std::string page;
  ASSERT_TRUE(stream->Next(page));
  EXPECT_EQ(page, "[frame twenty.opml]");  // the frame's head comes at once
  // Nothing taken yet: the first two batches of nine are done, the third waits for the page.
  ASSERT_TRUE(test::Within(std::chrono::seconds(20), [&] { return stream->MostWaiting() == 18; }));
  std::vector<std::string> asked = Asked();
  ASSERT_EQ(asked.size(), 18u);
  EXPECT_EQ(std::set<std::string>(asked.begin(), asked.begin() + 9), Paths(0, 9));
  EXPECT_EQ(std::set<std::string>(asked.begin() + 9, asked.end()), Paths(9, 18));
  page += Drained(*stream);
  std::string expected = "[frame twenty.opml]";
  for (const std::string& title : Numbered(0, 20)) expected += "(" + title + ":1)";
  EXPECT_EQ(page, expected + "[/frame]");
  EXPECT_EQ(stream->MostWaiting(), 18u);
  EXPECT_TRUE(saved);  // before the frame's tail
  EXPECT_EQ(idle_, (std::vector<bool>{false, true}));
}

TEST_F(GroupRefresh, ConcurrencyAReaderThatLeavesMidPageLetsTheRefreshRunToItsEnd) {
  Feeds("twenty.opml", 20, std::chrono::milliseconds(10));
  bool saved = false;
  auto stream =
      ChannelPageStream::Start({"u=twenty.opml", "r=on"}, *context_, [&saved] { saved = true; });
  ASSERT_TRUE(stream);
  std::string piece;
  ASSERT_TRUE(stream->Next(piece));
  ASSERT_TRUE(stream->Next(piece));
  EXPECT_EQ(piece, "(Feed 0:1)");
  stream.reset();  // the reader left: every feed is still refreshed and kept
  EXPECT_EQ(feeds_.RequestCount(), 20u);
  EXPECT_TRUE(saved);
  EXPECT_EQ(idle_, (std::vector<bool>{false, true}));
  const std::string kept = list_->GetXML();
  for (int i = 0; i < 20; ++i)
    EXPECT_NE(kept.find("<xmlUrl>" + feeds_.Url("/f" + std::to_string(i)) + "</xmlUrl>"),
              std::string::npos)
        << i;
}

}  // namespace
}  // namespace norvane
