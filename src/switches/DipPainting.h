#pragma once
// How one bank of DIP switches is drawn, shared by the switch window and the
// commissioning sheet so that both show the same picture: switch 1 leftmost
// (the byte's least significant bit), the lever up in "On" or down in "Off",
// the bank caption at the top left, "On"/"Off" at the right.
//
// Geometry is in the window's design units (1/15 of a pixel at normal size):
// switches 300 apart from x = 120, a body 255 x 435 at y = 420, the On box at
// y = 480 and the Off box at y = 660. The caller scales the painter.
#include <QSizeF>
#include <QString>
#include <cstdint>

class QFont;
class QPainter;

namespace pv {

// The area one bank takes, in design units (the same for 8 and 4 switches,
// so that banks drawn side by side line up).
QSizeF DipBankDesignSize();

// Paints a bank at the painter's origin. base supplies the font family.
void PaintDipBank(QPainter& p, const QString& caption, int switches, uint8_t value, const QFont& base);

} // namespace pv
