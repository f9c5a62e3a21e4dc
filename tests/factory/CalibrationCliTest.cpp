// planovix-cli calibrate in-process: the simulated bench behind in-memory
// ports, the tool's own option parsing, output and exit codes.
#include "CalibrateCli.h"
#include "support/CliStation.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

// The dip switches are flipped by the simulated operator after each read.
struct Station : CliStation {
  static bench::BenchFaults DipOperator() {
    bench::BenchFaults f;
    f.dipOperator = true;
    return f;
  }
  explicit Station(const char* model, const QStringList& faults = {}) : CliStation(model, 3, DipOperator(), faults) {}
  int writes() {
    int n = 0;
    for (const QByteArray& c : sim.unit().transcript()) n += c.startsWith("$W");
    return n;
  }
};

TEST(CalibrateCli, AGoodUnitEndsNormallyWithEveryCellGreen) {
  Station s("KRV2211A");
  EXPECT_EQ(s.run({"--json", "calibrate", "KRV2211A"}), 0) << s.err.toStdString();
  const QJsonObject o = QJsonDocument::fromJson(s.out.toUtf8()).object();
  EXPECT_EQ(o["end"].toString(), "normal");
  EXPECT_EQ(o["exit"].toInt(), 0);
  const QJsonArray rows = o["rows"].toArray();
  ASSERT_EQ(rows.size(), 6);
  EXPECT_EQ(rows[0]["caption"].toString(), "90 mV");
  EXPECT_EQ(rows[3]["caption"].toString(), "CJC");
  EXPECT_EQ(rows[4]["cells"].toArray().size(), 6);
  for (const QJsonValue& r : rows)
    for (const QJsonValue& c : r["cells"].toArray()) EXPECT_EQ(c["colour"].toString(), "green");
}

TEST(CalibrateCli, TextOutputNamesRowChannelAndCells) {
  Station s("KRV2211D");
  EXPECT_EQ(s.run({"calibrate", "krv2211d", "--settle", "0.2"}), 0) << s.err.toStdString();
  EXPECT_TRUE(s.out.contains("row 3 A 10 V: green | k1 ")) << s.out.toStdString();
  EXPECT_TRUE(s.out.contains("| Carico ")) << s.out.toStdString();
  EXPECT_TRUE(s.out.endsWith("end: normal\n")) << s.out.toStdString();
}

TEST(CalibrateCli, AWrongGainEndsNormallyWithExitFour) {
  Station s("KRV2211A", {"wrong-gain=800mV"});
  EXPECT_EQ(s.run({"calibrate", "KRV2211A"}), 4);
  EXPECT_TRUE(s.out.contains("row 2 A 800 mV: red | k1 ")) << s.out.toStdString();
}

TEST(CalibrateCli, AWrongConsumptionStopsUnlessIgnored) {
  {
    Station s("KRV2211A", {"high-consumption"});
    EXPECT_EQ(s.run({"calibrate", "KRV2211A"}), 3);
    EXPECT_TRUE(s.err.contains("Consumo Errato")) << s.err.toStdString();
    EXPECT_TRUE(s.out.contains("end: stopped")) << s.out.toStdString();
  }
  Station s("KRV2211A", {"high-consumption"});
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--on-question", "ignore"}), 0) << s.err.toStdString();
  // Retry repeats the stage, then gives up on a check that keeps failing.
  Station r("KRV2211A", {"high-consumption"});
  EXPECT_EQ(r.run({"calibrate", "KRV2211A", "--on-question", "retry"}), 3);
}

TEST(CalibrateCli, OutputFaultsShowInTheirRow) {
  Station bowed("KRV2211A", {"bowed-output=A:V"});
  EXPECT_EQ(bowed.run({"calibrate", "KRV2211A"}), 4);
  EXPECT_TRUE(bowed.out.contains("row 8 A V: red")) << bowed.out.toStdString();
  EXPECT_TRUE(bowed.out.contains("| Half 5.299 red |")) << bowed.out.toStdString();
  EXPECT_TRUE(bowed.out.contains("row 9 A mA: green")) << bowed.out.toStdString();
  Station dead("KRV2211A", {"dead-output=A:mA"});
  EXPECT_EQ(dead.run({"calibrate", "KRV2211A"}), 4);
  EXPECT_TRUE(dead.out.contains("row 8 A V: green")) << dead.out.toStdString();
  EXPECT_TRUE(dead.out.contains("row 9 A mA: red")) << dead.out.toStdString();
  EXPECT_TRUE(dead.out.contains("| Carico 0.000 red")) << dead.out.toStdString();
}

