#pragma once
// Wires a DeviceSimulator to a MemorySerialPort in the same process.
//
// What the program writes reaches the simulator at once; answers arrive at
// once, or answerDelayMs later when a FakeClock is given (the clock runs the
// delivery when the program's wait reaches that time). Measurement frames
// follow each other every framePeriodMs of clock time. A hang-up fault makes
// the port raise its error, as a pulled cable does.
//
//   FakeClock clock;
//   MemorySerialPort port;
//   sim::DeviceSimulator unit;           // a KRV2212A
//   sim::SimulatorLink link(unit, port, &clock);
//   port.open("sim");
//   Transport transport(port, clock);
#include "DeviceSimulator.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace pv {
class MemorySerialPort;
class FakeClock;
}

namespace pv::sim {

class SimulatorLink : public QObject {
  Q_OBJECT
public:
  // Without a clock, frames are paced by a Qt timer on the event loop.
  SimulatorLink(DeviceSimulator& unit, MemorySerialPort& port, FakeClock* clock = nullptr,
                QObject* parent = nullptr);
  ~SimulatorLink() override;

  void setAnswerDelayMs(int ms) { answerDelayMs_ = ms; }
  void setFramePeriodMs(int ms);

private:
  void onWritten(const QByteArray& bytes);
  void deliver(const QByteArray& bytes);
  void scheduleFrame();
  qint64 now() const;

  DeviceSimulator& unit_;
  MemorySerialPort& port_;
  FakeClock* clock_;
  QTimer frameTimer_;
  int answerDelayMs_ = 0;
  int framePeriodMs_ = 100;
  bool frameScheduled_ = false;
  qint64 startedMs_;
  // Clock actions may outlive the link; they check this first.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace pv::sim
