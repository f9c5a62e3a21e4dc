// The record store on SQLite: its schema, its limits (only its own rows go),
// damaged rows shown and never skipped, files that are not a store left
// alone, the old JSON history imported once and left in place, and a full
// disk that stops an entry with the reason.
#include "records/JsonHistory.h"
#include "records/RecordStore.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"
#include "support/TempRecords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

namespace pv {
namespace {

WriteRecord Entry(const QString& fingerprint, uint8_t value, const QString& label = {}) {
  WriteRecord r;
  r.command = QStringLiteral("write-config");
  r.fingerprint = fingerprint;
  r.label = label;
  r.model = QStringLiteral("KRV2212A");
  r.identity = {12, 2, 3, 0};
  r.cells = {{0, 0, value}, {0, 7, 244}};
  return r;
}

const QString kA = QStringLiteral("aaaaaaaaaaaaaaaa");
const QString kB = QStringLiteral("bbbbbbbbbbbbbbbb");

using test::Read;
using test::Write;

// Runs sql on the file through a connection of the test's own.
void Sql(const QString& path, const QString& sql) {
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-sql"));
    db.setDatabaseName(path);
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("test-sql"));
}

std::vector<uint8_t> Values(const std::vector<RecordStore::Entry>& entries) {
  std::vector<uint8_t> out;
  for (const auto& e : entries) out.push_back(e.record ? e.record->cells[0].value : 0);
  return out;
}

TEST(RecordStore, ANewStoreKeepsEntriesNewestFirstAcrossOpenings) {
  test::TempRecords t;
  QString why;
  {
    auto store = RecordStore::Open(t.path(), &why);
    ASSERT_TRUE(store) << why.toStdString();
    for (uint8_t v : {1, 2, 3}) {
      WriteRecord r = Entry(v == 2 ? kB : kA, v);
      ASSERT_TRUE(store->add(r, &why)) << why.toStdString();
      EXPECT_EQ(r.id, v);
      EXPECT_TRUE(r.time.isValid());
    }
  }
  auto store = RecordStore::Open(t.path(), &why);
  ASSERT_TRUE(store) << why.toStdString();
  EXPECT_EQ(Values(store->entries()), (std::vector<uint8_t>{3, 2, 1}));
  EXPECT_EQ(Values(store->entries(kA)), (std::vector<uint8_t>{3, 1}));
  const auto one = store->entry(2);
  ASSERT_TRUE(one && one->record);
  EXPECT_EQ(one->record->fingerprint, kB);
  EXPECT_FALSE(store->entry(99).has_value());
}

TEST(RecordStore, TheSchemaHasItsVersionAndANewerOneIsRefused) {
  test::TempRecords t;
  ASSERT_TRUE(RecordStore::Open(t.path()));
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
    db.setDatabaseName(t.path());
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT version FROM schema_version")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), RecordStore::kSchemaVersion);
  }
  QSqlDatabase::removeDatabase(QStringLiteral("peek"));
  Sql(t.path(), QStringLiteral("UPDATE schema_version SET version = 99"));
  QString why;
  EXPECT_FALSE(RecordStore::Open(t.path(), &why));
  EXPECT_TRUE(why.contains(QStringLiteral("newer"))) << why.toStdString();
}

TEST(RecordStore, LimitsDeleteOnlyTheStoresOwnOldestRows) {
  test::TempRecords t;
  // A file of someone else's beside the store is never touched.
  Write(t.dir.filePath(QStringLiteral("notes")), "mine");
  auto store = RecordStore::Open(t.path(), nullptr, {3, 5});
  ASSERT_TRUE(store);
  for (uint8_t v = 1; v <= 4; ++v) {
    WriteRecord r = Entry(kA, v);
    ASSERT_TRUE(store->add(r));
  }
  EXPECT_EQ(Values(store->entries(kA)), (std::vector<uint8_t>{4, 3, 2}));
  // The same fingerprint with another label is another unit (blank units).
  for (uint8_t v = 10; v <= 12; ++v) {
    WriteRecord r = Entry(kA, v, QStringLiteral("SN 2"));
    ASSERT_TRUE(store->add(r));
  }
  EXPECT_EQ(Values(store->entries(kA, QStringLiteral("SN 2"))), (std::vector<uint8_t>{12, 11, 10}));
  // Six rows of at most five: the oldest of all went.
  EXPECT_EQ(Values(store->entries()), (std::vector<uint8_t>{12, 11, 10, 4, 3}));
  EXPECT_EQ(Read(t.dir.filePath(QStringLiteral("notes"))), "mine");
}

