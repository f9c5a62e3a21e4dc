#include "CalibrateCli.h"

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
#include <csignal>
#include <map>

namespace pv {

namespace {

enum Exit { kOk = 0, kError = 1, kUsage = 2, kStopped = 3, kRed = 4 };

const QStringList kValueOptions = {"--port",     "--supply", "--calibrator", "--meter",   "--meter-b",
                                   "--switch",   "--generator", "--rows",     "--channels", "--settle",
                                   "--model-dir", "--state",  "--resume",     "--on-question"};
const QStringList kFlags = {"--json", "--yes", "--no-consumption", "--no-switch-check", "--no-verify",
                            "--no-final-program", "--load-default"};

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
    case Buttons::RetryCancel:
      err_ << "planovix-cli: " << text << " (giving up)\n";
      err_.flush();
      return Answer::Cancel;
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
  Answer onQuestion_;
  QTextStream& in_;
  QTextStream& err_;
  QString lastText_;
  int retries_ = 0;
};

QString UnitPortPath(const QString& port) {
  static const QRegularExpression com(QStringLiteral("^COM ?([1-8])$"), QRegularExpression::CaseInsensitiveOption);
  const auto m = com.match(port.trimmed());
  if (m.hasMatch()) return ResolveComPort(m.captured(1).toInt());
  return port;
}

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
  StationUi(QString path, QTextStream& err) : path_(std::move(path)), err_(err) {}
  void stepDone(int, const CalibrationGrid& grid) override { save(grid); }
  bool save(const CalibrationGrid& grid) {
    if (path_.isEmpty()) return true;
    QString why;
    if (SaveAtomically(path_, QJsonDocument(GridToJson(grid)).toJson(), &why)) return true;
    if (!warned_) err_ << "planovix-cli: cannot save the state to " << path_ << ": " << why << "\n";
    warned_ = true;
    return false;
  }

private:
  QString path_;
  QTextStream& err_;
  bool warned_ = false;
};

} // namespace

QString CalibrateHelpText() {
  return QStringLiteral(
      "Factory calibration:\n"
      "  planovix-cli [--port P] [--supply P] [--calibrator P] [--meter P] [--meter-b P]\n"
      "               [--switch P] [--json] calibrate MODEL [--rows LIST] [--channels A,B]\n"
      "               [--no-consumption] [--no-switch-check] [--no-verify]\n"
      "               [--no-final-program] [--load-default] [--settle SECONDS]\n"
      "               [--model-dir DIR] [--state FILE] [--resume FILE]\n"
      "               [--on-question abort|retry|ignore]\n"
      "  MODEL is a model code (KRV2211A); rows, channels and options default to\n"
      "  what the model's button ticks; settle time 4 s. --rows takes grid rows\n"
      "  0..21 separated by commas. The model file MODEL.dat is looked for in\n"
      "  --model-dir, the working directory, ../share/planovix/models beside the\n"
      "  program, then the source tree's data/models. --state saves the grid\n"
      "  after every row; --resume runs \"Riprendi\" on a saved grid (rows all\n"
      "  green are skipped). Abort/Retry/Ignore questions are answered by\n"
      "  --on-question (default abort; the same question is retried at most 5\n"
      "  times). An interrupt (Ctrl-C) stops the run after the row that runs.\n"
      "  Exit: 0 every run cell green, 4 a red cell, 3 stopped, 1 error end,\n"
      "  2 usage or bad input.\n");
}

bool IsCalibrateInvocation(const QStringList& args) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const QString key = a.section('=', 0, 0);
    if (kValueOptions.contains(key) && !a.contains('=')) {
      ++i;
      continue;
    }
    if (a.startsWith('-') && a.size() > 1) continue;
    return a == QLatin1String("calibrate");
  }
  return false;
}

