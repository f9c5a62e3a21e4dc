#include "factory/CalibrationSteps.h"

#include "config/ConfigDevice.h"
#include "factory/CalibrationUnit.h"
#include "factory/Calibrator.h"
#include "factory/Multimeter.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceCommands.h"
#include "measure/FrameDisplay.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace pv {

namespace {

int Round(double v) { return static_cast<int>(RoundHalfEven(v)); }
QString Fixed3(double v) { return FormatNumber(v, QStringLiteral("0.000")); }
QString Short3(double v) { return FormatNumber(v, QStringLiteral("0.###")); }

bool IsResistanceCode(int code) { return code == 16 || code == 17; }
bool IsVoltCurrentCode(int code) { return code == 4 || code == 5; }

// Programming mode for forcing outputs: however the caller leaves (a silent
// meter, a failed command), the unit leaves programming mode, which also
// releases a forced output.
class Programming {
public:
  explicit Programming(DeviceCommands& unit) : unit_(unit) {}
  ~Programming() {
    if (on_) unit_.EndProgramming();
  }
  // A refused "PR" may still have reached the unit: "$FPxx" goes out anyway.
  bool enter() {
    on_ = true;
    return unit_.EnterProgramming();
  }
  bool end() {
    on_ = false;
    return unit_.EndProgramming();
  }

private:
  DeviceCommands& unit_;
  bool on_ = false;
};

// The zero trim: the one's complement of the zero the unit reads (255 - m
// above 0, -m below), as far as one signed byte reaches.
int ZeroTrim(double m) {
  if (m > 0) return std::clamp(static_cast<int>(RoundHalfEven(255 - m)), 128, 255);
  if (m < 0) return std::clamp(static_cast<int>(RoundHalfEven(-m)), 0, 127);
  return 0;
}

} // namespace

void Pause(Clock& clock, double seconds) {
  // A wait may end early (a clock that runs what was due meanwhile): the
  // pause is the whole span however many waits it takes.
  const qint64 start = clock.nowMs();
  const qint64 span = std::llround(seconds * 1000);
  for (qint64 e = 0; e < span; e = clock.nowMs() - start) clock.wait(span - e, nullptr);
}

std::optional<PtcResult> ComputePtc(double v2000, double v1000) {
  if (v2000 == 0) return std::nullopt;
  const double x = (2000.0 / 1000.0) * v1000 / v2000;
  if (x == 1) return std::nullopt;
  PtcResult r;
  r.req = (2000 - 1000 * x) / (x - 1);
  r.veq = v2000 * (r.req + 2000) / 2000;
  if (!std::isfinite(r.veq) || !std::isfinite(r.req)) return std::nullopt;
  // A series resistance of 0 or less is no PTC input at all: readings
  // that give one (swapped or mistyped) are refused, not stored.
  if (!(r.req > 0)) return std::nullopt;
  if (!(r.veq >= 0 && r.veq <= 65535.5)) return std::nullopt;
  r.veqWord = Round(r.veq);
  r.reqTenths = Round(r.req * 10);
  // Veq is stored as an unsigned word: readings that put it outside one
  // give nothing rather than a wrapped value.
  if (r.veqWord < 0 || r.veqWord > 65535) return std::nullopt;
  return r;
}

bool GainWithinTolerance(double k1, double expected) {
  return std::fabs(k1 - expected) <= expected / 50;
}

std::optional<int> OutputCodeFor(double p, int low, int high, double r1, double r2) {
  if (r1 == r2 || !std::isfinite(r1) || !std::isfinite(r2)) return std::nullopt;
  return Round(low + (high - low) * (p - r1) / (r2 - r1));
}

CalibrationSteps::CalibrationSteps(DeviceCommands& unit, CalibrationInstruments bench, Clock& clock,
                                   const CalibrationOptions& options, CalibrationGrid& grid,
                                   CalibrationUi* ui, const bool& resume,
                                   const std::array<double, 2>& outputPair, CalibrationUnit* factoryCells)
    : unit_(unit), bench_(bench), clock_(clock), options_(options), grid_(grid), ui_(ui),
      resume_(resume), outputPair_(outputPair), factoryCells_(factoryCells) {}

