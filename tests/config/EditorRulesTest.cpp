// The editor's record and texts, its reactions to changes, and the checks
// before a write.
#include "config/EditorModel.h"
#include "config/WriteChecks.h"
#include "link/Codecs.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace pv {
namespace {

struct Editor {
  AppState state;
  RangeTables tables;
  EditorModel model{state, tables};
  explicit Editor(uint8_t variant, int language = 1) {
    state.identity = {12, variant, 3, 0};
    state.languageIndex = static_cast<uint8_t>(language);
    state.languageOffset = static_cast<int16_t>(300 * language);
    model.fillLists();
  }
  const EditorView& view() const { return model.view(); }
  void set(Field f, const char* text) { model.setText(f, QString::fromUtf8(text)); }
  // A configuration that passes every check.
  void sane(const char* input = "Tc K") {
    for (int c = 0; c < 2; ++c) {
      model.setInputType(c, QString::fromUtf8(input));
      model.setOutputType(c, QStringLiteral("4-20 mA"));
      set(Of(Field::InputMaxA, c), "1000");
      set(Of(Field::InputMinA, c), "0");
      set(Of(Field::OffsetA, c), "0");
    }
    set(Field::TripHighA, "800");
    set(Field::TripLowA, "200");
    set(Field::TripDelay, "2");
  }
  std::vector<CheckFinding> findings() {
    return RunWriteChecks(state, tables, model.shown(), model.texts()).findings;
  }
  QStringList questions() {
    QStringList out;
    for (const CheckFinding& q : findings()) out << q.text;
    return out;
  }
};

TEST(EditorModel, TypedTextsGiveTheRecordTheirNumbersAndTheTextReadItsValue) {
  Editor e(2);
  ConfigRecord read = BlankRecord();
  read.ch[0].inputRow = rows::TcK;
  read.ch[0].tripHigh = DecodeFloat24(0xCC, 0xCC, 0x3D);  // 0.1 as the unit holds it: 0.0999985
  read.ch[0].inputMax = 600;
  e.model.load(read);
  EXPECT_EQ(e.model.text(Field::TripHighA), "0.1");
  EXPECT_TRUE(e.view().frmCjc[0]);  // the rows' frames
  EXPECT_EQ(e.model.record().ch[0].tripHigh, read.ch[0].tripHigh);  // written back as read
  EXPECT_EQ(e.model.shown().ch[0].tripHigh, 0.1);                  // judged and saved as shown

  e.set(Field::TripHighA, "0.2");
  EXPECT_EQ(e.model.record().ch[0].tripHigh, 0.2);
  e.set(Field::TripHighA, "0.1");  // typed back: the value read, not 0.1
  EXPECT_EQ(e.model.record().ch[0].tripHigh, read.ch[0].tripHigh);
  e.set(Field::InputMaxA, "12abc");  // the leading-number rule
  EXPECT_EQ(e.model.record().ch[0].inputMax, 12);
  EXPECT_EQ(e.model.text(Field::InputMaxA), "12abc");
  e.set(Field::Filter, "1e30");  // no whole number: no cell takes it
  EXPECT_EQ(e.model.record().filter, -1);

  // Variant 0 keeps a "20 mA" threshold x 1000: its text is judged so.
  Editor zero(0);
  ConfigRecord milliamps = BlankRecord();
  milliamps.ch[0].inputRow = rows::mA20;
  milliamps.ch[0].tripHigh = DecodeFloat24(0xCC, 0xCC, 0x3D) / 1000;  // 0.1 kept
  milliamps.ch[0].offset = -1;
  zero.model.load(milliamps);
  EXPECT_EQ(zero.model.text(Field::TripHighA), "0.0001");
  EXPECT_EQ(zero.model.text(Field::OffsetA), "-1.0");
}

TEST(EditorRules, InputAndOutputChangesWriteCaptionsAndFields) {
  Editor e(2);
  QSignalSpy spy(&e.model, &EditorModel::changed);
  e.model.setInputType(0, QStringLiteral("Tc K"));
  EXPECT_EQ(e.view().lblLimiteIn[0], QString::fromUtf8("-200 \u00f7  1300 \u00b0C"));
  EXPECT_EQ(e.view().lblSpanminIn[0], QString::fromUtf8("Span min.:  100 \u00b0C"));
  EXPECT_EQ(e.view().lblUMisS[0], QString::fromUtf8("\u00b0C"));
  EXPECT_EQ(e.view().lblUMisS[1], QString::fromUtf8("\u00b0C"));
  EXPECT_EQ(e.model.record().ch[0].inputRow, rows::TcK);
  EXPECT_GE(spy.count(), 1);
  // Channel B's input keeps channel A's trip in degrees.
  e.model.setInputType(1, QStringLiteral("90 mV"));
  EXPECT_EQ(e.view().lblUMisS[0], QString::fromUtf8("\u00b0C"));
  EXPECT_EQ(e.view().lblUMisS[2], "mV");

  e.set(Field::OutputMinA, "7");
  e.model.setOutputType(0, QStringLiteral("4-20 mA"));
  EXPECT_EQ(e.model.text(Field::OutputMinA), " 4");
  EXPECT_EQ(e.model.text(Field::OutputMaxA), " 20");
  EXPECT_EQ(e.model.record().ch[0].outputMin, 4);
  EXPECT_EQ(e.view().lblUMisOut[0], "mA");
}

TEST(EditorRules, VisibilityFollowsInputAndVariant) {
  Editor zero(0);
  for (const QString& name : zero.view().cmbProgIn[0].items) {
    zero.model.setInputType(0, name);
    EXPECT_FALSE(zero.view().optFunzVisible[1]) << name.toStdString();
    EXPECT_FALSE(zero.view().optFunzVisible[4]);
  }
  zero.model.setInputType(1, QStringLiteral("Tc J"));
  zero.model.setDoubler(true);
  EXPECT_TRUE(zero.view().frmOptions[1]);
  EXPECT_EQ(zero.view().cmbProgIn[1].text, "DOUBLER");
  zero.model.setDoubler(false);
  EXPECT_FALSE(zero.view().frmOutput[1]);
  EXPECT_EQ(zero.view().cmbProgIn[1].text, "Tc J");  // channel B's own input again

  Editor two(2);
  two.model.setInputType(0, QStringLiteral("Tc J"));
  EXPECT_TRUE(two.view().frmCjc[0]);
  EXPECT_FALSE(two.view().chkHSEnabled);
  EXPECT_TRUE(two.view().optFunzVisible[1]);
  two.model.setInputType(0, QStringLiteral("Tc B"));
  EXPECT_FALSE(two.view().frmCjc[0]);
  two.model.setInputType(0, QStringLiteral("90 mV"));
  EXPECT_TRUE(two.view().chkHSEnabled);
  EXPECT_TRUE(two.view().frmBreak[0]);
  // A row without compensation or high speed takes them away.
  two.model.setChoice(0, &ChannelConfig::cjc, 1);
  two.model.setHighSpeed(true);
  two.model.setInputType(0, QStringLiteral("20 mA"));
  EXPECT_EQ(two.model.record().ch[0].cjc, 0);
  two.model.setInputType(0, QStringLiteral("Pt 100"));
  EXPECT_FALSE(two.model.record().highSpeed);

  Editor three(3);
  three.model.setInputType(1, QStringLiteral("Pt 100"));
  EXPECT_TRUE(three.view().frmFili[1]);
  const EditorView once = three.view();
  three.model.refreshVisibility();
  EXPECT_EQ(three.view().frmFili, once.frmFili);  // idempotent
  EXPECT_EQ(three.view().frmBreak, once.frmBreak);

  Editor five(5);
  five.model.setInputType(0, QStringLiteral("20 mA"));
  EXPECT_TRUE(five.view().cmdMath);
  EXPECT_TRUE(five.view().frmFunz[0]);
  EXPECT_TRUE(five.view().frmFisico);

  Editor seven(7);
  seven.model.setFreqType(QStringLiteral("Volt"));
  EXPECT_TRUE(seven.view().auxVisible);
  EXPECT_EQ(seven.model.text(Field::Trigger), "2.902");  // default 100 as the cell reads
  seven.model.setFreqType(QStringLiteral("NAMUR"));
  EXPECT_FALSE(seven.view().auxVisible);
  EXPECT_EQ(seven.model.record().freqType, 0);
}

TEST(EditorRules, OptionsWindowKeepsEachChannelsOperation) {
  Editor e(2);
  EXPECT_EQ(e.model.openOptions(0), 0);
  e.model.chooseOperation(6);
  EXPECT_TRUE(e.view().frame1);
  e.model.chooseOperation(2);
  EXPECT_FALSE(e.view().frame1);
  e.model.chooseOperation(3);
  EXPECT_EQ(e.view().cmdOperatore[0], "A-B");
  EXPECT_EQ(e.model.record().ch[0].operation, 3);
  EXPECT_EQ(e.model.openOptions(1), 0);  // channel B's own, not "A-B"
  e.model.chooseOperation(7);
  EXPECT_EQ(e.view().cmdOperatore[1], "MIN");
  EXPECT_EQ(e.model.openOptions(0), 3);
}

TEST(EditorRules, CopiaValoriFillsTheScalingPanel) {
  Editor e(5);
  e.model.setInputType(0, QStringLiteral("10 V"));
  e.set(Field::InputMaxA, "8");
  e.model.copiaValori();
  EXPECT_EQ(e.view().panelInputMax[0], "8");
  EXPECT_EQ(e.view().lblUMisIn[4], "V");
  EXPECT_TRUE(e.view().frmModo);
}

TEST(EditorChecks, SpanQuestionInBothLanguages) {
  for (int language : {1, 0}) {
    Editor e(2, language);
    e.sane();
    e.set(Field::InputMaxA, "1300");
    e.set(Field::InputMinA, "1250");
    const std::vector<CheckFinding> q = e.findings();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].check, Check::InputRange);
    EXPECT_EQ(q[0].channel, 0);
    EXPECT_EQ(q[0].textId, 63);
    EXPECT_EQ(q[0].text, language == 1 ? "Channel A: input value (SPAN) exceeds limits"
                                       : "Canale A: Valori di ingresso (SPAN) oltre i limiti");
  }
}

