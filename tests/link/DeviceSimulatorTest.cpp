// The simulated unit itself: framing, modes, defaults per model, tables and
// streaming.
#include "SimRig.h"

#include "config/FactoryCells.h"
#include "config/Fingerprint.h"
#include "kernel/Catalogue.h"
#include "link/Codecs.h"
#include "measure/ChannelDerivation.h"
#include "measure/DeviceCommandsLink.h"
#include "measure/MeasurementRun.h"
#include "switches/SwitchRanges.h"
#include "switches/SwitchTables.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

using sim::DeviceSimulator;

// ---------------------------------------------------------------- framing

TEST(SimulatorFraming, CommandsSplitAnywhereOrJoinedAreAllServed) {
  DeviceSimulator unit;
  QByteArray out;
  unit.setSink([&](const QByteArray& b) { out += b; });
  const QByteArray stream = QByteArray("PR\r$R\0\x14\0\r$R\0\x0D\0\r$V\0\0\0\r", 21);
  for (char c : stream) unit.receive(QByteArray(1, c));  // one byte at a time
  QByteArray joined;
  unit.setSink([&](const QByteArray& b) { joined += b; });
  unit.receive(stream);  // all at once
  EXPECT_EQ(out, joined);
  ASSERT_EQ(unit.transcript().size(), 8);
  // An argument byte equal to CR does not end the command early.
  EXPECT_EQ(unit.transcript()[2], QByteArray("$R\0\x0D\0\r", 6));
  EXPECT_TRUE(out.startsWith(QByteArray("OK\r\n*\0\x14\x70\r\n", 10)));
}

TEST(SimulatorFraming, LineNoiseIsSkipped) {
  DeviceSimulator unit;
  QByteArray out;
  unit.setSink([&](const QByteArray& b) { out += b; });
  unit.receive(QByteArray("\x00\xFFzz\r\n$V\0\0\0\r", 12));
  EXPECT_EQ(out, QByteArray("*\x02\x03\x00\x0C\r\n", 7));
  ASSERT_EQ(unit.transcript().size(), 1);
}

TEST(SimulatorModes, CellsOnlyInProgrammingMode) {
  DeviceSimulator unit;
  QByteArray out;
  unit.setSink([&](const QByteArray& b) { out += b; });
  const uint8_t before = unit.cell(0, 40);
  unit.receive(QByteArray("$W\0\x28\x07\r$R\0\x28\0\r", 12));
  EXPECT_TRUE(out.isEmpty());
  EXPECT_EQ(unit.cell(0, 40), before);
  unit.receive(QByteArray("PR\r$W\0\x28\x07\r$FPxx\r$W\0\x28\x09\r", 21));
  EXPECT_EQ(unit.cell(0, 40), 7);
  EXPECT_FALSE(unit.programming());
  unit.receive(QByteArray("MI\r"));
  EXPECT_TRUE(unit.streaming());
  unit.receive(QByteArray("SM\r"));
  EXPECT_FALSE(unit.streaming());
}

TEST(SimulatorModes, EscapedTranscriptIsOneReadableLine) {
  EXPECT_EQ(sim::EscapeBytes(QByteArray("$R\0\x01\\\r", 6)), QByteArray("$R\\x00\\x01\\\\\\r"));
}

