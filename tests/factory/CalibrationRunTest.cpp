// The calibration run against the simulated bench in-process: the unit
// behind an in-memory port, every instrument behind its own, the program's
// drivers on top, and simulated time (4 s settle times cost nothing).
#include "Bench.h"
#include "InstrumentLink.h"
#include "SimulatorLink.h"
#include "factory/CalibrationRun.h"
#include "factory/CalibrationSteps.h"
#include "factory/Calibrator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceCommands.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"
#include "support/ScriptedPrompter.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace pv::test {
namespace {

// The operator who turns the DIP switches as the check asks.
bench::BenchFaults WithOperator(bench::BenchFaults f) {
  f.dipOperator = true;
  return f;
}

struct Rig {
  AppState state;
  FakeClock clock;
  MemorySerialPort unitPort, supplyPort, meterPort, calibratorPort, switchPort;
  bench::SimulatedBench sim;
  sim::SimulatorLink link;
  bench::InstrumentLink supplyLink, meterLink, calibratorLink, switchLink;
  Transport transport{unitPort, clock};
  ScriptedPrompter prompter;
  Feedback feedback;
  DeviceCommands commands{state, transport, prompter, feedback};
  Bench bench{state, clock, prompter};
  PowerSupply supply{bench, supplyPort};
  Calibrator calibrator{bench, calibratorPort};
  Multimeter meter{bench, meterPort, {}};
  SwitchingUnit switches{bench, switchPort};
  CalibrationRun run{commands, {supply, calibrator, meter, switches}, clock, prompter};
  // Every write to the unit: address -> values in the order sent.
  std::map<int, std::vector<int>> writes() {
    std::map<int, std::vector<int>> w;
    for (const QByteArray& c : sim.unit().transcript())
      if (c.startsWith("$W") && c.size() >= 5) w[static_cast<uint8_t>(c[3])].push_back(static_cast<uint8_t>(c[4]));
    return w;
  }

  explicit Rig(const char* model, bench::BenchFaults faults = {}, unsigned seed = 7)
      : sim(*FindModel(QString::fromLatin1(model)), bench::NominalTruth(*FindModel(QString::fromLatin1(model)), seed),
            WithOperator(faults)),
        link(sim.unit(), unitPort, &clock), supplyLink(sim.supply(), supplyPort),
        meterLink(sim.meter(0), meterPort), calibratorLink(sim.calibrator(), calibratorPort),
        switchLink(sim.switches(), switchPort) {
    unitPort.open(QStringLiteral("sim"));
    state.identity = sim.unit().identity();
    state.languageOffset = 300;
    supply.setSelector("Com4");
    calibrator.setSelector("Com6");
    meter.setSelector("Com3");
    switches.setSelector("Com5");
    prompter.setDefault(Answer::Cancel);
  }
  CalibrationOptions options(const char* model) {
    CalibrationOptions o = OptionsForModel(*FindCalibrationModel(QLatin1String(model)));
    o.modelDirs = {QStringLiteral(PLANOVIX_MODEL_DIR)};
    return o;
  }
  const GridRowState& row(int r) const { return run.grid().rows[static_cast<size_t>(r)]; }
  double storedFloat(int at) {
    return DecodeFloat24(sim.unit().cell(0, at + 1), sim.unit().cell(0, at + 2), sim.unit().cell(0, at));
  }
};

// Every ticked row green in every cell the row fills.
void ExpectAllGreen(Rig& rig, const CalibrationOptions& o) {
  for (int r = 0; r < kGridRows; ++r) {
    if (!o.rows[static_cast<size_t>(r)]) continue;
    EXPECT_EQ(rig.row(r).box, CellColour::Green) << "row " << r;
    for (int c = 0; c < kCellCount; ++c) {
      const GridCell& cell = rig.row(r).cells[static_cast<size_t>(c)];
      EXPECT_NE(cell.colour, CellColour::Red) << "row " << r << " cell " << c << " " << cell.text.toStdString();
      EXPECT_NE(cell.colour, CellColour::Yellow) << "row " << r << " cell " << c;
    }
  }
}

class GoodUnit : public ::testing::TestWithParam<const char*> {};

TEST_P(GoodUnit, PassesEveryTickedRow) {
  Rig rig(GetParam());
  const CalibrationOptions o = rig.options(GetParam());
  const RunEnd end = rig.run.start(o, false);
  EXPECT_EQ(end, RunEnd::Normal) << rig.run.message().toStdString();
  ExpectAllGreen(rig, o);
  EXPECT_FALSE(rig.sim.supply().on());
}

INSTANTIATE_TEST_SUITE_P(Models, GoodUnit,
                         ::testing::Values("KRV2211A", "KRV2212A", "KRV2210", "KRV2211B", "KRV2211C",
                                           "KRV2212D", "KRV2312D"));

TEST(CalibrationRun, WrongGainFailsExactlyThatRowAndWritesNoCoefficient) {
  bench::BenchFaults faults;
  ASSERT_TRUE(bench::ApplyFault(faults, QStringLiteral("wrong-gain=200mV")).isEmpty());
  Rig rig("KRV2211A", faults);
  const CalibrationOptions o = rig.options("KRV2211A");
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal);
  EXPECT_EQ(rig.row(1).box, CellColour::Red);
  EXPECT_EQ(rig.row(1).cells[kK1].colour, CellColour::Red);
  EXPECT_EQ(rig.row(1).cells[kZero].colour, CellColour::NotRun);
  // Only k0 (125) reached the 200 mV gain cells.
  const Float24Bytes k0 = EncodeFloat24(125);
  EXPECT_EQ(rig.writes()[53], (std::vector<int>{k0.s}));
  for (int r : {0, 2, 7, 8, 9}) EXPECT_EQ(rig.row(r).box, CellColour::Green) << r;
}

