// The record store's factory records (see RecordStore.h).
#include "records/RecordStore.h"
#include "records/Sql.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace pv {

using sql::BeginWrite;
using sql::Commit;
using sql::Exec;

namespace {

const QString kHeadColumns = QStringLiteral(
    "id, uid, kind, station, operator, model, fingerprint, fingerprint_after, label, started_at, ended_at, outcome, "
    "reason, details");
const QString kRowColumns =
    QStringLiteral("seq, step, item, value, text, low, high, unit, colour, pass");

QVariant Optional(const std::optional<double>& v) { return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double)); }
std::optional<double> OptionalOf(const QVariant& v) {
  if (v.isNull()) return std::nullopt;
  return v.toDouble();
}

FactoryRecord HeadOf(const QSqlQuery& q) {
  FactoryRecord r;
  r.id = q.value(0).toLongLong();
  r.uid = q.value(1).toString();
  r.kind = q.value(2).toString();
  r.station = q.value(3).toString();
  r.operatorName = q.value(4).toString();
  r.model = q.value(5).toString();
  r.fingerprint = q.value(6).toString();
  r.fingerprintAfter = q.value(7).toString();
  r.label = q.value(8).toString();
  r.started = TimeFromStored(q.value(9).toString());
  r.ended = TimeFromStored(q.value(10).toString());
  r.outcome = q.value(11).toString();
  r.reason = q.value(12).toString();
  r.details = QJsonDocument::fromJson(q.value(13).toString().toUtf8()).object();
  return r;
}

FactoryRow RowOf(const QSqlQuery& q, int first) {
  FactoryRow r;
  r.seq = q.value(first).toInt();
  r.step = q.value(first + 1).toString();
  r.item = q.value(first + 2).toString();
  r.value = OptionalOf(q.value(first + 3));
  r.text = q.value(first + 4).toString();
  r.low = OptionalOf(q.value(first + 5));
  r.high = OptionalOf(q.value(first + 6));
  r.unit = q.value(first + 7).toString();
  r.colour = q.value(first + 8).toString();
  r.pass = q.value(first + 9).toInt() != 0;
  return r;
}

// The WHERE clause of a filter, with its values.
QString WhereOf(const RecordFilter& f, QVariantList& values, const QString& prefix = {}) {
  QStringList terms;
  if (!f.model.isEmpty()) {
    terms << prefix + QStringLiteral("model = ?");
    values << f.model;
  }
  if (f.since.isValid()) {
    terms << prefix + QStringLiteral("started_at >= ?");
    values << StoredTime(f.since);
  }
  if (f.result == QLatin1String(kOutcomePass)) {
    terms << prefix + QStringLiteral("outcome = ?");
    values << QString::fromLatin1(kOutcomePass);
  } else if (f.result == QLatin1String(kOutcomeFail)) {
    terms << prefix + QStringLiteral("outcome IN (?, ?, ?)");
    values << QString::fromLatin1(kOutcomeFail) << QString::fromLatin1(kOutcomeError)
           << QString::fromLatin1(kOutcomeStopped);
  }
  if (!f.unit.isEmpty()) {
    terms << QStringLiteral("(%1fingerprint = ? OR %1fingerprint_after = ? OR %1label = ?)").arg(prefix);
    values << f.unit << f.unit << f.unit;
  }
  if (!f.kind.isEmpty()) {
    terms << prefix + QStringLiteral("kind = ?");
    values << f.kind;
  }
  return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

} // namespace

bool RecordStore::upsertRows(const QString& uid, const std::vector<FactoryRow>& rows, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  const QString sql = QStringLiteral(
      "INSERT INTO factory_rows (record_uid, %1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
      "ON CONFLICT (record_uid, step, item) DO UPDATE SET seq = excluded.seq, value = excluded.value, "
      "text = excluded.text, low = excluded.low, high = excluded.high, unit = excluded.unit, "
      "colour = excluded.colour, pass = excluded.pass")
                          .arg(kRowColumns);
  for (const FactoryRow& r : rows)
    if (!Exec(db, sql,
              {uid, r.seq, r.step.left(64), r.item.left(32), Optional(r.value), r.text.left(256), Optional(r.low),
               Optional(r.high), r.unit.left(16), r.colour.left(16), r.pass ? 1 : 0},
              error))
      return false;
  return true;
}

