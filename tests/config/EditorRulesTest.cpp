// The editor's reactions to changes, and the checks before a write.
#include "config/ConfigCodec.h"

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
  // A configuration that passes every check.
  void sane(const char* input = "Tc K") {
    for (int c = 0; c < 2; ++c) {
      model.setInputType(c, QString::fromUtf8(input));
      model.setOutputType(c, QStringLiteral("4-20 mA"));
      model.f.txtInputMax[c] = QStringLiteral("1000");
      model.f.txtInputMin[c] = QStringLiteral("0");
      model.f.txtOffset[c] = QStringLiteral("0");
    }
    model.f.txtSogliaH[0] = QStringLiteral("800");
    model.f.txtSogliaL[0] = QStringLiteral("200");
    model.f.txtSogliaDelay = QStringLiteral("2");
  }
  QStringList questions() {
    QStringList out;
    for (const CheckMessage& q : RunChecks(model)) out << q.text;
    return out;
  }
};

TEST(EditorRules, InputAndOutputChangesWriteCaptionsAndFields) {
  Editor e(2);
  QSignalSpy spy(&e.model, &EditorModel::changed);
  e.model.setInputType(0, QStringLiteral("Tc K"));
  EXPECT_EQ(e.model.f.lblLimiteIn[0], QString::fromUtf8("-200 \u00f7  1300 \u00b0C"));
  EXPECT_EQ(e.model.f.lblSpanminIn[0], QString::fromUtf8("Span min.:  100 \u00b0C"));
  EXPECT_EQ(e.model.f.lblUMisS[0], QString::fromUtf8("\u00b0C"));
  EXPECT_EQ(e.model.f.lblUMisS[1], QString::fromUtf8("\u00b0C"));
  EXPECT_GE(spy.count(), 1);
  // Channel B's input keeps channel A's trip in degrees.
  e.model.setInputType(1, QStringLiteral("90 mV"));
  EXPECT_EQ(e.model.f.lblUMisS[0], QString::fromUtf8("\u00b0C"));
  EXPECT_EQ(e.model.f.lblUMisS[2], "mV");

  e.model.f.txtOutputMin[0] = QStringLiteral("7");
  e.model.setOutputType(0, QStringLiteral("4-20 mA"));
  EXPECT_EQ(e.model.f.txtOutputMin[0], " 4");
  EXPECT_EQ(e.model.f.txtOutputMax[0], " 20");
  EXPECT_EQ(e.model.f.lblUMisOut[0], "mA");
}

TEST(EditorRules, VisibilityFollowsInputAndVariant) {
  Editor zero(0);
  for (const QString& name : zero.model.f.cmbProgIn[0].items) {
    zero.model.setInputType(0, name);
    EXPECT_FALSE(zero.model.f.optFunzVisible[1]) << name.toStdString();
    EXPECT_FALSE(zero.model.f.optFunzVisible[4]);
  }
  zero.model.f.chkDoubler = true;
  zero.model.doublerClicked();
  EXPECT_TRUE(zero.model.f.frmOptions[1]);
  zero.model.f.chkDoubler = false;
  zero.model.doublerClicked();
  EXPECT_FALSE(zero.model.f.frmOutput[1]);

  Editor two(2);
  two.model.setInputType(0, QStringLiteral("Tc J"));
  EXPECT_TRUE(two.model.f.frmCjc[0]);
  EXPECT_FALSE(two.model.f.chkHSEnabled);
  EXPECT_TRUE(two.model.f.optFunzVisible[1]);
  two.model.setInputType(0, QStringLiteral("Tc B"));
  EXPECT_FALSE(two.model.f.frmCjc[0]);
  two.model.setInputType(0, QStringLiteral("90 mV"));
  EXPECT_TRUE(two.model.f.chkHSEnabled);
  EXPECT_TRUE(two.model.f.frmBreak[0]);

  Editor three(3);
  three.model.setInputType(1, QStringLiteral("Pt 100"));
  EXPECT_TRUE(three.model.f.frmFili[1]);
  const EditorFields once = three.model.f;
  three.model.refreshVisibility();
  EXPECT_EQ(three.model.f.frmFili, once.frmFili);  // idempotent
  EXPECT_EQ(three.model.f.frmBreak, once.frmBreak);

  Editor five(5);
  five.model.setInputType(0, QStringLiteral("20 mA"));
  EXPECT_TRUE(five.model.f.cmdMath);
  EXPECT_TRUE(five.model.f.frmFunz[0]);
  EXPECT_TRUE(five.model.f.frmFisico);

  Editor seven(7);
  seven.model.setFreqType(QStringLiteral("Volt"));
  EXPECT_TRUE(seven.model.f.auxVisible);
  seven.model.setFreqType(QStringLiteral("NAMUR"));
  EXPECT_FALSE(seven.model.f.auxVisible);
}

