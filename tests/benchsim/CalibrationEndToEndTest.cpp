// planovix-cli calibrate and the calibration window's other buttons as
// separate processes against planovix-benchsim, over pseudo-terminals: the
// exit codes, the grid the tool prints, and the bytes that end up in the
// unit's memory (from the bench's state file), against tables written out
// by hand here.
//
// Good units of each calibration layout (KRV2211A, KRV2212A, KRV2210,
// KRV2312D) and of a thermocouple model (KRV2311A), single faults, a stop
// and its resume, another unit's grid, the buttons; every scenario ends with
// the unit out of programming mode, not streaming and not forced.
// Every scenario has a bench of its own and they all run at once; the runs
// use --settle 0 and --time-scale 0.1, the bench streams a frame every 20 ms.
// Waits are bounded so a hang fails instead of blocking the suite.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/SimulatorProcess.h"

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

namespace pv::test {
namespace {

constexpr int kRunLimitMs = 150000;  // a bound for a hung tool, not a timing figure

// The bench of one scenario: its state file and transcripts in dir.
class Benchsim {
public:
  Benchsim(const QStringList& args, const QString& dir)
      : dir_(dir),
        process_(QStringLiteral(PLANOVIX_BENCHSIM),
                 args + QStringList{"--env", "--dip-operator", "--frame-ms", "20", "--state",
                                    QDir(dir).filePath("bench.json"), "--transcripts", QDir(dir).filePath("logs")}) {}
  bool ready() const { return process_.ready(); }
  void stop() { process_.stop(); }
  QProcessEnvironment environment() const { return process_.environment(); }
  QString statePath() const { return QDir(dir_).filePath("bench.json"); }
  // The state file the bench leaves (read after stop()).
  QJsonObject state() const {
    QFile f(statePath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(f.readAll()).object();
  }
  std::vector<int> cells() const {
    std::vector<int> out;
    for (const QJsonValue& v : state()["unit"].toObject()["cells"].toArray()) out.push_back(v.toInt());
    return out;
  }
  // Commands the unit received, unescaped, one a line.
  QList<QByteArray> unitCommands() const {
    QList<QByteArray> out;
    QFile f(QDir(dir_).filePath("logs/unit.log"));
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
      QByteArray b;
      for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 >= line.size()) {
          b += line[i];
        } else if (line[i + 1] == 'x' && i + 3 < line.size()) {
          b += static_cast<char>(line.mid(i + 2, 2).toInt(nullptr, 16));
          i += 3;
        } else {
          b += line[i + 1] == 'r' ? '\r' : line[i + 1] == 'n' ? '\n' : line[i + 1];
          ++i;
        }
      }
      if (!b.isEmpty()) out << b;
    }
    return out;
  }

private:
  QString dir_;
  SimulatorProcess process_;
};

// One bench and the tool runs against it.
struct Scenario {
  QTemporaryDir dir;
  std::unique_ptr<Benchsim> bench;
  QProcess cli;
  int exit = -1;
  QByteArray out, err;

  explicit Scenario(const QStringList& benchArgs) {
    bench = std::make_unique<Benchsim>(benchArgs, dir.path());
  }
  void start(const QStringList& args) {
    cli.setProcessEnvironment(bench->environment());
    cli.setWorkingDirectory(dir.path());
    cli.start(QStringLiteral(PLANOVIX_CLI), QStringList{"--port", "COM 2"} + args);
    cli.waitForStarted(5000);
  }
  void finish() {
    if (!cli.waitForFinished(kRunLimitMs)) {
      cli.kill();
      cli.waitForFinished(5000);
      exit = -2;  // hung
    } else {
      exit = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -3;
    }
    out = cli.readAllStandardOutput();
    err = cli.readAllStandardError();
  }
  int run(const QStringList& args) {
    start(args);
    finish();
    return exit;
  }
  QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
  std::string why() const { return (err + "\n" + out).toStdString(); }
};

