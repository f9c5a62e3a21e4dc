#pragma once
// Wires a simulated instrument to a MemorySerialPort in the same process:
// what the program writes reaches the instrument at once, and its answers
// are queued for reading at once.
//
//   bench::SimulatedBench bench(*FindModel(u"KRV2212A"), truth);
//   MemorySerialPort supplyPort;
//   bench::InstrumentLink link(bench.supply(), supplyPort);
#include "Instruments.h"
#include "link/MemorySerialPort.h"

namespace pv::bench {

class InstrumentLink {
public:
  InstrumentLink(Instrument& instrument, MemorySerialPort& port) : instrument_(instrument), port_(port) {
    port_.setPeer([this](const QByteArray& bytes) { instrument_.receive(bytes); });
    instrument_.setSink([this](const QByteArray& bytes) { port_.deliver(bytes); });
  }
  ~InstrumentLink() {
    port_.setPeer({});
    instrument_.setSink({});
  }
  InstrumentLink(const InstrumentLink&) = delete;
  InstrumentLink& operator=(const InstrumentLink&) = delete;

private:
  Instrument& instrument_;
  MemorySerialPort& port_;
};

} // namespace pv::bench
