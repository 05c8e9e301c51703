#include "ui/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include "app/desktop_texts.h"
#include "support/feed_server.h"
#include "ui/desktop_fixture.h"
#include "ui/qt_shell.h"

namespace norvane {
namespace {

using test::Sjis;

std::vector<std::string> Entries(const QMenu& menu) {
  std::vector<std::string> out;
  for (QAction* a : menu.actions()) out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
  return out;
}

// Types text as an input method commits it (the test keyboard takes Latin-1 only).
void Commit(QWidget* w, const QString& text) {
  QInputMethodEvent e;
  e.setCommitString(text);
  QApplication::sendEvent(w, &e);
}

class DesktopWindow : public test::DesktopFolder {
 protected:
  void SetUp() override {
    DesktopFolder::SetUp();
    host_.log = {Sjis("外部からのアクセスログ")};
    form_ = std::make_unique<TForm1>(host_, shell_);
  }
  void TearDown() override {
    form_.reset();
    DesktopFolder::TearDown();
  }
  std::string Ini() const { return home_.Exists("norvane.ini") ? home_.Read("norvane.ini") : ""; }

  QtShell shell_;
  test::RecordingHost host_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(DesktopWindow, CaptionsTabsMenusAndTheTrayMenuInTheirOrder) {
  TForm1& f = *form_;
  EXPECT_EQ(f.windowTitle().toStdString(), "Norvane");
  ASSERT_EQ(f.PageControl1->count(), 4);
  const char* tabs[] = {"設定", "WEB", "ログ", "バージョン情報"};
  QWidget* sheets[] = {f.TabSheet2, f.TabSheet1, f.TabSheet4, f.TabSheet3};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(f.PageControl1->tabText(i).toStdString(), tabs[i]);
    EXPECT_EQ(f.PageControl1->widget(i), sheets[i]);
  }
  EXPECT_EQ(f.PageControl1->currentIndex(), TForm1::kVersionTab);

  std::vector<std::string> bar;
  for (QAction* a : f.menuBar()->actions()) bar.push_back(a->text().toStdString());
  EXPECT_EQ(bar, (std::vector<std::string>{"ファイル(&F)", "ツール(&T)", "ヘルプ(&H)"}));
  const auto menus = f.menuBar()->actions();
  EXPECT_EQ(Entries(*menus[0]->menu()),
            (std::vector<std::string>{"ホームページを開く(&H)", "-", "設定(&S)", "ログの表示(&L)", "-", "終了(&X)"}));
  EXPECT_EQ(Entries(*menus[1]->menu()), std::vector<std::string>{"RSSグループの整理(&E)"});
  EXPECT_EQ(Entries(*menus[2]->menu()), std::vector<std::string>{"バージョン情報(&V)"});
  ASSERT_EQ(f.tray()->contextMenu(), f.trayMenu());
  EXPECT_EQ(Entries(*f.tray()->contextMenu()),
            (std::vector<std::string>{"ホームページを開く(&H)", "-", "設定(&S)", "ログの表示(&L)", "-",
                                      "RSSグループの整理(&E)", "-", "バージョン情報(&V)", "-", "終了(&X)"}));
  EXPECT_EQ(f.tray()->toolTip().toStdString(), "Norvane");

