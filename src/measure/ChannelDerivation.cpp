#include "measure/ChannelDerivation.h"

#include "config/CellMap.h"
#include "config/FactoryCells.h"
#include "kernel/Catalogue.h"
#include "link/Codecs.h"
#include "measure/MeasureDevice.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pv {

namespace {

bool Among(int v, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}
double Pow10(int d) { return std::pow(10.0, d); }
const InputRange& Row(const RangeTables& t, int row) {
  return t.input[static_cast<size_t>(std::clamp(row, 0, int(t.input.size()) - 1))];
}
// Two-channel models whose outputs come from the switch output table.
bool SwitchOutputTable(const DeviceIdentity& id) { return id.variant == 4 || id.variant == 5; }

} // namespace

int SwitchInputRow(const DeviceIdentity& id, const std::array<uint8_t, 3>& sw, int c) {
  switch (id.variant) {
  case 0:
  case 1:
    // Channel B repeats channel A's input on these units; the switches
    // give it only its own output (second byte, bits 0-1).
    return sw[0] & 31;
  case 7:
    return c == 0 ? sw[1] : 0;
  case 4:
  case 5:
    return sw[c] & 15;  // one byte per channel
  default:
    // Variants 2, 3 and 6 pack one input code, in the first byte; the
    // second byte's low bits are the span index. Every other field the run
    // reads (span, zero, output, defaults) is shared, so channel B takes
    // channel A's input as well.
    return sw[0] & 15;
  }
}

namespace {
ConfigRecord RecordFromCells(const DeviceIdentity& id, const RangeTables& t, const uint8_t* cells) {
  CellImage image{};
  std::copy(cells, cells + 42, image.begin());
  return DecodeConfig(id, t, image);
}
} // namespace

ChannelSettings ChannelFromCells(const DeviceIdentity& id, const RangeTables& t,
                                 const uint8_t* cells, int c) {
  ChannelSettings s = SettingsFrom(RecordFromCells(id, t, cells), t, c);
  s.fromSwitches = false;
  return s;
}

TripRecord TripFromCells(const DeviceIdentity& id, const RangeTables& t, const uint8_t* cells,
                         int c, bool* present) {
  const bool carries = c < TripChannels(id);
  if (present) *present = carries;
  if (!carries) return {};
  return TripFrom(RecordFromCells(id, t, cells), c);
}

int CalibrationPairAddress(int channel, int outputType) {
  // Every layout keeps the pairs in the same cells.
  const int code = outputType <= 1 ? 0 : 2;
  return FindFactoryCell(CalibrationLayout::Current, FactoryCellKind::OutputPair, channel, code)->first;
}

std::array<double, 2> CalibrationPairFromCells(const uint8_t* six) {
  return {Float24FromCells(FactoryCellKind::OutputPair, six), Float24FromCells(FactoryCellKind::OutputPair, six + 3)};
}