int RunCalibrateCli(const QStringList& args, SerialPort& unitPort, InstrumentIo& io, Clock& clock,
                    QTextStream& in, QTextStream& out, QTextStream& err) {
  std::map<QString, QString> values = {{"--port", "COM 1"}, {"--supply", "Com4"}, {"--calibrator", "Com6"},
                                       {"--meter", "Com3"},  {"--switch", "Com5"}};
  std::map<QString, bool> flags;
  QStringList words;
  auto usage = [&](const QString& text) {
    err << "planovix-cli: " << text << " (see --help)\n";
    return kUsage;
  };
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const QString key = a.section('=', 0, 0);
    if (kValueOptions.contains(key)) {
      QString value;
      if (a.contains('=')) value = a.section('=', 1);
      else if (++i < args.size()) value = args[i];
      else return usage(a + " needs a value");
      if (value.isEmpty()) return usage(key + " needs a value");
      values[key] = value;
    } else if (kFlags.contains(a)) {
      flags[a] = true;
    } else if (a.startsWith('-') && a.size() > 1) {
      return usage("unknown option " + a);
    } else {
      words << a;
    }
  }
  if (words.size() != 2 || words[0] != QLatin1String("calibrate")) return usage("calibrate takes one MODEL");
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
  for (const char* option : {"--supply", "--calibrator", "--switch"})
    if (ParseSerialInstrumentPort(values[option]).kind == PortKind::Invalid)
      return usage(QStringLiteral("%1 takes Com1..Com8, Usb1..Usb4, Manuale or a device path, not \"%2\"")
                       .arg(QLatin1String(option), values[option]));
  for (const char* option : {"--meter", "--meter-b"})
    if (values.count(option) && ParseMultimeterPort(values[option]).kind == PortKind::Invalid)
      return usage(QStringLiteral("%1 takes Com1..Com8, Usb1..Usb4, Manuale, a device path or a resource, not \"%2\"")
                       .arg(QLatin1String(option), values[option]));
  CalibrationGrid resumeGrid;
  const bool resume = values.count("--resume") > 0;
  if (resume) {
    QFile f(values["--resume"]);
    if (!f.open(QIODevice::ReadOnly)) return usage("cannot read " + values["--resume"] + ": " + f.errorString());
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
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

  AppState state;
  state.languageIndex = 1;
  state.languageOffset = ComputeLanguageOffset(1);
  StationPrompter prompter(onQuestion, in, err);
  DeviceLink link(clock, prompter);
  Transport transport(unitPort, link.clock());
  Feedback feedback;
  DeviceCommands commands(state, transport, link.prompter(), feedback);
  Bench bench{state, link.clock(), link.prompter()};
  std::unique_ptr<SerialPort> supplyPort = io.makePort(), calPort = io.makePort(), meterPort = io.makePort(),
                              switchPort = io.makePort();
  if (!supplyPort || !calPort || !meterPort || !switchPort) {
    err << "planovix-cli: no serial ports on this system\n";
    return kError;
  }
  PowerSupply supply(bench, *supplyPort);
  Calibrator calibrator(bench, *calPort);
  Multimeter meter(bench, *meterPort, io.sessions);
  SwitchingUnit switches(bench, *switchPort);
  supply.setSelector(values["--supply"]);
  calibrator.setSelector(values["--calibrator"]);
  meter.setSelector(values["--meter"]);
  switches.setSelector(values["--switch"]);

  const QString path = UnitPortPath(values["--port"]);
  OpenError why = OpenError::None;
  QString detail;
  if (!unitPort.open(path, &why, &detail)) {
    err << "planovix-cli: cannot open port " << values["--port"] << " (" << path << ")"
        << (detail.isEmpty() ? QString() : ": " + detail) << "\n";
    return kError;
  }
  struct Closer {
    SerialPort& p;
    ~Closer() { p.close(); }
  } closer{unitPort};

  StationUi ui(values.count("--state") ? values["--state"] : QString(), err);
  CalibrationRun run(commands, {supply, calibrator, meter, switches}, link.clock(), link.prompter(), &ui);
  if (resume) run.grid() = resumeGrid;
  gInterrupted = 0;
  run.setStopPoll([] { return gInterrupted != 0; });
  auto previous = std::signal(SIGINT, OnInterrupt);
  RunEnd end = RunEnd::Error;
  link.run(Exchange::Command, [&] { end = run.start(o, resume); });
  std::signal(SIGINT, previous);
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
  case RunEnd::Error: code = kError; break;
  }
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

} // namespace pv
