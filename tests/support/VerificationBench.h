#pragma once
// The verification bench on in-memory ports: what the supply, the meter and
// the switching unit receive, every byte the calibrator gets (it echoes them),
// and the readings the meter gives to ":READ?", in order.
#include "factory/Verification.h"
#include "kernel/AppState.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/ScriptedPrompter.h"

#include <deque>

namespace pv::test {

struct VerificationBench {
  AppState state;
  FakeClock clock;
  ScriptedPrompter prompter;
  Bench bench{state, clock, prompter};
  MemorySerialPort supplyPort, calPort, meterPort, switchPort;
  std::vector<QByteArray> supplyWrites, meterWrites, switchWrites;
  QByteArray calWire;
  std::deque<QByteArray> readings;
  PowerSupply supply{bench, supplyPort};
  Calibrator calibrator{bench, calPort};
  Multimeter meter{bench, meterPort, {}};
  SwitchingUnit switches{bench, switchPort};
  Verification core{state, {supply, calibrator, meter, switches}, clock, prompter};

  VerificationBench() {
    supply.setSelector("Com4");
    calibrator.setSelector("Com6");
    meter.setSelector("Com3");
    switches.setSelector("Com5");
    supplyPort.setPeer([this](const QByteArray& b) { supplyWrites.push_back(b); });
    switchPort.setPeer([this](const QByteArray& b) { switchWrites.push_back(b); });
    calPort.setPeer([this](const QByteArray& b) {
      calWire += b;
      calPort.deliver(b);
    });
    meterPort.setPeer([this](const QByteArray& b) {
      meterWrites.push_back(b);
      if (b == ":READ?\r\n" && !readings.empty()) {
        meterPort.deliver(readings.front());
        readings.pop_front();
      }
    });
  }
  bool nothingSent() const {
    return supplyWrites.empty() && meterWrites.empty() && switchWrites.empty() && calWire.isEmpty();
  }
  QString lastMessage() const { return prompter.asked().empty() ? QString() : prompter.asked().back().text; }
};

} // namespace pv::test
