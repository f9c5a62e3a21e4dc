#pragma once
// A record store of the test's own: PLANOVIX_RECORDS points into a fresh
// folder and PLANOVIX_HISTORY_DIR at an empty one (nothing to import) while
// this lives; both are put back after.
#include "records/RecordStore.h"

#include <QTemporaryDir>

namespace pv::test {

struct TempRecords {
  QTemporaryDir dir;
  QByteArray wasRecords = qgetenv("PLANOVIX_RECORDS");
  QByteArray wasHistory = qgetenv("PLANOVIX_HISTORY_DIR");
  TempRecords() {
    qputenv("PLANOVIX_RECORDS", path().toLocal8Bit());
    qputenv("PLANOVIX_HISTORY_DIR", dir.filePath(QStringLiteral("old-history")).toLocal8Bit());
  }
  ~TempRecords() {
    qputenv("PLANOVIX_RECORDS", wasRecords);
    qputenv("PLANOVIX_HISTORY_DIR", wasHistory);
  }
  TempRecords(const TempRecords&) = delete;
  TempRecords& operator=(const TempRecords&) = delete;
  QString path() const { return dir.filePath(QStringLiteral("records.sqlite")); }
  // Every entry, newest first (damaged ones too).
  std::vector<RecordStore::Entry> entries() const {
    const std::unique_ptr<RecordStore> store = RecordStore::Open(path());
    return store ? store->entries() : std::vector<RecordStore::Entry>{};
  }
};

} // namespace pv::test
