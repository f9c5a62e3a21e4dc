#pragma once
// A calibration station on the simulated bench, in-process: the unit behind
// an in-memory port and the program's device commands, each instrument
// behind a port of its own and the program's driver on its usual selector
// (supply Com4, calibrator Com6, meter Com3, switching unit Com5). The
// simulators keep simulated time; ClockT is what the program waits on (a
// FakeClock, or a clock wrapping one; SimulatedTime finds the FakeClock),
// PrompterT what it asks. Used by the calibration tests and the timing bench.
#include "Bench.h"
#include "InstrumentLink.h"
#include "SimulatorLink.h"
#include "factory/CalibrationSetup.h"
#include "factory/Calibrator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"

namespace pv::test {

inline FakeClock* SimulatedTime(FakeClock& clock) { return &clock; }

template <class ClockT, class PrompterT>
struct BenchStation {
  AppState state;
  ClockT clock;
  PrompterT prompter;
  MemorySerialPort unitPort, supplyPort, meterPort, calibratorPort, switchPort;
  bench::SimulatedBench sim;
  sim::SimulatorLink link;
  bench::InstrumentLink supplyLink, meterLink, calibratorLink, switchLink;
  Transport transport{unitPort, clock};
  Feedback feedback;
  DeviceCommands commands{state, transport, prompter, feedback};
  Bench bench{state, clock, prompter};
  PowerSupply supply{bench, supplyPort};
  Calibrator calibrator{bench, calibratorPort};
  Multimeter meter{bench, meterPort, {}};
  SwitchingUnit switches{bench, switchPort};

  BenchStation(const ModelRow& model, const bench::UnitTruth& truth, const bench::BenchFaults& faults)
      : sim(model, truth, faults), link(sim.unit(), unitPort, SimulatedTime(clock)),
        supplyLink(sim.supply(), supplyPort), meterLink(sim.meter(0), meterPort),
        calibratorLink(sim.calibrator(), calibratorPort), switchLink(sim.switches(), switchPort) {
    unitPort.open(QStringLiteral("sim"));
    state.identity = sim.unit().identity();
    supply.setSelector("Com4");
    calibrator.setSelector("Com6");
    meter.setSelector("Com3");
    switches.setSelector("Com5");
  }
  CalibrationInstruments instruments() { return {supply, calibrator, meter, switches}; }
};

} // namespace pv::test
