#pragma once
// The calibration result grid: 22 rows, each with its check-box colour and
// six cells (k1, k2, Min/Zero, Half, Max/Span, load), each a text and a
// colour, and the model and unit it belongs to. The run fills it, the
// command-line station prints and saves it, "Riprendi" starts from a saved
// one of the same unit.
#include <QJsonObject>
#include <QString>
#include <array>

namespace pv {

// Colour values as the window paints them (RGB as one number).
enum class CellColour { NotRun = 0, Yellow = 65535, Green = 65280, Red = 255 };

enum Cell { kK1 = 0, kK2, kZero, kHalf, kSpan, kLoad, kCellCount };

struct GridCell {
  QString text;
  CellColour colour = CellColour::NotRun;
  friend bool operator==(const GridCell&, const GridCell&) = default;
};

struct GridRowState {
  CellColour box = CellColour::NotRun;  // the row's check box
  std::array<GridCell, kCellCount> cells;
  friend bool operator==(const GridRowState&, const GridRowState&) = default;
};

struct CalibrationGrid {
  std::array<GridRowState, 22> rows;
  QString model;  // "KRV2212A"
  QString unit;   // the unit's fingerprint as the rows left it
  QString record; // the uid of the run's record in the record store
  void clear() { *this = {}; }
  // Rows whose check box is red.
  int failedRows() const;
  // Any box or cell green: a resume would skip or keep something.
  bool passedAnything() const;
  friend bool operator==(const CalibrationGrid&, const CalibrationGrid&) = default;
};

const char* ColourName(CellColour c);
// Names of the cells, as the grid's column headings: input rows use k1,
// Min, Half, Max; output rows k1, k2, Zero, Half, Span, Carico.
const char* CellName(int row, int cell);

// {"model":"KRV2212A","unit":"3f80a1c2d4e5f607",
//  "rows":[{"row":r,"box":"green","cells":[{"cell":"k1","text":..,"colour":..}]}]}
QJsonObject GridToJson(const CalibrationGrid& grid);
// Nothing but an error text on a malformed document.
QString GridFromJson(const QJsonObject& o, CalibrationGrid& grid);

} // namespace pv
