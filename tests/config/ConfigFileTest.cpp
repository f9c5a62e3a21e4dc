// The ".DST" record: bytes at their offsets, round trip, questions, refusals.
#include "config/ConfigFile.h"
#include "support/ScriptedPrompter.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

namespace pv {
namespace {

double D(const QByteArray& r, int at) {
  const quint64 bits = qFromLittleEndian<quint64>(r.constData() + at);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}
int16_t B(const QByteArray& r, int at) { return qFromLittleEndian<qint16>(r.constData() + at); }
int U8(const QByteArray& r, int at) { return static_cast<uint8_t>(r[at]); }

struct Desk {
  AppState state;
  RangeTables tables;
  EditorModel model{state, tables};
  test::ScriptedPrompter prompter;
  ConfigFile file{model, prompter};
  QTemporaryDir dir;
  Desk() {
    state.identity = {12, 2, 3, 7};
    state.languageIndex = 1;
    state.languageOffset = 300;
    model.fillLists();
    model.setInputType(0, QStringLiteral("Tc K"));
    model.setInputType(1, QStringLiteral("Tc J"));
    model.setOutputType(0, QStringLiteral("4-20 mA"));
    model.setOutputType(1, QStringLiteral("0-10 V"));
    model.f.txtInputMax[0] = QStringLiteral("12abc");  // leading-number rule
    model.f.txtInputMin[0] = QString();
    model.f.txtInputMax[1] = QStringLiteral("800");
    model.f.txtInputMin[1] = QStringLiteral("-100.5");
    model.f.txtOutputMax[1] = QStringLiteral("9.5");
    model.f.optCJC = {1, 0};
    model.f.optFili = {0, 2};
    model.f.optFunz = {2, 0};
    model.f.optBreak = {1, 0};
    model.f.txtOffset = {QStringLiteral("-1.5"), QStringLiteral("2")};
    model.f.cmbOverRange[0].text = QString::fromUtf8("\u00b15.0%");
    model.f.cmbOverRange[1].text = QString::fromUtf8("\u00b110%");
    model.f.txtSogliaH[0] = QStringLiteral("700");
    model.f.txtSogliaL[0] = QStringLiteral("100");
    model.f.optTrip[0] = 1;
    model.f.txtFisicoMax[2] = QStringLiteral("55");
    model.f.txtFisicoOutMin[1] = QStringLiteral("-3");
    state.channels[0].operatorOption = 6;
    state.channels[1].operatorOption = 2;
    state.channels[0].optionValue = 9;
    model.f.chkDoubler = true;
  }
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

TEST(ConfigFile, RecordBytesAtTheirOffsets) {
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  const QByteArray r = ReadAll(d.path("a.DST"));
  ASSERT_EQ(r.size(), 292);
  EXPECT_EQ(D(r, 0), 2.6);
  EXPECT_EQ(U8(r, 8), 7);
  EXPECT_EQ(U8(r, 9), 12);
  EXPECT_EQ(U8(r, 10), 2);
  EXPECT_EQ(U8(r, 11), 3);
  EXPECT_EQ(U8(r, 12), rows::TcK);
  EXPECT_EQ(U8(r, 13), rows::TcK);  // with the doubler, channel B's input is channel A's
  EXPECT_EQ(D(r, 14), 12);
  EXPECT_EQ(D(r, 22), 800);
  EXPECT_EQ(D(r, 30), 0);
  EXPECT_EQ(D(r, 38), -100.5);
  EXPECT_EQ(U8(r, 46), 1);
  EXPECT_EQ(U8(r, 47), 2);
  EXPECT_EQ(D(r, 48), 20);
  EXPECT_EQ(D(r, 56), 9.5);
  EXPECT_EQ(D(r, 64), 4);
  // Option groups: only the chosen button is -1.
  EXPECT_EQ(B(r, 80), 0);
  EXPECT_EQ(B(r, 84), -1);
  EXPECT_EQ(B(r, 82), -1);
  EXPECT_EQ(B(r, 86), 0);
  EXPECT_EQ(D(r, 88), -1.5);
  EXPECT_EQ(B(r, 104), -1);
  EXPECT_EQ(B(r, 114), -1);
  EXPECT_EQ(B(r, 106), 0);
  EXPECT_EQ(B(r, 124), -1);
  EXPECT_EQ(B(r, 118), -1);
  EXPECT_EQ(B(r, 132), -1);
  EXPECT_EQ(B(r, 130), -1);
  EXPECT_EQ(D(r, 136), 5);
  EXPECT_EQ(D(r, 144), 10);
  EXPECT_EQ(D(r, 152), 700);
  EXPECT_EQ(D(r, 160), 0);
  EXPECT_EQ(D(r, 168), 100);
  EXPECT_EQ(B(r, 184), 0);
  EXPECT_EQ(B(r, 188), -1);
  EXPECT_EQ(B(r, 190), 0);
  EXPECT_EQ(D(r, 208), 55);
  EXPECT_EQ(D(r, 264), -3);
  EXPECT_EQ(U8(r, 272), 6);
  EXPECT_EQ(U8(r, 273), 2);
  EXPECT_EQ(D(r, 274), 9);
  EXPECT_EQ(U8(r, 290), 0);
  EXPECT_EQ(U8(r, 291), 1);
  EXPECT_TRUE(d.prompter.asked().empty());
}

TEST(ConfigFile, SaveThenOpenGivesTheSameEditor) {
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  const QByteArray first = ReadAll(d.path("a.DST"));

  Desk other;
  other.model.setOutputType(0, QStringLiteral("0-20 mA"));
  ASSERT_EQ(other.file.openFrom(d.path("a.DST")), FileResult::Done);
  EXPECT_EQ(other.model.f.cmbProgIn[0].text, "Tc K");
  EXPECT_EQ(other.model.f.txtInputMax[0], " 12");
  EXPECT_EQ(other.model.f.cmbProgOut[0].text, "4-20 mA");
  EXPECT_EQ(other.model.f.txtOutputMax[1], " 9.5");  // the file's, not the row's 10
  EXPECT_EQ(other.model.f.optFili[1], 2);
  EXPECT_EQ(other.model.f.txtOffset[0], "-1.5");
  EXPECT_EQ(other.model.f.cmdOperatore[0], "MAX");
  ASSERT_EQ(other.file.saveTo(d.path("b.DST")), FileResult::Done);
  EXPECT_EQ(ReadAll(d.path("b.DST")), first);
  EXPECT_EQ(other.file.windowTitle(), "PLANOVIX v.2.6 - " + d.path("b.DST"));

  // Save without a name reuses the last one: no dialog.
  other.model.f.txtInputMax[0] = QStringLiteral("99");
  ASSERT_EQ(other.file.save(false), FileResult::Done);
  EXPECT_EQ(D(ReadAll(d.path("b.DST")), 14), 99);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST(ConfigFile, SeparatorRowsComeBackAsTheSameRow) {
  // Input codes 15, 30 and 31 are separator rows: three rows, one empty name.
  for (const auto& [a, b] : {std::pair{15, 31}, std::pair{30, 15}}) {
    Desk d;
    d.model.f.chkDoubler = false;
    ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
    QByteArray r = ReadAll(d.path("a.DST"));
    r[12] = static_cast<char>(a);
    r[13] = static_cast<char>(b);
    WriteFile(d.path("rows.DST"), r);

    Desk other;
    other.model.f.chkDoubler = false;
    ASSERT_EQ(other.file.openFrom(d.path("rows.DST")), FileResult::Done);
    EXPECT_EQ(other.model.inputRow(0), a);
    EXPECT_EQ(other.model.inputRow(1), b);
    ASSERT_EQ(other.file.saveTo(d.path("b.DST")), FileResult::Done);
    const QByteArray saved = ReadAll(d.path("b.DST"));
    EXPECT_EQ(U8(saved, 12), a);
    EXPECT_EQ(U8(saved, 13), b);
    // Picking a list entry by name afterwards selects by name again.
    other.model.setInputType(0, QStringLiteral("Tc J"));
    EXPECT_EQ(other.model.f.cmbProgIn[0].text, "Tc J");
    EXPECT_NE(other.model.inputRow(0), a);
  }
}

TEST(ConfigFile, CompensationComesBackOnBothChannels) {
  // A 20 mA input on both channels, internal compensation on both: the type
  // rule clears it, and the file's choice must then win on A as on B.
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  QByteArray r = ReadAll(d.path("a.DST"));
  r[12] = 5, r[13] = 5;                                           // "20 mA" rows
  r.replace(80, 8, QByteArray::fromHex("00000000ffffffff"));  // CJC buttons: internal, internal
  WriteFile(d.path("cjc.DST"), r);

  Desk other;
  ASSERT_EQ(other.file.openFrom(d.path("cjc.DST")), FileResult::Done);
  EXPECT_EQ(other.model.f.optCJC, (std::array<int, 2>{1, 1}));
  ASSERT_EQ(other.file.saveTo(d.path("b.DST")), FileResult::Done);
  EXPECT_EQ(ReadAll(d.path("b.DST")).mid(80, 8).toHex(), "00000000ffffffff");
}

TEST(ConfigFile, EveryNumberSurvivesOpenAndSave) {
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  QByteArray r = ReadAll(d.path("a.DST"));
  // Little-endian doubles, written out by hand.
  const std::pair<int, const char*> values[] = {
      {14, "9436b9b61b834a3e"},   // input upper 1.2345678e-8: 15 decimals would cut it
      {30, "9a9999999999b9bf"},   // input lower -0.1
      {48, "0400000000000000"},   // output upper 4 x 2^-1074, a subnormal
      {152, "7127c0db071dea3d"},  // trip high 1.9e-10
      {168, "3433333333333d3f"},  // trip low 4.4555664062500004e-4: 17 digits needed
      {208, "0000000000002244"},  // physical scale 1.6602069666338596e20 (exponent form)
  };
  for (const auto& [at, hex] : values) r.replace(at, 8, QByteArray::fromHex(hex));
  WriteFile(d.path("tiny.DST"), r);

  Desk other;
  ASSERT_EQ(other.file.openFrom(d.path("tiny.DST")), FileResult::Done);
  EXPECT_EQ(other.model.f.txtInputMax[0], " 0.000000012345678");
  EXPECT_EQ(other.model.f.txtInputMin[0], "-0.1");
  ASSERT_EQ(other.file.saveTo(d.path("b.DST")), FileResult::Done);
  const QByteArray saved = ReadAll(d.path("b.DST"));
  for (const auto& [at, hex] : values)
    EXPECT_EQ(saved.mid(at, 8).toHex(), QByteArray(hex)) << "byte " << at;
}

TEST(ConfigFile, VersionAndDeviceQuestions) {
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  QByteArray r = ReadAll(d.path("a.DST"));
  const double old = 2.5;
  std::memcpy(r.data(), &old, 8);
  QFile f(d.path("old.DST"));
  f.open(QIODevice::WriteOnly);
  f.write(r);
  f.close();

  Desk other;
  other.state.identity.variant = 3;  // another unit connected
  other.model.setInputType(0, QStringLiteral("Pt 100"));
  other.prompter.expect(Answer::Ok);
  other.prompter.expect(Answer::Cancel);
  EXPECT_EQ(other.file.openFrom(d.path("old.DST")), FileResult::Cancelled);
  ASSERT_EQ(other.prompter.asked().size(), 2u);
  EXPECT_EQ(other.prompter.asked()[0].text,
            "Attention: the file has been saved with a different version of the software");
  EXPECT_EQ(other.prompter.asked()[1].text, "File not compatible with the device connected");
  EXPECT_EQ(other.model.f.cmbProgIn[0].text, "Pt 100");  // untouched

  other.prompter.expect(Answer::Ok);
  EXPECT_EQ(other.file.openFrom(d.path("a.DST")), FileResult::Done);
  EXPECT_EQ(other.model.f.cmbProgIn[0].text, "Tc K");  // loaded, though not in this unit's list
}

TEST(ConfigFile, ShortAndRandomFilesAreRefusedAndChangeNothing) {
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("good.DST")), FileResult::Done);
  const QByteArray good = ReadAll(d.path("good.DST"));

