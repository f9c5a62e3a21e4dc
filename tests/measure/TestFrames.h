#pragma once
// Frames and channel set-ups for the measurement tests.
#include "measure/FrameDisplay.h"
#include "SimulatedFrame.h"

#include <initializer_list>
#include <optional>

namespace pv::test {

// A frame carrying the given values (value k at bytes 3k+2..3k+4) and, if
// given, the status byte where the identity puts it (written last: on most
// models it replaces value 1's first byte).
inline FrameBytes MakeFrame(const DeviceIdentity& id, std::initializer_list<double> values,
                            std::optional<uint8_t> status = std::nullopt) {
  FrameBytes f{};
  int k = 0;
  for (double v : values) {
    const auto b = ShortFloatBytes(v);
    for (int i = 0; i < 3; ++i) f[3 * k + 2 + i] = b[i];
    ++k;
  }
  if (status) f[StatusByteIndex(id)] = *status;
  return f;
}

// A 4-20 mA channel over the given input range, calibrated 4..20 mA.
inline ChannelSetup Channel(double inMin, double inMax, const char* unit, int decimals,
                            double outMin = 4, double outMax = 20) {
  ChannelSetup ch;
  ch.configured = true;
  ch.settings.inputMin = inMin;
  ch.settings.inputMax = inMax;
  ch.settings.inputDecimals = uint8_t(decimals);
  ch.settings.inputUnit = QString::fromUtf8(unit);
  ch.settings.outputMin = outMin;
  ch.settings.outputMax = outMax;
  ch.settings.outputType = 1;
  ch.settings.outputUnit = QStringLiteral("mA");
  ch.p0 = 4;
  ch.p1 = 20;
  return ch;
}

} // namespace pv::test
