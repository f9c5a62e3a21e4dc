#include "link/QtSerialPort.h"

#include <QFileInfo>
#include <QLoggingCategory>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

Q_LOGGING_CATEGORY(lcLinkBytes, "link.bytes", QtWarningMsg)

namespace pv {

QtSerialPort::QtSerialPort(QObject* parent) : SerialPort(parent) {
  connect(&port_, &QSerialPort::readyRead, this, &SerialPort::readyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError) return;
    const bool first = !failed_;
    failed_ = true;
    // Bytes still queued would be retried on a dead line again and again.
    // (Clearing may raise the error once more: only the first one clears.)
    if (first && port_.isOpen()) port_.clear(QSerialPort::Output);
    emit errorOccurred();
  });
}

bool QtSerialPort::open(const QString& path, OpenError* why, QString* detail) {
  auto fail = [&](OpenError e) {
    if (why) *why = e;
    if (detail) *detail = port_.errorString();
    return false;
  };
  if (port_.isOpen()) port_.close();
  failed_ = false;
  // QSerialPort accepts a full device path as the port name.
  port_.setPortName(path);
  if (!port_.open(QIODevice::ReadWrite)) {
    switch (port_.error()) {
      case QSerialPort::DeviceNotFoundError: return fail(OpenError::Missing);
      case QSerialPort::PermissionError:
        // A port held by another program reports as a permission error too;
        // the file's own access rights tell the two apart.
        if (QFileInfo(path).exists() && !QFileInfo(path).isWritable())
          return fail(OpenError::Permission);
        return fail(OpenError::Busy);
      default: return fail(OpenError::Other);
    }
  }
#ifdef Q_OS_UNIX
  // QSerialPort's lock file is named after the path as given, and its
  // exclusive mode does not stop root: the same device opened through a
  // link and through its own name would be taken twice. A lock on the open
  // device itself holds whatever name reached it.
  if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0) {
    port_.close();
    if (why) *why = OpenError::Busy;
    if (detail) *detail = QStringLiteral("the device is already open in another program (through another name)");
    return false;
  }
#endif
  const bool ok = port_.setBaudRate(baudRate()) &&
                  port_.setDataBits(QSerialPort::Data8) && port_.setParity(QSerialPort::NoParity) &&
                  port_.setStopBits(QSerialPort::OneStop) &&
                  port_.setFlowControl(QSerialPort::NoFlowControl);
  port_.setReadBufferSize(0);  // unlimited: the scan never misses a byte
  if (!ok) {
    port_.close();
    return fail(OpenError::Other);
  }
  failed_ = false;
  port_.clear();
  if (why) *why = OpenError::None;
  return true;
}

void QtSerialPort::close() {
  if (port_.isOpen()) port_.close();
}

bool QtSerialPort::isOpen() const { return port_.isOpen(); }

bool QtSerialPort::write(const QByteArray& bytes) {
  if (!port_.isOpen() || failed_) return false;
  qCDebug(lcLinkBytes) << "out" << bytes.toHex(' ');
  if (port_.write(bytes) != bytes.size()) return false;
  // flush() hands the bytes to the driver now; on a pulled cable it fails
  // (and the error signal has set failed_), where write() alone says yes.
  const bool flushed = port_.flush() || port_.bytesToWrite() == 0;
  return flushed && !failed_;
}

QByteArray QtSerialPort::readAll() {
  if (!port_.isOpen()) return {};
  QByteArray in = port_.readAll();
  if (!in.isEmpty()) qCDebug(lcLinkBytes) << "in" << in.toHex(' ');
  return in;
}

void QtSerialPort::clear() {
  if (!port_.isOpen()) return;
  port_.readAll();
  port_.clear(QSerialPort::Input);
}

bool QtSerialPort::hasError() const { return failed_; }

} // namespace pv
