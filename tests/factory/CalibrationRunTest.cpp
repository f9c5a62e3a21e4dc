// The calibration run against the simulated bench in-process: the unit
// behind an in-memory port, every instrument behind its own, the program's
// drivers on top, and simulated time (4 s settle times cost nothing).
#include "config/CellMap.h"
#include "config/FactoryCells.h"
#include "factory/CalibrationRun.h"
#include "factory/CalibrationSteps.h"
#include "link/Codecs.h"
#include "link/MemorySerialPort.h"
#include "support/BenchStation.h"
#include "support/FileBytes.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRecords.h"

#include <QJsonArray>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace pv::test {
namespace {

// The operator who turns the DIP switches as the check asks.
bench::BenchFaults WithOperator(bench::BenchFaults f) {
  f.dipOperator = true;
  return f;
}

struct Rig : BenchStation<FakeClock, ScriptedPrompter> {
  CalibrationRun run{commands, instruments(), clock, prompter};
  // Every write to the unit: address -> values in the order sent.
  std::map<int, std::vector<int>> writes() {
    std::map<int, std::vector<int>> w;
    for (const QByteArray& c : sim.unit().transcript())
      if (c.startsWith("$W") && c.size() >= 5) w[static_cast<uint8_t>(c[3])].push_back(static_cast<uint8_t>(c[4]));
    return w;
  }

