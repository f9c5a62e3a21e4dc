#pragma once
// A raw SCPI socket session: "TCPIP::host::port::SOCKET". Messages end with
// a newline; answers are lines ending in LF (a CR before it is dropped).
#include "factory/InstrumentSession.h"

#include <QTcpSocket>

namespace pv {

// "TCPIP::host::port::SOCKET" (TCPIP0:: and the like too; no port means
// 5025, the usual raw SCPI port) -> host and port; false when not such a
// resource.
bool ParseSocketResource(const QString& resource, QString* host, quint16* port);

class ScpiSocketSession final : public InstrumentSession {
  Q_OBJECT
public:
  // resource: the text the host and port were parsed from, for messages.
  ScpiSocketSession(Clock& clock, const QString& resource, QString host, quint16 port,
                    QObject* parent = nullptr);
  bool open(int timeoutMs) override;
  void close() override;
  bool isOpen() const override { return socket_.state() == QAbstractSocket::ConnectedState && !failed_; }
  bool write(const QByteArray& message) override;

protected:
  void fill(QByteArray& buffer) override;
  QString closedError() const override;

private:
  QTcpSocket socket_;
  QString host_;
  quint16 port_;
  bool failed_ = false;
};

} // namespace pv
