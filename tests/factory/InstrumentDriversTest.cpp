// Each driver against a scripted simulated instrument on the in-memory port,
// with simulated time: exact bytes, the waits, manual mode, silence.
#include "factory/Calibrator.h"
#include "factory/FunctionGenerator.h"
#include "factory/MemorySession.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/ScriptedPrompter.h"
#include "text/StringTable.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

struct Rig {
  AppState state;
  FakeClock clock;
  ScriptedPrompter prompter;
  Bench bench{state, clock, prompter};
  MemorySerialPort port;
  QByteArray wire;  // everything the program wrote
  std::vector<QByteArray> writes;
  PowerSupply supply{bench, port};
  Calibrator cal{bench, port};
  Multimeter dmm{bench, port, nullptr};
  SwitchingUnit unit{bench, port};
  explicit Rig(bool english = false) {
    supply.setSelector("Com4");
    cal.setSelector("Com6");
    dmm.setSelector("Com3");
    unit.setSelector("Com5");
    if (english) {
      state.languageIndex = 1;
      state.languageOffset = ComputeLanguageOffset(1);
    }
    port.setPeer([this](const QByteArray& b) {
      wire += b;
      writes.push_back(b);
      if (answer) answer(b);
    });
  }
  std::function<void(const QByteArray&)> answer;
};

// ---------------------------------------------------------------- supply

TEST(PowerSupplyDriver, SetsVoltageThenOutputAt2400Baud) {
  Rig r;
  ASSERT_TRUE(r.supply.SetPowerSupply(true, "24.00"));
  EXPECT_EQ(r.port.baudRate(), 2400);
  EXPECT_EQ(r.writes, (std::vector<QByteArray>{"SV 24.00\r", "KOE\r"}));
  EXPECT_EQ(r.clock.nowMs(), 1500);  // 0.5 s after the voltage, 1 s after the output
  ASSERT_TRUE(r.supply.SetPowerSupply(false, "24.00"));
  EXPECT_EQ(r.writes.back(), "KOD\r");
}

TEST(PowerSupplyDriver, TakesZeroToThirtyVoltsWithTwoDecimals) {
  Rig r;
  ASSERT_TRUE(r.supply.SetPowerSupply(true, "24"));
  EXPECT_EQ(r.writes, (std::vector<QByteArray>{"SV 24.00\r", "KOE\r"}));
  r.writes.clear();
  for (const char* volts : {"99999", "1e9", "1e30", "30.5", "-0.1", "24,00", "inf"}) {
    r.prompter.expect(Answer::Ok);
    EXPECT_FALSE(r.supply.SetPowerSupply(true, volts)) << volts;
  }
  EXPECT_TRUE(r.writes.empty());
  EXPECT_EQ(SupplyVoltsText(0.0), QStringLiteral("0.00"));
  EXPECT_EQ(SupplyVoltsText(30.0), QStringLiteral("30.00"));
  EXPECT_EQ(SupplyVoltsText(12.345), QStringLiteral("12.35"));
  EXPECT_EQ(SupplyVoltsText(30.001), std::nullopt);
}

TEST(PowerSupplyDriver, CurrentIsCharactersTwoToSixInAmperes) {
  Rig r;
  r.answer = [&](const QByteArray& b) {
    if (b == "A\r") r.port.deliver("A0.0425\r");
  };
  const SupplyCurrent c = r.supply.ReadSupplyCurrent();
  ASSERT_EQ(c.status, SupplyCurrent::Ok);
  EXPECT_DOUBLE_EQ(c.mA, 42.0);  // "0.042" A: the fifth decimal is not read
}

TEST(PowerSupplyDriver, SevenCharactersGiveMinusOneAfterOneSecond) {
  Rig r;
  r.answer = [&](const QByteArray& b) {
    if (b == "A\r") r.port.deliver("A0.0425");  // never reaches 8
  };
  const SupplyCurrent c = r.supply.ReadSupplyCurrent();
  EXPECT_EQ(c.status, SupplyCurrent::TimedOut);
  EXPECT_EQ(c.mA, -1);
  EXPECT_EQ(r.clock.nowMs(), 1500);  // 0.5 s pause, then 1 s
  EXPECT_TRUE(r.prompter.asked().empty());
}

