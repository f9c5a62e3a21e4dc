#pragma once
// The instruments of the calibration bench, made once and kept for the life
// of the window (or station) that drives them: the power supply, the
// calibrator, the switching unit and the two multimeter elements, each on a
// serial port of its own; the multimeters may also reach a USB or network
// session.
//
// Ports are opened lazily by the drivers from the selector texts; nothing
// here opens or closes anything.
#include "factory/Calibrator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"

#include <array>
#include <functional>
#include <memory>

namespace pv {

struct CalibrationInstruments;

// Makes the (closed) serial port one instrument will use; element is the
// multimeter element (0 or 1), 0 for the others. Tests wire each one to its
// simulated instrument, the program hands out real ports.
using InstrumentPortMaker = std::function<std::unique_ptr<SerialPort>(InstrumentKind kind, int element)>;

// Real serial ports for every instrument.
InstrumentPortMaker RealInstrumentPorts();

class CalibrationBench {
public:
  // clock and prompter: the ones every instrument wait and question goes
  // through (the unit link's, so that the link sees them).
  CalibrationBench(const AppState& state, Clock& clock, Prompter& prompter, const InstrumentPortMaker& ports,
                   SessionFactory sessions);
  CalibrationBench(const CalibrationBench&) = delete;
  CalibrationBench& operator=(const CalibrationBench&) = delete;

  PowerSupply& supply() { return *supply_; }
  Calibrator& calibrator() { return *calibrator_; }
  SwitchingUnit& switches() { return *switches_; }
  Multimeter& meter(int element) { return *meters_[static_cast<size_t>(element)]; }
  // What the calibration run and steps drive (multimeter element 0).
  CalibrationInstruments instruments();
  // True while any instrument is inside an exchange.
  bool busy() const;

private:
  Bench bench_;
  std::unique_ptr<SerialPort> supplyPort_, calibratorPort_, switchPort_;
  std::array<std::unique_ptr<SerialPort>, 2> meterPorts_;
  std::unique_ptr<PowerSupply> supply_;
  std::unique_ptr<Calibrator> calibrator_;
  std::unique_ptr<SwitchingUnit> switches_;
  std::array<std::unique_ptr<Multimeter>, 2> meters_;
};

} // namespace pv
