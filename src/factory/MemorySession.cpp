#include "factory/MemorySession.h"

namespace pv {

void MemorySession::deliverLine(const QByteArray& line) {
  arrived_ += line + '\n';
  wake();
}

bool MemorySession::open(int timeoutMs) {
  if (!openFailure_.isEmpty()) {
    // A missing instrument takes the whole open time-out to give up.
    waitForNews(timeoutMs);
    setError(openFailure_);
    openFailure_.clear();
    return false;
  }
  open_ = true;
  arrived_.clear();
  buffer().clear();
  return true;
}

bool MemorySession::write(const QByteArray& message) {
  if (!open_) {
    setError(QStringLiteral("session not open"));
    return false;
  }
  messages_ << message;
  if (peer_) peer_(message);
  return true;
}

void MemorySession::fill(QByteArray& buffer) {
  buffer += arrived_;
  arrived_.clear();
}

} // namespace pv
