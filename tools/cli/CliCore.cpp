#include "CliCore.h"
#include "CliLanguage.h"
#include "CliProgress.h"
#include "BatchCli.h"
#include "CalibrateCli.h"
#include "DiffCli.h"
#include "EepromCli.h"
#include "InstrumentCli.h"
#include "RecordsCli.h"
#include "SheetCli.h"
#include "VerifyCli.h"

#include "kernel/Feedback.h"
#include "kernel/Catalogue.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/Fingerprint.h"
#include "kernel/AtomicFile.h"
#include "records/RecordStore.h"
#include "app/TerminationSignals.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/ModelFamily.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "link/Transport.h"
#include "measure/DeviceCommandsLink.h"
#include "measure/MeasurementRun.h"
#include "switches/SwitchReport.h"
#include "switches/SwitchUnit.h"
#include "text/Numbers.h"
#include "text/StringTable.h"
#include "kernel/Version.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

namespace pv {

QString CliHelpText() {
  return CliText(clitext::Help) + SheetHelpText() + DiffHelpText() + EepromHelpText() + InstrumentHelpText() + CalibrateHelpText() + VerifyHelpText() + BatchHelpText() + RecordsHelpText();
}

namespace {

// Answers questions from the flags; tells the user on standard error.
class CliPrompter final : public Prompter {
public:
  CliPrompter(bool yes, int retries, QTextStream& err, CliProgress& progress)
      : yes_(yes), retries_(retries), err_(err), progress_(progress) {}
  // How many failures were reported on standard error: a failure nobody
  // explained gets a line of its own at the end. Questions answered by the
  // flags do not count.
  int said = 0;
  // A routine ended (or a frame arrived): the next failure is a new one.
  void settled() { streak_ = 0; }
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon icon) override {
    progress_.clear();  // a message starts on a line of its own
    switch (buttons) {
    case Buttons::RetryCancel:
      if (streak_ < retries_) {
        ++streak_;
        err_ << "planovix-cli: " << text << " (retry " << streak_ << " of " << retries_ << ")\n";
        return Answer::Retry;
      }
      ++said;
      err_ << "planovix-cli: " << text << " (giving up"
           << (retries_ > 0 ? QStringLiteral(" after %1 retries").arg(retries_) : QString()) << ")\n";
      return Answer::Cancel;
    case Buttons::OkCancel:
      if (yes_) {
        err_ << "planovix-cli: " << text << " (accepted: --yes)\n";
        return Answer::Ok;
      }
      ++said;
      err_ << "planovix-cli: " << text << " (refused: use --yes to accept)\n";
      return Answer::Cancel;
    case Buttons::YesNo:
      err_ << "planovix-cli: " << text << (yes_ ? " (yes)\n" : " (no)\n");
      return yes_ ? Answer::Yes : Answer::No;
    case Buttons::AbortRetryIgnore:
      ++said;
      err_ << "planovix-cli: " << text << " (abort)\n";
      return Answer::Abort;
    case Buttons::Ok:
      break;
    }
    if (icon == Icon::Critical || icon == Icon::Warning) ++said;
    err_ << "planovix-cli: " << text << "\n";
    return Answer::Ok;
  }
  // The only text the core asks for is the unit's label: --label gives it.
  std::optional<QString> askText(const QString&, const QString& prompt, const QString& def) override {
    if (def.isEmpty()) err_ << "planovix-cli: " << prompt << " (none given: use --label)\n";
    return def;
  }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }

private:
  bool yes_;
  int retries_;
  int streak_ = 0;
  QTextStream& err_;
  CliProgress& progress_;
};

// The end of each routine (the busy lamp going green) ends a failure streak.
class CliFeedback final : public Feedback {
public:
  CliFeedback(CliPrompter& prompter, CliProgress& progress) : prompter_(prompter), progress_(progress) {}
  void setBusy(bool busy) override {
    if (busy) return;
    prompter_.settled();
    progress_.clear();
  }
  // The link counts the cells of a read or a write; 0 of 0 ends it.
  void setProgress(int done, int total) override {
    if (total <= 0) {
      progress_.clear();
      return;
    }
    progress_.step(progress::Cells, done, total);
  }

private:
  CliPrompter& prompter_;
  CliProgress& progress_;
};

