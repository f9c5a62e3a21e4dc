#pragma once
// One planovix-devsim as the end-to-end tests run it (in a target that
// defines PLANOVIX_DEVSIM): a link comN and a transcript unitN.log of every
// command it received, in the given folder or one of its own.
#include "support/ChildProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace pv::test {

struct DevsimUnit {
  QTemporaryDir home;
  QString link, transcript;
  ChildProcess sim;
  // Its first line: the terminal's path, blank when started unplugged. Once
  // it is read the simulator's signals are set.
  QString pty;

  DevsimUnit(const QStringList& args, const QString& dir = {}, int index = 1)
      : link(QStringLiteral("%1/com%2").arg(dir.isEmpty() ? home.path() : dir).arg(index)),
        transcript(QStringLiteral("%1/unit%2.log").arg(dir.isEmpty() ? home.path() : dir).arg(index)),
        sim(QStringLiteral(PLANOVIX_DEVSIM),
            args + QStringList{QStringLiteral("--link"), link, QStringLiteral("--transcript"), transcript}),
        pty(sim.readLine()) {}

  // Plugs the next unit and waits for its terminal (a line not blank);
  // pulls the one plugged.
  void plug() {
    sim.signal(SIGUSR2);
    pty.clear();
    while (pty.isEmpty() && (sim.p.canReadLine() || sim.p.waitForReadyRead(10000))) pty = sim.readLine();
    ASSERT_FALSE(pty.isEmpty());
  }
  void pull() { sim.signal(SIGUSR1); }

  QStringList lines() const {
    QFile f(transcript);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
  }
  int count(const char* prefix) const {
    int n = 0;
    for (const QString& l : lines()) n += l.startsWith(QLatin1String(prefix));
    return n;
  }
  // Waits until the unit has received count commands starting with prefix.
  bool waitFor(const QString& prefix, int count = 1, int ms = 20000) const {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      if (this->count(qPrintable(prefix)) >= count) return true;
      QThread::msleep(5);
    }
    return false;
  }
  // Empty when the last unit was left idle: every "PR" followed by "$FPxx",
  // every "MI" by "SM"; else what it was left doing.
  QString busy() const {
    bool programming = false, streaming = false;
    const QStringList all = lines();
    for (const QString& l : all) {
      if (l.startsWith(QLatin1String("PR"))) programming = true;
      if (l.startsWith(QLatin1String("$FPxx"))) programming = false;
      if (l.startsWith(QLatin1String("MI"))) streaming = true;
      if (l.startsWith(QLatin1String("SM"))) streaming = false;
    }
    if (programming) return QStringLiteral("left in programming mode; last: ") + all.value(all.size() - 1);
    return streaming ? QStringLiteral("left streaming") : QString();
  }
  void expectIdle() const {
    const QString why = busy();
    EXPECT_TRUE(why.isEmpty()) << why.toStdString();
  }
};

} // namespace pv::test