TEST(EditorChecks, OffsetAndDelayBoundaries) {
  Editor e(2);
  e.sane();
  EXPECT_TRUE(e.questions().isEmpty());
  e.set(Field::OffsetA, "12.5");
  EXPECT_TRUE(e.questions().isEmpty());
  e.set(Field::OffsetA, "12.6");
  EXPECT_EQ(e.questions(), QStringList{"Channel A: CJC Offset exceeds limits"});
  e.set(Field::OffsetA, "0");
  e.set(Field::TripDelay, "255");
  EXPECT_TRUE(e.questions().isEmpty());
  e.set(Field::TripDelay, "256");
  EXPECT_EQ(e.questions(), QStringList{"Channel A: Trips (Delay) exceeds limits"});
}

TEST(EditorChecks, OrderAndTripAdditions) {
  Editor e(2);
  e.sane();
  e.set(Field::OutputMaxB, "25");
  e.set(Field::TripHighA, "1400");
  e.set(Field::TripLowA, "-300");
  EXPECT_EQ(e.questions(), (QStringList{"Channel B: output value (MAX) exceeds limits",
                                        "Channel A: Trips (Hi> 1300) (Lo<-200) exceeds limits"}));
  // The row's own limits, and a difference of exactly its span, are allowed.
  e.set(Field::OutputMaxB, "20");
  e.set(Field::TripHighA, "1300");
  e.set(Field::TripLowA, "-200");
  EXPECT_TRUE(e.questions().isEmpty());
  e.set(Field::TripHighA, "-199");
  EXPECT_TRUE(e.questions().isEmpty());
}

