// Naming the unit: variants 2..6 need cell 4 for their family.
#include "SimRig.h"
#include "link/ModelFamily.h"

#include <gtest/gtest.h>

using namespace pv;
using pv::test::ReadOf;
using pv::test::SimRig;

TEST(ModelFamily, VariantsTwoToSixReadCellFour) {
  SimRig rig("KRV2311B");  // variant 3, family bits 32
  const FamilyLookup r = LookUpModel(rig.state, rig.commands, true);
  EXPECT_TRUE(r.answered);
  EXPECT_EQ(r.modelId, "KRV2311B");
  EXPECT_EQ(rig.state.familyCell & 96, 32);
  EXPECT_EQ(rig.state.programmingBuffer[4], rig.state.familyCell);
  EXPECT_EQ(std::count_if(rig.unit.transcript().begin(), rig.unit.transcript().end(), ReadOf(4)), 1);
  EXPECT_TRUE(rig.state.modelFamily.isEmpty());  // only the KRV2211 family is remembered
}

TEST(ModelFamily, TheKrv2211FamilyIsRemembered) {
  SimRig rig("KRV2211C");  // variant 6, family bits 96
  EXPECT_EQ(LookUpModel(rig.state, rig.commands, true).modelId, "KRV2211C");
  EXPECT_EQ(rig.state.modelFamily, "KRV2211");
}

TEST(ModelFamily, OtherVariantsAskNothing) {
  for (const char* model : {"KRV2210", "KRV2220"}) {
    SimRig rig(model);
    EXPECT_EQ(LookUpModel(rig.state, rig.commands, true).modelId, model);
    EXPECT_TRUE(rig.unit.transcript().isEmpty()) << model;
  }
}

TEST(ModelFamily, WithoutAskingTheLastReadCellStandsIn) {
  SimRig rig("KRV2312A");  // variant 2
  rig.state.familyCell = 64;
  const FamilyLookup r = LookUpModel(rig.state, rig.commands, false);
  EXPECT_EQ(r.modelId, "KRV2312A");
  EXPECT_TRUE(rig.unit.transcript().isEmpty());
}

TEST(ModelFamily, AUnitThatDoesNotAnswerLeavesTheStateAsItWas) {
  SimRig rig("KRV2212B");
  rig.state.familyCell = 96;
  rig.port.setPeer({});  // nobody answers
  rig.prompter.setDefault(Answer::Cancel);
  const FamilyLookup r = LookUpModel(rig.state, rig.commands, true);
  EXPECT_FALSE(r.answered);
  EXPECT_EQ(rig.state.familyCell, 96);
}
