#include "TestFrames.h"
#include "kernel/Catalogue.h"
#include "measure/FrameDisplay.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace pv;
using pv::test::Channel;
using pv::test::MakeFrame;

namespace {
const DeviceIdentity kV0{12, 0, 3, 0}, kV2{12, 2, 3, 0}, kV5{12, 5, 3, 0}, kV7{12, 7, 3, 0};

double ShownOutput(const DeviceIdentity& id, double raw, double p0, double p1) {
  ChannelSetup ch = Channel(0, 100, "%", 1);
  ch.p0 = p0;
  ch.p1 = p1;
  const FrameValues v = DecodeFrame(id, MakeFrame(id, {raw}));
  return ComputeChannelDisplay(id, ch, v, 0).output;
}
} // namespace

TEST(FrameDecoding, ValuesAndStatusSitWhereTheModelPutsThem) {
  FrameBytes f{};
  // value 1 = 1.0 (H L E = 0 0 127) at bytes 5..7, value 3 = -2.0 at 11..13
  f[5] = 0, f[6] = 0, f[7] = 127;
  f[11] = 128, f[12] = 0, f[13] = 128;
  f[14] = 0x21;
  const FrameValues v0 = DecodeFrame(kV0, f);
  EXPECT_DOUBLE_EQ(v0.value[1], 1.0);
  EXPECT_DOUBLE_EQ(v0.value[3], -2.0);
  EXPECT_NEAR(v0.value[0], 0.0, 1e-30);  // zero bytes mean no value
  EXPECT_EQ(v0.status, 0x21);
  // Other models read the status from byte 5, shared with value 1's first byte.
  EXPECT_EQ(DecodeFrame(kV2, f).status, 0);
  f[5] = 0x12;
  EXPECT_EQ(DecodeFrame(kV2, f).status, 0x12);
  EXPECT_EQ(DecodeFrame(DeviceIdentity{11, 3, 0, 0}, f).status, 0x12);
}

TEST(FrameDecoding, BytesPastTheFrameAreNotRead) {
  // A 7-byte frame (variant 2): value 0 = 1.0 at bytes 2..4, status 0x11 at
  // byte 5; bytes 8..14 are left over from a longer frame.
  FrameBytes f{};
  f[2] = 0x00, f[3] = 0x00, f[4] = 0x7F, f[5] = 0x11;
  f[8] = 0x40, f[9] = 0x00, f[10] = 0x80;   // value 2 would be 3.0
  f[11] = 0x80, f[12] = 0x00, f[13] = 0x81, f[14] = 0x05;
  const FrameValues v = DecodeFrame(kV2, f);
  EXPECT_DOUBLE_EQ(v.value[0], 1.0);
  EXPECT_EQ(v.status, 0x11);
  // Values the frame does not carry decode from zero bytes: 2^-127.
  EXPECT_DOUBLE_EQ(v.value[2], std::ldexp(1.0, -127));
  EXPECT_DOUBLE_EQ(v.value[3], std::ldexp(1.0, -127));
  // Device code 11 sends 5 data bytes: a variant-0 status at byte 14 is not
  // in the frame.
  const FrameValues old = DecodeFrame(DeviceIdentity{11, 0, 0, 0}, f);
  EXPECT_DOUBLE_EQ(old.value[0], 1.0);
  EXPECT_DOUBLE_EQ(old.value[2], std::ldexp(1.0, -127));
  EXPECT_EQ(old.status, 0);
}

TEST(FrameDecoding, CalibratedCountsGiveTheCalibrationPoints) {
  // 800 and 3500 counts are the two points measured at calibration.
  EXPECT_NEAR(ShownOutput(kV2, 800, 3.98, 20.03), 3.98, 1e-9);
  EXPECT_NEAR(ShownOutput(kV2, 3500, 3.98, 20.03), 20.03, 1e-9);
  EXPECT_NEAR(ShownOutput(kV5, 800, 3.98, 20.03), 3.98, 1e-9);
  EXPECT_NEAR(ShownOutput(kV2, 2150, 4, 20), 12.0, 1e-9);
  // The one-channel and frequency models store the pair high point first.
  EXPECT_NEAR(ShownOutput(kV0, 800, 3.98, 20.03), 20.03, 1e-9);
  EXPECT_NEAR(ShownOutput(kV0, 3500, 3.98, 20.03), 3.98, 1e-9);
  EXPECT_NEAR(ShownOutput(kV7, 800, 0.01, 9.99), 9.99, 1e-9);
  EXPECT_NEAR(ShownOutput(kV7, 3500, 0.01, 9.99), 0.01, 1e-9);
  // Device code 11 shares the variant numbers but not that order.
  EXPECT_NEAR(ShownOutput(DeviceIdentity{11, 0, 0, 0}, 800, 3.98, 20.03), 3.98, 1e-9);
}

