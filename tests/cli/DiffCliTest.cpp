// planovix-cli diff and restore, and the write history every write leaves,
// against a simulated unit: files that differ in one field of each kind,
// "--changed-only" sending only its cells, and a write cut short undone.
#include "CliRig.h"
#include "config/RangeTables.h"
#include "config/WriteHistory.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace pv {
namespace {
using test::Cli;

// Each test gets a history folder of its own.
struct History {
  QTemporaryDir dir;
  QByteArray was = qgetenv("PLANOVIX_HISTORY_DIR");
  History() { qputenv("PLANOVIX_HISTORY_DIR", dir.path().toLocal8Bit()); }
  ~History() { qputenv("PLANOVIX_HISTORY_DIR", was); }
  QStringList entries() const {
    QStringList out;
    for (const QString& unit : QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
      for (const QString& e : QDir(dir.filePath(unit)).entryList({"*.json"}, QDir::Files, QDir::Name))
        out << dir.filePath(unit + '/' + e);
    return out;
  }
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return f.readAll();
}
void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}
void PutDouble(QByteArray& r, int at, double v) { std::memcpy(r.data() + at, &v, 8); }
void PutBool(QByteArray& r, int at, bool v) {
  r[at] = v ? '\xFF' : '\0';
  r[at + 1] = v ? '\xFF' : '\0';
}
bool GetBool(const QByteArray& r, int at) { return r[at] != 0; }

std::vector<int> WrittenAddresses(const sim::DeviceSimulator& unit) {
  std::vector<int> out;
  for (const QByteArray& command : unit.transcript())
    if (command.startsWith("$W")) out.push_back(static_cast<uint8_t>(command[3]));
  return out;
}

QJsonObject Json(const QString& text) { return QJsonDocument::fromJson(text.toUtf8()).object(); }

// Offsets of the ".DST" record, written out here so that a moved field fails.
struct FileEdit {
  const char* key;
  std::function<void(QByteArray&)> edit;
};

TEST(DiffCli, FilesDifferingInOneFieldOfEachKindListExactlyThatField) {
  History h;
  Cli c;
  ASSERT_EQ(c.run({"read-config", c.file("base.DST")}), 0) << c.err.toStdString();
  const QByteArray base = ReadAll(c.file("base.DST"));
  ASSERT_EQ(base.size(), 292);
  // Swaps a channel's option pair: buttons k0 and k1 of channel ch.
  auto swapPair = [](int first, int second, int ch) {
    return [=](QByteArray& r) {
      const bool a = GetBool(r, first + 2 * ch);
      PutBool(r, first + 2 * ch, !a);
      PutBool(r, second + 2 * ch, a);
    };
  };
  const std::vector<FileEdit> edits = {
      {"A.input_max", [](QByteArray& r) { PutDouble(r, 14, 432.5); }},
      {"B.input_min", [](QByteArray& r) { PutDouble(r, 30 + 8, -12.5); }},
      {"B.over_range", [](QByteArray& r) {
         // The percentage of the next row of the over-range list.
         const RangeTables t;
         double now = 0;
         std::memcpy(&now, r.constData() + 136 + 8, 8);
         const int row = t.OverRangeRowByPercent(now);
         PutDouble(r, 136 + 8, t.overRange[static_cast<size_t>((row + 1) % 4)].percent);
       }},
      {"B.output_max", [](QByteArray& r) { PutDouble(r, 48 + 8, 7.5); }},
      {"A.cjc", swapPair(80, 84, 0)},
      {"B.offset", [](QByteArray& r) { PutDouble(r, 88 + 8, 2.5); }},
      {"A.burn_out", swapPair(128, 132, 0)},
      {"A.trip_high", [](QByteArray& r) { PutDouble(r, 152, 321); }},
      {"A.trip_low", [](QByteArray& r) { PutDouble(r, 168, -21); }},
      {"B.operation", [](QByteArray& r) { r[273] = 2; }},
      {"high_speed", [](QByteArray& r) { r[290] = r[290] ? 0 : 1; }},
  };
  for (const FileEdit& e : edits) {
    SCOPED_TRACE(e.key);
    QByteArray changed = base;
    e.edit(changed);
    WriteAll(c.file("changed.DST"), changed);
    c.unit.clearTranscript();
    ASSERT_EQ(c.run({"--json", "diff", c.file("base.DST"), c.file("changed.DST")}), 4) << c.err.toStdString() << c.out.toStdString();
    const QJsonObject o = Json(c.out);
    EXPECT_FALSE(o["equal"].toBool());
    const QJsonArray fields = o["fields"].toArray();
    ASSERT_EQ(fields.size(), 1) << c.out.toStdString();
    EXPECT_EQ(fields[0].toObject()["key"].toString(), QLatin1String(e.key));
    EXPECT_NE(fields[0].toObject()["a"].toString(), fields[0].toObject()["b"].toString());
    EXPECT_TRUE(c.unit.transcript().isEmpty());  // two files: the unit is not asked
  }
}

TEST(DiffCli, AnotherOutputTypeChangesTheMeaningOfItsLimits) {
  History h;
  Cli c;
  ASSERT_EQ(c.run({"read-config", c.file("base.DST")}), 0);
  QByteArray changed = ReadAll(c.file("base.DST"));
  ASSERT_EQ(changed[46], 1);  // "4-20 mA"
  changed[46] = 2;            // "0-10 V"; the file keeps its limits 4 and 20
  WriteAll(c.file("changed.DST"), changed);
  ASSERT_EQ(c.run({"--json", "diff", c.file("base.DST"), c.file("changed.DST")}), 4);
  const QJsonArray f = Json(c.out)["fields"].toArray();
  ASSERT_EQ(f.size(), 3) << c.out.toStdString();
  EXPECT_EQ(f[0].toObject()["key"].toString(), QStringLiteral("A.output_type"));
  EXPECT_EQ(f[1].toObject()["a"].toString(), QStringLiteral("20 mA"));
  EXPECT_EQ(f[1].toObject()["b"].toString(), QStringLiteral("20 V"));
  EXPECT_EQ(f[1].toObject()["unit"].toString(), QString());
  EXPECT_EQ(f[2].toObject()["key"].toString(), QStringLiteral("A.output_min"));
}

TEST(DiffCli, TableShowsFieldBothValuesAndUnitAndExitsZeroWhenEqual) {
  History h;
  Cli c;
  ASSERT_EQ(c.run({"read-config", c.file("base.DST")}), 0);
  QByteArray changed = ReadAll(c.file("base.DST"));
  PutDouble(changed, 152, 321);
  WriteAll(c.file("changed.DST"), changed);

  EXPECT_EQ(c.run({"diff", c.file("base.DST"), c.file("base.DST")}), 0);
  EXPECT_EQ(c.out, QStringLiteral("No differences\n"));

  EXPECT_EQ(c.run({"diff", "device", c.file("changed.DST")}), 4) << c.err.toStdString();
  const QStringList lines = c.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << c.out.toStdString();
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Field"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QStringLiteral("device")));
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("Unit")));
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Channel A Trips Hi"))) << lines[1].toStdString();
  EXPECT_TRUE(lines[1].contains(QStringLiteral(" 321 "))) << lines[1].toStdString();
  EXPECT_EQ(lines[2], QStringLiteral("Fields that differ: 1"));
  EXPECT_TRUE(c.err.isEmpty()) << c.err.toStdString();

  EXPECT_EQ(c.run({"diff", c.file("changed.DST"), "device"}), 4);
  EXPECT_EQ(c.run({"diff", "device", c.file("base.DST")}), 0) << c.out.toStdString();
}

