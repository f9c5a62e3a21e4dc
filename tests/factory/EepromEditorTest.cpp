// The cell-memory editor against a simulated unit: what reaches the unit's
// memory, which bytes go out, and that bad input sends nothing at all.
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "config/ConfigDevice.h"
#include "support/TempRecords.h"
#include "factory/EepromEditor.h"
#include "kernel/AtomicFile.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/DeviceLink.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"
#include "support/ScriptedPrompter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

struct Rig {
  AppState state;  // Italian texts, as the program starts
  FakeClock clock;
  MemorySerialPort port;
  sim::DeviceSimulator unit;
  sim::SimulatorLink wire{unit, port, &clock};
  ScriptedPrompter user;
  DeviceLink link{clock, user};
  Transport transport{port, link.clock()};
  Feedback feedback;
  DeviceCommands commands{state, transport, link.prompter(), feedback};
  EepromEditor editor{state, commands, link, link.prompter()};
  QTemporaryDir dir;

  Rig() {
    unit.setModel(QStringLiteral("KRV2212A"));
    state.identity = unit.identity();
    port.open(QStringLiteral("sim"));
  }
  // "$W" commands the unit received, as (bank, address, value).
  std::vector<std::array<int, 3>> writes() const {
    std::vector<std::array<int, 3>> out;
    for (const QByteArray& c : unit.transcript())
      if (c.startsWith("$W"))
        out.push_back({uint8_t(c[2]), uint8_t(c[3]), uint8_t(c[4])});
    return out;
  }
  QString file(const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
  }
  void fillUnit(int bank, int seed) {
    for (int a = 0; a < 256; ++a) unit.setCell(bank, a, uint8_t((a * 7 + seed) & 0xFF));
  }
};

QByteArray Lines(int n, int value = 7) {
  QByteArray b;
  for (int i = 0; i < n; ++i) b += QByteArray::number(value) + "\r\n";
  return b;
}

// ------------------------------------------------------------ single values

TEST(EepromSingle, ByteReadAtAnotherBankAsksThatBank) {
  Rig r;
  r.unit.setCell(5, 200, 0xA7);
  r.editor.fields.bank = "5";
  r.editor.fields.start = "200";
  r.editor.fields.a = "9";
  r.editor.fields.b = "9";
  EXPECT_EQ(r.editor.readOne(), EepromResult::Ok);
  EXPECT_EQ(r.editor.fields.value, "167");
  EXPECT_EQ(r.editor.fields.a, "167");
  EXPECT_EQ(r.editor.fields.b, "0");
  EXPECT_EQ(r.editor.fields.c, "0");
  bool asked = false;
  for (const QByteArray& c : r.unit.transcript())
    if (c == QByteArray("$R\x05\xC8\x00\r", 6)) asked = true;
  EXPECT_TRUE(asked);
}

TEST(EepromSingle, FloatReadDecodesSignExponentThenMantissa) {
  struct Row { uint8_t s, m1, m2; const char* shown; };
  const Row rows[] = {
      {0x3F, 0x80, 0x00, "1.0"},    // 1.0
      {0xC0, 0x20, 0x00, "-2.5"},   // -2.5
      {0x42, 0xC8, 0x00, "100.0"},  // 100
      {0x3E, 0x80, 0x00, "0.25"},   // 0.25
      {0x00, 0x00, 0x00, "0.0"},    // 2^-127 shows as 0
  };
  for (const Row& row : rows) {
    Rig r;
    r.unit.setCell(2, 10, row.s);
    r.unit.setCell(2, 11, row.m1);
    r.unit.setCell(2, 12, row.m2);
    r.editor.fields.bank = "2";
    r.editor.fields.start = "10";
    r.editor.fields.format = EepromFormat::Float;
    EXPECT_EQ(r.editor.readOne(), EepromResult::Ok);
    EXPECT_EQ(r.editor.fields.value, row.shown);
    EXPECT_EQ(r.editor.fields.a, QString::number(row.s));
    EXPECT_EQ(r.editor.fields.b, QString::number(row.m1));
    EXPECT_EQ(r.editor.fields.c, QString::number(row.m2));
  }
}

