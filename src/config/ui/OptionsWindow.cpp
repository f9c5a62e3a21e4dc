#include "config/ui/OptionsWindow.h"
#include "text/Texts.h"
#include "config/EditorModel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pv {

OptionsWindow::OptionsWindow(EditorModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("frm_Oper"));
  setMinimumWidth(240);
  auto* outer = new QVBoxLayout(this);
  frame2_ = new QGroupBox(QStringLiteral("Function"), this);
  frame2_->setObjectName(QStringLiteral("Frame2"));
  auto* grid = new QGridLayout(frame2_);
  for (int i = 0; i < 8; ++i) {
    ops_[i] = new QRadioButton(QString::fromLatin1(kOperationCaptions[i]), frame2_);
    ops_[i]->setObjectName(QStringLiteral("opt_Oper_%1").arg(i));
    grid->addWidget(ops_[i], i % 4, i / 4);
    connect(ops_[i], &QRadioButton::clicked, this, [this, i] { model_.chooseOperation(i); });
  }
  outer->addWidget(frame2_);

  frame1_ = new QGroupBox(QStringLiteral("Options"), this);
  frame1_->setObjectName(QStringLiteral("Frame1"));
  auto* row = new QHBoxLayout(frame1_);
  auto* delay = new QLabel(QStringLiteral("Delay"), frame1_);
  delay->setObjectName(QStringLiteral("Label21"));
  value_ = new QLineEdit(frame1_);
  value_->setObjectName(QStringLiteral("txt_Opzione"));
  value_->setFixedWidth(70);
  auto* sec = new QLabel(QStringLiteral("sec"), frame1_);
  sec->setObjectName(QStringLiteral("Label19"));
  row->addWidget(delay);
  row->addWidget(value_);
  row->addWidget(sec);
  row->addStretch();
  outer->addWidget(frame1_);
  connect(value_, &QLineEdit::textEdited, this, [this](const QString& t) { model_.setOptionText(t); });

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("Cmd_ok"));
  ok->setDefault(true);
  outer->addWidget(ok, 0, Qt::AlignRight);
  connect(ok, &QPushButton::clicked, this, &OptionsWindow::closeRequested);
  connect(&model_, &EditorModel::changed, this, &OptionsWindow::sync);
  sync();
}

void OptionsWindow::openFor(int channel) {
  model_.openOptions(channel);
  sync();
}

void OptionsWindow::sync() {
  const EditorView& v = model_.view();
  const int op = model_.record().ch[v.optionsChannel].operation;
  for (int i = 0; i < 8; ++i) ops_[i]->setChecked(i == op);
  frame1_->setVisible(v.frame1);
  if (value_->text() != v.txtOpzione) value_->setText(v.txtOpzione);
  setWindowTitle(QStringLiteral("%1 %2").arg(Tr(model_.state(), 72),
                                            v.optionsChannel == 0 ? QStringLiteral("A")
                                                                         : QStringLiteral("B")));
}

void OptionsWindow::applyCaptions(const AppState& s) {
  frame2_->setTitle(Tr(s, 41));
  frame1_->setTitle(Tr(s, 57));
  if (auto* delay = findChild<QLabel*>(QStringLiteral("Label21"))) delay->setText(Tr(s, 115));
  sync();
}

} // namespace pv
