#pragma once
// A raw SCPI socket session: "TCPIP::host::port::SOCKET". Messages end with
// a newline; answers are lines ending in LF (a CR before it is dropped).
#include "factory/InstrumentSession.h"

#include <QTcpSocket>

namespace pv {

class ScpiSocketSession final : public InstrumentSession {
  Q_OBJECT
public:
  explicit ScpiSocketSession(Clock& clock, QObject* parent = nullptr);
  bool open(const QString& resource, int timeoutMs) override;
  void close() override;
  bool isOpen() const override;
  bool write(const QByteArray& message) override;
  std::optional<QByteArray> readLine(int timeoutMs) override;

private:
  QTcpSocket socket_;
  QByteArray pending_;
  bool failed_ = false;
  bool overlong_ = false;
};

} // namespace pv
