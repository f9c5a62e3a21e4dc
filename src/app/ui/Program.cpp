#include "app/ui/Program.h"
#include "kernel/Catalogue.h"
#include "text/Texts.h"
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/ProgramActions.h"
#include "kernel/ui/QtPrompter.h"
#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/EditorModel.h"
#include "config/Sheet.h"
#include "switches/SwitchSheet.h"
#include "switches/SwitchUnit.h"
#include "switches/SwitchWizardModel.h"
#include "switches/ui/SwitchWindow.h"
#include "config/ui/EditorWindow.h"
#include "config/ui/OptionsWindow.h"
#include "config/ui/CompareWindow.h"
#include "measure/DeviceCommandsLink.h"
#include "measure/MeasurementRun.h"
#include "measure/ui/MeasureWindow.h"
#include "factory/EepromEditor.h"
#include "config/ui/StationWindow.h"
#include "factory/ui/EepromWindow.h"
#include "factory/ui/records/RecordsWindow.h"

#include "factory/FunctionGenerator.h"
#include "factory/ProductionTest.h"
#include "factory/ui/production/ProductionWindow.h"
#include "factory/CalibrationBench.h"
#include "factory/ui/calibration/CalibrationWindow.h"
#include "factory/Verification.h"
#include "factory/ui/verification/VerificationWindow.h"
#include "text/ui/AboutWindow.h"
#include "text/ui/LanguageWindow.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/ModelFamily.h"
#include "link/PortNames.h"
#include "link/QtSerialPort.h"
#include "link/Transport.h"
#include "link/UnitSession.h"

#include <QAction>
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QShortcut>

