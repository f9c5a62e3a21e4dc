#include "switches/ui/DipBank.h"
#include "switches/DipPainting.h"

#include <QPainter>

namespace pv {

DipBank::DipBank(const QString& caption, int switches, QWidget* parent)
    : QWidget(parent), caption_(caption), switches_(switches) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void DipBank::setByte(uint8_t value) {
  if (value_ == value) return;
  value_ = value;
  update();
}

void DipBank::setCaption(const QString& caption) {
  caption_ = caption;
  update();
}

QSize DipBank::sizeHint() const {
  const QSizeF design = DipBankDesignSize();
  return QSize(int(design.width() / kScale), int(design.height() / kScale));
}

void DipBank::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.scale(1.0 / kScale, 1.0 / kScale);
  PaintDipBank(p, caption_, switches_, value_, font());
}

} // namespace pv
