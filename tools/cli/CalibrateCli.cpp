#include "CalibrateCli.h"
#include "CliProgress.h"
#include "CliBench.h"

#include "factory/CalibrationRun.h"
#include "factory/CalibrationSteps.h"
#include "factory/Calibrator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "kernel/AtomicFile.h"
#include "kernel/Feedback.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "link/Transport.h"
#include "text/StringTable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <csignal>
#include <map>

namespace pv {

namespace {

enum Exit { kOk = kExitOk, kError = kExitDevice, kUsage = kExitUsage, kStopped = kExitRefused, kRed = kExitDiffer };

volatile std::sig_atomic_t gInterrupted = 0;
extern "C" void OnInterrupt(int) { gInterrupted = 1; }

// Questions answered from --on-question; a silent instrument is given up;
// manual readings come from standard input.
class StationPrompter final : public Prompter {
public:
  StationPrompter(Answer onQuestion, QTextStream& in, QTextStream& err)
      : onQuestion_(onQuestion), in_(in), err_(err) {}
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon) override {
    switch (buttons) {
    case Buttons::AbortRetryIgnore: {
      Answer a = onQuestion_;
      // A check that keeps failing is not retried for ever.
      retries_ = a == Answer::Retry && text == lastText_ ? retries_ + 1 : 0;
      lastText_ = text;
      if (a == Answer::Retry && retries_ >= kMaxRetries) a = Answer::Abort;
      err_ << "planovix-cli: " << text << " ("
           << (a == Answer::Abort ? "abort" : a == Answer::Retry ? "retry" : "ignore") << ")\n";
      err_.flush();
      return a;
    }
    case Buttons::RetryCancel: {
      // A lost answer is asked again twice before the exchange gives up: a
      // busy bench PC can miss one, a silent instrument stays silent.
      commRetries_ = text == lastCommText_ ? commRetries_ + 1 : 0;
      lastCommText_ = text;
      const bool retry = commRetries_ < kCommRetries;
      if (!retry) commRetries_ = 0;
      err_ << "planovix-cli: " << text << (retry ? " (retrying)\n" : " (giving up)\n");
      err_.flush();
      return retry ? Answer::Retry : Answer::Cancel;
    }
    case Buttons::OkCancel:
    case Buttons::YesNo:
      err_ << "planovix-cli: " << text << " (no)\n";
      err_.flush();
      return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    case Buttons::Ok: break;
    }
    err_ << "planovix-cli: " << text << "\n";
    err_.flush();
    return Answer::Ok;
  }
  std::optional<QString> askText(const QString&, const QString& prompt, const QString&) override {
    err_ << "planovix-cli: " << prompt << "?\n";
    err_.flush();
    const QString line = in_.readLine();
    if (line.isNull()) return std::nullopt;
    return line.trimmed();
  }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }

private:
  static constexpr int kMaxRetries = 5;
  static constexpr int kCommRetries = 2;
  Answer onQuestion_;
  QTextStream& in_;
  QTextStream& err_;
  QString lastText_;
  int retries_ = 0;
  QString lastCommText_;
  int commRetries_ = 0;
};


QJsonObject RowJson(const CalibrationGrid& grid, int r, bool verify) {
  const GridRowState& s = grid.rows[static_cast<size_t>(r)];
  QJsonArray cells;
  for (int c : RowCells(r, verify))
    cells.append(QJsonObject{{"cell", CellName(r, c)},
                             {"text", s.cells[static_cast<size_t>(c)].text},
                             {"colour", ColourName(s.cells[static_cast<size_t>(c)].colour)}});
  return QJsonObject{{"row", r},
                     {"caption", GridRow(r).caption},
                     {"channel", GridRow(r).channel == 0 ? "A" : "B"},
                     {"result", ColourName(s.box)},
                     {"cells", cells}};
}

