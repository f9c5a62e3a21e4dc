#include "config/FactoryCells.h"

#include "config/CellLayout.h"

#include <set>

namespace pv {

namespace {

using K = FactoryCellKind;

// What every layout with inputs and outputs has, both channels: the range
// words the calibration sets up and the output pairs it measures.
void ChannelRows(std::vector<FactoryCell>& rows, int c, bool pairHighFirst) {
  rows.push_back({K::InputRange, c, 0, c == 0 ? 20 : 12, 4, true});
  rows.push_back({K::OutputRange, c, 0, c == 0 ? 24 : 16, 4, true});
  rows.push_back({K::OutputPair, c, 2, c == 0 ? 100 : 112, 6, false, pairHighFirst});
  rows.push_back({K::OutputPair, c, 0, c == 0 ? 106 : 118, 6, false, pairHighFirst});
}

// Both channels of the current fixture; the other layouts are built from it.
std::vector<FactoryCell> CurrentRows(bool trims, bool ptc, bool pairHighFirst) {
  std::vector<FactoryCell> rows;
  // Input code and first gain cell of channel A / B.
  struct Gain { int code, a, b; };
  static const Gain kGains[] = {{1, 50, 29}, {2, 53, 32}, {3, 56, 35}, {4, 59, 38},
                                {5, 62, 41}, {16, 65, 44}, {17, 68, 47}};
  for (int c = 0; c < 2; ++c) {
    for (const Gain& g : kGains) rows.push_back({K::Gain, c, g.code, c == 0 ? g.a : g.b, 3, false});
    // The PTC input keeps Veq on the first two cells of the 2 kohm gain.
    if (ptc) rows.push_back({K::PtcWord, c, 25, c == 0 ? 65 : 44, 2, false});
    if (trims) {
      rows.push_back({K::ZeroTrim, c, 4, c == 0 ? 74 : 85, 1, false});
      rows.push_back({K::ZeroTrim, c, 5, c == 0 ? 75 : 86, 1, false});
    }
    rows.push_back({K::ColdJunction, c, 8, 7 + c, 1, true});
    ChannelRows(rows, c, pairHighFirst);
  }
  return rows;
}

std::vector<FactoryCell> OlderRows() {
  std::vector<FactoryCell> rows = CurrentRows(false, false, true);
  // Its own trims, on channel A only.
  rows.push_back({K::ZeroTrim, 0, 4, 92, 1, false});
  rows.push_back({K::ZeroTrim, 0, 5, 93, 1, false});
  return rows;
}

std::vector<FactoryCell> PhysicalScaleRows() {
  std::vector<FactoryCell> rows = CurrentRows(true, true, false);
  // Max and min of A's input, of B's input, of A's output, of B's output.
  static const int kChannel[8] = {0, 0, 1, 1, 0, 0, 1, 1};
  for (int k = 0; k < 8; ++k) rows.push_back({K::PhysicalScale, kChannel[k], k, 128 + 3 * k, 3, true});
  return rows;
}

std::vector<FactoryCell> FrequencyRows() {
  std::vector<FactoryCell> rows;
  for (int c = 0; c < 2; ++c) ChannelRows(rows, c, true);
  return rows;
}

// Cells a configuration field may own on a unit of this identity.
std::set<int> ConfigurationCells(const DeviceIdentity& id) {
  const CellLayout L = CellLayoutFor(id);
  std::set<int> owned;
  for (int a = 0; a <= 27; ++a) owned.insert(a);  // types, options, offsets, range words
  for (int a = L.tripBlock; a < L.tripBlock + 6 * L.tripChannels; ++a) owned.insert(a);
  if (L.responseTime) owned.insert({28, 29});
  if (L.frequencyInput) owned.insert({53, 54, 63, 64});
  if (L.physicalScale)
    for (int a = 128; a <= 153; ++a) owned.insert(a);
  return owned;
}

bool OutputKind(FactoryCellKind k) { return k == K::OutputPair || k == K::OutputRange; }

} // namespace

CalibrationLayout CalibrationLayoutOf(const ModelRow& model) {
  if (model.variant == 0 || model.variant == 1) return CalibrationLayout::OlderFixture;
  if (model.variantRow().frequencyInput) return CalibrationLayout::FrequencyInput;
  if (model.variantRow().physicalScale) return CalibrationLayout::PhysicalScale;
  return CalibrationLayout::Current;
}

const std::vector<FactoryCell>& FactoryCells(CalibrationLayout layout) {
  static const std::vector<FactoryCell> current = CurrentRows(true, true, false);
  static const std::vector<FactoryCell> older = OlderRows();
  static const std::vector<FactoryCell> physical = PhysicalScaleRows();
  static const std::vector<FactoryCell> frequency = FrequencyRows();
  switch (layout) {
  case CalibrationLayout::OlderFixture: return older;
  case CalibrationLayout::PhysicalScale: return physical;
  case CalibrationLayout::FrequencyInput: return frequency;
  case CalibrationLayout::Current: break;
  }
  return current;
}

const FactoryCell* FindFactoryCell(CalibrationLayout layout, FactoryCellKind kind, int channel, int code) {
  for (const FactoryCell& r : FactoryCells(layout))
    if (r.kind == kind && r.channel == channel && r.code == code) return &r;
  return nullptr;
}

std::vector<FactoryCell> FactoryCellsOf(const ModelRow& model) {
  std::vector<FactoryCell> out;
  for (const FactoryCell& r : FactoryCells(CalibrationLayoutOf(model))) {
    const bool output = OutputKind(r.kind);
    if (r.channel == 1 && output && !model.secondOutput) continue;
    if (r.channel == 1 && !output && r.kind != K::PhysicalScale && model.inputs < 2) continue;
    out.push_back(r);
  }
  return out;
}

std::vector<int> FingerprintCells(const ModelRow& model, const DeviceIdentity& id) {
  const std::set<int> owned = ConfigurationCells(id);
  std::set<int> cells;
  for (const FactoryCell& r : FactoryCellsOf(model)) {
    if (r.sharedWithConfiguration) continue;
    for (int a = r.first; a < r.first + r.count; ++a)
      if (!owned.count(a)) cells.insert(a);
  }
  return {cells.begin(), cells.end()};
}

std::array<uint8_t, 3> Float24InCells(FactoryCellKind kind, const Float24Bytes& v) {
  if (kind == K::PhysicalScale) return {v.m2, v.m1, v.s};
  return {v.s, v.m1, v.m2};
}

double Float24FromCells(FactoryCellKind kind, const uint8_t* c) {
  if (kind == K::PhysicalScale) return DecodeFloat24(c[1], c[0], c[2]);
  return DecodeFloat24(c[1], c[2], c[0]);
}

} // namespace pv
