#pragma once
// Naming the identified unit: the variant alone, or for variants whose
// family sits in cell 4 (bits 5 and 6), the variant and that cell. The
// caption routine, the command-line tool and the tests share this.
#include <QString>

namespace pv {

class DeviceCommands;
struct AppState;

struct FamilyLookup {
  bool answered = true;  // false: the unit was asked for cell 4 and gave up
  QString modelId;       // the catalogue id; names no model when unknown
};

// askUnit: read cell 4 from the unit (inside an exchange the caller owns);
// otherwise the cell of the last read stands in. A successful read keeps
// the cell in the programming buffer and as the family cell, and remembers
// the "KRV2211" family the switch wizard compares against.
FamilyLookup LookUpModel(AppState& s, DeviceCommands& commands, bool askUnit);

} // namespace pv
