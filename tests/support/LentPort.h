#pragma once
// The command-line tool and the gang station own the ports they make; a
// LentPort lends them a test's in-memory port, which outlives their run.
#include "link/MemorySerialPort.h"
#include "link/SerialPort.h"

#include <functional>

namespace pv::test {

class LentPort : public SerialPort {
public:
  explicit LentPort(MemorySerialPort& port) : port_(port) {
    connect(&port_, &SerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&port_, &SerialPort::errorOccurred, this, &SerialPort::errorOccurred);
  }
  // Told the path and speed each open asks for.
  std::function<void(const QString& path, qint32 baud)> onOpen;

  bool open(const QString& path, OpenError* why, QString* detail) override {
    if (onOpen) onOpen(path, baudRate());
    return port_.open(path, why, detail);
  }
  void close() override { port_.close(); }
  bool isOpen() const override { return port_.isOpen(); }
  bool write(const QByteArray& bytes) override { return port_.write(bytes); }
  QByteArray readAll() override { return port_.readAll(); }
  void clear() override { port_.clear(); }
  bool hasError() const override { return port_.hasError(); }

private:
  MemorySerialPort& port_;
};

} // namespace pv::test
