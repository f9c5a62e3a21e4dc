#pragma once
// What a calibration runs with, shared by the run and its steps: the bench
// instruments it drives, the options the window's boxes set, and the
// window (or command-line station) it reports to.
#include "factory/CalibrationGrid.h"
#include "factory/CalibrationTables.h"

#include <QString>
#include <QStringList>
#include <array>

namespace pv {

class Calibrator;
class Multimeter;
class PowerSupply;
class SwitchingUnit;

struct CalibrationInstruments {
  PowerSupply& supply;
  Calibrator& calibrator;
  Multimeter& meter;
  SwitchingUnit& switches;
};

struct CalibrationOptions {
  const CalibrationModel* model = nullptr;
  std::array<bool, kGridRows> rows{};
  std::array<bool, 2> channels{};
  bool consumption = true;     // "Prova Cons."
  bool loadDefault = false;    // "Carica Default"
  bool switchCheck = true;     // "Controllo switch"
  bool verify = true;          // "Controllo misure"
  bool finalProgram = true;    // "Progr. finale"
  double settleSeconds = 4;
  // Where the model file is looked for, in order.
  QStringList modelDirs;
};

// What a window (or the command-line station) shows; the run only reports.
class CalibrationUi {
public:
  virtual ~CalibrationUi() = default;
  // "COLLAUDO IN CORSO" / "ERRORE" / "COLLAUDO TERMINATO" and its colour.
  virtual void label(const QString& text, CellColour colour) { (void)text; (void)colour; }
  virtual void rowChanged(int row, const GridRowState& state) { (void)row; (void)state; }
  // After every step (ticked or not), with the grid as it stands.
  virtual void stepDone(int row, const CalibrationGrid& grid) { (void)row; (void)grid; }
};

} // namespace pv
