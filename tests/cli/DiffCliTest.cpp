// planovix-cli diff and restore, and the record store entry every write
// leaves, against a simulated unit: files that differ in one field of each
// kind, "--changed-only" sending only its cells, a write cut short undone.
#include "CliRig.h"
#include "config/FactoryCells.h"
#include "config/Fingerprint.h"
#include "config/RangeTables.h"
#include "support/TempRecords.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstring>
#include <unistd.h>
#include <functional>
#include <gtest/gtest.h>

namespace pv {
namespace {
using test::Cli;
using test::PutDouble;

// Each test gets a record store of its own.
using History = test::TempRecords;

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
  const QByteArray base = test::Read(c.file("base.DST"));
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
    test::Write(c.file("changed.DST"), changed);
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
  QByteArray changed = test::Read(c.file("base.DST"));
  ASSERT_EQ(changed[46], 1);  // "4-20 mA"
  changed[46] = 2;            // "0-10 V"; the file keeps its limits 4 and 20
  test::Write(c.file("changed.DST"), changed);
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
  QByteArray changed = test::Read(c.file("base.DST"));
  PutDouble(changed, 152, 321);
  test::Write(c.file("changed.DST"), changed);

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
  test::Write(c.file("short.DST"), QByteArray(100, '\0'));
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"diff", c.file("short.DST"), "device"}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("not a valid configuration file")));
  EXPECT_EQ(c.run({"diff", "device"}), 2);
  EXPECT_EQ(c.run({"diff", c.file("missing.DST"), "device"}), 2);
  EXPECT_EQ(c.run({"restore"}), 2);
  test::Write(c.file("h.json"), "{}");
  EXPECT_EQ(c.run({"restore", c.file("h.json")}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("not a write history entry")));
  EXPECT_TRUE(c.unit.transcript().isEmpty());
}

// Two entries in the store: the edited file written, then the unit's own
// configuration written back.
void WriteEditedThenBack(Cli& c) {
  ASSERT_EQ(c.run({"--yes", "write-config", c.editedFile()}), 0) << c.err.toStdString();
  ASSERT_EQ(c.run({"--yes", "write-config", c.file("base.DST")}), 0) << c.err.toStdString();
}

