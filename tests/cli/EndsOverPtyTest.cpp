// Every way a run of planovix-cli can end, with the real executables on a
// pseudo-terminal: Ctrl+C, SIGTERM and SIGHUP at points of a write, an
// EEPROM write, a restore and a measurement; kill -9 and the next run; two
// tools on one device through two names. Afterwards the unit's transcript
// must show it left idle: every "PR" followed by "$FPxx", every "MI" by "SM".
#include "CliRig.h"
#include "support/DevsimUnit.h"
#include "support/EditedConfig.h"
#include "support/TempRecords.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace pv {
namespace {

// One simulated unit with a transcript of what it received.
struct Unit : test::DevsimUnit {
  explicit Unit(const QStringList& extra = {})
      : DevsimUnit(QStringList{QStringLiteral("--model"), QStringLiteral("KRV2212A"), QStringLiteral("--serial"),
                               QStringLiteral("7")} +
                   extra) {}
};

struct Outcome {
  QString out, err;
  int code = -1;
};

using Process = test::ChildProcess;

Outcome Cli(const QStringList& args, const std::function<void(Process&)>& meanwhile = {}) {
  Process cli(QStringLiteral(PLANOVIX_CLI), args);
  if (meanwhile) meanwhile(cli);
  Outcome r;
  if (!cli.p.waitForFinished(120000)) return r;
  r.code = cli.p.exitStatus() == QProcess::NormalExit ? cli.p.exitCode() : -1;
  r.out = QString::fromLocal8Bit(cli.p.readAllStandardOutput());
  r.err = cli.err + QString::fromLocal8Bit(cli.p.readAllStandardError());
  return r;
}

// A configuration file with one field the unit does not hold yet.
QString EditedFile(const Unit& u) {
  const QString path = u.home.filePath(QStringLiteral("edited.DST"));
  Outcome r = Cli({QStringLiteral("--port"), u.link, QStringLiteral("read-config"), path});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(test::RaiseUpperLimit(path));
  return path;
}

// A unit at line speed, a record store of the test's own and a file that
// changes the unit.
struct WriteRig {
  test::TempRecords records;
  Unit u{{QStringLiteral("--baud-timing")}};
  QString file = u.pty.isEmpty() ? QString() : EditedFile(u);
  // write-config of the file, sig sent once the unit has received count
  // commands that start with prefix.
  Outcome write(const QString& prefix, int count, int sig) {
    return Cli({QStringLiteral("--port"), u.link, QStringLiteral("--yes"), QStringLiteral("write-config"), file},
               [&](Process& cli) {
                 ASSERT_TRUE(u.waitFor(prefix, count));
                 cli.signal(sig);
               });
  }
};

const std::pair<int, const char*> kSignals[] = {{SIGINT, "Ctrl+C"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};

TEST(EndsOverPty, ASignalDuringTheReadBeforeAWriteWritesNothing) {
  for (const auto& [sig, name] : kSignals) {
    SCOPED_TRACE(name);
    WriteRig w;
    ASSERT_FALSE(w.file.isEmpty());
    // Ten cells into the configuration read.
    const Outcome r = w.write(QStringLiteral("$R"), w.u.count("$R") + 10, sig);
    EXPECT_EQ(r.code, 128 + sig) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("ended by %1").arg(QLatin1String(name)))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("nothing was written"))) << r.err.toStdString();
    EXPECT_EQ(w.u.count("$W"), 0);
    w.u.expectIdle();
  }
}

TEST(EndsOverPty, ASignalDuringAWriteLetsItFinishAndBeReadBack) {
  WriteRig w;
  ASSERT_FALSE(w.file.isEmpty());
  const Outcome r = w.write(QStringLiteral("$W"), 3, SIGTERM);
  EXPECT_EQ(r.code, 128 + SIGTERM) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("it had done all its work"))) << r.err.toStdString();
  // Every cell of the write left, and the unit holds the file now.
  const Outcome check = Cli({QStringLiteral("--port"), w.u.link, QStringLiteral("diff"), w.file, QStringLiteral("device")});
  EXPECT_EQ(check.code, 0) << check.out.toStdString() << check.err.toStdString();
  w.u.expectIdle();
}

