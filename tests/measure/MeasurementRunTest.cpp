#include "FakeMeasureDevice.h"
#include "TestFrames.h"
#include "kernel/Feedback.h"
#include "link/Codecs.h"
#include "measure/MeasurementRun.h"

#include <gtest/gtest.h>

using namespace pv;
using pv::test::FakeMeasureDevice;
using pv::test::MakeFrame;

namespace {

struct LampFeedback : Feedback {
  QList<bool> busy;
  void setBusy(bool on) override { busy << on; }
};

void PutWord(std::array<uint8_t, 256>& m, int at, int v) {
  const WordBytes w = SplitWord(v);
  m[at] = w.lo;
  m[at + 1] = w.hi;
}
void PutPair(std::array<uint8_t, 256>& m, int at, double p0, double p1) {
  const Float24Bytes a = EncodeFloat24(p0), b = EncodeFloat24(p1);
  const uint8_t six[6] = {a.s, a.m1, a.m2, b.s, b.m1, b.m2};
  std::copy(six, six + 6, m.begin() + at);
}

// A two-channel variant-2 unit configured by software: A "Tc K" 0..1000 °C
// on 4-20 mA, B "800 mV" 0..500 mV on 0-10 V.
struct Rig {
  RangeTables tables;
  AppState state;
  FakeMeasureDevice dev{state};
  LampFeedback feedback;
  MeasurementRun run{state, tables, dev, feedback};
  QList<DisplayFrame> shown;
  QList<RunEnd> ends;

  Rig() {
    dev.identity = {12, 2, 3, 0};
    auto& m = dev.cells;
    m[0] = rows::TcK;
    m[1] = rows::mV800;
    m[4] = 1;  // A: 4-20 mA
    m[6] = 2;  // B: 0-10 V
    PutWord(m, 20, 10000), PutWord(m, 22, 0), PutWord(m, 24, 20000), PutWord(m, 26, 4000);
    PutWord(m, 12, 5000), PutWord(m, 14, 0), PutWord(m, 16, 10000), PutWord(m, 18, 0);
    PutPair(m, 106, 4.0, 20.0);   // A current pair
    PutPair(m, 100, 9.0, 9.5);    // A voltage pair: must not be used
    PutPair(m, 112, 0.0, 10.0);   // B voltage pair
    state.trips[0] = {0, 800, 750, 2};
    QObject::connect(&run, &MeasurementRun::frameShown,
                     [this](const DisplayFrame& f) { shown << f; });
    QObject::connect(&run, &MeasurementRun::finished, [this](RunEnd e) { ends << e; });
  }
  // Streams n frames, then the user presses Stop while the next is awaited.
  void stopDuring(int n) {
    dev.duringFrame = [this, n](int i) {
      if (i == n) run.stop();
    };
  }
};

} // namespace

TEST(MeasurementRun, StartsStreamsAndShowsBothChannels) {
  Rig r;
  r.dev.frames = {MakeFrame(r.dev.identity, {2150, 3500})};
  r.stopDuring(2);
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);

  EXPECT_EQ(r.dev.log.mid(0, 6),
            (QStringList{"V", "D", "R0+42", "R0+42", "R106+6", "R112+6"}));
  const RunSetup& s = r.run.setup();
  EXPECT_DOUBLE_EQ(s.channels[0].p0, 4.0);
  EXPECT_DOUBLE_EQ(s.channels[1].p1, 10.0);
  EXPECT_EQ(s.channels[0].inputLabel, QString::fromUtf8("Tc K  0\u00f7 1000 \u00b0C"));
  EXPECT_EQ(s.channels[1].outputLabel, QString::fromUtf8("0-10 V  0\u00f7 10 V"));
  EXPECT_EQ(s.trips[0].high, QString::fromUtf8("H =  800 \u00b0C"));
  EXPECT_FALSE(s.trips[1].present);
  EXPECT_DOUBLE_EQ(r.state.channels[1].inputMax, 500.0);  // the shared record follows

  ASSERT_EQ(r.shown.size(), 3);
  const DisplayFrame& f = r.shown.last();
  EXPECT_EQ(f.channels[0].inputText, QString::fromUtf8("500.0 \u00b0C"));
  EXPECT_EQ(f.channels[0].outputText, "12.000 mA");
  EXPECT_EQ(f.channels[1].inputText, "500.0 mV");
  EXPECT_EQ(r.run.history().size(), 3u);
}

TEST(MeasurementRun, StopWhileAFrameIsAwaitedEndsAfterThatFrameWithOneStop) {
  Rig r;
  r.dev.frames = {MakeFrame(r.dev.identity, {2150, 2150})};
  r.stopDuring(4);
  r.run.run();
  EXPECT_EQ(r.shown.size(), 5);  // the awaited frame is still shown
  EXPECT_EQ(r.dev.afterStart(), (QStringList{"A", "A", "A", "A", "A", "SM"}));
  EXPECT_EQ(r.dev.count("MI"), 1);
  EXPECT_FALSE(r.state.measureRunning);
  EXPECT_FALSE(r.state.measureLoopActive);
  EXPECT_EQ(r.ends, (QList<RunEnd>{RunEnd::Stopped}));
  // The busy lamp blinked once per frame and ended green.
  EXPECT_EQ(r.feedback.busy, (QList<bool>{true, false, true, false, true, false}));
}

