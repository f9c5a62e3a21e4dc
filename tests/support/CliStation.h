#pragma once
// planovix-cli run in-process against the simulated bench: the unit behind
// an in-memory port, each instrument behind a port of its own, lent to the
// tool in the order it makes them (supply, calibrator, meter, switching unit,
// then the second meter), and simulated time.
#include "Bench.h"
#include "CliBench.h"
#include "CliCore.h"
#include "InstrumentLink.h"
#include "SimulatorLink.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/LentPort.h"

#include <QTextStream>
#include <gtest/gtest.h>

namespace pv::test {

struct CliStation {
  FakeClock clock;
  MemorySerialPort unitPort, supplyPort, calibratorPort, meterPort, switchPort, meterBPort;
  bench::SimulatedBench sim;
  sim::SimulatorLink link;
  bench::InstrumentLink supplyLink, calibratorLink, meterLink, switchLink, meterBLink;
  int made = 0;
  InstrumentIo io;
  QString out, err;

  // The unit's truth comes from the seed; faults are the bench's own texts,
  // added to base.
  CliStation(const char* model, unsigned seed, bench::BenchFaults base, const QStringList& faults)
      : sim(Model(model), bench::NominalTruth(Model(model), seed), Apply(base, faults)),
        link(sim.unit(), unitPort, &clock), supplyLink(sim.supply(), supplyPort),
        calibratorLink(sim.calibrator(), calibratorPort), meterLink(sim.meter(0), meterPort),
        switchLink(sim.switches(), switchPort), meterBLink(sim.meter(1), meterBPort) {
    io.makePort = [this]() -> std::unique_ptr<SerialPort> {
      MemorySerialPort* ports[] = {&supplyPort, &calibratorPort, &meterPort, &switchPort, &meterBPort};
      return std::make_unique<LentPort>(*ports[made++ % 5]);
    };
  }
  int run(const QStringList& args) {
    made = 0;
    out.clear();
    err.clear();
    QTextStream o(&out), e(&err);
    QString none;
    QTextStream in(&none);
    CliIo cli{unitPort, clock, in, o, e, &io};
    const int code = RunCli(args, cli);
    o.flush();
    e.flush();
    return code;
  }

private:
  static const ModelRow& Model(const char* name) { return *FindModel(QString::fromLatin1(name)); }
  static bench::BenchFaults Apply(bench::BenchFaults f, const QStringList& texts) {
    for (const QString& t : texts) EXPECT_TRUE(bench::ApplyFault(f, t).isEmpty()) << t.toStdString();
    return f;
  }
};

} // namespace pv::test
