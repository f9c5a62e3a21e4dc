// planovix-cli in-process against the simulator: results and exit codes.
#include "CliRig.h"
#include "support/FileBytes.h"
#include "switches/SwitchTables.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {
using test::Cli;

TEST(Cli, IdentifyAndCells) {
  Cli c("KRV2311C");
  ASSERT_EQ(c.run({"--port", "/dev/sim", "--json", "identify"}), 0) << c.err.toStdString();
  const QJsonObject id = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(id["model"].toString(), "KRV2311C");
  EXPECT_EQ(id["device_code"].toInt(), 12);
  EXPECT_EQ(id["variant"].toInt(), 6);
  EXPECT_TRUE(id.contains("caption"));

  ASSERT_EQ(c.run({"cells", "0", "20", "4"}), 0);
  const QJsonObject cells = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(cells["first"].toInt(), 20);
  ASSERT_EQ(cells["cells"].toArray().size(), 4);
  EXPECT_EQ(cells["cells"].toArray()[1].toInt(), c.unit.cell(0, 21));
}

TEST(Cli, UsageErrorsTouchNoUnit) {
  Cli c;
  EXPECT_EQ(c.run({}), 2);
  EXPECT_EQ(c.run({"frobnicate"}), 2);
  EXPECT_EQ(c.run({"--bogus", "identify"}), 2);
  EXPECT_EQ(c.run({"cells", "0", "250", "10"}), 2);
  EXPECT_EQ(c.run({"cells", "0", "x", "1"}), 2);
  EXPECT_EQ(c.run({"write-config", c.file("missing.DST")}), 2);
  QFile shortFile(c.file("short.DST"));
  shortFile.open(QIODevice::WriteOnly);
  shortFile.write(QByteArray(100, '\0'));
  shortFile.close();
  EXPECT_EQ(c.run({"write-config", c.file("short.DST")}), 2);
  EXPECT_TRUE(c.unit.transcript().isEmpty());
  EXPECT_EQ(c.run({"--help"}), 0);
  EXPECT_TRUE(c.out.contains("Exit codes"));
}

TEST(CliTable, TheCommandWordIsFoundPastOptionsAndTheirValues) {
  EXPECT_EQ(CliCommandWord({"--supply", "Com4", "calibrate", "KRV2210"}), "calibrate");
  EXPECT_EQ(CliCommandWord({"--port=COM 2", "--json", "calibrate"}), "calibrate");
  EXPECT_EQ(CliCommandWord({"--port", "route", "identify"}), "identify");
  EXPECT_EQ(CliCommandWord({"--supply", "verify-calibration", "supply", "on", "24"}), "supply");
  EXPECT_EQ(CliCommandWord({"--json", "--label", "poke", "peek", "0", "1", "int"}), "peek");
  EXPECT_EQ(CliCommandWord({"--yes", "--help"}), "");
}

TEST(CliTable, EveryRowIsFoundByItsNameAndShownInTheHelp) {
  const QString help = CliHelpText();
  const QString man = CliManPage();
  for (const CliCommand& c : CliCommands()) {
    EXPECT_EQ(FindCliCommand(QLatin1String(c.name)), &c) << c.name;  // names are unique
    EXPECT_TRUE(help.contains(QLatin1String(c.synopsis))) << c.name;
    EXPECT_TRUE(QString::fromLatin1(c.synopsis).startsWith(QLatin1String(c.name))) << c.name;
    EXPECT_TRUE(man.contains(QStringLiteral(".B ") + QString::fromLatin1(c.name).replace('-', "\\-"))) << c.name;
    for (const CliOption& o : c.options) EXPECT_TRUE(QByteArray(o.name).startsWith("--") && *o.help) << c.name;
  }
  EXPECT_EQ(FindCliCommand(QStringLiteral("frobnicate")), nullptr);
}

TEST(Cli, ACommandsHelpIsItsOwnPartAndTouchesNoUnit) {
  Cli c;
  ASSERT_EQ(c.run({"cells", "--help"}), 0) << c.err.toStdString();
  EXPECT_TRUE(c.out.startsWith("Usage: planovix-cli [OPTIONS] cells BANK FIRST COUNT\n")) << c.out.toStdString();
  EXPECT_TRUE(c.out.contains("--retries N"));
  EXPECT_FALSE(c.out.contains("verify-calibration"));
  ASSERT_EQ(c.run({"--port", "/dev/sim", "-h", "restore", "last"}), 0);
  EXPECT_TRUE(c.out.contains("--include-calibration")) << c.out.toStdString();
  EXPECT_FALSE(c.out.contains("Exit codes:"));
  EXPECT_TRUE(c.unit.transcript().isEmpty());
}

