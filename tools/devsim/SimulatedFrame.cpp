#include "SimulatedFrame.h"

#include "measure/ChannelDerivation.h"
#include "measure/FrameDisplay.h"
#include "kernel/Catalogue.h"

#include <algorithm>
#include <cmath>

namespace pv {

std::array<uint8_t, 3> ShortFloatBytes(double value) {
  if (value == 0 || !std::isfinite(value)) return {0, 0, 0};  // decodes to 2^-127
  const bool negative = value < 0;
  int exp = 0;
  double m = std::frexp(std::fabs(value), &exp);  // m in [0.5, 1)
  m *= 2;
  exp -= 1;
  long frac = std::lround((m - 1.0) * 32768.0);
  if (frac >= 32768) {
    frac = 0;
    ++exp;
  }
  const int e = std::clamp(exp + 127, 0, 255);
  const long word = frac + (negative ? 32768 : 0);
  return {uint8_t(word >> 8), uint8_t(word & 255), uint8_t(e)};
}

namespace {

// Output share of the range for an input share, after the function.
double OutputShare(const ChannelSettings& s, double f) {
  if (s.function == 2) return f <= 0 ? 0 : std::sqrt(f);  // square root
  return f;  // linear; the tank curve is the unit's business, shown linear
}

void Put(QByteArray& data, int element, std::array<uint8_t, 3> b) {
  for (int i = 0; i < 3; ++i)
    if (element + i - 1 < data.size()) data[element + i - 1] = char(b[i]);
}

} // namespace

uint8_t SimulatedStatus(const std::array<SimulatedChannel, 2>& ch,
                        const std::array<double, 2>& f) {
  uint8_t status = 0;
  for (int c = 0; c < 2; ++c) {
    const ChannelSettings& s = ch[c].settings;
    if (f[c] < -0.05 || f[c] > 1.05) status |= 4;  // beyond the over-range band
    if (!ch[c].hasTrip) continue;
    const double in = s.inputMin + (s.inputMax - s.inputMin) * f[c];
    const TripRecord& t = ch[c].trip;
    const double hi = std::max(t.high, t.low), lo = std::min(t.high, t.low);
    // Maximum trip: tripped above H, warning between L and H; minimum trip
    // mirrors it.
    const bool tripped = t.direction == 0 ? in >= hi : in <= lo;
    const bool warning = !tripped && in > lo && in < hi;
    if (tripped) status |= uint8_t(1 << c);
    else if (warning) status |= uint8_t(16 << c);
  }
  return status;
}

QByteArray EncodeSimulatedFrame(const DeviceIdentity& id,
                                const std::array<SimulatedChannel, 2>& ch,
                                const std::array<double, 2>& f) {
  QByteArray data(FrameDataLength(id), '\0');
  data[0] = 1;  // not read by the window
  const bool reversed = StoresPairReversed(id);
  for (int c = 0; c < 2; ++c) {
    const ChannelSettings& s = ch[c].settings;
    const double out = s.outputMin + (s.outputMax - s.outputMin) * OutputShare(s, f[c]);
    // Invert OutputFromRaw; a degenerate pair sits at the low count.
    const double from = reversed ? ch[c].p1 : ch[c].p0;
    const double to = reversed ? ch[c].p0 : ch[c].p1;
    const double raw = to == from ? 800 : std::round(800 + 2700 * (out - from) / (to - from));
    Put(data, 3 * c + 2, ShortFloatBytes(raw));

    double in = s.inputMin + (s.inputMax - s.inputMin) * f[c];
    // What the window multiplies back: tank and square root show tenths of
    // a percent, the 10 V and 20 mA inputs of the one-channel model arrive
    // in thousandths.
    if (s.function == 1 || s.function == 2) in = 10 * OutputShare(s, f[c]);
    if (IsCode12Variant(id, 0) && (s.inputType == 4 || s.inputType == 5))
      in *= 1000;
    if (IsCode12Variant(id, 5)) Put(data, 3 * (c + 2) + 2, ShortFloatBytes(in));
    if (reversed && c == 0) Put(data, 3 * 3 + 2, ShortFloatBytes(in));
  }
  // On the 7- and 13-byte frames the status shares byte 5 with value 1.
  const int statusAt = StatusByteIndex(id);
  if (statusAt <= data.size()) data[statusAt - 1] = char(SimulatedStatus(ch, f));
  return data;
}

std::array<SimulatedChannel, 2> SimulatedChannelsFromCells(const DeviceIdentity& id,
                                                           const RangeTables& tables,
                                                           const uint8_t* bank0) {
  std::array<SimulatedChannel, 2> out;
  for (int c = 0; c < 2; ++c) {
    SimulatedChannel& ch = out[c];
    ch.settings = ChannelFromCells(id, tables, bank0, c);
    const auto pair = CalibrationPairFromCells(bank0 + CalibrationPairAddress(c, ch.settings.outputType));
    ch.p0 = pair[0];
    ch.p1 = pair[1];
    ch.trip = TripFromCells(id, tables, bank0, c, &ch.hasTrip);
  }
  return out;
}

} // namespace pv