  QByteArray random(292, '\0');
  auto* gen = QRandomGenerator::global();
  for (auto& ch : random) ch = static_cast<char>(gen->bounded(256));
  QByteArray nan = good;
  const double bad = std::numeric_limits<double>::quiet_NaN();
  std::memcpy(nan.data() + 48, &bad, 8);
  const std::pair<const char*, QByteArray> cases[] = {
      {"short.DST", good.left(291)}, {"empty.DST", QByteArray()}, {"random.DST", random}, {"nan.DST", nan}};
  for (const auto& [name, bytes] : cases) {
    QFile f(d.path(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();
    Desk other;
    other.model.setInputType(0, QStringLiteral("Tc T"));
    const EditorFields before = other.model.f;
    other.prompter.expect(Answer::Ok);  // the refusal message
    EXPECT_EQ(other.file.openFrom(d.path(name)), FileResult::BadFile) << name;
    EXPECT_EQ(other.model.f.cmbProgIn[0].text, before.cmbProgIn[0].text);
    EXPECT_EQ(other.model.f.txtInputMax, before.txtInputMax);
    EXPECT_EQ(other.prompter.asked().back().icon, Icon::Critical);
    EXPECT_EQ(ReadAll(d.path(name)), bytes);
  }
}

TEST(ConfigFile, FailedSaveKeepsTheOldFile) {
  Desk d;
  ASSERT_EQ(d.file.saveTo(d.path("a.DST")), FileResult::Done);
  const QByteArray before = ReadAll(d.path("a.DST"));
  d.prompter.expect(Answer::Ok);
  EXPECT_EQ(d.file.saveTo(d.path("missing/dir/x.DST")), FileResult::IoError);
  EXPECT_EQ(ReadAll(d.path("a.DST")), before);
}

} // namespace
} // namespace pv
