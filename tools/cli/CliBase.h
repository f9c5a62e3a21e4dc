#pragma once
// What every planovix-cli command stands on: the exit codes, the parsed
// arguments, the one option parser, the run's context (ports, clock,
// streams, signals) and the unit's port. The command table sits above this
// file and every command family beside it; nothing here knows a command.
//
// Exit codes: 0 success; 1 device or communication failure; 2 usage error
// or bad input (a bad or short file, a value that does not fit its cell);
// 3 a check refused (an OK/Cancel question without --yes, "Device Changed",
// a unit the program does not support, a wrong thermocouple pairing);
// 4 a compare found differences (diff, eeprom verify, a red calibration).
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace pv {

class SerialPort;
class Clock;
class DeviceCommands;
class TerminationSignals;
struct AppState;
struct InstrumentIo;

enum CliExit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitRefused = 3, kExitDiffer = 4 };

// How a program run over many units ends: a fault of the run itself first,
// then a unit that failed, then one refused.
inline int UnitsExit(int code, int failed, int refused) {
  if (code != kExitOk) return code;
  if (failed > 0) return kExitDevice;
  if (refused > 0) return kExitRefused;
  return kExitOk;
}

// One option of a command. arg names the kind of value it takes, as help,
// manual page and completion show it ("PORT", "FILE.csv", "N", "MODEL");
// null for a flag.
struct CliOption {
  const char* name;  // "--port"
  const char* arg;   // "PORT", or nullptr
  const char* help;  // one line or a short paragraph
};

// The arguments of one run, parsed against the command's options.
struct CliArgs {
  QString command;                   // the command word; empty when none
  QStringList words;                 // what follows it that is not an option
  std::map<QString, QString> values;  // "--port" -> "COM 2"
  std::set<QString> flags;           // "--json", "--yes", "--help"
  bool has(const char* option) const;
  QString value(const char* option, const QString& otherwise = {}) const;
};

// Options may stand before or after the command word, as "--key value" or
// "--key=value"; "-h" is "--help", and "-5" is a word (a negative number),
// not an option. known: every option the run may take (a flag where arg is
// null). Nothing, with the reason in *error, for an option not in known or
// one missing its value.
struct CliParseError {
  QString why;      // without the tool's prefix
  QString option;   // the option at fault
  bool unknown = false;  // not in known (rather than badly given)
};
std::optional<CliArgs> ParseCliArgs(const QStringList& args, const std::vector<CliOption>& known,
                                    CliParseError* error);

// "planovix-cli: TEXT (see --help)" on err; the usage exit code.
int CliUsage(QTextStream& err, const QString& text);

// A whole number lo..hi written as plain digits (a leading '-' only where lo
// is negative); nothing for anything else ("1e3", "0x10", "+7", " 7", "").
std::optional<int> ParseCliInt(const QString& text, int lo, int hi);

// Reads a .DST file for a command (a regular file only; never waits on a
// pipe or a device) and checks it; false with the reason on err.
bool ReadConfigurationFile(const QString& path, QByteArray* bytes, QTextStream& err);

// A session state whose messages come out in English, as the tool's do.
void SetEnglish(AppState& state);

// How a command reaches the world. The tool's main hands in the real port,
// clock and streams; tests hand in simulated ones.
struct CliIo {
  SerialPort& unitPort;
  Clock& clock;
  QTextStream& in;   // manual readings, one a line
  QTextStream& out;  // results
  QTextStream& err;  // messages
  InstrumentIo* instruments = nullptr;  // null: real serial ports and sessions
  TerminationSignals* stops = nullptr;  // Ctrl+C, SIGTERM, SIGHUP as they arrive
};

// Runs a whole command line (the tool as main runs it) on another port and
// other streams: how the batch runs identify and write-config on each unit.
using CliRunner = std::function<int(const QStringList& args, SerialPort& port, QTextStream& out, QTextStream& err,
                                    TerminationSignals* stops)>;

// One command's run: its parsed arguments and the world it reaches.
struct CliRun {
  CliRun(CliArgs parsed, CliIo& world) : args(std::move(parsed)), io(world) {}
  CliArgs args;
  CliIo& io;
  CliRunner runAgain;  // the whole tool, for commands made of commands
  int retries = 2;     // --retries: Retry answers to Retry/Cancel before Cancel
  QString label;       // --label: the unit's label for the record store
  // The real bench's ports and sessions once a command asked for them (see
  // BenchIo), when io hands in none.
  std::shared_ptr<InstrumentIo> realInstruments;
  bool json() const { return args.has("--json"); }
  bool yes() const { return args.has("--yes"); }
  QString port() const { return args.value("--port", QStringLiteral("COM 1")); }
};

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

// The device path a --port value names: "COM 1".."COM 8" resolved as the
// program does, anything else as given.
QString UnitPortPath(const QString& port);

// The unit's port, open for one command and closed when this goes. The one
// place a command opens the unit's port.
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
