#include "factory/ui/calibration/CalibrationWindow.h"

#include "factory/CalibrationBench.h"
#include "factory/CalibrationRun.h"
#include "factory/CalibrationSteps.h"
#include "factory/CalibrationTables.h"
#include "factory/InstrumentPort.h"
#include "kernel/AppState.h"
#include "kernel/AtomicFile.h"
#include "kernel/Prompter.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/UnitSession.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace pv {

namespace {

// Texts of this window's messages (Italian ids; + languageOffset for
// English). The captions are the window's own Italian words.
enum : int { kChooseModel = 260, kMeterOnUnitPort = 262, kNoPtcResult };
// The window's captions.
enum : int {
  kTitle = 630, kPorts = 632, kConsumption, kLoadDefault, kSwitchCheck, kMeasureCheck, kFinalProgram,
  kResume = 639, kInputs, kOutputs, kCalibrateA, kCalibrateB, kLinearity, kMeterReading, kTwoChannels, kLoadCaption,
  kSupply, kMeter
};
constexpr int kModel = 143, kOptions = 57, kManual = 604;
// Shared with the production test window.
constexpr int kCannotWrite = 258;
constexpr int kBusy = 259;

template <typename W>
W* Named(W* w, const QString& name) {
  w->setObjectName(name);
  return w;
}

QString N(const char* base, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i); }

// A colour value as the grid keeps it: red in the low byte, then green,
// then blue.
QColor ToColor(CellColour c) {
  const int v = static_cast<int>(c);
  return QColor(v & 255, (v >> 8) & 255, (v >> 16) & 255);
}

void Paint(QWidget* w, CellColour c, QPalette::ColorRole role) {
  // The style paints only a check box's indicator from its palette; a
  // style sheet colours the whole box, caption included.
  const bool box = qobject_cast<QCheckBox*>(w) != nullptr;
  if (c == CellColour::NotRun) {
    if (box) w->setStyleSheet(QString());
    w->setPalette(QPalette());
    w->setAutoFillBackground(false);
    return;
  }
  if (box) w->setStyleSheet(QStringLiteral("QCheckBox { background-color: %1; }").arg(ToColor(c).name()));
  QPalette p = w->palette();
  p.setColor(role, ToColor(c));
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

// The grid rows of one channel as the frame lists them: the inputs, then
// the outputs.
struct ChannelRows {
  std::array<int, 9> inputs;
  std::array<int, 2> outputs;
};
constexpr std::array<ChannelRows, 2> kChannelRows{{
    {{0, 1, 2, 3, 4, 5, 6, 7, 20}, {8, 9}},
    {{12, 13, 14, 15, 16, 17, 18, 19, 21}, {10, 11}},
}};

// The port number of a selector: the value of its last character.
int PortNumber(const QString& text) {
  if (text.isEmpty() || !text.back().isDigit()) return 0;
  return text.back().digitValue();
}

} // namespace

class CalibrationWindow::Painter final : public CalibrationUi {
public:
  explicit Painter(CalibrationWindow& w) : w_(w) {}
  void label(const QString& text, CellColour colour) override { w_.showLabel(text, colour); }
  void rowChanged(int row, const GridRowState& state) override { w_.paintRow(row, state); }

private:
  CalibrationWindow& w_;
};

