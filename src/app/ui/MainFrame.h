#pragma once
// The main frame: a multi-document frame that hosts every other window,
// with its own menu bar built from the program's shared actions.
#include <QMainWindow>
#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace pv {

struct AppState;
class ProgramActions;

class MainFrame final : public QMainWindow {
  Q_OBJECT
public:
  MainFrame(ProgramActions& actions, const AppState& state);

  // Hosts a window in a scrolling sub-window; it hides instead of closing
  // while the program is not exiting.
  QMdiSubWindow* host(QWidget* window, const QString& name);
  // The sub-window hosting a window, or nullptr.
  static QMdiSubWindow* HostOf(QWidget* window);
  // Shows a hosted window at top left of the free part of the frame (below
  // the communication window), sized to its contents but never past the
  // frame: a taller window scrolls.
  void place(QMdiSubWindow* sub, QPoint topLeft);
  // Sizes a sub-window to its contents within the frame, where it stands;
  // growOnly keeps a larger size the user chose.
  void fit(QMdiSubWindow* sub, bool growOnly);

  QMdiArea* area() const { return area_; }
  QMenu* factoryMenu() const { return collaudo_; }
  // The open configuration file, shown after the product title.
  void setDocumentTitle(const QString& fileName);
  void applyCaptions();
  // Asked when the frame is about to close; false keeps it open (the
  // program closes it itself once the link is free).
  void setCloseHandler(std::function<bool()> handler) { closeHandler_ = std::move(handler); }

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  void buildMenus();
  ProgramActions& actions_;
  const AppState& state_;
  QMdiArea* area_;
  QMenu* collaudo_ = nullptr;
  QString document_;
  std::function<bool()> closeHandler_;
};

} // namespace pv
