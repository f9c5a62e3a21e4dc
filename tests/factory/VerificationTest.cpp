// The verification core against scripted instruments on in-memory ports,
// with simulated time: the bytes each instrument receives, the report text,
// the checks that refuse a request before anything is sent.
#include "factory/Verification.h"
#include "support/TempRecords.h"
#include "support/VerificationBench.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

struct Rig : VerificationBench {
  Rig() { core.open(); }
};

// ---------------------------------------------------------------- supply

TEST(VerificationSupply, TwentyFourSendsTwoDecimalsThenSwitchesOn) {
  Rig r;
  EXPECT_EQ(r.core.setSupply("24"), VerifyResult::Done);
  EXPECT_EQ(r.supplyWrites, (std::vector<QByteArray>{"SV 24.00\r", "KOE\r"}));
  r.supplyWrites.clear();
  EXPECT_EQ(r.core.setSupply("18.5"), VerifyResult::Done);
  EXPECT_EQ(r.supplyWrites, (std::vector<QByteArray>{"SV 18.50\r", "KOE\r"}));
}

TEST(VerificationSupply, RefusesTextAndValuesOutsideEighteenToThirtyVoltsAndSendsNothing) {
  Rig r;
  for (const char* typed : {"17.9", "240", "30.01", "", "24V", "abc"}) {
    r.prompter.expect(Answer::Ok);
    EXPECT_EQ(r.core.setSupply(typed), VerifyResult::Refused) << typed;
    EXPECT_EQ(r.lastMessage(), "Valore di alimentazione errato!");
  }
  EXPECT_TRUE(r.nothingSent());
}

TEST(VerificationSupply, StopSwitchesTheSupplyOffAndClearsTheState) {
  Rig r;
  EXPECT_EQ(r.core.stop("26"), VerifyResult::Done);
  EXPECT_EQ(r.supplyWrites, (std::vector<QByteArray>{"SV 26.00\r", "KOD\r"}));
  EXPECT_FALSE(r.core.active());
  EXPECT_EQ(r.core.phase(), Verification::Phase::Stop);
}

// ---------------------------------------------------------------- meter, switches

TEST(VerificationMeter, CurrentAndVoltageSetUps) {
  Rig r;
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.setMeter(VerifyOutput::None), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "Impostare tipo di uscita");
  EXPECT_TRUE(r.nothingSent());
  EXPECT_EQ(r.core.setMeter(VerifyOutput::Curr), VerifyResult::Done);
  EXPECT_EQ(r.meterWrites, (std::vector<QByteArray>{":SYST:REM\r\n", ":CONF:CURR:DC\r\n"}));
}

TEST(VerificationSwitches, OlderFixtureSecondChannelThenTheVoltageWiring) {
  Rig r;
  EXPECT_EQ(r.core.setSwitches("KRV2210", 1, FindVerificationInput("V")), VerifyResult::Done);
  EXPECT_EQ(r.switchWrites, (std::vector<QByteArray>{
                                "rout:close (@109)\r\n", "rout:open (@110)\r\n", "rout:close (@111)\r\n",
                                "rout:close (@112)\r\n", "rout:open (@113)\r\n",
                                "rout:open (@101)\r\n", "rout:open (@102)\r\n", "rout:close (@103)\r\n",
                                "rout:close (@104)\r\n", "rout:open (@105)\r\n"}));
}

TEST(VerificationSwitches, PatternsByModelChannelAndInputClass) {
  EXPECT_EQ(ChannelPattern(false, 0), "101A102A");
  EXPECT_EQ(ChannelPattern(false, 1), "101C102C");
  EXPECT_EQ(ChannelPattern(true, 0), "109A110A111A112A113A");
  const struct {
    const char* input;
    const char* newer;
    const char* older;
  } rows[] = {
      {"mVL (-20 : 200)", "103A104A105A106A107A", "101A102A103A104A105A"},
      {"Tc B", "103A104A105A106A107A", "101A102A103A104A105A"},
      {"V", "103A104A105C106C107A", "101A102A103C104C105A"},
      {"mA", "103C104A105A106C107C", "101A102C103C104C105C"},
      {"Pt1000", "103C104C105A106C107A", "101C102C103C104A105A"},
      {"KOhm", "103C104C105A106C107A", "101C102C103C104A105A"},
  };
  for (const auto& row : rows) {
    const VerificationInput* in = FindVerificationInput(row.input);
    ASSERT_NE(in, nullptr) << row.input;
    EXPECT_EQ(InputPattern(false, in->wiring), row.newer) << row.input;
    EXPECT_EQ(InputPattern(true, in->wiring), row.older) << row.input;
  }
}

