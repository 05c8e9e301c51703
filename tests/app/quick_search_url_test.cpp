#include "app/quick_search_url.h"

#include <gtest/gtest.h>

#include "gateway/router_home.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::Sjis;

TEST(QuickSearchUrl, TitleAndPhraseGoInAsTheyAreWhereTheUrlAllows) {
  struct Case {
    std::string engine;  // Shift_JIS
    std::string phrase;  // UTF-8
    std::string url;
  } cases[] = {
      {"X", "abc", "http://localhost:4565/search?u=X/&w=abc"},
      {"X", "", ""},
      {"A&B+c", "a b&c/d+e%f#g", "http://localhost:4565/search?u=A&B+c/&w=a%20b%26c%2Fd%2Be%25f%23g"},
      {"Hacker News", "rust", "http://localhost:4565/search?ue=on&u=Hacker%20News&w=rust"},
      {Sjis("はてな"), "日本", "http://localhost:4565/search?ue=on&u=%82%CD%82%C4%82%C8&w=%E6%97%A5%E6%9C%AC"},
      {"50%", "x", "http://localhost:4565/search?ue=on&u=50%25&w=x"},
  };
  for (const Case& c : cases) EXPECT_EQ(QuickSearchUrl(4565, c.engine, c.phrase), c.url) << c.url;
}

// Each address, sent to the real router, hands the search builder the engine's title as
// the catalogue has it and the phrase in Shift_JIS.
using QuickSearchRoute = test::RouterHome;

TEST_F(QuickSearchRoute, TheRouterReadsBackTheEngineAndThePhrase) {
  const std::pair<std::string, std::string> cases[] = {
      {"X", "abc"},
      {"A&B", "a b&c/d+e%f"},
      {"Hacker News", "rust lang"},
      {Sjis("はてなブックマーク"), "日本"},
      {Sjis("Googleニュース"), "ニュース 速報"},
  };
  for (const auto& [engine, phrase] : cases) {
    const std::string url = QuickSearchUrl(port_, engine, phrase);
    const std::string prefix = "http://localhost:" + std::to_string(port_);
    ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
    EXPECT_EQ(Get(url.substr(prefix.size())).status, 200) << url;
    EXPECT_EQ(TakeRoute(), "search") << url;
    EXPECT_EQ(ParamValue(params_, "u"), engine) << url;
    EXPECT_EQ(ParamValue(params_, "w"), Sjis(phrase)) << url;
  }
}

}  // namespace
}  // namespace norvane