TEST(EepromSingle, WritesPutTheLowByteOrTheSignByteAtTheAddress) {
  struct Row { EepromFormat f; const char* value; std::vector<int> cells; };
  const Row rows[] = {
      {EepromFormat::Byte, "200", {0xC8}},
      {EepromFormat::Int, "4660", {0x34, 0x12}},
      {EepromFormat::Int, "-1", {0xFF, 0xFF}},
      {EepromFormat::Int, "300", {0x2C, 0x01}},
      {EepromFormat::Float, "-2.5", {0xC0, 0x20, 0x00}},
      {EepromFormat::Float, "1", {0x3F, 0x80, 0x00}},
      {EepromFormat::Float, "100.0", {0x42, 0xC8, 0x00}},
  };
  for (const Row& row : rows) {
    Rig r;
    r.editor.fields.bank = "3";
    r.editor.fields.start = "16";
    r.editor.fields.format = row.f;
    r.editor.fields.value = row.value;
    EXPECT_EQ(r.editor.writeOne(), EepromResult::Ok) << row.value;
    const auto w = r.writes();
    ASSERT_EQ(w.size(), row.cells.size()) << row.value;
    for (size_t i = 0; i < row.cells.size(); ++i) {
      EXPECT_EQ(w[i][0], 3);
      EXPECT_EQ(w[i][1], 16 + int(i));
      EXPECT_EQ(w[i][2], row.cells[i]) << row.value << " cell " << i;
      EXPECT_EQ(r.unit.cell(3, 16 + int(i)), row.cells[i]);
    }
    // The raw fields show what went out.
    EXPECT_EQ(r.editor.fields.a, QString::number(row.cells[0]));
  }
}

TEST(EepromSingle, RawBytesAsTypedWhenTheyAreTheSource) {
  Rig r;
  r.editor.fields.start = "100";
  r.editor.fields.format = EepromFormat::Int;
  r.editor.fields.fromValue = false;
  r.editor.fields.value = "999999";  // not used
  r.editor.fields.a = "52";
  r.editor.fields.b = "18";
  EXPECT_EQ(r.editor.writeOne(), EepromResult::Ok);
  EXPECT_EQ(r.unit.cell(0, 100), 52);
  EXPECT_EQ(r.unit.cell(0, 101), 18);
  EXPECT_EQ(r.editor.fields.value, "4660");
}

TEST(EepromSingle, ValuesTheCellsCannotHoldSendNothing) {
  struct Row { EepromFormat f; bool fromValue; const char* bank; const char* start; const char* value; const char* a; };
  const Row rows[] = {
      {EepromFormat::Byte, true, "0", "0", "256", "0"},
      {EepromFormat::Byte, true, "0", "0", "-1", "0"},
      {EepromFormat::Byte, true, "0", "0", "abc", "0"},
      {EepromFormat::Byte, true, "0", "0", "", "0"},
      {EepromFormat::Byte, true, "0", "0", "1.5", "0"},
      {EepromFormat::Int, true, "0", "0", "65536", "0"},
      {EepromFormat::Int, true, "0", "0", "-32769", "0"},
      {EepromFormat::Float, true, "0", "0", "1e39", "0"},
      {EepromFormat::Float, true, "0", "0", "1,5", "0"},
      {EepromFormat::Float, true, "0", "0", "nan", "0"},
      {EepromFormat::Byte, false, "0", "0", "1", "300"},
      {EepromFormat::Byte, false, "0", "0", "1", "x"},
      {EepromFormat::Byte, true, "256", "0", "1", "0"},
      {EepromFormat::Byte, true, "x", "0", "1", "0"},
      {EepromFormat::Byte, true, "0", "256", "1", "0"},
      {EepromFormat::Float, true, "0", "254", "1", "0"},  // would run past cell 255
      {EepromFormat::Int, true, "0", "255", "1", "0"},
  };
  for (const Row& row : rows) {
    Rig r;
    r.editor.fields = SingleFields{};
    r.editor.fields.format = row.f;
    r.editor.fields.fromValue = row.fromValue;
    r.editor.fields.bank = row.bank;
    r.editor.fields.start = row.start;
    r.editor.fields.value = row.value;
    r.editor.fields.a = row.a;
    r.user.expect(Answer::Ok);
    EXPECT_EQ(r.editor.writeOne(), EepromResult::Invalid) << row.value << " " << row.a;
    EXPECT_TRUE(r.unit.transcript().isEmpty()) << row.value << " " << row.a;
    ASSERT_EQ(r.user.asked().size(), 1u);
    EXPECT_TRUE(r.user.asked()[0].text.contains("Nulla \u00e8 stato scritto")) << r.user.asked()[0].text.toStdString();
  }
}

