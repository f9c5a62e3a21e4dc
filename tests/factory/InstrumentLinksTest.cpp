// The drivers and sessions over real links: a pseudo-terminal for the serial
// instruments and a USBTMC stand-in, a TCP socket on 127.0.0.1 for the raw
// SCPI session. Real time; the simulated instruments answer at once.
#include "factory/Calibrator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/ScpiInstrument.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "link/Clock.h"
#include "link/QtSerialPort.h"
#include "support/ScriptedPrompter.h"

#include <QSocketNotifier>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace pv::test {
namespace {

// A simulated instrument on the master side of a pseudo-terminal; the
// program opens slavePath() like any serial port.
class PtyInstrument {
public:
  using Reply = std::function<QByteArray(const QByteArray& received)>;
  explicit PtyInstrument(Reply reply) : reply_(std::move(reply)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    path_ = QString::fromLocal8Bit(::ptsname(master_));
    termios t{};
    ::tcgetattr(master_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { onData(); });
  }
  ~PtyInstrument() {
    notifier_.reset();
    if (master_ >= 0) ::close(master_);
  }
  QString slavePath() const { return path_; }
  QByteArray received() const { return received_; }

private:
  void onData() {
    char buf[512];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) return;
    const QByteArray chunk(buf, n);
    received_ += chunk;
    const QByteArray out = reply_(chunk);
    if (!out.isEmpty()) (void)!::write(master_, out.constData(), out.size());
  }
  Reply reply_;
  int master_ = -1;
  QString path_;
  QByteArray received_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

struct RealRig {
  AppState state;
  SteadyClock clock;
  ScriptedPrompter prompter;
  Bench bench{state, clock, prompter};
  QtSerialPort port;
};

TEST(PtyInstruments, CalibratorFramesThroughAPseudoTerminal) {
  // The calibrator echoes each byte plus one.
  PtyInstrument sim([](const QByteArray& in) {
    QByteArray out;
    for (char c : in) out += static_cast<char>(static_cast<uint8_t>(c) + 1);
    return out;
  });
  ASSERT_FALSE(sim.slavePath().isEmpty());
  RealRig r;
  Calibrator cal(r.bench, r.port);
  cal.setSelector(sim.slavePath());
  ASSERT_TRUE(cal.SetCalibratorOutput(90000)) << cal.lastError().toStdString();
  EXPECT_EQ(sim.received().toHex(), QByteArray("018100015f9070"));
  const auto d = cal.CalibratorExchange(1, 0x01, {8, 1, 0, 0xC0});
  ASSERT_TRUE(d);
  EXPECT_EQ(*d, (CalData{9, 2, 1, 0xC1}));
}

TEST(PtyInstruments, SupplyAndMeterAndSwitchThroughAPseudoTerminal) {
  QByteArray line;
  PtyInstrument sim([&](const QByteArray& in) -> QByteArray {
    line += in;
    if (line.endsWith("A\r")) {
      line.clear();
      return "A1.2500\r";
    }
    if (line.endsWith(":READ?\r\n")) {
      line.clear();
      return "-1.000E-01\r\n";
    }
    return {};
  });
  ASSERT_FALSE(sim.slavePath().isEmpty());
  RealRig r;
  {
    PowerSupply supply(r.bench, r.port);
    supply.setSelector(sim.slavePath());
    const SupplyCurrent c = supply.ReadSupplyCurrent();
    ASSERT_EQ(c.status, SupplyCurrent::Ok) << supply.lastError().toStdString();
    EXPECT_DOUBLE_EQ(c.mA, 1250.0);
    supply.close();
  }
  {
    Multimeter dmm(r.bench, r.port, nullptr);
    dmm.setSelector(sim.slavePath());
    const auto v = dmm.ReadMultimeter();
    ASSERT_TRUE(v) << dmm.lastError().toStdString();
    EXPECT_DOUBLE_EQ(*v, -100.0);
    dmm.close();
  }
  {
    SwitchingUnit unit(r.bench, r.port);
    unit.setSelector(sim.slavePath());
    ASSERT_TRUE(unit.SetSwitches("111C"));
    r.clock.wait(200, nullptr);  // let the terminal carry the last write
  }
  EXPECT_TRUE(sim.received().endsWith("rout:close (@111)\r\n"));
}

TEST(UsbTmcStandIn, LinesOverADeviceFile) {
  PtyInstrument sim([](const QByteArray& in) -> QByteArray {
    return in == "*IDN?\n" ? QByteArray("SIM,DMM,0,1.0\r\n") : QByteArray();
  });
  ASSERT_FALSE(sim.slavePath().isEmpty());
  SteadyClock clock;
  const auto session = MakeSession(sim.slavePath(), clock);
  ASSERT_TRUE(session->open(2000)) << session->errorString().toStdString();
  ASSERT_TRUE(session->write("*IDN?"));
  const auto line = session->readLine(2000);
  ASSERT_TRUE(line) << session->errorString().toStdString();
  EXPECT_EQ(*line, "SIM,DMM,0,1.0");
}

TEST(UsbTmcStandIn, MissingFileNamesTheReason) {
  SteadyClock clock;
  const auto session = MakeSession(QStringLiteral("/dev/usbtmc-nope-77"), clock);
  EXPECT_FALSE(session->open(2000));
  EXPECT_FALSE(session->errorString().isEmpty());
}

TEST(ScpiSocket, WritesLinesAndReadsAnswers) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  QByteArray got;
  QTcpSocket* peer = nullptr;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    peer = server.nextPendingConnection();
    QObject::connect(peer, &QTcpSocket::readyRead, [&] {
      got += peer->readAll();
      if (got.endsWith("READ?\n")) peer->write("+4.00000E-03\n");
    });
  });
  SteadyClock clock;
  const auto session = MakeSession(QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET").arg(server.serverPort()), clock);
  ASSERT_TRUE(session->open(2000)) << session->errorString().toStdString();
  ASSERT_TRUE(session->write("CONF:VOLT:DC 100,0.001"));
  ASSERT_TRUE(session->write("READ?"));
  const auto line = session->readLine(2000);
  ASSERT_TRUE(line) << session->errorString().toStdString();
  EXPECT_EQ(*line, "+4.00000E-03");
  EXPECT_EQ(got, "CONF:VOLT:DC 100,0.001\nREAD?\n");
}