TEST(PowerSupplyDriver, AnAnswerThatIsNotANumberIsAnError) {
  Rig r;
  r.answer = [&](const QByteArray&) { r.port.deliver("AERR!!!\r"); };
  r.prompter.expect(Answer::Ok);
  const SupplyCurrent c = r.supply.ReadSupplyCurrent();
  EXPECT_EQ(c.status, SupplyCurrent::Failed);
  ASSERT_EQ(r.prompter.asked().size(), 1u);
  EXPECT_EQ(r.prompter.asked()[0].icon, Icon::Critical);
  EXPECT_TRUE(r.prompter.asked()[0].text.contains("Alimentatore"));
}

TEST(PowerSupplyDriver, ManualTellsAndAsks) {
  Rig r;
  r.supply.setSelector("Manuale");
  r.prompter.expect(Answer::Ok);
  ASSERT_TRUE(r.supply.SetPowerSupply(true, "24.00"));
  EXPECT_EQ(r.prompter.asked()[0].text, "Alim = True Volt = 24.00");
  EXPECT_EQ(r.prompter.asked()[0].buttons, Buttons::Ok);
  r.prompter.expectText(QStringLiteral("37.5"));
  const SupplyCurrent c = r.supply.ReadSupplyCurrent();
  EXPECT_EQ(c.status, SupplyCurrent::Ok);
  EXPECT_EQ(c.mA, 37.5);
  EXPECT_EQ(r.prompter.asked()[1].text, "Lettura mA Alim");
  EXPECT_FALSE(r.port.isOpen());
  EXPECT_TRUE(r.wire.isEmpty());
}

// ---------------------------------------------------------------- calibrator

// A calibrator that answers every byte with the next byte of a script
// (0 when the script ends).
void AnswerBytes(Rig& r, QByteArray script) {
  r.answer = [&r, script, i = 0](const QByteArray& b) mutable {
    for (qsizetype k = 0; k < b.size(); ++k)
      r.port.deliver(QByteArray(1, i < script.size() ? script[i++] : '\0'));
  };
}

TEST(CalibratorDriver, MinusOneAndNinetyThousandGoOutByteByByte) {
  Rig r;
  AnswerBytes(r, {});
  ASSERT_TRUE(r.cal.SetCalibratorOutput(-1));
  ASSERT_TRUE(r.cal.SetCalibratorOutput(90000));
  ASSERT_EQ(r.writes.size(), 14u);
  for (const QByteArray& w : r.writes) EXPECT_EQ(w.size(), 1);  // one byte, one answer
  EXPECT_EQ(r.wire.toHex(), QByteArray("0181ffffffff7c" "018100015f9070"));
  EXPECT_EQ(r.port.baudRate(), 9600);
}

TEST(CalibratorDriver, AnswersToDataBytesComeBack) {
  Rig r;
  AnswerBytes(r, QByteArray::fromHex("aa bb 11 22 33 44 cc"));
  const auto d = r.cal.CalibratorExchange(1, 0x01, {8, 1, 0, 0xC0});
  ASSERT_TRUE(d);
  EXPECT_EQ(*d, (CalData{0x11, 0x22, 0x33, 0x44}));
}

TEST(CalibratorDriver, AmbientTemperatureSequence) {
  Rig r;
  // Five set-up frames answered with zeros, the read with 2345 (23.45 C).
  QByteArray script(4 * 7, '\0');
  script += QByteArray::fromHex("00 00 00 00 09 29 00");
  AnswerBytes(r, script);
  const auto t = r.cal.ReadCalibratorTemperature();
  ASSERT_TRUE(t);
  EXPECT_DOUBLE_EQ(*t, 23.45);
  EXPECT_EQ(r.wire.toHex(), QByteArray("01820100000001"
                                       "0180080101000a"
                                       "01800801000009"
                                       "0180080100c049"
                                       "0101080100c049"
                                       "01820000000000"));
  EXPECT_EQ(r.clock.nowMs(), 1000);  // the one pause before the read
}

