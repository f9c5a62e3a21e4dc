// The instruments' bytes, written out by hand, and the selector rules.
#include "factory/Calibrator.h"
#include "factory/InstrumentPort.h"
#include "factory/ScpiSocketSession.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"
#include "link/PortNames.h"

#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>

namespace pv {
namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

struct FrameCase {
  uint8_t command;
  CalData data;
  const char* hex;
};

TEST(CalibratorFrameBytes, FramesCarryAddressCommandDataAndA7BitChecksum) {
  const FrameCase cases[] = {
      {0x81, {0xFF, 0xFF, 0xFF, 0xFF}, "0181ffffffff7c"},  // -1: 4 x 255 = 1020, & 127 = 124
      {0x81, {0x00, 0x01, 0x5F, 0x90}, "0181""00015f90""70"},  // 90000: 1 + 95 + 144 = 240 -> 112
      {0x80, {8, 1, 0, 0xC0}, "0180080100c049"},        // 8 + 1 + 192 = 201 -> 73
      {0x82, {0, 0, 0, 0}, "01820000000000"},
      {0x01, {8, 1, 0, 0xC0}, "0101080100c049"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CalibratorFrame(1, c.command, c.data).toHex(), QByteArray(c.hex)) << c.hex;
}

TEST(CalibratorFrameBytes, OutputValuesAreTwosComplementMostSignificantFirst) {
  EXPECT_EQ(CalibratorValueBytes(-1), (CalData{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(CalibratorValueBytes(90000), (CalData{0x00, 0x01, 0x5F, 0x90}));
  EXPECT_EQ(CalibratorValueBytes(-90000), (CalData{0xFF, 0xFE, 0xA0, 0x70}));
  EXPECT_EQ(CalibratorValueBytes(0), (CalData{0, 0, 0, 0}));
  EXPECT_EQ(CalibratorValueBytes(2147483647), (CalData{0x7F, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(CalibratorValueBytes(-2147483648LL), (CalData{0x80, 0, 0, 0}));
  EXPECT_FALSE(CalibratorValueBytes(-2147483649LL));
  EXPECT_FALSE(CalibratorValueBytes(4294967296LL));
}

TEST(CalibratorFrameBytes, FunctionSelection) {
  EXPECT_EQ(CalibratorFunctionBytes(3, 0), (CalData{3, 0, 0, 0}));
  EXPECT_EQ(CalibratorFunctionBytes(8, 5), (CalData{8, 5, 0, 64}));
  EXPECT_EQ(CalibratorFunctionBytes(9, 2), (CalData{9, 2, 0, 64}));
  EXPECT_FALSE(CalibratorFunctionBytes(6, 0));
  EXPECT_FALSE(CalibratorFunctionBytes(-1, 0));
  EXPECT_FALSE(CalibratorFunctionBytes(8, 256));
}

TEST(SwitchRouteCommands, EachActionIsOneRouteCommand) {
  EXPECT_EQ(SwitchCommands(QStringLiteral("101A102C")),
            (QByteArrayList{Hex("726f75743a6f70656e20284031303129"),      // rout:open (@101)
                            Hex("726f75743a636c6f736520284031303229")}));  // rout:close (@102)
  const QByteArrayList four = SwitchCommands(QStringLiteral("109A110A111C112C"));
  EXPECT_EQ(four, (QByteArrayList{"rout:open (@109)", "rout:open (@110)", "rout:close (@111)", "rout:close (@112)"}));
  EXPECT_TRUE(SwitchCommands(QStringLiteral("101")).isEmpty());
  // A letter too near the start takes what there is, and never reads before it.
  EXPECT_EQ(SwitchCommands(QStringLiteral("1C")), (QByteArrayList{"rout:close (@1)"}));
  EXPECT_TRUE(IsWellFormedSwitchPattern(QStringLiteral("103C104C105A106C107A113C114A")));
  EXPECT_FALSE(IsWellFormedSwitchPattern(QStringLiteral("10A")));
  EXPECT_FALSE(IsWellFormedSwitchPattern(QStringLiteral("101B")));
  EXPECT_FALSE(IsWellFormedSwitchPattern(QString()));
}

TEST(SupplyCommandBytes, TextCommandsEndInCarriageReturn) {
  EXPECT_EQ(SupplyVoltageCommand(QStringLiteral("24.00")), Hex("53562032342e30300d"));
  EXPECT_EQ(SupplyOutputCommand(true), Hex("4b4f450d"));
  EXPECT_EQ(SupplyOutputCommand(false), Hex("4b4f440d"));
  EXPECT_EQ(kSupplyCurrentQuery, Hex("410d"));
}

TEST(MeterCommandLines, SerialAndSessionSetUp) {
  EXPECT_EQ(MeterSerialSetup(true, MeterFunction::Volt),
            (QByteArrayList{":SYST:REM", ":CONF:VOLT:DC"}));
  EXPECT_EQ(MeterSerialSetup(true, MeterFunction::Curr),
            (QByteArrayList{":SYST:REM", ":CONF:CURR:DC"}));
  EXPECT_EQ(MeterSerialSetup(false, MeterFunction::Curr), (QByteArrayList{":SYST:LOC"}));
  EXPECT_EQ(MeterSessionSetup(MeterFunction::Volt),
            (QByteArrayList{"CONF:VOLT:DC 100,0.001", "SENS:VOLT:DC:NPLC 1"}));
  EXPECT_EQ(MeterSessionSetup(MeterFunction::Curr),
            (QByteArrayList{"CONF:CURR:DC .1,0.001", "SENS:CURR:DC:NPLC 1"}));
}

TEST(InstrumentSelectors, ListAndManualRules) {
  const QStringList entries = InstrumentSelectorEntries();
  ASSERT_EQ(entries.size(), 13);
  EXPECT_EQ(entries.front(), "Com1");
  EXPECT_EQ(entries[7], "Com8");
  EXPECT_EQ(entries[8], "Usb1");
  EXPECT_EQ(entries[11], "Usb4");
  EXPECT_EQ(entries.back(), "Manuale");

  EXPECT_EQ(ParseSerialInstrumentPort("Manuale").kind, PortKind::Manual);
  // Only the whole word is manual for these instruments.
  EXPECT_EQ(ParseSerialInstrumentPort("Manual").kind, PortKind::Invalid);
  EXPECT_EQ(ParseSerialInstrumentPort("Com9").kind, PortKind::Invalid);
  // The multimeter looks at three letters.
  EXPECT_EQ(ParseMultimeterPort("Manuale").kind, PortKind::Manual);
  EXPECT_EQ(ParseMultimeterPort("Man").kind, PortKind::Manual);
  EXPECT_EQ(ParseMultimeterPort("Mxx").kind, PortKind::Invalid);
}

TEST(InstrumentSelectors, Usb2IsUsbForTheMeterAndSerialPort2ForTheSupply) {
  qputenv("PLANOVIX_COM2", "/dev/pts/42");
  qunsetenv("PLANOVIX_USB2");
  const InstrumentPort supply = ParseSerialInstrumentPort("Usb2");
  EXPECT_EQ(supply.kind, PortKind::Serial);
  EXPECT_EQ(supply.number, 2);
  EXPECT_EQ(supply.target, "/dev/pts/42");
  const InstrumentPort meter = ParseMultimeterPort("Usb2");
  EXPECT_EQ(meter.kind, PortKind::Session);
  EXPECT_EQ(meter.target, "/dev/usbtmc1");
  const InstrumentPort com = ParseMultimeterPort("Com6");
  EXPECT_EQ(com.kind, PortKind::Serial);
  EXPECT_EQ(com.target, ResolveComPort(6));
  qunsetenv("PLANOVIX_COM2");
}

TEST(InstrumentSelectors, UsbNamesResolveEnvironmentFirstThenUsbtmc) {
  qunsetenv("PLANOVIX_USB1");
  qunsetenv("PLANOVIX_USB4");
  EXPECT_EQ(ResolveUsbResource("UsbDevice1"), "/dev/usbtmc0");
  EXPECT_EQ(ResolveUsbResource("Usb4"), "/dev/usbtmc3");
  qputenv("PLANOVIX_USB1", "TCPIP::127.0.0.1::5025::SOCKET");
  EXPECT_EQ(ResolveUsbResource("UsbDevice1"), "TCPIP::127.0.0.1::5025::SOCKET");
  EXPECT_EQ(ResolveUsbResource("Usb1"), "TCPIP::127.0.0.1::5025::SOCKET");
  qunsetenv("PLANOVIX_USB1");
  EXPECT_EQ(ResolveUsbResource("Usb5"), QString());
  EXPECT_EQ(ResolveUsbResource("Com1"), QString());
  EXPECT_EQ(ParseGeneratorPort("UsbDevice1").target, "/dev/usbtmc0");
  EXPECT_EQ(ParseGeneratorPort("TCPIP::gen::SOCKET").kind, PortKind::Session);
}

TEST(InstrumentSelectors, SocketResources) {
  QString host;
  quint16 port = 0;
  ASSERT_TRUE(ParseSocketResource("TCPIP::10.0.0.5::5025::SOCKET", &host, &port));
  EXPECT_EQ(host, "10.0.0.5");
  EXPECT_EQ(port, 5025);
  ASSERT_TRUE(ParseSocketResource("TCPIP0::bench-dmm::6000::SOCKET", &host, &port));
  EXPECT_EQ(host, "bench-dmm");
  EXPECT_EQ(port, 6000);
  ASSERT_TRUE(ParseSocketResource("TCPIP::dmm::SOCKET", &host, &port));
  EXPECT_EQ(port, 5025);
  EXPECT_FALSE(ParseSocketResource("TCPIP::dmm::INSTR", nullptr, nullptr));
  EXPECT_FALSE(ParseSocketResource("TCPIP::dmm::70000::SOCKET", nullptr, nullptr));
  EXPECT_FALSE(ParseSocketResource("USB0::0x0957::0x0607::MY1::INSTR", nullptr, nullptr));
}

TEST(ReplyNumbers, NotANumberIsNotZero) {
  EXPECT_EQ(ParseReplyNumber("+1.23450000E+00\r\n"), 1.2345);
  EXPECT_EQ(ParseReplyNumber("-0.5"), -0.5);
  EXPECT_EQ(ParseReplyNumber(" 42 "), 42.0);
  EXPECT_EQ(ParseReplyNumber(".1"), 0.1);
  EXPECT_FALSE(ParseReplyNumber(""));
  EXPECT_FALSE(ParseReplyNumber("abc"));
  EXPECT_FALSE(ParseReplyNumber("12abc"));
  EXPECT_FALSE(ParseReplyNumber("1,5"));
  EXPECT_FALSE(ParseReplyNumber("++1"));
  EXPECT_FALSE(ParseReplyNumber(" +-5"));  // two signs
  EXPECT_FALSE(ParseReplyNumber("nan"));
  EXPECT_FALSE(ParseReplyNumber("1.0 2.0"));
}

TEST(ReplyNumbers, ItalianLocaleChangesNothing) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
  const std::string savedC = std::setlocale(LC_ALL, nullptr);
  // The C library's Italian locale may be missing here; Qt's default is set.
  std::setlocale(LC_ALL, "it_IT.UTF-8");
  EXPECT_EQ(ParseReplyNumber("1.5"), 1.5);
  EXPECT_EQ(ParseReplyNumber("-2.5E-03"), -0.0025);
  EXPECT_FALSE(ParseReplyNumber("1,5"));
  std::setlocale(LC_ALL, savedC.c_str());
  QLocale::setDefault(saved);
}

} // namespace
} // namespace pv