TEST(SimulatorUnits, EachSerialIsAUnitOfItsOwnWithTheSameConfiguration) {
  for (const char* id : {"KRV2212A", "KRV2210", "KRV2220", "KRV2312D"}) {
    const ModelRow& model = *FindModel(QString::fromLatin1(id));
    sim::DeviceSimulator unit;
    unit.setModel(QString::fromLatin1(id));
    const sim::Bank factory = unit.bank(0);
    const std::vector<int> own = FingerprintCells(model, unit.identity());
    auto digest = [&](const sim::Bank& b) {
      std::map<int, uint8_t> cells;
      for (int a = 0; a < 256; ++a) cells[a] = b[static_cast<size_t>(a)];
      return FingerprintOf(&model, unit.identity(), cells);
    };
    const sim::Bank a = sim::WithOwnCalibration(factory, model, unit.identity(), 1);
    const sim::Bank b = sim::WithOwnCalibration(factory, model, unit.identity(), 2);
    EXPECT_EQ(sim::WithOwnCalibration(factory, model, unit.identity(), 1), a) << id;  // the same every time
    EXPECT_EQ(sim::WithOwnCalibration(factory, model, unit.identity(), 0), factory) << id;
    EXPECT_NE(digest(a).digest, digest(b).digest) << id;
    EXPECT_NE(digest(a).digest, digest(factory).digest) << id;
    // Only the fingerprint cells differ: the configuration is the model's.
    for (int addr = 0; addr < 256; ++addr)
      if (std::find(own.begin(), own.end(), addr) == own.end()) EXPECT_EQ(a[static_cast<size_t>(addr)], factory[static_cast<size_t>(addr)]) << id << " " << addr;
    EXPECT_TRUE(digest(sim::WithBlankCalibration(factory, model, unit.identity())).blank) << id;
    EXPECT_FALSE(digest(a).blank) << id;
  }
}

// --------------------------------------------------------- model defaults

struct Decoded {
  int row;
  double inHigh, inLow, outHigh, outLow;
};

// Variant 0's channel B repeats channel A's input (pass inputOfA).
Decoded DecodeChannel(const sim::Bank& m, int c, int decimals, bool isSigned,
                      bool inputOfA = false) {
  const int base = c == 0 ? 20 : 12;
  const int in = inputOfA ? 20 : base;
  const double scale = std::pow(10.0, decimals);
  return {m[c] & 31, JoinWord(m[in + 1], m[in], isSigned) / scale,
          JoinWord(m[in + 3], m[in + 2], isSigned) / scale,
          JoinWord(m[base + 5], m[base + 4], isSigned) / 1000.0,
          JoinWord(m[base + 7], m[base + 6], isSigned) / 1000.0};
}

TEST(SimulatorDefaults, EveryModelNamesItselfThroughItsIdentity) {
  for (const ModelRow& row : kModels) {
    const char* id = row.id;
    DeviceSimulator unit;
    ASSERT_TRUE(unit.setModel(QLatin1String(id)));
    EXPECT_EQ(IdentifyModel(unit.identity().variant, unit.cell(0, 4)), QLatin1String(id));
    EXPECT_EQ(unit.identity().deviceCode, 12);
  }
  DeviceSimulator unit;
  EXPECT_FALSE(unit.setModel(QStringLiteral("KRV9999")));
}

TEST(SimulatorDefaults, ThermocoupleModelHoldsTcK0To600With4To20mA) {
  DeviceSimulator unit;
  ASSERT_TRUE(unit.setModel(QStringLiteral("KRV2212A")));
  const sim::Bank m = unit.bank(0);
  const Decoded a = DecodeChannel(m, 0, 1, true);
  EXPECT_EQ(a.row, 8);  // "Tc K"
  EXPECT_DOUBLE_EQ(a.inHigh, 600);
  EXPECT_DOUBLE_EQ(a.inLow, 0);
  EXPECT_EQ(m[4] & 3, 1);  // "4-20 mA"
  EXPECT_DOUBLE_EQ(a.outHigh, 20);
  EXPECT_DOUBLE_EQ(a.outLow, 4);
  EXPECT_EQ(m[20], 0x70);  // 6000, low byte first
  EXPECT_EQ(m[21], 0x17);
  // Trip thresholds at 80 % and 20 % of the range.
  EXPECT_NEAR(DecodeFloat24(m[29], m[28], m[30]), 480, 0.1);
  EXPECT_NEAR(DecodeFloat24(m[32], m[31], m[33]), 120, 0.1);
  // Output calibration points: 0 mA at 800 counts, 20 mA at 3500.
  EXPECT_NEAR(DecodeFloat24(m[107], m[108], m[106]), 0, 1e-9);
  EXPECT_NEAR(DecodeFloat24(m[110], m[111], m[109]), 20, 1e-9);
}