const FactoryCell* CalibrationSteps::cellOf(FactoryCellKind kind, int channel, int code) const {
  return FindFactoryCell(LayoutOf(*options_.model), kind, channel, code);
}

std::vector<int> CalibrationSteps::expectedCells(int row) const { return RowCells(row, options_.verify); }

std::vector<int> RowCells(int row, bool verify) {
  switch (GridRow(row).kind) {
  case RowKind::VoltageOutput:
  case RowKind::CurrentOutput: return {kK1, kK2, kZero, kHalf, kSpan, kLoad};
  // The cold-junction row checks its reading against the calibrator's
  // ambient in Min; its 0/50/100 points are not verified (a 0..100 degree
  // reading cannot follow the calibrator's millivolts).
  case RowKind::ColdJunction: return {kK1, kZero};
  case RowKind::Input:
  case RowKind::Ptc: break;
  }
  if (verify) return {kK1, kZero, kHalf, kSpan};
  return {kK1};
}

void CalibrationSteps::paint(int row) {
  if (ui_) ui_->rowChanged(row, grid_.rows[static_cast<size_t>(row)]);
}

void CalibrationSteps::setCell(int row, int cell, const QString& text, CellColour colour) {
  grid_.rows[static_cast<size_t>(row)].cells[static_cast<size_t>(cell)] = {text, colour};
  paint(row);
}

void CalibrationSteps::setCellText(int row, int cell, const QString& text) {
  grid_.rows[static_cast<size_t>(row)].cells[static_cast<size_t>(cell)].text = text;
  paint(row);
}

void CalibrationSteps::failRow(int row, int cell) {
  GridRowState& r = grid_.rows[static_cast<size_t>(row)];
  r.box = CellColour::Red;
  r.cells[static_cast<size_t>(cell)].colour = CellColour::Red;
  paint(row);
}

// The row's check box ends green unless a cell turned red; cells the step
// did not reach (a refused gain ends the step early) are left "not run".
void CalibrationSteps::endRow(int row) {
  GridRowState& r = grid_.rows[static_cast<size_t>(row)];
  bool red = r.box == CellColour::Red;
  for (GridCell& c : r.cells) {
    if (c.colour == CellColour::Yellow) c = {};
    red = red || c.colour == CellColour::Red;
  }
  r.box = red ? CellColour::Red : CellColour::Green;
  paint(row);
}

bool CalibrationSteps::rowStart(int row) {
  if (!options_.rows[static_cast<size_t>(row)]) return false;
  GridRowState& r = grid_.rows[static_cast<size_t>(row)];
  const std::vector<int> cells = expectedCells(row);
  if (resume_) {
    // Every result cell of the row, verified or not: a row calibrated
    // without "Controllo misure" has no green Min/Half/Max and runs again.
    bool allGreen = true;
    for (int c : RowCells(row, true)) allGreen = allGreen && r.cells[static_cast<size_t>(c)].colour == CellColour::Green;
    if (allGreen) return false;
  }
  r = {};
  r.box = CellColour::Yellow;
  for (int c : cells) r.cells[static_cast<size_t>(c)].colour = CellColour::Yellow;
  paint(row);
  return true;
}

void CalibrationSteps::pause(double seconds) { Pause(clock_, seconds); }

bool CalibrationSteps::writeCells(const std::vector<std::pair<int, int>>& cells) {
  AppState& s = unit_.state();
  s.writeList.reset();
  for (auto [a, v] : cells) s.writeList.push(static_cast<uint8_t>(a), static_cast<uint8_t>(v & 255));
  unit_.WriteCells(0, s.writeList.queued());
  // The run follows what left for the unit, so its grid names the unit as
  // the writes leave it.
  if (factoryCells_)
    for (const int a : unit_.lastWrite().sent)
      for (auto [address, value] : cells)
        if (address == a) factoryCells_->written(a, static_cast<uint8_t>(value & 255));
  return !s.commError && unit_.lastWrite().complete() &&
         static_cast<int>(unit_.lastWrite().sent.size()) == s.writeList.queued();
}

