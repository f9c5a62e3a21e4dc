// The bench's physics through the instruments' and the unit's own bytes:
// routing and calibrator reach the unit's input, the streamed DAC code
// follows the stored gain, a forced code reaches the meter, and a good unit
// converges in one calibration step while each fault spoils exactly its
// own check. The calibration arithmetic here is written out by hand, as
// the calibration steps do it.
#include "Bench.h"
#include "link/Codecs.h"

#include <cmath>
#include <gtest/gtest.h>

namespace pv::bench {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

class Rig {
public:
  explicit Rig(const char* model = "KRV2212A", UnitTruth truth = {}, BenchFaults faults = {},
               bool nominal = true)
      : bench_(*FindModel(QString::fromLatin1(model)), nominal ? NominalTruth(*FindModel(QString::fromLatin1(model)), 0) : truth,
               faults) {
    bench_.unit().setSink([this](const QByteArray& b) { unitOut += b; });
    bench_.meter(0).setSink([this](const QByteArray& b) { meterOut += b; });
    bench_.supply().setSink([this](const QByteArray& b) { supplyOut += b; });
    bench_.calibrator().setSink([this](const QByteArray& b) { calibratorOut += b; });
  }
  SimulatedBench& bench() { return bench_; }
  ChannelTruth& truth(int c) { return bench_.truth().channel[static_cast<size_t>(c)]; }

  // As the switching routine sends a pattern: "101A102C" -> open 101, close 102.
  void route(const QByteArray& pattern) {
    for (int i = 3; i < pattern.size(); ++i) {
      if (pattern[i] != 'A' && pattern[i] != 'C') continue;
      bench_.switches().receive((pattern[i] == 'A' ? "rout:open (@" : "rout:close (@") + pattern.mid(i - 3, 3) + ")\r\n");
    }
  }
  void calibratorFrame(int command, quint32 data) {
    const int d1 = data >> 24, d2 = (data >> 16) & 255, d3 = (data >> 8) & 255, d4 = data & 255;
    bench_.calibrator().receive(Bytes({1, command, d1, d2, d3, d4, (d1 + d2 + d3 + d4) & 127}));
  }
  void calibratorFunction(int f) { calibratorFrame(0x80, quint32(f) << 24); }
  void calibrator(qint32 value) { calibratorFrame(0x81, static_cast<quint32>(value)); }

  void unit(const QByteArray& command) { bench_.unit().receive(command); }
  void writeCells(std::initializer_list<std::pair<int, int>> cells) {
    unit("PR\r");
    for (auto [a, v] : cells) unit("$W" + Bytes({0, a, v}) + "\r");
    unit("$FP00\r");
  }
  void writeWord(int at, int value) { writeCells({{at, value & 255}, {at + 1, (value >> 8) & 255}}); }
  void writeFloat(int at, double value) {
    const Float24Bytes f = EncodeFloat24(value);
    writeCells({{at, f.s}, {at + 1, f.m1}, {at + 2, f.m2}});
  }
  double storedFloat(int at) {
    return DecodeFloat24(bench_.unit().cell(0, at + 1), bench_.unit().cell(0, at + 2), bench_.unit().cell(0, at));
  }
  void force(int c, int code) { unit((c == 0 ? "$I" : "$i") + Bytes({code >> 8, code & 255, 0}) + "\r"); }

  // Channel c's value in the streamed frame (a ShortFloat at data bytes
  // 3c + 2 .. 3c + 4).
  double frameValue(int c) {
    const QByteArray f = bench_.unit().measureFrame(0);
    const int at = 3 * c + 2;
    return DecodeShortFloat(uint8_t(f[at]), uint8_t(f[at + 1]), uint8_t(f[at + 2]));
  }
  // The input step's reading: D -> current with the current pair -> input units.
  double measure(int c, double min, double max) {
    const int pair = c == 0 ? 106 : 118;
    const double k1 = storedFloat(pair), k2 = storedFloat(pair + 3);
    const double current = k1 + (k2 - k1) * (frameValue(c) - 800) / 2700;
    return min + (max - min) * current / 20;
  }
  double readMeter(const char* function) {
    meterOut.clear();
    bench_.meter(0).receive(QByteArray(":CONF:") + function + ":DC\r\n:READ?\r\n");
    return meterOut.trimmed().toDouble();
  }
  // The ambient read as the calibration does it: bracket, set-up, read.
  double ambient() {
    calibratorFrame(0x82, 0x01000000);
    calibratorFrame(0x80, 0x08010100);
    calibratorFrame(0x80, 0x08010000);
    calibratorFrame(0x80, 0x080100C0);
    calibratorOut.clear();
    calibratorFrame(0x01, 0x080100C0);
    const QByteArray a = calibratorOut.mid(2, 4);
    calibratorFrame(0x82, 0);
    const quint32 v = (quint32(uint8_t(a[0])) << 24) | (quint32(uint8_t(a[1])) << 16) |
                      (quint32(uint8_t(a[2])) << 8) | quint32(uint8_t(a[3]));
    return static_cast<qint32>(v) / 100.0;
  }
  int supplyMilliamps(const char* volts) {
    supplyOut.clear();
    bench_.supply().receive(QByteArray("SV ") + volts + "\rKOE\rA\r");
    return static_cast<int>(std::lround(supplyOut.mid(1, 5).toDouble() * 1000));
  }

