#pragma once
// The measurement run talking to a real (or simulated) unit through the
// command set and its transport.
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/Transport.h"
#include "measure/MeasureDevice.h"

namespace pv {

class DeviceCommandsLink final : public MeasureDevice {
public:
  explicit DeviceCommandsLink(DeviceCommands& commands) : cmd_(commands) {}

  IdentityBytes ReadIdentity() override { return cmd_.ReadIdentity(); }
  std::array<int, 4> ReadSwitchState() override { return cmd_.ReadSwitchState(); }
  CellBytes ReadCells(int bank, int first, int count) override {
    return cmd_.ReadCells(bank, first, count);
  }
  QVector<int> ReadCalibrationTables(int inputType) override {
    return cmd_.ReadCalibrationTables(inputType);
  }
  void StartMeasure() override { cmd_.StartMeasure(); }
  void StopMeasure() override { cmd_.StopMeasure(); }
  FrameBytes ReadMeasureFrame() override { return cmd_.ReadMeasureFrame(); }
  qint64 nowMs() override { return cmd_.transport().clock().nowMs(); }
  void letEventsRun() override { cmd_.transport().clock().wait(0, nullptr); }

private:
  DeviceCommands& cmd_;
};

} // namespace pv