TEST(DiffCli, ChangedOnlyWriteSendsOnlyTheChangedFieldsCells) {
  History h;
  Cli full, changed;
  const QString fullFile = full.editedFile(), changedFile = changed.editedFile();
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

TEST(DiffCli, EveryWriteSavesTheUnitsCellsFirstWithItsFingerprint) {
  History h;
  Cli c;
  const QString file = c.editedFile();
  const sim::Bank before = c.unit.bank(0);
  ASSERT_TRUE(h.entries().empty());
  ASSERT_EQ(c.run({"--yes", "--label", "SN 7", "write-config", file}), 0) << c.err.toStdString();
  const auto entries = h.entries();
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_TRUE(entries[0].record.has_value());
  const WriteRecord& e = *entries[0].record;
  EXPECT_EQ(e.command, QStringLiteral("write-config"));
  EXPECT_EQ(e.model, QStringLiteral("KRV2212A"));
  EXPECT_EQ(e.identity, c.unit.identity());
  EXPECT_EQ(e.label, QStringLiteral("SN 7"));
  std::map<int, uint8_t> bank;
  for (int a = 0; a < 256; ++a) bank[a] = before[static_cast<size_t>(a)];
  EXPECT_EQ(e.fingerprint, FingerprintOf(FindModel(u"KRV2212A"), c.unit.identity(), bank).digest);
  ASSERT_EQ(e.cells.size(), 65u);
  for (const StoredCell& cell : e.cells) {
    EXPECT_EQ(cell.bank, 0);
    EXPECT_EQ(cell.value, before[static_cast<size_t>(cell.address)]) << cell.address;
  }
  // identify shows the same fingerprint, and the label the store keeps.
  ASSERT_EQ(c.run({"--json", "identify"}), 0);
  EXPECT_EQ(Json(c.out)["fingerprint"].toString(), e.fingerprint);
  EXPECT_EQ(Json(c.out)["fingerprint_blank"].toBool(), false);
  EXPECT_EQ(Json(c.out)["label"].toString(), QStringLiteral("SN 7"));
}

TEST(DiffCli, AStoreThatCannotTakeTheEntryStopsTheWriteUnlessAccepted) {
  // Garbage in the store's place, a folder there, and a link to someone's
  // file: each stops the write, and none of them is changed.
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    History h;
    const QString victim = h.dir.filePath("victim");
    test::Write(victim, "someone's");
    if (kind == 0) test::Write(h.path(), QByteArray(2048, 'x'));
    if (kind == 1) {
      ASSERT_TRUE(QDir().mkpath(h.path()));
    }
    if (kind == 2) {
      ASSERT_EQ(::symlink(qPrintable(victim), qPrintable(h.path())), 0);
    }
    Cli c;
    const QString file = c.editedFile();
    const sim::Bank before = c.unit.bank(0);
    c.unit.clearTranscript();
    EXPECT_EQ(c.run({"write-config", file}), 3);
    EXPECT_TRUE(c.err.contains(QStringLiteral("could not be saved before the write"))) << c.err.toStdString();
    EXPECT_TRUE(WrittenAddresses(c.unit).empty());
    EXPECT_EQ(c.unit.bank(0), before);

    EXPECT_EQ(c.run({"--yes", "write-config", file}), 0) << c.err.toStdString();
    EXPECT_NE(c.unit.bank(0), before);
    EXPECT_EQ(test::Read(victim), "someone's");
    if (kind == 0) {
      EXPECT_EQ(test::Read(h.path()), QByteArray(2048, 'x'));
    }
  }
}

TEST(DiffCli, WriteCutShortLeavesTheEntryAndRestorePutsEveryCellBack) {
  // How many commands a whole write takes, and where its "$W" start.
  int firstWrite = -1, total = 0;
  {
    History h;
    Cli probe;
    const QString file = probe.editedFile();
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
    const QString file = c.editedFile();
    const sim::Bank before = c.unit.bank(0);
    // The count runs from the unit's switch-on: the commands of the read come first.
    c.unit.faults().hangUpAfter = static_cast<int>(c.unit.transcript().size()) + cut;
    c.unit.clearTranscript();
    ASSERT_EQ(c.run({"--yes", "write-config", file}), 1);
    if (cut < total - 2) {
      EXPECT_TRUE(c.err.contains(QStringLiteral("mix of its old and its new configuration"))) << c.err.toStdString();
    } else {
      // Every cell left; only the check is missing, and the user is told so.
      EXPECT_TRUE(c.err.contains(QStringLiteral("holds the new configuration, unchecked"))) << c.err.toStdString();
    }
    ASSERT_NE(c.unit.bank(0), before);  // part of the new configuration arrived
    ASSERT_EQ(h.entries().size(), 1u);

    // The cable goes back in: a fresh line to the same unit's memory.
    Cli again;
    for (int a = 0; a < 256; ++a) again.unit.setCell(0, a, c.unit.cell(0, a));
    again.unit.clearTranscript();
    ASSERT_EQ(again.run({"--json", "restore", "last"}), 0) << again.err.toStdString();
    EXPECT_EQ(again.unit.bank(0), before);
    const QJsonObject o = Json(again.out);
    EXPECT_EQ(o["restored"].toInt(), 1);
    // Cells 0..64 were saved; on a KRV2212A 34..64 are gains, the unit's own.
    EXPECT_EQ(o["cells"].toInt(), 34);
    EXPECT_GT(o["written"].toInt(), 0);
    EXPECT_EQ(static_cast<int>(WrittenAddresses(again.unit).size()), o["written"].toInt());
    // The restore saved what it replaced: it can be undone in turn.
    EXPECT_EQ(h.entries().size(), 2u);
    EXPECT_EQ(o["backup"].toInt(), 2);
  }
}

