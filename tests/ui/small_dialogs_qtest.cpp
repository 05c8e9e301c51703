// The organizer's dialogs TForm4, TForm6 and TForm7, alone and through the questions
// the organizer asks.
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/desktop_texts.h"
#include "search/search_catalogue.h"
#include "support/feed_server.h"
#include "ui/desktop_fixture.h"
#include "ui/input_dialog.h"
#include "ui/qt_organizer_questions.h"
#include "ui/quick_search_dialog.h"
#include "ui/scrapbook_dialog.h"

namespace norvane {
namespace {

using test::Sjis;

void CommitText(QWidget* w, const QString& text) {
  QInputMethodEvent e;
  e.setCommitString(text);
  QApplication::sendEvent(w, &e);
}

class SmallDialogs : public test::DesktopFolder {
 protected:
  void SetUp() override {
    DesktopFolder::SetUp();
    home_.Write("search.xml",
                Sjis("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<search>"
                     "<item><title>X</title><searchUrl>http://x/?q=$SEARCH_PHRASE$</searchUrl></item>"
                     "<item><title>はてな</title><searchUrl>http://h/?q=$SEARCH_PHRASE$</searchUrl></item>"
                     "</search>"));
    search_.LoadFromFile("search.xml");
    ask_ = std::make_unique<QtOrganizerQuestions>(&parent_, search_,
                                                  [this](const std::string& url) { urls_.push_back(url); });
  }
  void TearDown() override {
    ask_.reset();
    DesktopFolder::TearDown();
  }

  QWidget parent_;
  SearchCatalogue search_;
  std::vector<std::string> urls_;
  std::unique_ptr<QtOrganizerQuestions> ask_;
};

TEST_F(SmallDialogs, TheInputLineForAFeedShowsHttpAndNoBrowsing) {
  std::string caption, prompt;
  bool browse = true;
  test::WhenModal<TForm4>([&](TForm4& f) {
    caption = f.windowTitle().toStdString();
    prompt = f.Label1->text().toStdString();
    browse = f.Button3->isEnabled();
    EXPECT_EQ(f.Edit1->text().toStdString(), "http://");
    EXPECT_EQ(f.size(), QSize(320, 93));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_EQ(f.Button1->text().toStdString(), "OK");
    EXPECT_EQ(f.Button2->text().toStdString(), "キャンセル");
    EXPECT_EQ(f.Button3->text().toStdString(), "参照...");
    f.Edit1->setText("http://example.com/フィード.xml");
    f.Button1->click();
  });
  auto line = ask_->AskLine(Sjis("RSSの追加"), Sjis("URLを入力してください。"), "http://", false);
  EXPECT_EQ(caption, "RSSの追加");
  EXPECT_EQ(prompt, "URLを入力してください。");
  EXPECT_FALSE(browse);
  EXPECT_EQ(line, Sjis("http://example.com/フィード.xml"));

  test::WhenModal<TForm4>([](TForm4& f) { f.Button2->click(); });
  EXPECT_EQ(ask_->AskLine("a", "b", "", true), std::nullopt);
}

TEST_F(SmallDialogs, TheFileChooserReplacesTheLineAndCancellingKeepsIt) {
  const std::string file = home_.Write("picked/g.opml", "<opml/>");
  TForm4 f;
  f.Setup("OPML", "?", "", true);
  EXPECT_TRUE(f.Button3->isEnabled());
  f.Edit1->setText("typed");
  QStringList filters;
  test::WhenModal<QFileDialog>([&](QFileDialog& chooser) {
    filters = chooser.nameFilters();
    EXPECT_EQ(chooser.fileMode(), QFileDialog::ExistingFile);
    chooser.reject();
  });
  f.Button3->click();
  EXPECT_EQ(f.Edit1->text().toStdString(), "typed");
  EXPECT_EQ(filters, (QStringList{"OPMLファイル (*.opml *.xml)", "全てのファイル(*.*) (*)"}));

  const QString cwd = QDir::currentPath();
  test::WhenModal<QFileDialog>([&](QFileDialog& chooser) {
    // As on a desktop, the chooser is active and its file name box has the focus
    // (offscreen that comes with the chooser's first events, sooner or later).
    chooser.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QApplication::focusWidget() == chooser.findChild<QLineEdit*>("fileNameEdit"); },
        3000));
    test::ChooseFile(chooser, QString::fromStdString(home_ / "picked/g.opml"));
  });
  f.Button3->click();
  EXPECT_EQ(f.Edit1->text().toStdString(), file);
  EXPECT_EQ(QDir::currentPath(), cwd);  // the current folder stays
}

