// The simulated unit as the product's tests lean on it: it frames and
// answers the protocol as a unit does, every model starts from a
// configuration its rows accept, it answers the demonstration tables, its
// memory file loads whole or not at all, and a measurement run against it
// sweeps the configured range and trips where the cells or the switches say.
#include "SimRig.h"

#include "MemoryFile.h"
#include "config/FactoryCells.h"
#include "config/Fingerprint.h"
#include "kernel/Catalogue.h"
#include "link/Codecs.h"
#include "measure/ChannelDerivation.h"
#include "measure/DeviceCommandsLink.h"
#include "measure/MeasurementRun.h"
#include "measure/TestFrames.h"
#include "switches/SwitchRanges.h"
#include "switches/SwitchTables.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

using sim::DeviceSimulator;

TEST(SimulatedUnit, ServesTheProtocolAsAUnitDoes) {
  DeviceSimulator unit;
  QByteArray out;
  unit.setSink([&](const QByteArray& b) { out += b; });
  const QByteArray stream = QByteArray("PR\r$R\0\x14\0\r$R\0\x0D\0\r$V\0\0\0\r", 21);
  for (char c : stream) unit.receive(QByteArray(1, c));  // one byte at a time
  QByteArray joined;
  unit.setSink([&](const QByteArray& b) { joined += b; });
  unit.receive(stream);  // all at once
  EXPECT_EQ(out, joined);
  // An argument byte equal to CR does not end the command early.
  EXPECT_EQ(unit.transcript()[2], QByteArray("$R\0\x0D\0\r", 6));
  EXPECT_TRUE(out.startsWith(QByteArray("OK\r\n*\0\x14\x70\r\n", 10)));
  EXPECT_EQ(sim::EscapeBytes(QByteArray("$R\0\x01\\\r", 6)), QByteArray("$R\\x00\\x01\\\\\\r"));

  // Line noise before a command is skipped.
  DeviceSimulator fresh;
  out.clear();
  fresh.setSink([&](const QByteArray& b) { out += b; });
  fresh.receive(QByteArray("\x00\xFFzz\r\n$V\0\0\0\r", 12));
  EXPECT_EQ(out, QByteArray("*\x02\x03\x00\x0C\r\n", 7));

  // Cells change only in programming mode, which "$FP" leaves.
  out.clear();
  const uint8_t before = fresh.cell(0, 40);
  fresh.receive(QByteArray("$W\0\x28\x07\r$R\0\x28\0\r", 12));
  EXPECT_TRUE(out.isEmpty());
  EXPECT_EQ(fresh.cell(0, 40), before);
  fresh.receive(QByteArray("PR\r$W\0\x28\x07\r$FPxx\r$W\0\x28\x09\r", 21));
  EXPECT_EQ(fresh.cell(0, 40), 7);
  EXPECT_FALSE(fresh.programming());
  fresh.receive(QByteArray("MI\r"));
  EXPECT_TRUE(fresh.streaming());
  fresh.receive(QByteArray("SM\r"));
  EXPECT_FALSE(fresh.streaming());
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
      if (std::find(own.begin(), own.end(), addr) == own.end()) {
        EXPECT_EQ(a[static_cast<size_t>(addr)], factory[static_cast<size_t>(addr)]) << id << " " << addr;
      }
    EXPECT_TRUE(digest(sim::WithBlankCalibration(factory, model, unit.identity())).blank) << id;
    EXPECT_FALSE(digest(a).blank) << id;
  }
}

