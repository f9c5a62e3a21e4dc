#include "link/PortNames.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pv;

TEST(PortNames, NumberIsTheLastCharacter) {
  EXPECT_EQ(PortNumberFromText("COM 1"), 1);
  EXPECT_EQ(PortNumberFromText("COM 8"), 8);
  EXPECT_EQ(PortNumberFromText("COM"), 0);
  EXPECT_EQ(PortNumberFromText(""), 0);
}

TEST(PortNames, EnvironmentOverridesAndFallback) {
  qputenv("PLANOVIX_COM3", "/tmp/some-pty");
  EXPECT_EQ(ResolveComPort(3), "/tmp/some-pty");
  qunsetenv("PLANOVIX_COM3");
#ifndef Q_OS_WIN
  // With nothing present the first candidate is named, so the message says what was tried.
  qunsetenv("PLANOVIX_COM8");
  EXPECT_EQ(ComPortCandidates(8).size(), 3);
  EXPECT_TRUE(ResolveComPort(8).startsWith("/dev/tty"));
#endif
}
