#include "switches/DipPainting.h"

#include <QFont>
#include <QPainter>

namespace pv {

QSizeF DipBankDesignSize() {
  // Eight switches 300 apart from x = 120, then room for "On"/"Off".
  return QSizeF(120 + 300 * 8 + 420, 1260);
}

void PaintDipBank(QPainter& p, const QString& caption, int switches, uint8_t value, const QFont& base) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF frame(15, 60, 120 + 300 * 8 + 360, 1140);
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 12));
  p.setBrush(QColor(0xf4, 0xf4, 0xf4));
  p.drawRoundedRect(frame, 60, 60);

  // Sizes in design units whatever the device: a printer's resolution must
  // not change the letters' size relative to the switches.
  QFont f = base;
  f.setPixelSize(180);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::black);
  p.drawText(QRectF(90, 90, 900, 240), Qt::AlignLeft | Qt::AlignVCenter, caption);

  // The switch housing.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xc6, 0x28, 0x28));
  p.drawRoundedRect(QRectF(75, 375, 300 * switches + 45, 525), 30, 30);

  f.setBold(false);
  f.setPixelSize(150);
  p.setFont(f);
  for (int i = 0; i < switches; ++i) {
    const double x = 120 + 300 * i;
    const QRectF body(x, 420, 255, 435);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(body);
    const bool on = (value >> i) & 1;
    // The lever: the box that shows where the switch must be.
    const QRectF box(x + 60, on ? 480 : 660, 135, 135);
    p.setBrush(QColor(0x22, 0x22, 0x22));
    p.drawRect(box.adjusted(-30, -30, 30, on ? 60 : 30));
    p.setPen(Qt::black);
    p.drawText(QRectF(x, 900, 255, 210), Qt::AlignCenter, QString::number(i + 1));
  }
  const double right = 120 + 300 * switches + 30;
  p.setPen(Qt::black);
  p.drawText(QRectF(right, 420, 330, 200), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("On"));
  p.drawText(QRectF(right, 660, 330, 200), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Off"));
  p.restore();
}

} // namespace pv
