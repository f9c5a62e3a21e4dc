#pragma once
// The communication window: port selector and open/close toggle, busy lamp,
// progress, device labels, command buttons and its own menu bar (the
// program's shared actions). It paints what the device link reports; the
// program object opens and closes the port when the toggle asks.
#include "kernel/Feedback.h"

#include <QWidget>
#include <array>

class QComboBox;
class QPushButton;
class QToolButton;
class QLabel;
class QGroupBox;
class QMenuBar;
class QMenu;
class QAction;

namespace pv {

struct AppState;
class ProgramActions;
class Lamp;
class ProgressStrip;

class CommWindow final : public QWidget, public Feedback {
  Q_OBJECT
public:
  CommWindow(ProgramActions& actions, const AppState& state, QWidget* parent = nullptr);

  // Feedback from the device link.
  void setBusy(bool busy) override;
  void setProgress(int done, int total) override;
  void setHourglass(bool on) override;
  void setPortFrameEnabled(bool on) override;
  void setCommWindowEnabled(bool on) override;

  // Captions that depend on the language and on the port state.
  void applyMenuCaptions();
  void applyToggleCaption();
  QString aboutCaption() const;
  void setDeviceLabels(const QString& modelCaption, const QString& idText);
  void setMeasureRunning(bool running);  // start/stop picture
  void setSaveEnabled(bool on);
  // The port the unit session uses and whether it is open: the toggle and
  // the selector show it (without asking for it again); the selector is
  // locked while the port is open.
  void showPort(bool open, int number);
  // The unit's fingerprint as the identity label's tool tip; empty: none known.
  void setFingerprint(const QString& digest);
  void setPortToggleEnabled(bool on);
  // Each port entry tells which device it resolves to and whether it is there.
  void refreshPortTips();

  QComboBox* portSelector() const { return cmbPorta_; }
  QPushButton* toggle() const { return check1_; }
  ProgressStrip* progress() const { return bar_; }
  Lamp* lamp() const { return spia_; }
  QMenu* factoryMenu() const { return collaudo_; }

signals:
  // The user pressed (true) or released the toggle with this port chosen.
  void toggleRequested(bool pressed, int portNumber);
  // The user chose another port (1..8) in the selector.
  void portChosen(int portNumber);

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  void buildMenus();

  ProgramActions& actions_;
  const AppState& state_;
  QMenuBar* menuBar_ = nullptr;
  QMenu* collaudo_ = nullptr;
  std::array<QMenu*, 7> menus_{};
  QGroupBox* frame2_ = nullptr;
  QPushButton* check1_ = nullptr;
  QComboBox* cmbPorta_ = nullptr;
  Lamp* spia_ = nullptr;
  ProgressStrip* bar_ = nullptr;
  std::array<QLabel*, 2> lblDevice_{};
  std::array<QToolButton*, 3> cmdModo_{};
  QToolButton* cmdStart_ = nullptr;
  QToolButton* cmdWrite_ = nullptr;
  QToolButton* cmdRead_ = nullptr;
  QToolButton* cmdLang_ = nullptr;
  int hourglassDepth_ = 0;
  QString fingerprint_;
};

} // namespace pv
