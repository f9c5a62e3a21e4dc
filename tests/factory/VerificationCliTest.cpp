// planovix-cli verify-calibration in-process: the simulated bench behind
// in-memory ports and simulated time; the report, the exit codes, and the
// refusals that send nothing.
#include "support/CliStation.h"

#include <gtest/gtest.h>

namespace pv::test {
namespace {

struct Station : CliStation {
  explicit Station(const char* model, const QStringList& faults = {}) : CliStation(model, 0, {}, faults) {}
  bool untouched() {
    return sim.supply().transcript().isEmpty() && sim.calibrator().transcript().isEmpty() &&
           sim.meter(0).transcript().isEmpty() && sim.switches().transcript().isEmpty();
  }
};

// The simulated KRV2210 leaves the factory as a Pt100 0..100 degC, 4..20 mA
// unit: its voltage terminal reads 2..10 V over the range.
TEST(VerifyCli, APt100RunReportsZeroHalfAndSpan) {
  Station s("KRV2210");
  ASSERT_EQ(s.run({"verify-calibration", "KRV2210", "--input", "Pt100", "--min", "0", "--half", "50", "--max",
                   "100", "--output", "V", "--supply-volts", "24"}),
            0)
      << s.err.toStdString();
  // The report opens with the line break before its header.
  EXPECT_EQ(s.out, QStringLiteral("\nTaratura in corso N\u00b0 : 0 Pt100 Range: 0 \u00f7 100 Pt100\n"
                                  "Valore di zero: 02.000 V\n"
                                  "Valore di 1/2 scala: 06.000 V\n"
                                  "Valore di span: 10.000 V\n"
                                  "Taratura dispositivo N\u00b0 0 : terminata\n"
                                  "__________________________________________________________\n"));
  EXPECT_EQ(s.sim.supply().transcript(), (QList<QByteArray>{"SV 24.00\r", "KOE\r"}));
  EXPECT_TRUE(s.sim.unitPowered());
  EXPECT_EQ(s.sim.switches().transcript().size(), 10);
  EXPECT_EQ(s.sim.meter(0).transcript().back(), ":SYST:LOC\r\n");
  EXPECT_TRUE(s.err.isEmpty()) << s.err.toStdString();
}

// Channel B of a two-channel unit (a Tc J 0..400 degC, 4..20 mA input as it
// leaves the factory) on the current fixture, the calibrator's relay 113
// closed as a calibration leaves it.
TEST(VerifyCli, SecondChannelOfATwoChannelUnit) {
  Station s("KRV2212A");
  s.switchPort.open("switch", nullptr, nullptr);
  s.switchPort.write("rout:close (@113)\r\n");
  ASSERT_EQ(s.run({"verify-calibration", "KRV2212A", "--channel", "1", "--input", "Tc J", "--min", "0", "--max", "400",
                   "--output", "V"}),
            0)
      << s.err.toStdString();
  EXPECT_TRUE(s.out.startsWith(QStringLiteral("\nTaratura in corso N\u00b0 : 0 Tc J Range: 0 \u00f7 400 Tc J\n"
                                              "Valore di zero: 02.0")))
      << s.out.toStdString();
  EXPECT_TRUE(s.out.contains("Valore di 1/2 scala: 06.0")) << s.out.toStdString();
  EXPECT_TRUE(s.out.contains("Valore di span: 10.0")) << s.out.toStdString();
  const QList<QByteArray> routed = s.sim.switches().transcript().mid(1);
  EXPECT_EQ(routed, (QList<QByteArray>{"rout:close (@101)\r\n", "rout:close (@102)\r\n", "rout:open (@103)\r\n",
                                       "rout:open (@104)\r\n", "rout:open (@105)\r\n", "rout:open (@106)\r\n",
                                       "rout:open (@107)\r\n"}));
  EXPECT_EQ(s.sim.routing().inputChannel, 1);
  EXPECT_EQ(s.sim.routing().meterChannel, 1);
}

TEST(VerifyCli, TheMiddleDefaultsToHalfTheRangeAndTheSupplyIsLeftAlone) {
  Station s("KRV2210");
  ASSERT_EQ(s.run({"verify-calibration", "KRV2210", "--input", "pt100", "--min", "0", "--max", "100", "--output",
                   "V"}),
            0)
      << s.err.toStdString();
  EXPECT_TRUE(s.out.contains("Valore di 1/2 scala: 06.000 V\n")) << s.out.toStdString();
  EXPECT_TRUE(s.sim.supply().transcript().isEmpty());
}

TEST(VerifyCli, RefusalsExitTwoAndSendNothing) {
  const struct {
    QStringList args;
    const char* message;
  } cases[] = {
      {{"--supply-volts", "17.9"}, "Wrong supply value!"},
      {{"--input", "Tc X"}, "unknown input \"Tc X\""},
      {{"--input", "mVL", "--min", "-30"}, "Value not valid for mVL; select input mVH"},
      {{"--input", "mVH: (-200 : 800)", "--max", "900"}, "Value not valid for mVH; select input V"},
      {{"--output", "A"}, "--output takes V or mA"},
      {{"--min", "zero"}, "--min takes a number"},
  };
  for (const auto& c : cases) {
    Station s("KRV2210");
    // Later options replace the defaults given first.
    QStringList args = {"verify-calibration", "KRV2210", "--input", "V", "--min", "0", "--max", "10", "--output", "V"};
    args << c.args;
    EXPECT_EQ(s.run(args), 2) << c.message;
    EXPECT_TRUE(s.err.contains(c.message)) << s.err.toStdString();
    EXPECT_TRUE(s.untouched()) << c.message;
    EXPECT_TRUE(s.out.isEmpty());
  }
  Station s("KRV2211A");
  EXPECT_EQ(s.run({"verify-calibration", "KRV2211A", "--channel", "1", "--input", "V", "--min", "0", "--max", "10",
                   "--output", "V"}),
            2);
  EXPECT_TRUE(s.err.contains("second output channel cannot be calibrated")) << s.err.toStdString();
  EXPECT_EQ(s.run({"verify-calibration", "KRV9999", "--input", "V", "--min", "0", "--max", "10", "--output", "V"}), 2);
  EXPECT_TRUE(s.untouched());
}

TEST(VerifyCli, ASilentMeterExitsOneWithTheReportSoFar) {
  Station s("KRV2210", {"silent-meter=A"});
  EXPECT_EQ(s.run({"verify-calibration", "KRV2210", "--input", "Pt100", "--min", "0", "--max", "100", "--output",
                   "V"}),
            1);
  EXPECT_FALSE(s.out.contains("terminata"));
  EXPECT_TRUE(s.err.contains("giving up")) << s.err.toStdString();
  // The supply was left alone: nothing to switch off.
  EXPECT_TRUE(s.sim.supply().transcript().isEmpty());
}

TEST(VerifyCli, AFailedRunSwitchesOffTheSupplyItSwitchedOn) {
  Station s("KRV2210", {"silent-meter=A"});
  EXPECT_EQ(s.run({"verify-calibration", "KRV2210", "--input", "Pt100", "--min", "0", "--max", "100", "--output",
                   "V", "--supply-volts", "24"}),
            1);
  EXPECT_EQ(s.sim.supply().transcript(), (QList<QByteArray>{"SV 24.00\r", "KOE\r", "SV 24.00\r", "KOD\r"}));
  EXPECT_FALSE(s.sim.unitPowered());
  EXPECT_TRUE(s.out.startsWith(QStringLiteral("\nTaratura in corso"))) << s.out.toStdString();
}


} // namespace
} // namespace pv::test
