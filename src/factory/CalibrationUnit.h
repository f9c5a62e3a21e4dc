#pragma once
// Which unit a calibration grid belongs to. A grid names its model and its
// unit: the unit's factory cells (FingerprintCells) as the run read them at
// its start, then as it wrote them. "Riprendi" skips the rows a grid holds
// green, so it is refused on a grid of another unit or model: those rows
// were calibrated on someone else's cells.
#include "kernel/AppState.h"

#include <QString>
#include <map>
#include <vector>

namespace pv {

class DeviceCommands;
struct ModelRow;

// The unit as a grid names it: its fingerprint, the digest of the identity
// bytes and the factory cells that tell units of a model apart.
QString CalibrationUnitKey(const DeviceIdentity& id, const std::map<int, uint8_t>& cells);

class CalibrationUnit {
public:
  // Reads the unit's factory cells, and the cells in also into *alsoCells,
  // in one read of the span they all lie in; false when the unit did not
  // answer. The identity must be known.
  bool read(DeviceCommands& unit, const ModelRow& model, const std::vector<int>& also = {},
            std::map<int, uint8_t>* alsoCells = nullptr);
  void clear();
  // A cell the run has sent; cells outside the fingerprint are ignored.
  void written(int address, uint8_t value);
  // Empty until read.
  QString key() const;
  const std::map<int, uint8_t>& cells() const { return cells_; }

private:
  void publish();

  bool known_ = false;
  AppState* state_ = nullptr;  // where the program keeps the unit's fingerprint
  DeviceIdentity identity_;
  std::map<int, uint8_t> cells_;
};

} // namespace pv
