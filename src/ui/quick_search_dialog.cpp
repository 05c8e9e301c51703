#include "ui/quick_search_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/desktop_texts.h"
#include "app/quick_search_url.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "ui/qt_text.h"

namespace norvane {

namespace {
constexpr int kSearchWidth = 326;
constexpr int kSearchHeight = 103;
}  // namespace

TForm6::TForm6(const std::vector<std::string>& titles,
               std::function<void(const std::string&)> openUrl, QWidget* parent)
    : QDialog(parent), titles_(titles), openUrl_(std::move(openUrl)) {
  setObjectName("Form6");
  const DesktopTexts& t = DT();
  setWindowTitle(Q(t.searchCaption));
  Label1 = new QLabel(Q(t.searchLabel), this);
  Label1->setObjectName("Label1");
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Label1->setBuddy(Edit1);
  ComboBox1 = new QComboBox(this);  // not editable: a choice only
  ComboBox1->setObjectName("ComboBox1");
  for (const std::string& title : titles_) ComboBox1->addItem(Q(SjisToUtf8(title)));
  if (!titles_.empty()) ComboBox1->setCurrentIndex(0);
  Button1 = new QPushButton(Q(t.show), this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton(Q(t.ok), this);
  Button2->setObjectName("Button2");
  Button3 = new QPushButton(Q(t.cancel), this);
  Button3->setObjectName("Button3");
  // Enter shows the result; Escape cancels (the dialog's own reject).
  Button1->setDefault(true);
  for (QPushButton* b : {Button2, Button3}) b->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { ShowResult(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Ok(); });
  connect(Button3, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(6);
  fields->setVerticalSpacing(4);
  fields->addWidget(Label1, 0, 0);
  fields->addWidget(Edit1, 0, 1);
  fields->addWidget(ComboBox1, 1, 1);
  fields->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button3);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(8, 6, 8, 6);
  all->setSpacing(4);
  all->addLayout(fields);
  all->addStretch(1);
  all->addLayout(buttons);
  setTabOrder(Edit1, ComboBox1);
  setTabOrder(ComboBox1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  resize(kSearchWidth, kSearchHeight);
  Edit1->setFocus();
}

std::string TForm6::Engine() const {
  const int i = ComboBox1->currentIndex();
  return i >= 0 && static_cast<size_t>(i) < titles_.size() ? titles_[static_cast<size_t>(i)]
                                                           : std::string();
}

void TForm6::ShowResult() {
  const std::string url =
      QuickSearchUrl(GetSettings().PORT, Engine(), Edit1->text().toStdString());
  if (!url.empty() && openUrl_) openUrl_(url);
}

void TForm6::Ok() {
  if (!Edit1->text().isEmpty()) accept();
}

}  // namespace norvane
