// The command routines through a real serial port against the simulator
// executable on a pseudo-terminal, with real time.
#include "kernel/AppState.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/QtSerialPort.h"
#include "link/Transport.h"
#include "support/ScriptedPrompter.h"
#include "support/SimulatorProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

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
  SimulatorProcess sim(QStringLiteral(PLANOVIX_DEVSIM), {"--model", "KRV2212A", "--hw-revision", "4", "--memory", memory},
                       true);
  const QString path = sim.value(QStringLiteral("path"));
  ASSERT_FALSE(path.isEmpty()) << sim.process().readAllStandardError().toStdString();

  Bench bench;
  ASSERT_TRUE(bench.port.open(path));
  const IdentityBytes id = bench.commands.ReadIdentity();
  EXPECT_EQ(id[0], 0);
  EXPECT_EQ(bench.state.identity, (DeviceIdentity{12, 2, 4, 0}));

  const CellBytes read = bench.commands.ReadCells(0, 0, 65);
  EXPECT_FALSE(bench.state.commError);
  for (int a = 0; a < 65; ++a) EXPECT_EQ(read[a], cells[a]) << "cell " << a;
  EXPECT_TRUE(bench.prompter.asked().empty());
}

TEST(DevsimEndToEnd, HangUpMidReadFailsCleanly) {
  SimulatorProcess sim(QStringLiteral(PLANOVIX_DEVSIM), {"--model", "KRV2210", "--hangup-after", "12"},
                       true);  // "SM", "PR", ten cells
  const QString path = sim.value(QStringLiteral("path"));
  ASSERT_FALSE(path.isEmpty());

  Bench bench;
  bench.prompter.setDefault(Answer::Cancel);  // should the line look merely silent
  ASSERT_TRUE(bench.port.open(path));
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
