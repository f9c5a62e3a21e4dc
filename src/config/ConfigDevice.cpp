#include "config/ConfigDevice.h"

#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "link/Acceptance.h"
#include "link/DeviceCommands.h"
#include "link/Transport.h"
#include "kernel/Catalogue.h"
#include "config/ConfigDiff.h"
#include "config/WriteChecks.h"

#include <QDateTime>
#include <algorithm>
#include <set>

#include <map>

namespace pv {

namespace {

constexpr int kNothingLoaded = 92;

void StopRunningMeasure(DeviceCommands& commands) {
  AppState& s = commands.state();
  if (!s.measureRunning) return;
  s.measureRunning = false;
  commands.transport().Pause(0.2);
}

} // namespace

namespace {

// String table ids of the backup and restore texts.
enum : int {
  kOtherIdentity = 136,
  kNoBackup = 139,
  kAskLabel = 160,
  kOtherUnit = 161,
  kDamagedNewest = 162,
  kUnknownUnit = 164,
  kWrittenUnchecked = 165,
  kReadBeforeWriteCut = 166,
  kStoreUnreadable = 167,
};

// The default store, opened for one save or look-up, unless the caller
// holds one. A shared server that cannot be reached leaves the station
// working on its own outbox: the backup is kept there, never skipped.
struct StoreHandle {
  std::unique_ptr<RecordStore> owned;
  RecordStore* store = nullptr;
  QString error;
  explicit StoreHandle(RecordStore* given) : store(given) {
    if (!store) {
      const QString location = RecordStore::DefaultLocation();
      owned = RecordStore::Open(location, &error);
      if (!owned && RecordStore::IsServerUrl(location)) {
        QString why;
        owned = RecordStore::Open(RecordStore::OutboxLocation(), &why);
        if (owned) error.clear();
        else error += QStringLiteral("; ") + why;
      }
      store = owned.get();
    }
  }
};

// The unit's model: its variant and cell 4, taken from the cells at hand or
// read (a stale cell 4 could name another family, and the fingerprint with
// it). Nothing when the unit did not answer.
std::optional<QString> ModelOf(DeviceCommands& commands, const std::vector<StoredCell>& cells) {
  const AppState& s = commands.state();
  for (const StoredCell& c : cells)
    if (c.bank == 0 && c.address == 4) return IdentifyModel(s.identity.variant, c.value);
  const CellBytes cell4 = commands.ReadCells(0, 4, 1);
  if (s.commError) return std::nullopt;
  return IdentifyModel(s.identity.variant, cell4[0]);
}

// The label that goes with the unit's entries: the one given for this run;
// for a unit with blank factory cells, which nothing else tells apart,
// asked for when none was given; otherwise the one the store remembers.
QString LabelFor(DeviceCommands& commands, RecordStore* store, const UnitFingerprint& fp) {
  AppState& s = commands.state();
  QString label = CleanLabel(s.unitLabel);
  if (fp.blank) {
    if (label.isEmpty()) {
      const std::optional<QString> typed = commands.prompter().askText(ProductTitle(s), Tr(s, kAskLabel), s.unitLabel);
      if (typed) label = CleanLabel(*typed);
    }
    return label;
  }
  if (store && label.isEmpty()) return store->unitLabel(fp.digest);
  if (store && !label.isEmpty() && store->unitLabel(fp.digest) != label) store->setUnitLabel(fp.digest, label);
  return label;
}

ConfigResult SaveEntry(DeviceCommands& commands, const std::vector<StoredCell>& cells, const BackupOptions& backup) {
  AppState& s = commands.state();
  if (backup.savedId) *backup.savedId = 0;
  const std::optional<QString> model = ModelOf(commands, cells);
  if (!model) return ConfigResult::CommFailure;
  // The cells about to be saved were just read: they are not asked again.
  std::map<int, uint8_t> known;
  for (const StoredCell& c : cells)
    if (c.bank == 0) known[c.address] = c.value;
  const std::optional<UnitFingerprint> fp = ReadFingerprint(commands, *model, known);
  if (!fp) return ConfigResult::CommFailure;
  StoreHandle h(backup.store);
  WriteRecord r;
  r.time = QDateTime::currentDateTimeUtc();
  r.command = !backup.command.isEmpty() ? backup.command
              : !s.recordCommand.isEmpty() ? s.recordCommand
                                           : QStringLiteral("write");
  r.fingerprint = fp->digest;
  r.blank = fp->blank;
  r.label = LabelFor(commands, h.store, *fp);
  r.model = *model;
  r.identity = s.identity;
  r.cells = cells;
  QString error = h.error;
  if (h.store && h.store->add(r, &error)) {
    if (backup.savedId) *backup.savedId = r.id;
    return ConfigResult::Ok;
  }
  // Without the saved cells there is no undo: the user decides.
  if (commands.prompter().ask(ProductTitle(s), Tr(s, kNoBackup).arg(error), Buttons::OkCancel, Icon::Warning) ==
      Answer::Ok)
    return ConfigResult::Ok;
  return ConfigResult::Cancelled;
}

} // namespace

std::vector<int> ConfigurationAddresses(const DeviceIdentity& id) {
  std::vector<int> out;
  for (int a = 0; a <= 64; ++a) out.push_back(a);
  if (CellLayoutFor(id).physicalScale)
    for (int a = 128; a < 154; ++a) out.push_back(a);
  return out;
}

bool ReadConfigCells(DeviceCommands& commands, CellImage& image, std::vector<int>* addresses) {
  const std::vector<int> wanted = ConfigurationAddresses(commands.state().identity);
  std::map<int, uint8_t> cells;
  if (!ReadCellRuns(commands, 0, wanted, cells)) return false;
  for (const auto& [a, v] : cells) image[static_cast<size_t>(a)] = v;
  if (addresses) *addresses = wanted;
  return true;
}

ConfigResult SaveBeforeWrite(DeviceCommands& commands, const CellImage* image, const BackupOptions& backup) {
  CellImage read{};
  if (!image) {
    if (!ReadConfigCells(commands, read)) return ConfigResult::CommFailure;
    image = &read;
  }
  std::map<int, uint8_t> cells;
  for (int a : ConfigurationAddresses(commands.state().identity)) cells[a] = (*image)[static_cast<size_t>(a)];
  return SaveEntry(commands, Bank0Cells(cells), backup);
}

std::vector<StoredCell> Bank0Cells(const std::map<int, uint8_t>& cells) {
  std::vector<StoredCell> out;
  out.reserve(cells.size());
  for (const auto& [address, value] : cells) out.push_back({0, address, value});
  return out;
}

ConfigResult SaveCellsBeforeWrite(DeviceCommands& commands, const std::vector<StoredCell>& cells,
                                  const BackupOptions& backup) {
  std::vector<StoredCell> sorted = cells;
  std::sort(sorted.begin(), sorted.end(), [](const StoredCell& a, const StoredCell& b) {
    return a.bank != b.bank ? a.bank < b.bank : a.address < b.address;
  });
  return SaveEntry(commands, sorted, backup);
}

namespace {
bool ReadImage(DeviceCommands& commands, CellImage& image) { return ReadConfigCells(commands, image); }
} // namespace

ConfigResult ReadUnitImage(DeviceCommands& commands, CellImage& image, const CaptionsHook& captions,
                           const std::function<void()>& accepted) {
  AppState& s = commands.state();
  StopRunningMeasure(commands);
  const IdentityBytes id = commands.ReadIdentity();
  if (id[0] == 1 || s.commError) return ConfigResult::CommFailure;
  if (captions) captions();
  if (!ReadAcceptance(s, commands.prompter())) return ConfigResult::NotCompatible;
  if (accepted) accepted();
  if (!ReadImage(commands, image)) return ConfigResult::CommFailure;
  for (int a = 0; a <= 64; ++a) s.programmingBuffer[a] = image[a];
  s.familyCell = image[4];
  s.signedValues = CellLayoutFor(s.identity).signedWords;
  return ConfigResult::Ok;
}

ConfigResult ReadEprom(EditorModel& m, DeviceCommands& commands, const CaptionsHook& captions) {
  CellImage image{};
  const ConfigResult r = ReadUnitImage(commands, image, captions, [&] { m.fillLists(); });
  if (r != ConfigResult::Ok) return r;
  m.base = image;
  m.baseValid = true;
  m.load(DecodeConfig(commands.state().identity, m.tables(), image));
  return ConfigResult::Ok;
}

ConfigResult WriteEprom(EditorModel& m, DeviceCommands& commands, const WriteOptions& options) {
  AppState& s = commands.state();
  Prompter& ask = commands.prompter();
  const QString title = ProductTitle(s);
  // Blank start-up fields nobody loaded would encode to cells of 0 over the
  // unit's configuration. And the fields are written only to the unit they
  // were loaded for: another window may have read another unit since.
  if (!m.hasConfiguration()) {
    ask.ask(title, Tr(s, kNothingLoaded), Buttons::Ok, Icon::Critical);
    return ConfigResult::Refused;
  }
  s.identity = *m.loadedFor();
  StopRunningMeasure(commands);
  if (!WriteAcceptance(commands))
    return s.commError ? ConfigResult::CommFailure : ConfigResult::Refused;

  const WriteCheckResult checks = RunWriteChecks(s, m.tables(), m.shown(), m.texts());
  if (checks.inputOfBFromA) m.repeatInputOfA();
  if (checks.widenFrequencyRow) WidenFrequencyRow(m.tables());
  for (const CheckFinding& q : checks.findings) {
    if (q.fatal) {
      ask.ask(title, q.text, Buttons::Ok, Icon::Critical);
      return ConfigResult::Refused;
    }
    if (ask.ask(title, q.text, Buttons::OkCancel, Icon::Warning) != Answer::Ok)
      return ConfigResult::Cancelled;
  }

  // The unit's own cells are the base: bits the record does not own go back
  // as they are. A unit that was not read (device code 11) is read now.
  // A read cut short before anything was written leaves the unit as it was,
  // except perhaps in programming mode: the user is told both.
  auto cutBeforeWrite = [&] {
    if (commands.mayBeProgramming()) {
      ask.ask(title, Tr(s, kReadBeforeWriteCut), Buttons::Ok, Icon::Critical);
      commands.noteProgrammingReported();
    }
    return ConfigResult::CommFailure;
  };
  if (!m.baseValid) {
    CellImage image{};
    if (!ReadImage(commands, image)) return cutBeforeWrite();
    m.base = image;
    m.baseValid = true;
  }
  const EncodedCells encoded = EncodeConfig(s.identity, m.tables(), m.record(), m.base);
  if (!encoded.ok() || static_cast<int>(encoded.addresses.size()) > WriteList::kCapacity) {
    ask.ask(title, Tr(s, 71) + QStringLiteral("\n\n") + encoded.fault, Buttons::Ok, Icon::Critical);
    return ConfigResult::BadData;
  }
  std::vector<int> addresses = encoded.addresses;
  if (options.changedOnly)
    std::erase_if(addresses, [&](int a) { return encoded.cells[a] == m.base[a]; });
  if (addresses.empty()) {
    ask.ask(title, Tr(s, 125), Buttons::Ok, Icon::Information);
    return ConfigResult::Ok;
  }

  // The unit's cells as they are now go to the record store first: the undo.
  const ConfigResult saved = SaveBeforeWrite(commands, options.baseIsFresh ? &m.base : nullptr, options.backup);
  if (saved == ConfigResult::CommFailure) return cutBeforeWrite();
  if (saved != ConfigResult::Ok) return saved;

  // From here the write and its read-back finish even when a stop comes.
  const DeviceCommands::WriteInHand inHand(commands);
  s.writeList.reset();
  for (int address : addresses)
    s.writeList.push(static_cast<uint8_t>(address), encoded.cells[address]);
  commands.WriteCells(0, s.writeList.count - 1);
  m.notify();
  // A refused "PR" or a lost port: the link has told the user already.
  if (s.commError) return ConfigResult::CommFailure;
  if (!options.readBack) {
    for (int address : addresses) m.base[address] = encoded.cells[address];
    return ConfigResult::Ok;
  }

  // The read-back proves the cells arrived (the write reads no answers).
  // Every cell has left: a read-back that fails leaves the unit with the new
  // configuration, unchecked, and the user must know that.
  CellImage after{};
  if (s.identity.deviceCode == 12) {
    const ConfigResult again = ReadEprom(m, commands, options.captions);
    if (again == ConfigResult::CommFailure) ask.ask(title, Tr(s, kWrittenUnchecked), Buttons::Ok, Icon::Critical);
    if (again != ConfigResult::Ok) return again;
    after = m.base;
  } else {
    if (!ReadImage(commands, after)) {
      ask.ask(title, Tr(s, kWrittenUnchecked), Buttons::Ok, Icon::Critical);
      return ConfigResult::CommFailure;
    }
    m.base = after;
  }
  for (int address : addresses) {
    if (after[address] != encoded.cells[address]) {
      ask.ask(title, Tr(s, 68), Buttons::Ok, Icon::Critical);
      return ConfigResult::NotVerified;
    }
  }
  return ConfigResult::Ok;
}

std::vector<StoredCell> CellsToRestore(const WriteRecord& entry, const DeviceIdentity& id, const UnitFingerprint& unit,
                                       bool includeCalibration) {
  if (includeCalibration) return entry.cells;
  // A calibration belongs to the unit that was measured: only configuration
  // cells, and not the factory cells that lie among them (gains in 29..64).
  const std::vector<int> configuration = ConfigurationAddresses(id);
  std::set<int> owned(configuration.begin(), configuration.end());
  for (const auto& [address, value] : unit.cells) owned.erase(address);
  std::vector<StoredCell> out;
  for (const StoredCell& c : entry.cells)
    if (c.bank == 0 && owned.count(c.address)) out.push_back(c);
  return out;
}

void FollowFingerprint(DeviceCommands& commands, qint64 entryId, RecordStore* given) {
  if (entryId <= 0) return;
  const std::optional<QString> model = ModelOf(commands, {});
  if (!model) return;
  const std::optional<UnitFingerprint> fp = ReadFingerprint(commands, *model);
  StoreHandle h(given);
  // A store that fails now held the entry a moment ago; the entry keeps the
  // fingerprint it was saved with, which is still true of it.
  if (fp && h.store) h.store->setFingerprintAfter(entryId, fp->digest);
}

std::optional<ConnectedUnit> IdentifyUnit(DeviceCommands& commands, RecordStore* store) {
  AppState& s = commands.state();
  StopRunningMeasure(commands);
  const IdentityBytes id = commands.ReadIdentity();
  if (id[0] == 1 || s.commError) return std::nullopt;
  const CellBytes cell4 = commands.ReadCells(0, 4, 1);
  if (s.commError) return std::nullopt;
  ConnectedUnit unit;
  unit.model = IdentifyModel(s.identity.variant, cell4[0]);
  const std::optional<UnitFingerprint> fp = ReadFingerprint(commands, unit.model);
  if (!fp) return std::nullopt;
  unit.fingerprint = *fp;
  unit.label = CleanLabel(s.unitLabel);
  if (unit.label.isEmpty() && store && !fp->blank) unit.label = store->unitLabel(fp->digest);
  return unit;
}

std::optional<WriteRecord> NewestEntryFor(DeviceCommands& commands, RecordStore* given, ConfigResult* result,
                                          ConnectedUnit* connected) {
  AppState& s = commands.state();
  Prompter& ask = commands.prompter();
  *result = ConfigResult::CommFailure;
  StoreHandle h(given);
  std::optional<ConnectedUnit> unit = IdentifyUnit(commands, h.store);
  if (!unit) return std::nullopt;
  if (!h.store) {
    ask.ask(ProductTitle(s), Tr(s, kStoreUnreadable).arg(h.error), Buttons::Ok, Icon::Critical);
    *result = ConfigResult::BadData;
    return std::nullopt;
  }
  // A blank unit is one of many with this fingerprint: its label says which.
  if (unit->fingerprint.blank && unit->label.isEmpty()) {
    const std::optional<QString> typed = ask.askText(ProductTitle(s), Tr(s, kAskLabel), s.unitLabel);
    if (typed) unit->label = CleanLabel(*typed);
  }
  if (connected) *connected = *unit;
  QString error;
  const std::vector<RecordStore::Entry> entries =
      h.store->entries(unit->fingerprint.digest,
                       unit->fingerprint.blank ? std::optional<QString>(unit->label) : std::nullopt, &error);
  if (!error.isEmpty()) {
    ask.ask(ProductTitle(s), Tr(s, kStoreUnreadable).arg(error), Buttons::Ok, Icon::Critical);
    *result = ConfigResult::BadData;
    return std::nullopt;
  }
  *result = ConfigResult::Ok;
  if (entries.empty()) return std::nullopt;
  const RecordStore::Entry& newest = entries.front();
  if (!newest.record) {
    // Never an older entry in its place without a word: the user picks.
    ask.ask(ProductTitle(s), Tr(s, kDamagedNewest).arg(newest.id).arg(newest.damage), Buttons::Ok, Icon::Critical);
    *result = ConfigResult::BadData;
    return std::nullopt;
  }
  return newest.record;
}

ConfigResult RestoreCells(const WriteRecord& entry, DeviceCommands& commands, const RestoreOptions& options) {
  AppState& s = commands.state();
  Prompter& ask = commands.prompter();
  const QString title = ProductTitle(s);
  if (options.written) *options.written = 0;
  if (options.skipped) *options.skipped = 0;
  StoreHandle h(options.backup.store);
  const std::optional<ConnectedUnit> unit = IdentifyUnit(commands, h.store);
  if (!unit) return ConfigResult::CommFailure;

  // Another unit's cells only after OK: one question, the one that says most.
  const bool sameIdentity = s.identity == entry.identity;
  const QString& fp = unit->fingerprint.digest;
  const bool sameUnit = sameIdentity && (entry.fingerprint == fp || entry.fingerprintAfter == fp) &&
                        (!unit->fingerprint.blank || entry.label == unit->label);
  if (!sameIdentity) {
    if (ask.ask(title, Tr(s, kOtherIdentity).arg(IdentityText(s, entry.identity)), Buttons::OkCancel, Icon::Warning) !=
        Answer::Ok)
      return ConfigResult::Refused;
  } else if (!sameUnit) {
    auto named = [](const QString& fp, const QString& label) {
      return label.isEmpty() ? fp : fp + QStringLiteral(" \"") + label + QLatin1Char('"');
    };
    const QString ours = named(unit->fingerprint.digest, unit->label);
    const QString text = entry.fingerprint.isEmpty()
                             ? Tr(s, kUnknownUnit).arg(ours)
                             : Tr(s, kOtherUnit).arg(entry.id).arg(named(entry.fingerprint, entry.label), ours);
    if (ask.ask(title, text, Buttons::OkCancel, Icon::Warning) != Answer::Ok) return ConfigResult::Refused;
  }

  std::map<int, std::map<int, uint8_t>> wanted;  // bank -> address -> value
  for (const StoredCell& c : CellsToRestore(entry, s.identity, unit->fingerprint, options.includeCalibration))
    wanted[c.bank][c.address] = c.value;
  if (options.skipped) {
    int count = 0;
    for (const auto& [bank, cells] : wanted) count += static_cast<int>(cells.size());
    *options.skipped = static_cast<int>(entry.cells.size()) - count;
  }
  if (wanted.empty()) return ConfigResult::Ok;

  std::map<int, std::map<int, uint8_t>> now;
  for (const auto& [bank, cells] : wanted) {
    std::vector<int> addresses;
    for (const auto& [a, v] : cells) addresses.push_back(a);
    if (!ReadCellRuns(commands, bank, addresses, now[bank])) return ConfigResult::CommFailure;
  }
  // A restore is a write too: what it replaces can be put back in turn.
  std::vector<StoredCell> replaced;
  for (const auto& [bank, cells] : now)
    for (const auto& [a, v] : cells) replaced.push_back({bank, a, v});
  BackupOptions backup = options.backup;
  backup.store = h.store;
  qint64 savedId = 0;
  backup.savedId = &savedId;
  if (backup.command.isEmpty()) backup.command = QStringLiteral("restore #%1").arg(entry.id);
  if (const ConfigResult saved = SaveEntry(commands, replaced, backup); saved != ConfigResult::Ok) return saved;
  if (options.backup.savedId) *options.backup.savedId = savedId;

  const DeviceCommands::WriteInHand inHand(commands);
  int written = 0;
  for (const auto& [bank, cells] : wanted) {
    s.writeList.reset();
    for (const auto& [a, v] : cells)
      if (now[bank][a] != v) s.writeList.push(static_cast<uint8_t>(a), v);
    const int count = s.writeList.queued();
    if (count == 0) continue;
    commands.WriteCells(bank, count);
    written += static_cast<int>(commands.lastWrite().sent.size());
    if (options.written) *options.written = written;
    if (s.commError) return ConfigResult::CommFailure;
  }
  // Factory cells put back give the unit another fingerprint: the entry
  // just saved follows it.
  if (options.includeCalibration && written > 0 && savedId > 0) FollowFingerprint(commands, savedId, h.store);

  // Every restored cell, not only the ones sent: the unit must now hold them all.
  QStringList wrong;
  for (const auto& [bank, cells] : wanted) {
    std::vector<int> addresses;
    for (const auto& [a, v] : cells) addresses.push_back(a);
    std::map<int, uint8_t> after;
    if (!ReadCellRuns(commands, bank, addresses, after)) {
      if (written > 0) ask.ask(title, Tr(s, kWrittenUnchecked), Buttons::Ok, Icon::Critical);
      return ConfigResult::CommFailure;
    }
    for (const auto& [a, v] : cells)
      if (after[a] != v)
        wrong << (bank == 0 ? QStringLiteral("%1: %2 / %3").arg(a).arg(after[a]).arg(v)
                            : QStringLiteral("%1:%2: %3 / %4").arg(bank).arg(a).arg(after[a]).arg(v));
  }
  if (!wrong.isEmpty()) {
    ask.ask(title, Tr(s, 236).arg(wrong.size()).arg(wrong.join(QStringLiteral(", "))), Buttons::Ok, Icon::Critical);
    return ConfigResult::NotVerified;
  }
  return ConfigResult::Ok;
}

} // namespace pv