TEST(SimulatorDefaults, ChannelsDecodeWithinTheirInputRows) {
  // Limits of the rows the defaults use: decimals, lower, upper.
  struct Row {
    int row, decimals;
    double lower, upper;
  };
  const Row rows[] = {{4, 3, 0, 10}, {5, 3, 0, 20}, {7, 1, -200, 1200}, {8, 1, -200, 1300},
                      {18, 1, -200, 850}, {23, 1, 0, 100}, {26, 1, 0, 110}};
  for (const ModelRow& row : kModels) {
    const char* id = row.id;
    DeviceSimulator unit;
    unit.setModel(QLatin1String(id));
    const uint8_t v = unit.identity().variant;
    if (v == 7) continue;  // frequency: checked below
    const sim::Bank m = unit.bank(0);
    for (int c = 0; c < 2; ++c) {
      const Row* r = nullptr;
      for (const Row& candidate : rows)
        if (candidate.row == (m[c] & 31)) r = &candidate;
      ASSERT_NE(r, nullptr) << id << " channel " << c << " row " << (m[c] & 31);
      const Decoded d = DecodeChannel(m, c, r->decimals, true, v == 0);
      EXPECT_GE(d.inLow, r->lower) << id;
      EXPECT_LE(d.inHigh, r->upper) << id;
      EXPECT_LT(d.inLow, d.inHigh) << id;
      EXPECT_LT(d.outLow, d.outHigh) << id;
    }
  }
  DeviceSimulator freq;
  freq.setModel(QStringLiteral("KRV2220"));
  const sim::Bank m = freq.bank(0);
  const int decimals = (m[4] >> 2) & 3;
  const Decoded d = DecodeChannel(m, 0, decimals, false);
  EXPECT_DOUBLE_EQ(d.inHigh, 1000);
  EXPECT_EQ(m[0] & 7, 0);  // NAMUR
}

TEST(SimulatorDefaults, OneChannelModelKeepsItsTripInCellsTenToFifteen) {
  DeviceSimulator unit;
  unit.setModel(QStringLiteral("KRV2210"));  // Pt 100 0..100 °C
  const auto ch = unit.simulatedChannels();
  ASSERT_TRUE(ch[0].hasTrip);
  EXPECT_NEAR(ch[0].trip.high, 80, 0.01);
  EXPECT_NEAR(ch[0].trip.low, 20, 0.01);
  // Channel B repeats channel A's input and keeps its own output.
  EXPECT_EQ(ch[1].settings.inputType, rows::Pt100);
  EXPECT_DOUBLE_EQ(ch[1].settings.inputMin, 0);
  EXPECT_DOUBLE_EQ(ch[1].settings.inputMax, 100);
  EXPECT_DOUBLE_EQ(ch[1].settings.outputMax, 10);
}

TEST(SimulatorDefaults, OneChannelModelFitsScaledTripsOfItsMilliampereRow) {
  DeviceSimulator unit;
  unit.setModel(QStringLiteral("KRV2210"));
  // "20 mA" 4..20 on channel A: this model keeps the thresholds in
  // thousandths of a milliampere.
  const WordBytes hi = SplitWord(20000), lo = SplitWord(4000);
  for (int c : {0, 1}) unit.setCell(0, c, rows::mA20);
  unit.setCell(0, 20, hi.lo), unit.setCell(0, 21, hi.hi);
  unit.setCell(0, 22, lo.lo), unit.setCell(0, 23, lo.hi);
  unit.fitTripsToRanges();
  const auto ch = unit.simulatedChannels();
  EXPECT_NEAR(ch[0].trip.high, 16.8, 0.01);
  EXPECT_NEAR(ch[0].trip.low, 7.2, 0.01);
  EXPECT_NEAR(DecodeFloat24(unit.cell(0, 11), unit.cell(0, 10), unit.cell(0, 12)), 16800, 1);
}

TEST(SimulatorDefaults, VariantFiveKeepsItsPhysicalScale) {
  DeviceSimulator unit;
  unit.setModel(QStringLiteral("KRV2312D"));
  const sim::Bank m = unit.bank(0);
  EXPECT_NEAR(DecodeFloat24(m[129], m[128], m[130]), 100, 0.01);
  EXPECT_NEAR(DecodeFloat24(m[132], m[131], m[133]), 0, 1e-9);
}

