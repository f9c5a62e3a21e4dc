// The bench executable: every instrument through its real pseudo-terminal
// or loopback socket, then the transcripts and the state file it leaves.
// Reads are bounded (a few seconds at most) and assert bytes, never time.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/RawTerminal.h"
#include "support/SimulatorProcess.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pv::test {
namespace {

class Fd {
public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

private:
  int fd_;
};

int Connect(const QString& resource) {
  // "TCPIP::127.0.0.1::PORT::SOCKET"
  const int port = resource.section(QStringLiteral("::"), 2, 2).toInt();
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Writes, then reads until `count` bytes or a line ending arrived, giving
// up after a few seconds so a broken bench fails instead of hanging.
QByteArray Ask(int fd, const QByteArray& bytes, int count = -1, int limitMs = 5000) {
  if (!bytes.isEmpty() && ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size()) return {};
  QByteArray got;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (std::chrono::steady_clock::now() < limit) {
    if (count >= 0 ? got.size() >= count : got.endsWith('\n')) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, n);
  }
  return got;
}

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

TEST(BenchsimEndToEnd, EveryInstrumentAnswersOnItsOwnEnd) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString state = dir.filePath(QStringLiteral("state.json"));
  const QString logs = dir.filePath(QStringLiteral("logs"));
  SimulatorProcess bench(QStringLiteral(PLANOVIX_BENCHSIM),
                         {"--model", "KRV2212A", "--seed", "0", "--env", "--state", state, "--transcripts", logs});
  ASSERT_FALSE(bench.value(QStringLiteral("unit")).isEmpty()) << bench.lines().join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(bench.value(QStringLiteral("PLANOVIX_COM2")), bench.value(QStringLiteral("unit")));
  EXPECT_EQ(bench.value(QStringLiteral("PLANOVIX_COM4")), bench.value(QStringLiteral("supply")));
  EXPECT_EQ(bench.value(QStringLiteral("PLANOVIX_COM6")), bench.value(QStringLiteral("calibrator")));
  EXPECT_EQ(bench.value(QStringLiteral("PLANOVIX_COM3")), bench.value(QStringLiteral("meter-a")));
  EXPECT_EQ(bench.value(QStringLiteral("PLANOVIX_COM5")), bench.value(QStringLiteral("switch")));
  EXPECT_EQ(bench.value(QStringLiteral("PLANOVIX_USB1")), bench.value(QStringLiteral("generator")));
  EXPECT_EQ(bench.value(QStringLiteral("PLANOVIX_USB2")), bench.value(QStringLiteral("usb-meter")));

  Fd unit(OpenRawTerminal(bench.value(QStringLiteral("unit")), true));
  Fd supply(OpenRawTerminal(bench.value(QStringLiteral("supply")), true));
  Fd calibrator(OpenRawTerminal(bench.value(QStringLiteral("calibrator")), true));
  Fd meter(OpenRawTerminal(bench.value(QStringLiteral("meter-a")), true));
  Fd sw(OpenRawTerminal(bench.value(QStringLiteral("switch")), true));
  Fd usbMeter(Connect(bench.value(QStringLiteral("usb-meter"))));
  Fd generator(Connect(bench.value(QStringLiteral("generator"))));
  for (int fd : {unit.get(), supply.get(), calibrator.get(), meter.get(), sw.get(), usbMeter.get(), generator.get()})
    ASSERT_GE(fd, 0);

  // The unit: "$V" answers variant 2, revision 3, spare 0, device code 12.
  EXPECT_EQ(Ask(unit.get(), Bytes({'$', 'V', 0, 0, 0, '\r'})), Bytes({'*', 2, 3, 0, 12, '\r', '\n'}));
  EXPECT_EQ(Ask(supply.get(), "SV 24.00\rKOE\rA\r"), "I0.018A\r\n");
  const QByteArray frame = Bytes({0x01, 0x81, 0x00, 0x01, 0x5F, 0x90, 0x70});
  EXPECT_EQ(Ask(calibrator.get(), frame, 7), frame);

