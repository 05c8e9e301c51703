// A Last-Modified date is stored verbatim and sent back as If-Modified-Since: control
// characters a server puts into it must neither be stored nor reach the next request.
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/settings.h"
#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "support/raw_socket.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

constexpr const char* kFeed =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>C</title>"
    "<link>http://127.0.0.1/</link><description>d</description><item><title>A</title>"
    "<link>http://127.0.0.1/a</link></item></channel></rss>";

std::string Answer(const std::string& lastModifiedLine) {
  const std::string body = kFeed;
  return "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n" + lastModifiedLine + "\r\nConnection: close\r\n\r\n" + body;
}

// Every CR or LF of a request header block that is not part of a CR LF pair.
int StrayLineBreaks(const std::string& head) {
  int stray = 0;
  for (size_t i = 0; i < head.size(); ++i) {
    if (head[i] == '\r' && (i + 1 >= head.size() || head[i + 1] != '\n')) ++stray;
    if (head[i] == '\n' && (i == 0 || head[i - 1] != '\r')) ++stray;
  }
  return stray;
}

class StoredDate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(getcwd(cwd_, sizeof cwd_), cwd_);
    ASSERT_EQ(chdir(home_.path().c_str()), 0);
    home_.Write("channels/.keep", "");
    ResetSettings();
  }
  void TearDown() override {
    ResetSettings();
    ASSERT_EQ(chdir(cwd_), 0);
  }
  void Fetch(TChList& list, const std::string& url) {
    RPARAMS p;
    p.URL = url;
    p.Reload = true;
    p.Scrap = false;
    FeedContext ctx{list, {}, nullptr};
    TRSS rss(p, ctx);
    rss.Excute();
  }

  test::TempDir home_;
  char cwd_[4096];
};

TEST_F(StoredDate, ControlCharactersInLastModifiedAreNeitherStoredNorSentBack) {
  // A bare CR inside the date, as if the server meant to slip in a header of its own.
  test::RawHttpServer server(Answer("Last-Modified: Tue, 02 Dec 2025\rX-Evil: 1\t10:00:00 GMT"));
  const std::string url = server.Url("/feed");
  {
    TChList list("channels\\ChannelList.xml");
    Fetch(list, url);
    list.Save();
    Fetch(list, url);
  }
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(StrayLineBreaks(requests[1]), 0) << requests[1];
  EXPECT_NE(requests[1].find("\r\nIf-Modified-Since: Tue, 02 Dec 2025X-Evil: 110:00:00 GMT"),
            std::string::npos)
      << requests[1];
  const std::string stored = home_.Read("channels/ChannelList.xml");
  EXPECT_NE(stored.find("Tue, 02 Dec 2025X-Evil: 110:00:00 GMT"), std::string::npos) << stored;
  EXPECT_EQ(stored.find("&#13;"), std::string::npos) << stored;
  EXPECT_EQ(stored.find("&#9;"), std::string::npos) << stored;
}

TEST_F(StoredDate, ADateStoredEarlierWithABareCrIsSentBackClean) {
  test::RawHttpServer server(Answer("Last-Modified: Tue, 02 Dec 2025 10:00:00 GMT"));
  const std::string url = server.Url("/feed");
  {
    TChList list("channels\\ChannelList.xml");
    Fetch(list, url);
    list.Save();
  }
  // The list as an earlier version could have written it.
  std::string stored = home_.Read("channels/ChannelList.xml");
  const std::string clean = "Tue, 02 Dec 2025 10:00:00 GMT";
  size_t at = stored.find(clean);
  ASSERT_NE(at, std::string::npos) << stored;
  stored.replace(at, clean.size(), "Tue, 02 Dec 2025&#13;X-Evil: 1");
  home_.Write("channels/ChannelList.xml", stored);
  {
    TChList list("channels\\ChannelList.xml");
    Fetch(list, url);
  }
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(StrayLineBreaks(requests[1]), 0) << requests[1];
  EXPECT_NE(requests[1].find("\r\nIf-Modified-Since: Tue, 02 Dec 2025X-Evil: 1"), std::string::npos)
      << requests[1];
}

}  // namespace
}  // namespace norvane
