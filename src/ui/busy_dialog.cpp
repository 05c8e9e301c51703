#include "ui/busy_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/desktop_texts.h"
#include "core/background_task.h"
#include "ui/qt_text.h"

namespace norvane {

namespace {
constexpr int kBusyWidth = 360;
constexpr int kBusyHeight = 100;
constexpr int kPollMs = 50;  // how often the finished task is looked for
}  // namespace

BusyDialog::BusyDialog(const QString& message, BackgroundTask& task, QWidget* parent)
    : QDialog(parent), task_(task) {
  setObjectName("BusyDialog");
  setWindowTitle(Q(DT().organizerCaption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  // A long address shows its start and its end.
  Label1->setText(Label1->fontMetrics().elidedText(message, Qt::ElideMiddle, kBusyWidth - 20));
  Label1->setToolTip(message);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 0);  // busy, for as long as it takes
  ProgressBar1->setTextVisible(false);
  Button1 = new QPushButton(Q(DT().cancel), this);
  Button1->setObjectName("Button1");
  connect(Button1, &QPushButton::clicked, this, [this] { reject(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(10, 8, 10, 8);
  all->setSpacing(6);
  all->addWidget(Label1);
  all->addWidget(ProgressBar1);
  all->addStretch(1);
  all->addLayout(buttons);
  setFixedSize(kBusyWidth, kBusyHeight);

  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, [this] {
    if (!task_.Finished()) return;
    poll_.stop();
    QDialog::done(task_.Cancelled() ? Rejected : Accepted);
  });
  poll_.start();
}

void BusyDialog::reject() {
  // The fetch gives up within about a second; the dialog stays until it has.
  if (task_.Cancelled()) return;
  task_.Cancel();
  Button1->setEnabled(false);
  Label1->setText(Q(DT().cancelling));
}

}  // namespace norvane
