// Measurement runs against the simulated unit, through the real command set.
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceCommands.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"
#include "measure/DeviceCommandsLink.h"
#include "measure/MeasurementRun.h"
#include "support/ScriptedPrompter.h"
#include "switches/SwitchTables.h"

#include <gtest/gtest.h>

using namespace pv;

namespace {

struct SimRig {
  FakeClock clock;
  MemorySerialPort port;
  sim::DeviceSimulator unit;
  std::unique_ptr<sim::SimulatorLink> link;
  Transport transport{port, clock};
  AppState state;
  test::ScriptedPrompter prompter;
  Feedback feedback;
  DeviceCommands commands{state, transport, prompter, feedback};
  DeviceCommandsLink device{commands};
  RangeTables tables;
  MeasurementRun run{state, tables, device, feedback};
  QList<DisplayFrame> shown;

  explicit SimRig(const char* model) {
    EXPECT_TRUE(unit.setModel(model));
    link = std::make_unique<sim::SimulatorLink>(unit, port, &clock);
    port.open("sim");
    QObject::connect(&run, &MeasurementRun::frameShown,
                     [this](const DisplayFrame& f) { shown << f; });
  }
  void putPair(int at, double p0, double p1) {
    const Float24Bytes a = EncodeFloat24(p0), b = EncodeFloat24(p1);
    const uint8_t six[6] = {a.s, a.m1, a.m2, b.s, b.m1, b.m2};
    for (int i = 0; i < 6; ++i) unit.setCell(0, at + i, six[i]);
  }
  // Clears the running flag half-way to the next frame, after n frames.
  void clearFlagWhileAwaiting(int n) {
    QObject::connect(&run, &MeasurementRun::frameShown, [this, n] {
      if (shown.size() == n)
        clock.schedule(clock.nowMs() + 30, [this] { state.measureRunning = false; });
    });
  }
  // Commands the unit received after the last "MI".
  QList<QByteArray> afterStart() const {
    const auto& t = unit.transcript();
    const qsizetype i = t.lastIndexOf(QByteArray("MI\r"));
    return i < 0 ? QList<QByteArray>{} : t.mid(i + 1);
  }
};

} // namespace

TEST(SimulatedRun, StopWhileAFrameIsAwaitedSendsOneStopAfterThatFrame) {
  SimRig r("KRV2212A");
  r.putPair(106, 0.0, 20.0);
  r.putPair(118, 0.0, 20.0);
  r.clearFlagWhileAwaiting(3);
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);

  EXPECT_EQ(r.shown.size(), 4);
  EXPECT_EQ(r.afterStart(), (QList<QByteArray>{"SM\r"}));
  EXPECT_FALSE(r.unit.streaming());
  EXPECT_FALSE(r.state.measureRunning);
  EXPECT_FALSE(r.state.measureLoopActive);
  EXPECT_TRUE(r.prompter.asked().empty());

  const RunSetup& s = r.run.setup();
  EXPECT_DOUBLE_EQ(s.channels[0].p1, 20.0);
  const ChannelDisplay& a = r.shown.last().channels[0];
  EXPECT_GE(a.output, 4.0);
  EXPECT_LE(a.output, 20.0);
  EXPECT_GE(a.input, s.channels[0].settings.inputMin);
  EXPECT_LE(a.input, s.channels[0].settings.inputMax);
  EXPECT_TRUE(a.inputValid);
}

TEST(SimulatedRun, ConfigurationReadDuringARunStopsItFirst) {
  SimRig r("KRV2210");
  r.clearFlagWhileAwaiting(1);
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);
  EXPECT_EQ(r.shown.size(), 2);
  EXPECT_EQ(r.afterStart().count("SM\r"), 1);
  EXPECT_FALSE(r.unit.streaming());
  // The unit answers the read that follows.
  const CellBytes cells = r.commands.ReadCells(0, 0, 4);
  EXPECT_FALSE(r.state.commError);
  EXPECT_EQ(cells[0], r.unit.cell(0, 0));
}

TEST(SimulatedRun, SwitchConfiguredChannelTakesLimitsFromTheUnitsTables) {
  SimRig r("KRV2211A");
  r.state.channelSelector = 0;
  // "Tc K", zero entry 3, span entry 20, output "4-20 mA".
  r.unit.setSwitches({uint8_t(8 | (3 << 4)), uint8_t(20 | (1 << 6)), 0, 0});
  r.clearFlagWhileAwaiting(1);
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);

  const sim::CalibrationTable t = sim::MakeCalibrationTable(2, 8);
  const ChannelSettings& s = r.run.setup().channels[0].settings;
  EXPECT_TRUE(s.fromSwitches);
  EXPECT_DOUBLE_EQ(s.inputMax, t.span[20 - 1] / 10.0);
  EXPECT_DOUBLE_EQ(s.inputMin, t.zero[3 - 1] / 10.0);
  EXPECT_DOUBLE_EQ(s.outputMin, 4.0);
  EXPECT_EQ(r.state.switchBytes[0], 8 | (3 << 4));
}

TEST(SimulatedRun, OneInputSwitchLayoutGivesChannelBTheSameInput) {
  // The two-channel "C" unit's switches hold one input, span, zero and
  // output (Pot2K 0..100 %, 4-20 mA); its second byte's low bits are span bits.
  SimRig r("KRV2212C");
  const auto f = FactorySwitchBytes(r.unit.identity());
  r.unit.setSwitches({f[0], f[1], f[2], 0});
  r.clearFlagWhileAwaiting(1);
  EXPECT_EQ(r.run.run(), RunEnd::Stopped);

  const ChannelSettings& a = r.run.setup().channels[0].settings;
  const ChannelSettings& b = r.run.setup().channels[1].settings;
  ASSERT_TRUE(b.fromSwitches);
  EXPECT_EQ(a.inputType, rows::Pot2K);
  EXPECT_EQ(b.inputType, a.inputType);
  EXPECT_DOUBLE_EQ(b.inputMin, a.inputMin);
  EXPECT_DOUBLE_EQ(b.inputMax, a.inputMax);
  EXPECT_DOUBLE_EQ(b.outputMin, 4.0);
  EXPECT_EQ(r.run.setup().channels[1].inputLabel, r.run.setup().channels[0].inputLabel);
}
