#pragma once
// The USB function generator of the production test, on an instrument
// session. Each use opens a fresh session on "UsbDevice1" (see
// ResolveUsbResource) with a 2000 ms open time-out; commands are single
// SCPI messages written with end-of-message ("OUTPut ON", "FREQuency 1000").
#include "factory/Instrument.h"
#include "factory/InstrumentSession.h"

#include <memory>

namespace pv {

inline constexpr int kGeneratorOpenMs = 2000;

class FunctionGenerator final : public Instrument {
public:
  FunctionGenerator(Bench& bench, SessionFactory sessions)
      : Instrument(InstrumentKind::FunctionGenerator, bench, nullptr, 0),
        sessions_(std::move(sessions)) {
    setSelector(QStringLiteral("UsbDevice1"));
  }

  InstrumentPort where() const override { return ParseGeneratorPort(selector()); }
  // Writes one command; opens the session first when none is open.
  bool write(const QByteArray& command);
  bool isOpen() const { return session_ && session_->isOpen(); }
  // Reports a value the generator cannot take (nothing is sent); false.
  bool refuseValue(const QString& value);
  // I/O time-out of the open session (kept for the next one too).
  void setIoTimeoutMs(int ms);
  int ioTimeoutMs() const { return ioTimeoutMs_; }

protected:
  // Replaces the session with a fresh one on the selected resource (what
  // each generator button does before its commands).
  bool openLink() override;

private:
  SessionFactory sessions_;
  std::unique_ptr<InstrumentSession> session_;
  int ioTimeoutMs_ = kGeneratorOpenMs;
};

} // namespace pv
