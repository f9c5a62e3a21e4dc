#pragma once
// Field-by-field comparison of configurations: the compare window, the
// editor's marks on fields changed since the last read, and
// "planovix-cli diff" all list the same fields with the same captions.
//
// A field is listed only where the unit's layout owns it (a frequency
// input's settings on variant 7, the physical scale on code 12 variant 5,
// channel B where the model has it...). Values are shown as the editor shows
// them: list names, option captions, numbers with "." as the separator.
#include "config/CellMap.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace pv {

struct FieldValue {
  QString key;          // stable and language-free: "A.input_max", "trip_delay"
  QString caption;      // in the user's language: "Channel A Input Max"
  QString value;        // as shown
  QString unit;         // engineering unit, empty where none
  QStringList controls; // the editor controls that show the field
};

// Every field of the record the unit's layout owns, in editor order.
// familyCell is cell 4 as read (it names the model on variants 2..6).
std::vector<FieldValue> ConfigFields(const AppState& s, const RangeTables& tables,
                                     const DeviceIdentity& id, uint8_t familyCell,
                                     const ConfigRecord& record);

struct FieldDiff {
  QString key, caption;
  QString a, b;          // the two values; each carries its unit when the units differ
  QString unit;          // the common unit
  QStringList controls;
};

// The fields whose shown value or unit differs between a and b, in order.
std::vector<FieldDiff> DiffFields(const std::vector<FieldValue>& a, const std::vector<FieldValue>& b);

// Shorthand for two records of one unit.
std::vector<FieldDiff> DiffConfig(const AppState& s, const RangeTables& tables, const DeviceIdentity& id,
                                  uint8_t familyCell, const ConfigRecord& a, const ConfigRecord& b);

// The compare window's rows: every field whose value differs between any of
// the sides (the unit, the editor, a file...), with one value per side.
// Where the sides' units differ each value carries its own.
struct CompareRow {
  QString key, caption;
  QStringList values;  // one per side, "-" where the side lacks the field
  QString unit;
  QStringList controls;
};
std::vector<CompareRow> CompareSides(const std::vector<std::vector<FieldValue>>& sides);

// A configuration as a compare needs it: what it is for and its record.
struct ConfigSnapshot {
  DeviceIdentity identity;
  uint8_t familyCell = 0;
  ConfigRecord record;
};
// A ".DST" record (already validated) as opening it in the editor would
// give it, without an editor. Fields the file does not hold (relay, trip
// delay...) are taken from base when it is for the same identity.
ConfigSnapshot SnapshotFromFile(const AppState& s, const RangeTables& tables, const QByteArray& record,
                                const ConfigSnapshot* base = nullptr);

// A ".DST" file's record, or nothing with the reason in *why.
std::optional<QByteArray> ReadRecordFile(const QString& path, QString* why);

// "code 12, variant 5, revision 3" in the user's language.
QString IdentityText(const AppState& s, const DeviceIdentity& id);

} // namespace pv
