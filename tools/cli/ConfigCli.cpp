#include "ConfigCli.h"
#include "CliUnit.h"

#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/Fingerprint.h"
#include "kernel/Catalogue.h"
#include "link/ModelFamily.h"
#include "measure/DeviceCommandsLink.h"
#include "measure/MeasurementRun.h"
#include "records/RecordStore.h"
#include "switches/SwitchReport.h"
#include "switches/SwitchUnit.h"
#include "text/Numbers.h"
#include "text/StringTable.h"
#include "text/Texts.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pv {

namespace {

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
int Measure(CliUnit& s, int frames, QTextStream& out, bool json) {
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

QJsonObject IdentityJson(const DeviceIdentity& d) {
  return QJsonObject{{"device_code", d.deviceCode},
                     {"variant", d.variant},
                     {"hardware_revision", d.hardwareRevision},
                     {"spare", d.spare}};
}

void PrintJson(QTextStream& out, const QJsonObject& o) {
  out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
}

// The identity selects the answer lengths of everything after it.
bool ReadIdentity(CliUnit& s) {
  const IdentityBytes id = s.commands.ReadIdentity();
  return id[0] != 1 && !s.state.commError;
}

} // namespace

int IdentifyCommand(CliRun& run) {
  const QStringList& rest = run.args.words;
  if (!rest.isEmpty()) return CliUsage(run.io.err, QStringLiteral("this command takes no arguments"));
  const bool noFingerprint = run.args.has("--no-fingerprint");
  CliUnit s(run, run.args.command);
  return RunOnUnit(run, s, [&]() -> int {
    if (!ReadIdentity(s)) return kExitDevice;
    const DeviceIdentity& d = s.state.identity;
    const FamilyLookup found = LookUpModel(s.state, s.commands, true);
    if (!found.answered) return kExitDevice;
    const QString model = found.modelId;
    const int index = CatalogueIndex(model);
    QJsonObject o = IdentityJson(d);
    o["model"] = index >= 0 ? model : QString();
    o["caption"] = index >= 0 ? ModelCaption(s.state, index) : QString();
    if (noFingerprint) {
      Emit(run.io.out, o, run.json());
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
    o["fingerprint"] = fp->digest;
    o["fingerprint_blank"] = fp->blank;
    o["label"] = label;
    Emit(run.io.out, o, run.json());
    return kExitOk;
  });
}

int ReadConfigCommand(CliRun& run) {
  if (run.args.words.size() != 1) return CliUsage(run.io.err, QStringLiteral("read-config takes one file name"));
  const QString path = run.args.words[0];
  CliUnit s(run, run.args.command);
  return RunOnUnit(run, s, [&]() -> int {
    const ConfigResult r = ReadEprom(s.model, s.commands);
    if (r != ConfigResult::Ok) return ExitFor(r);
    ConfigFile file(s.model, s.prompter);
    // The file could not be saved (the reason is on standard error).
    if (file.saveTo(path) != FileResult::Done) return kExitDevice;
    if (run.json()) PrintJson(run.io.out, QJsonObject{{"saved", path}});
    return kExitOk;
  });
}

int ShowConfigCommand(CliRun& run) {
  const QStringList& rest = run.args.words;
  CliUnit s(run, run.args.command);
  if (rest.isEmpty()) {
    return RunOnUnit(run, s, [&]() -> int {
      const ConfigResult r = ReadEprom(s.model, s.commands);
      if (r != ConfigResult::Ok) return ExitFor(r);
      Emit(run.io.out, ConfigJson(s.model.shown(), s.state.identity, s.tables), run.json());
      return kExitOk;
    });
  }
  QByteArray fileBytes;
  if (rest.size() != 1) return CliUsage(run.io.err, QStringLiteral("give one .DST file"));
  if (!ReadConfigurationFile(rest[0], &fileBytes, run.io.err)) return kExitUsage;
  // A file alone: the identity it was made for, no questions.
  s.state.identity = RecordIdentity(fileBytes);
  // What the editor cannot show is said, not silently replaced.
  for (const QString& unknown : UnknownRecordValues(s.state, s.tables, fileBytes))
    run.io.err << "planovix-cli: " << rest[0] << ": " << unknown << " (not shown)\n";
  Emit(run.io.out, ConfigJson(OpenedRecord(fileBytes, BlankRecord(), s.state, s.tables), s.state.identity, s.tables),
       run.json());
  return kExitOk;
}

int WriteConfigCommand(CliRun& run) {
  const QStringList& rest = run.args.words;
  if (rest.size() != 1) return CliUsage(run.io.err, QStringLiteral("give one .DST file"));
  QByteArray fileBytes;
  if (!ReadConfigurationFile(rest[0], &fileBytes, run.io.err)) return kExitUsage;
  CliUnit s(run, run.args.command);
  return RunOnUnit(run, s, [&]() -> int {
    // A unit of device code 11 may be written but not read: its own cells
    // are still taken first, so that what the file does not hold (and every
    // bit the configuration does not own) stays as the unit has it.
    if (!ReadIdentity(s)) return kExitDevice;
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
    options.changedOnly = run.args.has("--changed-only");
    const ConfigResult w = WriteEprom(s.model, s.commands, options);
    if (w == ConfigResult::Ok && run.json())
      PrintJson(run.io.out, QJsonObject{{"written", static_cast<int>(s.state.writeList.queued())}});
    return ExitFor(w);
  });
}

int CellsCommand(CliRun& run) {
  const QStringList& rest = run.args.words;
  if (rest.size() != 3) return CliUsage(run.io.err, QStringLiteral("cells takes BANK FIRST COUNT"));
  const std::optional<int> bank = ParseCliInt(rest[0], 0, 255), first = ParseCliInt(rest[1], 0, 255),
                           count = ParseCliInt(rest[2], 1, 256);
  if (!bank || !first || !count) return CliUsage(run.io.err, QStringLiteral("BANK and FIRST are 0..255, COUNT 1..256"));
  if (*first + *count > 256) return CliUsage(run.io.err, QStringLiteral("FIRST + COUNT must not pass cell 255"));
  CliUnit s(run, run.args.command);
  return RunOnUnit(run, s, [&]() -> int {
    const CellBytes c = s.commands.ReadCells(*bank, *first, *count);
    if (s.state.commError) return kExitDevice;
    QJsonArray values;
    for (int i = 0; i < *count; ++i) values.append(c[i]);
    PrintJson(run.io.out, QJsonObject{{"bank", *bank}, {"first", *first}, {"cells", values}});
    return kExitOk;
  });
}

int MeasureCommand(CliRun& run) {
  const QStringList& rest = run.args.words;
  if (rest.size() != 1) return CliUsage(run.io.err, QStringLiteral("measure takes a frame count"));
  const std::optional<int> frames = ParseCliInt(rest[0], 1, 100000);
  if (!frames) return CliUsage(run.io.err, QStringLiteral("N is a whole number from 1"));
  CliUnit s(run, run.args.command);
  return RunOnUnit(run, s, [&] { return Measure(s, *frames, run.io.out, run.json()); });
}

int SwitchesCommand(CliRun& run) {
  if (!run.args.words.isEmpty()) return CliUsage(run.io.err, QStringLiteral("this command takes no arguments"));
  CliUnit s(run, run.args.command);
  return RunOnUnit(run, s, [&]() -> int {
    if (!ReadIdentity(s)) return kExitDevice;
    const DeviceIdentity& d = s.state.identity;
    s.state.signedValues = CellLayoutFor(d).signedWords;  // as a configuration read sets it

    // One "$D", whose raw bytes are shown beside their meaning.
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
    if (run.json()) {
      QJsonObject o = SwitchReportJson(report);
      o["switches"] = bytes;
      PrintJson(run.io.out, o);
    } else {
      run.io.out << "switches: " << text.join(' ') << "\n" << RenderSwitchReport(report);
    }
    return kExitOk;
  });
}

} // namespace pv
