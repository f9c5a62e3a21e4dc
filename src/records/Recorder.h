#pragma once
// Writes one factory record as its event goes: the head when it starts,
// each row as it is measured, the end. A crash keeps what was written.
//
// When the store is a server and cannot be reached, or stops answering in
// the middle of an event, the station keeps working: the record (all of it,
// rows written so far too) goes to the station's outbox, a local SQLite
// store, and carries on there; SyncOutbox() sends it on later. The record's
// uid makes the sending idempotent: a record the server already holds in
// part is completed, never doubled.
#include "records/RecordStore.h"

#include <memory>

namespace pv {

class Recorder {
public:
  explicit Recorder(QString location = RecordStore::DefaultLocation(),
                    QString outbox = RecordStore::OutboxLocation());
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Starts a record (station, operator, start time filled when empty). With
  // a uid of a record the store or the outbox holds: continues that one
  // (its rows kept, its end cleared, the new head's details merged in).
  // False when no store took it; the record is then kept in memory and
  // written whole at the next step that can.
  bool begin(FactoryRecord head, const QString& continueUid = {});
  // Adds or replaces rows (by step and item).
  bool put(const std::vector<FactoryRow>& rows);
  // The head, to change before update().
  FactoryRecord& head() { return record_; }
  const FactoryRecord& record() const { return record_; }
  bool update();
  bool finish(const QString& outcome, const QString& reason = {});
  bool active() const { return active_; }

  // Writing to the outbox because the server could not be reached.
  bool offline() const { return offline_; }
  // The last failure, empty when the last write landed.
  QString error() const { return error_; }
  QString location() const;

private:
  bool write(const std::vector<FactoryRow>* rows);
  bool goOffline();

  QString location_, outboxLocation_;
  std::unique_ptr<RecordStore> store_;
  FactoryRecord record_;
  bool active_ = false, offline_ = false, whole_ = true;
  QString error_;
};

// Sends every record of the outbox to the server, each exactly once, and
// removes it from the outbox once the server has it. How many were sent;
// -1 with the reason when the server or the outbox cannot be opened (a
// record that failed on the way stays in the outbox).
int SyncOutbox(const QString& server, const QString& outbox, QString* error = nullptr);

} // namespace pv
