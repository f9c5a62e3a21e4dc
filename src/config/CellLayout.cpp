#include "config/CellLayout.h"

#include "kernel/Catalogue.h"

namespace pv {

CellLayout CellLayoutFor(const DeviceIdentity& id) {
  const VariantRow* row = FindVariant(id.variant);
  CellLayout L{};
  L.frequencyInput = id.variant == 7;
  L.familyInCell4 = row && row->familyInCell4;
  L.inputCopyInCell1 = id.variant == 0;
  L.tripBlock = row ? row->tripBlock : 28;
  L.tripChannels = TripChannels(id);
  L.signedWords = !row || row->signedWords;
  L.tripScaledByRow = id.variant == 0;
  L.delayInTenths = id.variant == 0;
  L.responseTime = IsCode12Variant(id, 0) && id.hardwareRevision >= 4;
  L.physicalScale = Code12Row(id) && Code12Row(id)->physicalScale;
  L.res300kCode18 = IsCode12Variant(id, 6);
  return L;
}

} // namespace pv
