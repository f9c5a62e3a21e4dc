// Each simulated instrument, byte for byte: what it answers to the exact
// commands the factory windows send, written out by hand.
#include "Instruments.h"

#include <gtest/gtest.h>

namespace pv::bench {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// Collects what an instrument sends.
struct Wire {
  QByteArray received;
  explicit Wire(Instrument& i) {
    i.setSink([this](const QByteArray& b) { received += b; });
  }
};

TEST(SupplyBytes, CurrentAnswerCarriesAmperesInCharactersTwoToSix) {
  PowerSupply supply;
  Wire wire(supply);
  supply.setLoad([](bool on, double volts) { return on && volts == 24.0 ? 0.0183 : 0.0; });
  supply.receive("SV 24.00\r");
  supply.receive("KOE\r");
  EXPECT_TRUE(wire.received.isEmpty());  // set commands are not answered
  EXPECT_TRUE(supply.on());
  EXPECT_DOUBLE_EQ(supply.volts(), 24.0);
  supply.receive("A\r");
  // "I" "0.018" "A" CR LF
  EXPECT_EQ(wire.received, Bytes({0x49, 0x30, 0x2E, 0x30, 0x31, 0x38, 0x41, 0x0D, 0x0A}));
  EXPECT_EQ(wire.received.mid(1, 5), "0.018");
  EXPECT_GE(wire.received.size(), 8);
}

TEST(SupplyBytes, OffDrawsNothingAndTheTranscriptKeepsEachCommand) {
  PowerSupply supply;
  Wire wire(supply);
  supply.setLoad([](bool on, double) { return on ? 0.02 : 0.0; });
  supply.receive("SV 30.00\rKOE\rKOD\rA");
  supply.receive("\r");
  EXPECT_FALSE(supply.on());
  EXPECT_EQ(wire.received, "I0.000A\r\n");
  EXPECT_EQ(supply.transcript(), (QList<QByteArray>{"SV 30.00\r", "KOE\r", "KOD\r", "A\r"}));
}

TEST(CalibratorBytes, OutputFrameIsAnsweredByteForByte) {
  Calibrator cal;
  Wire wire(cal);
  // 90000 = 00 01 5F 90, checksum (0 + 1 + 95 + 144) AND 127 = 112.
  const QByteArray frame = Bytes({0x01, 0x81, 0x00, 0x01, 0x5F, 0x90, 0x70});
  for (int i = 0; i < frame.size(); ++i) {
    cal.receive(frame.mid(i, 1));
    ASSERT_EQ(wire.received.size(), i + 1) << "one answer byte per byte sent";
  }
  EXPECT_EQ(wire.received, frame);
  EXPECT_EQ(cal.setting(), 90000);
  ASSERT_EQ(cal.transcript().size(), 1);
  EXPECT_EQ(cal.transcript()[0], frame);
}

TEST(CalibratorBytes, NegativeValueAndFunctionSelect) {
  Calibrator cal;
  Wire wire(cal);
  cal.receive(Bytes({0x01, 0x80, 0x03, 0x00, 0x00, 0x00, 0x03}));  // milliamperes
  cal.receive(Bytes({0x01, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0x7C}));  // -1, checksum 124
  EXPECT_EQ(cal.function(), 3);
  EXPECT_EQ(cal.setting(), -1);
  EXPECT_EQ(cal.output().kind, Source::Kind::Current);
  EXPECT_DOUBLE_EQ(cal.output().value, -1e-7);  // tenths of a microampere
}

TEST(CalibratorBytes, FunctionUnitsFollowTheCalibrationScales) {
  Calibrator cal;
  // 90 mV on function 0 is sent as 90000.
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x01, 0x5F, 0x90, 0x70}));
  EXPECT_EQ(cal.output().kind, Source::Kind::Voltage);
  EXPECT_NEAR(cal.output().value, 0.090, 1e-12);
  // 5000 mV on function 2 is 50000 = 00 00 C3 50.
  cal.receive(Bytes({0x01, 0x80, 0x02, 0x00, 0x00, 0x00, 0x02}));
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x00, 0xC3, 0x50, (0xC3 + 0x50) & 127}));
  EXPECT_NEAR(cal.output().value, 5.0, 1e-12);
  // 1400 ohm on function 5 is 140000 = 00 02 22 E0.
  cal.receive(Bytes({0x01, 0x80, 0x05, 0x00, 0x00, 0x00, 0x05}));
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x02, 0x22, 0xE0, (0x02 + 0x22 + 0xE0) & 127}));
  EXPECT_EQ(cal.output().kind, Source::Kind::Resistance);
  EXPECT_NEAR(cal.output().value, 1400.0, 1e-9);
}

TEST(CalibratorBytes, AmbientReadAnswersHundredthsInTheDataBytes) {
  Calibrator cal;
  cal.setAmbient(23.40);
  Wire wire(cal);
  cal.receive(Bytes({0x01, 0x82, 0x01, 0x00, 0x00, 0x00, 0x01}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x01, 0x00, 0x0A}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x00, 0x00, 0x09}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x00, 0xC0, 0x49}));
  wire.received.clear();
  cal.receive(Bytes({0x01, 0x01, 0x08, 0x01, 0x00, 0xC0, 0x49}));
  // 2340 = 00 00 09 24 in place of the data bytes.
  EXPECT_EQ(wire.received, Bytes({0x01, 0x01, 0x00, 0x00, 0x09, 0x24, 0x49}));
  EXPECT_EQ(cal.temperatureReads(), 1);
}

