#include "factory/CalibrationTables.h"

namespace pv {

namespace {

const std::array<GridRowInfo, kGridRows> kGrid = {{
    {0, 0, "90 mV", RowKind::Input},          {1, 0, "200 mV", RowKind::Input},
    {2, 0, "800 mV", RowKind::Input},         {3, 0, "10 V", RowKind::Input},
    {4, 0, "20 mA", RowKind::Input},          {5, 0, "2 Kohm", RowKind::Input},
    {6, 0, "500 ohm", RowKind::Input},        {7, 0, "CJC", RowKind::ColdJunction},
    {8, 0, "V", RowKind::VoltageOutput},      {9, 0, "mA", RowKind::CurrentOutput},
    {10, 1, "V", RowKind::VoltageOutput},     {11, 1, "mA", RowKind::CurrentOutput},
    {12, 1, "90 mV", RowKind::Input},         {13, 1, "200 mV", RowKind::Input},
    {14, 1, "800 mV", RowKind::Input},        {15, 1, "10 V", RowKind::Input},
    {16, 1, "20 mA", RowKind::Input},         {17, 1, "2 Kohm", RowKind::Input},
    {18, 1, "500 ohm", RowKind::Input},       {19, 1, "CJC", RowKind::ColdJunction},
    {20, 0, "PTC", RowKind::Ptc},             {21, 1, "PTC", RowKind::Ptc},
}};

// Grid rows A / B, input code, gain point, expected k1, Min, Half, Max (mV,
// uA or ohm).
const InputStepRow k90mV{{0, 12}, 1, 50, 56.5, 0, 45, 90};
const InputStepRow k200mV{{1, 13}, 2, 125, 113, 0, 100, 200};
const InputStepRow k800mV{{2, 14}, 3, 500, 453, 0, 400, 800};
const InputStepRow k10V{{3, 15}, 4, 5000, 19900, 0, 5000, 10000};
const InputStepRow k20mA{{4, 16}, 5, 10000, 38500, 0, 10000, 20000};
const InputStepRow k2kohm{{5, 17}, 16, 1400, 1, 0, 1000, 2000};
const InputStepRow kPtc{{20, 21}, 25, 25, 1, 0, 100, 200};
const InputStepRow k500ohm{{6, 18}, 17, 300, 1, 0, 250, 500};
const InputStepRow kCjc{{7, 19}, 8, 0, 100, 0, 50, 100};

const std::array<OutputStepRow, 2> kOutputs = {{
    {{8, 10}, 2, 800, 3500, 0, 5, 10},
    {{9, 11}, 0, 800, 3500, 0, 10, 20},
}};

// Calibrator scale: calibrator units per range unit. Function 0 (90 and
// 200 mV, the cold junction) takes microvolts, 1000 per mV, so 90 mV is
// 90000 as the calibrator expects.
const std::array<InputSetup, 7> kSetups = {{
    {1, "103A104A105A106A107A113C114A", "101A102A103A104A105A", 0, 1000, 1},
    {2, "103A104A105A106A107A113C114A", "101A102A103A104A105A", 0, 1000, 1},
    {8, "103A104A105A106A107A113C114A", "101A102A103A104A105A", 0, 1000, 1},
    {3, "103A104A105A106A107A113C114A", "101A102A103A104A105A", 1, 100, 1},
    {4, "103A104A105C106C107A113C114A", "101A102A103C104C105A", 2, 10, 0.001},
    {5, "103C104A105A106C107C113C114A", "101A102C103C104C105C", 3, 10, 0.001},
    {16, "103C104C105A106C107A113C114A", "101C102C103C104A105A", 5, 100, 1},
}};
const InputSetup k500ohmSetup{17, "103C104C105A106C107A113C114A", "101C102C103C104A105A", 4, 1000, 1};
const InputSetup kPtcSetup{25, "103A104A105A106C107A113A114A", "", 5, 100, 1};

} // namespace

const GridRowInfo& GridRow(int row) { return kGrid[static_cast<size_t>(row)]; }

const std::vector<const InputStepRow*>& InputStepsInOrder(int channel) {
  static const std::vector<const InputStepRow*> a = {&k90mV, &k200mV, &k800mV, &k10V, &k20mA,
                                                     &k2kohm, &kPtc, &k500ohm, &kCjc};
  static const std::vector<const InputStepRow*> b = {&k90mV, &k200mV, &k800mV, &k10V, &k20mA,
                                                     &kPtc, &k2kohm, &k500ohm, &kCjc};
  return channel == 0 ? a : b;
}

const std::array<OutputStepRow, 2>& OutputSteps() { return kOutputs; }

const InputSetup* FindInputSetup(int inputCode) {
  for (const InputSetup& s : kSetups)
    if (s.inputCode == inputCode) return &s;
  if (inputCode == 17) return &k500ohmSetup;
  if (inputCode == 25) return &kPtcSetup;
  return nullptr;
}

const std::array<CalibrationModel, 14>& CalibrationModels() {
  static const std::array<CalibrationModel, 14> models = {{
      {0, "2210", "KRV2210", 26, 24, 21, true, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, false, true},
      {1, "2211 A", "KRV2211A", 18, 18, 18, false, {0, 1, 2, 7, 8, 9}, false, false},
      {2, "2211 B", "KRV2211B", 18, 18, 18, false, {5, 6, 8, 9}, false, false},
      {3, "2211 C", "KRV2211C", 18, 18, 18, false, {20, 8, 9}, false, false},
      {4, "2211 D", "KRV2211D", 18, 18, 18, false, {3, 4, 8, 9}, false, false},
      {5, "2212 A", "KRV2212A", 18, 18, 18, true, {0, 1, 2, 7, 8, 9, 12, 13, 14, 19, 10, 11}, false, false},
      {6, "2212 B", "KRV2212B", 18, 18, 18, true, {5, 6, 8, 9, 17, 18, 10, 11}, false, false},
      {7, "2212 C", "KRV2212C", 18, 18, 18, true, {20, 21, 8, 9, 10, 11}, false, false},
      {8, "2212 D", "KRV2212D", 18, 18, 18, true, {3, 4, 8, 9, 15, 16, 10, 11}, false, false},
      {9, "2311 A", "KRV2311A", 18, 18, 18, true, {0, 1, 2, 7, 8, 9, 10, 11}, false, false},
      {10, "2311 B", "KRV2311B", 18, 18, 18, true, {5, 6, 8, 9, 10, 11}, false, false},
      {11, "2311 C", "KRV2311C", 18, 18, 18, true, {20, 8, 9, 10, 11}, false, false},
      {12, "2311 D", "KRV2311D", 18, 18, 18, true, {3, 4, 8, 9, 10, 11}, false, false},
      {13, "2312 D", "KRV2312D", 18, 18, 18, true, {3, 4, 8, 9, 15, 16, 10, 11}, true, false},
  }};
  return models;
}

const CalibrationModel* FindCalibrationModel(const QString& modelId) {
  for (const CalibrationModel& m : CalibrationModels())
    if (modelId.compare(QLatin1String(m.modelId), Qt::CaseInsensitive) == 0) return &m;
  return nullptr;
}

const ModelRow& CatalogueRow(const CalibrationModel& m) { return *FindModel(QString::fromLatin1(m.modelId)); }

CalibrationLayout LayoutOf(const CalibrationModel& m) { return CalibrationLayoutOf(CatalogueRow(m)); }

double ExpectedK1(const CalibrationModel& m, const InputStepRow& step) {
  // The older generation's 10 V and 20 mA inputs have their own gain.
  if (m.olderFixture && step.inputCode == 4) return 5700;
  if (m.olderFixture && step.inputCode == 5) return 10300;
  return step.expectedK1;
}

} // namespace pv