TEST(RecordStore, ADamagedRowIsListedWithItsReasonNeverSkipped) {
  test::TempRecords t;
  {
    auto store = RecordStore::Open(t.path());
    for (uint8_t v : {1, 2}) {
      WriteRecord r = Entry(kA, v);
      ASSERT_TRUE(store->add(r));
    }
  }
  Sql(t.path(), QStringLiteral("UPDATE write_records SET cells = '0:0=9 0:7=244' WHERE id = 2"));
  auto store = RecordStore::Open(t.path());
  ASSERT_TRUE(store);
  const auto entries = store->entries(kA);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].id, 2);
  EXPECT_FALSE(entries[0].record.has_value());
  EXPECT_TRUE(entries[0].damage.contains(QStringLiteral("checksum"))) << entries[0].damage.toStdString();
  EXPECT_TRUE(entries[1].record.has_value());
}

TEST(RecordStore, AUnitsHistoryFollowsItsNewFingerprint) {
  test::TempRecords t;
  auto store = RecordStore::Open(t.path());
  WriteRecord r = Entry(kA, 1);
  ASSERT_TRUE(store->add(r));
  ASSERT_TRUE(store->setFingerprintAfter(r.id, kB));
  ASSERT_EQ(store->entries(kB).size(), 1u);
  EXPECT_EQ(store->entries(kB)[0].record->fingerprintAfter, kB);
  // Unchanged: nothing to follow.
  ASSERT_TRUE(store->setFingerprintAfter(r.id, kA));
  EXPECT_TRUE(store->entries(kB).empty());
}