  // Channel set-up of the run: output words 20.000 / 0 and the channel's routing.
  void prepareChannel(int c) {
    const int out = c == 0 ? 24 : 16;
    writeWord(out, 20000);
    writeWord(out + 2, 0);
    route(c == 0 ? "101A102A" : "101C102C");
  }
  // Range selection and limits of an input step.
  void selectRange(int c, int code, int maxWord, int minWord) {
    writeCells({{c, code}, {3 + 2 * c, 0}});
    const int base = c == 0 ? 20 : 12;
    writeWord(base, maxWord);
    writeWord(base + 2, minWord);
  }

  QByteArray unitOut, meterOut, supplyOut, calibratorOut;

private:
  SimulatedBench bench_;
};

const QByteArray kMillivoltPattern = "103A104A105A106A107A113C114A";
const QByteArray kVoltPattern = "103A104A105C106C107A113C114A";
const QByteArray kMilliampPattern = "103C104A105A106C107C113C114A";

TEST(BenchCoupling, StreamedCodeFollowsTheStoredGain) {
  Rig rig;
  rig.truth(0).gain[1] = 56.5;
  rig.prepareChannel(0);
  rig.route(kMillivoltPattern);
  rig.calibratorFunction(0);
  rig.selectRange(0, 1, 9000, 0);  // 90 mV, two decimals
  rig.writeFloat(50, 56.5);        // stored gain equal to the true one
  rig.calibrator(45000);           // 45 mV
  // Half of 0..90 mV is 10 mA: code 800 + 2700 * 10 / 20 with the default pair.
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 2150);
  rig.writeFloat(50, 2 * 56.5);  // twice the stored gain: the unit reads 90 mV
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 3500);
  rig.writeFloat(50, 50);  // 45 * 50 / 56.5 = 39.82 mV -> 8.85 mA -> code 1995
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 1995);
}

TEST(BenchCoupling, ThirteenByteFrameAlsoCarriesBothInputs) {
  Rig rig("KRV2312D");
  rig.truth(1).gain[4] = 19900;
  rig.prepareChannel(1);
  rig.route(kVoltPattern);
  rig.calibratorFunction(2);
  rig.selectRange(1, 4, 10000, 0);
  rig.writeFloat(38, 19900);
  rig.writeCells({{85, 0}});
  rig.truth(1).zero[4] = 0;
  rig.calibrator(25000);  // 2.5 V
  EXPECT_EQ(rig.bench().unit().measureFrame(0).size(), 15);
  EXPECT_NEAR(rig.frameValue(3), 2.5, 2.5 / 32768);
  EXPECT_DOUBLE_EQ(rig.frameValue(1), 800 + 2700 * 0.25);
}

TEST(BenchCoupling, UnroutedInputReadsNothing) {
  Rig rig;
  rig.prepareChannel(0);
  rig.route(kMillivoltPattern);
  rig.calibratorFunction(0);
  rig.selectRange(0, 1, 9000, 0);
  rig.writeFloat(50, 56.5);
  rig.calibrator(90000);
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 3500);
  rig.route("113A");  // calibrator leads off
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 800);
  rig.route("113C101C");  // calibrator on channel B
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 800);
  rig.route("101A" + kVoltPattern);  // the 10 V terminals: not the 90 mV input
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 800);
  rig.route(kMillivoltPattern);
  rig.calibratorFunction(3);  // a current into the voltage input
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 800);
}

