#pragma once
// The switch wizard window (frm_switch): the unit's three DIP-switch banks,
// what they mean, and how to set them for another range; with a
// demonstration mode that needs no unit. A thin view of SwitchWizardModel.
#include "kernel/ui/Binder.h"

#include <QWidget>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace pv {

class SwitchWizardModel;
class DipBank;
class Lamp;
struct AppState;
class Prompter;

class SwitchWindow final : public QWidget {
  Q_OBJECT
public:
  SwitchWindow(SwitchWizardModel& model, AppState& state, Prompter& prompter, QWidget* parent = nullptr);
  void applyCaptions(const AppState& s);
  DipBank* bank(int i) const { return banks_[i]; }

private:
  void storeDefault(int table, int entry);
  // Ties every widget to the model: what sync shows, where a user's choice goes.
  void bind();
  SwitchWizardModel& model_;
  Prompter& prompter_;
  AppState& state_;
  Binder binder_;
  std::array<QGroupBox*, 2> inFrame_{}, outFrame_{}, optFrame_{};
  std::array<QComboBox*, 2> inBox_{}, outBox_{};
  std::array<QRadioButton*, 4> opts_{};
  std::array<QRadioButton*, 2> far_{};
  std::array<QLabel*, 2> channelLabel_{};
  QListWidget* span_;
  QListWidget* zero_;
  QLabel* spanLabel_;
  QLabel* zeroLabel_;
  QGroupBox* divider_;
  QComboBox* multiplier_;
  QLabel* sw2Label_ = nullptr;
  QLineEdit* sw2_;
  QPlainTextEdit* limits_;
  QPushButton* wizard_;
  QPushButton* back_;
  QComboBox* models_;
  QGroupBox* check_;
  Lamp* spia_;
  QLabel* checkText_;
  std::array<DipBank*, 3> banks_{};
};

} // namespace pv
