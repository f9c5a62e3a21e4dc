#include "switches/ui/SwitchWindow.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "kernel/ui/Widgets.h"
#include "switches/SwitchWizardModel.h"
#include "switches/ui/DipBank.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pv {

namespace {
QString N(const char* base, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i); }
} // namespace

SwitchWindow::SwitchWindow(SwitchWizardModel& model, AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), model_(model), prompter_(prompter), state_(state) {
  setObjectName(QStringLiteral("frm_switch"));
  setWindowTitle(QStringLiteral("Switch_Wizard"));
  auto* outer = new QVBoxLayout(this);

  // Demonstration controls.
  auto* demo = new QHBoxLayout;
  wizard_ = new QPushButton(QStringLiteral("Wizard ->"), this);
  wizard_->setObjectName(QStringLiteral("aiuto_switch"));
  back_ = new QPushButton(QStringLiteral("<- Back "), this);
  back_->setObjectName(QStringLiteral("close_aiuto_switch"));
  models_ = new QComboBox(this);
  models_->setObjectName(QStringLiteral("aiuto_modello"));
  models_->setMinimumWidth(140);
  demo->addWidget(wizard_);
  demo->addWidget(back_);
  demo->addWidget(models_);
  demo->addStretch();
  outer->addLayout(demo);
  limits_ = new QPlainTextEdit(this);
  limits_->setObjectName(QStringLiteral("visualizza_limiti"));
  limits_->setReadOnly(true);
  limits_->setFixedHeight(48);
  outer->addWidget(limits_);

  auto* grid = new QGridLayout;
  for (int c = 0; c < 2; ++c) {
    channelLabel_[c] = new QLabel(c == 0 ? QStringLiteral("Channel A") : QStringLiteral("Channel B"), this);
    channelLabel_[c]->setObjectName(N("Label6", c + 2));
    grid->addWidget(channelLabel_[c], 0, c);

    inFrame_[c] = new QGroupBox(QStringLiteral("Input Type"), this);
    inFrame_[c]->setObjectName(N("frm_SW_in", c));
    auto* il = new QVBoxLayout(inFrame_[c]);
    inBox_[c] = new QComboBox(inFrame_[c]);
    inBox_[c]->setObjectName(N("cmb_SW_in", c));
    inBox_[c]->setMinimumWidth(150);
    il->addWidget(inBox_[c]);
    if (c == 0) {
      auto* units = new QHBoxLayout;
      for (int k = 0; k < 2; ++k) {
        far_[k] = new QRadioButton(k == 0 ? QString::fromUtf8("\u00b0C") : QString::fromUtf8("\u00b0F"), inFrame_[c]);
        far_[k]->setObjectName(N("opt_far", k));
        units->addWidget(far_[k]);
      }
      units->addStretch();
      il->addLayout(units);
    }
    grid->addWidget(inFrame_[c], 1, c);

    outFrame_[c] = new QGroupBox(QStringLiteral("Output Type"), this);
    outFrame_[c]->setObjectName(N("frm_sw_Out", c));
    auto* ol = new QVBoxLayout(outFrame_[c]);
    outBox_[c] = new QComboBox(outFrame_[c]);
    outBox_[c]->setObjectName(N("cmb_sw_Out", c));
    ol->addWidget(outBox_[c]);
    grid->addWidget(outFrame_[c], 2, c);

    optFrame_[c] = new QGroupBox(QStringLiteral("Option"), this);
    optFrame_[c]->setObjectName(N("frm_optionSw", c));
    auto* pl = new QHBoxLayout(optFrame_[c]);
    for (int k = 0; k < 2; ++k) {
      auto* r = new QRadioButton(k == 0 ? QStringLiteral("Off") : QStringLiteral("On"), optFrame_[c]);
      r->setObjectName(N("Opzione", 2 * c + k));
      r->setAutoExclusive(false);
      opts_[2 * c + k] = r;
      pl->addWidget(r);
    }
    grid->addWidget(optFrame_[c], 3, c);
  }

  // Span and zero lists, the multiplier, the second byte and the check.
  auto* lists = new QGridLayout;
  spanLabel_ = new QLabel(QStringLiteral("Span"), this);
  zeroLabel_ = new QLabel(QStringLiteral("Zero"), this);
  span_ = new QListWidget(this);
  span_->setObjectName(QStringLiteral("lst_span"));
  zero_ = new QListWidget(this);
  zero_->setObjectName(QStringLiteral("lst_zero"));
  for (QListWidget* l : {span_, zero_}) {
    l->setMinimumWidth(110);
    l->setMinimumHeight(170);
  }
  lists->addWidget(spanLabel_, 0, 0);
  lists->addWidget(zeroLabel_, 0, 1);
  lists->addWidget(span_, 1, 0);
  lists->addWidget(zero_, 1, 1);
  connect(span_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* it) { storeDefault(0, span_->row(it)); });
  connect(zero_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* it) { storeDefault(1, zero_->row(it)); });
  grid->addLayout(lists, 1, 2, 3, 1);

  auto* side = new QVBoxLayout;
  divider_ = new QGroupBox(QStringLiteral("Molt"), this);
  divider_->setObjectName(QStringLiteral("Divider"));
  auto* dl = new QHBoxLayout(divider_);
  multiplier_ = new QComboBox(divider_);
  multiplier_->setObjectName(QStringLiteral("cmb_divider"));
  multiplier_->addItems(SwitchWizardModel::multiplierItems());
  dl->addWidget(multiplier_);
  side->addWidget(divider_);
  // The second switch byte as the wizard plans it, named beside its box.
  auto* sw2Row = new QHBoxLayout;
  sw2Label_ = new QLabel(this);
  sw2Label_->setObjectName(QStringLiteral("lbl_sw2"));
  sw2_ = new QLineEdit(this);
  sw2_->setObjectName(QStringLiteral("txt_sw2"));
  sw2_->setReadOnly(true);
  sw2_->setFixedWidth(48);
  sw2Label_->setBuddy(sw2_);
  sw2Row->addWidget(sw2Label_);
  sw2Row->addWidget(sw2_);
  sw2Row->addStretch();
  side->addLayout(sw2Row);
  check_ = new QGroupBox(this);
  check_->setObjectName(QStringLiteral("frm_check"));
  auto* cl = new QHBoxLayout(check_);
  spia_ = new Lamp(check_);
  spia_->setObjectName(QStringLiteral("Spia"));
  spia_->setFixedSize(22, 22);
  checkText_ = new QLabel(check_);
  checkText_->setObjectName(QStringLiteral("lbl_check"));
  cl->addWidget(spia_);
  cl->addWidget(checkText_);
  cl->addStretch();
  side->addWidget(check_);
  side->addStretch();
  grid->addLayout(side, 1, 3, 3, 1);
  grid->setColumnStretch(4, 1);
  outer->addLayout(grid);

  auto* bankRow = new QHBoxLayout;
  const char* names[3] = {"SW1", "SW2", "SW3"};
  for (int b = 0; b < 3; ++b) {
    banks_[b] = new DipBank(QString::fromLatin1(names[b]), b == 2 ? 4 : 8, this);
    banks_[b]->setObjectName(QStringLiteral("frm_dip%1").arg(b + 1));
    bankRow->addWidget(banks_[b]);
  }
  bankRow->addStretch();
  outer->addLayout(bankRow);
  outer->addStretch();

  connect(wizard_, &QPushButton::clicked, this, [this] { model_.enterDemo(); });
  connect(back_, &QPushButton::clicked, this, [this] { model_.leaveDemo(); });
  bind();
  connect(&model_, &SwitchWizardModel::changed, this, [this] { binder_.sync(); });
  binder_.sync();
}

