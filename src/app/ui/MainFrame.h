#pragma once
// The main frame: a multi-document frame that hosts every other window,
// with its own menu bar built from the program's shared actions.
#include <QList>
#include <QMainWindow>
#include <array>
#include <functional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;

namespace pv {

struct AppState;
class ProgramActions;

// The title of menu i (File, View, Action, Program, Measure, factory, help)
// in the current language; both menu bars show these.
QString MenuTitle(const AppState& s, int i);

// What tells the two menu bars apart: the menus' object names (in
// MenuTitle's order) and what the factory and help menus hold.
struct MenuBarLayout {
  std::array<const char*, 7> names;
  QList<QAction*> factory;
  QList<QAction*> help;
};
// Fills a menu bar with the shared actions; returns its menus in
// MenuTitle's order, for the captions.
std::array<QMenu*, 7> BuildMenuBar(QMenuBar* bar, const ProgramActions& a, const MenuBarLayout& layout);

class MainFrame final : public QMainWindow {
  Q_OBJECT
public:
  MainFrame(ProgramActions& actions, const AppState& state);
  ~MainFrame() override;

  // Hosts a window in a scrolling sub-window; it hides instead of closing
  // while the program is not exiting.
  QMdiSubWindow* host(QWidget* window, const QString& name);
  // The sub-window hosting a window, or nullptr.
  static QMdiSubWindow* HostOf(QWidget* window);
  // Shows a hosted window at top left of the free part of the frame (below
  // the communication window), sized to its contents but never past the
  // frame: a taller window scrolls.
  void place(QMdiSubWindow* sub, QPoint topLeft);
  // Where a window opening at first should go: first itself, or the next
  // step down and right from it that no other open window has taken, back
  // to first when the steps leave the frame.
  QPoint cascade(QMdiSubWindow* sub, QPoint first) const;
  // Gives the keyboard to the first field of a hosted window that holds
  // none (a window opened from a menu takes the keys at once).
  void focusFirstField(QMdiSubWindow* sub);
  // Shown maximised on screens up to 1440 wide (laptops, small desktops);
  // on larger ones sized for the windows it hosts side by side.
  void showForScreen();
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

signals:
  // A hosted window was closed (hidden) by the user or the program; not
  // sent when the whole frame is minimised.
  void windowHidden(QWidget* window);

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  ProgramActions& actions_;
  const AppState& state_;
  QMdiArea* area_;
  QMenu* collaudo_ = nullptr;
  // File, View, Action, Program, Measure, factory, help.
  std::array<QMenu*, 7> menus_{};
  QString document_;
  std::function<bool()> closeHandler_;
};

} // namespace pv
