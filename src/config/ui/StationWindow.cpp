#include "config/ui/StationWindow.h"

#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace pv {

namespace {

// The lamp's colour for each state.
QColor LampColor(GangState s) {
  switch (s) {
  case GangState::Waiting: return QColor(0x9e, 0x9e, 0x9e);
  case GangState::Writing: return QColor(0xff, 0xd0, 0x00);
  case GangState::Ok: return QColor(0x00, 0xb0, 0x40);
  case GangState::Failed: return QColor(0xe0, 0x20, 0x20);
  case GangState::Refused: return QColor(0xff, 0x80, 0x00);
  case GangState::Ended: break;
  }
  return QColor(0x50, 0x50, 0x50);
}

// The string-table text naming a state.
int StateText(GangState s) {
  switch (s) {
  case GangState::Waiting: return 181;
  case GangState::Writing: return 182;
  case GangState::Ok: return 183;
  case GangState::Failed: return 184;
  case GangState::Refused: return 185;
  case GangState::Ended: break;
  }
  return 186;
}

constexpr int kColumns = 4;

} // namespace

StationLamp::StationLamp(QWidget* parent) : QWidget(parent) {
  setMinimumSize(72, 72);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void StationLamp::setState(GangState s, const QString& text) {
  state_ = s;
  text_ = text;
  update();
}

void StationLamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int d = std::min(width(), height()) - 4;
  const QRect r((width() - d) / 2, (height() - d) / 2, d, d);
  p.setPen(QPen(Qt::black, 2));
  p.setBrush(LampColor(state_));
  p.drawEllipse(r);
  QFont f = font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.1);
  p.setFont(f);
  p.setPen(state_ == GangState::Writing || state_ == GangState::Waiting ? Qt::black : Qt::white);
  p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, text_);
}

StationWindow::StationWindow(const AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter) {
  setObjectName(QStringLiteral("frmStation"));
  auto* top = new QVBoxLayout(this);
  auto* form = new QGridLayout;
  fileLabel_ = new QLabel(this);
  file_ = new QLineEdit(this);
  file_->setObjectName(QStringLiteral("txt_File"));
  choose_ = new QPushButton(this);
  choose_->setObjectName(QStringLiteral("cmd_File"));
  portsLabel_ = new QLabel(this);
  ports_ = new QLineEdit(this);
  ports_->setObjectName(QStringLiteral("txt_Ports"));
  ports_->setText(QStringLiteral("COM 1,COM 2,COM 3,COM 4"));
  start_ = new QPushButton(this);
  start_->setObjectName(QStringLiteral("cmd_StartAll"));
  stop_ = new QPushButton(this);
  stop_->setObjectName(QStringLiteral("cmd_StopAll"));
  form->addWidget(fileLabel_, 0, 0);
  form->addWidget(file_, 0, 1);
  form->addWidget(choose_, 0, 2);
  form->addWidget(portsLabel_, 1, 0);
  form->addWidget(ports_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  form->addLayout(buttons, 1, 2);
  top->addLayout(form);
  board_ = new QWidget(this);
  grid_ = new QGridLayout(board_);
  grid_->setSpacing(8);
  top->addWidget(board_, 1);
  total_ = new QLabel(this);
  total_->setObjectName(QStringLiteral("lbl_Total"));
  QFont big = total_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.3);
  total_->setFont(big);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("lbl_Message"));
  message_->setWordWrap(true);
  top->addWidget(total_);
  top->addWidget(message_);

  connect(choose_, &QPushButton::clicked, this, &StationWindow::chooseFile);
  connect(start_, &QPushButton::clicked, this, [this] { startAll(); });
  connect(stop_, &QPushButton::clicked, this, &StationWindow::stopAll);
  applyCaptions();
  buildSlots();
  enableControls();
}

StationWindow::~StationWindow() = default;

QString StationWindow::text(int id) const { return Tr(state_, id); }

void StationWindow::setFile(const QString& path) { file_->setText(path); }
void StationWindow::setPorts(const QString& list) {
  ports_->setText(list);
  if (!running()) buildSlots();
}

void StationWindow::applyCaptions() {
  setWindowTitle(ProductTitle(state_) + QStringLiteral(" - ") + text(180));
  fileLabel_->setText(text(193));
  portsLabel_->setText(text(192));
  choose_->setText(text(194));
  start_->setText(text(187));
  stop_->setText(text(188));
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) paintSlot(i);
  paintTotals();
}

