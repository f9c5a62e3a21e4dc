#include "CliBase.h"

#include "CliLanguage.h"
#include "app/TerminationSignals.h"
#include "config/ConfigFile.h"
#include "kernel/AppState.h"
#include "kernel/AtomicFile.h"
#include "link/DeviceCommands.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "text/StringTable.h"

#include <QRegularExpression>
#include <algorithm>

namespace pv {

bool CliArgs::has(const char* option) const { return flags.count(QString::fromLatin1(option)) > 0; }

QString CliArgs::value(const char* option, const QString& otherwise) const {
  const auto it = values.find(QString::fromLatin1(option));
  return it == values.end() ? otherwise : it->second;
}

std::optional<CliArgs> ParseCliArgs(const QStringList& args, const std::vector<CliOption>& known,
                                    CliParseError* error) {
  auto find = [&known](const QString& key) {
    return std::find_if(known.begin(), known.end(), [&key](const CliOption& o) { return key == QLatin1String(o.name); });
  };
  CliArgs parsed;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    // A lone "-" and a negative number are words.
    if (!a.startsWith(QLatin1Char('-')) || a.size() == 1 || a[1].isDigit()) {
      if (parsed.command.isEmpty()) parsed.command = a;
      else parsed.words << a;
      continue;
    }
    if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
      parsed.flags.insert(QStringLiteral("--help"));
      continue;
    }
    if (a == QLatin1String("--version")) {
      parsed.flags.insert(a);
      continue;
    }
    const QString key = a.section(QLatin1Char('='), 0, 0);
    const auto option = find(key);
    if (option == known.end()) {
      *error = {CliText(clitext::UnknownOption).arg(a), key, true};
      return std::nullopt;
    }
    if (!option->arg) {
      if (a.contains(QLatin1Char('='))) {
        *error = {QStringLiteral("%1 takes no value").arg(key), key, false};
        return std::nullopt;
      }
      parsed.flags.insert(key);
      continue;
    }
    QString value;
    if (a.contains(QLatin1Char('='))) {
      value = a.section(QLatin1Char('='), 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      *error = {key == QLatin1String("--port") ? CliText(clitext::PortNeedsValue)
                                                  : QStringLiteral("%1 needs a value").arg(key),
                key, false};
      return std::nullopt;
    }
    parsed.values[key] = value;
  }
  return parsed;
}

int CliUsage(QTextStream& err, const QString& text) {
  err << "planovix-cli: " << text << " (" << CliText(clitext::SeeHelp) << ")\n";
  return kExitUsage;
}

std::optional<int> ParseCliInt(const QString& text, int lo, int hi) {
  // Digits only (a sign for negative ranges): "1e3", "0x10", " 7", "+7" and
  // numbers past the range are refused, never wrapped or clipped.
  const QString t = text;
  if (t.isEmpty() || t.size() > 11) return std::nullopt;
  int start = 0;
  if (t[0] == QLatin1Char('-')) {
    if (lo >= 0 || t.size() == 1) return std::nullopt;
    start = 1;
  }
  for (int i = start; i < t.size(); ++i)
    if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9')) return std::nullopt;
  bool ok = false;
  const qlonglong v = t.toLongLong(&ok, 10);
  if (!ok || v < lo || v > hi) return std::nullopt;
  return static_cast<int>(v);
}

bool ReadConfigurationFile(const QString& path, QByteArray* bytes, QTextStream& err) {
  QString why;
  if (!ReadInputFile(path, kRecordSize + 1, bytes, &why)) {
    err << "planovix-cli: cannot open " << path << ": " << why << "\n";
    return false;
  }
  if (const QString bad = ValidateRecord(*bytes); !bad.isEmpty()) {
    err << "planovix-cli: " << path << " is not a valid configuration file: " << bad << "\n";
    return false;
  }
  bytes->truncate(kRecordSize);
  return true;
}

void SetEnglish(AppState& state) {
  state.languageIndex = 1;
  state.languageOffset = ComputeLanguageOffset(1);
}

StopOnSignals::StopOnSignals(TerminationSignals* stops, AppState& state, QTextStream& err, QString command)
    : stops_(stops), state_(state), err_(err), command_(std::move(command)) {
  if (!stops_) return;
  // A run started after a signal (the next unit of a batch) starts stopped.
  state_.stopRequests = stops_->count();
  connection_ = QObject::connect(stops_, &TerminationSignals::received, [this](int signal, int count) {
    state_.stopRequests = count;
    state_.measureRunning = false;
    err_ << "planovix-cli: " << TerminationSignals::Name(signal) << ": "
         << (count == 1 ? "stopping (a write in hand is finished; send it again to stop that too)"
                        : "stopping now")
         << "\n";
    err_.flush();
  });
}

StopOnSignals::~StopOnSignals() { QObject::disconnect(connection_); }

int StopOnSignals::finish(DeviceCommands& commands, bool succeeded) {
  if (!stops_) return 0;
  stops_->poll();
  if (stops_->count() == 0) return 0;
  const DeviceCommands::WriteReport& w = commands.lastWrite();
  QString done;
  if (!w.sent.empty() && w.unsent.empty()) done = QStringLiteral("the %1 cells of the last write were all sent").arg(w.sent.size());
  else if (!w.sent.empty()) done = QStringLiteral("%1 cells were sent and %2 were not").arg(w.sent.size()).arg(w.unsent.size());
  else done = QStringLiteral("nothing was written to the unit");
  const QString idle = commands.mayBeProgramming() ? QStringLiteral("the unit may still be in programming mode")
                       : commands.mayBeStreaming() ? QStringLiteral("the unit may still be measuring")
                                                   : QStringLiteral("the unit was left out of programming mode and not measuring");
  err_ << "planovix-cli: " << command_ << " ended by " << TerminationSignals::Name(stops_->last()) << ": "
       << (succeeded ? QStringLiteral("it had done all its work; ") : QStringLiteral("not finished; ")) << done << "; "
       << idle << "\n";
  err_.flush();
  return 128 + stops_->last();
}

QString UnitPortPath(const QString& port) {
  static const QRegularExpression com(QStringLiteral("^COM ?([1-8])$"),
                                      QRegularExpression::CaseInsensitiveOption);
  const auto m = com.match(port.trimmed());
  if (m.hasMatch()) return ResolveComPort(m.captured(1).toInt());
  return port;
}

OpenUnitPort::OpenUnitPort(SerialPort& port, const QString& name, QTextStream& err) : port_(port) {
  const QString path = UnitPortPath(name);
  OpenError why = OpenError::None;
  QString detail;
  opened_ = port_.open(path, &why, &detail);
  if (!opened_)
    err << "planovix-cli: cannot open port " << name << " (" << path << ")"
        << (detail.isEmpty() ? QString() : ": " + detail) << "\n";
}

OpenUnitPort::~OpenUnitPort() {
  if (opened_) port_.close();
}

} // namespace pv
