#pragma once
// planovix-cli program IN.DST --ports "COM 1,COM 2,...": gang programming.
// Every port is served at once; each unit is identified, checked, backed
// up, written and read back as the single program does. One line per unit
// as it ends, the summary at the end, and with --log a CSV line per unit.
//
// Exit codes as the single program: 0 every unit ok (or none came); 1 a
// unit failed; 2 usage or bad
// input; 3 none failed but one was refused.
#include <QStringList>
#include <QTextStream>

namespace pv {

class TerminationSignals;
// What the tool's common options set for the gang.
struct CliGlobals {
  int retries = 2;         // Retry answers to Retry/Cancel before Cancel
  QString label;           // --label
  TerminationSignals* stops = nullptr;
};

// True when args carry --ports (the program command's gang form).
bool IsGangInvocation(const QStringList& args);

int RunGangCli(const QStringList& args, QTextStream& out, QTextStream& err, const CliGlobals& globals);

} // namespace pv
