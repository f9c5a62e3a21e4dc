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
#include <map>

namespace {

class BenchProcess {
public:
  explicit BenchProcess(const QStringList& args) {
    process_.setProgram(QStringLiteral(PLANOVIX_BENCHSIM));
    process_.setArguments(args);
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    for (;;) {
      while (!process_.canReadLine())
        if (!process_.waitForReadyRead(5000)) return;
      const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
      if (line == QLatin1String("ready")) break;
      if (line.contains(QLatin1Char('='))) ends[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1);
    }
  }
  ~BenchProcess() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
  }
  std::map<QString, QString> ends;

private:
  QProcess process_;
};

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
  BenchProcess bench({QStringLiteral("--model"), QStringLiteral("KRV2210"), QStringLiteral("--seed"), QStringLiteral("0"),
                      QStringLiteral("--state"), state});
  ASSERT_FALSE(bench.ends["meter-a"].isEmpty());
  const CliRun r = Cli({"--supply", bench.ends["supply"], "--calibrator", bench.ends["calibrator"], "--meter",
                        bench.ends["meter-a"], "--switch", bench.ends["switch"], "verify-calibration", "KRV2210",
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
