#pragma once
// The checks before a write, as one function of the values the editor shows.
// It returns what is wrong, in the order the user is asked: which check,
// which channel, which message. A fatal finding ends the write; the others
// ask OK (write anyway) or Cancel.
//
//   pairing      code 12 variant 2, channel B a thermocouple with internal
//                compensation needs channel A the same (62, fatal)
//   not a number a field emptied or holding no number would go to the unit
//                as 0 (93, fatal); its text names it
//   input range  per channel: " (MAX)", " (MIN)", " (SPAN)" against the input
//                row (63); channel B repeats channel A's input with the
//                doubler and on variants 0 and 7
//   output range the same against the output row (64)
//   offset       tenths outside -125..125 (66)
//   trips        channel A, and channel B where it carries one: " (Hi>...)",
//                " (Lo<...)", " (Diff<...)", " (Delay)" (50). On variant 7 the
//                "Freq" row is widened first (0.1..20000 Hz, span 100), and
//                stays so for the rest of the run: the caller widens it.
#include "config/EditorState.h"
#include "kernel/AppState.h"

#include <QString>
#include <vector>

namespace pv {

enum class Check { ThermocouplePairing, NotANumber, InputRange, OutputRange, Offset, Trips };

struct CheckFinding {
  Check check;
  int channel = -1;    // 0 channel A, 1 channel B, -1 the unit as a whole
  int textId = 0;      // the message's string id: 62, 93, 63, 64, 66, 50
  bool fatal = false;  // ends the write
  QString text;        // the message as shown
};

struct WriteCheckResult {
  std::vector<CheckFinding> findings;
  // Channel B's input range was judged as channel A's: the editor shows
  // channel A's range on channel B before the write goes on.
  bool inputOfBFromA = false;
  // Variant 7: the "Freq" row must be widened (WidenFrequencyRow).
  bool widenFrequencyRow = false;
};

// shown: the values as the fields show them; texts: the fields' texts (a
// field whose text is no number is refused whatever its value).
WriteCheckResult RunWriteChecks(const AppState& s, const RangeTables& tables, const ConfigRecord& shown,
                                const FieldTexts& texts);

void WidenFrequencyRow(RangeTables& tables);

} // namespace pv
