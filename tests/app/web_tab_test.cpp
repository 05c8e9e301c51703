#include "app/web_tab.h"

#include <gtest/gtest.h>

#include "app/desktop_home.h"
#include "app/desktop_texts.h"
#include "app/log_tab.h"
#include "app/run_mode.h"
#include "core/access_log.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "gateway/server.h"
#include "support/feed_server.h"
#include "support/routed_request.h"

namespace norvane {
namespace {

TEST(WebTab, WebModeIsPort80) {
  ResetSettings();
  UpdateSettings([](Settings& s) { s.PORT = 80; });
  WebTabView on = ShowWebTab();
  EXPECT_EQ(on.label11, "Webモード起動中です。");
  EXPECT_TRUE(on.label11Red);
  EXPECT_TRUE(on.fieldsEnabled);
  UpdateSettings([](Settings& s) { s.PORT = 4565; });
  WebTabView off = ShowWebTab();
  EXPECT_EQ(off.label11, "Webモード起動はポート:80");
  EXPECT_FALSE(off.label11Red);
  EXPECT_FALSE(off.fieldsEnabled);
  EXPECT_EQ(off.label13, "UserNameかPassWordが空欄です。\r\nローカル以外のアクセス拒否");
  EXPECT_EQ(off.label12.rfind("・セキュリティを考え、Webモード時はスクリプトを実行しません。\r\n\r\n・", 0), 0u);
  EXPECT_NE(off.label12.find("\r\n　再起動すると空欄にリセットされます。"), std::string::npos);
  ResetSettings();
}

// The credential rule against the router, asked in process: what another host gets
// after each step of the WEB tab (the rule's Web mode is PORT 80, so the router reads
// the settings the tab left).
class Credentials : public test::DesktopHome {
 protected:
  void SetUp() override {
    DesktopHome::SetUp();
    home_.Write("www/index.html", "<p>home</p>");
  }
  // Sets PORT as the settings tab would, without restarting the server.
  void WebMode(bool on) { UpdateSettings([&](Settings& s) { s.PORT = on ? 80 : 4565; }); }
  long Outside(const std::string& user = "", const std::string& pass = "") {
    test::FetchOptions o{.fromAddress = "127.0.0.2", .user = user, .password = pass};
    return test::Route(server_, "/", o).status;
  }
  TServer server_;
};

TEST_F(Credentials, OnlyAUserNameShowsTheWarningAndOtherHostsGet403) {
  WebMode(true);
  EXPECT_TRUE(CheckCredentials("me", ""));
  EXPECT_EQ(Outside("me", ""), 403);
  EXPECT_EQ(Outside("me", "x"), 403);
}

TEST_F(Credentials, BothFilledLetOtherHostsInAtOnceAndClearingOneRefusesThemAgain) {
  WebMode(true);
  EXPECT_FALSE(CheckCredentials("me", "secret"));
  EXPECT_EQ(GetSettings().WebUserName, "me");
  EXPECT_EQ(Outside("me", "secret"), 200);
  EXPECT_EQ(Outside("me", "wrong"), 401);
  EXPECT_TRUE(CheckCredentials("me", ""));
  EXPECT_EQ(GetSettings().WebUserName, "");
  EXPECT_EQ(GetSettings().WebPassWord, "");
  EXPECT_EQ(Outside("me", "secret"), 403);
}

TEST_F(Credentials, OutsideWebModeTheDisabledFieldsGrantNothing) {
  WebMode(true);
  EXPECT_FALSE(CheckCredentials("me", "secret"));
  // The port leaves 80 with the fields still filled: every other host gets 403.
  WebMode(false);
  EXPECT_FALSE(CheckCredentials("me", "secret"));
  EXPECT_EQ(Outside("me", "secret"), 403);
  EXPECT_EQ(Outside(), 403);
  EXPECT_EQ(GetSettings().WebUserName, "");
}

TEST_F(Credentials, JapaneseCredentialsAreKeptAsTyped) {
  WebMode(true);
  EXPECT_FALSE(CheckCredentials("ユーザー", "合言葉"));
  EXPECT_EQ(GetSettings().WebUserName, "ユーザー");
  EXPECT_EQ(Outside("ユーザー", "合言葉"), 200);
}

TEST(LogTab, TheCopyIsTheAccessLogInUtf8WithControlCharactersShownAsQuestionMarks) {
  AccessLog log;
  log.AddAccess("GET /a?x=" + test::Sjis("日本") + " HTTP/1.1", "10.0.0.2");
  log.AddAccess(std::string("GET /\x1b[31mred\r\nX HTTP/1.1"), "10.0.0.3");
  EXPECT_EQ(AccessLogText(log.Snapshot()),
            "外部からのアクセスログ\n"
            "GET /a?x=日本 HTTP/1.1 : 10.0.0.2\n"
            "GET /?[31mred??X HTTP/1.1 : 10.0.0.3");
  EXPECT_EQ(AccessLogText({}), "");
}

TEST(RunMode, TheDesktopOnlyWithADisplayAndWithoutHeadless) {
  struct Case {
    bool headless, built;
    const char *display, *wayland, *platform;
    bool desktop;
  } cases[] = {
      {false, true, ":0", nullptr, nullptr, true},
      {false, true, nullptr, "wayland-0", nullptr, true},
      {false, true, nullptr, nullptr, "offscreen", true},
      {false, true, nullptr, nullptr, nullptr, false},
      {false, true, "", "", "", false},
      {true, true, ":0", "wayland-0", "xcb", false},
      {false, false, ":0", nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    auto env = [&c](const char* name) -> const char* {
      std::string n = name;
      if (n == "DISPLAY") return c.display;
      if (n == "WAYLAND_DISPLAY") return c.wayland;
      if (n == "QT_QPA_PLATFORM") return c.platform;
      return nullptr;
    };
    EXPECT_EQ(WantsDesktop(c.headless, c.built, env), c.desktop)
        << c.headless << c.built << (c.display ? c.display : "-") << (c.wayland ? c.wayland : "-")
        << (c.platform ? c.platform : "-");
  }
}

}  // namespace
}  // namespace norvane
