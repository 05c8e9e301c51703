#include "htr/htr_route.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/atomic_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "core/url_helpers.h"
#include "feeds/rxml.h"
#include "feeds/xml_node.h"
#include "htr/rdms.h"
#include "http/user_agent.h"
#include "support/feed_server.h"
#include "support/program_home.h"
#include "support/routed_request.h"

namespace norvane {
namespace {

using test::Sjis;
const std::string kStamp = "Mon, 01 Jul 2024 00:00:00 GMT";

// The router with only the gateway route, asked in process; a program folder with
// scripts as the current directory, and a page server for the scripts' pages.
class HtrGateway : public ::testing::Test {
 protected:
  void SetUp() override {
    pages_.Route("/stamped.html", {.body = "<p>stamped</p>", .contentType = "text/html",
                                   .lastModified = kStamp});
    pages_.Route("/plain.html", {.body = "<p>plain</p>", .contentType = "text/html"});
    Put("twice.js", "print('<first/>'); print('<second n=\"' + args.length + '\"/>');");
    Put("silent.js", "var page = readln();");
    Put("args.sh", "#!/bin/sh\nprintf '%s|' \"$#\" \"$1\" \"$2\"\npwd -P\n", true);
    Descriptor("noparas.xml", "/stamped.html", "DMonkey", "twice.js", "");
    Descriptor("twice.xml", "/stamped.html", "DMonkey", "twice.js",
               "<paras><para>a</para><para>b</para></paras>");
    Descriptor("silent.xml", "/stamped.html", "DMonkey", "silent.js", "");
    Descriptor("self.xml", "/stamped.html", "self", "args.sh",
               "<paras><para>two words</para><para>second</para></paras>");
    Descriptor("plain.xml", "/plain.html", "DMonkey", "twice.js", "");
    Descriptor("broken.xml", "/missing.html", "DMonkey", "twice.js", "");
    home_.Write("secret.xml", "<secret/>");
    server_.SetRoute("htr.xml", HtrRoute);
  }
  void Put(const std::string& name, const std::string& text, bool executable = false) {
    std::string path = home_.Write("scripts/" + name, text);
    if (executable) {
      ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }
  }
  void Descriptor(const std::string& name, const std::string& page, const std::string& type,
                  const std::string& file, const std::string& paras) {
    Put(name, "<htri><head><htmlurl>" + pages_.Url(page) + "</htmlurl><script type=\"" + type +
                  "\"><file>" + file + "</file></script></head>" + paras + "</htri>");
  }
  // As the program's own fetcher asks: its user agent, and the stamp it kept.
  test::FetchResult Own(const std::string& target, const std::string& stamp = "") {
    test::FetchOptions o;
    o.headers.push_back(std::string("User-Agent: ") + kUserAgent);
    if (!stamp.empty()) o.headers.push_back("If-Modified-Since: " + stamp);
    return Get(target, o);
  }
  test::FetchResult Get(const std::string& target, const test::FetchOptions& o = {}) {
    return test::Route(server_, target, o);
  }

  test::ProgramHome home_;
  test::FeedServer pages_;
  TServer server_;
};

TEST_F(HtrGateway, AnswersTheScriptsLastOutputAsXml) {
  auto noParas = Get("/htr.xml?u=noparas.xml/");
  EXPECT_EQ(noParas.status, 200);
  EXPECT_EQ(noParas.body, "<second n=\"0\"/>");
  EXPECT_EQ(noParas.Header("Content-Type"), "text/XML");
  EXPECT_EQ(noParas.Header("Last-Modified"), "");  // a browser gets no stamp

  EXPECT_EQ(Get("/htr.xml?u=twice.xml/").body, "<second n=\"2\"/>");
  EXPECT_EQ(Get("/HTR.XML?u=silent.xml/").body, "<p>stamped</p>");  // no output: the page
}

TEST_F(HtrGateway, ASelfScriptGetsItsQuotedParasInTheScriptsFolder) {
  const std::string folder = std::filesystem::canonical(home_ / "scripts").string();
  auto r = Get("/htr.xml?u=self.xml/");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "2|two words|second|" + folder + "\n");
}

TEST_F(HtrGateway, TheOwnFetcherGets304ForTheStampItWasGiven) {
  auto first = Own("/htr.xml?u=twice.xml/");
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.Header("Last-Modified"), kStamp);

  pages_.ClearLog();
  auto second = Own("/htr.xml?u=twice.xml/", first.Header("Last-Modified"));
  EXPECT_EQ(second.status, 304);
  EXPECT_EQ(second.body, "");
  // The page was fetched again, without a condition: only the answer is short.
  ASSERT_EQ(pages_.RequestCount("/stamped.html"), 1u);
  EXPECT_FALSE(pages_.Requests()[0].HasHeader("If-Modified-Since"));

