// The bank drawing the switch window and the commissioning sheet share:
// which lever stands in "On" for which bit, read from the pixels.
#include "switches/DipPainting.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace pv {
namespace {

// One design unit per pixel: the boxes sit where the window's geometry says.
QImage Paint(int switches, uint8_t value) {
  const QSizeF size = DipBankDesignSize();
  QImage img(size.toSize(), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  PaintDipBank(p, QStringLiteral("SW1"), switches, value, QFont());
  return img;
}

bool Dark(const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) < 80; }

// Centre of switch k's (1-based) On box and Off box.
int BoxX(int k) { return 120 + 300 * (k - 1) + 60 + 67; }
constexpr int kOnY = 480 + 67, kOffY = 660 + 67;

TEST(DipPainting, SwitchOneIsTheLeastSignificantBitAndOnIsUp) {
  // 0x05: switches 1 and 3 on, the others off.
  const QImage img = Paint(8, 0x05);
  const bool on[8] = {true, false, true, false, false, false, false, false};
  for (int k = 1; k <= 8; ++k) {
    EXPECT_EQ(Dark(img, BoxX(k), kOnY), on[k - 1]) << "switch " << k;
    EXPECT_EQ(Dark(img, BoxX(k), kOffY), !on[k - 1]) << "switch " << k;
  }
}

TEST(DipPainting, AFourSwitchBankDrawsNoFifthSwitch) {
  const QImage img = Paint(4, 0xFF);
  for (int k = 1; k <= 4; ++k) EXPECT_TRUE(Dark(img, BoxX(k), kOnY)) << "switch " << k;
  // Past the "On"/"Off" captions, where switch 6 would be, only the
  // bank's light background: no lever, no housing.
  for (int y : {kOnY, kOffY}) {
    const QColor c = img.pixelColor(BoxX(6), y);
    EXPECT_GT(c.lightness(), 200) << y;
  }
}

} // namespace
} // namespace pv
