#pragma once
// The work inside one row of the calibration grid: the input step (range
// set-up, zero trim, gain, cold junction, PTC, verification), the output
// step (two-point pair, verification, load test), the manual PTC
// calibration and the output linearity sweep.
//
// A step returns false only when a device or instrument exchange fails or a
// number cannot be computed (a zero reading in a division); values out of
// tolerance only colour cells red. Every step leaves the unit out of
// programming mode, its outputs released and not streaming, however it
// ends. Where each value goes is the factory cell map's (FactoryCells).
#include "config/RangeTables.h"
#include "factory/CalibrationSetup.h"

#include <QIODevice>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace pv {

class Clock;
class DeviceCommands;

// The manual PTC calibration's arithmetic, from the device's readings with
// the 2000 ohm (V2000) and 1000 ohm (V1000) references. Nothing when the
// readings give no resistance (Req of 0 or less) or a Veq no word holds.
struct PtcResult {
  double veq = 0, req = 0;
  int veqWord = 0;   // Round(Veq)
  int reqTenths = 0; // Round(Req x 10)
};
std::optional<PtcResult> ComputePtc(double v2000, double v1000);

// The procedure's pauses: the whole span, with the user interface alive.
void Pause(Clock& clock, double seconds);

// Gain coefficient check: |k1 - E| <= E / 50.
bool GainWithinTolerance(double k1, double expected);
// DAC code forcing output value p with the measured pair (r1 at low, r2 at
// high code). Nothing when r1 == r2.
std::optional<int> OutputCodeFor(double p, int low, int high, double r1, double r2);

// The cells a row's step fills (k1, Min, ...), with or without the
// verification of the input points.
std::vector<int> RowCells(int row, bool verify);

class CalibrationUnit;

class CalibrationSteps {
public:
  // unit: where the run follows the factory cells it writes (none for the
  // window's single buttons).
  CalibrationSteps(DeviceCommands& unit, CalibrationInstruments bench, Clock& clock,
                   const CalibrationOptions& options, CalibrationGrid& grid, CalibrationUi* ui,
                   const bool& resume, const std::array<double, 2>& outputPair,
                   CalibrationUnit* factoryCells = nullptr);

  bool inputStep(int channel, const InputStepRow& step);
  bool outputStep(int channel, const OutputStepRow& step);
  // "Tara Canale A/B": writes Round(Veq) to the channel's PTC cells;
  // nothing is sent for readings ComputePtc refuses.
  std::optional<PtcResult> manualPtc(int channel, double v2000, double v1000);
  // "lett mult": steps channel A's output from 801 to 4040 and round again,
  // logging code TAB volts ("00.000") to out, until keepGoing() is false;
  // the unit leaves programming mode at every end.
  bool outputLinearity(QIODevice& out, const std::function<bool()>& keepGoing);
  // "2 ch compl.": both channels on the 800 mV range (0..800 mV), the
  // calibrator stepped by 1 (0.01 mV) from 0; each line holds the value,
  // the input in mV, each channel's streamed DAC code and its meter's volts
  // (channel A on meterA, B on meterB), until keepGoing() is false. The
  // input cells it changes are saved to the record store first and put
  // back at every end; nothing runs when they cannot be saved.
  bool twoChannelLinearity(QIODevice& out, Multimeter& meterA, Multimeter& meterB,
                           const std::function<bool()>& keepGoing);

private:
  // Which cells of a row the step fills with these options.
  std::vector<int> expectedCells(int row) const;
  bool rowStart(int row);
  void paint(int row);
  void setCell(int row, int cell, const QString& text, CellColour colour);
  void setCellText(int row, int cell, const QString& text);
  void failRow(int row, int cell);
  void endRow(int row);
  void pause(double seconds);
  bool write(std::initializer_list<std::pair<int, int>> cells);
  bool writeCells(const std::vector<std::pair<int, int>>& cells);
  // A Float24 of a row of this kind at address, in the row's cell order.
  bool writeFloat(FactoryCellKind kind, int address, double value);
  // The map's row of a value on this run's model; nullptr when it has none.
  const FactoryCell* cellOf(FactoryCellKind kind, int channel, int code) const;
  bool force(int channel, int code);
  std::optional<double> measure(int channel, const InputStepRow& step);
  std::optional<double> meterReading(double divisor);
  bool ptcPath(int channel, int row, const InputStepRow& step);
  bool coldJunction(int channel, int row, const InputStepRow& step);
  bool gain(int channel, int row, const InputStepRow& step, const InputSetup& setup);

  DeviceCommands& unit_;
  CalibrationInstruments bench_;
  Clock& clock_;
  const CalibrationOptions& options_;
  CalibrationGrid& grid_;
  CalibrationUi* ui_;
  const bool& resume_;
  const std::array<double, 2>& outputPair_;
  RangeTables tables_;
  CalibrationUnit* factoryCells_;
  bool ptcMode_ = false;
};

} // namespace pv
