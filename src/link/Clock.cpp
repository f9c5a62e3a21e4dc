#include "link/Clock.h"
#include "link/SerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>

namespace pv {

static qint64 MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

SteadyClock::SteadyClock() : originNs_(MonotonicNs()) {}

qint64 SteadyClock::nowMs() { return (MonotonicNs() - originNs_) / 1000000; }

void SteadyClock::wait(qint64 ms, SerialPort* port) {
  if (ms <= 0) {
    QCoreApplication::processEvents();
    return;
  }
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  if (port) {
    QObject::connect(port, &SerialPort::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(port, &SerialPort::errorOccurred, &loop, &QEventLoop::quit);
  }
  timer.start(static_cast<int>(ms));
  loop.exec();
}

void FakeClock::wait(qint64 ms, SerialPort* /*port*/) {
  QCoreApplication::processEvents();
  const qint64 target = now_ + std::max<qint64>(ms, 0);
  if (!pending_.empty() && pending_.begin()->first <= target) {
    auto it = pending_.begin();
    const qint64 at = std::max(it->first, now_);
    auto action = std::move(it->second);
    pending_.erase(it);
    waited_ += at - now_;
    now_ = at;
    action();  // may deliver bytes: the caller looks again
    return;
  }
  waited_ += target - now_;
  now_ = target;
}

void FakeClock::schedule(qint64 atMs, std::function<void()> action) {
  pending_.emplace(atMs, std::move(action));
}

} // namespace pv
