#pragma once
// planovix-cli sheet OUT.pdf [IN.DST] [--lang it|en]: the commissioning
// sheet as the editor's "Print / PDF..." writes it. Without IN.DST the unit
// is read as the program's Read does (identity, configuration, switches);
// with it, the file alone (its identity, no unit, no switch banks).
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace pv {

class SerialPort;
class Clock;

bool IsSheetCommand(const QString& cmd);
// Whether the arguments run the sheet command (it paints, so it needs a
// QGuiApplication rather than a QCoreApplication).
bool IsSheetInvocation(const QStringList& args);

// rest: the arguments after "sheet". portPath: the resolved device path.
int RunSheetCli(const QStringList& rest, SerialPort& port, Clock& clock, const QString& portPath, bool yes,
                bool json, QTextStream& out, QTextStream& err);

QString SheetHelpText();

} // namespace pv