TEST(EepromSingle, AWriteTheUnitDoesNotKeepIsReported) {
  Rig r;
  // A cell that stays as it was, whatever is written to it.
  r.unit.setCommandObserver([&](const QByteArray& c) {
    if (c.startsWith("$W") && uint8_t(c[3]) == 17) r.unit.setCell(0, 17, 0x55);
  });
  r.editor.fields.start = "16";
  r.editor.fields.format = EepromFormat::Int;
  r.editor.fields.value = "4660";
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.writeOne(), EepromResult::Differs);
  ASSERT_EQ(r.user.asked().size(), 1u);
  EXPECT_TRUE(r.user.asked()[0].text.contains("17: 85 / 18")) << r.user.asked()[0].text.toStdString();
}

// ------------------------------------------------------------- whole memory

TEST(EepromAll, ReadAllShowsEveryCellOfBankZero) {
  Rig r;
  r.fillUnit(0, 3);
  r.fillUnit(1, 99);
  r.editor.fields.bank = "1";  // not used by the whole-memory commands
  EXPECT_EQ(r.editor.readAll(), EepromResult::Ok);
  ASSERT_EQ(r.editor.lines().size(), 256);
  EXPECT_EQ(r.editor.lines()[0], " 0\t 3");
  EXPECT_EQ(r.editor.lines()[1], " 1\t 10");
  EXPECT_EQ(r.editor.lines()[255], QString(" 255\t %1").arg((255 * 7 + 3) & 0xFF));
}

TEST(EepromAll, VerifyRightAfterReadFindsNoDifference) {
  Rig r;
  ASSERT_EQ(r.editor.readAll(), EepromResult::Ok);
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.verify(), EepromResult::Ok);
  EXPECT_EQ(r.editor.lastErrors(), 0);
  ASSERT_EQ(r.user.asked().size(), 1u);
  EXPECT_EQ(r.user.asked()[0].text, " 0 errori");
  EXPECT_EQ(r.user.asked()[0].icon, Icon::Information);
  EXPECT_EQ(r.user.asked()[0].title, "PLANOVIX v.2.6");
}

TEST(EepromAll, VerifyListsTheCellsThatDiffer) {
  Rig r;
  ASSERT_EQ(r.editor.readAll(), EepromResult::Ok);
  r.unit.setCell(0, 5, uint8_t(r.unit.cell(0, 5) ^ 0xFF));
  r.unit.setCell(0, 200, uint8_t(r.unit.cell(0, 200) + 1));
  const int listed5 = ValueOfLine(r.editor.lines()[5]).toInt();
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.verify(), EepromResult::Differs);
  EXPECT_EQ(r.editor.lastErrors(), 2);
  ASSERT_EQ(r.editor.differenceLines().size(), 2);
  EXPECT_EQ(r.editor.differenceLines()[0], QString(" 5\t %1").arg(listed5));
  EXPECT_EQ(r.editor.differences()[1].cell, 200);
  EXPECT_EQ(r.user.asked()[0].text, " 2 errori");
  EXPECT_EQ(r.user.asked()[0].icon, Icon::Critical);
}