TEST(VerificationSwitches, RefusesNoDeviceAndAnUncalibratedSecondOutput) {
  Rig r;
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.setSwitches("", 0, nullptr), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "Selezionare dispositivo da verificare");
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.setSwitches("KRV2211A", 1, nullptr), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "secondo canale di uscita non tarabile");
  EXPECT_TRUE(r.nothingSent());
  EXPECT_EQ(r.core.setSwitches("KRV2212A", 1, nullptr), VerifyResult::Done);
  EXPECT_EQ(r.switchWrites, (std::vector<QByteArray>{"rout:close (@101)\r\n", "rout:close (@102)\r\n"}));
}

// ---------------------------------------------------------------- the run

TEST(VerificationRun, VoltInputAddsExactlyThreeValueLines) {
  Rig r;
  r.readings = {"+4.00000E-03\r\n", "+5.00210E+00\r\n", "+9.99870E+00\r\n"};
  VerifyRun s{FindVerificationInput("V"), 0, 5, 10, VerifyOutput::Volt};
  ASSERT_EQ(r.core.run(s), VerifyResult::Done);
  const QString expected = QStringLiteral(
      "\n"
      "Taratura in corso N\u00b0 : 0 V Range: 0 \u00f7 10 V\n"
      "Valore di zero: 00.004 V\n"
      "Valore di 1/2 scala: 05.002 V\n"
      "Valore di span: 09.999 V\n"
      "Taratura dispositivo N\u00b0 0 : terminata\n"
      "__________________________________________________________\n");
  EXPECT_EQ(r.core.report(), expected);
  EXPECT_EQ(r.core.verificationScale(), 10000);
  EXPECT_DOUBLE_EQ(r.core.lastReading(), 9998.7);
  // Function 2, output 0, then 0 V, 5 V and 10 V in tenths of a millivolt.
  EXPECT_EQ(r.calWire.toHex(' '), Hex("01 80 02 00 00 00 02"
                                      "01 81 00 00 00 00 00"
                                      "01 81 00 00 00 00 00"
                                      "01 81 00 00 c3 50 13"
                                      "01 81 00 01 86 a0 27")
                                      .toHex(' '));
  EXPECT_EQ(r.meterWrites, (std::vector<QByteArray>{":SYST:REM\r\n", ":CONF:VOLT:DC\r\n", ":READ?\r\n",
                                                    ":READ?\r\n", ":READ?\r\n", "SYST:BEEP\r\n", ":SYST:LOC\r\n"}));
  EXPECT_TRUE(r.prompter.asked().empty());
}

TEST(VerificationRun, ThermocoupleFrameAndMilliampReadings) {
  Rig r;
  r.readings = {"0.004\r\n", "0.012\r\n", "0.0200004\r\n"};
  VerifyRun s{FindVerificationInput("Tc K"), -50, 100, 250, VerifyOutput::Curr};
  ASSERT_EQ(r.core.run(s), VerifyResult::Done);
  // (8, sensor 1, 0, 64), checksum 73; -50 degC is -50000 m degC.
  EXPECT_EQ(r.calWire.left(21).toHex(' '), Hex("01 80 08 01 00 40 49"
                                               "01 81 00 00 00 00 00"
                                               "01 81 ff ff 3c b0 6a")
                                               .toHex(' '));
  EXPECT_TRUE(r.core.report().contains("Range: -50 \u00f7 250 Tc K\n"));
  EXPECT_TRUE(r.core.report().contains("Valore di zero: 04.000 mA\n"));
  EXPECT_TRUE(r.core.report().contains("Valore di span: 20.000 mA\n"));
  EXPECT_EQ(r.meterWrites[1], ":CONF:CURR:DC\r\n");
  EXPECT_EQ(r.meterWrites.back(), ":SYST:LOC\r\n");
}

