#include "factory/MemorySession.h"

#include "link/Clock.h"

namespace pv {

void MemorySession::deliverLine(const QByteArray& line) {
  lines_.push_back(line);
  wake();
}

bool MemorySession::open(const QString& resource, int timeoutMs) {
  setResource(resource);
  if (!openFailure_.isEmpty()) {
    // A missing instrument takes the whole open time-out to give up.
    waitForNews(timeoutMs);
    setError(openFailure_);
    openFailure_.clear();
    return false;
  }
  open_ = true;
  lines_.clear();
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

std::optional<QByteArray> MemorySession::readLine(int timeoutMs) {
  return awaitLine(
      timeoutMs,
      [this]() -> std::optional<QByteArray> {
        if (lines_.empty()) return std::nullopt;
        QByteArray line = lines_.front();
        lines_.pop_front();
        return line;
      },
      [] { return QStringLiteral("session not open"); });
}

} // namespace pv
