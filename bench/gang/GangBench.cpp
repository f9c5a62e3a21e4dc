// bench-gang: units per hour when one configuration goes onto units on 1, 2,
// 4 and 8 ports at once, against planovix-devsim --baud-timing (one per
// port, 9600-baud answers and the unit's pauses), side by side in one run.
//
// The bench is the operator: as soon as a port's unit is done it is pulled
// and the next one plugged. Each port programs UNITS units; throughput is
// units over the wall time from the start to the last unit's end. Goals:
// 8 ports >= 7.5 x one port, and CPU/wall of this process <= 0.05.
//
// It also prints why each port has a thread of its own: two waits nested in
// one thread (another port's long wait started inside a short one) return
// only when the inner one does.
//
//   bench-gang [UNITS]     units per port, default 3
#include "CliCore.h"
#include "config/GangProgrammer.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"
#include "support/ChildProcess.h"
#include "support/EditedConfig.h"
#include "support/Stopwatch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace pv;

namespace {

using benchmark::CpuNow;
using benchmark::WallNow;

// One port's simulator, its unit plugged; it is pulled and plugged again
// by signals, as the technician's hands.
struct Sim : test::ChildProcess {
  QString link;
  Sim(const QString& dir, int index)
      : ChildProcess(QStringLiteral(PLANOVIX_DEVSIM),
                     {"--model", "KRV2212A", "--baud-timing", "--link", QStringLiteral("%1/com%2").arg(dir).arg(index),
                      "--serial", QString::number(1000 * (index + 1))}),
        link(QStringLiteral("%1/com%2").arg(dir).arg(index)) {
    readLine();
  }
};

// The file every unit gets: the simulator's own configuration read once,
// with channel A's input upper limit changed.
QString MakeFile(const QString& dir) {
  Sim sim(dir, 99);
  const QString path = dir + QStringLiteral("/bench.DST");
  QString out, err;
  QTextStream o(&out), e(&err);
  QtSerialPort port;
  SteadyClock clock;
  if (RunCli({QStringLiteral("--port"), sim.link, QStringLiteral("read-config"), path}, port, clock, o, e) != 0) {
    e.flush();
    std::fprintf(stderr, "bench-gang: cannot read the configuration: %s\n", qPrintable(err));
    std::exit(1);
  }
  test::RaiseUpperLimit(path);
  return path;
}

struct Run {
  int units = 0;
  double wall = 0, cpu = 0;
  int failed = 0;
};

Run RunGang(const QString& dir, const QString& file, int ports, int perPort) {
  QTemporaryDir here(dir + QStringLiteral("/run-XXXXXX"));
  std::vector<std::unique_ptr<Sim>> sims;
  std::vector<GangPort> list;
  for (int i = 0; i < ports; ++i) {
    sims.push_back(std::make_unique<Sim>(here.path(), i));
    list.push_back({sims.back()->link, sims.back()->link});
  }
  GangOptions o;
  o.file = file;
  o.repeat = true;
  o.store = here.filePath(QStringLiteral("records.sqlite"));
  GangProgrammer gang(list, o);
  std::vector<int> done(static_cast<size_t>(ports), 0), plugged(static_cast<size_t>(ports), 0);
  Run r;
  QEventLoop loop;
  QObject::connect(&gang, &GangProgrammer::finished, &loop, &QEventLoop::quit);
  QObject::connect(&gang, &GangProgrammer::unitDone, [&](int index) {
    const GangUnit& u = gang.units()[static_cast<size_t>(index)];
    r.failed += u.outcome != GangOutcome::Ok;
    Sim& s = *sims[static_cast<size_t>(u.slot)];
    s.signal(SIGUSR1);  // pulled; the next one goes in once the port is seen empty
    ++done[static_cast<size_t>(u.slot)];
    if (static_cast<int>(gang.units().size()) == ports * perPort) {
      r.wall = WallNow() - r.wall;
      r.cpu = CpuNow() - r.cpu;
      gang.requestStop();
    }
  });
  QObject::connect(&gang, &GangProgrammer::slotChanged, [&](int slot) {
    const size_t i = static_cast<size_t>(slot);
    if (gang.slotViews()[i].state == GangState::Waiting && done[i] > 0 && done[i] < perPort &&
        plugged[i] + 1 == done[i]) {
      ++plugged[i];
      sims[i]->signal(SIGUSR2);
    }
  });
  r.wall = WallNow();
  r.cpu = CpuNow();
  gang.start();
  loop.exec();
  r.units = static_cast<int>(gang.units().size());
  return r;
}

// Two waits nested in one thread: the outer (100 ms) returns only after
// the inner one (1000 ms, started 10 ms in) has.
double NestedWaitMs() {
  SteadyClock clock;
  QTimer::singleShot(10, [&] { clock.wait(1000, nullptr); });
  const double t0 = WallNow();
  clock.wait(100, nullptr);
  return (WallNow() - t0) * 1000.0;
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int perPort = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  QTemporaryDir dir;
  const QString file = MakeFile(dir.path());
  std::printf("one thread, nested waits: a 100 ms wait returned after %.0f ms\n", NestedWaitMs());
  std::printf("ports  units  wall s  units/hour  x one port  CPU/wall  failed\n");
  double one = 0;
  for (int ports : {1, 2, 4, 8}) {
    const Run r = RunGang(dir.path(), file, ports, perPort);
    const double perHour = r.units / r.wall * 3600.0;
    if (ports == 1) one = perHour;
    std::printf("%5d  %5d  %6.1f  %10.0f  %10.2f  %8.4f  %6d\n", ports, r.units, r.wall, perHour, perHour / one,
                r.cpu / r.wall, r.failed);
    std::fflush(stdout);
  }
  return 0;
}
