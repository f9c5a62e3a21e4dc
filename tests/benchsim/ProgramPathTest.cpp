// The bench through the program's own device commands: the unit behind an
// in-memory port with simulated time, the instruments behind their own
// in-memory ports. An input step and an output step done the way the
// calibration does them converge on a good unit.
#include "Bench.h"
#include "InstrumentLink.h"
#include "SimulatorLink.h"
#include "kernel/AppState.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceCommands.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"
#include "support/ScriptedPrompter.h"

#include <cmath>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

struct ProgramRig {
  AppState state;
  FakeClock clock;
  MemorySerialPort unitPort, meterPort, calibratorPort, switchPort;
  bench::SimulatedBench bench;
  sim::SimulatorLink link{bench.unit(), unitPort, &clock};
  bench::InstrumentLink meterLink{bench.meter(0), meterPort};
  bench::InstrumentLink calibratorLink{bench.calibrator(), calibratorPort};
  bench::InstrumentLink switchLink{bench.switches(), switchPort};
  Transport transport{unitPort, clock};
  ScriptedPrompter prompter;
  Feedback feedback;
  DeviceCommands commands{state, transport, prompter, feedback};

  explicit ProgramRig(unsigned seed)
      : bench(*FindModel(u"KRV2212A"), bench::NominalTruth(*FindModel(u"KRV2212A"), seed)) {
    for (MemorySerialPort* p : {&unitPort, &meterPort, &calibratorPort, &switchPort}) p->open(QStringLiteral("sim"));
    state.identity = bench.unit().identity();
    state.languageOffset = 300;
  }

  void write(std::initializer_list<std::pair<int, int>> cells) {
    state.writeList.reset();
    for (auto [a, v] : cells) state.writeList.push(uint8_t(a), uint8_t(v));
    commands.WriteCells(0, state.writeList.queued());
  }
  void writeFloat(int at, double v) {
    const Float24Bytes f = EncodeFloat24(v);
    write({{at, f.s}, {at + 1, f.m1}, {at + 2, f.m2}});
  }
  void writeWord(int at, int v) { write({{at, v & 255}, {at + 1, (v >> 8) & 255}}); }
  double readFloat(int at) {
    const CellBytes c = commands.ReadCells(0, at, 3);
    return DecodeFloat24(c[1], c[2], c[0]);
  }
  void route(const QByteArray& pattern) {
    for (int i = 3; i < pattern.size(); ++i)
      if (pattern[i] == 'A' || pattern[i] == 'C')
        switchPort.write((pattern[i] == 'A' ? "rout:open (@" : "rout:close (@") + pattern.mid(i - 3, 3) + ")\r\n");
  }
  void calibratorFrame(int command, quint32 d) {
    const int d1 = d >> 24, d2 = (d >> 16) & 255, d3 = (d >> 8) & 255, d4 = d & 255;
    QByteArray f;
    for (int b : {1, command, d1, d2, d3, d4, (d1 + d2 + d3 + d4) & 127}) f += char(b);
    calibratorPort.write(f);
    calibratorPort.readAll();
  }
  double readMeter(const char* function) {
    meterPort.write(QByteArray(":CONF:") + function + ":DC\r\n");
    meterPort.readAll();
    meterPort.write(":READ?\r\n");
    return meterPort.readAll().trimmed().toDouble();
  }
  // The step's measurement: one frame, D turned into input units with the
  // current-output pair read before the channel's steps.
  double measure(double k1, double k2, double min, double max) {
    commands.StartMeasure();
    clock.advance(500);
    const FrameBytes f = commands.ReadMeasureFrame();
    commands.StopMeasure();
    EXPECT_EQ(f[0], 0);
    const double d = DecodeShortFloat(f[2], f[3], f[4]);
    const double current = k1 + (k2 - k1) * (d - 800) / 2700;
    return min + (max - min) * current / 20;
  }
};

TEST(BenchProgramPath, InputAndOutputStepsConvergeThroughTheDeviceCommands) {
  ProgramRig rig(11);
  // Channel set-up: the current pair, output words 20.000 / 0, channel A.
  const double k1 = rig.readFloat(106), k2 = rig.readFloat(109);
  rig.write({{24, 20000 & 255}, {25, 20000 >> 8}, {26, 0}, {27, 0}});
  rig.route("101A102A");

  // 200 mV row: range, k0 = G, gain point, k1 = k0 * G / m.
  rig.route("103A104A105A106A107A113C114A");
  rig.calibratorFrame(0x80, 0);
  rig.write({{0, 2}, {3, 0}});
  rig.writeWord(20, 20000);
  rig.writeWord(22, 0);
  rig.writeFloat(53, 125);
  rig.calibratorFrame(0x81, 125000);
  const double m = rig.measure(k1, k2, 0, 200);
  const double gain = 125 * 125 / m;
  const double truth = rig.bench.truth().channel[0].gain.at(2);
  EXPECT_NEAR(gain, truth, truth * 0.002);
  EXPECT_LE(std::fabs(gain - 113), 113.0 / 50);
  rig.writeFloat(53, gain);
  for (const double p : {0.0, 100.0, 200.0}) {
    rig.calibratorFrame(0x81, static_cast<quint32>(p * 1000));
    EXPECT_LE(std::fabs(rig.measure(k1, k2, 0, 200) - p), 200.0 / 1000) << p << " mV";
  }

  // Voltage output: force 800 and 3500, store the pair, check half scale.
  rig.route("108A");
  rig.commands.EnterProgramming();
  rig.commands.SetOutputLevel(800);
  const double r1 = rig.readMeter("VOLT");
  rig.commands.SetOutputLevel(3500);
  const double r2 = rig.readMeter("VOLT");
  rig.commands.EndProgramming();
  rig.writeFloat(100, r1);
  rig.writeFloat(103, r2);
  rig.commands.EnterProgramming();
  rig.commands.SetOutputLevel(static_cast<int>(std::lround(800 + 2700 * (5 - r1) / (r2 - r1))));
  EXPECT_LE(std::fabs(rig.readMeter("VOLT") - 5), 10.0 / 500);
  rig.commands.EndProgramming();
  EXPECT_FALSE(rig.state.commError);
  EXPECT_TRUE(rig.prompter.asked().empty());
}

} // namespace
} // namespace pv::test
