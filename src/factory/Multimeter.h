#pragma once
// A digital multimeter, on a serial port (9600 8N1, SCPI lines ending CR LF)
// or on an instrument session (USB or network, lines ending LF). The
// selector's first three letters choose: "Man", "Com", "Usb"; a device path
// is serial, a resource string a session.
//
// Serial:  ":SYST:REM" / ":SYST:LOC"   then, for REM, ":CONF:VOLT:DC" or
//          ":CONF:CURR:DC"; ":READ?" answers one number line (V or A);
//          "SYST:BEEP" (no leading colon).
// Session: "CONF:VOLT:DC 100,0.001" or "CONF:CURR:DC .1,0.001", then
//          "SENS:VOLT:DC:NPLC 1" (or CURR); "READ?"; "SYST:BEEP".
// Readings come back in thousandths of the base unit (mV or mA).
//
// Each meter element (0 and 1) is one Multimeter with its own port; the
// calibration gives both the multimeter selector, the linearity tests put
// them on fixed serial ports.
#include "factory/Instrument.h"
#include "factory/InstrumentSession.h"

#include <memory>

namespace pv {

enum class MeterFunction { Volt, Curr };

// The command lines, without their line endings.
QByteArrayList MeterSerialSetup(bool remote, MeterFunction f);
QByteArrayList MeterSessionSetup(MeterFunction f);

// Session open time-out, as the function generator's.
inline constexpr int kSessionOpenMs = 2000;

class Multimeter final : public Instrument {
public:
  Multimeter(Bench& bench, SerialPort& port, SessionFactory sessions)
      : Instrument(InstrumentKind::Multimeter, bench, &port, 9600),
        sessions_(std::move(sessions)) {}

  InstrumentPort where() const override { return ParseMultimeterPort(selector()); }

  // Manual: tells the operator "Mult = VOLT".
  bool SetupMultimeter(bool remote, MeterFunction f);
  // The reading x 1000. Manual: the operator types volts or amperes.
  std::optional<double> ReadMultimeter();
  bool MultimeterBeep();

protected:
  // The serial port or the session the selector names.
  bool openLink() override;

private:
  bool sendLine(const QByteArray& line);
  bool openSession(const InstrumentPort& p);
  SessionFactory sessions_;
  std::unique_ptr<InstrumentSession> session_;
};

} // namespace pv