CalibrationWindow::CalibrationWindow(AppState& state, DeviceCommands& unit, DeviceLink& link,
                                     CalibrationBench& bench, UnitSession& session, QWidget* parent)
    : QWidget(parent), state_(state), unit_(unit), link_(link), bench_(bench), session_(session) {
  setObjectName(QStringLiteral("frm_tara"));

  painter_ = std::make_unique<Painter>(*this);
  run_ = std::make_unique<CalibrationRun>(unit_, bench_.instruments(), link_.clock(), link_.prompter(),
                                          painter_.get());
  stepOptions_ = std::make_unique<CalibrationOptions>(OptionsForModel(CalibrationModels()[0]));

  auto* outer = new QGridLayout(this);

  // Model buttons, three columns of five: the window must fit a laptop
  // screen below the communication window.
  auto* models = captions_.add(Named(new QGroupBox(this), QStringLiteral("fra_modello")), kModel);
  auto* ml = new QGridLayout(models);
  for (int i = 0; i < 14; ++i) {
    const CalibrationModel& m = CalibrationModels()[static_cast<size_t>(i)];
    optModello_[static_cast<size_t>(i)] = Named(new QRadioButton(QLatin1String(m.caption), models), N("opt_modello", i));
    ml->addWidget(optModello_[static_cast<size_t>(i)], i % 5, i / 5);
    connect(optModello_[static_cast<size_t>(i)], &QRadioButton::clicked, this, [this, i] { chooseModel(i); });
  }
  // Models | options over PTC | ports | run buttons over linearity; the
  // two channels' grids below.
  outer->addWidget(models, 0, 0, 2, 1);

  // Options.
  auto* options = captions_.add(Named(new QGroupBox(this), QStringLiteral("fra_opzioni")), kOptions);
  auto* ol = new QGridLayout(options);
  ol->setVerticalSpacing(2);
  int optionAt = 0;
  auto option = [&](const char* name, int caption) {
    auto* b = captions_.add(Named(new QCheckBox(options), QString::fromLatin1(name)), caption);
    ol->addWidget(b, optionAt % 3, optionAt / 3);
    ++optionAt;
    return b;
  };
  chkConsumo_ = option("chk_Consumo", kConsumption);
  chkDefault_ = option("chk_default", kLoadDefault);
  chkSwitch_ = option("chk_switch", kSwitchCheck);
  chkControllo_ = option("chk_controllo", kMeasureCheck);
  chkProgramma_ = option("chk_programma", kFinalProgram);
  chkManuale_ = option("chk_manuale", kManual);
  ol->setRowStretch(3, 1);
  outer->addWidget(options, 0, 1);

  // Instrument ports.
  auto* ports = captions_.add(Named(new QGroupBox(this), QStringLiteral("fra_porte")), kPorts);
  auto* pl = new QGridLayout(ports);
  pl->setVerticalSpacing(2);
  auto selector = [&](int row, const char* name, const char* initial, const char* label, int caption = 0) {
    auto* l = new QLabel(QString::fromLatin1(label), ports);
    if (caption) captions_.add(l, caption);
    auto* c = Named(new QComboBox(ports), QString::fromLatin1(name));
    c->addItems(InstrumentSelectorEntries());
    c->setCurrentText(QString::fromLatin1(initial));
    l->setBuddy(c);
    pl->addWidget(l, row, 0);
    pl->addWidget(c, row, 1);
    // A change reaches the instrument at its next command.
    connect(c, &QComboBox::currentTextChanged, this, [this] { applySelectors(); });
    return c;
  };
  comAlim_ = selector(0, "txt_comAlim", "Com4", "Alim", kSupply);
  comCal_ = selector(1, "txt_comCal", "Com6", "Cal");
  comMult_ = selector(2, "txt_comMult", "Com3", "Mult", kMeter);
  comSwitch_ = selector(3, "txt_comSwitch", "Com5", "Switch");
  // The unit's own port: the session's one number, on a serial port only.
  comDisp_ = selector(4, "txt_comDisp", "Com1", "EUT");
  comDisp_->clear();
  for (int n = 1; n <= 8; ++n) comDisp_->addItem(QStringLiteral("Com%1").arg(n));
  connect(comDisp_, &QComboBox::activated, this, [this] { session_.choosePort(PortNumber(comDisp_->currentText())); });
  connect(&session_, &UnitSession::changed, this, [this] { showUnitPort(); });
  pl->setRowStretch(5, 1);
  outer->addWidget(ports, 0, 2, 2, 1);

  // Run buttons and the run-state label.
  auto* runBox = new QWidget(this);
  auto* rl = new QGridLayout(runBox);
  rl->setContentsMargins(0, 0, 0, 0);
  command2_ = Named(new QPushButton(QStringLiteral("START"), runBox), QStringLiteral("Command2"));
  command5_ = Named(new QPushButton(QStringLiteral("STOP"), runBox), QStringLiteral("Command5"));
  command6_ = captions_.add(Named(new QPushButton(runBox), QStringLiteral("Command6")), kResume);
  cmdOn_ = Named(new QPushButton(QStringLiteral("ON"), runBox), QStringLiteral("cmd_On"));
  cmdOff_ = Named(new QPushButton(QStringLiteral("OFF"), runBox), QStringLiteral("cmd_Off"));
  command7_ = Named(new QPushButton(QStringLiteral("Prog"), runBox), QStringLiteral("Command7"));
  for (QPushButton* b : {command2_, command5_, command6_}) b->setMinimumHeight(36);
  rl->addWidget(command2_, 0, 0);
  rl->addWidget(command5_, 0, 1);
  rl->addWidget(command6_, 0, 2);
  rl->addWidget(cmdOn_, 1, 0);
  rl->addWidget(cmdOff_, 1, 1);
  rl->addWidget(command7_, 1, 2);
  lblCollaudo_ = Named(new QLabel(runBox), QStringLiteral("lbl_collaudo"));
  lblCollaudo_->setAlignment(Qt::AlignCenter);
  lblCollaudo_->setMinimumHeight(32);
  // The end of a run with failed rows says how many: room for two lines.
  lblCollaudo_->setWordWrap(true);
  lblCollaudo_->setFrameShape(QFrame::Panel);
  lblCollaudo_->setFrameShadow(QFrame::Sunken);
  QFont big = lblCollaudo_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.3);
  lblCollaudo_->setFont(big);
  rl->addWidget(lblCollaudo_, 2, 0, 1, 3);
  outer->addWidget(runBox, 0, 3);

  // The result grid, one frame per channel.
  for (int c = 0; c < 2; ++c) {
    auto* frame = Named(new QGroupBox(this), N("fra_canale", c));
    auto* g = new QGridLayout(frame);
    g->setHorizontalSpacing(3);
    g->setVerticalSpacing(1);
    chkCanale_[static_cast<size_t>(c)] = Named(new QCheckBox(frame), N("chk_Canale", c));
    QFont bold = chkCanale_[static_cast<size_t>(c)]->font();
    bold.setBold(true);
    chkCanale_[static_cast<size_t>(c)]->setFont(bold);
    g->addWidget(chkCanale_[static_cast<size_t>(c)], 0, 0, 1, 3);
    auto heading = [&](int row, int col, const QString& text) {
      auto* l = new QLabel(text, frame);
      l->setAlignment(Qt::AlignCenter);
      g->addWidget(l, row, col);
      return l;
    };
    auto* ingressi = captions_.add(new QLabel(frame), kInputs);
    ingressi->setFont(bold);
    g->addWidget(ingressi, 1, 0);
    heading(1, 1, QStringLiteral("Min"));
    heading(1, 2, QStringLiteral("Half"));
    heading(1, 3, QStringLiteral("Max"));
    heading(1, 4, QStringLiteral("Span"));
    auto field = [&](int row, int cell, const char* name) {
      auto* e = Named(new QLineEdit(frame), N(name, row));
      e->setReadOnly(true);
      e->setFocusPolicy(Qt::ClickFocus);
      e->setFixedSize(78, 22);
      e->setAlignment(Qt::AlignRight);
      cells_[static_cast<size_t>(row)][static_cast<size_t>(cell)] = e;
      return e;
    };
    auto box = [&](int row) {
      auto* b = Named(new QCheckBox(QLatin1String(GridRow(row).caption), frame), N("chk_tara", row));
      chkTara_[static_cast<size_t>(row)] = b;
      connect(b, &QCheckBox::toggled, this, [this] { optionsChanged(); });
      return b;
    };
    // A row's tick, then its result fields left to right: (cell, name).
    struct Column {
      int cell;
      const char* name;
    };
    int at = 2;
    auto addRow = [&](int row, std::initializer_list<Column> columns) {
      g->addWidget(box(row), at, 0);
      int col = 1;
      for (const Column& k : columns) g->addWidget(field(row, k.cell, k.name), at, col++);
      ++at;
    };
    for (int row : kChannelRows[static_cast<size_t>(c)].inputs)
      addRow(row, {{kZero, "txt_zero"}, {kHalf, "txt_half"}, {kSpan, "txt_span"}, {kK1, "txt_k1"}});
    auto* uscite = captions_.add(new QLabel(frame), kOutputs);
    uscite->setFont(bold);
    g->addWidget(uscite, at, 0);
    heading(at, 1, QStringLiteral("k1"));
    heading(at, 2, QStringLiteral("k2"));
    heading(at, 3, QStringLiteral("Zero"));
    heading(at, 4, QStringLiteral("Half"));
    heading(at, 5, QStringLiteral("Span"));
    captions_.add(heading(at, 6, QString()), kLoadCaption);
    ++at;
    for (int row : kChannelRows[static_cast<size_t>(c)].outputs)
      addRow(row, {{kK1, "txt_k1"}, {kK2, "txt_k2"}, {kZero, "txt_zero"}, {kHalf, "txt_half"}, {kSpan, "txt_span"},
                   {kLoad, "txt_span2"}});
    g->setRowStretch(at, 1);
    connect(chkCanale_[static_cast<size_t>(c)], &QCheckBox::toggled, this, [this] { optionsChanged(); });
    outer->addWidget(frame, 2, c * 2, 1, 2);
  }
  for (QCheckBox* b : {chkConsumo_, chkDefault_, chkSwitch_, chkControllo_, chkProgramma_})
    connect(b, &QCheckBox::toggled, this, [this] { optionsChanged(); });

  // Manual PTC calibration.
  auto* ptc = Named(new QGroupBox(QStringLiteral("PTC"), this), QStringLiteral("fra_ptc"));
  auto* tl = new QGridLayout(ptc);
  tl->setVerticalSpacing(2);
  auto ptcField = [&](int row, int col, const char* name, const char* label, const char* initial, bool readOnly) {
    auto* l = new QLabel(QString::fromLatin1(label), ptc);
    auto* e = Named(new QLineEdit(QString::fromLatin1(initial), ptc), QString::fromLatin1(name));
    e->setFixedWidth(70);
    e->setReadOnly(readOnly);
    l->setBuddy(e);
    tl->addWidget(l, row, col);
    tl->addWidget(e, row, col + 1);
    return e;
  };
  text2_ = ptcField(0, 0, "Text2", "V2000", "15225", false);
  text3_ = ptcField(1, 0, "Text3", "V1000", "10324", false);
  text4_ = ptcField(0, 2, "Text4", "Veq", "", true);
  text5_ = ptcField(1, 2, "Text5", "Req", "", true);
  command1_[0] = captions_.add(Named(new QPushButton(ptc), QStringLiteral("Command1_0")), kCalibrateA);
  command1_[1] = captions_.add(Named(new QPushButton(ptc), QStringLiteral("Command1_1")), kCalibrateB);
  tl->addWidget(command1_[0], 2, 0, 1, 2);
  tl->addWidget(command1_[1], 2, 2, 1, 2);
  outer->addWidget(ptc, 1, 1);

  // Linearity tests.
  auto* lin = captions_.add(Named(new QGroupBox(this), QStringLiteral("fra_linearita")), kLinearity);
  auto* ll = new QHBoxLayout(lin);
  command9_ = captions_.add(Named(new QPushButton(lin), QStringLiteral("Command9")), kMeterReading);
  command3_ = captions_.add(Named(new QPushButton(lin), QStringLiteral("Command3")), kTwoChannels);
  command4_ = Named(new QPushButton(QStringLiteral("Stop"), lin), QStringLiteral("Command4"));
  ll->addWidget(command9_);
  ll->addWidget(command3_);
  ll->addWidget(command4_);
  outer->addWidget(lin, 1, 3);
  outer->setVerticalSpacing(4);
  outer->setColumnStretch(4, 1);
  outer->setRowStretch(3, 1);

  connect(command2_, &QPushButton::clicked, this, [this] { start(false); });
  connect(command6_, &QPushButton::clicked, this, [this] { start(true); });
  connect(command5_, &QPushButton::clicked, this, [this] { run_->requestStop(); });
  connect(cmdOn_, &QPushButton::clicked, this, [this] { power(true); });
  connect(cmdOff_, &QPushButton::clicked, this, [this] { power(false); });
  connect(command7_, &QPushButton::clicked, this, &CalibrationWindow::verificationRequested);
  connect(command1_[0], &QPushButton::clicked, this, [this] { manualPtc(0); });
  connect(command1_[1], &QPushButton::clicked, this, [this] { manualPtc(1); });
  connect(command9_, &QPushButton::clicked, this, [this] { outputLinearity(); });
  connect(command3_, &QPushButton::clicked, this, [this] { twoChannelLinearity(); });
  connect(command4_, &QPushButton::clicked, this, [this] { linearityOn_ = false; });

  connect(&link_, &DeviceLink::stateChanged, this, [this] { setSequence(sequence_); });
  applySelectors();
  setSequence(Sequence::None);
  applyCaptions(state_);
}

