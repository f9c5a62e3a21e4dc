#include "TestFrames.h"
#include "link/Codecs.h"
#include "measure/FrameDisplay.h"
#include "SimulatedFrame.h"

#include <gtest/gtest.h>

using namespace pv;
using pv::test::Channel;

namespace {
FrameBytes AsFrame(const QByteArray& data) {
  FrameBytes f{};
  for (int i = 0; i < data.size() && i < 14; ++i) f[i + 1] = uint8_t(data[i]);
  return f;
}
SimulatedChannel Sim(const ChannelSetup& ch) {
  SimulatedChannel s;
  s.settings = ch.settings;
  s.p0 = ch.p0;
  s.p1 = ch.p1;
  return s;
}
} // namespace

TEST(SimulatedFrame, WindowShowsTheSimulatedInputOnEveryFrameLayout) {
  for (DeviceIdentity id : {DeviceIdentity{12, 2, 3, 0}, DeviceIdentity{12, 0, 3, 0},
                            DeviceIdentity{12, 5, 3, 0}, DeviceIdentity{12, 7, 0, 0},
                            DeviceIdentity{11, 3, 0, 0}}) {
    RunSetup setup;
    setup.identity = id;
    setup.lastChannel = 0;
    setup.channels[0] = Channel(-200, 800, "\u00b0C", 1);
    setup.channels[0].p0 = 3.9;  // a real unit's pair is never exact
    setup.channels[0].p1 = 20.1;
    const QByteArray data =
        EncodeSimulatedFrame(id, {Sim(setup.channels[0]), Sim(setup.channels[1])}, {0.25, 0});
    EXPECT_EQ(data.size(), id.deviceCode == 11 ? 5 : id.variant == 5 ? 13 : id.variant % 7 == 0 ? 14 : 7);
    const DisplayFrame f = ComputeDisplay(setup, DecodeFrame(id, AsFrame(data)), 0);
    EXPECT_NEAR(f.channels[0].output, 8.0, 0.01) << int(id.variant);
    EXPECT_NEAR(f.channels[0].input, 50.0, 0.5) << int(id.variant);
    EXPECT_NEAR(f.channels[0].barFraction, 0.25, 0.001) << int(id.variant);
  }
}

TEST(SimulatedFrame, TripsLightWhenTheInputCrossesTheThresholds) {
  const DeviceIdentity id{12, 0, 3, 0};
  std::array<SimulatedChannel, 2> ch{Sim(Channel(0, 100, "%", 1)), Sim(Channel(0, 100, "%", 1))};
  ch[0].hasTrip = true;
  ch[0].trip = {0, 80, 70, 0};  // maximum trip at 80 %, released below 70 %
  auto lamps = [&](double f) { return LampsFromStatus(DecodeFrame(id, AsFrame(EncodeSimulatedFrame(id, ch, {f, 0.5}))).status); };
  EXPECT_EQ(lamps(0.5)[0], Colour::Green);
  EXPECT_EQ(lamps(0.75)[0], Colour::Yellow);
  EXPECT_EQ(lamps(0.85)[0], Colour::Red);
  EXPECT_EQ(lamps(0.85)[1], Colour::Green);  // channel B carries no trip
  EXPECT_EQ(lamps(1.2)[2], Colour::Red);     // out of range: alarm
  ch[0].trip.direction = 1;                 // minimum trip
  EXPECT_EQ(lamps(0.6)[0], Colour::Red);
  EXPECT_EQ(lamps(0.9)[0], Colour::Green);
}

TEST(SimulatedFrame, ChannelsFromCellsFollowTheStoredConfiguration) {
  std::array<uint8_t, 256> m{};
  m[0] = rows::Pt100;
  m[4] = 1;
  const WordBytes hi = SplitWord(1500), lo = SplitWord(-500);
  m[20] = hi.lo, m[21] = hi.hi, m[22] = lo.lo, m[23] = lo.hi;
  const WordBytes o1 = SplitWord(20000), o0 = SplitWord(4000);
  m[24] = o1.lo, m[25] = o1.hi, m[26] = o0.lo, m[27] = o0.hi;
  const Float24Bytes a = EncodeFloat24(4.0), b = EncodeFloat24(20.0);
  m[106] = a.s, m[107] = a.m1, m[108] = a.m2, m[109] = b.s, m[110] = b.m1, m[111] = b.m2;
  const Float24Bytes t = EncodeFloat24(120.0);
  m[28] = t.m2, m[29] = t.m1, m[30] = t.s;  // trip high, lowest cell first
  const RangeTables tables;
  const auto ch = SimulatedChannelsFromCells({12, 2, 3, 0}, tables, m.data());
  EXPECT_DOUBLE_EQ(ch[0].settings.inputMax, 150.0);
  EXPECT_DOUBLE_EQ(ch[0].settings.inputMin, -50.0);
  EXPECT_DOUBLE_EQ(ch[0].p1, 20.0);
  EXPECT_TRUE(ch[0].hasTrip);
  EXPECT_NEAR(ch[0].trip.high, 120.0, 1e-3);
  EXPECT_FALSE(ch[1].hasTrip);
}
