// The simulated bench as the product's tests lean on it. Each instrument
// answers the bytes the factory windows send as the real one does (written
// out by hand here); the bench carries the calibrator through the routing to
// the unit's input and the unit's code to the meter, and a wrong route reads
// nothing; the named faults and each generation's peculiarities are there.
// That a good unit converges and that each fault fails exactly its own
// check is shown by the calibration's tests, which run the whole sequence
// against this bench.
#include "Bench.h"
#include "link/Codecs.h"

#include <cmath>
#include <gtest/gtest.h>
#include <utility>

namespace pv::bench {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// ---------------------------------------------------------------- instruments

// What an instrument answers.
struct Wire {
  QByteArray received;
  explicit Wire(Instrument& i) {
    i.setSink([this](const QByteArray& b) { received += b; });
  }
  QByteArray take() { return std::exchange(received, {}); }
};

TEST(InstrumentBytes, SupplyAnswersOnlyTheCurrentWithAmperesInCharactersTwoToSix) {
  PowerSupply supply;
  Wire wire(supply);
  supply.setLoad([](bool on, double volts) { return on && volts == 24.0 ? 0.0183 : 0.0; });
  supply.receive("SV 24.00\r");
  supply.receive("KOE\r");
  EXPECT_TRUE(wire.received.isEmpty());  // set commands are not answered
  EXPECT_TRUE(supply.on());
  EXPECT_DOUBLE_EQ(supply.volts(), 24.0);
  supply.receive("A\r");
  EXPECT_EQ(wire.take(), Bytes({0x49, 0x30, 0x2E, 0x30, 0x31, 0x38, 0x41, 0x0D, 0x0A}));  // "I" "0.018" "A" CR LF
  supply.setLoad([](bool on, double) { return on ? 0.02 : 0.0; });
  supply.receive("SV 30.00\rKOE\rKOD\rA");  // off draws nothing; the query comes in two pieces
  supply.receive("\r");
  EXPECT_FALSE(supply.on());
  EXPECT_EQ(wire.take(), "I0.000A\r\n");
  EXPECT_EQ(supply.transcript(),
            (QList<QByteArray>{"SV 24.00\r", "KOE\r", "A\r", "SV 30.00\r", "KOE\r", "KOD\r", "A\r"}));
}

TEST(InstrumentBytes, CalibratorAnswersEveryByteAndObeysOnlyAGoodChecksum) {
  Calibrator cal;
  Wire wire(cal);
  // 90000 = 00 01 5F 90, checksum (0 + 1 + 95 + 144) AND 127 = 112.
  const QByteArray frame = Bytes({0x01, 0x81, 0x00, 0x01, 0x5F, 0x90, 0x70});
  for (int i = 0; i < frame.size(); ++i) {
    cal.receive(frame.mid(i, 1));
    ASSERT_EQ(wire.received.size(), i + 1) << "one answer byte per byte sent";
  }
  EXPECT_EQ(wire.take(), frame);
  EXPECT_EQ(cal.setting(), 90000);
  EXPECT_EQ(cal.transcript(), QList<QByteArray>{frame});
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x00, 0x00, 0x05, 0x06}));  // 5 with the checksum of 6
  EXPECT_EQ(wire.take().size(), 7);
  EXPECT_EQ(cal.setting(), 90000);
  EXPECT_EQ(cal.badChecksums(), 1);
  cal.setSilent(true);
  cal.receive(frame);
  EXPECT_TRUE(wire.received.isEmpty());
}

TEST(InstrumentBytes, CalibratorOutputsFollowTheFunctionsScales) {
  Calibrator cal;
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x01, 0x5F, 0x90, 0x70}));  // 90 mV on function 0 is 90000
  EXPECT_EQ(cal.output().kind, Source::Kind::Voltage);
  EXPECT_NEAR(cal.output().value, 0.090, 1e-12);
  cal.receive(Bytes({0x01, 0x80, 0x02, 0x00, 0x00, 0x00, 0x02}));  // 5000 mV on function 2: 00 00 C3 50
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x00, 0xC3, 0x50, (0xC3 + 0x50) & 127}));
  EXPECT_NEAR(cal.output().value, 5.0, 1e-12);
  cal.receive(Bytes({0x01, 0x80, 0x05, 0x00, 0x00, 0x00, 0x05}));  // 1400 ohm on function 5: 00 02 22 E0
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x02, 0x22, 0xE0, (0x02 + 0x22 + 0xE0) & 127}));
  EXPECT_EQ(cal.output().kind, Source::Kind::Resistance);
  EXPECT_NEAR(cal.output().value, 1400.0, 1e-9);
  cal.receive(Bytes({0x01, 0x80, 0x03, 0x00, 0x00, 0x00, 0x03}));  // milliamperes
  cal.receive(Bytes({0x01, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0x7C}));  // -1, checksum 124
  EXPECT_EQ(cal.function(), 3);
  EXPECT_EQ(cal.setting(), -1);
  EXPECT_EQ(cal.output().kind, Source::Kind::Current);
  EXPECT_DOUBLE_EQ(cal.output().value, -1e-7);  // tenths of a microampere
}

