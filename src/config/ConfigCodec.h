#pragma once
// The checks before a write, on the editor's fields, and the texts the
// editor shows for Float24 values. The cells themselves are the cell map's
// (CellMap.h).
#include "config/EditorModel.h"

#include <QString>
#include <vector>

namespace pv {

// One question of the checks before a write.
struct CheckMessage {
  bool fatal = false;  // critical message that ends the write
  int textId = 0;      // main string id (62, 93, 63, 64, 66, 50)
  QString text;
};
// Checks 2..6 in their order, with a field that is empty or no number (93,
// fatal) after check 2: the leading-number rule would write it as 0. Copies channel B's input from channel A first
// when the doubler is checked or the variant is 0 or 7, and widens the
// "Freq" row on variant 7 (as a write does).
std::vector<CheckMessage> RunChecks(EditorModel& m);

// Shortest "#0.###"-like text of a value that encodes to the same Float24
// (after multiplying by scale) as the value itself.
QString Float24Text(double value, double scale);

} // namespace pv