namespace pv {

// Device-link feedback goes to whichever window paints it.
class FeedbackRelay final : public Feedback {
public:
  Feedback* target = nullptr;
  // After each command: the identity it may have read is shown at once.
  std::function<void()> commandEnded;
  void setBusy(bool b) override {
    if (target) target->setBusy(b);
    if (!b && commandEnded) commandEnded();
  }
  void setProgress(int d, int t) override { if (target) target->setProgress(d, t); }
  void setHourglass(bool on) override { if (target) target->setHourglass(on); }
  void setPortFrameEnabled(bool on) override { if (target) target->setPortFrameEnabled(on); }
  void setCommWindowEnabled(bool on) override { if (target) target->setCommWindowEnabled(on); }
};

namespace {
// Escape closes a small window (About, language, options) as it closes a
// dialog.
void CloseOnEscape(QWidget* window) {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(escape, &QShortcut::activated, window, [window] {
    if (QWidget* host = MainFrame::HostOf(window)) host->hide();
  });
}

// The switch wizard's own reads and writes, each one exchange on the link.
// Refused while another exchange runs: the wizard then sees a failure, as
// it would from a unit that did not answer, and nothing is sent.
class LinkedSwitchUnit final : public SwitchUnit {
public:
  LinkedSwitchUnit(DeviceCommands& commands, DeviceLink& link) : unit_(commands), commands_(commands), link_(link) {}
  std::array<int, 4> ReadSwitchState() override {
    std::array<int, 4> r{};
    if (!link_.run(Exchange::Switches, [&] { r = unit_.ReadSwitchState(); })) refused();
    return r;
  }
  QVector<int> ReadCalibrationTables(int inputType) override {
    QVector<int> r;
    if (!link_.run(Exchange::Switches, [&] { r = unit_.ReadCalibrationTables(inputType); })) refused();
    return r;
  }
  void WriteCells(int bank, int count) override {
    if (!link_.run(Exchange::Switches, [&] { unit_.WriteCells(bank, count); })) refused();
  }

private:
  void refused() { commands_.state().commError = true; }
  DeviceSwitchUnit unit_;
  DeviceCommands& commands_;
  DeviceLink& link_;
};
} // namespace

Program::Program() : Program(Parts{}) {}

Program::Program(Parts parts) {
  if (!parts.port) ownPort_ = std::make_unique<QtSerialPort>();
  if (!parts.clock) ownClock_ = std::make_unique<SteadyClock>();
  if (!parts.prompter) ownPrompter_ = std::make_unique<QtPrompter>();
  port_ = parts.port ? parts.port : ownPort_.get();
  clock_ = parts.clock ? parts.clock : ownClock_.get();
  prompter_ = parts.prompter ? parts.prompter : ownPrompter_.get();
  instrumentPorts_ = parts.instrumentPorts;
  sessions_ = parts.sessions;
  feedback_ = std::make_unique<FeedbackRelay>();
  feedback_->commandEnded = [this] { ShowIdentityNow(); };
  actions_ = new ProgramActions(this);
  // The transport waits and the commands ask through the link, so that the
  // link knows when an event handler runs inside one of its exchanges.
  link_ = std::make_unique<DeviceLink>(*clock_, *prompter_);
  session_ = std::make_unique<UnitSession>(*port_, state_, *link_, *prompter_);
  connect(session_.get(), &UnitSession::changed, this, &Program::SessionChanged);
  transport_ = std::make_unique<Transport>(*port_, link_->clock());
  commands_ = std::make_unique<DeviceCommands>(state_, *transport_, link_->prompter(), *feedback_);
  editor_ = std::make_unique<EditorModel>(state_, tables_);
  configFile_ = std::make_unique<ConfigFile>(*editor_, *prompter_);
  switchUnit_ = std::make_unique<LinkedSwitchUnit>(*commands_, *link_);
  switches_ = std::make_unique<SwitchWizardModel>(state_, tables_, *prompter_);
  switches_->setUnit(switchUnit_.get());
  measureLink_ = std::make_unique<DeviceCommandsLink>(*commands_);
  measurement_ = std::make_unique<MeasurementRun>(state_, tables_, *measureLink_, *feedback_);
  connect(measurement_.get(), &MeasurementRun::finished, this, [this] {
    if (comm_) comm_->setMeasureRunning(false);
    emit measureStateChanged(false);
  });
  eeprom_ = std::make_unique<EepromEditor>(state_, *commands_, *link_, link_->prompter());
  connect(link_.get(), &DeviceLink::stateChanged, this, &Program::RefreshDeviceActions);
  connect(link_.get(), &DeviceLink::busyChanged, this, [this](bool busy) {
    if (busy) return;
    // The progress fill shows a transfer in progress, not the last one.
    if (comm_) comm_->setProgress(0, 0);
    NameUnitAgain();
    // The session keeps the fingerprint an exchange computed for this unit.
    // A read clears it: another unit of the model may be on the line now.
    const bool known = !state_.unitFingerprint.isEmpty() && state_.unitFingerprintFor == state_.identity;
    const std::optional<QString> now = known ? std::optional<QString>(state_.unitFingerprint) : std::nullopt;
    if (session_->isOpen() && session_->fingerprint() != now) session_->setFingerprint(now);
  });
  ConnectActions();
}

void Program::NameUnitAgain() {
  // A factory window's exchange read another unit: the communication window
  // names the unit now on the line (once per identity, whatever the unit
  // answers to the family read).
  if (renaming_ || session_->modelCurrent() || state_.identity == namedFor_) return;
  renaming_ = true;
  ApplyCaptions();
  renaming_ = false;
}

void Program::ShowIdentityNow() {
  // Another window's exchange (a calibration run) read a unit the labels do
  // not name yet: its identity shows at once; its model too when the
  // identity alone names it, else the model waits for the family read after
  // the exchange, and no wrong name stands meanwhile.
  // (A read names the unit itself, through the captions.)
  if (!comm_ || link_->current() != Exchange::Command || state_.identity == labelsFor_) return;
  labelsFor_ = state_.identity;
  const VariantRow* row = FindVariant(state_.identity.variant);
  const bool named = state_.identity.deviceCode == 12 && row && !row->familyInCell4;
  const QString model = named ? ModelCaption(state_, CatalogueIndex(IdentifyModel(state_.identity.variant, 0))) : QString();
  comm_->setDeviceLabels(model.isEmpty() ? QStringLiteral("") : model,
                         QStringLiteral("ID=%1/%2").arg(state_.identity.deviceCode).arg(state_.identity.variant));
}

void Program::SessionChanged() {
  const bool open = session_->isOpen();
  if (comm_) {
    comm_->showPort(open, session_->portNumber());
    comm_->setFingerprint(session_->fingerprint().value_or(QString()));
  }
  if (open != portWasOpen_) {
    portWasOpen_ = open;
    emit portStateChanged(open);
  }
}

QString Program::currentModel() const { return session_->modelShown(); }

void Program::ConnectActions() {
  ProgramActions& a = *actions_;
  connect(a.fileOpen, &QAction::triggered, this, [this] { FileOpen(); });
  connect(a.fileSave, &QAction::triggered, this, [this] { FileSave(false); });
  connect(a.fileSaveAs, &QAction::triggered, this, [this] { FileSave(true); });
  connect(a.viewProgram, &QAction::triggered, this, [this] { View(0); });
  connect(a.viewMeasure, &QAction::triggered, this, [this] { View(1); });
  connect(a.viewSwitch, &QAction::triggered, this, [this] { View(2); });
  connect(a.read, &QAction::triggered, this, [this] { Read(); });
  connect(a.write, &QAction::triggered, this, [this] { Write(); });
  connect(a.writeChanged, &QAction::triggered, this, [this] { Write(true); });
  connect(a.undoWrite, &QAction::triggered, this, [this] { UndoLastWrite(); });
  connect(a.compare, &QAction::triggered, this, [this] { ShowCompare(); });
  // Start only starts; Stop is the start/stop button's press.
  connect(a.start, &QAction::triggered, this, [this] {
    if (!state_.measureRunning && !measurement_->active()) StartStop();
  });
  connect(a.stop, &QAction::triggered, this, [this] { StartStop(); });
  connect(a.language, &QAction::triggered, this, [this] { ShowLanguage(); });
  connect(a.about, &QAction::triggered, this, [this] { ShowAbout(); });
  connect(a.exit, &QAction::triggered, this, [this] { Exit(); });
  connect(a.eeprom, &QAction::triggered, this, [this] { ShowEeprom(); });
  connect(a.taratura, &QAction::triggered, this, [this] { ShowCalibration(); });
  connect(a.records, &QAction::triggered, this, [this] { ShowRecords(); });
  connect(a.station, &QAction::triggered, this, [this] { ShowStation(); });
}

void Program::RefreshDeviceActions() {
  const bool on = link_->actionsAllowed();
  actions_->setDeviceActionsEnabled(on);
  if (comm_) comm_->setPortToggleEnabled(on && !closeQueued_);
  if (measureWindow_) measureWindow_->setStartAllowed(!link_->busy());
  // Nearly every control of the switch wizard may ask the unit.
  if (switchWindow_) switchWindow_->setEnabled(!link_->busy());
}

SwitchWindow* Program::switchWindow() {
  if (!switchWindow_) {
    switchWindow_ = new SwitchWindow(*switches_, state_, *prompter_);
    frame_->host(switchWindow_, switchWindow_->objectName());
    switchWindow_->applyCaptions(state_);
    switchWindow_->setEnabled(!link_->busy());
  }
  return switchWindow_;
}

MeasureWindow* Program::measureWindow() {
  if (!measureWindow_) {
    measureWindow_ = new MeasureWindow(state_, *measurement_, *prompter_);
    frame_->host(measureWindow_, measureWindow_->objectName());
    measureWindow_->applyCaptions(state_);
    measureWindow_->setStartAllowed(!link_->busy());
    if (const ModelRow* row = FindModel(currentModel())) measureWindow_->applyLayout(PanelsFor(*row));
    connect(measureWindow_, &MeasureWindow::startRequested, this, [this] {
      if (!state_.measureRunning && !measurement_->active()) StartStop();
    });
    connect(measureWindow_, &MeasureWindow::stopRequested, this, [this] { state_.measureRunning = false; });
  }
  return measureWindow_;
}

EepromWindow* Program::eepromWindow() {
  if (!eepromWindow_) {
    eepromWindow_ = new EepromWindow(*eeprom_, *link_, *session_);
    frame_->host(eepromWindow_, eepromWindow_->objectName());
    eepromWindow_->applyCaptions(state_);
  }
  return eepromWindow_;
}

void Program::ShowEeprom() { ShowHosted(eepromWindow(), false); }

struct Program::Production {
  Production(Program& p)
      : bench{p.state_, *p.clock_, *p.prompter_},
        generator(bench, RealSessions(*p.clock_)),
        test(p.state_, *p.commands_, p.link_->clock(), generator) {}
  Bench bench;
  FunctionGenerator generator;
  ProductionTest test;
};

ProductionTest& Program::productionTest() {
  if (!production_) {
    production_ = std::make_unique<Production>(*this);
    production_->test.setLink(link_.get());
    // The busy lamp alternates at every stability frame.
    connect(&production_->test, &ProductionTest::lampBlink, this,
            [this](bool red) { feedback_->setBusy(red); });
  }
  return production_->test;
}

ProductionWindow* Program::productionWindow() {
  if (!productionWindow_) {
    productionWindow_ = new ProductionWindow(state_, productionTest(), *prompter_, *session_);
    productionWindow_->setLogPath(QDir::current().filePath(QStringLiteral("linear.dat")));
    frame_->host(productionWindow_, productionWindow_->objectName());
  }
  return productionWindow_;
}

void Program::ShowProductionTest() { ShowHosted(productionWindow(), false); }

RecordsWindow* Program::recordsWindow() {
  if (!recordsWindow_) {
    recordsWindow_ = new RecordsWindow(state_, *prompter_);
    frame_->host(recordsWindow_, recordsWindow_->objectName());
  }
  return recordsWindow_;
}

void Program::ShowRecords() { ShowHosted(recordsWindow(), false); }

CalibrationWindow* Program::calibrationWindow() {
  if (!calibrationWindow_) {
    // The instruments wait and ask through the link, like the unit does.
    calibrationBench_ = std::make_unique<CalibrationBench>(
        state_, link_->clock(), link_->prompter(), instrumentPorts_ ? instrumentPorts_ : RealInstrumentPorts(),
        sessions_ ? sessions_ : RealSessions(link_->clock()));
    // The unit is opened through the session, on the one port number the
    // communication window shows.
    calibrationWindow_ = new CalibrationWindow(state_, *commands_, *link_, *calibrationBench_, *session_);
    calibrationWindow_->setLogPath(QDir::current().filePath(QStringLiteral("linear.dat")));
    connect(calibrationWindow_, &CalibrationWindow::verificationRequested, this, &Program::ShowVerification);
    frame_->host(calibrationWindow_, calibrationWindow_->objectName());
  }
  return calibrationWindow_;
}

void Program::ShowCalibration() { ShowHosted(calibrationWindow(), false); }

StationWindow* Program::stationWindow() {
  if (!stationWindow_) stationWindow_ = new StationWindow(state_, *prompter_);
  return stationWindow_;
}

void Program::ShowStation(const QString& file) {
  if (!file.isEmpty()) stationWindow()->setFile(file);
  ShowHosted(stationWindow(), false);
}

struct Program::Verifying {
  // The calibration window's instruments and port selectors: one bench, so
  // that the two windows never open the same instrument port twice.
  Verifying(Program& p, CalibrationBench& b)
      : core(p.state_, {b.supply(), b.calibrator(), b.meter(0), b.switches()}, *p.clock_, *p.prompter_) {}
  Verification core;
};

Verification& Program::verification() {
  if (!verifying_) {
    // The bench and its selectors belong to the calibration window.
    calibrationWindow();
    verifying_ = std::make_unique<Verifying>(*this, *calibrationBench_);
    // "Prog. dispositivo" writes the configuration window's configuration
    // exactly as Write does, as one exchange on the unit's link.
    verifying_->core.setDownload([this] {
      // The unit is opened through the session when no one has opened it.
      if (!session_->isOpen() && !session_->borrow(verificationWindow_)) return DownloadOutcome::PortClosed;
      ConfigResult result = ConfigResult::CommFailure;
      if (!link_->run(Exchange::Write, [&] { result = WriteConfiguration(); })) return DownloadOutcome::Busy;
      switch (result) {
      case ConfigResult::Ok: return DownloadOutcome::Written;
      case ConfigResult::CommFailure:
      case ConfigResult::NotVerified: return DownloadOutcome::CommError;
      default: return DownloadOutcome::NotWritten;
      }
    });
  }
  return verifying_->core;
}

InstrumentSetupWindow* Program::instrumentSetupWindow() {
  if (!setupWindow_) {
    setupWindow_ = new InstrumentSetupWindow(state_, verification(), *prompter_);
    frame_->host(setupWindow_, setupWindow_->objectName());
  }
  return setupWindow_;
}

VerificationWindow* Program::verificationWindow() {
  if (!verificationWindow_) {
    verificationWindow_ = new VerificationWindow(state_, verification(), *prompter_, [this] { return PortOpen(); });
    frame_->host(verificationWindow_, verificationWindow_->objectName());
    verificationWindow_->setSetupWindow(instrumentSetupWindow());
    connect(verificationWindow_, &VerificationWindow::setupRequested, this, [this] {
      ShowHosted(instrumentSetupWindow(), false);
      // Beside the verification window, so that both stay in sight.
      // (left of that when the frame is too narrow for both).
      if (QMdiSubWindow* host = MainFrame::HostOf(verificationWindow_)) {
        const int width = setupWindow_->sizeHint().width() + 24;
        const int room = frame_->centralWidget() ? frame_->centralWidget()->width() : width;
        const int x = std::max(0, std::min(host->geometry().right() + 3, room - width));
        frame_->place(MainFrame::HostOf(setupWindow_), QPoint(x, host->geometry().top()));
      }
    });
    connect(verificationWindow_, &VerificationWindow::configurationRequested, this,
            [this] { ShowHosted(editorWindow_, false); });
  }
  return verificationWindow_;
}

void Program::ShowVerification() {
  CalibrationWindow* calibration = calibrationWindow();
  calibration->applySelectors();
  instrumentSetupWindow()->setCalibrationModel(calibration->modelCode());
  verificationWindow()->openFresh();
  ShowHosted(verificationWindow_, false);
}

QWidget* Program::HostOf(QWidget* window) { return MainFrame::HostOf(window); }

void Program::ShowHosted(QWidget* window, bool toggle) {
  QMdiSubWindow* host = MainFrame::HostOf(window);
  if (!host) return;
  if (toggle && host->isVisible()) {
    host->hide();
    return;
  }
  window->show();
  // A window already open stays where the user has it.
  if (host->isVisible()) {
    host->raise();
    frame_->area()->setActiveSubWindow(host);
    frame_->focusFirstField(host);
    return;
  }
  // Below the communication window, so that its buttons stay in reach; the
  // editor at that working position, the others cascaded from it so that
  // none opens exactly over another.
  QPoint at(0, 0);
  if (QMdiSubWindow* commHost = MainFrame::HostOf(comm_); commHost && window != comm_)
    at = QPoint(0, commHost->geometry().bottom() + 3);
  if (window != comm_ && window != editorWindow_) at = frame_->cascade(host, at);
  frame_->place(host, at);
}

OptionsWindow* Program::optionsWindow() {
  if (!optionsWindow_) {
    optionsWindow_ = new OptionsWindow(*editor_);
    frame_->host(optionsWindow_, optionsWindow_->objectName());
    optionsWindow_->applyCaptions(state_);
    connect(optionsWindow_, &OptionsWindow::closeRequested, this, [this] { HostOf(optionsWindow_)->hide(); });
    CloseOnEscape(optionsWindow_);
  }
  return optionsWindow_;
}

AboutWindow* Program::aboutWindow() {
  if (!aboutWindow_) {
    aboutWindow_ = new AboutWindow(state_, *prompter_);
    QMdiSubWindow* host = frame_->host(aboutWindow_, aboutWindow_->objectName());
    host->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint);
    connect(aboutWindow_, &AboutWindow::closeRequested, this, [this] { HostOf(aboutWindow_)->hide(); });
    CloseOnEscape(aboutWindow_);
    if (comm_) aboutWindow_->applyCaptions(comm_->aboutCaption());
  }
  return aboutWindow_;
}

