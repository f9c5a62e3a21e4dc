// planovix-cli calibrate and the calibration window's other buttons as
// separate processes against planovix-benchsim, over pseudo-terminals: the
// exit codes, the grid the tool prints, and the bytes that end up in the
// unit's memory (from the bench's state file), against tables written out
// by hand here.
//
// Every scenario has a bench of its own and they all run at once; the runs
// use --settle 0 and --time-scale 0.1, the bench streams a frame every 20 ms.
// Waits are bounded so a hang fails instead of blocking the suite.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

namespace pv::test {
namespace {

constexpr int kRunLimitMs = 150000;  // a bound for a hung tool, not a timing figure

class Benchsim {
public:
  Benchsim(const QStringList& args, const QString& dir) : dir_(dir) {
    process_.setProgram(QStringLiteral(PLANOVIX_BENCHSIM));
    process_.setArguments(args + QStringList{"--env", "--dip-operator", "--frame-ms", "20", "--state", statePath(),
                                             "--transcripts", QDir(dir).filePath("logs")});
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    for (;;) {
      while (!process_.canReadLine())
        if (!process_.waitForReadyRead(5000)) return;
      const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
      if (line == QLatin1String("ready")) {
        ready_ = true;
        break;
      }
      if (line.startsWith(QLatin1String("PLANOVIX_")))
        env_.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
  }
  ~Benchsim() { stop(); }
  bool ready() const { return ready_; }
  void stop() {
    if (process_.state() != QProcess::NotRunning) {
      process_.terminate();
      if (!process_.waitForFinished(5000)) process_.kill();
    }
  }
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
  QProcessEnvironment environment() const {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (auto it = env_.begin(); it != env_.end(); ++it) e.insert(it.key(), it.value());
    return e;
  }

private:
  QString dir_;
  QProcess process_;
  QMap<QString, QString> env_;
  bool ready_ = false;
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

// The bench's sensor reads 1.2 degrees high: offset Round((T - m) x 10) =
// -12 tenths, stored as -12 + 256.
constexpr int kOffsetByte = 244;
// Float24 (the top three bytes of the IEEE single): 0 -> 00 00 00,
// 10.0 = 0x41200000 -> 41 20 00, 20.0 = 0x41A00000 -> 41 A0 00,
// 500.0 = 0x43FA0000 -> 43 FA 00.
const int kZero[3] = {0x00, 0x00, 0x00};
const int kTen[3] = {0x41, 0x20, 0x00};
const int kTwenty[3] = {0x41, 0xA0, 0x00};
const int kFiveHundred[3] = {0x43, 0xFA, 0x00};

void ExpectCells(const std::vector<int>& cells, int at, const int* want, int n, const char* what) {
  ASSERT_GE(static_cast<int>(cells.size()), at + n) << what;
  for (int i = 0; i < n; ++i) EXPECT_EQ(cells[static_cast<size_t>(at + i)], want[i]) << what << ", cell " << at + i;
}

// The final programming: cells 0..27 from the model file except cell 7
// (and cell 8 on the older generation), which keep the offsets.
void ExpectFinalProgramming(const std::vector<int>& cells, const int* file, bool keepCell8, const char* what) {
  ASSERT_GE(cells.size(), 28u) << what;
  for (int i = 0; i < 28; ++i) {
    if (i == 7 || (i == 8 && keepCell8)) continue;
    EXPECT_EQ(cells[static_cast<size_t>(i)], file[i]) << what << ", cell " << i;
  }
}

TEST(CalibrationEndToEnd, GoodUnitsFaultsStopResumeAndTheButtons) {
  const QStringList good{"--seed", "0", "--cold-junction-error", "1.2"};
  Scenario k2211(QStringList{"--model", "KRV2211A"} + good), k2212(QStringList{"--model", "KRV2212A"} + good),
      k2210(QStringList{"--model", "KRV2210"} + good),
      gain(QStringList{"--model", "KRV2211A", "--fault", "wrong-gain=800mV"} + good),
      consumption(QStringList{"--model", "KRV2211A", "--fault", "high-consumption"} + good),
      coldJunction(QStringList{"--model", "KRV2211A", "--fault", "cold-junction"} + good),
      silent(QStringList{"--model", "KRV2211A", "--fault", "silent-calibrator"} + good),
      stop(QStringList{"--model", "KRV2211A"} + good), buttons(QStringList{"--model", "KRV2211A"} + good);
  Scenario* all[] = {&k2211, &k2212, &k2210, &gain, &consumption, &coldJunction, &silent, &stop, &buttons};
  for (Scenario* s : all) ASSERT_TRUE(s->bench->ready());

  k2211.start(Calibrate("KRV2211A"));
  k2212.start(Calibrate("KRV2212A"));
  k2210.start(Calibrate("KRV2210"));
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
  ASSERT_TRUE(inputsDone) << stop.why();
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

  stop.finish();
  EXPECT_EQ(stop.exit, 0) << stop.why();
  for (const QStringList& c : Colours(stop.json())) EXPECT_TRUE(AllGreen(c)) << stop.why();

  for (Scenario* s : {&k2211, &k2212, &k2210, &gain, &consumption, &coldJunction, &silent}) s->finish();
  for (Scenario* s : all) s->bench->stop();

  // Good units: exit 0, every run cell green, the final programming and
  // the coefficients in memory.
  struct Good {
    Scenario* s;
    const int* file;
    bool older;
    int rows;
  };
  for (const Good& g : {Good{&k2211, kKrv2211A, false, 6}, Good{&k2212, kKrv2212A, false, 12},
                        Good{&k2210, kKrv2210, true, 12}}) {
    const char* what = g.file == kKrv2211A ? "KRV2211A" : g.file == kKrv2212A ? "KRV2212A" : "KRV2210";
    EXPECT_EQ(g.s->exit, 0) << what << ": " << g.s->why();
    const QMap<int, QStringList> rows = Colours(g.s->json());
    EXPECT_EQ(rows.size(), g.rows) << what;
    for (auto it = rows.begin(); it != rows.end(); ++it)
      EXPECT_TRUE(AllGreen(it.value())) << what << " row " << it.key() << ": " << it.value().join(' ').toStdString();
    const std::vector<int> cells = g.s->bench->cells();
    ExpectFinalProgramming(cells, g.file, g.older, what);
    ASSERT_EQ(cells.size(), 256u) << what;
    EXPECT_EQ(cells[7], kOffsetByte) << what;
    if (!g.older) {
      // Channel A's voltage pair at 100 (0 V at code 800, 10 V at 3500)
      // and current pair at 106 (0 and 20 mA).
      ExpectCells(cells, 100, kZero, 3, what);
      ExpectCells(cells, 103, kTen, 3, what);
      ExpectCells(cells, 106, kZero, 3, what);
      ExpectCells(cells, 109, kTwenty, 3, what);
    } else {
      // The older generation keeps the high value first.
      ExpectCells(cells, 100, kTen, 3, what);
      ExpectCells(cells, 103, kZero, 3, what);
      ExpectCells(cells, 106, kTwenty, 3, what);
      ExpectCells(cells, 109, kZero, 3, what);
    }
  }
  // Channel B of the two-channel unit: its offset in cell 8 (244, not the
  // file's 2) is rewritten by the final programming, its pairs at 112, 118.
  {
    const std::vector<int> cells = k2212.bench->cells();
    ASSERT_EQ(cells.size(), 256u);
    EXPECT_EQ(cells[8], 2);
    ExpectCells(cells, 112, kZero, 3, "KRV2212A B");
    ExpectCells(cells, 115, kTen, 3, "KRV2212A B");
    ExpectCells(cells, 118, kZero, 3, "KRV2212A B");
    ExpectCells(cells, 121, kTwenty, 3, "KRV2212A B");
  }
  // The final programming as it went out: the last cell writes of the run,
  // cells 0..27 in order without 7 (and 8 on the older generation).
  for (const Good& g : {Good{&k2212, kKrv2212A, false, 12}, Good{&k2210, kKrv2210, true, 12}}) {
    std::vector<std::pair<int, int>> writes;
    for (const QByteArray& c : g.s->bench->unitCommands())
      if (c.startsWith("$W") && c.size() == 6) writes.emplace_back(static_cast<uint8_t>(c[3]), static_cast<uint8_t>(c[4]));
    std::vector<std::pair<int, int>> want;
    for (int i = 0; i < 28; ++i)
      if (i != 7 && !(i == 8 && g.older)) want.emplace_back(i, g.file[i]);
    ASSERT_GE(writes.size(), want.size());
    const std::vector<std::pair<int, int>> last(writes.end() - static_cast<long>(want.size()), writes.end());
    EXPECT_EQ(last, want) << (g.older ? "KRV2210" : "KRV2212A");
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
    // The two-channel test left both inputs on 800 mV (input type 3) with
    // their function cells 3 and 5 at 0.
    EXPECT_EQ(cells[0], 3);
    EXPECT_EQ(cells[1], 3);
    EXPECT_EQ(cells[3], 0);
    EXPECT_EQ(cells[5], 0);
    EXPECT_FALSE(buttons.bench->state()["supply"].toObject()["on"].toBool());
    // Codes 801..805 on channel A's voltage output, 10 V over 2700 codes.
    EXPECT_EQ(sweep, "801\t00.004\r\n802\t00.007\r\n803\t00.011\r\n804\t00.015\r\n805\t00.019\r\n");
  }
}

} // namespace
} // namespace pv::test
