#include "DiffCli.h"
#include "CliCore.h"
#include "EepromCli.h"

#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/EditorModel.h"
#include "kernel/Catalogue.h"
#include "link/DeviceCommands.h"
#include "text/Texts.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace pv {

namespace {

const QString kDevice = QStringLiteral("device");

int ExitOf(ConfigResult r) {
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

// The unit's configuration as last read: decoded from its cells.
ConfigSnapshot DeviceSnapshot(const EditorModel& m) {
  const AppState& s = m.state();
  return {s.identity, s.familyCell, DecodeConfig(s.identity, m.tables(), m.base)};
}

QString Pad(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }

int Diff(const DiffJob& job, EditorModel& m, DeviceCommands* commands, bool json, QTextStream& out) {
  const AppState& s = m.state();
  std::optional<ConfigSnapshot> device;
  if (commands) {
    const ConfigResult r = ReadEprom(m, *commands);
    if (r != ConfigResult::Ok) return ExitOf(r);
    device = DeviceSnapshot(m);
  }
  std::array<ConfigSnapshot, 2> side;
  for (int i = 0; i < 2; ++i)
    side[i] = job.files[i].isEmpty() ? *device
                                     : SnapshotFromFile(s, m.tables(), job.files[i], device ? &*device : nullptr);

  std::vector<FieldDiff> diffs;
  if (!(side[0].identity == side[1].identity))
    diffs.push_back({QStringLiteral("identity"), Tr(s, 73), IdentityText(s, side[0].identity),
                     IdentityText(s, side[1].identity), {}, {}});
  for (FieldDiff& d : DiffFields(ConfigFields(s, m.tables(), side[0].identity, side[0].familyCell, side[0].record),
                                 ConfigFields(s, m.tables(), side[1].identity, side[1].familyCell, side[1].record)))
    diffs.push_back(std::move(d));

  if (json) {
    QJsonArray fields;
    for (const FieldDiff& d : diffs)
      fields.append(QJsonObject{{"key", d.key}, {"field", d.caption}, {"a", d.a}, {"b", d.b}, {"unit", d.unit}});
    out << QJsonDocument(QJsonObject{{"a", job.names[0]},
                                     {"b", job.names[1]},
                                     {"equal", diffs.empty()},
                                     {"fields", fields}})
               .toJson(QJsonDocument::Compact)
        << "\n";
  } else if (diffs.empty()) {
    out << Tr(s, 125) << "\n";
  } else {
    // A table: field, A, B, unit, columns as wide as their longest entry.
    int w[3] = {static_cast<int>(Tr(s, 123).size()), static_cast<int>(job.names[0].size()),
                static_cast<int>(job.names[1].size())};
    for (const FieldDiff& d : diffs) {
      w[0] = std::max(w[0], static_cast<int>(d.caption.size()));
      w[1] = std::max(w[1], static_cast<int>(d.a.size()));
      w[2] = std::max(w[2], static_cast<int>(d.b.size()));
    }
    out << Pad(Tr(s, 123), w[0]) << "  " << Pad(job.names[0], w[1]) << "  " << Pad(job.names[1], w[2]) << "  "
        << Tr(s, 124) << "\n";
    for (const FieldDiff& d : diffs)
      out << Pad(d.caption, w[0]) << "  " << Pad(d.a, w[1]) << "  " << Pad(d.b, w[2]) << "  " << d.unit << "\n";
    out << Tr(s, 137).arg(diffs.size()) << "\n";
  }
  return diffs.empty() ? kExitOk : kExitDiffer;
}

int Restore(const DiffJob& job, EditorModel& m, DeviceCommands& commands, bool json, QTextStream& out,
            QTextStream& err) {
  AppState& s = m.state();
  std::optional<HistoryEntry> entry = job.entry;
  if (!entry) {
    // "last": the connected unit's newest entry, found by its identity and model.
    ConfigResult found = ConfigResult::Ok;
    entry = NewestEntryFor(commands, nullptr, &found);
    if (found != ConfigResult::Ok) return ExitOf(found);
    if (!entry) {
      err << "planovix-cli: " << Tr(s, 134) << " (" << WriteHistory::DefaultRoot() << ")\n";
      return kExitUsage;
    }
  }
  int written = 0;
  const ConfigResult r = RestoreCells(*entry, commands, nullptr, &written);
  if (r != ConfigResult::Ok) return ExitOf(r);
  if (json) {
    out << QJsonDocument(QJsonObject{{"restored", entry->path},
                                     {"cells", static_cast<int>(entry->cells.size())},
                                     {"written", written}})
               .toJson(QJsonDocument::Compact)
        << "\n";
  } else {
    out << "restored " << entry->path << ": " << entry->cells.size() << " cells saved, " << written
        << " written, all read back as saved\n";
  }
  return kExitOk;
}

} // namespace

bool IsDiffCommand(const QString& command) {
  return command == QLatin1String("diff") || command == QLatin1String("restore") ||
         command == QLatin1String("history");
}

QString DiffHelpText() {
  return QStringLiteral(
      "Compare and safe write:\n"
      "  diff A B               compares two configurations field by field; A and B\n"
      "                         are each a .DST file or the word device (the unit as\n"
      "                         read now). Prints field, both values and the unit;\n"
      "                         JSON {a, b, equal, fields [{key, field, a, b, unit}]}.\n"
      "                         Exits 0 when equal, 4 when they differ.\n"
      "  restore FILE           puts back the cells a write-history entry saved\n"
      "                         (every write saves the unit's cells first, see the\n"
      "                         README), then reads them all back and compares.\n"
      "                         FILE \"last\": the connected unit's newest entry. An\n"
      "                         entry of another unit is refused (exit 3) without\n"
      "                         --yes.\n"
      "  history                the saved entries, newest first per unit, with the\n"
      "                         folder they are in; JSON {root, units [{unit,\n"
      "                         entries [{path, time, cells}]}]}. No port is opened.\n"
      "\n");
}

bool DiffJob::needsDevice() const {
  if (command == QLatin1String("history")) return false;
  return command == QLatin1String("restore") || files[0].isEmpty() || files[1].isEmpty();
}

std::optional<DiffJob> PrepareDiffCommand(const QString& command, const QStringList& args, QTextStream& err,
                                          int* code) {
  *code = kExitUsage;
  DiffJob job;
  job.command = command;
  job.names = args;
  if (command == QLatin1String("diff")) {
    if (args.size() != 2) {
      err << "planovix-cli: diff takes two arguments, each a .DST file or device (see --help)\n";
      return std::nullopt;
    }
    for (int i = 0; i < 2; ++i) {
      if (args[i] == kDevice) continue;
      QFile f(args[i]);
      if (!f.open(QIODevice::ReadOnly)) {
        err << "planovix-cli: cannot open " << args[i] << ": " << f.errorString() << "\n";
        return std::nullopt;
      }
      job.files[i] = f.read(kRecordSize + 1);
      if (const QString why = ValidateRecord(job.files[i]); !why.isEmpty()) {
        err << "planovix-cli: " << args[i] << " is not a valid configuration file: " << why << "\n";
        return std::nullopt;
      }
      job.files[i].truncate(kRecordSize);
    }
    return job;
  }
  if (command == QLatin1String("history")) {
    if (!args.isEmpty()) {
      err << "planovix-cli: history takes no arguments (see --help)\n";
      return std::nullopt;
    }
    return job;
  }
  if (args.size() != 1) {
    err << "planovix-cli: restore takes one history file, or last (see --help)\n";
    return std::nullopt;
  }
  if (args[0] == QLatin1String("last")) return job;
  QString why;
  job.entry = LoadHistoryEntry(args[0], &why);
  if (!job.entry) {
    err << "planovix-cli: " << args[0] << " is not a write history entry: " << why << "\n";
    return std::nullopt;
  }
  return job;
}

namespace {

int ListHistory(bool json, QTextStream& out) {
  const WriteHistory history;
  const QDir root(history.root());
  QJsonArray units;
  if (!json) out << history.root() << "\n";
  for (const QString& unit : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    QDir dir(root.filePath(unit));
    QStringList names = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    std::reverse(names.begin(), names.end());
    QJsonArray entries;
    if (!json) out << unit << "\n";
    for (const QString& name : names) {
      const QString path = dir.filePath(name);
      QString why;
      const std::optional<HistoryEntry> e = LoadHistoryEntry(path, &why);
      const QString time = e ? e->time.toString(Qt::ISODate) : QString();
      const int cells = e ? static_cast<int>(e->cells.size()) : 0;
      entries.append(QJsonObject{{"path", path}, {"time", time}, {"cells", cells}});
      if (!json) out << "  " << path << "  " << (e ? time + QStringLiteral("  %1 cells").arg(cells) : why) << "\n";
    }
    units.append(QJsonObject{{"unit", unit}, {"entries", entries}});
  }
  if (json)
    out << QJsonDocument(QJsonObject{{"root", history.root()}, {"units", units}}).toJson(QJsonDocument::Compact)
        << "\n";
  return kExitOk;
}

} // namespace

int RunDiffCommand(const DiffJob& job, EditorModel& model, DeviceCommands& commands, bool json, QTextStream& out,
                   QTextStream& err) {
  if (job.command == QLatin1String("history")) return ListHistory(json, out);
  if (job.command == QLatin1String("diff")) return Diff(job, model, job.needsDevice() ? &commands : nullptr, json, out);
  return Restore(job, model, commands, json, out, err);
}

} // namespace pv
