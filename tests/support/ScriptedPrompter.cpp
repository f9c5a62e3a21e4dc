#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>

namespace pv::test {

Answer ScriptedPrompter::ask(const QString& title, const QString& text, Buttons buttons, Icon icon) {
  asked_.push_back({title, text, buttons, icon});
  if (answers_.empty()) {
    if (default_) return *default_;
    ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  }
  Answer a = answers_.front();
  answers_.pop_front();
  return a;
}

std::optional<QString> ScriptedPrompter::askText(const QString& title, const QString& prompt,
                                                 const QString&) {
  asked_.push_back({title, prompt, Buttons::OkCancel, Icon::Question});
  if (texts_.empty()) {
    ADD_FAILURE() << "unexpected text prompt: " << prompt.toStdString();
    return std::nullopt;
  }
  const QString t = texts_.front().value_or(QString());
  const bool cancelled = !texts_.front().has_value();
  texts_.pop_front();
  if (cancelled) return std::nullopt;
  return t;
}

QString ScriptedPrompter::openFileName(const QString& title, const QString&, const QStringList&) {
  asked_.push_back({title, QStringLiteral("<open file>"), Buttons::OkCancel, Icon::None});
  if (files_.empty()) {
    ADD_FAILURE() << "unexpected open dialog";
    return {};
  }
  QString f = files_.front();
  files_.pop_front();
  return f;
}

QString ScriptedPrompter::saveFileName(const QString& title, const QString&, const QStringList&) {
  asked_.push_back({title, QStringLiteral("<save file>"), Buttons::OkCancel, Icon::None});
  if (files_.empty()) {
    ADD_FAILURE() << "unexpected save dialog";
    return {};
  }
  QString f = files_.front();
  files_.pop_front();
  return f;
}

} // namespace pv::test
