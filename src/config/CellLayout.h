#pragma once
// Which fields of the configuration record a unit of a given identity
// carries, and where its trip block sits. The cell map and the factory
// cells both ask this; it asks the catalogue.
#include "kernel/AppState.h"

namespace pv {

// Which of the record's fields exist on a unit of this identity.
struct CellLayout {
  bool frequencyInput;     // variant 7
  bool familyInCell4;      // variants 2..6
  bool inputCopyInCell1;   // variant 0
  int tripBlock;           // first cell of channel A's trip
  int tripChannels;        // 1 or 2
  bool signedWords;
  bool tripScaledByRow;    // variant 0: "10 V" and "20 mA" thresholds x 10^d
  bool delayInTenths;      // variant 0: delay cell = seconds x 7.5
  bool responseTime;       // code 12, variant 0, revision 4 and later
  bool physicalScale;      // code 12, variant 5
  bool res300kCode18;      // code 12, variant 6
};
CellLayout CellLayoutFor(const DeviceIdentity& id);

// Where cell 4 names the family (variants 2..6), its bit 5 is no doubler and
// channel A's direction bit no trip direction; the frequency input has no
// doubler, and channel B a trip only where both channels carry one.
inline bool DoublerOwned(const CellLayout& L) { return !L.frequencyInput && !L.familyInCell4; }
inline bool TripDirectionOwned(const CellLayout& L, int c) {
  return c < L.tripChannels && !(c == 0 && L.familyInCell4);
}

} // namespace pv
