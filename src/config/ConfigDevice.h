#pragma once
// Reading a unit's configuration into the editor and writing the editor
// back, over the device commands.
//
// Read: stop a running measurement, "$V", captions (the window's hook), only
// device code 12, cells 0..64 (and 128..153 on code 12 variant 5), decode.
// Write: stop a running measurement, identity check, the editor checks with
// their questions, encode, "$W" cell by cell, then a fresh read that also
// proves the cells arrived (the write itself reads no answers).
#include "config/CellMap.h"
#include "config/ConfigCodec.h"

#include <functional>

namespace pv {

class DeviceCommands;

enum class ConfigResult {
  Ok,
  CommFailure,    // the link gave up (the user answered Cancel to Retry/Cancel)
  NotCompatible,  // device code refused
  Refused,        // "Device Changed", thermocouple pairing
  Cancelled,      // the user answered Cancel to a range question
  BadData,        // a value does not fit its cell ("Error: check configuration data")
  NotVerified,    // the cells read back differ from the cells written
};

// Runs after the identity is known; the window applies captions and layout.
using CaptionsHook = std::function<void()>;

ConfigResult ReadEprom(EditorModel& m, DeviceCommands& commands, const CaptionsHook& captions = {});

struct WriteOptions {
  bool readBack = true;
  CaptionsHook captions;
};
ConfigResult WriteEprom(EditorModel& m, DeviceCommands& commands, const WriteOptions& options = {});

} // namespace pv