struct Session {
  AppState state;
  RangeTables tables;
  CliProgress progress;
  CliPrompter prompter;
  CliFeedback feedback;
  // One exchange at a time here too: each command runs as one on the link.
  DeviceLink link;
  Transport transport;
  DeviceCommands commands;
  EditorModel model;
  Session(bool yes, bool json, int retries, SerialPort& port, Clock& clock, QTextStream& err)
      : progress(err, ShowsProgress(json)), prompter(yes, retries, err, progress), feedback(prompter, progress), link(clock, prompter), transport(port, link.clock()),
        commands(state, transport, link.prompter(), feedback), model(state, tables) {
    state.languageIndex = 1;  // English
    state.languageOffset = ComputeLanguageOffset(1);
  }
};

int ExitFor(ConfigResult r) {
  switch (r) {
  case ConfigResult::Ok: return kExitOk;
  case ConfigResult::CommFailure:
  case ConfigResult::NotVerified: return kExitDevice;
  case ConfigResult::BadData: return kExitUsage;
  case ConfigResult::NotCompatible:
  case ConfigResult::Refused:
  case ConfigResult::Cancelled: return kExitRefused;
  }
  return kExitDevice;
}

std::optional<int> ParseInt(const QString& s, int lo, int hi) { return ParseCliInt(s, lo, hi); }

// A configuration as the editor shows it: numbers as their fields read.
QJsonObject ConfigJson(const ConfigRecord& r, const DeviceIdentity& id, const RangeTables& T) {
  QJsonObject o{{"device_code", id.deviceCode},
                {"variant", id.variant},
                {"hardware_revision", id.hardwareRevision},
                {"spare", id.spare}};
  static const char* wires[] = {"2", "4", "3", "?"};
  static const char* functions[] = {"linear", "tank", "sqrt"};
  auto name = [](const auto& table, int row) {
    return row >= 0 && row < static_cast<int>(table.size()) ? table[static_cast<size_t>(row)].name : QString();
  };
  QJsonArray channels;
  for (int c = 0; c < 2; ++c) {
    const ChannelConfig& ch = r.ch[c];
    QJsonObject row{{"input_type", name(T.input, InputRowOf(r, c))},
                  {"input_max", ch.inputMax},
                  {"input_min", ch.inputMin},
                  {"output_type", name(T.output, ch.outputRow)},
                  {"output_max", ch.outputMax},
                  {"output_min", ch.outputMin},
                  {"offset", ch.offset},
                  {"cjc", ch.cjc ? "internal" : "external"},
                  {"wires", wires[ch.wires & 3]},
                  {"function", ch.function >= 0 && ch.function < 3 ? functions[ch.function] : "other"},
                  {"burn_out", ch.burnOut ? "down" : "up"},
                  {"over_range", name(T.overRange, ch.overRange)},
                  {"operation", ch.operation >= 0 && ch.operation < 8 ? kOperationCaptions[ch.operation] : "?"}};
    channels.append(row);
  }
  o["channels"] = channels;
  QJsonArray trips;
  for (int c = 0; c < 2; ++c)
    trips.append(QJsonObject{{"high", r.ch[c].tripHigh},
                             {"low", r.ch[c].tripLow},
                             {"direction", r.ch[c].tripDirection ? "min" : "max"},
                             {"relay", r.ch[c].relay ? "NO" : "NC"}});
  o["trips"] = trips;
  o["trip_delay"] = r.tripDelay;
  o["doubler"] = r.doubler;
  o["high_speed"] = r.highSpeed;
  if (CellLayoutFor(id).responseTime) o["response_time"] = r.responseTime;
  if (id.variant == 7)
    o["frequency"] = QJsonObject{{"sensor", name(T.frequency, r.freqType)},
                                 {"filter_50hz", r.filter50Hz},
                                 {"filter", r.filter},
                                 {"aux_frequency", r.auxFrequency},
                                 {"trigger", r.trigger}};
  QJsonArray physical;
  for (double v : r.physical) physical.append(v);
  o["physical"] = physical;
  return o;
}

