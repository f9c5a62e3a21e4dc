#include "factory/ui/EepromWindow.h"

#include "factory/EepromEditor.h"
#include "link/DeviceLink.h"
#include "link/UnitSession.h"
#include "text/Texts.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pv {

namespace {
template <typename T> T* Named(T* w, const char* name) {
  w->setObjectName(QLatin1String(name));
  return w;
}
} // namespace

EepromWindow::EepromWindow(EepromEditor& editor, DeviceLink& link, UnitSession& session, QWidget* parent)
    : QWidget(parent), editor_(editor), link_(link), session_(session) {
  setObjectName(QStringLiteral("frm_eeprom"));
  setWindowTitle(QStringLiteral("EEPROM"));
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

  list1_ = Named(new QListWidget, "List1");
  list1_->setFont(fixed);
  list1_->setMinimumSize(150, 320);
  // A line may be edited by hand; it is checked when the list is written.
  list1_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  list2_ = Named(new QListWidget, "List2");
  list2_->setFont(fixed);
  list2_->setMinimumWidth(120);
  frame1_ = Named(new QGroupBox, "Frame1");
  auto* f1 = new QVBoxLayout(frame1_);
  f1->addWidget(list2_);

  for (int i = 1; i <= 7; ++i) {
    cmd_[i] = new QPushButton;
    cmd_[i]->setObjectName(QStringLiteral("Command%1").arg(i));
  }

  // Whole memory: the list, its buttons, the differences.
  auto* memory = new QVBoxLayout;
  for (int i : {3, 5, 6, 2, 7}) memory->addWidget(cmd_[i]);
  memory->addWidget(frame1_, 1);

  // One value.
  bank_ = Named(new QLineEdit(QStringLiteral("0")), "txt_banco");
  start_ = Named(new QLineEdit(QStringLiteral("0")), "txt_start");
  value_ = Named(new QLineEdit, "txt_valore");
  a_ = Named(new QLineEdit(QStringLiteral("0")), "txt_valoreA");
  b_ = Named(new QLineEdit(QStringLiteral("0")), "txt_valoreB");
  c_ = Named(new QLineEdit(QStringLiteral("0")), "txt_valoreC");
  for (QLineEdit* e : {bank_, start_, a_, b_, c_}) e->setMaximumWidth(70);
  value_->setMaximumWidth(140);
  bankLabel_ = Named(new QLabel, "lbl_banco");
  startLabel_ = Named(new QLabel, "lbl_start");
  valueLabel_ = Named(new QLabel, "lbl_valore");

  format_ = Named(new QGroupBox, "Frame_Formato");
  auto* fl = new QHBoxLayout(format_);
  auto* formats = new QButtonGroup(this);
  const char* formatNames[] = {"Byte", "Int", "Float"};
  for (int i = 0; i < 3; ++i) {
    option2_[i] = new QRadioButton(QLatin1String(formatNames[i]));
    option2_[i]->setObjectName(QStringLiteral("Option2_%1").arg(i));
    formats->addButton(option2_[i], i);
    fl->addWidget(option2_[i]);
  }
  option2_[0]->setChecked(true);

  // Which the single write takes: the value (converted) or the raw bytes.
  auto* sources = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    option1_[i] = new QRadioButton;
    option1_[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
    sources->addButton(option1_[i], i);
  }
  option1_[0]->setChecked(true);
  option1_[1]->setText(QStringLiteral("L H Exp"));

  auto* single = new QGridLayout;
  single->addWidget(bankLabel_, 0, 0);
  single->addWidget(bank_, 0, 1);
  single->addWidget(startLabel_, 1, 0);
  single->addWidget(start_, 1, 1);
  single->addWidget(format_, 2, 0, 1, 4);
  single->addWidget(valueLabel_, 3, 0);
  single->addWidget(value_, 3, 1, 1, 2);
  single->addWidget(option1_[0], 3, 3);
  auto* raw = new QHBoxLayout;
  const std::array<std::pair<QLineEdit*, const char*>, 3> rawFields = {{{a_, "L"}, {b_, "H"}, {c_, "Exp"}}};
  for (const auto& [edit, caption] : rawFields) {
    auto* l = new QLabel(QLatin1String(caption));
    l->setObjectName(QStringLiteral("lbl_") + edit->objectName());
    raw->addWidget(l);
    raw->addWidget(edit);
  }
  single->addLayout(raw, 4, 0, 1, 3);
  single->addWidget(option1_[1], 4, 3);
  auto* singleButtons = new QHBoxLayout;
  singleButtons->addWidget(cmd_[1]);
  singleButtons->addWidget(cmd_[4]);
  single->addLayout(singleButtons, 5, 0, 1, 4);
  single->setRowStretch(6, 1);

  auto* top = new QHBoxLayout(this);
  top->addWidget(list1_);
  top->addLayout(memory);
  top->addSpacing(12);
  top->addLayout(single, 1);

  connect(cmd_[3], &QPushButton::clicked, this, [this] {
    if (unit()) editor_.readAll();
  });
  connect(cmd_[5], &QPushButton::clicked, this, [this] {
    if (unit()) editor_.writeAll();
  });
  connect(cmd_[6], &QPushButton::clicked, this, [this] { editor_.save(); });
  connect(cmd_[2], &QPushButton::clicked, this, [this] { editor_.load(); });
  connect(cmd_[7], &QPushButton::clicked, this, [this] {
    if (unit()) editor_.verify();
  });
  connect(cmd_[1], &QPushButton::clicked, this, [this] {
    takeFields();
    if (unit()) editor_.readOne();
  });
  connect(cmd_[4], &QPushButton::clicked, this, [this] {
    takeFields();
    if (unit()) editor_.writeOne();
  });
  connect(list1_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!filling_) editor_.setLine(list1_->row(item), item->text());
  });
  connect(&editor_, &EepromEditor::listChanged, this, &EepromWindow::showList);
  connect(&editor_, &EepromEditor::differencesChanged, this, &EepromWindow::showDifferences);
  connect(&editor_, &EepromEditor::fieldsChanged, this, &EepromWindow::showFields);
  connect(&link_, &DeviceLink::stateChanged, this, &EepromWindow::refreshDeviceButtons);

  showList();
  showDifferences();
  showFields();
  refreshDeviceButtons();
}