TEST(EepromAll, WriteAllIsAlways256CellsOfBankZeroAfterAskingAndReadsThemBack) {
  Rig r;
  MemoryImage image{};
  for (int i = 0; i < 256; ++i) image[i] = uint8_t(255 - i);
  r.editor.setImage(image);
  r.editor.fields.bank = "7";  // ignored
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.writeAll(), EepromResult::Ok);
  ASSERT_EQ(r.user.asked().size(), 1u);
  EXPECT_EQ(r.user.asked()[0].buttons, Buttons::OkCancel);
  const auto w = r.writes();
  ASSERT_EQ(w.size(), 256u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(w[i][0], 0);
    EXPECT_EQ(w[i][1], i);
    EXPECT_EQ(w[i][2], 255 - i);
  }
  EXPECT_EQ(r.unit.bank(0), image);
  // The read-back: all 256 cells asked right after the last write (then
  // the unit's new fingerprint).
  std::vector<int> readsAfter;
  bool afterWrites = false;
  for (const QByteArray& c : r.unit.transcript()) {
    if (c.startsWith("$W") && uint8_t(c[3]) == 255) afterWrites = true;
    if (afterWrites && c.startsWith("$R")) readsAfter.push_back(uint8_t(c[3]));
  }
  ASSERT_GE(readsAfter.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(readsAfter[static_cast<size_t>(i)], i);
}

TEST(EepromAll, WriteAllSavesWhatTheUnitHeldAndARestorePutsItBack) {
  test::TempRecords records;
  Rig r;
  const uint8_t family = r.unit.bank(0)[4];  // names the model in the entry
  r.fillUnit(0, 3);
  r.unit.setCell(0, 4, family);
  const MemoryImage before = r.unit.bank(0);
  MemoryImage image{};
  for (int i = 0; i < 256; ++i) image[i] = uint8_t(i ^ 0x55);
  r.editor.setImage(image);
  r.user.expect(Answer::Ok);
  ASSERT_EQ(r.editor.writeAll(), EepromResult::Ok);
  ASSERT_EQ(r.unit.bank(0), image);

  const auto entries = records.entries();
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_TRUE(entries[0].record.has_value());
  const WriteRecord& entry = *entries[0].record;
  EXPECT_EQ(entry.model, QStringLiteral("KRV2212A"));
  ASSERT_EQ(entry.cells.size(), 256u);
  // Cell a held a * 7 + 3 before the write.
  EXPECT_EQ(entry.cells[0], (StoredCell{0, 0, 3}));
  EXPECT_EQ(entry.cells[4].value, family);
  EXPECT_EQ(entry.cells[5].value, 38);
  EXPECT_EQ(entry.cells[255], (StoredCell{0, 255, uint8_t(255 * 7 + 3)}));
  // The write gave the unit other factory cells: the entry knows its new fingerprint.
  EXPECT_FALSE(entry.fingerprintAfter.isEmpty());
  EXPECT_NE(entry.fingerprintAfter, entry.fingerprint);

  RestoreOptions all;
  all.includeCalibration = true;
  EXPECT_EQ(RestoreCells(entry, r.commands, all), ConfigResult::Ok);
  EXPECT_EQ(r.unit.bank(0), before);
}

TEST(EepromAll, WriteAllCancelledSendsNothing) {
  Rig r;
  r.editor.setImage(MemoryImage{});
  r.user.expect(Answer::Cancel);
  EXPECT_EQ(r.editor.writeAll(), EepromResult::Cancelled);
  EXPECT_TRUE(r.unit.transcript().isEmpty());
}

TEST(EepromAll, WriteAllNamesTheCellsTheUnitDidNotTake) {
  Rig r;
  r.unit.setCommandObserver([&](const QByteArray& c) {
    if (c.startsWith("$W") && uint8_t(c[3]) == 42) r.unit.setCell(0, 42, 1);
  });
  MemoryImage image{};
  image.fill(9);
  r.editor.setImage(image);
  r.user.expect(Answer::Ok);
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.writeAll(), EepromResult::Differs);
  ASSERT_EQ(r.user.asked().size(), 2u);
  EXPECT_TRUE(r.user.asked()[1].text.contains("42: 1 / 9")) << r.user.asked()[1].text.toStdString();
  ASSERT_EQ(r.editor.differences().size(), 1u);
  EXPECT_EQ(r.editor.differences()[0].cell, 42);
}

