#pragma once
// The record store: the program's one database of what was done to units.
// Today it keeps the write history: before a write, a restore or an EEPROM
// write touches a unit, the cells it will replace are saved here in one
// transaction, with the unit's fingerprint, model, identity, time and the
// command (see WriteRecord.h).
//
// Where: $PLANOVIX_RECORDS when set, else records.sqlite in the user's data
// folder (~/.local/share/PLANOVIX on Linux). A path is an SQLite file (Qt
// SQL's QSQLITE driver); the SQL is kept to what PostgreSQL accepts too, and
// the back end stays behind this class.
//
// Schema, version 1 (schema_version holds it; Open() migrates older ones
// forward and refuses a newer one):
//   schema_version(version INTEGER)
//   meta(name VARCHAR(64) PRIMARY KEY, value TEXT)
//       "history_import": what the one-time import of the old JSON history took
//   write_records(id BIGINT PRIMARY KEY, recorded_at, command, fingerprint,
//       fingerprint_after, blank, label, model, device_code, variant,
//       hardware_revision, spare, cells, digest)
//   unit_labels(fingerprint VARCHAR(16) PRIMARY KEY, label VARCHAR(64))
//       the label last given to a unit whose fingerprint is its own
//
// Limits (RecordLimits): at most 100 entries per unit (fingerprint and
// label) and 20000 in all; the oldest rows go first, in the transaction that
// adds a row. The store deletes only its own rows, never a file.
//
// The store file is never reached through a symbolic link: a link (or
// anything but a regular file) in its place, or beside it where SQLite keeps
// its journal, is refused with a message.
#include "records/WriteRecord.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace pv {

// How many entries the store keeps: per unit (fingerprint and label) and
// in all.
struct RecordLimits {
  int perUnit = 100;
  int total = 20000;
};

class RecordStore {
public:
  static constexpr int kSchemaVersion = 1;
  using Limits = RecordLimits;

  static QString DefaultLocation();
  // Opens (creating the file and its schema when new, importing the old
  // JSON history once). Nothing, with the reason in *error, when the store
  // cannot be used: a damaged or foreign file, a full disk, a link.
  static std::unique_ptr<RecordStore> Open(const QString& location, QString* error = nullptr,
                                           Limits limits = {});
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  QString location() const { return location_; }

  // Adds an entry in one transaction and trims the oldest rows. Sets its id
  // (and its time, when it has none). False with the reason when nothing was
  // stored.
  bool add(WriteRecord& record, QString* error = nullptr);

  // One row as stored: decoded, or damaged with the reason.
  struct Entry {
    qint64 id = 0;
    std::optional<WriteRecord> record;
    QString damage;
    RecordRow row;
  };
  // Entries newest first. With a fingerprint: only that unit's, saved from
  // it or written onto it (fingerprint_after), and with a label only that
  // label's. Damaged rows are listed, never skipped.
  std::vector<Entry> entries(const std::optional<QString>& fingerprint = std::nullopt,
                             const std::optional<QString>& label = std::nullopt, QString* error = nullptr);
  std::optional<Entry> entry(qint64 id, QString* error = nullptr);

  // A write changed the unit's factory cells: its entry learns the
  // fingerprint the unit has now (nothing when it is the same).
  bool setFingerprintAfter(qint64 id, const QString& fingerprint, QString* error = nullptr);

  // The label last given to a unit with a fingerprint of its own; empty when none.
  QString unitLabel(const QString& fingerprint);
  bool setUnitLabel(const QString& fingerprint, const QString& label, QString* error = nullptr);

  // What the one-time import of the old history did ("" before any).
  QString importNote();

private:
  RecordStore(QString location, QString connection, Limits limits);
  bool prepare(QString* error);
  bool migrate(int from, QString* error);
  bool importJsonHistory(QString* error);
  bool insert(WriteRecord& record, QString* error);
  bool trim(const WriteRecord& record, QString* error);

  QString location_;
  QString connection_;
  Limits limits_;
};

} // namespace pv
