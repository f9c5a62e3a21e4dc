#pragma once
// What the switch wizard asks of a connected unit. Failures are reported the
// device link's way: the communication error flag of AppState is set, and
// the caller looks at it after every call.
#include <QVector>
#include <array>

namespace pv {

class DeviceCommands;

class SwitchUnit {
public:
  virtual ~SwitchUnit() = default;
  // Codes of answer characters 2..5 ("$D"); zeros where the answer is short.
  virtual std::array<int, 4> ReadSwitchState() = 0;
  // Span default, span points, zero default, zero points ("$S" and the
  // default cells); sets the table sizes in AppState.
  virtual QVector<int> ReadCalibrationTables(int inputType) = 0;
  // Sends the first count cells of AppState's write list to bank.
  virtual void WriteCells(int bank, int count) = 0;
};

// The real unit, through the device command set.
class DeviceSwitchUnit : public SwitchUnit {
public:
  explicit DeviceSwitchUnit(DeviceCommands& commands) : commands_(commands) {}
  std::array<int, 4> ReadSwitchState() override;
  QVector<int> ReadCalibrationTables(int inputType) override;
  void WriteCells(int bank, int count) override;

private:
  DeviceCommands& commands_;
};

} // namespace pv
