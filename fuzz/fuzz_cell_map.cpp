// The typed cell map: any 256 cells of bank 0 as a unit holds them, decoded,
// then encoded back with and without edits.
//
// Input: model byte, hardware revision byte, 256 cells, then edits: a mask
// byte per group and raw doubles (any bit pattern, NaN and Inf included).
//
// Invariants:
// - a write with no edit encodes every cell exactly as the unit holds it,
//   and reports no fault;
// - an edited record that encodes without fault writes no Float24 the unit
//   would read as Inf or NaN, and changes no cell it does not send;
// - a non-finite value in a Float24 field, an output limit or channel A's
//   offset is a fault, never a write;
// - an edited value that encodes comes back from the cells within the
//   format's step.
#include "CellChecks.h"
#include "FuzzSupport.h"

#include "kernel/Catalogue.h"
#include "link/Codecs.h"

#include <cmath>

using namespace pv;
using namespace pv::fuzz;

namespace {

const RangeTables& Tables() {
  static const RangeTables tables;
  return tables;
}

QString Cells(const CellImage& a, const CellImage& b) {
  QString out;
  for (int i = 0; i < 256; ++i)
    if (a[i] != b[i]) out += QStringLiteral(" [%1] %2->%3").arg(i).arg(a[i]).arg(b[i]);
  return out;
}

// The value a Float24 field is edited to, and where its cells are.
struct FloatField {
  double* value;
  int cell;
  double scale;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const ModelRow& unit = kModels[in.byte() % kModels.size()];
  const uint8_t revision = in.byte();
  const DeviceIdentity id{static_cast<uint8_t>(in.flag() ? 11 : 12), unit.variant, revision, 0};
  CellImage base{};
  for (auto& cell : base) cell = in.byte();
  const RangeTables& T = Tables();
  const CellLayout L = CellLayoutFor(id);

  const ConfigRecord read = DecodeConfig(id, T, base);
  const EncodedCells same = EncodeConfig(id, T, read, base);
  PV_FUZZ_CHECK(same.ok(), QStringLiteral("a write with no edit is refused: ") + same.fault);
  PV_FUZZ_CHECK(same.cells == base, QStringLiteral("a write with no edit changes cells:") + Cells(base, same.cells));

  // Edits of the Float24 fields.
  ConfigRecord edited = read;
  std::vector<FloatField> floats;
  for (int c = 0; c < L.tripChannels; ++c) {
    const int row = edited.ch[c].inputRow;
    const double scale = L.tripScaledByRow && (row == rows::Volt10 || row == rows::mA20)
                             ? std::pow(10.0, T.input[row].decimals)
                             : 1.0;
    floats.push_back({&edited.ch[c].tripHigh, L.tripBlock + 6 * c, scale});
    floats.push_back({&edited.ch[c].tripLow, L.tripBlock + 6 * c + 3, scale});
  }
  if (L.physicalScale)
    for (int k = 0; k < 8; ++k) floats.push_back({&edited.physical[k], 128 + 3 * k, 1.0});
  const uint8_t floatMask = in.byte();
  std::vector<FloatField> changed;
  for (size_t k = 0; k < floats.size(); ++k) {
    if (!(floatMask & (1u << (k % 8)))) continue;
    const double v = in.rawDouble();
    if (SameValue(v, *floats[k].value)) continue;
    *floats[k].value = v;
    changed.push_back(floats[k]);
  }
  // Edits of the other numbers, as typed values would arrive.
  const uint8_t otherMask = in.byte();
  for (int c = 0; c < 2; ++c) {
    ChannelConfig& ch = edited.ch[c];
    if (otherMask & (1 << (4 * c))) ch.inputMax = in.rawDouble();
    if (otherMask & (2 << (4 * c))) ch.outputMin = in.rawDouble();
    if (otherMask & (4 << (4 * c))) ch.offset = in.rawDouble();
  }
  if (otherMask & 8) edited.tripDelay = in.rawDouble();
  if (otherMask & 128) edited.responseTime = in.rawDouble();

  const EncodedCells out = EncodeConfig(id, T, edited, base);
  CheckEncodedFloats(id, base, out);
  CheckUnsentCellsKept(base, out);
  // Fields every layout writes: a value that is not a number cannot go out.
  for (int c = 0; c < 2; ++c)
    if (!std::isfinite(edited.ch[c].outputMin))
      PV_FUZZ_CHECK(!out.ok(), QStringLiteral("a non-finite output lower limit (%1) encodes without fault").arg(c));
  if (!std::isfinite(edited.ch[0].offset))
    PV_FUZZ_CHECK(!out.ok(), QStringLiteral("a non-finite offset encodes without fault"));
  for (const FloatField& f : changed) {
    const double v = *f.value * f.scale;
    if (!std::isfinite(v)) {
      PV_FUZZ_CHECK(!out.ok(), QStringLiteral("a non-finite value at cell %1 encodes without fault").arg(f.cell));
      continue;
    }
    if (!out.ok()) continue;
    const double back = DecodeFloat24(out.cells[f.cell + 1], out.cells[f.cell], out.cells[f.cell + 2]);
    // 15 mantissa bits: a step of 2^-15 of the value. Below 2^-127 the unit
    // stores the all-zero bytes, which read back as 2^-127.
    const double step = std::max(std::fabs(v) * std::ldexp(1.0, -15), std::ldexp(1.0, -126));
    PV_FUZZ_CHECK(std::fabs(back - v) <= step,
                  QStringLiteral("cell %1: %2 encodes as %3").arg(f.cell).arg(v, 0, 'g', 17).arg(back, 0, 'g', 17));
  }
  return 0;
}
