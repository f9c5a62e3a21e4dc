// The command routines through a real serial port against the simulator
// executable on a pseudo-terminal, with real time.
#include "kernel/AppState.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/QtSerialPort.h"
#include "link/Transport.h"
#include "support/ScriptedPrompter.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

// A simulator process; stopped when the test ends.
class Devsim {
public:
  explicit Devsim(const QStringList& args) {
    process_.setProgram(QStringLiteral(PLANOVIX_DEVSIM));
    process_.setArguments(args);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {}
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  ~Devsim() {
    if (process_.state() != QProcess::NotRunning) {
      process_.terminate();
      if (!process_.waitForFinished(3000)) process_.kill();
    }
  }
  QString path() const { return path_; }
  QProcess& process() { return process_; }

private:
  QProcess process_;
  QString path_;
};

struct Bench {
  AppState state;
  SteadyClock clock;
  QtSerialPort port;
  Transport transport{port, clock};
  ScriptedPrompter prompter;
  Feedback feedback;
  DeviceCommands commands{state, transport, prompter, feedback};
};

std::vector<int> MemoryPattern() {
  std::vector<int> cells(256);
  for (int i = 0; i < 256; ++i) cells[i] = (i * 37 + 11) % 256;
  return cells;
}

TEST(DevsimEndToEnd, IdentityThenConfigurationBlock) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::vector<int> cells = MemoryPattern();
  const QString memory = dir.filePath(QStringLiteral("cells.dat"));
  {
    QFile f(memory);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream out(&f);
    for (int v : cells) out << v << '\n';
  }
  Devsim sim({QStringLiteral("--model"), QStringLiteral("KRV2212A"), QStringLiteral("--hw-revision"),
              QStringLiteral("4"), QStringLiteral("--memory"), memory});
  ASSERT_FALSE(sim.path().isEmpty()) << sim.process().readAllStandardError().toStdString();

  Bench bench;
  ASSERT_TRUE(bench.port.open(sim.path()));
  const IdentityBytes id = bench.commands.ReadIdentity();
  EXPECT_EQ(id[0], 0);
  EXPECT_EQ(bench.state.identity, (DeviceIdentity{12, 2, 4, 0}));

  const CellBytes read = bench.commands.ReadCells(0, 0, 65);
  EXPECT_FALSE(bench.state.commError);
  for (int a = 0; a < 65; ++a) EXPECT_EQ(read[a], cells[a]) << "cell " << a;
  EXPECT_TRUE(bench.prompter.asked().empty());
}

TEST(DevsimEndToEnd, HangUpMidReadFailsCleanly) {
  Devsim sim({QStringLiteral("--model"), QStringLiteral("KRV2210"), QStringLiteral("--hangup-after"),
              QStringLiteral("12")});  // "SM", "PR", ten cells
  ASSERT_FALSE(sim.path().isEmpty());

  Bench bench;
  bench.prompter.setDefault(Answer::Cancel);  // should the line look merely silent
  ASSERT_TRUE(bench.port.open(sim.path()));
  const CellBytes read = bench.commands.ReadCells(0, 0, 65);
  EXPECT_EQ(read[0], 1);
  EXPECT_TRUE(bench.state.commError);
  bench.port.close();
  // The simulator ends after cutting the line.
  QProcess& p = sim.process();
  EXPECT_TRUE(p.state() == QProcess::NotRunning || p.waitForFinished(3000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
}

} // namespace
} // namespace pv::test
