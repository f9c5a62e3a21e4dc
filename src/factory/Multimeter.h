#pragma once
// A digital multimeter, on a serial port or on a USB or network session
// (ScpiInstrument). The selector's first three letters choose: "Man",
// "Com", "Usb"; a device path is serial, a resource string a session.
//
// The serial meter and the USB one are different instruments with command
// sets of their own (MeterDialect):
//   serial:  ":SYST:REM" / ":SYST:LOC" then, for REM, ":CONF:VOLT:DC" or
//            ":CONF:CURR:DC", 0.5 s after each; ":READ?", 1 s, one number
//            line (V or A)
//   session: "CONF:VOLT:DC 100,0.001" or "CONF:CURR:DC .1,0.001", then
//            "SENS:VOLT:DC:NPLC 1" (or CURR); "READ?", 0.5 s, the line
//   both:    "SYST:BEEP"
// Readings come back in thousandths of the base unit (mV or mA).
//
// Each meter element (0 and 1) is one Multimeter with its own port; the
// calibration gives both the multimeter selector, the linearity tests put
// them on fixed serial ports.
#include "factory/ScpiInstrument.h"

namespace pv {

enum class MeterFunction { Volt, Curr };

// The command lines, without their line endings.
QByteArrayList MeterSerialSetup(bool remote, MeterFunction f);
QByteArrayList MeterSessionSetup(MeterFunction f);

class Multimeter final : public ScpiInstrument {
public:
  Multimeter(Bench& bench, SerialPort& port, SessionFactory sessions)
      : ScpiInstrument(InstrumentKind::Multimeter, bench, &port, 9600, ParseMultimeterPort, std::move(sessions)) {}

  // Manual: tells the operator "Mult = VOLT".
  bool SetupMultimeter(bool remote, MeterFunction f);
  // The reading x 1000. Manual: the operator types volts or amperes.
  std::optional<double> ReadMultimeter();
  bool MultimeterBeep();
};

} // namespace pv
