#pragma once
// One entry of the record store's write history: the cells a write, a
// restore or an EEPROM write was about to replace, saved before the unit was
// touched, with what names the unit.
//
// A row holds plain columns (see RecordStore.h); this file turns a row into
// an entry and back, strictly: a row whose text or numbers are out of shape,
// or whose digest does not match its contents, is damaged and never used.
//
// Cells column: "bank:address=value" triples, blank-separated, ascending by
// bank then address, each number decimal 0..255, e.g. "0:0=18 0:1=2 0:7=244".
// Digest column: SHA-256 (hex) of the row's fields joined as
// "time|command|fingerprint|after|blank|label|model|code|variant|revision|spare|cells".
#include "kernel/AppState.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace pv {

struct StoredCell {
  int bank = 0;
  int address = 0;
  uint8_t value = 0;
  friend bool operator==(const StoredCell&, const StoredCell&) = default;
};

struct WriteRecord {
  qint64 id = 0;          // given by the store, 1 upwards
  QDateTime time;         // UTC, milliseconds
  QString command;        // what wrote: "write-config", "restore", "eeprom write"...
  QString fingerprint;    // 16 hex digits; empty for an entry imported from the old history
  // The unit's fingerprint after the write, when the write changed its
  // factory cells (an EEPROM write, a calibration): the unit's history
  // follows it. Empty when unchanged or unknown.
  QString fingerprintAfter;
  bool blank = false;     // the unit's factory cells were blank: the fingerprint is shared
  QString label;          // the operator's name for the unit (serial on the sticker), or empty
  QString model;          // catalogue id, empty when unknown
  DeviceIdentity identity;
  std::vector<StoredCell> cells;  // ascending by bank, then address
};

// The row as the database gives it: every column as text or a number, not
// yet trusted.
struct RecordRow {
  qint64 id = 0;
  QString time, command, fingerprint, fingerprintAfter, label, model, cells, digest;
  qint64 blank = 0, deviceCode = 0, variant = 0, revision = 0, spare = 0;
};

// Field limits of a row.
constexpr int kCommandLength = 64;
constexpr int kLabelLength = 64;
constexpr int kModelLength = 16;

// The row for an entry; its digest is computed here.
RecordRow EncodeRecord(const WriteRecord& record);
// The digest a row's fields give.
QString RecordDigest(const RecordRow& row);
// The entry of a row, or nothing with what is wrong in *why.
std::optional<WriteRecord> DecodeRecord(const RecordRow& row, QString* why = nullptr);

QString EncodeCells(const std::vector<StoredCell>& cells);
// Nothing (and *why) unless every triple is well formed, in order and unique.
std::optional<std::vector<StoredCell>> DecodeCells(const QString& text, QString* why = nullptr);

// A fingerprint as stored: exactly 16 lower-case hex digits.
bool IsFingerprintText(const QString& text);

// The operator's label cleaned for storing: printable, single-line, at most
// kLabelLength characters.
QString CleanLabel(const QString& label);

} // namespace pv
