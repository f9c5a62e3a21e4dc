#include "measure/FrameDisplay.h"

#include "kernel/Catalogue.h"
#include "link/Codecs.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>

namespace pv {

bool StoresPairReversed(const DeviceIdentity& id) { return IsCode12Variant(id, 0) || IsCode12Variant(id, 7); }

int InputValueIndex(const DeviceIdentity& id, int c) {
  if (IsCode12Variant(id, 5)) return c + 2;
  if (StoresPairReversed(id)) return 3;
  return -1;
}

int StatusByteIndex(const DeviceIdentity& id) {
  return (id.variant == 0 || id.variant == 7) ? 14 : 5;
}

FrameValues DecodeFrame(const DeviceIdentity& id, const FrameBytes& frame) {
  // Only the frame's own data bytes count: a value or status byte the frame
  // does not carry decodes from zero bytes, whatever the array holds there.
  FrameBytes f{};
  const int n = std::clamp(FrameDataLength(id), 0, static_cast<int>(f.size()) - 1);
  std::copy(frame.begin() + 1, frame.begin() + 1 + n, f.begin() + 1);
  FrameValues v;
  for (int k = 0; k < 4; ++k)
    v.value[k] = DecodeShortFloat(f[3 * k + 2], f[3 * k + 3], f[3 * k + 4]);
  v.status = f[StatusByteIndex(id)];
  return v;
}

double OutputFromRaw(const DeviceIdentity& id, double raw, double p0, double p1) {
  const double t = (raw - 800.0) / 2700.0;
  return StoresPairReversed(id) ? p1 + (p0 - p1) * t : p0 + (p1 - p0) * t;
}

std::array<Colour, 3> LampsFromStatus(uint8_t s) {
  // The warning bit wins over the trip bit of the same lamp.
  auto trip = [s](int warnBit, int tripBit) {
    if (s & warnBit) return Colour::Yellow;
    return (s & tripBit) ? Colour::Red : Colour::Green;
  };
  return {trip(16, 1), trip(32, 2), (s & 4) ? Colour::Red : Colour::Green};
}

QString InputPattern(const DeviceIdentity& id, double value, int decimals) {
  if (IsCode12Variant(id, 7)) {
    const double m = std::fabs(value);
    if (m > 10000) return QStringLiteral("#0");
    if (m > 1000) return QStringLiteral("#0.0");
    if (m > 100) return QStringLiteral("#0.00");
    if (m > 10) return QStringLiteral("#0.000");
    return QStringLiteral("#0.0000");
  }
  if (decimals <= 0) return QStringLiteral("##0");
  return QStringLiteral("##0.") + QString(decimals, QLatin1Char('0'));
}

ChannelDisplay ComputeChannelDisplay(const DeviceIdentity& id, const ChannelSetup& ch,
                                     const FrameValues& v, int c) {
  const ChannelSettings& s = ch.settings;
  ChannelDisplay d;
  d.updated = true;
  d.raw = v.value[c];
  d.output = OutputFromRaw(id, d.raw, ch.p0, ch.p1);
  d.outputText = FormatNumber(d.output, QStringLiteral("#0.000")) + QLatin1Char(' ') + s.outputUnit;

  double in = 0;
  bool valid = true;
  if (const int at = InputValueIndex(id, c); at >= 0) {
    in = v.value[static_cast<size_t>(at)];
  } else if (s.outputMax == s.outputMin) {
    valid = false;  // no output span to scale back from
  } else {
    in = s.inputMin + (s.inputMax - s.inputMin) * (d.output - s.outputMin) / (s.outputMax - s.outputMin);
  }

  int decimals = s.inputDecimals;
  d.inputUnit = s.inputUnit;
  if (s.function == 1 || s.function == 2) {
    d.inputUnit = QStringLiteral("%");
    in *= 10;
    if (IsCode12Variant(id, 5)) decimals = 1;
  }
  // The 10 V and 20 mA inputs of this model arrive in thousandths.
  if (IsCode12Variant(id, 0) && (s.inputType == 4 || s.inputType == 5)) in /= 1000;
  if (!std::isfinite(in) || !std::isfinite(d.output)) valid = false;

  d.inputValid = valid;
  if (!valid) {
    d.inputText = kNoValue;
    return d;  // labels grey, bar empty
  }
  in = RoundHalfEven(in, decimals);
  d.input = in;
  d.inputText = FormatNumber(in, InputPattern(id, in, decimals)) + QLatin1Char(' ') + d.inputUnit;

  const double lower = s.inputMin, upper = s.inputMax;
  d.underRange = in < lower;
  d.overRange = in > upper;
  d.underLabel = d.underRange ? Colour::Red : Colour::Grey;
  d.overLabel = d.overRange ? Colour::Red : Colour::Grey;
  if (d.underRange) {
    d.barFraction = 0;
    d.barValid = true;
  } else if (d.overRange) {
    d.barFraction = 1;
    d.barValid = true;
  } else if (upper != lower) {
    d.barFraction = std::clamp((in - lower) / (upper - lower), 0.0, 1.0);
    d.barValid = true;
  }
  return d;
}

DisplayFrame ComputeDisplay(const RunSetup& setup, const FrameValues& v, qint64 timeMs) {
  DisplayFrame f;
  f.timeMs = timeMs;
  f.values = v;
  f.lamps = LampsFromStatus(v.status);
  const int last = std::clamp(setup.lastChannel, 0, 1);
  for (int c = 0; c <= last; ++c)
    f.channels[c] = ComputeChannelDisplay(setup.identity, setup.channels[c], v, c);
  return f;
}

MeasurePanels PanelsFor(const ModelRow& row) {
  MeasurePanels p;
  p.inputB = row.inputs == 2;
  p.outputB = row.secondOutput;
  p.tripB = row.tripB();
  return p;
}

} // namespace pv
