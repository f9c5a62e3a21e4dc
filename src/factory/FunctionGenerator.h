#pragma once
// The USB function generator of the production test, on an instrument
// session (ScpiInstrument). Each button opens a fresh session on
// "UsbDevice1" (see ResolveUsbResource); commands are single SCPI messages
// written with end-of-message ("OUTPut ON", "FREQuency 1000").
#include "factory/ScpiInstrument.h"

namespace pv {

// The generator's I/O time-out unless a button sets another.
inline constexpr int kGeneratorOpenMs = kSessionOpenMs;

class FunctionGenerator final : public ScpiInstrument {
public:
  FunctionGenerator(Bench& bench, SessionFactory sessions)
      : ScpiInstrument(InstrumentKind::FunctionGenerator, bench, nullptr, 0, ParseGeneratorPort,
                       std::move(sessions)) {
    setSelector(QStringLiteral("UsbDevice1"));
  }

  // Writes one command; opens the session first when none is open.
  bool write(const QByteArray& command);
  bool isOpen() const { return sessionOpen(); }
  // Reports a value the generator cannot take (nothing is sent); false.
  bool refuseValue(const QString& value);
  using ScpiInstrument::setIoTimeoutMs;

protected:
  // Replaces the session with a fresh one on the selected resource (what
  // each generator button does before its commands).
  bool openLink() override;
};

} // namespace pv