TEST(RecordStore, WhatIsNotAStoreIsRefusedAndLeftAsItWas) {
  test::TempRecords t;
  // A file that is no database, a database of something else, a folder, a
  // link to someone's file, and a link where SQLite keeps its journal.
  const QString garbage = t.dir.filePath(QStringLiteral("garbage.sqlite"));
  Write(garbage, QByteArray(4096, '\x5A'));
  const QString foreign = t.dir.filePath(QStringLiteral("foreign.sqlite"));
  Sql(foreign, QStringLiteral("CREATE TABLE accounts (name TEXT)"));
  const QByteArray foreignBytes = Read(foreign);
  const QString folder = t.dir.filePath(QStringLiteral("folder.sqlite"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString victim = t.dir.filePath(QStringLiteral("victim"));
  Write(victim, "");
  const QString link = t.dir.filePath(QStringLiteral("link.sqlite"));
  ASSERT_EQ(::symlink(qPrintable(victim), qPrintable(link)), 0);
  const QString journaled = t.dir.filePath(QStringLiteral("journaled.sqlite"));
  ASSERT_EQ(::symlink(qPrintable(victim), qPrintable(journaled + QStringLiteral("-journal"))), 0);

  for (const QString& path : {garbage, foreign, folder, link, journaled}) {
    QString why;
    EXPECT_FALSE(RecordStore::Open(path, &why)) << path.toStdString();
    EXPECT_FALSE(why.isEmpty());
  }
  EXPECT_EQ(Read(garbage), QByteArray(4096, '\x5A'));
  EXPECT_EQ(Read(foreign), foreignBytes);
  EXPECT_EQ(Read(victim), QByteArray());
  EXPECT_FALSE(QFileInfo::exists(journaled));
  QString why;
  EXPECT_FALSE(RecordStore::Open(QStringLiteral("postgresql://server/records"), &why));
  EXPECT_TRUE(why.contains(QStringLiteral("PostgreSQL"))) << why.toStdString();
}

TEST(RecordStore, TwoToolsOnOneStoreNumberTheirEntriesApart) {
  test::TempRecords t;
  auto first = RecordStore::Open(t.path());
  auto second = RecordStore::Open(t.path());
  ASSERT_TRUE(first && second);
  WriteRecord a = Entry(kA, 1), b = Entry(kB, 2), c = Entry(kA, 3);
  ASSERT_TRUE(first->add(a));
  ASSERT_TRUE(second->add(b));
  ASSERT_TRUE(first->add(c));
  EXPECT_EQ(std::vector<qint64>({a.id, b.id, c.id}), std::vector<qint64>({1, 2, 3}));
}

// Tools started at the same moment on a store nobody has made yet (a gang
// of units written at once): each waits for the other, none fails with
// "database is locked", and every entry is there once.
TEST(RecordStore, ToolsStartedTogetherOnANewStoreAllKeepTheirEntries) {
  test::TempRecords t;
  constexpr int kTools = 6, kEach = 15;
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> children;
  for (int tool = 0; tool < kTools; ++tool) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(go[1]);
      char c;
      // All start when the pipe closes.
      if (::read(go[0], &c, 1) < 0) _exit(3);
      auto store = RecordStore::Open(t.path());
      if (!store) _exit(1);
      for (int i = 0; i < kEach; ++i) {
        WriteRecord r = Entry(kA, static_cast<uint8_t>(tool * kEach + i));
        if (!store->add(r)) _exit(2);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  ::close(go[0]);
  ::close(go[1]);
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  auto store = RecordStore::Open(t.path());
  ASSERT_TRUE(store);
  std::vector<uint8_t> values = Values(store->entries());
  std::sort(values.begin(), values.end());
  std::vector<uint8_t> expected;
  for (int v = 0; v < kTools * kEach; ++v) expected.push_back(static_cast<uint8_t>(v));
  EXPECT_EQ(values, expected);
}

TEST(RecordStore, AFullDiskStopsTheEntryWithItsReasonAndKeepsTheRest) {
  test::TempRecords t;
  {
    auto store = RecordStore::Open(t.path());
    WriteRecord r = Entry(kA, 1);
    ASSERT_TRUE(store->add(r));
  }
  const qint64 size = QFileInfo(t.path()).size();
  // The child may not grow any file: the disk is full.
  const auto [added, reason] = test::UnderSizeLimit(static_cast<rlim_t>(size), [&] {
    QString why;
    auto store = RecordStore::Open(t.path(), &why);
    if (!store) return std::pair{false, why};
    WriteRecord big = Entry(kA, 2);
    for (int a = 0; a < 256; ++a) big.cells.push_back({1, a, 0});
    for (int bank = 2; bank < 4; ++bank)
      for (int a = 0; a < 256; ++a) big.cells.push_back({bank, a, 0});
    const bool ok = store->add(big, &why);
    return std::pair{ok, why};
  });
  EXPECT_FALSE(added);
  EXPECT_FALSE(reason.isEmpty());
  auto store = RecordStore::Open(t.path());
  ASSERT_TRUE(store);
  EXPECT_EQ(Values(store->entries()), std::vector<uint8_t>{1});
}

TEST(RecordStore, TheOldHistoryIsImportedOnceAndLeftInPlace) {
  test::TempRecords t;
  const QString root = t.dir.filePath(QStringLiteral("old-history"));
  const QString unit = root + QStringLiteral("/KRV2212A-12-2-3-0");
  ASSERT_TRUE(QDir().mkpath(unit));
  auto entry = [](const char* time, int value) {
    return QStringLiteral("{\"format\":\"planovix-write-history\",\"version\":1,\"model\":\"KRV2212A\","
                          "\"identity\":{\"device_code\":12,\"variant\":2,\"hardware_revision\":3,\"spare\":0},"
                          "\"time\":\"%1\",\"bank\":0,\"cells\":[[7,244],[0,%2]]}")
        .arg(QLatin1String(time))
        .arg(value)
        .toUtf8();
  };
  Write(unit + QStringLiteral("/20261206-101500-042.json"), entry("2026-12-06T10:15:00.042Z", 1));
  Write(unit + QStringLiteral("/20261206-111500-000.json"), entry("2026-12-06T11:15:00.000Z", 2));
  Write(unit + QStringLiteral("/20261206-121500-000.json"), "{ not json");
  Write(root + QStringLiteral("/notes.txt"), "not an entry");
  // Links are not followed: neither a linked unit folder nor a linked entry.
  const QString elsewhere = t.dir.filePath(QStringLiteral("elsewhere"));
  ASSERT_TRUE(QDir().mkpath(elsewhere));
  Write(elsewhere + QStringLiteral("/20261206-131500-000.json"), entry("2026-12-06T13:15:00.000Z", 3));
  ASSERT_EQ(::symlink(qPrintable(elsewhere), qPrintable(root + QStringLiteral("/KRV2210-12-0-3-0"))), 0);
  ASSERT_EQ(::symlink(qPrintable(elsewhere + QStringLiteral("/20261206-131500-000.json")),
                      qPrintable(unit + QStringLiteral("/20261206-141500-000.json"))),
            0);
  const QStringList before = QDir(unit).entryList(QDir::Files | QDir::System);

  {
    auto store = RecordStore::Open(t.path());
    ASSERT_TRUE(store);
    const auto entries = store->entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(Values(entries), (std::vector<uint8_t>{2, 1}));
    const WriteRecord& newest = *entries[0].record;
    EXPECT_EQ(newest.command, QStringLiteral("import"));
    EXPECT_TRUE(newest.fingerprint.isEmpty());
    EXPECT_EQ(newest.time, QDateTime(QDate(2026, 12, 6), QTime(11, 15), Qt::UTC));
    EXPECT_EQ(newest.cells, (std::vector<StoredCell>{{0, 0, 2}, {0, 7, 244}}));
    EXPECT_TRUE(store->importNote().startsWith(QStringLiteral("2 entries imported, 1 files skipped")))
        << store->importNote().toStdString();
  }
  // Once: a new entry file is not taken the next time.
  Write(unit + QStringLiteral("/20261207-101500-000.json"), entry("2026-12-07T10:15:00.000Z", 4));
  EXPECT_EQ(RecordStore::Open(t.path())->entries().size(), 2u);
  EXPECT_EQ(QDir(unit).entryList(QDir::Files | QDir::System).size(), before.size() + 1);
  EXPECT_EQ(Read(root + QStringLiteral("/notes.txt")), "not an entry");
}

TEST(RecordStore, OldHistoryEntriesAreReadStrictly) {
  QString why;
  EXPECT_FALSE(ParseJsonHistoryEntry(R"({"format":"planovix-write-history","version":1,"model":"KRV2212A",
      "identity":{"device_code":12,"variant":2,"hardware_revision":3,"spare":0},
      "time":"2026-12-06T10:15:00.042Z","cells":[[7,244],[7,1]]})", &why));
  EXPECT_TRUE(why.contains(QStringLiteral("twice")));
  EXPECT_FALSE(ParseJsonHistoryEntry(R"({"format":"planovix-write-history","version":1,
      "identity":{"device_code":12,"variant":2,"hardware_revision":3,"spare":0},
      "time":"2026-12-06T10:15:00.042Z","bank":2,"cells":[[7,244]]})"));
  EXPECT_FALSE(ParseJsonHistoryEntry(R"({"format":"planovix-write-history","version":1,
      "identity":{"device_code":12,"variant":2,"hardware_revision":3,"spare":0},
      "time":"2026-12-06T10:15:00.042Z","cells":[[7,256]]})"));
  EXPECT_FALSE(ParseJsonHistoryEntry("[]"));
}

} // namespace
} // namespace pv
