#pragma once
// The laboratory power supply that feeds the unit under test: serial, 2400
// baud 8N1, text commands ending in CR, and only the current query answers.
//
//   "SV <volts>" CR     set the output voltage (volts as text, "24.00")
//   "KOE" CR / "KOD" CR output on / off
//   "A" CR              read the current: 8 characters, the 2nd to 6th are
//                       the amperes ("A0.0425" CR -> 42.5 mA)
#include "factory/Instrument.h"

namespace pv {

inline constexpr qint32 kSupplyBaud = 2400;
// The supply's range: nothing above what the units stand.
inline constexpr double kSupplyMaxVolts = 30;

// The voltage as the supply takes it, two decimals with '.' ("24.00"), or
// nothing for a value that is not a number from 0 to 30.
std::optional<QString> SupplyVoltsText(double volts);
std::optional<QString> SupplyVoltsText(const QString& typed);

// Bytes of the supply's commands.
QByteArray SupplyVoltageCommand(const QString& volts);
QByteArray SupplyOutputCommand(bool on);
inline const QByteArray kSupplyCurrentQuery = QByteArrayLiteral("A\r");

// What ReadSupplyCurrent gives back.
struct SupplyCurrent {
  enum Status { Ok, TimedOut, Failed } status = Failed;
  double mA = -1;  // -1 unless Ok, as callers of the supply expect
};

class PowerSupply final : public Instrument {
public:
  PowerSupply(Bench& bench, SerialPort& port)
      : Instrument(InstrumentKind::PowerSupply, bench, &port, kSupplyBaud) {}

  // Sets the voltage, then switches the output. Manual: tells the operator.
  // A voltage SupplyVoltsText refuses is reported and nothing is sent.
  bool SetPowerSupply(bool on, const QString& volts);
  // The supply's current in mA. The answer must reach 8 characters within
  // one second of the query's pause (else TimedOut, mA = -1). Manual: the
  // operator types the reading in mA.
  SupplyCurrent ReadSupplyCurrent();
};

} // namespace pv
