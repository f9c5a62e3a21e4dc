// Termination signals as Qt signals: real ones raised in this process, a
// Ctrl+C handler of a command's own that SIGTERM and SIGHUP reach too, and
// the handlers put back afterwards.
#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>

namespace pv {
namespace {

volatile std::sig_atomic_t gOwnHandler = 0;
extern "C" void OwnCtrlC(int) { gOwnHandler = gOwnHandler + 1; }

TEST(TerminationSignals, RealSignalsArriveThroughTheEventLoopInOrder) {
  TerminationSignals stops;
  std::vector<int> seen;
  QObject::connect(&stops, &TerminationSignals::received, [&](int s, int count) {
    seen.push_back(s);
    EXPECT_EQ(count, static_cast<int>(seen.size()));
  });
  std::raise(SIGTERM);
  std::raise(SIGHUP);
  std::raise(SIGINT);
  EXPECT_TRUE(seen.empty());  // nothing happens inside the handler itself
  QCoreApplication::processEvents();
  stops.poll();
  EXPECT_EQ(seen, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
  EXPECT_EQ(stops.count(), 3);
  EXPECT_EQ(stops.last(), SIGINT);
  EXPECT_EQ(TerminationSignals::Name(SIGTERM), QStringLiteral("SIGTERM"));
}

TEST(TerminationSignals, ACommandsOwnCtrlCHandlerGetsSigtermAndSighupToo) {
  TerminationSignals stops;
  gOwnHandler = 0;
  auto previous = std::signal(SIGINT, OwnCtrlC);
  std::raise(SIGTERM);
  std::raise(SIGHUP);
  EXPECT_EQ(gOwnHandler, 2);
  std::signal(SIGINT, previous);
  stops.poll();
  EXPECT_EQ(stops.count(), 2);
}

TEST(TerminationSignals, TheHandlersArePutBackAfterwards) {
  auto own = std::signal(SIGTERM, OwnCtrlC);
  { TerminationSignals stops; }
  EXPECT_EQ(std::signal(SIGTERM, own), &OwnCtrlC);
  // Without installing, only deliver() counts.
  TerminationSignals quiet(false);
  quiet.deliver(SIGHUP);
  EXPECT_EQ(quiet.count(), 1);
  EXPECT_EQ(quiet.last(), SIGHUP);
}

} // namespace
} // namespace pv