bool CalibrationSteps::write(std::initializer_list<std::pair<int, int>> cells) {
  return writeCells(std::vector<std::pair<int, int>>(cells));
}

bool CalibrationSteps::writeFloat(FactoryCellKind kind, int address, double value) {
  const auto f = TryEncodeFloat24(value);
  if (!f) return false;
  const std::array<uint8_t, 3> b = Float24InCells(kind, *f);
  return write({{address, b[0]}, {address + 1, b[1]}, {address + 2, b[2]}});
}

bool CalibrationSteps::force(int channel, int code) {
  if (channel == 0) unit_.SetOutputLevel(code);
  else unit_.SetOutputLevelAlt(code);
  return !unit_.state().commError;
}

// One frame. The current generation streams each channel's DAC code, which
// the output pair read before the channel turns into input units; the PTC
// path wants the raw code. The older generation streams its one input
// itself (value 3 for both channels), already in the step's unit: mV, uA
// (its 10 V and 20 mA inputs), ohm or degrees.
std::optional<double> CalibrationSteps::measure(int channel, const InputStepRow& step) {
  unit_.StartMeasure();
  pause(0.5);
  const FrameBytes f = unit_.ReadMeasureFrame();
  unit_.StopMeasure();
  if (f[0] == 1) return std::nullopt;
  const int input = InputValueIndex(unit_.state().identity, channel);
  const bool streamsInput = options_.model->olderFixture && input >= 0;
  const int value = streamsInput ? input : channel;
  const int at = 3 * value + 2;
  if (at + 2 > unit_.MeasureFrameDataLength()) return std::nullopt;
  const double v = DecodeShortFloat(f[static_cast<size_t>(at)], f[static_cast<size_t>(at + 1)],
                                    f[static_cast<size_t>(at + 2)]);
  if (!std::isfinite(v)) return std::nullopt;
  if (streamsInput || ptcMode_) return v;
  const double k1 = outputPair_[0], k2 = outputPair_[1];
  const double current = k1 + (k2 - k1) * (v - 800) / 2700;
  return step.min + (step.max - step.min) * (current - 0) / (20 - 0);
}

std::optional<double> CalibrationSteps::meterReading(double divisor) {
  const auto r = bench_.meter.ReadMultimeter();
  if (!r) return std::nullopt;
  return *r / divisor;
}

