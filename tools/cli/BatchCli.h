#pragma once
// planovix-cli program: batch programming at the bench. One .DST file goes
// onto unit after unit: wait until a unit answers, identify it, write the
// file through write-config (its questions, checks and read-back compare),
// beep, log a CSV line, wait until the unit is unplugged, and so on until
// Ctrl+C or --count. Each unit's commands run through the whole tool
// (CliRun::runAgain), as a technician would type them.
//
// Exit codes: 0 every unit written and verified (or none came); 1 a unit
// failed, or the port could not be opened at the start; 2 usage error or
// bad input (file, log, model); 3 no unit failed but one was refused.
#include "CliBase.h"

namespace pv {

// The signals that end the batch: the first after the unit in hand, the
// second that unit's write too.
int ProgramCommand(CliRun& run);

// Asks a running batch to end after the unit in hand, as Ctrl+C does.
void RequestBatchStop();

} // namespace pv
