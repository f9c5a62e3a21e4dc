#pragma once
// The calibration tests' station with its unit answering after the time its
// answer takes on a 9600-baud line, every question answered OK, and a clock
// that splits the simulated time into pauses (nothing awaited) and waits for
// an answer.
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "support/BenchStation.h"

namespace pv::benchmark {

class CountingClock final : public Clock {
public:
  qint64 nowMs() override { return inner.nowMs(); }
  void wait(qint64 ms, SerialPort* port) override {
    const qint64 before = inner.nowMs();
    inner.wait(ms, port);
    (port ? answerMs : pauseMs) += inner.nowMs() - before;
  }
  FakeClock inner;
  qint64 pauseMs = 0, answerMs = 0;
};

inline FakeClock* SimulatedTime(CountingClock& clock) { return &clock.inner; }

class Answers final : public Prompter {
public:
  Answer ask(const QString&, const QString&, Buttons, Icon) override { return Answer::Ok; }
  std::optional<QString> askText(const QString&, const QString&, const QString&) override { return std::nullopt; }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
};

// A "$R" (6 bytes) and its answer (8 bytes) at 9600 baud, 10 bits a byte.
constexpr int kAnswerMs = 15;

// A nominal unit, someone at the bench for the switch check.
struct LineSpeedStation : test::BenchStation<CountingClock, Answers> {
  explicit LineSpeedStation(const ModelRow& model)
      : BenchStation(model, bench::NominalTruth(model, 0), [] {
          bench::BenchFaults f;
          f.dipOperator = true;
          return f;
        }()) {
    link.setAnswerDelayMs(kAnswerMs);
  }
};

} // namespace pv::benchmark
