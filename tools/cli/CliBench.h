#pragma once
// The bench as the command line reaches it: the ports and sessions the
// instruments talk through, and the one place the calibration bench is
// opened on the ports the options name.
#include "factory/CalibrationBench.h"
#include "factory/InstrumentSession.h"

#include <QString>
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

} // namespace pv