TEST_F(SmallDialogs, QuickSearchShowsOnlyWithAPhraseAndOkNeedsOne) {
  TForm6 f(*search_.GetSearchTitles(), [this](const std::string& url) { urls_.push_back(url); });
  EXPECT_EQ(f.windowTitle().toStdString(), "とりあえず検索");
  EXPECT_EQ(f.Label1->text().toStdString(), "検索");
  ASSERT_EQ(f.ComboBox1->count(), 2);
  EXPECT_EQ(f.ComboBox1->itemText(1).toStdString(), "はてな");
  EXPECT_EQ(f.ComboBox1->currentIndex(), 0);
  EXPECT_FALSE(f.ComboBox1->isEditable());
  EXPECT_TRUE(f.Button1->isDefault());
  EXPECT_EQ(f.size(), QSize(326, 103));
  EXPECT_LT(f.minimumSize().width(), f.maximumSize().width());  // resizable
  f.show();
  QApplication::setActiveWindow(&f);
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.Edit1->hasFocus(); }, 3000));

  f.Button1->click();  // 表示 with no phrase
  f.Button2->click();  // OK with no phrase: stays
  EXPECT_TRUE(urls_.empty());
  EXPECT_TRUE(f.isVisible());
  EXPECT_NE(f.result(), QDialog::Accepted);

  QTest::keyClicks(f.Edit1, "abc");
  QTest::keyClick(f.Edit1, Qt::Key_Return);  // Enter is 表示
  EXPECT_EQ(urls_, std::vector<std::string>{"http://localhost:4565/search?u=X/&w=abc"});
  EXPECT_TRUE(f.isVisible());
  f.ComboBox1->setCurrentIndex(1);
  EXPECT_EQ(f.Engine(), Sjis("はてな"));
  f.Button2->click();
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(f.result(), QDialog::Accepted);
}

TEST_F(SmallDialogs, TheQuickSearchIsMadeOnceAndKeepsPhraseAndEngine) {
  test::WhenModal<TForm6>([](TForm6& f) {
    CommitText(f.Edit1, QString::fromUtf8("速報"));
    f.ComboBox1->setCurrentIndex(1);
    f.Button2->click();
  });
  auto first = ask_->AskSearch();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->engine, Sjis("はてな"));
  EXPECT_EQ(first->phrase, Sjis("速報"));
  TForm6* made = ask_->searchForm();
  ASSERT_NE(made, nullptr);

  std::string phraseAgain;
  int engineAgain = -1;
  test::WhenModal<TForm6>([&](TForm6& f) {
    phraseAgain = f.Edit1->text().toStdString();
    engineAgain = f.ComboBox1->currentIndex();
    f.Button3->click();
  });
  EXPECT_EQ(ask_->AskSearch(), std::nullopt);
  EXPECT_EQ(ask_->searchForm(), made);
  EXPECT_EQ(phraseAgain, "速報");
  EXPECT_EQ(engineAgain, 1);
}

