#include "factory/ui/production/ProductionWindow.h"

#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "link/UnitSession.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace pv {

namespace {
QString N(const char* base, int i) {
  return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i);
}

template <typename W>
W* Named(W* w, const QString& name) {
  w->setObjectName(name);
  return w;
}

QLineEdit* Field(QWidget* parent, const char* name, const char* initial) {
  auto* e = Named(new QLineEdit(QString::fromLatin1(initial), parent), QString::fromLatin1(name));
  e->setMaximumWidth(90);
  return e;
}

// Texts of this window (Italian ids; + languageOffset for English).
enum : int {
  kTitle = 240, kGenFrame, kOutFrame, kFreqFrame, kStabFrame, kBounce, kStart, kEnd, kStep,
  kDelayStep, kDelayMeas, kTol, kReading, kRef, kTolStab, kStartLin, kStartStab, kBadStep,
  kCannotWrite, kBusy
};
} // namespace

ProductionWindow::ProductionWindow(AppState& state, ProductionTest& test, Prompter& prompter,
                                   UnitSession& session, QWidget* parent)
    : QWidget(parent), state_(state), test_(test), prompter_(prompter), session_(session) {
  setObjectName(QStringLiteral("frm_test"));
  auto* outer = new QGridLayout(this);

  // Function generator
  genFrame_ = Named(new QGroupBox(this), QStringLiteral("fra_fgen"));
  auto* gl = new QGridLayout(genFrame_);
  const char* onOff[] = {"ON", "OFF", ">>"};
  for (int i = 0; i < 3; ++i)
    command6_[i] = Named(new QPushButton(QString::fromLatin1(onOff[i]), genFrame_), N("Command6", i));
  text10_ = Field(genFrame_, "Text10", "1000");
  gl->addWidget(command6_[0], 0, 0);
  gl->addWidget(command6_[1], 0, 1);
  gl->addWidget(text10_, 1, 0);
  gl->addWidget(command6_[2], 1, 1);
  for (int i = 0; i < 3; ++i) {
    optFgen_[i] = Named(new QRadioButton(genFrame_), N("opt_fgen", i));
    gl->addWidget(optFgen_[i], 2 + i, 0);
  }
  optFgen_[0]->setChecked(true);
  command5_ = Named(new QPushButton(QStringLiteral(">>"), genFrame_), QStringLiteral("Command5"));
  gl->addWidget(command5_, 3, 1);
  outer->addWidget(genFrame_, 0, 0);

  // Output command
  outFrame_ = Named(new QGroupBox(this), QStringLiteral("fra_out"));
  auto* ol = new QGridLayout(outFrame_);
  text1_[1] = Field(outFrame_, "Text1_1", "800");
  text1_[2] = Field(outFrame_, "Text1_2", "800");
  command7_ = Named(new QPushButton(QStringLiteral("chA"), outFrame_), QStringLiteral("Command7"));
  command10_ = Named(new QPushButton(QStringLiteral("chB"), outFrame_), QStringLiteral("Command10"));
  command11_ = Named(new QPushButton(QStringLiteral("a+b"), outFrame_), QStringLiteral("Command11"));
  command8_ = Named(new QPushButton(QStringLiteral("Stop"), outFrame_), QStringLiteral("Command8"));
  ol->addWidget(text1_[2], 0, 0);
  ol->addWidget(command7_, 0, 1);
  ol->addWidget(text1_[1], 1, 0);
  ol->addWidget(command10_, 1, 1);
  ol->addWidget(command11_, 2, 1);
  ol->addWidget(command8_, 3, 1);
  outer->addWidget(outFrame_, 1, 0);

  // Frequency sweep
  freqFrame_ = Named(new QGroupBox(this), QStringLiteral("fra_freq"));
  auto* fl = new QGridLayout(freqFrame_);
  auto row = [&](int r, QLabel*& label, const char* labelName, QLineEdit*& field, const char* name,
                 const char* initial) {
    label = Named(new QLabel(freqFrame_), QString::fromLatin1(labelName));
    field = Field(freqFrame_, name, initial);
    fl->addWidget(label, r, 0);
    fl->addWidget(field, r, 1);
  };
  row(0, lblStart_, "Label3", text3_, "Text3", "0");
  row(1, lblEnd_, "Label4", text4_, "Text4", "1000");
  row(2, lblStep_, "Label5", text5_, "Text5", "100");
  row(3, lblDelayStep_, "Label6", text6_, "Text6", "1");
  row(4, lblDelayMeas_, "Label9", text9_, "Text9", "1");
  row(5, lblTol_, "Label7", text7_, "Text7", "1");
  row(6, lblReading_, "Label8", text8_, "Text8", "");
  text8_->setReadOnly(true);
  command4_ = Named(new QPushButton(freqFrame_), QStringLiteral("Command4"));
  fl->addWidget(command4_, 7, 0, 1, 2);
  outer->addWidget(freqFrame_, 0, 1, 2, 1);

  // Stability
  stabFrame_ = Named(new QGroupBox(this), QStringLiteral("fra_stab"));
  auto* sl = new QGridLayout(stabFrame_);
  lblRef_ = Named(new QLabel(stabFrame_), QStringLiteral("Label2"));
  text2_ = Field(stabFrame_, "Text2", "0");
  lblTolStab_ = Named(new QLabel(stabFrame_), QStringLiteral("Label1"));
  text1_[0] = Field(stabFrame_, "Text1_0", "0.1");
  command1_ = Named(new QPushButton(stabFrame_), QStringLiteral("Command1"));
  command3_ = Named(new QPushButton(QStringLiteral("Stop"), stabFrame_), QStringLiteral("Command3"));
  list1_ = Named(new QListWidget(stabFrame_), QStringLiteral("List1"));
  list1_->setMinimumHeight(120);
  command2_ = Named(new QPushButton(QStringLiteral("Clear"), stabFrame_), QStringLiteral("Command2"));
  sl->addWidget(lblRef_, 0, 0);
  sl->addWidget(text2_, 0, 1);
  sl->addWidget(lblTolStab_, 1, 0);
  sl->addWidget(text1_[0], 1, 1);
  sl->addWidget(command1_, 2, 0);
  sl->addWidget(command3_, 2, 1);
  sl->addWidget(list1_, 3, 0, 1, 2);
  sl->addWidget(command2_, 4, 1);
  outer->addWidget(stabFrame_, 0, 2, 2, 1);

  connect(command6_[0], &QPushButton::clicked, this, [this] { generator(GeneratorButton::On); });
  connect(command6_[1], &QPushButton::clicked, this, [this] { generator(GeneratorButton::Off); });
  connect(command6_[2], &QPushButton::clicked, this, [this] { generator(GeneratorButton::Frequency); });
  connect(command5_, &QPushButton::clicked, this, [this] {
    generator(optFgen_[1]->isChecked()   ? GeneratorButton::Bounce
              : optFgen_[2]->isChecked() ? GeneratorButton::Tacho
                                         : GeneratorButton::Ttl);
  });
  connect(command7_, &QPushButton::clicked, this, [this] { force(ForceChannel::A); });
  connect(command10_, &QPushButton::clicked, this, [this] { force(ForceChannel::B); });
  connect(command11_, &QPushButton::clicked, this, [this] { force(ForceChannel::Both); });
  connect(command8_, &QPushButton::clicked, this, [this] { test_.stopForcing(); });
  connect(command1_, &QPushButton::clicked, this, [this] { stability(); });
  connect(command3_, &QPushButton::clicked, this, [this] { state_.measureRunning = false; });
  connect(command2_, &QPushButton::clicked, list1_, &QListWidget::clear);
  connect(command4_, &QPushButton::clicked, this, [this] { linearity(); });
  connect(&test_, &ProductionTest::resultLine, list1_, [this](const QString& line) {
    list1_->addItem(line);
    list1_->scrollToBottom();
  });
  connect(&test_, &ProductionTest::readingShown, text8_, &QLineEdit::setText);
  applyCaptions(state_);
}