QStringList Calibrate(const char* model, const QStringList& more = {}) {
  return QStringList{"--json", "calibrate", QLatin1String(model), "--settle", "0", "--time-scale", "0.1"} + more;
}

// Rows of the tool's JSON: row number -> the colours of its box and cells.
QMap<int, QStringList> Colours(const QJsonObject& o) {
  QMap<int, QStringList> m;
  for (const QJsonValue& r : o["rows"].toArray()) {
    QStringList c{r["result"].toString()};
    for (const QJsonValue& cell : r["cells"].toArray()) c << cell["colour"].toString();
    m[r["row"].toInt()] = c;
  }
  return m;
}

bool AllGreen(const QStringList& colours) {
  return !colours.isEmpty() && colours.count(QStringLiteral("green")) == colours.size();
}

// Cells 0..27 of the model files, line by line.
const int kKrv2211A[28] = {8, 7, 0, 0, 113, 0, 17, 0, 2, 0, 0, 0, 160, 15, 0, 0, 32, 78, 160, 15, 112, 23, 0, 0, 32, 78, 160, 15};
const int kKrv2212A[28] = {8, 7, 0, 0, 17, 0, 17, 0, 2, 0, 0, 0, 160, 15, 0, 0, 32, 78, 160, 15, 112, 23, 0, 0, 32, 78, 160, 15};
const int kKrv2210[28] = {18, 18, 0, 0, 9, 0, 10, 0, 15, 0, 0, 160, 66, 0, 160, 65, 16, 39, 0, 0, 232, 3, 0, 0, 32, 78, 160, 15};
const int kKrv2312D[28] = {5, 4, 0, 0, 65, 0, 2, 0, 2, 0, 0, 0, 16, 39, 0, 0, 16, 39, 0, 0, 32, 78, 160, 15, 32, 78, 160, 15};
const int kKrv2311A[28] = {8, 7, 0, 0, 49, 0, 17, 0, 2, 0, 0, 0, 160, 15, 0, 0, 32, 78, 160, 15, 112, 23, 0, 0, 32, 78, 160, 15};

// The bench's sensor reads 1.2 degrees high: offset Round((T - m) x 10) =
// -12 tenths, stored as -12 + 256.
constexpr int kOffsetByte = 244;
// Float24 (the top three bytes of the IEEE single): 500.0 = 0x43FA0000.
const int kFiveHundred[3] = {0x43, 0xFA, 0x00};

void ExpectCells(const std::vector<int>& cells, int at, const int* want, int n, const char* what) {
  ASSERT_GE(static_cast<int>(cells.size()), at + n) << what;
  for (int i = 0; i < n; ++i) EXPECT_EQ(cells[static_cast<size_t>(at + i)], want[i]) << what << ", cell " << at + i;
}

// Bytes from a first cell on.
struct Golden {
  int at;
  std::vector<int> bytes;
};

// The gain coefficients a good unit ends with (Float24, sign and exponent
// first), worked out by hand from the bench's nominal unit: k1 = k0 x G / m,
// m read back from the streamed DAC code (current generation) or from the
// streamed input itself (KRV2210), k0 as its Float24 holds it. For example
// 90 mV: 50 mV x 50 / 56.5 = 44.248 mV streams code 800 + 2700 x 44.248 /
// 90 = 2127, read back as 90 x 1327 / 2700 = 44.233 mV: k1 = 2500 / 44.233
// = 56.518 = 0x42621283 -> 42 62 12.
const std::vector<int> k90mV{0x42, 0x62, 0x12}, k200mV{0x42, 0xE1, 0xF6}, k800mV{0x43, 0xE2, 0x73};
// 10 V and 20 mA after their trims (251, 7): 19896.83 and 38488.95.
const std::vector<int> k10V{0x46, 0x9B, 0x71}, k20mA{0x47, 0x16, 0x58};
// KRV2210: 56.4997, 113.0007, 453.0011, 5695.57 (its 3.4 mV zero stays),
// 10306.62 (-6.2 uA), and 1.0 on both resistance ranges.
const std::vector<int> kOld90mV{0x42, 0x61, 0xFF}, kOld200mV{0x42, 0xE2, 0x00}, kOld800mV{0x43, 0xE2, 0x80},
    kOld10V{0x45, 0xB1, 0xFC}, kOld20mA{0x46, 0x21, 0x0A}, kOne{0x3F, 0x80, 0x00};
