#include "config/ConfigDevice.h"

#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "link/Acceptance.h"
#include "link/DeviceCommands.h"
#include "link/Transport.h"

namespace pv {

namespace {

void StopRunningMeasure(DeviceCommands& commands) {
  AppState& s = commands.state();
  if (!s.measureRunning) return;
  s.measureRunning = false;
  commands.transport().Pause(0.2);
}

} // namespace

namespace {

// Cells 0..64, and 128..153 where the unit keeps its physical scale.
bool ReadImage(DeviceCommands& commands, CellImage& image) {
  AppState& s = commands.state();
  const CellBytes cells = commands.ReadCells(0, 0, 65);
  if (s.commError) return false;
  for (int a = 0; a <= 64; ++a) image[a] = cells[a];
  if (CellLayoutFor(s.identity).physicalScale) {
    const CellBytes more = commands.ReadCells(0, 128, 26);
    if (s.commError) return false;
    for (int i = 0; i < 26; ++i) image[128 + i] = more[i];
  }
  return true;
}

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
  StopRunningMeasure(commands);
  if (!WriteAcceptance(commands))
    return s.commError ? ConfigResult::CommFailure : ConfigResult::Refused;

  for (const CheckMessage& q : RunChecks(m)) {
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
  s.writeList.reset();
  for (int address : encoded.addresses)
    s.writeList.push(static_cast<uint8_t>(address), encoded.cells[address]);
  commands.WriteCells(0, s.writeList.count - 1);
  m.notify();
  // A refused "PR" or a lost port: the link has told the user already.
  if (s.commError) return ConfigResult::CommFailure;
  if (!options.readBack) {
    for (int address : encoded.addresses) m.base[address] = encoded.cells[address];
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
  for (int address : encoded.addresses) {
    if (after[address] != encoded.cells[address]) {
      ask.ask(title, Tr(s, 68), Buttons::Ok, Icon::Critical);
      return ConfigResult::NotVerified;
    }
  }
  return ConfigResult::Ok;
}

} // namespace pv
