#include "GangCli.h"
#include "CliBase.h"
#include "CsvLog.h"

#include "app/TerminationSignals.h"
#include "config/GangProgrammer.h"
#include "kernel/AtomicFile.h"
#include "kernel/Catalogue.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <memory>

namespace pv {

namespace {

const QString kHeader = QStringLiteral("time,port,model,identity,fingerprint,label,result,reason,cells_written");

// A log of another layout (the single program's) is not appended to. Only
// its first line is read here; the log itself is opened for appending
// without following a link.
bool SameLayout(const QString& path, QString* why) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists() || info.size() == 0) return true;
  QFile old(path);
  if (!old.open(QIODevice::ReadOnly)) {
    *why = old.errorString();
    return false;
  }
  if (QString::fromUtf8(old.readLine()).trimmed() == kHeader) return true;
  *why = QStringLiteral("it is a log of another layout (its first line is not \"%1\")").arg(kHeader);
  return false;
}

QString UnitLine(const GangUnit& u) {
  QString s = u.port + QStringLiteral(": ") + (u.model.isEmpty() ? QStringLiteral("unknown unit") : u.model) +
              QStringLiteral(" (ID ") + u.identity + ')';
  if (!u.label.isEmpty()) s += QStringLiteral(" \"%1\"").arg(u.label);
  s += QStringLiteral(": ") + QLatin1String(GangOutcomeName(u.outcome));
  if (u.outcome == GangOutcome::Ok) s += QStringLiteral(", %1 cells written and verified").arg(u.cellsSent);
  else if (u.cellsSent > 0) s += QStringLiteral(" after %1 cells sent").arg(u.cellsSent);
  if (!u.reason.isEmpty()) s += QStringLiteral(": ") + u.reason;
  return s;
}

} // namespace

bool IsGangInvocation(const QStringList& args) {
  return std::any_of(args.begin(), args.end(), [](const QString& a) {
    return a == QLatin1String("--ports") || a.startsWith(QLatin1String("--ports="));
  });
}