bool DeriveSwitchChannel(const DeviceIdentity& id, const RangeTables& t,
                         const std::array<uint8_t, 3>& sw, int c, int switchRow,
                         MeasureDevice& dev, AppState& state, ChannelSettings& out) {
  const int v = id.variant;
  const bool isSigned = v != 7;

  int row = switchRow;
  if (v == 3 || v == 6) row += 15;
  if (v == 6 && row == rows::Pt100) row = rows::Res300K;
  if (v == 7) row = rows::Freq;
  if (v == 4 || v == 5) row = (sw[c] & 15) >= 8 ? rows::Volt10 : rows::mA20;
  row = std::clamp(row, 0, int(t.input.size()) - 1);

  int d = Row(t, row).decimals;
  if (v == 7) d = (sw[1] & 192) / 64;

  // S and Z: the span (upper) and zero (lower) switches are at "default",
  // whose values live in the unit's cells rather than in its tables.
  bool S = false, Z = false;
  if (Among(v, {1, 2, 3, 6})) S = Z = sw[0] < 16;
  else if (v == 4 || v == 5) S = Z = (sw[0] & 15) == 0;
  else if (v == 0) {
    S = sw[1] < 4;
    Z = (sw[2] & 15) == 0;
  }

  double upper = Row(t, row).upper, lower = Row(t, row).lower;

  if (!(S && Z)) {
    if (Among(v, {1, 2, 3, 6}) && (row == rows::mV90 || row == rows::mV200)) d = 1;
    int tableRow = row == rows::Res300K ? rows::Pt100 : row;
    if (v == 7) tableRow = 1;
    const QVector<int> L = dev.ReadCalibrationTables(tableRow);
    if (state.commError) return false;
    // A switch position beyond the table leaves the row's own limit.
    auto at = [&L](int i) -> std::optional<double> {
      if (i < 0 || i >= L.size()) return std::nullopt;
      return double(L[i]);
    };
    auto set = [](double& limit, std::optional<double> raw, double scale) {
      if (raw) limit = *raw / scale;
    };
    if (Among(v, {1, 2, 3, 6})) {
      const int s = sw[1] & 63, z = (sw[0] & 240) / 16;
      set(upper, at(s), Pow10(d));
      set(lower, at(64 + z), Pow10(d));
    } else if (v == 4 || v == 5) {
      // The table holds a (lower, upper) pair per input position; the
      // voltage positions' pairs sit in the zero half, past the zero default.
      int p = 2 * (sw[c] & 15);
      if (p >= 16) p += 3;
      set(lower, at(p - 1), Pow10(d));
      set(upper, at(p), Pow10(d));
    } else if (v == 0 || v == 7) {
      const int s = v == 0 ? (sw[1] & 252) / 4 : sw[1] & 63;
      const int z = v == 0 ? sw[2] & 15 : 1;
      const double scale = Pow10(v == 0 && row == rows::mV90 ? 1 : d);
      // These models keep the 10 V row's entries a decade coarser and the
      // default entries (index 0) a decade finer than the other rows.
      auto adjust = [&](double& limit, int index) {
        if (row == rows::Volt10) limit *= 10;
        if (index == 0) limit /= 10;
      };
      if (!S) {
        const auto raw = at(s);
        set(upper, raw, scale);
        if (raw) adjust(upper, s);
      }
      if (!Z) {
        const auto raw = at(64 + z);
        set(lower, raw, scale);
        if (raw) adjust(lower, z);
      }
    }
  }

  if (S || Z) {
    const int cellRow = (v == 6 && row == rows::Res300K) ? rows::Pt100 : row;
    const int first = 4 * (cellRow - 1) + 112 + (state.channelSelector != 0 ? 20 : 0);
    const CellBytes cells = dev.ReadCells(0, first, 4);
    if (state.commError) return false;
    // Default words are stored low byte first, as the switch wizard writes them.
    if (S) upper = JoinWord(cells[1], cells[0], isSigned) / Pow10(d);
    if (Z) lower = JoinWord(cells[3], cells[2], isSigned) / Pow10(d);
    if (v == 6 && row == rows::Res300K) {
      upper /= 10;
      lower /= 10;
    }
  }

  int outRow = 0;
  double outLow = 0, outHigh = 0;
  QString outUnit;
  if (SwitchOutputTable(id)) {
    outRow = (sw[c] & 224) / 32;
    const OutputRange& r = t.switchOutput[size_t(outRow)];
    outLow = r.lower;
    outHigh = r.upper;
    outUnit = r.unit;
    if (sw[c] & 16) std::swap(outLow, outHigh);  // reverse acting output
  } else {
    if (v == 2 || v == 3 || v == 6) outRow = (sw[1] & 192) / 64;
    else if (v == 7) outRow = (sw[2] & 12) / 4;
    else outRow = c == 0 ? (sw[0] & 192) / 64 : sw[1] & 3;
    const OutputRange& r = t.output[size_t(outRow)];
    outLow = r.lower;
    outHigh = r.upper;
    outUnit = r.unit;
  }

  out.inputType = static_cast<uint8_t>(row);
  out.inputDecimals = static_cast<uint8_t>(d);
  out.inputMax = upper;
  out.inputMin = lower;
  out.outputType = static_cast<uint8_t>(outRow);
  out.outputMax = outHigh;
  out.outputMin = outLow;
  out.inputUnit = Row(t, row).unit;
  out.outputUnit = outUnit;
  out.function = 0;
  out.fromSwitches = true;

  if (v == 0 || v == 7) {
    const CellBytes cells = dev.ReadCells(0, 0, 42);
    if (state.commError) return false;
    std::copy(cells.begin(), cells.begin() + 42, state.programmingBuffer.begin());
  }
  return true;
}

namespace {
QString RangeText(double lower, double upper, const QString& unit) {
  return QLatin1Char(' ') + NumToText(lower) + QChar(0x00F7) + NumToText(upper) +
         QLatin1Char(' ') + unit;
}
} // namespace

void FillChannelLabels(const DeviceIdentity& id, const RangeTables& t, ChannelSetup& ch) {
  const ChannelSettings& s = ch.settings;
  ch.inputLabel = Row(t, s.inputType).name + RangeText(s.inputMin, s.inputMax, s.inputUnit);
  const bool fromSwitchTable = s.fromSwitches && SwitchOutputTable(id);
  const QString outName = fromSwitchTable ? t.switchOutput[std::min<size_t>(s.outputType, 16)].name
                                          : t.output[s.outputType & 3].name;
  ch.outputLabel = outName + RangeText(s.outputMin, s.outputMax, s.outputUnit);
  if (StoresPairReversed(id)) {
    if (s.function == 1) ch.outputLabel += QStringLiteral(" - TANK");
    if (s.function == 2) ch.outputLabel += QStringLiteral(" - SQRT");
  }
}

// Thresholds travel as three-byte floats, good for about five significant
// digits; more would show the encoding's noise (16.7998046875 for 16.8).
static double ThresholdAsTyped(double v) {
  if (v == 0 || !std::isfinite(v)) return v;
  const int digits = 5 - static_cast<int>(std::floor(std::log10(std::fabs(v)))) - 1;
  const double scale = std::pow(10.0, digits);
  return std::round(v * scale) / scale;
}

TripLabels MakeTripLabels(const DeviceIdentity& id, const TripRecord& trip, const QString& unit) {
  TripLabels l;
  l.present = true;
  l.high = QStringLiteral("H = ") + NumToText(ThresholdAsTyped(trip.high)) + QLatin1Char(' ') + unit;
  l.low = QStringLiteral("L = ") + NumToText(ThresholdAsTyped(trip.low)) + QLatin1Char(' ') + unit;
  l.direction = trip.direction == 0 ? QStringLiteral("MAX") : QStringLiteral("MIN");
  l.delay = QStringLiteral("Delay = ") + NumToText(trip.delay) +
            (id.variant == 7 ? QStringLiteral(" s.") : QStringLiteral(" sec."));
  return l;
}

} // namespace pv