TEST(DiffCli, BadInputNeverReachesTheUnit) {
  History h;
  Cli c;
  WriteAll(c.file("short.DST"), QByteArray(100, '\0'));
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"diff", c.file("short.DST"), "device"}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("not a valid configuration file")));
  EXPECT_EQ(c.run({"diff", "device"}), 2);
  EXPECT_EQ(c.run({"diff", c.file("missing.DST"), "device"}), 2);
  EXPECT_EQ(c.run({"restore"}), 2);
  WriteAll(c.file("h.json"), "{}");
  EXPECT_EQ(c.run({"restore", c.file("h.json")}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("not a write history entry")));
  EXPECT_TRUE(c.unit.transcript().isEmpty());
}

// A file for the unit with two fields changed: channel A's input upper
// value (cells 20, 21) and channel A's offset (cell 7).
QString EditedFile(Cli& c) {
  EXPECT_EQ(c.run({"read-config", c.file("base.DST")}), 0);
  QByteArray r = ReadAll(c.file("base.DST"));
  PutDouble(r, 14, 500);
  PutDouble(r, 88, 0.5);
  WriteAll(c.file("edited.DST"), r);
  return c.file("edited.DST");
}

TEST(DiffCli, ChangedOnlyWriteSendsOnlyTheChangedFieldsCells) {
  History h;
  Cli full, changed;
  const QString fullFile = EditedFile(full), changedFile = EditedFile(changed);
  const sim::Bank before = changed.unit.bank(0);

  full.unit.clearTranscript();
  ASSERT_EQ(full.run({"--yes", "write-config", fullFile}), 0) << full.err.toStdString();
  changed.unit.clearTranscript();
  ASSERT_EQ(changed.run({"--yes", "--changed-only", "write-config", changedFile}), 0) << changed.err.toStdString();

  // Both leave the unit alike; the changed-only write sends just the cells that changed.
  EXPECT_EQ(changed.unit.bank(0), full.unit.bank(0));
  std::vector<int> differ;
  for (int a = 0; a < 256; ++a)
    if (changed.unit.cell(0, a) != before[static_cast<size_t>(a)]) differ.push_back(a);
  const std::vector<int> sent = WrittenAddresses(changed.unit);
  EXPECT_EQ(sent, differ);
  ASSERT_FALSE(sent.empty());
  for (int a : sent) EXPECT_TRUE(a == 7 || a == 20 || a == 21) << a;
  EXPECT_EQ(sent.front(), 7);
  EXPECT_GT(WrittenAddresses(full.unit).size(), sent.size() + 10);

  // Nothing changed: nothing is written and the user is told.
  changed.unit.clearTranscript();
  ASSERT_EQ(changed.run({"--yes", "--changed-only", "write-config", changedFile}), 0);
  EXPECT_TRUE(WrittenAddresses(changed.unit).empty());
  EXPECT_TRUE(changed.err.contains(QStringLiteral("No differences"))) << changed.err.toStdString();
}