void SwitchWindow::storeDefault(int table, int entry) {
  const auto result = model_.storeDefault(table == 0 ? Table::Span : Table::Zero, entry);
  // The model asks and refuses out-of-range values itself; a typed text
  // that is not a number still deserves a word.
  if (result == SwitchWizardModel::StoreResult::NotANumber)
    prompter_.ask(ProductTitle(state_), Tr(state_, 71), Buttons::Ok, Icon::Warning);
}

void SwitchWindow::bind() {
  using Selector = SwitchWizardModel::Selector;
  const auto& v = model_.visibility();
  for (int c = 0; c < 2; ++c) {
    binder_.choice(inBox_[c], [this, c]() -> const auto& { return model_.input(c); },
                   [this, c](int i) { model_.inputSelected(c, i); });
    binder_.choice(outBox_[c], [this, c]() -> const auto& { return model_.output(c); },
                   [this, c](int i) { model_.outputSelected(c, i); });
    binder_.visible(inFrame_[c], &v.inputFrame[c]);
    binder_.visible(outFrame_[c], &v.outputFrame[c]);
    binder_.visible(optFrame_[c], &v.optionFrame[c]);
    binder_.visible(inBox_[c], &v.selectors);
    binder_.visible(outBox_[c], &v.selectors);
    binder_.visible(channelLabel_[c], &v.channelLabels);
    binder_.custom([this, c] {
      const auto& cap = model_.optionCaptions(c);
      optFrame_[c]->setTitle(cap.frame);
      opts_[2 * c]->setText(cap.off);
      opts_[2 * c + 1]->setText(cap.on);
    });
    binder_.options({opts_[2 * c], opts_[2 * c + 1]}, [this, c] { return model_.option(c) ? 1 : 0; },
                    [this, c](int k) { model_.optionSelected(c, k == 1); });
    binder_.visible(opts_[2 * c], &v.optionButtons);
    binder_.visible(opts_[2 * c + 1], &v.optionButtons);
  }
  binder_.options({far_[0], far_[1]}, [this] { return model_.fahrenheit() ? 1 : 0; },
                  [this](int k) { model_.temperatureUnitSelected(k == 1); });
  binder_.list(
      span_, [this] { return model_.spanList().texts(); }, [this] { return model_.spanList().selected; },
      [this](int row) { model_.spanClicked(row); });
  binder_.list(
      zero_, [this] { return model_.zeroList().texts(); }, [this] { return model_.zeroList().selected; },
      [this](int row) { model_.zeroClicked(row); });
  binder_.visible(span_, &v.spanList);
  binder_.visible(zero_, &v.zeroList);
  binder_.visible(spanLabel_, &v.spanLabel);
  binder_.visible(zeroLabel_, &v.zeroLabel);
  binder_.visible(divider_, &v.multiplierFrame);
  binder_.choice(
      multiplier_,
      [this] { return Selector{SwitchWizardModel::multiplierItems(), model_.multiplier(), {}}; },
      [this](int i) { model_.multiplierSelected(i); });
  binder_.custom([this] {
    sw2_->setText(model_.sw2Text());
    // Nothing planned: no empty box without a meaning.
    sw2_->setVisible(!model_.sw2Text().isEmpty());
    sw2Label_->setVisible(!model_.sw2Text().isEmpty());
    if (limits_->toPlainText() != model_.limitsText()) limits_->setPlainText(model_.limitsText());
  });
  binder_.visible(limits_, &v.limitsText);
  binder_.visible(wizard_, &v.wizardButton);
  binder_.visible(back_, &v.backButton);
  binder_.visible(models_, &v.modelList);
  binder_.choice(
      models_, [this] { return Selector{model_.demoModelList(), model_.demoSlot(), model_.demoModelListText()}; },
      [this](int i) { model_.chooseDemoModel(i); });
  binder_.custom([this] {
    // No result (nothing chosen, or a unit configured by software): no empty frame.
    check_->setVisible(model_.visibility().checkFrame && model_.check() != CheckResult::None);
    spia_->setVisible(model_.check() != CheckResult::None);
    if (model_.check() != CheckResult::None) spia_->setVbColor(model_.check() == CheckResult::Ok ? kGreen : kRed);
    checkText_->setText(QString::fromLatin1(CheckText(model_.check())));
    const auto banks = model_.banks();
    const SwitchBytes& bytes = model_.bytes();
    for (int b = 0; b < 3; ++b) {
      banks_[b]->setCaption(banks[b].caption);
      banks_[b]->setByte(bytes[b]);
      banks_[b]->setVisible(banks[b].visible);
    }
  });
}

void SwitchWindow::applyCaptions(const AppState& s) {
  for (int c = 0; c < 2; ++c) {
    inFrame_[c]->setTitle(Tr(s, 48));
    outFrame_[c]->setTitle(Tr(s, 49));
    channelLabel_[c]->setText(Tr(s, 72) + (c == 0 ? QStringLiteral(" A") : QStringLiteral(" B")));
  }
  check_->setTitle(Tr(s, 56));
  divider_->setTitle(Tr(s, 83));
  setWindowTitle(Tr(s, 105));
  wizard_->setText(Tr(s, 18));
  back_->setText(Tr(s, 19));
  sw2Label_->setText(Tr(s, 20));
  sw2_->setToolTip(Tr(s, 20));
  // Option captions follow the input and the unit: the model owns them
  // and the program has it apply them before the window is recaptioned.
  binder_.sync();
}

} // namespace pv