TEST(SimulatorDefaults, DefaultCellsHoldTheTablesDefaultsForTheStartUpSelector) {
  for (const char* model : {"KRV2210", "KRV2212A", "KRV2212B", "KRV2212C", "KRV2212D", "KRV2220"}) {
    DeviceSimulator unit;
    unit.setModel(QLatin1String(model));
    const uint8_t v = unit.identity().variant;
    const bool sign = v != 7;
    for (int t = 1; t <= 31; ++t) {
      const CalibrationTableWords w = DemoCalibrationTable(v, t);
      const int span = DefaultCellAddress(Table::Span, t, 1);
      const int zero = DefaultCellAddress(Table::Zero, t, 1);
      EXPECT_EQ(JoinWord(unit.cell(0, span + 1), unit.cell(0, span), sign), w.spanDefault)
          << model << " type " << t;
      EXPECT_EQ(JoinWord(unit.cell(0, zero + 1), unit.cell(0, zero), sign), w.zeroDefault)
          << model << " type " << t;
    }
  }
}

// "$S" t t 0 straight at the unit: '*', span words, zero words, a check
// byte, CR LF; words low byte first, two's complement.
QVector<int> AskTable(DeviceSimulator& unit, int t, int expectedWords, QByteArray* raw = nullptr) {
  QByteArray out;
  unit.setSink([&](const QByteArray& b) { out += b; });
  unit.receive(QByteArray("$S") + char(t) + char(t) + QByteArray(1, '\0') + '\r');
  if (raw) *raw = out;
  EXPECT_EQ(out.size(), 1 + 2 * expectedWords + 1 + 2);
  EXPECT_TRUE(out.startsWith('*'));
  EXPECT_TRUE(out.endsWith("\r\n"));
  QVector<int> words;
  for (int i = 0; i < expectedWords && 2 + 2 * i < out.size(); ++i)
    words << JoinWord(uint8_t(out[2 + 2 * i]), uint8_t(out[1 + 2 * i]), unit.identity().variant != 7);
  return words;
}

TEST(SimulatorTables, AnswersAreTheDemonstrationTables) {
  struct Case {
    const char* model;
    int points;  // span + zero
  };
  for (const Case c : {Case{"KRV2210", 78}, Case{"KRV2212A", 78}, Case{"KRV2212B", 78},
                       Case{"KRV2212C", 78}, Case{"KRV2212D", 32}, Case{"KRV2312D", 32},
                       Case{"KRV2220", 64}}) {
    DeviceSimulator unit;
    unit.setModel(QLatin1String(c.model));
    const uint8_t v = unit.identity().variant;
    for (int t : {1, 4, 5, 8, 16, 17, 18, 22, 23}) {
      const CalibrationTableWords w = DemoCalibrationTable(v, t);
      QVector<int> expected = w.span;
      expected << w.zero;
      EXPECT_EQ(AskTable(unit, t, c.points), expected) << c.model << " type " << t;
    }
  }
}

TEST(SimulatorTables, NegativeWordsGoOutAsTwosComplementLowByteFirst) {
  DeviceSimulator unit;  // KRV2212A; "Tc K" zero points start at -200.0
  QByteArray raw;
  const QVector<int> words = AskTable(unit, 8, 78, &raw);
  ASSERT_EQ(words.size(), 78);
  EXPECT_EQ(words[63], -2000);
  EXPECT_EQ(uint8_t(raw[1 + 2 * 63]), 0x30);  // -2000 = 0xF830
  EXPECT_EQ(uint8_t(raw[2 + 2 * 63]), 0xF8);
}

TEST(SimulatorTables, TheCommandSetReadsWhatTheWizardDemonstrates) {
  SimRig rig("KRV2212B");
  const QVector<int> list = rig.commands.ReadCalibrationTables(18);  // Pt 100
  EXPECT_FALSE(rig.state.commError);
  EXPECT_EQ(list, DemoCalibrationTable(3, 18).toList());
}

// ------------------------------------------------------------ streaming