  explicit Rig(const char* model, bench::BenchFaults faults = {}, unsigned seed = 7)
      : BenchStation(*FindModel(QString::fromLatin1(model)),
                     bench::NominalTruth(*FindModel(QString::fromLatin1(model)), seed), WithOperator(faults)) {
    state.languageOffset = 300;
    prompter.setDefault(Answer::Cancel);
  }
  CalibrationOptions options(const char* model) {
    CalibrationOptions o = OptionsForModel(*FindCalibrationModel(QLatin1String(model)));
    o.modelDirs = {QStringLiteral(PLANOVIX_MODEL_DIR)};
    return o;
  }
  // The steps alone, as the window's single buttons drive them.
  CalibrationSteps& steps(const char* model) {
    stepOptions = options(model);
    steps_ = std::make_unique<CalibrationSteps>(commands, instruments(), clock, stepOptions, stepGrid, nullptr,
                                                stepResume, stepPair);
    return *steps_;
  }
  CalibrationOptions stepOptions;
  CalibrationGrid stepGrid;
  bool stepResume = false;
  std::array<double, 2> stepPair{};
  std::unique_ptr<CalibrationSteps> steps_;
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

// Every model with a calibration button.
INSTANTIATE_TEST_SUITE_P(Models, GoodUnit,
                         ::testing::Values("KRV2210", "KRV2211A", "KRV2211B", "KRV2211C", "KRV2211D", "KRV2212A",
                                           "KRV2212B", "KRV2212C", "KRV2212D", "KRV2311A", "KRV2311B", "KRV2311C",
                                           "KRV2311D", "KRV2312D"));

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
  CalibrationRun run(rig.commands, rig.instruments(), rig.clock, rig.prompter, &ui);
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
  CalibrationRun again(rig.commands, rig.instruments(), rig.clock, rig.prompter);
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
  CalibrationRun run(rig.commands, rig.instruments(), rig.clock, rig.prompter, &ui);
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
  test::Write(QDir(dir.path()).filePath("KRV2211A.dat"), "1\n2\n3\n");
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

TEST(CalibrationBytes, OlderUnitStoresThePairHighValueFirst) {
  Rig rig("KRV2210");
  EXPECT_EQ(rig.run.start(OnlyRow(rig, "KRV2210", 8), false), RunEnd::Normal);
  EXPECT_NEAR(rig.storedFloat(100), 10.0, 0.2);
  EXPECT_NEAR(rig.storedFloat(103), 0.0, 0.1);
  EXPECT_EQ(rig.row(8).box, CellColour::Green);
}

// The cells written to one address, in order.
std::vector<int> WritesTo(Rig& rig, int address) { return rig.writes()[address]; }

// What the window's label shows at the end of a run.
struct LabelUi : CalibrationUi {
  QString text;
  CellColour colour = CellColour::NotRun;
  void label(const QString& t, CellColour c) override {
    text = t;
    colour = c;
  }
};

TEST(CalibrationBytes, ZeroTrimIsTheOnesComplementOfTheZeroTheUnitReads) {
  // A nominal unit reads 3.4 mV at 0 V: through its current output (0..20 mA
  // for 0..10000 mV) that streams code 801, which the run reads back as
  // 10000 x (20 / 2700) / 20 = 3.704 mV, so the trim is 255 - 3.704 = 251.
  // At 0 mA it reads -6.2 uA: code 799, -7.407 uA, trim 7.
  Rig rig("KRV2211D", {}, 0);
  CalibrationOptions o = OnlyRow(rig, "KRV2211D", 3);
  o.rows[4] = true;
  ASSERT_EQ(rig.run.start(o, false), RunEnd::Normal) << rig.run.message().toStdString();
  EXPECT_EQ(WritesTo(rig, 74), (std::vector<int>{0, 251}));
  EXPECT_EQ(WritesTo(rig, 75), (std::vector<int>{0, 7}));
  EXPECT_EQ(rig.row(3).box, CellColour::Green);
  EXPECT_EQ(rig.row(4).box, CellColour::Green);
}

TEST(CalibrationBytes, ANegativeColdJunctionOffsetIsStoredPlus256) {
  // The sensor reads 1.2 degrees high: offset Round((T - m) x 10) = -12,
  // stored as 256 - 12 = 244 after the 0 the row starts from.
  Rig rig("KRV2211A", {}, 0);
  rig.sim.truth().channel[0].coldJunctionError = 1.2;
  ASSERT_EQ(rig.run.start(OnlyRow(rig, "KRV2211A", 7), false), RunEnd::Normal) << rig.run.message().toStdString();
  EXPECT_EQ(rig.row(7).cells[kK1].text, QStringLiteral("-12"));
  EXPECT_EQ(WritesTo(rig, 7), (std::vector<int>{0, 244}));
  EXPECT_EQ(rig.row(7).box, CellColour::Green);
}

TEST(CalibrationBytes, PhysicalScaleGoesWhereAndAsTheConfigurationKeepsIt) {
  Rig rig("KRV2312D");
  CalibrationOptions o = OnlyRow(rig, "KRV2312D", 3);
  o.loadDefault = false;
  ASSERT_EQ(rig.run.start(o, false), RunEnd::Normal) << rig.run.message().toStdString();
  // 10.0 = 0x41200000: M2 0x00, M1 0x20, S 0x41 from the lowest cell, at
  // 128, 131, ..., 146 and 149, one write each; nothing beyond 151.
  const int firsts[] = {128, 131, 134, 137, 140, 143, 146, 149};
  for (int a : firsts) {
    EXPECT_EQ(WritesTo(rig, a), (std::vector<int>{0x00})) << a;
    EXPECT_EQ(WritesTo(rig, a + 1), (std::vector<int>{0x20})) << a;
    EXPECT_EQ(WritesTo(rig, a + 2), (std::vector<int>{0x41})) << a;
  }
  EXPECT_EQ(rig.writes().count(152), 0u);
  EXPECT_EQ(rig.writes().count(153), 0u);
  CellImage image{};
  for (int a = 0; a < 256; ++a) image[static_cast<size_t>(a)] = rig.sim.unit().cell(0, a);
  const ConfigRecord r = DecodeConfig(rig.sim.unit().identity(), RangeTables(), image);
  for (double v : r.physical) EXPECT_EQ(v, 10.0);
  EXPECT_EQ(rig.row(3).box, CellColour::Green);
}

TEST(CalibrationRun, OlderUnitReadsItsTenVoltAndTwentyMilliampInputsInThousandths) {
  Rig rig("KRV2210", {}, 0);
  CalibrationOptions o = OnlyRow(rig, "KRV2210", 3);
  o.rows[4] = true;
  ASSERT_EQ(rig.run.start(o, false), RunEnd::Normal) << rig.run.message().toStdString();
  // k1 lands on the unit's own gain (5700, 10300, less its untrimmed
  // zero), not a thousandth of it.
  EXPECT_EQ(rig.row(3).cells[kK1].colour, CellColour::Green) << rig.row(3).cells[kK1].text.toStdString();
  EXPECT_EQ(rig.row(4).cells[kK1].colour, CellColour::Green) << rig.row(4).cells[kK1].text.toStdString();
  EXPECT_NEAR(rig.storedFloat(59), 5700, 5700 * 0.002);
  EXPECT_NEAR(rig.storedFloat(62), 10300, 10300 * 0.002);
  EXPECT_EQ(rig.row(3).box, CellColour::Green);
  EXPECT_EQ(rig.row(4).box, CellColour::Green);
}

TEST(CalibrationRun, FinalProgrammingKeepsChannelBsOffsetWhenTheRunStoredIt) {
  for (const bool rowB : {true, false}) {
    Rig rig("KRV2212A", {}, 0);
    rig.sim.truth().channel[1].coldJunctionError = 1.2;
    CalibrationOptions o = rig.options("KRV2212A");
    o.rows = {};
    o.rows[19] = rowB;
    o.consumption = false;
    o.switchCheck = false;
    ASSERT_EQ(rig.run.start(o, false), RunEnd::Normal) << rig.run.message().toStdString();
    const ModelFile f = LoadModelFile(QStringLiteral("KRV2212A"), o.modelDirs);
    ASSERT_TRUE(f.error.isEmpty());
    if (rowB) {
      EXPECT_EQ(WritesTo(rig, 8), (std::vector<int>{0, 244}));
      EXPECT_EQ(rig.sim.unit().cell(0, 8), 244);
    } else {
      EXPECT_EQ(WritesTo(rig, 8), (std::vector<int>{f.cells[8]}));
    }
    EXPECT_EQ(rig.writes().count(7), 0u);
  }
}

TEST(CalibrationRun, ResumeRefusesAGridOfAnotherUnitOrModel) {
  Rig first("KRV2211A", {}, 1);
  const CalibrationOptions o = first.options("KRV2211A");
  ASSERT_EQ(first.run.start(o, false), RunEnd::Normal) << first.run.message().toStdString();
  const CalibrationGrid done = first.run.grid();
  EXPECT_EQ(done.model, QStringLiteral("KRV2211A"));
  EXPECT_FALSE(done.unit.isEmpty());

  CalibrationGrid otherModel = done;
  otherModel.model = QStringLiteral("KRV2211B");
  CalibrationGrid noUnit = done;
  noUnit.unit.clear();
  // Another unit of the same model (its own gains), the same unit under
  // another model's name, and a grid that names no unit.
  struct Case {
    const char* what;
    unsigned seed;
    CalibrationGrid grid;
  };
  for (const Case& c : {Case{"another unit", 2, done}, Case{"another model", 1, otherModel},
                        Case{"no unit", 1, noUnit}}) {
    Rig rig("KRV2211A", {}, c.seed);
    if (c.seed == 1) {
      // The first unit as the first run left it.
      for (int a = 0; a < 256; ++a) rig.sim.unit().setCell(0, a, first.sim.unit().cell(0, a));
    }
    LabelUi ui;
    CalibrationRun run(rig.commands, rig.instruments(), rig.clock, rig.prompter, &ui);
    run.grid() = c.grid;
    EXPECT_EQ(run.start(o, true), RunEnd::Error) << c.what;
    EXPECT_TRUE(run.resumeRefused()) << c.what;
    EXPECT_TRUE(rig.writes().empty()) << c.what;
    EXPECT_EQ(ui.colour, CellColour::Red) << c.what;
    EXPECT_FALSE(rig.sim.supply().on()) << c.what;
  }

  // A grid with nothing green skips nothing: it starts on any unit.
  {
    Rig rig("KRV2211A", {}, 3);
    CalibrationRun run(rig.commands, rig.instruments(), rig.clock, rig.prompter);
    EXPECT_EQ(run.start(o, true), RunEnd::Normal) << run.message().toStdString();
    EXPECT_FALSE(run.resumeRefused());
    EXPECT_EQ(run.grid().rows[0].box, CellColour::Green);
  }

  // The same unit and model: every row is green, so nothing but the final
  // programming is written.
  first.sim.unit().clearTranscript();
  CalibrationRun again(first.commands, first.instruments(), first.clock, first.prompter);
  again.grid() = done;
  EXPECT_EQ(again.start(o, true), RunEnd::Normal) << again.message().toStdString();
  EXPECT_FALSE(again.resumeRefused());
  for (const auto& [address, values] : first.writes()) EXPECT_LT(address, 28) << address;
}

TEST(CalibrationRun, TheEndLabelIsRedAndCountsTheFailedRows) {
  struct Case {
    const char* model;
    QStringList faults;
    bool italian;
    const char* label;
    CellColour colour;
  };
  const Case cases[] = {
      {"KRV2212A", {"wrong-gain=800mV"}, false, "COLLAUDO TERMINATO - 1 row failed", CellColour::Red},
      {"KRV2212A", {"wrong-gain=A:90mV", "wrong-gain=B:200mV"}, true, "COLLAUDO TERMINATO - 2 righe non superate",
       CellColour::Red},
      {"KRV2211A", {}, false, "COLLAUDO TERMINATO", CellColour::Green},
  };
  for (const Case& c : cases) {
    bench::BenchFaults faults;
    for (const QString& f : c.faults) ASSERT_TRUE(bench::ApplyFault(faults, f).isEmpty());
    Rig rig(c.model, faults);
    if (c.italian) rig.state.languageOffset = 0;
    LabelUi ui;
    CalibrationRun run(rig.commands, rig.instruments(), rig.clock, rig.prompter, &ui);
    EXPECT_EQ(run.start(rig.options(c.model), false), RunEnd::Normal);
    EXPECT_EQ(run.grid().failedRows(), c.faults.size());
    EXPECT_EQ(ui.text, QLatin1String(c.label));
    EXPECT_EQ(ui.colour, c.colour);
  }
}

TEST(CalibrationRun, AMeterSilentInsideAnOutputRowLeavesTheUnitFree) {
  Rig rig("KRV2212A");
  CalibrationOptions o = OnlyRow(rig, "KRV2212A", 10);
  // The meter answers the reading at code 800, then nothing more.
  rig.meterPort.setPeer([&rig](const QByteArray& bytes) {
    if (rig.sim.meter(0).readings() >= 1) rig.sim.meter(0).setSilent(true);
    rig.sim.meter(0).receive(bytes);
  });
  EXPECT_EQ(rig.run.start(o, false), RunEnd::Error);
  EXPECT_EQ(rig.sim.lastForcedCode(1), 3500);
  EXPECT_EQ(rig.sim.forcedCode(1), -1);
  EXPECT_FALSE(rig.sim.unit().programming());
  EXPECT_FALSE(rig.sim.unit().streaming());
  EXPECT_FALSE(rig.sim.supply().on());
}

TEST(CalibrationArithmetic, PtcReadingsThatGiveNoResistanceAreRefused) {
  // x = 2 x V1000 / V2000: 1 / 0 gives Req = 2000 / -1, the swapped
  // defaults Req = -487.0; equal readings x = 2, Req = 0.
  EXPECT_EQ(ComputePtc(1, 0), std::nullopt);
  EXPECT_EQ(ComputePtc(10324, 15225), std::nullopt);
  EXPECT_EQ(ComputePtc(10000, 10000), std::nullopt);
  ASSERT_TRUE(ComputePtc(15000, 10000));
  EXPECT_EQ(ComputePtc(15000, 10000)->veqWord, 30000);

  Rig rig("KRV2211C");
  CalibrationSteps& steps = rig.steps("KRV2211C");
  EXPECT_FALSE(steps.manualPtc(0, 10324, 15225));
  EXPECT_TRUE(rig.sim.unit().transcript().isEmpty());
}

TEST(CalibrationRun, TheUnitsCellsAreSavedBeforeTheRunWritesOne) {
  for (const char* model : {"KRV2212A", "KRV2312D"}) {
    TempRecords records;
    Rig rig(model);
    // A customer's configuration and calibration, as the unit comes back.
    rig.sim.unit().setCell(0, 2, 0x5A);
    rig.sim.unit().setCell(0, 60, 0x77);
    const sim::Bank before = rig.sim.unit().bank(0);
    const CalibrationOptions o = rig.options(model);
    ASSERT_EQ(rig.run.start(o, false), RunEnd::Normal) << model << rig.run.message().toStdString();
    const std::vector<RecordStore::Entry> entries = records.entries();
    // The backup before the first write, then the save before the final
    // programming (newest first).
    ASSERT_EQ(entries.size(), 2u) << model;
    ASSERT_TRUE(entries.back().record) << model << entries.back().damage.toStdString();
    const WriteRecord& first = *entries.back().record;
    EXPECT_EQ(first.command, QStringLiteral("calibration"));
    EXPECT_EQ(entries.front().record->command, QStringLiteral("calibration: final programming"));
    std::map<int, uint8_t> saved;
    for (const StoredCell& c : first.cells)
      if (c.bank == 0) saved[c.address] = c.value;
    std::vector<int> want;
    for (int a = 0; a <= 64; ++a) want.push_back(a);
    for (int a : FingerprintCells(*FindModel(QString::fromLatin1(model)), rig.sim.unit().identity())) want.push_back(a);
    if (QByteArray(model) == "KRV2312D")
      for (int a = 128; a <= 153; ++a) want.push_back(a);
    for (int a : want) {
      ASSERT_TRUE(saved.count(a)) << model << " cell " << a;
      EXPECT_EQ(saved.at(a), before[static_cast<size_t>(a)]) << model << " cell " << a;
    }
    // Written before any "$W" of the run: the first write came after.
    EXPECT_EQ(saved.at(2), 0x5A);
    EXPECT_EQ(saved.at(60), 0x77);
    // "Carica Default" rewrites all 256 cells: the KRV2312D's whole bank is saved.
    ASSERT_EQ(o.loadDefault, QByteArray(model) == "KRV2312D");
    if (o.loadDefault) {
      EXPECT_EQ(saved.size(), 256u) << model;
    }
  }
}

// The run's record holds what the grid showed, row by row, with the limits
// each cell was judged by, what the final programming wrote (as the unit
// received it), the bench and how the run ended.
TEST(CalibrationRecord, TheRecordHoldsEveryCellTheGridShowedAndWhatWasWritten) {
  TempRecords records;
  bench::BenchFaults faults;
  ASSERT_TRUE(bench::ApplyFault(faults, QStringLiteral("wrong-gain=200mV")).isEmpty());
  Rig rig("KRV2211A", faults);
  CalibrationOptions o = rig.options("KRV2211A");
  o.ambient = 22.5;
  o.operatorName = QStringLiteral("Bianchi");
  ASSERT_EQ(rig.run.start(o, false), RunEnd::Normal);
  const std::vector<FactoryRecord> all = records.factoryRecords();
  ASSERT_EQ(all.size(), 1u);
  const FactoryRecord& r = all[0];
  EXPECT_EQ(r.kind, QLatin1String(kEventCalibration));
  EXPECT_EQ(r.model, QStringLiteral("KRV2211A"));
  EXPECT_EQ(r.operatorName, QStringLiteral("Bianchi"));
  EXPECT_EQ(r.details.value(QStringLiteral("ambient")).toDouble(), 22.5);
  EXPECT_EQ(r.outcome, QLatin1String(kOutcomeFail));
  EXPECT_TRUE(r.ended.isValid());
  EXPECT_EQ(rig.run.grid().record, r.uid);
  // Before: the fingerprint the backup was saved under; after: the unit's now.
  const std::vector<RecordStore::Entry> backups = records.entries();
  ASSERT_FALSE(backups.empty());
  EXPECT_EQ(r.fingerprint, backups.back().record->fingerprint);
  EXPECT_EQ(r.fingerprintAfter, rig.run.grid().unit);
  EXPECT_NE(r.fingerprintAfter, r.fingerprint);
  QStringList selectors;
  for (const QJsonValue& i : r.details.value(QStringLiteral("instruments")).toArray())
    selectors << i.toObject().value(QStringLiteral("selector")).toString();
  EXPECT_EQ(selectors, QStringList({"Com4", "Com6", "Com3", "Com5"}));

  // Every filled cell of every row, as shown.
  size_t cells = 0;
  for (int row = 0; row < kGridRows; ++row)
    for (int c = 0; c < kCellCount; ++c) {
      const GridCell& cell = rig.row(row).cells[static_cast<size_t>(c)];
      if (cell.text.isEmpty() && cell.colour == CellColour::NotRun) continue;
      ++cells;
      const auto it = std::find_if(r.rows.begin(), r.rows.end(), [&](const FactoryRow& x) { return x.seq == row * kCellCount + c; });
      ASSERT_NE(it, r.rows.end()) << row << " " << c;
      EXPECT_EQ(it->text, cell.text);
      EXPECT_EQ(it->pass, cell.colour != CellColour::Red);
    }
  EXPECT_EQ(r.rows.size(), cells);
  // The 200 mV gain (row 1) failed against 2 % around its expected k1;
  // the 90 mV row's Max passed within its 0.09 uV band.
  const auto find = [&](const QString& step, const QString& item) {
    return *std::find_if(r.rows.begin(), r.rows.end(), [&](const FactoryRow& x) { return x.step == step && x.item == item; });
  };
  const FactoryRow k1 = find(QStringLiteral("1 200 mV A"), QStringLiteral("k1"));
  EXPECT_FALSE(k1.pass);
  ASSERT_TRUE(k1.low && k1.high && k1.value);
  EXPECT_TRUE(*k1.value < *k1.low || *k1.value > *k1.high);
  const FactoryRow max = find(QStringLiteral("0 90 mV A"), QStringLiteral("Max"));
  EXPECT_TRUE(max.pass);
  EXPECT_EQ(max.unit, QStringLiteral("mV"));
  ASSERT_TRUE(max.low && max.high && max.value);
  EXPECT_NEAR(*max.low, 89.91, 1e-9);
  EXPECT_NEAR(*max.high, 90.09, 1e-9);
  EXPECT_TRUE(*max.value >= *max.low && *max.value <= *max.high);
  // What the final programming wrote is what the unit received last.
  const QJsonObject written = r.details.value(QStringLiteral("written")).toObject();
  ASSERT_FALSE(written.isEmpty());
  std::map<int, std::vector<int>> w = rig.writes();
  for (auto it = written.begin(); it != written.end(); ++it)
    EXPECT_EQ(it.value().toInt(), w[it.key().toInt()].back()) << it.key().toStdString();
  EXPECT_FALSE(written.contains(QStringLiteral("7")));  // channel A's offset is never rewritten
}

// A station whose shared server cannot be reached still calibrates: the
// backups and the run's record go to its outbox.
TEST(CalibrationRecord, WithTheServerAwayTheRunGoesToTheOutbox) {
  TempRecords records;
  qputenv("PLANOVIX_RECORDS", QByteArray("postgresql://planovix@/factory?host=") +
                                  records.dir.filePath(QStringLiteral("no-server")).toLocal8Bit());
  Rig rig("KRV2211A");
  ASSERT_EQ(rig.run.start(rig.options("KRV2211A"), false), RunEnd::Normal) << rig.run.message().toStdString();
  const std::unique_ptr<RecordStore> outbox = RecordStore::Open(records.dir.filePath(QStringLiteral("outbox.sqlite")));
  ASSERT_TRUE(outbox);
  EXPECT_EQ(outbox->entries().size(), 2u);  // the backup and the save before the final programming
  const std::vector<FactoryRecord> runs = outbox->records();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].outcome, QLatin1String(kOutcomePass));
}

