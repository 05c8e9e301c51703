// The group organizer's window TForm3 over its model on a real program folder, and its
// opening from the main window's command.
#include <QAction>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <climits>
#include <memory>

#include "app/data_module.h"
#include "app/main_form_host.h"
#include "core/gate_lock.h"
#include "groups/group_home.h"
#include "groups/organizer.h"
#include "groups/patrol_popup.h"
#include "search/scrap_collection.h"
#include "search/search_catalogue.h"
#include "support/feed_server.h"
#include "ui/desktop_fixture.h"
#include "ui/input_dialog.h"
#include "ui/main_form.h"
#include "ui/organizer_window.h"
#include "ui/patrol_popup_view.h"
#include "ui/qt_shell.h"

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
    home_.Write("channels/.keep", "");
    home_.Write("scrap/.keep", "");
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
    home_.Write("channels/.keep", "");
  }
};

TEST_F(OrganizerCommand, OpensWhileIdleWithThePatrolStoppedAndIsRefusedWhileARefreshRuns) {
  QtShell shell;
  QtPopupView view;
  TForm5 popup(shell, view);
  TDataM module(shell);
  module.StartPatrol(popup, std::chrono::minutes(10));
  DataModuleHost host(module, [] {}, [] { return false; });
  int opened = 0;
  bool idleInside = true;
  std::vector<std::string> groups;
  host.SetOrganizer(popup, [&](TDataM& m) {
    ++opened;
    RunOrganizerWindow(m, shell);
  });
  TForm1 form(host, shell);
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
