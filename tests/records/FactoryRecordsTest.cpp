// Factory records on both back ends: the schema migrated forward from the
// first version, records and rows as written, the filters, stations writing
// at once, a run continued after a crash, and a server lost in the middle
// of a run whose record reaches it, once, after the sync.
#include "records/Recorder.h"
#include "records/RecordStore.h"
#include "support/StoreBackends.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

#include <set>

namespace pv {
namespace {

class FactoryRecords : public test::StoreBackendTest {
protected:
  // Runs statements on the store through a connection of the test's own.
  void Sql(const QStringList& statements) {
    {
      QSqlDatabase db;
      if (postgres()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-sql"));
        const QUrl url(location());
        db.setHostName(QUrlQuery(url).queryItemValue(QStringLiteral("host")));
        db.setDatabaseName(url.path().mid(1));
        db.setUserName(url.userName());
      } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-sql"));
        db.setDatabaseName(location());
      }
      ASSERT_TRUE(db.open());
      for (const QString& s : statements) {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(s)) << s.toStdString();
      }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-sql"));
  }
};

FactoryRow Row(int seq, const QString& step, const QString& item, std::optional<double> value, bool pass = true) {
  return {seq,    step,   item, value, value ? QString::number(*value, 'f', 3) : QStringLiteral("-"),
          -1.0,   1.0,    QStringLiteral("mV"), pass ? QStringLiteral("green") : QStringLiteral("red"), pass};
}

FactoryRecord Calibration(const QString& model, const QString& fingerprint, const QString& outcome) {
  FactoryRecord r;
  r.kind = QString::fromLatin1(kEventCalibration);
  r.station = QStringLiteral("bench-1");
  r.operatorName = QStringLiteral("Rossi");
  r.model = model;
  r.fingerprint = fingerprint;
  r.outcome = outcome;
  return r;
}

// A store of the first version (the write history alone) is brought
// forward with its entries kept and the factory tables added.
TEST_P(FactoryRecords, AFirstVersionStoreIsMigratedForwardWithItsEntries) {
  Sql({QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)"),
       QStringLiteral("CREATE TABLE meta (name VARCHAR(64) PRIMARY KEY, value TEXT NOT NULL)"),
       QStringLiteral("CREATE TABLE write_records (id BIGINT PRIMARY KEY, recorded_at VARCHAR(32) NOT NULL, command "
                      "VARCHAR(64) NOT NULL, fingerprint VARCHAR(16) NOT NULL, fingerprint_after VARCHAR(16) NOT NULL, "
                      "blank INTEGER NOT NULL, label VARCHAR(64) NOT NULL, model VARCHAR(16) NOT NULL, device_code "
                      "INTEGER NOT NULL, variant INTEGER NOT NULL, hardware_revision INTEGER NOT NULL, spare INTEGER "
                      "NOT NULL, cells TEXT NOT NULL, digest VARCHAR(64) NOT NULL)"),
       QStringLiteral("CREATE TABLE unit_labels (fingerprint VARCHAR(16) PRIMARY KEY, label VARCHAR(64) NOT NULL)"),
       QStringLiteral("INSERT INTO schema_version (version) VALUES (1)"),
       QStringLiteral("INSERT INTO meta (name, value) VALUES ('history_import', 'done')"),
       QStringLiteral("INSERT INTO unit_labels (fingerprint, label) VALUES ('aaaaaaaaaaaaaaaa', 'SN-7')")});
  QString why;
  auto store = RecordStore::Open(location(), &why);
  ASSERT_TRUE(store) << why.toStdString();
  EXPECT_EQ(store->unitLabel(QStringLiteral("aaaaaaaaaaaaaaaa")), QStringLiteral("SN-7"));
  FactoryRecord r = Calibration(QStringLiteral("KRV2212A"), QStringLiteral("aaaaaaaaaaaaaaaa"), kOutcomePass);
  ASSERT_TRUE(store->putRecord(r, &why)) << why.toStdString();
  store.reset();
  Sql({QStringLiteral("UPDATE schema_version SET version = 3")});
  EXPECT_FALSE(RecordStore::Open(location(), &why));
  EXPECT_TRUE(why.contains(QStringLiteral("newer"))) << why.toStdString();
}

