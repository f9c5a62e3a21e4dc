// The ".DST" record: bytes <-> record against a record written out by hand
// from the file's layout, then Open and Save through the editor: texts,
// questions, refusals, a failed save.
#include "config/ConfigFile.h"
#include "config/EditorModel.h"
#include "support/ScriptedPrompter.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace pv {
namespace {

// Every byte of one record, by offset; the rest are zero.
const std::pair<int, const char*> kGolden[] = {
    {0, "cdcccccccccc0440"},                          // version 2.6
    {8, "070c0103"},                                  // spare 7, code 12, variant 1, revision 3
    {12, "0807"},                                     // input rows: Tc K, Tc J
    {14, "0000000000c08240"}, {22, "0000000000008940"},  // input upper 600, 800
    {30, "00000000004049c0"}, {38, "00000000002059c0"},  // input lower -50.5, -100.5
    {46, "0102"},                                     // output rows: 4-20 mA, 0-10 V
    {48, "0000000000003440"}, {56, "0000000000002340"},  // output upper 20, 9.5
    {64, "0000000000001040"},                         // output lower 4, 0
    {80, "0000ffffffff0000"},                         // CJC: A internal, B external
    {88, "000000000000f8bf"}, {96, "0000000000000040"},  // offset -1.5, 2
    {104, "ffff0000000000000000ffff"},                // wires: A 2, B 3
    {116, "0000ffff00000000ffff0000"},                // function: A square root, B linear
    {128, "0000ffffffff0000"},                        // burn-out: A down, B up
    {136, "0000000000001440"}, {144, "0000000000002440"},  // over-range 5 %, 10 %
    {152, "0000000000e08540"}, {168, "0000000000005940"},  // trip A 700 / 100; B's are zero
    {184, "00000000ffff0000"},                        // trip direction: A minimum
    {192, "000000000000f43f"},                        // reserved A 1.25, as held
    {208, "0000000000804b40"}, {264, "00000000000008c0"},  // physical max A 55, out min B -3
    {272, "0602"},                                    // operations MAX, A+B
    {274, "0000000000002240"},                        // option value A 9
    {290, "0100"},                                    // high speed, no doubler
};

QByteArray Golden() {
  QByteArray r(kRecordSize, '\0');
  for (const auto& [at, hex] : kGolden) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    r.replace(at, bytes.size(), bytes);
  }
  return r;
}

// The same record as the program holds it.
ConfigRecord Record() {
  ConfigRecord r;
  r.ch[0] = {rows::TcK, 1, 600, -50.5, 1, 20, 4, 2, 6, 1, 0, 1, 0, 1, 700, 100, -1.5, 2};
  r.ch[1] = {rows::TcJ, 1, 800, -100.5, 2, 9.5, 0, 0, 2, 0, 2, 0, 1, 0, 55, 5, 2, 3};
  r.highSpeed = true;
  r.physical = {55, 0, 0, 0, 0, 0, 0, -3};
  return r;
}

const DstHeader kHeader{2.6, {12, 1, 3, 7}, {9, 0}};

const RangeTables& Tables() {
  static const RangeTables t;
  return t;
}

TEST(DstBytes, TheRecordIsWrittenAsTheHandWrittenBytes) {
  QByteArray held(kRecordSize, '\0');
  held.replace(192, 8, QByteArray::fromHex("000000000000f43f"));
  const QByteArray bytes = EncodeDst(Record(), kHeader, Tables(), held);
  const QByteArray golden = Golden();
  for (int at = 0; at < kRecordSize; ++at) EXPECT_EQ(bytes[at], golden[at]) << "byte " << at;

  // With the doubler channel B's input is channel A's.
  ConfigRecord doubled = Record();
  doubled.doubler = true;
  const QByteArray d = EncodeDst(doubled, kHeader, Tables(), held);
  EXPECT_EQ(d.mid(12, 2).toHex(), "0808");
  EXPECT_EQ(d.mid(290, 2).toHex(), "0101");
}

TEST(DstBytes, TheHandWrittenBytesAreReadOverTheEditorsRecord) {
  ConfigRecord base = BlankRecord();
  base.ch[0].relay = 1;
  base.ch[1].tripHigh = 3;
  base.tripDelay = 7;
  base.ch[1].cjc = 1;  // the file's first button wins over it
  const ConfigRecord r = DecodeDst(Golden(), base, Tables(), CellLayoutFor(kHeader.identity));
  // Written again it gives the same bytes: every field the file holds was
  // read (the writer is pinned to the bytes above).
  EXPECT_EQ(EncodeDst(r, kHeader, Tables(), Golden()).toHex(), Golden().toHex());
  EXPECT_EQ(r.ch[1].inputRow, rows::TcJ);
  EXPECT_EQ(r.ch[0].inputMin, -50.5);
  // What the file does not hold stays as the editor had it.
  EXPECT_EQ(r.ch[0].relay, 1);
  EXPECT_EQ(r.ch[1].tripHigh, 3);
  EXPECT_EQ(r.tripDelay, 7);

  const DstHeader h = DecodeDstHeader(Golden());
  EXPECT_EQ(h.version, 2.6);
  EXPECT_EQ(h.identity, kHeader.identity);
  EXPECT_EQ(h.optionValue, kHeader.optionValue);
}

