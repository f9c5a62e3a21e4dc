#pragma once
// planovix-cli: the configuration core and the factory bench from the
// command line, for scripts and batch programming. RunCli is the whole tool
// minus the real port and clock, so tests can run it in-process against the
// simulators. The commands are the rows of CliTable.h; exit codes and the
// shared pieces are in CliBase.h.
#include "CliBase.h"
#include "CliTable.h"

namespace pv {

// args excludes the program name. The command word chooses the row; its
// options are parsed once, then its function runs.
int RunCli(const QStringList& args, CliIo& io);

// The same with manual readings from standard input and the real bench.
// Results go to out, messages to err. stops: Ctrl+C, SIGTERM and SIGHUP as
// they arrive (null: none); a run they end exits 128 + the signal's number.
int RunCli(const QStringList& args, SerialPort& port, Clock& clock, QTextStream& out, QTextStream& err,
           TerminationSignals* stops = nullptr);

} // namespace pv
