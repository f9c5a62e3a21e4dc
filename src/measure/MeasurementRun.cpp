#include "measure/MeasurementRun.h"
#include "kernel/Catalogue.h"

#include "kernel/Feedback.h"
#include "measure/ChannelDerivation.h"
#include "measure/MeasureDevice.h"

#include <algorithm>

namespace pv {

MeasurementRun::MeasurementRun(AppState& state, const RangeTables& tables, MeasureDevice& device,
                               Feedback& feedback, QObject* parent)
    : QObject(parent), state_(state), tables_(tables), device_(device), feedback_(feedback) {}

RunEnd MeasurementRun::run() {
  // A second Start while a run waits inside its loop would nest a run.
  if (active_ || state_.measureRunning || state_.measureLoopActive) return RunEnd::AlreadyRunning;
  active_ = true;
  history_.clear();
  RunEnd why = start();
  if (why == RunEnd::Stopped) why = loop();
  return finish(why);
}

RunEnd MeasurementRun::start() {
  state_.measureRunning = true;
  const IdentityBytes idb = device_.ReadIdentity();
  if (idb[0] == 1 || state_.commError) return RunEnd::IdentityFailed;
  const DeviceIdentity id = state_.identity;

  const std::array<int, 4> swRead = device_.ReadSwitchState();
  for (int k = 0; k < 3; ++k) state_.switchBytes[k] = static_cast<uint8_t>(swRead[k]);
  if (state_.commError) {
    device_.StopMeasure();
    return RunEnd::SwitchReadFailed;
  }
  const std::array<uint8_t, 3> sw = state_.switchBytes;

  setup_ = RunSetup{};
  setup_.identity = id;
  setup_.lastChannel = std::clamp<int>(state_.channelSelector, 0, 1);
  const int last = setup_.lastChannel;

  for (int c = 0; c <= last; ++c) {
    ChannelSetup& ch = setup_.channels[c];
    ChannelSettings s = state_.channels[c];
    const int switchRow = SwitchInputRow(id, sw, c);
    if (switchRow == rows::Eeprom) {
      const CellBytes cells = device_.ReadCells(0, 0, 42);
      if (state_.commError) return RunEnd::SetupFailed;
      std::copy(cells.begin(), cells.begin() + 42, state_.programmingBuffer.begin());
      const ChannelSettings decoded = ChannelFromCells(id, tables_, cells.data(), c);
      // Keep what only the editor knows (physical scale, option value).
      s.inputType = decoded.inputType;
      s.inputDecimals = decoded.inputDecimals;
      s.inputMax = decoded.inputMax;
      s.inputMin = decoded.inputMin;
      s.outputType = decoded.outputType;
      s.outputMax = decoded.outputMax;
      s.outputMin = decoded.outputMin;
      s.function = decoded.function;
      s.inputUnit = decoded.inputUnit;
      s.outputUnit = decoded.outputUnit;
      s.fromSwitches = false;
      if (c == 1 && (cells[4] & 32)) ch.inputLabelVisible = false;  // doubler
    } else if (!DeriveSwitchChannel(id, tables_, sw, c, switchRow, device_, state_, s)) {
      return RunEnd::SetupFailed;
    }
    ch.settings = s;
    ch.configured = true;
    state_.channels[c] = s;
  }

  for (int c = 0; c <= last; ++c) {
    ChannelSetup& ch = setup_.channels[c];
    FillChannelLabels(id, tables_, ch);
    ch.settings.description = ch.inputLabel;
    state_.channels[c].description = ch.inputLabel;
    const bool carriesTrip = c < TripChannels(id);
    if (carriesTrip) setup_.trips[c] = MakeTripLabels(id, state_.trips[c], ch.settings.inputUnit);
  }

  for (int c = 0; c <= last; ++c) {
    ChannelSetup& ch = setup_.channels[c];
    const CellBytes cells =
        device_.ReadCells(0, CalibrationPairAddress(c, ch.settings.outputType), 6);
    if (state_.commError) return RunEnd::SetupFailed;
    const auto pair = CalibrationPairFromCells(cells.data());
    ch.p0 = pair[0];
    ch.p1 = pair[1];
  }

  // A configuration read or Stop during set-up: do not start streaming.
  if (!state_.measureRunning) return RunEnd::StoppedEarly;

  emit started(setup_);
  device_.StartMeasure();
  state_.measureLoopActive = true;
  return RunEnd::Stopped;
}

RunEnd MeasurementRun::loop() {
  for (;;) {
    if (!state_.measureRunning || state_.exitFlag) {
      device_.StopMeasure();
      return RunEnd::Stopped;
    }
    lampRed_ = !lampRed_;
    feedback_.setBusy(lampRed_);
    emit lampBlink(lampRed_);

    const FrameBytes frame = device_.ReadMeasureFrame();
    if (frame[0] == 1) {
      // The unit may still be streaming: take it out before leaving.
      state_.measureRunning = false;
      device_.StopMeasure();
      return RunEnd::Cancelled;
    }
    const DisplayFrame shown = ComputeDisplay(setup_, DecodeFrame(setup_.identity, frame), device_.nowMs());
    history_.add(shown);
    emit frameShown(shown);
    device_.letEventsRun();
  }
}

RunEnd MeasurementRun::finish(RunEnd why) {
  state_.measureRunning = false;
  lampRed_ = false;
  feedback_.setBusy(false);
  feedback_.setHourglass(false);
  state_.measureLoopActive = false;
  active_ = false;
  emit finished(why);
  return why;
}

} // namespace pv