bool CalibrationSteps::inputStep(int c, const InputStepRow& step) {
  const int row = step.gridRow[static_cast<size_t>(c)];
  ptcMode_ = false;
  if (!rowStart(row)) return true;
  const CalibrationModel& model = *options_.model;
  const InputSetup* setup = FindInputSetup(step.inputCode);
  const FactoryCell* range = cellOf(FactoryCellKind::InputRange, c, 0);
  if (!setup || !range) return false;

  // 1. Instruments.
  const QString pattern = QLatin1String(model.olderFixture ? setup->olderPattern : setup->pattern);
  if (!pattern.isEmpty() && !bench_.switches.SetSwitches(pattern)) return false;
  if (!bench_.calibrator.SelectFunction(setup->function)) return false;
  if (!bench_.calibrator.SetCalibratorOutput(0)) return false;
  pause(1);

  // 2. Range. The physical-scale unit's channel B runs with 8 in its
  // function cell (cell 5, channel B's function/options cell).
  const bool physicalScale = LayoutOf(model) == CalibrationLayout::PhysicalScale;
  const int function = physicalScale && c == 1 ? 8 : 0;
  if (!write({{c, step.inputCode}, {3 + 2 * c, function}})) return false;

  // 3. The physical-scale unit's eight values before 10 V and 20 mA, one
  // write each, where and as the configuration keeps them.
  if (physicalScale && IsVoltCurrentCode(step.inputCode)) {
    const double v = step.inputCode == 4 ? 10.0 : 20.0;
    for (const FactoryCell& r : FactoryCells(CalibrationLayout::PhysicalScale))
      if (r.kind == FactoryCellKind::PhysicalScale && !writeFloat(r.kind, r.first, v)) return false;
  }

  // 4. Range limits: 10 V and 20 mA words hold mV and uA as they are.
  const int decimals = tables_.input[static_cast<size_t>(step.inputCode)].decimals;
  const double scale = IsVoltCurrentCode(step.inputCode) ? 1 : std::pow(10.0, decimals);
  const WordBytes hi = SplitWord(Round(step.max * scale));
  const WordBytes lo = SplitWord(Round(step.min * scale));
  const int base = range->first;
  if (!write({{base, hi.lo}, {base + 1, hi.hi}, {base + 2, lo.lo}, {base + 3, lo.hi}})) return false;
  pause(options_.settleSeconds);

  bool ok = true;
  if (step.inputCode == 25) {
    ok = ptcPath(c, row, step);
  } else if (step.inputCode == 8) {
    ok = coldJunction(c, row, step);
    if (ok) endRow(row);
    return ok;
  } else {
    ok = gain(c, row, step, *setup);
    if (ok && grid_.rows[static_cast<size_t>(row)].box == CellColour::Red) {
      endRow(row);
      return true;
    }
  }
  if (!ok) return false;

  // 10. Verification of Min, Half and Max (the PTC row too, at its own
  // points through the calibrator's resistance). The tolerance compares the
  // reading in the range's own unit; the cell shows it scaled.
  if (options_.verify) {
    const int cells[] = {kZero, kHalf, kSpan};
    const double points[] = {step.min, step.half, step.max};
    for (int i = 0; i < 3; ++i) {
      if (!bench_.calibrator.SetCalibratorOutput(Round(points[i] * setup->calibratorScale))) return false;
      pause(options_.settleSeconds);
      const auto m = measure(c, step);
      if (!m) return false;
      const bool pass = std::fabs(*m - points[i]) <= (step.max - step.min) / 1000;
      setCell(row, cells[i], Fixed3(*m * setup->readingScale), pass ? CellColour::Green : CellColour::Red);
      if (!pass) failRow(row, cells[i]);
    }
  }
  endRow(row);
  return true;
}

bool CalibrationSteps::gain(int c, int row, const InputStepRow& step, const InputSetup& setup) {
  const CalibrationModel& model = *options_.model;
  const double g = step.gainPoint;
  const double e = ExpectedK1(model, step);
  const FactoryCell* gainCell = cellOf(FactoryCellKind::Gain, c, step.inputCode);
  if (!gainCell) return false;
  const int address = gainCell->first;

  // 6. Initial coefficient.
  double k0 = g;
  if (IsResistanceCode(step.inputCode)) k0 = e;
  else if (IsVoltCurrentCode(step.inputCode) && !model.olderFixture) k0 = 4 * g;
  setCellText(row, kK1, Short3(k0));
  if (!writeFloat(gainCell->kind, address, k0)) return false;
  if (IsResistanceCode(step.inputCode)) pause(4);

  // 7. Zero trim of 10 V and 20 mA.
  if (IsVoltCurrentCode(step.inputCode) && !model.olderFixture) {
    const FactoryCell* trimCell = cellOf(FactoryCellKind::ZeroTrim, c, step.inputCode);
    if (!trimCell) return false;
    const int cell = trimCell->first;
    if (!write({{cell, 0}})) return false;
    if (!bench_.calibrator.SetCalibratorOutput(0)) return false;
    pause(options_.settleSeconds);
    const auto m = measure(c, step);
    if (!m) return false;
    if (!write({{cell, ZeroTrim(*m)}})) return false;
    pause(options_.settleSeconds);
    if (!measure(c, step)) return false;
  }

  // 8. Gain.
  if (!bench_.calibrator.SetCalibratorOutput(Round(g * setup.calibratorScale))) return false;
  pause(options_.settleSeconds);
  const auto m = measure(c, step);
  if (!m || *m == 0) return false;
  const double k1 = k0 * g / *m;
  if (!std::isfinite(k1)) return false;
  if (!GainWithinTolerance(k1, e)) {
    setCell(row, kK1, Short3(k1), CellColour::Red);
    failRow(row, kK1);
    return true;
  }
  setCell(row, kK1, Short3(k1), CellColour::Green);
  return writeFloat(gainCell->kind, address, k1);
}