int RunGangCli(const QStringList& args, QTextStream& out, QTextStream& err, const CliGlobals& globals) {
  auto usage = [&](const QString& text) {
    err << "planovix-cli: " << text << " (see --help)\n";
    return kExitUsage;
  };
  GangOptions opt;
  opt.retries = globals.retries;
  QString ports, log;
  bool seenCommand = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const QString key = a.section('=', 0, 0);
    auto value = [&](QString* into) {
      if (a.contains('=')) {
        *into = a.section('=', 1);
        return true;
      }
      if (++i >= args.size()) return false;
      *into = args[i];
      return true;
    };
    if (a == QLatin1String("--yes")) {
      opt.yes = true;
    } else if (a == QLatin1String("--repeat")) {
      opt.repeat = true;
    } else if (key == QLatin1String("--ports")) {
      if (!value(&ports)) return usage(QStringLiteral("--ports needs a list of ports"));
    } else if (key == QLatin1String("--log")) {
      if (!value(&log) || log.isEmpty()) return usage(QStringLiteral("--log needs a file name"));
    } else if (key == QLatin1String("--model")) {
      if (!value(&opt.model)) return usage(QStringLiteral("--model needs a model"));
    } else if (a.startsWith('-') && a.size() > 1) {
      return usage(QStringLiteral("program with --ports does not take %1").arg(a));
    } else if (!seenCommand) {
      seenCommand = true;  // "program"
    } else if (opt.file.isEmpty()) {
      opt.file = a;
    } else {
      return usage(QStringLiteral("program takes one .DST file"));
    }
  }
  if (!globals.label.isEmpty()) return usage(QStringLiteral("--label names one unit; it does not go with --ports"));
  if (opt.file.isEmpty()) return usage(QStringLiteral("program needs the .DST file to write"));
  QString why;
  const std::vector<GangPort> gangPorts = ParseGangPorts(ports, &why);
  if (gangPorts.empty()) return usage(why);
  {
    QByteArray record;
    if (!ReadConfigurationFile(opt.file, &record, err)) return kExitUsage;
  }
  if (!opt.model.isEmpty()) {
    const ModelRow* m = FindModel(opt.model);
    if (!m) return usage(QStringLiteral("unknown model %1; one of %2").arg(opt.model, ModelIds().join(", ")));
    opt.model = QLatin1String(m->id);
  }
  CsvLog csv;
  if (!SameLayout(log, &why) || !csv.open(log, kHeader, &why)) {
    err << "planovix-cli: cannot write " << log << ": " << why << "\n";
    return kExitUsage;
  }

  GangProgrammer gang(gangPorts, opt);
  int code = kExitOk;
  QEventLoop loop;
  QObject::connect(&gang, &GangProgrammer::finished, &loop, &QEventLoop::quit);
  QObject::connect(&gang, &GangProgrammer::portMissing, [&](int, const QString& text) {
    // Said once; the slot keeps looking, since on a gang bench a port comes
    // and goes with the adapter and its unit.
    err << "planovix-cli: " << text << " (still looking)\n";
    err.flush();
  });
  QObject::connect(&gang, &GangProgrammer::slotChanged, [&](int slot) {
    const GangSlotView& v = gang.slotViews()[static_cast<size_t>(slot)];
    if (v.state == GangState::Writing) out << v.port.name << ": writing " << v.model << "\n";
    else if (v.state == GangState::Waiting && gang.stopRequests() == 0) out << v.port.name << ": waiting for a unit\n";
    out.flush();
  });
  QObject::connect(&gang, &GangProgrammer::unitDone, [&](int index) {
    const GangUnit& u = gang.units()[static_cast<size_t>(index)];
    out << UnitLine(u) << (u.outcome == GangOutcome::Ok ? "\a" : "\a\a\a") << "\n";
    out.flush();
    QString whyNot;
    const QStringList fields{CsvTime(u.time), CsvField(u.port), CsvField(u.model), u.identity, u.fingerprint,
                             CsvField(u.label), QLatin1String(GangOutcomeName(u.outcome)), CsvField(u.reason),
                             QString::number(u.cellsSent)};
    if (!csv.append(fields, &whyNot) && code != kExitUsage) {
      err << "planovix-cli: cannot write " << log << ": " << whyNot << "; the gang ends after the units in hand\n";
      err.flush();
      code = kExitDevice;
      if (gang.stopRequests() == 0) gang.requestStop();
    }
  });
  int stoppedBy = 0;
  if (globals.stops)
    QObject::connect(globals.stops, &TerminationSignals::received, &gang, [&](int signal, int count) {
      stoppedBy = signal;
      err << "planovix-cli: " << TerminationSignals::Name(signal) << ": "
          << (count == 1 ? "the gang ends after the units in hand (again: their writes stop too)"
                         : "stopping the units in hand now")
          << "\n";
      err.flush();
      gang.requestStop();
    });

  if (!gang.start(&why)) {
    err << "planovix-cli: " << why << "\n";
    return kExitDevice;
  }
  out << "program: " << opt.file << " onto units on " << gangPorts.size() << " ports"
      << (opt.model.isEmpty() ? QString() : " (model " + opt.model + ")") << (opt.repeat ? "; Ctrl+C ends" : "")
      << "\n";
  out.flush();
  if (globals.stops && globals.stops->count() > 0) gang.requestStop();
  loop.exec();

  const int ok = gang.count(GangOutcome::Ok), refused = gang.count(GangOutcome::Refused),
            failed = gang.count(GangOutcome::Failed);
  out << "summary:\n";
  for (const GangUnit& u : gang.units()) out << "  " << UnitLine(u) << "\n";
  for (const GangSlotView& v : gang.slotViews())
    out << "  " << v.port.name << ": " << v.ok << " ok, " << v.refused << " refused, " << v.failed << " failed\n";
  const qsizetype units = static_cast<qsizetype>(gang.units().size());
  out << "gang ended" << (stoppedBy ? " (" + TerminationSignals::Name(stoppedBy) + ")" : QString()) << ": " << units
      << (units == 1 ? " unit" : " units") << " on " << gangPorts.size() << " ports, " << ok << " ok, " << refused
      << " refused, " << failed << " failed\n";
  out.flush();
  return UnitsExit(code, failed, refused);
}

} // namespace pv
