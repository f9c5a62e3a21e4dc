#pragma once
// The language window: Italian or English, applied at once to every window.
#include <QWidget>

namespace pv {

class LanguageWindow final : public QWidget {
  Q_OBJECT
public:
  explicit LanguageWindow(QWidget* parent = nullptr);

signals:
  // 0 Italian, 1 English.
  void languageChosen(int index);
};

} // namespace pv