bool CalibrationSteps::ptcPath(int c, int row, const InputStepRow& step) {
  const FactoryCell* ptcCell = cellOf(FactoryCellKind::PtcWord, c, step.inputCode);
  if (!ptcCell) return false;
  if (!write({{c, 3}})) return false;
  if (!bench_.switches.SetSwitches(QStringLiteral("113A114C"))) return false;
  for (int i = 0; i < 3; ++i) pause(options_.settleSeconds);
  // Both references are read as raw codes: converting them into input
  // units would spoil the ratio the equivalent resistance is computed from.
  ptcMode_ = true;
  const auto v2000 = measure(c, step);
  if (!v2000) return false;
  setCellText(row, kK1, QString::number(*v2000, 'f', 0));
  pause(options_.settleSeconds);
  if (!bench_.switches.SetSwitches(QStringLiteral("113A114A"))) return false;
  for (int i = 0; i < 3; ++i) pause(options_.settleSeconds);
  const auto v1000 = measure(c, step);
  ptcMode_ = false;
  if (!v1000) return false;
  const bool pass = std::fabs(*v2000 - 15225) <= 1000 && std::fabs(*v1000 - 10324) <= 1000;
  const QString readings = QString::number(*v2000, 'f', 0) + QStringLiteral(" / ") + QString::number(*v1000, 'f', 0);
  const auto r = ComputePtc(*v2000, *v1000);
  if (!r) {
    // Readings that give no resistance store nothing; the row says so.
    setCell(row, kK1, readings, CellColour::Red);
    failRow(row, kK1);
  } else {
    setCell(row, kK1, readings + QStringLiteral(" (Veq %1)").arg(r->veqWord),
            pass ? CellColour::Green : CellColour::Red);
    // The word is stored even when the readings are off (the row is red
    // and says so): the PTC input then works from what the unit really
    // reads. Only the Veq word: the cells after it hold the 2 kohm
    // coefficient's last byte and the 500 ohm gain, which nothing here
    // should touch.
    if (!pass) failRow(row, kK1);
    const WordBytes w = SplitWord(r->veqWord);
    const int address = ptcCell->first;
    if (!write({{address, w.lo}, {address + 1, w.hi}})) return false;
  }
  if (!write({{c, 25}})) return false;
  return bench_.switches.SetSwitches(QStringLiteral("113C114A"));
}

bool CalibrationSteps::coldJunction(int c, int row, const InputStepRow& step) {
  const FactoryCell* offsetCell = cellOf(FactoryCellKind::ColdJunction, c, step.inputCode);
  if (!offsetCell) return false;
  const int cell = offsetCell->first;
  if (!write({{4, 16}, {6, 16}, {cell, 0}})) return false;
  if (!bench_.calibrator.SelectFunction(0)) return false;
  if (!bench_.calibrator.SetCalibratorOutput(0)) return false;
  pause(3);
  pause(options_.settleSeconds);
  int offset = 0;
  double t = 0;
  int n = 0;
  for (;; ++n) {
    const auto m = measure(c, step);
    if (!m) return false;
    const auto temp = bench_.calibrator.ReadCalibratorTemperature();
    if (!temp) return false;
    t = *temp;
    offset = Round((t - *m) * 10);
    setCellText(row, kK1, QString::number(offset));
    if ((offset >= -127 && offset <= 127) || n >= 2) break;
  }
  // Two measurements that the signed cell cannot hold make the third one
  // suspect too: it is shown, not written, and the row says so.
  if (n >= 2) {
    failRow(row, kK1);
  } else {
    setCell(row, kK1, QString::number(offset), CellColour::Green);
    if (!write({{cell, offset < 0 ? offset + 256 : offset}})) return false;
  }
  for (int attempt = 0;; ++attempt) {
    pause(options_.settleSeconds);
    const auto m = measure(c, step);
    if (!m) return false;
    const QString text = FormatNumber(*m, QStringLiteral("0.0")) + QStringLiteral(" / ") +
                         FormatNumber(t, QStringLiteral("0.0"));
    if (std::fabs(*m - t) <= 0.3) {
      setCell(row, kZero, text, CellColour::Green);
      return true;
    }
    setCellText(row, kZero, text);
    if (attempt >= 2) {
      failRow(row, kZero);
      return true;
    }
  }
}

