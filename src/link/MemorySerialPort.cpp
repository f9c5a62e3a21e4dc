#include "link/MemorySerialPort.h"

namespace pv {

void MemorySerialPort::deliver(const QByteArray& bytes) {
  if (!open_ || bytes.isEmpty()) return;
  rx_ += bytes;
  emit readyRead();
}

void MemorySerialPort::raiseError() {
  failed_ = true;
  emit errorOccurred();
}

bool MemorySerialPort::open(const QString& path, OpenError* why, QString* detail) {
  if (nextOpenError_ != OpenError::None) {
    if (why) *why = nextOpenError_;
    if (detail) *detail = QStringLiteral("refused by test");
    nextOpenError_ = OpenError::None;
    return false;
  }
  path_ = path;
  open_ = true;
  failed_ = false;
  rx_.clear();
  if (why) *why = OpenError::None;
  return true;
}

void MemorySerialPort::close() {
  open_ = false;
  rx_.clear();
}

bool MemorySerialPort::write(const QByteArray& bytes) {
  if (!open_ || failed_) return false;
  if (peer_) peer_(bytes);
  return true;
}

QByteArray MemorySerialPort::readAll() {
  QByteArray out;
  out.swap(rx_);
  return out;
}

} // namespace pv