TEST(CalibratorDriver, ColdRoomReadsNegative) {
  Rig r;
  QByteArray script(4 * 7, '\0');
  script += QByteArray::fromHex("00 00 ff ff ff 06 00");  // -250 -> -2.50 C
  AnswerBytes(r, script);
  const auto t = r.cal.ReadCalibratorTemperature();
  ASSERT_TRUE(t);
  EXPECT_DOUBLE_EQ(*t, -2.5);
}

TEST(CalibratorDriver, SilentCalibratorEndsInRetryCancelNotAHang) {
  Rig r;  // nobody answers
  r.prompter.expect(Answer::Retry);
  r.prompter.expect(Answer::Cancel);
  EXPECT_FALSE(r.cal.SetCalibratorOutput(90000));
  ASSERT_EQ(r.prompter.asked().size(), 2u);
  for (const Asked& a : r.prompter.asked()) {
    EXPECT_EQ(a.buttons, Buttons::RetryCancel);
    EXPECT_TRUE(a.text.contains("Calibratore")) << a.text.toStdString();
  }
  EXPECT_EQ(r.clock.nowMs(), 2 * kAnswerLimitMs);
  EXPECT_EQ(r.writes.size(), 1u);  // Retry waits again, it does not resend
  EXPECT_FALSE(r.cal.busy());
  EXPECT_FALSE(r.cal.lastError().isEmpty());
}

TEST(CalibratorDriver, RetryThenTheAnswerComes) {
  Rig r;
  int bytes = 0;
  r.answer = [&](const QByteArray&) {
    // The first byte is answered only after the first Retry.
    if (bytes++ == 0)
      r.clock.schedule(kAnswerLimitMs + 500, [&] { r.port.deliver("\x01"); });
    else
      r.port.deliver(QByteArray(1, '\0'));
  };
  r.prompter.expect(Answer::Retry);
  EXPECT_TRUE(r.cal.SetCalibratorOutput(5));
  EXPECT_EQ(r.wire.size(), 7);
  EXPECT_EQ(r.prompter.asked().size(), 1u);
}

TEST(CalibratorDriver, EnglishNamesTheCalibrator) {
  Rig r(true);
  r.prompter.expect(Answer::Cancel);
  EXPECT_FALSE(r.cal.SelectFunction(2));
  ASSERT_EQ(r.prompter.asked().size(), 1u);
  EXPECT_TRUE(r.prompter.asked()[0].text.startsWith("Calibrator")) << r.prompter.asked()[0].text.toStdString();
}

TEST(CalibratorDriver, OneExchangeAtATime) {
  Rig r;
  std::optional<std::optional<CalData>> nested;
  // While the first byte waits, a second caller (a button pressed during the
  // wait) tries the same link.
  r.answer = [&](const QByteArray&) {
    if (!nested) {
      r.clock.schedule(10, [&] {
        nested = r.cal.CalibratorExchange(1, 0x80, {1, 0, 0, 0});
        r.cal.close();  // nor may it pull the port from under the exchange
        EXPECT_FALSE(r.cal.open());
        r.port.deliver(QByteArray(1, '\0'));
      });
    } else {
      r.port.deliver(QByteArray(1, '\0'));
    }
  };
  ASSERT_TRUE(r.cal.SetCalibratorOutput(1));
  ASSERT_TRUE(nested.has_value());
  EXPECT_FALSE(nested->has_value());
  EXPECT_EQ(r.wire.toHex(), QByteArray("01810000000101"));  // nothing of the nested frame
  EXPECT_TRUE(r.port.isOpen());
}