TEST(Lamps, WarningBitWinsOverTripBit) {
  using C = Colour;
  EXPECT_EQ(LampsFromStatus(17), (std::array<C, 3>{C::Yellow, C::Green, C::Green}));
  EXPECT_EQ(LampsFromStatus(1), (std::array<C, 3>{C::Red, C::Green, C::Green}));
  EXPECT_EQ(LampsFromStatus(34), (std::array<C, 3>{C::Green, C::Yellow, C::Green}));
  EXPECT_EQ(LampsFromStatus(2), (std::array<C, 3>{C::Green, C::Red, C::Green}));
  EXPECT_EQ(LampsFromStatus(4), (std::array<C, 3>{C::Green, C::Green, C::Red}));
  EXPECT_EQ(LampsFromStatus(0), (std::array<C, 3>{C::Green, C::Green, C::Green}));
  EXPECT_EQ(uint32_t(C::Red), 255u);
  EXPECT_EQ(uint32_t(C::Green), 65280u);
  EXPECT_EQ(uint32_t(C::Yellow), 65535u);
}

TEST(InputDisplay, FrequencyModelFollowsTheMagnitude) {
  ChannelSetup ch = Channel(0.1, 20000, "Hz", 1);
  auto shown = [&](double hz) {
    return ComputeChannelDisplay(kV7, ch, DecodeFrame(kV7, MakeFrame(kV7, {800, 0, 0, hz})), 0)
        .inputText;
  };
  EXPECT_EQ(shown(12345.5), "12346 Hz");   // no decimals above 10000
  EXPECT_EQ(shown(50.5), "50.500 Hz");     // three from above 10 up to 100
  EXPECT_EQ(shown(5000), "5000.0 Hz");
  EXPECT_EQ(shown(500.5), "500.50 Hz");
  EXPECT_EQ(shown(100), "100.000 Hz");     // 100 itself is "up to 100"
  EXPECT_EQ(shown(2.5), "2.5000 Hz");
}

TEST(InputDisplay, OtherModelsUseTheChannelDecimals) {
  EXPECT_EQ(InputPattern(kV2, 12.5, 0), "##0");
  EXPECT_EQ(InputPattern(kV2, 12.5, 2), "##0.00");
  ChannelSetup ch = Channel(-200, 850, "\u00b0C", 1);
  // Input computed back from the output: 12 mA is the middle of the range.
  const auto d = ComputeChannelDisplay(kV2, ch, DecodeFrame(kV2, MakeFrame(kV2, {2150})), 0);
  ASSERT_TRUE(d.inputValid);
  EXPECT_DOUBLE_EQ(d.input, 325.0);
  EXPECT_EQ(d.inputText, QString::fromUtf8("325.0 \u00b0C"));
  EXPECT_NEAR(d.barFraction, 0.5, 1e-9);
}

TEST(InputDisplay, InputOfTwoChannelScaledModelIsSentPerChannel) {
  ChannelSetup a = Channel(0, 100, "%", 1), b = Channel(0, 10, "bar", 2);
  const FrameValues v = DecodeFrame(kV5, MakeFrame(kV5, {800, 800, 42.25, 7.5}));
  EXPECT_EQ(ComputeChannelDisplay(kV5, a, v, 0).inputText, "42.2 %");  // half to even
  EXPECT_EQ(ComputeChannelDisplay(kV5, b, v, 1).inputText, "7.50 bar");
}

TEST(InputDisplay, TankAndRootShowPercentAndMilliUnitsAreScaled) {
  ChannelSetup ch = Channel(0, 10, "V", 3);
  ch.settings.function = 2;
  auto v = DecodeFrame(kV0, MakeFrame(kV0, {800, 0, 0, 5.5}));
  EXPECT_EQ(ComputeChannelDisplay(kV0, ch, v, 0).inputText, "55.000 %");
  // The one-channel model sends its 10 V and 20 mA inputs in thousandths.
  ch.settings.function = 0;
  ch.settings.inputType = 4;
  v = DecodeFrame(kV0, MakeFrame(kV0, {800, 0, 0, 7250}));
  EXPECT_EQ(ComputeChannelDisplay(kV0, ch, v, 0).inputText, "7.250 V");
}

