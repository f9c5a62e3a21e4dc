// The identity checks that guard a configuration read and write.
#include "SimRig.h"

#include "link/Acceptance.h"
#include "text/Texts.h"

#include <gtest/gtest.h>

namespace pv::test {
namespace {

TEST(Acceptance, ReadOnlyFromDeviceCodeTwelve) {
  SimRig rig;
  EXPECT_TRUE(ReadAcceptance(rig.state, rig.prompter));
  rig.state.identity.deviceCode = 11;
  rig.prompter.expect(Answer::Ok);
  EXPECT_FALSE(ReadAcceptance(rig.state, rig.prompter));
  ASSERT_EQ(rig.prompter.asked().size(), 1u);
  EXPECT_EQ(rig.prompter.asked()[0].text, QStringLiteral("Device not compatible with this software version"));
  EXPECT_EQ(rig.prompter.asked()[0].icon, Icon::Critical);
}

TEST(Acceptance, WriteGoesOnForTheSameUnitIncludingCodeEleven) {
  SimRig rig;
  EXPECT_TRUE(WriteAcceptance(rig.commands));
  rig.unit.setIdentity({11, 2, 3, 0});
  rig.state.identity = {11, 2, 0, 0};
  EXPECT_TRUE(WriteAcceptance(rig.commands));
  EXPECT_EQ(rig.state.identity.hardwareRevision, 3);
  EXPECT_TRUE(rig.prompter.asked().empty());
}

TEST(Acceptance, ChangedUnitIsRefusedAndTheOldIdentityKept) {
  SimRig rig;  // the editor was filled for a KRV2212A (12/2)
  rig.unit.setModel(QStringLiteral("KRV2212B"));
  rig.prompter.expect(Answer::Ok);
  EXPECT_FALSE(WriteAcceptance(rig.commands));
  ASSERT_EQ(rig.prompter.asked().size(), 1u);
  EXPECT_EQ(rig.prompter.asked()[0].text, QStringLiteral("Device Changed"));
  EXPECT_EQ(rig.prompter.asked()[0].buttons, Buttons::Ok);
  EXPECT_EQ(rig.state.identity.variant, 2);
  EXPECT_EQ(rig.state.savedVariant, 2);
}

TEST(Acceptance, FirstWriteComparesAgainstTheStartUpIdentity) {
  SimRig rig;
  rig.state.identity = DeviceIdentity{};  // 12/0 until a read
  rig.prompter.expect(Answer::Ok);
  EXPECT_FALSE(WriteAcceptance(rig.commands));
  EXPECT_EQ(rig.state.identity.variant, 0);
}

TEST(Acceptance, UnknownDeviceCodeIsRefused) {
  SimRig rig;
  rig.unit.setIdentity({13, 2, 3, 0});
  rig.state.identity = {13, 2, 0, 0};
  rig.prompter.expect(Answer::Ok);
  EXPECT_FALSE(WriteAcceptance(rig.commands));
  EXPECT_EQ(rig.prompter.asked()[0].icon, Icon::Critical);
  // Titled with the product title, as every message box (the communication
  // window's caption is the same text).
  EXPECT_EQ(rig.prompter.asked()[0].title, ProductTitle(rig.state));
}

TEST(Acceptance, FailedIdentityReadStops) {
  SimRig rig;
  rig.port.close();
  rig.prompter.expect(Answer::Cancel);
  EXPECT_FALSE(WriteAcceptance(rig.commands));
  EXPECT_EQ(rig.prompter.asked().size(), 1u);  // only the Retry/Cancel question
}

} // namespace
} // namespace pv::test