TEST(CalibratorBytes, AmbientReadLeavesTheOutputFunctionAlone) {
  Calibrator cal;
  cal.receive(Bytes({0x01, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00}));  // low millivolts
  cal.receive(Bytes({0x01, 0x82, 0x01, 0x00, 0x00, 0x00, 0x01}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x01, 0x00, 0x0A}));
  cal.receive(Bytes({0x01, 0x80, 0x08, 0x01, 0x00, 0xC0, 0x49}));
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

TEST(CalibratorBytes, ReadOutsideMeasurementModeAnswersZeros) {
  Calibrator cal;
  Wire wire(cal);
  cal.receive(Bytes({0x01, 0x01, 0x08, 0x01, 0x00, 0xC0, 0x49}));
  EXPECT_EQ(wire.received, Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x49}));
}

TEST(CalibratorBytes, WrongChecksumIsAnsweredButNotObeyed) {
  Calibrator cal;
  Wire wire(cal);
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x01, 0x5F, 0x90, 0x71}));
  EXPECT_EQ(wire.received.size(), 7);
  EXPECT_EQ(cal.setting(), 0);
  EXPECT_EQ(cal.badChecksums(), 1);
}

TEST(CalibratorBytes, SilentCalibratorAnswersNothing) {
  Calibrator cal;
  cal.setSilent(true);
  Wire wire(cal);
  cal.receive(Bytes({0x01, 0x81, 0x00, 0x01, 0x5F, 0x90, 0x70}));
  EXPECT_TRUE(wire.received.isEmpty());
}

TEST(MeterBytes, SerialReadingIsOneScpiNumberWithCrLf) {
  Multimeter meter("\r\n");
  Wire wire(meter);
  meter.setProbe([](Multimeter::Function f) { return f == Multimeter::Function::Current ? 0.0123 : 5.0; });
  meter.receive(":SYST:REM\r\n:CONF:CURR:DC\r\n");
  EXPECT_TRUE(wire.received.isEmpty());
  EXPECT_TRUE(meter.remote());
  meter.receive(":READ?\r");  // the LF may come later: the answer does not wait
  EXPECT_EQ(wire.received, "+1.23000000E-02\r\n");
  meter.receive("\n");
  EXPECT_EQ(meter.transcript(), (QList<QByteArray>{":SYST:REM\r\n", ":CONF:CURR:DC\r\n", ":READ?\r\n"}));
  meter.receive(":SYST:LOC\r\nSYST:BEEP\r\n");
  EXPECT_FALSE(meter.remote());
  EXPECT_EQ(meter.beeps(), 1);
}

TEST(MeterBytes, UsbCommandsWithRangeAndIntegrationTime) {
  Multimeter meter("\n");
  Wire wire(meter);
  meter.setProbe([](Multimeter::Function f) { return f == Multimeter::Function::Volt ? -2.5 : 0.0; });
  meter.receive("CONF:VOLT:DC 100,0.001\nSENS:VOLT:DC:NPLC 1\nREAD?\n");
  EXPECT_EQ(meter.range(), "100");
  EXPECT_DOUBLE_EQ(meter.nplc(), 1.0);
  EXPECT_EQ(wire.received, "-2.50000000E+00\n");
  EXPECT_EQ(meter.readings(), 1);
}

TEST(MeterBytes, SilentMeterAnswersNothing) {
  Multimeter meter("\r\n");
  meter.setSilent(true);
  Wire wire(meter);
  meter.receive(":READ?\r\n");
  EXPECT_TRUE(wire.received.isEmpty());
  EXPECT_EQ(meter.readings(), 1);  // it heard the command
}

TEST(MeterBytes, UnknownHeaderGoesToTheErrorQueue) {
  Multimeter meter("\r\n");
  Wire wire(meter);
  meter.receive(":FOO:BAR\r\nSYST:ERR?\r\nSYST:ERR?\r\n");
  EXPECT_EQ(wire.received, "-113,\"Undefined header\"\r\n+0,\"No error\"\r\n");
}

TEST(SwitchBytes, OpenAndCloseKeepTheClosedSet) {
  SwitchUnit sw;
  Wire wire(sw);
  sw.receive("rout:close (@101)\r\nrout:close (@102)\r\nrout:open (@101)\r\n");
  EXPECT_EQ(sw.closed(), (std::set<int>{102}));
  sw.receive("ROUT:CLOS (@103:105,113)\r\n");
  EXPECT_EQ(sw.closed(), (std::set<int>{102, 103, 104, 105, 113}));
  EXPECT_TRUE(wire.received.isEmpty());  // the unit never answers a routing command
  sw.receive("rout:close (@1O2)\r\n");      // malformed list: nothing moves
  EXPECT_EQ(sw.closed().size(), 5u);
  EXPECT_EQ(sw.transcript().size(), 5);
}

TEST(GeneratorBytes, WaveformCommandsAndCompoundLines) {
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

TEST(ScpiHeaders, ShortAndLongFormsInAnyCase) {
  EXPECT_TRUE(ScpiMatch({"conf", "volt", "dc"}, {"CONFigure", "VOLTage", "DC"}));
  EXPECT_TRUE(ScpiMatch({"CONFIGURE", "Voltage", "DC"}, {"CONFigure", "VOLTage", "DC"}));
  EXPECT_FALSE(ScpiMatch({"CONFI", "VOLT", "DC"}, {"CONFigure", "VOLTage", "DC"}));
  EXPECT_EQ(ScpiNumber(0.0123), "+1.23000000E-02");
}

} // namespace
} // namespace pv::bench
