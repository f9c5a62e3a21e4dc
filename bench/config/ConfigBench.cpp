// bench-config: read-config and write-config, as planovix-cli runs them,
// against planovix-devsim --baud-timing on a pseudo-terminal.
//
// For each operation it prints wall time over the protocol floor and CPU
// time over wall time. The floor is what no program can beat on this line:
// every byte both ways at 9600 baud (ten bits a byte) plus the pauses the
// unit needs after "SM" (0.2 s), "PR" and "$FPxx" (0.1 s) and each "$W"
// (0.05 s). Commands are counted from the simulator's transcript, answers
// from the command that asked for them. Goals: wall/floor <= 1.10 and
// CPU/wall <= 0.05.
//
// A pseudo-terminal only paces what the simulator sends: the program's own
// bytes arrive at once. So the bench also prints wall time over the floor
// of this rig (answers at 9600 baud plus the pauses), which is where time
// lost by the program itself would show.
//
//   bench-config [MODEL] [ROUNDS]     default KRV2212A, 3
#include "CliCore.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"
#include "support/Stopwatch.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

using pv::benchmark::CpuNow;
using pv::benchmark::WallNow;

constexpr double kByteSeconds = 10.0 / 9600.0;

// One transcript line back to the bytes that were received.
QByteArray Unescape(const QByteArray& line) {
  QByteArray out;
  for (qsizetype i = 0; i < line.size(); ++i) {
    if (line[i] != '\\' || i + 1 >= line.size()) {
      out += line[i];
      continue;
    }
    const char next = line[++i];
    if (next == 'r') out += '\r';
    else if (next == 'n') out += '\n';
    else if (next == 'x' && i + 2 < line.size()) {
      out += static_cast<char>(line.mid(i + 1, 2).toInt(nullptr, 16));
      i += 2;
    } else out += next;
  }
  return out;
}

struct Floor {
  qint64 bytesOut = 0, bytesIn = 0;
  double pauses = 0;
  int commands = 0;
  double seconds() const { return (bytesOut + bytesIn) * kByteSeconds + pauses; }
  double rigSeconds() const { return bytesIn * kByteSeconds + pauses; }
};

// Answer lengths of a KRV2212-style unit (variants 1..6: "$D" answers two
// bytes; the tables of variants 4 and 5 hold 16 + 16 words, others 63 + 15
// or 63 + 1 on variant 7).
Floor Count(const QList<QByteArray>& commands, int variant) {
  Floor f;
  const bool longSwitches = variant == 0 || variant == 7;
  const int tableWords = (variant == 4 || variant == 5) ? 32 : variant == 7 ? 64 : 78;
  for (const QByteArray& c : commands) {
    ++f.commands;
    f.bytesOut += c.size();
    if (c.startsWith("$R")) f.bytesIn += 6;
    else if (c.startsWith("$V")) f.bytesIn += 7;
    else if (c.startsWith("$D")) f.bytesIn += (longSwitches ? 4 : 2) + 3;
    else if (c.startsWith("$S")) f.bytesIn += 2 * tableWords + 4;
    else if (c == "PR\r") {
      f.bytesIn += 4;
      f.pauses += 0.1;
    } else if (c == "SM\r") f.pauses += 0.2;
    else if (c.startsWith("$FP")) f.pauses += 0.1;
    else if (c.startsWith("$W")) f.pauses += 0.05;
  }
  return f;
}

QList<QByteArray> TranscriptFrom(const QString& path, qsizetype* seen) {
  QFile file(path);
  QList<QByteArray> out;
  if (!file.open(QIODevice::ReadOnly)) return out;
  const QList<QByteArray> lines = file.readAll().split('\n');
  for (qsizetype i = *seen; i < lines.size(); ++i)
    if (!lines[i].isEmpty()) out << Unescape(lines[i]);
  *seen = lines.size() - (lines.isEmpty() || lines.last().isEmpty() ? 1 : 0);
  return out;
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QString model = args.size() > 1 ? args[1] : QStringLiteral("KRV2212A");
  const int rounds = args.size() > 2 ? std::max(1, args[2].toInt()) : 3;

  QTemporaryDir dir;
  const QString transcript = dir.filePath(QStringLiteral("transcript.txt"));
  QProcess sim;
  sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  sim.start(QStringLiteral(PLANOVIX_DEVSIM),
            {QStringLiteral("--model"), model, QStringLiteral("--baud-timing"),
             QStringLiteral("--transcript"), transcript});
  if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
    std::fprintf(stderr, "bench-config: planovix-devsim did not start\n");
    return 1;
  }
  const QString pty = QString::fromLocal8Bit(sim.readLine().trimmed());

  pv::QtSerialPort port;
  pv::SteadyClock clock;
  QString sink;
  QTextStream out(&sink), err(stderr);
  qsizetype seen = 0;
  int variant = -1;

  // The unit's variant sets the answer lengths.
  {
    QString id;
    QTextStream idOut(&id);
    if (pv::RunCli({"--port", pty, "--json", "identify"}, port, clock, idOut, err) != 0) {
      std::fprintf(stderr, "bench-config: identify failed\n");
      return 1;
    }
    const qsizetype at = id.indexOf(QStringLiteral("\"variant\":"));
    variant = at < 0 ? 2 : id.mid(at + 10).section(QLatin1Char(','), 0, 0).toInt();
    TranscriptFrom(transcript, &seen);
  }

  const QString file = dir.filePath(QStringLiteral("unit.DST"));
  std::printf("bench-config: %s on %s, %d rounds, floor = bytes x 10 bits / 9600 + pauses\n",
              qPrintable(model), qPrintable(pty), rounds);
  std::printf("%-13s %5s %5s %6s %6s %8s %8s %9s %9s %9s\n", "operation", "round", "cmds",
              "bytes", "pauses", "floor s", "wall s", "wall/flr", "wall/rig", "cpu/wall");
  bool allMet = true;
  for (int r = 1; r <= rounds; ++r) {
    for (const char* op : {"read-config", "write-config"}) {
      const double w0 = WallNow(), c0 = CpuNow();
      const int code = pv::RunCli({"--port", pty, "--yes", QString::fromLatin1(op), file}, port,
                                  clock, out, err);
      const double wall = WallNow() - w0, cpu = CpuNow() - c0;
      // The transcript is written as commands arrive; the last ones are in
      // the file by the time the program has its answers.
      const Floor f = Count(TranscriptFrom(transcript, &seen), variant);
      const double ratio = wall / f.seconds(), load = cpu / wall;
      allMet = allMet && code == 0 && ratio <= 1.10 && wall / f.rigSeconds() <= 1.10 && load <= 0.05;
      std::printf("%-13s %5d %5d %6lld %6.2f %8.3f %8.3f %9.3f %9.3f %9.4f%s\n", op, r,
                  f.commands, static_cast<long long>(f.bytesOut + f.bytesIn), f.pauses,
                  f.seconds(), wall, ratio, wall / f.rigSeconds(), load,
                  code == 0 ? "" : "  (failed)");
      std::fflush(stdout);
    }
  }
  std::printf("goals (wall/floor and wall/rig <= 1.10, cpu/wall <= 0.05): %s\n", allMet ? "met" : "NOT met");

  sim.terminate();
  sim.waitForFinished(3000);
  return 0;
}
