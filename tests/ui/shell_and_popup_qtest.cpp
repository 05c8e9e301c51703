#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

#include "core/program_folder.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "groups/patrol.h"
#include "app/data_module.h"
#include "support/feed_server.h"
#include "ui/desktop_fixture.h"
#include "ui/patrol_popup_view.h"
#include "ui/qt_shell.h"
#include "ui/tray_images.h"

namespace norvane {
namespace {

using test::Sjis;

TEST(DesktopShell, TasksPostedFromAnyThreadRunOnTheGuiThreadInOrder) {
  QtShell shell;
  std::vector<int> ran;
  std::atomic<bool> allOnGui{true};
  QThread* gui = QThread::currentThread();
  std::thread other([&] {
    for (int i = 0; i < 5; ++i)
      shell.Post([&, i] {
        if (QThread::currentThread() != gui) allOnGui = false;
        ran.push_back(i);
      });
  });
  other.join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ran.size() == 5; }, 3000));
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(allOnGui);
}

TEST(DesktopShell, TimersRepeatAndMayStopThemselvesAndStartFromAnotherThread) {
  QtShell shell;
  int ticks = 0;
  Shell::TimerId id = shell.StartTimer(std::chrono::milliseconds(5), [&] { ++ticks; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 3000));
  shell.StopTimer(id);
  const int stopped = ticks;
  QTest::qWait(50);
  EXPECT_EQ(ticks, stopped);

  int once = 0;
  Shell::TimerId self = 0;
  self = shell.StartTimer(std::chrono::milliseconds(5), [&] {
    ++once;
    shell.StopTimer(self);
  });
  QTest::qWait(80);
  EXPECT_EQ(once, 1);

  std::atomic<int> fromThread{0};
  std::thread([&] { shell.StartTimer(std::chrono::milliseconds(5), [&] { ++fromThread; }); }).join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return fromThread.load() >= 2; }, 3000));
}

TEST(DesktopShell, AnErrorInATaskIsShownInABoxAndEndsTheProgramWithStatus1) {
  QtShell shell;
  std::string shown;
  test::CloseNextMessageBox([&](QMessageBox& box) {
    shown = box.text().toStdString();
    EXPECT_EQ(box.icon(), QMessageBox::Critical);
  });
  std::thread([&] { shell.Post([] { throw std::runtime_error(Sjis("ポート 80 で待ち受けできません")); }); })
      .join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return shell.ending(); }, 5000));
  EXPECT_EQ(shown, "ポート 80 で待ち受けできません");
  EXPECT_EQ(shell.exitCode(), 1);

  // A second error, or a timer's, after the first reaches standard error only.
  bool again = false;
  QPointer<QTimer> watch = test::CloseNextMessageBox([&](QMessageBox&) { again = true; });
  shell.Post([] { throw std::runtime_error("second"); });
  QTest::qWait(100);
  EXPECT_FALSE(again);
  QApplication::processEvents();
  delete watch.data();  // it watched for a box that must not come
}

TEST(DesktopShell, TrayImagesSetOnOtherThreadsReachTheTrayOnTheGuiThread) {
  QtShell shell;
  std::vector<int> shown;
  QThread* gui = QThread::currentThread();
  bool onGui = true;
  shell.SetTraySink([&](int i) {
    onGui = onGui && QThread::currentThread() == gui;
    shown.push_back(i);
  });
  std::thread([&] {
    for (int i : {0, 1, 2, 3, 4}) shell.SetTrayImage(i);
  }).join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() == 5; }, 3000));
  EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(onGui);
  EXPECT_EQ(shell.trayImage(), 4);
}

TEST(DesktopShell, TheFiveTrayImagesDifferAtEverySizeAndArePictured) {
  const int sizes[] = {16, 22, 48};
  for (int size : sizes) {
    std::vector<QImage> images;
    for (int i = 0; i < kTrayImageCount; ++i) {
      QImage img = DrawTrayImage(i, size).toImage();
      ASSERT_EQ(img.size(), QSize(size, size));
      EXPECT_GT(qAlpha(img.pixel(size / 2, size / 2)), 200) << i;  // drawn, not blank
      images.push_back(img);
    }
    for (int a = 0; a < kTrayImageCount; ++a)
      for (int b = a + 1; b < kTrayImageCount; ++b)
        EXPECT_NE(images[a], images[b]) << size << ": " << a << " and " << b;
  }
  // All five at each size, on light and dark panels, as one picture.
  QPixmap sheet(5 * 56 + 8, 2 * 3 * 52 + 8);
  sheet.fill(Qt::white);
  {
    QPainter p(&sheet);
    p.fillRect(0, sheet.height() / 2, sheet.width(), sheet.height() / 2, QColor(0x30, 0x30, 0x30));
    for (int panel = 0; panel < 2; ++panel)
      for (int row = 0; row < 3; ++row)
        for (int i = 0; i < kTrayImageCount; ++i)
          p.drawPixmap(8 + i * 56, 8 + panel * 156 + row * 52, DrawTrayImage(i, sizes[row]));
  }
  QLabel label;
  label.setPixmap(sheet);
  label.resize(sheet.size());
  EXPECT_TRUE(test::Screenshot(label, "tray-images"));
  // The 16 and 22 pixel images four times enlarged, pixel for pixel.
  QPixmap zoom(5 * 100 + 8, 64 + 88 + 24);
  zoom.fill(Qt::white);
  {
    QPainter p(&zoom);
    for (int i = 0; i < kTrayImageCount; ++i) {
      p.drawPixmap(8 + i * 100, 8, DrawTrayImage(i, 16).scaled(64, 64, Qt::KeepAspectRatio, Qt::FastTransformation));
      p.drawPixmap(8 + i * 100, 80, DrawTrayImage(i, 22).scaled(88, 88, Qt::KeepAspectRatio, Qt::FastTransformation));
    }
  }
  label.setPixmap(zoom);
  label.resize(zoom.size());
  EXPECT_TRUE(test::Screenshot(label, "tray-images-enlarged"));
}