LanguageWindow* Program::languageWindow() {
  if (!languageWindow_) {
    languageWindow_ = new LanguageWindow;
    QMdiSubWindow* host = frame_->host(languageWindow_, languageWindow_->objectName());
    host->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint);
    connect(languageWindow_, &LanguageWindow::languageChosen, this, [this](int i) {
      SetLanguage(i);
      HostOf(languageWindow_)->hide();
    });
    CloseOnEscape(languageWindow_);
  }
  return languageWindow_;
}

Program::~Program() {
  state_.exitFlag = true;
  state_.measureRunning = false;
  delete frame_;
  if (qtItalian_) QCoreApplication::removeTranslator(qtItalian_.get());
}

QString Program::MessageTitle() const { return ProductTitle(state_); }

void Program::Startup() {
  state_.exitFlag = false;
  // The switch, demonstration and range tables are compiled-in data.
  frame_ = new MainFrame(*actions_, state_);
  // The actions live with the frame, where tools find them by name.
  actions_->setParent(frame_);
  frame_->setCloseHandler([this] { return CloseRequested(); });
  // A window that borrowed the unit hands it back when it closes.
  connect(frame_, &MainFrame::windowHidden, session_.get(), [this](QWidget* w) { session_->giveBack(w); });
  // The factory menu offers the cell-memory editor and the calibration.
  frame_->factoryMenu()->menuAction()->setVisible(true);
  // The production test has no menu entry: its item stays hidden and the
  // window opens with the start option --production-test.
  actions_->test->setVisible(false);

  state_.brandIndex = 0;
  state_.languageIndex = 0;
  state_.identity = DeviceIdentity{};

  comm_ = new CommWindow(*actions_, state_);
  connect(comm_, &CommWindow::toggleRequested, this, &Program::TogglePort);
  connect(comm_, &CommWindow::portChosen, session_.get(), &UnitSession::choosePort);
  feedback_->target = comm_;
  if (auto* qp = dynamic_cast<QtPrompter*>(prompter_)) qp->setParent(frame_);
  comm_->factoryMenu()->menuAction()->setVisible(false);
  QMdiSubWindow* commHost = frame_->host(comm_, comm_->objectName());
  commHost->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);

  editorWindow_ = new EditorWindow(*editor_);
  QMdiSubWindow* editorHost = frame_->host(editorWindow_, editorWindow_->objectName());
  connect(editorWindow_, &EditorWindow::optionsRequested, this, [this](int c) {
    optionsWindow()->openFor(c);
    ShowHosted(optionsWindow_, false);
  });
  connect(editorWindow_, &EditorWindow::stopRequested, this, [this] { state_.measureRunning = false; });
  connect(editorWindow_, &EditorWindow::sheetRequested, this, [this] { PrintSheet(); });
  connect(this, &Program::portStateChanged, editorWindow_,
          [this](bool open) { editorWindow_->setDisplayValue(open ? 1 : 4); });

  state_.measureLoopActive = false;
  tables_ = RangeTables();
  editor_->fillLists();
  ApplyCaptions();
  state_.channelSelector = 1;
  comm_->setMeasureRunning(false);
  comm_->setProgress(0, 0);
  comm_->setSaveEnabled(false);
  SessionChanged();

  state_.switchEventsEnabled = true;
  RefreshDeviceActions();
  frame_->showForScreen();
  frame_->place(commHost, QPoint(0, 0));
  // The editor sits right below the communication window, never over it.
  editorHost->move(0, commHost->geometry().bottom() + 3);
}

