#include "kernel/ui/Icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>

namespace pv {
namespace {

const QColor kInk(0x26, 0x32, 0x38);
const QColor kBlue(0x1f, 0x6f, 0xc8);
const QColor kGreenC(0x2e, 0x9d, 0x4f);
const QColor kRedC(0xd2, 0x3b, 0x2f);
const QColor kCase(0xe8, 0xec, 0xef);

// A DIN-rail unit seen from the front, used by read and write.
// A path through the points, closed back to the first when asked.
QPainterPath Path(std::initializer_list<QPointF> points, bool closed) {
  QPainterPath path;
  for (const QPointF& at : points) {
    if (path.elementCount() == 0)
      path.moveTo(at);
    else
      path.lineTo(at);
  }
  if (closed) path.closeSubpath();
  return path;
}

void DrawUnit(QPainter& p, QRectF r) {
  p.setPen(QPen(kInk, 1.2));
  p.setBrush(kCase);
  p.drawRoundedRect(r, 1.5, 1.5);
  p.setBrush(kGreenC);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(r.center().x(), r.top() + r.height() * 0.25), 1.4, 1.4);
  p.setPen(QPen(kInk, 1));
  for (int i = 0; i < 3; ++i) {
    const qreal y = r.top() + r.height() * (0.5 + 0.15 * i);
    p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
  }
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, QColor c) {
  p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(from, to);
  QLineF l(to, from);
  QLineF a = l;
  a.setLength(6);
  a.setAngle(l.angle() + 35);
  QLineF b = l;
  b.setLength(6);
  b.setAngle(l.angle() - 35);
  p.drawLine(a);
  p.drawLine(b);
}

// Everything is drawn on a 32 x 32 canvas and scaled.
void Paint(QPainter& p, Picture pic) {
  p.setRenderHint(QPainter::Antialiasing);
  switch (pic) {
    case Picture::Write:
      DrawUnit(p, {17, 5, 11, 22});
      DrawArrow(p, {2, 16}, {15, 16}, kRedC);
      break;
    case Picture::Read:
      DrawUnit(p, {4, 5, 11, 22});
      DrawArrow(p, {17, 16}, {30, 16}, kBlue);
      break;
    case Picture::Start: {
      p.setPen(QPen(kGreenC.darker(130), 1.2));
      p.setBrush(kGreenC);
      QPolygonF tri({QPointF(9, 5), QPointF(27, 16), QPointF(9, 27)});
      p.drawPolygon(tri);
      break;
    }
    case Picture::Stop:
      p.setPen(QPen(kRedC.darker(130), 1.2));
      p.setBrush(kRedC);
      p.drawRoundedRect(QRectF(7, 7, 18, 18), 2, 2);
      break;
    case Picture::ViewConfig: {
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(Qt::white);
      p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
      for (int i = 0; i < 3; ++i) {
        const qreal y = 10 + 6 * i;
        p.setPen(QPen(kInk, 1.6));
        p.drawLine(QPointF(8, y), QPointF(24, y));
        p.setBrush(kBlue);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(i == 1 ? 19 : 12, y), 2.6, 2.6);
      }
      break;
    }
    case Picture::ViewMeasure: {
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(Qt::white);
      QPainterPath arc;
      arc.moveTo(4, 24);
      arc.arcTo(QRectF(4, 6, 24, 36), 180, -180);
      arc.closeSubpath();
      p.drawPath(arc);
      p.setPen(QPen(kRedC, 2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(16, 24), QPointF(23, 12));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      p.drawEllipse(QPointF(16, 24), 2.2, 2.2);
      break;
    }
    case Picture::ViewSwitch: {
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(kRedC);
      p.drawRoundedRect(QRectF(3, 8, 26, 16), 1.5, 1.5);
      for (int i = 0; i < 4; ++i) {
        const qreal x = 6 + 5.5 * i;
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(x, 11, 4, 10));
        p.setBrush(kInk);
        p.drawRect(QRectF(x, (i % 2) ? 11 : 16, 4, 5));
      }
      break;
    }
    case Picture::Language: {
      p.setPen(QPen(kBlue, 1.6));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(4, 4, 24, 24));
      p.drawEllipse(QRectF(11, 4, 10, 24));
      p.drawLine(QPointF(4, 16), QPointF(28, 16));
      p.drawLine(QPointF(6.5, 10), QPointF(25.5, 10));
      p.drawLine(QPointF(6.5, 22), QPointF(25.5, 22));
      break;
    }
    case Picture::FlagItaly: {
      const QRectF r(2, 7, 28, 18);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x00, 0x92, 0x46));
      p.drawRect(QRectF(r.left(), r.top(), r.width() / 3, r.height()));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(r.left() + r.width() / 3, r.top(), r.width() / 3, r.height()));
      p.setBrush(QColor(0xce, 0x2b, 0x37));
      p.drawRect(QRectF(r.left() + 2 * r.width() / 3, r.top(), r.width() / 3, r.height()));
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(0x88, 0x88, 0x88), 0.8));
      p.drawRect(r);
      break;
    }
    case Picture::FlagEnglish: {
      const QRectF r(2, 7, 28, 18);
      p.save();
      p.setClipRect(r);
      p.fillRect(r, QColor(0x01, 0x21, 0x69));
      p.setPen(QPen(Qt::white, 4.5));
      p.drawLine(r.topLeft(), r.bottomRight());
      p.drawLine(r.bottomLeft(), r.topRight());
      p.setPen(QPen(QColor(0xc8, 0x10, 0x2e), 1.5));
      p.drawLine(r.topLeft(), r.bottomRight());
      p.drawLine(r.bottomLeft(), r.topRight());
      p.setPen(QPen(Qt::white, 6));
      p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
      p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
      p.setPen(QPen(QColor(0xc8, 0x10, 0x2e), 3.5));
      p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
      p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
      p.restore();
      break;
    }
    case Picture::Logo: {
      // A rail-mounted unit with a signal trace: the product's mark.
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawRoundedRect(QRectF(2, 2, 28, 28), 6, 6);
      p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(Qt::NoBrush);
      p.drawPath(Path({{6, 20}, {11, 20}, {14, 10}, {18, 23}, {21, 14}, {26, 14}}, false));
      break;
    }
    case Picture::Document: {
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(Qt::white);
      p.drawPath(Path({{7, 3}, {20, 3}, {26, 9}, {26, 29}, {7, 29}}, true));
      p.drawLine(QPointF(20, 3), QPointF(20, 9));
      p.drawLine(QPointF(20, 9), QPointF(26, 9));
      p.setPen(Qt::NoPen);
      p.setBrush(kRedC);
      p.drawRect(QRectF(4, 15, 18, 8));
      p.setPen(Qt::white);
      QFont f;
      f.setPixelSize(7);
      f.setBold(true);
      p.setFont(f);
      p.drawText(QRectF(4, 15, 18, 8), Qt::AlignCenter, QStringLiteral("PDF"));
      break;
    }
  }
}

class VectorIconEngine final : public QIconEngine {
public:
  explicit VectorIconEngine(Picture p) : pic_(p) {}
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    painter->save();
    painter->translate(rect.topLeft());
    painter->scale(rect.width() / 32.0, rect.height() / 32.0);
    if (mode == QIcon::Disabled) painter->setOpacity(0.35);
    Paint(*painter, pic_);
    painter->restore();
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pm;
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    QPixmap pm(size * scale);
    pm.fill(Qt::transparent);
    {
      QPainter p(&pm);
      paint(&p, QRect(QPoint(0, 0), size * scale), mode, state);
    }
    pm.setDevicePixelRatio(scale);
    return pm;
  }
  QIconEngine* clone() const override { return new VectorIconEngine(pic_); }

private:
  Picture pic_;
};

} // namespace

QIcon MakeIcon(Picture picture) { return QIcon(new VectorIconEngine(picture)); }

} // namespace pv
