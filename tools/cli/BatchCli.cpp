#include "BatchCli.h"

#include "GangCli.h"
#include "CliProgress.h"
#include "CsvLog.h"
#include "app/TerminationSignals.h"
#include "config/ConfigFile.h"
#include "kernel/AtomicFile.h"
#include "kernel/Catalogue.h"
#include "link/Clock.h"
#include "link/SerialPort.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

namespace pv {

namespace {

// Set by a signal (through the tool's TerminationSignals) or by
// RequestBatchStop: the batch ends after the unit in hand.
bool gStop = false;

// Between two looks at the port while waiting for a unit to come or go.
constexpr qint64 kPollMs = 500;
// Looks without an answer before a unit counts as unplugged: one lost
// answer on a loose terminal must not start the next unit.
constexpr int kGoneAfterMisses = 2;

// The port the batch hands to each command: counts the "$W" commands that
// leave, which is how many cells went to the unit whatever the outcome.
class CountingPort final : public SerialPort {
public:
  explicit CountingPort(SerialPort& inner) : inner_(inner) {
    connect(&inner_, &SerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&inner_, &SerialPort::errorOccurred, this, &SerialPort::errorOccurred);
  }
  int cellWrites = 0;
  bool open(const QString& path, OpenError* why, QString* detail) override {
    inner_.setBaudRate(baudRate());
    return inner_.open(path, why, detail);
  }
  void close() override { inner_.close(); }
  bool isOpen() const override { return inner_.isOpen(); }
  bool write(const QByteArray& bytes) override {
    const bool sent = inner_.write(bytes);
    if (sent && bytes.startsWith("$W")) ++cellWrites;
    return sent;
  }
  QByteArray readAll() override { return inner_.readAll(); }
  void clear() override { inner_.clear(); }
  bool hasError() const override { return inner_.hasError(); }

private:
  SerialPort& inner_;
};

struct Options {
  QString port = QStringLiteral("COM 1");
  QString file, log, model;
  bool yes = false;
  qint64 count = 1;
  int retries = 2;
  QString label;
  TerminationSignals* stops = nullptr;
  CliRunner runCli;
  // --retries and --label again, for each command the batch runs.
  QStringList passed() const {
    QStringList a{QStringLiteral("--retries"), QString::number(retries)};
    if (!label.isEmpty()) a << QStringLiteral("--label") << label;
    return a;
  }
};

enum class Outcome { Ok, Refused, Failed };

const char* OutcomeName(Outcome o) {
  switch (o) {
  case Outcome::Ok: return "ok";
  case Outcome::Refused: return "refused";
  case Outcome::Failed: break;
  }
  return "failed";
}

struct Probe {
  bool answered = false;
  bool portMissing = false;
  QString portError;
  QString model;     // empty: a unit the catalogue does not know
  QString identity;  // device code/variant/hardware revision/spare
};

struct UnitResult {
  Outcome outcome = Outcome::Failed;
  QString reason;
  int cells = 0;
};

// What a command said on standard error, without the tool's prefix, one
// message after the other.
QString Messages(const QString& err) {
  QStringList lines;
  for (QString line : err.split('\n', Qt::SkipEmptyParts)) {
    if (line.startsWith(QLatin1String("planovix-cli: "))) line = line.mid(14);
    lines << line.trimmed();
  }
  return lines.join(QStringLiteral("; "));
}

int RunCaptured(const Options& opt, const QStringList& args, SerialPort& port, QString* out, QString* err,
                TerminationSignals* stops) {
  QTextStream o(out), e(err);
  const int code = opt.runCli(args, port, o, e, stops);
  o.flush();
  e.flush();
  return code;
}

Probe Identify(const Options& opt, SerialPort& port) {
  Probe p;
  QString out, err;
  // One quick look for a unit, not yet work on one: no retries (an empty
  // cable is the usual answer) and no signal turns it into a failure.
  const int code = RunCaptured(opt, {QStringLiteral("--retries"), QStringLiteral("0"), QStringLiteral("--port"), opt.port,
                                QStringLiteral("--json"), QStringLiteral("identify"), QStringLiteral("--no-fingerprint")},
                               port, &out, &err, nullptr);
  if (code != kExitOk) {
    p.portMissing = err.contains(QLatin1String("cannot open port"));
    if (p.portMissing) p.portError = Messages(err);
    return p;
  }
  const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
  p.answered = true;
  p.model = o.value(QLatin1String("model")).toString();
  p.identity = QStringLiteral("%1/%2/%3/%4")
                   .arg(o.value(QLatin1String("device_code")).toInt())
                   .arg(o.value(QLatin1String("variant")).toInt())
                   .arg(o.value(QLatin1String("hardware_revision")).toInt())
                   .arg(o.value(QLatin1String("spare")).toInt());
  return p;
}

// write-config as the technician would run it by hand, on the unit in hand.
UnitResult Write(const Options& opt, CountingPort& port) {
  QStringList args = opt.passed() + QStringList{QStringLiteral("--port"), opt.port};
  if (opt.yes) args << QStringLiteral("--yes");
  args << QStringLiteral("write-config") << opt.file;
  QString out, err;
  port.cellWrites = 0;
  const int code = RunCaptured(opt, args, port, &out, &err, opt.stops);
  UnitResult r;
  r.cells = port.cellWrites;
  r.reason = Messages(err);
  // A signal that came while the unit was written let the write finish and
  // be read back: the unit is judged by that, the batch ends after it.
  int judged = code;
  if (code > 128 && err.contains(QLatin1String("it had done all its work"))) judged = kExitOk;
  switch (judged) {
  case kExitOk: r.outcome = Outcome::Ok; break;
  // A check said no (a question without --yes, "Device Changed", a value
  // the cells cannot hold): the unit is skipped.
  case kExitRefused:
  case kExitUsage: r.outcome = Outcome::Refused; break;
  default: r.outcome = Outcome::Failed; break;
  }
  return r;
}

} // namespace

void RequestBatchStop() { gStop = true; }

int ProgramCommand(CliRun& run) {
  QTextStream& out = run.io.out;
  QTextStream& err = run.io.err;
  Clock& clock = run.io.clock;
  auto usage = [&](const QString& text) { return CliUsage(err, text); };
  if (run.args.values.count(QStringLiteral("--ports"))) {
    // The gang parses the same options itself; the ones it has no use for
    // are refused there by name.
    QStringList again{QStringLiteral("program")};
    again << run.args.words;
    for (const auto& [option, value] : run.args.values)
      if (option != QLatin1String("--retries") && option != QLatin1String("--label")) again << option << value;
    for (const QString& flag : run.args.flags) again << flag;
    CliGlobals globals;
    globals.retries = run.retries;
    globals.label = run.label;
    globals.stops = run.io.stops;
    return RunGangCli(again, out, err, globals);
  }
  Options opt;
  opt.port = run.port();
  opt.yes = run.yes();
  opt.retries = run.retries;
  opt.label = run.label;
  opt.stops = run.io.stops;
  opt.runCli = run.runAgain;
  const bool repeat = run.args.has("--repeat");
  const bool counted = run.args.values.count(QStringLiteral("--count")) > 0;
  opt.log = run.args.value("--log");
  opt.model = run.args.value("--model");
  if (run.args.values.count(QStringLiteral("--log")) && opt.log.isEmpty())
    return usage(QStringLiteral("--log needs a file name"));
  if (counted) {
    bool ok = false;
    opt.count = run.args.value("--count").toLongLong(&ok);
    if (!ok || opt.count < 1) return usage(QStringLiteral("--count takes a whole number from 1"));
  }
  if (run.args.words.size() > 1) return usage(QStringLiteral("program takes one .DST file"));
  opt.file = run.args.words.value(0);
  if (opt.file.isEmpty()) return usage(QStringLiteral("program needs the .DST file to write"));
  if (repeat && !counted) opt.count = std::numeric_limits<qint64>::max();

  // Everything that can be wrong before a unit is touched is checked here.
  {
    QByteArray record;
    if (!ReadConfigurationFile(opt.file, &record, err)) return kExitUsage;
  }
  if (!opt.model.isEmpty()) {
    const QStringList ids = ModelIds();
    const auto known = std::find_if(ids.begin(), ids.end(), [&](const QString& id) {
      return id.compare(opt.model, Qt::CaseInsensitive) == 0;
    });
    if (known == ids.end())
      return usage(QStringLiteral("unknown model %1; one of %2").arg(opt.model, ids.join(", ")));
    opt.model = *known;
  }
  CsvLog log;
  QString why;
  if (!log.open(opt.log, QStringLiteral("time,model,identity,result,reason,cells_written"), &why)) {
    err << "planovix-cli: cannot write " << opt.log << ": " << why << "\n";
    return kExitUsage;
  }

  gStop = opt.stops && opt.stops->count() > 0;
  int stoppedBy = 0;
  QMetaObject::Connection onSignal;
  if (opt.stops)
    onSignal = QObject::connect(opt.stops, &TerminationSignals::received, [&](int signal, int count) {
      gStop = true;
      stoppedBy = signal;
      err << "planovix-cli: " << TerminationSignals::Name(signal) << ": "
          << (count == 1 ? "the batch ends after the unit in hand (again: that unit's write stops too)"
                         : "stopping the unit in hand now")
          << "\n";
      err.flush();
    });
  CountingPort counting(run.io.unitPort);
  QString batchModel = opt.model;
  qint64 units = 0;
  int ok = 0, refused = 0, failed = 0;
  bool firstLook = true;
  int code = kExitOk;

  out << "program: " << opt.file << " onto units on " << opt.port
      << (batchModel.isEmpty() ? QString() : " (model " + batchModel + ")")
      << (opt.count > 1 ? "; Ctrl+C ends" : "") << "\n";
  CliProgress progress(err, ShowsProgress(false));
  while (!gStop && units < opt.count) {
    out << "waiting for a unit on " << opt.port << "...\n";
    out.flush();
    Probe p;
    while (!gStop) {
      p = Identify(opt, counting);
      const bool first = std::exchange(firstLook, false);
      if (p.answered) break;
      if (p.portMissing && first) {
        // A wrong port name at the start is a mistake to report, not a wait;
        // later a missing port is a USB cable pulled with its unit.
        err << "planovix-cli: " << p.portError << "\n";
        code = kExitDevice;
        break;
      }
      clock.wait(kPollMs, nullptr);
    }
    if (code != kExitOk || gStop) break;
    ++units;
    progress.step(progress::Unit, units, 0);

    UnitResult r;
    const QString shownModel = p.model.isEmpty() ? QStringLiteral("unknown unit") : p.model;
    if (!batchModel.isEmpty() && p.model != batchModel && !opt.yes) {
      r.outcome = Outcome::Refused;
      r.reason = QStringLiteral("a %1, not the batch's %2: not written (--yes writes it anyway)")
                     .arg(shownModel, batchModel);
    } else {
      r = Write(opt, counting);
    }
    if (r.outcome == Outcome::Ok && batchModel.isEmpty() && !p.model.isEmpty()) {
      batchModel = p.model;
      out << "batch model: " << batchModel << " (the first unit written; --model sets it)\n";
    }
    switch (r.outcome) {
    case Outcome::Ok: ++ok; break;
    case Outcome::Refused: ++refused; break;
    case Outcome::Failed: ++failed; break;
    }
    progress.clear();
    out << "#" << units << " " << shownModel << " (ID " << p.identity << "): " << OutcomeName(r.outcome);
    if (r.outcome == Outcome::Ok) out << ", " << r.cells << " cells written and verified";
    else if (r.cells > 0) out << " after " << r.cells << " cells written";
    if (!r.reason.isEmpty()) out << ": " << r.reason;
    out << (r.outcome == Outcome::Ok ? "\a" : "\a\a\a") << "\n";
    out.flush();
    if (!log.append({CsvTime(QDateTime::currentDateTime()), CsvField(p.model), p.identity,
                     QLatin1String(OutcomeName(r.outcome)), CsvField(r.reason), QString::number(r.cells)},
                    &why)) {
      err << "planovix-cli: cannot write " << opt.log << ": " << why << "; batch stopped\n";
      code = kExitDevice;
      break;
    }
    if (units >= opt.count) break;

    out << "unplug the unit\n";
    out.flush();
    for (int misses = 0; !gStop && misses < kGoneAfterMisses;) {
      clock.wait(kPollMs, nullptr);
      misses = Identify(opt, counting).answered ? 0 : misses + 1;
    }
  }
  QObject::disconnect(onSignal);

  out << "batch ended"
      << (gStop ? " (" + (stoppedBy ? TerminationSignals::Name(stoppedBy) : QStringLiteral("Ctrl+C")) + ")" : QString())
      << ": " << units << (units == 1 ? " unit" : " units")
      << ", " << ok << " ok, " << refused << " refused, " << failed << " failed\n";
  out.flush();
  return UnitsExit(code, failed, refused);
}

} // namespace pv