TEST(EepromAll, ABadLineInTheListIsNamedAndNothingIsWritten) {
  const char* bad[] = {"300", "-1", "abc", "", "12.5"};
  for (const char* value : bad) {
    Rig r;
    r.editor.setImage(MemoryImage{});
    r.editor.setLine(17, MemoryLine(17, QString::fromLatin1(value)));
    r.user.expect(Answer::Ok);  // the message; no question follows
    EXPECT_EQ(r.editor.writeAll(), EepromResult::Invalid) << value;
    ASSERT_EQ(r.user.asked().size(), 1u);
    EXPECT_TRUE(r.user.asked()[0].text.startsWith("Riga 18:")) << r.user.asked()[0].text.toStdString();
    EXPECT_TRUE(r.unit.transcript().isEmpty());
  }
}

TEST(EepromAll, AnEmptyListIsNotWritten) {
  Rig r;
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.writeAll(), EepromResult::Invalid);
  EXPECT_TRUE(r.user.asked()[0].text.contains("0 righe"));
  EXPECT_TRUE(r.unit.transcript().isEmpty());
}

TEST(EepromAll, AFailedReadKeepsTheList) {
  Rig r;
  r.editor.setImage(MemoryImage{});
  r.port.close();
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.readAll(), EepromResult::CommFailure);
  ASSERT_EQ(r.user.asked().size(), 1u);
  EXPECT_EQ(r.user.asked()[0].text, "COM Port not open");
  EXPECT_EQ(r.editor.lines().size(), 256);
  EXPECT_EQ(r.editor.lines()[3], " 3\t 0");
}

TEST(EepromAll, AVerifyThatCouldNotReadTheUnitCountsNothing) {
  Rig r;
  r.editor.setImage(MemoryImage{});
  r.unit.faults().dropAnswers = 1000;
  r.user.expect(Answer::Cancel);  // the link's Retry/Cancel after its silent attempts
  EXPECT_EQ(r.editor.verify(), EepromResult::CommFailure);
  ASSERT_EQ(r.user.asked().size(), 1u);
  EXPECT_EQ(r.user.asked()[0].buttons, Buttons::RetryCancel);
  EXPECT_TRUE(r.editor.differenceLines().isEmpty());
}

TEST(EepromAll, WriteAllOnAClosedPortWritesNothingAndSaysSoOnce) {
  Rig r;
  r.editor.setImage(MemoryImage{});
  r.port.close();
  r.user.expect(Answer::Ok);  // the question
  r.user.expect(Answer::Ok);  // the link's message
  EXPECT_EQ(r.editor.writeAll(), EepromResult::CommFailure);
  EXPECT_EQ(r.user.asked().size(), 2u);
  EXPECT_TRUE(r.writes().empty());
}

TEST(EepromAll, NothingRunsWhileAnotherExchangeWaits) {
  Rig r;
  r.editor.setImage(MemoryImage{});
  EepromResult got = EepromResult::Ok;
  r.link.run(Exchange::Read, [&] {
    LinkWait waiting(r.link);  // an event handler inside the running exchange's wait
    got = r.editor.readAll();
  });
  EXPECT_EQ(got, EepromResult::Busy);
  EXPECT_TRUE(r.unit.transcript().isEmpty());
}

// ------------------------------------------------------------------- files

TEST(EepromFile, SavedFileIsOneDecimalValueALine) {
  Rig r;
  MemoryImage image{};
  image[0] = 0x34;
  image[1] = 0x12;
  image[255] = 0xFF;
  r.editor.setImage(image);
  const QString path = r.dir.filePath("EEprom.dat");
  EXPECT_EQ(r.editor.saveTo(path), EepromResult::Ok);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  EXPECT_TRUE(bytes.startsWith("52\r\n18\r\n0\r\n0\r\n"));
  EXPECT_TRUE(bytes.endsWith("\r\n0\r\n255\r\n"));
  EXPECT_EQ(bytes.count('\n'), 256);
  EXPECT_TRUE(StraySaveFiles(path).isEmpty());
}

