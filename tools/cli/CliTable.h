#pragma once
// planovix-cli's commands as one table: a row per command with its name,
// synopsis, one-line summary, long help, options (each with the kind of
// value it takes) and what it opens, and the function that runs it. The
// help, a command's --help and the manual page are all made from the rows;
// adding a command is a row here and a function in its family's file.
#include "CliBase.h"

#include <QString>
#include <vector>

namespace pv {

// What a command opens, for the help and for the options it takes: the
// unit's commands take --port, --retries and --label, the bench's the
// instruments' ports.
enum CliOpens : unsigned { kOpensNothing = 0, kOpensUnit = 1, kOpensBench = 2, kOpensStore = 4 };

struct CliCommand {
  const char* name;      // "cells"
  const char* section;   // the help's heading it stands under
  const char* synopsis;  // "cells BANK FIRST COUNT", options left to the list
  const char* summary;   // one line
  const char* help;      // paragraphs separated by "\n", wrapped when shown
  unsigned opens;        // CliOpens bits
  std::vector<CliOption> options;  // every option it takes, shared ones too
  int (*run)(CliRun&);
  bool paints = false;   // draws a page: needs a GUI application (no display)
};

const std::vector<CliCommand>& CliCommands();
// Nothing for a name no row has.
const CliCommand* FindCliCommand(const QString& name);
// The command word of a command line: the first word that is neither an
// option nor an option's value.
QString CliCommandWord(const QStringList& args);
// Every option any command takes, once each.
std::vector<CliOption> AllCliOptions();

// The whole help (--help) and one command's part (COMMAND --help).
QString CliHelpText();
QString CliCommandHelp(const CliCommand& command);
// The manual page, as troff source for man(1).
QString CliManPage();

} // namespace pv