bool Program::PortOpen() const { return session_->isOpen(); }

void Program::TogglePort(bool pressed, int number) {
  if (pressed) {
    // Already open (a factory window opened it) or a close on its way: the
    // toggle goes back to what the port is.
    if (session_->isOpen() || closeQueued_) {
      SessionChanged();
      return;
    }
    session_->choosePort(number);
    QString why;
    if (!session_->openByUser(&why)) {
      // A failed open releases the toggle and tells the user.
      SessionChanged();
      prompter_->ask(MessageTitle(),
                     why.isEmpty() ? Tr(state_, 67) : Tr(state_, 67) + QStringLiteral("\n\n") + why,
                     Buttons::Ok, Icon::Critical);
      return;
    }
    Read();
    // Opening shows the editor; it never hides it.
    ShowHosted(editorWindow_, false);
    state_.switchEventsEnabled = true;
    return;
  }
  // One close at a time; the toggle stays greyed while it waits.
  if (closeQueued_) {
    SessionChanged();
    return;
  }
  closeQueued_ = true;
  // A running measurement ends with its "SM" before the port closes.
  const bool now = link_->whenFree([this] {
    closeQueued_ = false;
    if (session_->isOpen()) {
      session_->closeByUser();
    } else {
      prompter_->ask(MessageTitle(), Tr(state_, 67), Buttons::Ok, Icon::Critical);
    }
    SessionChanged();
    RefreshDeviceActions();
  });
  if (!now) {
    SessionChanged();
    RefreshDeviceActions();
  }
}