TEST(DiffCli, RestoreLastTakesTheUnitsNewestEntry) {
  History h;
  Cli c;
  const QString file = c.editedFile();
  const sim::Bank before = c.unit.bank(0);
  ASSERT_EQ(c.run({"--yes", "write-config", file}), 0);
  ASSERT_NE(c.unit.bank(0), before);
  ASSERT_EQ(c.run({"restore", "last"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);
  EXPECT_TRUE(c.out.startsWith(QStringLiteral("restored entry #1 "))) << c.out.toStdString();

  History empty;
  EXPECT_EQ(c.run({"restore", "last"}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("No saved write for this unit"))) << c.err.toStdString();
}

// Two units of one model: the same identity, their own factory cells, and
// B with its own cold-junction offset (cell 7).
struct TwoUnits {
  History h;
  Cli a, b;
  sim::Bank aBefore, bBefore;
  TwoUnits() {
    b.unit.setCell(0, 50, 0x42);  // B's 90 mV gain is its own
    b.unit.setCell(0, 7, 0xF4);   // -1.2 degrees
    const QString fileA = a.editedFile();
    const QString fileB = b.editedFile();
    aBefore = a.unit.bank(0);
    bBefore = b.unit.bank(0);
    EXPECT_EQ(a.run({"--yes", "write-config", fileA}), 0) << a.err.toStdString();
    EXPECT_EQ(b.run({"--yes", "write-config", fileB}), 0) << b.err.toStdString();
  }
};

TEST(DiffCli, RestoreLastNeverTakesAnotherUnitsCells) {
  TwoUnits u;
  ASSERT_EQ(u.h.entries().size(), 2u);
  EXPECT_NE(u.h.entries()[0].record->fingerprint, u.h.entries()[1].record->fingerprint);
  // B wrote last, but A's own entry is the one A gets back.
  ASSERT_EQ(u.a.run({"restore", "last"}), 0) << u.a.err.toStdString();
  EXPECT_EQ(u.a.unit.bank(0), u.aBefore);
  EXPECT_EQ(u.a.unit.cell(0, 7), u.aBefore[7]);
  EXPECT_TRUE(u.a.out.startsWith(QStringLiteral("restored entry #1 "))) << u.a.out.toStdString();
}

TEST(DiffCli, AnotherUnitsEntryIsRefusedWithoutYesAndNeverItsFactoryCells) {
  TwoUnits u;
  const sim::Bank now = u.a.unit.bank(0);
  u.a.unit.clearTranscript();
  // Entry #2 is B's.
  EXPECT_EQ(u.a.run({"restore", "2"}), 3);
  EXPECT_TRUE(u.a.err.contains(QStringLiteral("belongs to another unit"))) << u.a.err.toStdString();
  EXPECT_TRUE(WrittenAddresses(u.a.unit).empty());
  EXPECT_EQ(u.a.unit.bank(0), now);
  // Accepted, it puts B's configuration on A, and nothing of B's factory
  // cells, not even the gains that lie among the configuration's cells.
  ASSERT_EQ(u.a.run({"--yes", "restore", "2"}), 0) << u.a.err.toStdString();
  const std::vector<int> factory = FingerprintCells(*FindModel(u"KRV2212A"), u.a.unit.identity());
  EXPECT_EQ(u.a.unit.cell(0, 50), now[50]);
  for (int addr = 0; addr < 256; ++addr) {
    const bool configuration = addr <= 64 && std::find(factory.begin(), factory.end(), addr) == factory.end();
    EXPECT_EQ(u.a.unit.cell(0, addr), configuration ? u.bBefore[static_cast<size_t>(addr)] : now[static_cast<size_t>(addr)])
        << addr;
  }
}

TEST(DiffCli, RestorePutsBackFactoryCellsOnlyWhenAskedTo) {
  History h;
  Cli c;
  ASSERT_EQ(c.run({"eeprom", "read", c.file("unit.dat")}), 0);
  const sim::Bank before = c.unit.bank(0);
  // A memory file with other gains and another configuration.
  QByteArray text;
  for (int a = 0; a < 256; ++a) {
    const int value = a >= 50 && a <= 70 ? 7 : before[static_cast<size_t>(a)] ^ (a == 20 ? 1 : 0);
    text += QByteArray::number(value) + "\n";
  }
  test::Write(c.file("other.dat"), text);
  ASSERT_EQ(c.run({"--yes", "eeprom", "write", c.file("other.dat")}), 0) << c.err.toStdString();
  ASSERT_EQ(c.unit.cell(0, 50), 7);
  // The write changed the unit's fingerprint: its history follows it.
  c.unit.clearTranscript();
  ASSERT_EQ(c.run({"--json", "restore", "last"}), 0) << c.err.toStdString();
  // 0..64 less the gains among them (34..64) are the configuration's.
  EXPECT_EQ(Json(c.out)["skipped"].toInt(), 256 - 34);
  EXPECT_EQ(c.unit.cell(0, 20), before[20]);  // the configuration is back
  EXPECT_EQ(c.unit.cell(0, 50), 7);           // the gains are not
  for (int addr : WrittenAddresses(c.unit)) EXPECT_LT(addr, 34);
  ASSERT_EQ(c.run({"--json", "restore", "1", "--include-calibration"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);
}

TEST(DiffCli, ADamagedNewestEntryIsAnErrorThatNamesItNeverSkipped) {
  History h;
  Cli c;
  WriteEditedThenBack(c);
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
    db.setDatabaseName(h.path());
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("UPDATE write_records SET cells = '0:7=1' WHERE id = 2")));
  }
  QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
  const sim::Bank now = c.unit.bank(0);
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"restore", "last"}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("(#2) is damaged"))) << c.err.toStdString();
  EXPECT_TRUE(WrittenAddresses(c.unit).empty());
  EXPECT_EQ(c.unit.bank(0), now);
  // The user picks the older one by its number.
  EXPECT_EQ(c.run({"restore", "1"}), 0) << c.err.toStdString();
  ASSERT_EQ(c.run({"history"}), 0);
  EXPECT_TRUE(c.out.contains(QStringLiteral("#2  DAMAGED: its contents do not match their checksum"))) << c.out.toStdString();
}

