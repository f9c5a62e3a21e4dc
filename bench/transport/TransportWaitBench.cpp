// Times a one-second answer time-out on a real pseudo-terminal and prints
// CPU seconds per wall second: an event-driven wait costs almost nothing,
// a polling one a whole core.
#include "link/Clock.h"
#include "link/QtSerialPort.h"
#include "link/Transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

static double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pseudo-terminal");
    return 1;
  }
  pv::QtSerialPort port;
  pv::SteadyClock clock;
  pv::Transport link(port, clock);
  if (!port.open(QString::fromLocal8Bit(ptsname(master)))) {
    std::fprintf(stderr, "cannot open the pseudo-terminal\n");
    return 1;
  }
  QElapsedTimer wall;
  const double cpu0 = CpuSeconds();
  wall.start();
  for (int i = 0; i < rounds; ++i) {
    // Nobody answers: each call waits out its one-second time-out.
    if (link.SendAndWait("$V\0\0\0\r", "*######", 1) != pv::kTimeout) return 1;
  }
  const double wallS = wall.nsecsElapsed() / 1e9;
  const double cpuS = CpuSeconds() - cpu0;
  std::printf("time-outs: %d  wall: %.3f s  cpu: %.4f s  cpu/wall: %.4f (goal < 0.02)\n", rounds,
              wallS, cpuS, cpuS / wallS);
  ::close(master);
  return 0;
}