TEST(CalibrateCli, ASilentMeterIsAnErrorEnd) {
  Station s("KRV2211A", {"silent-meter"});
  EXPECT_EQ(s.run({"--json", "calibrate", "KRV2211A"}), 1);
  EXPECT_EQ(QJsonDocument::fromJson(s.out.toUtf8()).object()["end"].toString(), "error");
  EXPECT_FALSE(s.sim.supply().on());
  // Never a bare "Errore": the reason comes with it.
  EXPECT_TRUE(s.err.contains("Errore: ")) << s.err.toStdString();
}

TEST(CalibrateCli, StateAndResumeRerunOnlyTheRowsNotGreen) {
  QTemporaryDir dir;
  const QString state = QDir(dir.path()).filePath("grid.json");
  Station s("KRV2211A");
  ASSERT_EQ(s.run({"calibrate", "KRV2211A", "--state", state}), 0);
  QFile f(state);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QJsonObject grid = QJsonDocument::fromJson(f.readAll()).object();
  f.close();
  // Row 2 as a stop in its middle would leave it.
  QJsonArray rows = grid["rows"].toArray();
  QJsonObject row2 = rows[2].toObject();
  QJsonArray cells = row2["cells"].toArray();
  QJsonObject min = cells[2].toObject();
  min["colour"] = "yellow";
  cells[2] = min;
  row2["cells"] = cells;
  rows[2] = row2;
  grid["rows"] = rows;
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(QJsonDocument(grid).toJson());
  f.close();

  s.sim.unit().clearTranscript();
  ASSERT_EQ(s.run({"calibrate", "KRV2211A", "--resume", state}), 0) << s.err.toStdString();
  QSet<int> written;
  for (const QByteArray& c : s.sim.unit().transcript())
    if (c.startsWith("$W")) written.insert(static_cast<uint8_t>(c[3]));
  EXPECT_TRUE(written.contains(56));   // row 2's gain
  EXPECT_FALSE(written.contains(50));  // row 0
  EXPECT_FALSE(written.contains(53));  // row 1
  EXPECT_FALSE(written.contains(100)); // the outputs were green
  EXPECT_EQ(s.sim.supply().currentReads(), 3);  // no second consumption test
}

TEST(CalibrateCli, BadInputIsAUsageErrorThatTouchesNothing) {
  QTemporaryDir dir;
  test::Write(QDir(dir.path()).filePath("KRV2211A.dat"), "0\n1\n");
  Station s("KRV2211A");
  EXPECT_EQ(s.run({"calibrate", "KRV9999"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--rows", "1,22"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--channels", "C"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--settle", "x"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--on-question", "maybe"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--resume", dir.path() + "/none.json"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--model-dir", dir.path()}), 2);
  EXPECT_TRUE(s.err.contains("ends at line 2")) << s.err.toStdString();
  EXPECT_EQ(s.writes(), 0);
  EXPECT_EQ(s.sim.supply().currentReads(), 0);
}

TEST(CalibrateCli, TaraCanaleWritesVeqToTheChannelsPtcCells) {
  Station s("KRV2212A");
  // The defaults 15225 / 10324: Veq 28984 = 113 x 256 + 56, Req 1807.49.
  ASSERT_EQ(s.run({"tara-canale", "A"}), 0) << s.err.toStdString();
  EXPECT_EQ(s.out, "Veq 28984\nReq 18075\ncells 65, 66 written\n");
  EXPECT_EQ(s.sim.unit().cell(0, 65), 56);
  EXPECT_EQ(s.sim.unit().cell(0, 66), 113);
  // Channel B, 15000 / 10000: x = 4/3, Req = 2000, Veq = 30000 = 117 x 256 + 48.
  ASSERT_EQ(s.run({"--json", "tara-canale", "b", "15000", "10000"}), 0) << s.err.toStdString();
  const QJsonObject o = QJsonDocument::fromJson(s.out.toUtf8()).object();
  EXPECT_EQ(o["veq"].toInt(), 30000);
  EXPECT_EQ(o["req"].toInt(), 20000);
  EXPECT_EQ(o["cells"].toArray(), QJsonArray({44, 45}));
  EXPECT_EQ(s.sim.unit().cell(0, 44), 48);
  EXPECT_EQ(s.sim.unit().cell(0, 45), 117);
  EXPECT_EQ(s.writes(), 4);
}

