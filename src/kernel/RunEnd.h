#pragma once
// How a run ends: a measurement run or a calibration run, each in the ways
// its own header lists. Every end leaves the unit out of programming mode
// and not streaming.

namespace pv {

enum class RunEnd {
  Normal,           // the calibration ran through
  Stopped,          // STOP: the measurement's running flag cleared while
                    // streaming, or the calibration stopped after a step
  Error,            // a calibration's device or instrument exchange failed
  Cancelled,        // the user cancelled the lost-frame retry
  IdentityFailed,   // "$V" failed
  SwitchReadFailed, // "$D" failed
  SetupFailed,      // a cell or table read failed before streaming
  StoppedEarly,     // running flag cleared before streaming began
  AlreadyRunning,   // a run was already in progress: nothing done
};

} // namespace pv
