#pragma once
// planovix-cli run in-process against a simulated unit on an in-memory port.
#include "CliCore.h"
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"

#include <QTemporaryDir>
#include <QTextStream>

namespace pv::test {

struct Cli {
  FakeClock clock;
  MemorySerialPort port;
  sim::DeviceSimulator unit;
  sim::SimulatorLink link{unit, port, &clock};
  QString out, err;
  QTemporaryDir dir;
  explicit Cli(const char* model = "KRV2212A") { unit.setModel(QString::fromLatin1(model)); }
  int run(QStringList args) {
    out.clear();
    err.clear();
    QTextStream o(&out), e(&err);
    return RunCli(args, port, clock, o, e);
  }
  QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

} // namespace pv::test