TEST(BenchCoupling, ChannelBCodeIsCarriedIntact) {
  Rig rig;
  rig.truth(1).gain[2] = 113;
  rig.prepareChannel(1);
  rig.route(kMillivoltPattern);
  rig.calibratorFunction(0);
  rig.selectRange(1, 2, 20000, 0);  // 200 mV
  rig.writeFloat(32, 113);
  rig.calibrator(150000);  // 150 mV -> 15 mA -> 2825
  EXPECT_DOUBLE_EQ(rig.frameValue(1), 2825);
  EXPECT_DOUBLE_EQ(rig.frameValue(0), rig.bench().streamedCode(0));
}

// One input step of the run: k0, gain point, k1 = k0 * G / m, then the
// Min, Half and Max checks. Returns k1.
struct StepResult {
  double k1;
  std::array<double, 3> readings;
};
StepResult InputStep(Rig& rig, int c, int code, int gainCell, double k0, double gain, double calScale,
                     double min, double max) {
  rig.writeFloat(gainCell, k0);
  rig.calibrator(static_cast<qint32>(gain * calScale));
  const double m = rig.measure(c, min, max);
  const double k1 = k0 * gain / m;
  rig.writeFloat(gainCell, k1);
  StepResult r{k1, {}};
  const double points[3] = {min, (min + max) / 2, max};
  for (int i = 0; i < 3; ++i) {
    rig.calibrator(static_cast<qint32>(std::lround(points[i] * calScale)));
    r.readings[static_cast<size_t>(i)] = rig.measure(c, min, max);
  }
  (void)code;
  return r;
}

TEST(BenchCoupling, OneGainStepLandsOnTheTrueGain) {
  Rig rig;
  rig.truth(0).gain[1] = 56.9;
  rig.prepareChannel(0);
  rig.route(kMillivoltPattern);
  rig.calibratorFunction(0);
  rig.selectRange(0, 1, 9000, 0);
  const StepResult r = InputStep(rig, 0, 1, 50, 50, 50, 1000, 0, 90);
  EXPECT_NEAR(r.k1, 56.9, 56.9 * 0.001);
  EXPECT_LE(std::fabs(r.k1 - 56.5), 56.5 / 50);  // the gain check passes
  for (int i = 0; i < 3; ++i) EXPECT_LE(std::fabs(r.readings[i] - 45.0 * i), 90.0 / 1000) << "point " << i;
}

TEST(BenchCoupling, WrongGainFailsOnlyItsRange) {
  BenchFaults faults;
  ASSERT_EQ(ApplyFault(faults, QStringLiteral("wrong-gain=90mV")), QString());
  Rig rig("KRV2212A", {}, faults);
  rig.truth(0).gain[1] = 56.5;
  rig.truth(0).gain[2] = 113;
  rig.prepareChannel(0);
  rig.route(kMillivoltPattern);
  rig.calibratorFunction(0);
  rig.selectRange(0, 1, 9000, 0);
  const StepResult bad = InputStep(rig, 0, 1, 50, 50, 50, 1000, 0, 90);
  EXPECT_GT(std::fabs(bad.k1 - 56.5), 56.5 / 50);
  rig.selectRange(0, 2, 20000, 0);
  const StepResult good = InputStep(rig, 0, 2, 53, 125, 125, 1000, 0, 200);
  EXPECT_LE(std::fabs(good.k1 - 113), 113.0 / 50);
}

TEST(BenchCoupling, TenVoltRangeTrimsItsZeroAndConverges) {
  Rig rig;
  rig.truth(0).gain[4] = 19950;
  rig.truth(0).zero[4] = 0.0034;  // 3.4 mV
  rig.prepareChannel(0);
  rig.route(kVoltPattern);
  rig.calibratorFunction(2);
  rig.selectRange(0, 4, 10000, 0);
  rig.writeFloat(59, 20000);  // k0 = 4 G
  rig.writeCells({{74, 0}});
  rig.calibrator(0);
  const double m0 = rig.measure(0, 0, 10000);
  EXPECT_NEAR(m0, 3.4, 10000.0 / 2700);  // within one code
  const int trim = static_cast<int>(std::lround(m0 > 0 ? 255 - m0 : -m0));
  rig.writeCells({{74, trim}});
  EXPECT_NEAR(rig.bench().measuredValue(0) * 1000, 0, 1.0);  // mV
  const StepResult r = InputStep(rig, 0, 4, 59, 20000, 5000, 10, 0, 10000);
  EXPECT_LE(std::fabs(r.k1 - 19900), 19900.0 / 50);
  for (int i = 0; i < 3; ++i) EXPECT_LE(std::fabs(r.readings[i] - 5000.0 * i), 10.0) << "point " << i;
}

