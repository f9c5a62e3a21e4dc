// Bit order of the banks and every layout's packing, both ways.
#include "kernel/AppState.h"
#include "switches/SwitchLayouts.h"

#include <gtest/gtest.h>

namespace pv {
namespace {

std::vector<int> OnSwitches(const SwitchBytes& b, int bank) {
  std::vector<int> on;
  for (int k = 1; k <= BankSwitchCount(bank); ++k)
    if (SwitchOn(b, bank, k)) on.push_back(k);
  return on;
}

TEST(SwitchBanks, SwitchOneIsTheLeastSignificantBit) {
  EXPECT_EQ(OnSwitches({1, 0, 0}, 0), std::vector<int>{1});
  EXPECT_EQ(OnSwitches({128, 0, 0}, 0), std::vector<int>{8});
  EXPECT_EQ(OnSwitches({0, 0x41, 0}, 1), (std::vector<int>{1, 7}));
}

TEST(SwitchBanks, ThirdBankHasFourSwitchesAndIgnoresTheHighBits) {
  EXPECT_EQ(BankSwitchCount(2), 4);
  EXPECT_TRUE(OnSwitches({0, 0, 0xF0}, 2).empty());
  EXPECT_EQ(OnSwitches({0, 0, 0xF9}, 2), (std::vector<int>{1, 4}));
  EXPECT_FALSE(SwitchOn({0, 0, 0xFF}, 2, 5));
}

TEST(SwitchLayout, ChosenFromDeviceCodeAndVariant) {
  auto l = [](int code, int variant) {
    DeviceIdentity id;
    id.deviceCode = static_cast<uint8_t>(code);
    id.variant = static_cast<uint8_t>(variant);
    return LayoutFor(id);
  };
  EXPECT_EQ(l(12, 0), SwitchLayout::Dip2210);
  EXPECT_EQ(l(12, 1), SwitchLayout::Dip2210);
  EXPECT_EQ(l(12, 6), SwitchLayout::Dip2212);
  EXPECT_EQ(l(12, 5), SwitchLayout::Dip2212c);
  EXPECT_EQ(l(12, 7), SwitchLayout::Dip2220);
  EXPECT_EQ(l(11, 7), SwitchLayout::Dip11);
  EXPECT_FALSE(l(12, 8).has_value());
}

TEST(Dip2210, PacksAllThreeBytes) {
  SwitchBytes b{0xFF, 0xFF, 0xFF};
  DisegnaDip2210_r1(b, {18, true, 1, 2, 10, 3});
  EXPECT_EQ(b, (SwitchBytes{114, 42, 3}));
  EXPECT_EQ(DecodeDip2210(b), (Dip2210Fields{18, true, 1, 2, 10, 3}));
}

TEST(Dip2210, RoundTripsEveryChoice) {
  for (int code = 0; code < 32; ++code)
    for (int opt = 0; opt < 2; ++opt)
      for (int a = 0; a < 4; ++a)
        for (int bOut = 0; bOut < 4; ++bOut)
          for (int span = 0; span < 64; ++span)
            for (int zero = 0; zero < 16; zero += 5) {
              const Dip2210Fields f{code, opt == 1, a, bOut, span, zero};
              SwitchBytes b{};
              DisegnaDip2210_r1(b, f);
              ASSERT_EQ(DecodeDip2210(b), f);
            }
}

TEST(Dip2212, ResistiveAndThermistorUnitsCountFromRow15) {
  DeviceIdentity v3{12, 3, 0, 0}, v6{12, 6, 0, 0}, v2{12, 2, 0, 0};
  EXPECT_EQ(PackInputCode(16, CodeMappingFor(v3)), 1);
  EXPECT_EQ(UnpackInputCode(1, CodeMappingFor(v3)), 16);
  EXPECT_EQ(PackInputCode(32, CodeMappingFor(v6)), 3);  // "Res300K" through row 18
  EXPECT_EQ(UnpackInputCode(3, CodeMappingFor(v6)), 32);
  EXPECT_EQ(UnpackInputCode(3, CodeMappingFor(v3)), 18);
  EXPECT_EQ(PackInputCode(8, CodeMappingFor(v2)), 8);
  // "EEPROM" stays 0 both ways on every unit.
  for (auto id : {v2, v3, v6}) {
    EXPECT_EQ(PackInputCode(0, CodeMappingFor(id)), 0);
    EXPECT_EQ(UnpackInputCode(0, CodeMappingFor(id)), 0);
  }
  // Device code 11 has no adjustment.
  EXPECT_EQ(CodeMappingFor(DeviceIdentity{11, 3, 0, 0}), CodeMapping::Plain);
}

TEST(Dip2212, PacksInputAndOutputAndKeepsSpanAndZero) {
  SwitchBytes b{0x50, 0x2A, 0x77};  // zero 5, span 42
  DisegnaDip2212(b, PackInputCode(16, CodeMapping::Minus15), 3);
  EXPECT_EQ(b, (SwitchBytes{0x51, 0xEA, 0x77}));
  const Dip2212Fields f = DecodeDip2212(b);
  EXPECT_EQ(f, (Dip2212Fields{1, 3, 42, 5}));
  EXPECT_EQ(UnpackInputCode(f.packedCode, CodeMapping::Minus15), 16);
}

TEST(Dip2212, RoundTripsEveryRowTheMappingCanHold) {
  for (auto m : {CodeMapping::Plain, CodeMapping::Minus15, CodeMapping::Minus15Res300K}) {
    for (int row = 0; row <= 33; ++row) {
      const int packed = PackInputCode(row, m);
      ASSERT_GE(packed, 0);
      ASSERT_LT(packed, 16);
      const bool holds = m == CodeMapping::Plain ? row < 16
                         : row == 0 ? true
                         : m == CodeMapping::Minus15Res300K && row == 18 ? false  // code 3 is Res300K
                         : m == CodeMapping::Minus15Res300K && row == 32 ? true
                                                                         : row >= 16 && row <= 30;
      if (holds) {
        ASSERT_EQ(UnpackInputCode(packed, m), row) << "row " << row;
      }
    }
    for (int out = 0; out < 4; ++out)
      for (int span = 0; span < 64; ++span)
        for (int zero = 0; zero < 16; ++zero) {
          SwitchBytes b{};
          ApplySpanIndex(b, SwitchLayout::Dip2212, span);
          ApplyZeroIndex(b, SwitchLayout::Dip2212, zero);
          DisegnaDip2212(b, 9, out);
          ASSERT_EQ(DecodeDip2212(b), (Dip2212Fields{9, out, span, zero}));
        }
  }
}

TEST(Dip2212c, RoundTripsBothChannels) {
  for (int in = 0; in < 16; ++in)
    for (int opt = 0; opt < 2; ++opt)
      for (int out = 0; out < 8; ++out) {
        const ChannelDip a{in, opt == 1, out}, b{15 - in, opt == 0, 7 - out};
        SwitchBytes bytes{0, 0, 0xAB};
        DisegnaDip2212_c(bytes, a, b);
        ASSERT_EQ(bytes[2], 0xAB);
        const auto d = DecodeDip2212c(bytes);
        ASSERT_EQ(d[0], a);
        ASSERT_EQ(d[1], b);
      }
  // An out-of-field position cannot reach the option bit.
  SwitchBytes bytes{};
  DisegnaDip2212_c(bytes, {16, false, 0}, {0, false, 0});
  EXPECT_FALSE(DecodeDip2212c(bytes)[0].option);
}

TEST(Dip2220, SpanAndMultiplierShareTheSecondByte) {
  SwitchBytes b{0xFF, 0, 0};
  DisegnaDip2220(b, {2, 1, 63, 0}, false);
  EXPECT_EQ(b, (SwitchBytes{0, 63, 2 + 4}));
  DisegnaDip2220(b, {3, 3, 1, 2}, true);
  EXPECT_EQ(b[1], 1 + 128);
  EXPECT_EQ(b[0], b[2]);  // the demonstration shows the sensor bank twice
  for (int in = 0; in < 4; ++in)
    for (int out = 0; out < 4; ++out)
      for (int span = 0; span < 64; ++span)
        for (int m = 0; m < 4; ++m) {
          const Dip2220Fields f{in, out, span, m};
          SwitchBytes x{};
          DisegnaDip2220(x, f, false);
          ASSERT_EQ(DecodeDip2220(x), f);
        }
}

TEST(Dip11, ReplacesInputOnlyWhenOneIsChosen) {
  SwitchBytes b{0x1F, 0x5A, 0};
  DisegnaDip(b, std::nullopt, 2, true);
  EXPECT_EQ(b[0], 0x1F | 0x40 | 0x80);
  DisegnaDip(b, 7, 0, false);
  EXPECT_EQ(b[0], 7);
  EXPECT_EQ(b[1], 0x5A);
  const Dip11Fields f = DecodeDip11({0xE7, 0x5A, 0});
  EXPECT_EQ(f, (Dip11Fields{7, 3, true, 10, 5}));
  for (int code = 0; code < 32; ++code)
    for (int out = 0; out < 4; ++out)
      for (int opt = 0; opt < 2; ++opt) {
        SwitchBytes x{};
        DisegnaDip(x, code, out, opt == 1);
        const Dip11Fields d = DecodeDip11(x);
        ASSERT_EQ(d.inputCode, code);
        ASSERT_EQ(d.output, out);
        ASSERT_EQ(d.option, opt == 1);
      }
}

TEST(ListClicks, ReplaceOnlyTheirOwnField) {
  SwitchBytes b{};
  DisegnaDip2210_r1(b, {18, true, 1, 2, 10, 3});
  ApplySpanIndex(b, SwitchLayout::Dip2210, 63);
  ApplyZeroIndex(b, SwitchLayout::Dip2210, 15);
  EXPECT_EQ(DecodeDip2210(b), (Dip2210Fields{18, true, 1, 2, 63, 15}));

  SwitchBytes c{0x0F, 0xC0, 0};
  ApplySpanIndex(c, SwitchLayout::Dip2212, 5);
  ApplyZeroIndex(c, SwitchLayout::Dip2212, 2);
  EXPECT_EQ(c, (SwitchBytes{0x2F, 0xC5, 0}));

  SwitchBytes d{0, 0xA5, 0};
  ApplySpanIndex(d, SwitchLayout::Dip11, 3);
  EXPECT_EQ(DecodeSpanZero(d, SwitchLayout::Dip11).span, 3);
  EXPECT_EQ(DecodeSpanZero(d, SwitchLayout::Dip11).zero, 10);
}

} // namespace
} // namespace pv