void PrintText(QTextStream& out, const QJsonObject& o, const QString& indent = {}) {
  for (auto it = o.begin(); it != o.end(); ++it) {
    const QJsonValue v = it.value();
    if (v.isObject()) {
      out << indent << it.key() << ":\n";
      PrintText(out, v.toObject(), indent + "  ");
    } else if (v.isArray()) {
      const QJsonArray a = v.toArray();
      if (!a.isEmpty() && a.first().isObject()) {
        for (int i = 0; i < a.size(); ++i) {
          out << indent << it.key() << " " << (i == 0 ? "A" : "B") << ":\n";
          PrintText(out, a[i].toObject(), indent + "  ");
        }
      } else {
        QStringList parts;
        for (const QJsonValue& x : a) parts << x.toVariant().toString();
        out << indent << it.key() << ": " << parts.join(' ') << "\n";
      }
    } else {
      out << indent << it.key() << ": " << v.toVariant().toString() << "\n";
    }
  }
}

void Emit(QTextStream& out, const QJsonObject& o, bool json) {
  if (json) out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
  else PrintText(out, o);
}

const char* ColourName(Colour c) {
  switch (c) {
  case Colour::Red: return "red";
  case Colour::Yellow: return "yellow";
  case Colour::Green: return "green";
  case Colour::Grey: break;
  }
  return "grey";
}

// A run of the measurement core that stops after the frames asked for.
int Measure(Session& s, int frames, QTextStream& out, bool json) {
  DeviceCommandsLink device(s.commands);
  MeasurementRun run(s.state, s.tables, device, s.feedback);
  QJsonArray shown;
  int count = 0;
  QObject::connect(&run, &MeasurementRun::frameShown, [&](const DisplayFrame& f) {
    s.prompter.settled();
    ++count;
    const RunSetup& setup = run.setup();
    QJsonArray channels;
    QString line = QStringLiteral("%1 %2 ms").arg(count).arg(f.timeMs);
    for (int c = 0; c <= setup.lastChannel; ++c) {
      const ChannelDisplay& ch = f.channels[c];
      if (!ch.updated) continue;
      channels.append(QJsonObject{
          {"output", ch.output},
          {"output_text", ch.outputText},
          {"input", ch.inputValid ? QJsonValue(ch.input) : QJsonValue()},
          {"input_text", ch.inputText},
          {"input_unit", ch.inputUnit},
          {"under_range", ch.underRange},
          {"over_range", ch.overRange}});
      line += QStringLiteral(" | %1: out %2 in %3").arg(QChar('A' + c)).arg(ch.outputText, ch.inputText);
      if (ch.inputValid && !ch.inputText.endsWith(ch.inputUnit)) line += ' ' + ch.inputUnit;
      if (ch.underRange) line += QStringLiteral(" UNDER");
      if (ch.overRange) line += QStringLiteral(" OVER");
    }
    line += QStringLiteral(" | trip A %1, trip B %2, alarm %3")
                .arg(ColourName(f.lamps[0]), ColourName(f.lamps[1]), ColourName(f.lamps[2]));
    if (json) {
      shown.append(QJsonObject{{"time_ms", f.timeMs},
                               {"status", f.values.status},
                               {"lamps", QJsonObject{{"trip_a", ColourName(f.lamps[0])},
                                                     {"trip_b", ColourName(f.lamps[1])},
                                                     {"alarm", ColourName(f.lamps[2])}}},
                               {"channels", channels}});
    } else {
      out << line << "\n";
    }
    // The loop sends "SM" before it waits for another frame.
    if (count >= frames) run.stop();
  });
  QObject::connect(&run, &MeasurementRun::started, [&](const RunSetup& setup) {
    if (json) return;
    for (int c = 0; c <= setup.lastChannel; ++c)
      out << "channel " << QChar('A' + c) << ": " << setup.channels[c].inputLabel << " -> "
          << setup.channels[c].outputLabel << "\n";
  });

  const RunEnd why = run.run();
  if (json) {
    const RunSetup& setup = run.setup();
    QJsonArray channels;
    for (int c = 0; c <= setup.lastChannel && why == RunEnd::Stopped; ++c) {
      const ChannelSettings& cs = setup.channels[c].settings;
      channels.append(QJsonObject{{"label", setup.channels[c].inputLabel},
                                  {"output_label", setup.channels[c].outputLabel},
                                  {"input_min", cs.inputMin},
                                  {"input_max", cs.inputMax},
                                  {"output_min", cs.outputMin},
                                  {"output_max", cs.outputMax},
                                  {"input_unit", cs.inputUnit},
                                  {"output_unit", cs.outputUnit}});
    }
    out << QJsonDocument(QJsonObject{{"channels", channels}, {"frames", shown}})
               .toJson(QJsonDocument::Compact)
        << "\n";
  }
  return why == RunEnd::Stopped && count >= frames ? kExitOk : kExitDevice;
}

} // namespace

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

