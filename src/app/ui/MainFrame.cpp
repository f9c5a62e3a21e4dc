#include "app/ui/MainFrame.h"
#include "app/ui/ProgramActions.h"
#include "kernel/AppState.h"
#include "text/Texts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHideEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

namespace pv {

namespace {
// A hosted window hides on close until the exit command has run.
class HostedWindow final : public QMdiSubWindow {
public:
  HostedWindow(MainFrame& frame, const AppState& state, QWidget* parent)
      : QMdiSubWindow(parent), frame_(frame), state_(state) {}

  QWidget* inner = nullptr;

  // A window whose sections appear grows its frame to show them, within
  // the main frame.
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::LayoutRequest && watched == inner && isVisible()) frame_.fit(this, true);
    return QMdiSubWindow::eventFilter(watched, e);
  }

protected:
  void hideEvent(QHideEvent* e) override {
    QMdiSubWindow::hideEvent(e);
    if (!e->spontaneous() && inner) emit frame_.windowHidden(inner);
  }
  void closeEvent(QCloseEvent* e) override {
    if (!state_.exitFlag && inner && inner->objectName() != QLatin1String("frm_comm")) {
      e->ignore();
      hide();
      return;
    }
    if (inner && !inner->close()) {
      e->ignore();
      return;
    }
    QMdiSubWindow::closeEvent(e);
  }

private:
  MainFrame& frame_;
  const AppState& state_;
};
} // namespace

// The hosted windows hide while QWidget's destructor runs, when the frame
// is no longer a MainFrame: they must not signal through it then.
MainFrame::~MainFrame() {
  for (QMdiSubWindow* sub : area_->subWindowList())
    if (auto* hosted = dynamic_cast<HostedWindow*>(sub)) hosted->inner = nullptr;
}

QString MenuTitle(const AppState& s, int i) {
  static constexpr int kIds[] = {106, 100, 101, 35, 36, 102, 103};
  const QString t = Tr(s, kIds[i]);
  // Program and Measure are the view captions: they get their key letter here.
  return i == 3 || i == 4 ? QLatin1Char('&') + t : t;
}

std::array<QMenu*, 7> BuildMenuBar(QMenuBar* bar, const ProgramActions& a, const MenuBarLayout& layout) {
  std::array<QMenu*, 7> menus{};
  auto named = [&](QMenu* m, int i) {
    m->setObjectName(QString::fromLatin1(layout.names[static_cast<size_t>(i)]));
    menus[static_cast<size_t>(i)] = m;
    return m;
  };
  bar->setNativeMenuBar(false);
  QMenu* file = named(bar->addMenu(QStringLiteral("&File")), 0);
  file->addAction(a.fileOpen);
  file->addSeparator()->setObjectName(QStringLiteral("sep"));
  file->addActions({a.fileSave, a.fileSaveAs});
  named(bar->addMenu(QStringLiteral("&View")), 1)->addActions({a.viewProgram, a.viewMeasure, a.viewSwitch, a.compare});
  QMenu* action = named(bar->addMenu(QStringLiteral("&Action")), 2);
  named(action->addMenu(QStringLiteral("&Program")), 3)->addActions({a.read, a.write, a.writeChanged, a.undoWrite});
  named(action->addMenu(QStringLiteral("&Measure")), 4)->addActions({a.start, a.stop});
  named(bar->addMenu(QStringLiteral("&Collaudo")), 5)->addActions(layout.factory);
  named(bar->addMenu(QStringLiteral("&Help")), 6)->addActions(layout.help);
  bar->addAction(a.exit);
  return menus;
}

MainFrame::MainFrame(ProgramActions& actions, const AppState& state)
    : actions_(actions), state_(state), area_(new QMdiArea(this)) {
  setObjectName(QStringLiteral("frm_main"));
  area_->setObjectName(QStringLiteral("mdi"));
  area_->setBackground(QColor(0x5f, 0x6b, 0x75));
  setCentralWidget(area_);
  menus_ = BuildMenuBar(menuBar(), actions_,
                       {{"mnu_file", "mnu_view", "mnu_action", "mnu_prog", "mnu_meas", "mnu_collaudo", "mnu_help"},
                        {actions_.eeprom, actions_.taratura, actions_.station, actions_.records},
                        {actions_.language, actions_.about}});
  collaudo_ = menus_[5];
  // Room for the communication window, the editor and a factory window
  // beside one another (smaller screens get the frame maximised).
  QSize size(1600, 1000);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() * 0.95);
  resize(size);
}

