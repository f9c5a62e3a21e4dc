#pragma once
// planovix-cli's cell-memory commands, on the same core as the EEPROM window:
//   eeprom read OUT.dat | eeprom write IN.dat | eeprom verify IN.dat
//   peek BANK ADDR byte|int|float | poke BANK ADDR byte|int|float VALUE
// Arguments and memory files are checked before the port is opened, so bad
// input never reaches the unit. "eeprom verify" exits 4 when cells differ.
#include "CliBase.h"

namespace pv {

int EepromCommand(CliRun& run);
int PeekCommand(CliRun& run);
int PokeCommand(CliRun& run);

} // namespace pv