TEST(CalibrateCli, TaraCanaleRefusesReadingsWithoutAResistanceBeforeTouchingTheUnit) {
  Station s("KRV2212A");
  EXPECT_EQ(s.run({"tara-canale", "C"}), 2);
  EXPECT_EQ(s.run({"tara-canale", "A", "0", "10324"}), 2);       // V2000 = 0
  EXPECT_EQ(s.run({"tara-canale", "A", "10000", "5000"}), 2);    // x = 1
  EXPECT_EQ(s.run({"tara-canale", "A", "15225"}), 2);
  EXPECT_EQ(s.run({"tara-canale", "A", "x", "10324"}), 2);
  EXPECT_EQ(s.writes(), 0);
}

TEST(CalibrateCli, PowerButtonsSwitchTheSupply) {
  Station s("KRV2211A");
  ASSERT_EQ(s.run({"calibrate-power", "on"}), 0) << s.err.toStdString();
  EXPECT_TRUE(s.sim.supply().on());
  EXPECT_EQ(s.sim.supply().volts(), 24.0);
  ASSERT_EQ(s.run({"calibrate-power", "off"}), 0) << s.err.toStdString();
  EXPECT_FALSE(s.sim.supply().on());
  // A manual supply is switched off by hand: the tool says so.
  ASSERT_EQ(s.run({"--supply", "Manuale", "calibrate-power", "off"}), 0);
  EXPECT_TRUE(s.err.contains("Togliere Alimentazione")) << s.err.toStdString();
  EXPECT_EQ(s.run({"calibrate-power", "maybe"}), 2);
  EXPECT_EQ(s.run({"calibrate-power", "on", "--rows", "1"}), 2);
}

