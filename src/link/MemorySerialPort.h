#pragma once
// An in-memory serial port. What the program writes goes to a peer (the
// device simulator in tests); what the peer sends is queued for reading.
#include "link/SerialPort.h"

#include <functional>

namespace pv {

class MemorySerialPort final : public SerialPort {
  Q_OBJECT
public:
  using Peer = std::function<void(const QByteArray&)>;
  explicit MemorySerialPort(QObject* parent = nullptr) : SerialPort(parent) {}

  // Called with every chunk the program writes.
  void setPeer(Peer peer) { peer_ = std::move(peer); }
  // Bytes arriving from the peer.
  void deliver(const QByteArray& bytes);
  // Makes the next open fail the given way (tests).
  void failNextOpen(OpenError why) { nextOpenError_ = why; }
  // The cable is pulled: the port raises an error and stays failed.
  void raiseError();
  QString openedPath() const { return path_; }

  bool open(const QString& path, OpenError* why = nullptr, QString* detail = nullptr) override;
  void close() override;
  bool isOpen() const override { return open_; }
  bool write(const QByteArray& bytes) override;
  QByteArray readAll() override;
  void clear() override { rx_.clear(); }
  bool hasError() const override { return failed_; }

private:
  Peer peer_;
  QByteArray rx_;
  QString path_;
  OpenError nextOpenError_ = OpenError::None;
  bool open_ = false;
  bool failed_ = false;
};

} // namespace pv
