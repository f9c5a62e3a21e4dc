#pragma once
// planovix-cli run in-process against a simulated unit on an in-memory port.
#include "CliCore.h"
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/FileBytes.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <cstring>
#include <functional>

namespace pv::test {

// A double of a .DST file, in place.
inline void PutDouble(QByteArray& r, int at, double v) { std::memcpy(r.data() + at, &v, 8); }

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
  // The unit's configuration as read-config saves it ("base.DST"), edited,
  // under a new name.
  QString editedUnitFile(const char* name, const std::function<void(QByteArray&)>& edit) {
    EXPECT_EQ(run({"read-config", file("base.DST")}), 0) << err.toStdString();
    QByteArray r = Read(file("base.DST"));
    edit(r);
    Write(file(name), r);
    return file(name);
  }
  // A file for the unit with two fields changed, so that a write has work:
  // channel A's input upper value 500 (cells 20, 21), its offset 0.5 (cell 7).
  QString editedFile() {
    return editedUnitFile("edited.DST", [](QByteArray& r) {
      PutDouble(r, 14, 500);
      PutDouble(r, 88, 0.5);
    });
  }
};

} // namespace pv::test
