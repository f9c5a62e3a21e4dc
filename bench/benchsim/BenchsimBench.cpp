// Round trips through the simulated bench's pseudo-terminals: a calibrator
// frame sent byte by byte (each byte waits for its answer, as the driver
// does), a meter reading and a unit identity. Prints microseconds per
// exchange and the bench's CPU time, so a change that makes the bench slow
// or busy shows.
//
//   build/bench/benchsim/bench-benchsim [exchanges]
#include "support/RawTerminal.h"
#include "support/SimulatorProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>

namespace {

// Sends, then reads until `count` bytes arrived (at most 2 s).
bool Exchange(int fd, const QByteArray& out, int count) {
  if (::write(fd, out.constData(), static_cast<size_t>(out.size())) != out.size()) return false;
  int got = 0;
  char buffer[256];
  while (got < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) return false;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    got += static_cast<int>(n);
  }
  return true;
}

double CpuSeconds(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = f.readAll().split(' ');
  if (fields.size() < 15) return 0;
  return (fields[13].toDouble() + fields[14].toDouble()) / sysconf(_SC_CLK_TCK);
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  pv::test::SimulatorProcess bench(QStringLiteral(PLANOVIX_BENCHSIM), {QStringLiteral("--seed"), QStringLiteral("0")});
  auto open = [&](const char* end) { return pv::test::OpenRawTerminal(bench.value(QLatin1String(end)), false); };
  const int calibrator = open("calibrator");
  const int meter = open("meter-a");
  const int unit = open("unit");
  if (!bench.ready() || calibrator < 0 || meter < 0 || unit < 0) {
    std::fprintf(stderr, "bench-benchsim: the bench did not start\n");
    return 1;
  }
  const double cpuBefore = CpuSeconds(bench.process().processId());
  QElapsedTimer timer;

  const char frame[7] = {1, char(0x81), 0, 1, 0x5F, char(0x90), 0x70};
  timer.start();
  for (int i = 0; i < rounds; ++i)
    for (char b : frame)
      if (!Exchange(calibrator, QByteArray(1, b), 1)) return 1;
  const double frameUs = timer.nsecsElapsed() / 1e3 / rounds;

  timer.start();
  for (int i = 0; i < rounds; ++i)
    if (!Exchange(meter, ":READ?\r\n", 17)) return 1;
  const double meterUs = timer.nsecsElapsed() / 1e3 / rounds;

  timer.start();
  const QByteArray identity("$V\0\0\0\r", 6);
  for (int i = 0; i < rounds; ++i)
    if (!Exchange(unit, identity, 7)) return 1;
  const double unitUs = timer.nsecsElapsed() / 1e3 / rounds;

  const double cpu = CpuSeconds(bench.process().processId()) - cpuBefore;
  std::printf("%d exchanges each\n", rounds);
  std::printf("calibrator frame, byte by byte: %8.1f us\n", frameUs);
  std::printf("meter :READ?                  : %8.1f us\n", meterUs);
  std::printf("unit $V                       : %8.1f us\n", unitUs);
  std::printf("bench CPU for all of them     : %8.3f s\n", cpu);
  ::close(calibrator);
  ::close(meter);
  ::close(unit);
  return 0;
}
