#pragma once
// The configuration cell map: decoding a unit's cells into the editor and
// the channel records, the checks before a write, and encoding the editor
// back into cells. Pure over buffers: no port, no questions.
//
// Cells (c = channel, A = 0, B = 1; block base 20 for A, 12 for B):
//   c            input type (bits 0..4); variant 7: frequency type + 50 Hz
//   3 + 2c       function, operation, trip relay, burn-out
//   4 + 2c       output type, wires, CJC, doubler (cell 4), trip direction,
//                high speed (cell 4); variant 7: decimals in cell 4 bits 2..3
//   7, 8         offsets; 8 is also the trip delay (see Cell8Owner)
//   9            over-range of both channels
//   base + 0..7  input upper, lower, output upper, lower (16-bit words)
//   trip block   10 + 6c on variant 0, 28 + 6c elsewhere: two Float24
//   28, 29       response time (code 12, variant 0, revision 4 and later)
//   53..64       frequency settings (variant 7)
//   128..151     physical scale values (code 12, variant 5)
#include "config/EditorModel.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace pv {

using CellImage = std::array<uint8_t, 256>;
using CellList = std::vector<std::pair<int, uint8_t>>;  // ascending addresses

// Cells 0..64 into the editor and the records (steps 5 to 8 of a read).
void DecodeCells(EditorModel& m, const CellImage& cells);
// Cells 128..151 (code 12, variant 5).
void DecodePhysical(EditorModel& m, const CellImage& cells);

// One question of the checks before a write.
struct CheckMessage {
  bool fatal = false;  // critical message that ends the write
  int textId = 0;      // main string id (62, 63, 64, 66, 50)
  QString text;
};
// Checks 2..6 in their order. Copies channel B's input from channel A first
// when the doubler is checked or the variant is 0 or 7, and widens the
// "Freq" row on variant 7 (as a write does).
std::vector<CheckMessage> RunChecks(EditorModel& m);

struct Encoded {
  CellList cells;
  QString fault;  // empty when every value fits its cell
  bool ok() const { return fault.isEmpty(); }
};
// The cells a write sends, deduplicated, in ascending order.
Encoded EncodeCells(EditorModel& m);

// Shortest "#0.###"-like text of a value that encodes to the same Float24.
QString Float24Text(uint8_t m1, uint8_t m2, uint8_t s, double scale);

} // namespace pv
