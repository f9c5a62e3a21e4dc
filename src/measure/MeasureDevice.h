#pragma once
// The few unit exchanges a measurement run makes, behind one narrow
// interface so that the run can be driven by the real command set or by a
// scripted stand-in. Failures follow the device link's rules: the
// communication error flag of AppState is set and the caller tests it.
#include "link/DeviceCommands.h"

#include <QVector>
#include <QtGlobal>
#include <array>

namespace pv {

class MeasureDevice {
public:
  virtual ~MeasureDevice() = default;
  virtual IdentityBytes ReadIdentity() = 0;
  virtual std::array<int, 4> ReadSwitchState() = 0;
  virtual CellBytes ReadCells(int bank, int firstAddress, int count) = 0;
  virtual QVector<int> ReadCalibrationTables(int inputType) = 0;
  virtual void StartMeasure() = 0;
  virtual void StopMeasure() = 0;
  // Waits for one streamed frame; [0] is 1 when the user cancelled.
  virtual FrameBytes ReadMeasureFrame() = 0;
  // Monotonic milliseconds, for sample timestamps.
  virtual qint64 nowMs() = 0;
  // One turn of the event loop between frames, so Stop can be pressed
  // even when frames arrive back to back.
  virtual void letEventsRun() = 0;
};

} // namespace pv
