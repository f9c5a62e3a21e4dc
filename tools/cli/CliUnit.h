#pragma once
// The unit as a command reaches it: one session (the core's state, link,
// transport and editor, questions answered from --yes and --retries) and
// the one place its port is opened for a command, the command run as one
// exchange, and the unit left idle whatever the end.
#include "CliProgress.h"
#include "CliBase.h"

#include "config/ConfigDevice.h"
#include "config/EditorModel.h"
#include "config/RangeTables.h"
#include "kernel/AppState.h"
#include "kernel/Feedback.h"
#include "kernel/Prompter.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/Transport.h"

#include <functional>

namespace pv {

// Answers questions from the flags; tells the user on standard error.
class CliPrompter final : public Prompter {
public:
  CliPrompter(bool yes, int retries, QTextStream& err, CliProgress& progress)
      : yes_(yes), retries_(retries), err_(err), progress_(progress) {}
  // How many failures were reported on standard error: a failure nobody
  // explained gets a line of its own at the end. Questions answered by the
  // flags do not count.
  int said = 0;
  // A routine ended (or a frame arrived): the next failure is a new one.
  void settled() { streak_ = 0; }
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon icon) override;
  // The only text the core asks for is the unit's label: --label gives it.
  std::optional<QString> askText(const QString&, const QString& prompt, const QString& def) override;
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }

private:
  bool yes_;
  int retries_;
  int streak_ = 0;
  QTextStream& err_;
  CliProgress& progress_;
};

// The end of each routine (the busy lamp going green) ends a failure streak.
class CliFeedback final : public Feedback {
public:
  CliFeedback(CliPrompter& prompter, CliProgress& progress) : prompter_(prompter), progress_(progress) {}
  void setBusy(bool busy) override {
    if (busy) return;
    prompter_.settled();
    progress_.clear();
  }
  // The link counts the cells of a read or a write; 0 of 0 ends it.
  void setProgress(int done, int total) override {
    if (total <= 0) {
      progress_.clear();
      return;
    }
    progress_.step(progress::Cells, done, total);
  }

private:
  CliPrompter& prompter_;
  CliProgress& progress_;
};

// One command's session with the unit, in English.
struct CliUnit {
  AppState state;
  RangeTables tables;
  // Where a read or a write is, on a terminal only.
  CliProgress progress;
  CliPrompter prompter;
  CliFeedback feedback;
  // One exchange at a time here too: each command runs as one on the link.
  DeviceLink link;
  Transport transport;
  DeviceCommands commands;
  EditorModel model;
  // recordCommand: what the record store's entries of this run are made by.
  CliUnit(CliRun& run, const QString& recordCommand);
};

// Opens the unit's port (--port) and runs body as one exchange; a signal
// stops it as the routines define (a read at once, a write in hand after
// its read-back). Then the unit is left out of programming mode and not
// streaming, and a failure nobody explained is said. explained: exit codes
// the command has explained itself.
int RunOnUnit(CliRun& run, CliUnit& unit, const std::function<int()>& body,
              std::initializer_list<int> explained = {});

// Exit code of a configuration routine's result.
int ExitFor(ConfigResult r);

} // namespace pv