// Saves the grid after every step.
class StationUi final : public CalibrationUi {
public:
  StationUi(QString path, QTextStream& err, CliProgress& progress, std::vector<int> order)
      : path_(std::move(path)), err_(err), progress_(progress), order_(std::move(order)) {}
  void stepDone(int, const CalibrationGrid& grid) override { save(grid); }
  // "row n of m": n counts the rows of this run, not the grid's numbers.
  void rowChanged(int row, const GridRowState&) override {
    const auto at = std::find(order_.begin(), order_.end(), row);
    if (at != order_.end())
      progress_.step(progress::Row, at - order_.begin() + 1, static_cast<qint64>(order_.size()));
  }
  bool save(const CalibrationGrid& grid) {
    if (path_.isEmpty()) return true;
    QString why;
    if (SaveAtomically(path_, QJsonDocument(GridToJson(grid)).toJson(), &why)) return true;
    progress_.clear();
    if (!warned_) err_ << "planovix-cli: cannot save the state to " << path_ << ": " << why << "\n";
    warned_ = true;
    return false;
  }

private:
  QString path_;
  QTextStream& err_;
  CliProgress& progress_;
  std::vector<int> order_;
  bool warned_ = false;
};

} // namespace

namespace {

// The unit and the bench as the calibration window drives them, every wait
// at the --time-scale.
struct Station {
  AppState state;
  StationPrompter prompter;
  ScaledClock scaled;
  DeviceLink link;
  Transport transport;
  Feedback feedback;
  DeviceCommands commands;
  std::unique_ptr<CalibrationBench> bench;
  Station(Answer onQuestion, double timeScale, SerialPort& unitPort, Clock& clock, QTextStream& in, QTextStream& err)
      : prompter(onQuestion, in, err), scaled(clock, timeScale), link(timeScale == 1 ? clock : scaled, prompter),
        transport(unitPort, link.clock()), commands(state, transport, link.prompter(), feedback) {
    SetEnglish(state);
  }
  bool openBench(InstrumentIo& io, const std::map<QString, QString>& values, QTextStream& err) {
    bench = OpenCliBench(state, link.clock(), link.prompter(), io, values, err);
    return bench != nullptr;
  }
};

} // namespace

qint64 ScaledClock::nowMs() { return static_cast<qint64>(std::llround(inner_.nowMs() / factor_)); }

void ScaledClock::wait(qint64 ms, SerialPort* port) {
  if (ms <= 0) return inner_.wait(ms, port);
  qint64 real = static_cast<qint64>(std::ceil(ms * factor_));
  if (port) real = std::max(real, std::min(ms, kAnswerFloorMs));
  else if (ms >= 100) real = std::max(real, kPauseFloorMs);
  inner_.wait(real, port);
}

