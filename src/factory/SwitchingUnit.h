#pragma once
// The switching unit (relay matrix): serial, 9600 8N1, SCPI route commands
// (a SerialLineSession ends each with CR LF), no answers.
//
// A pattern is a run of groups: a three-digit channel then A (open) or C
// (close): "109A110A111C112C" opens 109 and 110, closes 111 and 112. Each
// action is one line: "rout:open (@109)". Digits and other characters send
// nothing by themselves.
#include "factory/ScpiInstrument.h"

#include <QByteArrayList>

namespace pv {

// The command lines of a pattern, in order.
QByteArrayList SwitchCommands(const QString& pattern);
// True when the pattern is whole groups of three digits and A or C.
bool IsWellFormedSwitchPattern(const QString& pattern);

class SwitchingUnit final : public ScpiInstrument {
public:
  SwitchingUnit(Bench& bench, SerialPort& port)
      : ScpiInstrument(InstrumentKind::SwitchingUnit, bench, &port, 9600, ParseSerialInstrumentPort, nullptr) {}

  // Manual: tells the operator "Switch = pattern".
  bool SetSwitches(const QString& pattern);
};

} // namespace pv
