#pragma once
// A serial port as the device link sees it: open with the fixed settings
// (9600 8N1, no handshake), write, take what has arrived, clear. Reads never
// block. readyRead() wakes a waiting caller.
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

signals:
  void readyRead();
  void errorOccurred();
};

} // namespace pv
