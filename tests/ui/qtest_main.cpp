// The desktop tests' main: one application object on Qt's offscreen platform (unless
// the run names another), the Japanese look of the program, a browser that only
// records, and deadlines for every modal wait.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "ui/desktop_fixture.h"
#include "ui/desktop_look.h"
#include "ui/norvane_application.h"

namespace {

// Whatever watcher a test left ends with it.
class WatchesEndWithTheirTest : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override { norvane::test::EndWatches(false); }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("NORVANE_BROWSER", "/bin/true", 0);
  int qtArgc = 1;
  norvane::NorvaneApplication app(qtArgc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  norvane::InstallJapaneseLook(app);
  norvane::test::InstallModalDeadline();
  ::testing::UnitTest::GetInstance()->listeners().Append(new WatchesEndWithTheirTest);
  return RUN_ALL_TESTS();
}