bool CalibrationSteps::outputStep(int c, const OutputStepRow& step) {
  const int row = step.gridRow[static_cast<size_t>(c)];
  if (!rowStart(row)) return true;
  const CalibrationModel& model = *options_.model;
  const FactoryCell* pairCell = cellOf(FactoryCellKind::OutputPair, c, step.outputCode);
  const FactoryCell* rangeCell = cellOf(FactoryCellKind::OutputRange, c, 0);
  if (!pairCell || !rangeCell) return false;
  const bool volts = step.outputCode >= 2;
  const double divisor = volts ? 1000 : 1;

  // 1. Meter and routing.
  if (!bench_.meter.SetupMultimeter(true, volts ? MeterFunction::Volt : MeterFunction::Curr)) return false;
  if (volts) {
    if (!bench_.switches.SetSwitches(model.olderFixture ? QStringLiteral("114A115A116A117C") : QStringLiteral("108A")))
      return false;
  } else if (model.olderFixture) {
    if (!bench_.switches.SetSwitches(c == 0 ? QStringLiteral("111A112A") : QStringLiteral("111C112C"))) return false;
    if (!bench_.switches.SetSwitches(QStringLiteral("114C115C116C117C"))) return false;
  } else if (!bench_.switches.SetSwitches(QStringLiteral("108C"))) {
    return false;
  }

  // 2. Output type: the two low bits of the channel's output cell hold the
  // type (2 voltage, 0 current); the other bits are kept. Adding the code
  // to the cell would leave a voltage type in place for the current step.
  const int typeCell = 4 + 2 * c;
  const CellBytes cell = unit_.ReadCells(0, typeCell, 1);
  if (unit_.state().commError) return false;
  if (!write({{typeCell, (cell[0] & ~3) | (step.outputCode & 3)}})) return false;

  // 3. Output range: the upper-limit word holds the output's maximum; the
  // lower-limit word keeps the 0 the channel set-up wrote.
  const WordBytes range = SplitWord(Round(step.max * 1000));
  const int rangeAt = rangeCell->first;
  if (!write({{rangeAt, range.lo}, {rangeAt + 1, range.hi}})) return false;

  // 4. Provisional pair.
  const int address = pairCell->first;
  auto writePair = [&](double first, double second) {
    const auto a = TryEncodeFloat24(first), b = TryEncodeFloat24(second);
    if (!a || !b) return false;
    const std::array<uint8_t, 3> x = Float24InCells(pairCell->kind, *a), y = Float24InCells(pairCell->kind, *b);
    return write({{address, x[0]}, {address + 1, x[1]}, {address + 2, x[2]},
                  {address + 3, y[0]}, {address + 4, y[1]}, {address + 5, y[2]}});
  };
  setCellText(row, kK2, Fixed3(step.max));
  setCellText(row, kK1, Fixed3(step.min));
  if (!writePair(step.max, step.min)) return false;
  pause(3);

  // 5. Two points, with the output forced in programming mode.
  double r1 = 0, r2 = 0;
  {
    Programming programming(unit_);
    if (!programming.enter()) return false;
    if (!force(c, step.lowCode)) return false;
    setCellText(row, kK1, QString::number(step.lowCode));
    pause(1);
    const auto low = meterReading(divisor);
    if (!low) return false;
    r1 = *low;
    setCell(row, kK1, Fixed3(r1), CellColour::Green);
    if (!force(c, step.highCode)) return false;
    setCellText(row, kK2, QString::number(step.highCode));
    pause(1);
    const auto high = meterReading(divisor);
    if (!high) return false;
    r2 = *high;
    setCell(row, kK2, Fixed3(r2), CellColour::Green);
    if (!programming.end()) return false;
  }

  // 6. Store the pair in the order the map gives (the older generation
  // keeps the high value first, and shows it so).
  if (pairCell->highValueFirst) {
    setCellText(row, kK1, Fixed3(r2));
    setCellText(row, kK2, Fixed3(r1));
    if (!writePair(r2, r1)) return false;
  } else if (!writePair(r1, r2)) {
    return false;
  }
  pause(3);

  // 7. Zero, Half, Span.
  const int cells[] = {kZero, kHalf, kSpan};
  const double points[] = {step.min, step.half, step.max};
  for (int i = 0; i < 3; ++i) {
    const auto code = OutputCodeFor(points[i], step.lowCode, step.highCode, r1, r2);
    if (!code) return false;
    Programming programming(unit_);
    if (!programming.enter()) return false;
    if (!force(c, *code)) return false;
    pause(1);
    const auto r = meterReading(divisor);
    if (!r) return false;
    if (!programming.end()) return false;
    const bool pass = std::fabs(*r - points[i]) <= (step.max - step.min) / 500;
    setCell(row, cells[i], Fixed3(*r), pass ? CellColour::Green : CellColour::Red);
    if (!pass) failRow(row, cells[i]);
  }

  // 8. Load test at the top of the output.
  const int loadCode = model.olderFixture ? 4040 : 0;
  QString loadPattern;
  if (volts) loadPattern = model.olderFixture ? QStringLiteral("114A115A116A117C") : QStringLiteral("109A110A111A112A");
  else loadPattern = model.olderFixture ? QStringLiteral("114C115C116C117C") : QStringLiteral("109C110C111C112C");
  const double limit = volts ? 10.5 : 21.5;
  if (!bench_.switches.SetSwitches(loadPattern)) return false;
  pause(0.5);
  double load = 0;
  {
    Programming programming(unit_);
    if (!programming.enter()) return false;
    pause(0.5);
    if (!force(c, loadCode)) return false;
    pause(0.5);
    const auto reading = meterReading(divisor);
    if (!reading) return false;
    load = *reading;
    if (!programming.end()) return false;
  }
  setCell(row, kLoad, Fixed3(load), load < limit ? CellColour::Red : CellColour::Green);
  if (load < limit) failRow(row, kLoad);
  if (!bench_.switches.SetSwitches(QStringLiteral("109A110A111C112C"))) return false;
  endRow(row);
  return true;
}

