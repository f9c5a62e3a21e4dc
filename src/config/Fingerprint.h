#pragma once
// The unit's fingerprint: what tells one unit of a model from another.
//
// Identity bytes are the same on every unit of a model; what differs is
// what the factory wrote into each unit alone, its calibration cells. The
// fingerprint is the first 16 hex digits of the SHA-256 of
//     "planovix-fingerprint-1", device code, variant, hardware revision,
//     spare byte, then for each fingerprint cell (FingerprintCells, bank 0,
//     ascending) its address and its value,
// every number one byte. A unit whose fingerprint cells all hold 0 or all
// hold 255 has never been calibrated: every such unit of a model shares one
// fingerprint, and only a label (the serial on its sticker) tells them apart.
#include "kernel/AppState.h"

#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace pv {

class DeviceCommands;
struct ModelRow;

struct UnitFingerprint {
  QString digest;   // 16 lower-case hex digits
  bool blank = false;
  QString model;    // catalogue id the cells were chosen by, empty when unknown
  std::map<int, uint8_t> cells;  // the fingerprint cells as read
};

// The digest of an identity and the fingerprint cells (address -> value).
QString FingerprintDigest(const DeviceIdentity& id, const std::map<int, uint8_t>& cells);
// All the cells 0, or all 255 (or none at all).
bool IsBlankCalibration(const std::map<int, uint8_t>& cells);

// The fingerprint of a unit whose cells are known (model null: unknown,
// the identity alone).
UnitFingerprint FingerprintOf(const ModelRow* model, const DeviceIdentity& id, const std::map<int, uint8_t>& bank0);

// Reads the fingerprint cells of the connected unit. The identity must have
// been read ("$V"); model is the catalogue id ("$V" and cell 4 name it).
// known: bank 0 cells just read in the same exchange, not asked again.
// Nothing when the unit did not answer (the error flag is set).
std::optional<UnitFingerprint> ReadFingerprint(DeviceCommands& commands, const QString& model,
                                               const std::map<int, uint8_t>& known = {});

// Reads the given cells of a bank in runs of neighbours; false when the
// unit did not answer. Each run costs the unit's programming-mode pauses
// (about 0.4 s), a cell about 10 ms: runs a few cells apart are read as one.
bool ReadCellRuns(DeviceCommands& commands, int bank, const std::vector<int>& addresses, std::map<int, uint8_t>& out);

} // namespace pv