// A run stopped after row 1 and resumed: one record, continued, with the
// rows of both runs and the resumed run's end.
TEST(CalibrationRecord, AResumedRunContinuesTheRecordOfTheRunItResumes) {
  TempRecords records;
  Rig rig("KRV2211A");
  CalibrationOptions o = rig.options("KRV2211A");
  struct Stopper : CalibrationUi {
    CalibrationRun* run = nullptr;
    void stepDone(int row, const CalibrationGrid&) override {
      if (row == 1) run->requestStop();
    }
  } ui;
  CalibrationRun run(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, rig.prompter, &ui);
  ui.run = &run;
  ASSERT_EQ(run.start(o, false), RunEnd::Stopped);
  ASSERT_EQ(records.factoryRecords().size(), 1u);
  EXPECT_EQ(records.factoryRecords()[0].outcome, QLatin1String(kOutcomeStopped));
  const size_t firstRows = records.factoryRecords()[0].rows.size();

  CalibrationGrid restored;
  ASSERT_TRUE(GridFromJson(GridToJson(run.grid()), restored).isEmpty());
  CalibrationRun again(rig.commands, {rig.supply, rig.calibrator, rig.meter, rig.switches}, rig.clock, rig.prompter);
  again.grid() = restored;
  ASSERT_EQ(again.start(o, true), RunEnd::Normal) << again.message().toStdString();
  const std::vector<FactoryRecord> all = records.factoryRecords();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].uid, run.grid().record);
  EXPECT_EQ(all[0].outcome, QLatin1String(kOutcomePass));
  EXPECT_EQ(all[0].details.value(QStringLiteral("resumed")).toInt(), 1);
  EXPECT_GT(all[0].rows.size(), firstRows);

  // A grid of another unit is refused: its record stays as it was, and the
  // refused start gets a record of its own.
  Rig other("KRV2211A", {}, 99);
  CalibrationRun foreign(other.commands, {other.supply, other.calibrator, other.meter, other.switches}, other.clock,
                         other.prompter);
  foreign.grid() = again.grid();
  EXPECT_EQ(foreign.start(o, true), RunEnd::Error);
  EXPECT_TRUE(foreign.resumeRefused());
  const std::vector<FactoryRecord> after = records.factoryRecords();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1].uid, all[0].uid);
  EXPECT_EQ(after[1].outcome, QLatin1String(kOutcomePass));
  EXPECT_EQ(after[0].outcome, QLatin1String(kOutcomeError));
}

} // namespace
} // namespace pv::test
