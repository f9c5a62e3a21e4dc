#pragma once
// Small widgets of the communication window: the busy lamp and the
// progress bar made of a fixed background and a growing fill.
#include <QFrame>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

namespace pv {

// Colours as the program states them: 255 red, 65280 green, 65535 yellow
// (blue-green-red order).
QColor FromVbColor(int bgr);
constexpr int kRed = 255, kGreen = 65280, kYellow = 65535;

class Lamp : public QWidget {
  Q_OBJECT
public:
  explicit Lamp(QWidget* parent = nullptr);
  void setVbColor(int bgr);
  int vbColor() const { return color_; }
  QSize sizeHint() const override { return {18, 18}; }

protected:
  void paintEvent(QPaintEvent*) override;

private:
  int color_ = kGreen;
};

class ProgressStrip : public QFrame {
  Q_OBJECT
public:
  explicit ProgressStrip(QWidget* parent = nullptr);
  // Fill width = done * (background width / total); 0 empties it.
  void setProgress(int done, int total);
  int fillWidth() const;
  QWidget* fill() const { return fill_; }

protected:
  void resizeEvent(QResizeEvent*) override;

private:
  QWidget* fill_;
  int done_ = 0, total_ = 0;
};

// Controls whose caption is a string-table text, captioned again on every
// language change: a label's or button's text, a frame's title, a list's
// prompt. text(id) looks the id up in the current language.
class CaptionList {
public:
  template <typename W>
  W* add(W* widget, int id) {
    items_.emplace_back(widget, id);
    return widget;
  }
  void apply(const std::function<QString(int)>& text) const;

private:
  std::vector<std::pair<QPointer<QWidget>, int>> items_;
};

} // namespace pv
