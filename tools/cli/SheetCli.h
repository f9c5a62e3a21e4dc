#pragma once
// planovix-cli sheet OUT.pdf [IN.DST] [--lang it|en]: the commissioning
// sheet as the editor's "Print / PDF..." writes it. Without IN.DST the unit
// is read as the program's Read does (identity, configuration, switches);
// with it, the file alone (its identity, no unit, no switch banks).
#include "CliBase.h"

namespace pv {

int SheetCommand(CliRun& run);

} // namespace pv
