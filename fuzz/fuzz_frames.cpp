// Measurement frames: any frame bytes for any model, decoded and turned into
// what the measurement window shows.
//
// Input: model byte (bit 7 of the next byte picks device code 11), the 15
// frame bytes as ReadMeasureFrame returns them, then each channel's setup:
// limits as raw doubles, calibration pair, decimals, function, input type.
//
// Invariants:
// - decoding reads nothing past the frame's data bytes: whatever lies
//   beyond them, the values and the status byte are the same;
// - with ordered input limits a value is never under and over range at once;
// - the display of a channel is a value or kNoValue, never an empty text;
//   a bar position is a share of the field (0..1); a channel outside the
//   run's channels is left alone.
#include "FuzzSupport.h"

#include "kernel/Catalogue.h"
#include "measure/FrameDisplay.h"

#include <cmath>

using namespace pv;
using namespace pv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const ModelRow& unit = kModels[in.byte() % kModels.size()];
  const uint8_t flags = in.byte();
  const DeviceIdentity id{static_cast<uint8_t>(flags & 128 ? 11 : 12), unit.variant, 4, 0};
  FrameBytes frame{};
  for (auto& b : frame) b = in.byte();
  frame[0] = 0;

  const int n = FrameDataLength(id);
  FrameBytes carried{};
  for (int k = 1; k <= n && k < static_cast<int>(carried.size()); ++k) carried[k] = frame[k];
  const FrameValues v = DecodeFrame(id, frame);
  const FrameValues w = DecodeFrame(id, carried);
  for (int k = 0; k < 4; ++k)
    PV_FUZZ_CHECK(SameValue(v.value[k], w.value[k]) && std::signbit(v.value[k]) == std::signbit(w.value[k]),
                  QStringLiteral("value %1 of a %2-byte frame depends on bytes past the frame").arg(k).arg(n));
  PV_FUZZ_CHECK(v.status == w.status, QStringLiteral("the status byte is read past a %1-byte frame").arg(n));

  RunSetup setup;
  setup.identity = id;
  setup.lastChannel = flags & 1;
  for (auto& ch : setup.channels) {
    ch.configured = true;
    ChannelSettings& s = ch.settings;
    // Limits and the calibration pair come from cell words and Float24
    // values: always finite, never beyond 2^130.
    auto limit = [&in] {
      const double v = in.rawDouble();
      return std::isfinite(v) && std::fabs(v) < 1e39 ? v : 0.0;
    };
    s.inputMax = limit();
    s.inputMin = limit();
    s.outputMax = limit();
    s.outputMin = limit();
    ch.p0 = limit();
    ch.p1 = limit();
    const uint8_t b = in.byte();
    s.inputDecimals = b & 3;  // the range tables go to three decimals
    s.function = (b >> 2) % 3;
    s.inputType = in.byte() % 52;
    s.inputUnit = QStringLiteral("mV");
    s.outputUnit = QStringLiteral("mA");
  }
  const DisplayFrame shown = ComputeDisplay(setup, v, 1000);
  for (int c = 0; c < 2; ++c) {
    const ChannelDisplay& d = shown.channels[c];
    if (c > setup.lastChannel) {
      PV_FUZZ_CHECK(!d.updated, QStringLiteral("channel %1 is not in the run but was updated").arg(c));
      continue;
    }
    PV_FUZZ_CHECK(d.updated, QStringLiteral("channel %1 was not updated").arg(c));
    PV_FUZZ_CHECK(!d.outputText.isEmpty() && !d.inputText.isEmpty(), QStringLiteral("an empty text"));
    if (!d.inputValid) PV_FUZZ_CHECK(d.inputText == kNoValue && !d.barValid, d.inputText);
    if (d.barValid)
      PV_FUZZ_CHECK(d.barFraction >= 0 && d.barFraction <= 1, QStringLiteral("bar at %1").arg(d.barFraction));
    // Reversed limits light both labels, as the window's rule is written.
    if (setup.channels[c].settings.inputMin <= setup.channels[c].settings.inputMax)
      PV_FUZZ_CHECK(!(d.underRange && d.overRange), QStringLiteral("under and over range at once"));
  }
  return 0;
}
