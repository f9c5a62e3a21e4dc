#pragma once
// Questions and messages as Qt dialogs.
#include "kernel/Prompter.h"

class QWidget;

namespace pv {

class QtPrompter final : public Prompter {
public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  Answer ask(const QString& title, const QString& text, Buttons buttons, Icon icon) override;
  std::optional<QString> askText(const QString& title, const QString& prompt,
                                 const QString& defaultText) override;
  QString openFileName(const QString& title, const QString& dir, const QStringList& filters) override;
  QString saveFileName(const QString& title, const QString& dir, const QStringList& filters) override;

private:
  QWidget* parent_;
};

} // namespace pv