void EepromWindow::applyCaptions(const AppState& s) {
  setWindowTitle(QStringLiteral("EEPROM"));
  cmd_[3]->setText(Tr(s, 220));
  cmd_[5]->setText(Tr(s, 221));
  cmd_[6]->setText(Tr(s, 222));
  cmd_[2]->setText(Tr(s, 223));
  cmd_[7]->setText(Tr(s, 224));
  cmd_[1]->setText(Tr(s, 46));
  cmd_[4]->setText(Tr(s, 47));
  bankLabel_->setText(Tr(s, 225));
  startLabel_->setText(Tr(s, 226));
  valueLabel_->setText(Tr(s, 227));
  option1_[0]->setText(Tr(s, 227));
  format_->setTitle(Tr(s, 228));
}

void EepromWindow::showList() {
  filling_ = true;
  const QStringList& lines = editor_.lines();
  if (list1_->count() != lines.size()) {
    list1_->clear();
    for (const QString& line : lines) {
      auto* item = new QListWidgetItem(line, list1_);
      item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
  } else {
    for (int i = 0; i < lines.size(); ++i)
      if (list1_->item(i)->text() != lines[i]) list1_->item(i)->setText(lines[i]);
  }
  filling_ = false;
}

void EepromWindow::showDifferences() {
  list2_->clear();
  list2_->addItems(editor_.differenceLines());
}

void EepromWindow::showFields() {
  const SingleFields& f = editor_.fields;
  bank_->setText(f.bank);
  start_->setText(f.start);
  value_->setText(f.value);
  a_->setText(f.a);
  b_->setText(f.b);
  c_->setText(f.c);
  option2_[static_cast<int>(f.format)]->setChecked(true);
  option1_[f.fromValue ? 0 : 1]->setChecked(true);
}

void EepromWindow::takeFields() {
  SingleFields& f = editor_.fields;
  f.bank = bank_->text();
  f.start = start_->text();
  f.value = value_->text();
  f.a = a_->text();
  f.b = b_->text();
  f.c = c_->text();
  for (int i = 0; i < 3; ++i)
    if (option2_[i]->isChecked()) f.format = static_cast<EepromFormat>(i);
  f.fromValue = option1_[0]->isChecked();
}

bool EepromWindow::unit() {
  // A press that reached a greyed button while another exchange runs opens
  // nothing: the editor refuses it.
  if (link_.busy()) return true;
  return session_.borrow(this);
}

void EepromWindow::refreshDeviceButtons() {
  const bool free = !link_.busy();
  for (int i : {1, 3, 4, 5, 7}) cmd_[i]->setEnabled(free);
}

} // namespace pv