TEST(CalibratorDriver, ManualTellsTheValueAndSendsNothing) {
  Rig r;
  r.cal.setSelector("Manuale");
  r.prompter.expect(Answer::Ok);
  ASSERT_TRUE(r.cal.SetCalibratorOutput(90000));
  EXPECT_EQ(r.prompter.asked()[0].text, "Cal = 90000");
  r.prompter.expectText(QStringLiteral("21.5"));
  EXPECT_EQ(r.cal.ReadCalibratorTemperature(), 21.5);
  EXPECT_EQ(r.prompter.asked()[1].text, "Temperatura Ambiente");
  EXPECT_EQ(r.cal.CalibratorExchange(1, 0x80, {3, 0, 0, 0}), (CalData{3, 0, 0, 0}));
  EXPECT_TRUE(r.wire.isEmpty());
}

TEST(CalibratorDriver, MissingPortIsReportedWithItsPath) {
  Rig r;
  r.port.failNextOpen(OpenError::Missing);
  r.cal.setSelector("/dev/ttyNOPE");
  r.prompter.expect(Answer::Ok);
  EXPECT_FALSE(r.cal.SetCalibratorOutput(1));
  EXPECT_TRUE(r.prompter.asked()[0].text.contains("/dev/ttyNOPE"));
}

// ---------------------------------------------------------------- multimeter

TEST(MultimeterDriver, SerialSetUpAndReading) {
  Rig r;
  r.answer = [&](const QByteArray& b) {
    if (b == ":READ?\r\n") r.port.deliver("+1.23450000E+00\r\n");
  };
  ASSERT_TRUE(r.dmm.SetupMultimeter(true, MeterFunction::Volt));
  EXPECT_EQ(r.writes, (std::vector<QByteArray>{":SYST:REM\r\n", ":CONF:VOLT:DC\r\n"}));
  EXPECT_EQ(r.clock.nowMs(), 1000);
  ASSERT_TRUE(r.dmm.SetupMultimeter(false, MeterFunction::Volt));
  EXPECT_EQ(r.writes.back(), ":SYST:LOC\r\n");
  const qint64 before = r.clock.nowMs();
  const auto v = r.dmm.ReadMultimeter();
  ASSERT_TRUE(v);
  EXPECT_DOUBLE_EQ(*v, 1234.5);
  EXPECT_EQ(r.clock.nowMs() - before, 1000);
  ASSERT_TRUE(r.dmm.MultimeterBeep());
  EXPECT_EQ(r.writes.back(), "SYST:BEEP\r\n");
}

TEST(MultimeterDriver, StaleInputIsDroppedBeforeTheQuery) {
  Rig r;
  ASSERT_TRUE(r.dmm.open());
  r.port.deliver("9.999\r\n");  // left over from an earlier reading
  r.answer = [&](const QByteArray& b) {
    if (b == ":READ?\r\n") r.port.deliver("0.020\r\n");
  };
  EXPECT_DOUBLE_EQ(*r.dmm.ReadMultimeter(), 20.0);
}

TEST(MultimeterDriver, ItalianLocaleReadsThePoint) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
  Rig r;
  r.answer = [&](const QByteArray&) { r.port.deliver("-4.5E-03\r\n"); };
  const auto v = r.dmm.ReadMultimeter();
  QLocale::setDefault(saved);
  ASSERT_TRUE(v);
  EXPECT_DOUBLE_EQ(*v, -4.5);
}

TEST(MultimeterDriver, SilentMeterAsksRetryCancelNamingIt) {
  Rig r;
  r.prompter.expect(Answer::Cancel);
  EXPECT_FALSE(r.dmm.ReadMultimeter());
  ASSERT_EQ(r.prompter.asked().size(), 1u);
  EXPECT_EQ(r.prompter.asked()[0].buttons, Buttons::RetryCancel);
  EXPECT_TRUE(r.prompter.asked()[0].text.contains("Multimetro"));
  EXPECT_EQ(r.clock.nowMs(), 1000 + kAnswerLimitMs);
}

