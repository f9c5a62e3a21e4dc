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

ConfigResult ReadEprom(EditorModel& m, DeviceCommands& commands, const CaptionsHook& captions) {
  AppState& s = commands.state();
  StopRunningMeasure(commands);
  const IdentityBytes id = commands.ReadIdentity();
  if (id[0] == 1 || s.commError) return ConfigResult::CommFailure;
  if (captions) captions();
  if (!ReadAcceptance(s, commands.prompter())) return ConfigResult::NotCompatible;
  m.fillLists();

  const CellBytes cells = commands.ReadCells(0, 0, 65);
  if (s.commError) return ConfigResult::CommFailure;
  CellImage image{};
  for (int a = 0; a <= 64; ++a) {
    image[a] = cells[a];
    s.programmingBuffer[a] = cells[a];
  }
  s.familyCell = cells[4];
  DecodeCells(m, image);

  if (s.identity.deviceCode == 12 && s.identity.variant == 5) {
    const CellBytes more = commands.ReadCells(0, 128, 26);
    if (s.commError) {
      m.notify();
      return ConfigResult::CommFailure;
    }
    for (int i = 0; i < 26; ++i) image[128 + i] = more[i];
    DecodePhysical(m, image);
  }
  m.notify();
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

  const Encoded encoded = EncodeCells(m);
  if (!encoded.ok() || static_cast<int>(encoded.cells.size()) > WriteList::kCapacity) {
    ask.ask(title, Tr(s, 71), Buttons::Ok, Icon::Critical);
    return ConfigResult::BadData;
  }
  s.writeList.reset();
  for (const auto& [address, value] : encoded.cells)
    s.writeList.push(static_cast<uint8_t>(address), value);
  commands.WriteCells(0, s.writeList.count - 1);
  m.notify();
  // A refused "PR" or a lost port: the link has told the user already.
  if (s.commError) return ConfigResult::CommFailure;
  if (!options.readBack) return ConfigResult::Ok;

  const ConfigResult again = ReadEprom(m, commands, options.captions);
  if (again != ConfigResult::Ok) return again;
  for (const auto& [address, value] : encoded.cells) {
    if (m.base[address] != value) {
      ask.ask(title, Tr(s, 68), Buttons::Ok, Icon::Critical);
      return ConfigResult::NotVerified;
    }
  }
  return ConfigResult::Ok;
}

} // namespace pv
