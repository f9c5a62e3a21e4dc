// The switch wizard's rules, driven as the window drives them, against a
// unit that answers like a simulated one.
#include "kernel/AppState.h"
#include "config/RangeTables.h"
#include "link/Codecs.h"
#include "support/ScriptedPrompter.h"
#include "switches/SwitchReport.h"
#include "switches/SwitchUnit.h"
#include "switches/SwitchWizardModel.h"

#include <QJsonArray>
#include <gtest/gtest.h>
#include <map>

namespace pv {
namespace {

// A unit holding switch bytes, the demonstration-consistent tables and a
// default-cell memory that writes go to.
class FakeUnit : public SwitchUnit {
public:
  explicit FakeUnit(AppState& s) : s_(s) {}
  std::array<int, 4> switches{};
  bool fail = false;
  std::vector<int> tablesAsked;
  std::map<int, uint8_t> cells;
  int writes = 0;

  std::array<int, 4> ReadSwitchState() override {
    s_.commError = fail;
    return fail ? std::array<int, 4>{} : switches;
  }
  QVector<int> ReadCalibrationTables(int t) override {
    tablesAsked.push_back(t);
    s_.commError = fail;
    if (fail) return {};
    const CalibrationTableWords w = DemoCalibrationTable(s_.identity.variant, t);
    s_.spanPoints = static_cast<uint8_t>(w.span.size());
    s_.zeroPoints = static_cast<uint8_t>(w.zero.size());
    QVector<int> list = w.toList();
    const int at = DefaultCellAddress(Table::Span, t, s_.channelSelector);
    if (cells.count(at)) list[0] = JoinWord(cells[at + 1], cells[at], true);
    if (cells.count(at + 2)) list[w.span.size() + 1] = JoinWord(cells[at + 3], cells[at + 2], true);
    return list;
  }
  void WriteCells(int bank, int count) override {
    EXPECT_EQ(bank, 0);
    ++writes;
    for (int i = 1; i <= count; ++i) cells[s_.writeList.address[i]] = s_.writeList.data[i];
  }

private:
  AppState& s_;
};

class SwitchWizard : public ::testing::Test {
protected:
  AppState state;
  RangeTables tables;
  test::ScriptedPrompter prompter;
  FakeUnit unit{state};
  SwitchWizardModel model{state, tables, prompter};
  int changes = 0;

