#pragma once
// planovix-cli calibrate: the factory calibration run as an automated
// station, on the same sequencer as the calibration window; and the
// window's other buttons: calibrate-power on|off, tara-canale A|B,
// linearity-output ("lett mult") and linearity-2ch ("2 ch compl.").
//
// Exit codes of calibrate: 0 normal end with every run cell green, 4 normal
// end with a red cell, 3 stopped (an Abort answer or an interrupt), 1 error
// end, 2 usage error or bad input. The buttons: 0 done, 1 a device or
// instrument failure, 2 usage error or bad input.
#include "CliBase.h"

#include "link/Clock.h"

namespace pv {

class SerialPort;

// Every wait and time-out at a fraction of its length (--time-scale), for
// a simulated bench whose unit and instruments answer at once. Two floors
// keep it safe on a busy machine: a wait for an answer (it ends as soon as
// one comes) lasts up to kAnswerFloorMs, and a pause of a tenth of a second
// or more (the unit's "PR" is read after one) at least kPauseFloorMs.
class ScaledClock final : public Clock {
public:
  static constexpr qint64 kAnswerFloorMs = 300, kPauseFloorMs = 40;
  ScaledClock(Clock& inner, double factor) : inner_(inner), factor_(factor) {}
  qint64 nowMs() override;
  void wait(qint64 ms, SerialPort* port) override;

private:
  Clock& inner_;
  double factor_;
};

// calibrate MODEL: the calibration run.
int CalibrateCommand(CliRun& run);
// The window's other buttons, one a call: ON / OFF, "Tara Canale A/B",
// "lett mult" and "2 ch compl.".
int CalibratePowerCommand(CliRun& run);
int TaraCanaleCommand(CliRun& run);
int LinearityOutputCommand(CliRun& run);
int LinearityTwoChannelsCommand(CliRun& run);

} // namespace pv
