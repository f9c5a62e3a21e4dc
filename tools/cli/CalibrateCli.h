#pragma once
// planovix-cli calibrate: the factory calibration run as an automated
// station, on the same sequencer as the calibration window; and the
// window's other buttons: calibrate-power on|off, tara-canale A|B,
// linearity-output ("lett mult") and linearity-2ch ("2 ch compl.").
//
// Exit codes of calibrate: 0 normal end with every run cell green, 4 normal
// end with a red cell, 3 stopped (an Abort answer or an interrupt), 1 error
// end, 2 usage error or bad input. The buttons: 0 done, 1 a device or
// instrument failure, 2 usage error or bad input.
#include "InstrumentCli.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace pv {

class Clock;
class SerialPort;

// True when the command word of args is "calibrate" or one of the buttons'.
bool IsCalibrateInvocation(const QStringList& args);

// args excludes the program name; unitPort is the unit's (still closed)
// port; in answers manual instruments.
int RunCalibrateCli(const QStringList& args, SerialPort& unitPort, InstrumentIo& io, Clock& clock,
                    QTextStream& in, QTextStream& out, QTextStream& err);

QString CalibrateHelpText();

} // namespace pv