TEST(BenchCoupling, TrimByteIsOnesComplementInTheLastDecimal) {
  Rig rig;
  rig.truth(0).zero[4] = 0.0034;
  rig.route(kVoltPattern);
  rig.calibratorFunction(2);
  rig.selectRange(0, 4, 10000, 0);
  rig.calibrator(0);
  rig.writeCells({{74, 252}});  // 255 - 3: minus 3 mV
  EXPECT_NEAR(rig.bench().measuredValue(0), 0.0004, 1e-12);
  rig.writeCells({{74, 3}});
  EXPECT_NEAR(rig.bench().measuredValue(0), 0.0064, 1e-12);
  rig.writeCells({{85, 252}});  // channel B's trim leaves A alone
  EXPECT_NEAR(rig.bench().measuredValue(0), 0.0064, 1e-12);
}

TEST(BenchCoupling, TwentyMilliampRangeConverges) {
  Rig rig;
  rig.truth(0).gain[5] = 38400;
  rig.prepareChannel(0);
  rig.route(kMilliampPattern);
  rig.calibratorFunction(3);
  rig.selectRange(0, 5, 20000, 0);
  const StepResult r = InputStep(rig, 0, 5, 62, 40000, 10000, 10, 0, 20000);
  EXPECT_LE(std::fabs(r.k1 - 38500), 38500.0 / 50);
  for (int i = 0; i < 3; ++i) EXPECT_LE(std::fabs(r.readings[i] - 10000.0 * i), 20.0) << "point " << i;
}

// The input rows of the run's step table: code, gain cells A/B, gain
// point, expected k1, Min, Max, calibrator function and scale, pattern,
// k0 rule.
struct Row {
  int code, cellA, cellB;
  double gain, expected, min, max;
  int function;
  double scale;
  QByteArray pattern;
  double k0;
};
const Row kRows[] = {
    {1, 50, 29, 50, 56.5, 0, 90, 0, 1000, kMillivoltPattern, 50},
    {2, 53, 32, 125, 113, 0, 200, 0, 1000, kMillivoltPattern, 125},
    {3, 56, 35, 500, 453, 0, 800, 1, 100, kMillivoltPattern, 500},
    {4, 59, 38, 5000, 19900, 0, 10000, 2, 10, kVoltPattern, 20000},
    {5, 62, 41, 10000, 38500, 0, 20000, 3, 10, kMilliampPattern, 40000},
    {16, 65, 44, 1400, 1, 0, 2000, 5, 100, "103C104C105A106C107A113C114A", 1},
    {17, 68, 47, 300, 1, 0, 500, 4, 1000, "103C104C105A106C107A113C114A", 1},
};

TEST(BenchCoupling, SpreadGoodUnitPassesEveryInputRowOfBothChannels) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    Rig rig("KRV2212A", NominalTruth(*FindModel(u"KRV2212A"), seed), {}, false);
    for (int c = 0; c < 2; ++c) {
      rig.prepareChannel(c);
      for (const Row& row : kRows) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " channel " << c << " code " << row.code);
        rig.route(row.pattern);
        rig.calibratorFunction(row.function);
        rig.calibrator(0);
        const int decimals = row.code == 4 || row.code == 5 ? 0 : (row.code <= 2 ? 2 : 1);
        const int scale = static_cast<int>(std::pow(10, decimals));
        rig.selectRange(c, row.code, static_cast<int>(row.max) * scale, static_cast<int>(row.min) * scale);
        if (row.code == 4 || row.code == 5) {  // zero trim first
          const int cell = (c == 0 ? 74 : 85) + (row.code - 4);
          rig.writeCells({{cell, 0}});
          const double m = rig.measure(c, row.min, row.max);
          rig.writeCells({{cell, static_cast<int>(std::lround(m > 0 ? 255 - m : -m))}});
        }
        const StepResult r = InputStep(rig, c, row.code, c == 0 ? row.cellA : row.cellB, row.k0, row.gain,
                                       row.scale, row.min, row.max);
        EXPECT_LE(std::fabs(r.k1 - row.expected), row.expected / 50);
        for (int i = 0; i < 3; ++i)
          EXPECT_LE(std::fabs(r.readings[i] - (row.min + (row.max - row.min) * i / 2)), (row.max - row.min) / 1000)
              << "point " << i;
      }
    }
  }
}

