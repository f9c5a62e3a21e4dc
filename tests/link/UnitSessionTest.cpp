// The unit session: one port number, opened by the user or borrowed by a
// window, and handed back as the user left it once no exchange runs.
#include "link/Clock.h"
#include "link/DeviceLink.h"
#include "link/MemorySerialPort.h"
#include "link/PortNames.h"
#include "link/UnitSession.h"
#include "support/ScriptedPrompter.h"
#include "text/Texts.h"

#include <gtest/gtest.h>

using namespace pv;

namespace {
struct SessionBench : ::testing::Test {
  AppState state;
  MemorySerialPort port;
  FakeClock clock;
  test::ScriptedPrompter user;
  DeviceLink link{clock, user};
  UnitSession session{port, state, link, user};
  QObject calibration, eeprom;
  int changes = 0;
  SessionBench() { QObject::connect(&session, &UnitSession::changed, [this] { ++changes; }); }
};
} // namespace

TEST_F(SessionBench, OnePortNumberThatCannotMoveWhileOpen) {
  EXPECT_EQ(session.portNumber(), 1);
  session.choosePort(3);
  EXPECT_EQ(session.portNumber(), 3);
  session.choosePort(9);  // not a port
  EXPECT_EQ(session.portNumber(), 3);
  ASSERT_TRUE(session.openByUser(nullptr));
  EXPECT_EQ(port.openedPath(), ResolveComPort(3));
  session.choosePort(5);
  EXPECT_EQ(session.portNumber(), 3);
  EXPECT_GT(changes, 0);
}

TEST_F(SessionBench, ABorrowedPortGoesBackClosedOnlyWhenTheLastWindowIsDone) {
  ASSERT_TRUE(session.borrow(&calibration));
  EXPECT_TRUE(port.isOpen());
  EXPECT_FALSE(session.userOpened());
  ASSERT_TRUE(session.borrow(&eeprom));
  session.giveBack(&calibration);
  EXPECT_TRUE(port.isOpen());  // the EEPROM window still works on it
  session.giveBack(&eeprom);
  EXPECT_FALSE(port.isOpen());
  // Giving back twice, or what was never borrowed, changes nothing.
  session.giveBack(&eeprom);
  EXPECT_FALSE(port.isOpen());
}

TEST_F(SessionBench, APortTheUserOpenedStaysOpen) {
  ASSERT_TRUE(session.openByUser(nullptr));
  ASSERT_TRUE(session.borrow(&calibration));
  session.giveBack(&calibration);
  EXPECT_TRUE(port.isOpen());
  // Opened by a window, then closed and opened again by the user: the
  // user's choice stands.
  session.closeByUser();
  ASSERT_TRUE(session.borrow(&calibration));
  session.closeByUser();
  ASSERT_TRUE(session.openByUser(nullptr));
  session.giveBack(&calibration);
  EXPECT_TRUE(port.isOpen());
}

TEST_F(SessionBench, APortHandedBackDuringAnExchangeClosesWhenItEnds) {
  ASSERT_TRUE(session.borrow(&calibration));
  bool openAtEndOfExchange = false;
  link.run(Exchange::Command, [&] {
    session.giveBack(&calibration);
    openAtEndOfExchange = port.isOpen();
  });
  EXPECT_TRUE(openAtEndOfExchange);
  EXPECT_FALSE(port.isOpen());
  // A window that borrows again before the end keeps it open.
  ASSERT_TRUE(session.borrow(&calibration));
  link.run(Exchange::Command, [&] {
    session.giveBack(&calibration);
    ASSERT_TRUE(session.borrow(&eeprom));
  });
  EXPECT_TRUE(port.isOpen());
}

TEST_F(SessionBench, ABorrowThatCannotOpenTellsTheUserWhy) {
  port.failNextOpen(OpenError::Missing);
  user.expect(Answer::Ok);
  EXPECT_FALSE(session.borrow(&calibration));
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_TRUE(user.asked()[0].text.startsWith(Tr(state, 67)));
  EXPECT_TRUE(user.asked()[0].text.contains(ResolveComPort(1)));
  EXPECT_FALSE(session.holds(&calibration));
}

TEST_F(SessionBench, TheModelShownBelongsToTheIdentityItWasNamedFor) {
  state.identity = {12, 2, 0, 0};
  session.setModelShown(QStringLiteral("KRV2212A"));
  EXPECT_TRUE(session.modelCurrent());
  state.identity = {12, 7, 0, 0};  // another window read another unit
  EXPECT_FALSE(session.modelCurrent());
  EXPECT_EQ(session.modelShown(), "KRV2212A");
  // The fingerprint slot stays empty until computed, and goes with the port.
  EXPECT_FALSE(session.fingerprint().has_value());
  ASSERT_TRUE(session.openByUser(nullptr));
  session.setFingerprint(QStringLiteral("ab12"));
  session.closeByUser();
  EXPECT_FALSE(session.fingerprint().has_value());
}