TEST(VerificationRun, MillivoltLimitsRefuseBeforeAnythingMoves) {
  Rig r;
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.run({FindVerificationInput("mVL"), -30, 85, 200, VerifyOutput::Volt}), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "Valore non corretto per mVL; selezionare ingresso mVH");
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.run({FindVerificationInput("mVL"), 0, 150, 300, VerifyOutput::Volt}), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "Valore non corretto per mVL; selezionare ingresso mVH");
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.run({FindVerificationInput("mVH"), 0, 450, 900, VerifyOutput::Volt}), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "Valore non corretto per mVH; selezionare ingresso V");
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.run({nullptr, 0, 5, 10, VerifyOutput::Volt}), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "Impostare calibratore");
  r.prompter.expect(Answer::Ok);
  EXPECT_EQ(r.core.run({FindVerificationInput("V"), 0, 5, 10, VerifyOutput::None}), VerifyResult::Refused);
  EXPECT_EQ(r.lastMessage(), "Impostare tipo di uscita");
  EXPECT_TRUE(r.nothingSent());
  EXPECT_TRUE(r.core.report().isEmpty());
  // The edges of the ranges are accepted.
  r.readings = {"0\r\n", "0\r\n", "0\r\n"};
  EXPECT_EQ(r.core.run({FindVerificationInput("mVL"), -20, 90, 200, VerifyOutput::Volt}), VerifyResult::Done);
}

TEST(VerificationRun, StopEndsTheRunAtItsNextPoint) {
  Rig r;
  r.readings = {"1\r\n", "2\r\n", "3\r\n"};
  // STOP pressed while the run waits before its half-scale point.
  r.clock.schedule(9500, [&] { r.core.stop("24"); });
  EXPECT_EQ(r.core.run({FindVerificationInput("V"), 0, 5, 10, VerifyOutput::Volt}), VerifyResult::Stopped);
  EXPECT_TRUE(r.core.report().contains("Valore di zero: "));
  EXPECT_FALSE(r.core.report().contains("1/2 scala"));
  EXPECT_TRUE(r.core.report().endsWith("Verifica interrotta (STOP)\n"));
  EXPECT_EQ(r.supplyWrites, (std::vector<QByteArray>{"SV 24.00\r", "KOD\r"}));
  EXPECT_EQ(r.calWire.size(), 3 * 7);  // function, output 0, zero point; nothing after
  EXPECT_FALSE(r.core.running());
}

// Each run is a record: the three readings as read and the run's report;
// a stopped run keeps the point it read.
TEST(VerificationRun, EachRunIsRecordedWithItsReadingsAndReport) {
  TempRecords records;
  Rig r;
  r.readings = {"+4.00000E-03\r\n", "+5.00210E+00\r\n", "+9.99870E+00\r\n", "1\r\n", "2\r\n"};
  ASSERT_EQ(r.core.setSwitches("KRV2212A", 0, FindVerificationInput("V")), VerifyResult::Done);
  ASSERT_EQ(r.core.run({FindVerificationInput("V"), 0, 5, 10, VerifyOutput::Volt}), VerifyResult::Done);
  r.clock.schedule(r.clock.nowMs() + 9500, [&] { r.core.stop("24"); });
  EXPECT_EQ(r.core.run({FindVerificationInput("V"), 0, 5, 10, VerifyOutput::Volt}), VerifyResult::Stopped);
  const std::vector<FactoryRecord> all = records.factoryRecords();
  ASSERT_EQ(all.size(), 2u);
  const FactoryRecord& done = all[1];
  EXPECT_EQ(done.kind, QLatin1String(kEventVerification));
  EXPECT_EQ(done.model, QStringLiteral("KRV2212A"));
  EXPECT_EQ(done.outcome, QLatin1String(kOutcomeDone));
  ASSERT_EQ(done.rows.size(), 3u);
  EXPECT_EQ(done.rows[0].item, QStringLiteral("Valore di zero"));
  EXPECT_EQ(done.rows[1].value, std::optional<double>(5.002));
  EXPECT_EQ(done.rows[2].text, QStringLiteral("09.999"));
  EXPECT_EQ(done.rows[2].unit, QStringLiteral("V"));
  EXPECT_TRUE(done.details.value(QStringLiteral("report")).toString().contains(QStringLiteral("Valore di span: 09.999 V\n")));
  EXPECT_EQ(all[0].outcome, QLatin1String(kOutcomeStopped));
  EXPECT_EQ(all[0].rows.size(), 1u);
}

TEST(VerificationRun, ASilentMeterFailsTheRunWithItsReportSoFar) {
  Rig r;
  r.readings = {"0.001\r\n"};  // then nothing
  r.prompter.expect(Answer::Cancel);  // Retry/Cancel for the silent meter
  EXPECT_EQ(r.core.run({FindVerificationInput("V"), 0, 5, 10, VerifyOutput::Volt}), VerifyResult::Failed);
  EXPECT_TRUE(r.core.report().contains("Valore di zero: 00.001 V\n"));
  EXPECT_FALSE(r.core.report().contains("terminata"));
  EXPECT_FALSE(r.core.running());
}