void Program::Read() {
  link_->request(Exchange::Read, [this] {
    // Another unit may be on the line now; its fingerprint is known again at
    // the next exchange that reads it (a write's backup, an undo).
    state_.unitFingerprint.clear();
    const ConfigResult r = ReadEprom(*editor_, *commands_, [this] { ApplyCaptions(); });
    if (r == ConfigResult::Ok) {
      sheetFile_.clear();
      sheetFileIdentity_.reset();
      unitRead_ = true;
    }
    // The switch banks are read after every configuration read, whatever the model.
    if (!state_.commError) switches_->ReadSwitch();
  });
}

void Program::Write(bool changedOnly) {
  link_->request(Exchange::Write, [this, changedOnly] { WriteConfiguration(changedOnly); });
}

ConfigResult Program::WriteConfiguration(bool changedOnly) {
  WriteOptions options;
  options.captions = [this] { ApplyCaptions(); };
  options.changedOnly = changedOnly;
  options.backup.command = changedOnly ? QStringLiteral("Write (changed fields)") : QStringLiteral("Write");
  return WriteEprom(*editor_, *commands_, options);
}

void Program::UndoLastWrite() {
  link_->request(Exchange::Write, [this] {
    Prompter& ask = commands_->prompter();
    ConfigResult found = ConfigResult::Ok;
    ConnectedUnit unit;
    const std::optional<WriteRecord> entry = NewestEntryFor(*commands_, nullptr, &found, &unit);
    // A silent unit, an unreadable store or a damaged entry: the user has been told.
    if (found != ConfigResult::Ok) return;
    if (!entry) {
      ask.ask(MessageTitle(), Tr(state_, 134), Buttons::Ok, Icon::Information);
      return;
    }
    const QString when = QLocale(state_.languageOffset == 0 ? QLocale::Italian : QLocale::English)
                             .toString(entry->time.toLocalTime(), QLocale::ShortFormat);
    const size_t cells = CellsToRestore(*entry, state_.identity, unit.fingerprint, false).size();
    QString question = Tr(state_, 135).arg(cells).arg(when);
    if (unit.fingerprint.blank) question += QStringLiteral("\n\n") + Tr(state_, 163).arg(entry->label);
    if (ask.ask(MessageTitle(), question, Buttons::OkCancel, Icon::Question) != Answer::Ok) return;
    RestoreOptions options;
    options.backup.command = QStringLiteral("Undo last write");
    if (RestoreCells(*entry, *commands_, options) != ConfigResult::Ok) return;
    // The editor shows what the unit now holds.
    ReadEprom(*editor_, *commands_, [this] { ApplyCaptions(); });
  });
}

