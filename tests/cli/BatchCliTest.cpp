// planovix-cli program as a technician runs it at the bench: units plugged
// into the programming cable one after the other, each pulled out once the
// terminal has beeped its result.
#include "BatchCli.h"
#include "CliRig.h"
#include "CsvLog.h"
#include "app/TerminationSignals.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

namespace pv {
namespace {

// The programming cable's end: at most one simulated unit answers on the
// port. The technician plugs the next unit once the empty cable has been
// tried twice, and pulls the unit a little after its result line is printed.
// With no unit left, a few more empty looks and Ctrl+C is pressed.
struct Bench {
  FakeClock clock;
  MemorySerialPort port;
  std::deque<std::unique_ptr<sim::DeviceSimulator>> units;
  sim::DeviceSimulator* plugged = nullptr;
  size_t next = 0;
  int pulled = 0, emptyLooks = 0, looksAfterBeep = 0, ctrlC = 0;
  QString out, err;
  QTemporaryDir dir;

  explicit Bench(std::initializer_list<const char*> models) {
    for (const char* m : models) {
      auto unit = std::make_unique<sim::DeviceSimulator>();
      unit->setModel(QString::fromLatin1(m));
      sim::DeviceSimulator* raw = unit.get();
      unit->setSink([this, raw](const QByteArray& b) {
        if (plugged == raw) port.deliver(b);
      });
      units.push_back(std::move(unit));
    }
    port.setPeer([this](const QByteArray& b) { onWrite(b); });
  }
  sim::DeviceSimulator& unit(int i) { return *units[static_cast<size_t>(i)]; }
  int results() const {
    static const QRegularExpression line(QStringLiteral("^#\\d+ "), QRegularExpression::MultilineOption);
    return static_cast<int>(out.count(line));
  }
  void onWrite(const QByteArray& bytes) {
    // A look at the cable asks "$V" once; plugging and pulling happen
    // between looks, before the "SM" that starts one.
    if (bytes.startsWith("$V")) {
      if (!plugged) ++emptyLooks;
      else if (results() > pulled) ++looksAfterBeep;
    }
    if (bytes.startsWith("SM")) {
      // The unit stays in for two more looks after its beep: the
      // technician is not that quick.
      if (plugged && results() > pulled && looksAfterBeep >= 2) {
        plugged = nullptr;
        ++pulled;
        emptyLooks = looksAfterBeep = 0;
      }
      if (!plugged && next < units.size() && emptyLooks >= 2) {
        plugged = units[next++].get();
      } else if (!plugged && next == units.size() && emptyLooks > 4 && !ctrlC) {
        ++ctrlC;
        RequestBatchStop();
      }
    }
    if (plugged) plugged->receive(bytes);
  }
  int run(QStringList args, TerminationSignals* stops = nullptr) {
    out.clear();
    err.clear();
    QTextStream o(&out), e(&err);
    return RunCli(args, port, clock, o, e, stops);
  }
  QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  // A KRV2212A's factory configuration saved by read-config.
  QString factoryFile(sim::Bank* bank = nullptr) {
    test::Cli source("KRV2212A");
    const QString path = file("unit.DST");
    EXPECT_EQ(source.run({"read-config", path}), 0) << source.err.toStdString();
    if (bank) *bank = source.unit.bank(0);
    return path;
  }
};

int CellWrites(const sim::DeviceSimulator& unit) {
  int n = 0;
  for (const QByteArray& command : unit.transcript()) n += command.startsWith("$W") ? 1 : 0;
  return n;
}

QStringList Lines(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
  return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

const QString kIso = QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)");

TEST(BatchCli, ThreeUnitsOneOfAnotherModelGiveThreeLogLines) {
  Bench b({"KRV2212A", "KRV2312A", "KRV2212A"});
  sim::Bank factory{};
  const QString dst = b.factoryFile(&factory);
  // Field units, each with a cell the file puts right.
  for (int i = 0; i < 3; ++i) b.unit(i).setCell(0, 20, 0x12);
  const sim::Bank secondBefore = b.unit(1).bank(0);

  const int code = b.run({"program", dst, "--repeat", "--count", "3", "--log", b.file("batch.csv")});
  EXPECT_EQ(code, 3) << b.out.toStdString() << b.err.toStdString();  // one refused, none failed
  EXPECT_EQ(b.ctrlC, 0);

  EXPECT_EQ(b.unit(0).bank(0), factory);
  EXPECT_EQ(b.unit(2).bank(0), factory);
  // The KRV2312A has the same variant, so the file itself would fit it: the
  // batch's model check alone keeps it untouched.
  EXPECT_EQ(b.unit(1).bank(0), secondBefore);
  EXPECT_EQ(CellWrites(b.unit(1)), 0);
  const int first = CellWrites(b.unit(0)), third = CellWrites(b.unit(2));
  EXPECT_GT(first, 0);
  EXPECT_EQ(third, first);

  const QStringList csv = Lines(b.file("batch.csv"));
  ASSERT_EQ(csv.size(), 4) << csv.join('\n').toStdString();
  EXPECT_EQ(csv[0], "time,model,identity,result,reason,cells_written");
  EXPECT_TRUE(QRegularExpression("^" + kIso + QStringLiteral(",KRV2212A,12/2/3/0,ok,,%1$").arg(first))
                  .match(csv[1]).hasMatch()) << csv[1].toStdString();
  EXPECT_TRUE(QRegularExpression("^" + kIso + ",KRV2312A,12/2/3/0,refused,\"a KRV2312A, not the batch's "
                                 "KRV2212A: not written \\(--yes writes it anyway\\)\",0$")
                  .match(csv[2]).hasMatch()) << csv[2].toStdString();
  EXPECT_TRUE(QRegularExpression("^" + kIso + QStringLiteral(",KRV2212A,12/2/3/0,ok,,%1$").arg(third))
                  .match(csv[3]).hasMatch()) << csv[3].toStdString();

  // One beep for a unit written, three for one skipped.
  EXPECT_TRUE(b.out.contains(QStringLiteral("#1 KRV2212A (ID 12/2/3/0): ok, %1 cells written and verified\a\n").arg(first)))
      << b.out.toStdString();
  EXPECT_TRUE(b.out.contains("#2 KRV2312A (ID 12/2/3/0): refused: a KRV2312A, not the batch's KRV2212A"));
  EXPECT_TRUE(b.out.contains("(--yes writes it anyway)\a\a\a\n"));
  EXPECT_TRUE(b.out.contains("batch ended: 3 units, 2 ok, 1 refused, 0 failed"));
}

TEST(BatchCli, YesWritesAUnitOfAnotherModelAndKeepsItsFamily) {
  Bench b({"KRV2212A", "KRV2312A"});
  const QString dst = b.factoryFile();
  b.unit(1).setCell(0, 20, 0x12);
  EXPECT_EQ(b.run({"--yes", "program", dst, "--count", "2", "--log", b.file("b.csv")}), 0) << b.out.toStdString();
  EXPECT_EQ(b.unit(1).cell(0, 20), b.unit(0).cell(0, 20));
  EXPECT_EQ(b.unit(1).cell(0, 4) & 96, 64);  // still a KRV2312
  const QStringList csv = Lines(b.file("b.csv"));
  ASSERT_EQ(csv.size(), 3);
  EXPECT_TRUE(csv[2].contains(",KRV2312A,12/2/3/0,ok,")) << csv[2].toStdString();
}

TEST(BatchCli, ModelGivenRefusesEvenTheFirstUnitOfAnother) {
  Bench b({"KRV2312A", "KRV2212A"});
  const QString dst = b.factoryFile();
  EXPECT_EQ(b.run({"program", dst, "--model", "krv2212a", "--count", "2", "--log", b.file("m.csv")}), 3);
  EXPECT_EQ(CellWrites(b.unit(0)), 0);
  EXPECT_GT(CellWrites(b.unit(1)), 0);
  const QStringList csv = Lines(b.file("m.csv"));
  ASSERT_EQ(csv.size(), 3);
  EXPECT_TRUE(csv[1].contains(",KRV2312A,12/2/3/0,refused,\"a KRV2312A, not the batch's KRV2212A")) << csv[1].toStdString();
  EXPECT_TRUE(csv[2].contains(",KRV2212A,12/2/3/0,ok,"));
}

TEST(BatchCli, ReadBackLostIsAFailureWithTheCellsThatLeft) {
  Bench b({"KRV2212A", "KRV2212A"});
  const QString dst = b.factoryFile();
  sim::DeviceSimulator& flaky = b.unit(0);
  flaky.setCell(0, 20, 0x12);
  // After the first written cell the unit no longer answers cell reads.
  flaky.faults().dropAnswers = 1000000;
  flaky.faults().dropOnly = [&flaky](const QByteArray& command) {
    return command.startsWith("$R") && CellWrites(flaky) > 0;
  };
  b.unit(1).setCell(0, 20, 0x12);
  EXPECT_EQ(b.run({"program", dst, "--count", "2", "--log", b.file("f.csv")}), 1) << b.out.toStdString();
  const QStringList csv = Lines(b.file("f.csv"));
  ASSERT_EQ(csv.size(), 3);
  EXPECT_TRUE(csv[1].contains(QStringLiteral(",KRV2212A,12/2/3/0,failed,")) &&
              csv[1].endsWith(QStringLiteral(",%1").arg(CellWrites(flaky))))
      << csv[1].toStdString();
  EXPECT_GT(CellWrites(flaky), 0);
  EXPECT_TRUE(csv[2].contains(",ok,"));
  EXPECT_TRUE(b.out.contains("batch ended: 2 units, 1 ok, 0 refused, 1 failed"));
}

TEST(BatchCli, ASigtermDuringAWriteFinishesThatUnitThenEndsTheBatch) {
  Bench b({"KRV2212A", "KRV2212A"});
  const QString dst = b.factoryFile();
  TerminationSignals stops(false);
  bool sent = false;
  b.unit(0).setCommandObserver([&](const QByteArray& c) {
    if (!sent && c.startsWith("$W")) {
      sent = true;
      b.clock.schedule(b.clock.nowMs() + 1, [&] { stops.deliver(SIGTERM); });
    }
  });
  EXPECT_EQ(b.run({"program", dst, "--repeat", "--log", b.file("t.csv")}, &stops), 0) << b.out.toStdString();
  ASSERT_TRUE(sent);
  const QStringList csv = Lines(b.file("t.csv"));
  ASSERT_EQ(csv.size(), 2) << b.out.toStdString();
  EXPECT_TRUE(csv[1].contains(QStringLiteral(",KRV2212A,12/2/3/0,ok,"))) << csv[1].toStdString();
  EXPECT_TRUE(b.out.contains("batch ended (SIGTERM): 1 unit, 1 ok, 0 refused, 0 failed")) << b.out.toStdString();
  EXPECT_EQ(CellWrites(b.unit(1)), 0);  // the next unit was never touched
  EXPECT_FALSE(b.unit(0).programming());
}

TEST(BatchCli, CtrlCWhileWaitingEndsCleanlyAndEachUnitIsWrittenOnce) {
  Bench b({"KRV2212A", "KRV2212A"});
  const QString dst = b.factoryFile();
  EXPECT_EQ(b.run({"program", dst, "--repeat", "--log", b.file("c.csv")}), 0) << b.out.toStdString();
  EXPECT_EQ(b.ctrlC, 1);
  EXPECT_EQ(Lines(b.file("c.csv")).size(), 3);
  EXPECT_TRUE(b.out.contains("batch ended (Ctrl+C): 2 units, 2 ok, 0 refused, 0 failed")) << b.out.toStdString();
  // The batch waited for each unit to go: no unit was written twice.
  EXPECT_EQ(CellWrites(b.unit(0)), CellWrites(b.unit(1)));
  EXPECT_EQ(b.pulled, 2);
  // The batch looked at the empty cable between the units, never in a busy loop.
  EXPECT_GE(b.clock.nowMs(), 4 * 500);
}

TEST(BatchCli, LogGetsItsHeaderOnce) {
  Bench b({"KRV2212A", "KRV2212A"});
  const QString dst = b.factoryFile();
  ASSERT_EQ(b.run({"program", dst, "--log", b.file("l.csv")}), 0) << b.err.toStdString();
  b.plugged = nullptr;  // taken out after the first batch
  ASSERT_EQ(b.run({"program", dst, "--log", b.file("l.csv")}), 0) << b.err.toStdString();
  EXPECT_GT(CellWrites(b.unit(1)), 0);
  const QStringList csv = Lines(b.file("l.csv"));
  ASSERT_EQ(csv.size(), 3);
  EXPECT_TRUE(csv[0].startsWith("time,"));
  EXPECT_TRUE(csv[2].contains(",ok,"));
  // The gang reads the log's first line, and keeps to a log of its own layout.
  EXPECT_EQ(b.run({"program", dst, "--ports", b.file("no-port"), "--log", b.file("l.csv")}), 2);
  EXPECT_TRUE(b.err.contains("it is a log of another layout")) << b.err.toStdString();
}

// A log that can take no more (a full disk) is a failure with its reason,
// and the lines it held stay as they were.
TEST(BatchCli, ALogThatCannotGrowSaysWhyAndKeepsItsLines) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("l.csv"));
  const auto [ok, why] = test::UnderSizeLimit(64, [&] {
    CsvLog log;
    QString why;
    if (!log.open(path, QStringLiteral("time,model"), &why)) return std::pair{false, "open: " + why};
    if (!log.append({QStringLiteral("2026-12-07T10:00:00+01:00"), QStringLiteral("KRV2212A")}, &why))
      return std::pair{false, "first line: " + why};
    const bool second = log.append({QString(80, QLatin1Char('x'))}, &why);
    return std::pair{!second && !why.isEmpty(), second ? QStringLiteral("the second line was taken") : why};
  });
  EXPECT_TRUE(ok) << why.toStdString();
  EXPECT_TRUE(test::Read(path).startsWith("time,model\n2026-12-07T10:00:00+01:00,KRV2212A\n"));
}

