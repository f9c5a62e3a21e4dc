// The production test bench against the simulated unit and an in-memory
// function generator: command tables, the bounce waveform, forcing, the
// stability watch and the frequency sweep.
#include "factory/MemorySession.h"
#include "factory/ProductionTest.h"
#include "link/DeviceLink.h"
#include "link/SimRig.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {

using test::SimRig;

// A bench with the simulated unit on its port and a generator whose
// sessions record what they are sent.
struct Bench14 {
  explicit Bench14(const char* model = "KRV2212A") : rig(model) { init(); }
  SimRig rig;
  Bench bench{rig.state, rig.clock, rig.prompter};
  QByteArrayList sent;
  QList<int> ioTimeouts;  // of every write, as the session had it then
  int sessionsMade = 0;
  bool generatorMissing = false;
  FunctionGenerator generator{bench, [this](const QString&) {
                                ++sessionsMade;
                                auto s = std::make_unique<MemorySession>(rig.clock);
                                if (generatorMissing) s->failNextOpen(QStringLiteral("no such device"));
                                s->setPeer([this, raw = s.get()](const QByteArray& m) {
                                  sent << m;
                                  ioTimeouts << raw->ioTimeoutMs();
                                });
                                return s;
                              }};
  ProductionTest test{rig.state, rig.commands, rig.clock, generator};
  QStringList lines;

  void init() {
    generator.setSelector(QStringLiteral("TCPIP::gen::5025::SOCKET"));
    QObject::connect(&test, &ProductionTest::resultLine, [this](const QString& l) { lines << l; });
  }
  // Streams frames carrying H, L, E as value k (frame bytes 3k+2..3k+4).
  void frameReads(int k, uint8_t h, uint8_t l, uint8_t e) {
    rig.unit.setFrameSource([=, this](qint64) {
      QByteArray data(rig.unit.frameDataLength(), '\0');
      data[3 * k + 1] = char(h);
      data[3 * k + 2] = char(l);
      data[3 * k + 3] = char(e);
      return data;
    });
  }
};

TEST(BounceWaveform, HasTheRunsAtTheirPoints) {
  const QStringList w = BounceWaveform();
  ASSERT_EQ(w.size(), 4000);
  // Each run's first and last point, 1-based, as the waveform is drawn.
  const struct {
    int first, last;
    const char* value;
  } runs[] = {{1, 80, "1"},       {81, 160, "0"},     {161, 240, "1"},    {241, 320, "0"},
              {321, 400, "1"},    {401, 480, "0"},    {481, 560, "1"},    {561, 1760, "0"},
              {1761, 1840, "1"},  {1841, 1920, "0"},  {1921, 2000, "1"},  {2001, 2080, "0"},
              {2081, 2160, "1"},  {2161, 2240, "0"},  {2241, 4000, "1"}};
  for (const auto& r : runs) {
    EXPECT_EQ(w[r.first - 1], r.value) << r.first;
    EXPECT_EQ(w[r.last - 1], r.value) << r.last;
  }
  EXPECT_EQ(w.count(QStringLiteral("1")), 2320);
  EXPECT_EQ(w.count(QStringLiteral("0")), 1680);
}

TEST(GeneratorCommands, BounceSendsFourThousandPointsEndingWith1760Ones) {
  const QByteArrayList c = GeneratorCommands(GeneratorButton::Bounce, QStringLiteral("1000"));
  ASSERT_EQ(c.size(), 9);
  EXPECT_EQ(c[0], "*RST");
  EXPECT_EQ(c[1], "FREQuency 1000");
  const QByteArray data = c[2];
  ASSERT_TRUE(data.startsWith("DATA VOLATILE, 1,1,"));
  const QByteArrayList points = data.mid(15).split(',');
  ASSERT_EQ(points.size(), 4000);
  EXPECT_EQ(data.size(), 15 + 4000 + 3999);
  // The tail: 1760 ones, and the point before them a zero.
  EXPECT_EQ(data.right(2 * 1760 - 1), QByteArray(2 * 1760, '1').replace("11", "1,").chopped(1));
  EXPECT_EQ(points[4000 - 1761], "0");
  EXPECT_EQ(c.mid(3), (QByteArrayList{"DATA:COPY PULSE, VOLATILE", "FUNCtion:USER PULSE",
                                      "FUNCtion:SHAPe USER", "OUTPut:LOAD 50",
                                      "FREQuency 5000;VOLTage 5", "OUTPut ON"}));
}