TEST(VerificationRun, ByHandTheOperatorIsToldTheFunctionAndTypesTheReadings) {
  Rig r;
  r.calibrator.setSelector("Manuale");
  r.meter.setSelector("Manuale");
  for (int i = 0; i < 7; ++i) r.prompter.expect(Answer::Ok);
  for (const char* typed : {"0.004", "0.012", "0.020"}) r.prompter.expectText(QString::fromLatin1(typed));
  ASSERT_EQ(r.core.run({FindVerificationInput("mA"), 4, 12, 20, VerifyOutput::Curr}), VerifyResult::Done);
  QStringList told;
  for (const Asked& a : r.prompter.asked()) told << a.text;
  EXPECT_EQ(told, (QStringList{"Cal = mA", "Cal = 0", "Mult = CURR", "Cal = 40000", "Lettura Mult", "Cal = 120000",
                               "Lettura Mult", "Cal = 200000", "Lettura Mult", "Mult = CURR"}));
  EXPECT_TRUE(r.core.report().contains("Valore di 1/2 scala: 12.000 mA\n"));
  EXPECT_TRUE(r.nothingSent());
}

// ---------------------------------------------------------------- download, report

TEST(VerificationDownload, CountsOnlyWrittenDownloads) {
  Rig r;
  std::deque<DownloadOutcome> outcomes = {DownloadOutcome::Written, DownloadOutcome::CommError,
                                          DownloadOutcome::PortClosed, DownloadOutcome::Written};
  QStringList seenDuring;
  r.core.setDownload([&] {
    seenDuring << r.core.report();
    EXPECT_EQ(r.core.phase(), Verification::Phase::Download);
    const DownloadOutcome o = outcomes.front();
    outcomes.pop_front();
    return o;
  });
  EXPECT_EQ(r.core.download(), DownloadOutcome::Written);
  EXPECT_EQ(r.core.report(), "Download completato. Programmazioni effettuate:     1\nImpostare strumentazione");
  EXPECT_EQ(r.core.phase(), Verification::Phase::Ok);
  r.core.download();
  EXPECT_EQ(r.core.report(), "Errore: controllare connessioni dispositivo");
  EXPECT_EQ(r.core.phase(), Verification::Phase::Stop);
  r.core.download();
  EXPECT_EQ(r.core.report(), "Errore di comunicazione");
  r.core.download();
  EXPECT_EQ(r.core.count(), 2);
  EXPECT_EQ(seenDuring, QStringList(4, "Programmazione in corso..."));
  r.core.open();
  EXPECT_EQ(r.core.count(), 0);
  EXPECT_TRUE(r.core.report().isEmpty());
}

TEST(VerificationReport, SavedAsTextAndAFailedSaveSaysWhy) {
  Rig r;
  r.core.setDownload([] { return DownloadOutcome::Written; });
  r.core.download();
  r.readings = {"0\r\n", "5\r\n", "10\r\n"};
  ASSERT_EQ(r.core.run({FindVerificationInput("V"), 0, 5, 10, VerifyOutput::Volt}), VerifyResult::Done);
  QTemporaryDir dir;
  const QString path = dir.filePath("report.txt");
  QString why;
  ASSERT_TRUE(r.core.saveReport(path, &why)) << why.toStdString();
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(f.readAll()), r.core.report());
  EXPECT_TRUE(r.core.report().contains("Taratura in corso N\u00b0 : 1 V"));
  EXPECT_FALSE(r.core.saveReport(dir.filePath("missing/report.txt"), &why));
  EXPECT_FALSE(why.isEmpty());
}

TEST(VerificationInputs, ListTextShortNamesAndUnknownNames) {
  EXPECT_EQ(VerificationInputs().size(), 18u);
  EXPECT_STREQ(VerificationInputs()[1].name, "mVH: (-200 : 800)");
  EXPECT_EQ(FindVerificationInput("mvh"), &VerificationInputs()[1]);
  EXPECT_EQ(FindVerificationInput("TcK"), FindVerificationInput("Tc K"));
  EXPECT_EQ(FindVerificationInput("Tc K")->d2, 1);
  EXPECT_EQ(FindVerificationInput("Tc N")->d2, 9);
  EXPECT_EQ(FindVerificationInput("Ohm")->unit, std::string("Res"));
  EXPECT_EQ(FindVerificationInput("Tc X"), nullptr);
  EXPECT_EQ(FindVerificationInput(""), nullptr);
  EXPECT_EQ(VerificationModels().size(), 14);
}

} // namespace
} // namespace pv::test
