#pragma once
// Reading a unit's configuration into the editor and writing the editor
// back, over the device commands.
//
// Read: stop a running measurement, "$V", captions (the window's hook), only
// device code 12, cells 0..64 (and 128..153 on code 12 variant 5), decode.
// Write: stop a running measurement, identity check, the editor checks with
// their questions, encode, save the unit's cells to the write history, "$W"
// cell by cell, then a fresh read that also proves the cells arrived (the
// write itself reads no answers).
#include "config/CellMap.h"
#include "config/EditorModel.h"
#include "config/WriteHistory.h"

#include <functional>
#include <optional>

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
  // Send only the cells of the fields changed since the last read: the
  // record is encoded onto the cells as read, and only cells that differ
  // from them leave.
  bool changedOnly = false;
  // The editor's base was read in this same exchange: the history takes it
  // instead of reading the cells again.
  bool baseIsFresh = false;
  // Where the history goes; the user's data folder when null.
  const WriteHistory* history = nullptr;
};
ConfigResult WriteEprom(EditorModel& m, DeviceCommands& commands, const WriteOptions& options = {});

// The cells a configuration write can touch (0..64, and 128..153 where the
// unit keeps its physical scale), read from the unit.
bool ReadConfigCells(DeviceCommands& commands, CellImage& image, std::vector<int>* addresses = nullptr);

// Saves the unit's cells before a write. image: the cells just read, or
// null to read them now (the identity must be known). A history that cannot
// be written asks OK/Cancel (write anyway?). Ok, CommFailure or Cancelled.
ConfigResult SaveBeforeWrite(DeviceCommands& commands, const CellImage* image = nullptr,
                             const WriteHistory* history = nullptr, QString* savedPath = nullptr);

// The same for cells a raw write is about to overwrite (the EEPROM editor):
// the cells given, as the unit holds them now, bank 0.
ConfigResult SaveCellsBeforeWrite(DeviceCommands& commands, const std::map<int, uint8_t>& cells,
                                  const WriteHistory* history = nullptr, QString* savedPath = nullptr);

// The connected unit's newest history entry ("$V" and cell 4 name it).
// Nothing when it has none; CommFailure in *result when the unit is silent.
std::optional<HistoryEntry> NewestEntryFor(DeviceCommands& commands, const WriteHistory* history,
                                           ConfigResult* result);

// Puts a history entry's cells back: "$V", identity check (another unit's
// cells only after OK), the current cells saved as a new entry, the cells
// that differ written, every saved cell read back and compared.
// *written: how many cells were sent.
ConfigResult RestoreCells(const HistoryEntry& entry, DeviceCommands& commands,
                          const WriteHistory* history = nullptr, int* written = nullptr);

} // namespace pv
