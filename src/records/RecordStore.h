#pragma once
// The record store: the program's one database of what was done to units.
// Today it keeps the write history: before a write, a restore or an EEPROM
// write touches a unit, the cells it will replace are saved here in one
// transaction, with the unit's fingerprint, model, identity, time and the
// command (see WriteRecord.h).
//
// It also keeps the factory's events (FactoryRecord.h): calibrations,
// verifications, production tests, EEPROM writes, batch units.
//
// Where: $PLANOVIX_RECORDS when set, else records.sqlite in the user's data
// folder (~/.local/share/PLANOVIX on Linux). A path is an SQLite file (Qt
// SQL's QSQLITE driver); postgresql://user@host/database (or
// postgresql://user@/database?host=/socket/folder) a PostgreSQL server that
// several stations share (QPSQL). The same SQL and schema serve both; every
// writing transaction holds the store's one write lock, so stations and tools
// writing at once wait for each other.
//
// Schema, version 2 (schema_version holds it; Open() migrates older ones
// forward and refuses a newer one):
//   schema_version(version INTEGER)
//   meta(name VARCHAR(64) PRIMARY KEY, value TEXT)
//       "history_import": what the one-time import of the old JSON history took
//   write_records(id BIGINT PRIMARY KEY, recorded_at, command, fingerprint,
//       fingerprint_after, blank, label, model, device_code, variant,
//       hardware_revision, spare, cells, digest)
//   unit_labels(fingerprint VARCHAR(16) PRIMARY KEY, label VARCHAR(64))
//       the label last given to a unit whose fingerprint is its own
//   factory_records(id BIGINT PRIMARY KEY, uid UNIQUE, kind, station,
//       operator, model, fingerprint, fingerprint_after, label, started_at,
//       ended_at, outcome, reason, details)                      (version 2)
//   factory_rows(record_uid, seq, step, item, value, text, low, high, unit,
//       colour, pass; PRIMARY KEY (record_uid, step, item))     (version 2)
//       a row measured again (a resumed run) replaces its earlier value
//
// Limits (RecordLimits): at most 100 write entries per unit (fingerprint and
// label) and 20000 in all; the oldest rows go first, in the transaction that
// adds a row. Factory records are the factory's evidence and are never
// trimmed. The store deletes only its own rows, never a file.
//
// The store file is never reached through a symbolic link: a link (or
// anything but a regular file) in its place, or beside it where SQLite keeps
// its journal, is refused with a message.
#include "records/FactoryRecord.h"
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
  static constexpr int kSchemaVersion = 2;
  using Limits = RecordLimits;

  static QString DefaultLocation();
  // The station's own SQLite store for records a server could not take
  // ($PLANOVIX_RECORDS_OUTBOX, else records-outbox.sqlite beside the
  // default store); `records sync` sends them on.
  static QString OutboxLocation();
  static bool IsServerUrl(const QString& location);
  // Opens (creating the file and its schema when new, importing the old
  // JSON history once). Nothing, with the reason in *error, when the store
  // cannot be used: a damaged or foreign file, a full disk, a link.
  static std::unique_ptr<RecordStore> Open(const QString& location, QString* error = nullptr,
                                           Limits limits = {});
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  QString location() const { return location_; }
  bool isServer() const { return IsServerUrl(location_); }

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

  // Factory records. putRecord stores the head and the given rows in one
  // transaction: a new uid gets the next id, a known one is updated (its id
  // kept) and its rows replaced where step and item match. Sets record.id.
  bool putRecord(FactoryRecord& record, QString* error = nullptr);
  // Adds or replaces rows of a stored record.
  bool putRows(const QString& uid, const std::vector<FactoryRow>& rows, QString* error = nullptr);
  // Heads only, newest first.
  std::vector<FactoryRecord> records(const RecordFilter& filter = {}, QString* error = nullptr);
  // One record with its rows, by id or by uid.
  std::optional<FactoryRecord> record(qint64 id, QString* error = nullptr);
  std::optional<FactoryRecord> recordByUid(const QString& uid, QString* error = nullptr);
  // Every row of every record the filter takes, by record uid: for yield.
  std::vector<std::pair<QString, FactoryRow>> rowsOf(const RecordFilter& filter, QString* error = nullptr);
  bool removeRecord(const QString& uid, QString* error = nullptr);

private:
  RecordStore(QString location, QString connection, Limits limits);
  bool prepare(QString* error);
  bool migrate(int from, QString* error);
  bool importJsonHistory(QString* error);
  bool insert(WriteRecord& record, QString* error);
  bool trim(const WriteRecord& record, QString* error);
  bool upsertRows(const QString& uid, const std::vector<FactoryRow>& rows, QString* error);
  std::optional<FactoryRecord> readRecord(const QString& where, const QVariant& key, QString* error);

  QString location_;
  QString connection_;
  Limits limits_;
};

} // namespace pv