TEST(GeneratorCommands, ButtonTables) {
  const QString f = QStringLiteral("250");
  EXPECT_EQ(GeneratorCommands(GeneratorButton::On, f), QByteArrayList{"OUTPut ON"});
  EXPECT_EQ(GeneratorCommands(GeneratorButton::Off, f), QByteArrayList{"OUTPut OFF"});
  EXPECT_EQ(GeneratorCommands(GeneratorButton::Frequency, f), QByteArrayList{"FREQuency 250"});
  EXPECT_EQ(GeneratorCommands(GeneratorButton::Ttl, f),
            (QByteArrayList{"*RST", "FREQuency 250", "FUNCtion SQUARE", "VOLTage 5",
                            "VOLTage:OFFSet 2.5", "OUTPut ON"}));
  EXPECT_EQ(GeneratorCommands(GeneratorButton::Tacho, f),
            (QByteArrayList{"*RST", "FREQuency 250", "FUNCtion SIN", "VOLTage 0.05",
                            "VOLTage:OFFSet 0", "OUTPut ON"}));
  EXPECT_EQ(SweepFrequencyCommand(0), "FREQuency 0.001");
  EXPECT_EQ(SweepFrequencyCommand(12.5), "FREQuency 12.5");
  // Plain hertz within the generator's range, whatever was typed.
  EXPECT_EQ(GeneratorCommands(GeneratorButton::Frequency, QStringLiteral("1e3")), QByteArrayList{"FREQuency 1000"});
  EXPECT_EQ(GeneratorCommands(GeneratorButton::Frequency, QStringLiteral("20000000")),
            QByteArrayList{"FREQuency 20000000"});
  for (const char* bad : {"1e308", "20000000.5", "0", "-5", "", "abc"})
    EXPECT_TRUE(GeneratorCommands(GeneratorButton::Frequency, QString::fromLatin1(bad)).isEmpty()) << bad;
  EXPECT_TRUE(GeneratorCommands(GeneratorButton::Ttl, QStringLiteral("1e308")).isEmpty());
  EXPECT_EQ(GeneratorCommands(GeneratorButton::Off, QStringLiteral("1e308")), QByteArrayList{"OUTPut OFF"});
  EXPECT_EQ(SweepFrequencyCommand(1e308), "");
}

TEST(ProductionTest, AFrequencyTheGeneratorCannotTakeIsRefusedAndNothingIsSent) {
  Bench14 b;
  b.rig.prompter.setDefault(Answer::Ok);
  EXPECT_FALSE(b.test.PressGenerator(GeneratorButton::Frequency, QStringLiteral("1e308")));
  EXPECT_EQ(b.sessionsMade, 0);
  EXPECT_TRUE(b.sent.isEmpty());
  ASSERT_EQ(b.rig.prompter.asked().size(), 1u);
  EXPECT_TRUE(b.rig.prompter.asked()[0].text.contains(QStringLiteral("1e308")));
  QTemporaryDir dir;
  SweepSettings s;
  s.endHz = 1e9;
  s.stepHz = 1e8;
  EXPECT_FALSE(b.test.RunLinearity(s, dir.filePath(QStringLiteral("linear.dat"))));
  EXPECT_TRUE(b.sent.isEmpty());
  EXPECT_TRUE(b.rig.received("MI").empty());
}

TEST(FrameReading, TakesChannelAsInputWhereTheFrameCarriesIt) {
  // 1000 = 7A 00 88, 10 = 20 00 82, 12.5 = 48 00 82 (mantissa word, exponent).
  FrameBytes f{};
  const uint8_t bytes[14] = {0x00, 0x7A, 0x00, 0x88, 0x48, 0x00, 0x82, 0x00,
                             0x00, 0x00, 0x20, 0x00, 0x82, 0x00};
  std::copy(std::begin(bytes), std::end(bytes), f.begin() + 1);
  DeviceIdentity frequencyUnit{};
  frequencyUnit.deviceCode = 12;
  frequencyUnit.variant = 7;
  EXPECT_DOUBLE_EQ(FrameReading(frequencyUnit, f), 10.0);  // value 3
  DeviceIdentity plain{};
  plain.deviceCode = 12;
  plain.variant = 2;
  EXPECT_DOUBLE_EQ(FrameReading(plain, f), 1000.0);  // value 0: the output count
}

