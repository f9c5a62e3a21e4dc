// The program on a termination signal (a session logout's SIGTERM, a closed
// terminal's SIGHUP): it does what Exit does. Delivered at a chosen moment
// on the simulated clock, inside the exchange's wait, as a real signal's
// notifier would fire.
#include "SimulatedProgram.h"
#include "app/TerminationSignals.h"
#include "app/ui/ExitOnSignals.h"
#include "app/ui/MainFrame.h"
#include "measure/MeasurementRun.h"

#include <QLineEdit>
#include <QPushButton>
#include <csignal>
#include <gtest/gtest.h>

using namespace pv;

namespace {

struct Termination : pv::test::SimulatedProgram {
  TerminationSignals stops{false};
  void startOpen() {
    start("KRV2212A");
    ExitOnSignals(stops, *program);
    openPort();
  }
};

TEST_F(Termination, SigtermDuringAMeasurementStopsItThenLeaves) {
  startOpen();
  int frames = 0;
  QObject::connect(&program->measurement(), &MeasurementRun::frameShown, [&] {
    if (++frames == 3) at(10, [&] { stops.deliver(SIGTERM); });
    // A program that did not leave would measure for ever: stopped here,
    // and the test fails below.
    if (frames == 50) program->StartStop();
  });
  program->StartStop();
  EXPECT_LT(frames, 50);
  EXPECT_EQ(unit.transcript().last(), QByteArray("SM\r"));
  EXPECT_FALSE(unit.streaming());
  EXPECT_FALSE(port.isOpen());
  EXPECT_TRUE(program->state().exitFlag);
  EXPECT_FALSE(program->frame()->isVisible());
}

TEST_F(Termination, SighupDuringAWriteLetsItFinishAndBeReadBackThenLeaves) {
  startOpen();
  auto* max = program->frame()->findChild<QLineEdit*>("txt_Input_max_0");
  max->setText(" 800");
  emit max->textEdited(" 800");
  bool sent = false;
  unit.setCommandObserver([&](const QByteArray& c) {
    if (!sent && c.startsWith("$W")) {
      sent = true;
      at(1, [&] { stops.deliver(SIGHUP); });
    }
  });
  program->Write();
  ASSERT_TRUE(sent);
  // The write went whole and was read back before the program left.
  EXPECT_EQ(max->text().trimmed(), QStringLiteral("800"));
  int readsAfterWrite = 0;
  bool written = false;
  for (const QByteArray& c : unit.transcript()) {
    written = written || c.startsWith("$W");
    if (written && c.startsWith("$R")) ++readsAfterWrite;
  }
  EXPECT_GE(readsAfterWrite, 65);
  EXPECT_FALSE(unit.programming());
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(program->frame()->isVisible());
}

} // namespace