  // Settings tab captions and control rules.
  EXPECT_EQ(f.CheckBox3->text().toStdString(), "巡回する");
  EXPECT_EQ(f.CheckBox4->text().toStdString(), "結果を表示する");
  EXPECT_EQ(f.CheckBox1->text().toStdString(), "最小化状態で起動する");
  EXPECT_EQ(f.CheckBox2->text().toStdString(), "起動時にページを開く");
  EXPECT_EQ(f.UseProxyChek->text().toStdString(), "proxyを使う");
  EXPECT_EQ(f.Button1->text().toStdString(), "OK");
  EXPECT_EQ(f.Button2->text().toStdString(), "キャンセル");
  EXPECT_TRUE(f.Button1->isDefault());
  EXPECT_FALSE(f.ComboBox1->isEditable());
  EXPECT_EQ(f.SpinEdit1->singleStep(), 10);
  EXPECT_EQ(f.edPASS->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(f.edUSER->isEnabled());
  EXPECT_FALSE(f.edPASS->isEnabled());

  // The tab key's order on the settings tab.
  const std::vector<std::string> order{"NumberEdit1", "CheckBox3",  "CheckBox4",    "ComboBox1",
                                       "CheckBox1",   "CheckBox2",  "UseProxyChek", "eProserver",
                                       "nProPort",    "SpinMacCon", "NumberEdit2",  "SpinEdit1",
                                       "Button1",     "Button2"};
  std::vector<std::string> seen;
  QWidget* w = f.NumberEdit1;
  for (int guard = 0; guard < 200 && seen.size() < order.size(); ++guard, w = w->nextInFocusChain())
    if (std::find(order.begin(), order.end(), w->objectName().toStdString()) != order.end())
      seen.push_back(w->objectName().toStdString());
  EXPECT_EQ(seen, order);

  // A fixed window of a 442 x 266 client area, with only the close box.
  EXPECT_EQ(f.PageControl1->size(), QSize(442, 266));
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  EXPECT_TRUE(f.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);

  // Version tab, and the Japanese UI font.
  EXPECT_EQ(f.VersionLabel->text().toStdString(), "Norvane Version 0.97");
  EXPECT_GT(f.VersionLabel->font().pixelSize(), 12);
  EXPECT_NE(f.LinkLabel->text().toStdString().find("http://norvane/"), std::string::npos);
  EXPECT_EQ(f.LinkLabel->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_FALSE(f.VersionIcon->pixmap().isNull());
  EXPECT_EQ(QApplication::font().family().toStdString(), "Noto Sans CJK JP");
  EXPECT_EQ(QApplication::font().pixelSize(), 12);
}

TEST_F(DesktopWindow, QtsOwnButtonsSpeakJapanese) {
  QMessageBox box(QMessageBox::Question, "Norvane", "?", QMessageBox::Yes | QMessageBox::No);
  EXPECT_NE(box.button(QMessageBox::Yes)->text().toStdString().find("はい"), std::string::npos);
  EXPECT_NE(box.button(QMessageBox::No)->text().toStdString().find("いいえ"), std::string::npos);
}

TEST_F(DesktopWindow, CheckBox3EnablesCheckBox4) {
  EXPECT_FALSE(form_->CheckBox4->isEnabled());
  form_->ShowTab(TForm1::kSettingsTab);
  const QPoint box(6, form_->CheckBox3->height() / 2);  // on the check box itself
  QTest::mouseClick(form_->CheckBox3, Qt::LeftButton, {}, box);
  EXPECT_TRUE(form_->CheckBox3->isChecked());
  EXPECT_TRUE(form_->CheckBox4->isEnabled());
  QTest::mouseClick(form_->CheckBox3, Qt::LeftButton, {}, box);
  EXPECT_FALSE(form_->CheckBox4->isEnabled());

  // Filled from settings with GOROUND on, it starts enabled.
  UpdateSettings([](Settings& s) { s.GOROUND = true; });
  TForm1 other(host_, shell_);
  EXPECT_TRUE(other.CheckBox4->isEnabled());
}

TEST_F(DesktopWindow, NumberFieldsTakeDigitsOnlyAndThePortFourAtMost) {
  struct Case {
    QLineEdit* field;
    const char* typed;
    const char* kept;
  } cases[] = {
      {form_->NumberEdit1, "12a3-4567", "1234"},
      {form_->nProPort, "x80y80", "8080"},
      {form_->NumberEdit2, "30 000", "30000"},
  };
  for (const Case& c : cases) {
    c.field->clear();
    QTest::keyClicks(c.field, c.typed);
    EXPECT_EQ(c.field->text().toStdString(), c.kept) << c.typed;
  }
}

TEST_F(DesktopWindow, OkShowsTheMessageThenRestartsAndTheWindowStays) {
  form_->ShowTab(TForm1::kSettingsTab);
  form_->NumberEdit1->setText("4600");
  form_->ComboBox1->setCurrentIndex(0);  // "Compact"
  std::string message, iniAtBox;
  std::vector<std::string> eventsAtBox;
  test::CloseNextMessageBox([&](QMessageBox& box) {
    message = box.text().toStdString();
    eventsAtBox = host_.events;
    iniAtBox = Ini();
  });
  QTest::mouseClick(form_->Button1, Qt::LeftButton);
  EXPECT_EQ(message, "新しい設定が保存されました。");
  EXPECT_TRUE(eventsAtBox.empty());
  EXPECT_NE(iniAtBox.find("PORT=4600"), std::string::npos) << iniAtBox;
  EXPECT_NE(iniAtBox.find("XSL_STYLE=Compact"), std::string::npos) << iniAtBox;
  EXPECT_EQ(host_.events, std::vector<std::string>{"restart"});
  EXPECT_TRUE(form_->isVisible());
}

// The tray icon is a window of its own: the settings' message box blocks the main
// window only, so the tray's right click still opens its menu.
TEST_F(DesktopWindow, TheSettingsMessageLeavesTheTrayReachable) {
  QPushButton trayIcon("tray");  // a top-level window like the tray icon's
  trayIcon.show();
  form_->ShowTab(TForm1::kSettingsTab);
  Qt::WindowModality modality = Qt::ApplicationModal;
  bool trayReached = false, windowReached = true;
  test::CloseNextMessageBox([&](QMessageBox& box) {
    modality = box.windowModality();
    trayReached = test::ClickReaches(trayIcon);
    windowReached = test::ClickReaches(*form_->CheckBox2);
    form_->actOpenHome->trigger();  // ホームページを開く from the tray menu
  });
  QTest::mouseClick(form_->Button1, Qt::LeftButton);
  EXPECT_EQ(modality, Qt::WindowModal);
  EXPECT_TRUE(trayReached);
  EXPECT_FALSE(windowReached) << "the box still blocks its own window";
  EXPECT_EQ(host_.urls, std::vector<std::string>{"http://localhost:4565/"});
  EXPECT_EQ(host_.events, std::vector<std::string>{"restart"});
}

TEST_F(DesktopWindow, EnterPressesOkAndEscapeCancels) {
  form_->ShowTab(TForm1::kSettingsTab);
  QApplication::setActiveWindow(form_.get());
  form_->NumberEdit1->setFocus();
  bool boxSeen = false;
  test::CloseNextMessageBox([&](QMessageBox&) { boxSeen = true; });
  QTest::keyClick(form_->NumberEdit1, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return boxSeen; }, 3000));
  EXPECT_EQ(host_.events, std::vector<std::string>{"restart"});
  form_->NumberEdit1->setText("1111");
  QApplication::setActiveWindow(form_.get());  // back from the message box
  QTest::keyClick(form_->NumberEdit1, Qt::Key_Escape);
  EXPECT_EQ(form_->NumberEdit1->text().toStdString(), "4565");
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(DesktopWindow, CancelRestoresTheStoredValuesAndHidesTheWindow) {
  UpdateSettings([](Settings& s) { s.PROXYSERVER = Sjis("代理.example"); });
  form_->WriteSettingsTab(SettingsToWindow());
  form_->ShowTab(TForm1::kSettingsTab);
  form_->NumberEdit1->setText("8080");
  form_->CheckBox3->setChecked(true);
  form_->eProserver->clear();
  Commit(form_->eProserver, QString::fromUtf8("別の.example"));
  EXPECT_EQ(form_->eProserver->text().toStdString(), "別の.example");
  form_->ComboBox1->setCurrentIndex(0);
  QTest::mouseClick(form_->Button2, Qt::LeftButton);
  EXPECT_EQ(form_->NumberEdit1->text().toStdString(), "4565");
  EXPECT_FALSE(form_->CheckBox3->isChecked());
  EXPECT_FALSE(form_->CheckBox4->isEnabled());
  EXPECT_EQ(form_->eProserver->text().toStdString(), "代理.example");
  EXPECT_EQ(form_->ComboBox1->currentText().toStdString(), "Default");
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(GetSettings().PORT, 4565);
  EXPECT_FALSE(home_.Exists("norvane.ini"));
}

TEST_F(DesktopWindow, ClosingAndExitAreRefusedWhileBusy) {
  form_->ShowTab(TForm1::kSettingsTab);
  host_.idle = false;
  EXPECT_FALSE(form_->close());
  EXPECT_TRUE(form_->isVisible());
  form_->actExit->trigger();
  EXPECT_TRUE(host_.events.empty());
  host_.idle = true;
  form_->close();
  EXPECT_FALSE(form_->isVisible());  // hidden, not closed: the tray still reaches it
  form_->actExit->trigger();
  EXPECT_EQ(host_.events, std::vector<std::string>{"end"});
}

TEST_F(DesktopWindow, TheTrayMenuCommandsShowTheirTabsOpenTheHomePageAndExit) {
  QMenu& tray = *form_->tray()->contextMenu();
  auto command = [&](const std::string& caption) {
    for (QAction* a : tray.actions())
      if (a->text().toStdString() == caption) return a;
    ADD_FAILURE() << caption;
    return static_cast<QAction*>(nullptr);
  };
  struct Case {
    const char* caption;
    int tab;
  } shows[] = {{"設定(&S)", TForm1::kSettingsTab},
               {"ログの表示(&L)", TForm1::kLogTab},
               {"バージョン情報(&V)", TForm1::kVersionTab}};
  for (const Case& c : shows) {
    form_->hide();
    command(c.caption)->trigger();
    EXPECT_TRUE(form_->isVisible()) << c.caption;
    EXPECT_EQ(form_->PageControl1->currentIndex(), c.tab) << c.caption;
  }
  UpdateSettings([](Settings& s) { s.PORT = 4999; });
  command("ホームページを開く(&H)")->trigger();
  EXPECT_EQ(host_.urls, std::vector<std::string>{"http://localhost:4999/"});
  // A host without an organizer: its command is there, greyed.
  EXPECT_FALSE(command("RSSグループの整理(&E)")->isEnabled());
  host_.idle = false;
  command("終了(&X)")->trigger();
  EXPECT_TRUE(host_.events.empty());
  host_.idle = true;
  command("終了(&X)")->trigger();
  EXPECT_EQ(host_.events, std::vector<std::string>{"end"});
  // The version tab's link.
  emit form_->LinkLabel->linkActivated("http://norvane/");
  EXPECT_EQ(host_.urls.back(), "http://norvane/");
}

TEST_F(DesktopWindow, TheLogTabShowsNewLinesOnlyWhenItIsShownAgain) {
  host_.log.push_back("GET /a HTTP/1.1 : 10.0.0.2");
  form_->actLog->trigger();
  EXPECT_EQ(form_->LogMemo->toPlainText().toStdString(), "外部からのアクセスログ\nGET /a HTTP/1.1 : 10.0.0.2");
  host_.log.push_back("GET /b HTTP/1.1 : 10.0.0.3");
  form_->LogMemo->setPlainText("edited");
  EXPECT_EQ(form_->LogMemo->toPlainText().toStdString(), "edited");
  form_->PageControl1->setCurrentIndex(TForm1::kSettingsTab);
  form_->PageControl1->setCurrentIndex(TForm1::kLogTab);
  EXPECT_EQ(form_->LogMemo->toPlainText().toStdString(),
            "外部からのアクセスログ\nGET /a HTTP/1.1 : 10.0.0.2\nGET /b HTTP/1.1 : 10.0.0.3");
}

TEST_F(DesktopWindow, TheWebTabInWebModeTakesJapaneseCredentialsAsTheyAreTyped) {
  UpdateSettings([](Settings& s) { s.PORT = 80; });
  form_->ShowTab(TForm1::kWebTab);
  EXPECT_EQ(form_->Label11->text().toStdString(), "Webモード起動中です。");
  EXPECT_NE(form_->Label11->styleSheet().toStdString().find("red"), std::string::npos);
  EXPECT_TRUE(form_->edUSER->isEnabled());
  EXPECT_TRUE(form_->Label13->isVisible());
  Commit(form_->edUSER, QString::fromUtf8("ユーザー"));
  EXPECT_TRUE(form_->Label13->isVisible());
  EXPECT_EQ(GetSettings().WebUserName, "");
  QTest::keyClicks(form_->edPASS, "pw");
  EXPECT_FALSE(form_->Label13->isVisible());
  EXPECT_EQ(GetSettings().WebUserName, "ユーザー");
  EXPECT_EQ(GetSettings().WebPassWord, "pw");
  form_->edPASS->clear();
  EXPECT_TRUE(form_->Label13->isVisible());
  EXPECT_EQ(GetSettings().WebUserName, "");
  EXPECT_EQ(GetSettings().WebPassWord, "");

  // Outside Web mode the fields are disabled and the label reads normally.
  UpdateSettings([](Settings& s) { s.PORT = 4565; });
  form_->PageControl1->setCurrentIndex(TForm1::kSettingsTab);
  form_->PageControl1->setCurrentIndex(TForm1::kWebTab);
  EXPECT_EQ(form_->Label11->text().toStdString(), "Webモード起動はポート:80");
  EXPECT_TRUE(form_->Label11->styleSheet().isEmpty());
  EXPECT_FALSE(form_->edUSER->isEnabled());
}

TEST_F(DesktopWindow, WithoutATrayTheWindowStaysReachableAndClosingMinimisesIt) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // the offscreen platform has none
  EXPECT_FALSE(form_->ShowTrayIcon());
  form_->show();
  form_->close();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(form_->isMinimized());
  form_->ShowTab(TForm1::kSettingsTab);
  EXPECT_FALSE(form_->isMinimized());
  shell_.SetTrayImage(2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->trayImage() == 2; }, 3000));
}

