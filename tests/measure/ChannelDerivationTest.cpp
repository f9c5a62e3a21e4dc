#include "FakeMeasureDevice.h"
#include "link/Codecs.h"
#include "measure/ChannelDerivation.h"

#include <gtest/gtest.h>

using namespace pv;
using pv::test::FakeMeasureDevice;

namespace {
const RangeTables& Tables() {
  static const RangeTables t;
  return t;
}

// A "$S" answer: span default, S spans, zero default, Z zeros.
QVector<int> Table(int spanDefault, int S, int spanStep, int zeroDefault, int Z, int zeroStep) {
  QVector<int> L{spanDefault};
  for (int i = 1; i <= S; ++i) L << i * spanStep;
  L << zeroDefault;
  for (int i = 1; i <= Z; ++i) L << -i * zeroStep;
  return L;
}

struct Derive {
  AppState state;
  FakeMeasureDevice dev{state};
  ChannelSettings out;
  bool run(DeviceIdentity id, std::array<uint8_t, 3> sw, int c) {
    dev.identity = id;
    return DeriveSwitchChannel(id, Tables(), sw, c, SwitchInputRow(id, sw, c), dev, state, out);
  }
};
} // namespace

TEST(ChannelFromCells, DecodesLimitsOutputAndFunction) {
  std::array<uint8_t, 42> cells{};
  cells[0] = rows::mV90;
  cells[3] = 2;                   // square root
  cells[4] = 1 | 32;              // 4-20 mA, doubler
  const WordBytes up = SplitWord(9000), lo = SplitWord(-1000);
  cells[20] = up.lo, cells[21] = up.hi;  // 90.00 mV
  cells[22] = lo.lo, cells[23] = lo.hi;  // -10.00 mV
  const WordBytes o1 = SplitWord(20000), o0 = SplitWord(4000);
  cells[24] = o1.lo, cells[25] = o1.hi, cells[26] = o0.lo, cells[27] = o0.hi;
  ASSERT_EQ(cells[20], 0x28);
  ASSERT_EQ(cells[21], 0x23);

  const ChannelSettings s = ChannelFromCells({12, 2, 3, 0}, Tables(), cells.data(), 0);
  EXPECT_EQ(s.inputType, rows::mV90);
  EXPECT_EQ(s.inputDecimals, 2);
  EXPECT_DOUBLE_EQ(s.inputMax, 90);
  EXPECT_DOUBLE_EQ(s.inputMin, -10);
  EXPECT_DOUBLE_EQ(s.outputMax, 20);
  EXPECT_DOUBLE_EQ(s.outputMin, 4);
  EXPECT_EQ(s.outputType, 1);
  EXPECT_EQ(s.function, 2);
  EXPECT_EQ(s.inputUnit, "mV");
  EXPECT_EQ(s.outputUnit, "mA");
}

TEST(ChannelFromCells, FrequencyModelWordsAreUnsignedWithTheirOwnDecimals) {
  std::array<uint8_t, 42> cells{};
  cells[4] = 2 | (2 << 2);       // 0-10 V, two decimals
  cells[20] = 0xFF, cells[21] = 0xFF;
  const ChannelSettings s = ChannelFromCells({12, 7, 0, 0}, Tables(), cells.data(), 0);
  EXPECT_EQ(s.inputType, rows::Freq);
  EXPECT_EQ(s.inputDecimals, 2);
  EXPECT_DOUBLE_EQ(s.inputMax, 655.35);
  EXPECT_EQ(s.outputUnit, "V");
}

TEST(CalibrationPair, CellsDependOnChannelAndOutputKind) {
  EXPECT_EQ(CalibrationPairAddress(0, 2), 100);  // voltage output
  EXPECT_EQ(CalibrationPairAddress(0, 1), 106);  // current output
  EXPECT_EQ(CalibrationPairAddress(1, 3), 112);
  EXPECT_EQ(CalibrationPairAddress(1, 0), 118);
  const Float24Bytes a = EncodeFloat24(3.98), b = EncodeFloat24(20.03);
  const uint8_t six[6] = {a.s, a.m1, a.m2, b.s, b.m1, b.m2};
  const auto pair = CalibrationPairFromCells(six);
  EXPECT_NEAR(pair[0], 3.98, 1e-3);
  EXPECT_NEAR(pair[1], 20.03, 1e-3);
}

