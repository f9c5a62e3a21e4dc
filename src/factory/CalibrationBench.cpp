#include "factory/CalibrationBench.h"

#include "factory/CalibrationSetup.h"

#include "link/QtSerialPort.h"

namespace pv {

InstrumentPortMaker RealInstrumentPorts() {
  return [](InstrumentKind, int) -> std::unique_ptr<SerialPort> { return std::make_unique<QtSerialPort>(); };
}

CalibrationBench::CalibrationBench(const AppState& state, Clock& clock, Prompter& prompter,
                                   const InstrumentPortMaker& ports, SessionFactory sessions)
    : bench_{state, clock, prompter},
      supplyPort_(ports(InstrumentKind::PowerSupply, 0)),
      calibratorPort_(ports(InstrumentKind::Calibrator, 0)),
      switchPort_(ports(InstrumentKind::SwitchingUnit, 0)),
      meterPorts_{ports(InstrumentKind::Multimeter, 0), ports(InstrumentKind::Multimeter, 1)} {
  supply_ = std::make_unique<PowerSupply>(bench_, *supplyPort_);
  calibrator_ = std::make_unique<Calibrator>(bench_, *calibratorPort_);
  switches_ = std::make_unique<SwitchingUnit>(bench_, *switchPort_);
  for (size_t i = 0; i < meters_.size(); ++i)
    meters_[i] = std::make_unique<Multimeter>(bench_, *meterPorts_[i], sessions);
}

CalibrationInstruments CalibrationBench::instruments() {
  return {*supply_, *calibrator_, *meters_[0], *switches_};
}

bool CalibrationBench::busy() const {
  return supply_->busy() || calibrator_->busy() || switches_->busy() || meters_[0]->busy() || meters_[1]->busy();
}

} // namespace pv