TEST(EepromFile, LoadAcceptsEitherLineEndingAndBlanksAroundValues) {
  Rig r;
  QByteArray b;
  for (int i = 0; i < 256; ++i) b += " " + QByteArray::number(i) + (i % 2 ? "\n" : " \r\n");
  b += "\n\n";
  EXPECT_EQ(r.editor.loadFrom(r.file("a.dat", b)), EepromResult::Ok);
  ASSERT_EQ(r.editor.lines().size(), 256);
  EXPECT_EQ(r.editor.lines()[200], " 200\t 200");
}

TEST(EepromFile, BadFilesAreRefusedNamingTheLineAndChangeNothing) {
  QByteArray withText = Lines(256);
  withText.replace(3 * 3, 1, "x");  // line 4 reads "x"
  struct Row { const char* name; QByteArray bytes; const char* says; };
  const Row rows[] = {
      {"short", Lines(255), "Il file finisce alla riga 255"},
      {"empty", QByteArray(), "Il file finisce alla riga 0"},
      {"long", Lines(300), "Riga 257:"},
      {"over", Lines(10) + "300\r\n" + Lines(245), "Riga 11: \"300\""},
      {"negative", Lines(3) + "-1\r\n" + Lines(252), "Riga 4: \"-1\""},
      {"text", withText, "Riga 4: \"x\""},
      {"gap", Lines(100) + "\r\n" + Lines(156), "Riga 101:"},
      {"fraction", Lines(1) + "1.0\r\n" + Lines(254), "Riga 2:"},
      // Bytes that read as blanks once taken as Latin-1 text (NEL, no-break space).
      {"next-line", Lines(119) + "\x85" "1\r\n" + Lines(136), "Riga 120:"},
      {"no-break-space", Lines(5) + "7\xA0\r\n" + Lines(250), "Riga 6:"},
  };
  for (const Row& row : rows) {
    Rig r;
    MemoryImage before{};
    before.fill(1);
    r.editor.setImage(before);
    r.user.expect(Answer::Ok);
    EXPECT_EQ(r.editor.loadFrom(r.file(row.name, row.bytes)), EepromResult::Invalid) << row.name;
    ASSERT_EQ(r.user.asked().size(), 1u);
    EXPECT_TRUE(r.user.asked()[0].text.contains(QString::fromUtf8(row.says)))
        << row.name << ": " << r.user.asked()[0].text.toStdString();
    EXPECT_EQ(*r.editor.image(), before) << row.name;
    EXPECT_TRUE(r.unit.transcript().isEmpty());
  }
}

TEST(EepromFile, AMissingFileIsTold) {
  Rig r;
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.loadFrom(r.dir.filePath("none.dat")), EepromResult::IoError);
  EXPECT_TRUE(r.user.asked()[0].text.contains("none.dat"));
}

TEST(EepromFile, DialogsCancelledDoNothing) {
  Rig r;
  r.editor.setImage(MemoryImage{});
  r.user.expectFile(QString());
  EXPECT_EQ(r.editor.load(), EepromResult::Cancelled);
  r.user.expectFile(QString());
  EXPECT_EQ(r.editor.save(), EepromResult::Cancelled);
  EXPECT_TRUE(r.user.allAnswered());
}

TEST(EepromFile, SaveThenLoadThenWriteRestoresTheUnit) {
  Rig r;
  r.fillUnit(0, 11);
  const sim::Bank original = r.unit.bank(0);
  ASSERT_EQ(r.editor.readAll(), EepromResult::Ok);
  const QString path = r.dir.filePath("unit.dat");
  ASSERT_EQ(r.editor.saveTo(path), EepromResult::Ok);
  r.fillUnit(0, 200);
  ASSERT_EQ(r.editor.loadFrom(path), EepromResult::Ok);
  r.user.expect(Answer::Ok);
  EXPECT_EQ(r.editor.writeAll(), EepromResult::Ok);
  EXPECT_EQ(r.unit.bank(0), original);
}

} // namespace
} // namespace pv::test
