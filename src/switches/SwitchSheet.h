#pragma once
// The switch banks on the commissioning sheet: the banks the switch window
// shows, drawn by the window's own painter, and what they set, in the
// current language.
#include "config/Sheet.h"

#include <optional>

namespace pv {

struct AppState;
class RangeTables;
class SwitchWizardModel;

// Nothing for a unit whose switches leave every channel to the stored
// configuration ("EEPROM"), in demonstration mode, or for an unknown layout.
std::optional<SheetPicture> SwitchBanksPicture(const SwitchWizardModel& m, const RangeTables& tables,
                                               const AppState& s);

// Millimetres per design unit of a bank on the page: three banks side by
// side fill the printable width.
constexpr double kSheetBankScale = 180.0 / (3 * 2940 + 2 * 240);

} // namespace pv