void StationWindow::buildSlots() {
  for (SlotWidgets& s : slots_) delete s.frame;
  slots_.clear();
  QString why;
  const std::vector<GangPort> ports = gang_ ? std::vector<GangPort>{} : ParseGangPorts(ports_->text(), &why);
  const size_t n = gang_ ? gang_->slotViews().size() : ports.size();
  for (size_t i = 0; i < n; ++i) {
    const QString name = gang_ ? gang_->slotViews()[i].port.name : ports[i].name;
    auto* frame = new QFrame(board_);
    frame->setObjectName(QStringLiteral("fra_Slot_%1").arg(i));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(frame);
    SlotWidgets w{frame, new QLabel(name, frame), new StationLamp(frame), new QLabel(frame), new QLabel(frame),
                  new QLabel(frame)};
    QFont bold = w.port->font();
    bold.setBold(true);
    w.port->setFont(bold);
    w.port->setAlignment(Qt::AlignCenter);
    w.lamp->setObjectName(QStringLiteral("lamp_Slot_%1").arg(i));
    w.model->setObjectName(QStringLiteral("lbl_Model_%1").arg(i));
    w.model->setAlignment(Qt::AlignCenter);
    w.count->setObjectName(QStringLiteral("lbl_Count_%1").arg(i));
    w.count->setAlignment(Qt::AlignCenter);
    w.reason->setObjectName(QStringLiteral("lbl_Reason_%1").arg(i));
    w.reason->setWordWrap(true);
    w.reason->setMinimumWidth(180);
    QFont small = w.reason->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    w.reason->setFont(small);
    v->addWidget(w.port);
    v->addWidget(w.lamp);
    v->addWidget(w.model);
    v->addWidget(w.count);
    v->addWidget(w.reason, 1, Qt::AlignTop);
    grid_->addWidget(frame, static_cast<int>(i) / kColumns, static_cast<int>(i) % kColumns);
    slots_.push_back(w);
    paintSlot(static_cast<int>(i));
  }
  paintTotals();
}

void StationWindow::paintSlot(int i) {
  SlotWidgets& w = slots_[static_cast<size_t>(i)];
  GangSlotView v;
  if (gang_) v = gang_->slotViews()[static_cast<size_t>(i)];
  // Before a start the slots wait for the start, not for a unit.
  const GangState s = gang_ ? v.state : GangState::Ended;
  w.lamp->setState(s, text(StateText(s)));
  w.model->setText(v.model.isEmpty() ? QStringLiteral("-")
                                     : v.label.isEmpty() ? v.model : v.model + QStringLiteral(" \u00b7 ") + v.label);
  w.count->setText(text(189).arg(v.ok).arg(v.refused).arg(v.failed));
  w.reason->setText(v.reason.isEmpty() ? QString() : text(191).arg(v.reason));
  w.reason->setToolTip(v.reason);
}

void StationWindow::paintTotals() {
  const int ok = gang_ ? gang_->count(GangOutcome::Ok) : 0;
  const int refused = gang_ ? gang_->count(GangOutcome::Refused) : 0;
  const int failed = gang_ ? gang_->count(GangOutcome::Failed) : 0;
  total_->setText(text(190).arg(text(189).arg(ok).arg(refused).arg(failed)));
}

void StationWindow::enableControls() {
  const bool on = running();
  start_->setEnabled(!on);
  stop_->setEnabled(on);
  file_->setEnabled(!on);
  choose_->setEnabled(!on);
  ports_->setEnabled(!on);
}

bool StationWindow::startAll() {
  if (running()) return false;
  QString why;
  std::vector<GangPort> ports = ParseGangPorts(ports_->text(), &why);
  if (ports.empty()) {
    message_->setText(text(197).arg(why));
    return false;
  }
  GangOptions o = base_;
  o.file = file_->text().trimmed();
  o.repeat = true;
  o.language = state_.languageIndex;
  gang_.reset();
  auto gang = std::make_unique<GangProgrammer>(std::move(ports), o);
  connect(gang.get(), &GangProgrammer::slotChanged, this, [this](int i) {
    if (i < static_cast<int>(slots_.size())) paintSlot(i);
  });
  connect(gang.get(), &GangProgrammer::unitDone, this, [this](int) { paintTotals(); });
  connect(gang.get(), &GangProgrammer::portMissing, this, [this](int, const QString& w) { message_->setText(w); });
  connect(gang.get(), &GangProgrammer::finished, this, &StationWindow::onFinished);
  if (!gang->start(&why)) {
    message_->setText(text(197).arg(why));
    return false;
  }
  gang_ = std::move(gang);
  message_->clear();
  buildSlots();
  enableControls();
  emit runningChanged(true);
  return true;
}

void StationWindow::stopAll() {
  if (!running()) return;
  gang_->requestStop();
  message_->setText(text(196));
}

void StationWindow::onFinished() {
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) paintSlot(i);
  paintTotals();
  if (message_->text() == text(196)) message_->clear();
  enableControls();
  emit runningChanged(false);
  if (closeWhenDone_) {
    closeWhenDone_ = false;
    close();
  }
}

void StationWindow::chooseFile() {
  const QString path = prompter_.openFileName(text(180), file_->text(), {text(198)});
  if (!path.isEmpty()) file_->setText(path);
}

void StationWindow::closeEvent(QCloseEvent* e) {
  if (!running()) {
    e->accept();
    return;
  }
  // The units in hand are finished first; the window goes when they are.
  closeWhenDone_ = true;
  stopAll();
  e->ignore();
}

} // namespace pv
