#pragma once
// Checks on an encode onto a unit's cells, shared by the targets that reach
// EncodeConfig: no value the unit cannot hold goes out.
#include "FuzzSupport.h"
#include "config/CellMap.h"

#include <vector>

namespace pv::fuzz {

// First cells of every Float24 the layout has (trip thresholds, physical scale).
inline std::vector<int> Float24Cells(const CellLayout& L) {
  std::vector<int> at;
  for (int c = 0; c < L.tripChannels; ++c) {
    at.push_back(L.tripBlock + 6 * c);
    at.push_back(L.tripBlock + 6 * c + 3);
  }
  if (L.physicalScale)
    for (int k = 0; k < 8; ++k) at.push_back(128 + 3 * k);
  return at;
}

// Exponent of the Float24 at a (M2, M1, S): S bits 6..0 and M1 bit 7.
inline int Float24Exponent(const CellImage& cells, int a) {
  return ((cells[a + 2] & 0x7F) << 1) | (cells[a + 1] >> 7);
}

// An encode that reports no fault writes no Inf/NaN pattern: exponent 255
// may only stand where the unit already held exactly those bytes.
inline void CheckEncodedFloats(const DeviceIdentity& id, const CellImage& base, const EncodedCells& out) {
  if (!out.ok()) return;
  for (int a : Float24Cells(CellLayoutFor(id))) {
    if (Float24Exponent(out.cells, a) != 255) continue;
    const bool untouched = out.cells[a] == base[a] && out.cells[a + 1] == base[a + 1] &&
                           out.cells[a + 2] == base[a + 2];
    PV_FUZZ_CHECK(untouched, QStringLiteral("cell %1 encodes a Float24 with exponent 255").arg(a));
  }
}

// Cells a write does not send must be the unit's own.
inline void CheckUnsentCellsKept(const CellImage& base, const EncodedCells& out) {
  std::vector<bool> sent(256, false);
  for (int a : out.addresses) {
    PV_FUZZ_CHECK(a >= 0 && a < 256, QStringLiteral("address %1 is not a cell").arg(a));
    sent[a] = true;
  }
  for (int a = 0; a < 256; ++a)
    PV_FUZZ_CHECK(sent[a] || out.cells[a] == base[a],
                  QStringLiteral("cell %1 changed (%2 -> %3) but is not sent").arg(a).arg(base[a]).arg(out.cells[a]));
}

} // namespace pv::fuzz
