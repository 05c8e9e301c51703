#include "ui/patrol_popup_view.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

#include "core/sjis.h"

namespace norvane {

namespace {
constexpr int kPopupWidth = 271;
constexpr int kPopupHeight = 90;
constexpr int kCorner = 25;  // the corner ellipses' size
constexpr int kEdgeGap = 20;
}  // namespace

QtPopupView::QtPopupView()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle("Norvane");
  setFixedSize(kPopupWidth, kPopupHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) workArea_ = screen->availableGeometry();

  QPainterPath shape;
  shape.addRoundedRect(QRectF(0, 0, kPopupWidth, kPopupHeight), kCorner / 2.0, kCorner / 2.0);
  setMask(QRegion(shape.toFillPolygon().toPolygon()));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setFocusPolicy(Qt::NoFocus);
  // A long line wraps, so no horizontal bar is needed; the vertical one comes only
  // when the lines overflow the popup.
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QPalette pal = Memo1->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
  pal.setColor(QPalette::Text, pal.color(QPalette::ToolTipText));
  Memo1->setPalette(pal);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
}

void QtPopupView::ShowPopup() {
  if (workArea_.isValid())
    move(workArea_.x() + workArea_.width() - width() - kEdgeGap,
         workArea_.y() + workArea_.height() - height() - kEdgeGap);
  show();
}

void QtPopupView::HidePopup() { hide(); }

void QtPopupView::AppendLine(const std::string& sjisLine) {
  Memo1->appendPlainText(QString::fromStdString(SjisToUtf8(sjisLine)));
}

void QtPopupView::ClearLines() { Memo1->clear(); }

}  // namespace norvane
