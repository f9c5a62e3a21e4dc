#include "factory/ScpiSocketSession.h"

#include "link/Clock.h"

#include <QLoggingCategory>
#include <QStringList>
#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcInstr)

namespace pv {

bool ParseSocketResource(const QString& resource, QString* host, quint16* port) {
  const QStringList parts = resource.trimmed().split(QStringLiteral("::"));
  if (parts.size() < 3 || parts.size() > 4) return false;
  if (!parts.front().startsWith(QLatin1String("TCPIP"), Qt::CaseInsensitive)) return false;
  if (parts.back().compare(QLatin1String("SOCKET"), Qt::CaseInsensitive) != 0) return false;
  if (parts[1].isEmpty()) return false;
  quint16 p = 5025;
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

ScpiSocketSession::ScpiSocketSession(Clock& clock, const QString& resource, QString host, quint16 port,
                                     QObject* parent)
    : InstrumentSession(clock, resource, QByteArrayLiteral("\n"), parent), host_(std::move(host)), port_(port) {
  // Qt stops reading from the network once this much waits: a peer that
  // streams without end cannot fill memory.
  socket_.setReadBufferSize(kMaxReplyBytes);
  connect(&socket_, &QTcpSocket::readyRead, this, [this] { wake(); });
  connect(&socket_, &QTcpSocket::connected, this, [this] { wake(); });
  connect(&socket_, &QTcpSocket::bytesWritten, this, [this](qint64) { wake(); });
  connect(&socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
    failed_ = true;
    wake();
  });
  connect(&socket_, &QTcpSocket::disconnected, this, [this] {
    failed_ = true;
    wake();
  });
}

bool ScpiSocketSession::open(int timeoutMs) {
  close();
  socket_.connectToHost(host_, port_);
  const qint64 start = clock().nowMs();
  while (socket_.state() != QAbstractSocket::ConnectedState) {
    const qint64 left = timeoutMs - (clock().nowMs() - start);
    if (failed_ || socket_.state() == QAbstractSocket::UnconnectedState) {
      setError(socket_.errorString());
      socket_.abort();
      return false;
    }
    if (left <= 0) {
      setError(QStringLiteral("no connection within %1 ms").arg(timeoutMs));
      socket_.abort();
      return false;
    }
    waitForNews(left);
  }
  socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  return true;
}

void ScpiSocketSession::close() {
  failed_ = false;
  buffer().clear();
  if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
}

bool ScpiSocketSession::write(const QByteArray& message) {
  if (!isOpen()) {
    setError(failed_ ? socket_.errorString() : QStringLiteral("session not open"));
    return false;
  }
  qCDebug(lcInstr) << resource() << "out" << message;
  const QByteArray bytes = message + '\n';
  if (socket_.write(bytes) != bytes.size()) {
    setError(socket_.errorString());
    return false;
  }
  // The message has left only when the socket's buffer is empty; a session
  // closed earlier would drop the rest of a long transfer.
  const qint64 start = clock().nowMs();
  socket_.flush();
  while (socket_.bytesToWrite() > 0) {
    if (!isOpen()) {
      setError(failed_ ? socket_.errorString() : QStringLiteral("session not open"));
      return false;
    }
    const qint64 left = ioTimeoutMs() - (clock().nowMs() - start);
    if (left <= 0) {
      setError(QStringLiteral("message not sent within %1 ms").arg(ioTimeoutMs()));
      return false;
    }
    waitForNews(left);
    socket_.flush();
  }
  return true;
}

void ScpiSocketSession::fill(QByteArray& buffer) {
  // Never more than one answer's worth: what streams on past that is no answer.
  buffer += socket_.read(kMaxReplyBytes + 1 - std::min(buffer.size(), kMaxReplyBytes));
}

QString ScpiSocketSession::closedError() const {
  return failed_ ? socket_.errorString() : QStringLiteral("session not open");
}

} // namespace pv