TEST(MeasurementRun, ConfigurationReadClearingTheFlagStopsTheRun) {
  Rig r;
  r.dev.frames = {MakeFrame(r.dev.identity, {2150, 2150})};
  bool loopWasActive = false;
  r.dev.duringFrame = [&](int i) {
    if (i != 1) return;
    loopWasActive = r.state.measureLoopActive;
    r.state.measureRunning = false;  // what the configuration read does first
  };
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);
  EXPECT_TRUE(loopWasActive);
  EXPECT_EQ(r.dev.afterStart().count("SM"), 1);
  EXPECT_EQ(r.dev.afterStart().last(), "SM");
  EXPECT_FALSE(r.state.measureLoopActive);
}

TEST(MeasurementRun, CancelledRetryEndsTheRunAndStopsStreaming) {
  Rig r;
  r.dev.frames.clear();  // the first frame is lost and the user cancels
  EXPECT_EQ(r.run.run(), RunEnd::Cancelled);
  EXPECT_EQ(r.dev.afterStart(), (QStringList{"A", "SM"}));
  EXPECT_TRUE(r.shown.isEmpty());
  EXPECT_FALSE(r.state.measureRunning);
  EXPECT_FALSE(r.state.measureLoopActive);
}

TEST(MeasurementRun, FailuresBeforeStreamingNeverStartIt) {
  {
    Rig r;
    r.dev.failIdentity = true;
    EXPECT_EQ(r.run.run(), RunEnd::IdentityFailed);
    EXPECT_EQ(r.dev.log, (QStringList{"V"}));
    EXPECT_FALSE(r.state.measureRunning);
  }
  {
    Rig r;
    r.dev.failSwitches = true;
    EXPECT_EQ(r.run.run(), RunEnd::SwitchReadFailed);
    EXPECT_EQ(r.dev.log, (QStringList{"V", "D", "SM"}));
  }
  {
    Rig r;
    r.dev.failCells = true;
    EXPECT_EQ(r.run.run(), RunEnd::SetupFailed);
    EXPECT_EQ(r.dev.count("MI"), 0);
    EXPECT_FALSE(r.state.measureRunning);
    EXPECT_EQ(r.ends, (QList<RunEnd>{RunEnd::SetupFailed}));
  }
}

TEST(MeasurementRun, ChannelSelectorZeroTouchesOnlyChannelA) {
  Rig r;
  r.state.channelSelector = 0;
  r.state.channels[1].inputMax = 123;
  r.state.channels[1].description = "untouched";
  r.dev.frames = {MakeFrame(r.dev.identity, {2150, 3500})};
  r.stopDuring(0);
  r.run.run();
  EXPECT_EQ(r.dev.log.mid(0, 4), (QStringList{"V", "D", "R0+42", "R106+6"}));
  EXPECT_FALSE(r.run.setup().channels[1].configured);
  EXPECT_DOUBLE_EQ(r.state.channels[1].inputMax, 123);
  EXPECT_EQ(r.state.channels[1].description, "untouched");
  ASSERT_EQ(r.shown.size(), 1);
  EXPECT_TRUE(r.shown[0].channels[0].updated);
  EXPECT_FALSE(r.shown[0].channels[1].updated);
}

TEST(MeasurementRun, SwitchConfiguredChannelTakesTheUnitsTableLimits) {
  Rig r;
  r.state.channelSelector = 0;
  // "Tc J" on the switches, span index 30, zero index 2, output "4-20 mA".
  r.dev.switches = {7 | (2 << 4), 30 | (1 << 6), 0, 0};
  QVector<int> L{12000};
  for (int i = 1; i <= 63; ++i) L << 200 * i;
  L << -2000;
  for (int i = 1; i <= 15; ++i) L << -250 * i;
  r.dev.tables[7] = L;
  r.dev.frames = {MakeFrame(r.dev.identity, {3500})};
  r.stopDuring(0);
  r.run.run();
  EXPECT_EQ(r.dev.log.mid(0, 4), (QStringList{"V", "D", "S7", "R106+6"}));
  const ChannelSettings& s = r.run.setup().channels[0].settings;
  EXPECT_TRUE(s.fromSwitches);
  EXPECT_DOUBLE_EQ(s.inputMax, 600.0);
  EXPECT_DOUBLE_EQ(s.inputMin, -50.0);
  ASSERT_EQ(r.shown.size(), 1);
  EXPECT_EQ(r.shown[0].channels[0].inputText, QString::fromUtf8("600.0 \u00b0C"));
}

TEST(MeasurementRun, EqualOutputLimitsKeepTheRunGoing) {
  Rig r;
  PutWord(r.dev.cells, 24, 4000);  // A: output 4..4 mA
  r.dev.frames = {MakeFrame(r.dev.identity, {2150, 2150})};
  r.stopDuring(2);
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);
  ASSERT_EQ(r.shown.size(), 3);
  EXPECT_EQ(r.shown.last().channels[0].inputText, kNoValue);
  EXPECT_EQ(r.shown.last().channels[1].inputText, "250.0 mV");
}

TEST(MeasurementRun, SecondStartDuringARunIsRefused) {
  Rig r;
  r.dev.frames = {MakeFrame(r.dev.identity, {2150, 2150})};
  RunEnd nested = RunEnd::Stopped;
  r.dev.duringFrame = [&](int i) {
    if (i == 0) nested = r.run.run();
    if (i == 1) r.run.stop();
  };
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);
  EXPECT_EQ(nested, RunEnd::AlreadyRunning);
  EXPECT_EQ(r.dev.count("MI"), 1);
  EXPECT_EQ(r.ends, (QList<RunEnd>{RunEnd::Stopped}));
}