TEST(EndsOverPty, TwoSignalsStopAnEepromWriteAtTheNextCellAndSayWhichLeft) {
  test::TempRecords records;
  Unit u({QStringLiteral("--baud-timing")});
  ASSERT_FALSE(u.pty.isEmpty());
  const QString image = u.home.filePath(QStringLiteral("unit.dat"));
  ASSERT_EQ(Cli({QStringLiteral("--port"), u.link, QStringLiteral("eeprom"), QStringLiteral("read"), image}).code, 0);
  const Outcome r = Cli({QStringLiteral("--port"), u.link, QStringLiteral("--yes"), QStringLiteral("eeprom"),
                     QStringLiteral("write"), image},
                    [&](Process& cli) {
                      ASSERT_TRUE(u.waitFor(QStringLiteral("$W"), 20));
                      cli.signal(SIGHUP);
                      // The second once the first has been taken: two at once are one.
                      ASSERT_TRUE(cli.waitErr(QStringLiteral("SIGHUP: stopping")));
                      cli.signal(SIGHUP);
                    });
  EXPECT_EQ(r.code, 128 + SIGHUP) << r.err.toStdString();
  EXPECT_LT(u.count("$W"), 256);
  EXPECT_TRUE(r.err.contains(QStringLiteral("Cells not sent:"))) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("cells were sent and"))) << r.err.toStdString();
  u.expectIdle();
  // The cells it replaced were saved first: the restore puts them back.
  const Outcome back = Cli({QStringLiteral("--port"), u.link, QStringLiteral("--yes"), QStringLiteral("restore"),
                        QStringLiteral("1"), QStringLiteral("--include-calibration")});
  EXPECT_EQ(back.code, 0) << back.err.toStdString();
}

TEST(EndsOverPty, ASignalStopsAMeasurementWithItsSM) {
  for (const auto& [sig, name] : kSignals) {
    SCOPED_TRACE(name);
    Unit u;
    ASSERT_FALSE(u.pty.isEmpty());
    const Outcome r = Cli({QStringLiteral("--port"), u.link, QStringLiteral("measure"), QStringLiteral("100000")},
                      [&](Process& cli) {
                        ASSERT_TRUE(u.waitFor(QStringLiteral("MI")));
                        QThread::msleep(300);  // a few frames in
                        cli.signal(sig);
                      });
    EXPECT_EQ(r.code, 128 + sig) << r.err.toStdString();
    EXPECT_FALSE(r.out.isEmpty());
    ASSERT_TRUE(u.waitFor(QStringLiteral("SM"), 1, 2000));
    u.expectIdle();
  }
}

TEST(EndsOverPty, KilledOutrightTheNextRunTakesTheUnitOutOfProgrammingMode) {
  WriteRig w;
  ASSERT_FALSE(w.file.isEmpty());
  w.write(QStringLiteral("$W"), 5, SIGKILL);
  // The record store holds the entry saved before the write, whole.
  ASSERT_EQ(w.records.entries().size(), 1u);
  EXPECT_TRUE(w.records.entries()[0].record.has_value());
  const Outcome next = Cli({QStringLiteral("--port"), w.u.link, QStringLiteral("restore"), QStringLiteral("last")});
  EXPECT_EQ(next.code, 0) << next.err.toStdString();
  w.u.expectIdle();
}

TEST(EndsOverPty, AFullDiskLeavesTheOldFileAndSaysWhy) {
  Unit u;
  ASSERT_FALSE(u.pty.isEmpty());
  const QString image = u.home.filePath(QStringLiteral("unit.dat"));
  {
    QFile f(image);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old\n");
  }
  // No file may grow past 512 bytes, as on a disk that is full; the memory
  // file needs about a kilobyte. SIGXFSZ ignored, the write fails instead.
  Process cli(QStringLiteral("/bin/sh"),
              {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\""),
               QStringLiteral(PLANOVIX_CLI), QStringLiteral("--port"), u.link, QStringLiteral("eeprom"),
               QStringLiteral("read"), image});
  ASSERT_TRUE(cli.p.waitForFinished(60000));
  const QString err = QString::fromLocal8Bit(cli.p.readAllStandardError());
  EXPECT_EQ(cli.p.exitCode(), 1) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("too large"), Qt::CaseInsensitive)) << err.toStdString();
  QFile f(image);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "old\n");
  EXPECT_EQ(QDir(u.home.path()).entryList({QStringLiteral(".unit.dat.*")}, QDir::Hidden | QDir::Files).size(), 0);
  u.expectIdle();
}

TEST(EndsOverPty, TwoToolsOnOneDeviceThroughTwoNamesAreNotBothLetIn) {
  Unit u;
  ASSERT_FALSE(u.pty.isEmpty());
  Outcome second;
  const Outcome first = Cli({QStringLiteral("--port"), u.link, QStringLiteral("measure"), QStringLiteral("20")},
                        [&](Process&) {
                          ASSERT_TRUE(u.waitFor(QStringLiteral("MI")));
                          // The same device by its own name, not the link's.
                          second = Cli({QStringLiteral("--port"), u.pty, QStringLiteral("identify")});
                        });
  EXPECT_EQ(first.code, 0) << first.err.toStdString();
  EXPECT_EQ(second.code, 1);
  EXPECT_TRUE(second.err.contains(QStringLiteral("cannot open port"))) << second.err.toStdString();
  u.expectIdle();
}

} // namespace
} // namespace pv