TEST(DstBytes, AValueNoRowOrButtonHasKeepsTheEditorsChoice) {
  const ConfigRecord base = Record();
  struct Case {
    const char* what;
    std::function<void(QByteArray&)> edit;
    std::function<int(const ConfigRecord&)> field;
    CellLayout layout = CellLayoutFor({12, 1, 3, 0});
  };
  const Case cases[] = {
      {"input row 52", [](QByteArray& b) { b[12] = 52; }, [](const ConfigRecord& r) { return r.ch[0].inputRow; }},
      {"output row 4", [](QByteArray& b) { b[47] = 4; }, [](const ConfigRecord& r) { return r.ch[1].outputRow; }},
      {"over-range 7.5 %", [](QByteArray& b) { b.replace(136, 8, QByteArray::fromHex("0000000000001e40")); },
       [](const ConfigRecord& r) { return r.ch[0].overRange; }},
      {"no CJC button", [](QByteArray& b) { b.replace(80, 8, QByteArray(8, '\0')); },
       [](const ConfigRecord& r) { return r.ch[0].cjc; }},
      {"a family's doubler bit", [](QByteArray& b) { b[291] = 1; }, [](const ConfigRecord& r) { return int(r.doubler); },
       CellLayoutFor({12, 3, 3, 0})},
      {"a family's trip direction", [](QByteArray& b) { b.replace(184, 8, QByteArray::fromHex("ffff000000000000")); },
       [](const ConfigRecord& r) { return r.ch[0].tripDirection; }, CellLayoutFor({12, 3, 3, 0})},
  };
  for (const Case& c : cases) {
    QByteArray bytes = Golden();
    c.edit(bytes);
    EXPECT_EQ(c.field(DecodeDst(bytes, base, Tables(), c.layout)), c.field(base)) << c.what;
  }
  // The values no row has are named before Open goes on.
  AppState english;
  english.languageOffset = 300;
  QByteArray unknown = Golden();
  unknown[12] = 52;
  unknown[47] = 4;
  unknown.replace(136, 8, QByteArray::fromHex("0000000000001e40"));
  EXPECT_EQ(UnknownRecordValues(english, Tables(), unknown),
            QStringList({"Input 52 (Channel A)", "Over range 7.5 % (Channel A)", "Output 4 (Channel B)"}));
  EXPECT_TRUE(UnknownRecordValues(english, Tables(), Golden()).isEmpty());
}

// Open and Save through the editor.
struct Desk {
  AppState state;
  RangeTables tables;
  EditorModel model{state, tables};
  test::ScriptedPrompter prompter;
  ConfigFile file{model, prompter};
  QTemporaryDir dir;
  Desk() {
    state.identity = {12, 1, 3, 7};
    state.languageIndex = 1;
    state.languageOffset = 300;
    model.fillLists();
    model.setInputType(0, QStringLiteral("Tc K"));
    model.setOutputType(0, QStringLiteral("4-20 mA"));
  }
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  void write(const char* name, const QByteArray& bytes) const {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
  }
  QByteArray read(const char* name) const {
    QFile f(path(name));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
  }
};

TEST(ConfigFile, SavedFieldsFollowTheLeadingNumberRule) {
  Desk d;
  d.model.setText(Field::InputMaxA, QStringLiteral("12abc"));
  d.model.setText(Field::InputMinA, QString());
  d.model.setText(Field::TripHighA, QStringLiteral(" -3.5e2x"));
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  const QByteArray r = d.read("a.DST");
  EXPECT_EQ(r.mid(14, 8).toHex(), "0000000000002840");  // 12
  EXPECT_EQ(r.mid(30, 8).toHex(), "0000000000000000");  // empty: 0
  EXPECT_EQ(r.mid(152, 8).toHex(), "0000000000e075c0");  // -350
  EXPECT_TRUE(d.prompter.asked().empty());
}

TEST(ConfigFile, OpenShowsTheFilesNumbersAndSavesTheSameBytes) {
  Desk d;
  QByteArray golden = Golden();
  golden.replace(30, 8, QByteArray::fromHex("9436b9b61b834a3e"));  // 1.2345678e-8: 15 decimals would cut it
  golden.replace(168, 8, QByteArray::fromHex("3433333333333d3f"));  // 4.4555664062500004e-4: 17 digits
  golden.replace(216, 8, QByteArray::fromHex("0000000000002244"));  // 1.6602069666338596e20
  golden.replace(192, 8, QByteArray(8, '\0'));
  d.write("g.DST", golden);
  ASSERT_EQ(d.file.openFrom(d.path("g.DST")), FileResult::Done);
  EXPECT_EQ(d.model.view().cmbProgIn[1].text, "Tc J");
  EXPECT_EQ(d.model.text(Field::InputMaxA), " 600");
  EXPECT_EQ(d.model.text(Field::InputMinA), " 0.000000012345678");
  EXPECT_EQ(d.model.text(Field::OutputMaxB), " 9.5");  // the file's, not the row's 10
  EXPECT_EQ(d.model.text(Field::OffsetA), "-1.5");
  EXPECT_EQ(d.model.view().cmdOperatore[0], "MAX");
  EXPECT_EQ(d.state.channels[0].optionValue, 9);
  ASSERT_EQ(d.file.saveTo(d.path("b.DST")), FileResult::Done);
  EXPECT_EQ(d.read("b.DST").toHex(), golden.toHex());
  EXPECT_EQ(d.file.windowTitle(), "PLANOVIX v.2.6 - " + d.path("b.DST"));

  // Save without a name reuses the last one: no dialog.
  d.model.setText(Field::InputMaxA, QStringLiteral("99"));
  ASSERT_EQ(d.file.save(false), FileResult::Done);
  EXPECT_EQ(d.read("b.DST").mid(14, 8).toHex(), "0000000000c05840");
}

