#pragma once
// A unit behind the MeasureDevice interface, answering from fields the test
// sets, recording the commands the run makes, and letting a test act
// while a frame is awaited (as a user pressing Stop would).
#include "kernel/AppState.h"
#include "measure/MeasureDevice.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <map>

namespace pv::test {

class FakeMeasureDevice : public MeasureDevice {
public:
  explicit FakeMeasureDevice(AppState& state) : state_(state) {}

  DeviceIdentity identity{12, 2, 3, 0};
  std::array<int, 4> switches{0, 0, 0, 0};
  std::array<uint8_t, 256> cells{};
  std::map<int, QVector<int>> tables;  // by input type
  std::deque<FrameBytes> frames;       // streamed in order; empty: cancel
  bool failIdentity = false, failSwitches = false, failCells = false;
  // Runs inside ReadMeasureFrame, before the frame is returned.
  std::function<void(int frameIndex)> duringFrame;
  QStringList log;  // "V", "D", "R100+6", "S18", "MI", "SM", "A"
  qint64 now = 0;

  IdentityBytes ReadIdentity() override {
    log << "V";
    state_.commError = failIdentity;
    if (failIdentity) return {1, 0, 0, 0, 0};
    state_.identity = identity;
    return {0, identity.spare, identity.deviceCode, identity.variant, identity.hardwareRevision};
  }
  std::array<int, 4> ReadSwitchState() override {
    log << "D";
    state_.commError = failSwitches;
    return failSwitches ? std::array<int, 4>{} : switches;
  }
  CellBytes ReadCells(int bank, int first, int count) override {
    log << QStringLiteral("R%1+%2").arg(first).arg(count);
    CellBytes out{};
    state_.commError = failCells;
    if (failCells) {
      out[0] = 1;
      return out;
    }
    if (bank == 0)
      for (int i = 0; i < count && first + i < 256; ++i) out[i] = cells[first + i];
    return out;
  }
  QVector<int> ReadCalibrationTables(int inputType) override {
    log << QStringLiteral("S%1").arg(inputType);
    auto it = tables.find(inputType);
    state_.commError = it == tables.end();
    return it == tables.end() ? QVector<int>{} : it->second;
  }
  void StartMeasure() override { log << "MI"; }
  void StopMeasure() override { log << "SM"; }
  FrameBytes ReadMeasureFrame() override {
    log << "A";
    now += 100;
    if (duringFrame) duringFrame(framesRead_);
    ++framesRead_;
    if (frames.empty()) return {1};
    FrameBytes f = frames.front();
    if (frames.size() > 1) frames.pop_front();  // the last frame repeats
    return f;
  }
  qint64 nowMs() override { return now; }
  void letEventsRun() override {}

  int count(const QString& what) const { return int(log.count(what)); }
  // Commands after the last "MI".
  QStringList afterStart() const {
    const int i = int(log.lastIndexOf("MI"));
    return i < 0 ? QStringList{} : log.mid(i + 1);
  }

private:
  AppState& state_;
  int framesRead_ = 0;
};

} // namespace pv::test
