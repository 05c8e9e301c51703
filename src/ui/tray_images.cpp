#include "ui/tray_images.h"

#include <QPainter>
#include <QPainterPath>

namespace norvane {

namespace {

const QColor kIdleBack(0xE8, 0x70, 0x10);
const QColor kBusyBack(0x1F, 0x5F, 0xB8);

// The feed sign: a dot in the lower left corner and arcs around it. lit arcs are
// white, the others faint.
void DrawSign(QPainter& p, double s, int arcs, int lit, double width) {
  const QPointF dot(4.2 * s, 11.8 * s);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(dot, 1.7 * s, 1.7 * s);
  const double first = arcs == 2 ? 5.6 : 4.6;
  const double step = arcs == 2 ? 4.2 : 3.2;
  for (int i = 0; i < arcs; ++i) {
    const double r = (first + step * i) * s;
    QColor c = Qt::white;
    if (i >= lit) c.setAlpha(80);
    QPen pen(c, width * s, Qt::SolidLine, Qt::FlatCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // From straight up to straight right of the dot: a quarter circle.
    p.drawArc(QRectF(dot.x() - r, dot.y() - r, 2 * r, 2 * r), 0, 90 * 16);
  }
}

}  // namespace

QPixmap DrawTrayImage(int index, int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size / 16.0;
  const bool idle = index == kIdleTrayImage;
  QPainterPath back;
  back.addRoundedRect(QRectF(0.5 * s, 0.5 * s, 15 * s, 15 * s), 3 * s, 3 * s);
  QLinearGradient shade(0, 0, 0, size);
  const QColor base = idle ? kIdleBack : kBusyBack;
  shade.setColorAt(0, base.lighter(125));
  shade.setColorAt(1, base.darker(110));
  p.fillPath(back, shade);
  if (idle)
    DrawSign(p, s, 2, 2, 2.2);
  else
    DrawSign(p, s, 3, index < 0 ? 0 : index, 1.9);
  return pm;
}

QIcon TrayImage(int index) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(DrawTrayImage(index, size));
  return icon;
}

}  // namespace norvane