CompareWindow* Program::compareWindow() {
  if (!compareWindow_) {
    compareWindow_ = new CompareWindow(*editor_, *prompter_);
    frame_->host(compareWindow_, compareWindow_->objectName());
    compareWindow_->applyCaptions(state_);
    if (editorWindow_)
      connect(editorWindow_, &EditorWindow::marksChanged, compareWindow_, &CompareWindow::refresh);
  }
  return compareWindow_;
}

void Program::ShowCompare() {
  compareWindow()->refresh();
  ShowHosted(compareWindow_, false);
}

void Program::StartStop() {
  if (link_->current() == Exchange::Measure) {
    comm_->setMeasureRunning(false);
    state_.measureRunning = false;
    return;
  }
  link_->runPreemptible(
      Exchange::Measure,
      [this] {
        comm_->setMeasureRunning(true);
        emit measureStateChanged(true);
        ShowHosted(measureWindow(), false);
        measurement_->run();  // returns when the run has ended
      },
      [this] { state_.measureRunning = false; });
}

void Program::View(int index) {
  switch (index) {
    case 0: {
      QWidget* host = HostOf(editorWindow_);
      if (host && comm_) host->move(0, HostOf(comm_)->geometry().bottom() + 3);
      ShowHosted(editorWindow_, true);
      break;
    }
    case 1: ShowHosted(measureWindow(), true); break;
    case 2: ShowHosted(switchWindow(), true); break;
    default: break;
  }
}

