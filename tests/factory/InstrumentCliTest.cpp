// planovix-cli's instrument commands in-process against simulated
// instruments: bytes, results, manual mode and exit codes.
#include "CliBench.h"
#include "CliCore.h"
#include "factory/MemorySession.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/LentPort.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <gtest/gtest.h>

namespace pv {
namespace {

struct Cli {
  FakeClock clock;
  std::unique_ptr<MemorySerialPort> sim = std::make_unique<MemorySerialPort>();
  MemorySerialPort* port = nullptr;  // set once the tool made a port
  QString openedPath;
  qint32 baud = 0;
  QByteArray wire;
  std::function<void(const QByteArray&)> answer;
  QByteArrayList sessionMessages;
  QString sessionResource;
  std::function<void(MemorySession&, const QByteArray&)> sessionAnswer;
  InstrumentIo io;
  MemorySerialPort unitPort;  // never opened by an instrument command
  QString out, err;

  Cli() {
    sim->setPeer([this](const QByteArray& b) {
      wire += b;
      if (answer) answer(b);
    });
    io.makePort = [this] {
      port = sim.get();
      auto lent = std::make_unique<test::LentPort>(*sim);
      lent->onOpen = [this](const QString& path, qint32 speed) {
        openedPath = path;
        baud = speed;
      };
      return lent;
    };
    io.sessions = [this](const QString& resource) {
      sessionResource = resource;
      auto s = std::make_unique<MemorySession>(clock);
      s->setPeer([this, raw = s.get()](const QByteArray& m) {
        sessionMessages << m;
        if (sessionAnswer) sessionAnswer(*raw, m);
      });
      return s;
    };
  }
  int run(QStringList args, QString typed = {}) {
    out.clear();
    err.clear();
    wire.clear();
    QTextStream o(&out), e(&err), in(&typed);
    CliIo cli{unitPort, clock, in, o, e, &io};
    return RunCli(args, cli);
  }
  QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

TEST(InstrumentCli, CalibratorSetSendsTheFrameAndShowsTheAnswer) {
  Cli c;
  c.answer = [&](const QByteArray& b) { c.port->deliver(QByteArray(1, char(b[0] ^ 0x0F))); };
  ASSERT_EQ(c.run({"--calibrator", "/dev/cal", "--json", "calibrator-set", "-1"}), 0)
      << c.err.toStdString();
  EXPECT_EQ(c.wire.toHex(), QByteArray("0181ffffffff7c"));
  EXPECT_EQ(c.openedPath, "/dev/cal");
  EXPECT_EQ(c.baud, 9600);
  EXPECT_EQ(c.json()["answer"].toArray(), (QJsonArray{0xF0, 0xF0, 0xF0, 0xF0}));
  ASSERT_EQ(c.run({"--calibrator", "/dev/cal", "calibrator-function", "8", "3"}), 0);
  EXPECT_EQ(c.wire.toHex(), QByteArray("0180080300404b"));
  ASSERT_EQ(c.run({"--calibrator", "/dev/cal", "calibrator-function", "2"}), 0);
  EXPECT_EQ(c.wire.toHex(), QByteArray("01800200000002"));
}

TEST(InstrumentCli, AmbientPrintsDegrees) {
  Cli c;
  int n = 0;
  c.answer = [&](const QByteArray&) {
    // The read frame is the fifth; its D3, D4 carry 0x0929 = 2345.
    const int frame = n / 7, pos = n % 7;
    ++n;
    char b = 0;
    if (frame == 4 && pos == 4) b = 0x09;
    if (frame == 4 && pos == 5) b = 0x29;
    c.port->deliver(QByteArray(1, b));
  };
  ASSERT_EQ(c.run({"--calibrator", "/dev/cal", "ambient"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.out, "23.45\n");
  EXPECT_EQ(c.wire.size(), 6 * 7);
}

TEST(InstrumentCli, SupplyOnAndCurrent) {
  Cli c;
  qputenv("PLANOVIX_COM2", "/dev/supply");
  ASSERT_EQ(c.run({"--supply", "Usb2", "supply", "on", "24.00"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.wire, "SV 24.00\rKOE\r");
  EXPECT_EQ(c.openedPath, "/dev/supply");  // Usb2 is serial port 2 for the supply
  EXPECT_EQ(c.baud, 2400);
  c.answer = [&](const QByteArray&) { c.port->deliver("A0.1234\r"); };
  ASSERT_EQ(c.run({"--supply", "Com2", "--json", "supply-current"}), 0);
  EXPECT_EQ(c.json()["current_mA"].toDouble(), 123.0);
  qunsetenv("PLANOVIX_COM2");
}

TEST(InstrumentCli, ShortSupplyAnswerIsExitOne) {
  Cli c;
  c.answer = [&](const QByteArray&) { c.port->deliver("A0.1234"); };
  EXPECT_EQ(c.run({"--supply", "/dev/supply", "supply-current"}), 1);
  EXPECT_TRUE(c.out.isEmpty());
  EXPECT_TRUE(c.err.contains("/dev/supply")) << c.err.toStdString();
  EXPECT_EQ(c.clock.nowMs(), 1500);
}

TEST(InstrumentCli, SilentMeterGivesUpWithExitOne) {
  Cli c;
  EXPECT_EQ(c.run({"--meter", "/dev/dmm", "meter-read", "0"}), 1);
  EXPECT_TRUE(c.err.contains("Multimeter (/dev/dmm) does not answer")) << c.err.toStdString();
  EXPECT_EQ(c.wire, ":READ?\r\n");
}

TEST(InstrumentCli, MeterSetupReadAndBeep) {
  Cli c;
  ASSERT_EQ(c.run({"--meter", "/dev/dmm0", "--meter-b", "/dev/dmm1", "meter-setup", "1", "REM",
                   "CURR"}),
            0);
  EXPECT_EQ(c.openedPath, "/dev/dmm1");
  EXPECT_EQ(c.wire, ":SYST:REM\r\n:CONF:CURR:DC\r\n");
  c.answer = [&](const QByteArray&) { c.port->deliver("+1.0E+01\r\n"); };
  ASSERT_EQ(c.run({"--meter", "/dev/dmm0", "--json", "meter-read", "0"}), 0);
  EXPECT_EQ(c.json()["reading"].toDouble(), 10000.0);
  EXPECT_EQ(c.json()["meter"].toInt(), 0);
  ASSERT_EQ(c.run({"--meter", "/dev/dmm0", "meter-beep"}), 0);
  EXPECT_EQ(c.wire, "SYST:BEEP\r\n");
}

TEST(InstrumentCli, UsbMeterGoesThroughTheSession) {
  Cli c;
  qputenv("PLANOVIX_USB2", "TCPIP::dmm::SOCKET");
  c.sessionAnswer = [](MemorySession& s, const QByteArray& m) {
    if (m == "READ?") s.deliverLine("0.5");
  };
  ASSERT_EQ(c.run({"--meter", "Usb2", "meter-read", "0"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.out, "500\n");
  EXPECT_EQ(c.sessionResource, "TCPIP::dmm::SOCKET");
  EXPECT_TRUE(c.wire.isEmpty());
  qunsetenv("PLANOVIX_USB2");
}

TEST(InstrumentCli, RouteAndGenerator) {
  Cli c;
  ASSERT_EQ(c.run({"--switch", "/dev/sw", "route", "101A102C"}), 0);
  EXPECT_EQ(c.wire, "rout:open (@101)\r\nrout:close (@102)\r\n");
  qputenv("PLANOVIX_USB1", "TCPIP::gen::SOCKET");
  ASSERT_EQ(c.run({"generator-send", "FREQuency", "1000"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.sessionResource, "TCPIP::gen::SOCKET");
  EXPECT_EQ(c.sessionMessages, (QByteArrayList{"FREQuency 1000"}));
  qunsetenv("PLANOVIX_USB1");
}

TEST(InstrumentCli, ManualModeThroughTheOperator) {
  Cli c;
  ASSERT_EQ(c.run({"--supply", "Manuale", "--json", "supply", "off", "24.00"}), 0);
  EXPECT_EQ(c.json()["manual"].toString(), "Alim = False Volt = 24.00");
  EXPECT_TRUE(c.err.contains("Alim = False Volt = 24.00"));
  ASSERT_EQ(c.run({"--meter", "Manuale", "meter-read", "0"}, "1.5\n"), 0);
  EXPECT_EQ(c.out, "1500\n");
  EXPECT_TRUE(c.err.contains("Lettura Mult"));
  ASSERT_EQ(c.run({"--switch", "Manuale", "route", "113A114C"}), 0);
  EXPECT_TRUE(c.err.contains("Switch = 113A114C"));
  ASSERT_EQ(c.run({"--calibrator", "Manuale", "calibrator-set", "90000"}), 0);
  EXPECT_TRUE(c.err.contains("Cal = 90000"));
  EXPECT_EQ(c.run({"--meter", "Manuale", "meter-read", "0"}, "abc\n"), 2);
  EXPECT_EQ(c.run({"--calibrator", "Manuale", "ambient"}, ""), 1);  // nothing typed
  EXPECT_TRUE(c.err.contains("Temperatura Ambiente"));
  EXPECT_TRUE(c.err.contains("no reading"));
  EXPECT_TRUE(c.wire.isEmpty());
}

TEST(InstrumentCli, UsageErrorsTouchNoInstrument) {
  Cli c;
  EXPECT_EQ(c.run({"supply", "maybe", "24"}), 2);
  EXPECT_EQ(c.run({"supply", "on", "24,00"}), 2);
  // The supply takes 0 to 30 V.
  for (const char* volts : {"99999", "1e9", "1e30", "30.01", "-1", "nan"})
    EXPECT_EQ(c.run({"supply", "on", volts}), 2) << volts;
  EXPECT_EQ(c.run({"calibrator-set", "1.5"}), 2);
  EXPECT_EQ(c.run({"calibrator-set", "4294967296"}), 2);
  EXPECT_EQ(c.run({"calibrator-function", "8"}), 2);
  EXPECT_EQ(c.run({"calibrator-function", "6"}), 2);
  EXPECT_EQ(c.run({"meter-read", "2"}), 2);
  EXPECT_EQ(c.run({"meter-setup", "0", "REM", "OHM"}), 2);
  EXPECT_EQ(c.run({"route", "10A"}), 2);
  EXPECT_EQ(c.run({"--supply", "Com9", "supply-current"}), 2);
  EXPECT_EQ(c.run({"--calibrator", "TCPIP::x::SOCKET", "ambient"}), 2);
  EXPECT_EQ(c.run({"--supply"}), 2);
  EXPECT_EQ(c.run({"--frobnicate", "route", "101A"}), 2);
  EXPECT_EQ(c.run({"generator-send"}), 2);
  EXPECT_EQ(c.port, nullptr);
}

} // namespace
} // namespace pv
