#pragma once
// A record store of the test's own: PLANOVIX_RECORDS (and the outbox)
// point into a fresh folder and PLANOVIX_HISTORY_DIR at an empty one
// (nothing to import) while this lives; all are put back after.
#include "records/RecordStore.h"

#include <QTemporaryDir>

namespace pv::test {

struct TempRecords {
  QTemporaryDir dir;
  QByteArray wasRecords = qgetenv("PLANOVIX_RECORDS");
  QByteArray wasHistory = qgetenv("PLANOVIX_HISTORY_DIR");
  QByteArray wasOutbox = qgetenv("PLANOVIX_RECORDS_OUTBOX");
  TempRecords() {
    qputenv("PLANOVIX_RECORDS", path().toLocal8Bit());
    qputenv("PLANOVIX_RECORDS_OUTBOX", dir.filePath(QStringLiteral("outbox.sqlite")).toLocal8Bit());
    qputenv("PLANOVIX_HISTORY_DIR", dir.filePath(QStringLiteral("old-history")).toLocal8Bit());
  }
  ~TempRecords() {
    qputenv("PLANOVIX_RECORDS", wasRecords);
    qputenv("PLANOVIX_HISTORY_DIR", wasHistory);
    qputenv("PLANOVIX_RECORDS_OUTBOX", wasOutbox);
  }
  TempRecords(const TempRecords&) = delete;
  TempRecords& operator=(const TempRecords&) = delete;
  QString path() const { return dir.filePath(QStringLiteral("records.sqlite")); }
  // The factory records, newest first, each with its rows.
  std::vector<FactoryRecord> factoryRecords() const {
    std::vector<FactoryRecord> out;
    if (const std::unique_ptr<RecordStore> store = RecordStore::Open(path()))
      for (const FactoryRecord& head : store->records())
        if (std::optional<FactoryRecord> r = store->record(head.id)) out.push_back(*r);
    return out;
  }
  // Every entry, newest first (damaged ones too).
  std::vector<RecordStore::Entry> entries() const {
    const std::unique_ptr<RecordStore> store = RecordStore::Open(path());
    return store ? store->entries() : std::vector<RecordStore::Entry>{};
  }
};

} // namespace pv::test