TEST(CalibrationRun, ResumeAfterAStopAtRowTwoRerunsRowTwoOnly) {
  Rig rig("KRV2211A");
  CalibrationOptions o = rig.options("KRV2211A");
  int steps = 0;
  struct Stopper : CalibrationUi {
    CalibrationRun* run;
    int* steps;
    void stepDone(int row, const CalibrationGrid&) override {
      ++*steps;
      if (row == 1) run->requestStop();
    }
  } ui;
  ui.run = &rig.run;
  ui.steps = &steps;
  CalibrationRun run(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, rig.prompter, &ui);
  ui.run = &run;
  EXPECT_EQ(run.start(o, false), RunEnd::Stopped);
  EXPECT_EQ(run.grid().rows[0].box, CellColour::Green);
  EXPECT_EQ(run.grid().rows[1].box, CellColour::Green);
  EXPECT_EQ(run.grid().rows[2].box, CellColour::NotRun);

  // Row 2 marked as a stop midway would leave it: not all green.
  CalibrationGrid saved = run.grid();
  saved.rows[2].cells[kK1] = {QStringLiteral("453"), CellColour::Green};
  saved.rows[2].cells[kZero] = {QStringLiteral(""), CellColour::Yellow};
  const QJsonObject json = GridToJson(saved);
  CalibrationGrid restored;
  ASSERT_TRUE(GridFromJson(json, restored).isEmpty());
  EXPECT_EQ(restored, saved);

  rig.sim.unit().clearTranscript();
  CalibrationRun again(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, rig.prompter);
  again.grid() = restored;
  EXPECT_EQ(again.start(o, true), RunEnd::Normal) << again.message().toStdString();
  // Rows 0 and 1 are not touched again: their gain cells were not written.
  EXPECT_EQ(rig.writes().count(50), 0u);
  EXPECT_EQ(rig.writes().count(53), 0u);
  EXPECT_EQ(rig.writes()[56].size(), 2u);  // row 2: k0 then k1
  EXPECT_EQ(again.grid().rows[2].box, CellColour::Green);
  // No consumption test, no identity or switch check on resume.
  EXPECT_EQ(rig.sim.supply().currentReads(), 3);
}

TEST(CalibrationRun, ASecondStartWhileOneRunsIsRefused) {
  Rig rig("KRV2211A");
  CalibrationOptions o = rig.options("KRV2211A");
  o.rows = {};
  o.rows[0] = true;
  struct Reenter : CalibrationUi {
    CalibrationRun* run = nullptr;
    const CalibrationOptions* o = nullptr;
    std::optional<RunEnd> nested;
    void stepDone(int row, const CalibrationGrid&) override {
      if (row == 0 && !nested) nested = run->start(*o, false);
    }
  } ui;
  CalibrationRun run(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, rig.prompter, &ui);
  ui.run = &run;
  ui.o = &o;
  EXPECT_EQ(run.start(o, false), RunEnd::Normal);
  ASSERT_TRUE(ui.nested);
  EXPECT_EQ(*ui.nested, RunEnd::Error);
  EXPECT_EQ(run.grid().rows[0].box, CellColour::Green);
  EXPECT_EQ(rig.sim.supply().currentReads(), 3);  // one consumption test only
}

