#include "link/DeviceCommands.h"
#include "switches/SwitchUnit.h"

namespace pv {

std::array<int, 4> DeviceSwitchUnit::ReadSwitchState() { return commands_.ReadSwitchState(); }

QVector<int> DeviceSwitchUnit::ReadCalibrationTables(int inputType) {
  return commands_.ReadCalibrationTables(inputType);
}

void DeviceSwitchUnit::WriteCells(int bank, int count) { commands_.WriteCells(bank, count); }

} // namespace pv