TEST(SwitchChannel, LimitsComeFromTheUnitsSpanAndZeroTables) {
  Derive d;
  // Variant 2, "Tc K" (row 8), span index 20, zero index 3, output 0-10 V.
  d.dev.tables[8] = Table(13000, 63, 100, -2000, 15, 100);
  ASSERT_TRUE(d.run({12, 2, 3, 0}, {uint8_t(8 | (3 << 4)), uint8_t(20 | (2 << 6)), 0}, 0));
  EXPECT_EQ(d.dev.log, (QStringList{"S8"}));
  EXPECT_TRUE(d.out.fromSwitches);
  EXPECT_EQ(d.out.inputType, 8);
  EXPECT_DOUBLE_EQ(d.out.inputMax, 200.0);  // 2000 / 10
  EXPECT_DOUBLE_EQ(d.out.inputMin, -30.0);  // entry 64 + 3
  EXPECT_EQ(d.out.outputType, 2);
  EXPECT_DOUBLE_EQ(d.out.outputMax, 10);
  EXPECT_EQ(d.out.function, 0);
}

TEST(SwitchChannel, MillivoltRowsOfSingleInputModelsUseOneDecimal) {
  Derive d;
  d.dev.tables[2] = Table(2000, 63, 30, -1000, 15, 50);
  ASSERT_TRUE(d.run({12, 2, 3, 0}, {uint8_t(2 | (1 << 4)), 10, 0}, 0));
  EXPECT_EQ(d.out.inputDecimals, 1);
  EXPECT_DOUBLE_EQ(d.out.inputMax, 30.0);
  EXPECT_DOUBLE_EQ(d.out.inputMin, -5.0);
}

TEST(SwitchChannel, DefaultSwitchesTakeTheDefaultCells) {
  Derive d;
  // Variant 2 with the zero nibble at 0: span and zero are the defaults
  // stored at 4 * (row - 1) + 112, plus 20 for the channel selector 1.
  const int at = 4 * (8 - 1) + 112 + 20;
  const WordBytes span = SplitWord(8500), zero = SplitWord(-500);
  d.dev.cells[at] = span.lo, d.dev.cells[at + 1] = span.hi;
  d.dev.cells[at + 2] = zero.lo, d.dev.cells[at + 3] = zero.hi;
  ASSERT_TRUE(d.run({12, 2, 3, 0}, {8, 0, 0}, 0));
  EXPECT_EQ(d.dev.log, (QStringList{QStringLiteral("R%1+4").arg(at)}));
  EXPECT_DOUBLE_EQ(d.out.inputMax, 850.0);
  EXPECT_DOUBLE_EQ(d.out.inputMin, -50.0);
}

TEST(SwitchChannel, OneChannelModelMixesTableAndDefault) {
  Derive d;
  d.state.channelSelector = 0;
  // Variant 0, "Pt 100": span index 0 with output B bits -> S (default span),
  // zero index 2 from the table.
  d.dev.tables[18] = Table(8500, 63, 100, -2000, 15, 250);
  const int at = 4 * (18 - 1) + 112;
  const WordBytes span = SplitWord(4000);
  d.dev.cells[at] = span.lo, d.dev.cells[at + 1] = span.hi;
  ASSERT_TRUE(d.run({12, 0, 3, 0}, {uint8_t(18 | (1 << 6)), 2, 2}, 0));
  EXPECT_EQ(d.dev.log, (QStringList{"S18", QStringLiteral("R%1+4").arg(at), "R0+42"}));
  EXPECT_DOUBLE_EQ(d.out.inputMax, 400.0);
  EXPECT_DOUBLE_EQ(d.out.inputMin, -50.0);
  EXPECT_EQ(d.out.outputType, 1);
}