TEST(CalibrationRun, ConsumptionAtFiveMilliampsPassesAndAtSixAsks) {
  for (const double delta : {0.005, -0.005}) {
    Rig rig("KRV2211A", {}, 0);
    rig.sim.truth().consumptionA += delta;
    CalibrationOptions o = rig.options("KRV2211A");
    o.rows = {};
    EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal) << delta;
    EXPECT_TRUE(rig.prompter.asked().empty()) << delta;
  }
  Rig rig("KRV2211A", {}, 0);
  rig.sim.truth().consumptionA += 0.006;
  CalibrationOptions o = rig.options("KRV2211A");
  o.rows = {};
  rig.prompter.expect(Answer::Ignore);
  rig.prompter.expect(Answer::Retry);
  rig.prompter.expect(Answer::Abort);
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Stopped);
  ASSERT_EQ(rig.prompter.asked().size(), 3u);
  EXPECT_EQ(rig.prompter.asked()[0].text, QStringLiteral("Consumo Errato 24mA @ 20V (18)"));
  EXPECT_EQ(rig.prompter.asked()[0].buttons, Buttons::AbortRetryIgnore);
  EXPECT_EQ(rig.prompter.asked()[0].title, QStringLiteral("KRV2211A"));
  EXPECT_EQ(rig.prompter.asked()[1].text, QStringLiteral("Consumo Errato 24mA @ 30V (18)"));
  // Abort: a stopped end, final programming still done.
  EXPECT_FALSE(rig.writes().empty());
}

TEST(CalibrationRun, OlderUnitConsumptionStagesAndExpectedCurrents) {
  bench::BenchFaults faults;
  faults.highConsumption = true;
  Rig rig("KRV2210", faults, 0);
  CalibrationOptions o = rig.options("KRV2210");
  o.rows = {};
  for (int i = 0; i < 3; ++i) rig.prompter.expect(Answer::Ignore);
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal);
  ASSERT_EQ(rig.prompter.asked().size(), 3u);
  EXPECT_TRUE(rig.prompter.asked()[0].text.endsWith("mA @ 20V (26)")) << rig.prompter.asked()[0].text.toStdString();
  EXPECT_TRUE(rig.prompter.asked()[1].text.endsWith("mA @ 30V (21)"));
  EXPECT_TRUE(rig.prompter.asked()[2].text.endsWith("mA @ 24V (24)"));
  // 26 + 12 mA at 20 V: the first stage ran at 20.00 V.
  EXPECT_EQ(rig.prompter.asked()[0].text, QStringLiteral("Consumo Errato 38mA @ 20V (26)"));
}

TEST(CalibrationRun, FinalProgrammingKeepsCellSevenAndOnTheOlderUnitCellEight) {
  for (const char* model : {"KRV2211A", "KRV2210"}) {
    Rig rig(model);
    CalibrationOptions o = rig.options(model);
    o.rows = {};
    o.consumption = false;
    o.switchCheck = false;
    EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal) << model;
    const ModelFile f = LoadModelFile(QLatin1String(model), o.modelDirs);
    ASSERT_TRUE(f.error.isEmpty());
    EXPECT_EQ(rig.writes().count(7), 0u) << model;
    EXPECT_EQ(rig.writes().count(8), QByteArray(model) == "KRV2210" ? 0u : 1u) << model;
    EXPECT_EQ(rig.writes()[0].back(), f.cells[0]);
    EXPECT_EQ(rig.writes()[27].back(), f.cells[27]);
  }
}

TEST(CalibrationRun, AMissingOrShortModelFileEndsBeforeAnythingIsWritten) {
  QTemporaryDir dir;
  QFile shortFile(QDir(dir.path()).filePath("KRV2211A.dat"));
  ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
  shortFile.write("1\n2\n3\n");
  shortFile.close();
  for (const QString& where : {dir.path(), dir.path() + "/nowhere"}) {
    Rig rig("KRV2211A");
    CalibrationOptions o = rig.options("KRV2211A");
    o.modelDirs = {where};
    EXPECT_EQ(rig.run.start(o, false), RunEnd::Error);
    EXPECT_FALSE(rig.run.message().isEmpty());
    EXPECT_TRUE(rig.writes().empty());
    EXPECT_EQ(rig.sim.supply().currentReads(), 0);
  }
}

