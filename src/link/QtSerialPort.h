#pragma once
// The SerialPort on a real device, through QSerialPort.
#include "link/SerialPort.h"

#include <QSerialPort>

namespace pv {

class QtSerialPort final : public SerialPort {
  Q_OBJECT
public:
  explicit QtSerialPort(QObject* parent = nullptr);
  bool open(const QString& path, OpenError* why = nullptr, QString* detail = nullptr) override;
  void close() override;
  bool isOpen() const override;
  bool write(const QByteArray& bytes) override;
  QByteArray readAll() override;
  void clear() override;
  bool hasError() const override;

private:
  QSerialPort port_;
  bool failed_ = false;
};

} // namespace pv
