#include "link/ModelFamily.h"

#include "kernel/Catalogue.h"
#include "link/DeviceCommands.h"

namespace pv {

FamilyLookup LookUpModel(AppState& s, DeviceCommands& commands, bool askUnit) {
  FamilyLookup r;
  uint8_t cell4 = s.familyCell;
  const uint8_t variant = s.identity.variant;
  const VariantRow* row = FindVariant(variant);
  if (row && row->familyInCell4 && askUnit) {
    const CellBytes cells = commands.ReadCells(0, 4, 1);
    if (s.commError) {
      r.answered = false;
      return r;
    }
    cell4 = cells[0];
    s.programmingBuffer[4] = cell4;
    s.familyCell = cell4;
    if ((cell4 & 96) == 96) s.modelFamily = FamilyPrefix(cell4);
  }
  r.modelId = IdentifyModel(variant, cell4);
  return r;
}

} // namespace pv
