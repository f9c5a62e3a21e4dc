#include "app/ui/CommWindow.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "kernel/ui/Icons.h"
#include "app/ui/Program.h"
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

CommWindow::CommWindow(Program& program, QWidget* parent) : QWidget(parent), program_(program) {
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
    connect(cmdModo_[i], &QToolButton::clicked, this, [this, i] { program_.View(i); });
  }
  row->addSpacing(6);
  cmdLang_ = PictureButton(this, QStringLiteral("cmd_Lang"), Picture::Language);
  row->addWidget(cmdLang_);

  connect(check1_, &QPushButton::toggled, this, &CommWindow::onToggle);
  connect(cmdRead_, &QToolButton::clicked, this, [this] { program_.Read(); });
  connect(cmdWrite_, &QToolButton::clicked, this, [this] { program_.Write(); });
  connect(cmdStart_, &QToolButton::clicked, this, [this] { program_.StartStop(); });
  connect(cmdLang_, &QToolButton::clicked, this, [this] { program_.ShowLanguage(); });
  connect(cmbPorta_, &QComboBox::activated, this, [this] { refreshPortTips(); });
  refreshPortTips();
  setWindowTitle(LoadText(BrandBase(0) + brand::ProductTitle));
}

void CommWindow::buildMenus() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setNativeMenuBar(false);
  auto add = [this](QMenu* m, const QString& text, const QString& name, auto slot) {
    QAction* a = m->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnu_File"));
  fileOpen_ = add(file, QStringLiteral("&Open"), QStringLiteral("mnu_File_Open"), [this] { program_.FileOpen(); });
  file->addSeparator()->setObjectName(QStringLiteral("sep"));
  fileSave_ = add(file, QStringLiteral("&Save"), QStringLiteral("mnu_File_Save"), [this] { program_.FileSave(false); });
  fileSaveAs_ = add(file, QStringLiteral("Save &as..."), QStringLiteral("mnu_File_SaveAs"),
                    [this] { program_.FileSave(true); });

  QMenu* view = menuBar_->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("mnu_View"));
  add(view, QStringLiteral("&Program"), QStringLiteral("mnu_View_Program"), [this] { program_.View(0); });
  add(view, QStringLiteral("&Measure"), QStringLiteral("mnu_View_Measure"), [this] { program_.View(1); });
  add(view, QStringLiteral("&Switch"), QStringLiteral("mnu_View_Switch"), [this] { program_.View(2); });

  QMenu* action = menuBar_->addMenu(QStringLiteral("&Action"));
  action->setObjectName(QStringLiteral("mnu_Action"));
  QMenu* prog = action->addMenu(QStringLiteral("&Program"));
  add(prog, QStringLiteral("&Read"), QStringLiteral("mnu_Action_Program_Read"), [this] { program_.Read(); });
  add(prog, QStringLiteral("&Write"), QStringLiteral("mnu_Action_Program_Write"), [this] { program_.Write(); });
  QMenu* meas = action->addMenu(QStringLiteral("&Measure"));
  // Start only starts; Stop toggles, as the device menu always did.
  add(meas, QStringLiteral("&Start"), QStringLiteral("mnu_Action_Measure_Start"), [this] {
    if (!program_.state().measureRunning) program_.StartStop();
  });
  add(meas, QStringLiteral("S&top"), QStringLiteral("mnu_Action_Measure_Stop"), [this] { program_.StartStop(); });

  collaudo_ = menuBar_->addMenu(QStringLiteral("&Collaudo"));
  collaudo_->setObjectName(QStringLiteral("mnu_Collaudo"));
  collaudo_->addAction(QStringLiteral("&EEprom"))->setObjectName(QStringLiteral("mnu_Collaudo_EEprom"));
  collaudo_->addAction(QStringLiteral("&Taratura"))->setObjectName(QStringLiteral("mnu_Collaudo_Taratura"));
  collaudo_->addAction(QStringLiteral("T&est"))->setObjectName(QStringLiteral("mnu_test"));

  QMenu* help = menuBar_->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("mnu_Help"));
  about_ = add(help, QStringLiteral("&About"), QStringLiteral("mnu_Help_About"), [this] { program_.ShowAbout(); });

  exit_ = menuBar_->addAction(QStringLiteral("E&xit"));
  exit_->setObjectName(QStringLiteral("mnu_Exit"));
  connect(exit_, &QAction::triggered, this, [this] { program_.Exit(); });
}

