#pragma once
// A session on a serial port: the SCPI instruments on COM ports (the
// multimeters, the switching unit). 8N1 at the instrument's own speed;
// messages go out ending CR LF, answers end with a CR or an LF (CR LF is
// one ending). The port belongs to the instrument's owner and outlives the
// session; closing the session closes the port.
#include "factory/InstrumentSession.h"

namespace pv {

class SerialPort;

class SerialLineSession final : public InstrumentSession {
  Q_OBJECT
public:
  SerialLineSession(Clock& clock, SerialPort& port, const QString& path, qint32 baud,
                    QObject* parent = nullptr);
  bool open(int timeoutMs) override;
  void close() override;
  bool isOpen() const override;
  bool write(const QByteArray& message) override;

protected:
  void fill(QByteArray& buffer) override;
  QString closedError() const override { return QStringLiteral("the port failed"); }

private:
  SerialPort& port_;
  qint32 baud_;
};

} // namespace pv
