// The import page over real HTTP: a multipart upload read by the engine's post processor,
// the form token and the write checks of the route table, and bodies that are too large,
// malformed or cut off, each answered clearly with nothing written.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/form_token.h"
#include "core/texts.h"
#include "groups/group_home.h"
#include "groups/patrol.h"
#include "groups/patrol_popup.h"
#include "support/raw_socket.h"

namespace norvane {
namespace {

using test::OpmlText;

constexpr const char* kBoundary = "----norvane-test-boundary";

struct Part {
  std::string name, fileName, content;
  bool isFile = false;
};

// A multipart/form-data body; without its closing boundary when cut.
std::string Multipart(const std::vector<Part>& parts, bool closed = true) {
  std::string body;
  for (const Part& p : parts) {
    body += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + p.name + "\"";
    if (p.isFile) body += "; filename=\"" + p.fileName + "\"\r\nContent-Type: text/x-opml";
    body += "\r\n\r\n" + p.content + "\r\n";
  }
  if (closed) body += std::string("--") + kBoundary + "--\r\n";
  return body;
}

std::string Subscriptions() {
  return OpmlText("Reader", "<outline text=\"Tech\"><outline text=\"a\" type=\"rss\" xmlUrl=\"http://a.example/\"/>"
                            "</outline>");
}

class ImportRoute : public test::ModuleHome {
 protected:
  void SetUp() override {
    ModuleHome::SetUp();
    CopyShippedCatalogues();
    home_.Write("opmls/news.opml", OpmlText("News", ""));
    Start();
    Listen();  // uploads are read by the engine itself
  }
  // A POST of the upload form as a page of the gateway sends it.
  test::FetchResult Upload(const std::string& body, std::vector<std::string> headers = {}) {
    headers.push_back(std::string("Content-Type: multipart/form-data; boundary=") + kBoundary);
    if (headers.size() == 1) {
      headers.push_back("Sec-Fetch-Site: same-origin");
      headers.push_back("Sec-Fetch-Dest: document");
      headers.push_back("Origin: http://127.0.0.1:" + std::to_string(port_));
    }
    return test::Fetch("http://127.0.0.1:" + std::to_string(port_) + "/import.html",
                       {.method = "POST", .body = body, .headers = headers});
  }
  std::vector<Part> WithToken(const std::string& file) {
    return {{"token", "", FormToken()}, {"opml", "subscriptions.opml", file, true}};
  }
  size_t GroupFiles() {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(home_ / "opmls")) n += e.path().extension() == ".opml";
    return n;
  }
};

TEST_F(ImportRoute, AnUploadWithTheFormsTokenImportsAndTheReportGoesThroughTheStyle) {
  auto page = Get("/import.html");  // the form alone
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("<import token=\"" + FormToken() + "\"/>"), std::string::npos) << page.body;

  auto res = Upload(Multipart(WithToken(Subscriptions())));
  EXPECT_EQ(res.status, 200);
  EXPECT_EQ(res.Header("Content-Type"), "text/html");
  EXPECT_NE(res.body.find("<error>0</error>"), std::string::npos) << res.body;
  EXPECT_NE(res.body.find("<file name=\"subscriptions.opml\"/>"), std::string::npos);
  EXPECT_NE(res.body.find("<group title=\"Tech\" file=\"Tech.opml\" made=\"on\" added=\"1\"/>"), std::string::npos);
  EXPECT_NE(res.body.find("<added count=\"1\"><feed title=\"a\" xmlUrl=\"http://a.example/\" group=\"Tech\"/></added>"),
            std::string::npos);
  EXPECT_TRUE(home_.Exists("opmls/Tech.opml"));
  // The group page lists the new group at once.
  EXPECT_NE(Get("/gp.html?u=Tech.opml/").body.find("file=\"Tech.opml\""), std::string::npos);

  // curl and scripts on this machine need no token, as for the add page.
  res = Upload(Multipart({{"opml", "x.opml", Subscriptions(), true}}), {"Accept: text/html"});
  EXPECT_NE(res.body.find("<skipped count=\"1\">"), std::string::npos) << "the second import adds nothing: " << res.body;
}

