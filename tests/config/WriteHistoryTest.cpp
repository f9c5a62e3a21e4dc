// The write history on disk: names, contents, the bounds, and files that
// are not entries.
#include "config/WriteHistory.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {

const DeviceIdentity kId{12, 2, 3, 0};  // code, variant, revision, spare

HistoryEntry Entry(const QDateTime& t, uint8_t cell0 = 0x11) {
  HistoryEntry e;
  e.model = QStringLiteral("KRV2212A");
  e.identity = kId;
  e.time = t;
  e.cells = {{0, cell0}, {4, 0x60}, {64, 0xFF}, {130, 0x00}};
  return e;
}

const QDateTime kNoon(QDate(2026, 12, 6), QTime(12, 0, 0), Qt::UTC);

TEST(WriteHistory, EntryIsNamedByModelIdentityAndTime) {
  QTemporaryDir dir;
  WriteHistory h(dir.path());
  HistoryEntry e = Entry(kNoon.addMSecs(42));
  ASSERT_TRUE(h.save(e));
  EXPECT_EQ(e.path, dir.filePath(QStringLiteral("KRV2212A-12-2-3-0/20261206-120000-042.json")));

  QFile f(e.path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
  EXPECT_EQ(o["format"].toString(), QStringLiteral("planovix-write-history"));
  EXPECT_EQ(o["version"].toInt(), 1);
  EXPECT_EQ(o["model"].toString(), QStringLiteral("KRV2212A"));
  EXPECT_EQ(o["time"].toString(), QStringLiteral("2026-12-06T12:00:00.042Z"));
  EXPECT_EQ(o["identity"].toObject()["device_code"].toInt(), 12);
  EXPECT_EQ(o["identity"].toObject()["variant"].toInt(), 2);
  EXPECT_EQ(o["identity"].toObject()["hardware_revision"].toInt(), 3);
  const QJsonArray cells = o["cells"].toArray();
  ASSERT_EQ(cells.size(), 4);
  EXPECT_EQ(cells[0].toArray(), (QJsonArray{0, 0x11}));
  EXPECT_EQ(cells[1].toArray(), (QJsonArray{4, 0x60}));
  EXPECT_EQ(cells[2].toArray(), (QJsonArray{64, 0xFF}));
  EXPECT_EQ(cells[3].toArray(), (QJsonArray{130, 0}));
}

TEST(WriteHistory, HandWrittenEntryLoads) {
  QTemporaryDir dir;
  const QString path = dir.filePath("e.json");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(R"({"format":"planovix-write-history","version":1,"model":"KRV2210",
              "identity":{"device_code":12,"variant":0,"hardware_revision":4,"spare":7},
              "time":"2026-01-02T03:04:05.006Z","bank":0,"cells":[[3,129],[0,5]]})");
  f.close();
  QString why;
  const auto e = LoadHistoryEntry(path, &why);
  ASSERT_TRUE(e) << why.toStdString();
  EXPECT_EQ(e->model, QStringLiteral("KRV2210"));
  EXPECT_EQ(e->identity, (DeviceIdentity{12, 0, 4, 7}));
  EXPECT_EQ(e->time, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC));
  EXPECT_EQ(e->cells, (std::map<int, uint8_t>{{0, 5}, {3, 129}}));
}

TEST(WriteHistory, FilesThatAreNotEntriesAreRefused) {
  QTemporaryDir dir;
  const char* bad[] = {
      "not json",
      R"({"format":"something else","version":1})",
      R"({"format":"planovix-write-history","version":2})",
      R"({"format":"planovix-write-history","version":1,"identity":{"device_code":12,"variant":0,"hardware_revision":0,"spare":0},"time":"2026-01-02T03:04:05Z","cells":[[0,256]]})",
      R"({"format":"planovix-write-history","version":1,"identity":{"device_code":12,"variant":0,"hardware_revision":0,"spare":0},"time":"2026-01-02T03:04:05Z","cells":[[0,1],[0,2]]})",
      R"({"format":"planovix-write-history","version":1,"identity":{"device_code":12,"variant":0,"hardware_revision":0,"spare":0},"time":"2026-01-02T03:04:05Z","cells":[]})",
      R"({"format":"planovix-write-history","version":1,"identity":{"device_code":300,"variant":0,"hardware_revision":0,"spare":0},"time":"2026-01-02T03:04:05Z","cells":[[0,1]]})",
      R"({"format":"planovix-write-history","version":1,"identity":{"device_code":12,"variant":0,"hardware_revision":0,"spare":0},"time":"2026-01-02T03:04:05Z","cells":[[0.5,1]]})",
  };
  int n = 0;
  for (const char* text : bad) {
    const QString path = dir.filePath(QStringLiteral("bad%1.json").arg(n++));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    QString why;
    EXPECT_FALSE(LoadHistoryEntry(path, &why)) << text;
    EXPECT_FALSE(why.isEmpty()) << text;
  }
  EXPECT_FALSE(LoadHistoryEntry(dir.filePath("missing.json")));
}