TEST(SimulatorSweep, CoversBothEndsWithTheChannelsOutOfStep) {
  double lowest = 1, highest = 0;
  for (qint64 ms = 0; ms < 60000; ms += 100) {
    const double a = sim::SweepFraction(ms, 0);
    lowest = std::min(lowest, a);
    highest = std::max(highest, a);
    // Slow: a frame period moves the input by well under a percent.
    EXPECT_LT(std::fabs(sim::SweepFraction(ms + 100, 0) - a), 0.005);
  }
  EXPECT_NEAR(lowest, -0.1, 0.01);
  EXPECT_NEAR(highest, 1.1, 0.01);
  EXPECT_NEAR(sim::SweepFraction(0, 0), 0.2, 1e-9);
  EXPECT_GT(std::fabs(sim::SweepFraction(0, 0) - sim::SweepFraction(0, 1)), 0.3);
  EXPECT_DOUBLE_EQ(sim::SweepFraction(7000, 1), sim::SweepFraction(67000, 1));
}

TEST(SimulatorStreaming, FramesKeepTheirLengthPerIdentity) {
  for (const char* model : {"KRV2210", "KRV2212A", "KRV2312D", "KRV2220"}) {
    DeviceSimulator unit;
    unit.setModel(QLatin1String(model));
    const QByteArray f = unit.measureFrame(1234);
    EXPECT_EQ(f.size(), unit.frameDataLength() + 2) << model;
    EXPECT_EQ(f.front(), 'A');
    EXPECT_EQ(f.back(), '\r');
  }
  DeviceSimulator old;
  old.setIdentity({11, 2, 3, 0});
  EXPECT_EQ(old.measureFrame(0).size(), 5 + 2);
}

TEST(SimulatorStreaming, FramesFollowTheMemoryWrittenInProgrammingMode) {
  DeviceSimulator unit;  // Tc K 0..600 °C on channel A
  EXPECT_DOUBLE_EQ(unit.simulatedChannels()[0].settings.inputMax, 600);
  const QByteArray before = unit.measureFrame(20000);
  // Upper limit 300.0 °C: word 3000 = 0x0BB8, low byte at cell 20.
  unit.receive(QByteArray("PR\r$W\0\x14\xB8\r$W\0\x15\x0B\r$FPxx\r", 21));
  EXPECT_DOUBLE_EQ(unit.simulatedChannels()[0].settings.inputMax, 300);
  EXPECT_NE(unit.measureFrame(20000).mid(2), before.mid(2));
}

// A run of the measurement core against the unit, time kept by FakeClock.
struct SweptRun {
  SimRig rig;
  DeviceCommandsLink device{rig.commands};
  RangeTables tables;
  MeasurementRun run{rig.state, tables, device, rig.feedback};
  QList<DisplayFrame> frames;

  explicit SweptRun(const char* model) : rig(model) {
    rig.link.setFramePeriodMs(250);
  }
  // Frames over about one sweep (a minute of simulated time).
  void runOneSweep() {
    QObject::connect(&run, &MeasurementRun::frameShown, [this](const DisplayFrame& f) {
      frames << f;
      if (frames.size() >= 260) rig.state.measureRunning = false;
    });
    ASSERT_EQ(run.run(), RunEnd::Stopped);
  }
};