TEST(MultimeterDriver, GarbageIsAnErrorNotZero) {
  Rig r;
  r.answer = [&](const QByteArray&) { r.port.deliver("OVLD\r\n"); };
  r.prompter.expect(Answer::Ok);
  EXPECT_FALSE(r.dmm.ReadMultimeter());
  EXPECT_TRUE(r.prompter.asked()[0].text.contains("OVLD"));
}

TEST(MultimeterDriver, AReadingCutShortOfItsLineEndIsTakenAfterTheFullWait) {
  Rig r;
  r.answer = [&](const QByteArray&) { r.port.deliver("+2.5E-03"); };
  const auto v = r.dmm.ReadMultimeter();
  ASSERT_TRUE(v);
  EXPECT_DOUBLE_EQ(*v, 2.5);
  EXPECT_EQ(r.clock.nowMs(), 1000 + kAnswerLimitMs);
  EXPECT_TRUE(r.prompter.asked().empty());
}

TEST(MultimeterDriver, AnAnswerThatNeverEndsIsAnErrorNotAWait) {
  Rig r;
  // Digits and no line end, more than any reading holds.
  r.answer = [&](const QByteArray&) { r.port.deliver(QByteArray(2 * kMaxReplyBytes, '7')); };
  r.prompter.expect(Answer::Ok);
  EXPECT_FALSE(r.dmm.ReadMultimeter());
  ASSERT_EQ(r.prompter.asked().size(), 1u);
  EXPECT_EQ(r.prompter.asked()[0].buttons, Buttons::Ok);
  EXPECT_TRUE(r.prompter.asked()[0].text.contains("7777...")) << r.prompter.asked()[0].text.toStdString();
  EXPECT_EQ(r.clock.nowMs(), 1000);  // no wait for a line end
}

TEST(MultimeterDriver, Usb2TakesTheSessionPath) {
  qputenv("PLANOVIX_USB2", "mem:dmm");
  Rig r;
  MemorySession* session = nullptr;
  QString asked;
  Multimeter dmm(r.bench, r.port, [&](const QString& resource) {
    asked = resource;
    auto s = std::make_unique<MemorySession>(r.clock);
    session = s.get();
    s->setPeer([&, raw = s.get()](const QByteArray& m) {
      if (m == "READ?") raw->deliverLine("+2.000E-02");
    });
    return s;
  });
  dmm.setSelector("Usb2");
  ASSERT_TRUE(dmm.SetupMultimeter(true, MeterFunction::Curr));
  EXPECT_EQ(asked, "mem:dmm");
  const auto v = dmm.ReadMultimeter();
  ASSERT_TRUE(v);
  EXPECT_DOUBLE_EQ(*v, 20.0);
  ASSERT_TRUE(dmm.MultimeterBeep());
  EXPECT_EQ(session->messages(), (QByteArrayList{"CONF:CURR:DC .1,0.001", "SENS:CURR:DC:NPLC 1",
                                                 "READ?", "SYST:BEEP"}));
  EXPECT_TRUE(r.wire.isEmpty());  // nothing on the serial port
  qunsetenv("PLANOVIX_USB2");
}

TEST(MultimeterDriver, SilentUsbMeterAsksRetryCancel) {
  Rig r;
  Multimeter dmm(r.bench, r.port, [&](const QString&) {
    return std::make_unique<MemorySession>(r.clock);
  });
  dmm.setSelector("TCPIP::dmm::SOCKET");
  r.prompter.expect(Answer::Retry);
  r.prompter.expect(Answer::Cancel);
  EXPECT_FALSE(dmm.ReadMultimeter());
  EXPECT_EQ(r.prompter.asked().size(), 2u);
  EXPECT_EQ(r.clock.nowMs(), 500 + 2 * kAnswerLimitMs);
}

