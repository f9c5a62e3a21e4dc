// How an identity names a model, and the rows every subsystem reads.
#include "kernel/Catalogue.h"

#include <gtest/gtest.h>

namespace pv {
namespace {

TEST(IdentifyModel, EveryVariantAndFamily) {
  struct Case {
    uint8_t variant, cell4;
    const char* id;
  };
  const Case cases[] = {
      {0, 0, "KRV2210"},   {0, 96, "KRV2210"},   {1, 64, "KRV2210"},   {7, 32, "KRV2220"},
      {2, 0, "KRV2212A"},  {2, 32, "KRV2311A"},  {2, 64, "KRV2312A"},  {2, 96, "KRV2211A"},
      {3, 0, "KRV2212B"},  {3, 32, "KRV2311B"},  {3, 64, "KRV2312B"},  {3, 96, "KRV2211B"},
      {4, 0, "KRV2212D"},  {4, 32, "KRV2311D"},  {4, 64, "KRV2312D"},  {4, 96, "KRV2211D"},
      {6, 0, "KRV2212C"},  {6, 32, "KRV2311C"},  {6, 64, "KRV2312C"},  {6, 96, "KRV2211C"},
      {5, 0, "KRV2312D"},  {5, 32, "KRV2312D"},  {5, 96, "KRV2312D"},
      // Only bits 5 and 6 of cell 4 name the family.
      {2, 0x9F, "KRV2212A"}, {6, 0x3F, "KRV2311C"},
  };
  for (const Case& c : cases) {
    const QString id = IdentifyModel(c.variant, c.cell4);
    EXPECT_EQ(id, QLatin1String(c.id)) << int(c.variant) << "/" << int(c.cell4);
    EXPECT_GE(CatalogueIndex(id), 0);
  }
}

TEST(IdentifyModel, UnknownVariantNamesNoCatalogueModel) {
  const QString id = IdentifyModel(8, 32);
  EXPECT_EQ(id, QStringLiteral("KRV2311"));
  EXPECT_EQ(CatalogueIndex(id), -1);
}

TEST(CatalogueRows, VariantFactsTheLinkAndTheWindowsRead) {
  // Measurement frame data bytes: 14 on variants 0 and 7, 13 on 5, else 7;
  // 5 for every variant of device code 11.
  EXPECT_EQ(FrameDataLength({12, 0, 0, 0}), 14);
  EXPECT_EQ(FrameDataLength({12, 7, 0, 0}), 14);
  EXPECT_EQ(FrameDataLength({12, 5, 0, 0}), 13);
  EXPECT_EQ(FrameDataLength({12, 3, 0, 0}), 7);
  EXPECT_EQ(FrameDataLength({11, 0, 0, 0}), 5);
  // "$D" answers four bytes on variant 7, and on variant 0 with code 12.
  EXPECT_TRUE(LongSwitchAnswer({12, 0, 0, 0}));
  EXPECT_FALSE(LongSwitchAnswer({11, 0, 0, 0}));
  EXPECT_TRUE(LongSwitchAnswer({11, 7, 0, 0}));
  EXPECT_FALSE(LongSwitchAnswer({12, 2, 0, 0}));
  // Both channels carry a trip only on code 12, variant 7.
  EXPECT_EQ(TripChannels({12, 7, 0, 0}), 2);
  EXPECT_EQ(TripChannels({11, 7, 0, 0}), 1);
  EXPECT_EQ(TripChannels({12, 2, 0, 0}), 1);
  EXPECT_EQ(kVariants[4].spanPoints, 16);
  EXPECT_EQ(kVariants[7].zeroPoints, 1);
}

TEST(CatalogueRows, TripLampsAndChannelsPerModel) {
  EXPECT_TRUE(FindModel(u"KRV2220")->tripB());   // channel B's trip on the frequency unit
  EXPECT_TRUE(FindModel(u"krv2212d")->tripB());  // a second input
  EXPECT_FALSE(FindModel(u"KRV2211A")->tripB());
  EXPECT_FALSE(FindModel(u"KRV2211C")->secondOutput);
  // One input and two outputs: the calibration bench calibrates channel B's.
  EXPECT_TRUE(FindModel(u"KRV2311C")->secondOutput);
  EXPECT_FALSE(FindModel(u"KRV2311C")->tripB());
  EXPECT_TRUE(FindModel(u"KRV2210")->secondOutput);
  EXPECT_EQ(FindModel(u"KRV2999"), nullptr);
  // Every row names itself back through the identity predicate.
  for (const ModelRow& m : kModels) {
    const ModelRow* again = ModelOf(m.variant, m.family);
    ASSERT_NE(again, nullptr) << m.id;
    EXPECT_STREQ(again->id, m.id);
  }
}

} // namespace
} // namespace pv
