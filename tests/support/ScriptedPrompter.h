#pragma once
// A user who answers from a script. A question nobody scripted fails the test.
#include "kernel/Prompter.h"

#include <QString>
#include <deque>
#include <vector>

namespace pv::test {

struct Asked {
  QString title, text;
  Buttons buttons;
  Icon icon;
};

class ScriptedPrompter : public Prompter {
public:
  // Queue the answer to the next message box.
  void expect(Answer a) { answers_.push_back(a); }
  void expectText(std::optional<QString> t) { texts_.push_back(std::move(t)); }
  void expectFile(QString name) { files_.push_back(std::move(name)); }
  // When set, unscripted questions get this answer instead of failing.
  void setDefault(std::optional<Answer> a) { default_ = a; }

  Answer ask(const QString& title, const QString& text, Buttons buttons, Icon icon) override;
  std::optional<QString> askText(const QString& title, const QString& prompt,
                                 const QString& defaultText) override;
  QString openFileName(const QString& title, const QString& dir, const QStringList& filters) override;
  QString saveFileName(const QString& title, const QString& dir, const QStringList& filters) override;

  const std::vector<Asked>& asked() const { return asked_; }
  bool allAnswered() const { return answers_.empty() && texts_.empty() && files_.empty(); }

private:
  std::deque<Answer> answers_;
  std::deque<std::optional<QString>> texts_;
  std::deque<QString> files_;
  std::optional<Answer> default_;
  std::vector<Asked> asked_;
};

} // namespace pv::test
