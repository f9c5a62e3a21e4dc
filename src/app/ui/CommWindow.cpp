#include "app/ui/CommWindow.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "kernel/ui/Icons.h"
#include "app/ui/MainFrame.h"
#include "app/ui/ProgramActions.h"
#include "kernel/AppState.h"
#include "kernel/ui/Widgets.h"
#include "link/PortNames.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace pv {

namespace {
QToolButton* PictureButton(QWidget* parent, const QString& name, Picture pic) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setIcon(MakeIcon(pic));
  b->setIconSize(QSize(28, 28));
  b->setAutoRaise(false);
  b->setFixedSize(40, 40);
  return b;
}
} // namespace

CommWindow::CommWindow(ProgramActions& actions, const AppState& state, QWidget* parent)
    : QWidget(parent), actions_(actions), state_(state) {
  setObjectName(QStringLiteral("frm_comm"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  buildMenus();
  outer->setMenuBar(menuBar_);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(8, 6, 8, 6);
  row->setSpacing(8);
  outer->addLayout(row);

  frame2_ = new QGroupBox(this);
  frame2_->setObjectName(QStringLiteral("Frame2"));
  auto* f2 = new QHBoxLayout(frame2_);
  f2->setContentsMargins(6, 4, 6, 4);
  check1_ = new QPushButton(LoadText(38), frame2_);
  check1_->setObjectName(QStringLiteral("Check1"));
  check1_->setCheckable(true);
  check1_->setMinimumWidth(96);
  cmbPorta_ = new QComboBox(frame2_);
  cmbPorta_->setObjectName(QStringLiteral("cmb_Porta"));
  for (int n = 1; n <= 8; ++n) cmbPorta_->addItem(QStringLiteral("COM %1").arg(n));
  cmbPorta_->setCurrentIndex(0);
  f2->addWidget(check1_);
  f2->addWidget(cmbPorta_);
  row->addWidget(frame2_);

  auto* status = new QVBoxLayout;
  status->setSpacing(4);
  auto* lampRow = new QHBoxLayout;
  spia_ = new Lamp(this);
  spia_->setObjectName(QStringLiteral("Spia"));
  spia_->setVbColor(kGreen);
  bar_ = new ProgressStrip(this);
  lampRow->addWidget(spia_);
  lampRow->addWidget(bar_, 1);
  status->addLayout(lampRow);
  auto* labels = new QHBoxLayout;
  for (int i = 0; i < 2; ++i) {
    lblDevice_[i] = new QLabel(this);
    lblDevice_[i]->setObjectName(QStringLiteral("lbl_device_%1").arg(i));
    lblDevice_[i]->setMinimumWidth(i == 0 ? 110 : 70);
  }
  QFont bold = lblDevice_[0]->font();
  bold.setBold(true);
  lblDevice_[0]->setFont(bold);
  lblDevice_[1]->setText(QStringLiteral("id=12/0"));
  labels->addWidget(lblDevice_[0]);
  labels->addWidget(lblDevice_[1]);
  labels->addStretch();
  status->addLayout(labels);
  row->addLayout(status, 1);

  cmdRead_ = PictureButton(this, QStringLiteral("cmd_read"), Picture::Read);
  cmdWrite_ = PictureButton(this, QStringLiteral("cmd_write"), Picture::Write);
  cmdStart_ = PictureButton(this, QStringLiteral("cmd_start"), Picture::Start);
  row->addWidget(cmdRead_);
  row->addWidget(cmdWrite_);
  row->addWidget(cmdStart_);
  row->addSpacing(6);
  const Picture views[3] = {Picture::ViewConfig, Picture::ViewMeasure, Picture::ViewSwitch};
  for (int i = 0; i < 3; ++i) {
    cmdModo_[i] = PictureButton(this, QStringLiteral("cmd_modo_%1").arg(i), views[i]);
    row->addWidget(cmdModo_[i]);
    QAction* view = i == 0 ? actions_.viewProgram : i == 1 ? actions_.viewMeasure : actions_.viewSwitch;
    connect(cmdModo_[i], &QToolButton::clicked, view, &QAction::trigger);
  }
  row->addSpacing(6);
  cmdLang_ = PictureButton(this, QStringLiteral("cmd_Lang"), Picture::Language);
  row->addWidget(cmdLang_);

  connect(check1_, &QPushButton::toggled, this,
          [this](bool pressed) { emit toggleRequested(pressed, PortNumberFromText(cmbPorta_->currentText())); });
  connect(cmbPorta_, &QComboBox::activated, this,
          [this] { emit portChosen(PortNumberFromText(cmbPorta_->currentText())); });
  // The buttons are the menu's actions: pressed, enabled and disabled with them.
  const std::pair<QToolButton*, QAction*> pairs[] = {
      {cmdRead_, actions_.read}, {cmdWrite_, actions_.write}, {cmdStart_, actions_.stop}};
  for (const auto& [button, action] : pairs) {
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
    button->setEnabled(action->isEnabled());
  }
  connect(cmdLang_, &QToolButton::clicked, actions_.language, &QAction::trigger);
  connect(cmbPorta_, &QComboBox::activated, this, [this] { refreshPortTips(); });
  refreshPortTips();
  setWindowTitle(LoadText(BrandBase(0) + brand::ProductTitle));
}

void CommWindow::buildMenus() {
  menuBar_ = new QMenuBar(this);
  menus_ = BuildMenuBar(menuBar_, actions_,
                        {{"mnu_File", "mnu_View", "mnu_Action", "mnu_Action_Program", "mnu_Action_Measure",
                          "mnu_Collaudo", "mnu_Help"},
                         {actions_.eeprom, actions_.taratura, actions_.station, actions_.test, actions_.records},
                         {actions_.about}});
  collaudo_ = menus_[5];
}

void CommWindow::applyMenuCaptions() {
  const AppState& s = state_;
  for (int i = 0; i < 7; ++i) menus_[static_cast<size_t>(i)]->setTitle(MenuTitle(s, i));
  for (int i = 0; i < 3; ++i) cmdModo_[i]->setToolTip(Tr(s, 35 + i));
  cmdRead_->setToolTip(Tr(s, 46));
  cmdWrite_->setToolTip(Tr(s, 47));
  cmdStart_->setToolTip(Tr(s, 91));
  cmdLang_->setToolTip(Tr(s, 90));
  setFingerprint(fingerprint_);
}

QString CommWindow::aboutCaption() const { return actions_.about->text(); }

void CommWindow::applyToggleCaption() {
  check1_->setText(Tr(state_, check1_->isChecked() ? 39 : 38));
}

void CommWindow::setDeviceLabels(const QString& modelCaption, const QString& idText) {
  if (!modelCaption.isNull()) lblDevice_[0]->setText(modelCaption);
  lblDevice_[1]->setText(idText);
}

void CommWindow::setFingerprint(const QString& digest) {
  fingerprint_ = digest;
  const QString tip = digest.isEmpty() ? QString() : Tr(state_, 199).arg(digest);
  for (QLabel* label : lblDevice_) label->setToolTip(tip);
}

void CommWindow::setMeasureRunning(bool running) {
  cmdStart_->setIcon(MakeIcon(running ? Picture::Stop : Picture::Start));
  cmdStart_->setProperty("bitmap", running ? 13 : 12);
}

void CommWindow::setSaveEnabled(bool on) { actions_.fileSave->setEnabled(on); }

void CommWindow::showPort(bool open, int number) {
  {
    const QSignalBlocker quiet(check1_);
    check1_->setChecked(open);
  }
  applyToggleCaption();
  {
    const QSignalBlocker quiet(cmbPorta_);
    if (number >= 1 && number <= cmbPorta_->count()) cmbPorta_->setCurrentIndex(number - 1);
  }
  cmbPorta_->setEnabled(!open);
  refreshPortTips();
}

void CommWindow::setPortToggleEnabled(bool on) { check1_->setEnabled(on); }

void CommWindow::refreshPortTips() {
  for (int n = 1; n <= 8; ++n) {
    const QString path = ResolveComPort(n);
    const bool present = QFileInfo::exists(path);
    const QString tip = QStringLiteral("%1 (%2)").arg(path, Tr(state_, present ? 86 : 87));
    cmbPorta_->setItemData(n - 1, tip, Qt::ToolTipRole);
  }
}

void CommWindow::setBusy(bool busy) { spia_->setVbColor(busy ? kRed : kGreen); }

void CommWindow::setProgress(int done, int total) { bar_->setProgress(done, total); }

void CommWindow::setHourglass(bool on) {
  if (on) {
    ++hourglassDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (hourglassDepth_ > 0) {
    --hourglassDepth_;
    QApplication::restoreOverrideCursor();
  }
}

// The link decides what may be pressed while it works (the toggle, Read,
// Write and Start follow its state); greying the whole window for the
// milliseconds of each read only lost the presses on Close Com and Exit.
void CommWindow::setPortFrameEnabled(bool) {}

void CommWindow::setCommWindowEnabled(bool) {}

void CommWindow::closeEvent(QCloseEvent* e) {
  // Closing the communication window is the exit command.
  if (!state_.exitFlag) {
    e->ignore();
    actions_.exit->trigger();
    return;
  }
  e->accept();
}

} // namespace pv
