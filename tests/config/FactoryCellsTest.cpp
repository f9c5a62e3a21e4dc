// The factory cells a unit carries and the ones that name it, written out by
// hand from the calibration's cell list for one model of each layout.
#include "config/FactoryCells.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

namespace pv {
namespace {

std::vector<int> Range(int first, int last) {
  std::vector<int> v(static_cast<size_t>(last - first + 1));
  std::iota(v.begin(), v.end(), first);
  return v;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<int> Fingerprint(const char* model, DeviceIdentity id) {
  return FingerprintCells(*FindModel(QString::fromLatin1(model)), id);
}

TEST(FactoryCells, EveryValueOfTheCurrentFixture) {
  const auto L = CalibrationLayout::Current;
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::Gain, 0, 1)->first, 50);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::Gain, 1, 17)->first, 47);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::PtcWord, 0, 25)->first, 65);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::PtcWord, 1, 25)->first, 44);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::ZeroTrim, 0, 5)->first, 75);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::ZeroTrim, 1, 4)->first, 85);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::OutputPair, 1, 0)->first, 118);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::OutputPair, 0, 2)->count, 6);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::ColdJunction, 1, 8)->first, 8);
  EXPECT_EQ(FindFactoryCell(L, FactoryCellKind::PhysicalScale, 0, 0), nullptr);
}

TEST(FactoryCells, OlderFixtureAndPhysicalScaleLayouts) {
  EXPECT_EQ(CalibrationLayoutOf(*FindModel(u"KRV2210")), CalibrationLayout::OlderFixture);
  EXPECT_EQ(CalibrationLayoutOf(*FindModel(u"KRV2312D")), CalibrationLayout::PhysicalScale);
  EXPECT_EQ(CalibrationLayoutOf(*FindModel(u"KRV2312A")), CalibrationLayout::Current);
  const auto old = CalibrationLayout::OlderFixture;
  EXPECT_EQ(FindFactoryCell(old, FactoryCellKind::ZeroTrim, 0, 4)->first, 92);
  EXPECT_EQ(FindFactoryCell(old, FactoryCellKind::ZeroTrim, 0, 5)->first, 93);
  EXPECT_EQ(FindFactoryCell(old, FactoryCellKind::ZeroTrim, 1, 4), nullptr);
  const int physical[] = {128, 131, 134, 137, 140, 143, 146, 149};
  for (int k = 0; k < 8; ++k)
    EXPECT_EQ(FindFactoryCell(CalibrationLayout::PhysicalScale, FactoryCellKind::PhysicalScale, k < 2 || k == 4 || k == 5 ? 0 : 1, k)->first,
              physical[k]) << k;
}

TEST(FactoryCells, FingerprintCellsPerModel) {
  // One channel, no second output: A's gains, trims and outputs.
  EXPECT_EQ(Fingerprint("KRV2211A", {12, 2, 3, 0}), Join({Range(50, 70), {74, 75}, Range(100, 111)}));
  // Two channels: B's 90 mV and 200 mV gains share cells with A's trip
  // thresholds (28..33), which the user edits.
  EXPECT_EQ(Fingerprint("KRV2212A", {12, 2, 3, 0}),
            Join({Range(34, 49), Range(50, 70), {74, 75, 85, 86}, Range(100, 123)}));
  // The physical scale is the user's: the same cells as a KRV2212A.
  EXPECT_EQ(Fingerprint("KRV2312D", {12, 5, 3, 0}), Fingerprint("KRV2212A", {12, 2, 3, 0}));
  // The older fixture: its own trims, both outputs; revision 4 owns 28, 29.
  EXPECT_EQ(Fingerprint("KRV2210", {12, 0, 4, 0}), Join({Range(50, 70), {92, 93}, Range(100, 123)}));
  // A frequency input: only the output pairs.
  EXPECT_EQ(Fingerprint("KRV2220", {12, 7, 1, 0}), Range(100, 123));
  // One input, two outputs: channel A's inputs, both channels' pairs.
  EXPECT_EQ(Fingerprint("KRV2311A", {12, 2, 3, 0}), Join({Range(50, 70), {74, 75}, Range(100, 123)}));
}

TEST(FactoryCells, RangeWordsAndPairOrderOfEveryLayout) {
  for (const auto layout : {CalibrationLayout::Current, CalibrationLayout::OlderFixture,
                            CalibrationLayout::PhysicalScale, CalibrationLayout::FrequencyInput}) {
    const int layoutNo = static_cast<int>(layout);
    EXPECT_EQ(FindFactoryCell(layout, FactoryCellKind::InputRange, 0, 0)->first, 20) << layoutNo;
    EXPECT_EQ(FindFactoryCell(layout, FactoryCellKind::InputRange, 1, 0)->first, 12) << layoutNo;
    EXPECT_EQ(FindFactoryCell(layout, FactoryCellKind::OutputRange, 0, 0)->first, 24) << layoutNo;
    EXPECT_EQ(FindFactoryCell(layout, FactoryCellKind::OutputRange, 1, 0)->first, 16) << layoutNo;
    EXPECT_TRUE(FindFactoryCell(layout, FactoryCellKind::OutputRange, 1, 0)->sharedWithConfiguration);
    EXPECT_EQ(FindFactoryCell(layout, FactoryCellKind::OutputPair, 0, 2)->first, 100) << layoutNo;
    EXPECT_EQ(FindFactoryCell(layout, FactoryCellKind::OutputPair, 1, 0)->first, 118) << layoutNo;
    // KRV2210 and KRV2220 keep the value at the high DAC code first.
    const bool highFirst = layout == CalibrationLayout::OlderFixture || layout == CalibrationLayout::FrequencyInput;
    EXPECT_EQ(FindFactoryCell(layout, FactoryCellKind::OutputPair, 1, 2)->highValueFirst, highFirst) << layoutNo;
  }
  EXPECT_EQ(CalibrationLayoutOf(*FindModel(u"KRV2220")), CalibrationLayout::FrequencyInput);
  EXPECT_EQ(FindFactoryCell(CalibrationLayout::FrequencyInput, FactoryCellKind::Gain, 0, 1), nullptr);
  EXPECT_EQ(FindFactoryCell(CalibrationLayout::OlderFixture, FactoryCellKind::PtcWord, 0, 25), nullptr);
}

TEST(FactoryCells, Float24CellOrderOfTheCalibrationAndOfTheConfiguration) {
  // 10.0 = 0x41200000: S 0x41, M1 0x20, M2 0x00.
  const Float24Bytes ten{0x41, 0x20, 0x00};
  EXPECT_EQ(Float24InCells(FactoryCellKind::Gain, ten), (std::array<uint8_t, 3>{0x41, 0x20, 0x00}));
  EXPECT_EQ(Float24InCells(FactoryCellKind::OutputPair, ten), (std::array<uint8_t, 3>{0x41, 0x20, 0x00}));
  EXPECT_EQ(Float24InCells(FactoryCellKind::PhysicalScale, ten), (std::array<uint8_t, 3>{0x00, 0x20, 0x41}));
  const uint8_t signFirst[3] = {0x41, 0xA0, 0x00}, signLast[3] = {0x00, 0xA0, 0x41};  // 20.0
  EXPECT_EQ(Float24FromCells(FactoryCellKind::Gain, signFirst), 20.0);
  EXPECT_EQ(Float24FromCells(FactoryCellKind::PhysicalScale, signLast), 20.0);
}

} // namespace
} // namespace pv
