// The progress line as a technician sees it: planovix-cli's standard error
// on a terminal while it writes a simulated unit; quiet in a pipe and
// with --json.
#include "CliRig.h"
#include "support/ChildProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

namespace pv {
namespace {

// A terminal pair: the tool writes to the slave, the test reads the master.
struct Terminal {
  int master = -1;
  QString slave;
  Terminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    slave = QString::fromLocal8Bit(ptsname(master));
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  ~Terminal() {
    if (master >= 0) close(master);
  }
  QByteArray drain() {
    QByteArray got;
    char buf[4096];
    for (;;) {
      const ssize_t n = read(master, buf, sizeof buf);
      if (n > 0) got.append(buf, n);
      else break;
    }
    return got;
  }
};

struct Outcome {
  int code = -1;
  QByteArray terminal;  // what reached the terminal
  QByteArray err;       // standard error when it is a pipe
};

// Runs the tool against a fresh simulated unit; standard error on the
// terminal when one is given, else in a pipe.
Outcome RunTool(const QStringList& args, Terminal* terminal) {
  Outcome r;
  test::ChildProcess sim(QStringLiteral(PLANOVIX_DEVSIM), {QStringLiteral("--model"), QStringLiteral("KRV2212A")});
  const QString pty = sim.readLine(5000);
  if (pty.isEmpty()) return r;
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  cli.setProcessEnvironment(env);
  if (terminal) cli.setStandardErrorFile(terminal->slave);
  cli.start(QStringLiteral(PLANOVIX_CLI), QStringList{QStringLiteral("--port"), pty} + args);
  // Drained while it runs: a full terminal would hold the tool up.
  while (!cli.waitForFinished(20))
    if (terminal) r.terminal += terminal->drain();
  if (terminal) r.terminal += terminal->drain();
  r.code = cli.exitCode();
  r.err = cli.readAllStandardError();
  return r;
}

TEST(ProgressOverPty, WriteConfigCountsCellsOnATerminalOnly) {
  test::Cli model("KRV2212A");
  ASSERT_EQ(model.run({"read-config", model.file("u.DST")}), 0) << model.err.toStdString();
  Terminal t;
  ASSERT_FALSE(t.slave.isEmpty());

  const Outcome shown = RunTool({QStringLiteral("--yes"), QStringLiteral("write-config"), model.file("u.DST")}, &t);
  EXPECT_EQ(shown.code, 0) << shown.terminal.toStdString();
  const QString seen = QString::fromUtf8(shown.terminal);
  EXPECT_TRUE(seen.contains(QRegularExpression(QStringLiteral("\rcells 1 of [0-9]+\x1b\\[K"))))
      << seen.left(200).toStdString();
  // Counted to the end, and the line wiped before the tool ended.
  const auto last = QRegularExpression(QStringLiteral("cells ([0-9]+) of ([0-9]+)\x1b\\[K\r\x1b\\[K"))
                        .match(seen);
  ASSERT_TRUE(last.hasMatch()) << seen.right(200).toStdString();
  EXPECT_EQ(last.captured(1), last.captured(2));

  // The same write into a pipe, or with --json on the terminal: no line.
  const Outcome piped = RunTool({QStringLiteral("--yes"), QStringLiteral("write-config"), model.file("u.DST")}, nullptr);
  EXPECT_EQ(piped.code, 0);
  EXPECT_FALSE(piped.err.contains("cells 1 of")) << piped.err.toStdString();
  EXPECT_FALSE(piped.err.contains('\r'));
  const Outcome json =
      RunTool({QStringLiteral("--yes"), QStringLiteral("--json"), QStringLiteral("write-config"), model.file("u.DST")},
             &t);
  EXPECT_EQ(json.code, 0);
  EXPECT_FALSE(json.terminal.contains("cells 1 of")) << json.terminal.toStdString();
}

} // namespace
} // namespace pv
