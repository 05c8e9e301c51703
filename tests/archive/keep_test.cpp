// Keeping items through the real data module and its server: a round trip that loses
// no character, one copy however often it is kept, the kept book as a feed that is never
// trimmed, and the same write checks as the add route.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/data_module.h"
#include "archive/archive_source.h"
#include "core/form_token.h"
#include "core/texts.h"
#include "core/url_helpers.h"
#include "feeds/rxml.h"
#include "archive/archive_home.h"
#include "groups/group_home.h"

namespace norvane {
namespace {

using namespace std::chrono_literals;

// Characters Shift_JIS lacks, or holds only as others: the yen sign, the em dash, an emoji.
const std::string kTitle = "¥1,000 — 今日の😀";
const std::string kDescription = "<p>¥ と — と 😀</p>";

std::string Form(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string body;
  for (const auto& [name, value] : fields) body += (body.empty() ? "" : "&") + name + "=" + EncodeURLParam(value);
  return body;
}

class KeepTest : public test::ModuleHome {
 protected:
  void SetUp() override {
    ModuleHome::SetUp();
    for (const char* file : {"/search.xml", "/dic.csv"})
      test::CopyTree(std::string(NORVANE_DATA_DIR) + file, home_.path());
    feedUrl_ = feeds_.Url("/k");
    feeds_.Serve("/k", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>K</title>"
                       "<link>http://127.0.0.1/k</link><description>d</description>"
                       "<item><title>" + kTitle + "</title><link>http://127.0.0.1/k/1</link><description>" +
                       test::XmlEscaped(kDescription) + "</description></item>"
                       "<item><title>second</title><link>http://127.0.0.1/k/2</link><description>two</description></item>"
                       "</channel></rss>");
    Start();
    Listen();  // the keeps are posted over a socket, as a page's script sends them
    ASSERT_EQ(Get("/rss.html?u=" + feedUrl_ + "/&r=on").status, 200);
    digest_ = DigestText(ItemDigest("http://127.0.0.1/k/1", kTitle, kDescription));
  }
  test::FetchResult Post(const std::string& body, const std::vector<std::string>& headers = {}) {
    test::FetchOptions o;
    o.method = "POST";
    o.body = body;
    o.headers = headers;
    o.headers.push_back("Content-Type: application/x-www-form-urlencoded");
    return test::Fetch("http://127.0.0.1:" + std::to_string(port_) + "/keep", o);
  }
  std::string KeepBody(const std::string& extra = {}) {
    return Form({{"token", FormToken()}, {"keep", digest_ + " " + feedUrl_}}) + extra;
  }
  // The items of the kept book's file, as their titles (UTF-8).
  std::vector<std::string> KeptTitles() {
    const std::string path = DiskPath("scrap/" + T().keptBookName + ".xml");
    if (!home_.Exists(path)) return {};
    TRXML book;
    book.LoadOwnFile("scrap/" + T().keptBookName + ".xml");
    std::vector<std::string> titles;
    for (xmlNodePtr item : book.SelectNodes("rss/channel/item")) titles.push_back(DomText(ChildElement(item, "title")));
    return titles;
  }
  std::string feedUrl_, digest_;
};

TEST_F(KeepTest, KeepAndDropRoundTripLosesNoCharacter) {
  auto kept = Post(KeepBody("&back=" + EncodeURLParam("rss.html?u=" + feedUrl_ + "/")));
  EXPECT_EQ(kept.status, 303);
  EXPECT_EQ(kept.Header("Location"), "/rss.html?u=" + feedUrl_ + "/");
  ASSERT_EQ(KeptTitles(), std::vector<std::string>{kTitle});

  // The file holds them as references; read back they are the same characters.
  const std::string file = home_.Read(DiskPath("scrap/" + T().keptBookName + ".xml"));
  for (const char* ref : {"&#165;", "&#8212;", "&#128512;"}) EXPECT_NE(file.find(ref), std::string::npos) << ref;
  TRXML book;
  book.LoadOwnFile("scrap/" + T().keptBookName + ".xml");
  xmlNodePtr item = book.SelectSingleNode("rss/channel/item");
  EXPECT_EQ(DomText(ChildElement(item, "description")), kDescription);
  EXPECT_EQ(DomText(ChildElement(item, "link")), "http://127.0.0.1/k/1");
  xmlNodePtr source = ChildElement(item, "source");
  EXPECT_EQ(DomText(source), "K");
  EXPECT_EQ(GetAttribute(source, "url"), feedUrl_);

  // The kept book is a feed of its own, and the search finds it there.
  auto served = Get("/scrap.xml?u=" + EncodeURLParam(SjisToUtf8(T().keptBookName)) + ".keys/");
  EXPECT_NE(served.body.find("&#128512;"), std::string::npos) << served.body;
  ASSERT_TRUE(module_->Indexer().WaitSettled(30s));
  auto found = Get("/find.xml?_charset_=UTF-8&w=" + EncodeURLParam("どこにもない語"));
  EXPECT_NE(found.body.find("total=\"0\""), std::string::npos) << found.body;
  found = Get("/find.xml?_charset_=UTF-8&w=" + EncodeURLParam("今日の"));
  EXPECT_NE(found.body.find("total=\"2\""), std::string::npos) << found.body;  // the log's and the book's
  EXPECT_NE(found.body.find("scrap.xml?u="), std::string::npos) << "one of them is the kept book's";

  // Dropped, it is gone from the book, the file and the search.
  auto dropped = Post(Form({{"token", FormToken()}, {"drop", digest_}, {"js", "on"}}));
  EXPECT_EQ(dropped.status, 200);
  EXPECT_NE(dropped.body.find("state=\"dropped\""), std::string::npos) << dropped.body;
  EXPECT_TRUE(KeptTitles().empty());
  auto again = Post(Form({{"token", FormToken()}, {"drop", digest_}, {"js", "on"}}));
  EXPECT_NE(again.body.find("state=\"not-kept\""), std::string::npos) << again.body;
}

TEST_F(KeepTest, TwoKeepsOfOneItemKeepItOnce) {
  std::vector<std::thread> both;
  std::vector<test::FetchResult> answers(2);
  for (int i = 0; i < 2; ++i) both.emplace_back([&, i] { answers[static_cast<size_t>(i)] = Post(KeepBody("&js=on")); });
  for (auto& t : both) t.join();
  EXPECT_EQ(KeptTitles().size(), 1u);
  const std::string states = answers[0].body + answers[1].body;
  EXPECT_NE(states.find("state=\"kept\""), std::string::npos) << states;
  EXPECT_NE(states.find("state=\"already\""), std::string::npos) << states;
  EXPECT_NE(Post(KeepBody("&js=on")).body.find("state=\"already\""), std::string::npos);
  EXPECT_EQ(KeptTitles().size(), 1u);
}

TEST_F(KeepTest, TheKeptBookIsNeverTrimmedAndTakesNothingFromTheFeeds) {
  UpdateSettings([](Settings& s) { s.LOG_CNT = 1; });
  ASSERT_EQ(Post(KeepBody("&js=on")).status, 200);
  const std::string second = DigestText(ItemDigest("http://127.0.0.1/k/2", "second", "two"));
  ASSERT_EQ(Post(Form({{"token", FormToken()}, {"keep", second + " " + feedUrl_}, {"js", "on"}})).status, 200);
  EXPECT_EQ(KeptTitles(), (std::vector<std::string>{"second", kTitle}));
  // New items of the feed pass the kept book by.
  feeds_.Serve("/k", test::FeedBody("K", "third"));
  ASSERT_EQ(Get("/rss.html?u=" + feedUrl_ + "/&r=on").status, 200);
  module_->SaveChangedBooks();
  auto served = Get("/scrap.xml?u=" + EncodeURLParam(SjisToUtf8(T().keptBookName)) + ".keys/");
  EXPECT_EQ(served.body.find("third"), std::string::npos);
  EXPECT_NE(served.body.find("second"), std::string::npos);
  EXPECT_NE(served.body.find("&#128512;"), std::string::npos) << "LOG_CNT trims nothing of it";
  EXPECT_EQ(KeptTitles().size(), 2u);
}

TEST_F(KeepTest, WhatCannotBeKeptSaysWhy) {
  struct Case {
    const char* what;
    std::string body;
    long status;
    const char* state;
  };
  const Case cases[] = {
      {"an item no log holds", Form({{"token", FormToken()}, {"keep", "0123456789abcdef " + feedUrl_}, {"js", "on"}}),
       404, "no-item"},
      {"a feed never read", Form({{"token", FormToken()}, {"keep", digest_ + " http://127.0.0.1:9/none"}, {"js", "on"}}),
       404, "no-item"},
      {"a book that is not there", KeepBody("&js=on&b=nobook"), 404, "no-book"},
      {"no digest", Form({{"token", FormToken()}, {"keep", "zz " + feedUrl_}, {"js", "on"}}), 400, "bad"},
      {"no feed", Form({{"token", FormToken()}, {"keep", digest_}, {"js", "on"}}), 400, "bad"},
  };
  for (const Case& c : cases) {
    auto r = Post(c.body);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_NE(r.body.find(std::string("state=\"") + c.state + "\""), std::string::npos) << c.what << ": " << r.body;
  }
  EXPECT_TRUE(KeptTitles().empty());
}

// The same checks as the add route: only the gateway's own pages change anything, and
// a page of the browser must carry the form token.
TEST_F(KeepTest, KeepPassesTheWriteChecksOfAdd) {
  const std::vector<std::string> page = {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: document"};
  const std::string self = "Origin: http://127.0.0.1:" + std::to_string(port_);
  auto with = [](std::vector<std::string> h, const std::string& more) {
    h.push_back(more);
    return h;
  };
  const std::string noToken = Form({{"keep", digest_ + " " + feedUrl_}});
  const std::string wrongToken = noToken + "&token=0123";
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::string> headers;
    long status;
    bool keeps;
  };
  const Case cases[] = {
      {"curl, no metadata", noToken, {}, 200, true},
      {"typed or bookmarked", noToken, {"Sec-Fetch-Site: none", "Sec-Fetch-Dest: document"}, 200, true},
      {"own page, no token", noToken, page, 200, false},
      {"own page, wrong token", wrongToken, page, 200, false},
      {"own page, the form's token", KeepBody(), page, 200, true},
      {"own page's script, with token", KeepBody(), {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: empty"}, 200, true},
      {"own page, same origin stated", KeepBody(), with(page, self), 200, true},
      {"image in an item", KeepBody(), {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: image"}, 403, false},
      {"style sheet", noToken, {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: style"}, 403, false},
      {"another site's form", KeepBody(), {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Dest: document"}, 403, false},
      {"a sibling site", noToken, {"Sec-Fetch-Site: same-site", "Sec-Fetch-Dest: document"}, 403, false},
      {"foreign origin", KeepBody(), {"Origin: http://evil.example"}, 403, false},
      {"opaque origin", KeepBody(), with(page, "Origin: null"), 403, false},
  };
  for (const Case& c : cases) {
    auto r = Post(c.body + "&js=on", c.headers);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(KeptTitles().size(), c.keeps ? 1u : 0u) << c.what << ": " << r.body;
    if (!c.keeps && r.status == 200) {
      EXPECT_NE(r.body.find("state=\"confirm\""), std::string::npos) << c.what << ": asks to confirm";
    }
    module_->Keeping().Drop(std::stoull(digest_, nullptr, 16));
  }
  // A GET changes nothing, whatever it carries: it shows the form to confirm.
  auto get = Get("/keep?" + KeepBody());
  EXPECT_EQ(get.status, 200);
  EXPECT_TRUE(KeptTitles().empty());
  EXPECT_NE(get.body.find("method=\"post\""), std::string::npos) << get.body;
}

}  // namespace
}  // namespace norvane
