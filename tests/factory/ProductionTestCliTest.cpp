// planovix-cli generator: the production test's buttons sent to an
// in-memory generator session; usage errors touch nothing.
#include "CliBench.h"
#include "CliCore.h"
#include "link/MemorySerialPort.h"
#include "factory/MemorySession.h"
#include "link/Clock.h"
#include "link/SerialPort.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace pv {
namespace {

struct GenCli {
  FakeClock clock;
  QByteArrayList sent;
  QStringList resources;
  bool missing = false;
  InstrumentIo io;
  QString out, err;

  GenCli() {
    io.makePort = [] { return nullptr; };
    io.sessions = [this](const QString& resource) {
      resources << resource;
      auto s = std::make_unique<MemorySession>(clock);
      if (missing) s->failNextOpen(QStringLiteral("Connection refused"));
      s->setPeer([this](const QByteArray& m) { sent << m; });
      return s;
    };
  }
  int run(const QStringList& args) {
    out.clear();
    err.clear();
    sent.clear();
    QString none;
    QTextStream o(&out), e(&err), in(&none);
    MemorySerialPort unitPort;
    CliIo cli{unitPort, clock, in, o, e, &io};
    return RunCli(args, cli);
  }
};

TEST(GeneratorCli, ButtonsSendTheirCommands) {
  GenCli c;
  const QString gen = QStringLiteral("--generator=TCPIP::127.0.0.1::5025::SOCKET");
  ASSERT_EQ(c.run({gen, "generator", "on"}), 0) << c.err.toStdString();
  EXPECT_EQ(c.sent, QByteArrayList{"OUTPut ON"});
  EXPECT_EQ(c.resources.back(), "TCPIP::127.0.0.1::5025::SOCKET");
  ASSERT_EQ(c.run({gen, "generator", "off"}), 0);
  EXPECT_EQ(c.sent, QByteArrayList{"OUTPut OFF"});
  ASSERT_EQ(c.run({gen, "generator", "freq", "12.5"}), 0);
  EXPECT_EQ(c.sent, QByteArrayList{"FREQuency 12.5"});
  ASSERT_EQ(c.run({gen, "generator", "ttl"}), 0);
  EXPECT_EQ(c.sent, (QByteArrayList{"*RST", "FREQuency 1000", "FUNCtion SQUARE", "VOLTage 5",
                                    "VOLTage:OFFSet 2.5", "OUTPut ON"}));
  ASSERT_EQ(c.run({gen, "--json", "generator", "tacho", "50"}), 0);
  EXPECT_EQ(c.sent, (QByteArrayList{"*RST", "FREQuency 50", "FUNCtion SIN", "VOLTage 0.05",
                                    "VOLTage:OFFSet 0", "OUTPut ON"}));
  const QJsonObject j = QJsonDocument::fromJson(c.out.toUtf8()).object();
  EXPECT_EQ(j["commands"].toInt(), 6);
  EXPECT_EQ(j["frequency"].toString(), "50");
}

TEST(GeneratorCli, BounceSendsTheWholeWaveform) {
  GenCli c;
  ASSERT_EQ(c.run({"--generator", "TCPIP::h::1::SOCKET", "generator", "bounce"}), 0);
  ASSERT_EQ(c.sent.size(), 9);
  EXPECT_TRUE(c.sent[2].startsWith("DATA VOLATILE, 1,1,"));
  EXPECT_TRUE(c.sent[2].endsWith(",1,1"));
  EXPECT_EQ(c.sent[2].count(','), 4000);
  EXPECT_EQ(c.sent.back(), "OUTPut ON");
}

TEST(GeneratorCli, UsageErrorsAndAMissingGenerator) {
  GenCli c;
  const QString gen = QStringLiteral("--generator=TCPIP::h::1::SOCKET");
  EXPECT_EQ(c.run({gen, "generator"}), 2);
  EXPECT_EQ(c.run({gen, "generator", "sine"}), 2);
  EXPECT_EQ(c.run({gen, "generator", "freq"}), 2);
  EXPECT_EQ(c.run({gen, "generator", "freq", "-5"}), 2);
  EXPECT_EQ(c.run({gen, "generator", "freq", "1k"}), 2);
  // Only what the generator takes: 1 uHz to 20 MHz.
  for (const char* hz : {"1e308", "20000001", "0", "inf"}) EXPECT_EQ(c.run({gen, "generator", "freq", hz}), 2) << hz;
  EXPECT_EQ(c.run({gen, "generator", "ttl", "1e9"}), 2);
  EXPECT_EQ(c.run({gen, "generator", "on", "now"}), 2);
  EXPECT_TRUE(c.resources.isEmpty());
  c.missing = true;
  EXPECT_EQ(c.run({gen, "generator", "on"}), 1);
  EXPECT_TRUE(c.err.contains("Connection refused"));
  EXPECT_TRUE(c.sent.isEmpty());
}

} // namespace
} // namespace pv
