#pragma once
// The bench as the command line reaches it: the ports and sessions the
// instruments talk through, and the one place the calibration bench is
// opened on the ports the options name.
#include "factory/CalibrationBench.h"
#include "factory/InstrumentSession.h"
#include "kernel/Prompter.h"

#include <QString>
#include <QTextStream>
#include <functional>
#include <map>
#include <memory>

namespace pv {

class Clock;
class SerialPort;
struct CliRun;

// How the commands reach the instruments: a fresh serial port per
// instrument, and the session kinds. Tests hand in simulated ones.
struct InstrumentIo {
  std::function<std::unique_ptr<SerialPort>()> makePort;
  SessionFactory sessions;
};

// Real serial ports and sessions.
InstrumentIo RealInstrumentIo(Clock& clock);

// The bench's ports and sessions for a run: the ones its io hands in, else
// the real ones, made on first use.
InstrumentIo& BenchIo(CliRun& run);

// The calibration bench on the ports the options name ("--supply",
// "--calibrator", "--meter", "--switch", "--meter-b"). The ports are made in
// that order. Nothing, with the reason on err, when the system has no serial
// ports.
std::unique_ptr<CalibrationBench> OpenCliBench(const AppState& state, Clock& clock, Prompter& prompter,
                                               InstrumentIo& io, const std::map<QString, QString>& selectors,
                                               QTextStream& err);

// The operator at a terminal: instructions and questions on standard error,
// readings typed on standard input. A silent instrument is given up
// (Retry/Cancel answered Cancel), so a script never hangs. cautious: an
// OK/Cancel question is given up too and a Yes/No one answered No, for a
// run that takes nothing for granted.
class BenchPrompter final : public Prompter {
public:
  BenchPrompter(QTextStream& in, QTextStream& err, bool cautious) : in_(in), err_(err), cautious_(cautious) {}
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon) override;
  std::optional<QString> askText(const QString&, const QString& prompt, const QString&) override;
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }

  QStringList told;             // the instructions shown
  std::optional<QString> typed;  // the last reading typed

private:
  QTextStream& in_;
  QTextStream& err_;
  bool cautious_;
};

// Checks the selectors of the options named that values holds, each against
// the ports its instrument can use; a usage error on err for the first that
// names none. Nothing is touched either way.
bool BenchSelectorsValid(const std::map<QString, QString>& values, std::initializer_list<const char*> options,
                         QTextStream& err);

} // namespace pv