TEST(ConfigFile, FileRowsWinOverTheInputRules) {
  // Separator rows (three rows, one empty name) come back as the same rows;
  // a 20 mA input with internal compensation keeps it on both channels,
  // though the type's rule clears it.
  Desk d;
  QByteArray r = Golden();
  r[12] = 15, r[13] = 31;
  d.write("rows.DST", r);
  r[12] = 5, r[13] = 5;
  r.replace(80, 8, QByteArray::fromHex("00000000ffffffff"));
  d.write("cjc.DST", r);
  ASSERT_EQ(d.file.openFrom(d.path("rows.DST")), FileResult::Done);
  EXPECT_EQ(d.model.record().ch[0].inputRow, 15);
  EXPECT_EQ(d.model.record().ch[1].inputRow, 31);
  ASSERT_EQ(d.file.saveTo(d.path("b.DST")), FileResult::Done);
  EXPECT_EQ(d.read("b.DST").mid(12, 2).toHex(), "0f1f");
  ASSERT_EQ(d.file.openFrom(d.path("cjc.DST")), FileResult::Done);
  EXPECT_EQ(d.model.record().ch[0].cjc, 1);
  EXPECT_EQ(d.model.record().ch[1].cjc, 1);
}

TEST(ConfigFile, VersionAndDeviceQuestions) {
  Desk d;
  QByteArray r = Golden();
  r.replace(0, 8, QByteArray::fromHex("0000000000000440"));  // version 2.5
  d.write("old.DST", r);
  d.state.identity.variant = 3;  // another unit connected
  d.prompter.expect(Answer::Ok);
  d.prompter.expect(Answer::Cancel);
  EXPECT_EQ(d.file.openFrom(d.path("old.DST")), FileResult::Cancelled);
  ASSERT_EQ(d.prompter.asked().size(), 2u);
  EXPECT_EQ(d.prompter.asked()[0].text, "Attention: the file has been saved with a different version of the software");
  EXPECT_EQ(d.prompter.asked()[1].text, "File not compatible with the device connected");
  EXPECT_EQ(d.model.record().ch[0].outputRow, 1);  // untouched
  EXPECT_TRUE(d.file.fileName().isEmpty());

  d.write("new.DST", Golden());
  d.prompter.expect(Answer::Ok);
  EXPECT_EQ(d.file.openFrom(d.path("new.DST")), FileResult::Done);
  EXPECT_EQ(d.model.view().cmbProgIn[1].text, "Tc J");  // loaded, though not in this unit's list
}

TEST(ConfigFile, ShortAndRandomFilesAreRefusedAndChangeNothing) {
  QByteArray random(kRecordSize, '\0');
  for (auto& ch : random) ch = static_cast<char>(QRandomGenerator::global()->bounded(256));
  QByteArray nan = Golden();
  nan.replace(48, 8, QByteArray::fromHex("000000000000f87f"));
  const std::pair<const char*, QByteArray> cases[] = {
      {"short.DST", Golden().left(291)}, {"empty.DST", QByteArray()}, {"random.DST", random}, {"nan.DST", nan}};
  for (const auto& [name, bytes] : cases) {
    Desk d;
    d.write(name, bytes);
    d.model.setText(Field::InputMaxA, QStringLiteral("7"));
    const FieldTexts before = d.model.texts();
    d.prompter.expect(Answer::Ok);  // the refusal message
    EXPECT_EQ(d.file.openFrom(d.path(name)), FileResult::BadFile) << name;
    EXPECT_EQ(d.model.texts(), before);
    EXPECT_EQ(d.model.record().ch[0].inputRow, rows::TcK);
    EXPECT_EQ(d.prompter.asked().back().icon, Icon::Critical);
    EXPECT_EQ(d.read(name), bytes);
  }
}

TEST(ConfigFile, FailedSaveKeepsTheOldFile) {
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  const QByteArray before = d.read("a.DST");
  d.prompter.expect(Answer::Ok);
  EXPECT_EQ(d.file.saveTo(d.path("missing/dir/x.DST")), FileResult::IoError);
  EXPECT_EQ(d.read("a.DST"), before);
}

} // namespace
} // namespace pv
