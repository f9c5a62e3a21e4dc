#pragma once
// The calibration window (frm_tara, "Taratura Serie OLMA"): the fourteen
// model buttons, the 22-row result grid of both channels, the options, the
// instrument port selectors, START / STOP / "Riprendi", supply ON / OFF,
// the manual PTC calibration, the linearity tests and "Prog".
//
// Thin: the run is CalibrationRun's, the PTC and linearity work is
// CalibrationSteps'. Every sequence runs as one exchange of the unit link,
// inside the click that started it; its waits keep the window alive, so
// STOP, the option boxes and the selectors work while it runs. One
// sequence at a time: START, "Riprendi" and the other sequence buttons are
// disabled while one runs, and a click that reaches them anyway does
// nothing. Hiding the window (or leaving the program) stops the run at the
// next step, which then switches the supply off.
//
// The unit is opened through the unit session, on the program's one port
// number: the unit selector (EUT) shows it and chooses it, and is locked
// while the port is open. The host hands the unit back when the window
// closes.
#include "factory/CalibrationGrid.h"
#include "factory/CalibrationTables.h"
#include "kernel/ui/Widgets.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pv {

struct AppState;
class CalibrationBench;
class CalibrationRun;
class CalibrationSteps;
struct CalibrationOptions;
class DeviceCommands;
class DeviceLink;
class UnitSession;

class CalibrationWindow final : public QWidget {
  Q_OBJECT
public:
  CalibrationWindow(AppState& state, DeviceCommands& unit, DeviceLink& link, CalibrationBench& bench,
                    UnitSession& session, QWidget* parent = nullptr);
  ~CalibrationWindow() override;

  // Where the linearity tests write their log ("linear.dat" in the working
  // folder).
  void setLogPath(const QString& path) { logPath_ = path; }
  // Folders searched first for the model files.
  void setModelDirs(const QStringList& dirs) { modelDirs_ = dirs; }

  // The model chosen with the buttons ("KRV2212A"), empty before a choice.
  QString modelCode() const;
  // Hands the port selectors to the bench's instruments (the verification
  // windows drive the same instruments).
  void applySelectors();
  bool sequenceRunning() const { return sequence_ != Sequence::None; }
  CalibrationRun& run() { return *run_; }
  // Ends whatever runs at its next step (window closed, program exit).
  void stopAll();
  // Captions in the current language.
  void applyCaptions(const AppState& s);

signals:
  // "Prog": the verification window is wanted.
  void verificationRequested();

protected:
  void hideEvent(QHideEvent* event) override;

private:
  enum class Sequence { None, Run, Manual, Linearity };
  class Painter;

  void chooseModel(int index);
  void start(bool resume);
  // Switches the supply on or off by hand.
  void power(bool on);
  void manualPtc(int channel);
  void outputLinearity();
  void twoChannelLinearity();
  bool linearityMeter(int element, int port);
  bool unitPortReady();
  CalibrationOptions optionsFromBoxes() const;
  void optionsChanged();
  void setSequence(Sequence s);
  void showUnitPort();
  void tell(const QString& text);
  std::unique_ptr<CalibrationSteps> makeSteps();
  void showLabel(const QString& text, CellColour colour);
  void paintRow(int row, const GridRowState& state);

  AppState& state_;
  DeviceCommands& unit_;
  DeviceLink& link_;
  CalibrationBench& bench_;
  UnitSession& session_;
  std::unique_ptr<Painter> painter_;
  std::unique_ptr<CalibrationRun> run_;
  QString logPath_ = QStringLiteral("linear.dat");
  QStringList modelDirs_;
  const CalibrationModel* model_ = nullptr;
  double settleSeconds_ = 4;
  Sequence sequence_ = Sequence::None;
  bool linearityOn_ = false;
  // What the manual PTC and the linearity tests hand their steps.
  std::unique_ptr<CalibrationOptions> stepOptions_;
  CalibrationGrid scratchGrid_;
  bool noResume_ = false;
  std::array<double, 2> noPair_{};

  std::array<QRadioButton*, 14> optModello_{};
  std::array<QCheckBox*, kGridRows> chkTara_{};
  // Per row: k1, k2, Min/Zero, Half, Max/Span, load (nullptr where the row
  // has no such cell).
  std::array<std::array<QLineEdit*, kCellCount>, kGridRows> cells_{};
  std::array<QCheckBox*, 2> chkCanale_{};
  QCheckBox *chkConsumo_, *chkDefault_, *chkSwitch_, *chkControllo_, *chkProgramma_, *chkManuale_;
  QComboBox *comAlim_, *comCal_, *comMult_, *comSwitch_, *comDisp_;
  QPushButton *command2_, *command5_, *command6_, *cmdOn_, *cmdOff_, *command7_;
  std::array<QPushButton*, 2> command1_{};
  QPushButton *command9_, *command3_, *command4_;
  QLineEdit *text2_, *text3_, *text4_, *text5_;
  QLabel* lblCollaudo_;
  CaptionList captions_;
};

} // namespace pv