TEST(CalibrationRun, ASilentCalibratorEndsWithAnError) {
  bench::BenchFaults faults;
  faults.silentCalibrator = true;
  Rig rig("KRV2211A", faults);
  EXPECT_EQ(rig.run.start(rig.options("KRV2211A"), false), RunEnd::Error);
  EXPECT_FALSE(rig.sim.supply().on());
}

TEST(CalibrationRun, ColdJunctionOffsetBeyondTheCellIsNotWritten) {
  Rig rig("KRV2211A", {}, 0);
  // The unit's sensor reads 13 degrees high: an offset of -130 tenths.
  rig.sim.truth().channel[0].coldJunctionError = 13.0;
  const CalibrationOptions o = rig.options("KRV2211A");
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal);
  EXPECT_EQ(rig.row(7).cells[kK1].colour, CellColour::Red);
  EXPECT_EQ(rig.row(7).cells[kK1].text, QStringLiteral("-130"));
  EXPECT_EQ(rig.row(7).box, CellColour::Red);
  // Only the 0 of the row's set-up reached cell 7.
  EXPECT_EQ(rig.writes()[7], (std::vector<int>{0}));
}

TEST(CalibrationRun, PtcReadingsOutOfToleranceTurnTheRowRedAndStillStoreVeq) {
  Rig rig("KRV2211C", {}, 0);
  // A unit whose PTC excitation is 20 % high reads both references high.
  rig.sim.truth().channel[0].ptcExcitation *= 1.2;
  const CalibrationOptions o = rig.options("KRV2211C");
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal) << rig.run.message().toStdString();
  EXPECT_EQ(rig.row(20).box, CellColour::Red);
  EXPECT_EQ(rig.row(20).cells[kK1].colour, CellColour::Red);
  // "V2000 / V1000 (Veq N)": N went to cells 65 (low) and 66 (high), once.
  const QString text = rig.row(20).cells[kK1].text;
  const int veq = text.section(QStringLiteral("Veq "), 1).chopped(1).toInt();
  ASSERT_GT(veq, 0) << text.toStdString();
  EXPECT_EQ(rig.writes()[65], (std::vector<int>{veq % 256}));
  EXPECT_EQ(rig.writes()[66], (std::vector<int>{veq / 256}));
}

TEST(CalibrationRun, ColdJunctionOffsetThatFitsOnlyAtTheThirdMeasurementIsNotWritten) {
  Rig rig("KRV2211A", {}, 0);
  rig.sim.truth().channel[0].coldJunctionError = 13.0;
  // The sensor settles while the row measures: its second temperature
  // read (the second measurement) moves it back inside the cell's range.
  rig.calibratorPort.setPeer([&rig](const QByteArray& bytes) {
    rig.sim.calibrator().receive(bytes);
    if (rig.sim.calibrator().temperatureReads() == 2) rig.sim.truth().channel[0].coldJunctionError = 1.0;
  });
  const CalibrationOptions o = rig.options("KRV2211A");
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal);
  EXPECT_EQ(rig.row(7).cells[kK1].text, QStringLiteral("-10"));
  EXPECT_EQ(rig.row(7).cells[kK1].colour, CellColour::Red);
  EXPECT_EQ(rig.writes()[7], (std::vector<int>{0}));
}

TEST(CalibrationRun, ResumeWithoutVerificationRerunsInputRowsWhoseMinHalfMaxAreNotGreen) {
  Rig rig("KRV2211A");
  CalibrationOptions o = rig.options("KRV2211A");
  o.verify = false;
  ASSERT_EQ(rig.run.start(o, false), RunEnd::Normal) << rig.run.message().toStdString();
  EXPECT_EQ(rig.row(0).cells[kK1].colour, CellColour::Green);
  EXPECT_EQ(rig.row(0).cells[kZero].colour, CellColour::NotRun);
  rig.sim.unit().clearTranscript();
  ASSERT_EQ(rig.run.start(o, true), RunEnd::Normal) << rig.run.message().toStdString();
  // The input rows run again (k0, then k1); the output rows, all green, do not.
  EXPECT_EQ(rig.writes()[50].size(), 2u);
  EXPECT_EQ(rig.writes().count(100), 0u);
}

// The arithmetic of the steps, by hand.
TEST(CalibrationArithmetic, GainToleranceOn90mV) {
  EXPECT_NEAR(50.0 * 50 / 44.0, 56.818, 0.001);
  EXPECT_TRUE(GainWithinTolerance(50.0 * 50 / 44.0, 56.5));
  EXPECT_FALSE(GainWithinTolerance(50.0 * 50 / 40.0, 56.5));
}