std::optional<PtcResult> CalibrationSteps::manualPtc(int channel, double v2000, double v1000) {
  const auto r = ComputePtc(v2000, v1000);
  if (!r) return std::nullopt;
  // The buttons write the PTC word of the current fixture, whatever model
  // the window has chosen.
  const FactoryCell* ptcCell = FindFactoryCell(CalibrationLayout::Current, FactoryCellKind::PtcWord, channel, 25);
  if (!ptcCell) return std::nullopt;
  const WordBytes w = SplitWord(r->veqWord);
  const int address = ptcCell->first;
  if (!write({{address, w.lo}, {address + 1, w.hi}})) return std::nullopt;
  return r;
}

bool CalibrationSteps::outputLinearity(QIODevice& out, const std::function<bool()>& keepGoing) {
  if (!bench_.meter.SetupMultimeter(true, MeterFunction::Volt)) return false;
  bool ok = true;
  {
    Programming programming(unit_);
    if (!programming.enter()) return false;
    int code = 800;
    while (keepGoing()) {
      ++code;
      if (code > 4040) code = 800;
      if (!force(0, code)) { ok = false; break; }
      pause(0.5);
      const auto r = meterReading(1000);
      if (!r) { ok = false; break; }
      out.write((QString::number(code) + '\t' + FormatNumber(*r, QStringLiteral("00.000")) + "\r\n").toLatin1());
    }
    // Out of programming mode first: that releases channel A's output.
    ok = programming.end() && ok;
  }
  unit_.StopMeasure();
  return ok;
}

