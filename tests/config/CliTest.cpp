// planovix-cli in-process against the simulator: results and exit codes.
#include "CliCore.h"
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"

#include <QFile>
#include <cstring>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {

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

TEST(Cli, IdentifyAndCells) {
  Cli c("KRV2311C");
  ASSERT_EQ(c.run({"--port", "/dev/sim", "--json", "identify"}), 0) << c.err.toStdString();
  const QJsonObject id = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(id["model"].toString(), "KRV2311C");
  EXPECT_EQ(id["device_code"].toInt(), 12);
  EXPECT_EQ(id["variant"].toInt(), 6);
  EXPECT_TRUE(id.contains("caption"));

  ASSERT_EQ(c.run({"cells", "0", "20", "4"}), 0);
  const QJsonObject cells = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(cells["first"].toInt(), 20);
  ASSERT_EQ(cells["cells"].toArray().size(), 4);
  EXPECT_EQ(cells["cells"].toArray()[1].toInt(), c.unit.cell(0, 21));
}

TEST(Cli, UsageErrorsTouchNoUnit) {
  Cli c;
  EXPECT_EQ(c.run({}), 2);
  EXPECT_EQ(c.run({"frobnicate"}), 2);
  EXPECT_EQ(c.run({"--bogus", "identify"}), 2);
  EXPECT_EQ(c.run({"cells", "0", "250", "10"}), 2);
  EXPECT_EQ(c.run({"cells", "0", "x", "1"}), 2);
  EXPECT_EQ(c.run({"write-config", c.file("missing.DST")}), 2);
  QFile shortFile(c.file("short.DST"));
  shortFile.open(QIODevice::WriteOnly);
  shortFile.write(QByteArray(100, '\0'));
  shortFile.close();
  EXPECT_EQ(c.run({"write-config", c.file("short.DST")}), 2);
  EXPECT_TRUE(c.unit.transcript().isEmpty());
  EXPECT_EQ(c.run({"--help"}), 0);
  EXPECT_TRUE(c.out.contains("Exit codes"));
}

TEST(Cli, ReadConfigThenWriteConfigRestoresTheCells) {
  Cli c;
  ASSERT_EQ(c.run({"read-config", c.file("unit.DST")}), 0) << c.err.toStdString();
  EXPECT_EQ(QFile(c.file("unit.DST")).size(), 292);
  const sim::Bank before = c.unit.bank(0);
  c.unit.setCell(0, 20, 0x00);
  c.unit.setCell(0, 22, 0x10);
  c.unit.setCell(0, 9, 0x0A);
  ASSERT_EQ(c.run({"write-config", c.file("unit.DST")}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);

  ASSERT_EQ(c.run({"--json", "show-config", c.file("unit.DST")}), 0);
  const QJsonObject shown = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(shown["variant"].toInt(), 2);
  EXPECT_EQ(shown["channels"].toArray().size(), 2);
}

TEST(Cli, QuestionsNeedYes) {
  Cli c;
  ASSERT_EQ(c.run({"read-config", c.file("unit.DST")}), 0);
  QFile f(c.file("unit.DST"));
  f.open(QIODevice::ReadWrite);
  QByteArray r = f.readAll();
  const double wide = 2000;  // above the row, still fits its word
  std::memcpy(r.data() + 14, &wide, 8);
  f.seek(0);
  f.write(r);
  f.close();
  const sim::Bank before = c.unit.bank(0);
  EXPECT_EQ(c.run({"write-config", c.file("unit.DST")}), 3);
  EXPECT_TRUE(c.err.contains("exceeds limits"));
  EXPECT_EQ(c.unit.bank(0), before);
  EXPECT_EQ(c.run({"--yes", "write-config", c.file("unit.DST")}), 0) << c.err.toStdString();
  EXPECT_NE(c.unit.bank(0), before);

  // A file for another unit asks the device question.
  Cli other("KRV2212B");
  QFile::copy(c.file("unit.DST"), other.file("a.DST"));
  EXPECT_EQ(other.run({"write-config", other.file("a.DST")}), 3);
  EXPECT_TRUE(other.err.contains("File not compatible with the device connected"));
}

TEST(Cli, DeviceFailuresExitOne) {
  Cli silent;
  silent.unit.faults().dropAnswers = 100000;
  EXPECT_EQ(silent.run({"identify"}), 1);
  EXPECT_EQ(silent.run({"read-config", silent.file("x.DST")}), 1);
  EXPECT_FALSE(QFile::exists(silent.file("x.DST")));

  Cli missing;
  missing.port.failNextOpen(OpenError::Missing);
  EXPECT_EQ(missing.run({"identify"}), 1);

  Cli pulled;
  pulled.unit.faults().hangUpAfter = 20;
  EXPECT_EQ(pulled.run({"read-config", pulled.file("x.DST")}), 1);

  Cli eleven;
  DeviceIdentity id = eleven.unit.identity();
  id.deviceCode = 11;
  eleven.unit.setIdentity(id);
  EXPECT_EQ(eleven.run({"read-config", eleven.file("x.DST")}), 3);
}

} // namespace
} // namespace pv