TEST(DiffCli, EveryWriteSavesTheUnitsCellsFirst) {
  History h;
  Cli c;
  const QString file = EditedFile(c);
  const sim::Bank before = c.unit.bank(0);
  ASSERT_TRUE(h.entries().isEmpty());
  ASSERT_EQ(c.run({"--yes", "write-config", file}), 0) << c.err.toStdString();
  const QStringList entries = h.entries();
  ASSERT_EQ(entries.size(), 1);
  EXPECT_TRUE(entries[0].contains(QStringLiteral("/KRV2212A-12-2-")));
  const auto e = LoadHistoryEntry(entries[0]);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->identity, c.unit.identity());
  ASSERT_EQ(e->cells.size(), 65u);
  for (const auto& [a, v] : e->cells) EXPECT_EQ(v, before[static_cast<size_t>(a)]) << a;
}

TEST(DiffCli, AHistoryThatCannotBeSavedStopsTheWriteUnlessAccepted) {
  History h;
  // The history folder's place is taken by a file: nothing can be saved there.
  const QString blocked = h.dir.filePath("blocked");
  WriteAll(blocked, "x");
  qputenv("PLANOVIX_HISTORY_DIR", blocked.toLocal8Bit());
  Cli c;
  const QString file = EditedFile(c);
  const sim::Bank before = c.unit.bank(0);
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"write-config", file}), 3);
  EXPECT_TRUE(c.err.contains(QStringLiteral("could not be saved before the write"))) << c.err.toStdString();
  EXPECT_TRUE(WrittenAddresses(c.unit).empty());
  EXPECT_EQ(c.unit.bank(0), before);

  EXPECT_EQ(c.run({"--yes", "write-config", file}), 0) << c.err.toStdString();
  EXPECT_NE(c.unit.bank(0), before);
}

