#include "app/ui/MainFrame.h"
#include "text/Texts.h"
#include "app/ui/Program.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace pv {

namespace {
// A hosted window hides on close until the exit command has run.
class HostedWindow final : public QMdiSubWindow {
public:
  HostedWindow(Program& program, QWidget* parent) : QMdiSubWindow(parent), program_(program) {}

  // A window whose sections appear grows its frame to show them whole.
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::LayoutRequest && watched == widget() && isVisible()) {
      const QSize chrome = size() - widget()->size();
      const QSize want = (widget()->sizeHint() + chrome).expandedTo(size());
      if (want != size()) resize(want);
    }
    return QMdiSubWindow::eventFilter(watched, e);
  }

protected:
  void closeEvent(QCloseEvent* e) override {
    if (!program_.state().exitFlag && widget() && widget()->objectName() != QLatin1String("frm_comm")) {
      e->ignore();
      hide();
      return;
    }
    if (widget() && !widget()->close()) {
      e->ignore();
      return;
    }
    QMdiSubWindow::closeEvent(e);
  }

private:
  Program& program_;
};
} // namespace

MainFrame::MainFrame(Program& program) : program_(program), area_(new QMdiArea(this)) {
  setObjectName(QStringLiteral("frm_main"));
  area_->setObjectName(QStringLiteral("mdi"));
  area_->setBackground(QColor(0x5f, 0x6b, 0x75));
  setCentralWidget(area_);
  buildMenus();
  // Room for the communication window and the editor below it.
  QSize size(1280, 1000);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() * 0.95);
  resize(size);
}

QMdiSubWindow* MainFrame::host(QWidget* window, const QString& name) {
  auto* sub = new HostedWindow(program_, area_);
  sub->setObjectName(name + QStringLiteral("_host"));
  sub->setWidget(window);
  window->installEventFilter(sub);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  area_->addSubWindow(sub);
  sub->hide();
  return sub;
}

void MainFrame::buildMenus() {
  QMenuBar* bar = menuBar();
  bar->setNativeMenuBar(false);
  auto add = [this](QMenu* m, const QString& text, const QString& name, QKeySequence key, auto slot) {
    QAction* a = m->addAction(text);
    a->setObjectName(name);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  add(file, QStringLiteral("&Open"), QStringLiteral("mnu_open"), QKeySequence::Open, [this] { program_.FileOpen(); });
  file->addSeparator();
  add(file, QStringLiteral("&Save"), QStringLiteral("mnu_save"), QKeySequence::Save, [this] { program_.FileSave(false); });
  add(file, QStringLiteral("Save &As ..."), QStringLiteral("mnu_saveAs"), QKeySequence(QStringLiteral("Ctrl+Shift+S")),
      [this] { program_.FileSave(true); });

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  add(view, QStringLiteral("&Program"), QStringLiteral("mnu_program"), QKeySequence(QStringLiteral("Ctrl+1")),
      [this] { program_.View(0); });
  add(view, QStringLiteral("&Measure"), QStringLiteral("mnu_measure"), QKeySequence(QStringLiteral("Ctrl+2")),
      [this] { program_.View(1); });
  add(view, QStringLiteral("&Switch"), QStringLiteral("mnu_switch"), QKeySequence(QStringLiteral("Ctrl+3")),
      [this] { program_.View(2); });

  QMenu* action = bar->addMenu(QStringLiteral("&Action"));
  QMenu* prog = action->addMenu(QStringLiteral("&Program"));
  add(prog, QStringLiteral("&Read"), QStringLiteral("mnu_read"), QKeySequence(QStringLiteral("Ctrl+R")),
      [this] { program_.Read(); });
  add(prog, QStringLiteral("&Write"), QStringLiteral("mnu_write"), QKeySequence(QStringLiteral("Ctrl+W")),
      [this] { program_.Write(); });
  QMenu* meas = action->addMenu(QStringLiteral("&Measure"));
  add(meas, QStringLiteral("&Start"), QStringLiteral("mnu_start"), QKeySequence(QStringLiteral("F5")),
      [this] { program_.StartStop(); });
  add(meas, QStringLiteral("&Stop"), QStringLiteral("mnu_stop"), QKeySequence(QStringLiteral("Shift+F5")),
      [this] { program_.StartStop(); });

  collaudo_ = bar->addMenu(QStringLiteral("&Collaudo"));
  collaudo_->setObjectName(QStringLiteral("mnu_collaudo"));
  collaudo_->addAction(QStringLiteral("&EEprom"))->setObjectName(QStringLiteral("mnu_EEprom"));
  collaudo_->addAction(QStringLiteral("&Taratura"))->setObjectName(QStringLiteral("mnu_tara"));

  QMenu* help = bar->addMenu(QStringLiteral("&?"));
  help->setObjectName(QStringLiteral("mnu_help"));
  add(help, QStringLiteral("&Language"), QStringLiteral("mnu_Lang"), QKeySequence(QStringLiteral("Ctrl+L")),
      [this] { program_.ShowLanguage(); });
  about_ = add(help, QStringLiteral("A&bout PLANOVIX"), QStringLiteral("mnu_about"), QKeySequence(QStringLiteral("F1")),
               [this] { program_.ShowAbout(); });

  QAction* exit = bar->addAction(QStringLiteral("E&xit"));
  exit->setObjectName(QStringLiteral("mnu_exit"));
  connect(exit, &QAction::triggered, this, &QWidget::close);
}

void MainFrame::applyCaptions() {
  setWindowTitle(ProductTitle(program_.state()));
}

void MainFrame::setDocumentTitle(const QString& fileName) {
  setWindowTitle(ProductTitle(program_.state()) + QStringLiteral(" - ") + fileName);
}

void MainFrame::closeEvent(QCloseEvent* e) {
  program_.state().exitFlag = true;
  program_.CloseAllWindows();
  e->accept();
}

} // namespace pv