TEST(BatchCli, BadInputStopsBeforeTheUnitIsTouched) {
  Bench b({"KRV2212A"});
  const QString dst = b.factoryFile();
  test::Write(b.file("short.DST"), QByteArray(100, '\0'));
  EXPECT_EQ(b.run({"program", b.file("short.DST")}), 2);
  EXPECT_TRUE(b.err.contains("is not a valid configuration file")) << b.err.toStdString();
  EXPECT_EQ(b.run({"program", dst, "--model", "KRV9999"}), 2);
  EXPECT_EQ(b.run({"program", dst, "--count", "0"}), 2);
  EXPECT_EQ(b.run({"program", dst, "--log", b.file("no/such/folder/x.csv")}), 2);
  EXPECT_EQ(b.run({"program"}), 2);
  EXPECT_FALSE(b.port.isOpen());
  EXPECT_TRUE(b.unit(0).transcript().isEmpty());
}

TEST(BatchCli, MissingPortAtTheStartIsReportedNotWaitedFor) {
  Bench b({"KRV2212A"});
  const QString dst = b.factoryFile();
  b.port.failNextOpen(OpenError::Missing);
  EXPECT_EQ(b.run({"--port", "COM 3", "program", dst, "--repeat"}), 1);
  EXPECT_TRUE(b.err.contains("cannot open port COM 3")) << b.err.toStdString();
  EXPECT_TRUE(b.unit(0).transcript().isEmpty());
}

} // namespace
} // namespace pv