void CalibrationWindow::applyCaptions(const AppState& s) {
  setWindowTitle(Tr(s, kTitle));
  captions_.apply([&s](int id) { return Tr(s, id); });
  for (int c = 0; c < 2; ++c)
    chkCanale_[static_cast<size_t>(c)]->setText(Tr(s, 72) + (c == 0 ? QStringLiteral(" A") : QStringLiteral(" B")));
  lblCollaudo_->setToolTip(run_->message());
}

void CalibrationWindow::showUnitPort() {
  const QSignalBlocker quiet(comDisp_);
  comDisp_->setCurrentIndex(session_.portNumber() - 1);
  // The port in use does not change under the unit.
  comDisp_->setEnabled(!session_.isOpen() && sequence_ == Sequence::None);
}

CalibrationWindow::~CalibrationWindow() = default;

QString CalibrationWindow::modelCode() const {
  return model_ ? QLatin1String(model_->modelId) : QString();
}

void CalibrationWindow::chooseModel(int index) {
  model_ = &CalibrationModels()[static_cast<size_t>(index)];
  optModello_[static_cast<size_t>(index)]->setChecked(true);
  for (QCheckBox* b : {chkSwitch_, chkControllo_, chkConsumo_, chkProgramma_}) b->setChecked(true);
  for (QCheckBox* b : chkCanale_) b->setChecked(false);
  for (QCheckBox* b : chkTara_) b->setChecked(false);
  settleSeconds_ = 4;
  chkCanale_[0]->setChecked(true);
  chkCanale_[1]->setChecked(model_->channelB);
  for (int r : model_->rows) chkTara_[static_cast<size_t>(r)]->setChecked(true);
  // "Carica Default" is ticked by the one model that needs it and left as
  // it is by the others.
  if (model_->loadDefault) chkDefault_->setChecked(true);
}