// Decoded inputs stay within the range widened by the sweep's 10 %, reach
// past both ends, and the trip lamp follows the thresholds the cells hold.
// A maximum trip is red above the high threshold, a minimum trip below the
// low one; both are yellow in between.
void ExpectSweepWithTrip(const SweptRun& r, double tripHigh, double tripLow, bool minimumTrip) {
  const Colour above = minimumTrip ? Colour::Green : Colour::Red;
  const Colour below = minimumTrip ? Colour::Red : Colour::Green;
  const ChannelSettings& s = r.run.setup().channels[0].settings;
  const double span = s.inputMax - s.inputMin;
  ASSERT_GT(span, 0);
  const double margin = 0.11 * span;
  double lowest = s.inputMax, highest = s.inputMin;
  int red = 0, yellow = 0, green = 0, under = 0, over = 0;
  for (const DisplayFrame& f : r.frames) {
    const ChannelDisplay& a = f.channels[0];
    ASSERT_TRUE(a.updated);
    ASSERT_TRUE(a.inputValid);
    EXPECT_GE(a.input, s.inputMin - margin);
    EXPECT_LE(a.input, s.inputMax + margin);
    lowest = std::min(lowest, a.input);
    highest = std::max(highest, a.input);
    under += a.underRange;
    over += a.overRange;
    // Away from the thresholds the lamp is certain.
    const double guard = 0.02 * span;
    if (a.input > tripHigh + guard) {
      EXPECT_EQ(f.lamps[0], above) << a.input;
      ++(minimumTrip ? green : red);
    } else if (a.input < tripLow - guard) {
      EXPECT_EQ(f.lamps[0], below) << a.input;
      ++(minimumTrip ? red : green);
    } else if (a.input > tripLow + guard && a.input < tripHigh - guard) {
      EXPECT_EQ(f.lamps[0], Colour::Yellow) << a.input;
      ++yellow;
    }
  }
  EXPECT_LT(lowest, s.inputMin);
  EXPECT_GT(highest, s.inputMax);
  EXPECT_GT(under, 0);
  EXPECT_GT(over, 0);
  EXPECT_GT(red, 0);
  EXPECT_GT(yellow, 0);
  EXPECT_GT(green, 0);
}

TEST(SimulatorStreaming, ConfiguredUnitSweepsItsRangeAndTrips) {
  SweptRun r("KRV2212A");  // Tc K 0..600 °C, trip at 480 / 120
  r.runOneSweep();
  const ChannelSettings& s = r.run.setup().channels[0].settings;
  EXPECT_DOUBLE_EQ(s.inputMax, 600);
  ExpectSweepWithTrip(r, 480, 120, false);
  // Outputs stay on the 4-20 mA scale inside the input range.
  for (const DisplayFrame& f : r.frames) {
    const ChannelDisplay& a = f.channels[0];
    if (a.input >= s.inputMin && a.input <= s.inputMax) {
      EXPECT_GE(a.output, 4 - 0.01);
      EXPECT_LE(a.output, 20 + 0.01);
    }
  }
}

TEST(SimulatorStreaming, SwitchConfiguredUnitSweepsTheSwitchRange) {
  SweptRun r("KRV2211A");
  r.rig.state.channelSelector = 0;
  const auto f = FactorySwitchBytes(r.rig.unit.identity());
  r.rig.unit.setSwitches({f[0], f[1], f[2], 0});
  r.rig.unit.fitTripsToRanges();
  r.runOneSweep();
  const ChannelSettings& s = r.run.setup().channels[0].settings;
  ASSERT_TRUE(s.fromSwitches);
  EXPECT_EQ(s.inputType, rows::TcK);
  EXPECT_NE(s.inputMax, 600);  // not the cells' range
  const double span = s.inputMax - s.inputMin;
  // The family bits of this model share cell 4's bit 6 with the trip
  // direction: its trip is a minimum trip.
  ASSERT_EQ(r.rig.unit.simulatedChannels()[0].trip.direction, 1);
  ExpectSweepWithTrip(r, s.inputMin + 0.8 * span, s.inputMin + 0.2 * span, true);
}

TEST(SimulatorStreaming, OneChannelModelSweepsAndTrips) {
  SweptRun r("KRV2210");  // Pt 100 0..100 °C, trip at 80 / 20
  r.runOneSweep();
  ExpectSweepWithTrip(r, 80, 20, false);
  const ChannelSettings& b = r.run.setup().channels[1].settings;
  EXPECT_DOUBLE_EQ(b.inputMin, 0);
  EXPECT_DOUBLE_EQ(b.inputMax, 100);
}

