#pragma once
// The configuration cell map: one typed record, one decoder, one encoder.
// Every reader of a unit's configuration (the editor, the measurement run,
// the command line, the simulator) goes through these two functions.
//
// Cells of bank 0 (c = channel, A = 0, B = 1; channel block base 20 for A,
// 12 for B; words little-endian, signed except on variant 7):
//   c          bits 0-4 input row (variant 6: code 18 is "Res300K"; variant 0:
//              the whole cell 33 is "Freq"). Variant 0: cell 1 is a copy of
//              cell 0. Variant 7: cell 0 bits 0-2 sensor, bit 3 50 Hz filter;
//              cell 1 is not the record's (the input is always "Freq").
//   3 + 2c     bits 0-2 function, 3-5 operation, 6 relay contact, 7 burn-out
//   4 + 2c     bits 0-1 output row, 2-3 wires, 4 internal CJC, 6 trip direction;
//              cell 4 bit 5 doubler, bit 7 high speed. Variant 7: cell 4 bits
//              2-3 are the decimals of the frequency words.
//   7, 8       input offsets, signed tenths; cell 8 is also the trip delay
//   9          bits 0-1 over-range A, bits 2-3 over-range B
//   base+0..7  input upper, lower, output upper, lower (words)
//   trip block (variant row) high, low thresholds: Float24, M2 M1 S
//   28, 29     response time (code 12, variant 0, revision 4 and later)
//   53..64     filter, auxiliary frequency, trigger (variant 7)
//   128..151   physical scale (code 12, variant 5)
//
// Ownership. The record owns only the bits above that exist on the unit's
// variant. On variants 2..6 cell 4 bits 5-6 name the model family: the
// doubler and channel A's trip direction do not exist there. Bit 6 of cells
// 5 and 6 belongs to channel B's trip, which only variant 7 has. Every bit the
// record does not own is written back exactly as read.
//
// Encoding is against the cells the unit holds (the base): a field whose
// value is the one decoded from the base keeps the base's bytes, so a write
// with no edit gives back every cell, even where a value has more than one
// encoding (a Float24 with exponent 255, a rounded delay).
#include "config/CellLayout.h"
#include "config/RangeTables.h"
#include "kernel/AppState.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace pv {

using CellImage = std::array<uint8_t, 256>;

struct ChannelConfig {
  int inputRow = 0;        // row of the input range table
  int decimals = 0;        // decimals of the input words (derived on decode)
  double inputMax = 0, inputMin = 0;
  int outputRow = 0;       // 0..3
  double outputMax = 0, outputMin = 0;
  int function = 0;        // 0 linear, 1 tank, 2 square root (3 bits kept)
  int operation = 0;       // 0..7, the options window's operation
  int burnOut = 0;         // 0 up scale, 1 down scale
  int wires = 0;           // 0 = 2, 1 = 4, 2 = 3 wires (2 bits kept)
  int cjc = 0;             // 0 external, 1 internal
  int relay = 0;           // 0 normally closed, 1 normally open
  int tripDirection = 0;   // 0 maximum, 1 minimum
  double tripHigh = 0, tripLow = 0;  // engineering unit
  double offset = 0;       // engineering unit (tenths in the cell)
  int overRange = 0;       // 0..3
};

struct ConfigRecord {
  std::array<ChannelConfig, 2> ch;
  bool doubler = false;
  bool highSpeed = false;
  double tripDelay = 0;     // seconds as shown
  double responseTime = 0;  // seconds
  // Frequency input (variant 7)
  int freqType = 0;
  bool filter50Hz = false;
  int freqDecimals = 0;
  int filter = 0;
  int auxFrequency = 0;
  double trigger = 0;  // volts
  // Physical scale (variant 5): max A, min A, max B, min B, out max A,
  // out min A, out max B, out min B.
  std::array<double, 8> physical{};
};


// Cells 0..64 (and 128..151 where the layout has them) into the record.
ConfigRecord DecodeConfig(const DeviceIdentity& id, const RangeTables& tables, const CellImage& cells);

struct EncodedCells {
  CellImage cells{};               // the base with the record's fields in place
  std::vector<int> addresses;      // the cells a write sends, ascending
  QString fault;                   // the field that does not fit its cell
  bool ok() const { return fault.isEmpty(); }
};
// The record into the base's cells. Channel B's input repeats channel A's
// when the doubler is set or the variant is 0 or 7. Refuses (fault) a value
// that does not fit its cell: a word out of range, a Float24 beyond 2^128,
// an offset beyond a signed byte, an input row that has no code.
EncodedCells EncodeConfig(const DeviceIdentity& id, const RangeTables& tables,
                          const ConfigRecord& record, const CellImage& base);

// Whether a row can be stored as an input code on this unit.
bool InputRowStorable(const DeviceIdentity& id, int row);

// The channel settings and trip record the measurement window and the files
// use, from a decoded record.
ChannelSettings SettingsFrom(const ConfigRecord& r, const RangeTables& tables, int c);
TripRecord TripFrom(const ConfigRecord& r, int c);

} // namespace pv