TEST(Cli, AnOptionOfAnotherCommandIsRefusedNamingTheCommand) {
  Cli c;
  EXPECT_EQ(c.run({"identify", "--rows", "1"}), 2);
  EXPECT_TRUE(c.err.contains("identify does not take --rows")) << c.err.toStdString();
  EXPECT_EQ(c.run({"--retries", "1", "route", "101A"}), 2);
  EXPECT_TRUE(c.err.contains("apply to the unit's commands, not to route")) << c.err.toStdString();
  EXPECT_EQ(c.run({"identify", "--bogus"}), 2);
  EXPECT_TRUE(c.err.contains("unknown option --bogus")) << c.err.toStdString();
  // Options may follow the command word.
  EXPECT_EQ(c.run({"identify", "--no-fingerprint", "--json"}), 0) << c.err.toStdString();
  EXPECT_EQ(QJsonDocument::fromJson(c.out.toUtf8()).object()["model"].toString(), "KRV2212A");
}

TEST(Cli, ReadConfigThenWriteConfigRestoresTheCells) {
  Cli c;
  ASSERT_EQ(c.run({"read-config", c.file("unit.DST")}), 0) << c.err.toStdString();
  EXPECT_EQ(QFile(c.file("unit.DST")).size(), 292);
  const sim::Bank before = c.unit.bank(0);
  c.unit.setCell(0, 20, 0x00);
  c.unit.setCell(0, 22, 0x10);
  c.unit.setCell(0, 9, 0x0A);
  ASSERT_EQ(c.run({"write-config", c.file("unit.DST")}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);

  ASSERT_EQ(c.run({"--json", "show-config", c.file("unit.DST")}), 0);
  const QJsonObject shown = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(shown["variant"].toInt(), 2);
  EXPECT_EQ(shown["channels"].toArray().size(), 2);
}

TEST(Cli, QuestionsNeedYes) {
  Cli c;
  // Channel A's input upper 2000: above the row, still fits its word.
  c.editedUnitFile("unit.DST", [](QByteArray& r) { test::PutDouble(r, 14, 2000); });
  const sim::Bank before = c.unit.bank(0);
  EXPECT_EQ(c.run({"write-config", c.file("unit.DST")}), 3);
  EXPECT_TRUE(c.err.contains("exceeds limits"));
  EXPECT_EQ(c.unit.bank(0), before);
  EXPECT_EQ(c.run({"--yes", "write-config", c.file("unit.DST")}), 0) << c.err.toStdString();
  EXPECT_NE(c.unit.bank(0), before);

  // A file for another unit asks the device question.
  Cli other("KRV2212B");
  QFile::copy(c.file("unit.DST"), other.file("a.DST"));
  EXPECT_EQ(other.run({"write-config", other.file("a.DST")}), 3);
  EXPECT_TRUE(other.err.contains("File not compatible with the device connected"));
}

TEST(Cli, DeviceFailuresExitOne) {
  Cli silent;
  silent.unit.faults().dropAnswers = 100000;
  EXPECT_EQ(silent.run({"identify"}), 1);
  EXPECT_EQ(silent.run({"read-config", silent.file("x.DST")}), 1);
  EXPECT_FALSE(QFile::exists(silent.file("x.DST")));

  Cli missing;
  missing.port.failNextOpen(OpenError::Missing);
  EXPECT_EQ(missing.run({"identify"}), 1);

  Cli pulled;
  pulled.unit.faults().hangUpAfter = 20;
  // A read that fails half-way leaves an existing file as it was.
  test::Write(pulled.file("x.DST"), "older contents");
  EXPECT_EQ(pulled.run({"read-config", pulled.file("x.DST")}), 1);
  EXPECT_EQ(test::Read(pulled.file("x.DST")), QByteArray("older contents"));

  Cli eleven;
  DeviceIdentity id = eleven.unit.identity();
  id.deviceCode = 11;
  eleven.unit.setIdentity(id);
  EXPECT_EQ(eleven.run({"read-config", eleven.file("x.DST")}), 3);
}

TEST(Cli, SwitchesAreDecoded) {
  Cli c("KRV2211A");
  const auto f = FactorySwitchBytes(c.unit.identity());  // Tc K 0..100 °C, 4-20 mA
  c.unit.setSwitches({f[0], f[1], f[2], 0});
  ASSERT_EQ(c.run({"--json", "switches"}), 0) << c.err.toStdString();
  const QJsonObject o = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(o["switches"].toArray(), (QJsonArray{f[0], f[1]}));  // the short "$D" answer
  EXPECT_EQ(o["bytes"].toArray(), (QJsonArray{f[0], f[1], f[2]}));
  EXPECT_EQ(o["layout"].toString(), "DisegnaDip2212");
  const QJsonObject a = o["channels"].toArray()[0].toObject();
  EXPECT_EQ(a["input"].toString(), "Tc K");
  EXPECT_EQ(a["output"].toString(), "4-20 mA");
  EXPECT_DOUBLE_EQ(o["span"].toObject()["value"].toDouble(), 100);
  EXPECT_DOUBLE_EQ(o["zero"].toObject()["value"].toDouble(), 0);
  EXPECT_EQ(o["check"].toString(), "OK");

  ASSERT_EQ(c.run({"switches"}), 0);
  EXPECT_TRUE(c.out.contains("input: Tc K\n")) << c.out.toStdString();
  EXPECT_TRUE(c.out.contains("span: 100 °C")) << c.out.toStdString();
}

TEST(Cli, SwitchesLeftToTheStoredConfigurationSaySo) {
  struct Case {
    const char* model;
    int channels;
  };
  for (const Case k : {Case{"KRV2210", 1}, Case{"KRV2212A", 1}, Case{"KRV2212D", 2},
                       Case{"KRV2220", 1}}) {
    Cli c(k.model);  // every switch off
    ASSERT_EQ(c.run({"switches"}), 0) << c.err.toStdString();
    EXPECT_EQ(c.out.count("input: EEPROM (configured by software)\n"), k.channels)
        << k.model << "\n" << c.out.toStdString();
    EXPECT_FALSE(c.out.contains("span:")) << k.model;
    EXPECT_FALSE(c.out.contains("zero:")) << k.model;

    ASSERT_EQ(c.run({"--json", "switches"}), 0);
    const QJsonObject o = QJsonDocument::fromJson(c.out.toUtf8()).object();
    EXPECT_TRUE(o["channels"].toArray()[0].toObject()["software"].toBool()) << k.model;
    EXPECT_FALSE(o.contains("span")) << k.model;
  }
  // Switches that set the range are not reported as software.
  Cli set("KRV2212A");
  const auto f = FactorySwitchBytes(set.unit.identity());
  set.unit.setSwitches({f[0], f[1], f[2], 0});
  ASSERT_EQ(set.run({"switches"}), 0);
  EXPECT_FALSE(set.out.contains("configured by software"));
  EXPECT_TRUE(set.out.contains("span: 100 °C"));
}

TEST(Cli, SwitchesOfAFrequencyUnitCarryTheMultiplier) {
  Cli c("KRV2220");
  const auto f = FactorySwitchBytes(c.unit.identity());
  c.unit.setSwitches({f[0], f[1], f[2], 0});
  ASSERT_EQ(c.run({"--json", "switches"}), 0) << c.err.toStdString();
  const QJsonObject o = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(o["switches"].toArray().size(), 4);
  EXPECT_TRUE(o.contains("multiplier"));
  EXPECT_EQ(o["unit"].toString(), "Hz");
}

TEST(Cli, SwitchesWithoutAnAnswerExitOne) {
  Cli c;
  c.unit.faults().dropAnswers = 100000;
  c.unit.faults().dropOnly = [](const QByteArray& cmd) { return cmd.startsWith("$D"); };
  EXPECT_EQ(c.run({"switches"}), 1);
}

TEST(Cli, MeasurePrintsDecodedChannelsAndStopsOnce) {
  Cli c;  // channel A Tc K 0..600 °C, trip at 480 / 120
  ASSERT_EQ(c.run({"--json", "measure", "3"}), 0) << c.err.toStdString();
  const QJsonObject o = QJsonDocument::fromJson(c.out.toUtf8()).object();
  const QJsonArray setup = o["channels"].toArray();
  ASSERT_EQ(setup.size(), 2);
  EXPECT_DOUBLE_EQ(setup[0].toObject()["input_max"].toDouble(), 600);
  EXPECT_EQ(setup[0].toObject()["input_unit"].toString(), "°C");
  const QJsonArray frames = o["frames"].toArray();
  ASSERT_EQ(frames.size(), 3);
  for (const QJsonValue& fv : frames) {
    const QJsonObject fr = fv.toObject();
    const QJsonObject a = fr["channels"].toArray()[0].toObject();
    // Seconds into the sweep channel A is rising through its lower half.
    EXPECT_GT(a["input"].toDouble(), 100);
    EXPECT_LT(a["input"].toDouble(), 300);
    EXPECT_NEAR(a["output"].toDouble(), 4 + 16 * a["input"].toDouble() / 600, 0.02);
    EXPECT_TRUE(a["input_text"].toString().endsWith("°C"));
    EXPECT_TRUE(a["output_text"].toString().endsWith("mA"));
    EXPECT_FALSE(a["under_range"].toBool());
    for (const char* lamp : {"trip_a", "trip_b", "alarm"})
      EXPECT_TRUE(fr["lamps"].toObject().contains(lamp));
  }
  const auto& t = c.unit.transcript();
  const qsizetype started = t.lastIndexOf(QByteArray("MI\r"));
  ASSERT_GE(started, 0);
  EXPECT_EQ(t.mid(started + 1), (QList<QByteArray>{"SM\r"}));
  EXPECT_FALSE(c.unit.streaming());

  ASSERT_EQ(c.run({"measure", "2"}), 0);
  const QStringList lines = c.out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 4);  // two channel captions, two frames
  EXPECT_TRUE(lines[0].startsWith("channel A: Tc K")) << lines[0].toStdString();
  EXPECT_TRUE(lines[2].startsWith("1 ")) << lines[2].toStdString();
  EXPECT_TRUE(lines[3].contains("A: out ")) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].contains("alarm green")) << lines[3].toStdString();
}

TEST(Cli, MeasureOnALostLineExitsOne) {
  Cli c;
  c.unit.faults().hangUpAfter = 30;  // during the set-up reads
  EXPECT_EQ(c.run({"measure", "2"}), 1);
  EXPECT_EQ(c.run({"measure", "0"}), 2);
}

} // namespace
} // namespace pv
