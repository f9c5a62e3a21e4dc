#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "link/QtSerialPort.h"
#include "link/Transport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace pv;

namespace {
// A frame with its zero bytes: the length is the literal's, not up to the
// first zero.
template <size_t N>
QByteArray Bytes(const char (&literal)[N]) { return QByteArray(literal, N - 1); }

const QByteArray kReadCell4 = Bytes("$R\x00\x04\x00\r");
const QByteArray kVersion = Bytes("$V\0\0\0\r");

struct Bench {
  MemorySerialPort port;
  FakeClock clock;
  Transport link{port, clock};
  QByteArray written;
  std::function<void()> answer;  // what the "unit" does once a command arrived
  Bench() {
    port.open("mem");
    port.setPeer([this](const QByteArray& b) {
      written += b;
      if (answer) answer();
    });
  }
};
} // namespace

TEST(Transport, AnswerBehindStrayCharactersIsFound) {
  Bench b;
  b.answer = [&] { b.port.deliver(Bytes("xy*\x01\x02\x03\r\n")); };
  EXPECT_EQ(b.link.SendAndWait(kReadCell4, "*#####", 1), Bytes("*\x01\x02\x03\r\n"));
  EXPECT_EQ(b.written, kReadCell4);
}

TEST(Transport, WrongLineEndingTimesOutAfterOneSecond) {
  Bench b;
  b.answer = [&] { b.port.deliver("*abc\n\r"); };
  EXPECT_EQ(b.link.SendAndWait(kVersion, "*#####", 1), kTimeout);
  EXPECT_EQ(b.clock.nowMs(), 1000);
}

TEST(Transport, CrOnlyModeAcceptsFramesEndingInCr) {
  Bench b;
  b.port.deliver("A12345\r");
  EXPECT_EQ(b.link.SendAndWait("", "A######", 1, true), "A12345\r");
  b.port.deliver("A12345\n");
  EXPECT_EQ(b.link.SendAndWait("", "A######", 1, true), kTimeout);
}

TEST(Transport, NewestCompleteFrameWins) {
  Bench b;
  b.port.deliver("A11111\rA22222\rA3");
  EXPECT_EQ(b.link.SendAndWait("", "A######", 1, true), "A22222\r");
}

TEST(Transport, ClosedPortGivesErroreAtOnce) {
  Bench b;
  b.port.close();
  EXPECT_EQ(b.link.SendAndWait("PR\r", "*#", 1), kErrore);
  EXPECT_EQ(b.clock.nowMs(), 0);
}

TEST(Transport, PortErrorWhileWaitingGivesErrore) {
  Bench b;
  b.clock.schedule(300, [&] { b.port.raiseError(); });
  EXPECT_EQ(b.link.SendAndWait(kVersion, "*######", 1), kErrore);
  EXPECT_LT(b.clock.nowMs(), 1000);
}

TEST(Transport, EmptyCommandOnlyListens) {
  Bench b;
  b.clock.schedule(200, [&] { b.port.deliver(Bytes("A\x01\x02\r")); });
  EXPECT_EQ(b.link.SendAndWait("", "A###", 1, true), Bytes("A\x01\x02\r"));
  EXPECT_TRUE(b.written.isEmpty());
  EXPECT_EQ(b.clock.nowMs(), 200);
}

TEST(Transport, AnswerArrivingInPiecesIsAssembled) {
  Bench b;
  b.answer = [&] {
    b.clock.schedule(b.clock.nowMs() + 10, [&] { b.port.deliver("*ab"); });
    b.clock.schedule(b.clock.nowMs() + 20, [&] { b.port.deliver("c\r\n"); });
  };
  EXPECT_EQ(b.link.SendAndWait(kVersion, "*#####", 1), "*abc\r\n");
  EXPECT_EQ(b.written, kVersion);
}

TEST(Transport, PauseWaitsAtLeastItsTime) {
  Bench b;
  b.link.Pause(0.05);
  EXPECT_GE(b.clock.nowMs(), 50);
  b.link.Pause(0);
  EXPECT_EQ(b.clock.nowMs(), 50);
}

#ifndef Q_OS_WIN
// The real QSerialPort path against a pseudo-terminal this test opens itself.
TEST(Transport, RealPortOnPseudoTerminal) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const QString slave = QString::fromLocal8Bit(ptsname(master));
  termios tio{};
  tcgetattr(master, &tio);
  cfmakeraw(&tio);
  tcsetattr(master, TCSANOW, &tio);

  QtSerialPort port;
  SteadyClock clock;
  Transport link(port, clock);
  OpenError why = OpenError::Other;
  ASSERT_TRUE(port.open(slave, &why)) << int(why);

  // The "unit" answers once the command has arrived.
  QTimer answer;
  QByteArray got;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    char buf[64];
    ssize_t n = ::read(master, buf, sizeof buf);
    if (n > 0) got += QByteArray(buf, n);
    if (got.endsWith('\r')) {
      answer.stop();
      const QByteArray reply = Bytes("\x07*\x02\x00\x00\x0c\r\n");
      (void)::write(master, reply.constData(), static_cast<size_t>(reply.size()));
    }
  });
  fcntl(master, F_SETFL, O_NONBLOCK);
  answer.start(5);
  QByteArray reply = link.SendAndWait(kVersion, "*######", 1);
  EXPECT_EQ(reply, Bytes("*\x02\x00\x00\x0c\r\n"));
  EXPECT_EQ(got, kVersion);

  // Silence: a one-second time-out on the real clock.
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(link.SendAndWait("PR\r", "OK##", 1), kTimeout);
  EXPECT_GE(t.elapsed(), 990);
  port.close();
  ::close(master);
}

TEST(Transport, MissingDeviceIsReported) {
  QtSerialPort port;
  OpenError why = OpenError::None;
  EXPECT_FALSE(port.open("/dev/planovix-no-such-port", &why));
  EXPECT_EQ(why, OpenError::Missing);
}
#endif