  // An older stamp gets the full answer and the new one.
  auto stale = Own("/htr.xml?u=twice.xml/", "Sun, 30 Jun 2024 00:00:00 GMT");
  EXPECT_EQ(stale.status, 200);
  EXPECT_EQ(stale.body, "<second n=\"2\"/>");
  EXPECT_EQ(stale.Header("Last-Modified"), kStamp);

  // The comparison holds whatever the user agent; only the header is the fetcher's own.
  test::FetchOptions browser;
  browser.headers = {"If-Modified-Since: " + kStamp};
  EXPECT_EQ(Get("/htr.xml?u=twice.xml/", browser).status, 304);
  browser.headers.push_back(std::string("User-Agent: ") + kUserAgent + " extra");
  browser.headers[0] = "If-Modified-Since: Sun, 30 Jun 2024 00:00:00 GMT";
  auto other = Get("/htr.xml?u=twice.xml/", browser);
  EXPECT_EQ(other.status, 200);
  EXPECT_EQ(other.Header("Last-Modified"), "");
}

TEST_F(HtrGateway, APageWithoutLastModifiedAlwaysGetsAFullAnswer) {
  for (const std::string& stamp : {std::string(), kStamp, std::string("x")}) {
    auto r = Own("/htr.xml?u=plain.xml/", stamp);
    EXPECT_EQ(r.status, 200) << stamp;
    EXPECT_EQ(r.body, "<second n=\"0\"/>") << stamp;
    for (const auto& [name, value] : r.headers)
      EXPECT_NE(strcasecmp(name.c_str(), "Last-Modified"), 0) << stamp;
  }
}

TEST_F(HtrGateway, RefusesNamesOutsideScriptsAndFailsOnBadDescriptors) {
  for (const char* target : {"/htr.xml?u=../secret.xml/", "/htr.xml?u=%2e%2e/secret.xml/",
                             "/htr.xml?u=sub/../../secret.xml/", "/htr.xml?u=..%5csecret.xml/"}) {
    auto r = Get(target);
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_EQ(r.body.find("secret"), std::string::npos) << target;
  }
  std::string absolute = "/htr.xml?u=" + (home_ / "secret.xml") + "/";
  EXPECT_EQ(Get(absolute).status, 404);

  auto missing = Get("/htr.xml?u=none.xml/");
  EXPECT_EQ(missing.status, 500);
  EXPECT_EQ(missing.body, T().htrCannotOpen + "none.xml");
  EXPECT_EQ(Get("/htr.xml?u=none.xml").status, 500);  // no "/": no name at all

  // The page cannot be fetched: an empty answer, which the router turns into 500.
  auto broken = Own("/htr.xml?u=broken.xml/");
  EXPECT_EQ(broken.status, 500);
  EXPECT_EQ(broken.Header("Last-Modified"), "");
}

TEST_F(HtrGateway, TheShippedExamplesGiveTheSameFeed) {
  const std::string data = NORVANE_DATA_DIR;
  test::CopyTree(data + "/scripts", home_ / "scripts");
  std::string page;
  ASSERT_TRUE(ReadWholeFile(data + "/www/sample/notice.html", page));
  pages_.Route("/sample/notice.html", {.body = page, .contentType = "text/html"});
  // The descriptors name a page of the gateway itself; here it comes from the test server.
  EXPECT_EQ(TRDMS::PageAddress("sample/notice.html"),
            "http://localhost:" + std::to_string(GetSettings().PORT) + "/sample/notice.html");
  EXPECT_EQ(TRDMS::PageAddress("http://a/b"), "http://a/b");
  for (const char* name : {"notice_js.xml", "notice_sh.xml"}) {
    std::string descriptor = home_.Read("scripts/" + std::string(name));
    ASSERT_NE(descriptor.find("<htmlurl>sample/notice.html</htmlurl>"), std::string::npos);
    home_.Write("scripts/" + std::string(name),
                ReplaceAll(descriptor, "<htmlurl>sample/notice.html</htmlurl>",
                           "<htmlurl>" + pages_.Url("/sample/notice.html") + "</htmlurl>"));
  }
  std::vector<std::string> titles[2];
  int i = 0;
  for (const char* name : {"notice_js.xml", "notice_sh.xml"}) {
    auto r = Get("/htr.xml?u=" + std::string(name) + "/");
    ASSERT_EQ(r.status, 200) << name;
    TRXML feed;
    ASSERT_TRUE(feed.LoadFromString(r.body, name)) << name;
    for (xmlNodePtr item : feed.SelectNodes("rss/channel/item/title")) titles[i].push_back(NodeText(item));
    ++i;
  }
  EXPECT_EQ(titles[0].size(), 3u);
  EXPECT_EQ(titles[0], titles[1]);
}

}  // namespace
}  // namespace norvane
