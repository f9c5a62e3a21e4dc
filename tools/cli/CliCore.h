#pragma once
// planovix-cli: the configuration core from the command line, for scripts
// and batch programming. RunCli is the whole tool minus the real port and
// clock, so tests can run it in-process against the simulator.
//
// Exit codes: 0 success; 1 device or communication failure; 2 usage error
// or bad input (a bad or short file, a value that does not fit its cell);
// 3 a check refused (an OK/Cancel question without --yes, "Device Changed",
// a unit the program does not support, a wrong thermocouple pairing).
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace pv {

class SerialPort;
class Clock;

enum CliExit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitRefused = 3 };

// args excludes the program name. Results go to out, messages to err.
int RunCli(const QStringList& args, SerialPort& port, Clock& clock, QTextStream& out,
           QTextStream& err);

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
