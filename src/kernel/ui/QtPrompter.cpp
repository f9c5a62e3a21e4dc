#include "kernel/ui/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace pv {

Answer QtPrompter::ask(const QString& title, const QString& text, Buttons buttons, Icon icon) {
  QMessageBox box(parent_ ? parent_ : QApplication::activeWindow());
  box.setWindowTitle(title);
  box.setText(text);
  switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    case Buttons::AbortRetryIgnore:
      box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
      break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
  }
  // A busy pointer must not hide the question.
  const bool overridden = QApplication::overrideCursor() != nullptr;
  if (overridden) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int r = box.exec();
  if (overridden) QApplication::restoreOverrideCursor();
  switch (r) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Ignore: return Answer::Ignore;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  }
}

std::optional<QString> QtPrompter::askText(const QString& title, const QString& prompt,
                                           const QString& defaultText) {
  bool ok = false;
  QString t = QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, defaultText, &ok);
  if (!ok) return std::nullopt;
  return t;
}

QString QtPrompter::openFileName(const QString& title, const QString& dir, const QStringList& filters) {
  return QFileDialog::getOpenFileName(parent_, title, dir, filters.join(QStringLiteral(";;")));
}

QString QtPrompter::saveFileName(const QString& title, const QString& dir, const QStringList& filters) {
  return QFileDialog::getSaveFileName(parent_, title, dir, filters.join(QStringLiteral(";;")));
}

} // namespace pv
