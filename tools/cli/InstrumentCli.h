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

// Each checks its arguments, then its instrument's selector, before any
// instrument is touched.
int SupplyCommand(CliRun& run);
int SupplyCurrentCommand(CliRun& run);
int CalibratorFunctionCommand(CliRun& run);
int CalibratorSetCommand(CliRun& run);
int AmbientCommand(CliRun& run);
int MeterSetupCommand(CliRun& run);
int MeterReadCommand(CliRun& run);
int MeterBeepCommand(CliRun& run);
int RouteCommand(CliRun& run);
int GeneratorCommand(CliRun& run);
int GeneratorSendCommand(CliRun& run);

} // namespace pv