TEST(BenchCoupling, ForcedCodeReachesTheMeterThroughTheRouting) {
  Rig rig;
  rig.truth(0).volts = {-2.9, 0.0037};
  rig.truth(0).milliamps = {-5.8, 0.0074};
  rig.route("101A102A108A");
  rig.unit("PR\r");
  rig.force(0, 1000);
  EXPECT_NEAR(rig.readMeter("VOLT"), 0.8, 1e-9);  // -2.9 + 0.0037 * 1000
  EXPECT_NEAR(rig.readMeter("CURR"), 0.0, 1e-12);  // the meter is on the voltage terminals
  rig.route("108C");
  EXPECT_NEAR(rig.readMeter("CURR"), 0.0016, 1e-9);  // 1.6 mA in amperes
  rig.route("102C");  // the meter moves to channel B, which nobody forces
  EXPECT_NE(rig.readMeter("CURR"), 0.0016);
  rig.unit("$FP00\r");
  EXPECT_EQ(rig.bench().forcedCode(0), -1);
}

// The output step: force L and H, store the pair, verify Zero, Half, Span
// and the load. Returns the readings (Zero, Half, Span, load).
std::array<double, 4> OutputStep(Rig& rig, int c, bool voltage) {
  const int at = (c == 0 ? 100 : 112) + (voltage ? 0 : 6);
  const double max = voltage ? 10 : 20, divisor = voltage ? 1 : 0.001;
  const char* fn = voltage ? "VOLT" : "CURR";
  rig.route(voltage ? "108A" : "108C");
  rig.unit("PR\r");
  rig.force(c, 800);
  const double r1 = rig.readMeter(fn) / divisor;
  rig.force(c, 3500);
  const double r2 = rig.readMeter(fn) / divisor;
  rig.unit("$FP00\r");
  rig.writeFloat(at, r1);
  rig.writeFloat(at + 3, r2);
  std::array<double, 4> out{};
  const double points[3] = {0, max / 2, max};
  for (int i = 0; i < 3; ++i) {
    rig.unit("PR\r");
    // A code beyond the DAC's range is sent as its top.
    const double code = std::round(800 + 2700 * (points[i] - r1) / (r2 - r1));
    rig.force(c, static_cast<int>(std::clamp(code, 0.0, 4095.0)));
    out[static_cast<size_t>(i)] = rig.readMeter(fn) / divisor;
    rig.unit("$FP00\r");
  }
  rig.route(voltage ? "109A110A111A112A" : "109C110C111C112C");
  rig.unit("PR\r");
  rig.force(c, 0);
  out[3] = rig.readMeter(fn) / divisor;
  rig.unit("$FP00\r");
  rig.route("109A110A111C112C");
  return out;
}

TEST(BenchCoupling, OutputStepConvergesOnAGoodUnit) {
  for (const unsigned seed : {1u, 2u, 7u}) {
    Rig rig("KRV2212A", NominalTruth(*FindModel(u"KRV2212A"), seed), {}, false);
    for (int c = 0; c < 2; ++c) {
      rig.route(c == 0 ? "101A102A" : "101C102C");
      for (const bool voltage : {true, false}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " channel " << c << (voltage ? " V" : " mA"));
        const auto r = OutputStep(rig, c, voltage);
        const double max = voltage ? 10 : 20;
        for (int i = 0; i < 3; ++i) EXPECT_LE(std::fabs(r[i] - max / 2 * i), max / 500) << "point " << i;
        EXPECT_GE(r[3], voltage ? 10.5 : 21.5);
      }
    }
  }
}

TEST(BenchCoupling, BowedOutputFailsHalfScaleOnly) {
  BenchFaults faults;
  ASSERT_EQ(ApplyFault(faults, QStringLiteral("bowed-output=A:V")), QString());
  Rig rig("KRV2212A", {}, faults);
  rig.route("101A102A");
  const auto v = OutputStep(rig, 0, true);
  EXPECT_LE(std::fabs(v[0] - 0), 10.0 / 500);
  EXPECT_GT(std::fabs(v[1] - 5), 10.0 / 500);
  EXPECT_LE(std::fabs(v[2] - 10), 10.0 / 500);
  EXPECT_GE(v[3], 10.5);
  const auto i = OutputStep(rig, 0, false);  // the current output is sound
  EXPECT_LE(std::fabs(i[1] - 10), 20.0 / 500);
}

TEST(BenchCoupling, DeadOutputFailsHalfSpanAndLoad) {
  BenchFaults faults;
  ASSERT_EQ(ApplyFault(faults, QStringLiteral("dead-output=B:mA")), QString());
  Rig rig("KRV2212A", {}, faults);
  rig.route("101C102C");
  const auto i = OutputStep(rig, 1, false);
  EXPECT_GT(std::fabs(i[1] - 10), 20.0 / 500);
  EXPECT_GT(std::fabs(i[2] - 20), 20.0 / 500);
  EXPECT_LT(i[3], 21.5);
  const auto v = OutputStep(rig, 1, true);
  EXPECT_LE(std::fabs(v[1] - 5), 10.0 / 500);
  EXPECT_GE(v[3], 10.5);
}

