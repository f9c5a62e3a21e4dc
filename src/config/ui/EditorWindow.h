#pragma once
// The configuration editor window (frm_program): a thin view of the editor
// model. Every rule runs in the model; this window copies values to and
// from its controls and repaints when the model changes.
#include "config/EditorState.h"
#include "kernel/ui/Binder.h"

#include <QStringList>
#include <QWidget>
#include <array>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pv {

class EditorModel;
struct AppState;
class Lamp;

class EditorWindow final : public QWidget {
  Q_OBJECT
public:
  explicit EditorWindow(EditorModel& model, QWidget* parent = nullptr);

  // Captions of the current language and the headings of the unit's variant.
  void applyCaptions(const AppState& s);
  // 1 while the port is open, 4 when it closed or failed to open.
  void setDisplayValue(int value);
  int displayValue() const { return display_; }
  void sync() { binder_.sync(); }
  // Marks the fields whose value differs from what was last read from the
  // unit (a tint and the unit's value as tool tip). Runs after every edit.
  void refreshMarks();
  QStringList markedControls() const { return marked_; }

signals:
  void optionsRequested(int channel);
  void stopRequested();
  // "Print / PDF...": the commissioning sheet of what the editor shows.
  void sheetRequested();
  // After every edit and every change of the model (the compare window follows).
  void marksChanged();

private:
  QGroupBox* channelInput(int c);
  QGroupBox* channelOutput(int c);
  QGroupBox* channelOptions(int c);
  QGroupBox* tripFrame();
  QGroupBox* frequencyFrame();
  QGroupBox* scalingPanel();
  QGroupBox* physicalFrame();
  QRadioButton* radio(const QString& name, const QString& text, QWidget* parent);
  QLabel* label(const QString& name, QWidget* parent, const QString& text = {});
  const EditorView& view() const;
  // A number field's text box, and an option group of one channel.
  void number(QLineEdit* e, Field f);
  void choice(std::vector<QAbstractButton*> buttons, int c, int ChannelConfig::*group);

  EditorModel& model_;
  Binder binder_;
  int display_ = 4;
  Lamp* portLamp_ = nullptr;
  QLabel* portText_ = nullptr;
  std::array<QLabel*, 2> channelHeading_{};
  QStringList marked_;
};

} // namespace pv