TEST(DiffCli, BlankUnitsAreToldApartByTheirLabels) {
  History h;
  Cli a, b;
  for (Cli* c : {&a, &b})
    for (int addr = 34; addr < 128; ++addr) c->unit.setCell(0, addr, 0);  // never calibrated
  b.unit.setCell(0, 7, 0xF4);
  const QString fileA = a.editedFile(), fileB = b.editedFile();
  const sim::Bank aBefore = a.unit.bank(0);
  ASSERT_EQ(a.run({"--yes", "--label", "SN 1", "write-config", fileA}), 0);
  ASSERT_EQ(b.run({"--yes", "--label", "SN 2", "write-config", fileB}), 0);
  ASSERT_EQ(h.entries()[0].record->fingerprint, h.entries()[1].record->fingerprint);
  EXPECT_TRUE(h.entries()[0].record->blank);
  ASSERT_EQ(a.run({"--label", "SN 1", "restore", "last"}), 0) << a.err.toStdString();
  EXPECT_EQ(a.unit.bank(0), aBefore);
  EXPECT_TRUE(a.err.contains(QStringLiteral("factory cells are blank"))) << a.err.toStdString();
  EXPECT_TRUE(a.err.contains(QStringLiteral("chosen by its label \"SN 1\""))) << a.err.toStdString();
  // Without a label there is nothing of this unit's to take.
  EXPECT_EQ(b.run({"restore", "last"}), 2);
  EXPECT_TRUE(b.err.contains(QStringLiteral("--label"))) << b.err.toStdString();
}