namespace {

// --time-scale, 1 without it; nothing (a usage error said) when out of range.
std::optional<double> TimeScale(const CliRun& cli) {
  if (!cli.args.values.count(QStringLiteral("--time-scale"))) return 1.0;
  const auto f = ParseReplyNumber(cli.args.value("--time-scale").toUtf8());
  if (f && *f >= 0.05 && *f <= 1) return *f;
  CliUsage(cli.io.err, QStringLiteral("--time-scale takes a factor from 0.05 to 1"));
  return std::nullopt;
}

// What the window's other buttons share: the station on the bench's ports
// (the window's port rules), and how a button's end is said. The buttons
// check their own arguments first.
class ButtonRun {
public:
  // meter: the window's port for --meter on this button.
  ButtonRun(CliRun& cli, const char* meter) : cli_(cli) {
    values_ = {{"--port", "COM 1"}, {"--supply", "Com4"},   {"--calibrator", "Com6"}, {"--meter", meter},
               {"--switch", "Com5"}, {"--meter-b", "Com2"}, {"--file", "linear.dat"}};
    for (const auto& [option, value] : cli.args.values) values_[option] = value;
  }
  // The time scale and the selectors checked and the bench made: nothing,
  // else the exit code.
  std::optional<int> open() {
    const std::optional<double> scale = TimeScale(cli_);
    if (!scale) return kUsage;
    if (!BenchSelectorsValid(values_, {"--supply", "--calibrator", "--switch", "--meter", "--meter-b"}, cli_.io.err))
      return kUsage;
    station.emplace(Answer::Abort, *scale, cli_.io.unitPort, cli_.io.clock, cli_.io.in, cli_.io.err);
    if (!station->openBench(BenchIo(cli_), values_, cli_.io.err)) return kError;
    return std::nullopt;
  }
  QString value(const char* option) const { return values_.at(QString::fromLatin1(option)); }
  CalibrationInstruments instruments() { return station->bench->instruments(); }
  // The button's steps, on a grid of its own.
  CalibrationSteps& steps() {
    if (!steps_)
      steps_ = std::make_unique<CalibrationSteps>(station->commands, instruments(), station->link.clock(), options_,
                                                  grid_, nullptr, noResume_, noPair_);
    return *steps_;
  }
  // The end said: a failure's reason on standard error, the result as JSON
  // or as text.
  int report(bool ok, const QJsonObject& o, const QString& text) {
    if (!ok) {
      QString why;
      const CalibrationInstruments i = instruments();
      for (Instrument* each : std::initializer_list<Instrument*>{&i.supply, &i.calibrator, &i.meter, &i.switches})
        if (why.isEmpty()) why = each->lastError();
      if (why.isEmpty() && station->state.commError) why = QStringLiteral("the unit did not answer");
      cli_.io.err << "planovix-cli: " << cli_.args.command << " failed" << (why.isEmpty() ? QString() : ": " + why)
                  << "\n";
    }
    if (cli_.json()) cli_.io.out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
    else if (ok) cli_.io.out << text;
    return ok ? kOk : kError;
  }
  std::optional<Station> station;

private:
  CliRun& cli_;
  std::map<QString, QString> values_;
  CalibrationOptions options_;
  CalibrationGrid grid_;
  const bool noResume_ = false;
  const std::array<double, 2> noPair_{};
  std::unique_ptr<CalibrationSteps> steps_;
};

// The linearity tests: "linear.dat" (or --file) from scratch, a line a
// point, until --points lines or an interrupt. The output test reads the
// meter on port 8; the two-channel one channel A's meter on port 1 and
// B's on 2.
int Linearity(CliRun& cli, bool twoChannels) {
  QTextStream& err = cli.io.err;
  if (!cli.args.words.isEmpty()) return CliUsage(err, cli.args.command + QStringLiteral(" takes no arguments"));
  long long points = -1;
  if (cli.args.values.count(QStringLiteral("--points"))) {
    bool ok = false;
    points = cli.args.value("--points").toLongLong(&ok);
    if (!ok || points < 1) return CliUsage(err, QStringLiteral("--points takes a whole number from 1"));
  }
  ButtonRun button(cli, twoChannels ? "Com1" : "Com8");
  if (const std::optional<int> code = button.open()) return *code;
  const OpenUnitPort opened(cli.io.unitPort, button.value("--port"), err);
  if (!opened) return kError;
  const QString file = button.value("--file");
  NoFollowFile log(file);
  if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    err << "planovix-cli: cannot write " << file << ": " << log.errorString() << "\n";
    return kError;
  }
  // Each line reaches the disk at once, so an interrupted test keeps it.
  struct FlushingLog final : QIODevice {
    explicit FlushingLog(QFile& f) : file(f) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override {
      const qint64 n = file.write(data, len);
      file.flush();
      if (n > 0) ++lines;
      return n;
    }
    QFile& file;
    long long lines = 0;
  } sink(log);
  long long asked = 0;
  gInterrupted = 0;
  CliProgress progress(err, ShowsProgress(cli.json()));
  auto keepGoing = [&] {
    if (gInterrupted != 0 || (points >= 0 && asked >= points)) return false;
    ++asked;
    if (points >= 0) progress.step(progress::Point, asked, points);
    else progress.step(progress::PointOpen, asked, 0);
    return true;
  };
  auto previous = std::signal(SIGINT, OnInterrupt);
  bool ok = false;
  const CalibrationInstruments i = button.instruments();
  Multimeter& meter = i.meter;
  Calibrator& calibrator = i.calibrator;
  CalibrationSteps& steps = button.steps();
  DeviceLink& link = button.station->link;
  if (!twoChannels) {
    link.run(Exchange::Command, [&] { ok = (meter.isManual() || meter.open()) && steps.outputLinearity(sink, keepGoing); });
  } else {
    Multimeter& meterB = button.station->bench->meter(1);
    link.run(Exchange::Command, [&] {
      ok = (meter.isManual() || meter.open()) && (meterB.isManual() || meterB.open()) &&
           (calibrator.isManual() || calibrator.open()) && steps.twoChannelLinearity(sink, meter, meterB, keepGoing);
    });
    if (!ok && meterB.lastError().size()) err << "planovix-cli: " << meterB.lastError() << "\n";
  }
  std::signal(SIGINT, previous);
  progress.clear();
  log.close();
  // The calibrator is let go at the end of either test.
  calibrator.close();
  // The two-channel test's file starts with a header line.
  const long long lines = std::max(0LL, sink.lines - (twoChannels ? 1 : 0));
  return button.report(ok, QJsonObject{{"file", file}, {"points", lines}, {"ok", ok}},
                       QStringLiteral("%1: %2 points\n").arg(file).arg(lines));
}