TEST(EditorRules, OptionsWindowKeepsEachChannelsOperation) {
  Editor e(2);
  EXPECT_EQ(e.model.openOptions(0), 0);
  e.model.chooseOperation(6);
  EXPECT_TRUE(e.model.f.frame1);
  e.model.chooseOperation(2);
  EXPECT_FALSE(e.model.f.frame1);
  e.model.chooseOperation(3);
  EXPECT_EQ(e.model.f.cmdOperatore[0], "A-B");
  EXPECT_EQ(e.model.openOptions(1), 0);  // channel B's own, not "A-B"
  e.model.chooseOperation(7);
  EXPECT_EQ(e.model.f.cmdOperatore[1], "MIN");
  EXPECT_EQ(e.model.openOptions(0), 3);
}

TEST(EditorRules, CopiaValoriFillsTheScalingPanel) {
  Editor e(5);
  e.model.setInputType(0, QStringLiteral("10 V"));
  e.model.f.txtInputMax[0] = QStringLiteral("8");
  e.model.copiaValori();
  EXPECT_EQ(e.model.f.txtInputMax[2], "8");
  EXPECT_EQ(e.model.f.lblUMisIn[4], "V");
  EXPECT_TRUE(e.model.f.frmModo);
}

TEST(EditorChecks, SpanQuestionInBothLanguages) {
  for (int language : {1, 0}) {
    Editor e(2, language);
    e.sane();
    e.model.f.txtInputMax[0] = QStringLiteral("1300");
    e.model.f.txtInputMin[0] = QStringLiteral("1250");
    const QStringList q = e.questions();
    ASSERT_EQ(q.size(), 1);
    EXPECT_EQ(q[0], language == 1 ? "Channel A: input value (SPAN) exceeds limits"
                                  : "Canale A: Valori di ingresso (SPAN) oltre i limiti");
  }
}

TEST(EditorChecks, OffsetAndDelayBoundaries) {
  Editor e(2);
  e.sane();
  EXPECT_TRUE(e.questions().isEmpty());
  e.model.f.txtOffset[0] = QStringLiteral("12.5");
  EXPECT_TRUE(e.questions().isEmpty());
  e.model.f.txtOffset[0] = QStringLiteral("12.6");
  EXPECT_EQ(e.questions(), QStringList{"Channel A: CJC Offset exceeds limits"});
  e.model.f.txtOffset[0] = QStringLiteral("0");
  e.model.f.txtSogliaDelay = QStringLiteral("255");
  EXPECT_TRUE(e.questions().isEmpty());
  e.model.f.txtSogliaDelay = QStringLiteral("256");
  EXPECT_EQ(e.questions(), QStringList{"Channel A: Trips (Delay) exceeds limits"});
}

TEST(EditorChecks, OrderAndTripAdditions) {
  Editor e(2);
  e.sane();
  e.model.f.txtOutputMax[1] = QStringLiteral("25");
  e.model.f.txtSogliaH[0] = QStringLiteral("1400");
  e.model.f.txtSogliaL[0] = QStringLiteral("-300");
  EXPECT_EQ(e.questions(), (QStringList{"Channel B: output value (MAX) exceeds limits",
                                        "Channel A: Trips (Hi> 1300) (Lo<-200) exceeds limits"}));
}

TEST(EditorChecks, ThermocouplePairingIsFatal) {
  Editor e(2);
  e.sane();
  e.model.f.optCJC[1] = 1;  // B: internal compensation
  e.model.setInputType(0, QStringLiteral("90 mV"));
  const auto q = RunChecks(e.model);
  ASSERT_EQ(q.size(), 1u);
  EXPECT_TRUE(q[0].fatal);
  EXPECT_EQ(q[0].textId, 62);
}

TEST(EditorChecks, VariantSevenWidensTheFrequencyRow) {
  Editor e(7);
  e.model.setInputType(0, QStringLiteral("Freq"));
  e.model.setInputType(1, QStringLiteral("Freq"));
  e.model.f.txtInputMax[0] = QStringLiteral("1000");
  e.model.f.txtInputMin[0] = QStringLiteral("0.5");
  e.model.f.txtSogliaH[0] = e.model.f.txtSogliaH[1] = QStringLiteral("900");
  e.model.f.txtSogliaL[0] = e.model.f.txtSogliaL[1] = QStringLiteral("100");
  e.model.f.txtSogliaDelay = QStringLiteral("1");
  e.model.setOutputType(0, QStringLiteral("0-10 V"));
  e.model.setOutputType(1, QStringLiteral("0-10 V"));
  e.questions();
  EXPECT_EQ(e.tables.input[rows::Freq].minSpan, 100);
  e.model.f.txtInputMin[0] = QStringLiteral("950");
  EXPECT_EQ(e.questions().value(0), "Channel A: input value (SPAN) exceeds limits");
}

} // namespace
} // namespace pv
