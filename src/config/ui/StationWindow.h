#pragma once
// The gang programming station: one slot per port, each with a big lamp
// (waiting, writing, ok, failed, refused), the unit's model and label, its
// counters and its last reason; counters in all; start and stop for all.
// The window only shows GangProgrammer's slots and starts and stops it.
// Closing it while units are in hand stops the gang and closes once every
// unit is finished and out of programming mode.
#include "config/GangProgrammer.h"

#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QGridLayout;

namespace pv {

struct AppState;
class Prompter;

class StationLamp final : public QWidget {
  Q_OBJECT
public:
  explicit StationLamp(QWidget* parent = nullptr);
  void setState(GangState s, const QString& text);
  GangState state() const { return state_; }
  QSize sizeHint() const override { return {96, 96}; }

protected:
  void paintEvent(QPaintEvent*) override;

private:
  GangState state_ = GangState::Waiting;
  QString text_;
};

class StationWindow final : public QWidget {
  Q_OBJECT
public:
  StationWindow(const AppState& state, Prompter& prompter, QWidget* parent = nullptr);
  ~StationWindow() override;

  void setFile(const QString& path);
  void setPorts(const QString& list);
  // Tests hand in simulated ports and a record store of their own.
  void setGangOptions(const GangOptions& base) { base_ = base; }
  // Captions in the program's language.
  void applyCaptions();

  // False (the reason shown) when the gang cannot start.
  bool startAll();
  void stopAll();
  GangProgrammer* gang() const { return gang_.get(); }
  bool running() const { return gang_ && gang_->running(); }

signals:
  void runningChanged(bool running);

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  struct SlotWidgets {
    QWidget* frame;
    QLabel* port;
    StationLamp* lamp;
    QLabel *model, *count, *reason;
  };
  QString text(int id) const;
  void buildSlots();
  void paintSlot(int slot);
  void paintTotals();
  void onFinished();
  void chooseFile();
  void enableControls();

  const AppState& state_;
  Prompter& prompter_;
  GangOptions base_;
  std::unique_ptr<GangProgrammer> gang_;
  std::vector<SlotWidgets> slots_;
  bool closeWhenDone_ = false;
  QLabel *fileLabel_, *portsLabel_, *total_, *message_;
  QLineEdit *file_, *ports_;
  QPushButton *choose_, *start_, *stop_;
  QGridLayout* grid_;
  QWidget* board_;
};

} // namespace pv