void CommWindow::applyMenuCaptions() {
  const AppState& s = program_.state();
  fileOpen_->setText(Tr(s, 53));
  fileSave_->setText(Tr(s, 54));
  fileSaveAs_->setText(Tr(s, 55));
  about_->setText(Tr(s, 51) + QLatin1Char(' ') + ProductTitle(s));
  exit_->setText(Tr(s, 52));
  for (int i = 0; i < 3; ++i) cmdModo_[i]->setToolTip(Tr(s, 35 + i));
  cmdRead_->setToolTip(Tr(s, 46));
  cmdWrite_->setToolTip(Tr(s, 47));
  cmdStart_->setToolTip(Tr(s, 91));
  cmdLang_->setToolTip(Tr(s, 90));
}

QString CommWindow::aboutCaption() const { return about_->text(); }

void CommWindow::applyToggleCaption() {
  check1_->setText(Tr(program_.state(), check1_->isChecked() ? 39 : 38));
}

void CommWindow::setDeviceLabels(const QString& modelCaption, const QString& idText) {
  if (!modelCaption.isNull()) lblDevice_[0]->setText(modelCaption);
  lblDevice_[1]->setText(idText);
}

void CommWindow::setMeasureRunning(bool running) {
  cmdStart_->setIcon(MakeIcon(running ? Picture::Stop : Picture::Start));
  cmdStart_->setProperty("bitmap", running ? 13 : 12);
}

void CommWindow::setSaveEnabled(bool on) { fileSave_->setEnabled(on); }

void CommWindow::onToggle(bool pressed) {
  if (handlingToggle_) return;
  AppState& s = program_.state();
  if (pressed) {
    QString why;
    if (!program_.PortOpen()) {
      const int n = PortNumberFromText(cmbPorta_->currentText());
      if (!program_.OpenPort(n, &why)) {
        // A failed open releases the toggle; the released branch tells the user.
        handlingToggle_ = true;
        check1_->setChecked(false);
        handlingToggle_ = false;
        program_.prompter().ask(program_.MessageTitle(),
                                why.isEmpty() ? Tr(s, 67) : Tr(s, 67) + QStringLiteral("\n\n") + why,
                                Buttons::Ok, Icon::Critical);
        applyToggleCaption();
        emit program_.portStateChanged(false);
        return;
      }
    }
    applyToggleCaption();
    emit program_.portStateChanged(true);
    program_.Read();
    program_.View(0);
    s.switchEventsEnabled = true;
  } else {
    if (program_.PortOpen()) {
      program_.ClosePort();
    } else {
      program_.prompter().ask(program_.MessageTitle(), Tr(s, 67), Buttons::Ok, Icon::Critical);
    }
    applyToggleCaption();
    emit program_.portStateChanged(false);
  }
  refreshPortTips();
}

void CommWindow::refreshPortTips() {
  for (int n = 1; n <= 8; ++n) {
    const QString path = ResolveComPort(n);
    const bool present = QFileInfo::exists(path);
    const QString tip = QStringLiteral("%1 (%2)").arg(path, Tr(program_.state(), present ? 86 : 87));
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

void CommWindow::setPortFrameEnabled(bool on) { frame2_->setEnabled(on); }

void CommWindow::setCommWindowEnabled(bool on) { setEnabled(on); }

void CommWindow::closeEvent(QCloseEvent* e) {
  // Closing the communication window is the exit command.
  if (!program_.state().exitFlag) {
    e->ignore();
    program_.Exit();
    return;
  }
  e->accept();
}

} // namespace pv