TEST(DiffCli, HistoryListsEveryEntryWithoutTheUnit) {
  History h;
  Cli c;
  WriteEditedThenBack(c);
  c.unit.clearTranscript();
  ASSERT_EQ(c.run({"--json", "history"}), 0) << c.err.toStdString();
  EXPECT_TRUE(c.unit.transcript().isEmpty());
  const QJsonObject o = Json(c.out);
  EXPECT_EQ(o["store"].toString(), h.path());
  const QJsonArray entries = o["entries"].toArray();
  ASSERT_EQ(entries.size(), 2);
  const QJsonObject newest = entries[0].toObject();
  EXPECT_EQ(newest["id"].toInt(), 2);
  EXPECT_EQ(newest["command"].toString(), QStringLiteral("write-config"));
  EXPECT_EQ(newest["fingerprint"].toString().size(), 16);
  EXPECT_EQ(newest["cells"].toArray().size(), 65);
  // What the unit held before the second write: the edited offset, 0.5.
  EXPECT_EQ(newest["cells"].toArray()[7].toArray(), (QJsonArray{0, 7, 5}));

  ASSERT_EQ(c.run({"history"}), 0);
  EXPECT_TRUE(c.out.contains(QStringLiteral("#1  "))) << c.out.toStdString();
  EXPECT_TRUE(c.out.contains(newest["fingerprint"].toString()));
  ASSERT_EQ(c.run({"--json", "history", newest["fingerprint"].toString()}), 0);
  EXPECT_EQ(Json(c.out)["entries"].toArray().size(), 2);
  EXPECT_EQ(c.run({"history", "x"}), 2);
}

TEST(DiffCli, AnOldHistoryFileIsRestoredOnlyOnceConfirmed) {
  History h;
  Cli c;
  const sim::Bank before = c.unit.bank(0);
  test::Write(c.file("old.json"),
           QStringLiteral("{\"format\":\"planovix-write-history\",\"version\":1,\"model\":\"KRV2212A\","
                          "\"identity\":{\"device_code\":12,\"variant\":2,\"hardware_revision\":%1,\"spare\":0},"
                          "\"time\":\"2026-12-06T10:15:00.042Z\",\"bank\":0,\"cells\":[[7,%2],[50,1]]}")
               .arg(c.unit.identity().hardwareRevision)
               .arg((before[7] + 5) % 256)
               .toUtf8());
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"restore", c.file("old.json")}), 3);
  EXPECT_TRUE(c.err.contains(QStringLiteral("does not say which unit"))) << c.err.toStdString();
  EXPECT_TRUE(WrittenAddresses(c.unit).empty());
  ASSERT_EQ(c.run({"--yes", "restore", c.file("old.json")}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.cell(0, 7), (before[7] + 5) % 256);
  EXPECT_EQ(c.unit.cell(0, 50), before[50]);  // a gain: the unit's own
}

TEST(DiffCli, AnotherModelsCellsAreRefusedWithoutYes) {
  History h;
  Cli c("KRV2212A");
  const QString file = c.editedFile();
  ASSERT_EQ(c.run({"--yes", "write-config", file}), 0);

  Cli other("KRV2210");
  const sim::Bank before = other.unit.bank(0);
  other.unit.clearTranscript();
  EXPECT_EQ(other.run({"restore", "1"}), 3);
  EXPECT_TRUE(other.err.contains(QStringLiteral("belong to another unit"))) << other.err.toStdString();
  EXPECT_EQ(other.unit.bank(0), before);
  EXPECT_TRUE(WrittenAddresses(other.unit).empty());
}

} // namespace
} // namespace pv
