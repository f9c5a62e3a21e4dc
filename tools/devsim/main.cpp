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
#include "switches/SwitchTables.h"
#include "kernel/Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextStream>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace pv;
using namespace pv::sim;

namespace {

volatile sig_atomic_t gStop = 0;
volatile sig_atomic_t gPull = 0;
volatile sig_atomic_t gPlug = 0;
void OnSignal(int) { gStop = 1; }
void OnPull(int) { gPull = 1; }
void OnPlug(int) { gPlug = 1; }

// One byte at 9600 baud, 8N1: ten bits.
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr qint64 kFramePeriodMs = 100;
// What may wait for a program that is not reading; older bytes are lost, as
// they would be on a real line.
constexpr qsizetype kMaxBacklog = 64 * 1024;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Fail(const QString& message) {
  std::fprintf(stderr, "planovix-devsim: %s\n", qPrintable(message));
  std::exit(2);
}

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

void WriteAll(int fd, QByteArray& queue) {
  while (!queue.isEmpty()) {
    const ssize_t n = ::write(fd, queue.constData(), static_cast<size_t>(queue.size()));
    if (n > 0) {
      queue.remove(0, n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // the terminal's buffer is full: try again on the next turn
    }
  }
}

// The pseudo-terminal pair a unit is plugged on. The slave stays open here
// too, so the master never sees a hang-up while the program closes and
// reopens its side.
struct Terminal {
  int master = -1;
  int slave = -1;
  QByteArray path;
  bool open() const { return master >= 0; }
};

Terminal OpenTerminal() {
  Terminal t;
  t.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0)
    Fail(QStringLiteral("no pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
  const char* name = ptsname(t.master);
  if (!name) Fail(QStringLiteral("no pseudo-terminal name"));
  t.path = QByteArray(name);
  t.slave = ::open(t.path.constData(), O_RDWR | O_NOCTTY);
  if (t.slave < 0) Fail(QStringLiteral("cannot open %1").arg(QString::fromLocal8Bit(t.path)));
  termios tio{};
  if (tcgetattr(t.slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(t.slave, TCSANOW, &tio);
  }
  fcntl(t.master, F_SETFL, fcntl(t.master, F_GETFL) | O_NONBLOCK);
  return t;
}

void CloseTerminal(Terminal& t) {
  if (t.master >= 0) ::close(t.master);
  if (t.slave >= 0) ::close(t.slave);
  t = Terminal{};
}

// Points the link at the terminal (replacing an older link of ours).
void Relink(const QByteArray& linkPath, const QByteArray& target) {
  if (linkPath.isEmpty()) return;
  ::unlink(linkPath.constData());
  if (::symlink(target.constData(), linkPath.constData()) != 0)
    Fail(QStringLiteral("cannot create link %1: %2")
             .arg(QString::fromLocal8Bit(linkPath), QString::fromLocal8Bit(std::strerror(errno))));
}

// Removes the link when it still points at our terminal.
void Unlink(const QByteArray& linkPath, const QByteArray& target) {
  if (linkPath.isEmpty()) return;
  char buffer[4096];
  const ssize_t n = ::readlink(linkPath.constData(), buffer, sizeof buffer - 1);
  if (n > 0 && QByteArray(buffer, n) == target) ::unlink(linkPath.constData());
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("planovix-devsim"));
  QCoreApplication::setApplicationVersion(QStringLiteral(PLANOVIX_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Simulates one PLANOVIX signal conditioner on a pseudo-terminal.\n"
      "The first line printed is the terminal's path; point the program at it,\n"
      "e.g. PLANOVIX_COM1=<path>. Stops on Ctrl+C or SIGTERM.\n"
      "While measuring (\"MI\") it sends a frame every 100 ms; each input sweeps\n"
      "from 10 % under its range to 10 % over it and back once a minute, channel B\n"
      "a quarter of a minute behind, so trips and under/over-range show.\n"
      "Span/zero tables (\"$S\") hold the switch wizard's demonstration values."));
  parser.addHelpOption();
  parser.addVersionOption();
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
  parser.addOptions({model, deviceCode, hwRevision, spare, memory, switches, link, dropAnswers,
                     garbage, badPr, hangup, baud, transcript, serial, unplugged, pullAfterWrites});
  parser.process(app);
  if (!parser.positionalArguments().isEmpty())
    Fail(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().first()));

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

  FILE* log = nullptr;
  if (parser.isSet(transcript)) {
    // Appended to, never through a link planted in its place.
    const int fd = ::open(QFile::encodeName(parser.value(transcript)).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
    log = fd < 0 ? nullptr : fdopen(fd, "a");
    if (!log) Fail(QStringLiteral("cannot write %1: %2").arg(parser.value(transcript), QString::fromLocal8Bit(std::strerror(errno))));
  }

  QByteArray linkPath;
  if (parser.isSet(link)) linkPath = QFile::encodeName(parser.value(link));
  Terminal term;
  if (!parser.isSet(unplugged)) {
    term = OpenTerminal();
    Relink(linkPath, term.path);
  } else if (!linkPath.isEmpty()) {
    ::unlink(linkPath.constData());  // a stale link from an earlier run: no unit is there
  }

  // Signals are blocked except inside ppoll, so a stop request is never lost
  // between the check and the wait.
  struct sigaction sa{};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sa.sa_handler = OnPull;
  sigaction(SIGUSR1, &sa, nullptr);
  sa.sa_handler = OnPlug;
  sigaction(SIGUSR2, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t blocked, waitMask;
  sigemptyset(&blocked);
  for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&blocked, sig);
  sigprocmask(SIG_BLOCK, &blocked, &waitMask);
  for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigdelset(&waitMask, sig);

  QByteArray out;
  bool hungUp = false;
  int plugs = 0;
  int cellWrites = 0;
  bool cutDone = false;
  qsizetype logged = 0;
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
    logged = 0;
    unit.setCommandObserver([&](const QByteArray& command) {
      // Once only: the unit plugged after the cut one is whole.
      if (command.startsWith("$W") && ++cellWrites == pullAfter && !cutDone) {
        cutDone = true;
        gPull = 1;
      }
    });
  };
  wire();
  announce();

  const double start = NowMs();
  double nextFrame = -1;   // when streaming: time of the next frame
  double nextByte = 0;     // with --baud-timing: when the next byte may leave

  while (!gStop) {
    if (gPull) {
      gPull = 0;
      if (term.open()) {
        Unlink(linkPath, term.path);
        CloseTerminal(term);
        out.clear();
        std::fprintf(stderr, "planovix-devsim: unit pulled after %d cell writes\n", cellWrites);
      }
    }
    if (gPlug) {
      gPlug = 0;
      if (!term.open()) {
        unit = DeviceSimulator();
        setUp(unit, ++plugs);
        wire();
        term = OpenTerminal();
        Relink(linkPath, term.path);
        announce();
      }
    }
    if (!term.open()) {
      ppoll(nullptr, 0, nullptr, &waitMask);  // nothing plugged: wait for a signal
      continue;
    }
    const double now = NowMs();
    if (unit.streaming()) {
      if (nextFrame < 0) nextFrame = now + kFramePeriodMs;
      if (now >= nextFrame) {
        unit.emitFrame(static_cast<qint64>(now - start));
        nextFrame = now + kFramePeriodMs;
      }
    } else {
      nextFrame = -1;
    }

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
    if (out.size() > kMaxBacklog) out.remove(0, out.size() - kMaxBacklog);

    if (hungUp && out.isEmpty()) {
      // Give the program a moment to take the last answer off the line.
      timespec linger{0, 100 * 1000000};
      nanosleep(&linger, nullptr);
      break;
    }

    double wait = -1;
    if (nextFrame >= 0) wait = std::max(0.0, nextFrame - now);
    if (!out.isEmpty()) {
      const double byteWait = paced ? std::max(0.0, nextByte - now) : 1.0;
      wait = wait < 0 ? byteWait : std::min(wait, byteWait);
    }
    timespec ts{};
    timespec* timeout = nullptr;
    if (wait >= 0) {
      const auto us = static_cast<long long>(wait * 1000.0);
      ts.tv_sec = us / 1000000;
      ts.tv_nsec = (us % 1000000) * 1000;
      timeout = &ts;
    }
    pollfd pfd{term.master, POLLIN, 0};
    const int ready = ppoll(&pfd, 1, timeout, &waitMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) continue;
    if (pfd.revents & POLLIN) {
      char buffer[4096];
      const ssize_t n = ::read(term.master, buffer, sizeof buffer);
      if (n > 0) {
        unit.receive(QByteArray(buffer, static_cast<qsizetype>(n)));
        if (log) {
          const auto& lines = unit.transcript();
          for (; logged < lines.size(); ++logged)
            std::fprintf(log, "%s\n", EscapeBytes(lines[logged]).constData());
          std::fflush(log);
        }
      }
    } else if (pfd.revents & (POLLHUP | POLLERR)) {
      // Nobody holds the other side; do not spin while waiting for them.
      timespec pause{0, 20 * 1000000};
      nanosleep(&pause, nullptr);
    }
  }

  if (hungUp)
    std::fprintf(stderr, "planovix-devsim: line cut after %d commands\n", unit.faults().hangUpAfter);
  if (term.open()) Unlink(linkPath, term.path);
  CloseTerminal(term);
  if (log) std::fclose(log);
  return 0;
}
