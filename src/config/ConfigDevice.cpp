#include "config/ConfigDevice.h"

#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "link/Acceptance.h"
#include "link/DeviceCommands.h"
#include "link/Transport.h"
#include "kernel/Catalogue.h"
#include "config/ConfigDiff.h"
#include "config/WriteChecks.h"

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

// Reads the given cells of bank 0 in runs of neighbours.
bool ReadAddresses(DeviceCommands& commands, const std::vector<int>& addresses, std::map<int, uint8_t>& out) {
  size_t i = 0;
  while (i < addresses.size()) {
    size_t j = i + 1;
    while (j < addresses.size() && addresses[j] == addresses[j - 1] + 1) ++j;
    const int first = addresses[i], count = static_cast<int>(j - i);
    const CellBytes cells = commands.ReadCells(0, first, count);
    if (commands.state().commError) return false;
    for (int k = 0; k < count; ++k) out[first + k] = cells[static_cast<size_t>(k)];
    i = j;
  }
  return true;
}

ConfigResult SaveEntry(DeviceCommands& commands, const std::map<int, uint8_t>& cells, const WriteHistory* history,
                       QString* savedPath) {
  AppState& s = commands.state();
  HistoryEntry e;
  const auto cell4 = cells.find(4);
  e.model = IdentifyModel(s.identity.variant, cell4 != cells.end() ? cell4->second : s.familyCell);
  e.identity = s.identity;
  e.time = QDateTime::currentDateTimeUtc();
  e.cells = cells;
  const WriteHistory fallback;
  QString error;
  if ((history ? *history : fallback).save(e, &error)) {
    if (savedPath) *savedPath = e.path;
    return ConfigResult::Ok;
  }
  // Without the saved cells there is no undo: the user decides.
  if (commands.prompter().ask(ProductTitle(s), Tr(s, 139).arg(error), Buttons::OkCancel, Icon::Warning) == Answer::Ok)
    return ConfigResult::Ok;
  return ConfigResult::Cancelled;
}

std::vector<int> ConfigAddresses(const DeviceIdentity& id) {
  std::vector<int> out;
  for (int a = 0; a <= 64; ++a) out.push_back(a);
  if (CellLayoutFor(id).physicalScale)
    for (int a = 128; a < 154; ++a) out.push_back(a);
  return out;
}

} // namespace

bool ReadConfigCells(DeviceCommands& commands, CellImage& image, std::vector<int>* addresses) {
  const std::vector<int> wanted = ConfigAddresses(commands.state().identity);
  std::map<int, uint8_t> cells;
  if (!ReadAddresses(commands, wanted, cells)) return false;
  for (const auto& [a, v] : cells) image[static_cast<size_t>(a)] = v;
  if (addresses) *addresses = wanted;
  return true;
}

ConfigResult SaveBeforeWrite(DeviceCommands& commands, const CellImage* image, const WriteHistory* history,
                             QString* savedPath) {
  CellImage read{};
  if (!image) {
    if (!ReadConfigCells(commands, read)) return ConfigResult::CommFailure;
    image = &read;
  }
  std::map<int, uint8_t> cells;
  for (int a : ConfigAddresses(commands.state().identity)) cells[a] = (*image)[static_cast<size_t>(a)];
  return SaveEntry(commands, cells, history, savedPath);
}

ConfigResult SaveCellsBeforeWrite(DeviceCommands& commands, const std::map<int, uint8_t>& cells,
                                  const WriteHistory* history, QString* savedPath) {
  return SaveEntry(commands, cells, history, savedPath);
}

namespace {
bool ReadImage(DeviceCommands& commands, CellImage& image) { return ReadConfigCells(commands, image); }
} // namespace