TEST(ProductionTest, EachButtonOpensAFreshSessionAndBounceGetsTheLongTimeOut) {
  Bench14 b;
  ASSERT_TRUE(b.test.PressGenerator(GeneratorButton::On, QStringLiteral("1000")));
  ASSERT_TRUE(b.test.PressGenerator(GeneratorButton::Bounce, QStringLiteral("1000")));
  ASSERT_TRUE(b.test.PressGenerator(GeneratorButton::Off, QStringLiteral("1000")));
  EXPECT_EQ(b.sessionsMade, 3);
  ASSERT_EQ(b.sent.size(), 1 + 9 + 1);
  EXPECT_EQ(b.ioTimeouts.front(), 2000);
  EXPECT_EQ(b.ioTimeouts[3], 40000);  // the data transfer
  EXPECT_EQ(b.ioTimeouts.back(), 2000);
}

TEST(ProductionTest, AMissingGeneratorEndsTheButtonAndSaysSo) {
  Bench14 b;
  b.generatorMissing = true;
  b.rig.prompter.setDefault(Answer::Ok);
  EXPECT_FALSE(b.test.PressGenerator(GeneratorButton::Ttl, QStringLiteral("1000")));
  EXPECT_TRUE(b.sent.isEmpty());
  EXPECT_TRUE(b.test.lastError().contains(QStringLiteral("no such device")));
  ASSERT_EQ(b.rig.prompter.asked().size(), 1u);
}

TEST(ProductionTest, ForcingBothAlternatesUntilStopAndLeavesProgramming) {
  Bench14 b;
  b.rig.clock.schedule(1000, [&] { b.test.stopForcing(); });
  ASSERT_TRUE(b.test.ForceOutputs(ForceChannel::Both, 0x0320, 0x0FC8));
  std::vector<QByteArray> cmds;
  for (const QByteArray& c : b.rig.unit.transcript())
    if (c.startsWith("$I") || c.startsWith("$i") || c.startsWith("PR") || c.startsWith("$FP"))
      cmds.push_back(c);
  ASSERT_GE(cmds.size(), 6u);
  EXPECT_EQ(cmds.front(), "PR\r");
  EXPECT_TRUE(cmds.back().startsWith("$FP"));
  // Between them, channel A then channel B, over and over, with the codes'
  // high and low bytes.
  for (size_t i = 1; i + 1 < cmds.size(); ++i) {
    const QByteArray want = (i % 2) ? QByteArray("$I\x03\x20\x00\r", 6) : QByteArray("$i\x0f\xc8\x00\r", 6);
    EXPECT_EQ(cmds[i], want) << i;
  }
  EXPECT_EQ((cmds.size() - 2) % 2, 0u);
  EXPECT_FALSE(b.rig.unit.programming());
  EXPECT_FALSE(b.test.forcing());
}

TEST(ProductionTest, ForcingOneChannelSendsOnlyItsCommand) {
  Bench14 b;
  b.rig.clock.schedule(700, [&] { b.test.stopForcing(); });
  ASSERT_TRUE(b.test.ForceOutputs(ForceChannel::B, 100, 2000));
  EXPECT_TRUE(b.rig.received("$I").empty());
  EXPECT_GE(b.rig.received("$i").size(), 2u);
  EXPECT_EQ(b.rig.unit.outputLevelAlt(), 2000);
}

TEST(ProductionTest, StabilityListsReadingsOutsideTheToleranceAndStopsStreaming) {
  Bench14 b;
  // Readings alternate 10 and 12.5.
  int n = 0;
  b.rig.unit.setFrameSource([&](qint64) {
    QByteArray data(b.rig.unit.frameDataLength(), '\0');
    const bool high = (n++ % 2) == 1;
    data[1] = char(high ? 0x48 : 0x20);
    data[2] = 0x00;
    data[3] = char(0x82);
    return data;
  });
  QObject::connect(&b.test, &ProductionTest::resultLine, [&] {
    if (b.lines.size() == 3) b.rig.state.measureRunning = false;
  });
  ASSERT_TRUE(b.test.RunStability(10.0, 1.0));
  EXPECT_EQ(b.lines, (QStringList{"12.5", "12.5", "12.5"}));
  EXPECT_FALSE(b.rig.unit.streaming());
  EXPECT_EQ(b.rig.received("SM").size() >= 1, true);
  EXPECT_FALSE(b.rig.state.measureRunning);
}

