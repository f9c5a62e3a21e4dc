// Built-in tables, list filling and the range check.
#include "kernel/AppState.h"
#include "config/RangeTables.h"
#include "switches/SwitchRanges.h"
#include "switches/SwitchTables.h"

#include <gtest/gtest.h>

namespace pv {
namespace {

TEST(DemoRecords, EverySpanTableShowsSixtyThreeValuesAndRepeatsItsLast) {
  const auto& r = DemoRecords();
  for (int i = 1; i <= 7; ++i) {
    EXPECT_EQ(r[i].spanCount, 63) << "record " << i;
    EXPECT_EQ(r[i].zeroCount, i == 7 ? 0 : 15) << "record " << i;
  }
  // Where each table's own values end; the rest repeat the last one.
  struct Tail {
    int record, lastDistinct;
    double last;
  };
  for (const Tail& t : {Tail{1, 63, 850}, Tail{2, 56, 2000}, Tail{3, 61, 500}, Tail{4, 49, 100},
                        Tail{5, 56, 20}, Tail{6, 49, 10}, Tail{7, 63, 31.5}}) {
    const DemoRecord& rec = r[t.record];
    for (int i = 2; i <= t.lastDistinct; ++i)
      ASSERT_GT(rec.span[i], rec.span[i - 1]) << "record " << t.record << " index " << i;
    for (int i = t.lastDistinct; i <= 63; ++i)
      EXPECT_DOUBLE_EQ(rec.span[i], t.last) << "record " << t.record << " index " << i;
  }
  EXPECT_DOUBLE_EQ(r[1].span[1], 0);
  EXPECT_DOUBLE_EQ(r[1].span[21], 100);
  EXPECT_DOUBLE_EQ(r[1].span[52], 425);
  EXPECT_DOUBLE_EQ(r[5].span[2], 5.2);  // exact decimals, no drift from the steps
  EXPECT_DOUBLE_EQ(r[5].span[27], 10.25);
  EXPECT_DOUBLE_EQ(r[6].span[3], 0.8);
  EXPECT_DOUBLE_EQ(r[1].zero[1], -200);
  EXPECT_DOUBLE_EQ(r[2].zero[2], 150);
}

QStringList Texts(const SwitchList& l) { return l.texts(); }

TEST(DemoLists, ThermocoupleInFahrenheitHasOneDecimal) {
  SwitchList span, zero;
  FillDemoLists(DemoGroup::Krv2210, 7, true, 1000, span, zero);  // "Tc J"
  ASSERT_EQ(zero.entries.size(), 16);
  ASSERT_EQ(span.entries.size(), 64);
  EXPECT_EQ(zero.entries[0].text, "Default");
  EXPECT_EQ(zero.entries[1].text, "-328.0");
  EXPECT_EQ(zero.entries[9].text, "32.0");
  EXPECT_EQ(span.entries[1].text, "32.0");
  // The check still compares against the limits in degrees Celsius.
  EXPECT_DOUBLE_EQ(zero.entries[1].value, -200);

  FillDemoLists(DemoGroup::Krv2210, 7, false, 1000, span, zero);
  EXPECT_EQ(zero.entries[1].text, "-200");
  // Millivolts share record 1 but are never converted.
  FillDemoLists(DemoGroup::Krv2210, 1, true, 1000, span, zero);
  EXPECT_EQ(zero.entries[1].text, "-200");
}

TEST(DemoLists, GroupsPickTheirRecords) {
  SwitchList span, zero;
  FillDemoLists(DemoGroup::Krv2210, 6, false, 1, span, zero);
  EXPECT_EQ(Texts(span), QStringList{"-----"});
  EXPECT_EQ(Texts(zero), QStringList{"-----"});
  FillDemoLists(DemoGroup::Krv2210, 0, false, 1, span, zero);
  EXPECT_TRUE(span.entries.isEmpty());
  FillDemoLists(DemoGroup::GroupB, 1, false, 1, span, zero);  // "Res2K"
  EXPECT_EQ(span.entries[1].text, "500");
  EXPECT_EQ(span.entries[63].text, "2000");
  FillDemoLists(DemoGroup::GroupC, 1, false, 1, span, zero);  // "Pot"
  EXPECT_EQ(span.entries[1].text, "5");
  FillDemoLists(DemoGroup::Krv2210, 5, false, 1, span, zero);  // "20 mA"
  EXPECT_EQ(span.entries[2].text, "5.2");
  FillDemoLists(DemoGroup::Krv2220, 2, false, 100, span, zero);
  EXPECT_EQ(span.entries[1].text, "50");  // 0.5 x 100 Hz
  EXPECT_DOUBLE_EQ(span.entries[1].value, 0.5);
  EXPECT_TRUE(zero.entries.isEmpty());
}

TEST(DemoModels, SelectorEntriesPerGroup) {
  const QStringList krv2210 = DemoInputEntries(0);
  ASSERT_EQ(krv2210.size(), 24);
  EXPECT_EQ(krv2210[6], "---");
  EXPECT_EQ(krv2210[7], "Tc J");
  EXPECT_EQ(krv2210[23], "Pot2K");
  const QStringList a = DemoInputEntries(5);
  EXPECT_EQ(a.mid(3, 4), (QStringList{"800 mV", "---", "---", "---"}));
  EXPECT_EQ(DemoInputEntries(6).mid(0, 3), (QStringList{"EEPROM", "Res2K", "Res500"}));
  EXPECT_EQ(DemoInputEntries(3).mid(0, 3), (QStringList{"EEPROM", "Pot", "KTY81-220"}));
  EXPECT_EQ(DemoInputEntries(14), (QStringList{"Namur", "Tacho", "TTL", "PNP"}));
  EXPECT_EQ(DemoInputEntries(13), OutputLabelsA());
  EXPECT_EQ(DemoOutputEntries(13), OutputLabelsB());
  EXPECT_EQ(DemoOutputEntries(0), (QStringList{"0-20 mA", "4-20 mA", "0-10 V", "0-5 V"}));
  EXPECT_TRUE(DemoHasDoubler(12));
  EXPECT_FALSE(DemoHasDoubler(13));
  EXPECT_EQ(DemoVariant(DemoGroupOfSlot(9)), 2);
  EXPECT_EQ(DemoVariant(DemoGroupOfSlot(13)), 4);
}

TEST(OutputLabelLists, PositionIsThePackedValue) {
  ASSERT_EQ(OutputLabelsA().size(), 16);
  ASSERT_EQ(OutputLabelsB().size(), 8);
  EXPECT_EQ(OutputLabelsA()[0], "EEPROM");
  EXPECT_EQ(OutputLabelsA()[9], "2-10 V");
  EXPECT_EQ(OutputLabelsA()[15], "---");
  EXPECT_EQ(OutputLabelsB()[5], "1-5 V");
}

TEST(UnitLists, WordsAreScaledByTheInputDecimals) {
  const RangeTables t;
  DeviceIdentity v0{12, 0, 0, 0}, v2{12, 2, 0, 0}, v7{12, 7, 0, 0};
  EXPECT_EQ(DisplayDecimals(t, 1, v2), 1);  // millivolts: one decimal, not the table's two
  EXPECT_EQ(DisplayDecimals(t, 4, v0), 2);
  EXPECT_EQ(DisplayDecimals(t, 4, v2), 3);
  EXPECT_EQ(DisplayDecimals(t, 1, v7), 3);
  EXPECT_EQ(TableCode(0, v2), 1);
  EXPECT_EQ(TableCode(32, DeviceIdentity{12, 6, 2, 0}), 18);
  EXPECT_EQ(TableCode(7, v7), 1);

  QVector<int> words(80, 0);
  words[0] = 12000;   // span default
  words[1] = 1000;
  words[64] = -2000;  // zero default
  words[65] = -1000;
  SwitchList span, zero;
  ASSERT_TRUE(FillListsFromWords(words, TableSliceFor(v0, 63, 15), 1, false, span, zero));
  ASSERT_EQ(span.entries.size(), 64);
  ASSERT_EQ(zero.entries.size(), 16);
  EXPECT_EQ(span.entries[0].text, "Def: 1200");
  EXPECT_EQ(span.entries[1].text, "100");
  EXPECT_EQ(zero.entries[0].text, "Def: -200");
  EXPECT_DOUBLE_EQ(zero.entries[1].value, -100);

  ASSERT_TRUE(FillListsFromWords(QVector<int>(66, 500), TableSliceFor(v7, 63, 1), 3, true, span, zero));
  EXPECT_EQ(span.entries[0].text, "EEPROM");
  EXPECT_EQ(zero.entries.size(), 2);
  EXPECT_EQ(span.entries[1].text, "0.5");

  // A short answer leaves the lists as they were.
  const QStringList before = span.texts();
  EXPECT_FALSE(FillListsFromWords(QVector<int>(40, 1), TableSliceFor(v0, 63, 15), 1, false, span, zero));
  EXPECT_EQ(span.texts(), before);
}

TEST(UnitLists, SimulatedTablesShowTheDemonstrationValues) {
  // A unit answering DemoCalibrationTable lists what the demonstration lists.
  struct Case {
    uint8_t variant;
    int inputType;
    DemoGroup group;
    int position;
  };
  const RangeTables t;
  for (const Case& c : {Case{0, 7, DemoGroup::Krv2210, 7}, Case{0, 4, DemoGroup::Krv2210, 4},
                        Case{0, 5, DemoGroup::Krv2210, 5}, Case{3, 16, DemoGroup::GroupB, 1},
                        Case{2, 1, DemoGroup::GroupA, 1}, Case{7, 1, DemoGroup::Krv2220, 0}}) {
    DeviceIdentity id{12, c.variant, 0, 0};
    const CalibrationTableWords w = DemoCalibrationTable(c.variant, c.inputType);
    const int S = static_cast<int>(w.span.size()), Z = static_cast<int>(w.zero.size());
    SwitchList us, uz, ds, dz;
    ASSERT_TRUE(FillListsFromWords(w.toList(), TableSliceFor(id, S, Z),
                                   DisplayDecimals(t, c.inputType, id), c.variant == 7, us, uz));
    FillDemoLists(c.group, c.position, false, 1, ds, dz);
    ASSERT_EQ(us.entries.size(), ds.entries.size());
    for (int i = 1; i < us.entries.size(); ++i)
      ASSERT_DOUBLE_EQ(us.entries[i].value, ds.entries[i].value) << "variant " << int(c.variant) << " span " << i;
    for (int i = 1; i < dz.entries.size(); ++i)
      ASSERT_DOUBLE_EQ(uz.entries[i].value, dz.entries[i].value) << "zero " << i;
  }
  EXPECT_EQ(DemoCalibrationTable(4, 5).span.size(), 16);
  EXPECT_EQ(DemoCalibrationTable(7, 1).zero.size(), 1);
}

SwitchList Picked(std::initializer_list<double> values, int selected) {
  SwitchList l;
  for (double v : values) l.entries.append({QString::number(v), v});
  l.selected = selected;
  return l;
}

TEST(RangeCheck, SpanAndZeroAgainstTheInputRow) {
  const RangeTables t;
  const InputRange& tcJ = t.input[7];  // -200..1200, span 100
  EXPECT_EQ(CheckSpanZero(Picked({0, 100}, 1), Picked({0, 0}, 1), tcJ, false), CheckResult::Ok);
  EXPECT_EQ(CheckSpanZero(Picked({0, 50}, 1), Picked({0, 0}, 1), tcJ, false), CheckResult::Err);
  EXPECT_EQ(CheckSpanZero(Picked({0, 1300}, 1), Picked({0, 0}, 1), tcJ, false), CheckResult::Err);
  EXPECT_EQ(CheckSpanZero(Picked({0, 100}, 1), Picked({0, -250}, 1), tcJ, false), CheckResult::Err);
  // Mixing a default with a chosen value is wrong except on the full-range unit.
  EXPECT_EQ(CheckSpanZero(Picked({500, 100}, 0), Picked({0, 0}, 1), tcJ, false), CheckResult::Err);
  EXPECT_EQ(CheckSpanZero(Picked({500, 100}, 0), Picked({0, 0}, 1), tcJ, true), CheckResult::Ok);
  // Nothing is shown until both are chosen, or when the tables are empty.
  EXPECT_EQ(CheckSpanZero(Picked({0, 100}, 1), Picked({0, 0}, -1), tcJ, false), CheckResult::None);
  EXPECT_EQ(CheckSpanZero(SwitchList{}, SwitchList{}, tcJ, true), CheckResult::None);
}

TEST(RangeCheck, FrequencyMultiplierTimesSpan) {
  const RangeTables t;
  const InputRange& freq = t.input[33];
  EXPECT_EQ(CheckFrequency(Picked({0, 20}, 1), 1000, freq), CheckResult::Ok);
  EXPECT_EQ(CheckFrequency(Picked({0, 20.5}, 1), 1000, freq), CheckResult::Err);
  EXPECT_EQ(CheckFrequency(Picked({0, 31.5}, 1), 100, freq), CheckResult::Ok);
  EXPECT_EQ(CheckFrequency(Picked({0, 31.5}, -1), 1000, freq), CheckResult::None);
}

TEST(RangeCheck, TwoChannels) {
  auto ch = [](int in, int out) {
    return ChannelChoice{OutputLabelsA()[in], OutputLabelsB()[out], in, out};
  };
  EXPECT_EQ(CheckTwoChannel(ch(1, 1), ch(8, 2)), CheckResult::Ok);
  EXPECT_EQ(CheckTwoChannel(ch(3, 1), ch(8, 2)), CheckResult::Err);  // input "---"
  EXPECT_EQ(CheckTwoChannel(ch(1, 6), ch(8, 2)), CheckResult::Err);  // output "---"
  EXPECT_EQ(CheckTwoChannel(ch(0, 1), ch(8, 2)), CheckResult::Err);  // one "EEPROM"
  EXPECT_EQ(CheckTwoChannel(ch(0, 1), ch(0, 2)), CheckResult::Ok);
}

TEST(Texts, LimitsAndDefaultCells) {
  EXPECT_EQ(LimitsText(7),
            QString::fromUtf8("In: Tc J ;Min.Lim.=-200 \u00b0C; Max.Lim. 1200 \u00b0C; Span min: 100 \u00b0C"));
  EXPECT_EQ(LimitsText(0), "No range");
  EXPECT_EQ(TwoChannelLimitsText("4-20 mA", "EEPROM"),
            "CH1: In: 4-20 mA; Min.Lim.= 4 mA Max.Lim.= 20 mA; Span min= 1 mA\r\nCH2: EEPROM");
  EXPECT_EQ(DefaultCellAddress(Table::Span, 7, 1), 156);
  EXPECT_EQ(DefaultCellAddress(Table::Zero, 7, 1), 158);
  EXPECT_EQ(DefaultCellAddress(Table::Span, 1, 0), 112);
}

} // namespace
} // namespace pv