TEST(BenchCoupling, SupplyCurrentFollowsModelAndVoltage) {
  Rig regulated;
  EXPECT_EQ(regulated.supplyMilliamps("18.00"), 18);
  EXPECT_EQ(regulated.supplyMilliamps("30.00"), 18);
  Rig older("KRV2210");
  EXPECT_EQ(older.supplyMilliamps("20.00"), 26);
  EXPECT_EQ(older.supplyMilliamps("30.00"), 21);
  EXPECT_EQ(older.supplyMilliamps("24.00"), 24);
  EXPECT_TRUE(older.bench().unitPowered());
  EXPECT_EQ(older.supplyMilliamps("11.50"), 0);  // below what the converter starts at
  EXPECT_FALSE(older.bench().unitPowered());
  older.supplyMilliamps("24.00");
  older.bench().supply().receive("KOD\r");
  older.supplyOut.clear();
  older.bench().supply().receive("A\r");
  EXPECT_EQ(older.supplyOut, "I0.000A\r\n");

  BenchFaults faults;
  ASSERT_EQ(ApplyFault(faults, QStringLiteral("high-consumption")), QString());
  EXPECT_FALSE(older.bench().unitPowered());  // switched off above
  Rig hungry("KRV2212A", {}, faults);
  EXPECT_GT(std::abs(hungry.supplyMilliamps("24.00") - 18), 5);
}

// The cold-junction row: 0 mV on the thermocouple input, offset from the
// calibrator's ambient reading, then the check within 0.3 degrees.
struct ColdJunction {
  int offset;
  double after;
};
ColdJunction ColdJunctionStep(Rig& rig, int c) {
  rig.route(kMillivoltPattern);
  rig.selectRange(c, 8, 1000, 0);  // 0..100 degrees, one decimal
  rig.writeCells({{4, 16}, {6, 16}, {7 + c, 0}});
  rig.calibratorFunction(0);
  rig.calibrator(0);
  const double m = rig.measure(c, 0, 100);
  const double t = rig.ambient();
  const int offset = static_cast<int>(std::lround((t - m) * 10));
  if (offset >= -127 && offset <= 127) rig.writeCells({{7 + c, offset < 0 ? offset + 256 : offset}});
  return {offset, rig.measure(c, 0, 100) - t};
}

TEST(BenchCoupling, ColdJunctionOffsetCorrectsAGoodUnit) {
  Rig rig;
  rig.truth(0).coldJunctionError = 1.7;
  rig.prepareChannel(0);
  const ColdJunction r = ColdJunctionStep(rig, 0);
  EXPECT_NEAR(r.offset, -17, 1);
  EXPECT_LE(std::fabs(r.after), 0.3);
}

TEST(BenchCoupling, ThermocoupleOffTheCalibratorReadsTheColdJunction) {
  Rig rig;
  rig.truth(0).coldJunctionError = -0.8;
  rig.bench().calibrator().setAmbient(21.5);
  rig.prepareChannel(0);
  rig.selectRange(0, 8, 1000, 0);
  rig.route("113A");
  EXPECT_NEAR(rig.bench().measuredValue(0), 20.7, 1e-9);
  rig.route(kMillivoltPattern + "113C");
  rig.calibratorFunction(0);
  rig.calibrator(4100);  // 4.1 mV on a K couple: about 100 degrees above the junction
  EXPECT_NEAR(rig.bench().measuredValue(0), 20.7 + 4.1 / 0.041, 1e-6);
  rig.calibratorFrame(0x80, 0x08010040);  // simulate a K couple at 250.000 degrees
  rig.calibrator(250000);
  EXPECT_NEAR(rig.bench().measuredValue(0), 250 - 0.8, 1e-9);
}

TEST(BenchCoupling, ColdJunctionFaultIsBeyondTheOffsetRange) {
  BenchFaults faults;
  ASSERT_EQ(ApplyFault(faults, QStringLiteral("cold-junction")), QString());
  Rig rig("KRV2212A", {}, faults);
  rig.prepareChannel(0);
  const ColdJunction r = ColdJunctionStep(rig, 0);
  EXPECT_LT(r.offset, -127);
  EXPECT_GT(std::fabs(r.after), 0.3);
}

