// The real binary on the desktop (Qt's offscreen platform, which has no tray): its start,
// the error box at start, and the end on a signal.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/sjis.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

const std::map<std::string, std::string> kOffscreen{{"QT_QPA_PLATFORM", "offscreen"}};

std::string Local(const NorvaneProcess& app, const std::string& target) {
  return "http://localhost:" + std::to_string(app.port()) + target;
}

TEST(DesktopProgram, StartsWithoutATrayOpensThePagesInOrderAndEndsInOrderOnASignal) {
  NorvaneProcess app(true, {{"OPEN", "1"}, {"LASTOPML", "sample.opml"}});
  app.UseDesktop();
  ASSERT_TRUE(app.Start({"http://127.0.0.1:9/feed.xml"}, kOffscreen)) << app.StderrText();
  EXPECT_EQ(app.Get("/").status, 200);
  auto opened = app.WaitForBrowserLog(2);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], Local(app, "/"));
  EXPECT_EQ(opened[1], Local(app, "/add.html?u=http://127.0.0.1:9/feed.xml/"));
  EXPECT_EQ(app.Stop(), 0) << app.StderrText();
  EXPECT_NE(app.StderrText().find("no notification area"), std::string::npos) << app.StderrText();
  EXPECT_NE(app.home().Read("norvane.ini").find("LASTOPML=sample.opml"), std::string::npos);
  EXPECT_TRUE(app.home().Exists("channels"));
}

TEST(DesktopProgram, ASecondCopyHandsItsUrlOnWithoutADesktopOfItsOwn) {
  NorvaneProcess app;
  app.UseDesktop();
  ASSERT_TRUE(app.Start({}, kOffscreen)) << app.StderrText();
  std::string err;
  EXPECT_EQ(app.RunSecondCopy({"http://127.0.0.1:9/x.rdf"}, &err), 0) << err;
  auto opened = app.WaitForBrowserLog(1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], Local(app, "/add.html?u=http://127.0.0.1:9/x.rdf/"));
  EXPECT_EQ(app.Stop(), 0) << app.StderrText();
}

// A port already taken: the error is shown (a box, and a line on standard error) and
// the program ends once the box goes, with status 1. Offscreen nobody can click it; a
// signal ends the wait.
TEST(DesktopProgram, APortInUseAtStartShowsTheErrorAndEndsWithStatus1) {
  NorvaneProcess app;
  app.UseDesktop();
  int taken = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(app.port()));
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(taken, 1), 0);
  ASSERT_TRUE(app.Start({}, kOffscreen, false));
  const std::string expected = "ポート " + std::to_string(app.port()) + " で待ち受けできません";
  bool said = false;
  for (int i = 0; i < 200 && !said; ++i) {
    said = app.StderrText().find(expected) != std::string::npos;
    if (!said) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(said) << app.StderrText();
  EXPECT_EQ(app.Stop(), 1) << app.StderrText();
  close(taken);
}

// Qt is mapped only by the desktop: norvane starts norvane-desktop in its place (same
// process, same arguments) when the desktop is wanted, and a headless run never loads it.
TEST(DesktopProgram, OnlyTheDesktopRunMapsQt) {
  auto mapsQt = [](pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    std::stringstream maps;
    maps << in.rdbuf();
    return maps.str().find("libQt6Widgets") != std::string::npos;
  };
  NorvaneProcess headless;
  ASSERT_TRUE(headless.Start({}, kOffscreen)) << headless.StderrText();
  EXPECT_FALSE(mapsQt(headless.pid()));
  EXPECT_EQ(headless.Get("/").status, 200);
  EXPECT_EQ(headless.Stop(), 0) << headless.StderrText();

  NorvaneProcess desktop;
  desktop.UseDesktop();
  ASSERT_TRUE(desktop.Start({}, kOffscreen)) << desktop.StderrText();
  EXPECT_TRUE(mapsQt(desktop.pid()));
  EXPECT_EQ(desktop.Get("/").status, 200);
  EXPECT_EQ(desktop.Stop(), 0) << desktop.StderrText();
}

}  // namespace
}  // namespace norvane::test