TEST(CalibrateCli, OutputLinearityLogsCodeAndVoltsUntilItsPoints) {
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath("linear.dat");
  Station s("KRV2211A");
  ASSERT_EQ(s.run({"linearity-output", "--points", "3", "--file", file}), 0) << s.err.toStdString();
  EXPECT_EQ(s.out, file + ": 3 points\n");
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().split('\n');
  ASSERT_EQ(lines.size(), 4);  // three lines and the empty rest
  EXPECT_TRUE(lines[0].startsWith("801\t")) << lines[0].toStdString();
  EXPECT_TRUE(lines[2].startsWith("803\t")) << lines[2].toStdString();
  // Channel A was forced in programming mode; the stream is stopped after.
  int forced = 0;
  for (const QByteArray& c : s.sim.unit().transcript()) forced += c.startsWith("$I");
  EXPECT_EQ(forced, 3);
  EXPECT_TRUE(s.sim.unit().transcript().last().startsWith("SM")) << s.sim.unit().transcript().last().toStdString();
  // Out of programming mode after the last forced code: the output is free.
  const QList<QByteArray> t = s.sim.unit().transcript();
  qsizetype lastForce = -1, lastEnd = -1;
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (t[i].startsWith("$I")) lastForce = i;
    if (t[i].startsWith("$FP")) lastEnd = i;
  }
  EXPECT_GT(lastEnd, lastForce);
  EXPECT_FALSE(s.sim.unit().programming());
  EXPECT_EQ(s.sim.lastForcedCode(0), 803);
  EXPECT_EQ(s.sim.forcedCode(0), -1);
  EXPECT_FALSE(s.sim.unit().streaming());
  EXPECT_EQ(s.run({"linearity-output", "--points", "0"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--points", "3"}), 2);
}

TEST(CalibrateCli, ALinkPlantedAsTheLinearityLogIsRefusedAndItsTargetKept) {
  QTemporaryDir dir;
  const QString victim = QDir(dir.path()).filePath("victim");
  test::Write(victim, "precious");
  const QString file = QDir(dir.path()).filePath("linear.dat");
  ASSERT_TRUE(QFile::link(victim, file));
  Station s("KRV2211A");
  EXPECT_EQ(s.run({"linearity-output", "--points", "3", "--file", file}), 1);
  EXPECT_TRUE(s.err.contains("symbolic link")) << s.err.toStdString();
  EXPECT_EQ(test::Read(victim), "precious");
}

TEST(CalibrateCli, TwoChannelLinearityReadsBothMeters) {
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath("linear.dat");
  Station s("KRV2212A");
  const sim::Bank before = s.sim.unit().bank(0);
  ASSERT_EQ(s.run({"linearity-2ch", "--points", "2", "--file", file}), 0) << s.err.toStdString();
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().split('\n');
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "Input\tInA\tOutA\tMultA\tInB\tOutB\tMultB\r");
  EXPECT_TRUE(lines[1].startsWith("0\t00.000\t")) << lines[1].toStdString();
  EXPECT_EQ(lines[1].split('\t').size(), 7);
  EXPECT_TRUE(lines[2].startsWith("1\t00.010\t")) << lines[2].toStdString();
  EXPECT_EQ(s.sim.meter(0).readings(), 2);
  EXPECT_EQ(s.sim.meter(1).readings(), 2);
  // Both channels ran on the 800 mV input (row 3), and are back as they were.
  QList<QByteArray> inputWrites;
  for (const QByteArray& c : s.sim.unit().transcript())
    if (c.startsWith("$W") && (c[3] == 0 || c[3] == 1)) inputWrites << c.mid(3, 2);
  EXPECT_EQ(inputWrites, (QList<QByteArray>{QByteArray("\x00\x03", 2), QByteArray("\x01\x03", 2),
                                            QByteArray(1, '\x00') + char(before[0]),
                                            QByteArray(1, '\x01') + char(before[1])}));
  EXPECT_EQ(s.sim.unit().bank(0), before);
  EXPECT_FALSE(s.sim.unit().streaming());
}

TEST(CalibrateCli, TimeScaleShortensWaitsAboveTheirFloors) {
  FakeClock fake;
  ScaledClock clock(fake, 0.1);
  MemorySerialPort port;
  const std::pair<qint64, qint64> pauses[] = {{50, 5}, {100, 40}, {200, 40}, {500, 50}, {3000, 300}};
  for (auto [ms, real] : pauses) {
    const qint64 before = fake.waitedMs();
    clock.wait(ms, nullptr);
    EXPECT_EQ(fake.waitedMs() - before, real) << ms;
  }
  // A wait for an answer keeps up to 300 ms: it ends when the answer comes.
  const std::pair<qint64, qint64> answers[] = {{200, 200}, {1000, 300}, {10000, 1000}};
  for (auto [ms, real] : answers) {
    const qint64 before = fake.waitedMs();
    clock.wait(ms, &port);
    EXPECT_EQ(fake.waitedMs() - before, real) << ms;
  }
  // The run's own time is ten times the real one.
  EXPECT_EQ(clock.nowMs(), fake.nowMs() * 10);
}

TEST(CalibrateCli, TimeScaleChangesNothingButTheTime) {
  Station full("KRV2211A"), fast("KRV2211A");
  ASSERT_EQ(full.run({"calibrate", "KRV2211A", "--settle", "0"}), 0) << full.err.toStdString();
  ASSERT_EQ(fast.run({"calibrate", "KRV2211A", "--settle", "0", "--time-scale", "0.1"}), 0) << fast.err.toStdString();
  EXPECT_EQ(fast.out, full.out);
  EXPECT_EQ(fast.sim.unit().transcript(), full.sim.unit().transcript());
  EXPECT_LT(fast.clock.waitedMs(), full.clock.waitedMs() / 4);
}

TEST(CalibrateCli, TimeScaleIsBounded) {
  Station s("KRV2211A");
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--time-scale", "2"}), 2);
  EXPECT_EQ(s.run({"calibrate", "KRV2211A", "--time-scale", "0.01"}), 2);
  EXPECT_EQ(s.writes(), 0);
}


} // namespace
} // namespace pv::test
