// planovix-cli verify-calibration against planovix-benchsim over real
// pseudo-terminals: the same ports and waits a bench uses. The run takes the
// instruments' own pauses (about 20 s); every wait here is bounded.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/SimulatorProcess.h"

namespace pv::test {
namespace {

struct CliRun {
  int code = -1;
  QString out, err;
};

CliRun Cli(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(PLANOVIX_CLI), args);
  if (!p.waitForFinished(90000)) {
    p.kill();
    return {};
  }
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

TEST(VerifyOnTheBench, APt100UnitReadsTwoToTenVoltsOverItsRange) {
  QTemporaryDir dir;
  const QString state = dir.filePath(QStringLiteral("bench.json"));
  SimulatorProcess bench(QStringLiteral(PLANOVIX_BENCHSIM), {"--model", "KRV2210", "--seed", "0", "--state", state});
  ASSERT_FALSE(bench.value("meter-a").isEmpty());
  const CliRun r = Cli({"--supply", bench.value("supply"), "--calibrator", bench.value("calibrator"), "--meter",
                        bench.value("meter-a"), "--switch", bench.value("switch"), "verify-calibration", "KRV2210",
                        "--input", "Pt100", "--min", "0", "--half", "25", "--max", "100", "--output", "V",
                        "--supply-volts", "24"});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, QStringLiteral("\nTaratura in corso N\u00b0 : 0 Pt100 Range: 0 \u00f7 100 Pt100\n"
                                  "Valore di zero: 02.000 V\n"
                                  "Valore di 1/2 scala: 04.000 V\n"
                                  "Valore di span: 10.000 V\n"
                                  "Taratura dispositivo N\u00b0 0 : terminata\n"
                                  "__________________________________________________________\n"));
  QFile f(state);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QJsonObject s = QJsonDocument::fromJson(f.readAll()).object();
  EXPECT_TRUE(s["supply"]["on"].toBool());
  EXPECT_EQ(s["supply"]["volts"].toDouble(), 24.0);
  EXPECT_EQ(s["calibrator"]["function"].toInt(), 9);
  EXPECT_EQ(s["calibrator"]["sensor"].toInt(), 15);
  EXPECT_EQ(s["calibrator"]["value"].toInt(), 100000);  // 100 degC in thousandths
  EXPECT_EQ(s["routing"]["input"].toString(), QStringLiteral("resistance"));
  EXPECT_EQ(s["meters"][0]["readings"].toInt(), 3);
}

TEST(VerifyOnTheBench, NoCalibratorOnThePortExitsOne) {
  const CliRun r = Cli({"--supply", "Manuale", "--calibrator", "/dev/nonexistent-calibrator", "--meter", "Manuale",
                        "--switch", "Manuale", "verify-calibration", "KRV2210", "--input", "V", "--min", "0", "--max",
                        "10", "--output", "V"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains("nonexistent-calibrator")) << r.err.toStdString();
}

} // namespace
} // namespace pv::test
