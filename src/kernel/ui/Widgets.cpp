#include "kernel/ui/Widgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPalette>

namespace pv {

QColor FromVbColor(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
  setMinimumSize(14, 14);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Lamp::setVbColor(int bgr) {
  if (color_ == bgr) return;
  color_ = bgr;
  update();
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal d = std::min(width(), height()) - 2;
  const QRectF r((width() - d) / 2, (height() - d) / 2, d, d);
  QRadialGradient g(r.center() - QPointF(d / 5, d / 5), d * 0.7);
  const QColor c = FromVbColor(color_);
  g.setColorAt(0, c.lighter(160));
  g.setColorAt(1, c);
  p.setBrush(g);
  p.setPen(QPen(c.darker(170), 1));
  p.drawEllipse(r);
}

ProgressStrip::ProgressStrip(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("bar"));
  setFrameShape(QFrame::StyledPanel);
  setFixedHeight(12);
  setMinimumWidth(120);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Base));
  setPalette(pal);
  fill_ = new QWidget(this);
  fill_->setObjectName(QStringLiteral("progress"));
  fill_->setAutoFillBackground(true);
  QPalette fp = fill_->palette();
  fp.setColor(QPalette::Window, QColor(0x2f, 0x6f, 0xc8));
  fill_->setPalette(fp);
  fill_->setGeometry(0, 0, 0, height());
}

void ProgressStrip::setProgress(int done, int total) {
  done_ = done;
  total_ = total;
  const int w = (total > 0 && done > 0) ? std::min(width(), done * width() / total) : 0;
  fill_->setGeometry(0, 0, w, height());
  fill_->setVisible(w > 0);
}

int ProgressStrip::fillWidth() const { return fill_->isVisible() ? fill_->width() : 0; }

void ProgressStrip::resizeEvent(QResizeEvent*) { setProgress(done_, total_); }

void CaptionList::apply(const std::function<QString(int)>& text) const {
  for (const auto& [widget, id] : items_) {
    if (!widget) continue;
    const QString t = text(id);
    if (auto* box = qobject_cast<QGroupBox*>(widget)) box->setTitle(t);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(t);
    else if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(t);
    else if (auto* list = qobject_cast<QComboBox*>(widget)) list->setPlaceholderText(t);
  }
}

} // namespace pv
