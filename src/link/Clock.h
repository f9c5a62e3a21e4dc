#pragma once
// Monotonic time and event-driven waiting. Waits keep the user interface
// alive (a local event loop) and wake early when the port has news; they
// never spin. Tests use FakeClock, whose time moves only when code waits.
#include <QtGlobal>
#include <functional>
#include <map>

namespace pv {

class SerialPort;

class Clock {
public:
  virtual ~Clock() = default;
  virtual qint64 nowMs() = 0;
  // Waits at most ms milliseconds; returns early when port (if given)
  // receives data or raises an error.
  virtual void wait(qint64 ms, SerialPort* port) = 0;
};

class SteadyClock final : public Clock {
public:
  SteadyClock();
  qint64 nowMs() override;
  void wait(qint64 ms, SerialPort* port) override;

private:
  qint64 originNs_;
};

// Simulated time. Scheduled actions run when a wait reaches their time,
// which is how a simulated device answers "later" in-process.
class FakeClock final : public Clock {
public:
  qint64 nowMs() override { return now_; }
  void wait(qint64 ms, SerialPort* port) override;
  void schedule(qint64 atMs, std::function<void()> action);
  void advance(qint64 ms) { wait(ms, nullptr); }
  qint64 waitedMs() const { return waited_; }

private:
  qint64 now_ = 0;
  qint64 waited_ = 0;
  std::multimap<qint64, std::function<void()>> pending_;
};

} // namespace pv