// Output pairs: 0 and 10 V, 0 and 20 mA (KRV2210: the high value first).
const std::vector<int> kPairV{0x00, 0x00, 0x00, 0x41, 0x20, 0x00}, kPairmA{0x00, 0x00, 0x00, 0x41, 0xA0, 0x00},
    kOldPairV{0x41, 0x20, 0x00, 0x00, 0x00, 0x00}, kOldPairmA{0x41, 0xA0, 0x00, 0x00, 0x00, 0x00};
// KRV2312D's physical scale after its last 20 mA row: 20.0 = 0x41A00000 in
// the configuration's order (M2 M1 S) at 128, 131, ..., 149; the file's 0
// in 152, 153.
std::vector<int> PhysicalTwenty() {
  std::vector<int> v;
  for (int k = 0; k < 8; ++k) v.insert(v.end(), {0x00, 0xA0, 0x41});
  v.insert(v.end(), {0, 0});
  return v;
}

void ExpectGolden(const std::vector<int>& cells, const std::vector<Golden>& golden, const char* what) {
  for (const Golden& g : golden) {
    ASSERT_GE(cells.size(), g.at + g.bytes.size()) << what;
    for (size_t i = 0; i < g.bytes.size(); ++i)
      EXPECT_EQ(cells[g.at + i], g.bytes[i]) << what << ", cell " << g.at + static_cast<int>(i);
  }
}

// However a run ended: out of programming mode, not streaming, no output
// forced, the supply off.
void ExpectUnitFree(const QJsonObject& state, const char* what) {
  const QJsonObject unit = state["unit"].toObject();
  EXPECT_FALSE(unit["programming"].toBool()) << what;
  EXPECT_FALSE(unit["streaming"].toBool()) << what;
  for (const QJsonValue& c : unit["channels"].toArray()) EXPECT_EQ(c["forcedCode"].toInt(), -1) << what;
  EXPECT_FALSE(state["supply"].toObject()["on"].toBool()) << what;
}