QMdiSubWindow* MainFrame::host(QWidget* window, const QString& name) {
  auto* sub = new HostedWindow(*this, state_, area_);
  sub->setObjectName(name + QStringLiteral("_host"));
  auto* scroll = new QScrollArea;
  scroll->setObjectName(name + QStringLiteral("_scroll"));
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setWidget(window);
  sub->inner = window;
  sub->setWidget(scroll);
  sub->setWindowTitle(window->windowTitle());
  window->installEventFilter(sub);
  // The hosted window's title is the sub-window's.
  connect(window, &QWidget::windowTitleChanged, sub, &QWidget::setWindowTitle);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  area_->addSubWindow(sub);
  sub->hide();
  return sub;
}

QMdiSubWindow* MainFrame::HostOf(QWidget* window) {
  for (QWidget* w = window ? window->parentWidget() : nullptr; w; w = w->parentWidget())
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) return sub;
  return nullptr;
}

void MainFrame::fit(QMdiSubWindow* sub, bool growOnly) {
  auto* hosted = static_cast<HostedWindow*>(sub);
  if (!hosted->inner || !sub->widget()) return;
  // Title bar and border: the sub-window keeps them as its contents margins
  // (its widget may not be laid out yet when it is first shown).
  const QMargins m = sub->contentsMargins();
  const QSize chrome(m.left() + m.right(), m.top() + m.bottom());
  QWidget* inner = hosted->inner;
  inner->ensurePolished();
  if (inner->layout()) inner->layout()->activate();
  QSize want = inner->sizeHint().expandedTo(inner->minimumSizeHint()).expandedTo(inner->minimumSize()) + chrome;
  const QSize room = area_->viewport()->size() - QSize(sub->x(), sub->y());
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
  // Taller than the frame: the window scrolls, and the bar needs its width.
  if (want.height() > room.height()) want.rwidth() += bar;
  if (want.width() > room.width()) want.rheight() += bar;
  // A window the user made larger stays so while its contents change.
  if (growOnly) want = want.expandedTo(sub->size());
  want = want.boundedTo(room).expandedTo(QSize(120, 80));
  if (want != sub->size()) sub->resize(want);
}

void MainFrame::place(QMdiSubWindow* sub, QPoint topLeft) {
  sub->move(topLeft);
  sub->show();
  fit(sub, false);
  sub->raise();
  area_->setActiveSubWindow(sub);
  focusFirstField(sub);
}

QPoint MainFrame::cascade(QMdiSubWindow* sub, QPoint first) const {
  constexpr int kStep = 28;
  const QSize room = area_->viewport()->size();
  auto taken = [&](QPoint p) {
    for (QMdiSubWindow* w : area_->subWindowList())
      if (w != sub && w->isVisible() && (w->pos() - p).manhattanLength() < kStep / 2) return true;
    return false;
  };
  for (int k = 0; k < 12; ++k) {
    const QPoint p = first + QPoint(k * kStep, k * kStep);
    // A step that leaves too little of the window in the frame starts over.
    if (p.x() + 240 > room.width() || p.y() + 160 > room.height()) break;
    if (!taken(p)) return p;
  }
  return first;
}

void MainFrame::focusFirstField(QMdiSubWindow* sub) {
  auto* hosted = static_cast<HostedWindow*>(sub);
  QWidget* inner = hosted->inner;
  if (!inner) return;
  QWidget* focused = QApplication::focusWidget();
  if (focused && inner->isAncestorOf(focused)) return;
  for (QWidget* w = inner->nextInFocusChain(); w && w != inner; w = w->nextInFocusChain()) {
    if (!inner->isAncestorOf(w)) continue;
    if (w->isVisibleTo(inner) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
      w->setFocus(Qt::ActiveWindowFocusReason);
      return;
    }
  }
}

void MainFrame::showForScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen && screen->availableGeometry().width() <= 1440) {
    showMaximized();
    return;
  }
  show();
}

void MainFrame::applyCaptions() {
  // The same titles as the communication window's menu bar.
  for (int i = 0; i < 7; ++i) menus_[static_cast<size_t>(i)]->setTitle(MenuTitle(state_, i));
  const QString title = ProductTitle(state_);
  setWindowTitle(document_.isEmpty() ? title : title + QStringLiteral(" - ") + document_);
}

void MainFrame::setDocumentTitle(const QString& fileName) {
  document_ = fileName;
  applyCaptions();
}

void MainFrame::closeEvent(QCloseEvent* e) {
  if (closeHandler_ && !closeHandler_()) {
    e->ignore();
    return;
  }
  e->accept();
}

} // namespace pv
