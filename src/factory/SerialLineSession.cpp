#include "factory/SerialLineSession.h"

#include "link/SerialPort.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcInstr)

namespace pv {

SerialLineSession::SerialLineSession(Clock& clock, SerialPort& port, const QString& path, qint32 baud,
                                     QObject* parent)
    : InstrumentSession(clock, path, QByteArrayLiteral("\r\n"), parent), port_(port), baud_(baud) {
  connect(&port_, &SerialPort::readyRead, this, [this] { wake(); });
  connect(&port_, &SerialPort::errorOccurred, this, [this] { wake(); });
}

bool SerialLineSession::open(int /*timeoutMs*/) {
  port_.close();
  port_.setBaudRate(baud_);
  OpenError why = OpenError::None;
  QString detail;
  if (port_.open(resource(), &why, &detail)) return true;
  setError(detail);
  return false;
}

void SerialLineSession::close() { port_.close(); }

bool SerialLineSession::isOpen() const { return port_.isOpen() && !port_.hasError(); }

bool SerialLineSession::write(const QByteArray& message) {
  if (!port_.isOpen()) {
    setError(QStringLiteral("port not open"));
    return false;
  }
  qCDebug(lcInstr) << resource() << "out" << message;
  if (port_.write(message + "\r\n")) return true;
  setError(QStringLiteral("write failed"));
  return false;
}

void SerialLineSession::fill(QByteArray& buffer) {
  if (port_.isOpen()) buffer += port_.readAll();
}

} // namespace pv
