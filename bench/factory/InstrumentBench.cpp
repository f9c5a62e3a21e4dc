// Instrument links on a real pseudo-terminal:
//  - a silent calibrator: wall time until the Retry/Cancel question and the
//    CPU spent waiting (event-driven: close to nothing);
//  - a calibrator that answers at once: 7-byte frames per second, each byte
//    waiting for its answer.
#include "factory/Calibrator.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

class CancelAll final : public pv::Prompter {
public:
  pv::Answer ask(const QString&, const QString&, pv::Buttons, pv::Icon) override {
    ++asked;
    return pv::Answer::Cancel;
  }
  std::optional<QString> askText(const QString&, const QString&, const QString&) override {
    return std::nullopt;
  }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  int asked = 0;
};

int OpenMaster() {
  const int m = posix_openpt(O_RDWR | O_NOCTTY);
  if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) return -1;
  termios t{};
  tcgetattr(m, &t);
  cfmakeraw(&t);
  tcsetattr(m, TCSANOW, &t);
  fcntl(m, F_SETFL, fcntl(m, F_GETFL) | O_NONBLOCK);
  return m;
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
  pv::AppState state;
  pv::SteadyClock clock;
  CancelAll prompter;
  pv::Bench bench{state, clock, prompter};

  {
    const int master = OpenMaster();
    if (master < 0) return 1;
    pv::QtSerialPort port;
    pv::Calibrator cal(bench, port);
    cal.setSelector(QString::fromLocal8Bit(ptsname(master)));
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    const bool ok = cal.SetCalibratorOutput(1);  // nobody answers
    const double wallS = wall.nsecsElapsed() / 1e9, cpuS = CpuSeconds() - cpu0;
    std::printf("silent calibrator: ok=%d questions=%d wall %.3f s cpu %.4f s cpu/wall %.4f\n", ok,
                prompter.asked, wallS, cpuS, cpuS / wallS);
    ::close(master);
  }
  {
    const int master = OpenMaster();
    if (master < 0) return 1;
    QSocketNotifier echo(master, QSocketNotifier::Read);
    QObject::connect(&echo, &QSocketNotifier::activated, [master] {
      char buf[256];
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n > 0) (void)!::write(master, buf, n);
    });
    pv::QtSerialPort port;
    pv::Calibrator cal(bench, port);
    cal.setSelector(QString::fromLocal8Bit(ptsname(master)));
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < frames; ++i)
      if (!cal.CalibratorExchange(1, 0x81, {0, 1, 0x5F, 0x90})) return 1;
    const double wallS = wall.nsecsElapsed() / 1e9;
    std::printf("answering calibrator: %d frames in %.3f s, %.0f frames/s\n", frames, wallS,
                frames / wallS);
    ::close(master);
  }
  return 0;
}
