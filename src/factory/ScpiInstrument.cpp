#include "factory/ScpiInstrument.h"

#include "factory/ScpiSocketSession.h"
#include "factory/SerialLineSession.h"
#include "factory/UsbTmcSession.h"

namespace pv {

std::unique_ptr<InstrumentSession> MakeSession(const QString& resource, Clock& clock) {
  QString host;
  quint16 port = 0;
  if (ParseSocketResource(resource, &host, &port))
    return std::make_unique<ScpiSocketSession>(clock, resource, host, port);
  if (resource.startsWith(QLatin1Char('/'))) return std::make_unique<UsbTmcSession>(clock, resource);
  return nullptr;
}

SessionFactory RealSessions(Clock& clock) {
  return [&clock](const QString& resource) { return MakeSession(resource, clock); };
}

ScpiInstrument::ScpiInstrument(InstrumentKind kind, Bench& bench, SerialPort* port, qint32 baud,
                               SelectorRules rules, SessionFactory sessions)
    : Instrument(kind, bench, port, baud, rules), sessions_(std::move(sessions)) {}

ScpiInstrument::~ScpiInstrument() = default;

bool ScpiInstrument::openLink() {
  using namespace instrument_text;
  const InstrumentPort& p = where();
  if (p.kind == PortKind::Manual) return true;
  if (sessionOpen() && sessionTarget_ == p.target) return true;
  dropSession();
  if (p.kind == PortKind::Serial && port_) {
    session_ = std::make_unique<SerialLineSession>(bench_.clock, *port_, p.target, baud_);
  } else if (p.kind == PortKind::Session) {
    session_ = sessions_ ? sessions_(p.target) : nullptr;
    if (!session_) return fail(tr(kCannotOpen).arg(name(), p.target, QStringLiteral("unknown resource kind")));
  } else {
    return fail(tr(kBadPort).arg(name(), p.text));
  }
  if (!session_->open(kSessionOpenMs)) {
    const QString why = session_->errorString();
    dropSession();
    return fail(tr(kCannotOpen).arg(name(), p.target, why));
  }
  session_->setIoTimeoutMs(ioTimeoutMs_);
  sessionTarget_ = p.target;
  return true;
}

void ScpiInstrument::closeLink() {
  if (session_) session_->close();
  dropSession();
}

bool ScpiInstrument::sendLine(const QByteArray& line) {
  if (!session_) return failComm(QStringLiteral("session not open"));
  if (!session_->write(line)) return failComm(session_->errorString());
  return true;
}

void ScpiInstrument::setIoTimeoutMs(int ms) {
  ioTimeoutMs_ = ms;
  if (session_) session_->setIoTimeoutMs(ms);
}

} // namespace pv
