#pragma once
// One bank of DIP switches drawn as on the unit: switch 1 leftmost (the
// byte's least significant bit), a lever up in "On" or down in "Off".
// Geometry follows the window's design units (1/15 of a pixel), scaled up
// so the bank reads well; painting is vector, sharp at any density.
#include <QWidget>

namespace pv {

class DipBank final : public QWidget {
  Q_OBJECT
public:
  DipBank(const QString& caption, int switches, QWidget* parent = nullptr);

  void setByte(uint8_t value);
  uint8_t byte() const { return value_; }
  void setCaption(const QString& caption);
  QString caption() const { return caption_; }
  int switches() const { return switches_; }
  // Whether switch i (0-based, switch 1 is 0) shows its On box.
  bool isOn(int i) const { return i < switches_ && (value_ >> i) & 1; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

  // Design units per logical pixel at this size.
  static constexpr double kScale = 15.0 / 1.6;

protected:
  void paintEvent(QPaintEvent*) override;

private:
  QString caption_;
  int switches_;
  uint8_t value_ = 0;
};

} // namespace pv