TEST(CalibrationEndToEnd, GoodUnitsFaultsStopResumeAndTheButtons) {
  const QStringList good{"--seed", "0", "--cold-junction-error", "1.2"};
  Scenario k2211(QStringList{"--model", "KRV2211A"} + good), k2212(QStringList{"--model", "KRV2212A"} + good),
      k2210(QStringList{"--model", "KRV2210"} + good),
      gain(QStringList{"--model", "KRV2211A", "--fault", "wrong-gain=800mV"} + good),
      consumption(QStringList{"--model", "KRV2211A", "--fault", "high-consumption"} + good),
      coldJunction(QStringList{"--model", "KRV2211A", "--fault", "cold-junction"} + good),
      silent(QStringList{"--model", "KRV2211A", "--fault", "silent-calibrator"} + good),
      stop(QStringList{"--model", "KRV2211A"} + good), buttons(QStringList{"--model", "KRV2211A"} + good),
      k2312(QStringList{"--model", "KRV2312D"} + good), k2311(QStringList{"--model", "KRV2311A"} + good),
      silentMeter(QStringList{"--model", "KRV2211A", "--fault", "silent-meter=A"} + good);
  Scenario* all[] = {&k2211, &k2212, &k2210, &gain,  &consumption, &coldJunction,
                     &silent, &stop,  &buttons, &k2312, &k2311,      &silentMeter};
  for (Scenario* s : all) ASSERT_TRUE(s->bench->ready());

  k2211.start(Calibrate("KRV2211A"));
  k2212.start(Calibrate("KRV2212A"));
  k2210.start(Calibrate("KRV2210"));
  k2312.start(Calibrate("KRV2312D"));
  k2311.start(Calibrate("KRV2311A"));
  silentMeter.start(Calibrate("KRV2211A"));
  gain.start(Calibrate("KRV2211A"));
  consumption.start(Calibrate("KRV2211A"));
  coldJunction.start(Calibrate("KRV2211A"));
  silent.start(Calibrate("KRV2211A"));

  // Stop: an interrupt once the cold-junction row (the last input row) is
  // saved green; the tool ends after the row that runs (at most the first
  // output row), with exit 3.
  const QString grid = QDir(stop.dir.path()).filePath("grid.json");
  stop.start(Calibrate("KRV2211A", {"--state", grid}));
  bool inputsDone = false;
  while (!inputsDone && stop.cli.state() != QProcess::NotRunning) {
    stop.cli.waitForFinished(20);
    QFile f(grid);
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QJsonArray rows = QJsonDocument::fromJson(f.readAll()).object()["rows"].toArray();
    inputsDone = rows.size() > 7 && rows[7].toObject()["box"].toString() == QLatin1String("green");
  }
  if (!inputsDone) stop.finish();  // its exit and output say why
  ASSERT_TRUE(inputsDone) << "exit " << stop.exit << ": " << stop.why();
  ::kill(static_cast<pid_t>(stop.cli.processId()), SIGINT);
  stop.finish();
  EXPECT_EQ(stop.exit, 3) << stop.why();
  EXPECT_EQ(stop.json()["end"].toString(), "stopped");
  const QMap<int, QStringList> stopped = Colours(stop.json());
  for (int r : {0, 1, 2, 7}) EXPECT_TRUE(AllGreen(stopped[r])) << r << ": " << stop.why();
  EXPECT_FALSE(AllGreen(stopped[9])) << stop.why();
  const qsizetype before = stop.bench->unitCommands().size();
  // Resume: the rows not all green run, the others do not.
  stop.start(Calibrate("KRV2211A", {"--resume", grid}));

  // The buttons, one after the other on their own bench, meanwhile.
  EXPECT_EQ(buttons.run({"calibrate-power", "on"}), 0) << buttons.why();
  // The bench keeps its state file up to date while it runs.
  EXPECT_TRUE(buttons.bench->state()["supply"].toObject()["on"].toBool());
  EXPECT_EQ(buttons.bench->state()["supply"].toObject()["volts"].toDouble(), 24.0);
  EXPECT_EQ(buttons.run({"tara-canale", "A"}), 0) << buttons.why();
  EXPECT_EQ(buttons.out, "Veq 28984\nReq 18075\ncells 65, 66 written\n");
  EXPECT_EQ(buttons.run({"tara-canale", "B", "15000", "10000"}), 0) << buttons.why();
  EXPECT_EQ(buttons.run({"--time-scale", "0.1", "--meter", "Com3", "linearity-output", "--points", "5"}), 0) << buttons.why();
  EXPECT_EQ(buttons.out, "linear.dat: 5 points\n");
  QFile linear(QDir(buttons.dir.path()).filePath("linear.dat"));
  ASSERT_TRUE(linear.open(QIODevice::ReadOnly));
  const QByteArray sweep = linear.readAll();
  linear.close();
  const std::vector<int> beforeTwoChannels = buttons.bench->cells();
  EXPECT_EQ(buttons.run({"--time-scale", "0.1", "--meter", "Com3", "--meter-b", "Com7", "linearity-2ch", "--points", "2",
                         "--file", "two.dat"}), 0)
      << buttons.why();
  EXPECT_EQ(buttons.out, "two.dat: 2 points\n");
  QFile twoChannels(QDir(buttons.dir.path()).filePath("two.dat"));
  ASSERT_TRUE(twoChannels.open(QIODevice::ReadOnly));
  const QList<QByteArray> twoLines = twoChannels.readAll().split('\n');
  ASSERT_EQ(twoLines.size(), 4) << twoLines.join('|').toStdString();
  EXPECT_EQ(twoLines[0], "Input\tInA\tOutA\tMultA\tInB\tOutB\tMultB\r");
  EXPECT_TRUE(twoLines[1].startsWith("0\t00.000\t")) << twoLines[1].toStdString();
  EXPECT_TRUE(twoLines[2].startsWith("1\t00.010\t")) << twoLines[2].toStdString();
  EXPECT_EQ(twoLines[2].count('\t'), 6) << twoLines[2].toStdString();
  EXPECT_EQ(buttons.run({"calibrate-power", "off"}), 0) << buttons.why();
  // Readings that give no resistance are refused before the unit is touched.
  const qsizetype buttonCommands = buttons.bench->unitCommands().size();
  EXPECT_EQ(buttons.run({"tara-canale", "A", "1", "0"}), 2) << buttons.why();
  EXPECT_EQ(buttons.run({"tara-canale", "A", "10324", "15225"}), 2) << buttons.why();
  EXPECT_EQ(buttons.bench->unitCommands().size(), buttonCommands);

  stop.finish();
  EXPECT_EQ(stop.exit, 0) << stop.why();
  for (const QStringList& c : Colours(stop.json())) EXPECT_TRUE(AllGreen(c)) << stop.why();

  // The stopped run's grid on the buttons' unit: another unit of the same
  // model. Refused (exit 2) before a cell is written.
  const qsizetype beforeForeign = buttons.bench->unitCommands().size();
  EXPECT_EQ(buttons.run(Calibrate("KRV2211A", {"--resume", grid})), 2) << buttons.why();
  EXPECT_EQ(buttons.json()["end"].toString(), "error") << buttons.why();
  {
    const QList<QByteArray> commands = buttons.bench->unitCommands();
    for (qsizetype i = beforeForeign; i < commands.size(); ++i)
      EXPECT_FALSE(commands[i].startsWith("$W")) << commands[i].toStdString();
  }

  for (Scenario* s : {&k2211, &k2212, &k2210, &gain, &consumption, &coldJunction, &silent, &k2312, &k2311, &silentMeter})
    s->finish();
  for (Scenario* s : all) s->bench->stop();
  for (Scenario* s : all) ExpectUnitFree(s->bench->state(), s->why().substr(0, 200).c_str());

  // Good units: exit 0, every run cell green, the final programming and
  // the coefficients in memory.
  // One good unit of each calibration layout and a thermocouple model:
  // exit 0, every run cell green, and the cells the run leaves, by hand.
  // Cells 7 and 8 hold the offsets the cold-junction rows stored, where the
  // model has them; the final programming rewrites the rest of 0..27.
  struct Good {
    Scenario* s;
    const char* what;
    const int* file;
    int rows;
    std::vector<int> keptCells;  // of 0..27, not from the file
    std::vector<Golden> golden;
  };
  const std::vector<Good> goods = {
      {&k2211, "KRV2211A", kKrv2211A, 6, {7},
       {{7, {kOffsetByte}}, {50, k90mV}, {53, k200mV}, {56, k800mV}, {100, kPairV}, {106, kPairmA}}},
      {&k2212, "KRV2212A", kKrv2212A, 12, {7, 8},
       // Channel B's offset in cell 8 (244, not the file's 2) is kept.
       {{7, {kOffsetByte, kOffsetByte}}, {50, k90mV}, {53, k200mV}, {56, k800mV}, {29, k90mV}, {32, k200mV},
        {35, k800mV}, {100, kPairV}, {106, kPairmA}, {112, kPairV}, {118, kPairmA}}},
      {&k2210, "KRV2210", kKrv2210, 12, {7, 8},
       {{7, {kOffsetByte, kKrv2210[8]}}, {50, kOld90mV}, {53, kOld200mV}, {56, kOld800mV}, {59, kOld10V},
        {62, kOld20mA}, {65, kOne}, {68, kOne}, {100, kOldPairV}, {106, kOldPairmA}, {112, kOldPairV},
        {118, kOldPairmA}}},
      // No cold-junction row: cell 7 keeps what "Carica Default" loaded.
      {&k2312, "KRV2312D", kKrv2312D, 8, {7},
       {{7, {kKrv2312D[7]}}, {59, k10V}, {62, k20mA}, {38, k10V}, {41, k20mA}, {74, {251, 7}}, {85, {251, 7}}, {100, kPairV},
        {106, kPairmA}, {112, kPairV}, {118, kPairmA}, {128, PhysicalTwenty()}}},
      {&k2311, "KRV2311A", kKrv2311A, 8, {7},
       {{7, {kOffsetByte, kKrv2311A[8]}}, {50, k90mV}, {53, k200mV}, {56, k800mV}, {100, kPairV}, {106, kPairmA},
        {112, kPairV}, {118, kPairmA}}},
  };
  for (const Good& g : goods) {
    EXPECT_EQ(g.s->exit, 0) << g.what << ": " << g.s->why();
    const QMap<int, QStringList> rows = Colours(g.s->json());
    EXPECT_EQ(rows.size(), g.rows) << g.what;
    for (auto it = rows.begin(); it != rows.end(); ++it)
      EXPECT_TRUE(AllGreen(it.value())) << g.what << " row " << it.key() << ": " << it.value().join(' ').toStdString();
    const std::vector<int> cells = g.s->bench->cells();
    ASSERT_EQ(cells.size(), 256u) << g.what;
    for (int i = 0; i < 28; ++i)
      if (std::find(g.keptCells.begin(), g.keptCells.end(), i) == g.keptCells.end()) {
        EXPECT_EQ(cells[static_cast<size_t>(i)], g.file[i]) << g.what << ", cell " << i;
      }
    ExpectGolden(cells, g.golden, g.what);
  }
  // The final programming as it went out: the last cell writes of the run,
  // cells 0..27 in order without the offsets the run keeps.
  for (const Good& g : goods) {
    std::vector<std::pair<int, int>> writes;
    for (const QByteArray& c : g.s->bench->unitCommands())
      if (c.startsWith("$W") && c.size() == 6) writes.emplace_back(static_cast<uint8_t>(c[3]), static_cast<uint8_t>(c[4]));
    std::vector<std::pair<int, int>> want;
    for (int i = 0; i < 28; ++i)
      if (std::find(g.keptCells.begin(), g.keptCells.end(), i) == g.keptCells.end()) want.emplace_back(i, g.file[i]);
    ASSERT_GE(writes.size(), want.size());
    const std::vector<std::pair<int, int>> last(writes.end() - static_cast<long>(want.size()), writes.end());
    EXPECT_EQ(last, want) << g.what;
    // The write before it belongs to the last output row, not to cells 0..27.
    EXPECT_GE(writes[writes.size() - want.size() - 1].first, 28);
  }

  // Wrong gain on 800 mV: exit 4, only row 2 red, and its cells keep the
  // provisional k0 = G = 500, not the refused coefficient.
  EXPECT_EQ(gain.exit, 4) << gain.why();
  {
    const QMap<int, QStringList> rows = Colours(gain.json());
    for (auto it = rows.begin(); it != rows.end(); ++it)
      EXPECT_EQ(AllGreen(it.value()), it.key() != 2) << "row " << it.key() << " " << it.value().join(' ').toStdString();
    EXPECT_EQ(rows[2].value(0), "red");
    EXPECT_EQ(rows[2].value(1), "red");  // k1
    ExpectCells(gain.bench->cells(), 56, kFiveHundred, 3, "refused 800 mV gain");
  }

  // Consumption out of tolerance: the first question is answered Abort, so
  // the run stops (exit 3) before any row; the supply is off at the end.
  EXPECT_EQ(consumption.exit, 3) << consumption.why();
  EXPECT_EQ(consumption.json()["end"].toString(), "stopped");
  EXPECT_TRUE(consumption.json()["message"].toString().startsWith("Consumo Errato")) << consumption.why();
  EXPECT_FALSE(consumption.bench->state()["supply"].toObject()["on"].toBool());
  for (const QStringList& c : Colours(consumption.json())) EXPECT_EQ(c.value(0), "not run");

  // Cold-junction sensor 14 degrees off: only row 7 red, the offset that
  // does not fit a signed byte is not written (cell 7 keeps the 0 the row
  // wrote before measuring).
  EXPECT_EQ(coldJunction.exit, 4) << coldJunction.why();
  {
    const QMap<int, QStringList> rows = Colours(coldJunction.json());
    for (auto it = rows.begin(); it != rows.end(); ++it)
      EXPECT_EQ(AllGreen(it.value()), it.key() != 7) << "row " << it.key() << " " << it.value().join(' ').toStdString();
    EXPECT_EQ(coldJunction.bench->cells().at(7), 0);
  }

  // A meter silent from the first reading of the first output row, while
  // the output is forced: an error end, and (below) the unit left free.
  EXPECT_EQ(silentMeter.exit, 1) << silentMeter.why();
  EXPECT_EQ(silentMeter.json()["end"].toString(), "error");
  EXPECT_EQ(silentMeter.bench->state()["unit"].toObject()["channels"].toArray()[0].toObject()["lastForcedCode"].toInt(),
            800);

  // A silent calibrator: an error end, not a hang, and the supply off.
  EXPECT_EQ(silent.exit, 1) << silent.why();
  EXPECT_EQ(silent.json()["end"].toString(), "error");
  EXPECT_FALSE(silent.bench->state()["supply"].toObject()["on"].toBool());

  // The resumed run wrote nothing to the gain cells of rows 0, 1 and 2
  // (they went out in the first run) but row 9's current pair, and no
  // second consumption test ran.
  {
    const QList<QByteArray> commands = stop.bench->unitCommands();
    ASSERT_GT(commands.size(), before);
    auto writesTo = [&](qsizetype from, qsizetype to, int cell) {
      int n = 0;
      for (qsizetype i = from; i < to; ++i)
        n += commands[i].startsWith("$W") && commands[i].size() >= 5 && static_cast<uint8_t>(commands[i][3]) == cell;
      return n;
    };
    for (int gainCell : {50, 53, 56}) {
      EXPECT_GT(writesTo(0, before, gainCell), 0) << gainCell;
      EXPECT_EQ(writesTo(before, commands.size(), gainCell), 0) << gainCell;
    }
    EXPECT_GT(writesTo(before, commands.size(), 106), 0);  // row 9's pair
    EXPECT_EQ(stop.bench->state()["supply"].toObject()["currentReads"].toInt(), 3);
  }

  // The buttons: Veq 28984 = 113 x 256 + 56 in cells 65, 66; channel B's
  // 15000 / 10000: x = 4/3, Req = 2000, Veq = 30000 = 117 x 256 + 48 in 44, 45.
  {
    const std::vector<int> cells = buttons.bench->cells();
    ASSERT_EQ(cells.size(), 256u);
    EXPECT_EQ(cells[65], 56);
    EXPECT_EQ(cells[66], 113);
    EXPECT_EQ(cells[44], 48);
    EXPECT_EQ(cells[45], 117);
    // The two-channel test put back every input cell it set to test.
    for (int a : {0, 1, 3, 5, 12, 13, 14, 15, 20, 21, 22, 23})
      EXPECT_EQ(cells[static_cast<size_t>(a)], beforeTwoChannels[static_cast<size_t>(a)]) << a;
    EXPECT_FALSE(buttons.bench->state()["supply"].toObject()["on"].toBool());
    // Codes 801..805 on channel A's voltage output, 10 V over 2700 codes.
    EXPECT_EQ(sweep, "801\t00.004\r\n802\t00.007\r\n803\t00.011\r\n804\t00.015\r\n805\t00.019\r\n");
  }
}

} // namespace
} // namespace pv::test
