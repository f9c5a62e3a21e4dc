// planovix-cli and planovix-devsim as a technician runs them: two
// processes on a pseudo-terminal, real time. The cable is pulled while
// the configuration is read, while it is written and right after the last
// cell (the simulator lingers a moment, so the closing command may still
// leave), and each time the command says so and exits 1.
#include "CliRig.h"

#include <QFile>
#include <QProcess>
#include <cstring>
#include <gtest/gtest.h>

namespace pv {
namespace {

struct Process {
  QProcess p;
  Process(const QString& program, const QStringList& args) {
    p.setProgram(program);
    p.setArguments(args);
    p.start();
  }
  ~Process() {
    if (p.state() != QProcess::NotRunning) {
      p.kill();
      p.waitForFinished(3000);
    }
  }
};

// Indices (1-based) of the first and last "$W" of an in-process write-config.
std::pair<int, int> WritePhase(const QString& file) {
  test::Cli c("KRV2212A");
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"--yes", "write-config", file}), 0) << c.err.toStdString();
  int first = 0, last = 0;
  for (int i = 0; i < c.unit.transcript().size(); ++i)
    if (c.unit.transcript()[i].startsWith("$W")) {
      if (!first) first = i + 1;
      last = i + 1;
    }
  return {first, last};
}

TEST(CliOverPty, PulledCableIsSaidAndExitsOne) {
  test::Cli model("KRV2212A");
  ASSERT_EQ(model.run({"read-config", model.file("u.DST")}), 0);
  QFile f(model.file("u.DST"));
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  QByteArray r = f.readAll();
  const double upper = 500;
  std::memcpy(r.data() + 14, &upper, 8);
  f.seek(0);
  f.write(r);
  f.close();
  const auto [first, last] = WritePhase(model.file("u.DST"));
  ASSERT_GT(first, 0);

  for (int cut : {10, (first + last) / 2, last}) {
    Process sim(QStringLiteral(PLANOVIX_DEVSIM),
                {QStringLiteral("--model"), QStringLiteral("KRV2212A"), QStringLiteral("--hangup-after"),
                 QString::number(cut)});
    ASSERT_TRUE(sim.p.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(sim.p.readLine()).trimmed();
    Process cli(QStringLiteral(PLANOVIX_CLI),
                {QStringLiteral("--port"), pty, QStringLiteral("--yes"), QStringLiteral("write-config"),
                 model.file("u.DST")});
    ASSERT_TRUE(cli.p.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(cli.p.readAllStandardError());
    SCOPED_TRACE("cut after command " + std::to_string(cut) + ": " + err.toStdString());
    EXPECT_EQ(cli.p.exitCode(), 1);
    EXPECT_FALSE(err.trimmed().isEmpty());
    if (cut > first && cut < last) {
      EXPECT_TRUE(err.contains(QStringLiteral("Cells not sent:")));
    }
  }
}

} // namespace
} // namespace pv