TEST(SimulatorStreaming, SwitchConfiguredOneChannelModelTripsOnItsSwitchRange) {
  SweptRun r("KRV2210");
  const auto f = FactorySwitchBytes(r.rig.unit.identity());
  r.rig.unit.setSwitches({f[0], f[1], f[2], 0});
  r.rig.unit.fitTripsToRanges();
  r.runOneSweep();
  const ChannelSettings& s = r.run.setup().channels[0].settings;
  ASSERT_TRUE(s.fromSwitches);
  EXPECT_EQ(s.inputType, rows::TcJ);
  const double span = s.inputMax - s.inputMin;
  ExpectSweepWithTrip(r, s.inputMin + 0.8 * span, s.inputMin + 0.2 * span, false);
  // Channel B repeats channel A's input, on the output its own switches
  // choose ("4-20 mA").
  const ChannelSettings& b = r.run.setup().channels[1].settings;
  EXPECT_TRUE(b.fromSwitches);
  EXPECT_EQ(b.inputType, rows::TcJ);
  EXPECT_DOUBLE_EQ(b.inputMin, s.inputMin);
  EXPECT_DOUBLE_EQ(b.inputMax, s.inputMax);
  EXPECT_DOUBLE_EQ(b.outputMin, 4);
  for (const DisplayFrame& f : r.frames) {
    const ChannelDisplay& a = f.channels[0];
    if (a.input < s.inputMin || a.input > s.inputMax) continue;
    EXPECT_NEAR(f.channels[1].output, 4 + 16 * (a.input - s.inputMin) / span, 0.05) << a.input;
  }
}

TEST(SimulatorStreaming, SwitchConfiguredTwoChannelUnitSweepsItsLabelledRanges) {
  SweptRun r("KRV2212D");
  // Channel A "4-20 mA" in and out, channel B "0-10 V" in and out.
  const auto f = FactorySwitchBytes(r.rig.unit.identity());
  r.rig.unit.setSwitches({f[0], f[1], f[2], 0});
  r.rig.unit.fitTripsToRanges();
  r.runOneSweep();
  const ChannelSettings& a = r.run.setup().channels[0].settings;
  const ChannelSettings& b = r.run.setup().channels[1].settings;
  ASSERT_TRUE(a.fromSwitches);
  EXPECT_DOUBLE_EQ(a.inputMin, 4);
  EXPECT_DOUBLE_EQ(a.inputMax, 20);
  EXPECT_EQ(a.inputUnit, "mA");
  EXPECT_DOUBLE_EQ(b.inputMin, 0);
  EXPECT_DOUBLE_EQ(b.inputMax, 10);
  EXPECT_EQ(b.inputUnit, "V");
  ExpectSweepWithTrip(r, 16.8, 7.2, false);
}

// Every range the two-channel switch selectors list reaches the run
// unchanged, on either channel, through the unit's tables.
TEST(SimulatorTables, TwoChannelInputPositionsGiveTheRangesTheirLabelsName) {
  static const QRegularExpression label(QStringLiteral("^(\\d+)-(\\d+) (mA|V)$"));
  for (const char* model : {"KRV2212D", "KRV2312D"}) {
    SimRig rig(model);
    DeviceCommandsLink device(rig.commands);
    const RangeTables tables;
    int checked = 0;
    for (int pos = 1; pos < OutputLabelsA().size(); ++pos) {
      const auto m = label.match(OutputLabelsA()[pos]);
      if (!m.hasMatch()) continue;
      // Both channels on the same position, so neither is left to "EEPROM".
      const std::array<uint8_t, 3> sw{uint8_t(pos | 1 << 5), uint8_t(pos | 2 << 5), 0};
      rig.unit.setSwitches({sw[0], sw[1], 0, 0});
      for (int c = 0; c < 2; ++c) {
        ChannelSettings s;
        const DeviceIdentity id = rig.state.identity;
        ASSERT_TRUE(DeriveSwitchChannel(id, tables, sw, c, SwitchInputRow(id, sw, c), device,
                                        rig.state, s));
        const QString where = QStringLiteral("%1 position %2 channel %3").arg(model).arg(pos).arg(c);
        EXPECT_DOUBLE_EQ(s.inputMin, m.captured(1).toDouble()) << where.toStdString();
        EXPECT_DOUBLE_EQ(s.inputMax, m.captured(2).toDouble()) << where.toStdString();
        EXPECT_EQ(s.inputUnit, m.captured(3)) << where.toStdString();
      }
      ++checked;
    }
    EXPECT_EQ(checked, 6);
  }
}

} // namespace
} // namespace pv::test
