// planovix-cli entry point: a real serial port and the steady clock.
#include "CliCore.h"
#include "app/TerminationSignals.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>
#include <cstdio>

int main(int argc, char** argv) {
  // The sheet paints text, which needs a GUI application; a command-line
  // tool never shows a window, so it needs no display either.
  std::unique_ptr<QCoreApplication> app;
  QStringList raw;
  for (int i = 1; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
  const pv::CliCommand* command = pv::FindCliCommand(pv::CliCommandWord(raw));
  if (command && command->paints) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  QStringList args = app->arguments();
  args.removeFirst();
  pv::QtSerialPort port;
  pv::SteadyClock clock;
  QTextStream out(stdout), err(stderr);
  // Ctrl+C, SIGTERM and SIGHUP all end a run the same careful way.
  pv::TerminationSignals stops;
  const int code = pv::RunCli(args, port, clock, out, err, &stops);
  out.flush();
  err.flush();
  return code;
}