bool RecordStore::putRecord(FactoryRecord& r, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  if (r.uid.isEmpty()) r.uid = NewRecordUid(r.station.isEmpty() ? StationName() : r.station);
  if (!r.started.isValid()) r.started = QDateTime::currentDateTimeUtc();
  if (!BeginWrite(db, error)) return false;
  QSqlQuery known;
  bool ok = Exec(db, QStringLiteral("SELECT id FROM factory_records WHERE uid = ?"), {r.uid}, error, &known);
  qint64 id = 0;
  if (ok && known.next()) id = known.value(0).toLongLong();
  known.finish();
  const QVariantList head = {r.kind,
                             r.station.left(64),
                             r.operatorName.left(64),
                             r.model.left(16),
                             r.fingerprint.left(16),
                             r.fingerprintAfter.left(16),
                             r.label.left(64),
                             StoredTime(r.started),
                             StoredTime(r.ended),
                             r.outcome,
                             r.reason,
                             QString::fromUtf8(QJsonDocument(r.details).toJson(QJsonDocument::Compact))};
  if (ok && id) {
    ok = Exec(db,
              QStringLiteral("UPDATE factory_records SET kind = ?, station = ?, operator = ?, model = ?, fingerprint = ?, "
                             "fingerprint_after = ?, label = ?, started_at = ?, ended_at = ?, outcome = ?, reason = ?, "
                             "details = ? WHERE id = ?"),
              head + QVariantList{id}, error);
  } else if (ok) {
    QSqlQuery next;
    ok = Exec(db, QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM factory_records"), {}, error, &next) && next.next();
    if (ok) id = next.value(0).toLongLong();
    next.finish();
    ok = ok && Exec(db,
                    QStringLiteral("INSERT INTO factory_records (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                        .arg(kHeadColumns),
                    QVariantList{id, r.uid} + head, error);
  }
  ok = ok && upsertRows(r.uid, r.rows, error) && Commit(db, error);
  if (!ok) {
    db.rollback();
    return false;
  }
  r.id = id;
  return true;
}

bool RecordStore::putRows(const QString& uid, const std::vector<FactoryRow>& rows, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  if (!BeginWrite(db, error)) return false;
  if (upsertRows(uid, rows, error) && Commit(db, error)) return true;
  db.rollback();
  return false;
}

std::vector<FactoryRecord> RecordStore::records(const RecordFilter& filter, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QVariantList values;
  const QString sql =
      QStringLiteral("SELECT %1 FROM factory_records%2 ORDER BY started_at DESC, id DESC").arg(kHeadColumns, WhereOf(filter, values));
  std::vector<FactoryRecord> out;
  QSqlQuery q;
  if (!Exec(db, sql, values, error, &q)) return out;
  while (q.next()) out.push_back(HeadOf(q));
  return out;
}

std::optional<FactoryRecord> RecordStore::readRecord(const QString& where, const QVariant& key, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QSqlQuery q;
  if (!Exec(db, QStringLiteral("SELECT %1 FROM factory_records WHERE %2 = ?").arg(kHeadColumns, where), {key}, error, &q) ||
      !q.next())
    return std::nullopt;
  FactoryRecord r = HeadOf(q);
  QSqlQuery rows;
  if (!Exec(db, QStringLiteral("SELECT %1 FROM factory_rows WHERE record_uid = ? ORDER BY seq, step, item").arg(kRowColumns),
            {r.uid}, error, &rows))
    return std::nullopt;
  while (rows.next()) r.rows.push_back(RowOf(rows, 0));
  return r;
}

std::optional<FactoryRecord> RecordStore::record(qint64 id, QString* error) {
  return readRecord(QStringLiteral("id"), id, error);
}

std::optional<FactoryRecord> RecordStore::recordByUid(const QString& uid, QString* error) {
  return readRecord(QStringLiteral("uid"), uid, error);
}

std::vector<std::pair<QString, FactoryRow>> RecordStore::rowsOf(const RecordFilter& filter, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QVariantList values;
  QStringList cols;
  for (const QString& c : kRowColumns.split(QStringLiteral(", "))) cols << QStringLiteral("r.") + c;
  const QString sql = QStringLiteral("SELECT r.record_uid, %1 FROM factory_rows r JOIN factory_records f ON f.uid = r.record_uid%2")
                          .arg(cols.join(QStringLiteral(", ")), WhereOf(filter, values, QStringLiteral("f.")));
  std::vector<std::pair<QString, FactoryRow>> out;
  QSqlQuery q;
  if (!Exec(db, sql, values, error, &q)) return out;
  while (q.next()) out.emplace_back(q.value(0).toString(), RowOf(q, 1));
  return out;
}

bool RecordStore::removeRecord(const QString& uid, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  if (!BeginWrite(db, error)) return false;
  if (Exec(db, QStringLiteral("DELETE FROM factory_rows WHERE record_uid = ?"), {uid}, error) &&
      Exec(db, QStringLiteral("DELETE FROM factory_records WHERE uid = ?"), {uid}, error) && Commit(db, error))
    return true;
  db.rollback();
  return false;
}

} // namespace pv