TEST(SimulatedUnit, EveryModelStartsFromAConfigurationItsRowsAccept) {
  // Input rows the defaults use: decimals, lower, upper.
  struct Row {
    int row, decimals;
    double lower, upper;
  };
  const Row rows[] = {{4, 3, 0, 10}, {5, 3, 0, 20}, {7, 1, -200, 1200}, {8, 1, -200, 1300},
                      {18, 1, -200, 850}, {23, 1, 0, 100}, {26, 1, 0, 110}};
  for (const ModelRow& model : kModels) {
    DeviceSimulator unit;
    ASSERT_TRUE(unit.setModel(QLatin1String(model.id)));
    EXPECT_EQ(IdentifyModel(unit.identity().variant, unit.cell(0, 4)), QLatin1String(model.id));
    EXPECT_EQ(unit.identity().deviceCode, 12);
    const uint8_t v = unit.identity().variant;
    const sim::Bank m = unit.bank(0);
    if (v == 7) {  // frequency: NAMUR, unsigned words with the decimals of cell 4
      EXPECT_EQ(m[0] & 7, 0);
      EXPECT_DOUBLE_EQ(JoinWord(m[21], m[20], false) / std::pow(10.0, (m[4] >> 2) & 3), 1000);
      continue;
    }
    for (int c = 0; c < 2; ++c) {
      // Channel B of variant 0 repeats channel A's input.
      const int in = c == 0 || v == 0 ? 20 : 12, out = c == 0 ? 24 : 16;
      const Row* r = nullptr;
      for (const Row& candidate : rows)
        if (candidate.row == (m[c] & 31)) r = &candidate;
      ASSERT_NE(r, nullptr) << model.id << " channel " << c << " row " << (m[c] & 31);
      const double scale = std::pow(10.0, r->decimals);
      EXPECT_GE(JoinWord(m[in + 3], m[in + 2], true) / scale, r->lower) << model.id;
      EXPECT_LE(JoinWord(m[in + 1], m[in], true) / scale, r->upper) << model.id;
      EXPECT_LT(JoinWord(m[in + 3], m[in + 2], true), JoinWord(m[in + 1], m[in], true)) << model.id;
      EXPECT_LT(JoinWord(m[out + 3], m[out + 2], true), JoinWord(m[out + 1], m[out], true)) << model.id;
    }
  }
  EXPECT_FALSE(DeviceSimulator().setModel(QStringLiteral("KRV9999")));

  // KRV2212A: Tc K 0..600 °C (6000 low byte first), 4-20 mA, trips at 80 %
  // and 20 %, output pair 0 and 20 mA.
  const sim::Bank m = DeviceSimulator().bank(0);
  EXPECT_EQ(m[0] & 31, 8);
  EXPECT_EQ(m[4] & 3, 1);
  EXPECT_EQ(m[20], 0x70);
  EXPECT_EQ(m[21], 0x17);
  EXPECT_NEAR(DecodeFloat24(m[29], m[28], m[30]), 480, 0.1);
  EXPECT_NEAR(DecodeFloat24(m[32], m[31], m[33]), 120, 0.1);
  EXPECT_NEAR(DecodeFloat24(m[107], m[108], m[106]), 0, 1e-9);
  EXPECT_NEAR(DecodeFloat24(m[110], m[111], m[109]), 20, 1e-9);
}

