#include "SimulatorLink.h"

#include "link/Clock.h"
#include "link/MemorySerialPort.h"

#include <QDateTime>

namespace pv::sim {

SimulatorLink::SimulatorLink(DeviceSimulator& unit, MemorySerialPort& port, FakeClock* clock,
                             QObject* parent)
    : QObject(parent), unit_(unit), port_(port), clock_(clock),
      startedMs_(QDateTime::currentMSecsSinceEpoch()) {
  unit_.setSink([this](const QByteArray& bytes) { deliver(bytes); });
  unit_.setHangUp([this] { port_.raiseError(); });
  port_.setPeer([this](const QByteArray& bytes) { onWritten(bytes); });
  frameTimer_.setInterval(framePeriodMs_);
  connect(&frameTimer_, &QTimer::timeout, this, [this] {
    if (unit_.streaming()) unit_.emitFrame(now());
    else frameTimer_.stop();
  });
}

SimulatorLink::~SimulatorLink() {
  *alive_ = false;
  port_.setPeer({});
  unit_.setSink({});
  unit_.setHangUp({});
}

void SimulatorLink::setFramePeriodMs(int ms) {
  framePeriodMs_ = std::max(1, ms);
  frameTimer_.setInterval(framePeriodMs_);
}

qint64 SimulatorLink::now() const {
  return clock_ ? clock_->nowMs() : QDateTime::currentMSecsSinceEpoch() - startedMs_;
}

void SimulatorLink::onWritten(const QByteArray& bytes) {
  unit_.receive(bytes);
  if (unit_.streaming()) scheduleFrame();
}

void SimulatorLink::deliver(const QByteArray& bytes) {
  if (!clock_ || answerDelayMs_ <= 0) {
    port_.deliver(bytes);
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  clock_->schedule(clock_->nowMs() + answerDelayMs_, [this, alive, bytes] {
    if (auto a = alive.lock(); a && *a) port_.deliver(bytes);
  });
}

void SimulatorLink::scheduleFrame() {
  if (!clock_) {
    if (!frameTimer_.isActive()) frameTimer_.start();
    return;
  }
  if (frameScheduled_) return;
  frameScheduled_ = true;
  std::weak_ptr<bool> alive = alive_;
  clock_->schedule(clock_->nowMs() + framePeriodMs_, [this, alive] {
    auto a = alive.lock();
    if (!a || !*a) return;
    frameScheduled_ = false;
    if (!unit_.streaming()) return;
    unit_.emitFrame(clock_->nowMs());
    scheduleFrame();
  });
}

} // namespace pv::sim
