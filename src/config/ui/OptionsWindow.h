#pragma once
// The options window (frm_Oper): the operation that combines the two
// channels into one channel's output. Opened for one channel at a time;
// closing only hides it.
#include <QWidget>
#include <array>

class QRadioButton;
class QGroupBox;
class QLineEdit;
class QLabel;

namespace pv {

class EditorModel;
struct AppState;

class OptionsWindow final : public QWidget {
  Q_OBJECT
public:
  explicit OptionsWindow(EditorModel& model, QWidget* parent = nullptr);
  // Selects the stored operation of channel c (the model remembers c).
  void openFor(int channel);
  void applyCaptions(const AppState& s);

signals:
  void closeRequested();

private:
  void sync();
  EditorModel& model_;
  std::array<QRadioButton*, 8> ops_{};
  QGroupBox* frame1_;
  QGroupBox* frame2_;
  QLineEdit* value_;
};

} // namespace pv
