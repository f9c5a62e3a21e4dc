// The factory cells a unit carries and the ones that name it, written out by
// hand from the calibration's cell list for one model of each layout.
#include "config/FactoryCells.h"

#include <gtest/gtest.h>

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
}

} // namespace
} // namespace pv
