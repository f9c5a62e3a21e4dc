#pragma once
// planovix-cli's bench instrument commands, for technicians and scripts:
// drive the supply, calibrator, multimeters, switching unit and function
// generator through the same drivers the calibration uses.
//
// Exit codes as the other commands: 0 success, 1 instrument failure (no
// answer, port or session missing, an answer that is not a number),
// 2 usage error or bad input.
#include "CliBase.h"

namespace pv {

// supply, supply-current, calibrator-function, calibrator-set, ambient,
// meter-setup, meter-read, meter-beep, route, generator, generator-send:
// the selectors and arguments are checked before any instrument is touched.
int InstrumentCommand(CliRun& run);

} // namespace pv
