#pragma once
// Span and zero lists and the rules around them: where the unit's tables sit
// in the list ReadCalibrationTables answers, how a word becomes a shown
// value, the range check, the default cells and the limits text.
#include "switches/SwitchLayouts.h"
#include "switches/SwitchTables.h"

#include <QString>
#include <QVector>
#include <optional>

namespace pv {

struct DeviceIdentity;
class RangeTables;
struct InputRange;

// One list entry: its text and the value the range check uses (the shown
// value, in the input's unit; record-7 entries in units of the multiplier).
struct ListEntry {
  QString text;
  double value = 0;
  friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

struct SwitchList {
  QVector<ListEntry> entries;
  int selected = -1;  // -1: no entry chosen

  void clear() { entries.clear(); selected = -1; }
  bool hasSelection() const { return selected >= 0 && selected < entries.size(); }
  double selectedValue() const { return hasSelection() ? entries[selected].value : 0; }
  // Selects index when it names an entry, else nothing.
  void select(int index) { selected = (index >= 0 && index < entries.size()) ? index : -1; }
  QStringList texts() const;
};

// Where the tables sit in the answer of ReadCalibrationTables: entry 0 of a
// list (the default) at *Default, the selectable values from *First on.
struct TableSlice {
  int spanDefault = 0, spanFirst = 1, spanCount = 0;
  int zeroDefault = 0, zeroFirst = 0, zeroCount = 0;
};
TableSlice TableSliceFor(const DeviceIdentity& id, int spanPoints, int zeroPoints);

// Input type asked from the unit for an input code: "EEPROM" asks for code 1;
// variant 6 keeps "Res300K" under code 18; variant 7 has one table, code 1.
int TableCode(int inputCode, const DeviceIdentity& id);

// Fills both lists from the words the unit answered. Returns false, leaving
// the lists as they were, when the answer is too short for the tables.
bool FillListsFromWords(const QVector<int>& words, const TableSlice& slice, int decimals,
                        bool frequency, SwitchList& span, SwitchList& zero);

// Demonstration lists for a group and input position. Record 7 is shown in
// hertz (value times the multiplier factor).
void FillDemoLists(DemoGroup g, int inputPos, bool fahrenheit, int multiplierFactor,
                   SwitchList& span, SwitchList& zero);

enum class CheckResult { None, Ok, Err };
const char* CheckText(CheckResult r);  // "", "OK", "ERR"

// Single-channel layouts: nothing until both a span and a zero are chosen.
CheckResult CheckSpanZero(const SwitchList& span, const SwitchList& zero, const InputRange& row,
                          bool variantZero);
// Frequency layout: multiplier factor times the span must not pass the row.
CheckResult CheckFrequency(const SwitchList& span, int multiplierFactor, const InputRange& freqRow);
// Two-channel layout: any "---" or one channel alone on "EEPROM" is wrong.
struct ChannelChoice {
  QString inputText, outputText;
  int inputPos = -1, outputPos = -1;
};
CheckResult CheckTwoChannel(const ChannelChoice& a, const ChannelChoice& b);

// Address of the first of the two cells holding a table's default.
enum class Table { Span, Zero };
int DefaultCellAddress(Table t, int tableCode, int channelSelector);

// Limits text for one input type row, single-channel form.
QString LimitsText(int inputTypeRow);
// Two-channel form for the entries of both input selectors, CR LF between.
QString TwoChannelLimitsText(const QString& inputA, const QString& inputB);

} // namespace pv