TEST(BenchCoupling, SilentInstrumentsHearButDoNotAnswer) {
  BenchFaults faults;
  ASSERT_EQ(ApplyFault(faults, QStringLiteral("silent-calibrator")), QString());
  ASSERT_EQ(ApplyFault(faults, QStringLiteral("silent-meter")), QString());
  Rig rig("KRV2212A", {}, faults);
  rig.calibrator(1000);
  EXPECT_TRUE(rig.calibratorOut.isEmpty());
  EXPECT_TRUE(rig.bench().meter(0).silent());
  rig.readMeter("VOLT");
  EXPECT_TRUE(rig.meterOut.isEmpty());
  // The supply and the unit are not affected.
  EXPECT_EQ(rig.supplyMilliamps("24.00"), 18);
}

TEST(BenchCoupling, OlderFixtureRoutesAndDrivesItsOwnWay) {
  Rig rig("KRV2210");
  rig.truth(0).gain[1] = 56.5;
  rig.route("109A110A111A112A");  // channel A
  rig.route("101A102A103A104A105A");  // millivolts
  rig.calibratorFunction(0);
  rig.selectRange(0, 1, 9000, 0);
  rig.writeFloat(50, 56.5);
  rig.calibrator(45000);
  // The input itself travels as value 3 of the 14-byte frame.
  EXPECT_NEAR(rig.frameValue(3), 45.0, 45.0 / 32768);
  rig.route("101A102A103C104C105A");  // the 10 V terminals: the 90 mV input sees nothing
  EXPECT_NEAR(rig.frameValue(3), 0.0, 1e-30);
  rig.route("109C");  // calibrator on channel B, which this model does not have
  EXPECT_EQ(rig.bench().inputValue(0), 0);

  // The meter on the voltage output, then the current loop, with 4040 as
  // the top code; code 0 is just the bottom of the scale here.
  rig.truth(0).volts = {-2.96, 0.0037};
  rig.route("114A115A116A117C");
  rig.unit("PR\r");
  rig.force(0, 4040);
  EXPECT_NEAR(rig.readMeter("VOLT"), 11.988, 1e-9);
  rig.force(0, 0);
  EXPECT_LT(rig.readMeter("VOLT"), 0.0);
  rig.route("114C115C116C117C");
  rig.force(0, 4040);
  EXPECT_GE(rig.readMeter("CURR") * 1000, 21.5);
}

TEST(BenchCoupling, PtcReferencesGiveTheRawReadingsTheManualFormulaExpects) {
  Rig rig("KRV2212C");
  rig.prepareChannel(0);
  rig.route("103A104A105A106C107A113A114A");
  rig.selectRange(0, 25, 2000, 0);
  rig.writeCells({{0, 3}});  // measured on the 800 mV input
  rig.route("113A114C");     // 2000 ohm reference
  const double v2000 = rig.frameValue(0);
  rig.route("113A114A");     // 1000 ohm reference
  const double v1000 = rig.frameValue(0);
  // A nominal unit lands on the defaults the manual calibration offers.
  EXPECT_NEAR(v2000, 15225, 2);
  EXPECT_NEAR(v1000, 10324, 2);
  const double x = 2.0 * v1000 / v2000;
  const double req = (2000 - 1000 * x) / (x - 1);
  EXPECT_NEAR(req, 1807.5, 2);
  rig.route("113C114A");  // back on the calibrator: the network is gone
  EXPECT_DOUBLE_EQ(rig.frameValue(0), 800);
}

TEST(BenchCoupling, GeneratorFeedsAFrequencyInput) {
  Rig rig("KRV2220");
  FunctionGenerator& gen = rig.bench().generator();
  gen.receive("*RST\nFUNCtion SQUARE\nVOLTage 5\nFREQuency 1250\n");
  EXPECT_EQ(rig.bench().inputValue(0), 0);  // output still off
  gen.receive("OUTPut ON\n");
  EXPECT_DOUBLE_EQ(rig.bench().inputValue(0), 1250);
  EXPECT_NEAR(rig.frameValue(3), 1250, 1250.0 / 32768);  // the input travels as value 3
  gen.receive("VOLTage 0.01\n");  // below what the input counts
  EXPECT_EQ(rig.bench().inputValue(0), 0);
}

