#include "factory/ScpiSocketSession.h"

#include "link/Clock.h"

#include <QLoggingCategory>
#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcInstr)

namespace pv {

ScpiSocketSession::ScpiSocketSession(Clock& clock, QObject* parent)
    : InstrumentSession(clock, parent) {
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

bool ScpiSocketSession::open(const QString& resource, int timeoutMs) {
  close();
  setResource(resource);
  QString host;
  quint16 port = 0;
  if (!ParseSocketResource(resource, &host, &port)) {
    setError(QStringLiteral("not a TCPIP::host::port::SOCKET resource"));
    return false;
  }
  failed_ = false;
  socket_.connectToHost(host, port);
  const qint64 start = clock().nowMs();
  while (socket_.state() != QAbstractSocket::ConnectedState) {
    const qint64 left = timeoutMs - (clock().nowMs() - start);
    if (failed_ || socket_.state() == QAbstractSocket::UnconnectedState) {
      setError(socket_.errorString());
      socket_.abort();
      return false;
    }
    if (left <= 0) {
      setError(QStringLiteral("no connection within %1 ms").arg(timeoutMs), true);
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
  overlong_ = false;
  pending_.clear();
  if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
}

bool ScpiSocketSession::isOpen() const {
  return socket_.state() == QAbstractSocket::ConnectedState && !failed_;
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
      setError(QStringLiteral("message not sent within %1 ms").arg(ioTimeoutMs()), true);
      return false;
    }
    waitForNews(left);
    socket_.flush();
  }
  return true;
}

std::optional<QByteArray> ScpiSocketSession::readLine(int timeoutMs) {
  return awaitLine(
      timeoutMs,
      [this]() -> std::optional<QByteArray> {
        pending_ += socket_.read(kMaxReplyBytes + 1 - std::min(pending_.size(), kMaxReplyBytes));
        const qsizetype end = pending_.indexOf('\n');
        if (end < 0) {
          if (pending_.size() > kMaxReplyBytes) {
            // Not an answer: the session is given up.
            overlong_ = failed_ = true;
            pending_.clear();
            socket_.abort();
          }
          return std::nullopt;
        }
        QByteArray line = pending_.left(end);
        pending_.remove(0, end + 1);
        if (line.endsWith('\r')) line.chop(1);
        qCDebug(lcInstr) << resource() << "in" << line;
        return line;
      },
      [this] {
        if (overlong_) return QStringLiteral("an answer longer than %1 bytes").arg(kMaxReplyBytes);
        return failed_ ? socket_.errorString() : QStringLiteral("session not open");
      });
}

} // namespace pv
