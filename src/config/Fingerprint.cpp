#include "config/Fingerprint.h"

#include "config/FactoryCells.h"
#include "kernel/Catalogue.h"
#include "link/DeviceCommands.h"

#include <QCryptographicHash>
#include <algorithm>

namespace pv {

QString FingerprintDigest(const DeviceIdentity& id, const std::map<int, uint8_t>& cells) {
  QByteArray bytes("planovix-fingerprint-1");
  bytes.append(static_cast<char>(id.deviceCode));
  bytes.append(static_cast<char>(id.variant));
  bytes.append(static_cast<char>(id.hardwareRevision));
  bytes.append(static_cast<char>(id.spare));
  for (const auto& [address, value] : cells) {
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>(value));
  }
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(16));
}

bool IsBlankCalibration(const std::map<int, uint8_t>& cells) {
  auto all = [&](uint8_t v) {
    return std::all_of(cells.begin(), cells.end(), [v](const auto& c) { return c.second == v; });
  };
  return all(0) || all(255);
}

UnitFingerprint FingerprintOf(const ModelRow* model, const DeviceIdentity& id, const std::map<int, uint8_t>& bank0) {
  UnitFingerprint f;
  if (model) {
    f.model = QString::fromLatin1(model->id);
    for (int a : FingerprintCells(*model, id)) {
      const auto it = bank0.find(a);
      f.cells[a] = it == bank0.end() ? 0 : it->second;
    }
  }
  f.blank = IsBlankCalibration(f.cells);
  f.digest = FingerprintDigest(id, f.cells);
  return f;
}

bool ReadCellRuns(DeviceCommands& commands, int bank, const std::vector<int>& addresses, std::map<int, uint8_t>& out) {
  std::vector<int> sorted = addresses;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  // A gap this short costs less read through than a run of its own.
  constexpr int kBridge = 16;
  size_t i = 0;
  while (i < sorted.size()) {
    size_t j = i + 1;
    while (j < sorted.size() && sorted[j] - sorted[j - 1] <= kBridge) ++j;
    const int first = sorted[i], count = sorted[j - 1] - first + 1;
    const CellBytes cells = commands.ReadCells(bank, first, count);
    if (commands.state().commError) return false;
    for (size_t k = i; k < j; ++k) out[sorted[k]] = cells[static_cast<size_t>(sorted[k] - first)];
    i = j;
  }
  return true;
}

std::optional<UnitFingerprint> ReadFingerprint(DeviceCommands& commands, const QString& model,
                                               const std::map<int, uint8_t>& known) {
  const ModelRow* row = model.isEmpty() ? nullptr : FindModel(model);
  const DeviceIdentity id = commands.state().identity;
  std::map<int, uint8_t> cells = known;
  std::vector<int> missing;
  if (row)
    for (int a : FingerprintCells(*row, id))
      if (!known.count(a)) missing.push_back(a);
  if (!ReadCellRuns(commands, 0, missing, cells)) return std::nullopt;
  UnitFingerprint fp = FingerprintOf(row, id, cells);
  commands.state().unitFingerprint = fp.digest;
  commands.state().unitFingerprintFor = id;
  return fp;
}

} // namespace pv
