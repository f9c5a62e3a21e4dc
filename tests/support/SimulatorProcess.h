#pragma once
// A simulator executable (planovix-devsim, planovix-benchsim) run as a
// separate process for an end-to-end test. The bench prints "name=value"
// lines and then "ready"; the device simulator prints the path of its
// terminal alone. Every wait is bounded, so a broken simulator fails the
// test instead of hanging it; the process is stopped when the test ends.
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace pv::test {

class SimulatorProcess {
public:
  // Reads the process's lines until "ready", or only its first line when
  // firstLineOnly (the device simulator's terminal path, as value("path")).
  SimulatorProcess(const QString& program, const QStringList& args, bool firstLineOnly = false) {
    process_.setProgram(program);
    process_.setArguments(args);
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    for (;;) {
      while (!process_.canReadLine())
        if (!process_.waitForReadyRead(5000)) return;
      const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
      if (firstLineOnly) {
        values_[QStringLiteral("path")] = line;
        ready_ = true;
        return;
      }
      if (line == QLatin1String("ready")) {
        ready_ = true;
        return;
      }
      lines_ << line;
      if (line.contains(QLatin1Char('=')))
        values_[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1);
    }
  }
  ~SimulatorProcess() { stop(); }
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  bool ready() const { return ready_; }
  QString value(const QString& key) const { return values_.value(key); }
  const QStringList& lines() const { return lines_; }
  QProcess& process() { return process_; }
  // This environment with the PLANOVIX_COMn / PLANOVIX_USBn lines the bench
  // printed (with --env), as ./run --bench exports them.
  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& line : lines_)
      if (line.startsWith(QLatin1String("PLANOVIX_")))
        env.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    return env;
  }
  // SIGTERM, so that the bench writes its state file; killed if it lingers.
  void stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
  }

private:
  QProcess process_;
  QStringList lines_;
  QMap<QString, QString> values_;
  bool ready_ = false;
};

} // namespace pv::test
