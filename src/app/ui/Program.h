#pragma once
// The application object: owns the program-wide state, the device port and
// link, and the windows; runs start-up, the main commands and shut-down.
#include "kernel/AppState.h"
#include "config/RangeTables.h"

#include <QObject>
#include <memory>

namespace pv {

class SerialPort;
class Clock;
class Prompter;
class Transport;
class DeviceCommands;
class MainFrame;
class CommWindow;
class FeedbackRelay;
class EditorModel;
class EditorWindow;
class OptionsWindow;
class AboutWindow;
class LanguageWindow;
class MeasureWindow;
class SwitchWindow;
class SwitchWizardModel;
class DeviceSwitchUnit;
class ConfigFile;
class MeasurementRun;
class DeviceCommandsLink;

class Program final : public QObject {
  Q_OBJECT
public:
  // Tests hand in an in-memory port, a fake clock and a scripted user;
  // the program itself uses the real ones.
  struct Parts {
    SerialPort* port = nullptr;
    Clock* clock = nullptr;
    Prompter* prompter = nullptr;
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
  MainFrame* frame() const { return frame_; }
  CommWindow* comm() const { return comm_; }
  EditorModel& editor() { return *editor_; }
  EditorWindow* editorWindow() const { return editorWindow_; }
  OptionsWindow* optionsWindow();
  AboutWindow* aboutWindow();
  LanguageWindow* languageWindow();
  MeasureWindow* measureWindow();
  SwitchWindow* switchWindow();
  SwitchWizardModel& switches() { return *switches_; }
  ConfigFile& configFile() { return *configFile_; }
  MeasurementRun& measurement() { return *measurement_; }
  // Model id of the identified unit, as the captions name it.
  QString currentModel() const { return currentModel_; }
  // The frame's sub-window hosting a window (nullptr before it exists).
  static QWidget* HostOf(QWidget* window);

  // Port, opened and closed only by the communication window's toggle.
  // On failure, why holds a line for the user under the "in use" message.
  bool OpenPort(int number, QString* why);
  void ClosePort();
  bool PortOpen() const;

  // Commands of both menu bars and of the buttons.
  void Read();
  void Write();
  void StartStop();
  void View(int index);
  void FileOpen();
  void FileSave(bool saveAs);
  void ShowAbout();
  void ShowLanguage();
  void SetLanguage(int index);
  // The exit command: set the exit flag, close every window.
  void Exit();

  // Writes every caption in the current language and lays the windows out
  // for the identified device.
  void ApplyCaptions();

  // Called by the frame when it closes: the windows go in a fixed order.
  void CloseAllWindows();

  QString MessageTitle() const;

signals:
  // The port toggle settled: the editor shows the port state.
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
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<DeviceCommands> commands_;
  std::unique_ptr<EditorModel> editor_;
  std::unique_ptr<DeviceCommandsLink> measureLink_;
  std::unique_ptr<MeasurementRun> measurement_;
  QString currentModel_ = QStringLiteral("KRV2210");
  MeasureWindow* measureWindow_ = nullptr;
  std::unique_ptr<DeviceSwitchUnit> switchUnit_;
  std::unique_ptr<SwitchWizardModel> switches_;
  std::unique_ptr<ConfigFile> configFile_;
  SwitchWindow* switchWindow_ = nullptr;
  MainFrame* frame_ = nullptr;  // owns the windows it hosts
  CommWindow* comm_ = nullptr;
  EditorWindow* editorWindow_ = nullptr;
  OptionsWindow* optionsWindow_ = nullptr;
  AboutWindow* aboutWindow_ = nullptr;
  LanguageWindow* languageWindow_ = nullptr;

  void ShowHosted(QWidget* window, bool toggle);
};

} // namespace pv