TEST(EditorChecks, PairingAndFieldsWithoutANumberAreFatal) {
  Editor e(2);
  e.sane();
  e.model.setChoice(1, &ChannelConfig::cjc, 1);  // B: internal compensation
  e.model.setInputType(0, QStringLiteral("90 mV"));
  auto q = e.findings();
  ASSERT_EQ(q.size(), 1u);
  EXPECT_TRUE(q[0].fatal);
  EXPECT_EQ(q[0].textId, 62);

  Editor f(2);
  f.sane();
  f.set(Field::TripLowA, "");  // would go to the unit as 0
  q = f.findings();
  ASSERT_EQ(q.size(), 1u);
  EXPECT_TRUE(q[0].fatal);
  EXPECT_EQ(q[0].check, Check::NotANumber);
  EXPECT_EQ(q[0].text, "Channel A: Trips Lo: the field is empty or not a number (\"\"): nothing was written.");
  f.set(Field::TripLowA, "200");
  f.set(Field::InputMinB, "abc");
  EXPECT_TRUE(f.questions().value(0).startsWith("Channel B: Input min:"));
  f.model.setDoubler(true);  // channel B's input is channel A's: not asked
  EXPECT_TRUE(f.questions().isEmpty());
}

TEST(EditorChecks, VariantSevenWidensTheFrequencyRow) {
  Editor e(7);
  e.set(Field::InputMaxA, "1000");
  e.set(Field::InputMinA, "0.5");
  for (int c = 0; c < 2; ++c) {
    e.model.setInputType(c, QStringLiteral("Freq"));
    e.set(Of(Field::TripHighA, c), "900");
    e.set(Of(Field::TripLowA, c), "899.5");  // the widened row's span: 100 / 100
    e.model.setOutputType(c, QStringLiteral("0-10 V"));
  }
  e.set(Field::TripDelay, "1");
  for (Field f : {Field::OffsetA, Field::OffsetB, Field::Filter, Field::AuxFrequency}) e.set(f, "0");
  e.model.setFreqType(QStringLiteral("NAMUR"));
  const WriteCheckResult first = RunWriteChecks(e.state, e.tables, e.model.shown(), e.model.texts());
  ASSERT_EQ(first.findings.size(), 2u);
  EXPECT_EQ(first.findings[1].text, "Channel B: Trips (Diff< 1) exceeds limits");
  EXPECT_TRUE(first.widenFrequencyRow);
  EXPECT_TRUE(first.inputOfBFromA);
  EXPECT_EQ(e.tables.input[rows::Freq].minSpan, 1);  // the caller widens it
  WidenFrequencyRow(e.tables);
  EXPECT_EQ(e.tables.input[rows::Freq].minSpan, 100);
  e.set(Field::InputMinA, "950");
  EXPECT_EQ(e.questions().value(0), "Channel A: input value (SPAN) exceeds limits");
}

} // namespace
} // namespace pv