TEST(CalibrationArithmetic, OutputHalfPointCode) {
  EXPECT_EQ(OutputCodeFor(5, 800, 3500, 2.9, 12.9), 1367);
  EXPECT_EQ(OutputCodeFor(5, 800, 3500, 3, 3), std::nullopt);
}

TEST(CalibrationArithmetic, ManualPtcDefaults) {
  const auto r = ComputePtc(15225, 10324);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->veqWord, 28984);
  EXPECT_EQ(r->reqTenths, 18075);
  EXPECT_EQ(r->veqWord & 255, 56);
  EXPECT_EQ(r->veqWord >> 8, 113);
}

TEST(CalibrationSteps, ManualPtcWritesCells65And66) {
  Rig rig("KRV2211C");
  CalibrationOptions o = rig.options("KRV2211C");
  CalibrationGrid grid;
  bool resume = false;
  std::array<double, 2> pair{};
  CalibrationSteps steps(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, o, grid,
                         nullptr, resume, pair);
  ASSERT_TRUE(steps.manualPtc(0, 15225, 10324));
  EXPECT_EQ(rig.writes()[65], (std::vector<int>{56}));
  EXPECT_EQ(rig.writes()[66], (std::vector<int>{113}));
  ASSERT_TRUE(steps.manualPtc(1, 15225, 10324));
  EXPECT_EQ(rig.writes()[44], (std::vector<int>{56}));
}

} // namespace
} // namespace pv::test

