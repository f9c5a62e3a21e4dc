#pragma once
// The bench instruments that speak SCPI lines (the multimeters, the
// switching unit, the function generator), whatever carries them. The
// selector names a session and the driver talks through it alone, so it has
// one code path whether the instrument sits on a COM port, a USBTMC device
// file or a network socket:
//
//   selector   session
//   serial     SerialLineSession on the instrument's own port, at its speed
//   session    the SessionFactory's kind for the resource: RealSessions makes
//              a raw SCPI socket for "TCPIP::host[::port]::SOCKET" and a
//              USBTMC device-file session for a path
//   manual     none: the driver tells or asks the operator
//
// A session stays open for the next command while the selector names the
// same place.
#include "factory/Instrument.h"
#include "factory/InstrumentSession.h"

#include <memory>

namespace pv {

// How long opening a session may take.
inline constexpr int kSessionOpenMs = 2000;

// The real kinds: the resource is parsed here, once. Nothing for a resource
// kind this program cannot reach.
std::unique_ptr<InstrumentSession> MakeSession(const QString& resource, Clock& clock);
SessionFactory RealSessions(Clock& clock);

class ScpiInstrument : public Instrument {
public:
  ScpiInstrument(InstrumentKind kind, Bench& bench, SerialPort* port, qint32 baud, SelectorRules rules,
                 SessionFactory sessions);
  ~ScpiInstrument() override;

protected:
  // The session the selector names, opened unless one is open on it.
  bool openLink() override;
  void closeLink() override;
  bool sessionOpen() const { return session_ && session_->isOpen(); }
  // Ends the session; the next command opens a fresh one.
  void dropSession() { session_.reset(); }
  InstrumentSession& session() { return *session_; }
  // One message (the session adds its ending); reports a failure.
  bool sendLine(const QByteArray& line);
  // I/O time-out of the open session and of the next ones.
  void setIoTimeoutMs(int ms);

private:
  SessionFactory sessions_;
  std::unique_ptr<InstrumentSession> session_;
  QString sessionTarget_;
  int ioTimeoutMs_ = kSessionOpenMs;
};

} // namespace pv
