#pragma once
// The calibration verification windows: frm_verifica ("Verifica taratura":
// download, state lamp, report, "Salva report") and interfaccia_strum_ver
// ("Impostazione strumenti": mode, supply, meter, calibrator and switching
// unit frames). Thin views of Verification; every rule and every
// instrument command is the core's.
#include "factory/Verification.h"
#include "kernel/ui/Widgets.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace pv {

struct AppState;
class Lamp;
class Prompter;

class InstrumentSetupWindow final : public QWidget {
  Q_OBJECT
public:
  InstrumentSetupWindow(const AppState& state, Verification& core, Prompter& prompter, QWidget* parent = nullptr);

  // "Prog. strumenti": the mode label, the frames hidden until a mode is
  // chosen; the choices made before stay.
  void restart();
  // The calibration window's model code; when set it decides the device
  // routed by "Set Un.Sw.".
  void setCalibrationModel(const QString& model) { calibrationModel_ = model; }
  void applyCaptions(const AppState& s);

  VerifyResult pressSupply();
  VerifyResult pressMeter();
  VerifyResult pressSwitches();
  VerifyResult pressCalibrator();
  // imp_strum: the ticked instruments in order, up to the first that fails.
  VerifyResult pressAll();
  void pressStop();

protected:
  void hideEvent(QHideEvent* event) override;

private:
  void modeChosen(int index);
  void deviceChosen(int index);
  void showRunning(bool running);
  const VerificationInput* chosenInput() const;
  VerifyOutput chosenOutput() const;

  const AppState& state_;
  Verification& core_;
  Prompter& prompter_;
  QString calibrationModel_;
  QLabel *modeLabel_, *channelLabel_;
  QComboBox *mode_, *outvi_, *input_, *device_, *channel_;
  QGroupBox *supplyFrame_, *meterFrame_, *calFrame_, *switchFrame_;
  QLineEdit *supplyVolts_, *min_, *max_, *half_;
  QCheckBox *checkSupply_, *checkMeter_, *checkCal_, *checkSwitch_;
  QPushButton *setSupply_, *setMeter_, *setCal_, *setSwitch_, *all_, *stop_;
  CaptionList captions_;
  bool channelOut_ = false;
};

class VerificationWindow final : public QWidget {
  Q_OBJECT
public:
  // portOpen tells whether the unit's port is open.
  VerificationWindow(const AppState& state, Verification& core, Prompter& prompter,
                     std::function<bool()> portOpen, QWidget* parent = nullptr);

  // The calibration window's "Prog": state "STOP", red lamp, report
  // emptied, count 0.
  void openFresh();
  void applyCaptions(const AppState& s);
  InstrumentSetupWindow* setupWindow() const { return setup_; }
  void setSetupWindow(InstrumentSetupWindow* setup) { setup_ = setup; }

signals:
  // "Prog. strumenti": the host shows the set-up window.
  void setupRequested();
  // "Programmazione manuale": the host shows the configuration window.
  void configurationRequested();

private:
  void showPhase(Verification::Phase p);
  void saveReport();
  void tell(int id);

  const AppState& state_;
  Verification& core_;
  Prompter& prompter_;
  std::function<bool()> portOpen_;
  InstrumentSetupWindow* setup_ = nullptr;
  QPushButton *commStrum_, *progDef_, *progMan_, *sendProg_, *save_;
  QPlainTextEdit* report_;
  QLabel* state_0_;
  Lamp* lamp_;
  CaptionList captions_;
};

} // namespace pv
