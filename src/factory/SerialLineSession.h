#pragma once
// A session on a serial port: the SCPI instruments on COM ports (the
// multimeters, the switching unit). 8N1 at the instrument's own speed;
// messages go out ending CR LF, an answer ends at its CR or LF (the meter
// drops what follows before its next query). The port belongs to the
// instrument's owner and outlives the session; closing the session closes
// the port.
#include "factory/InstrumentSession.h"

namespace pv {

class SerialPort;

class SerialLineSession final : public InstrumentSession {
  Q_OBJECT
public:
  SerialLineSession(Clock& clock, SerialPort& port, const QString& path, qint32 baud,
                    QObject* parent = nullptr);
  // (Re)opens the port at the instrument's speed; that cannot hang.
  bool open(int timeoutMs) override;
  void close() override;
  // Open, and no error since (a pulled cable fails the next read at once).
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