TEST(BenchCoupling, DipOperatorFlipsTheSwitchesAfterEachRead) {
  BenchFaults faults;
  faults.dipOperator = true;
  Rig rig("KRV2210", {}, faults);  // four switch bytes
  auto read = [&] {
    rig.unitOut.clear();
    rig.unit("PR\r");
    rig.unitOut.clear();
    rig.unit(QByteArray("$D") + Bytes({0, 0, 0}) + "\r");
    rig.unit("$FP00\r");
    return rig.unitOut;
  };
  EXPECT_EQ(read(), Bytes({'*', 255, 255, 15, 0, '\r', '\n'}));
  EXPECT_EQ(read(), Bytes({'*', 0, 0, 0, 0, '\r', '\n'}));
  EXPECT_EQ(read(), Bytes({'*', 255, 255, 15, 0, '\r', '\n'}));
  Rig plain("KRV2212A");  // without the operator nobody touches them
  EXPECT_EQ(plain.bench().unit().switches(), (std::array<uint8_t, 4>{}));
}

TEST(BenchFaults, UnknownFaultsAreRefused) {
  BenchFaults f;
  EXPECT_FALSE(ApplyFault(f, QStringLiteral("wrong-gain=7V")).isEmpty());
  EXPECT_FALSE(ApplyFault(f, QStringLiteral("dead-output=A:W")).isEmpty());
  EXPECT_FALSE(ApplyFault(f, QStringLiteral("flaky")).isEmpty());
  EXPECT_FALSE(ApplyFault(f, QStringLiteral("silent-meter=C")).isEmpty());
  EXPECT_TRUE(ApplyFault(f, QStringLiteral("wrong-gain=B:20mA")).isEmpty());
  EXPECT_EQ(f.wrongGainRow[1], 5);
  EXPECT_TRUE(ApplyFault(f, QStringLiteral("silent-meter=usb")).isEmpty());
  EXPECT_EQ(f.silentMeter, (std::array<bool, 3>{false, false, true}));
}

} // namespace
} // namespace pv::bench

namespace pv::bench {
namespace {

// A Float24 of the configuration (M2, M1, S from the lowest cell).
double ConfigFloat(const sim::DeviceSimulator& u, int at) {
  return DecodeFloat24(u.cell(0, at + 1), u.cell(0, at), u.cell(0, at + 2));
}

TEST(BenchUnit, TheFrequencyUnitStartsWithTripsInsideItsRange) {
  // Its input runs 1..1000 Hz; the trips sit at 80 % and 20 % of it (800.2
  // and 200.8 Hz) on both channels, cells 28..39. No gain coefficient lands
  // there: a frequency unit has none.
  Rig rig("KRV2220");
  const sim::DeviceSimulator& u = rig.bench().unit();
  for (int c = 0; c < 2; ++c) {
    EXPECT_NEAR(ConfigFloat(u, 28 + 6 * c), 800.2, 0.1) << c;
    EXPECT_NEAR(ConfigFloat(u, 31 + 6 * c), 200.8, 0.1) << c;
  }
}

TEST(BenchUnit, AOneInputUnitCarriesNoSecondChannelGains) {
  // Channel B's gain cells (29..49) are channel A's trip on a one-input
  // unit: the bench leaves them as the unit left the factory.
  Rig one("KRV2211A"), two("KRV2212A");
  sim::DeviceSimulator plain;
  plain.setModel(QStringLiteral("KRV2211A"));
  for (int a = 28; a <= 49; ++a) EXPECT_EQ(one.bench().unit().cell(0, a), plain.cell(0, a)) << a;
  // 56.5 = 0x42620000 in channel B's 90 mV gain of the two-input unit.
  EXPECT_EQ(two.bench().unit().cell(0, 29), 0x42);
  EXPECT_EQ(two.bench().unit().cell(0, 30), 0x62);
  EXPECT_EQ(two.bench().unit().cell(0, 31), 0x00);
}

TEST(BenchUnit, TheOlderUnitStreamsItsTenVoltInputInMillivolts) {
  Rig rig("KRV2210");
  rig.route("101A102A103C104C105A");  // the older fixture's 10 V wiring
  rig.calibratorFunction(2);
  rig.writeCells({{0, 4}});
  rig.truth(0).zero[4] = 0;
  rig.writeFloat(59, 5700);  // the unit's own gain: it reads what it gets
  rig.calibrator(25000);     // 2.5 V
  // Value 3 (bytes 11..13 of the data) is 2500 mV, not 2.5.
  const QByteArray f = rig.bench().frameData();
  EXPECT_NEAR(DecodeShortFloat(static_cast<uint8_t>(f[10]), static_cast<uint8_t>(f[11]), static_cast<uint8_t>(f[12])),
              2500, 2500.0 / 16384);
}

} // namespace
} // namespace pv::bench
