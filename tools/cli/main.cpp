// planovix-cli entry point: a real serial port and the steady clock.
#include "CliCore.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments();
  args.removeFirst();
  pv::QtSerialPort port;
  pv::SteadyClock clock;
  QTextStream out(stdout), err(stderr);
  const int code = pv::RunCli(args, port, clock, out, err);
  out.flush();
  err.flush();
  return code;
}
