#pragma once
// planovix-cli's commands on the unit's configuration: identify,
// read-config, write-config, show-config, cells, switches and measure.
// Arguments and files are checked before the port is opened.
#include "CliBase.h"

namespace pv {

int IdentifyCommand(CliRun& run);
int ReadConfigCommand(CliRun& run);
int WriteConfigCommand(CliRun& run);
int ShowConfigCommand(CliRun& run);
int CellsCommand(CliRun& run);
int SwitchesCommand(CliRun& run);
int MeasureCommand(CliRun& run);

} // namespace pv
