#pragma once
// The calibration run's data: the fourteen model buttons (expected supply
// currents, channels and ticked rows), the per-model bench facts, the grid
// rows and the step tables. The sequencer reads these rows and never asks a
// model's name.
#include "config/FactoryCells.h"

#include <QString>
#include <array>
#include <vector>

namespace pv {

inline constexpr int kGridRows = 22;

enum class RowKind { Input, ColdJunction, Ptc, VoltageOutput, CurrentOutput };

// One row of the result grid.
struct GridRowInfo {
  int row;
  int channel;          // 0 = A, 1 = B
  const char* caption;  // "90 mV" ...
  RowKind kind;
};
const GridRowInfo& GridRow(int row);

// An input step of the table (per channel: its grid row). Where its gain,
// PTC word or cold-junction offset goes is the factory cell map's
// (config/FactoryCells.h), by input code.
struct InputStepRow {
  std::array<int, 2> gridRow;
  int inputCode;
  double gainPoint;
  double expectedK1;      // the other-model value when the model row overrides it
  double min, half, max;
};
// An output step of the table; its pair's cells are the map's, by output
// code.
struct OutputStepRow {
  std::array<int, 2> gridRow;
  int outputCode;  // 2 voltage, 0 current
  int lowCode, highCode;
  double min, half, max;
};

// Input steps in the order each channel runs them (channel B runs its PTC
// row before the 2 kohm row, channel A after it).
const std::vector<const InputStepRow*>& InputStepsInOrder(int channel);
const std::array<OutputStepRow, 2>& OutputSteps();

// Instrument set-up of an input step by input code.
struct InputSetup {
  int inputCode;
  const char* pattern;         // switching unit, current fixture
  const char* olderPattern;    // the single-channel fixture ("" when none)
  int function;                // calibrator function 0..5
  double calibratorScale;      // calibrator units per range unit
  double readingScale;         // shown reading per range unit
};
const InputSetup* FindInputSetup(int inputCode);

// One model button and what the bench needs to know about that model.
struct CalibrationModel {
  int button;              // 0..13
  const char* caption;     // "2211 A"
  const char* modelId;     // "KRV2211A"
  int expectedFirst, expected24, expected30;  // mA
  bool channelB;
  std::vector<int> rows;   // ticked rows, in the order the table lists them
  bool loadDefault;        // "Carica Default" ticked by the button
  // The older generation on its single-channel fixture: its own switch
  // patterns, first consumption stage at 20 V, k0 = G on 10 V / 20 mA, no
  // zero trim, load test at code 4040, the channel value read straight from
  // the frame, cell 8 left out of the final programming. Its cells (the
  // pair stored high value first) are the map's.
  bool olderFixture;
};
const std::array<CalibrationModel, 14>& CalibrationModels();
const CalibrationModel* FindCalibrationModel(const QString& modelId);

// The catalogue row of a button's model and the layout of its cells: the
// physical-scale model gets its eight values before the 10 V and 20 mA
// rows and 8 in channel B's function cell.
const ModelRow& CatalogueRow(const CalibrationModel& m);
CalibrationLayout LayoutOf(const CalibrationModel& m);

// Expected k1 of an input step on this model.
double ExpectedK1(const CalibrationModel& m, const InputStepRow& step);

} // namespace pv