TEST(SwitchChannel, TwoChannelModelUsesSwitchOutputTableAndReverse) {
  Derive d;
  // Variant 4, channel B: input position 9 (10 V), output position 3
  // ("2-10 V") reversed; channel A at EEPROM makes S and Z true.
  d.dev.tables[4] = Table(10000, 16, 500, 0, 16, 100);
  const int at = 4 * (4 - 1) + 112 + 20;
  const WordBytes span = SplitWord(9000), zero = SplitWord(1000);
  d.dev.cells[at] = span.lo, d.dev.cells[at + 1] = span.hi;
  d.dev.cells[at + 2] = zero.lo, d.dev.cells[at + 3] = zero.hi;
  ASSERT_TRUE(d.run({12, 4, 3, 0}, {0, uint8_t(9 | 16 | (3 << 5)), 0}, 1));
  EXPECT_EQ(d.out.inputType, rows::Volt10);
  EXPECT_DOUBLE_EQ(d.out.inputMax, 9.0);
  EXPECT_DOUBLE_EQ(d.out.inputMin, 1.0);
  EXPECT_DOUBLE_EQ(d.out.outputMax, 2.0);  // reversed "2-10 V"
  EXPECT_DOUBLE_EQ(d.out.outputMin, 10.0);

  // With channel A switch-configured the limits come from the table pair.
  Derive e;
  e.dev.tables[4] = Table(10000, 16, 500, 0, 16, 100);
  ASSERT_TRUE(e.run({12, 4, 3, 0}, {9, uint8_t(9 | (2 << 5)), 0}, 1));
  // p = 2 * 9 + 3 = 21: lower L(20), upper L(21), in thousandths.
  EXPECT_EQ(e.dev.log.first(), "S4");
  EXPECT_DOUBLE_EQ(e.out.inputMin, -0.3);
  EXPECT_DOUBLE_EQ(e.out.inputMax, -0.4);
}

TEST(SwitchChannel, FrequencyModelTakesDecimalsFromTheMultiplier) {
  Derive d;
  d.dev.tables[1] = Table(20000, 63, 500, 0, 1, 100);
  ASSERT_TRUE(d.run({12, 7, 0, 0}, {0, uint8_t(8 | (1 << 6)), uint8_t(2 << 2)}, 0));
  EXPECT_EQ(d.dev.log.first(), "S1");
  EXPECT_EQ(d.out.inputType, rows::Freq);
  EXPECT_EQ(d.out.inputDecimals, 1);
  EXPECT_DOUBLE_EQ(d.out.inputMax, 400.0);  // 4000 / 10
  EXPECT_DOUBLE_EQ(d.out.inputMin, -10.0);  // zero entry 65
  EXPECT_EQ(d.out.outputType, 2);
}

TEST(SwitchChannel, FailedTableReadEndsTheDerivation) {
  Derive d;  // no table for row 8
  EXPECT_FALSE(d.run({12, 2, 3, 0}, {uint8_t(8 | 16), 20, 0}, 0));
  EXPECT_TRUE(d.state.commError);
}

TEST(Labels, RangesFunctionAndTrips) {
  ChannelSetup ch;
  ch.settings.inputType = rows::Pt100;
  ch.settings.inputMin = -200;
  ch.settings.inputMax = 850;
  ch.settings.inputUnit = QString::fromUtf8("\u00b0C");
  ch.settings.outputType = 1;
  ch.settings.outputMin = 4;
  ch.settings.outputMax = 20;
  ch.settings.outputUnit = "mA";
  ch.settings.function = 1;
  FillChannelLabels({12, 2, 3, 0}, Tables(), ch);
  EXPECT_EQ(ch.inputLabel, QString::fromUtf8("Pt 100 -200\u00f7 850 \u00b0C"));
  EXPECT_EQ(ch.outputLabel, QString::fromUtf8("4-20 mA  4\u00f7 20 mA"));
  FillChannelLabels({12, 0, 3, 0}, Tables(), ch);
  EXPECT_TRUE(ch.outputLabel.endsWith(" - TANK"));

  TripRecord t{1, 120.5, 80, 3};
  TripLabels l = MakeTripLabels({12, 2, 3, 0}, t, "mV");
  EXPECT_EQ(l.high, "H =  120.5 mV");
  EXPECT_EQ(l.low, "L =  80 mV");
  EXPECT_EQ(l.direction, "MIN");
  EXPECT_EQ(l.delay, "Delay =  3 sec.");
  EXPECT_EQ(MakeTripLabels({12, 7, 0, 0}, t, "Hz").delay, "Delay =  3 s.");
  // A threshold as the unit stores it reads as it was typed.
  TripRecord stored{0, 16.7998046875, -199.99609375, 2};
  EXPECT_EQ(MakeTripLabels({12, 5, 3, 0}, stored, "mA").high, "H =  16.8 mA");
  EXPECT_EQ(MakeTripLabels({12, 5, 3, 0}, stored, "mA").low, "L = -200 mA");
}
