#include "factory/CalibrationUnit.h"

#include "config/FactoryCells.h"
#include "config/Fingerprint.h"
#include "kernel/Catalogue.h"
#include "link/Codecs.h"
#include "link/DeviceCommands.h"

#include <algorithm>

namespace pv {

QString CalibrationUnitKey(const DeviceIdentity& id, const std::map<int, uint8_t>& cells) {
  return FingerprintDigest(id, cells);
}

bool CalibrationUnit::read(DeviceCommands& unit, const ModelRow& model, const std::vector<int>& also,
                           std::map<int, uint8_t>* alsoCells) {
  clear();
  state_ = &unit.state();
  identity_ = unit.state().identity;
  const std::vector<int> wanted = FingerprintCells(model, identity_);
  std::vector<int> all = wanted;
  all.insert(all.end(), also.begin(), also.end());
  if (!all.empty()) {
    // One read of the whole span: one entry into programming mode instead
    // of one per run of neighbours.
    const auto [low, high] = std::minmax_element(all.begin(), all.end());
    const int first = *low, count = *high - first + 1;
    const CellBytes got = unit.ReadCells(0, first, count);
    if (unit.state().commError) return false;
    for (int a : wanted) cells_[a] = got[static_cast<size_t>(a - first)];
    if (alsoCells)
      for (int a : also) (*alsoCells)[a] = got[static_cast<size_t>(a - first)];
  }
  known_ = true;
  publish();
  return true;
}

void CalibrationUnit::publish() {
  // The program's unit session shows the fingerprint the unit has now.
  if (!state_ || !known_ || !(state_->identity == identity_)) return;
  state_->unitFingerprint = key();
  state_->unitFingerprintFor = identity_;
}

void CalibrationUnit::clear() {
  known_ = false;
  identity_ = {};
  cells_.clear();
}

void CalibrationUnit::written(int address, uint8_t value) {
  const auto it = cells_.find(address);
  if (it == cells_.end() || it->second == value) return;
  it->second = value;
  publish();
}

QString CalibrationUnit::key() const { return known_ ? CalibrationUnitKey(identity_, cells_) : QString(); }

} // namespace pv
