#include "app/ui/Program.h"
#include "app/ModelCatalogue.h"
#include "app/Texts.h"
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/QtPrompter.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/PortNames.h"
#include "link/QtSerialPort.h"
#include "link/Transport.h"

#include <QApplication>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QMenu>

namespace pv {

// Device-link feedback goes to whichever window paints it.
class FeedbackRelay final : public Feedback {
public:
  Feedback* target = nullptr;
  void setBusy(bool b) override { if (target) target->setBusy(b); }
  void setProgress(int d, int t) override { if (target) target->setProgress(d, t); }
  void setHourglass(bool on) override { if (target) target->setHourglass(on); }
  void setPortFrameEnabled(bool on) override { if (target) target->setPortFrameEnabled(on); }
  void setCommWindowEnabled(bool on) override { if (target) target->setCommWindowEnabled(on); }
};

Program::Program() : Program(Parts{}) {}

Program::Program(Parts parts) {
  if (!parts.port) ownPort_ = std::make_unique<QtSerialPort>();
  if (!parts.clock) ownClock_ = std::make_unique<SteadyClock>();
  if (!parts.prompter) ownPrompter_ = std::make_unique<QtPrompter>();
  port_ = parts.port ? parts.port : ownPort_.get();
  clock_ = parts.clock ? parts.clock : ownClock_.get();
  prompter_ = parts.prompter ? parts.prompter : ownPrompter_.get();
  feedback_ = std::make_unique<FeedbackRelay>();
  transport_ = std::make_unique<Transport>(*port_, *clock_);
  commands_ = std::make_unique<DeviceCommands>(state_, *transport_, *prompter_, *feedback_);
}

Program::~Program() {
  state_.exitFlag = true;
  state_.measureRunning = false;
  delete frame_;
}

QString Program::MessageTitle() const { return ProductTitle(state_); }

void Program::Startup() {
  state_.exitFlag = false;
  // The switch, demonstration and range tables are compiled-in data.
  frame_ = new MainFrame(*this);
  frame_->factoryMenu()->menuAction()->setVisible(false);

  state_.brandIndex = 0;
  state_.languageIndex = 0;
  state_.identity = DeviceIdentity{};

  comm_ = new CommWindow(*this);
  feedback_->target = comm_;
  if (auto* qp = dynamic_cast<QtPrompter*>(prompter_)) qp->setParent(frame_);
  comm_->factoryMenu()->menuAction()->setVisible(false);
  QMdiSubWindow* commHost = frame_->host(comm_, comm_->objectName());
  commHost->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);

  state_.measureLoopActive = false;
  ApplyCaptions();
  state_.channelSelector = 1;
  comm_->setMeasureRunning(false);
  comm_->setProgress(0, 0);

  commHost->move(0, 0);
  commHost->adjustSize();
  state_.switchEventsEnabled = true;
  commHost->show();
  frame_->show();
}

bool Program::PortOpen() const { return port_->isOpen(); }

bool Program::OpenPort(int number, QString* why) {
  if (port_->isOpen()) return true;
  const QString path = ResolveComPort(number);
  OpenError error = OpenError::None;
  QString detail;
  if (port_->open(path, &error, &detail)) return true;
  if (why) {
    switch (error) {
      case OpenError::Permission: *why = Tr(state_, 84).arg(path); break;
      case OpenError::Missing: *why = Tr(state_, 85).arg(path); break;
      default: *why = detail.isEmpty() ? path : path + QStringLiteral(": ") + detail; break;
    }
  }
  return false;
}

void Program::ClosePort() {
  if (port_->isOpen()) port_->close();
}

void Program::Read() {
  if (state_.measureRunning) {
    state_.measureRunning = false;
    transport_->Pause(0.2);
  }
  IdentityBytes id = commands_->ReadIdentity();
  if (id[0] == 1 || state_.commError) return;
  ApplyCaptions();
}

void Program::Write() {}

void Program::StartStop() {}

void Program::View(int) {}

void Program::FileOpen() {}

void Program::FileSave(bool) {}

void Program::ShowAbout() {}

void Program::ShowLanguage() {}

void Program::SetLanguage(int index) {
  state_.languageIndex = static_cast<uint8_t>(index);
  ApplyCaptions();
}

void Program::Exit() {
  state_.exitFlag = true;
  state_.measureRunning = false;
  if (frame_) frame_->close();
}

void Program::CloseAllWindows() {
  state_.exitFlag = true;
  if (comm_) {
    if (auto* host = qobject_cast<QMdiSubWindow*>(comm_->parentWidget())) host->close();
  }
  if (port_->isOpen()) port_->close();
}

void Program::ApplyCaptions() {
  state_.channelSelector = 1;
  state_.languageOffset = ComputeLanguageOffset(state_.languageIndex);
  if (comm_) {
    comm_->applyMenuCaptions();
    comm_->refreshPortTips();
  }

  // The family of variants 2..6 is in cell 4; without it the rest waits.
  uint8_t cell4 = state_.programmingBuffer[4];
  const uint8_t variant = state_.identity.variant;
  if (variant >= 2 && variant <= 6) {
    CellBytes cells = commands_->ReadCells(0, 4, 1);
    if (state_.commError) return;
    cell4 = cells[0];
    state_.programmingBuffer[4] = cell4;
    if ((cell4 & 96) == 96) state_.modelFamily = QStringLiteral("KRV2211");
  }

  if (comm_) {
    comm_->applyToggleCaption();
    const QString model = ModelCaption(state_, CatalogueIndex(IdentifyModel(variant, cell4)));
    comm_->setDeviceLabels(model.isEmpty() ? QString() : model,
                           QStringLiteral("ID=%1/%2").arg(state_.identity.deviceCode).arg(variant));
  }
  state_.webAddress = BrandText(state_, brand::WebAddress);
  state_.manualFile = BrandText(state_, state_.languageOffset != 0 ? brand::GuideEnglish : brand::GuideItalian);
  if (frame_) frame_->applyCaptions();
}

} // namespace pv
