#pragma once
// planovix-cli's compare and undo commands:
//   diff A B        A and B are each a ".DST" file or the word "device"
//   restore last|ID|FILE [--include-calibration]
//                   puts back the cells a record store entry saved: the
//                   connected unit's newest, entry number ID, or an entry
//                   file of the old JSON history
//   history [FINGERPRINT]  lists the record store's entries
// Files are read and checked before the port is opened; a diff of two
// files never opens it. "diff" exits 4 when the two differ.
#include "CliBase.h"

namespace pv {

int DiffCommand(CliRun& run);
int RestoreCommand(CliRun& run);
int HistoryCommand(CliRun& run);

} // namespace pv