TEST(ScpiSocket, USBMeterOverTheSocketThroughTheDriver) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    QTcpSocket* peer = server.nextPendingConnection();
    QObject::connect(peer, &QTcpSocket::readyRead, [peer] {
      if (peer->readAll().contains("READ?")) peer->write("0.250\r\n");
    });
  });
  qputenv("PLANOVIX_USB3", QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET")
                               .arg(server.serverPort()).toLatin1());
  RealRig r;
  Multimeter dmm(r.bench, r.port, RealSessions(r.clock));
  dmm.setSelector("Usb3");
  const auto v = dmm.ReadMultimeter();
  qunsetenv("PLANOVIX_USB3");
  ASSERT_TRUE(v) << dmm.lastError().toStdString();
  EXPECT_DOUBLE_EQ(*v, 250.0);
}

TEST(ScpiSocket, AReplyWithoutEndIsBoundedNotBuffered) {
  // A peer that streams digits and never ends the line: the read fails
  // once the line passes the bound, long before the time-out, and what
  // the session holds stays small.
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  QTcpSocket* peer = nullptr;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    peer = server.nextPendingConnection();
    QObject::connect(peer, &QTcpSocket::bytesWritten, [&] {
      if (peer->bytesToWrite() < 65536) peer->write(QByteArray(65536, '7'));
    });
    peer->write(QByteArray(65536, '7'));
  });
  SteadyClock clock;
  const auto session = MakeSession(QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET").arg(server.serverPort()), clock);
  ASSERT_TRUE(session->open(2000));
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(session->readLine(10000));
  EXPECT_LT(t.elapsed(), 5000);
  EXPECT_TRUE(session->overlong());
  EXPECT_TRUE(session->errorString().contains(QString::number(kMaxReplyBytes))) << session->errorString().toStdString();
  EXPECT_FALSE(session->isOpen());
}

TEST(ScpiSocket, RefusedConnectionNamesTheResource) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  const quint16 port = server.serverPort();
  server.close();  // nobody listens there now
  RealRig r;
  Multimeter dmm(r.bench, r.port, RealSessions(r.clock));
  const QString resource = QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET").arg(port);
  dmm.setSelector(resource);
  r.prompter.expect(Answer::Ok);
  EXPECT_FALSE(dmm.MultimeterBeep());
  ASSERT_EQ(r.prompter.asked().size(), 1u);
  EXPECT_TRUE(r.prompter.asked()[0].text.contains(resource));
}

} // namespace
} // namespace pv::test