ConfigResult ReadEprom(EditorModel& m, DeviceCommands& commands, const CaptionsHook& captions) {
  AppState& s = commands.state();
  StopRunningMeasure(commands);
  const IdentityBytes id = commands.ReadIdentity();
  if (id[0] == 1 || s.commError) return ConfigResult::CommFailure;
  if (captions) captions();
  if (!ReadAcceptance(s, commands.prompter())) return ConfigResult::NotCompatible;
  m.fillLists();

  CellImage image{};
  if (!ReadImage(commands, image)) return ConfigResult::CommFailure;
  for (int a = 0; a <= 64; ++a) s.programmingBuffer[a] = image[a];
  s.familyCell = image[4];
  s.signedValues = CellLayoutFor(s.identity).signedWords;
  m.base = image;
  m.baseValid = true;
  m.load(DecodeConfig(s.identity, m.tables(), image));
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
  if (!m.baseValid) {
    CellImage image{};
    if (!ReadImage(commands, image)) return ConfigResult::CommFailure;
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

  // The unit's cells as they are now go to the history first: the undo.
  const ConfigResult saved = SaveBeforeWrite(commands, options.baseIsFresh ? &m.base : nullptr, options.history);
  if (saved != ConfigResult::Ok) return saved;

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
  CellImage after{};
  if (s.identity.deviceCode == 12) {
    const ConfigResult again = ReadEprom(m, commands, options.captions);
    if (again != ConfigResult::Ok) return again;
    after = m.base;
  } else {
    if (!ReadImage(commands, after)) return ConfigResult::CommFailure;
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

std::optional<HistoryEntry> NewestEntryFor(DeviceCommands& commands, const WriteHistory* history,
                                           ConfigResult* result) {
  AppState& s = commands.state();
  *result = ConfigResult::CommFailure;
  StopRunningMeasure(commands);
  const IdentityBytes id = commands.ReadIdentity();
  if (id[0] == 1 || s.commError) return std::nullopt;
  const CellBytes cell4 = commands.ReadCells(0, 4, 1);
  if (s.commError) return std::nullopt;
  *result = ConfigResult::Ok;
  const WriteHistory fallback;
  return (history ? *history : fallback).newest(IdentifyModel(s.identity.variant, cell4[0]), s.identity);
}

ConfigResult RestoreCells(const HistoryEntry& entry, DeviceCommands& commands, const WriteHistory* history,
                          int* written) {
  AppState& s = commands.state();
  Prompter& ask = commands.prompter();
  const QString title = ProductTitle(s);
  if (written) *written = 0;
  StopRunningMeasure(commands);
  const IdentityBytes id = commands.ReadIdentity();
  if (id[0] == 1 || s.commError) return ConfigResult::CommFailure;
  if (!(s.identity == entry.identity) &&
      ask.ask(title, Tr(s, 136).arg(IdentityText(s, entry.identity)), Buttons::OkCancel, Icon::Warning) != Answer::Ok)
    return ConfigResult::Refused;

  std::vector<int> addresses;
  for (const auto& [a, v] : entry.cells) addresses.push_back(a);
  std::map<int, uint8_t> now;
  if (!ReadAddresses(commands, addresses, now)) return ConfigResult::CommFailure;
  // A restore is a write too: what it replaces can be put back in turn.
  if (const ConfigResult saved = SaveEntry(commands, now, history, nullptr); saved != ConfigResult::Ok) return saved;

  s.writeList.reset();
  for (const auto& [a, v] : entry.cells)
    if (now[a] != v) s.writeList.push(static_cast<uint8_t>(a), v);
  const int count = s.writeList.queued();
  if (count > 0) {
    commands.WriteCells(0, count);
    if (written) *written = static_cast<int>(commands.lastWrite().sent.size());
    if (s.commError) return ConfigResult::CommFailure;
  }

  // Every saved cell, not only the ones sent: the unit must now hold them all.
  std::map<int, uint8_t> after;
  if (!ReadAddresses(commands, addresses, after)) return ConfigResult::CommFailure;
  QStringList wrong;
  for (const auto& [a, v] : entry.cells)
    if (after[a] != v) wrong << QStringLiteral("%1: %2 / %3").arg(a).arg(after[a]).arg(v);
  if (!wrong.isEmpty()) {
    ask.ask(title, Tr(s, 236).arg(wrong.size()).arg(wrong.join(QStringLiteral(", "))), Buttons::Ok, Icon::Critical);
    return ConfigResult::NotVerified;
  }
  return ConfigResult::Ok;
}

} // namespace pv
