#include "app/settings_tab.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "app/desktop_texts.h"
#include "app/desktop_home.h"
#include "core/gate_lock.h"
#include "core/ini_file.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "gateway/server.h"
#include "support/feed_server.h"
#include "support/http_fetch.h"

namespace norvane {
namespace {

using test::Sjis;

// A port the four-digit port field can name that was free a moment ago.
int FreeFourDigitPort() {
  std::srand(static_cast<unsigned>(getpid()));
  for (int tries = 0; tries < 200; ++tries) {
    int port = 5000 + std::rand() % 5000;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    bool free = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (free) return port;
  }
  return 0;
}

class SettingsTab : public test::DesktopHome {};

struct StyleCase {
  const char* what;
  std::vector<std::string> folders;  // UTF-8, as on disk
  std::string style;                 // XSL_STYLE before (UTF-8)
  std::vector<std::string> entries;  // expected, UTF-8
  int selected;
  std::string styleAfter;            // XSL_STYLE after (UTF-8)
};

TEST_F(SettingsTab, FillStyleListListsTheStyleFoldersAndFallsBackToDefault) {
  const StyleCase cases[] = {
      {"the setting's folder is selected", {"Default", "Compact"}, "Compact", {"Compact", "Default"}, 0, "Compact"},
      {"a missing style becomes Default", {"Default", "Compact"}, "Gone", {"Compact", "Default"}, 1, "Default"},
      {"a style leaving xsls/ becomes Default", {"Default"}, "../Default", {"Default"}, 0, "Default"},
      {"neither the style nor Default: no selection", {"Compact"}, "Gone", {"Compact"}, -1, "Default"},
      {"no style folder at all", {}, "Default", {"ロードエラー"}, -1, "Default"},
      {"a Japanese folder name", {"和風", "Default"}, "和風", {"Default", "和風"}, 1, "和風"},
      {"letter case is ignored in the selection", {"dark", "Default"}, "dark", {"Default", "dark"}, 1, "dark"},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir home;
    ASSERT_EQ(chdir(home.path().c_str()), 0);
    home.Write("xsls/notes.txt", "a file is no style");
    for (const auto& f : c.folders) home.Write("xsls/" + f + "/rss.xsl", "<x/>");
    UpdateSettings([&](Settings& s) { s.XSL_STYLE = Utf8ToSjis(c.style); });
    StyleList list = FillStyleList();
    std::vector<std::string> entries;
    for (const auto& e : list.entries) entries.push_back(SjisToUtf8(e));
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(list.selected, c.selected);
    EXPECT_EQ(SjisToUtf8(GetSettings().XSL_STYLE), c.styleAfter);
    ASSERT_EQ(chdir(home_.path().c_str()), 0);
  }
}

TEST_F(SettingsTab, SettingsAndControlsMapBothWays) {
  AddStyle("Default");
  AddStyle("Compact");
  UpdateSettings([](Settings& s) {
    s.PORT = 8080;
    s.MINIMIZE = true;
    s.MAXCONNECTION = 3;
    s.USEPROXY = true;
    s.PROXYSERVER = Sjis("プロキシ.example");
    s.PROXYPORT = 3128;
    s.OPEN = true;
    s.GOROUND = true;
    s.ROUNDRESULT = true;
    s.XSL_STYLE = "Compact";
    s.LOG_CNT = 40;
    s.READTIMEOUT = 12000;
  });
  SettingsTabValues v = SettingsToWindow();
  EXPECT_EQ(v.port, "8080");
  EXPECT_TRUE(v.minimize);
  EXPECT_EQ(v.maxConnection, 3);
  EXPECT_TRUE(v.useProxy);
  EXPECT_EQ(v.proxyServer, Sjis("プロキシ.example"));
  EXPECT_EQ(v.proxyPort, "3128");
  EXPECT_TRUE(v.open);
  EXPECT_TRUE(v.goRound);
  EXPECT_TRUE(v.roundResult);
  EXPECT_EQ(v.StyleText(), "Compact");
  EXPECT_EQ(v.logCount, 40);
  EXPECT_EQ(v.readTimeout, "12000");

  // Every control changed: every setting follows.
  v.port = "4566";
  v.minimize = v.useProxy = v.open = v.goRound = v.roundResult = false;
  v.maxConnection = -1;
  v.proxyServer = "proxy";
  v.proxyPort = "";
  v.styles.selected = 1;
  v.logCount = 160;
  v.readTimeout = "0045";
  UpdateSettings([](Settings& s) { s.LASTOPML = "kept.opml"; });
  WindowToSettings(v);
  const Settings s = GetSettings();
  EXPECT_EQ(s.PORT, 4566);
  EXPECT_FALSE(s.MINIMIZE || s.USEPROXY || s.OPEN || s.GOROUND || s.ROUNDRESULT);
  EXPECT_EQ(s.MAXCONNECTION, -1);
  EXPECT_EQ(s.PROXYSERVER, "proxy");
  EXPECT_EQ(s.PROXYPORT, 0);
  EXPECT_EQ(s.XSL_STYLE, "Default");
  EXPECT_EQ(s.LOG_CNT, 160);
  EXPECT_EQ(s.READTIMEOUT, 45);
  EXPECT_EQ(s.LASTOPML, "kept.opml");  // not a control of the tab
}

TEST_F(SettingsTab, AStyleBoxWithNothingSelectedStoresAnEmptyStyle) {
  SettingsTabValues v = SettingsToWindow();  // no xsls/ folder at all
  ASSERT_EQ(v.styles.entries, std::vector<std::string>{T().loadError});
  EXPECT_EQ(v.styles.selected, -1);
  WindowToSettings(v);
  EXPECT_EQ(GetSettings().XSL_STYLE, "");
}

TEST(SettingsTabFields, DigitFieldsReadAsNumbersThatFitAnInt) {
  const std::pair<const char*, int> cases[] = {
      {"", 0}, {"0", 0}, {"0080", 80}, {"4565", 4565}, {"999999999", 999999999},
      {"99999999999999", INT_MAX}, {"12x3", 12},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(FieldNumber(text), value) << text;
}

// What an OK press did, in order: "confirm:<message>" and "restart", each with whether
// another thread could take GateLock at that moment.
class OkButton : public test::DesktopHome {
 protected:
  void SetUp() override {
    DesktopHome::SetUp();
    AddStyle("Default");
  }
  static bool LockFreeForOthers() {
    return std::async(std::launch::async, [] {
             std::unique_lock lock(GateLock(), std::try_to_lock);
             return lock.owns_lock();
           }).get();
  }
  OkResult Press(const SettingsTabValues& v, bool ending = false) {
    return PressOk(
        v,
        [this](const std::string& m) {
          events.push_back("confirm:" + m + (LockFreeForOthers() ? " (unlocked)" : " (locked)"));
          iniAtConfirm = home_.Exists("norvane.ini") ? home_.Read("norvane.ini") : "";
        },
        [this] { events.push_back(std::string("restart") + (LockFreeForOthers() ? " (unlocked)" : " (locked)")); },
        [ending] { return ending; });
  }
  std::vector<std::string> events;
  std::string iniAtConfirm;
};

TEST_F(OkButton, SavesEveryKeyButTheLastGroupConfirmsUnderTheLockThenRestartsWithout) {
  UpdateSettings([](Settings& s) { s.LASTOPML = "g.opml"; });
  SettingsTabValues v = SettingsToWindow();
  v.port = "4570";
  EXPECT_EQ(Press(v), OkResult::Saved);
  EXPECT_EQ(events, (std::vector<std::string>{"confirm:" + DT().settingsSaved + " (locked)",
                                              "restart (unlocked)"}));
  // Written before the message is shown.
  for (const char* key : {"PORT=4570", "MINIMIZE=0", "MAXCONNECTION=8", "USEPROXY=0", "PROXYSERVER=",
                          "PROXYPORT=0", "OPEN=0", "GOROUND=0", "ROUNDRESULT=0", "XSL_STYLE=Default",
                          "LOG_CNT=150", "READTIMEOUT=45000"})
    EXPECT_NE(iniAtConfirm.find(key), std::string::npos) << key << " in\n" << iniAtConfirm;
  EXPECT_EQ(iniAtConfirm.find("LASTOPML"), std::string::npos);
  EXPECT_EQ(GetSettings().PORT, 4570);
}

TEST_F(OkButton, APortFieldThatNamesNoPortChangesNothing) {
  for (const char* port : {"", "0", "0000"}) {
    events.clear();
    SettingsTabValues v = SettingsToWindow();
    v.port = port;
    v.goRound = true;
    EXPECT_EQ(Press(v), OkResult::NoPort) << port;
    EXPECT_EQ(events, std::vector<std::string>{"confirm:" + DT().portNeeded + " (unlocked)"});
    EXPECT_FALSE(home_.Exists("norvane.ini"));
    EXPECT_EQ(GetSettings().PORT, 4565);
    EXPECT_FALSE(GetSettings().GOROUND);
  }
}

TEST_F(OkButton, AnIniFileThatCannotBeWrittenIsSaidSoAndTheValuesStillApply) {
  mkdir((home_.path() + "/norvane.ini").c_str(), 0755);  // a folder where the file goes
  SettingsTabValues v = SettingsToWindow();
  v.port = "4571";
  EXPECT_EQ(Press(v), OkResult::NotSaved);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].rfind("confirm:" + DT().settingsNotSaved, 0), 0u) << events[0];
  EXPECT_NE(events[0].find("norvane.ini"), std::string::npos);
  EXPECT_EQ(events[1], "restart (unlocked)");
  EXPECT_EQ(GetSettings().PORT, 4571);
}

TEST_F(OkButton, NoRestartOnceTheProgramBeganToEnd) {
  EXPECT_EQ(Press(SettingsToWindow(), true), OkResult::Ending);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(home_.Exists("norvane.ini"));
}

TEST_F(OkButton, AFailedRestartReachesTheCallerWithTheLockFree) {
  EXPECT_THROW(PressOk(SettingsToWindow(), [](const std::string&) {},
                       [] { throw std::runtime_error("port in use"); }),
               std::runtime_error);
  EXPECT_TRUE(LockFreeForOthers());
}

// The freeze the OK button must not cause: while its message is open, requests from
// another host wait for GateLock (the access log takes it); the restart then waits for
// every request in flight. Holding the lock through the restart would wait for ever.
TEST_F(OkButton, RestartsWhileRequestsFromAnotherHostWaitForTheLock) {
  const int port = FreeFourDigitPort();
  ASSERT_NE(port, 0);
  UpdateSettings([&](Settings& s) {
    s.PORT = port;
    s.LocalAddress = "";
    s.WebUserName = "u";
    s.WebPassWord = "p";
  });
  home_.Write("www/index.html", "<p>home</p>");
  TServer server;
  std::promise<void> entered;
  std::promise<void> goOn;
  std::shared_future<void> goOnFuture = goOn.get_future().share();
  server.SetRoute("search", [&](RouteContext&, HttpResponse& res) {
    entered.set_value();
    goOnFuture.wait();
    GateGuard lock(GateLock());  // as the builders that share the program's objects do
    TServer::Respond(res, "done", "text/html");
  });
  server.Restart();
  const std::string base = "http://127.0.0.1:" + std::to_string(port);
  test::FetchOptions outside{.fromAddress = "127.0.0.2", .user = "u", .password = "p"};
  auto inHandler = std::async(std::launch::async, [&] { return test::Fetch(base + "/search?w=x", outside); });
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);

  std::future<test::FetchResult> atTheDoor;
  SettingsTabValues v = SettingsToWindow();
  v.port = std::to_string(port);
  auto ok = std::async(std::launch::async, [&] {
    return PressOk(
        v,
        [&](const std::string&) {
          // The user reads the message: one request is let on to the lock, another
          // arrives at the access log.
          goOn.set_value();
          atTheDoor = std::async(std::launch::async, [&] { return test::Fetch(base + "/", outside); });
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
        },
        [&] { server.Restart(); });
  });
  if (ok.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    std::fprintf(stderr, "the OK button froze with requests in flight\n");
    std::fflush(stderr);
    std::_Exit(1);
  }
  EXPECT_EQ(ok.get(), OkResult::Saved);
  EXPECT_EQ(inHandler.get().status, 200);
  long door = atTheDoor.get().status;
  EXPECT_TRUE(door == 200 || door == 0) << door;  // answered, or cut by the restart
  // The server listens again on the port.
  EXPECT_EQ(test::Fetch(base + "/").status, 200);
  server.Stop();
}

}  // namespace
}  // namespace norvane
