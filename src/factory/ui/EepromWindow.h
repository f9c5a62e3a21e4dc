#pragma once
// The EEPROM window (frm_eeprom): the unit's cell memory as a list of 256
// cells of bank 0 to read, save, load, write back and verify, and one Byte,
// Int or Float value at any bank and address. Thin: every action is the
// editor core's; the device buttons wait while the link is busy. The unit is
// opened through the unit session when nobody has opened it; closing the
// window (only hidden) hands it back.
#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QGroupBox;

namespace pv {

struct AppState;
class DeviceLink;
class EepromEditor;
class UnitSession;

class EepromWindow final : public QWidget {
  Q_OBJECT
public:
  EepromWindow(EepromEditor& editor, DeviceLink& link, UnitSession& session, QWidget* parent = nullptr);
  void applyCaptions(const AppState& s);

private:
  void showList();
  void showDifferences();
  void showFields();
  void takeFields();
  void refreshDeviceButtons();
  // The unit for a device button: false when its port cannot be opened.
  bool unit();

  EepromEditor& editor_;
  DeviceLink& link_;
  UnitSession& session_;
  QListWidget* list1_;
  QListWidget* list2_;
  QGroupBox* frame1_;
  QGroupBox* format_;
  // Command1 .. Command7 (index 0 unused)
  std::array<QPushButton*, 8> cmd_{};
  QLineEdit *bank_, *start_, *value_, *a_, *b_, *c_;
  QLabel *bankLabel_, *startLabel_, *valueLabel_;
  std::array<QRadioButton*, 3> option2_{};
  std::array<QRadioButton*, 2> option1_{};
  bool filling_ = false;
};

} // namespace pv
