#pragma once
// The command-line tool owns the ports it makes; a LentPort lends it a test's
// in-memory port, which outlives the tool's run.
#include "link/MemorySerialPort.h"
#include "link/SerialPort.h"

namespace pv::test {

class LentPort final : public SerialPort {
public:
  explicit LentPort(MemorySerialPort& port) : port_(port) {
    connect(&port_, &SerialPort::readyRead, this, &SerialPort::readyRead);
  }
  bool open(const QString& path, OpenError* why, QString* detail) override { return port_.open(path, why, detail); }
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
