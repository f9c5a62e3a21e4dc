#pragma once
// The factory's cells: where a calibration stores what it measured on one
// unit. One row per value, per channel and calibration layout; the
// calibration steps, the cell map, the measurement's channel derivation,
// the bench simulator and the unit's fingerprint all read these rows.
//
// Bank 0, c = channel (A = 0, B = 1):
//   gain k1 of an input range   Float24 (M2 M1 S)   A 50 53 56 59 62 65 68
//                                                   B 29 32 35 38 41 44 47
//                               (90 mV, 200 mV, 800 mV, 10 V, 20 mA, 2 kohm, 500 ohm)
//   PTC word Veq                word, low byte first, on the 2 kohm gain's cells:
//                               A 65, B 44
//   zero trim (10 V, 20 mA)     one byte: A 74 75, B 85 86; KRV2210 92 93
//   output pair (V, mA)         two Float24: A 100 106, B 112 118; the value
//                               at the low DAC code first (KRV2210: the high one)
//   cold-junction offset        signed tenths: A 7, B 8 (also the channel's
//                               input offset in the configuration)
//   physical scale (KRV2312D)   eight Float24 at 128 131 134 137 140 143 146 149
//                               (also the configuration's physical scale)
#include "kernel/Catalogue.h"

#include <vector>

namespace pv {

enum class FactoryCellKind {
  Gain,           // code: the input code of the range (1, 2, 3, 4, 5, 16, 17)
  PtcWord,        // code 25
  ZeroTrim,       // code: 4 (10 V) or 5 (20 mA)
  OutputPair,     // code: 2 voltage output, 0 current output
  ColdJunction,   // code 8
  PhysicalScale,  // code: index 0..7 of the value
};

// How a model's calibration lays out its cells.
enum class CalibrationLayout {
  Current,        // KRV2211, KRV2212, KRV2311, KRV2312 A/B/C
  OlderFixture,   // KRV2210: its own trims, the output pair high value first
  PhysicalScale,  // KRV2312D: the current layout plus the physical scale
};

struct FactoryCell {
  FactoryCellKind kind;
  int channel;  // 0 = A, 1 = B
  int code;     // see FactoryCellKind
  int first;    // first cell, bank 0
  int count;    // cells
  // A configuration field owns these cells too (the offset, the physical
  // scale): the user changes them, so they do not name the unit.
  bool sharedWithConfiguration;
};

CalibrationLayout CalibrationLayoutOf(const ModelRow& model);

// Every row of a layout, both channels.
const std::vector<FactoryCell>& FactoryCells(CalibrationLayout layout);

// The row of one value, or nullptr when the layout has none.
const FactoryCell* FindFactoryCell(CalibrationLayout layout, FactoryCellKind kind, int channel, int code);

// The rows a unit of this model carries: channel B's inputs only on
// two-input models, channel B's outputs only where that output exists.
std::vector<FactoryCell> FactoryCellsOf(const ModelRow& model);

// The cells that tell one unit of a model from another: its factory cells
// that no configuration field of this identity owns, ascending. The
// fingerprint is a digest of these and the identity bytes.
std::vector<int> FingerprintCells(const ModelRow& model, const DeviceIdentity& id);

} // namespace pv
