#pragma once
// A process an end-to-end test runs (planovix-cli, planovix-devsim): stopped
// when the test ends, SIGTERM first so a simulator removes its link, killed
// if it lingers. Every wait is bounded.
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

namespace pv::test {

struct ChildProcess {
  QProcess p;
  QString err;  // standard error as waitErr gathered it
  ChildProcess(const QString& program, const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    p.setProcessEnvironment(env);
    p.setProgram(program);
    p.setArguments(args);
    p.start();
  }
  ~ChildProcess() {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
      p.kill();
      p.waitForFinished(3000);
    }
  }

  void signal(int sig) { ::kill(static_cast<pid_t>(p.processId()), sig); }
  // The next line of standard output, trimmed; empty when none came in time.
  QString readLine(int ms = 10000) {
    while (!p.canReadLine())
      if (!p.waitForReadyRead(ms)) return {};
    return QString::fromLocal8Bit(p.readLine()).trimmed();
  }
  // Standard error as it comes, until it holds text.
  bool waitErr(const QString& text, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!err.contains(text) && t.elapsed() < ms) {
      p.waitForReadyRead(50);
      err += QString::fromLocal8Bit(p.readAllStandardError());
    }
    return err.contains(text);
  }
};

} // namespace pv::test