TEST(InstrumentBytes, CalibratorAmbientReadAnswersHundredthsAndLeavesTheOutputAlone) {
  Calibrator cal;
  cal.setAmbient(23.40);
  Wire wire(cal);
  cal.receive(Bytes({0x01, 0x01, 0x08, 0x01, 0x00, 0xC0, 0x49}));  // outside the bracket: zeros
  EXPECT_EQ(wire.take(), Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x49}));
  cal.receive(Bytes({0x01, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00}));  // low millivolts
  cal.receive(Bytes({0x01, 0x82, 0x01, 0x00, 0x00, 0x00, 0x01}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x01, 0x00, 0x0A}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x00, 0x00, 0x09}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x00, 0xC0, 0x49}));
  wire.take();
  cal.receive(Bytes({0x01, 0x01, 0x08, 0x01, 0x00, 0xC0, 0x49}));
  EXPECT_EQ(wire.take(), Bytes({0x01, 0x01, 0x00, 0x00, 0x09, 0x24, 0x49}));  // 2340 in the data bytes
  EXPECT_EQ(cal.temperatureReads(), 2);  // the one outside the bracket counts too
  cal.receive(Bytes({0x01, 0x82, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(cal.function(), 0);
  EXPECT_EQ(cal.output().kind, Source::Kind::Voltage);
  EXPECT_EQ(cal.measureSetup(), (std::array<uint8_t, 4>{8, 1, 0, 0xC0}));
  EXPECT_FALSE(cal.measuring());
  // Outside the bracket the same select changes the output function.
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x00, 0x40, 0x49}));
  EXPECT_EQ(cal.function(), 8);
  EXPECT_EQ(cal.output().kind, Source::Kind::Temperature);
}

TEST(InstrumentBytes, MetersAnswerOneScpiNumberALine) {
  Multimeter meter("\r\n");
  Wire wire(meter);
  meter.setProbe([](Multimeter::Function f) { return f == Multimeter::Function::Current ? 0.0123 : 5.0; });
  meter.receive(":SYST:REM\r\n:CONF:CURR:DC\r\n");
  EXPECT_TRUE(wire.received.isEmpty());
  EXPECT_TRUE(meter.remote());
  meter.receive(":READ?\r");  // the LF may come later: the answer does not wait
  EXPECT_EQ(wire.take(), "+1.23000000E-02\r\n");
  meter.receive("\n");
  EXPECT_EQ(meter.transcript(), (QList<QByteArray>{":SYST:REM\r\n", ":CONF:CURR:DC\r\n", ":READ?\r\n"}));
  meter.receive(":SYST:LOC\r\nSYST:BEEP\r\n:FOO:BAR\r\nSYST:ERR?\r\nSYST:ERR?\r\n");
  EXPECT_FALSE(meter.remote());
  EXPECT_EQ(meter.beeps(), 1);
  EXPECT_EQ(wire.take(), "-113,\"Undefined header\"\r\n+0,\"No error\"\r\n");
  meter.setSilent(true);
  meter.receive(":READ?\r\n");
  EXPECT_TRUE(wire.received.isEmpty());
  EXPECT_EQ(meter.readings(), 2);  // it heard the command

  Multimeter usb("\n");
  Wire usbWire(usb);
  usb.setProbe([](Multimeter::Function f) { return f == Multimeter::Function::Volt ? -2.5 : 0.0; });
  usb.receive("CONF:VOLT:DC 100,0.001\nSENS:VOLT:DC:NPLC 1\nREAD?\n");
  EXPECT_EQ(usb.range(), "100");
  EXPECT_DOUBLE_EQ(usb.nplc(), 1.0);
  EXPECT_EQ(usbWire.received, "-2.50000000E+00\n");
  EXPECT_TRUE(ScpiMatch({"conf", "volt", "dc"}, {"CONFigure", "VOLTage", "DC"}));
  EXPECT_TRUE(ScpiMatch({"CONFIGURE", "Voltage", "DC"}, {"CONFigure", "VOLTage", "DC"}));
  EXPECT_FALSE(ScpiMatch({"CONFI", "VOLT", "DC"}, {"CONFigure", "VOLTage", "DC"}));
}