CalibrationOptions CalibrationWindow::optionsFromBoxes() const {
  CalibrationOptions o = OptionsForModel(*model_);
  for (int r = 0; r < kGridRows; ++r) o.rows[static_cast<size_t>(r)] = chkTara_[static_cast<size_t>(r)]->isChecked();
  o.channels = {chkCanale_[0]->isChecked(), chkCanale_[1]->isChecked()};
  o.consumption = chkConsumo_->isChecked();
  o.loadDefault = chkDefault_->isChecked();
  o.switchCheck = chkSwitch_->isChecked();
  o.verify = chkControllo_->isChecked();
  o.finalProgram = chkProgramma_->isChecked();
  o.settleSeconds = settleSeconds_;
  if (!modelDirs_.isEmpty()) o.modelDirs = modelDirs_ + o.modelDirs;
  return o;
}

void CalibrationWindow::optionsChanged() {
  // A box changed under a running sequence counts when the run next reads it.
  if (sequence_ == Sequence::Run && model_) run_->updateOptions(optionsFromBoxes());
}

void CalibrationWindow::applySelectors() {
  bench_.supply().setSelector(comAlim_->currentText());
  bench_.calibrator().setSelector(comCal_->currentText());
  bench_.switches().setSelector(comSwitch_->currentText());
  // The linearity tests put the meters on ports of their own while they run.
  if (sequence_ != Sequence::Linearity) bench_.meter(0).setSelector(comMult_->currentText());
}