TEST(SimulatedUnit, KeepsEachModelsOwnCellsAndStreamsWhatTheyHold) {
  DeviceSimulator one;
  one.setModel(QStringLiteral("KRV2210"));  // Pt 100 0..100 °C, trip at 80 / 20
  const auto ch = one.simulatedChannels();
  ASSERT_TRUE(ch[0].hasTrip);
  EXPECT_NEAR(ch[0].trip.high, 80, 0.01);
  EXPECT_NEAR(ch[0].trip.low, 20, 0.01);
  // Channel B repeats channel A's input and keeps its own output.
  EXPECT_EQ(ch[1].settings.inputType, rows::Pt100);
  EXPECT_DOUBLE_EQ(ch[1].settings.inputMax, 100);
  EXPECT_DOUBLE_EQ(ch[1].settings.outputMax, 10);
  // On its "20 mA" row (4..20 on channel A) this model keeps the thresholds
  // in thousandths of a milliampere.
  const WordBytes hi = SplitWord(20000), lo = SplitWord(4000);
  for (int c : {0, 1}) one.setCell(0, c, rows::mA20);
  one.setCell(0, 20, hi.lo), one.setCell(0, 21, hi.hi);
  one.setCell(0, 22, lo.lo), one.setCell(0, 23, lo.hi);
  one.fitTripsToRanges();
  EXPECT_NEAR(one.simulatedChannels()[0].trip.high, 16.8, 0.01);
  EXPECT_NEAR(one.simulatedChannels()[0].trip.low, 7.2, 0.01);
  EXPECT_NEAR(DecodeFloat24(one.cell(0, 11), one.cell(0, 10), one.cell(0, 12)), 16800, 1);

  DeviceSimulator scaled;  // the physical scale of channel A: 100 and 0
  scaled.setModel(QStringLiteral("KRV2312D"));
  EXPECT_NEAR(DecodeFloat24(scaled.cell(0, 129), scaled.cell(0, 128), scaled.cell(0, 130)), 100, 0.01);
  EXPECT_NEAR(DecodeFloat24(scaled.cell(0, 132), scaled.cell(0, 131), scaled.cell(0, 133)), 0, 1e-9);

  DeviceSimulator unit;  // Tc K 0..600 °C: an upper limit written in programming mode streams
  const QByteArray before = unit.measureFrame(20000);
  unit.receive(QByteArray("PR\r$W\0\x14\xB8\r$W\0\x15\x0B\r$FPxx\r", 21));  // 300.0 °C = 0x0BB8
  EXPECT_DOUBLE_EQ(unit.simulatedChannels()[0].settings.inputMax, 300);
  EXPECT_NE(unit.measureFrame(20000).mid(2), before.mid(2));
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

TEST(SimulatedUnit, AnswersTheDemonstrationTables) {
  struct Case {
    const char* model;
    int points;          // span + zero
    bool defaultCells;   // the physical-scale model keeps other values there
  };
  for (const Case c : {Case{"KRV2210", 78, true}, Case{"KRV2212A", 78, true}, Case{"KRV2212B", 78, true},
                       Case{"KRV2212C", 78, true}, Case{"KRV2212D", 32, true}, Case{"KRV2312D", 32, false},
                       Case{"KRV2220", 64, true}}) {
    DeviceSimulator unit;
    unit.setModel(QLatin1String(c.model));
    const uint8_t v = unit.identity().variant;
    for (int t = 1; t <= 31; ++t) {
      const CalibrationTableWords w = DemoCalibrationTable(v, t);
      if (QList<int>{1, 4, 5, 8, 16, 17, 18, 22, 23}.contains(t)) {
        EXPECT_EQ(AskTable(unit, t, c.points), w.span + w.zero) << c.model << " type " << t;
      }
      if (!c.defaultCells) continue;
      // The default cells of the start-up selector hold the tables' defaults.
      const int span = DefaultCellAddress(Table::Span, t, 1), zero = DefaultCellAddress(Table::Zero, t, 1);
      EXPECT_EQ(JoinWord(unit.cell(0, span + 1), unit.cell(0, span), v != 7), w.spanDefault) << c.model << " " << t;
      EXPECT_EQ(JoinWord(unit.cell(0, zero + 1), unit.cell(0, zero), v != 7), w.zeroDefault) << c.model << " " << t;
    }
  }
  DeviceSimulator unit;  // KRV2212A; "Tc K" zero points start at -200.0
  QByteArray raw;
  EXPECT_EQ(AskTable(unit, 8, 78, &raw)[63], -2000);
  EXPECT_EQ(uint8_t(raw[1 + 2 * 63]), 0x30);  // -2000 = 0xF830
  EXPECT_EQ(uint8_t(raw[2 + 2 * 63]), 0xF8);

  SimRig rig("KRV2212B");  // through the command set, as the wizard reads them
  EXPECT_EQ(rig.commands.ReadCalibrationTables(18), DemoCalibrationTable(3, 18).toList());
  EXPECT_FALSE(rig.state.commError);
}

TEST(SimulatedUnit, MemoryFileLoadsWholeOrNotAtAll) {
  QVector<uint8_t> v;
  QString why;
  ASSERT_TRUE(sim::ParseMemoryFile(QStringLiteral(" 12\r\n+7\n255\n\n  \n"), &v, &why)) << why.toStdString();
  EXPECT_EQ(v, (QVector<uint8_t>{12, 7, 255}));
  ASSERT_TRUE(sim::ParseMemoryFile(QString(), &v, &why));
  EXPECT_TRUE(v.isEmpty());
  QString many;
  for (int i = 0; i < 257; ++i) many += QStringLiteral("1\n");
  const std::pair<QString, QString> refused[] = {
      {QStringLiteral("1\n256\n"), QStringLiteral("line 2: \"256\" is not a cell value 0..255")},
      {QStringLiteral("1\n\n3\n"), QStringLiteral("line 2: \"\" is not a cell value 0..255")},
      {QStringLiteral("-1\n"), QStringLiteral("line 1: \"-1\" is not a cell value 0..255")},
      {QStringLiteral("0x1F\n"), QStringLiteral("line 1: \"0x1F\" is not a cell value 0..255")},
      // The number conversion alone stops at a NUL byte.
      {QString::fromLatin1("0\0" "5\n", 4), QString::fromLatin1("line 1: \"0\0" "5\" is not a cell value 0..255", 40)},
      {many, QStringLiteral("has more than 256 values")},
  };
  for (const auto& [text, message] : refused) {
    v = {9};
    EXPECT_FALSE(sim::ParseMemoryFile(text, &v, &why)) << text.toStdString();
    EXPECT_EQ(why, message);
    EXPECT_EQ(v, QVector<uint8_t>{9});  // nothing loaded
  }
}

// What the unit streams, decoded by the window, shows the input it
// simulates, on every frame layout.
TEST(SimulatedUnit, FramesDecodeToTheSimulatedInputOnEveryLayout) {
  for (DeviceIdentity id : {DeviceIdentity{12, 2, 3, 0}, DeviceIdentity{12, 0, 3, 0}, DeviceIdentity{12, 5, 3, 0},
                            DeviceIdentity{12, 7, 0, 0}, DeviceIdentity{11, 3, 0, 0}}) {
    RunSetup setup;
    setup.identity = id;
    setup.lastChannel = 0;
    setup.channels[0] = Channel(-200, 800, "\u00b0C", 1);
    setup.channels[0].p0 = 3.9;  // a real unit's pair is never exact
    setup.channels[0].p1 = 20.1;
    SimulatedChannel a;
    a.settings = setup.channels[0].settings;
    a.p0 = 3.9;
    a.p1 = 20.1;
    const QByteArray data = EncodeSimulatedFrame(id, {a, SimulatedChannel{}}, {0.25, 0});
    EXPECT_EQ(data.size(), id.deviceCode == 11 ? 5 : id.variant == 5 ? 13 : id.variant % 7 == 0 ? 14 : 7);
    FrameBytes frame{};
    for (int i = 0; i < data.size(); ++i) frame[size_t(i) + 1] = uint8_t(data[i]);
    const DisplayFrame f = ComputeDisplay(setup, DecodeFrame(id, frame), 0);
    EXPECT_NEAR(f.channels[0].output, 8.0, 0.01) << int(id.variant);
    EXPECT_NEAR(f.channels[0].input, 50.0, 0.5) << int(id.variant);
    EXPECT_NEAR(f.channels[0].barFraction, 0.25, 0.001) << int(id.variant);
  }
}

// A run of the measurement core against the unit, time kept by FakeClock.
struct SweptRun {
  SimRig rig;
  DeviceCommandsLink device{rig.commands};
  RangeTables tables;
  MeasurementRun run{rig.state, tables, device, rig.feedback};
  QList<DisplayFrame> frames;

  explicit SweptRun(const char* model, bool fromSwitches = false) : rig(model) {
    rig.link.setFramePeriodMs(250);
    if (!fromSwitches) return;
    const auto f = FactorySwitchBytes(rig.unit.identity());
    rig.unit.setSwitches({f[0], f[1], f[2], 0});
    rig.unit.fitTripsToRanges();
  }
  // Frames over about one sweep (a minute of simulated time).
  void runOneSweep() {
    QObject::connect(&run, &MeasurementRun::frameShown, [this](const DisplayFrame& f) {
      frames << f;
      if (frames.size() >= 260) rig.state.measureRunning = false;
    });
    ASSERT_EQ(run.run(), RunEnd::Stopped);
  }
  const ChannelSettings& settings(int c) const { return run.setup().channels[size_t(c)].settings; }
};

// Decoded inputs stay within the range widened by the sweep's 10 %, reach
// past both ends, and the trip lamp follows the thresholds, 80 % and 20 %
// of the range: a maximum trip is red above the high one, a minimum trip
// below the low one; both are yellow in between.
void ExpectSweepWithTrip(const SweptRun& r, bool minimumTrip) {
  const Colour above = minimumTrip ? Colour::Green : Colour::Red;
  const Colour below = minimumTrip ? Colour::Red : Colour::Green;
  const ChannelSettings& s = r.settings(0);
  const double span = s.inputMax - s.inputMin;
  ASSERT_GT(span, 0);
  const double tripHigh = s.inputMin + 0.8 * span, tripLow = s.inputMin + 0.2 * span, guard = 0.02 * span;
  double lowest = s.inputMax, highest = s.inputMin;
  int under = 0, over = 0;
  std::map<Colour, int> seen, alarm;
  for (const DisplayFrame& f : r.frames) {
    const ChannelDisplay& a = f.channels[0];
    ASSERT_TRUE(a.updated && a.inputValid);
    EXPECT_GE(a.input, s.inputMin - 0.11 * span);
    EXPECT_LE(a.input, s.inputMax + 0.11 * span);
    lowest = std::min(lowest, a.input);
    highest = std::max(highest, a.input);
    under += a.underRange;
    over += a.overRange;
    // Away from the thresholds the lamp is certain.
    const Colour want = a.input > tripHigh + guard ? above
                        : a.input < tripLow - guard ? below
                        : a.input > tripLow + guard && a.input < tripHigh - guard ? Colour::Yellow
                                                                                  : f.lamps[0];
    EXPECT_EQ(f.lamps[0], want) << a.input;
    ++seen[want];
    ++alarm[f.lamps[2]];  // red while an input is past its over-range band
  }
  EXPECT_LT(lowest, s.inputMin);
  EXPECT_GT(highest, s.inputMax);
  EXPECT_GT(under, 0);
  EXPECT_GT(over, 0);
  for (Colour c : {Colour::Red, Colour::Yellow, Colour::Green}) EXPECT_GT(seen[c], 0);
  EXPECT_GT(alarm[Colour::Red], 0);
  EXPECT_GT(alarm[Colour::Green], 0);
}

TEST(SimulatedRun, ConfiguredUnitsSweepTheirRangeAndTrip) {
  // The sweep: slow (under half a percent a frame), from 20 % at the start,
  // a minute a turn, channel B well out of step with A.
  for (qint64 ms = 0; ms < 60000; ms += 100)
    EXPECT_LT(std::fabs(sim::SweepFraction(ms + 100, 0) - sim::SweepFraction(ms, 0)), 0.005);
  EXPECT_NEAR(sim::SweepFraction(0, 0), 0.2, 1e-9);
  EXPECT_GT(std::fabs(sim::SweepFraction(0, 0) - sim::SweepFraction(0, 1)), 0.3);
  EXPECT_DOUBLE_EQ(sim::SweepFraction(7000, 1), sim::SweepFraction(67000, 1));

  SweptRun r("KRV2212A");  // Tc K 0..600 °C, trip at 480 / 120
  r.runOneSweep();
  EXPECT_DOUBLE_EQ(r.settings(0).inputMax, 600);
  ExpectSweepWithTrip(r, false);
  // Outputs stay on the 4-20 mA scale inside the input range.
  for (const DisplayFrame& f : r.frames) {
    const ChannelDisplay& a = f.channels[0];
    if (a.input < 0 || a.input > 600) continue;
    EXPECT_GE(a.output, 4 - 0.01);
    EXPECT_LE(a.output, 20 + 0.01);
  }
  SweptRun one("KRV2210");  // Pt 100 0..100 °C; channel B repeats the input
  one.runOneSweep();
  ExpectSweepWithTrip(one, false);
  EXPECT_DOUBLE_EQ(one.settings(1).inputMin, 0);
  EXPECT_DOUBLE_EQ(one.settings(1).inputMax, 100);
}

TEST(SimulatedRun, SwitchConfiguredUnitsSweepTheirSwitchRange) {
  SweptRun tc("KRV2211A", true);
  tc.rig.state.channelSelector = 0;
  tc.runOneSweep();
  ASSERT_TRUE(tc.settings(0).fromSwitches);
  EXPECT_EQ(tc.settings(0).inputType, rows::TcK);
  EXPECT_NE(tc.settings(0).inputMax, 600);  // not the cells' range
  // The family bits of this model share cell 4's bit 6 with the trip
  // direction: its trip is a minimum trip.
  ASSERT_EQ(tc.rig.unit.simulatedChannels()[0].trip.direction, 1);
  ExpectSweepWithTrip(tc, true);

  // One input, two outputs: channel B repeats channel A's input on the
  // output its own switches choose ("4-20 mA").
  SweptRun one("KRV2210", true);
  one.runOneSweep();
  const ChannelSettings& a = one.settings(0);
  const ChannelSettings& b = one.settings(1);
  ASSERT_TRUE(a.fromSwitches && b.fromSwitches);
  EXPECT_EQ(a.inputType, rows::TcJ);
  ExpectSweepWithTrip(one, false);
  EXPECT_EQ(b.inputType, rows::TcJ);
  EXPECT_DOUBLE_EQ(b.inputMin, a.inputMin);
  EXPECT_DOUBLE_EQ(b.inputMax, a.inputMax);
  EXPECT_DOUBLE_EQ(b.outputMin, 4);
  const double span = a.inputMax - a.inputMin;
  for (const DisplayFrame& f : one.frames) {
    const double in = f.channels[0].input;
    if (in < a.inputMin || in > a.inputMax) continue;
    EXPECT_NEAR(f.channels[1].output, 4 + 16 * (in - a.inputMin) / span, 0.05) << in;
  }

  // The two-channel "C" unit's switches hold one input for both channels.
  SweptRun c("KRV2212C", true);
  c.runOneSweep();
  EXPECT_EQ(c.settings(0).inputType, rows::Pot2K);
  EXPECT_EQ(c.settings(1).inputType, rows::Pot2K);
  EXPECT_DOUBLE_EQ(c.settings(1).inputMax, c.settings(0).inputMax);
  EXPECT_EQ(c.run.setup().channels[1].inputLabel, c.run.setup().channels[0].inputLabel);

  // Two channels with ranges of their own: "4-20 mA" in on A, "0-10 V" on B.
  SweptRun d("KRV2212D", true);
  d.runOneSweep();
  EXPECT_DOUBLE_EQ(d.settings(0).inputMin, 4);
  EXPECT_DOUBLE_EQ(d.settings(0).inputMax, 20);
  EXPECT_EQ(d.settings(0).inputUnit, "mA");
  EXPECT_DOUBLE_EQ(d.settings(1).inputMax, 10);
  EXPECT_EQ(d.settings(1).inputUnit, "V");
  ExpectSweepWithTrip(d, false);
}

TEST(SimulatedRun, StopWhileAFrameIsAwaitedSendsOneStopAfterIt) {
  SweptRun r("KRV2212A");
  QObject::connect(&r.run, &MeasurementRun::frameShown, [&](const DisplayFrame& f) {
    r.frames << f;
    // Stop pressed half-way to the fourth frame.
    if (r.frames.size() == 3) r.rig.clock.schedule(r.rig.clock.nowMs() + 30, [&] { r.rig.state.measureRunning = false; });
  });
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);
  EXPECT_EQ(r.frames.size(), 4);
  const auto& t = r.rig.unit.transcript();
  EXPECT_EQ(t.mid(t.lastIndexOf(QByteArray("MI\r")) + 1), (QList<QByteArray>{"SM\r"}));
  EXPECT_FALSE(r.rig.unit.streaming());
  EXPECT_FALSE(r.rig.state.measureRunning || r.rig.state.measureLoopActive);
  // The unit answers the configuration read that follows.
  const CellBytes cells = r.rig.commands.ReadCells(0, 0, 4);
  EXPECT_FALSE(r.rig.state.commError);
  EXPECT_EQ(cells[0], r.rig.unit.cell(0, 0));
  EXPECT_TRUE(r.rig.prompter.asked().empty());
}

// Every range the two-channel switch selectors list reaches the run
// unchanged, on either channel, through the unit's tables.
TEST(SimulatedRun, TwoChannelInputPositionsGiveTheRangesTheirLabelsName) {
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
        ASSERT_TRUE(DeriveSwitchChannel(id, tables, sw, c, SwitchInputRow(id, sw, c), device, rig.state, s));
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