TEST_F(SmallDialogs, TheScrapbookButtonsFollowTheFieldAndTheSelection) {
  TForm7 f;
  EXPECT_EQ(f.windowTitle().toStdString(), "スクラップブックの追加");
  EXPECT_EQ(f.GroupBox1->title().toStdString(), "キーワード");
  EXPECT_EQ(f.size(), QSize(274, 334));
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  f.show();
  EXPECT_FALSE(f.Button1->isEnabled());
  EXPECT_FALSE(f.Button2->isEnabled());

  QTest::keyClicks(f.Edit2, "rss");
  EXPECT_TRUE(f.Button1->isEnabled());
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  EXPECT_EQ(f.Edit2->text().toStdString(), "");
  EXPECT_FALSE(f.Button1->isEnabled());
  QTest::keyClicks(f.Edit2, "rss");
  QTest::keyClick(f.Edit2, Qt::Key_Return);  // Enter adds too
  CommitText(f.Edit2, QString::fromUtf8("ニュース"));
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  ASSERT_EQ(f.ListBox1->count(), 3);  // the same keyword twice
  EXPECT_FALSE(f.Button2->isEnabled());

  const QRect second = f.ListBox1->visualItemRect(f.ListBox1->item(1));
  QTest::mouseClick(f.ListBox1->viewport(), Qt::LeftButton, {}, second.center());
  EXPECT_TRUE(f.Button2->isEnabled());
  QTest::mouseClick(f.Button2, Qt::LeftButton);
  EXPECT_EQ(f.ListBox1->count(), 2);
  EXPECT_EQ(f.ListBox1->selectedItems().size(), 0);
  EXPECT_FALSE(f.Button2->isEnabled());

  CommitText(f.Edit1, QString::fromUtf8("技術"));
  EXPECT_EQ(f.Title(), Sjis("技術"));
  EXPECT_EQ(f.Keywords(), (std::vector<std::string>{"rss", Sjis("ニュース")}));
  EXPECT_TRUE(f.isVisible());  // Enter added; it never closed the dialog
}

TEST_F(SmallDialogs, ScrapbookYesNoAndNoticeAnswerAsTheUserDid) {
  test::WhenModal<TForm7>([](TForm7& f) {
    CommitText(f.Edit1, QString::fromUtf8("技術"));
    QTest::keyClicks(f.Edit2, "qt");
    f.Button1->click();
    f.Button3->click();
  });
  auto book = ask_->AskScrapbook();
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, Sjis("技術"));
  EXPECT_EQ(book->keywords, std::vector<std::string>{"qt"});
  test::WhenModal<TForm7>([](TForm7& f) { f.Button4->click(); });
  EXPECT_EQ(ask_->AskScrapbook(), std::nullopt);

  struct Case {
    QMessageBox::StandardButton pressed;
    bool answer;
  } cases[] = {{QMessageBox::Yes, true}, {QMessageBox::No, false}};
  for (const Case& c : cases) {
    std::string text;
    QMessageBox::StandardButton preset = QMessageBox::NoButton;
    test::WhenModal<QMessageBox>([&](QMessageBox& box) {
      text = box.text().toStdString();
      preset = box.standardButton(box.defaultButton());
      box.button(c.pressed)->click();
    });
    EXPECT_EQ(ask_->AskYesNo(Sjis("a.opmlを削除しますか？")), c.answer);
    EXPECT_EQ(text, "a.opmlを削除しますか？");
    EXPECT_EQ(preset, QMessageBox::No);
  }
  std::string told;
  test::CloseNextMessageBox([&](QMessageBox& box) { told = box.text().toStdString(); });
  ask_->Tell(Sjis("読み込みエラー"));
  EXPECT_EQ(told, "読み込みエラー");
}

TEST_F(SmallDialogs, Screenshots) {
  TForm4 input;
  input.Setup(QString::fromUtf8("OPMLの追加"), QString::fromUtf8("URLかパスを入力してください。"),
              "http://example.com/list.opml", true);
  input.show();
  TForm6 search(*search_.GetSearchTitles(), {});
  search.Edit1->setText(QString::fromUtf8("ニュース"));
  search.show();
  TForm7 scrap;
  scrap.Edit1->setText(QString::fromUtf8("技術ニュース"));
  for (const char* k : {"Qt", "C++", "RSS"}) {
    scrap.Edit2->setText(k);
    scrap.Button1->click();
  }
  scrap.Edit2->setText(QString::fromUtf8("ニュース"));
  scrap.show();
  QApplication::processEvents();
  EXPECT_TRUE(test::Screenshot(input, "input"));
  EXPECT_TRUE(test::Screenshot(search, "search"));
  EXPECT_TRUE(test::Screenshot(scrap, "scrapbook"));
}

}  // namespace
}  // namespace norvane