void ProductionWindow::applyCaptions(const AppState& s) {
  setWindowTitle(Tr(s, kTitle));
  genFrame_->setTitle(Tr(s, kGenFrame));
  outFrame_->setTitle(Tr(s, kOutFrame));
  freqFrame_->setTitle(Tr(s, kFreqFrame));
  stabFrame_->setTitle(Tr(s, kStabFrame));
  optFgen_[0]->setText(QStringLiteral("TTL"));
  optFgen_[1]->setText(Tr(s, kBounce));
  optFgen_[2]->setText(QStringLiteral("Tacho"));
  lblStart_->setText(Tr(s, kStart));
  lblEnd_->setText(Tr(s, kEnd));
  lblStep_->setText(Tr(s, kStep));
  lblDelayStep_->setText(Tr(s, kDelayStep));
  lblDelayMeas_->setText(Tr(s, kDelayMeas));
  lblTol_->setText(Tr(s, kTol));
  lblReading_->setText(Tr(s, kReading));
  lblRef_->setText(Tr(s, kRef));
  lblTolStab_->setText(Tr(s, kTolStab));
  command4_->setText(Tr(s, kStartLin));
  command1_->setText(Tr(s, kStartStab));
}

double ProductionWindow::value(QLineEdit* field) const { return ParseLeadingNumber(field->text()); }

void ProductionWindow::tell(const QString& text) {
  prompter_.ask(ProductTitle(state_), text, Buttons::Ok, Icon::Critical);
}

void ProductionWindow::generator(GeneratorButton button) {
  // A failure has been shown by the driver; the window stays usable.
  test_.PressGenerator(button, text10_->text().trimmed());
}

bool ProductionWindow::unit() { return session_.borrow(this); }

void ProductionWindow::force(ForceChannel which) {
  if (test_.looping() || !unit()) return;
  auto code = [this](QLineEdit* f) {
    return static_cast<int>(std::clamp(std::round(value(f)), 0.0, 65535.0));
  };
  // The unit's own failures are reported by the command layer.
  if (!test_.ForceOutputs(which, code(text1_[2]), code(text1_[1])) && test_.refused())
    tell(Tr(state_, kBusy));
}

void ProductionWindow::stability() {
  if (test_.looping() || !unit()) return;
  if (!test_.RunStability(value(text2_), value(text1_[0])) && test_.refused()) tell(Tr(state_, kBusy));
}

void ProductionWindow::linearity() {
  if (test_.looping()) return;
  SweepSettings s;
  s.startHz = value(text3_);
  s.endHz = value(text4_);
  s.stepHz = value(text5_);
  s.delayStepS = value(text6_);
  s.delayMeasureS = value(text9_);
  s.toleranceHz = value(text7_);
  if (!(s.stepHz > 0)) {
    tell(Tr(state_, kBadStep));
    return;
  }
  if (!unit()) return;
  if (test_.RunLinearity(s, logPath_)) return;
  if (test_.refused()) tell(Tr(state_, kBusy));
  else if (test_.logFailed()) tell(Tr(state_, kCannotWrite).arg(logPath_, test_.lastError()));
}

void ProductionWindow::hideEvent(QHideEvent* event) {
  // Closing the window ends its loops and the generator's output;
  // minimising the program does not.
  if (!event->spontaneous()) test_.close();
  QWidget::hideEvent(event);
}

} // namespace pv