TEST(WriteHistory, NewestFirstAndTwoWritesInOneMillisecondKeepBoth) {
  QTemporaryDir dir;
  WriteHistory h(dir.path());
  HistoryEntry a = Entry(kNoon, 1), b = Entry(kNoon, 2), c = Entry(kNoon.addSecs(-60), 3);
  ASSERT_TRUE(h.save(a));
  ASSERT_TRUE(h.save(b));
  ASSERT_TRUE(h.save(c));
  EXPECT_NE(a.path, b.path);
  const QStringList all = h.entries(QStringLiteral("KRV2212A"), kId);
  ASSERT_EQ(all.size(), 3);
  EXPECT_EQ(all[0], b.path);
  EXPECT_EQ(all[2], c.path);
  EXPECT_EQ(h.newest(QStringLiteral("KRV2212A"), kId)->cells.at(0), 2);
  EXPECT_FALSE(h.newest(QStringLiteral("KRV2212B"), kId));
  EXPECT_FALSE(h.newest(QStringLiteral("KRV2212A"), DeviceIdentity{12, 2, 4, 0}));

  // A damaged newest entry does not hide the one before it.
  QFile f(b.path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("{");
  f.close();
  EXPECT_EQ(h.newest(QStringLiteral("KRV2212A"), kId)->cells.at(0), 1);
}

TEST(WriteHistory, EntriesPerUnitAreBounded) {
  QTemporaryDir dir;
  WriteHistory h(dir.path());
  const int total = WriteHistory::kEntriesPerUnit + 5;
  for (int i = 0; i < total; ++i) {
    HistoryEntry e = Entry(kNoon.addSecs(i), static_cast<uint8_t>(i));
    ASSERT_TRUE(h.save(e));
  }
  const QStringList left = h.entries(QStringLiteral("KRV2212A"), kId);
  ASSERT_EQ(left.size(), WriteHistory::kEntriesPerUnit);
  // The five oldest went.
  EXPECT_EQ(LoadHistoryEntry(left.last())->cells.at(0), 5);
  EXPECT_EQ(LoadHistoryEntry(left.first())->cells.at(0), total - 1);
}

TEST(WriteHistory, UnitsAreBoundedOldestFirst) {
  QTemporaryDir dir;
  WriteHistory h(dir.path());
  const int units = WriteHistory::kUnits + 2;
  for (int i = 0; i < units; ++i) {
    HistoryEntry e = Entry(kNoon.addSecs(i));
    e.identity.spare = static_cast<uint8_t>(i);
    ASSERT_TRUE(h.save(e));
  }
  const QStringList folders = QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  EXPECT_EQ(folders.size(), WriteHistory::kUnits);
  EXPECT_FALSE(folders.contains(QStringLiteral("KRV2212A-12-2-3-0")));
  EXPECT_FALSE(folders.contains(QStringLiteral("KRV2212A-12-2-3-1")));
  EXPECT_TRUE(folders.contains(QStringLiteral("KRV2212A-12-2-3-2")));
  EXPECT_TRUE(folders.contains(QStringLiteral("KRV2212A-12-2-3-51")));
}

TEST(WriteHistory, DefaultRootFollowsTheOverride) {
  const QByteArray was = qgetenv("PLANOVIX_HISTORY_DIR");
  qputenv("PLANOVIX_HISTORY_DIR", "/somewhere/else");
  EXPECT_EQ(WriteHistory::DefaultRoot(), QStringLiteral("/somewhere/else"));
  qunsetenv("PLANOVIX_HISTORY_DIR");
  EXPECT_TRUE(WriteHistory::DefaultRoot().endsWith(QStringLiteral("/PLANOVIX/history")));
  qputenv("PLANOVIX_HISTORY_DIR", was);
}

TEST(WriteHistory, AModelNameNeverMakesAPath) {
  EXPECT_EQ(WriteHistory::UnitFolder(QStringLiteral("../x"), kId), QStringLiteral("___x-12-2-3-0"));
  EXPECT_EQ(WriteHistory::UnitFolder(QString(), kId), QStringLiteral("UNKNOWN-12-2-3-0"));
}

} // namespace
} // namespace pv
