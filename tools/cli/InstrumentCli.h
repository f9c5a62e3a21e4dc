#pragma once
// planovix-cli's bench instrument commands, for technicians and scripts:
// drive the supply, calibrator, multimeters, switching unit and function
// generator through the same drivers the calibration uses.
//
// Exit codes as the other commands: 0 success, 1 instrument failure (no
// answer, port or session missing, an answer that is not a number),
// 2 usage error or bad input.
#include "factory/CalibrationBench.h"
#include "factory/InstrumentSession.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <map>
#include <memory>

namespace pv {

class Clock;
class SerialPort;

// How the commands reach the instruments: a fresh serial port per
// instrument, and the session kinds. Tests hand in simulated ones.
struct InstrumentIo {
  std::function<std::unique_ptr<SerialPort>()> makePort;
  SessionFactory sessions;
};

// Real serial ports and sessions.
InstrumentIo RealInstrumentIo(Clock& clock);

// The calibration bench on the ports the options name ("--supply",
// "--calibrator", "--meter", "--switch", "--meter-b"). The ports are made in
// that order. Nothing, with the reason on err, when the system has no serial
// ports.
std::unique_ptr<CalibrationBench> OpenCliBench(const AppState& state, Clock& clock, Prompter& prompter,
                                               InstrumentIo& io, const std::map<QString, QString>& selectors,
                                               QTextStream& err);

// True when args name an instrument command or option.
bool IsInstrumentInvocation(const QStringList& args);

// args excludes the program name; in supplies manual readings (one a line).
int RunInstrumentCli(const QStringList& args, InstrumentIo& io, Clock& clock, QTextStream& in,
                     QTextStream& out, QTextStream& err);

QString InstrumentHelpText();

} // namespace pv
