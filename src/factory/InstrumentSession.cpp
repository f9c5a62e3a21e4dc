#include "factory/InstrumentSession.h"

#include "factory/ScpiSocketSession.h"
#include "factory/UsbTmcSession.h"

#include "link/Clock.h"
#include "link/SerialPort.h"

#include <QLoggingCategory>
#include <QStringList>

Q_LOGGING_CATEGORY(lcInstr, "factory.instr", QtWarningMsg)

namespace pv {

// The clock's waits wake on a port's signals; a session's news reach them
// through this stand-in, which carries no data of its own.
class InstrumentSession::Relay final : public SerialPort {
public:
  bool open(const QString&, OpenError* why, QString*) override {
    if (why) *why = OpenError::Other;
    return false;
  }
  void close() override {}
  bool isOpen() const override { return true; }
  bool write(const QByteArray&) override { return false; }
  QByteArray readAll() override { return {}; }
  void clear() override {}
  bool hasError() const override { return false; }
  void poke() { emit readyRead(); }
};

InstrumentSession::InstrumentSession(Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock), relay_(std::make_unique<Relay>()) {}

InstrumentSession::~InstrumentSession() = default;

void InstrumentSession::waitForNews(qint64 ms) { clock_.wait(ms, relay_.get()); }

void InstrumentSession::wake() { relay_->poke(); }

std::optional<QByteArray> InstrumentSession::awaitLine(
    int timeoutMs, const std::function<std::optional<QByteArray>()>& take,
    const std::function<QString()>& closedError) {
  const qint64 start = clock_.nowMs();
  for (;;) {
    if (std::optional<QByteArray> line = take()) return line;
    if (!isOpen()) {
      setError(closedError());
      return std::nullopt;
    }
    const qint64 left = timeoutMs - (clock_.nowMs() - start);
    if (left <= 0) {
      setError(QStringLiteral("time-out"), true);
      return std::nullopt;
    }
    waitForNews(left);
  }
}

bool ParseSocketResource(const QString& resource, QString* host, quint16* port) {
  const QStringList parts = resource.trimmed().split(QStringLiteral("::"));
  if (parts.size() < 3 || parts.size() > 4) return false;
  if (!parts.front().startsWith(QLatin1String("TCPIP"), Qt::CaseInsensitive)) return false;
  if (parts.back().compare(QLatin1String("SOCKET"), Qt::CaseInsensitive) != 0) return false;
  if (parts[1].isEmpty()) return false;
  quint16 p = 5025;  // the usual raw SCPI port
  if (parts.size() == 4) {
    bool ok = false;
    const uint v = parts[2].toUInt(&ok, 10);
    if (!ok || v == 0 || v > 65535) return false;
    p = static_cast<quint16>(v);
  }
  if (host) *host = parts[1];
  if (port) *port = p;
  return true;
}

std::unique_ptr<InstrumentSession> MakeSession(const QString& resource, Clock& clock) {
  if (ParseSocketResource(resource, nullptr, nullptr))
    return std::make_unique<ScpiSocketSession>(clock);
  if (resource.startsWith(QLatin1Char('/'))) return std::make_unique<UsbTmcSession>(clock);
  return nullptr;
}

SessionFactory RealSessions(Clock& clock) {
  return [&clock](const QString& resource) { return MakeSession(resource, clock); };
}

} // namespace pv