TEST(InstrumentBytes, SwitchKeepsTheClosedSetAndNeverAnswers) {
  SwitchUnit sw;
  Wire wire(sw);
  sw.receive("rout:close (@101)\r\nrout:close (@102)\r\nrout:open (@101)\r\n");
  EXPECT_EQ(sw.closed(), (std::set<int>{102}));
  sw.receive("ROUT:CLOS (@103:105,113)\r\n");
  EXPECT_EQ(sw.closed(), (std::set<int>{102, 103, 104, 105, 113}));
  sw.receive("rout:close (@1O2)\r\n");  // malformed list: nothing moves
  EXPECT_EQ(sw.closed().size(), 5u);
  EXPECT_EQ(sw.transcript().size(), 5);
  EXPECT_TRUE(wire.received.isEmpty());
}

TEST(InstrumentBytes, GeneratorTakesWaveformsAndCompoundLines) {
  FunctionGenerator gen;
  gen.receive("*RST\nFREQuency 1000\nFUNCtion SQUARE\nVOLTage 5\nVOLTage:OFFSet 2.5\nOUTPut ON\n");
  EXPECT_TRUE(gen.output());
  EXPECT_EQ(gen.shape(), "SQUARE");
  EXPECT_DOUBLE_EQ(gen.volts(), 5.0);
  EXPECT_DOUBLE_EQ(gen.offset(), 2.5);
  QByteArray data = "DATA VOLATILE, ";
  for (int i = 0; i < 4000; ++i) data += i == 0 ? "1" : (i < 80 ? ",1" : ",0");
  gen.receive(data + "\n");
  gen.receive("DATA:COPY PULSE, VOLATILE\nFUNCtion:USER PULSE\nFUNCtion:SHAPe USER\nOUTPut:LOAD 50\n");
  gen.receive("FREQuency 5000;VOLTage 5\n");
  EXPECT_EQ(gen.userPoints(), 4000);
  EXPECT_EQ(gen.storedPoints(), 4000);
  EXPECT_EQ(gen.shape(), "USER:PULSE");
  EXPECT_DOUBLE_EQ(gen.frequency(), 5000.0);
  EXPECT_TRUE(gen.errors().isEmpty()) << gen.errors().join(QLatin1Char('|')).toStdString();
  gen.receive("FREQuency 0.001\n");
  EXPECT_DOUBLE_EQ(gen.frequency(), 0.001);
  gen.receive("FREQuency fast\n");
  EXPECT_EQ(gen.errors().size(), 1);
}

// ---------------------------------------------------------------- the bench

class Rig {
public:
  explicit Rig(const char* model = "KRV2212A", UnitTruth truth = {}, BenchFaults faults = {},
               bool nominal = true)
      : bench_(*FindModel(QString::fromLatin1(model)), nominal ? NominalTruth(*FindModel(QString::fromLatin1(model)), 0) : truth,
               faults) {
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
  void force(int c, int code) { unit((c == 0 ? "$I" : "$i") + Bytes({code >> 8, code & 255, 0}) + "\r"); }

  // Channel c's value in the streamed frame (a ShortFloat at data bytes
  // 3c + 2 .. 3c + 4).
  double frameValue(int c) {
    const QByteArray f = bench_.unit().measureFrame(0);
    const int at = 3 * c + 2;
    return DecodeShortFloat(uint8_t(f[at]), uint8_t(f[at + 1]), uint8_t(f[at + 2]));
  }
  double readMeter(const char* function) {
    meterOut.clear();
    bench_.meter(0).receive(QByteArray(":CONF:") + function + ":DC\r\n:READ?\r\n");
    return meterOut.trimmed().toDouble();
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

  QByteArray meterOut, supplyOut, calibratorOut;

private:
  SimulatedBench bench_;
};

const QByteArray kMillivoltPattern = "103A104A105A106A107A113C114A";
const QByteArray kVoltPattern = "103A104A105C106C107A113C114A";
const QByteArray kMilliampPattern = "103C104A105A106C107C113C114A";

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

TEST(BenchCoupling, SupplyCurrentByModelAndNothingBelowTheStartVoltageOrOff) {
  Rig regulated;
  EXPECT_EQ(regulated.supplyMilliamps("18.00"), 18);
  EXPECT_EQ(regulated.supplyMilliamps("30.00"), 18);
  Rig older("KRV2210");
  EXPECT_EQ(older.supplyMilliamps("24.00"), 24);
  EXPECT_TRUE(older.bench().unitPowered());
  EXPECT_EQ(older.supplyMilliamps("11.50"), 0);  // below what the converter starts at
  EXPECT_FALSE(older.bench().unitPowered());
  older.supplyMilliamps("24.00");
  older.bench().supply().receive("KOD\r");
  older.supplyOut.clear();
  older.bench().supply().receive("A\r");
  EXPECT_EQ(older.supplyOut, "I0.000A\r\n");
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

} // namespace
} // namespace pv::bench