TEST(PatrolPopupView, ShowsNoHorizontalBarAndTheVerticalOneOnlyWhenTheLinesOverflow) {
  QtPopupView view;
  view.ShowPopup();
  for (const char* line : {"　[巡回結果]", "□ (3) 旅の便り", "■静かな日記"})
    view.AppendLine(Sjis(line));
  QApplication::processEvents();
  EXPECT_FALSE(view.Memo1->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(view.Memo1->verticalScrollBar()->isVisible());
  // A line wider than the popup wraps; nothing needs a horizontal bar.
  view.AppendLine(Sjis("□ (12) みどり町内会のお知らせ（スクリプト版）とその先まで続く長い題名"));
  for (int i = 0; i < 6; ++i) view.AppendLine(Sjis("■日記 ") + std::to_string(i));
  QApplication::processEvents();
  EXPECT_FALSE(view.Memo1->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(view.Memo1->verticalScrollBar()->isVisible());
  EXPECT_TRUE(test::Screenshot(view, "popup-overflow"));
}

// A group of two feeds served on the loopback, patrolled through the real group
// refresh: the popup types the lines through the shell's timers, and the tray shows
// the refresh's frames.
class DesktopPopup : public test::DesktopFolder {
 protected:
  void SetUp() override {
    DesktopFolder::SetUp();
    test::CopyTree(NORVANE_DATA_DIR, home_.path());
    MakeWrittenFolders();  // as the program's start does
    feeds_.Serve("/one", Feed("旅の便り", 3));
    feeds_.Serve("/two", Feed("静かな日記", 0));
    home_.Write("opmls/patrol.opml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><opml version=\"1.0\"><head><title>p</title>"
                "</head><body><outline text=\"a\" type=\"rss\" xmlUrl=\"" + feeds_.Url("/one") +
                    "\"/><outline text=\"b\" type=\"rss\" xmlUrl=\"" + feeds_.Url("/two") +
                    "\"/></body></opml>");
    UpdateSettings([](Settings& s) {
      s.GOROUND = true;
      s.ROUNDRESULT = true;
    });
  }
  static std::string Feed(const std::string& title, int items) {
    std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>" +
                       title + "</title><link>http://127.0.0.1/</link><description>d</description>";
    for (int i = 0; i < items; ++i)
      body += "<item><title>i" + std::to_string(i) + "</title><link>http://127.0.0.1/" + std::to_string(i) +
              "</link></item>";
    return body + "</channel></rss>";
  }
  test::FeedServer feeds_;
};

TEST_F(DesktopPopup, TypesTheLinesOfARealPatrolNearTheTrayAndHidesAfterItsPause) {
  QtShell shell;
  std::vector<int> frames;
  shell.SetTraySink([&](int i) { frames.push_back(i); });
  {
    QtPopupView view;
    TForm5 popup(shell, view);
    TDataM module(shell);
    // The first patrol refresh of a feed is its first fetch: every item is new, so the
    // second channel serves none.
    TReroad patrol(shell, popup, [&](const std::string& f) { return module.PatrolRefresh(f); },
                   std::chrono::milliseconds(20));
    patrol.AddGroup("patrol.opml", 1);
    patrol.Start();

    // A small tool window on top, shown without taking the focus, at the bottom right
    // of the work area.
    EXPECT_TRUE(view.windowFlags() & Qt::Tool);
    EXPECT_TRUE(view.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(view.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(view.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(view.size(), QSize(271, 90));
    EXPECT_FALSE(view.mask().contains(QPoint(0, 0)));  // rounded corners
    EXPECT_TRUE(view.mask().contains(QPoint(135, 45)));
    EXPECT_TRUE(view.Memo1->isReadOnly());

    auto lines = [&] { return view.Memo1->toPlainText().split('\n', Qt::SkipEmptyParts).size(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.isVisible() && lines() == 2; }, 20000))
        << view.Memo1->toPlainText().toStdString();
    patrol.ClearGroups();  // one patrol is enough
    EXPECT_TRUE(test::Screenshot(view, "popup-typing"));
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(view.geometry().right(), work.right() - 20);
    EXPECT_EQ(view.geometry().bottom(), work.bottom() - 20);

    ASSERT_TRUE(QTest::qWaitFor([&] { return lines() == 3; }, 5000));
    EXPECT_EQ(view.Memo1->toPlainText().toStdString(),
              "　[巡回結果]\n□ (3) 旅の便り\n■静かな日記");
    EXPECT_FALSE(view.Memo1->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view.Memo1->verticalScrollBar()->isVisible());
    // The pause after the last line, then hidden and empty.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.isVisible(); }, 8000));
    EXPECT_TRUE(view.Memo1->toPlainText().isEmpty());
    EXPECT_EQ(popup.timerInterval(), 1500);
  }
  EXPECT_EQ(frames, (std::vector<int>{0, 1, 4}));
}

}  // namespace
}  // namespace norvane
