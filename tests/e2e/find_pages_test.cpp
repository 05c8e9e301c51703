// find.html and find.xml on the real program: the page through the shipped style, the
// feed, bad input answered in the page, and an index that a kill -9 in the middle of its
// making leaves behind made whole at the next start.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <regex>
#include <thread>

#include "archive/archive_home.h"
#include "core/sjis.h"
#include "core/url_helpers.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

using namespace std::chrono_literals;

std::string Attribute(const std::string& xml, const std::string& name) {
  std::smatch m;
  return std::regex_search(xml, m, std::regex(name + "=\"([^\"]*)\"")) ? m[1].str() : std::string();
}

std::string W(const std::string& utf8) { return "_charset_=UTF-8&w=" + EncodeURLParam(utf8); }

class FindPages : public ::testing::Test {
 protected:
  void WriteArchive(int feeds, int perFeed) {
    archive_ = GenerateArchive(5, feeds, perFeed);
    for (const GeneratedFeed& f : archive_) app_.home().Write(f.file, LogXml(f));
    lender_.LoadSynonymDic(app_.home() / "dic.csv");
  }
  // find.xml until the index says it is ready (or the time is up); the last answer.
  FetchResult WhenReady(const std::string& query) {
    FetchResult r;
    for (auto until = std::chrono::steady_clock::now() + 120s; std::chrono::steady_clock::now() < until;) {
      r = app_.Get("/find.xml?" + query);
      if (Attribute(r.body, "state") == "ready") break;
      std::this_thread::sleep_for(100ms);
    }
    return r;
  }
  NorvaneProcess app_;
  std::vector<GeneratedFeed> archive_;
  TRSerch lender_;
};

TEST_F(FindPages, APageAndAFeedOfTheSameResults) {
  WriteArchive(6, 40);
  ASSERT_TRUE(app_.Start()) << app_.StderrText();
  const std::vector<std::string> expected = Verdict(archive_, Utf8ToSjis("ガソリン"), lender_);
  ASSERT_FALSE(expected.empty());
  FetchResult feed = WhenReady(W("ｶﾞｿﾘﾝ"));
  EXPECT_EQ(feed.status, 200);
  EXPECT_EQ(feed.Header("Content-Type").find("text/XML"), 0u);
  EXPECT_EQ(Attribute(feed.body, "total"), std::to_string(expected.size()));
  EXPECT_NE(feed.body.find("<link>" + expected[0] + "</link>"), std::string::npos) << "newest first";

  FetchResult page = app_.Get("/find.html?" + W("ｶﾞｿﾘﾝ"));
  EXPECT_EQ(page.status, 200);
  const std::string html = SjisToUtf8(page.body);
  EXPECT_NE(html.find("id=\"find-w\""), std::string::npos);
  EXPECT_NE(html.find("class=\"keep\""), std::string::npos) << "every item has its keep button";
  EXPECT_NE(html.find("<form id=\"keep\""), std::string::npos);
  EXPECT_NE(html.find(expected[0]), std::string::npos);
  EXPECT_EQ(page.Header("Content-Security-Policy").find("default-src 'self'"), 0u);
  EXPECT_EQ(app_.Stop(), 0);
}

TEST_F(FindPages, BadInputIsAnsweredOnThePage) {
  ASSERT_TRUE(app_.Start()) << app_.StderrText();
  struct Case {
    const char* what;
    std::string query;
    long status;
    const char* shows;    // in the page (UTF-8)
    const char* outcome;  // of the feed
  };
  const Case cases[] = {
      {"spaces only", W("   　"), 200, "id=\"find-w\"", "empty"},
      {"nothing", "", 200, "id=\"find-w\"", "empty"},
      {"a pattern the matcher refuses", W("C++"), 200, "普通の文字、または左括弧", "refused"},
      {"an open group", W("(あ"), 200, "右(閉じ)括弧が必要です", "refused"},
      {"over 1,000 characters", W(std::string(1001, 'x')), 400, "1000 文字まで", "too-long"},
  };
  for (const Case& c : cases) {
    FetchResult page = app_.Get("/find.html?" + c.query);
    EXPECT_EQ(page.status, c.status) << c.what;
    EXPECT_NE(SjisToUtf8(page.body).find(c.shows), std::string::npos) << c.what;
    FetchResult feed = app_.Get("/find.xml?" + c.query);
    EXPECT_EQ(Attribute(feed.body, "outcome"), c.outcome) << c.what;
  }
  EXPECT_EQ(app_.Stop(), 0);
}

TEST_F(FindPages, AnIndexThatCannotBeWrittenMeansTheLogsAreReadAndThePageSaysSo) {
  WriteArchive(3, 20);
  mkdir((app_.home() / "find-index.db").c_str(), 0755);
  ASSERT_TRUE(app_.Start()) << app_.StderrText();
  FetchResult feed = app_.Get("/find.xml?" + W("ニュース"));
  EXPECT_EQ(Attribute(feed.body, "scanned"), "1");
  EXPECT_EQ(Attribute(feed.body, "total"),
            std::to_string(Verdict(archive_, Utf8ToSjis("ニュース"), lender_).size()));
  EXPECT_NE(SjisToUtf8(app_.Get("/find.html?" + W("ニュース")).body).find("直接読んで"), std::string::npos);
  EXPECT_EQ(app_.Stop(), 0);
}

TEST_F(FindPages, KillNineWhileTheIndexIsMadeLosesNothing) {
  WriteArchive(120, 50);
  ASSERT_TRUE(app_.Start()) << app_.StderrText();
  // The index is being made from 120 logs: the program dies on the spot.
  for (auto until = std::chrono::steady_clock::now() + 10s;
       std::chrono::steady_clock::now() < until && !app_.home().Exists("find-index.db");)
    std::this_thread::sleep_for(20ms);
  app_.Stop(9);
  ASSERT_TRUE(app_.Start()) << app_.StderrText();
  for (const char* phrase : {"ワイン 記事", "Linux"}) {
    FetchResult feed = WhenReady(W(phrase));
    EXPECT_EQ(Attribute(feed.body, "state"), "ready") << phrase;
    EXPECT_EQ(Attribute(feed.body, "total"), std::to_string(Verdict(archive_, Utf8ToSjis(phrase), lender_).size()))
        << phrase;
  }
  EXPECT_EQ(app_.Stop(), 0);
}

}  // namespace
}  // namespace norvane::test