TEST(ProductionTest, SweepFromZeroSendsAMillihertzFirstAndLogsEveryPoint) {
  Bench14 b("KRV2220");
  b.frameReads(3, 0x20, 0x00, 0x82);  // the input reads 10 Hz whatever the generator does
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("linear.dat"));
  SweepSettings s;
  s.startHz = 0;
  s.endHz = 20;
  s.stepHz = 10;
  s.delayStepS = 0.5;
  s.delayMeasureS = 0;
  s.toleranceHz = 1;
  ASSERT_TRUE(b.test.RunLinearity(s, log)) << b.test.lastError().toStdString();
  // The sweep switched the output on, and switches it off at its end.
  EXPECT_EQ(b.sent, (QByteArrayList{"*RST", "FUNCtion SQUARE", "VOLTage 5", "VOLTage:OFFSet 0",
                                    "OUTPut ON", "FREQuency 0.001", "FREQuency 10",
                                    "FREQuency 20", "OUTPut OFF"}));
  EXPECT_EQ(b.lines, (QStringList{"0-->10", "20-->10"}));
  EXPECT_EQ(test::Read(log), QByteArray("0\t10\r\n10\t10\r\n20\t10\r\n"));
  EXPECT_FALSE(b.rig.unit.streaming());
}

TEST(ProductionTest, ClosingTheTestMidSweepStopsTheUnitAndTheGenerator) {
  Bench14 b("KRV2220");
  b.frameReads(3, 0x20, 0x00, 0x82);
  QTemporaryDir dir;
  SweepSettings s;
  s.endHz = 1000;
  s.stepHz = 10;
  s.delayStepS = 1;
  s.delayMeasureS = 1;
  // The window closes while the third point is measured.
  b.rig.clock.schedule(4500, [&] { b.test.close(); });
  ASSERT_TRUE(b.test.RunLinearity(s, dir.filePath(QStringLiteral("linear.dat"))));
  EXPECT_EQ(b.sent.back(), "OUTPut OFF");
  EXPECT_EQ(b.sent.count("OUTPut OFF"), 1);
  EXPECT_LT(b.sent.size(), 12);
  EXPECT_FALSE(b.rig.unit.streaming());

  // Closed while nothing runs, after a waveform button: its output goes off.
  Bench14 idle;
  ASSERT_TRUE(idle.test.PressGenerator(GeneratorButton::Ttl, QStringLiteral("1000")));
  idle.test.close();
  EXPECT_EQ(idle.sent.back(), "OUTPut OFF");
  // A generator never reached is not looked for.
  Bench14 untouched;
  untouched.test.close();
  EXPECT_EQ(untouched.sessionsMade, 0);
}

TEST(ProductionTest, ASweepWithoutAStepIsRefused) {
  Bench14 b;
  QTemporaryDir dir;
  SweepSettings s;
  s.endHz = 100;
  EXPECT_FALSE(b.test.RunLinearity(s, dir.filePath(QStringLiteral("linear.dat"))));
  EXPECT_TRUE(b.sent.isEmpty());
  EXPECT_TRUE(b.rig.received("MI").empty());
}

TEST(ProductionTest, ClosingThePortThroughTheLinkStopsForcingFirst) {
  Bench14 b;
  DeviceLink link(b.rig.clock, b.rig.prompter);
  b.test.setLink(&link);
  bool closed = false;
  b.rig.clock.schedule(450, [&] {
    // What the port toggle does: wait for the link, stopping what runs.
    link.whenFree([&] { closed = true; });
    EXPECT_FALSE(closed);
  });
  ASSERT_TRUE(b.test.ForceOutputs(ForceChannel::A, 800, 0));
  EXPECT_TRUE(closed);
  EXPECT_FALSE(b.rig.unit.programming());
  EXPECT_FALSE(link.busy());
}

} // namespace
} // namespace pv
