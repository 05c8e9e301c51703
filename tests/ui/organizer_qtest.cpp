// The group organizer's window TForm3 over its model on a real program folder, and its
// opening from the main window's command.
#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <climits>
#include <memory>

#include "app/data_module.h"
#include "app/main_form_host.h"
#include "core/gate_lock.h"
#include "core/program_folder.h"
#include "groups/group_home.h"
#include "groups/organizer.h"
#include "groups/patrol_popup.h"
#include "search/scrap_collection.h"
#include "search/search_catalogue.h"
#include "support/feed_server.h"
#include "ui/busy_dialog.h"
#include "ui/desktop_fixture.h"
#include "ui/input_dialog.h"
#include "ui/main_form.h"
#include "ui/organizer_window.h"
#include "ui/patrol_popup_view.h"
#include "ui/qt_shell.h"
#include "ui/scrapbook_dialog.h"

namespace norvane {
namespace {

using test::Sjis;

std::vector<std::string> Entries(const QListWidget& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.count(); ++i) out.push_back(list.item(i)->text().toStdString());
  return out;
}

void ClickEntry(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

std::string Catalogue(const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><group><items>" + items + "</items></group>";
}

// Two groups: "旅" with four feeds, "技術" with one.
class OrganizerWindow : public test::DesktopFolder {
 protected:
  void SetUp() override {
    DesktopFolder::SetUp();
    // The folder as it ships, with what the program's start adds to it.
    test::CopyTree(NORVANE_DATA_DIR, home_.path());
    MakeWrittenFolders();
    feeds_.Serve("/new.xml", test::FeedBody("新しい便り"));
    home_.Write("opmls/trip.opml",
                test::OpmlOf("旅", {{"旅の便り", "http://127.0.0.1:1/a.xml"},
                                    {"山歩き日記", "http://127.0.0.1:1/b.xml"},
                                    {"駅弁ニュース", "http://127.0.0.1:1/c.xml"},
                                    {"温泉めぐり", "http://127.0.0.1:1/d.xml"}}));
    home_.Write("opmls/tech.opml", test::OpmlOf("技術", {{"Qt Blog", "http://127.0.0.1:1/qt.xml"}}));
    home_.Write("opmls/gp.xml",
                Sjis(Catalogue("<item title=\"旅\" file=\"trip.opml\" goround=\"3\"/>"
                               "<item title=\"技術\" file=\"tech.opml\" goround=\"6\"/>")));
    home_.Write("search.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><search><item><title>Local</title>"
                "<searchUrl>http://127.0.0.1:1/?q=$SEARCH_PHRASE$</searchUrl></item></search>");
    search_.LoadFromFile("search.xml");
    books_ = std::make_unique<TScrapSerch>();
  }
  void TearDown() override {
    form_.reset();
    books_.reset();
    DesktopFolder::TearDown();
  }
  TForm3& Form() {
    form_ = std::make_unique<TForm3>(*books_, search_,
                                     [this](const std::string& url) { urls_.push_back(url); }, shell_);
    form_->show();
    QApplication::processEvents();
    return *form_;
  }
  std::string Group(const std::string& file) const { return home_.Read("opmls/" + file); }
  bool Has(const std::string& file, const std::string& utf8) const {
    return Group(file).find(Sjis(utf8)) != std::string::npos;
  }

  test::FeedServer feeds_;
  QtShell shell_;
  SearchCatalogue search_;
  std::unique_ptr<TScrapSerch> books_;
  std::unique_ptr<TForm3> form_;
  std::vector<std::string> urls_;
};

TEST_F(OrganizerWindow, ShowsTheGroupsAndTheOpenGroupsFeedsUnderTheirLabels) {
  TForm3& f = Form();
  EXPECT_EQ(f.windowTitle().toStdString(), "RSSグループの整理");
  EXPECT_EQ(f.size(), QSize(560, 440));
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  std::vector<std::string> columns, labels;
  for (QGroupBox* g : f.findChildren<QGroupBox*>()) columns.push_back(g->title().toStdString());
  for (QLabel* l : f.findChildren<QLabel*>()) labels.push_back(l->text().toStdString());
  EXPECT_EQ(columns, (std::vector<std::string>{"OPML", "RSS"}));
  EXPECT_EQ(labels, (std::vector<std::string>{"0分ごと", "タイトル", "ファイル名", "巡回", "タイトル",
                                              "RSSのURL", "description", "Link"}));
  const std::pair<QPushButton*, const char*> buttons[] = {
      {f.Button1, "新規"}, {f.Button2, "追加..."},   {f.Button3, "削除..."},   {f.Button7, "↑"},
      {f.Button6, "↓"},    {f.Button9, "↑"},         {f.Button8, "↓"},         {f.Button10, "スクラップ..."},
      {f.Button11, "検索..."}, {f.Button4, "追加..."}, {f.Button5, "削除"}};
  for (const auto& [button, caption] : buttons) EXPECT_EQ(button->text().toStdString(), caption);
  EXPECT_EQ(f.SEGPAround->minimum(), INT_MIN);
  EXPECT_EQ(f.SEGPAround->maximum(), INT_MAX);

  EXPECT_EQ(Entries(*f.LBopml), (std::vector<std::string>{"旅", "技術"}));
  EXPECT_EQ(f.LBopml->currentRow(), 0);
  EXPECT_EQ(Entries(*f.ListBox2),
            (std::vector<std::string>{"旅の便り", "山歩き日記", "駅弁ニュース", "温泉めぐり"}));
  EXPECT_EQ(f.ListBox2->currentRow(), 0);
  EXPECT_EQ(f.EGpTitle->text().toStdString(), "旅");
  EXPECT_EQ(f.EGPFile->text().toStdString(), "trip.opml");
  EXPECT_EQ(f.SEGPAround->value(), 3);
  EXPECT_EQ(f.ERSSTitle->text().toStdString(), "旅の便り");
  EXPECT_EQ(f.ERSSURL->text().toStdString(), "http://127.0.0.1:1/a.xml");

  ClickEntry(f.ListBox2, 2);
  EXPECT_EQ(f.ERSSTitle->text().toStdString(), "駅弁ニュース");
  EXPECT_TRUE(test::Screenshot(f, "organizer"));
  ClickEntry(f.LBopml, 1);
  EXPECT_EQ(Entries(*f.ListBox2), std::vector<std::string>{"Qt Blog"});
  EXPECT_EQ(f.EGpTitle->text().toStdString(), "技術");
  EXPECT_EQ(f.SEGPAround->value(), 6);
}

TEST_F(OrganizerWindow, EditsReachTheFilesThroughTheModelAndClosingWritesTheRest) {
  TForm3& f = Form();
  f.ERSSTitle->setText(QString::fromUtf8("旅の便り(改)"));
  ClickEntry(f.ListBox2, 1);  // the edit goes into the outline and the list
  EXPECT_EQ(f.ListBox2->item(0)->text().toStdString(), "旅の便り(改)");
  EXPECT_EQ(f.ERSSTitle->text().toStdString(), "山歩き日記");

  // 追加... asks for a URL in the input line, preset "http://", without browsing.
  bool browse = true;
  std::string preset;
  test::WhenModal<TForm4>([&](TForm4& input) {
    browse = input.Button3->isEnabled();
    preset = input.Edit1->text().toStdString();
    input.Edit1->setText(QString::fromStdString(feeds_.Url("/new.xml")));
    input.Button1->click();
  });
  std::string told;  // a failure would show in a box; closed, so the test goes on
  QPointer<QTimer> box = test::CloseNextMessageBox([&](QMessageBox& b) { told = b.text().toStdString(); });
  QTest::mouseClick(f.Button4, Qt::LeftButton);
  delete box.data();
  EXPECT_EQ(told, "");
  EXPECT_FALSE(browse);
  EXPECT_EQ(preset, "http://");
  EXPECT_EQ(f.ListBox2->count(), 5);
  EXPECT_EQ(f.ListBox2->currentRow(), 4);
  EXPECT_EQ(f.ERSSTitle->text().toStdString(), "新しい便り");

  f.EGpTitle->setText(QString::fromUtf8("旅行"));
  f.SEGPAround->setValue(0);
  EXPECT_FALSE(Has("trip.opml", "新しい便り"));  // written by the next group change or the close
  f.reject();
  EXPECT_FALSE(f.isVisible());
  EXPECT_TRUE(Has("trip.opml", "旅の便り(改)"));
  EXPECT_TRUE(Has("trip.opml", "新しい便り"));
  EXPECT_TRUE(Has("trip.opml", "<title>旅行</title>"));
  EXPECT_TRUE(Has("gp.xml", "title=\"旅行\" file=\"trip.opml\" goround=\"0\""));
}

// スクラップ... → title, keyword, 追加, OK, on a program folder as it ships.
TEST_F(OrganizerWindow, TheScrapbookDialogMakesABookInAFolderAsShipped) {
  TForm3& f = Form();
  test::WhenModal<TForm7>([](TForm7& d) {
    d.Edit1->setText("qtnews");
    d.Edit2->setText("qt");
    d.Button1->click();
    d.Button3->click();
  });
  std::string told;
  QPointer<QTimer> box = test::CloseNextMessageBox([&](QMessageBox& b) { told = b.text().toStdString(); });
  QTest::mouseClick(f.Button10, Qt::LeftButton);
  delete box.data();
  EXPECT_EQ(told, "");
  EXPECT_EQ(f.ListBox2->count(), 5);
  EXPECT_EQ(f.ERSSURL->text().toStdString(), "scrap.xml?u=qtnews.keys/");
  EXPECT_TRUE(home_.Exists("scrap/qtnews.keys"));
}

// A text longer than its field shows from its start, as the sample's long title does.
TEST_F(OrganizerWindow, LongTextsShowTheirStart) {
  const std::string title = "みどり町内会のお知らせ（スクリプト版）みどり町内会のお知らせ";
  home_.Write("opmls/trip.opml",
              test::OpmlText("旅", "<outline text=\"" + title + "\" type=\"rss\" xmlUrl=\"http://127.0.0.1:1/"
                                   "htr.xml?u=notice_js.xml/very/long/address/of/the/feed.xml\" "
                                   "description=\"" + title + "の説明" + "\" htmlUrl=\"http://127.0.0.1:1/"
                                   "a/long/link/to/the/page/of/the/neighbourhood.html\"/>"
                                   "<outline text=\"短い\" type=\"rss\" xmlUrl=\"http://127.0.0.1:1/s.xml\"/>"));
  home_.Write("opmls/gp.xml", Sjis(Catalogue("<item title=\"" + title + "\" file=\"trip.opml\" goround=\"3\"/>"
                                             "<item title=\"技術\" file=\"tech.opml\" goround=\"6\"/>")));
  TForm3& f = Form();
  auto startsShown = [&](const char* when) {
    for (QLineEdit* e : {f.EGpTitle, f.EGPFile, f.ERSSTitle, f.ERSSURL, f.ERSSD, f.ERSSLink})
      EXPECT_EQ(e->cursorPosition(), 0) << e->objectName().toStdString() << " " << when;
  };
  ASSERT_EQ(f.ERSSTitle->text().toStdString(), title);
  startsShown("at opening");
  EXPECT_TRUE(test::Screenshot(f, "organizer-long-texts"));
  ClickEntry(f.ListBox2, 1);
  ClickEntry(f.ListBox2, 0);
  startsShown("after another feed");
  ClickEntry(f.LBopml, 1);
  ClickEntry(f.LBopml, 0);
  startsShown("after another group");
}

// A feed served slowly: the desktop goes on while the organizer reads it.
TEST_F(OrganizerWindow, AddingASlowFeedLeavesTheDesktopRunning) {
  test::FeedRoute slow;
  slow.body = test::FeedBody("遅い便り");
  slow.delay = std::chrono::milliseconds(2000);
  feeds_.Route("/slow.xml", slow);
  TForm3& f = Form();
  int ticks = 0;
  QTimer desktop;  // as the tray's frames and the popup's typing do
  QObject::connect(&desktop, &QTimer::timeout, [&] { ++ticks; });
  desktop.start(20);
  test::WhenModal<TForm4>([&](TForm4& input) {
    input.Edit1->setText(QString::fromStdString(feeds_.Url("/slow.xml")));
    ticks = 0;
    input.Button1->click();
  });
  std::string shown;
  bool busy = false;
  test::WhenModal<BusyDialog>([&](BusyDialog& wait) {  // it closes by itself
    shown = wait.Label1->toolTip().toStdString();
    busy = wait.ProgressBar1->maximum() == 0 && wait.Button1->isEnabled();
    EXPECT_TRUE(test::Screenshot(wait, "organizer-busy"));
  });
  QTest::mouseClick(f.Button4, Qt::LeftButton);
  const int ticksWhileAdding = ticks;
  EXPECT_GE(ticksWhileAdding, 10) << "the desktop stood still while the feed was read";
  EXPECT_EQ(shown, "読み込んでいます : " + feeds_.Url("/slow.xml"));
  EXPECT_TRUE(busy);
  EXPECT_EQ(f.ListBox2->count(), 5);
  EXPECT_EQ(f.ERSSTitle->text().toStdString(), "遅い便り");
}

// キャンセル while a group is read from a server that would answer a minute later.
TEST_F(OrganizerWindow, CancellingTheWaitForAGroupAddsNothing) {
  test::FeedRoute late;
  late.body = test::OpmlText("遠いグループ", "");
  late.delay = std::chrono::seconds(60);
  feeds_.Route("/late.opml", late);
  TForm3& f = Form();
  test::WhenModal<TForm4>([&](TForm4& input) {
    input.Edit1->setText(QString::fromStdString(feeds_.Url("/late.opml")));
    input.Button1->click();
  });
  bool cancelling = false;
  test::WhenModal<BusyDialog>([&](BusyDialog& wait) {
    wait.Button1->click();
    cancelling = !wait.Button1->isEnabled() && wait.Label1->text() == QString::fromUtf8("キャンセルしています...");
  });
  std::string told;
  QPointer<QTimer> box = test::CloseNextMessageBox([&](QMessageBox& b) { told = b.text().toStdString(); });
  QElapsedTimer took;
  took.start();
  QTest::mouseClick(f.Button2, Qt::LeftButton);
  delete box.data();
  EXPECT_LT(took.elapsed(), 20000) << "the wait outlasted the cancel";
  EXPECT_TRUE(cancelling);
  EXPECT_EQ(told, "");
  EXPECT_EQ(Entries(*f.LBopml), (std::vector<std::string>{"旅", "技術"}));
  EXPECT_FALSE(home_.Exists("opmls/late.opml"));
}

TEST_F(OrganizerWindow, AFeedDraggedOntoAnotherGroupMovesThereAndThatGroupOpens) {
  TForm3& f = Form();
  ClickEntry(f.ListBox2, 1);  // the drag starts on 山歩き日記
  QWidget* target = f.LBopml->viewport();
  const QPoint tech = f.LBopml->visualItemRect(f.LBopml->item(1)).center();
  const QPoint trip = f.LBopml->visualItemRect(f.LBopml->item(0)).center();
  std::unique_ptr<QMimeData> feed(f.FeedDragData());
  QMimeData foreign;
  foreign.setData("application/x-norvane-feed", "another window");

  QDragEnterEvent enter(trip, Qt::CopyAction, feed.get(), Qt::LeftButton, {});
  QApplication::sendEvent(target, &enter);
  EXPECT_TRUE(enter.isAccepted());
  struct Case {
    const QMimeData* data;
    QPoint at;
    bool accepted;
    int selected;
  } moves[] = {
      {feed.get(), trip, false, 0},     // the open group takes no drop
      {&foreign, tech, false, 0},       // another window's drag
      {feed.get(), QPoint(5, 400), false, 0},  // below the entries
      {feed.get(), tech, true, 1},      // accepted, and the entry is selected
  };
  for (const Case& c : moves) {
    QDragMoveEvent move(c.at, Qt::CopyAction, c.data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    EXPECT_EQ(move.isAccepted(), c.accepted) << c.at.x() << "," << c.at.y();
    EXPECT_EQ(f.LBopml->currentRow(), c.selected);
    EXPECT_EQ(f.model().OpenGroupIndex(), 0);  // the open group stays
  }

  QDropEvent drop(QPointF(tech), Qt::CopyAction, feed.get(), Qt::LeftButton, {});
  QApplication::sendEvent(target, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(f.model().OpenGroupIndex(), 1);
  EXPECT_EQ(f.LBopml->currentRow(), 1);
  EXPECT_EQ(Entries(*f.ListBox2), (std::vector<std::string>{"Qt Blog", "山歩き日記"}));
  EXPECT_FALSE(Has("trip.opml", "山歩き日記"));
  EXPECT_TRUE(Has("tech.opml", "山歩き日記"));
  EXPECT_TRUE(Has("trip.opml", "駅弁ニュース"));
}

TEST_F(OrganizerWindow, WithoutACatalogueItClosesItself) {
  ASSERT_EQ(std::remove((home_ / "opmls/gp.xml").c_str()), 0);
  TForm3 f(*books_, search_, {}, shell_);
  EXPECT_FALSE(f.opened());
  EXPECT_EQ(f.exec(), QDialog::Rejected);
  EXPECT_FALSE(f.isVisible());
  EXPECT_FALSE(home_.Exists("opmls/gp.xml"));  // closing wrote nothing
}

// The real data module and host behind the main window's command.
class OrganizerCommand : public test::DesktopFolder {
 protected:
  void SetUp() override {
    DesktopFolder::SetUp();
    test::CopyTree(NORVANE_DATA_DIR, home_.path());
    MakeWrittenFolders();
    view_ = std::make_unique<QtPopupView>();
    popup_ = std::make_unique<TForm5>(shell_, *view_);
    module_ = std::make_unique<TDataM>(shell_);
    module_->StartPatrol(*popup_, std::chrono::minutes(10));
  }
  void TearDown() override {
    module_.reset();
    popup_.reset();
    view_.reset();
    DesktopFolder::TearDown();
  }

  QtShell shell_;
  std::unique_ptr<QtPopupView> view_;
  std::unique_ptr<TForm5> popup_;
  std::unique_ptr<TDataM> module_;
};

// The tray icon is a window of its own: while the organizer is open it still takes
// clicks, and the main window's commands work; only 終了 is refused (not idle).
TEST_F(OrganizerCommand, WhileItIsOpenTheTrayAndTheSettingsStayReachableButExitIsRefused) {
  TDataM& module = *module_;
  int quits = 0;
  DataModuleHost host(module, [&] { ++quits; }, [] { return false; });
  host.SetOrganizer(*popup_, [&](TDataM& m) { RunOrganizerWindow(m, shell_); });
  TForm1 form(host, shell_);
  QPushButton trayIcon("tray");  // a top-level window like the tray icon's
  trayIcon.show();
  // Opened from the menu bar of the window in front.
  form.ShowTab(TForm1::kVersionTab);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  Qt::WindowModality modality = Qt::ApplicationModal;
  bool trayReached = false, settingsShown = false, settingsReached = false;
  test::WhenModal<TForm3>([&](TForm3& organizer) {
    modality = organizer.windowModality();
    trayReached = test::ClickReaches(trayIcon);
    form.actSettings->trigger();  // 設定 from the tray menu
    settingsShown = form.isVisible() && form.PageControl1->currentIndex() == TForm1::kSettingsTab;
    settingsReached = test::ClickReaches(*form.CheckBox2);
    form.actExit->trigger();
    organizer.reject();
  });
  form.actOrganizer->trigger();
  EXPECT_EQ(modality, Qt::WindowModal);
  EXPECT_TRUE(trayReached);
  EXPECT_TRUE(settingsShown);
  EXPECT_TRUE(settingsReached);
  EXPECT_EQ(quits, 0);
  EXPECT_TRUE(module.IsIdle());
}

TEST_F(OrganizerCommand, OpensWhileIdleWithThePatrolStoppedAndIsRefusedWhileARefreshRuns) {
  TDataM& module = *module_;
  DataModuleHost host(module, [] {}, [] { return false; });
  int opened = 0;
  bool idleInside = true;
  std::vector<std::string> groups;
  host.SetOrganizer(*popup_, [&](TDataM& m) {
    ++opened;
    RunOrganizerWindow(m, shell_);
  });
  TForm1 form(host, shell_);
  ASSERT_TRUE(form.actOrganizer->isEnabled());

  test::WhenModal<TForm3>([&](TForm3& organizer) {
    idleInside = module.IsIdle();  // no patrol while it is open
    groups = Entries(*organizer.LBopml);
    form.actOrganizer->trigger();  // a second one is refused
    organizer.reject();
  });
  form.actOrganizer->trigger();
  EXPECT_EQ(opened, 1);
  EXPECT_FALSE(idleInside);
  EXPECT_EQ(groups, std::vector<std::string>{"Norvane のはじめかた"});
  EXPECT_TRUE(module.IsIdle());  // the patrol is back
  EXPECT_FALSE(host.OrganizerOpen());

  {
    GateGuard gate(GateLock());
    module.SetFetchIdle(false);  // a group refresh runs
  }
  form.actOrganizer->trigger();
  EXPECT_EQ(opened, 1);
  {
    GateGuard gate(GateLock());
    module.SetFetchIdle(true);
  }
}

}  // namespace
}  // namespace norvane
