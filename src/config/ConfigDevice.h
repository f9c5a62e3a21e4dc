#pragma once
// Reading a unit's configuration into the editor and writing the editor
// back, over the device commands.
//
// Read: stop a running measurement, "$V", captions (the window's hook), only
// device code 12, cells 0..64 (and 128..153 on code 12 variant 5), decode.
// Write: stop a running measurement, identity check, the editor checks with
// their questions, encode, save the cells the write replaces to the record
// store (with the unit's fingerprint), "$W" cell by cell, then a fresh read
// that also proves the cells arrived (the write itself reads no answers).
//
// Restore puts a saved entry back, and only where it belongs: "restore last"
// takes the connected unit's own entries (its fingerprint, and its label when
// its factory cells are blank), an entry of another unit is written only
// after OK, and only the configuration cells of bank 0 are put back unless
// the caller asks for the factory cells too. A damaged entry is never
// skipped for an older one: it is an error that names it.
#include "config/CellMap.h"
#include "config/EditorModel.h"
#include "config/Fingerprint.h"
#include "records/RecordStore.h"

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
// The same read without an editor: the identity (accepted or refused), then
// the cells into image; the state's family cell and programming buffer are
// set as by Read. accepted runs once the identity is accepted, before the
// cells are read.
ConfigResult ReadUnitImage(DeviceCommands& commands, CellImage& image, const CaptionsHook& captions = {},
                           const std::function<void()>& accepted = {});

// Where a write's backup goes and how it is named.
struct BackupOptions {
  // Null: the default store (RecordStore::DefaultLocation()), opened for
  // this save.
  RecordStore* store = nullptr;
  // What wrote, for the entry; empty: the state's recordCommand, else "write".
  QString command;
  // The saved entry's number (0 when the user chose to write without one).
  qint64* savedId = nullptr;
};

struct WriteOptions {
  bool readBack = true;
  CaptionsHook captions;
  // Send only the cells of the fields changed since the last read: the
  // record is encoded onto the cells as read, and only cells that differ
  // from them leave.
  bool changedOnly = false;
  // The editor's base was read in this same exchange: the backup takes it
  // instead of reading the cells again.
  bool baseIsFresh = false;
  BackupOptions backup;
};
ConfigResult WriteEprom(EditorModel& m, DeviceCommands& commands, const WriteOptions& options = {});

// The cells a configuration write may touch on a unit of this identity:
// 0..64, and 128..153 where the unit keeps its physical scale. A restore
// writes these, less the unit's fingerprint cells (gains that lie in this
// range), unless asked for the factory cells too.
std::vector<int> ConfigurationAddresses(const DeviceIdentity& id);

// The cells a configuration write can touch, read from the unit.
bool ReadConfigCells(DeviceCommands& commands, CellImage& image, std::vector<int>* addresses = nullptr);

// Saves the unit's configuration cells before a write, with its
// fingerprint. image: the cells just read, or null to read them now (the
// identity must be known). A store that cannot take the entry (full disk,
// damaged file) asks OK/Cancel: write without a backup? Ok, CommFailure or
// Cancelled.
ConfigResult SaveBeforeWrite(DeviceCommands& commands, const CellImage* image = nullptr,
                             const BackupOptions& backup = {});

// The same for cells a raw write is about to overwrite (the EEPROM editor):
// the cells given, with their values as the unit holds them now.
ConfigResult SaveCellsBeforeWrite(DeviceCommands& commands, const std::vector<StoredCell>& cells,
                                  const BackupOptions& backup = {});
// Cells of bank 0 (address -> value) as the store keeps them.
std::vector<StoredCell> Bank0Cells(const std::map<int, uint8_t>& cells);

// After a write that may have changed the unit's factory cells (an EEPROM
// write, a restore with the calibration): the entry saved before it learns
// the fingerprint the unit has now, so that the unit's history follows it.
void FollowFingerprint(DeviceCommands& commands, qint64 entryId, RecordStore* store = nullptr);

// What names the connected unit: "$V", cell 4 and the fingerprint cells.
struct ConnectedUnit {
  QString model;
  UnitFingerprint fingerprint;
  QString label;  // the label given (state.unitLabel), else the one the store remembers
};
// Nothing when the unit did not answer (the error flag is set).
std::optional<ConnectedUnit> IdentifyUnit(DeviceCommands& commands, RecordStore* store = nullptr);

// The connected unit's newest entry in the store. *result: CommFailure
// when the unit is silent, Refused when the store cannot be read, BadData
// when the newest entry is damaged (the user was told which), Ok otherwise
// (the entry may still be absent: nothing saved for this unit).
std::optional<WriteRecord> NewestEntryFor(DeviceCommands& commands, RecordStore* store, ConfigResult* result,
                                          ConnectedUnit* unit = nullptr);

// The cells of an entry a restore puts back on a unit of this identity and
// fingerprint: the configuration cells of bank 0 less the unit's factory
// cells, or every cell with includeCalibration.
std::vector<StoredCell> CellsToRestore(const WriteRecord& entry, const DeviceIdentity& id, const UnitFingerprint& unit,
                                       bool includeCalibration);

struct RestoreOptions {
  // Put back factory cells and cells of other banks too, not only the
  // configuration cells of bank 0.
  bool includeCalibration = false;
  BackupOptions backup;
  int* written = nullptr;  // how many cells were sent
  int* skipped = nullptr;  // cells of the entry left out (not configuration cells)
};
// Puts an entry's cells back: "$V", identity and fingerprint checks (another
// unit's cells only after OK), the cells it replaces saved as a new entry,
// the cells that differ written, every restored cell read back and compared.
ConfigResult RestoreCells(const WriteRecord& entry, DeviceCommands& commands, const RestoreOptions& options = {});

} // namespace pv
