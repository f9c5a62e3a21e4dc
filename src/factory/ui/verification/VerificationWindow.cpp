#include "factory/ui/verification/VerificationWindow.h"

#include "factory/CalibrationTables.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "kernel/ui/Widgets.h"
#include "text/Numbers.h"
#include "text/StringTable.h"
#include "text/Texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHideEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace pv {

namespace {

template <typename T> T* Named(T* w, const char* name) {
  w->setObjectName(QLatin1String(name));
  return w;
}

// Captions of the two windows (Italian ids; + languageOffset for English).
enum : int {
  kModeLabel = 600, kChannelOut, kChannelMeasure, kAutomatic, kManual, kModeCaption, kSupplyFrame, kSetSupply,
  kSupplyVolts, kMeterFrame, kChooseOutput, kSetMeter, kOutputSignal, kCalFrame, kChooseInput, kSetCal,
  kInputType, kHalfScale, kSwitchFrame, kChooseChannel, kSetSwitch, kUnit, kSetAll, kSetupButton,
  kDefaultProgramming, kManualProgramming, kDownload, kModeNow
};

} // namespace

// ---------------------------------------------------------------- set-up window

InstrumentSetupWindow::InstrumentSetupWindow(const AppState& state, Verification& core, Prompter& prompter,
                                             QWidget* parent)
    : QWidget(parent), state_(state), core_(core), prompter_(prompter) {
  setObjectName(QStringLiteral("interfaccia_strum_ver"));

  modeLabel_ = Named(new QLabel, "Label1");
  mode_ = Named(new QComboBox, "mode_aut_man");
  mode_->addItems({QString(), QString()});
  mode_->setCurrentIndex(-1);
  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(captions_.add(new QLabel, kModeCaption));
  modeRow->addWidget(mode_);
  modeRow->addWidget(modeLabel_, 1);

  auto check = [](const char* name) {
    auto* c = Named(new QCheckBox, name);
    c->setChecked(true);
    return c;
  };

  // Supply.
  supplyFrame_ = captions_.add(Named(new QGroupBox, "alimentatore"), kSupplyFrame);
  supplyVolts_ = Named(new QLineEdit(QStringLiteral("24")), "val_alim_ver");
  supplyVolts_->setMaximumWidth(70);
  checkSupply_ = check("Check_alim_ver");
  setSupply_ = captions_.add(Named(new QPushButton, "set_al"), kSetSupply);
  // An instrument's frame: what to set on the left, its tick and button on
  // the right.
  auto row = [this](QGroupBox* frame, int label, QWidget* field, QCheckBox* tick, QPushButton* set) {
    auto* grid = new QGridLayout(frame);
    grid->addWidget(captions_.add(new QLabel, label), 0, 0);
    grid->addWidget(field, 0, 1);
    grid->addWidget(tick, 0, 3);
    grid->addWidget(set, 0, 4);
    grid->setColumnStretch(2, 1);
    return grid;
  };
  row(supplyFrame_, kSupplyVolts, supplyVolts_, checkSupply_, setSupply_)
      ->addWidget(new QLabel(QStringLiteral("Vcc")), 0, 2);

  // Meter.
  meterFrame_ = captions_.add(Named(new QGroupBox, "multimetro"), kMeterFrame);
  outvi_ = captions_.add(Named(new QComboBox, "outvi"), kChooseOutput);
  outvi_->addItems({QStringLiteral("mA"), QStringLiteral("V")});
  outvi_->setCurrentIndex(-1);
  checkMeter_ = check("Check_mult_ver");
  setMeter_ = captions_.add(Named(new QPushButton, "set_mult"), kSetMeter);
  row(meterFrame_, kOutputSignal, outvi_, checkMeter_, setMeter_);

  // Calibrator.
  calFrame_ = captions_.add(Named(new QGroupBox, "Calibratore"), kCalFrame);
  input_ = captions_.add(Named(new QComboBox, "calibratore_in"), kChooseInput);
  for (const VerificationInput& in : VerificationInputs()) input_->addItem(QLatin1String(in.name));
  input_->setCurrentIndex(-1);
  min_ = Named(new QLineEdit, "minimo");
  max_ = Named(new QLineEdit, "massimo");
  half_ = Named(new QLineEdit, "mezzo_scala");
  for (QLineEdit* e : {min_, max_, half_}) e->setMaximumWidth(80);
  checkCal_ = check("Check_cal_ver");
  setCal_ = captions_.add(Named(new QPushButton, "set_cali"), kSetCal);
  auto* cl = new QGridLayout(calFrame_);
  cl->addWidget(captions_.add(new QLabel, kInputType), 0, 0);
  cl->addWidget(input_, 0, 1, 1, 3);
  cl->addWidget(checkCal_, 0, 5);
  cl->addWidget(setCal_, 0, 6);
  auto* points = new QHBoxLayout;
  points->addWidget(new QLabel(QStringLiteral("Min:")));
  points->addWidget(min_);
  points->addWidget(captions_.add(new QLabel, kHalfScale));
  points->addWidget(half_);
  points->addWidget(new QLabel(QStringLiteral("Max:")));
  points->addWidget(max_);
  points->addStretch(1);
  cl->addLayout(points, 1, 0, 1, 7);
  cl->setColumnStretch(4, 1);

  // Switching unit.
  switchFrame_ = captions_.add(Named(new QGroupBox, "un_switch"), kSwitchFrame);
  device_ = Named(new QComboBox, "disp_un_sw");
  device_->addItems(VerificationModels());
  device_->setCurrentIndex(-1);
  channelLabel_ = Named(new QLabel, "lbl_canale");
  channel_ = captions_.add(Named(new QComboBox, "sel_can_usw"), kChooseChannel);
  channel_->addItems({QString(), QString()});
  channel_->setCurrentIndex(-1);
  channelLabel_->hide();
  channel_->hide();
  checkSwitch_ = check("Check_un_sw");
  setSwitch_ = captions_.add(Named(new QPushButton, "set_usw"), kSetSwitch);
  QGridLayout* wl = row(switchFrame_, kUnit, device_, checkSwitch_, setSwitch_);
  wl->addWidget(channelLabel_, 1, 0);
  wl->addWidget(channel_, 1, 1);

  all_ = captions_.add(Named(new QPushButton, "imp_strum"), kSetAll);
  stop_ = Named(new QPushButton(QStringLiteral("STOP")), "stop_ver");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(all_);
  buttons->addWidget(stop_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(modeRow);
  for (QGroupBox* f : {supplyFrame_, meterFrame_, calFrame_, switchFrame_}) layout->addWidget(f);
  layout->addLayout(buttons);
  layout->addStretch(1);

  connect(mode_, &QComboBox::activated, this, &InstrumentSetupWindow::modeChosen);
  connect(device_, &QComboBox::activated, this, &InstrumentSetupWindow::deviceChosen);
  connect(setSupply_, &QPushButton::clicked, this, [this] { pressSupply(); });
  connect(setMeter_, &QPushButton::clicked, this, [this] { pressMeter(); });
  connect(setSwitch_, &QPushButton::clicked, this, [this] { pressSwitches(); });
  connect(setCal_, &QPushButton::clicked, this, [this] { pressCalibrator(); });
  connect(all_, &QPushButton::clicked, this, [this] { pressAll(); });
  connect(stop_, &QPushButton::clicked, this, [this] { pressStop(); });
  connect(&core_, &Verification::runningChanged, this, &InstrumentSetupWindow::showRunning);
  applyCaptions(state);
  restart();
}

void InstrumentSetupWindow::applyCaptions(const AppState& s) {
  setWindowTitle(Tr(s, verify_text::kSetupTitle));
  captions_.apply([&s](int id) { return Tr(s, id); });
  mode_->setItemText(0, Tr(s, kAutomatic));
  mode_->setItemText(1, Tr(s, kManual));
  for (int c = 0; c < 2; ++c) channel_->setItemText(c, Tr(s, 72) + QStringLiteral(" %1").arg(c));
  modeLabel_->setText(mode_->currentIndex() < 0 ? Tr(s, kModeLabel) : Tr(s, kModeNow) + mode_->currentText());
  if (channelLabel_->isVisibleTo(this)) channelLabel_->setText(Tr(s, channelOut_ ? kChannelOut : kChannelMeasure));
}

void InstrumentSetupWindow::restart() {
  modeLabel_->setText(Tr(state_, kModeLabel));
  for (QWidget* w : std::initializer_list<QWidget*>{supplyFrame_, meterFrame_, calFrame_, switchFrame_, all_, stop_})
    w->hide();
  mode_->setCurrentIndex(-1);
}

void InstrumentSetupWindow::modeChosen(int index) {
  if (index < 0) return;
  modeLabel_->setText(Tr(state_, kModeNow) + mode_->itemText(index));
  for (QWidget* w : std::initializer_list<QWidget*>{supplyFrame_, meterFrame_, calFrame_, switchFrame_, all_, stop_})
    w->show();
}

void InstrumentSetupWindow::deviceChosen(int index) {
  if (index < 0) return;
  // A unit whose second output is calibrated routes an output; the others
  // only a measuring channel.
  const CalibrationModel* m = FindCalibrationModel(device_->itemText(index));
  channelOut_ = m && m->channelB;
  channelLabel_->setText(Tr(state_, channelOut_ ? kChannelOut : kChannelMeasure));
  channelLabel_->show();
  channel_->show();
}

void InstrumentSetupWindow::showRunning(bool running) {
  for (QWidget* w : std::initializer_list<QWidget*>{setSupply_, setMeter_, setCal_, setSwitch_, all_, mode_})
    w->setEnabled(!running);
  setCursor(running ? Qt::BusyCursor : Qt::ArrowCursor);
}

const VerificationInput* InstrumentSetupWindow::chosenInput() const {
  const int i = input_->currentIndex();
  return i < 0 ? nullptr : &VerificationInputs()[static_cast<size_t>(i)];
}

VerifyOutput InstrumentSetupWindow::chosenOutput() const {
  switch (outvi_->currentIndex()) {
  case 0: return VerifyOutput::Curr;
  case 1: return VerifyOutput::Volt;
  default: return VerifyOutput::None;
  }
}

VerifyResult InstrumentSetupWindow::pressSupply() { return core_.setSupply(supplyVolts_->text()); }

VerifyResult InstrumentSetupWindow::pressMeter() { return core_.setMeter(chosenOutput()); }

VerifyResult InstrumentSetupWindow::pressSwitches() {
  const QString device = !calibrationModel_.isEmpty() ? calibrationModel_ : device_->currentText();
  return core_.setSwitches(device_->currentIndex() < 0 && calibrationModel_.isEmpty() ? QString() : device,
                           std::max(0, channel_->currentIndex()), chosenInput());
}

VerifyResult InstrumentSetupWindow::pressCalibrator() {
  VerifyRun run;
  run.input = chosenInput();
  run.min = ParseLeadingNumber(min_->text());
  run.max = ParseLeadingNumber(max_->text());
  run.half = ParseLeadingNumber(half_->text());
  run.output = chosenOutput();
  return core_.run(run);
}

VerifyResult InstrumentSetupWindow::pressAll() {
  const struct {
    QCheckBox* ticked;
    VerifyResult (InstrumentSetupWindow::*press)();
  } steps[] = {{checkSupply_, &InstrumentSetupWindow::pressSupply},
               {checkMeter_, &InstrumentSetupWindow::pressMeter},
               {checkSwitch_, &InstrumentSetupWindow::pressSwitches},
               {checkCal_, &InstrumentSetupWindow::pressCalibrator}};
  for (const auto& s : steps) {
    if (!s.ticked->isChecked()) continue;
    const VerifyResult r = (this->*s.press)();
    if (r != VerifyResult::Done) return r;
  }
  return VerifyResult::Done;
}

void InstrumentSetupWindow::pressStop() { core_.stop(supplyVolts_->text()); }

void InstrumentSetupWindow::hideEvent(QHideEvent* event) {
  // Closing the window that holds STOP (or leaving the program) ends a run
  // at its next point; minimising the program does not.
  if (!event->spontaneous()) core_.requestStop();
  QWidget::hideEvent(event);
}

// ---------------------------------------------------------------- verification window

VerificationWindow::VerificationWindow(const AppState& state, Verification& core, Prompter& prompter,
                                       std::function<bool()> portOpen, QWidget* parent)
    : QWidget(parent), state_(state), core_(core), prompter_(prompter), portOpen_(std::move(portOpen)) {
  setObjectName(QStringLiteral("frm_verifica"));
  commStrum_ = captions_.add(Named(new QPushButton, "comm_strum"), kSetupButton);
  progDef_ = captions_.add(Named(new QPushButton, "prog_def"), kDefaultProgramming);
  progMan_ = captions_.add(Named(new QPushButton, "prog_man"), kManualProgramming);
  sendProg_ = captions_.add(Named(new QPushButton, "Send_prog"), kDownload);
  save_ = Named(new QPushButton, "salva_report");
  report_ = Named(new QPlainTextEdit, "report_ver");
  report_->setReadOnly(true);
  report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report_->setMinimumSize(440, 260);
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  state_0_ = Named(new QLabel(QStringLiteral("STOP")), "Label1_0");
  QFont big = state_0_->font();
  big.setBold(true);
  big.setPointSize(big.pointSize() + 4);
  state_0_->setFont(big);
  state_0_->setMinimumWidth(120);
  lamp_ = Named(new Lamp, "Spia_verifica");
  lamp_->setFixedSize(24, 24);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {commStrum_, progDef_, progMan_, sendProg_}) buttons->addWidget(b);
  buttons->addSpacing(12);
  auto* stateRow = new QHBoxLayout;
  stateRow->addWidget(lamp_);
  stateRow->addWidget(state_0_, 1);
  buttons->addLayout(stateRow);
  buttons->addStretch(1);
  buttons->addWidget(save_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(report_, 1);

  connect(commStrum_, &QPushButton::clicked, this, [this] {
    if (setup_) setup_->restart();
    emit setupRequested();
  });
  connect(progDef_, &QPushButton::clicked, this, [this] {
    // With the port open there is nothing to do: the default programming
    // happens in the calibration run.
    if (!portOpen_()) tell(verify_text::kPortClosed);
  });
  connect(progMan_, &QPushButton::clicked, this, [this] {
    if (!portOpen_()) tell(verify_text::kPortClosed);
    else emit configurationRequested();
  });
  connect(sendProg_, &QPushButton::clicked, this, [this] { core_.download(); });
  connect(save_, &QPushButton::clicked, this, &VerificationWindow::saveReport);
  connect(&core_, &Verification::reportChanged, this, [this](const QString& text) {
    report_->setPlainText(text);
    report_->verticalScrollBar()->setValue(report_->verticalScrollBar()->maximum());
  });
  connect(&core_, &Verification::phaseChanged, this, &VerificationWindow::showPhase);
  connect(&core_, &Verification::runningChanged, this, [this](bool running) {
    // "Prog. strumenti" would hide the set-up window's STOP.
    for (QPushButton* b : {sendProg_, progMan_, progDef_, commStrum_}) b->setEnabled(!running);
  });
  applyCaptions(state);
  showPhase(core_.phase());
}

void VerificationWindow::applyCaptions(const AppState& s) {
  setWindowTitle(Tr(s, verify_text::kTitle));
  captions_.apply([&s](int id) { return Tr(s, id); });
  save_->setText(Tr(s, verify_text::kSaveReport));
  if (setup_) setup_->applyCaptions(s);
}

void VerificationWindow::openFresh() {
  core_.open();
  report_->clear();
}

void VerificationWindow::showPhase(Verification::Phase p) {
  switch (p) {
  case Verification::Phase::Stop:
    state_0_->setText(QStringLiteral("STOP"));
    lamp_->setVbColor(kRed);
    break;
  case Verification::Phase::Download:
    state_0_->setText(QStringLiteral("DOWNLOAD"));
    lamp_->setVbColor(kYellow);
    break;
  case Verification::Phase::Ok:
    state_0_->setText(QStringLiteral("OK"));
    lamp_->setVbColor(kGreen);
    break;
  }
}

void VerificationWindow::saveReport() {
  const QString path =
      prompter_.saveFileName(Tr(state_, verify_text::kSaveReport), QStringLiteral("verifica.txt"),
                             {Tr(state_, verify_text::kReportFilter)});
  if (path.isEmpty()) return;
  QString why;
  if (!core_.saveReport(path, &why))
    prompter_.ask(ProductTitle(state_), Tr(state_, verify_text::kCannotSave).arg(path, why), Buttons::Ok,
                  Icon::Critical);
}

void VerificationWindow::tell(int id) {
  prompter_.ask(ProductTitle(state_), Tr(state_, id), Buttons::Ok, Icon::Warning);
}

} // namespace pv
