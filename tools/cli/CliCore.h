#pragma once
// planovix-cli: the configuration core from the command line, for scripts
// and batch programming. RunCli is the whole tool minus the real port and
// clock, so tests can run it in-process against the simulator.
//
// Exit codes: 0 success; 1 device or communication failure; 2 usage error
// or bad input (a bad or short file, a value that does not fit its cell);
// 3 a check refused (an OK/Cancel question without --yes, "Device Changed",
// a unit the program does not support, a wrong thermocouple pairing).
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace pv {

class SerialPort;
class Clock;
class DeviceCommands;
class TerminationSignals;
struct AppState;

enum CliExit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitRefused = 3 };

// args excludes the program name. Results go to out, messages to err.
// signals: Ctrl+C, SIGTERM and SIGHUP as they arrive (null: none); a run
// they end exits 128 + the signal's number.
int RunCli(const QStringList& args, SerialPort& port, Clock& clock, QTextStream& out, QTextStream& err,
           TerminationSignals* stops = nullptr);

// The options every unit command shares, taken out of the arguments first.
struct CliGlobals {
  int retries = 2;         // Retry answers to Retry/Cancel before Cancel
  QString label;           // --label
  TerminationSignals* stops = nullptr;
};

// A whole number lo..hi written as plain digits (a leading '-' only where lo
// is negative); nothing for anything else ("1e3", "0x10", "+7", " 7", "").
std::optional<int> ParseCliInt(const QString& text, int lo, int hi);

// Reads a .DST file for a command (a regular file only; never waits on a
// pipe or a device) and checks it; false with the reason on err.
bool ReadConfigurationFile(const QString& path, QByteArray* bytes, QTextStream& err);

// While alive, the signals stop the session's exchanges (AppState::
// stopRequests) and each one is announced on err. finish() says what was
// done and returns the exit code (128 + signal), or 0 when none came.
class StopOnSignals {
public:
  StopOnSignals(TerminationSignals* stops, AppState& state, QTextStream& err, QString command);
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;
  int finish(DeviceCommands& commands, bool succeeded);

private:
  TerminationSignals* stops_;
  AppState& state_;
  QTextStream& err_;
  QString command_;
  QMetaObject::Connection connection_;
};

QString CliHelpText();

// The device path a --port value names: "COM 1".."COM 8" resolved as the
// program does, anything else as given.
QString UnitPortPath(const QString& port);

// The unit's port, open for one command and closed when this goes.
class OpenUnitPort {
public:
  // name: the --port value. When the port cannot be opened the reason goes
  // to err and this converts to false.
  OpenUnitPort(SerialPort& port, const QString& name, QTextStream& err);
  ~OpenUnitPort();
  OpenUnitPort(const OpenUnitPort&) = delete;
  OpenUnitPort& operator=(const OpenUnitPort&) = delete;
  explicit operator bool() const { return opened_; }

private:
  SerialPort& port_;
  bool opened_ = false;
};

} // namespace pv
