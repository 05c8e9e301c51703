#include "ui/input_dialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/desktop_texts.h"
#include "ui/qt_text.h"
#include "ui/window_modal.h"

namespace norvane {

namespace {
constexpr int kInputWidth = 320;
constexpr int kInputHeight = 93;
}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
  setObjectName("Form4");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  const DesktopTexts& t = DT();
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Button1 = new QPushButton(Q(t.ok), this);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton(Q(t.cancel), this);
  Button2->setObjectName("Button2");
  Button3 = new QPushButton(Q(t.browse), this);
  Button3->setObjectName("Button3");
  for (QPushButton* b : {Button2, Button3}) b->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, [this] { Browse(); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button3);
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(8, 6, 8, 6);
  all->setSpacing(4);
  all->addWidget(Label1);
  all->addWidget(Edit1);
  all->addStretch(1);
  all->addLayout(buttons);
  setFixedSize(kInputWidth, kInputHeight);
}

void TForm4::Setup(const QString& caption, const QString& prompt, const QString& preset,
                   bool browse) {
  setWindowTitle(caption);
  Label1->setText(prompt);
  Edit1->setText(preset);
  Button3->setEnabled(browse);
  Edit1->setFocus();
}

void TForm4::Browse() {
  // Qt's chooser has no read-only box and never changes the current folder; its
  // window can be resized.
  QFileDialog chooser(this, Q(DT().chooseFile));
  chooser.setObjectName("OpenDialog1");
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setNameFilters({Q(DT().opmlFilter), Q(DT().allFilesFilter)});
  chooser.setSizeGripEnabled(true);
  if (ExecWindowModal(chooser) != QDialog::Accepted) return;
  const QStringList picked = chooser.selectedFiles();
  if (!picked.isEmpty()) Edit1->setText(picked.first());
}

}  // namespace norvane
