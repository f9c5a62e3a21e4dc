#include "records/Recorder.h"

#include <QFileInfo>

namespace pv {

Recorder::Recorder(QString location, QString outbox)
    : location_(std::move(location)), outboxLocation_(std::move(outbox)) {}

Recorder::~Recorder() = default;

QString Recorder::location() const { return store_ ? store_->location() : location_; }

bool Recorder::goOffline() {
  if (offline_ || !RecordStore::IsServerUrl(location_)) return false;
  store_.reset();
  QString why;
  store_ = RecordStore::Open(outboxLocation_, &why);
  if (!store_) {
    error_ += QStringLiteral("; ") + why;
    return false;
  }
  offline_ = true;
  whole_ = true;
  return true;
}

bool Recorder::write(const std::vector<FactoryRow>* rows) {
  if (!active_) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    QString why;
    if (!store_) {
      store_ = RecordStore::Open(location_, &why);
      whole_ = true;
    }
    bool ok = false;
    if (store_) {
      if (whole_) {
        ok = store_->putRecord(record_, &why);
      } else if (rows) {
        ok = store_->putRows(record_.uid, *rows, &why);
      } else {
        // The head alone: its rows are already there.
        FactoryRecord head = record_;
        head.rows.clear();
        ok = store_->putRecord(head, &why);
        if (ok) record_.id = head.id;
      }
    }
    if (ok) {
      whole_ = false;
      error_.clear();
      return true;
    }
    error_ = why;
    // The server is gone: the outbox takes the record whole, once.
    if (!goOffline()) break;
  }
  store_.reset();
  whole_ = true;
  return false;
}

bool Recorder::begin(FactoryRecord head, const QString& continueUid) {
  active_ = true;
  offline_ = false;
  whole_ = true;
  store_.reset();
  if (head.station.isEmpty()) head.station = StationName();
  if (head.operatorName.isEmpty()) head.operatorName = OperatorName();
  if (!continueUid.isEmpty()) {
    // The record is where the run left it: the store, or the outbox when
    // the server was lost then.
    QString why;
    for (const QString& where : {location_, outboxLocation_}) {
      std::unique_ptr<RecordStore> s = RecordStore::Open(where, &why);
      std::optional<FactoryRecord> old = s ? s->recordByUid(continueUid, &why) : std::nullopt;
      if (!old) continue;
      QJsonObject details = old->details;
      for (auto it = head.details.begin(); it != head.details.end(); ++it) details.insert(it.key(), it.value());
      details.insert(QStringLiteral("resumed"), details.value(QStringLiteral("resumed")).toInt() + 1);
      record_ = std::move(*old);
      record_.details = details;
      record_.outcome = QString::fromLatin1(kOutcomeRunning);
      record_.ended = {};
      record_.reason.clear();
      if (where != location_) offline_ = true;
      store_ = std::move(s);
      return write(nullptr);
    }
  }
  record_ = std::move(head);
  record_.id = 0;
  record_.uid = NewRecordUid(record_.station);
  if (!record_.started.isValid()) record_.started = QDateTime::currentDateTimeUtc();
  record_.outcome = QString::fromLatin1(kOutcomeRunning);
  return write(nullptr);
}

bool Recorder::put(const std::vector<FactoryRow>& rows) {
  for (const FactoryRow& r : rows) {
    auto it = std::find_if(record_.rows.begin(), record_.rows.end(),
                           [&](const FactoryRow& o) { return o.step == r.step && o.item == r.item; });
    if (it != record_.rows.end()) *it = r;
    else record_.rows.push_back(r);
  }
  return write(&rows);
}

bool Recorder::update() { return write(nullptr); }

bool Recorder::finish(const QString& outcome, const QString& reason) {
  if (!active_) return false;
  record_.outcome = outcome;
  record_.reason = reason;
  record_.ended = QDateTime::currentDateTimeUtc();
  const bool ok = write(nullptr);
  active_ = false;
  store_.reset();
  return ok;
}

int SyncOutbox(const QString& server, const QString& outbox, QString* error) {
  if (!QFileInfo::exists(outbox)) return 0;
  QString why;
  const std::unique_ptr<RecordStore> from = RecordStore::Open(outbox, &why);
  if (!from) {
    if (error) *error = why;
    return -1;
  }
  const std::unique_ptr<RecordStore> to = RecordStore::Open(server, &why);
  if (!to) {
    if (error) *error = why;
    return -1;
  }
  int sent = 0;
  std::vector<FactoryRecord> heads = from->records({}, &why);
  // Oldest first, so that the server numbers them in the order they happened.
  std::reverse(heads.begin(), heads.end());
  for (const FactoryRecord& head : heads) {
    std::optional<FactoryRecord> r = from->recordByUid(head.uid, &why);
    if (!r) continue;
    r->id = 0;
    // The server has it now; a crash before the outbox forgets it only sends
    // it again, and the uid makes that a no-op.
    if (!to->putRecord(*r, &why)) break;
    if (!from->removeRecord(r->uid, &why)) break;
    ++sent;
  }
  if (error) *error = why;
  return sent;
}

} // namespace pv
