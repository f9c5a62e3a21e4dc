#pragma once
// The production test window (frm_test): generator buttons and waveforms,
// output forcing, the stability watch and the frequency sweep. A thin view
// of ProductionTest; hiding the window stops whatever loop it started. The
// unit is opened through the unit session when nobody has opened it, and
// handed back when the window closes.
#include "factory/ProductionTest.h"

#include <QWidget>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace pv {

struct AppState;
class Prompter;
class UnitSession;

class ProductionWindow final : public QWidget {
  Q_OBJECT
public:
  ProductionWindow(AppState& state, ProductionTest& test, Prompter& prompter, UnitSession& session,
                   QWidget* parent = nullptr);

  void applyCaptions(const AppState& s);
  // Where the sweep writes its log ("linear.dat" in the working folder).
  void setLogPath(const QString& path) { logPath_ = path; }

protected:
  void hideEvent(QHideEvent* event) override;

private:
  void generator(GeneratorButton button);
  void force(ForceChannel which);
  void stability();
  void linearity();
  void tell(const QString& text);
  double value(QLineEdit* field) const;
  void refresh();
  // The unit for a loop that talks to it: false when its port cannot be opened.
  bool unit();

  AppState& state_;
  ProductionTest& test_;
  Prompter& prompter_;
  UnitSession& session_;
  QString logPath_ = QStringLiteral("linear.dat");
  QGroupBox *genFrame_, *outFrame_, *freqFrame_, *stabFrame_;
  std::array<QPushButton*, 3> command6_{};
  std::array<QRadioButton*, 3> optFgen_{};
  std::array<QLineEdit*, 3> text1_{};
  QLineEdit *text2_, *text3_, *text4_, *text5_, *text6_, *text7_, *text8_, *text9_, *text10_;
  QPushButton *command1_, *command2_, *command3_, *command4_, *command5_;
  QPushButton *command7_, *command8_, *command10_, *command11_;
  QLabel *lblStart_, *lblEnd_, *lblStep_, *lblDelayStep_, *lblDelayMeas_, *lblTol_, *lblReading_;
  QLabel *lblRef_, *lblTolStab_;
  QListWidget* list1_;
};

} // namespace pv