namespace {

// --retries and --label may stand anywhere; they are taken out before the
// command is chosen. False (with the reason) for a bad value.
bool TakeGlobalOptions(QStringList& args, CliGlobals& g, QString* why) {
  for (int i = 0; i < args.size();) {
    const QString key = args[i].section('=', 0, 0);
    if (key != QLatin1String("--retries") && key != QLatin1String("--label")) {
      ++i;
      continue;
    }
    QString value;
    if (args[i].contains('=')) {
      value = args[i].section('=', 1);
      args.removeAt(i);
    } else {
      if (i + 1 >= args.size()) {
        *why = key + QStringLiteral(" needs a value");
        return false;
      }
      value = args[i + 1];
      args.remove(i, 2);
    }
    if (key == QLatin1String("--label")) {
      g.label = value;
      continue;
    }
    const std::optional<int> n = ParseCliInt(value, 0, 100);
    if (!n) {
      *why = QStringLiteral("--retries takes a whole number from 0 to 100, not \"%1\"").arg(value.left(24));
      return false;
    }
    g.retries = *n;
  }
  return true;
}

} // namespace

int RunCli(const QStringList& rawArgs, SerialPort& port, Clock& clock, QTextStream& out, QTextStream& err,
           TerminationSignals* stops) {
  CliGlobals globals;
  globals.stops = stops;
  QStringList args = rawArgs;
  const int given = static_cast<int>(args.size());
  QString why;
  if (!TakeGlobalOptions(args, globals, &why)) {
    err << "planovix-cli: " << why << " (" << CliText(clitext::SeeHelp) << ")\n";
    return kExitUsage;
  }
  const bool tookGlobals = static_cast<int>(args.size()) != given;
  auto unitOnly = [&](const char* what) {
    err << "planovix-cli: " << CliText(clitext::UnitOnlyOptions).arg(QLatin1String(what)) << " ("
        << CliText(clitext::SeeHelp) << ")\n";
    return kExitUsage;
  };
  if (IsCalibrateInvocation(args)) {
    if (tookGlobals) return unitOnly("calibrate");
    InstrumentIo io = RealInstrumentIo(clock);
    QTextStream in(stdin);
    return RunCalibrateCli(args, port, io, clock, in, out, err);
  }
  if (IsVerifyInvocation(args)) {
    if (tookGlobals) return unitOnly("verify-calibration");
    InstrumentIo io = RealInstrumentIo(clock);
    QTextStream in(stdin);
    return RunVerifyCli(args, io, clock, in, out, err);
  }
  if (IsBatchInvocation(args)) return RunBatchCli(args, port, clock, out, err, globals);
  if (IsInstrumentInvocation(args)) {
    if (tookGlobals) return unitOnly("the instrument commands");
    InstrumentIo io = RealInstrumentIo(clock);
    QTextStream in(stdin);
    return RunInstrumentCli(args, io, clock, in, out, err);
  }
  QString portName = QStringLiteral("COM 1");
  bool yes = false, json = false, changedOnly = false;
  QStringList rest;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (!rest.isEmpty()) {
      rest << a;
    } else if (a == "--help" || a == "-h") {
      out << CliHelpText();
      return kExitOk;
    } else if (a == "--version") {
      out << "planovix-cli " << PLANOVIX_VERSION << "\n";
      return kExitOk;
    } else if (a == "--yes") {
      yes = true;
    } else if (a == "--json") {
      json = true;
    } else if (a == "--changed-only") {
      changedOnly = true;
    } else if (a == "--port") {
      if (++i >= args.size()) {
        err << "planovix-cli: " << CliText(clitext::PortNeedsValue) << " (" << CliText(clitext::SeeHelp) << ")\n";
        return kExitUsage;
      }
      portName = args[i];
    } else if (a.startsWith("--port=")) {
      portName = a.mid(7);
    } else if (a.startsWith('-') && a.size() > 1 && !a[1].isDigit()) {
      err << "planovix-cli: " << CliText(clitext::UnknownOption).arg(a) << " (" << CliText(clitext::SeeHelp) << ")\n";
      return kExitUsage;
    } else {
      rest << a;
    }
  }
  if (portName.trimmed().isEmpty()) {
    err << "planovix-cli: " << CliText(clitext::PortNeedsPort) << " (" << CliText(clitext::SeeHelp) << ")\n";
    return kExitUsage;
  }
  if (rest.isEmpty()) {
    err << "planovix-cli: " << CliText(clitext::NoCommand) << " (" << CliText(clitext::SeeHelp) << ")\n";
    return kExitUsage;
  }
  const QString cmd = rest.takeFirst();
  auto usage = [&](const QString& text) {
    err << "planovix-cli: " << text << " (" << CliText(clitext::SeeHelp) << ")\n";
    return kExitUsage;
  };
  static const QStringList known = {"identify", "read-config", "write-config", "show-config",
                                    "cells", "switches", "measure"};
  if (IsRecordsCommand(cmd)) return RunRecordsCli(rest, json, out, err);
  if (IsSheetCommand(cmd)) return RunSheetCli(rest, port, clock, UnitPortPath(portName), yes, json, out, err);
  if (!known.contains(cmd) && !IsEepromCommand(cmd) && !IsDiffCommand(cmd)) return usage(CliText(clitext::UnknownCommand).arg(cmd));

  // Arguments first: a usage error never touches the unit.
  std::optional<int> bank, first, count, frames;
  bool noFingerprint = false;
  QByteArray fileBytes;
  std::optional<EepromJob> eeprom;
  std::optional<DiffJob> diff;
  if (IsDiffCommand(cmd)) {
    int code = kExitUsage;
    diff = PrepareDiffCommand(cmd, rest, err, &code);
    if (!diff) return code;
  } else if (IsEepromCommand(cmd)) {
    int code = kExitUsage;
    eeprom = PrepareEepromCommand(cmd, rest, err, &code);
    if (!eeprom) return code;
  } else if (cmd == "identify" && rest == QStringList{QStringLiteral("--no-fingerprint")}) {
    noFingerprint = true;
  } else if (cmd == "identify" || cmd == "switches") {
    if (!rest.isEmpty()) return usage("this command takes no arguments");
  } else if (cmd == "read-config") {
    if (rest.size() != 1) return usage("read-config takes one file name");
  } else if (cmd == "write-config" || (cmd == "show-config" && !rest.isEmpty())) {
    if (rest.size() != 1) return usage("give one .DST file");
    if (!ReadConfigurationFile(rest[0], &fileBytes, err)) return kExitUsage;
  } else if (cmd == "cells") {
    if (rest.size() != 3) return usage("cells takes BANK FIRST COUNT");
    bank = ParseInt(rest[0], 0, 255);
    first = ParseInt(rest[1], 0, 255);
    count = ParseInt(rest[2], 1, 256);
    if (!bank || !first || !count) return usage("BANK and FIRST are 0..255, COUNT 1..256");
    if (*first + *count > 256) return usage("FIRST + COUNT must not pass cell 255");
  } else if (cmd == "measure") {
    if (rest.size() != 1) return usage("measure takes a frame count");
    frames = ParseInt(rest[0], 1, 100000);
    if (!frames) return usage("N is a whole number from 1");
  }

  Session s(yes, json, globals.retries, port, clock, err);
  s.state.recordCommand = IsEepromCommand(cmd) && !rest.isEmpty() && cmd == QLatin1String("eeprom")
                              ? cmd + ' ' + rest[0]
                              : cmd;
  s.state.unitLabel = globals.label;
  if (diff && !diff->needsDevice()) return RunDiffCommand(*diff, s.model, s.commands, json, out, err);
  if (cmd == "show-config" && !fileBytes.isEmpty()) {
    // A file alone: the identity it was made for, no questions.
    s.state.identity = RecordIdentity(fileBytes);
    // What the editor cannot show is said, not silently replaced.
    for (const QString& unknown : UnknownRecordValues(s.state, s.tables, fileBytes))
      err << "planovix-cli: " << rest[0] << ": " << unknown << " (not shown)\n";
    Emit(out, ConfigJson(OpenedRecord(fileBytes, BlankRecord(), s.state, s.tables), s.state.identity, s.tables), json);
    return kExitOk;
  }

  const OpenUnitPort opened(port, portName, err);
  if (!opened) return kExitDevice;
  // A signal (Ctrl+C, SIGTERM, SIGHUP) stops the command the way the
  // routines define: a read at once, a write in hand after its read-back.
  StopOnSignals stop(stops, s.state, err, cmd);
  int code = kExitDevice;
  s.link.run(Exchange::Command, [&] { code = [&]() -> int {

    if (diff) return RunDiffCommand(*diff, s.model, s.commands, json, out, err);
    if (eeprom) return RunEepromCommand(*eeprom, s.state, s.commands, s.link, s.link.prompter(), json, out, err);

    if (cmd == "identify") {
      const IdentityBytes id = s.commands.ReadIdentity();
      if (id[0] == 1 || s.state.commError) return kExitDevice;
      const DeviceIdentity& d = s.state.identity;
      const FamilyLookup found = LookUpModel(s.state, s.commands, true);
      if (!found.answered) return kExitDevice;
      const QString model = found.modelId;
      const int index = CatalogueIndex(model);
      if (noFingerprint) {
        Emit(out,
             QJsonObject{{"device_code", d.deviceCode},
                         {"variant", d.variant},
                         {"hardware_revision", d.hardwareRevision},
                         {"spare", d.spare},
                         {"model", index >= 0 ? model : QString()},
                         {"caption", index >= 0 ? ModelCaption(s.state, index) : QString()}},
             json);
        return kExitOk;
      }
      const std::optional<UnitFingerprint> fp = ReadFingerprint(s.commands, index >= 0 ? model : QString());
      if (!fp) return kExitDevice;
      // The label the record store keeps for this unit, when there is a store
      // (a look at the unit creates none).
      QString label = s.state.unitLabel;
      const QString location = RecordStore::DefaultLocation();
      if (label.isEmpty() && !fp->blank && QFileInfo::exists(location))
        if (const std::unique_ptr<RecordStore> store = RecordStore::Open(location)) label = store->unitLabel(fp->digest);
      Emit(out,
           QJsonObject{{"device_code", d.deviceCode},
                       {"variant", d.variant},
                       {"hardware_revision", d.hardwareRevision},
                       {"spare", d.spare},
                       {"model", index >= 0 ? model : QString()},
                       {"caption", index >= 0 ? ModelCaption(s.state, index) : QString()},
                       {"fingerprint", fp->digest},
                       {"fingerprint_blank", fp->blank},
                       {"label", label}},
           json);
      return kExitOk;
    }

    if (cmd == "read-config" || cmd == "show-config") {
      const ConfigResult r = ReadEprom(s.model, s.commands);
      if (r != ConfigResult::Ok) return ExitFor(r);
      if (cmd == "show-config") {
        Emit(out, ConfigJson(s.model.shown(), s.state.identity, s.tables), json);
        return kExitOk;
      }
      ConfigFile file(s.model, s.prompter);
      // The file could not be saved (the reason is on standard error).
      if (file.saveTo(rest[0]) != FileResult::Done) return kExitDevice;
      if (json) out << QJsonDocument(QJsonObject{{"saved", rest[0]}}).toJson(QJsonDocument::Compact) << "\n";
      return kExitOk;
    }

    if (cmd == "write-config") {
      // A unit of device code 11 may be written but not read: its own cells
      // are still taken first, so that what the file does not hold (and every
      // bit the configuration does not own) stays as the unit has it.
      const IdentityBytes id = s.commands.ReadIdentity();
      if (id[0] == 1 || s.state.commError) return kExitDevice;
      if (s.state.identity.deviceCode == 11) {
        s.model.fillLists();
        const CellBytes cells = s.commands.ReadCells(0, 0, 65);
        if (s.state.commError) return kExitDevice;
        CellImage image{};
        for (int a = 0; a <= 64; ++a) image[a] = cells[a];
        s.model.base = image;
        s.model.baseValid = true;
        s.model.load(DecodeConfig(s.state.identity, s.tables, image));
      } else {
        const ConfigResult r = ReadEprom(s.model, s.commands);
        if (r != ConfigResult::Ok) return ExitFor(r);
      }
      ConfigFile file(s.model, s.prompter);
      switch (file.openFrom(rest[0])) {
      case FileResult::Done: break;
      case FileResult::Cancelled: return kExitRefused;
      default: return kExitUsage;
      }
      // The cells were read just now, in this exchange: the history keeps them.
      WriteOptions options;
      options.baseIsFresh = true;
      options.changedOnly = changedOnly;
      const ConfigResult w = WriteEprom(s.model, s.commands, options);
      if (w == ConfigResult::Ok && json)
        out << QJsonDocument(QJsonObject{{"written", static_cast<int>(s.state.writeList.queued())}})
                   .toJson(QJsonDocument::Compact)
            << "\n";
      return ExitFor(w);
    }

    if (cmd == "cells") {
      const CellBytes c = s.commands.ReadCells(*bank, *first, *count);
      if (s.state.commError) return kExitDevice;
      QJsonArray values;
      for (int i = 0; i < *count; ++i) values.append(c[i]);
      out << QJsonDocument(QJsonObject{{"bank", *bank}, {"first", *first}, {"cells", values}})
                 .toJson(QJsonDocument::Compact)
          << "\n";
      return kExitOk;
    }

    if (cmd == "measure") return Measure(s, *frames, out, json);

    // The identity selects the answer lengths.
    const IdentityBytes id = s.commands.ReadIdentity();
    if (id[0] == 1 || s.state.commError) return kExitDevice;
    const DeviceIdentity& d = s.state.identity;
    s.state.signedValues = CellLayoutFor(d).signedWords;  // as a configuration read sets it

    // switches: one "$D", whose raw bytes are shown beside their meaning
    struct RecordingUnit final : DeviceSwitchUnit {
      using DeviceSwitchUnit::DeviceSwitchUnit;
      std::array<int, 4> last{};
      std::array<int, 4> ReadSwitchState() override { return last = DeviceSwitchUnit::ReadSwitchState(); }
    } unit(s.commands);
    const SwitchReport report = ReadSwitchReport(s.state, s.tables, unit, s.prompter);
    if (s.state.commError) return kExitDevice;
    const std::array<int, 4>& sw = unit.last;
    const bool longAnswer = LongSwitchAnswer(d);
    QJsonArray bytes;
    QStringList text;
    for (int i = 0; i < (longAnswer ? 4 : 2); ++i) {
      bytes.append(sw[i]);
      text << QString::number(sw[i]);
    }
    if (json) {
      QJsonObject o = SwitchReportJson(report);
      o["switches"] = bytes;
      out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
    } else {
      out << "switches: " << text.join(' ') << "\n" << RenderSwitchReport(report);
    }
    return kExitOk;
  }(); });
  // Every way out leaves the unit idle: out of programming mode, not streaming.
  s.link.run(Exchange::Command, [&] { s.commands.LeaveIdle(); });
  if (s.commands.mayBeProgramming() && !s.commands.programmingReported())
    err << "planovix-cli: " << Tr(s.state, 141) << "\n";
  if (const int interrupted = stop.finish(s.commands, code == kExitOk)) return interrupted;
  // A diff that found differences, or a restore with no entry, has said so.
  if (code != kExitOk && s.prompter.said == 0 && !(diff && (code == kExitDiffer || code == kExitUsage))) {
    err << "planovix-cli: " << cmd << " failed: "
        << (!port.isOpen() || port.hasError()
                ? "the line to the unit was lost (cable pulled, port closed or unit switched off)"
                : "the unit did not answer as expected (no answer, or programming mode refused)")
        << "\n";
  }
  return code;
}

} // namespace pv
