#include "config/CellMap.h"

#include "config/FactoryCells.h"
#include "kernel/Catalogue.h"
#include "link/Codecs.h"
#include "text/Numbers.h"

#include <cmath>
#include <set>

namespace pv {

namespace {

double Pow10(int d) { return std::pow(10.0, d); }

// The range words and the physical scale sit where the factory's map puts
// them; every layout places the range words alike.
int InputWords(int c) { return FindFactoryCell(CalibrationLayout::Current, FactoryCellKind::InputRange, c, 0)->first; }
int OutputWords(int c) { return FindFactoryCell(CalibrationLayout::Current, FactoryCellKind::OutputRange, c, 0)->first; }
// Value k of the physical scale (max A, min A, max B, min B, out max A...).
int PhysicalCell(int k) {
  static const std::array<int, 8> cells = [] {
    std::array<int, 8> a{};
    for (const FactoryCell& r : FactoryCells(CalibrationLayout::PhysicalScale))
      if (r.kind == FactoryCellKind::PhysicalScale) a[static_cast<size_t>(r.code)] = r.first;
    return a;
  }();
  return cells[static_cast<size_t>(k)];
}

double Word(const CellImage& cell, int lo, bool isSigned) {
  return JoinWord(cell[lo + 1], cell[lo], isSigned);
}

// Thresholds: M2 in the lowest cell, then M1, then sign and exponent.
double Float24At(const CellImage& cell, int a) { return DecodeFloat24(cell[a + 1], cell[a], cell[a + 2]); }

int Decimals(const CellLayout& L, const RangeTables& T, int row, int freqDecimals) {
  if (L.frequencyInput) return freqDecimals;
  if (row < 0 || row >= static_cast<int>(T.input.size())) return 0;
  int d = T.input[row].decimals;
  if (L.res300kCode18 && row == rows::Res300K) ++d;  // one more decimal on this row
  return d;
}

// Variant 0 stores the thresholds of the "10 V" and "20 mA" rows x 10^d.
double TripScale(const CellLayout& L, const RangeTables& T, int row) {
  if (L.tripScaledByRow && (row == rows::Volt10 || row == rows::mA20)) return Pow10(T.input[row].decimals);
  return 1;
}

int InputRowFromCell(const CellLayout& L, uint8_t cell) {
  if (L.frequencyInput) return rows::Freq;
  if (L.inputCopyInCell1 && cell == rows::Freq) return rows::Freq;  // the whole cell holds 33
  const int code = cell & 31;
  if (L.res300kCode18 && code == 18) return rows::Res300K;
  return code;
}

} // namespace

bool InputRowStorable(const DeviceIdentity& id, int row) {
  const CellLayout L = CellLayoutFor(id);
  if (L.frequencyInput) return row == rows::Freq;
  if (L.inputCopyInCell1 && row == rows::Freq) return true;
  if (L.res300kCode18) return (row >= 0 && row <= 31 && row != 18) || row == rows::Res300K;
  return row >= 0 && row <= 31;
}

ConfigRecord DecodeConfig(const DeviceIdentity& id, const RangeTables& T, const CellImage& cell) {
  const CellLayout L = CellLayoutFor(id);
  ConfigRecord r;
  r.freqType = cell[0] & 7;
  r.filter50Hz = (cell[0] & 8) != 0;
  r.freqDecimals = (cell[4] >> 2) & 3;
  for (int c = 0; c < 2; ++c) {
    ChannelConfig& ch = r.ch[c];
    ch.inputRow = InputRowFromCell(L, cell[c]);
    ch.decimals = Decimals(L, T, ch.inputRow, r.freqDecimals);
    // Variant 0: channel B repeats channel A's input; cells 12..15 are the trip.
    const int inBase = InputWords(id.variant == 0 ? 0 : c);
    ch.inputMax = Word(cell, inBase, L.signedWords) / Pow10(ch.decimals);
    ch.inputMin = Word(cell, inBase + 2, L.signedWords) / Pow10(ch.decimals);
    ch.outputMax = Word(cell, OutputWords(c), L.signedWords) / 1000.0;
    ch.outputMin = Word(cell, OutputWords(c) + 2, L.signedWords) / 1000.0;
    const uint8_t fn = cell[3 + 2 * c], io = cell[4 + 2 * c];
    ch.outputRow = io & 3;
    ch.function = fn & 7;
    ch.operation = (fn >> 3) & 7;
    ch.burnOut = fn >> 7;
    if (!L.frequencyInput) {
      ch.wires = (io >> 2) & 3;
      ch.cjc = (io >> 4) & 1;
    }
    if (c < L.tripChannels) {
      ch.relay = (fn >> 6) & 1;
      ch.tripDirection = (io >> 6) & 1;
      const int t = L.tripBlock + 6 * c;
      const double scale = TripScale(L, T, ch.inputRow);
      ch.tripHigh = Float24At(cell, t) / scale;
      ch.tripLow = Float24At(cell, t + 3) / scale;
    }
    const int raw = cell[7 + c];
    ch.offset = (raw > 127 ? raw - 256 : raw) / 10.0;
    ch.overRange = (cell[9] >> (2 * c)) & 3;
  }
  r.doubler = !L.frequencyInput && !L.familyInCell4 && (cell[4] & 32) != 0;
  r.highSpeed = (cell[4] & 128) != 0;
  r.tripDelay = L.delayInTenths ? RoundHalfEven(cell[8] / 0.75) / 10.0 : cell[8];
  if (L.responseTime) r.responseTime = (cell[28] + 256 * cell[29]) * 0.058 + 0.2;
  r.filter = JoinWord(cell[54], cell[53], false);
  r.auxFrequency = cell[63];
  r.trigger = cell[64] * 0.0278 + 0.122;
  if (L.physicalScale)
    for (int k = 0; k < 8; ++k) r.physical[k] = Float24At(cell, PhysicalCell(k));
  return r;
}

EncodedCells EncodeConfig(const DeviceIdentity& id, const RangeTables& T, const ConfigRecord& r,
                          const CellImage& base) {
  const CellLayout L = CellLayoutFor(id);
  const ConfigRecord was = DecodeConfig(id, T, base);
  EncodedCells out;
  out.cells = base;
  std::set<int> sent;
  auto fail = [&](const QString& field) {
    if (out.fault.isEmpty()) out.fault = field;
  };
  // Only the masked bits change; the rest of the cell stays as the unit holds it.
  auto put = [&](int a, uint8_t mask, long value) {
    out.cells[a] = static_cast<uint8_t>((out.cells[a] & ~mask) | (value & mask));
    sent.insert(a);
  };
  auto keep = [&](int a) { sent.insert(a); };
  auto channelName = [](int c) { return c == 0 ? QStringLiteral(" (A)") : QStringLiteral(" (B)"); };
  auto putWord = [&](int lo, double value, double scale, const QString& field) {
    const double scaled = value * scale;
    const long min = L.signedWords ? -32768 : 0, max = L.signedWords ? 32767 : 65535;
    if (!std::isfinite(scaled) || std::lround(scaled) < min || std::lround(scaled) > max) {
      keep(lo);
      keep(lo + 1);
      return fail(field);
    }
    const WordBytes w = SplitWord(static_cast<int>(std::lround(scaled)));
    put(lo, 0xFF, w.lo);
    put(lo + 1, 0xFF, w.hi);
  };
  // A Float24 keeps its bytes while its value and scale are the ones read.
  auto putFloat = [&](int a, double value, double oldValue, double scale, double oldScale,
                      const QString& field) {
    keep(a), keep(a + 1), keep(a + 2);
    if (value == oldValue && scale == oldScale) return;
    const auto b = TryEncodeFloat24(value * scale);
    if (!b) return fail(field);
    put(a, 0xFF, b->m2);
    put(a + 1, 0xFF, b->m1);
    put(a + 2, 0xFF, b->s);
  };
  auto code = [&](int row, int c) -> int {
    if (!InputRowStorable(id, row)) {
      fail(QStringLiteral("input type") + channelName(c));
      return 0;
    }
    return (L.res300kCode18 && row == rows::Res300K) ? 18 : row;
  };

  const ChannelConfig& A = r.ch[0];
  const ChannelConfig& B = r.ch[1];
  const bool aInputChanged = A.inputRow != was.ch[0].inputRow;
  // Channel B repeats channel A's input: with the doubler, on variants 0 and 7.
  const bool bFollowsA = r.doubler || L.inputCopyInCell1 || L.frequencyInput;

  // Cells 0 and 1: input types (variant 7: sensor type and 50 Hz filter).
  if (L.frequencyInput) {
    if (r.freqType < 0 || r.freqType > 7) fail(QStringLiteral("frequency sensor"));
    put(0, 0x0F, (r.freqType & 7) | (r.filter50Hz ? 8 : 0));
  } else {
    const int a = code(A.inputRow, 0);
    if (L.inputCopyInCell1 && (A.inputRow == rows::Freq || base[0] == rows::Freq)) put(0, 0xFF, a);
    else put(0, 0x1F, a);
    if (L.inputCopyInCell1) {
      // A copy of cell 0, renewed when channel A's input changes.
      if (aInputChanged) put(1, 0xFF, out.cells[0]);
      else keep(1);
    } else if (r.doubler) {
      if (aInputChanged || r.doubler != was.doubler) put(1, 0x1F, a);
      else keep(1);
    } else {
      put(1, 0x1F, code(B.inputRow, 1));
    }
  }

  for (int c = 0; c < 2; ++c) {
    const ChannelConfig& ch = r.ch[c];
    const int fn = 3 + 2 * c, io = 4 + 2 * c;
    if (ch.operation < 0 || ch.operation > 7) fail(QStringLiteral("operation") + channelName(c));
    put(fn, 0x07, ch.function);
    put(fn, 0x38, ch.operation << 3);
    put(fn, 0x80, ch.burnOut << 7);
    if (c < L.tripChannels) put(fn, 0x40, ch.relay << 6);
    if (ch.outputRow < 0 || ch.outputRow > 3) fail(QStringLiteral("output type") + channelName(c));
    put(io, 0x03, ch.outputRow);
    if (!L.frequencyInput) {
      put(io, 0x0C, ch.wires << 2);
      put(io, 0x10, ch.cjc << 4);
    }
    if (c < L.tripChannels && !(c == 0 && L.familyInCell4)) put(io, 0x40, ch.tripDirection << 6);
  }
  if (!L.frequencyInput && !L.familyInCell4) put(4, 0x20, r.doubler ? 32 : 0);
  if (L.frequencyInput) put(4, 0x0C, r.freqDecimals << 2);
  put(4, 0x80, r.highSpeed ? 128 : 0);

  // Offsets in signed tenths; cell 8 is channel B's offset and the trip delay.
  // An offset set by hand stays within +-12.7; -12.8, which the byte could
  // hold, is kept only where the unit already holds it.
  auto offsetByte = [&](int c) -> long {
    const long n = std::lround(RoundHalfEven(r.ch[c].offset * 10.0, 6));
    const bool asHeld = r.ch[c].offset == was.ch[c].offset;
    if (!std::isfinite(r.ch[c].offset) || n < (asHeld ? -128 : -127) || n > 127) {
      fail(QStringLiteral("offset") + channelName(c));
      return 0;
    }
    return n < 0 ? n + 256 : n;
  };
  put(7, 0xFF, offsetByte(0));
  {
    const bool offsetEdited = B.offset != was.ch[1].offset;
    const bool delayEdited = r.tripDelay != was.tripDelay;
    // Both edited: the delay wins where channel B has no input of its own.
    const bool useDelay = delayEdited && (!offsetEdited || L.inputCopyInCell1 || L.frequencyInput);
    if (useDelay) {
      const double n = L.delayInTenths ? RoundHalfEven(r.tripDelay * 7.5) : std::round(r.tripDelay);
      if (!std::isfinite(n) || n < 0 || n > 255) fail(QStringLiteral("trip delay"));
      else put(8, 0xFF, static_cast<long>(n));
    } else if (offsetEdited) {
      put(8, 0xFF, offsetByte(1));
    } else {
      keep(8);
    }
  }
  for (int c = 0; c < 2; ++c)
    if (r.ch[c].overRange < 0 || r.ch[c].overRange > 3) fail(QStringLiteral("over-range") + channelName(c));
  put(9, 0x03, A.overRange);
  put(9, 0x0C, B.overRange << 2);

  // Range words.
  const int dA = Decimals(L, T, A.inputRow, r.freqDecimals);
  for (int c = 0; c < 2; ++c) {
    const ChannelConfig& ch = r.ch[c];
    const int at = InputWords(c);
    if (c == 1 && L.inputCopyInCell1) {
      // Variant 0: cells 12..15 belong to the trip.
    } else if (c == 1 && bFollowsA) {
      const bool aChanged = aInputChanged || A.inputMax != was.ch[0].inputMax ||
                            A.inputMin != was.ch[0].inputMin || r.doubler != was.doubler ||
                            r.freqDecimals != was.freqDecimals;
      if (aChanged) {
        putWord(at, A.inputMax, Pow10(dA), QStringLiteral("input upper limit (B)"));
        putWord(at + 2, A.inputMin, Pow10(dA), QStringLiteral("input lower limit (B)"));
      } else {
        for (int k = 0; k < 4; ++k) keep(at + k);
      }
    } else {
      const double scale = Pow10(Decimals(L, T, ch.inputRow, r.freqDecimals));
      putWord(at, ch.inputMax, scale, QStringLiteral("input upper limit") + channelName(c));
      putWord(at + 2, ch.inputMin, scale, QStringLiteral("input lower limit") + channelName(c));
    }
    putWord(OutputWords(c), ch.outputMax, 1000, QStringLiteral("output upper limit") + channelName(c));
    putWord(OutputWords(c) + 2, ch.outputMin, 1000, QStringLiteral("output lower limit") + channelName(c));
  }

  for (int c = 0; c < L.tripChannels; ++c) {
    const int t = L.tripBlock + 6 * c;
    const double scale = TripScale(L, T, r.ch[c].inputRow);
    const double oldScale = TripScale(L, T, was.ch[c].inputRow);
    putFloat(t, r.ch[c].tripHigh, was.ch[c].tripHigh, scale, oldScale,
             QStringLiteral("trip high threshold") + channelName(c));
    putFloat(t + 3, r.ch[c].tripLow, was.ch[c].tripLow, scale, oldScale,
             QStringLiteral("trip low threshold") + channelName(c));
  }

  if (L.responseTime) {
    keep(28), keep(29);
    if (r.responseTime != was.responseTime) {
      const double n = std::max(0.0, std::round((r.responseTime - 0.2) / 0.058));
      if (!std::isfinite(n) || n > 65535) {
        fail(QStringLiteral("response time"));
      } else {
        put(28, 0xFF, static_cast<long>(n) & 0xFF);
        put(29, 0xFF, static_cast<long>(n) >> 8);
      }
    }
  }

  if (L.frequencyInput) {
    if (r.filter < 0 || r.filter > 65535) fail(QStringLiteral("filter"));
    put(53, 0xFF, r.filter & 0xFF);
    put(54, 0xFF, r.filter >> 8);
    if (r.auxFrequency < 0 || r.auxFrequency > 255) fail(QStringLiteral("auxiliary frequency"));
    put(63, 0xFF, r.auxFrequency);
    keep(64);
    if (r.trigger != was.trigger) {
      // Rounded, not truncated: 0.1498 V must give back cell 1, not 0.
      const double n = std::round((r.trigger - 0.122) / 0.0278);
      if (!std::isfinite(n) || n < 0 || n > 255) fail(QStringLiteral("trigger level"));
      else put(64, 0xFF, static_cast<long>(n));
    }
  }

  if (L.physicalScale)
    for (int k = 0; k < 8; ++k)
      putFloat(PhysicalCell(k), r.physical[k], was.physical[k], 1, 1, QStringLiteral("physical scale %1").arg(k + 1));

  out.addresses.assign(sent.begin(), sent.end());
  return out;
}

ChannelSettings SettingsFrom(const ConfigRecord& r, const RangeTables& T, int c) {
  const ChannelConfig& ch = r.ch[c];
  ChannelSettings s;
  const int row = std::clamp(ch.inputRow, 0, static_cast<int>(T.input.size()) - 1);
  s.inputType = static_cast<uint8_t>(row);
  s.outputType = static_cast<uint8_t>(ch.outputRow & 3);
  s.inputDecimals = static_cast<uint8_t>(ch.decimals);
  s.inputMax = ch.inputMax;
  s.inputMin = ch.inputMin;
  s.outputMax = ch.outputMax;
  s.outputMin = ch.outputMin;
  s.inputUnit = T.input[row].unit;
  s.outputUnit = T.output[s.outputType].unit;
  s.function = static_cast<uint8_t>(ch.function);
  s.operatorOption = static_cast<uint8_t>(ch.operation);
  s.physicalMax = r.physical[c == 0 ? 0 : 2];
  s.physicalMin = r.physical[c == 0 ? 1 : 3];
  s.physicalOutMax = r.physical[c == 0 ? 4 : 6];
  s.physicalOutMin = r.physical[c == 0 ? 5 : 7];
  return s;
}

TripRecord TripFrom(const ConfigRecord& r, int c) {
  TripRecord t;
  t.direction = static_cast<int16_t>(r.ch[c].tripDirection);
  // Three zero cells decode to 2^-127: the 0 they stand for.
  t.high = std::fabs(r.ch[c].tripHigh) < 1e-30 ? 0 : r.ch[c].tripHigh;
  t.low = std::fabs(r.ch[c].tripLow) < 1e-30 ? 0 : r.ch[c].tripLow;
  t.delay = static_cast<int16_t>(r.tripDelay);
  return t;
}

} // namespace pv