  void SetUp() override {
    state.switchEventsEnabled = true;
    model.setUnit(&unit);
    QObject::connect(&model, &SwitchWizardModel::changed, [this] { ++changes; });
  }
  void Unit(int variant, SwitchBytes b, int revision = 0) {
    state.identity = {12, static_cast<uint8_t>(variant), static_cast<uint8_t>(revision), 0};
    unit.switches = {b[0], b[1], b[2], 0};
  }
  int InputPos(int ch, const QString& name) const {
    return static_cast<int>(model.input(ch).items.indexOf(name));
  }
};

TEST_F(SwitchWizard, ReadsAndDecodesTheFullRangeUnit) {
  Unit(0, {114, 42, 3});
  model.ReadSwitch();
  EXPECT_EQ(model.input(0).text, "Pt 100");
  EXPECT_TRUE(model.option(0));
  EXPECT_EQ(model.output(0).text, "4-20 mA");
  EXPECT_EQ(model.output(1).text, "0-10 V");
  EXPECT_EQ(model.spanList().selected, 10);
  EXPECT_EQ(model.zeroList().selected, 3);
  EXPECT_EQ(model.optionCaptions(0).frame, "Fili");
  EXPECT_EQ(model.optionCaptions(0).on, "2/4 fili");
  EXPECT_TRUE(model.visibility().bank[2]);
  EXPECT_EQ(unit.tablesAsked, std::vector<int>{18});
  // span 45 (index 10), zero -100 (index 3) on Pt 100: within -200..850, span >= 50
  EXPECT_EQ(model.check(), CheckResult::Ok);
  EXPECT_GE(changes, 1);
  // The variant-0 input list cannot offer what five switches cannot hold.
  EXPECT_EQ(InputPos(0, "Freq"), -1);
  EXPECT_GE(InputPos(0, "Vish10K"), 0);
}

TEST_F(SwitchWizard, ResistiveUnitsDecodeWithTheRow15Offset) {
  Unit(3, {0x91, 0x55, 0});  // code 1, zero 9, output 1, span 21
  model.ReadSwitch();
  EXPECT_EQ(model.input(0).text, "Res2K");
  EXPECT_EQ(unit.tablesAsked, std::vector<int>{16});
  EXPECT_EQ(model.spanList().selected, 21);
  EXPECT_EQ(model.zeroList().selected, 9);

  Unit(6, {0x03, 0, 0}, 2);  // hardware revision 2 offers "Res300K"
  unit.tablesAsked.clear();
  model.ReadSwitch();
  EXPECT_EQ(model.input(0).text, "Res300K");
  EXPECT_EQ(unit.tablesAsked, std::vector<int>{18});

  // Choosing it again packs code 3.
  state.switchBytes = {0xF0, 0, 0};
  model.inputSelected(0, InputPos(0, "Res300K"));
  EXPECT_EQ(state.switchBytes[0] & 15, 3);
  // The zero the banks name stays chosen.
  EXPECT_EQ(state.switchBytes[0] & 0xF0, 0xF0);
  EXPECT_EQ(model.zeroList().selected, 15);
}

TEST_F(SwitchWizard, UnknownCodeEmptiesTheInputAndListsCodeOne) {
  Unit(2, {0x0F, 0, 0});  // code 15 is no input on a variant-2 unit
  model.ReadSwitch();
  EXPECT_TRUE(model.input(0).text.isEmpty());
  EXPECT_EQ(unit.tablesAsked, std::vector<int>{1});
}

TEST_F(SwitchWizard, FailedReadLeavesEverythingAsItWas) {
  Unit(0, {114, 42, 3});
  model.ReadSwitch();
  const auto spans = model.spanList().texts();
  unit.fail = true;
  unit.switches = {1, 2, 3, 0};
  model.ReadSwitch();
  EXPECT_EQ(state.switchBytes, (SwitchBytes{114, 42, 3}));
  EXPECT_EQ(model.input(0).text, "Pt 100");
  EXPECT_EQ(model.spanList().texts(), spans);

  // A failed table read during an input change plans nothing.
  model.inputSelected(0, InputPos(0, "Tc J"));
  EXPECT_EQ(state.switchBytes, (SwitchBytes{114, 42, 3}));
}

TEST_F(SwitchWizard, SelectorEventsActOnlyWhileEnabled) {
  Unit(0, {114, 42, 3});
  model.ReadSwitch();
  state.switchEventsEnabled = false;
  model.inputSelected(0, InputPos(0, "Tc J"));
  model.outputSelected(0, 3);
  model.optionSelected(0, false);
  EXPECT_EQ(state.switchBytes, (SwitchBytes{114, 42, 3}));
  EXPECT_EQ(model.input(0).text, "Tc J");  // the choice itself is kept

  state.switchEventsEnabled = true;
  model.optionSelected(0, false);
  const auto f = DecodeDip2210(state.switchBytes);
  EXPECT_EQ(f.inputCode, 7);
  EXPECT_FALSE(f.option);
  EXPECT_EQ(f.outputA, 3);
}

TEST_F(SwitchWizard, ListClicksSetTheirFieldAndShowTheSecondByte) {
  Unit(2, {0x98, 0x55, 0});  // Tc K, zero 9, output 1, span 21
  model.ReadSwitch();
  model.spanClicked(33);
  EXPECT_EQ(state.switchBytes[1], 0x40 + 33);
  EXPECT_EQ(model.sw2Text(), "61");
  model.zeroClicked(2);
  EXPECT_EQ(state.switchBytes[0], 0x28);
  model.spanClicked(-1);  // no entry: nothing
  model.spanClicked(500);
  EXPECT_EQ(state.switchBytes[1], 0x40 + 33);
  // Only one list on its default is wrong on this unit.
  model.spanClicked(0);
  EXPECT_EQ(model.check(), CheckResult::Err);
}

TEST_F(SwitchWizard, OlderFullRangeUnitPlansNoInput) {
  Unit(1, {114, 42, 0});
  model.ReadSwitch();
  model.inputSelected(0, InputPos(0, "Tc J"));
  EXPECT_EQ(state.switchBytes, (SwitchBytes{114, 42, 0}));
  model.spanClicked(5);
  model.zeroClicked(4);
  EXPECT_EQ(state.switchBytes, (SwitchBytes{114, 2 + 20, 4}));
}

TEST_F(SwitchWizard, FrequencyUnitChecksMultiplierTimesSpan) {
  Unit(7, {0, 40, 1 + 4});  // TTL... position 1, output 1, span 40, multiplier 1000
  model.ReadSwitch();
  EXPECT_EQ(model.input(0).text, "Tacho");
  EXPECT_EQ(model.multiplier(), 0);
  EXPECT_EQ(model.spanList().selected, 40);
  EXPECT_EQ(model.spanList().entries[0].text, "EEPROM");
  EXPECT_EQ(model.check(), CheckResult::Ok);  // 20.0 x 1000
  EXPECT_EQ(model.banks()[2].caption, "SW1");
  EXPECT_TRUE(model.visibility().multiplierFrame);
  model.spanClicked(63);
  EXPECT_EQ(state.switchBytes[1], 63);
  EXPECT_EQ(model.check(), CheckResult::Err);  // 31.5 x 1000
  model.multiplierSelected(1);
  EXPECT_EQ(state.switchBytes[1], 63 + 64);
  EXPECT_EQ(model.check(), CheckResult::Ok);
  EXPECT_EQ(state.switchBytes[0], 0);
}

TEST_F(SwitchWizard, TwoChannelUnitsShowNoListsAndCheckTheSelectors) {
  Unit(4, {0x22, 0x48, 0});  // A: 4-20 mA in, out 1; B: 0-10 V in, out 2
  model.ReadSwitch();
  EXPECT_EQ(model.input(0).text, "4-20 mA");
  EXPECT_EQ(model.output(0).text, "4-20 mA");
  EXPECT_EQ(model.input(1).text, "0-10 V");
  EXPECT_EQ(model.output(1).text, "0-10 V");
  EXPECT_FALSE(model.visibility().spanList);
  EXPECT_FALSE(model.visibility().bank[2]);
  EXPECT_TRUE(unit.tablesAsked.empty());
  EXPECT_TRUE(state.switchEventsEnabled);
  EXPECT_EQ(model.check(), CheckResult::Ok);

  model.inputSelected(1, 3);  // "---"
  EXPECT_EQ(state.switchBytes[1] & 15, 3);
  EXPECT_EQ(model.check(), CheckResult::Err);
  model.inputSelected(1, 0);  // "EEPROM" on one channel only
  EXPECT_EQ(model.check(), CheckResult::Err);
  model.inputSelected(0, 0);
  EXPECT_EQ(model.check(), CheckResult::Ok);
  model.optionSelected(1, true);
  EXPECT_EQ(state.switchBytes[1], 0x40 + 16);
}

TEST_F(SwitchWizard, StoresANewDefaultScaledAsTheTable) {
  Unit(0, {7, 21 * 4, 9});  // Tc J
  model.ReadSwitch();
  prompter.expectText(QString("1200"));
  EXPECT_EQ(model.storeDefault(Table::Span, 0), SwitchWizardModel::StoreResult::Stored);
  // 1200.0 °C is word 12000 at cells 156 (low) and 157 (high).
  EXPECT_EQ(unit.cells[156], 12000 & 0xFF);
  EXPECT_EQ(unit.cells[157], 12000 >> 8);
  EXPECT_EQ(model.spanList().entries[0].text, "Def: 1200");
  // The plan is redrawn in the unit's own layout.
  EXPECT_EQ(DecodeDip2210(state.switchBytes).inputCode, 7);
  EXPECT_EQ(DecodeDip2210(state.switchBytes).span, 21);

  // Beyond the limits: Cancel writes nothing, OK writes anyway.
  prompter.expectText(QString("-300"));
  prompter.expect(Answer::Cancel);
  EXPECT_EQ(model.storeDefault(Table::Zero, 0), SwitchWizardModel::StoreResult::Cancelled);
  EXPECT_EQ(unit.writes, 1);
  EXPECT_TRUE(prompter.asked().back().text.contains("MIN"));

  prompter.expectText(QString("abc"));
  EXPECT_EQ(model.storeDefault(Table::Zero, 0), SwitchWizardModel::StoreResult::NotANumber);
  prompter.expectText(std::nullopt);
  EXPECT_EQ(model.storeDefault(Table::Zero, 0), SwitchWizardModel::StoreResult::Cancelled);
  EXPECT_EQ(model.storeDefault(Table::Zero, 3), SwitchWizardModel::StoreResult::NotApplicable);
  EXPECT_EQ(unit.writes, 1);
  EXPECT_TRUE(prompter.allAnswered());
}

// --- demonstration mode ------------------------------------------------------

TEST_F(SwitchWizard, DemonstrationWorksWithoutAUnit) {
  model.setUnit(nullptr);
  model.enterDemo();
  EXPECT_TRUE(state.demoMode);
  EXPECT_FALSE(model.visibility().bank[0]);
  EXPECT_TRUE(model.visibility().modelList);
  EXPECT_EQ(model.demoModelList().size(), 15);

  model.chooseDemoModel(0);  // KRV2210
  EXPECT_EQ(state.modelId, "KRV2210");
  EXPECT_EQ(model.input(0).text, "Seleziona:");
  EXPECT_TRUE(model.visibility().bank[2]);
  model.temperatureUnitSelected(true);
  model.inputSelected(0, 7);  // "Tc J"
  EXPECT_EQ(model.zeroList().entries[1].text, "-328.0");
  EXPECT_EQ(model.zeroList().entries[9].text, "32.0");
  EXPECT_EQ(model.optionCaptions(0).frame, "CJC");
  EXPECT_TRUE(model.limitsText().startsWith("In: Tc J"));
  EXPECT_EQ(DecodeDip2210(state.switchBytes).inputCode, 7);
  model.outputSelected(0, 1);
  model.spanClicked(21);
  model.zeroClicked(9);
  EXPECT_EQ(DecodeDip2210(state.switchBytes), (Dip2210Fields{7, false, 1, 0, 21, 9}));
  // The unit's identity is not touched by the demonstration.
  EXPECT_EQ(state.identity, DeviceIdentity{});
}

TEST_F(SwitchWizard, LeavingTheDemonstrationEmptiesSelectorsAndLists) {
  model.enterDemo();
  model.chooseDemoModel(13);  // KRV2312D, two channels
  model.inputSelected(0, 1);
  model.inputSelected(1, 8);
  model.outputSelected(0, 1);
  model.outputSelected(1, 2);
  EXPECT_EQ(model.check(), CheckResult::Ok);
  EXPECT_EQ(state.switchBytes[0], 1 + 32);
  model.chooseDemoModel(0);
  model.inputSelected(0, 7);
  ASSERT_FALSE(model.spanList().entries.isEmpty());
  model.leaveDemo();
  EXPECT_FALSE(state.demoMode);
  EXPECT_TRUE(state.modelId.isEmpty());
  for (int c = 0; c < 2; ++c) {
    EXPECT_TRUE(model.input(c).text.isEmpty());
    EXPECT_TRUE(model.output(c).text.isEmpty());
  }
  EXPECT_TRUE(model.spanList().entries.isEmpty());
  EXPECT_TRUE(model.zeroList().entries.isEmpty());
  EXPECT_TRUE(model.visibility().checkFrame);
  EXPECT_TRUE(model.visibility().wizardButton);
  EXPECT_FALSE(model.visibility().backButton);
  EXPECT_FALSE(model.visibility().modelList);
}

TEST_F(SwitchWizard, DemonstrationGroupsEmulateTheirUnitsCodes) {
  model.enterDemo();
  model.chooseDemoModel(2);  // KRV2211B
  model.inputSelected(0, 1);  // "Res2K" packs as 1
  EXPECT_EQ(state.switchBytes[0] & 15, 1);
  EXPECT_EQ(model.spanList().entries[1].text, "500");
  model.chooseDemoModel(7);  // KRV2212C
  model.inputSelected(0, 1);  // "Pot" packs as 8
  EXPECT_EQ(state.switchBytes[0] & 15, 8);
  model.inputSelected(0, 2);  // KTY81-220 packs as 9
  EXPECT_EQ(state.switchBytes[0] & 15, 9);

  model.chooseDemoModel(14);  // KRV2220
  EXPECT_EQ(model.input(0).text, "Seleziona");
  EXPECT_FALSE(model.visibility().zeroLabel);
  model.inputSelected(0, 2);  // TTL
  model.multiplierSelected(2);
  ASSERT_EQ(model.spanList().entries.size(), 64);
  EXPECT_EQ(model.spanList().entries[63].text, "315");  // 31.5 x 10 Hz
  model.spanClicked(63);
  EXPECT_EQ(state.switchBytes[1], 63 + 128);
  EXPECT_EQ(state.switchBytes[0], state.switchBytes[2]);
  EXPECT_EQ(model.check(), CheckResult::Ok);
}

TEST_F(SwitchWizard, AUnitReadEndsTheDemonstration) {
  model.enterDemo();
  model.chooseDemoModel(0);
  model.inputSelected(0, 7);
  // No unit default can be replaced from the built-in tables.
  EXPECT_EQ(model.storeDefault(Table::Span, 0), SwitchWizardModel::StoreResult::NotApplicable);
  Unit(2, {0x98, 0x55, 0});
  model.ReadSwitch();
  EXPECT_FALSE(state.demoMode);
  EXPECT_EQ(model.input(0).text, "Tc K");
  EXPECT_TRUE(model.visibility().checkFrame);
  EXPECT_EQ(model.check(), CheckResult::Ok);
}

// --- command-line description ----------------------------------------------

TEST_F(SwitchWizard, DescribesTheUnitForTheCommandLine) {
  Unit(0, {7 + 32 + 64, 21 * 4 + 1, 9});
  const SwitchReport r = ReadSwitchReport(state, tables, unit, prompter);
  ASSERT_EQ(r.channels.size(), 1);
  EXPECT_EQ(r.layout, "DisegnaDip2210_r1");
  EXPECT_EQ(r.channels[0].input, "Tc J");
  EXPECT_EQ(r.channels[0].optionCaption, "CJC");
  EXPECT_EQ(r.channels[0].option, "Int");
  EXPECT_EQ(r.spanValue, 100.0);
  EXPECT_EQ(r.zeroValue, 0.0);
  EXPECT_EQ(r.check, "OK");
  const QString text = RenderSwitchReport(r);
  EXPECT_TRUE(text.contains(QString::fromUtf8("span: 100 \u00b0C (entry 21)"))) << text.toStdString();
  EXPECT_TRUE(text.contains("SW1 1110 0110")) << text.toStdString();
  const QJsonObject j = SwitchReportJson(r);
  EXPECT_EQ(j["bytes"].toArray()[0].toInt(), 103);
  EXPECT_EQ(j["check"].toString(), "OK");
}

TEST_F(SwitchWizard, ASoftwareConfiguredUnitSaysSoAndChecksNothing) {
  // A KRV2212A with every switch off: its channels run on the configuration
  // in its cells, which the editor has just read (Tc K 0..600, 4-20 mA).
  Unit(2, {0, 0, 0});
  state.familyCell = 0;
  for (ChannelSettings& ch : state.channels) {
    ch.inputType = static_cast<uint8_t>(tables.InputRowByName(QStringLiteral("Tc K")));
    ch.inputMin = 0;
    ch.inputMax = 600;
    ch.inputUnit = QString::fromUtf8("\u00b0C");
    ch.outputType = static_cast<uint8_t>(tables.OutputRowByName(QStringLiteral("4-20 mA")));
  }
  model.ReadSwitch();
  EXPECT_EQ(model.input(0).text, "EEPROM");
  EXPECT_EQ(model.output(0).text, "EEPROM");
  EXPECT_EQ(model.check(), CheckResult::None);
  EXPECT_TRUE(model.spanList().entries.isEmpty());
  EXPECT_TRUE(model.visibility().limitsText);
  const QStringList lines = model.limitsText().split('\n');
  ASSERT_EQ(lines.size(), 3) << model.limitsText().toStdString();
  EXPECT_TRUE(lines[1].startsWith("CH1: Tc K")) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].endsWith("4-20 mA")) << lines[2].toStdString();
  // Switches that choose an input again show it, with their check.
  Unit(2, {1, 0, 0});
  model.ReadSwitch();
  EXPECT_NE(model.input(0).text, "EEPROM");
  EXPECT_FALSE(model.visibility().limitsText);
}

TEST_F(SwitchWizard, DemonstrationPromptsFollowTheLanguage) {
  model.setUnit(nullptr);
  model.enterDemo();
  model.chooseDemoModel(0);
  EXPECT_EQ(model.input(0).text, "Seleziona:");
  EXPECT_EQ(model.optionCaptions(0).frame, "Opzione");
  EXPECT_EQ(model.demoModelListText(), "Seleziona il dispositivo");
  state.languageOffset = 300;
  model.ImpostaSwOpz();  // what the caption routine runs on a language change
  EXPECT_EQ(model.input(0).text, "Select:");
  EXPECT_EQ(model.output(0).text, "Select:");
  EXPECT_EQ(model.optionCaptions(0).frame, "Option");
  EXPECT_EQ(model.optionCaptions(0).on, "On");
  EXPECT_EQ(model.demoModelListText(), "Select Device");
}

} // namespace
} // namespace pv
