#pragma once
// The main frame: a multi-document frame that hosts every other window,
// with its own menu bar.
#include <QMainWindow>

class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace pv {

class Program;

class MainFrame final : public QMainWindow {
  Q_OBJECT
public:
  explicit MainFrame(Program& program);

  // Hosts a window; the returned sub-window hides instead of closing
  // while the program is not exiting.
  QMdiSubWindow* host(QWidget* window, const QString& name);
  QMdiArea* area() const { return area_; }
  QMenu* factoryMenu() const { return collaudo_; }
  void setDocumentTitle(const QString& fileName);
  void applyCaptions();

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  void buildMenus();
  Program& program_;
  QMdiArea* area_;
  QMenu* collaudo_ = nullptr;
  QAction* about_ = nullptr;
};

} // namespace pv