TEST_P(FactoryRecords, RecordsKeepEveryRowAndAreFoundByTheirFilters) {
  QString why;
  auto store = RecordStore::Open(location(), &why);
  ASSERT_TRUE(store) << why.toStdString();
  FactoryRecord a = Calibration(QStringLiteral("KRV2212A"), QStringLiteral("aaaaaaaaaaaaaaaa"), kOutcomePass);
  a.started = QDateTime(QDate(2026, 11, 2), QTime(8, 0), Qt::UTC);
  a.ended = a.started.addSecs(300);
  a.label = QStringLiteral("SN-1");
  a.details.insert(QStringLiteral("ambient"), 23.5);
  a.rows = {Row(0, QStringLiteral("4 - 90 mV A"), QStringLiteral("K1"), 1.0125), Row(1, QStringLiteral("4 - 90 mV A"), QStringLiteral("Zero"), std::nullopt)};
  ASSERT_TRUE(store->putRecord(a, &why)) << why.toStdString();
  FactoryRecord b = Calibration(QStringLiteral("KRV2211A"), QStringLiteral("bbbbbbbbbbbbbbbb"), kOutcomeStopped);
  b.started = QDateTime(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC);
  ASSERT_TRUE(store->putRecord(b, &why));
  EXPECT_EQ(a.id, 1);
  EXPECT_EQ(b.id, 2);

  // A row measured again replaces the old value; a new one is added.
  ASSERT_TRUE(store->putRows(a.uid, {Row(1, QStringLiteral("4 - 90 mV A"), QStringLiteral("Zero"), -2.5, false),
                                     Row(2, QStringLiteral("5 - 1 V A"), QStringLiteral("K1"), 0.998)}));
  const std::optional<FactoryRecord> back = store->record(1, &why);
  ASSERT_TRUE(back) << why.toStdString();
  EXPECT_EQ(back->uid, a.uid);
  EXPECT_EQ(back->started, a.started);
  EXPECT_EQ(back->ended, a.ended);
  EXPECT_EQ(back->label, QStringLiteral("SN-1"));
  EXPECT_EQ(back->details.value(QStringLiteral("ambient")).toDouble(), 23.5);
  ASSERT_EQ(back->rows.size(), 3u);
  EXPECT_EQ(back->rows[0], a.rows[0]);
  EXPECT_EQ(back->rows[1].value, std::optional<double>(-2.5));
  EXPECT_FALSE(back->rows[1].pass);
  EXPECT_EQ(back->rows[1].low, std::optional<double>(-1.0));
  EXPECT_EQ(back->rows[2].step, QStringLiteral("5 - 1 V A"));

  auto by = [](QString RecordFilter::*field, const QString& v) {
    RecordFilter f;
    f.*field = v;
    return f;
  };
  RecordFilter recent;
  recent.since = QDateTime(QDate(2026, 11, 15), QTime(0, 0), Qt::UTC);
  auto ids = [&](const RecordFilter& f) {
    std::vector<qint64> out;
    for (const FactoryRecord& r : store->records(f)) out.push_back(r.id);
    return out;
  };
  EXPECT_EQ(ids({}), std::vector<qint64>({2, 1}));
  EXPECT_EQ(ids(by(&RecordFilter::model, QStringLiteral("KRV2211A"))), std::vector<qint64>({2}));
  EXPECT_EQ(ids(recent), std::vector<qint64>({2}));
  EXPECT_EQ(ids(by(&RecordFilter::result, QStringLiteral("pass"))), std::vector<qint64>({1}));
  EXPECT_EQ(ids(by(&RecordFilter::result, QStringLiteral("fail"))), std::vector<qint64>({2}));
  EXPECT_EQ(ids(by(&RecordFilter::unit, QStringLiteral("SN-1"))), std::vector<qint64>({1}));
  EXPECT_EQ(ids(by(&RecordFilter::unit, QStringLiteral("bbbbbbbbbbbbbbbb"))), std::vector<qint64>({2}));
  EXPECT_EQ(store->rowsOf(by(&RecordFilter::model, QStringLiteral("KRV2212A"))).size(), 3u);
}

// Four stations at once, 200 records each: every record there once, the
// numbers 1..800 given once each.
TEST_P(FactoryRecords, FourStationsWritingAtOnceLoseAndDoubleNothing) {
  QString why;
  ASSERT_TRUE(RecordStore::Open(location(), &why)) << why.toStdString();
  const QString writer = QCoreApplication::applicationDirPath() + QStringLiteral("/records_writer");
  std::vector<std::unique_ptr<QProcess>> stations;
  for (int s = 0; s < 4; ++s) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(writer, {location(), QStringLiteral("station-%1").arg(s), QStringLiteral("200")});
    ASSERT_TRUE(p->waitForStarted());
    stations.push_back(std::move(p));
  }
  for (auto& p : stations) {
    ASSERT_TRUE(p->waitForFinished(120000));
    EXPECT_EQ(p->exitCode(), 0);
  }
  auto store = RecordStore::Open(location(), &why);
  ASSERT_TRUE(store);
  const std::vector<FactoryRecord> all = store->records();
  std::set<qint64> ids;
  std::set<QString> labels, uids;
  for (const FactoryRecord& r : all) ids.insert(r.id), labels.insert(r.label), uids.insert(r.uid);
  EXPECT_EQ(all.size(), 800u);
  EXPECT_EQ(ids.size(), 800u);
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 800);
  EXPECT_EQ(labels.size(), 800u);
  EXPECT_EQ(uids.size(), 800u);
  EXPECT_EQ(store->rowsOf({}).size(), 1600u);
}

