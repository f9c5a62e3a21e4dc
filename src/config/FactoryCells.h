#pragma once
// The factory's cells: where a calibration stores what it measured on one
// unit, and the configuration cells it sets up to measure. One row per
// value, per channel and calibration layout; the calibration steps, the
// cell map, the measurement's channel derivation, the bench simulator and
// the unit's fingerprint all read these rows.
//
// Bank 0, c = channel (A = 0, B = 1):
//   gain k1 of an input range   Float24 S M1 M2     A 50 53 56 59 62 65 68
//                                                   B 29 32 35 38 41 44 47
//                               (90 mV, 200 mV, 800 mV, 10 V, 20 mA, 2 kohm, 500 ohm)
//   PTC word Veq                word, low byte first, on the 2 kohm gain's cells:
//                               A 65, B 44
//   zero trim (10 V, 20 mA)     one byte, the one's complement of the zero the
//                               unit reads (255 - m above 0, -m below):
//                               A 74 75, B 85 86; KRV2210 92 93 (channel A)
//   output pair (V, mA)         two Float24 S M1 M2: A 100 106, B 112 118; the
//                               value at the low DAC code first (KRV2210 and
//                               KRV2220: the one at the high code)
//   cold-junction offset        signed tenths: A 7, B 8 (also the channel's
//                               input offset in the configuration)
//   input range words           upper, lower: A 20, B 12 (configuration's)
//   output range words          upper, lower: A 24, B 16 (configuration's)
//   physical scale (KRV2312D)   eight Float24 M2 M1 S at 128 131 134 137 140
//                               143 146 149, the configuration's own values
//                               and byte order
#include "kernel/Catalogue.h"
#include "link/Codecs.h"

#include <array>
#include <vector>

namespace pv {

enum class FactoryCellKind {
  Gain,           // code: the input code of the range (1, 2, 3, 4, 5, 16, 17)
  PtcWord,        // code 25
  ZeroTrim,       // code: 4 (10 V) or 5 (20 mA)
  OutputPair,     // code: 2 voltage output, 0 current output
  ColdJunction,   // code 8
  PhysicalScale,  // code: index 0..7 of the value
  InputRange,     // code 0: upper word, lower word
  OutputRange,    // code 0: upper word, lower word
};

// How a model's calibration lays out its cells.
enum class CalibrationLayout {
  Current,         // KRV2211, KRV2212, KRV2311, KRV2312 A/B/C
  OlderFixture,    // KRV2210: its own trims, the output pair high value first
  PhysicalScale,   // KRV2312D: the current layout plus the physical scale
  FrequencyInput,  // KRV2220: only its outputs, the pair high value first
};

struct FactoryCell {
  FactoryCellKind kind;
  int channel;  // 0 = A, 1 = B
  int code;     // see FactoryCellKind
  int first;    // first cell, bank 0
  int count;    // cells
  // A configuration field owns these cells too (the offset, the range
  // words, the physical scale): the user changes them, so they do not name
  // the unit.
  bool sharedWithConfiguration;
  // Output pairs: the value at the high DAC code is stored first.
  bool highValueFirst = false;
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

// A Float24 value of a row of this kind in cell order, lowest cell first:
// S M1 M2 for the calibration's own values, M2 M1 S for the values the
// configuration shares (the physical scale).
std::array<uint8_t, 3> Float24InCells(FactoryCellKind kind, const Float24Bytes& value);
// The value of three cells (lowest first) of a row of this kind.
double Float24FromCells(FactoryCellKind kind, const uint8_t* three);

} // namespace pv