void CalibrationWindow::tell(const QString& text) {
  link_.prompter().ask(ProductTitle(state_), text, Buttons::Ok, Icon::Critical);
}

bool CalibrationWindow::unitPortReady() {
  // Opened on the session's port when nobody has opened it; the session has
  // told the user why when it cannot be.
  return session_.borrow(this);
}

void CalibrationWindow::setSequence(Sequence s) {
  sequence_ = s;
  const bool idle = s == Sequence::None;
  // What talks to the unit waits, too, while another window's exchange
  // (a read, a measurement) holds the link.
  const bool unitFree = idle && !link_.busy();
  for (QPushButton* b : {command2_, command6_, command1_[0], command1_[1], command9_, command3_})
    b->setEnabled(unitFree);
  for (QPushButton* b : {cmdOn_, cmdOff_, command7_}) b->setEnabled(idle);
  // A model change under a run would mix two models' rows and files.
  for (QRadioButton* b : optModello_) b->setEnabled(idle);
  command5_->setEnabled(s == Sequence::Run);
  command4_->setEnabled(s == Sequence::Linearity);
  showUnitPort();
}

void CalibrationWindow::start(bool resume) {
  // A click that reached a disabled button, or one queued behind a wait.
  if (sequence_ != Sequence::None) return;
  if (!model_) {
    tell(Tr(state_, kChooseModel));
    return;
  }
  applySelectors();
  if (!unitPortReady()) return;
  const CalibrationOptions o = optionsFromBoxes();
  setSequence(Sequence::Run);
  const bool ran = link_.run(Exchange::Command, [&] { run_->start(o, resume); });
  setSequence(Sequence::None);
  lblCollaudo_->setToolTip(run_->message());
  if (!ran) tell(Tr(state_, kBusy));
}

