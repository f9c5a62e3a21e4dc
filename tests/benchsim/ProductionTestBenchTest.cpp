// planovix-cli generator against planovix-benchsim: the buttons reach the
// bench's generator through the real socket session on "UsbDevice1", and
// the bench's state shows what it was set to. Waits are bounded.
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/SimulatorProcess.h"

namespace pv::test {
namespace {

struct CliRun {
  int code = -1;
  QString err;
};

CliRun Cli(const QString& generatorResource, const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("PLANOVIX_USB1"), generatorResource);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(PLANOVIX_CLI), args);
  if (!p.waitForFinished(20000)) {
    p.kill();
    return {};
  }
  return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

QJsonObject ReadGenerator(const QString& stateFile) {
  QFile f(stateFile);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object()[QStringLiteral("generator")].toObject();
}

// The bench handles the last message a moment after the tool has sent it:
// the state once it shows the given value (or as it is after 10 s).
QJsonObject GeneratorState(const QString& stateFile, const char* key, const QJsonValue& want) {
  QJsonObject g;
  for (int i = 0; i < 500; ++i) {
    g = ReadGenerator(stateFile);
    if (g[QLatin1String(key)] == want) break;
    QThread::msleep(20);
  }
  return g;
}

TEST(GeneratorOnTheBench, BounceUploadsTheWholeWaveformThenTachoSetsASine) {
  QTemporaryDir dir;
  const QString state = dir.filePath(QStringLiteral("bench.json"));
  SimulatorProcess bench(QStringLiteral(PLANOVIX_BENCHSIM), {"--model", "KRV2220", "--state", state});
  const QString generator = bench.value(QStringLiteral("generator"));
  ASSERT_FALSE(generator.isEmpty());

  CliRun r = Cli(generator, {QStringLiteral("generator"), QStringLiteral("bounce")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  // "OUTPut ON" is the last command the button sends.
  QJsonObject g = GeneratorState(state, "output", true);
  EXPECT_EQ(g[QStringLiteral("userPoints")].toInt(), 4000);
  EXPECT_EQ(g[QStringLiteral("shape")].toString(), QStringLiteral("USER:PULSE"));
  EXPECT_EQ(g[QStringLiteral("frequency")].toDouble(), 5000.0);
  EXPECT_TRUE(g[QStringLiteral("output")].toBool());

  r = Cli(generator, {QStringLiteral("generator"), QStringLiteral("tacho"), QStringLiteral("50")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  g = GeneratorState(state, "volts", 0.05);  // after the frequency and the shape
  EXPECT_EQ(g[QStringLiteral("shape")].toString(), QStringLiteral("SIN"));
  EXPECT_EQ(g[QStringLiteral("frequency")].toDouble(), 50.0);
  EXPECT_EQ(g[QStringLiteral("volts")].toDouble(), 0.05);

  r = Cli(generator, {QStringLiteral("generator"), QStringLiteral("off")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_FALSE(GeneratorState(state, "output", false)[QStringLiteral("output")].toBool());
}

TEST(GeneratorOnTheBench, NoGeneratorThereFailsWithExitOne) {
  // A port nothing listens on: the session cannot open.
  const CliRun r = Cli(QStringLiteral("TCPIP::127.0.0.1::1::SOCKET"),
                    {QStringLiteral("generator"), QStringLiteral("on")});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(r.err.isEmpty());
}

} // namespace
} // namespace pv::test
