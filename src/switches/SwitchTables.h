#pragma once
// Built-in tables of the switch wizard: the input type table with its
// limit texts, the two label lists of the two-channel models, the seven
// demonstration span/zero records and the demonstration model groups.
// All of it is constant data, built once on first use.
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <cstdint>

namespace pv {

struct DeviceIdentity;
class RangeTables;

// Rows 0..32; rows 6, 15 and 32 are empty. Limits are display texts.
struct InputType {
  QString name;
  uint8_t group = 0;  // stored, not interpreted
  bool coldJunction = false;
  bool resistive = false;
  QString upper, lower, minSpan;
};
const std::array<InputType, 33>& InputTypes();
// Row whose name equals the text; -1 when none (empty names never match).
int InputTypeRowByName(const QString& name);

// Two-channel selectors: list position = packed value.
const QStringList& OutputLabelsA();  // 16 entries, input selectors
const QStringList& OutputLabelsB();  // 8 entries, output selectors

// Demonstration record: zero[1..zeroCount] and span[1..spanCount] are shown;
// index 0 and the indices above the counts are never shown. Values are in
// the input's engineering unit; record 7 is in units of the multiplier.
struct DemoRecord {
  std::array<double, 21> zero{};
  std::array<double, 71> span{};
  int zeroCount = 0, spanCount = 0;
};
// Records 1..7; element 0 is unused.
const std::array<DemoRecord, 8>& DemoRecords();

enum class DemoGroup { Krv2210, GroupA, GroupB, GroupC, GroupD, Krv2220 };
// Group of a demo model slot 0..14 (kDemoModels order).
DemoGroup DemoGroupOfSlot(int slot);
int DemoVariant(DemoGroup g);
bool DemoTwoChannel(DemoGroup g);

// Entries of the demonstration selectors for a slot.
QStringList DemoInputEntries(int slot);   // channel A (and B for the D group)
QStringList DemoOutputEntries(int slot);  // both channels
// Text of a demonstration selector before a choice.
QString DemoSelectPrompt(int slot);
// The extra last entry of channel B's input selector of the doubling model.
constexpr const char* kDoublerEntry = "DOUBLER";
bool DemoHasDoubler(int slot);

// What the lists show for a group and input position.
constexpr int kDemoNoLists = 0;  // both lists stay empty
constexpr int kDemoDashes = -1;  // one "-----" entry in each list
// Otherwise the record number 1..7.
int DemoRecordFor(DemoGroup g, int inputPos);
// Entry that measures a temperature, shown in °F on request.
bool DemoIsTemperature(DemoGroup g, int inputPos);
// Range-table row the position stands for (limits, check); -1 for none.
int DemoInputRow(DemoGroup g, int inputPos);

// Decimals a stored table word is divided by (10^d) for a table code.
int DisplayDecimals(const RangeTables& t, int tableCode, const DeviceIdentity& id);

// Calibration tables a unit of this kind answers for an input type, built
// from the demonstration record of that input so that a simulated unit and
// the demonstration mode show the same values. Words are value * 10^d with
// the decimals the wizard divides by (signed 16-bit). The two-channel units
// (variants 4, 5) show no lists; their tables hold the lower and upper end
// of each input position of OutputLabelsA() instead.
struct CalibrationTableWords {
  int spanDefault = 0;
  QVector<int> span;  // the unit's span points (63 or 16)
  int zeroDefault = 0;
  QVector<int> zero;  // the unit's zero points (15, 16 or 1)
  // In the order ReadCalibrationTables returns them.
  QVector<int> toList() const;
};
CalibrationTableWords DemoCalibrationTable(uint8_t variant, int inputType);

// Switch bytes of a unit as it leaves the factory, one plausible setting per
// layout (a simulator starts from these).
std::array<uint8_t, 3> FactorySwitchBytes(const DeviceIdentity& id);

} // namespace pv
