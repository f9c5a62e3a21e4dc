// planovix-cli and planovix-devsim as a technician runs them: two
// processes on a pseudo-terminal, real time. The cable is pulled while
// the configuration is read, while it is written and right after the last
// cell (the simulator lingers a moment, so the closing command may still
// leave), and each time the command says so and exits 1.
#include "CliRig.h"
#include "support/ChildProcess.h"
#include "support/EditedConfig.h"

#include <gtest/gtest.h>

namespace pv {
namespace {

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
  ASSERT_TRUE(test::RaiseUpperLimit(model.file("u.DST")));
  const auto [first, last] = WritePhase(model.file("u.DST"));
  ASSERT_GT(first, 0);

  for (int cut : {10, (first + last) / 2, last}) {
    test::ChildProcess sim(QStringLiteral(PLANOVIX_DEVSIM),
                           {QStringLiteral("--model"), QStringLiteral("KRV2212A"), QStringLiteral("--hangup-after"),
                            QString::number(cut)});
    const QString pty = sim.readLine(5000);
    ASSERT_FALSE(pty.isEmpty());
    test::ChildProcess cli(QStringLiteral(PLANOVIX_CLI),
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