TEST(DiffCli, WriteCutShortLeavesTheHistoryAndRestorePutsEveryCellBack) {
  // How many commands a whole write takes, and where its "$W" start.
  int firstWrite = -1, total = 0;
  {
    History h;
    Cli probe;
    const QString file = EditedFile(probe);
    probe.unit.clearTranscript();
    ASSERT_EQ(probe.run({"--yes", "write-config", file}), 0);
    const QList<QByteArray>& t = probe.unit.transcript();
    total = static_cast<int>(t.size());
    for (int i = 0; i < total && firstWrite < 0; ++i)
      if (t[i].startsWith("$W")) firstWrite = i;
    ASSERT_GT(firstWrite, 0);
  }
  // The write list is ascending: cell 7 (the offset) leaves by the tenth
  // "$W", cells 20 and 21 by the twenty-third. The last cut hits the read-back.
  for (int cut : {firstWrite + 10, firstWrite + 23, total - 2}) {
    SCOPED_TRACE("cut after command " + std::to_string(cut));
    History h;
    Cli c;
    const QString file = EditedFile(c);
    const sim::Bank before = c.unit.bank(0);
    // The count runs from the unit's switch-on: the commands of the read come first.
    c.unit.faults().hangUpAfter = static_cast<int>(c.unit.transcript().size()) + cut;
    c.unit.clearTranscript();
    ASSERT_EQ(c.run({"--yes", "write-config", file}), 1);
    if (cut < total - 2) {
      EXPECT_TRUE(c.err.contains(QStringLiteral("mix of its old and its new configuration"))) << c.err.toStdString();
    }
    EXPECT_FALSE(c.err.isEmpty());
    ASSERT_NE(c.unit.bank(0), before);  // part of the new configuration arrived
    const QStringList entries = h.entries();
    ASSERT_EQ(entries.size(), 1);

    // The cable goes back in: a fresh line to the same unit's memory.
    Cli again;
    for (int a = 0; a < 256; ++a) again.unit.setCell(0, a, c.unit.cell(0, a));
    again.unit.clearTranscript();
    ASSERT_EQ(again.run({"--json", "restore", entries[0]}), 0) << again.err.toStdString();
    EXPECT_EQ(again.unit.bank(0), before);
    const QJsonObject o = Json(again.out);
    EXPECT_EQ(o["cells"].toInt(), 65);
    EXPECT_GT(o["written"].toInt(), 0);
    EXPECT_EQ(static_cast<int>(WrittenAddresses(again.unit).size()), o["written"].toInt());
    // The restore saved what it replaced: it can be undone in turn.
    EXPECT_EQ(h.entries().size(), 2);
  }
}

TEST(DiffCli, RestoreLastTakesTheUnitsNewestEntry) {
  History h;
  Cli c;
  const QString file = EditedFile(c);
  const sim::Bank before = c.unit.bank(0);
  ASSERT_EQ(c.run({"--yes", "write-config", file}), 0);
  ASSERT_NE(c.unit.bank(0), before);
  ASSERT_EQ(c.run({"restore", "last"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);
  EXPECT_TRUE(c.out.startsWith(QStringLiteral("restored "))) << c.out.toStdString();

  History empty;
  EXPECT_EQ(c.run({"restore", "last"}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("No saved write for this unit"))) << c.err.toStdString();
}

TEST(DiffCli, HistoryListsTheEntriesWithoutTheUnit) {
  History h;
  Cli c;
  const QString file = EditedFile(c);
  ASSERT_EQ(c.run({"--yes", "write-config", file}), 0);
  ASSERT_EQ(c.run({"--yes", "write-config", c.file("base.DST")}), 0);
  c.unit.clearTranscript();
  ASSERT_EQ(c.run({"--json", "history"}), 0) << c.err.toStdString();
  EXPECT_TRUE(c.unit.transcript().isEmpty());
  const QJsonObject o = Json(c.out);
  EXPECT_EQ(o["root"].toString(), h.dir.path());
  const QJsonArray units = o["units"].toArray();
  ASSERT_EQ(units.size(), 1);
  const QJsonArray entries = units[0].toObject()["entries"].toArray();
  ASSERT_EQ(entries.size(), 2);
  const QStringList onDisk = h.entries();  // oldest first
  EXPECT_EQ(entries[0].toObject()["path"].toString(), onDisk[1]);
  EXPECT_EQ(entries[1].toObject()["path"].toString(), onDisk[0]);
  EXPECT_EQ(entries[0].toObject()["cells"].toInt(), 65);

  ASSERT_EQ(c.run({"history"}), 0);
  EXPECT_TRUE(c.out.contains(onDisk[0]));
  EXPECT_EQ(c.run({"history", "x"}), 2);
}

TEST(DiffCli, AnotherUnitsCellsAreRefusedWithoutYes) {
  History h;
  Cli c("KRV2212A");
  const QString file = EditedFile(c);
  ASSERT_EQ(c.run({"--yes", "write-config", file}), 0);
  const QString entry = h.entries().first();

  Cli other("KRV2210");
  const sim::Bank before = other.unit.bank(0);
  other.unit.clearTranscript();
  EXPECT_EQ(other.run({"restore", entry}), 3);
  EXPECT_TRUE(other.err.contains(QStringLiteral("belong to another unit"))) << other.err.toStdString();
  EXPECT_EQ(other.unit.bank(0), before);
  EXPECT_TRUE(WrittenAddresses(other.unit).empty());
}

} // namespace
} // namespace pv