// A run that crashed keeps its rows; the resumed run continues the same
// record (same number, earlier rows kept) and ends it.
TEST_P(FactoryRecords, AResumedRunContinuesItsRecord) {
  QString uid;
  {
    Recorder crashed(location(), outbox());
    ASSERT_TRUE(crashed.begin(Calibration(QStringLiteral("KRV2212A"), QStringLiteral("aaaaaaaaaaaaaaaa"), {})))
        << crashed.error().toStdString();
    ASSERT_TRUE(crashed.put({Row(0, QStringLiteral("4 - 90 mV A"), QStringLiteral("K1"), 1.01)}));
    uid = crashed.record().uid;
  }
  auto store = RecordStore::Open(location());
  ASSERT_TRUE(store);
  ASSERT_EQ(store->records().size(), 1u);
  EXPECT_EQ(store->records()[0].outcome, QLatin1String(kOutcomeRunning));
  EXPECT_EQ(store->recordByUid(uid)->rows.size(), 1u);

  Recorder resumed(location(), outbox());
  ASSERT_TRUE(resumed.begin(Calibration(QStringLiteral("KRV2212A"), {}, {}), uid));
  ASSERT_TRUE(resumed.put({Row(1, QStringLiteral("5 - 1 V A"), QStringLiteral("K1"), 0.99)}));
  ASSERT_TRUE(resumed.finish(kOutcomePass));
  ASSERT_EQ(store->records().size(), 1u);
  const std::optional<FactoryRecord> r = store->recordByUid(uid);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->id, 1);
  EXPECT_EQ(r->fingerprint, QStringLiteral("aaaaaaaaaaaaaaaa"));
  EXPECT_EQ(r->rows.size(), 2u);
  EXPECT_EQ(r->outcome, QLatin1String(kOutcomePass));
  EXPECT_EQ(r->details.value(QStringLiteral("resumed")).toInt(), 1);
  EXPECT_TRUE(r->ended.isValid());
}

INSTANTIATE_TEST_SUITE_P(Backends, FactoryRecords, test::kStoreBackends, test::BackendName);

// The server stops in the middle of a run: the run goes on into the
// station's outbox, and `records sync` brings the whole record to the
// server exactly once, even when a sync is repeated after a crash that
// left the outbox as it was.
TEST(RecordsOffline, ARunCutOffFromItsServerArrivesOnceAfterTheSync) {
  test::TempRecords local;
  test::PostgresServer server;
  ASSERT_TRUE(server.start()) << server.error().toStdString();
  ASSERT_TRUE(server.createDatabase(QStringLiteral("shared")));
  const QString url = server.url(QStringLiteral("shared"));
  const QString outbox = local.dir.filePath(QStringLiteral("outbox.sqlite"));

  Recorder run(url, outbox);
  ASSERT_TRUE(run.begin(Calibration(QStringLiteral("KRV2212A"), QStringLiteral("aaaaaaaaaaaaaaaa"), {})));
  ASSERT_TRUE(run.put({Row(0, QStringLiteral("4 - 90 mV A"), QStringLiteral("K1"), 1.01)}));
  EXPECT_FALSE(run.offline());
  ASSERT_TRUE(server.stop());
  EXPECT_TRUE(run.put({Row(1, QStringLiteral("4 - 90 mV A"), QStringLiteral("Zero"), 0.02)}));
  EXPECT_TRUE(run.offline());
  EXPECT_TRUE(run.put({Row(2, QStringLiteral("5 - 1 V A"), QStringLiteral("K1"), 0.99)}));
  EXPECT_TRUE(run.finish(kOutcomePass));
  EXPECT_EQ(SyncOutbox(url, outbox), -1);  // the server is still away

  ASSERT_TRUE(server.start());
  QFile::copy(outbox, outbox + QStringLiteral(".before"));
  QString why;
  EXPECT_EQ(SyncOutbox(url, outbox, &why), 1) << why.toStdString();
  EXPECT_EQ(SyncOutbox(url, outbox), 0);
  // The same outbox sent again (a crash after the server took it).
  QFile::remove(outbox);
  QFile::copy(outbox + QStringLiteral(".before"), outbox);
  EXPECT_EQ(SyncOutbox(url, outbox), 1);

  auto shared = RecordStore::Open(url, &why);
  ASSERT_TRUE(shared) << why.toStdString();
  const std::vector<FactoryRecord> all = shared->records();
  ASSERT_EQ(all.size(), 1u);
  const std::optional<FactoryRecord> r = shared->record(all[0].id);
  EXPECT_EQ(r->uid, run.record().uid);
  EXPECT_EQ(r->outcome, QLatin1String(kOutcomePass));
  EXPECT_EQ(r->rows.size(), 3u);
  EXPECT_TRUE(RecordStore::Open(outbox)->records().empty());
}

} // namespace
} // namespace pv