  // Both kinds of meter answer one number; the switch never answers.
  ASSERT_EQ(::write(sw.get(), "rout:close (@108)\r\n", 19), 19);
  const QRegularExpression number(QStringLiteral("^[+-]\\d\\.\\d{8}E[+-]\\d\\d\\r?\\n$"));
  const QByteArray serialReading = Ask(meter.get(), ":SYST:REM\r\n:CONF:CURR:DC\r\n:READ?\r\n");
  EXPECT_TRUE(number.match(QString::fromLatin1(serialReading)).hasMatch()) << serialReading.toStdString();
  EXPECT_TRUE(serialReading.endsWith("\r\n"));
  const QByteArray usbReading = Ask(usbMeter.get(), "CONF:VOLT:DC 100,0.001\nSENS:VOLT:DC:NPLC 1\nREAD?\n");
  EXPECT_TRUE(number.match(QString::fromLatin1(usbReading)).hasMatch()) << usbReading.toStdString();
  EXPECT_EQ(Ask(generator.get(), "FREQuency 1000\nOUTPut ON\n*IDN?\n"), "PLANOVIX-BENCH,SIMULATED GENERATOR,0,1.0\n");

  bench.stop();
  QFile stateFile(state);
  ASSERT_TRUE(stateFile.open(QIODevice::ReadOnly));
  const QJsonObject o = QJsonDocument::fromJson(stateFile.readAll()).object();
  EXPECT_EQ(o[QStringLiteral("routing")][QStringLiteral("closed")].toArray(), QJsonArray({108}));
  EXPECT_EQ(o[QStringLiteral("routing")][QStringLiteral("meterOn")].toString(), QStringLiteral("current"));
  EXPECT_TRUE(o[QStringLiteral("supply")][QStringLiteral("on")].toBool());
  EXPECT_EQ(o[QStringLiteral("supply")][QStringLiteral("volts")].toDouble(), 24.0);
  EXPECT_EQ(o[QStringLiteral("calibrator")][QStringLiteral("value")].toInt(), 90000);
  EXPECT_TRUE(o[QStringLiteral("generator")][QStringLiteral("output")].toBool());
  EXPECT_EQ(o[QStringLiteral("meters")].toArray()[0][QStringLiteral("readings")].toInt(), 1);
  EXPECT_EQ(o[QStringLiteral("meters")].toArray()[0][QStringLiteral("served")].toArray().size(), 1);
  EXPECT_EQ(o[QStringLiteral("commands")][QStringLiteral("supply")][QStringLiteral("count")].toInt(), 3);
  EXPECT_EQ(o[QStringLiteral("commands")][QStringLiteral("supply")][QStringLiteral("last")].toArray().last().toString(),
            QStringLiteral("A\\r"));