void Program::FileOpen() {
  const FileResult r = configFile_->open();
  if (r == FileResult::Done) {
    sheetFile_ = configFile_->fileName();
    sheetFileIdentity_ = RecordIdentity(configFile_->record());
  }
  // A file that could not be read has been reported by the file itself.
  if (!configFile_->fileName().isEmpty()) frame_->setDocumentTitle(configFile_->fileName());
  comm_->setSaveEnabled(configFile_->saveEnabled());
}

void Program::FileSave(bool saveAs) {
  // A failed save has been reported by the file itself; the old file stands.
  configFile_->save(saveAs);
  if (!configFile_->fileName().isEmpty()) frame_->setDocumentTitle(configFile_->fileName());
  comm_->setSaveEnabled(configFile_->saveEnabled());
}

bool Program::PrintSheet() {
  const QDateTime now = QDateTime::currentDateTime();
  const QString suggested = currentModel() + now.toString(QStringLiteral("_yyyyMMdd-HHmm")) + QStringLiteral(".pdf");
  QString path = prompter_->saveFileName(MessageTitle(), suggested,
                                         {QStringLiteral("PDF (*.pdf)")});
  if (path.isEmpty()) return false;
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
  // The family of cell 4 is known once a unit has been read; the banks
  // belong on the sheet only while the editor shows that unit's configuration.
  SheetContent sheet = SheetFromEditor(*editor_, SheetOrigin{sheetFile_, unitRead_, now, sheetFileIdentity_});
  if (unitRead_ && sheetFile_.isEmpty()) sheet.picture = SwitchBanksPicture(*switches_, tables_, state_);
  QString why;
  if (!RenderSheet(sheet, path, &why)) {
    prompter_->ask(MessageTitle(), Tr(state_, 258).arg(path, why), Buttons::Ok, Icon::Critical);
    return false;
  }
  return true;
}

void Program::ShowAbout() { ShowHosted(aboutWindow(), false); }

void Program::ShowLanguage() { ShowHosted(languageWindow(), false); }

void Program::SetLanguage(int index) {
  state_.languageIndex = static_cast<uint8_t>(index);
  ApplyCaptions();
}

void Program::Exit() {
  if (exitQueued_) return;
  exitQueued_ = true;
  // A calibration run ends at its next step and switches the supply off;
  // the production test's loops end at their next turn.
  if (calibrationWindow_) calibrationWindow_->stopAll();
  if (production_) production_->test.stopAll();
  // The gang finishes its units in hand first; exit follows its end.
  if (stationWindow_ && stationWindow_->running()) {
    stationWindow_->stopAll();
    connect(
        stationWindow_, &StationWindow::runningChanged, this,
        [this] {
          exitQueued_ = false;
          Exit();
        },
        Qt::SingleShotConnection);
    return;
  }
  link_->whenFree([this] {
    state_.exitFlag = true;
    state_.measureRunning = false;
    if (frame_) frame_->close();
    exitQueued_ = false;
  });
}