// The options as the station's steps read them: the bench's ports with
// their defaults, the flags by name.
struct StationArgs {
  std::map<QString, QString> values = {{"--port", "COM 1"}, {"--supply", "Com4"}, {"--calibrator", "Com6"},
                                       {"--meter", "Com3"},  {"--switch", "Com5"}};
  std::map<QString, bool> flags;
  QStringList words;
  explicit StationArgs(const CliArgs& args) : words(QStringList{args.command} + args.words) {
    for (const auto& [option, value] : args.values) values[option] = value;
    for (const QString& flag : args.flags) flags[flag] = true;
  }
};

int RunStation(CliRun& cli) {
  StationArgs parsed(cli.args);
  std::map<QString, QString>& values = parsed.values;
  std::map<QString, bool>& flags = parsed.flags;
  const QStringList& words = parsed.words;
  SerialPort& unitPort = cli.io.unitPort;
  InstrumentIo& io = BenchIo(cli);
  Clock& clock = cli.io.clock;
  QTextStream& in = cli.io.in;
  QTextStream& out = cli.io.out;
  QTextStream& err = cli.io.err;
  auto usage = [&](const QString& text) { return CliUsage(err, text); };
  const std::optional<double> scale = TimeScale(cli);
  if (!scale) return kUsage;
  const double timeScale = *scale;
  if (words.size() != 2) return usage("calibrate takes one MODEL");
  const CalibrationModel* model = FindCalibrationModel(words[1]);
  if (!model) {
    QStringList ids;
    for (const CalibrationModel& m : CalibrationModels()) ids << QLatin1String(m.modelId);
    return usage("unknown model " + words[1] + "; the bench calibrates " + ids.join(", "));
  }
  CalibrationOptions o = OptionsForModel(*model);
  if (values.count("--rows")) {
    o.rows = {};
    for (const QString& t : values["--rows"].split(',')) {
      bool ok = false;
      const int r = t.trimmed().toInt(&ok);
      if (!ok || r < 0 || r >= kGridRows) return usage("--rows takes grid rows 0..21 separated by commas");
      o.rows[static_cast<size_t>(r)] = true;
    }
  }
  if (values.count("--channels")) {
    o.channels = {false, false};
    for (const QString& t : values["--channels"].split(',')) {
      const QString c = t.trimmed().toUpper();
      if (c == "A") o.channels[0] = true;
      else if (c == "B") o.channels[1] = true;
      else return usage("--channels takes A, B or A,B");
    }
  }
  if (flags["--no-consumption"]) o.consumption = false;
  if (flags["--no-switch-check"]) o.switchCheck = false;
  if (flags["--no-verify"]) o.verify = false;
  if (flags["--no-final-program"]) o.finalProgram = false;
  if (flags["--load-default"]) o.loadDefault = true;
  if (values.count("--settle")) {
    const auto s = ParseReplyNumber(values["--settle"].toUtf8());
    if (!s || *s < 0 || *s > 600) return usage("--settle takes seconds from 0 to 600");
    o.settleSeconds = *s;
  }
  if (values.count("--model-dir")) o.modelDirs.prepend(values["--model-dir"]);
  Answer onQuestion = Answer::Abort;
  if (values.count("--on-question")) {
    const QString q = values["--on-question"];
    if (q == "abort") onQuestion = Answer::Abort;
    else if (q == "retry") onQuestion = Answer::Retry;
    else if (q == "ignore") onQuestion = Answer::Ignore;
    else return usage("--on-question takes abort, retry or ignore");
  }
  if (!BenchSelectorsValid(values, {"--supply", "--calibrator", "--switch", "--meter", "--meter-b"}, err))
    return kUsage;
  CalibrationGrid resumeGrid;
  const bool resume = values.count("--resume") > 0;
  if (resume) {
    // A pipe or a device in its place is refused, not waited on.
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(values["--resume"], 1 << 20, &bytes, &why))
      return usage("cannot read " + values["--resume"] + ": " + why);
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &pe);
    if (!doc.isObject()) return usage(values["--resume"] + " is not a saved calibration grid: " + pe.errorString());
    if (const QString why = GridFromJson(doc.object(), resumeGrid); !why.isEmpty())
      return usage(values["--resume"] + " is not a saved calibration grid: " + why);
  }
  // A missing or short model file is bad input: nothing is touched.
  if (o.loadDefault || o.finalProgram) {
    const ModelFile file = LoadModelFile(QLatin1String(model->modelId), o.modelDirs);
    if (!file.error.isEmpty()) {
      err << "planovix-cli: " << file.error << "\n";
      return kUsage;
    }
  }
  const bool json = flags["--json"];

  Station station(onQuestion, timeScale, unitPort, clock, in, err);
  if (!station.openBench(io, values, err)) return kError;
  DeviceLink& link = station.link;
  DeviceCommands& commands = station.commands;
  auto [supply, calibrator, meter, switches] = station.bench->instruments();

  const OpenUnitPort opened(unitPort, values["--port"], err);
  if (!opened) return kError;

  std::vector<int> order;  // the rows this run goes through, in their order
  for (const int r : model->rows)
    if (o.rows[static_cast<size_t>(r)] && o.channels[static_cast<size_t>(GridRow(r).channel)]) order.push_back(r);
  CliProgress progress(err, ShowsProgress(json));
  StationUi ui(values.count("--state") ? values["--state"] : QString(), err, progress, order);
  CalibrationRun run(commands, {supply, calibrator, meter, switches}, link.clock(), link.prompter(), &ui);
  if (resume) run.grid() = resumeGrid;
  gInterrupted = 0;
  run.setStopPoll([] { return gInterrupted != 0; });
  auto previous = std::signal(SIGINT, OnInterrupt);
  RunEnd end = RunEnd::Error;
  link.run(Exchange::Command, [&] { end = run.start(o, resume); });
  std::signal(SIGINT, previous);
  progress.clear();
  ui.save(run.grid());

  bool red = false;
  QJsonArray rows;
  for (const int r : model->rows) {
    if (!o.rows[static_cast<size_t>(r)] || !o.channels[static_cast<size_t>(GridRow(r).channel)]) continue;
    const QJsonObject row = RowJson(run.grid(), r, o.verify);
    rows.append(row);
    for (const QJsonValue& c : row["cells"].toArray()) red = red || c["colour"].toString() == "red";
    red = red || row["result"].toString() == "red";
  }
  // Rows asked for with --rows that the model's button does not tick.
  for (int r = 0; r < kGridRows; ++r) {
    if (!o.rows[static_cast<size_t>(r)] || !o.channels[static_cast<size_t>(GridRow(r).channel)]) continue;
    if (std::find(model->rows.begin(), model->rows.end(), r) != model->rows.end()) continue;
    const QJsonObject row = RowJson(run.grid(), r, o.verify);
    rows.append(row);
    for (const QJsonValue& c : row["cells"].toArray()) red = red || c["colour"].toString() == "red";
    red = red || row["result"].toString() == "red";
  }
  int code = kError;
  switch (end) {
  case RunEnd::Normal: code = red ? kRed : kOk; break;
  case RunEnd::Stopped: code = kStopped; break;
  case RunEnd::Error:
  // The measurement's own ends: a calibration run does not end so.
  case RunEnd::Cancelled:
  case RunEnd::IdentityFailed:
  case RunEnd::SwitchReadFailed:
  case RunEnd::SetupFailed:
  case RunEnd::StoppedEarly:
  case RunEnd::AlreadyRunning: code = kError; break;
  }
  // Another unit's or model's grid is bad input: no cell was written.
  if (run.resumeRefused()) code = kUsage;
  const QString message = end == RunEnd::Normal && red ? QStringLiteral("a calibrated value is out of tolerance")
                                                      : run.message();
  if (json) {
    out << QJsonDocument(QJsonObject{{"model", QLatin1String(model->modelId)},
                                     {"rows", rows},
                                     {"end", RunEndName(end)},
                                     {"message", message},
                                     {"exit", code}})
               .toJson(QJsonDocument::Compact)
        << "\n";
  } else {
    for (const QJsonValue& v : rows) {
      const QJsonObject row = v.toObject();
      out << "row " << row["row"].toInt() << " " << row["channel"].toString() << " "
          << row["caption"].toString() << ": " << row["result"].toString();
      for (const QJsonValue& c : row["cells"].toArray())
        out << " | " << c["cell"].toString() << " " << (c["text"].toString().isEmpty() ? "-" : c["text"].toString())
            << " " << c["colour"].toString();
      out << "\n";
    }
    out << "end: " << RunEndName(end) << (message.isEmpty() ? QString() : ": " + message) << "\n";
  }
  return code;
}

} // namespace