bool CalibrationSteps::twoChannelLinearity(QIODevice& out, Multimeter& meterA, Multimeter& meterB,
                                           const std::function<bool()>& keepGoing) {
  if (!meterA.SetupMultimeter(true, MeterFunction::Volt)) return false;
  if (!meterB.SetupMultimeter(true, MeterFunction::Volt)) return false;
  // The frames' layout and the saved cells' owner follow the identity.
  if (unit_.ReadIdentity()[0] != 0) return false;
  out.write("Input\tInA\tOutA\tMultA\tInB\tOutB\tMultB\r\n");

  // Both channels on the calibrator's millivolts: the 800 mV range, the
  // full 0..800 mV span on each input. Only to test: the cells it changes
  // go to the record store first and are put back at every end.
  const int inA = FindFactoryCell(CalibrationLayout::Current, FactoryCellKind::InputRange, 0, 0)->first;
  const int inB = FindFactoryCell(CalibrationLayout::Current, FactoryCellKind::InputRange, 1, 0)->first;
  const WordBytes top = SplitWord(800 * static_cast<int>(std::pow(10.0, tables_.input[3].decimals)));
  const std::vector<std::pair<int, int>> test = {
      {0, 3}, {3, 0}, {1, 3}, {5, 0},
      {inA, top.lo}, {inA + 1, top.hi}, {inA + 2, 0}, {inA + 3, 0},
      {inB, top.lo}, {inB + 1, top.hi}, {inB + 2, 0}, {inB + 3, 0}};
  int last = 0;
  for (auto [a, v] : test) last = std::max(last, a);
  const CellBytes now = unit_.ReadCells(0, 0, last + 1);
  if (unit_.state().commError) return false;
  std::map<int, uint8_t> saved;
  for (auto [a, v] : test) saved[a] = now[static_cast<size_t>(a)];
  BackupOptions backup;
  backup.command = QStringLiteral("linearity test (2 ch compl.)");
  if (SaveCellsBeforeWrite(unit_, Bank0Cells(saved), backup) != ConfigResult::Ok) return false;

  bool ok = writeCells(test);
  if (ok) ok = bench_.calibrator.SelectFunction(1);
  for (int value = 0; ok && keepGoing(); ++value) {
    if (!bench_.calibrator.SetCalibratorOutput(value)) { ok = false; break; }
    pause(1);
    // The streamed DAC codes of both channels, then both meters.
    unit_.StartMeasure();
    pause(0.5);
    const FrameBytes f = unit_.ReadMeasureFrame();
    unit_.StopMeasure();
    if (f[0] == 1) { ok = false; break; }
    const double codeA = DecodeShortFloat(f[2], f[3], f[4]);
    const double codeB = DecodeShortFloat(f[5], f[6], f[7]);
    const auto a = meterA.ReadMultimeter();
    const auto b = meterB.ReadMultimeter();
    if (!a || !b) { ok = false; break; }
    const QString in = FormatNumber(value / 100.0, QStringLiteral("00.000"));
    out.write(QStringLiteral("%1\t%2\t%3\t%4\t%2\t%5\t%6\r\n")
                  .arg(QString::number(value), in, QString::number(codeA, 'f', 0),
                       FormatNumber(*a / 1000, QStringLiteral("00.000")), QString::number(codeB, 'f', 0),
                       FormatNumber(*b / 1000, QStringLiteral("00.000")))
                  .toLatin1());
  }
  // The inputs as they were, however the test ended.
  std::vector<std::pair<int, int>> back;
  for (const auto& [a, v] : saved) back.emplace_back(a, v);
  const bool restored = writeCells(back);
  return ok && restored;
}

} // namespace pv