// A failure is reported by the driver.
void CalibrationWindow::power(bool on) {
  if (sequence_ != Sequence::None) return;
  applySelectors();
  setSequence(Sequence::Manual);
  if (on)
    run_->powerOn();
  else
    run_->powerOff();
  setSequence(Sequence::None);
}

std::unique_ptr<CalibrationSteps> CalibrationWindow::makeSteps() {
  if (model_) *stepOptions_ = optionsFromBoxes();
  return std::make_unique<CalibrationSteps>(unit_, bench_.instruments(), link_.clock(), *stepOptions_, scratchGrid_,
                                            nullptr, noResume_, noPair_);
}

void CalibrationWindow::manualPtc(int channel) {
  if (sequence_ != Sequence::None) return;
  const double v2000 = ParseLeadingNumber(text2_->text());
  const double v1000 = ParseLeadingNumber(text3_->text());
  const auto r = ComputePtc(v2000, v1000);
  if (!r) {
    tell(Tr(state_, kNoPtcResult));
    return;
  }
  text4_->setText(QString::number(r->veqWord));
  text5_->setText(QString::number(r->reqTenths));
  if (!unitPortReady()) return;
  setSequence(Sequence::Manual);
  auto steps = makeSteps();
  // A unit that does not answer has been reported by the command layer.
  const bool ran = link_.run(Exchange::Command, [&] { steps->manualPtc(channel, v2000, v1000); });
  setSequence(Sequence::None);
  if (!ran) tell(Tr(state_, kBusy));
}