namespace pv::test {
namespace {

// The cells written, in order, as (address, value).
std::vector<std::pair<int, int>> WrittenCells(Rig& rig) {
  std::vector<std::pair<int, int>> w;
  for (const QByteArray& c : rig.sim.unit().transcript())
    if (c.startsWith("$W") && c.size() >= 5) w.emplace_back(static_cast<uint8_t>(c[3]), static_cast<uint8_t>(c[4]));
  return w;
}

CalibrationOptions OnlyRow(Rig& rig, const char* model, int row) {
  CalibrationOptions o = rig.options(model);
  o.rows = {};
  o.rows[static_cast<size_t>(row)] = true;
  o.consumption = false;
  o.switchCheck = false;
  o.finalProgram = false;
  return o;
}

TEST(CalibrationBytes, TenVoltRowSetsUpRangeCoefficientAndTrimInOrder) {
  Rig rig("KRV2211D");
  EXPECT_EQ(rig.run.start(OnlyRow(rig, "KRV2211D", 3), false), RunEnd::Normal);
  const std::vector<std::pair<int, int>> w = WrittenCells(rig);
  const std::vector<std::pair<int, int>> head = {
      {0x18, 0x20}, {0x19, 0x4E}, {0x1A, 0x00}, {0x1B, 0x00},  // output words 20000 / 0
      {0x00, 0x04}, {0x03, 0x00},                              // input code 4, function 0
      {0x14, 0x10}, {0x15, 0x27}, {0x16, 0x00}, {0x17, 0x00},  // 10000 mV / 0 unscaled
      {0x3B, 0x46}, {0x3C, 0x9C}, {0x3D, 0x40},                // k0 = 4 x 5000 = 20000
      {0x4A, 0x00},                                            // trim cell cleared
  };
  ASSERT_GE(w.size(), head.size() + 4);
  EXPECT_EQ((std::vector<std::pair<int, int>>(w.begin(), w.begin() + static_cast<long>(head.size()))), head);
  EXPECT_EQ(w[head.size()].first, 0x4A);  // the trim
  EXPECT_EQ(w[head.size() + 1].first, 0x3B);  // then k1
  EXPECT_EQ(w.size(), head.size() + 4);
}

TEST(CalibrationBytes, VoltageOutputSetsTypeRangeAndProvisionalPair) {
  Rig rig("KRV2211A");
  EXPECT_EQ(rig.run.start(OnlyRow(rig, "KRV2211A", 8), false), RunEnd::Normal);
  const std::vector<std::pair<int, int>> w = WrittenCells(rig);
  const std::vector<std::pair<int, int>> head = {
      {0x18, 0x20}, {0x19, 0x4E}, {0x1A, 0x00}, {0x1B, 0x00},
      {0x04, 0x72},                                            // 0x71: family and options kept, type 2
      {0x18, 0x10}, {0x19, 0x27},                              // output upper word 10000
      {0x64, 0x41}, {0x65, 0x20}, {0x66, 0x00},                // 10.0 at the low-code place
      {0x67, 0x00}, {0x68, 0x00}, {0x69, 0x00},                // 0.0
  };
  ASSERT_EQ(w.size(), head.size() + 6);
  EXPECT_EQ((std::vector<std::pair<int, int>>(w.begin(), w.begin() + static_cast<long>(head.size()))), head);
  // The measured pair: about 0 V at code 800 first, about 10 V at 3500 next.
  EXPECT_NEAR(rig.storedFloat(100), 0.0, 0.1);
  EXPECT_NEAR(rig.storedFloat(103), 10.0, 0.2);
}

TEST(CalibrationBytes, CurrentStepAfterTheVoltageStepSetsTheCurrentType) {
  Rig rig("KRV2211A");
  CalibrationOptions o = OnlyRow(rig, "KRV2211A", 8);
  o.rows[9] = true;
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Normal);
  const std::vector<int> typeWrites = rig.writes()[4];
  ASSERT_EQ(typeWrites.size(), 2u);
  EXPECT_EQ(typeWrites[0] & 3, 2);
  EXPECT_EQ(typeWrites[1] & 3, 0);
  EXPECT_EQ(typeWrites[0] & ~3, typeWrites[1] & ~3);
  EXPECT_EQ(rig.row(9).box, CellColour::Green);
}

TEST(CalibrationSteps, OutputLinearityLogsCodeAndVolts) {
  Rig rig("KRV2211A");
  CalibrationOptions o = rig.options("KRV2211A");
  CalibrationGrid grid;
  bool resume = false;
  std::array<double, 2> pair{};
  CalibrationSteps steps(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, o, grid,
                         nullptr, resume, pair);
  ASSERT_TRUE(rig.switches.SetSwitches(QStringLiteral("101A102A108A")));
  QBuffer log;
  log.open(QIODevice::WriteOnly);
  int left = 3;
  ASSERT_TRUE(steps.outputLinearity(log, [&] { return left-- > 0; }));
  const QList<QByteArray> lines = log.data().split('\n');
  ASSERT_EQ(lines.size(), 4);  // three lines and the empty rest
  EXPECT_TRUE(lines[0].startsWith("801\t0")) << lines[0].toStdString();
  EXPECT_TRUE(lines[2].startsWith("803\t")) << lines[2].toStdString();
  // Each code was forced on channel A in programming mode.
  EXPECT_EQ(rig.sim.forcedCode(0), 803);
}

TEST(CalibrationSteps, TwoChannelLinearityLogsBothChannels) {
  Rig rig("KRV2212A");
  MemorySerialPort portB;
  bench::InstrumentLink linkB(rig.sim.meter(1), portB);
  Multimeter meterB(rig.bench, portB, {});
  meterB.setSelector("Com7");
  CalibrationOptions o = rig.options("KRV2212A");
  CalibrationGrid grid;
  bool resume = false;
  std::array<double, 2> pair{};
  CalibrationSteps steps(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, o, grid,
                         nullptr, resume, pair);
  QBuffer log;
  log.open(QIODevice::WriteOnly);
  int left = 2;
  ASSERT_TRUE(steps.twoChannelLinearity(log, rig.meter, meterB, [&] { return left-- > 0; }));
  const QList<QByteArray> lines = log.data().split('\n');
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "Input\tInA\tOutA\tMultA\tInB\tOutB\tMultB\r");
  EXPECT_EQ(lines[1].split('\t').size(), 7);
  EXPECT_TRUE(lines[2].startsWith("1\t00.010\t")) << lines[2].toStdString();
  EXPECT_EQ(rig.sim.unit().cell(0, 0), 3);
  EXPECT_EQ(rig.sim.unit().cell(0, 1), 3);
}

TEST(CalibrationBytes, OlderUnitStoresThePairHighValueFirst) {
  Rig rig("KRV2210");
  EXPECT_EQ(rig.run.start(OnlyRow(rig, "KRV2210", 8), false), RunEnd::Normal);
  EXPECT_NEAR(rig.storedFloat(100), 10.0, 0.2);
  EXPECT_NEAR(rig.storedFloat(103), 0.0, 0.1);
  EXPECT_EQ(rig.row(8).box, CellColour::Green);
}

} // namespace
} // namespace pv::test