TEST_F(DesktopWindow, Screenshots) {
  home_.Write("xsls/和風/rss.xsl", "<x/>");
  UpdateSettings([](Settings& s) {
    s.PORT = 80;
    s.GOROUND = true;
    s.XSL_STYLE = "Compact";
  });
  form_->WriteSettingsTab(SettingsToWindow());
  host_.log.push_back("GET /rss.html?u=http://example.com/feed.xml/ HTTP/1.1 : 192.168.1.20");
  host_.log.push_back("GET /gp.html HTTP/1.1 : 192.168.1.20");
  const std::pair<int, const char*> tabs[] = {{TForm1::kSettingsTab, "settings"},
                                              {TForm1::kWebTab, "web"},
                                              {TForm1::kLogTab, "log"},
                                              {TForm1::kVersionTab, "version"}};
  for (const auto& [tab, name] : tabs) {
    form_->ShowTab(static_cast<TForm1::Tab>(tab));
    if (tab == TForm1::kWebTab) Commit(form_->edUSER, QString::fromUtf8("ユーザー"));
    QApplication::processEvents();
    EXPECT_TRUE(test::Screenshot(*form_, std::string("tab-") + name)) << name;
  }
  QMenu& menu = *form_->trayMenu();
  menu.popup(QPoint(10, 10));
  QApplication::processEvents();
  EXPECT_TRUE(test::Screenshot(menu, "tray-menu"));
  menu.hide();
}

}  // namespace
}  // namespace norvane