// A group an import makes is patrolled from then on, not only after the next start.
TEST_F(ImportRoute, ImportedGroupsJoinTheRunningPatrol) {
  struct Quiet : PopupView {
    void ShowPopup() override {}
    void HidePopup() override {}
    void AppendLine(const std::string&) override {}
    void ClearLines() override {}
  } view;
  TForm5 popup(shell_, view);
  module_->StartPatrol(popup, std::chrono::minutes(10), [](const std::string&) {
    return std::optional<std::vector<ChannelCount>>(std::vector<ChannelCount>{});
  });
  auto timers = [&](const std::string& file) {
    std::vector<int> intervals;
    for (const Reroad& r : module_->Patrol()->entries())
      if (r.File == file) intervals.push_back(r.Interval);
    return intervals;
  };
  ASSERT_TRUE(timers("Tech.opml").empty());
  ASSERT_EQ(Upload(Multipart(WithToken(Subscriptions()))).status, 200);
  ASSERT_TRUE(shell_.RunOnePosted());
  EXPECT_EQ(timers("Tech.opml"), std::vector<int>{TGP::kNewGroupInterval});
  module_->JoinPatrol({"Tech.opml"});  // told twice, it is patrolled once
  ASSERT_TRUE(shell_.RunOnePosted());
  EXPECT_EQ(timers("Tech.opml").size(), 1u);
  module_->StopPatrol();
}

TEST_F(ImportRoute, UploadsThatMayNotOrCannotBeImportedSaySoAndWriteNothing) {
  const std::string catalogue = home_.Read("opmls/gp.xml");
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::string> headers;
    long status;
    std::string says;
  } cases[] = {
      {"a page of the browser without the token", Multipart({{"opml", "a.opml", Subscriptions(), true}}), {}, 200,
       T().importNoToken},
      {"a form without its file", Multipart({{"token", "", FormToken()}}), {}, 200, T().importNoFile},
      {"a body that ends before its last boundary", Multipart(WithToken(Subscriptions()), false), {}, 200,
       T().importIncomplete},
      {"a file that is no OPML", Multipart(WithToken("<html><body>hi</body></html>")), {}, 200, T().importNotOpml},
      {"another site", Multipart(WithToken(Subscriptions())),
       {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Dest: document"}, 403, T().refusedForeign},
      {"a file over 5 MB", Multipart(WithToken(std::string(kMaxUploadBytes + 1, 'x'))), {}, 413,
       T().refusedTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto res = Upload(c.body, c.headers);
    EXPECT_EQ(res.status, c.status);
    EXPECT_NE(res.body.find(c.says), std::string::npos) << res.body.substr(0, 600);
    EXPECT_EQ(GroupFiles(), 1u);
    EXPECT_EQ(home_.Read("opmls/gp.xml"), catalogue);
  }
}

TEST_F(ImportRoute, AnUploadThatStopsHalfwayWritesNothingAndTheServerGoesOn) {
  const std::string body = Multipart(WithToken(Subscriptions()));
  {
    test::RawConnection c(port_);
    ASSERT_TRUE(c.valid());
    ASSERT_TRUE(c.Send("POST /import.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                       "\r\nContent-Type: multipart/form-data; boundary=" + kBoundary +
                       "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                       body.substr(0, body.size() / 2)));
  }  // the connection closes with half the body sent
  EXPECT_EQ(Get("/import.html").status, 200);
  EXPECT_EQ(GroupFiles(), 1u);
  EXPECT_FALSE(home_.Exists("opmls/Tech.opml"));
}

TEST_F(ImportRoute, AStyleWithoutTheImportPageBorrowsDefaults) {
  std::remove("xsls/Probe/import.xsl");
  test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls/Default", home_ / "xsls/Default");
  auto page = Get("/import.html");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("enctype=\"multipart/form-data\""), std::string::npos) << page.body.substr(0, 400);
  EXPECT_NE(page.body.find("name=\"token\" value=\"" + FormToken() + "\""), std::string::npos);
}

}  // namespace
}  // namespace norvane
