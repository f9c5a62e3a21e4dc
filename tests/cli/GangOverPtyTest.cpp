// Gang programming with the real executables: one planovix-devsim per port,
// units plugged and pulled while planovix-cli serves every port at once.
#include "CliRig.h"
#include "support/DevsimUnit.h"
#include "support/EditedConfig.h"
#include "support/TempRecords.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <memory>

namespace pv {
namespace {

// A .DST for a KRV2212A with one value changed, so every unit gets a write.
QString MakeFile(test::Cli& c) {
  EXPECT_EQ(c.run({"read-config", c.file("gang.DST")}), 0) << c.err.toStdString();
  EXPECT_TRUE(test::RaiseUpperLimit(c.file("gang.DST")));
  return c.file("gang.DST");
}

// One port: a simulator started with no unit plugged. plug() and pull() are
// the technician's hands.
struct Port : test::DevsimUnit {
  Port(const QString& dir, int index, const QString& model, const QStringList& extra = {})
      : DevsimUnit(QStringList{"--model", model, "--unplugged", "--serial", QString::number(100 * (index + 1))} + extra,
                   dir, index) {}
};

// A gang bench: records of its own, the file to write, and count ports of
// KRV2212A units, the first `plugged` of them plugged.
struct GangBench {
  test::TempRecords records;
  test::Cli maker{"KRV2212A"};
  QString file = MakeFile(maker);
  std::vector<std::unique_ptr<Port>> ports;
  QStringList links;
  GangBench(int count, int plugged) {
    for (int i = 0; i < count; ++i) {
      ports.push_back(std::make_unique<Port>(maker.dir.path(), i, "KRV2212A"));
      if (i < plugged) ports.back()->plug();
      links << ports.back()->link;
    }
  }
};

// planovix-cli program --ports, its output read line by line as it comes.
struct Gang {
  test::ChildProcess process;
  QProcess& cli = process.p;
  QStringList lines;
  QString pending;
  // The records go where the test's TempRecords points the environment.
  Gang(const QString& file, const QStringList& links, const QString& log)
      : process(QStringLiteral(PLANOVIX_CLI),
                {"program", file, "--ports", links.join(','), "--repeat", "--log", log, "--model", "KRV2212A"}) {}
  void take() {
    pending += QString::fromLocal8Bit(cli.readAllStandardOutput());
    qsizetype nl;
    while ((nl = pending.indexOf('\n')) >= 0) {
      lines << pending.left(nl).remove('\a');
      pending.remove(0, nl + 1);
    }
  }
  // Waits for the next line that matches, after the first `from` lines.
  int waitLine(const QRegularExpression& re, int from, int ms = 60000) {
    QElapsedTimer t;
    t.start();
    for (;;) {
      for (int i = from; i < lines.size(); ++i)
        if (re.match(lines[i]).hasMatch()) return i;
      if (ms <= 0) return -1;
      if (t.elapsed() > ms || cli.state() == QProcess::NotRunning) return -1;
      cli.waitForReadyRead(100);
      take();
    }
  }
  void signal(int sig) { process.signal(sig); }
};

QRegularExpression Result(const QString& link) {
  return QRegularExpression('^' + QRegularExpression::escape(link) + QStringLiteral(": .*: (ok|refused|failed)"));
}

QList<QStringList> CsvRows(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QList<QStringList> rows;
  const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
  // Fields without quotes except the reason, which may hold commas: the
  // last field is the cell count.
  for (const QString& line : lines.mid(1)) {
    QStringList parts = line.split(',');
    QStringList row = parts.mid(0, 7);
    row << parts.mid(7, parts.size() - 8).join(',') << parts.last();
    rows << row;
  }
  return rows;
}

// Eight ports, units plugged in a random order and each pulled once it is
// done: one of another model, one whose cable is pulled mid-write and then
// plugged again, two ports with a second unit. Every good unit is written
// and verified exactly once, the odd one refused, the cut one reported with
// the cells sent, and the others never disturbed.
TEST(GangOverPty, EightPortsPluggedAndPulledAtRandom) {
  test::TempRecords records;
  test::Cli maker("KRV2212A");
  const QString file = MakeFile(maker);
  constexpr int kOdd = 5, kCut = 2;
  std::vector<std::unique_ptr<Port>> ports;
  QStringList links;
  for (int i = 0; i < 8; ++i) {
    ports.push_back(std::make_unique<Port>(maker.dir.path(), i, i == kOdd ? "KRV2212B" : "KRV2212A",
                                           i == kCut ? QStringList{"--pull-after-writes", "20"} : QStringList{}));
    links << ports.back()->link;
  }
  const QString log = maker.file("gang.csv");
  Gang gang(file, links, log);
  ASSERT_GE(gang.waitLine(QRegularExpression("^program: "), 0), 0);

  // Plugs in a random order (the seed is printed to repeat a run); a port
  // whose unit is done has it pulled, then takes the next plug in the list.
  const quint32 seed = QRandomGenerator::global()->generate();
  SCOPED_TRACE("seed " + std::to_string(seed));
  QRandomGenerator random(seed);
  QList<int> plugs = {0, 1, 2, 3, 4, 5, 6, 7, kCut, 0, 7};
  for (int i = 8; i > 1; --i) plugs.swapItemsAt(i - 1, static_cast<int>(random.bounded(i)));
  QMap<int, int> expectedOk;
  for (int p : plugs)
    if (p != kOdd) ++expectedOk[p];
  expectedOk[kCut] -= 1;  // its first unit is cut

  QList<int> inHand;
  QMap<int, int> doneAt;  // the line of each port's last result
  auto plugNext = [&] {
    // A port takes its next unit once the gang has seen the last one go, as
    // the technician waits for "waiting for a unit".
    for (int k = 0; k < plugs.size(); ++k)
      if (!inHand.contains(plugs[k])) {
        const int p = plugs.takeAt(k);
        if (doneAt.contains(p)) {
          ASSERT_GE(gang.waitLine(QRegularExpression('^' + QRegularExpression::escape(links[p]) +
                                                     ": waiting for a unit$"),
                                  doneAt[p] + 1),
                    0);
        }
        ports[static_cast<size_t>(p)]->plug();
        inHand << p;
        return;
      }
  };
  for (int k = 0; k < 4; ++k) plugNext();
  int seen = 0;
  int results = 0;
  while (!inHand.isEmpty()) {
    int line = -1, port = -1;
    // The next result on any port in hand.
    QElapsedTimer t;
    t.start();
    while (line < 0 && t.elapsed() < 90000 && gang.cli.state() != QProcess::NotRunning) {
      for (int p : inHand) {
        const int at = gang.waitLine(Result(links[p]), seen, 0);
        if (at >= 0 && (line < 0 || at < line)) line = at, port = p;
      }
      if (line < 0) {
        gang.cli.waitForReadyRead(100);
        gang.take();
      }
    }
    ASSERT_GE(line, 0) << gang.lines.join('\n').toStdString();
    // Lines before it belong to other ports: look from it on for the next.
    seen = line + 1;
    doneAt[port] = line;
    ++results;
    if (port != kCut) ports[static_cast<size_t>(port)]->pull();
    inHand.removeOne(port);
    while (inHand.size() < 4 && !plugs.isEmpty() && std::any_of(plugs.begin(), plugs.end(), [&](int p) {
             return !inHand.contains(p);
           }))
      plugNext();
  }
  gang.signal(SIGINT);
  ASSERT_TRUE(gang.cli.waitForFinished(30000));
  gang.take();
  const QString all = gang.lines.join('\n');
  SCOPED_TRACE(all.toStdString());
  EXPECT_EQ(gang.cli.exitCode(), 1);  // one unit failed
  EXPECT_TRUE(all.contains("gang ended (Ctrl+C): 11 units on 8 ports, 9 ok, 1 refused, 1 failed"));

  const QList<QStringList> rows = CsvRows(log);
  ASSERT_EQ(rows.size(), 11);
  QMap<int, int> ok;
  QSet<QString> fingerprints;
  for (const QStringList& r : rows) {
    const int p = static_cast<int>(links.indexOf(r[1]));
    ASSERT_GE(p, 0) << r.join(',').toStdString();
    if (p == kOdd) {
      EXPECT_EQ(r[6], "refused");
      EXPECT_EQ(r[8], "0");
      EXPECT_TRUE(r[7].contains("12/3")) << r[7].toStdString();
    } else if (r[6] == "failed") {
      EXPECT_EQ(p, kCut);
      const int cells = r[8].toInt();
      EXPECT_GT(cells, 0);
      EXPECT_LT(cells, 31);
      EXPECT_FALSE(r[7].isEmpty());
    } else {
      EXPECT_EQ(r[6], "ok") << r.join(',').toStdString();
      ++ok[p];
      EXPECT_FALSE(fingerprints.contains(r[4])) << "a unit written twice";
      fingerprints << r[4];
    }
  }
  EXPECT_EQ(ok, expectedOk);
  // One backup per unit written: the nine good ones and the cut one.
  EXPECT_EQ(records.entries().size(), 10u);
  for (int p = 0; p < 8; ++p) EXPECT_TRUE(ports[static_cast<size_t>(p)]->busy().isEmpty() || p == kCut) << p;
}

// Ctrl+C while three units are being written: each is finished, read back
// and left out of programming mode; the empty port just ends.
TEST(GangOverPty, CtrlCFinishesEveryUnitInHand) {
  GangBench bench(4, 3);
  const QStringList& links = bench.links;
  auto& ports = bench.ports;
  test::Cli& maker = bench.maker;
  const QString& file = bench.file;
  Gang gang(file, links, maker.file("stop.csv"));
  for (int i = 0; i < 3; ++i)
    ASSERT_GE(gang.waitLine(QRegularExpression('^' + QRegularExpression::escape(links[i]) + ": writing"), 0), 0)
        << gang.lines.join('\n').toStdString();
  gang.signal(SIGINT);
  ASSERT_TRUE(gang.cli.waitForFinished(60000));
  gang.take();
  const QString all = gang.lines.join('\n');
  SCOPED_TRACE(all.toStdString() + QString::fromLocal8Bit(gang.cli.readAllStandardError()).toStdString());
  EXPECT_EQ(gang.cli.exitCode(), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(gang.waitLine(QRegularExpression('^' + QRegularExpression::escape(links[i]) +
                                               ": KRV2212A .*: ok, 31 cells written and verified"),
                            0, 0),
              0)
        << i;
    EXPECT_TRUE(ports[static_cast<size_t>(i)]->busy().isEmpty()) << i;
  }
  EXPECT_TRUE(all.contains("gang ended (Ctrl+C): 3 units on 4 ports, 3 ok, 0 refused, 0 failed"));
}

// A port another program holds (the desktop program's own unit port, say)
// is said once and left alone while the other ports work; once it is let
// go, its unit is written like any other.
TEST(GangOverPty, APortHeldByAnotherProgramIsSaidAndTakenOnceFree) {
  GangBench b(2, 2);
  // Held as the program holds its port: open, with a lock on the device
  // (and not handed on to the gang's process).
  int held = ::open(QFile::encodeName(b.ports[0]->pty).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

  Gang gang(b.file, b.links, b.maker.file("held.csv"));
  const QString okLine = QStringLiteral(": KRV2212A .*: ok, 31 cells written and verified");
  const int second = gang.waitLine(QRegularExpression('^' + QRegularExpression::escape(b.links[1]) + okLine), 0);
  ASSERT_GE(second, 0) << gang.lines.join('\n').toStdString();
  const QString said = QString::fromLocal8Bit(gang.cli.readAllStandardError());
  EXPECT_TRUE(said.contains(QStringLiteral("cannot open port")) && said.contains(b.links[0]) &&
              said.contains(QStringLiteral("already open in another program")) &&
              said.contains(QStringLiteral("(still looking)")))
      << said.toStdString();
  EXPECT_TRUE(b.ports[0]->lines().isEmpty()) << "the held unit was touched";

  ::close(held);
  EXPECT_GE(gang.waitLine(QRegularExpression('^' + QRegularExpression::escape(b.links[0]) + okLine), 0), 0)
      << gang.lines.join('\n').toStdString();
  gang.signal(SIGINT);
  ASSERT_TRUE(gang.cli.waitForFinished(60000));
  EXPECT_EQ(gang.cli.exitCode(), 0);
  gang.take();
  EXPECT_TRUE(gang.lines.join('\n').contains("2 units on 2 ports, 2 ok, 0 refused, 0 failed"))
      << gang.lines.join('\n').toStdString();
  for (const auto& port : b.ports) port->expectIdle();
}

} // namespace
} // namespace pv
