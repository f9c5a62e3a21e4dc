#pragma once
// Every question or message the program puts to the user goes through this
// interface: the windows answer with dialogs, the command-line tool with its
// flags and standard streams, tests with scripted answers.
#include <QString>
#include <QStringList>
#include <optional>

namespace pv {

enum class Buttons { Ok, OkCancel, RetryCancel, AbortRetryIgnore, YesNo };
enum class Icon { None, Information, Question, Warning, Critical };
enum class Answer { Ok, Cancel, Retry, Abort, Ignore, Yes, No };

class Prompter {
public:
  virtual ~Prompter() = default;
  // A message box. The title is the product title in every caller.
  virtual Answer ask(const QString& title, const QString& text, Buttons buttons, Icon icon) = 0;
  // A text prompt with a default; nothing when the user cancels.
  virtual std::optional<QString> askText(const QString& title, const QString& prompt,
                                         const QString& defaultText) = 0;
  // File dialogs; an empty name means the user cancelled.
  virtual QString openFileName(const QString& title, const QString& dir,
                               const QStringList& filters) = 0;
  virtual QString saveFileName(const QString& title, const QString& dir,
                               const QStringList& filters) = 0;
};

} // namespace pv
