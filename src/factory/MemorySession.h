#pragma once
// An in-memory instrument session for tests: each message written goes to a
// peer, the peer's lines are queued for reading. With no answer queued,
// readLine waits on the clock until its time-out, so a silent instrument
// under FakeClock costs no real time.
#include "factory/InstrumentSession.h"

#include <QByteArrayList>

namespace pv {

class MemorySession final : public InstrumentSession {
  Q_OBJECT
public:
  using Peer = std::function<void(const QByteArray& message)>;
  explicit MemorySession(Clock& clock, const QString& resource = {}, QObject* parent = nullptr)
      : InstrumentSession(clock, resource, QByteArrayLiteral("\n"), parent) {}

  void setPeer(Peer peer) { peer_ = std::move(peer); }
  // A line from the instrument (without its ending).
  void deliverLine(const QByteArray& line);
  // Makes the next open fail with this text (a missing instrument).
  void failNextOpen(const QString& why) { openFailure_ = why; }
  // Every message written since the session was made, in order.
  const QByteArrayList& messages() const { return messages_; }

  bool open(int timeoutMs) override;
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  bool write(const QByteArray& message) override;

protected:
  void fill(QByteArray& buffer) override;

private:
  Peer peer_;
  QByteArray arrived_;
  QByteArrayList messages_;
  QString openFailure_;
  bool open_ = false;
};

} // namespace pv
