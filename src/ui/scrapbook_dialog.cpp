#include "ui/scrapbook_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/desktop_texts.h"
#include "core/sjis.h"
#include "ui/qt_text.h"

namespace norvane {

namespace {
constexpr int kScrapbookWidth = 274;
constexpr int kScrapbookHeight = 334;
}  // namespace

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
  setObjectName("Form7");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  const DesktopTexts& t = DT();
  setWindowTitle(Q(t.scrapCaption));
  Label1 = new QLabel(Q(t.titleLabel), this);
  Label1->setObjectName("Label1");
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Label1->setBuddy(Edit1);
  GroupBox1 = new QGroupBox(Q(t.keywordsGroup), this);
  GroupBox1->setObjectName("GroupBox1");
  Edit2 = new QLineEdit(GroupBox1);
  Edit2->setObjectName("Edit2");
  Button1 = new QPushButton(Q(t.addKeyword), GroupBox1);
  Button1->setObjectName("Button1");
  ListBox1 = new QListWidget(GroupBox1);
  ListBox1->setObjectName("ListBox1");
  Button2 = new QPushButton(Q(t.deleteKeyword), GroupBox1);
  Button2->setObjectName("Button2");
  Button3 = new QPushButton(Q(t.ok), this);
  Button3->setObjectName("Button3");
  Button4 = new QPushButton(Q(t.cancel), this);
  Button4->setObjectName("Button4");
  // Enter in the keyword field adds it (while 追加 is enabled); OK is clicked, never
  // pressed by Enter, so a title is not sent off half-made. Escape cancels.
  for (QPushButton* b : {Button1, Button2, Button3, Button4}) b->setAutoDefault(false);

  connect(Edit2, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (drawing_) return;
    state_.EditKeyword(text.toStdString());
    Draw();
  });
  connect(Edit2, &QLineEdit::returnPressed, Button1, &QPushButton::click);
  connect(Button1, &QPushButton::clicked, this, [this] {
    if (state_.Add()) Draw();
  });
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
    if (drawing_) return;
    state_.Select(row);
    Draw();
  });
  connect(ListBox1, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    state_.Select(ListBox1->row(item));
    Draw();
  });
  connect(Button2, &QPushButton::clicked, this, [this] {
    if (state_.Remove()) Draw();
  });
  connect(Button3, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button4, &QPushButton::clicked, this, &QDialog::reject);

  auto* entry = new QHBoxLayout;
  entry->addWidget(Edit2, 1);
  entry->addWidget(Button1);
  auto* remove = new QHBoxLayout;
  remove->addStretch(1);
  remove->addWidget(Button2);
  auto* keys = new QVBoxLayout(GroupBox1);
  keys->setContentsMargins(8, 4, 8, 8);
  keys->setSpacing(4);
  keys->addLayout(entry);
  keys->addWidget(ListBox1, 1);
  keys->addLayout(remove);
  auto* title = new QHBoxLayout;
  title->addWidget(Label1);
  title->addWidget(Edit1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button3);
  buttons->addWidget(Button4);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(8, 8, 8, 8);
  all->setSpacing(6);
  all->addLayout(title);
  all->addWidget(GroupBox1, 1);
  all->addLayout(buttons);
  setFixedSize(kScrapbookWidth, kScrapbookHeight);
  Draw();
}

void TForm7::Draw() {
  drawing_ = true;
  const QString entry = Q(state_.entry());
  if (Edit2->text() != entry) Edit2->setText(entry);
  Button1->setEnabled(state_.CanAdd());
  const std::vector<std::string>& keywords = state_.keywords();
  bool same = ListBox1->count() == static_cast<int>(keywords.size());
  for (int i = 0; same && i < ListBox1->count(); ++i)
    same = ListBox1->item(i)->text() == Q(keywords[static_cast<size_t>(i)]);
  if (!same) {
    ListBox1->clear();
    for (const std::string& k : keywords) ListBox1->addItem(Q(k));
  }
  ListBox1->setCurrentRow(state_.selected());
  if (state_.selected() < 0) ListBox1->clearSelection();
  Button2->setEnabled(state_.CanRemove());
  drawing_ = false;
}

std::string TForm7::Title() const { return Utf8ToSjis(Edit1->text().toStdString()); }

std::vector<std::string> TForm7::Keywords() const {
  std::vector<std::string> out;
  for (const std::string& k : state_.keywords()) out.push_back(Utf8ToSjis(k));
  return out;
}

}  // namespace norvane