int CalibrateCommand(CliRun& cli) { return RunStation(cli); }

int CalibratePowerCommand(CliRun& cli) {
  const QStringList& w = cli.args.words;
  if (w.size() != 1 || (w[0] != QLatin1String("on") && w[0] != QLatin1String("off")))
    return CliUsage(cli.io.err, QStringLiteral("calibrate-power takes on or off"));
  const bool on = w[0] == QLatin1String("on");
  ButtonRun button(cli, "Com3");
  if (const std::optional<int> code = button.open()) return *code;
  Station& s = *button.station;
  CalibrationRun run(s.commands, button.instruments(), s.link.clock(), s.link.prompter());
  bool ok = false;
  s.link.run(Exchange::Command, [&] { ok = on ? run.powerOn() : run.powerOff(); });
  return button.report(ok, QJsonObject{{"supply", on ? "on" : "off"}, {"ok", ok}},
                       QStringLiteral("supply %1\n").arg(on ? "on" : "off"));
}

int TaraCanaleCommand(CliRun& cli) {
  const QStringList& w = cli.args.words;
  auto usage = [&](const QString& text) { return CliUsage(cli.io.err, text); };
  if (w.size() != 1 && w.size() != 3) return usage(QStringLiteral("tara-canale takes A or B, then V2000 and V1000 or none"));
  const QString c = w[0].toUpper();
  if (c != QLatin1String("A") && c != QLatin1String("B")) return usage(QStringLiteral("tara-canale takes channel A or B"));
  const int channel = c == QLatin1String("A") ? 0 : 1;
  double v2000 = 15225, v1000 = 10324;
  if (w.size() == 3) {
    const auto a = ParseReplyNumber(w[1].toUtf8()), b = ParseReplyNumber(w[2].toUtf8());
    if (!a || !b) return usage(QStringLiteral("V2000 and V1000 are the unit's readings, numbers"));
    v2000 = *a;
    v1000 = *b;
  }
  // Readings that give no resistance are refused before the unit is touched.
  const std::optional<PtcResult> ptc = ComputePtc(v2000, v1000);
  if (!ptc || ptc->veqWord < 0 || ptc->veqWord > 65535)
    return usage(QStringLiteral("readings %1 and %2 give no equivalent resistance").arg(v2000).arg(v1000));
  ButtonRun button(cli, "Com3");
  if (const std::optional<int> code = button.open()) return *code;
  const OpenUnitPort opened(cli.io.unitPort, button.value("--port"), cli.io.err);
  if (!opened) return kError;
  std::optional<PtcResult> written;
  CalibrationSteps& steps = button.steps();
  button.station->link.run(Exchange::Command, [&] { written = steps.manualPtc(channel, v2000, v1000); });
  const int cell = FindFactoryCell(CalibrationLayout::Current, FactoryCellKind::PtcWord, channel, 25)->first;
  const QJsonObject o{{"channel", channel == 0 ? "A" : "B"},
                      {"v2000", v2000},
                      {"v1000", v1000},
                      {"veq", ptc->veqWord},
                      {"req", ptc->reqTenths},
                      {"cells", QJsonArray{cell, cell + 1}},
                      {"written", written.has_value()}};
  return button.report(written.has_value(), o,
                       QStringLiteral("Veq %1\nReq %2\ncells %3, %4 written\n")
                           .arg(ptc->veqWord)
                           .arg(ptc->reqTenths)
                           .arg(cell)
                           .arg(cell + 1));
}

int LinearityOutputCommand(CliRun& cli) { return Linearity(cli, false); }
int LinearityTwoChannelsCommand(CliRun& cli) { return Linearity(cli, true); }

} // namespace pv
