#pragma once
// The application object: owns the program-wide state, the device port and
// link, and the windows; runs start-up, the main commands and shut-down.
#include "kernel/AppState.h"
#include "config/RangeTables.h"

#include <QObject>
#include <QTranslator>
#include <functional>
#include <memory>
#include <optional>

namespace pv {

class SerialPort;
class Clock;
class Prompter;
class Transport;
class DeviceCommands;
class DeviceLink;
class UnitSession;
class ProgramActions;
class MainFrame;
class CommWindow;
class FeedbackRelay;
class EditorModel;
class EditorWindow;
class CompareWindow;
class OptionsWindow;
class AboutWindow;
class LanguageWindow;
class MeasureWindow;
class SwitchWindow;
class SwitchWizardModel;
class SwitchUnit;
class ConfigFile;
class MeasurementRun;
class DeviceCommandsLink;
class EepromEditor;
class EepromWindow;
class ProductionTest;
class ProductionWindow;
class RecordsWindow;
class CalibrationWindow;
class StationWindow;
class CalibrationBench;
class InstrumentSession;
enum class InstrumentKind;
class Verification;
class VerificationWindow;
class InstrumentSetupWindow;
enum class ConfigResult;

class Program final : public QObject {
  Q_OBJECT
public:
  // Tests hand in an in-memory port, a fake clock and a scripted user;
  // the program itself uses the real ones.
  struct Parts {
    SerialPort* port = nullptr;
    Clock* clock = nullptr;
    Prompter* prompter = nullptr;
    // The calibration bench's instrument ports and sessions; real ones
    // when empty.
    std::function<std::unique_ptr<SerialPort>(InstrumentKind, int)> instrumentPorts{};
    std::function<std::unique_ptr<InstrumentSession>(const QString&)> sessions{};
  };
  Program();
  explicit Program(Parts parts);
  ~Program() override;

  // The start-up sequence: state, tables, windows, captions; shows the frame.
  void Startup();

  AppState& state() { return state_; }
  RangeTables& tables() { return tables_; }
  SerialPort& port() { return *port_; }
  Clock& clock() { return *clock_; }
  Prompter& prompter() { return *prompter_; }
  Transport& transport() { return *transport_; }
  DeviceCommands& commands() { return *commands_; }
  // The one owner of the unit's link: every exchange goes through it.
  DeviceLink& link() { return *link_; }
  // The unit in the program: its port, identity, model shown, fingerprint.
  UnitSession& session() { return *session_; }
  ProgramActions& actions() { return *actions_; }
  MainFrame* frame() const { return frame_; }
  CommWindow* comm() const { return comm_; }
  EditorModel& editor() { return *editor_; }
  EditorWindow* editorWindow() const { return editorWindow_; }
  OptionsWindow* optionsWindow();
  AboutWindow* aboutWindow();
  LanguageWindow* languageWindow();
  MeasureWindow* measureWindow();
  SwitchWindow* switchWindow();
  // The factory cell-memory editor (Collaudo > EEprom) and its window.
  EepromEditor& eeprom() { return *eeprom_; }
  EepromWindow* eepromWindow();
  void ShowEeprom();
  // The production test window; reached only by the start option
  // --production-test (the factory menu keeps its item hidden).
  ProductionWindow* productionWindow();
  ProductionTest& productionTest();
  void ShowProductionTest();
  // The factory's records (Collaudo > Records).
  RecordsWindow* recordsWindow();
  void ShowRecords();
  // The calibration window (Collaudo > Taratura) and its bench.
  CalibrationWindow* calibrationWindow();
  void ShowCalibration();
  // The gang programming station (Collaudo menu, or --station FILE).
  StationWindow* stationWindow();
  void ShowStation(const QString& file = {});
  // Calibration verification: the calibration window's "Prog" (and, until
  // that window exists, the start option --verification) opens it afresh.
  Verification& verification();
  VerificationWindow* verificationWindow();
  InstrumentSetupWindow* instrumentSetupWindow();
  void ShowVerification();
  SwitchWizardModel& switches() { return *switches_; }
  ConfigFile& configFile() { return *configFile_; }
  MeasurementRun& measurement() { return *measurement_; }
  // Model id of the identified unit, as the captions name it.
  QString currentModel() const;
  // The frame's sub-window hosting a window (nullptr before it exists).
  static QWidget* HostOf(QWidget* window);

  bool PortOpen() const;
  // The communication window's toggle: pressed opens port number, then
  // captions, read, the editor; released closes the port once the link is
  // free (a running measurement stops first). A press the port already
  // answers (open, or a close on its way) changes nothing.
  void TogglePort(bool pressed, int number);