bool Program::CloseRequested() {
  // Closing the frame while the unit is being talked to waits for the end
  // of the exchange (a measurement is stopped first).
  if (link_->busy() || (stationWindow_ && stationWindow_->running())) {
    Exit();
    return false;
  }
  CloseAllWindows();
  return true;
}

void Program::CloseAllWindows() {
  state_.exitFlag = true;
  state_.measureRunning = false;
  // Communication, configuration, About, language, options: in this order.
  for (QWidget* w : std::initializer_list<QWidget*>{comm_, editorWindow_, aboutWindow_, languageWindow_,
                                                    optionsWindow_, measureWindow_, switchWindow_,
                                                    eepromWindow_, productionWindow_, calibrationWindow_, recordsWindow_,
                                                    stationWindow_}) {
    if (auto* host = qobject_cast<QMdiSubWindow*>(HostOf(w))) host->close();
  }
  if (session_->isOpen()) session_->closeByUser();
}

void Program::ApplyQtLanguage() {
  // Qt's own words (file dialogs, the overwrite question, "Cancel"...) from
  // its Italian catalogue; English is built in.
  if (!qtItalian_) {
    qtItalian_ = std::make_unique<QTranslator>();
    qtItalianLoaded_ = qtItalian_->load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  }
  const bool want = qtItalianLoaded_ && state_.languageIndex == 0;
  if (want == qtItalianInstalled_) return;
  qtItalianInstalled_ = want;
  if (want) QCoreApplication::installTranslator(qtItalian_.get());
  else QCoreApplication::removeTranslator(qtItalian_.get());
}

void Program::ApplyCaptions() {
  state_.channelSelector = 1;
  state_.languageOffset = ComputeLanguageOffset(state_.languageIndex);
  ApplyQtLanguage();
  actions_->applyCaptions(state_);
  if (frame_) frame_->applyCaptions();
  if (comm_) {
    comm_->applyMenuCaptions();
    comm_->refreshPortTips();
  }
  if (editorWindow_) editorWindow_->applyCaptions(state_);
  if (measureWindow_) measureWindow_->applyCaptions(state_);
  if (eepromWindow_) eepromWindow_->applyCaptions(state_);
  if (recordsWindow_) recordsWindow_->applyCaptions(state_);
  if (compareWindow_) compareWindow_->applyCaptions(state_);

  // The family of variants 2..6 is in cell 4; a unit that does not answer
  // leaves the rest as it was. With the port closed, or while another
  // exchange holds the link (a run streaming, a write), the cell of the last
  // read stands in: asking would fail at once or break into that exchange,
  // and a language change must still reach every caption.
  const bool mayAsk = session_->isOpen() && !state_.measureLoopActive;
  if (!mayAsk || !link_->run(Exchange::Captions, [this] { CaptionsBody(true); })) CaptionsBody(false);
}

void Program::CaptionsBody(bool askUnit) {
  namedFor_ = state_.identity;
  const FamilyLookup found = LookUpModel(state_, *commands_, askUnit);
  if (!found.answered) return;
  const QString modelId = found.modelId;
  const uint8_t variant = state_.identity.variant;
  editor_->refreshVisibility();
  // The wizard's option captions follow the language and the unit.
  switches_->ImpostaSwOpz();
  if (switchWindow_) switchWindow_->applyCaptions(state_);
  if (productionWindow_) productionWindow_->applyCaptions(state_);
  if (verificationWindow_) verificationWindow_->applyCaptions(state_);
  if (calibrationWindow_) calibrationWindow_->applyCaptions(state_);
  if (stationWindow_) stationWindow_->applyCaptions();

  if (CatalogueIndex(modelId) >= 0) session_->setModelShown(modelId);
  if (const ModelRow* row = FindModel(currentModel()); row && measureWindow_)
    measureWindow_->applyLayout(PanelsFor(*row));
  if (comm_) {
    comm_->applyToggleCaption();
    const QString model = ModelCaption(state_, CatalogueIndex(modelId));
    comm_->setDeviceLabels(model.isEmpty() ? QString() : model,
                           QStringLiteral("ID=%1/%2").arg(state_.identity.deviceCode).arg(variant));
    labelsFor_ = state_.identity;
  }
  state_.webAddress = BrandText(state_, brand::WebAddress);
  if (optionsWindow_) optionsWindow_->applyCaptions(state_);
  state_.manualFile = BrandText(state_, state_.languageOffset != 0 ? brand::GuideEnglish : brand::GuideItalian);
  if (aboutWindow_ && comm_) aboutWindow_->applyCaptions(comm_->aboutCaption());
  if (frame_) frame_->applyCaptions();
}

} // namespace pv