bool CalibrationWindow::linearityMeter(int element, int port) {
  // The fixed meter port must not be the unit's own line.
  if (port == session_.portNumber()) {
    tell(Tr(state_, kMeterOnUnitPort).arg(port));
    return false;
  }
  Multimeter& m = bench_.meter(element);
  m.setSelector(QStringLiteral("Com%1").arg(port));
  return m.open();  // a failure has been reported by the driver
}

void CalibrationWindow::outputLinearity() {
  if (sequence_ != Sequence::None) return;
  applySelectors();
  if (!unitPortReady()) return;
  setSequence(Sequence::Linearity);
  SafeSaveFile log(logPath_);
  if (linearityMeter(0, 8)) {
    if (!log.open(QIODevice::WriteOnly)) {
      tell(Tr(state_, kCannotWrite).arg(logPath_, log.errorString()));
    } else {
      linearityOn_ = true;
      auto steps = makeSteps();
      const bool ran = link_.run(Exchange::Command, [&] {
        steps->outputLinearity(log, [this] { return linearityOn_ && !state_.exitFlag; });
      });
      // What was measured is kept, even after a fault; a refused test
      // leaves the old log as it was.
      if (!ran) tell(Tr(state_, kBusy));
      else if (!log.commit()) tell(Tr(state_, kCannotWrite).arg(logPath_, log.errorString()));
    }
  }
  linearityOn_ = false;
  bench_.calibrator().close();
  setSequence(Sequence::None);
  applySelectors();
}

void CalibrationWindow::twoChannelLinearity() {
  if (sequence_ != Sequence::None) return;
  applySelectors();
  if (!unitPortReady()) return;
  setSequence(Sequence::Linearity);
  SafeSaveFile log(logPath_);
  // The calibrator steps the inputs: it may not have been opened by a run.
  Calibrator& cal = bench_.calibrator();
  if (linearityMeter(0, 1) && linearityMeter(1, 2) && (cal.isManual() || cal.open())) {
    if (!log.open(QIODevice::WriteOnly)) {
      tell(Tr(state_, kCannotWrite).arg(logPath_, log.errorString()));
    } else {
      linearityOn_ = true;
      auto steps = makeSteps();
      const bool ran = link_.run(Exchange::Command, [&] {
        steps->twoChannelLinearity(log, bench_.meter(0), bench_.meter(1),
                                   [this] { return linearityOn_ && !state_.exitFlag; });
      });
      if (!ran) tell(Tr(state_, kBusy));
      else if (!log.commit()) tell(Tr(state_, kCannotWrite).arg(logPath_, log.errorString()));
    }
  }
  linearityOn_ = false;
  cal.close();
  setSequence(Sequence::None);
  applySelectors();
}

void CalibrationWindow::stopAll() {
  run_->requestStop();
  linearityOn_ = false;
}

void CalibrationWindow::hideEvent(QHideEvent* event) {
  // Closing the window ends what it runs; minimising the program does not.
  if (!event->spontaneous()) stopAll();
  QWidget::hideEvent(event);
}

void CalibrationWindow::showLabel(const QString& text, CellColour colour) {
  lblCollaudo_->setText(text);
  Paint(lblCollaudo_, colour, QPalette::Window);
}

void CalibrationWindow::paintRow(int row, const GridRowState& s) {
  Paint(chkTara_[static_cast<size_t>(row)], s.box, QPalette::Window);
  for (int c = 0; c < kCellCount; ++c) {
    QLineEdit* e = cells_[static_cast<size_t>(row)][static_cast<size_t>(c)];
    if (!e) continue;
    const GridCell& cell = s.cells[static_cast<size_t>(c)];
    e->setText(cell.text);
    Paint(e, cell.colour, QPalette::Base);
  }
}

} // namespace pv