  // Commands of both menu bars and of the buttons. Read and Write pressed
  // during a measurement stop it first and run after its end; while any
  // other exchange runs they do nothing.
  void Read();
  // changedOnly: only the cells of the fields changed since the last read.
  void Write(bool changedOnly = false);
  // Puts back the cells saved before the connected unit's last write, after
  // the user's OK, then reads the unit again.
  void UndoLastWrite();
  CompareWindow* compareWindow();
  void ShowCompare();
  void StartStop();
  void View(int index);
  void FileOpen();
  void FileSave(bool saveAs);
  // "Print / PDF...": asks for a file name and writes the commissioning
  // sheet of the editor (with the switch banks of a unit read from them).
  // False when nothing was written; the user has been told why.
  bool PrintSheet();
  void ShowAbout();
  void ShowLanguage();
  void SetLanguage(int index);
  // The exit command: set the exit flag, close every window. A running
  // exchange ends first (a measurement is stopped with its "SM").
  void Exit();

  // Writes every caption in the current language and lays the windows out
  // for the identified device. The family cell is asked of the unit only
  // when the port is open and no other exchange runs.
  void ApplyCaptions();

  // Called by the frame when it closes: the windows go in a fixed order.
  void CloseAllWindows();

  QString MessageTitle() const;

signals:
  // The port toggle settled: the toggle and the editor show the port state.
  void portStateChanged(bool open);
  // A measurement run started or ended.
  void measureStateChanged(bool running);

private:
  AppState state_;
  RangeTables tables_;
  std::unique_ptr<SerialPort> ownPort_;
  std::unique_ptr<Clock> ownClock_;
  std::unique_ptr<Prompter> ownPrompter_;
  SerialPort* port_;
  Clock* clock_;
  Prompter* prompter_;
  std::unique_ptr<FeedbackRelay> feedback_;
  ProgramActions* actions_;
  std::unique_ptr<DeviceLink> link_;
  std::unique_ptr<UnitSession> session_;
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<DeviceCommands> commands_;
  std::unique_ptr<EditorModel> editor_;
  std::unique_ptr<DeviceCommandsLink> measureLink_;
  std::unique_ptr<MeasurementRun> measurement_;
  MeasureWindow* measureWindow_ = nullptr;
  std::unique_ptr<SwitchUnit> switchUnit_;
  std::unique_ptr<SwitchWizardModel> switches_;
  std::unique_ptr<ConfigFile> configFile_;
  SwitchWindow* switchWindow_ = nullptr;
  std::unique_ptr<EepromEditor> eeprom_;
  EepromWindow* eepromWindow_ = nullptr;
  CompareWindow* compareWindow_ = nullptr;
  // The production test's generator and loops, made on first use.
  struct Production;
  std::unique_ptr<Production> production_;
  ProductionWindow* productionWindow_ = nullptr;
  RecordsWindow* recordsWindow_ = nullptr;
  std::function<std::unique_ptr<SerialPort>(InstrumentKind, int)> instrumentPorts_;
  std::function<std::unique_ptr<InstrumentSession>(const QString&)> sessions_;
  std::unique_ptr<CalibrationBench> calibrationBench_;
  CalibrationWindow* calibrationWindow_ = nullptr;
  StationWindow* stationWindow_ = nullptr;
  // The verification's instruments and core, made on first use.
  struct Verifying;
  std::unique_ptr<Verifying> verifying_;
  VerificationWindow* verificationWindow_ = nullptr;
  InstrumentSetupWindow* setupWindow_ = nullptr;
  MainFrame* frame_ = nullptr;  // owns the windows it hosts
  CommWindow* comm_ = nullptr;
  EditorWindow* editorWindow_ = nullptr;
  OptionsWindow* optionsWindow_ = nullptr;
  AboutWindow* aboutWindow_ = nullptr;
  LanguageWindow* languageWindow_ = nullptr;

  bool exitQueued_ = false;
  // A close of the port waits for the link: further presses change nothing.
  bool closeQueued_ = false;
  bool portWasOpen_ = false;
  // The identity the captions last named (or tried to): another window's
  // exchange that reads a different unit has the captions run once more.
  DeviceIdentity namedFor_;
  // The identity the communication window's labels show.
  DeviceIdentity labelsFor_;
  bool renaming_ = false;
  std::unique_ptr<QTranslator> qtItalian_;
  bool qtItalianLoaded_ = false;
  bool qtItalianInstalled_ = false;
  // Where the editor's configuration came from, for the sheet: the last
  // file opened, or (empty) the unit; whether a unit has been read.
  QString sheetFile_;
  std::optional<DeviceIdentity> sheetFileIdentity_;
  bool unitRead_ = false;

  void ShowHosted(QWidget* window, bool toggle);
  void SessionChanged();
  void ShowIdentityNow();
  void ApplyQtLanguage();
  void NameUnitAgain();
  // The configuration write of Write and of the verification's download.
  ConfigResult WriteConfiguration(bool changedOnly = false);
  void ConnectActions();
  void RefreshDeviceActions();
  void CaptionsBody(bool askUnit);
  bool CloseRequested();
};

} // namespace pv
