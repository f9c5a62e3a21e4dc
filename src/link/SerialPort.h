#pragma once
// A serial port as the device link sees it: open with the fixed settings
// (8N1, no handshake, 9600 baud unless another speed is set), write, take
// what has arrived, clear. Reads never block. readyRead() wakes a waiting
// caller.
#include <QByteArray>
#include <QObject>
#include <QString>

namespace pv {

enum class OpenError { None, Missing, Busy, Permission, Other };

class SerialPort : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
  ~SerialPort() override = default;

  // Opens the device at path. On failure returns false and says why.
  virtual bool open(const QString& path, OpenError* why = nullptr, QString* detail = nullptr) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // False when the port is closed or the write failed.
  virtual bool write(const QByteArray& bytes) = 0;
  // Everything received so far, removed from the port; "" when nothing came.
  virtual QByteArray readAll() = 0;
  // Drops whatever is waiting in the receive buffer.
  virtual void clear() = 0;
  // True after the port raised an error since it was opened (device gone...).
  virtual bool hasError() const = 0;
  // Line speed used by the next open (9600 unless set); the bench supply
  // talks at 2400.
  void setBaudRate(qint32 baud) { baud_ = baud; }
  qint32 baudRate() const { return baud_; }

signals:
  void readyRead();
  void errorOccurred();

private:
  qint32 baud_ = 9600;
};

} // namespace pv
