#pragma once
// One measurement run: set-up, streaming loop and its end.
//
//   idle --run()--> starting: identity, switch bytes, channel records,
//   labels, calibration pairs --"MI"--> streaming (loop active flag set;
//   one frame per turn, the busy lamp toggled once per frame)
//   --running flag cleared (Stop, main window button, configuration read),
//   or retry cancelled--> "SM" --> idle.
//
// run() returns only when the run has ended; everything else (Stop, the
// window's painting) happens from the event loop turns inside the waits.
// The running flag in AppState is the only way to ask the loop to stop.
// It ends Stopped, Cancelled, IdentityFailed, SwitchReadFailed, SetupFailed,
// StoppedEarly or AlreadyRunning (RunEnd).
#include "kernel/AppState.h"
#include "kernel/RunEnd.h"
#include "config/RangeTables.h"
#include "measure/FrameDisplay.h"
#include "measure/SampleHistory.h"

#include <QObject>

namespace pv {

class MeasureDevice;
class Feedback;

class MeasurementRun : public QObject {
  Q_OBJECT
public:
  MeasurementRun(AppState& state, const RangeTables& tables, MeasureDevice& device,
                 Feedback& feedback, QObject* parent = nullptr);

  // Start button: runs until the run ends.
  RunEnd run();
  // Stop button: asks the loop to end after the frame it is waiting for.
  void stop() { state_.measureRunning = false; }
  bool active() const { return active_; }

  const RunSetup& setup() const { return setup_; }
  SampleHistory& history() { return history_; }
  const SampleHistory& history() const { return history_; }

signals:
  // Labels and ranges are known; streaming is about to begin.
  void started(const pv::RunSetup& setup);
  // Once per frame, before the frame is read: the busy lamp's new colour.
  void lampBlink(bool red);
  void frameShown(const pv::DisplayFrame& frame);
  // Every end path, after the flags are cleared.
  void finished(pv::RunEnd why);

private:
  RunEnd start();
  RunEnd loop();
  RunEnd finish(RunEnd why);

  AppState& state_;
  const RangeTables& tables_;
  MeasureDevice& device_;
  Feedback& feedback_;
  RunSetup setup_;
  SampleHistory history_;
  bool active_ = false;
  bool lampRed_ = false;
};

} // namespace pv
