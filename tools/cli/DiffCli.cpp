#include "DiffCli.h"
#include "CliUnit.h"

#include "config/ConfigDevice.h"
#include "config/ConfigDiff.h"
#include "config/ConfigFile.h"
#include "kernel/Catalogue.h"
#include "link/DeviceCommands.h"
#include "kernel/AtomicFile.h"
#include "records/JsonHistory.h"
#include "records/WriteRecord.h"
#include "records/RecordStore.h"
#include "text/Texts.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace pv {

namespace {

struct DiffJob {
  QString command;                   // "diff", "restore" or "history"
  QStringList names;                 // the arguments as given
  std::array<QByteArray, 2> files;   // diff: a side's record, empty for "device"
  std::optional<WriteRecord> entry;  // restore FILE (an entry of the old history)
  qint64 entryId = 0;                // restore ID
  bool includeCalibration = false;
  QString fingerprint;               // history FINGERPRINT
};

const QString kDevice = QStringLiteral("device");


QString Pad(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }

int Diff(const DiffJob& job, const AppState& s, const RangeTables& tables, DeviceCommands* commands, bool json,
         QTextStream& out) {
  std::optional<ConfigSnapshot> device;
  if (commands) {
    // The unit's side: its configuration decoded from the cells just read.
    CellImage image{};
    const ConfigResult r = ReadUnitImage(*commands, image);
    if (r != ConfigResult::Ok) return ExitFor(r);
    device = ConfigSnapshot{s.identity, s.familyCell, DecodeConfig(s.identity, tables, image)};
  }
  std::array<ConfigSnapshot, 2> side;
  for (int i = 0; i < 2; ++i)
    side[i] = job.files[i].isEmpty() ? *device
                                     : SnapshotFromFile(s, tables, job.files[i], device ? &*device : nullptr);

  std::vector<FieldDiff> diffs;
  if (!(side[0].identity == side[1].identity))
    diffs.push_back({QStringLiteral("identity"), Tr(s, 73), IdentityText(s, side[0].identity),
                     IdentityText(s, side[1].identity), {}, {}});
  for (FieldDiff& d : DiffFields(ConfigFields(s, tables, side[0].identity, side[0].familyCell, side[0].record),
                                 ConfigFields(s, tables, side[1].identity, side[1].familyCell, side[1].record)))
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

QJsonObject EntryJson(const RecordStore::Entry& e) {
  if (!e.record) return QJsonObject{{"id", e.id}, {"damaged", e.damage}};
  const WriteRecord& r = *e.record;
  QJsonArray cells;
  for (const StoredCell& c : r.cells) cells.append(QJsonArray{c.bank, c.address, c.value});
  return QJsonObject{{"id", r.id},
                     {"time", r.time.toString(Qt::ISODateWithMs)},
                     {"command", r.command},
                     {"model", r.model},
                     {"identity", QJsonObject{{"device_code", r.identity.deviceCode},
                                              {"variant", r.identity.variant},
                                              {"hardware_revision", r.identity.hardwareRevision},
                                              {"spare", r.identity.spare}}},
                     {"fingerprint", r.fingerprint},
                     {"fingerprint_after", r.fingerprintAfter},
                     {"blank", r.blank},
                     {"label", r.label},
                     {"cells", cells}};
}

QString Banks(const WriteRecord& r) {
  QStringList banks;
  for (const StoredCell& c : r.cells)
    if (!banks.contains(QString::number(c.bank))) banks << QString::number(c.bank);
  return (banks.size() == 1 ? QStringLiteral("bank ") : QStringLiteral("banks ")) + banks.join(',');
}

QString EntryLine(const RecordStore::Entry& e) {
  if (!e.record) return QStringLiteral("#%1  DAMAGED: %2").arg(e.id).arg(e.damage);
  const WriteRecord& r = *e.record;
  QString line = QStringLiteral("#%1  %2  %3  %4  %5/%6/%7/%8  fingerprint %9")
                     .arg(r.id)
                     .arg(r.time.toString(Qt::ISODate), r.command, r.model.isEmpty() ? QStringLiteral("?") : r.model)
                     .arg(r.identity.deviceCode)
                     .arg(r.identity.variant)
                     .arg(r.identity.hardwareRevision)
                     .arg(r.identity.spare)
                     .arg(r.fingerprint.isEmpty() ? QStringLiteral("(none: old history)") : r.fingerprint);
  if (r.blank) line += QStringLiteral(" (blank factory cells)");
  if (!r.fingerprintAfter.isEmpty()) line += QStringLiteral(" -> ") + r.fingerprintAfter;
  line += QStringLiteral("  label \"%1\"  %2 cells (%3)").arg(r.label).arg(r.cells.size()).arg(Banks(r));
  return line;
}

int Restore(const DiffJob& job, AppState& s, DeviceCommands& commands, bool json, QTextStream& out,
            QTextStream& err) {
  QString error;
  std::unique_ptr<RecordStore> store = RecordStore::Open(RecordStore::DefaultLocation(), &error);
  std::optional<WriteRecord> entry = job.entry;
  ConnectedUnit unit;
  bool chosenByLabel = false;
  if (job.entryId > 0) {
    if (!store) {
      err << "planovix-cli: " << error << "\n";
      return kExitDevice;
    }
    const std::optional<RecordStore::Entry> e = store->entry(job.entryId, &error);
    if (!e) {
      err << "planovix-cli: the record store has no entry #" << job.entryId
          << (error.isEmpty() ? QString() : " (" + error + ")") << " (see planovix-cli history)\n";
      return kExitUsage;
    }
    if (!e->record) {
      err << "planovix-cli: entry #" << job.entryId << " is damaged: " << e->damage << "; nothing was written\n";
      return kExitUsage;
    }
    entry = e->record;
  } else if (!entry) {
    // "last": the connected unit's newest entry, found by its fingerprint.
    ConfigResult found = ConfigResult::Ok;
    entry = NewestEntryFor(commands, store.get(), &found, &unit);
    if (found != ConfigResult::Ok) return ExitFor(found);
    if (!entry) {
      err << "planovix-cli: " << Tr(s, 134) << " (fingerprint " << unit.fingerprint.digest
          << (unit.fingerprint.blank ? QStringLiteral(", blank factory cells, label \"%1\"").arg(unit.label) : QString())
          << "; " << (store ? store->location() : RecordStore::DefaultLocation()) << ")\n";
      return kExitUsage;
    }
    chosenByLabel = unit.fingerprint.blank;
  }
  int written = 0, skipped = 0;
  qint64 backup = 0;
  RestoreOptions options;
  options.includeCalibration = job.includeCalibration;
  options.backup.store = store.get();
  options.backup.savedId = &backup;
  options.written = &written;
  options.skipped = &skipped;
  const ConfigResult r = RestoreCells(*entry, commands, options);
  if (r != ConfigResult::Ok) return ExitFor(r);
  const int restored = static_cast<int>(entry->cells.size()) - skipped;
  const QString name = entry->id > 0 ? QStringLiteral("entry #%1").arg(entry->id) : job.names.value(0);
  if (json) {
    out << QJsonDocument(QJsonObject{{"restored", entry->id > 0 ? QJsonValue(entry->id) : QJsonValue(job.names.value(0))},
                                     {"time", entry->time.toString(Qt::ISODateWithMs)},
                                     {"fingerprint", entry->fingerprint},
                                     {"label", entry->label},
                                     {"blank", entry->blank},
                                     {"cells", restored},
                                     {"written", written},
                                     {"skipped", skipped},
                                     {"backup", backup}})
               .toJson(QJsonDocument::Compact)
        << "\n";
  } else {
    out << "restored " << name << " (" << entry->time.toString(Qt::ISODate) << ", " << entry->command << "): "
        << restored << " cells, " << written << " written, all read back as saved";
    if (skipped > 0)
      out << "; " << skipped << " cells left as they are (factory cells or other banks: --include-calibration puts them back)";
    out << "\n";
    if (backup > 0) out << "what the unit held before is entry #" << backup << "\n";
  }
  // The fingerprint of a blank unit is every blank unit's: say so.
  if (chosenByLabel || entry->blank)
    err << "planovix-cli: note: fingerprint " << (entry->fingerprint.isEmpty() ? unit.fingerprint.digest : entry->fingerprint)
        << " names a unit whose factory cells are blank: every such unit of the model shares it, and the entry "
        << (chosenByLabel ? "was chosen by its label" : "carries the label") << " \"" << entry->label << "\"\n";
  return kExitOk;
}

} // namespace

namespace {

bool NeedsDevice(const DiffJob& job) {
  if (job.command == QLatin1String("history")) return false;
  return job.command == QLatin1String("restore") || job.files[0].isEmpty() || job.files[1].isEmpty();
}

std::optional<DiffJob> PrepareDiffCommand(const QString& command, const QStringList& args, bool includeCalibration,
                                          QTextStream& err, int* code) {
  *code = kExitUsage;
  DiffJob job;
  job.command = command;
  job.names = args;
  job.includeCalibration = includeCalibration;
  if (command == QLatin1String("diff")) {
    if (args.size() != 2) {
      err << "planovix-cli: diff takes two arguments, each a .DST file or device (see --help)\n";
      return std::nullopt;
    }
    for (int i = 0; i < 2; ++i) {
      if (args[i] == kDevice) continue;
      if (!ReadConfigurationFile(args[i], &job.files[i], err)) return std::nullopt;
    }
    return job;
  }
  if (command == QLatin1String("history")) {
    if (args.size() > 1 || (args.size() == 1 && !IsFingerprintText(args[0]))) {
      err << "planovix-cli: history takes nothing, or a fingerprint of 16 hex digits (see --help)\n";
      return std::nullopt;
    }
    if (!args.isEmpty()) job.fingerprint = args[0];
    return job;
  }
  const QStringList& words = args;
  if (words.size() != 1) {
    err << "planovix-cli: restore takes last, an entry number or an old history file, and optionally "
           "--include-calibration (see --help)\n";
    return std::nullopt;
  }
  if (words[0] == QLatin1String("last")) return job;
  if (const std::optional<int> id = ParseCliInt(words[0], 1, 2000000000)) {
    job.entryId = *id;
    return job;
  }
  QByteArray bytes;
  QString why;
  if (ReadInputFile(words[0], 1 << 20, &bytes, &why)) job.entry = ParseJsonHistoryEntry(bytes, &why);
  if (!job.entry) {
    err << "planovix-cli: " << words[0] << " is neither last, an entry number nor a history entry file: " << why
        << "\n";
    return std::nullopt;
  }
  return job;
}

int ListHistory(const DiffJob& job, bool json, QTextStream& out, QTextStream& err) {
  QString error;
  const std::unique_ptr<RecordStore> store = RecordStore::Open(RecordStore::DefaultLocation(), &error);
  if (!store) {
    err << "planovix-cli: " << error << "\n";
    return kExitDevice;
  }
  const std::vector<RecordStore::Entry> entries =
      store->entries(job.fingerprint.isEmpty() ? std::nullopt : std::optional<QString>(job.fingerprint), std::nullopt,
                     &error);
  if (!error.isEmpty()) {
    err << "planovix-cli: record store " << store->location() << ": " << error << "\n";
    return kExitDevice;
  }
  if (json) {
    QJsonArray list;
    for (const RecordStore::Entry& e : entries) list.append(EntryJson(e));
    out << QJsonDocument(QJsonObject{{"store", store->location()}, {"import", store->importNote()}, {"entries", list}})
               .toJson(QJsonDocument::Compact)
        << "\n";
    return kExitOk;
  }
  out << "record store: " << store->location() << "\n";
  if (const QString note = store->importNote(); !note.isEmpty() && !note.startsWith(QLatin1String("0 entries")))
    out << "old history: " << note << "\n";
  for (const RecordStore::Entry& e : entries) out << EntryLine(e) << "\n";
  if (entries.empty()) out << "no entries\n";
  return kExitOk;
}

// Files are read and checked first; the port is opened only when the unit
// is one side. A difference and a missing entry are said by the command.
int RunCompare(CliRun& run) {
  int code = kExitUsage;
  const std::optional<DiffJob> job = PrepareDiffCommand(run.args.command, run.args.words,
                                                        run.args.has("--include-calibration"), run.io.err, &code);
  if (!job) return code;
  if (job->command == QLatin1String("history")) return ListHistory(*job, run.json(), run.io.out, run.io.err);
  CliUnit s(run, run.args.command);
  if (!NeedsDevice(*job)) return Diff(*job, s.state, s.tables, nullptr, run.json(), run.io.out);
  return RunOnUnit(
      run, s,
      [&] {
        if (job->command == QLatin1String("diff")) return Diff(*job, s.state, s.tables, &s.commands, run.json(), run.io.out);
        return Restore(*job, s.state, s.commands, run.json(), run.io.out, run.io.err);
      },
      {kExitDiffer, kExitUsage});
}

} // namespace

int DiffCommand(CliRun& run) { return RunCompare(run); }
int RestoreCommand(CliRun& run) { return RunCompare(run); }
int HistoryCommand(CliRun& run) { return RunCompare(run); }

} // namespace pv
