#pragma once
// How "COM 1".."COM 8" map to devices on this system.
#include <QString>
#include <QStringList>

namespace pv {

// The port number of a selector text: the value of its last character
// ("COM 3" -> 3); 0 when that is not a digit.
int PortNumberFromText(const QString& selectorText);

// The device for COM n: PLANOVIX_COM<n> when set; on Linux the first existing
// of /dev/ttyUSB<n-1>, /dev/ttyACM<n-1>, /dev/ttyS<n-1> (the first candidate
// when none exists); on Windows COM<n>.
QString ResolveComPort(int n);

// The candidates tried for COM n, in order (for tool tips and messages).
QStringList ComPortCandidates(int n);

} // namespace pv