  auto log = [&](const char* name) {
    QFile f(QDir(logs).filePath(QLatin1String(name) + QStringLiteral(".log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
  };
  EXPECT_EQ(log("supply"), "SV 24.00\\r\nKOE\\r\nA\\r\n");
  EXPECT_EQ(log("calibrator"), "\\x01\\x81\\x00\\x01_\\x90p\n");
  EXPECT_EQ(log("switch"), "rout:close (@108)\\r\\n\n");
  EXPECT_EQ(log("unit"), "$V\\x00\\x00\\x00\\r\n");
  EXPECT_EQ(log("usb-meter"), "CONF:VOLT:DC 100,0.001\\n\nSENS:VOLT:DC:NPLC 1\\n\nREAD?\\n\n");
}

#ifdef PLANOVIX_CLI
// The bench technician's tool against the bench, with the variables the
// bench prints, as ./run --bench exports them.
TEST(BenchsimEndToEnd, InstrumentCommandsOfTheCommandLineToolReachTheBench) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString state = dir.filePath(QStringLiteral("state.json"));
  SimulatorProcess bench(QStringLiteral(PLANOVIX_BENCHSIM),
                         {"--seed", "0", "--ambient", "21.75", "--fault", "high-consumption", "--env", "--state", state});
  ASSERT_FALSE(bench.value(QStringLiteral("PLANOVIX_COM4")).isEmpty());
  const QProcessEnvironment env = bench.environment();
  auto cli = [&](const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PLANOVIX_CLI), args);
    if (!p.waitForFinished(20000)) p.kill();
    return std::make_pair(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed());
  };
  EXPECT_EQ(cli({QStringLiteral("supply"), QStringLiteral("on"), QStringLiteral("24.00")}).first, 0);
  EXPECT_EQ(cli({QStringLiteral("supply-current")}), std::make_pair(0, QStringLiteral("30")));  // 18 + 12
  EXPECT_EQ(cli({QStringLiteral("ambient")}), std::make_pair(0, QStringLiteral("21.75")));
  EXPECT_EQ(cli({QStringLiteral("calibrator-function"), QStringLiteral("2")}).first, 0);
  EXPECT_EQ(cli({QStringLiteral("calibrator-set"), QStringLiteral("50000")}).first, 0);
  EXPECT_EQ(cli({QStringLiteral("route"), QStringLiteral("101C102A108C")}).first, 0);
  bench.stop();
  QFile stateFile(state);
  ASSERT_TRUE(stateFile.open(QIODevice::ReadOnly));
  const QJsonObject o = QJsonDocument::fromJson(stateFile.readAll()).object();
  EXPECT_EQ(o[QStringLiteral("calibrator")][QStringLiteral("function")].toInt(), 2);
  EXPECT_EQ(o[QStringLiteral("calibrator")][QStringLiteral("value")].toInt(), 50000);
  EXPECT_EQ(o[QStringLiteral("routing")][QStringLiteral("closed")].toArray(), QJsonArray({101, 108}));
  EXPECT_EQ(o[QStringLiteral("routing")][QStringLiteral("inputChannel")].toString(), QStringLiteral("B"));
}
#endif

TEST(BenchsimEndToEnd, UnitThatNeedsPowerAnswersOnlyWhenTheSupplyIsOn) {
  SimulatorProcess bench(QStringLiteral(PLANOVIX_BENCHSIM), {"--unit-needs-power"});
  Fd unit(OpenRawTerminal(bench.value(QStringLiteral("unit")), true));
  Fd supply(OpenRawTerminal(bench.value(QStringLiteral("supply")), true));
  ASSERT_GE(unit.get(), 0);
  ASSERT_GE(supply.get(), 0);
  const QByteArray identity = Bytes({'$', 'V', 0, 0, 0, '\r'});
  const QByteArray switches = Bytes({'$', 'D', 0, 0, 0, '\r'});
  const QByteArray switchAnswer = Bytes({'*', 0, 0, '\r', '\n'});
  // Unpowered: nothing within a short look. Should an answer to "$V" come
  // late after all, it would precede the "$D" answer below and fail there.
  EXPECT_EQ(Ask(unit.get(), identity, 7, 300), QByteArray());
  Ask(supply.get(), "SV 24.00\rKOE\rA\r");  // the answer shows the supply took all three
  EXPECT_EQ(Ask(unit.get(), switches, 5), switchAnswer);
  Ask(supply.get(), "SV 10.00\rA\r");  // too low for the unit's converter
  EXPECT_EQ(Ask(unit.get(), identity, 7, 300), QByteArray());
  Ask(supply.get(), "SV 24.00\rA\r");
  EXPECT_EQ(Ask(unit.get(), switches, 5), switchAnswer);
}

TEST(BenchsimEndToEnd, BadFaultIsRefusedAtStart) {
  QProcess p;
  p.start(QStringLiteral(PLANOVIX_BENCHSIM), {QStringLiteral("--fault"), QStringLiteral("flaky")});
  ASSERT_TRUE(p.waitForFinished(5000));
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_TRUE(p.readAllStandardError().contains("unknown fault"));
}

} // namespace
} // namespace pv::test
