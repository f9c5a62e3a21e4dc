// planovix-devsim: one simulated unit on a pseudo-terminal.
//
// Prints the terminal's path as the first line of standard output, then
// serves the program until SIGINT or SIGTERM (or until the hang-up fault
// cuts the line). POSIX only.
//
// Several run side by side for a gang bench, one per port. Each can have
// its unit pulled and another plugged while it runs: SIGUSR1 pulls the
// unit (the terminal goes away, as a USB cable pulled with its unit),
// SIGUSR2 plugs the next unit of the model (a new terminal, its path
// printed as a new line; --link follows it).
#include "DeviceSimulator.h"
#include "MemoryFile.h"
#include "PtyLoop.h"
#include "switches/SwitchTables.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <utility>

using namespace pv;
using namespace pv::sim;
using namespace pv::pty;

namespace {

// One byte at 9600 baud, 8N1: ten bits.
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr qint64 kFramePeriodMs = 100;

int ParseNumber(const QString& text, const char* what, int low, int high) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok || value < low || value > high)
    Fail(QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
             .arg(QLatin1String(what)).arg(low).arg(high).arg(text));
  return value;
}

void LoadMemory(DeviceSimulator& unit, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    Fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
  QVector<uint8_t> values;
  QString why;
  if (!ParseMemoryFile(QString::fromLatin1(file.readAll()), &values, &why)) Fail(path + QLatin1Char(' ') + why);
  for (int i = 0; i < values.size(); ++i) unit.setCell(0, i, values[i]);
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  const QString description = QStringLiteral(
      "Simulates one PLANOVIX signal conditioner on a pseudo-terminal.\n"
      "The first line printed is the terminal's path; point the program at it,\n"
      "e.g. PLANOVIX_COM1=<path>. Stops on Ctrl+C or SIGTERM.\n"
      "While measuring (\"MI\") it sends a frame every 100 ms; each input sweeps\n"
      "from 10 % under its range to 10 % over it and back once a minute, channel B\n"
      "a quarter of a minute behind, so trips and under/over-range show.\n"
      "Span/zero tables (\"$S\") hold the switch wizard's demonstration values.");
  const QCommandLineOption model(QStringLiteral("model"),
      QStringLiteral("Model to simulate (default KRV2212A): %1.").arg(ModelIds().join(QStringLiteral(", "))),
      QStringLiteral("M"), QStringLiteral("KRV2212A"));
  const QCommandLineOption deviceCode(QStringLiteral("device-code"),
      QStringLiteral("Device code answered to \"$V\": 12 (default) or 11 for the older generation."),
      QStringLiteral("N"));
  const QCommandLineOption hwRevision(QStringLiteral("hw-revision"),
      QStringLiteral("Hardware revision answered to \"$V\" (default 3)."), QStringLiteral("N"));
  const QCommandLineOption spare(QStringLiteral("spare"),
      QStringLiteral("Spare identity byte answered to \"$V\" (default 0)."), QStringLiteral("N"));
  const QCommandLineOption memory(QStringLiteral("memory"),
      QStringLiteral("Bank 0 cells from FILE, one decimal value 0..255 per line from cell 0; "
                     "cells beyond the file keep the model's defaults."),
      QStringLiteral("FILE"));
  const QCommandLineOption switches(QStringLiteral("switches"),
      QStringLiteral("DIP-switch bytes: \"factory\" for the model's factory setting, or up to "
                     "four decimal bytes SW1,SW2,SW3[,SW4] (default 0,0,0: configured by "
                     "software). Without --memory the trip thresholds move to 80 % and 20 % "
                     "of the ranges the switches give."),
      QStringLiteral("factory|A,B,C"));
  const QCommandLineOption link(QStringLiteral("link"),
      QStringLiteral("Also make PATH a symbolic link to the terminal; removed at exit."),
      QStringLiteral("PATH"));
  const QCommandLineOption dropAnswers(QStringLiteral("drop-answers"),
      QStringLiteral("Stay silent on the first N \"$\" commands that have an answer."),
      QStringLiteral("N"));
  const QCommandLineOption garbage(QStringLiteral("garbage-prefix"),
      QStringLiteral("Send two stray bytes before every \"$\" answer and measurement frame."));
  const QCommandLineOption badPr(QStringLiteral("bad-pr"),
      QStringLiteral("Answer \"PR\" with \"OK\" CR without LF (programming mode is still entered)."));
  const QCommandLineOption hangup(QStringLiteral("hangup-after"),
      QStringLiteral("Close the terminal after serving N commands, then exit."), QStringLiteral("N"));
  const QCommandLineOption baud(QStringLiteral("baud-timing"),
      QStringLiteral("Send at 9600-baud pace (about 1.04 ms per byte) instead of at once."));
  const QCommandLineOption transcript(QStringLiteral("transcript"),
      QStringLiteral("Append every command received to FILE, one per line: printable bytes as "
                     "they are, a backslash as \\\\, CR as \\r, LF as \\n, other bytes as \\xHH."),
      QStringLiteral("FILE"));
  const QCommandLineOption serial(QStringLiteral("serial"),
      QStringLiteral("Which unit of the model this is: its own calibration cells (gains, zero "
                     "trims, output points), so that two simulators of one model are two units "
                     "with two fingerprints. N 1..4294967295 gives the same unit every time; 0 the "
                     "model's factory memory, alike on every unit; \"blank\" a unit never "
                     "calibrated (its fingerprint cells 0). Default: a new unit each start (the "
                     "serial is printed)."),
      QStringLiteral("N|blank"));
  const QCommandLineOption unplugged(QStringLiteral("unplugged"),
      QStringLiteral("Start with no unit plugged (no terminal) until SIGUSR2 plugs one."));
  const QCommandLineOption pullAfterWrites(QStringLiteral("pull-after-writes"),
      QStringLiteral("Pull the first unit after it has received N \"$W\" cell writes (a cable "
                     "pulled mid-write); SIGUSR2 plugs the next one as usual."),
      QStringLiteral("N"));
  ReadCommandLine(parser, "planovix-devsim", description,
                  {model, deviceCode, hwRevision, spare, memory, switches, link, dropAnswers,
                   garbage, badPr, hangup, baud, transcript, serial, unplugged, pullAfterWrites});

  // Each unit plugged is set up from the options; the n-th one (from 0) with
  // a serial n past the one given, so every unit is a unit of its own.
  QString serialText = parser.value(serial).trimmed();
  const bool blank = serialText.compare(QStringLiteral("blank"), Qt::CaseInsensitive) == 0;
  quint32 firstSerial = 0;
  if (!blank && parser.isSet(serial)) {
    bool ok = false;
    firstSerial = serialText.toUInt(&ok, 10);
    if (!ok) Fail(QStringLiteral("--serial takes a whole number 0..4294967295 or \"blank\", not \"%1\"").arg(serialText));
  }
  const int pullAfter = parser.isSet(pullAfterWrites)
                            ? ParseNumber(parser.value(pullAfterWrites), "--pull-after-writes", 1, 100000)
                            : 0;
  auto setUp = [&](DeviceSimulator& unit, int plugged) {
    if (!unit.setModel(parser.value(model)))
      Fail(QStringLiteral("unknown model \"%1\"; one of: %2")
               .arg(parser.value(model), ModelIds().join(QStringLiteral(", "))));
    DeviceIdentity id = unit.identity();
    if (parser.isSet(deviceCode)) id.deviceCode = static_cast<uint8_t>(ParseNumber(parser.value(deviceCode), "--device-code", 0, 255));
    if (parser.isSet(hwRevision)) id.hardwareRevision = static_cast<uint8_t>(ParseNumber(parser.value(hwRevision), "--hw-revision", 0, 255));
    if (parser.isSet(spare)) id.spare = static_cast<uint8_t>(ParseNumber(parser.value(spare), "--spare", 0, 255));
    unit.setIdentity(id);
    unit.resetMemory();  // the defaults follow the identity (response time, trips)
    // This unit's own calibration, unless it is a blank one.
    if (blank) {
      const Bank b = WithBlankCalibration(unit.bank(0), unit.model(), unit.identity());
      for (int a = 0; a < 256; ++a) unit.setCell(0, a, b[static_cast<size_t>(a)]);
    } else {
      quint32 number = 0;
      if (parser.isSet(serial)) number = firstSerial == 0 ? 0 : firstSerial + static_cast<quint32>(plugged);
      else number = QRandomGenerator::system()->bounded(1u, 1000000u);
      serialText = QString::number(number);
      const Bank b = WithOwnCalibration(unit.bank(0), unit.model(), unit.identity(), number);
      for (int a = 0; a < 256; ++a) unit.setCell(0, a, b[static_cast<size_t>(a)]);
    }
    if (parser.isSet(memory)) LoadMemory(unit, parser.value(memory));
    if (parser.isSet(switches)) {
      std::array<uint8_t, 4> s{};
      if (parser.value(switches).trimmed().compare(QStringLiteral("factory"), Qt::CaseInsensitive) == 0) {
        const auto f = FactorySwitchBytes(unit.identity());
        std::copy(f.begin(), f.end(), s.begin());
      } else {
        const QStringList parts = parser.value(switches).split(QLatin1Char(','));
        if (parts.size() > 4) Fail(QStringLiteral("--switches takes \"factory\" or up to four bytes A,B,C"));
        for (int k = 0; k < parts.size(); ++k)
          s[k] = static_cast<uint8_t>(ParseNumber(parts[k], "a switch byte", 0, 255));
      }
      unit.setSwitches(s);
      if (!parser.isSet(memory)) unit.fitTripsToRanges();
    }
    Faults& faults = unit.faults();
    if (parser.isSet(dropAnswers)) faults.dropAnswers = ParseNumber(parser.value(dropAnswers), "--drop-answers", 0, 1000000);
    faults.garbagePrefix = parser.isSet(garbage);
    if (parser.isSet(badPr)) faults.badProgramming = -1;
    if (parser.isSet(hangup)) faults.hangUpAfter = ParseNumber(parser.value(hangup), "--hangup-after", 0, 100000000);
  };
  DeviceSimulator unit;
  setUp(unit, 0);
  const bool paced = parser.isSet(baud);

  TranscriptFile log;
  if (parser.isSet(transcript)) log.open(parser.value(transcript));

  QByteArray linkPath;
  if (parser.isSet(link)) linkPath = QFile::encodeName(parser.value(link));
  Terminal term;
  if (!parser.isSet(unplugged)) {
    term = OpenTerminal(B9600);
    Relink(linkPath, term.path);
  } else if (!linkPath.isEmpty()) {
    ::unlink(linkPath.constData());  // a stale link from an earlier run: no unit is there
  }

  LoopSignals control({SIGUSR1, SIGUSR2});
  QByteArray out;
  bool hungUp = false;
  int plugs = 0;
  int cellWrites = 0;
  bool cutDone = false;
  bool cutNow = false;
  auto announce = [&] {
    std::printf("%s\n", term.open() ? term.path.constData() : "");
    std::fflush(stdout);
    const auto sw = unit.switches();
    std::fprintf(stderr, "planovix-devsim: %s (ID=%d/%d, serial %s, switches %d,%d,%d) on %s\n", unit.model().id,
                 unit.identity().deviceCode, unit.identity().variant, qPrintable(serialText), sw[0], sw[1], sw[2],
                 term.open() ? term.path.constData() : "no terminal (unplugged)");
  };
  auto wire = [&] {
    unit.setSink([&](const QByteArray& bytes) { out += bytes; });
    unit.setHangUp([&] { hungUp = true; });
    cellWrites = 0;
    log.written = 0;
    unit.setCommandObserver([&](const QByteArray& command) {
      // Once only: the unit plugged after the cut one is whole.
      if (command.startsWith("$W") && ++cellWrites == pullAfter && !cutDone) {
        cutDone = true;
        cutNow = true;
      }
    });
  };
  wire();
  announce();

  FrameClock frames(kFramePeriodMs);
  double nextByte = 0;     // with --baud-timing: when the next byte may leave

  while (!control.stopRequested()) {
    // SIGUSR1 pulls the unit, as does the cut of --pull-after-writes.
    if (control.take(SIGUSR1) | std::exchange(cutNow, false)) {
      if (term.open()) {
        Unlink(linkPath, term.path);
        CloseTerminal(term);
        out.clear();
        std::fprintf(stderr, "planovix-devsim: unit pulled after %d cell writes\n", cellWrites);
      }
    }
    if (control.take(SIGUSR2)) {
      if (!term.open()) {
        unit = DeviceSimulator();
        setUp(unit, ++plugs);
        wire();
        term = OpenTerminal(B9600);
        Relink(linkPath, term.path);
        announce();
      }
    }
    if (!term.open()) {
      control.poll(nullptr, 0, -1);  // nothing plugged: wait for a signal
      continue;
    }
    const double now = NowMs();
    if (frames.due(unit.streaming(), now)) unit.emitFrame(frames.stamp(now));

    if (paced) {
      if (nextByte < now - kByteMs) nextByte = now;  // the line was idle
      while (!out.isEmpty() && now >= nextByte) {
        QByteArray one = out.left(1);
        WriteAll(term.master, one);
        if (!one.isEmpty()) break;
        out.remove(0, 1);
        nextByte += kByteMs;
      }
    } else {
      WriteAll(term.master, out);
    }
    TrimBacklog(out);

    if (hungUp && out.isEmpty()) {
      // Give the program a moment to take the last answer off the line.
      timespec linger{0, 100 * 1000000};
      nanosleep(&linger, nullptr);
      break;
    }

    double wait = frames.waitMs(now);
    if (!out.isEmpty()) {
      const double byteWait = paced ? std::max(0.0, nextByte - now) : 1.0;
      wait = wait < 0 ? byteWait : std::min(wait, byteWait);
    }
    pollfd pfd{term.master, POLLIN, 0};
    const int ready = control.poll(&pfd, 1, wait);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) continue;
    if (pfd.revents & POLLIN) {
      const QByteArray bytes = ReadSome(term.master);
      if (!bytes.isEmpty()) {
        unit.receive(bytes);
        log.flush(unit.transcript(), unit.transcript().size());
      }
    } else if (pfd.revents & (POLLHUP | POLLERR)) {
      IdlePause();  // nobody holds the other side
    }
  }

  if (hungUp)
    std::fprintf(stderr, "planovix-devsim: line cut after %d commands\n", unit.faults().hangUpAfter);
  if (term.open()) Unlink(linkPath, term.path);
  CloseTerminal(term);
  log.close();
  return 0;
}