TEST(InputDisplay, RangeLabelsAndBarOutsideTheRange) {
  ChannelSetup ch = Channel(0, 100, "%", 1);
  auto at = [&](double mA) {
    const double raw = 800 + 2700 * (mA - 4) / 16;
    return ComputeChannelDisplay(kV2, ch, DecodeFrame(kV2, MakeFrame(kV2, {raw})), 0);
  };
  const auto under = at(3.2);
  EXPECT_TRUE(under.underRange);
  EXPECT_EQ(under.underLabel, Colour::Red);
  EXPECT_EQ(under.overLabel, Colour::Grey);
  EXPECT_EQ(under.barFraction, 0.0);  // never a negative width
  const auto over = at(21);
  EXPECT_TRUE(over.overRange);
  EXPECT_EQ(over.overLabel, Colour::Red);
  EXPECT_EQ(over.underLabel, Colour::Grey);
  EXPECT_EQ(over.barFraction, 1.0);
  const auto inside = at(8);
  EXPECT_EQ(inside.underLabel, Colour::Grey);
  EXPECT_EQ(inside.overLabel, Colour::Grey);
  EXPECT_NEAR(inside.barFraction, 0.25, 1e-9);
}

TEST(InputDisplay, EqualLimitsShowPlaceholderInsteadOfDividingByZero) {
  ChannelSetup ch = Channel(0, 100, "%", 1, 12, 12);  // equal output limits
  auto d = ComputeChannelDisplay(kV2, ch, DecodeFrame(kV2, MakeFrame(kV2, {2150})), 0);
  EXPECT_FALSE(d.inputValid);
  EXPECT_EQ(d.inputText, kNoValue);
  EXPECT_EQ(d.outputText, "12.000 mA");  // the output still shows
  EXPECT_EQ(d.underLabel, Colour::Grey);
  EXPECT_EQ(d.barFraction, 0.0);

  ch = Channel(50, 50, "%", 1);  // equal input limits
  d = ComputeChannelDisplay(kV2, ch, DecodeFrame(kV2, MakeFrame(kV2, {2150})), 0);
  EXPECT_TRUE(d.inputValid);
  EXPECT_EQ(d.inputText, "50.0 %");
  EXPECT_FALSE(d.barValid);
  EXPECT_TRUE(std::isfinite(d.barFraction));
  EXPECT_EQ(d.barFraction, 0.0);
}

TEST(InputDisplay, ChannelSelectorZeroLeavesChannelBAlone) {
  RunSetup setup;
  setup.identity = kV2;
  setup.channels[0] = Channel(0, 100, "%", 1);
  setup.channels[1] = Channel(0, 10, "V", 2);
  setup.lastChannel = 0;
  const DisplayFrame f = ComputeDisplay(setup, DecodeFrame(kV2, MakeFrame(kV2, {2150, 2150})), 7);
  EXPECT_TRUE(f.channels[0].updated);
  EXPECT_FALSE(f.channels[1].updated);
  EXPECT_TRUE(f.channels[1].inputText.isEmpty());
  EXPECT_EQ(f.timeMs, 7);
  setup.lastChannel = 1;
  EXPECT_TRUE(ComputeDisplay(setup, f.values, 8).channels[1].updated);
}

TEST(MeasurePanels, SectionsFollowTheCatalogueRow) {
  // Two inputs, two outputs, two trips.
  EXPECT_EQ(PanelsFor(*FindModel(u"KRV2212A")), (MeasurePanels{true, true, true}));
  // One input and one output.
  EXPECT_EQ(PanelsFor(*FindModel(u"KRV2211A")), (MeasurePanels{false, false, false}));
  // The frequency unit: one input, an analog and a digital output, a trip on each.
  EXPECT_EQ(PanelsFor(*FindModel(u"KRV2220")), (MeasurePanels{false, true, true}));
  // One input whose second output repeats it: no channel B trip.
  EXPECT_EQ(PanelsFor(*FindModel(u"KRV2210")), (MeasurePanels{false, true, false}));
}