TEST(MultimeterDriver, ManualReadsVoltsTimesAThousand) {
  Rig r;
  r.dmm.setSelector("Manuale");
  r.prompter.expect(Answer::Ok);
  ASSERT_TRUE(r.dmm.SetupMultimeter(true, MeterFunction::Curr));
  EXPECT_EQ(r.prompter.asked()[0].text, "Mult = CURR");
  r.prompter.expectText(QStringLiteral("4.75"));
  EXPECT_EQ(r.dmm.ReadMultimeter(), 4750.0);
  EXPECT_EQ(r.prompter.asked()[1].text, "Lettura Mult");
  // Typed with a decimal comma: refused, not read as 4.
  r.prompter.expectText(QStringLiteral("4,75"));
  r.prompter.expect(Answer::Ok);
  EXPECT_FALSE(r.dmm.ReadMultimeter());
  EXPECT_TRUE(r.dmm.MultimeterBeep());
  EXPECT_TRUE(r.wire.isEmpty());
}

// ---------------------------------------------------------------- switching unit

TEST(SwitchUnitDriver, TwoGroupsTwoWrites) {
  Rig r;
  ASSERT_TRUE(r.unit.SetSwitches("101A102C"));
  EXPECT_EQ(r.writes, (std::vector<QByteArray>{"rout:open (@101)\r\n", "rout:close (@102)\r\n"}));
  EXPECT_EQ(r.clock.nowMs(), 0);  // no pause, no answer
}

TEST(SwitchUnitDriver, Manual) {
  Rig r;
  r.unit.setSelector("Manuale");
  r.prompter.expect(Answer::Ok);
  ASSERT_TRUE(r.unit.SetSwitches("113A114C"));
  EXPECT_EQ(r.prompter.asked()[0].text, "Switch = 113A114C");
}

TEST(SwitchUnitDriver, AChangedSelectorCountsFromTheNextCommand) {
  Rig r;
  r.unit.setSelector("Manuale");
  r.prompter.expect(Answer::Ok);
  ASSERT_TRUE(r.unit.SetSwitches("101C"));
  r.unit.setSelector("Com5");
  ASSERT_TRUE(r.unit.SetSwitches("101A"));
  EXPECT_EQ(r.wire, "rout:open (@101)\r\n");
}

// ---------------------------------------------------------------- generator

TEST(FunctionGeneratorDriver, OpensUsbDevice1AndWritesWithEnd) {
  qputenv("PLANOVIX_USB1", "mem:gen");
  Rig r;
  std::vector<MemorySession*> made;
  QStringList resources;
  FunctionGenerator gen(r.bench, [&](const QString& resource) {
    resources << resource;
    auto s = std::make_unique<MemorySession>(r.clock);
    made.push_back(s.get());
    return s;
  });
  ASSERT_TRUE(gen.write("OUTPut ON"));
  ASSERT_TRUE(gen.write("FREQuency 1000"));
  EXPECT_EQ(resources, QStringList{"mem:gen"});
  EXPECT_EQ(made.back()->messages(), (QByteArrayList{"OUTPut ON", "FREQuency 1000"}));
  ASSERT_TRUE(gen.open());  // a generator button starts a fresh session
  EXPECT_EQ(resources.size(), 2);
  qunsetenv("PLANOVIX_USB1");
}

TEST(FunctionGeneratorDriver, MissingGeneratorEndsTheOperationNamingTheResource) {
  qunsetenv("PLANOVIX_USB1");
  Rig r;
  FunctionGenerator gen(r.bench, [&](const QString&) {
    auto s = std::make_unique<MemorySession>(r.clock);
    s->failNextOpen(QStringLiteral("no such device"));
    return s;
  });
  r.prompter.expect(Answer::Ok);
  EXPECT_FALSE(gen.write("OUTPut ON"));
  ASSERT_EQ(r.prompter.asked().size(), 1u);
  EXPECT_TRUE(r.prompter.asked()[0].text.contains("/dev/usbtmc0"));
  EXPECT_EQ(r.prompter.asked()[0].icon, Icon::Critical);
  EXPECT_EQ(r.clock.nowMs(), kGeneratorOpenMs);  // the open time-out, then it gives up
}

} // namespace
} // namespace pv::test
