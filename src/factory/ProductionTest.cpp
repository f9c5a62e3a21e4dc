#include "factory/ProductionTest.h"

#include "factory/Instrument.h"
#include "kernel/AppState.h"
#include "kernel/AtomicFile.h"
#include "kernel/Catalogue.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/Transport.h"
#include "measure/FrameDisplay.h"
#include "text/Numbers.h"

#include <cmath>

namespace pv {

namespace {

// Runs of the bounce waveform: (last point, 1-based inclusive; value).
struct Run {
  int last;
  const char* value;
};
constexpr Run kBounceRuns[] = {{80, "1"},   {160, "0"},  {240, "1"},  {320, "0"},  {400, "1"},
                               {480, "0"},  {560, "1"},  {1760, "0"}, {1840, "1"}, {1920, "0"},
                               {2000, "1"}, {2080, "0"}, {2160, "1"}, {2240, "0"}, {4000, "1"}};

// Counts a running loop while alive.
class LoopCount {
public:
  explicit LoopCount(int& n) : n_(n) { ++n_; }
  ~LoopCount() { --n_; }

private:
  int& n_;
};

} // namespace

QStringList BounceWaveform() {
  QStringList points;
  points.reserve(4000);
  for (const Run& r : kBounceRuns)
    while (points.size() < r.last) points << QString::fromLatin1(r.value);
  return points;
}

std::optional<QByteArray> GeneratorFrequencyText(double hz) {
  if (!std::isfinite(hz) || hz < kGeneratorMinHz || hz > kGeneratorMaxHz) return std::nullopt;
  QByteArray text = QByteArray::number(hz, 'f', 6);
  while (text.endsWith('0')) text.chop(1);
  if (text.endsWith('.')) text.chop(1);
  return text;
}

std::optional<QByteArray> GeneratorFrequencyText(const QString& typed) {
  const auto hz = ParseReplyNumber(typed.toUtf8());
  if (!hz) return std::nullopt;
  return GeneratorFrequencyText(*hz);
}

QByteArrayList GeneratorCommands(GeneratorButton button, const QString& frequency) {
  if (button == GeneratorButton::On) return {"OUTPut ON"};
  if (button == GeneratorButton::Off) return {"OUTPut OFF"};
  const std::optional<QByteArray> hz = GeneratorFrequencyText(frequency);
  if (!hz) return {};
  const QByteArray freq = "FREQuency " + *hz;
  switch (button) {
    case GeneratorButton::On: return {"OUTPut ON"};
    case GeneratorButton::Off: return {"OUTPut OFF"};
    case GeneratorButton::Frequency: return {freq};
    case GeneratorButton::Ttl:
      return {"*RST", freq, "FUNCtion SQUARE", "VOLTage 5", "VOLTage:OFFSet 2.5", "OUTPut ON"};
    case GeneratorButton::Tacho:
      return {"*RST", freq, "FUNCtion SIN", "VOLTage 0.05", "VOLTage:OFFSet 0", "OUTPut ON"};
    case GeneratorButton::Bounce:
      return {"*RST",
              freq,
              "DATA VOLATILE, " + BounceWaveform().join(QLatin1Char(',')).toLatin1(),
              "DATA:COPY PULSE, VOLATILE",
              "FUNCtion:USER PULSE",
              "FUNCtion:SHAPe USER",
              "OUTPut:LOAD 50",
              "FREQuency 5000;VOLTage 5",
              "OUTPut ON"};
  }
  return {};
}

QByteArray SweepFrequencyCommand(double hz) {
  if (hz == 0) return "FREQuency 0.001";
  const std::optional<QByteArray> text = GeneratorFrequencyText(hz);
  return text ? "FREQuency " + *text : QByteArray();
}

QString FormatTestReading(double value) { return FormatNumber(value, QStringLiteral("##.###")); }

double FrameReading(const DeviceIdentity& id, const std::array<uint8_t, 15>& frame) {
  // Channel A's input where the frame carries it (the frequency on a
  // frequency-input unit), otherwise channel A's output count.
  const FrameValues v = DecodeFrame(id, frame);
  const int at = InputValueIndex(id, 0);
  return v.value[static_cast<size_t>(at >= 0 ? at : 0)];
}

ProductionTest::ProductionTest(AppState& state, DeviceCommands& commands, Clock& clock,
                               FunctionGenerator& generator, QObject* parent)
    : QObject(parent), state_(state), commands_(commands), clock_(clock), generator_(generator) {}

bool ProductionTest::generatorWrite(const QByteArray& command) {
  if (generator_.write(command)) return true;
  error_ = generator_.lastError();
  return false;
}

int PressGeneratorButton(FunctionGenerator& generator, GeneratorButton button,
                         const QString& frequency) {
  // The bounce data needs the long time-out, the rest the usual one.
  generator.setIoTimeoutMs(button == GeneratorButton::Bounce ? kBounceIoTimeoutMs
                                                             : kGeneratorOpenMs);
  const QByteArrayList commands = GeneratorCommands(button, frequency);
  if (commands.isEmpty()) {
    generator.refuseValue(frequency);
    return -1;
  }
  if (!generator.open()) return -1;
  for (const QByteArray& c : commands)
    if (!generator.write(c)) return -1;
  return static_cast<int>(commands.size());
}

bool ProductionTest::PressGenerator(GeneratorButton button, const QString& frequency) {
  error_.clear();
  if (PressGeneratorButton(generator_, button, frequency) >= 0) return true;
  error_ = generator_.lastError();
  return false;
}

bool ProductionTest::exclusive(bool measuring, const std::function<void()>& body) {
  refused_ = false;
  logFailed_ = false;
  if (!link_) {
    body();
    return true;
  }
  // Streaming loops count as a measurement, so the main window's Stop and
  // Start/Stop treat them as one; forcing is a unit command of its own.
  refused_ = !link_->runPreemptible(measuring ? Exchange::Measure : Exchange::Command, body,
                                    [this] { stopAll(); });
  return !refused_;
}

bool ProductionTest::ForceOutputs(ForceChannel which, int codeA, int codeB) {
  bool ok = false;
  return exclusive(false, [&] { ok = forceBody(which, codeA, codeB); }) && ok;
}

bool ProductionTest::RunStability(double reference, double tolerance) {
  return exclusive(true, [&] { stabilityBody(reference, tolerance); });
}

bool ProductionTest::RunLinearity(const SweepSettings& sweep, const QString& logPath) {
  bool ok = false;
  return exclusive(true, [&] { ok = linearityBody(sweep, logPath); }) && ok;
}

bool ProductionTest::forceBody(ForceChannel which, int codeA, int codeB) {
  LoopCount count(loops_);
  error_.clear();
  if (!commands_.EnterProgramming()) return false;
  forcing_ = true;
  state_.commError = false;
  while (forcing_ && !state_.commError && !state_.exitFlag) {
    if (which != ForceChannel::B) commands_.SetOutputLevel(codeA);
    if (which != ForceChannel::A && !state_.commError) commands_.SetOutputLevelAlt(codeB);
    if (state_.commError) break;
    commands_.transport().Pause(0.1);
  }
  const bool answered = !state_.commError;
  forcing_ = false;
  // Leave programming mode even after a failure, so the unit runs again.
  const bool ended = commands_.EndProgramming();
  if (closing_) generatorOff();
  closing_ = false;
  return answered && ended;
}

void ProductionTest::stabilityBody(double reference, double tolerance) {
  LoopCount count(loops_);
  commands_.StartMeasure();
  state_.measureRunning = true;
  bool red = false;
  while (state_.measureRunning && !state_.exitFlag) {
    red = !red;
    emit lampBlink(red);
    const FrameBytes frame = commands_.ReadMeasureFrame();
    if (frame[0] != 0) break;
    const double reading = FrameReading(state_.identity, frame);
    if (std::abs(reading - reference) > tolerance) emit resultLine(FormatTestReading(reading));
  }
  state_.measureRunning = false;
  emit lampBlink(false);
  // The unit stops streaming before the link is handed on.
  commands_.StopMeasure();
  if (closing_) generatorOff();
  closing_ = false;
}

bool ProductionTest::linearityBody(const SweepSettings& sweep, const QString& logPath) {
  LoopCount count(loops_);
  error_.clear();
  if (!(sweep.stepHz > 0)) {
    // A step of zero or less would never reach the end.
    error_ = QStringLiteral("the sweep step must be greater than 0");
    return false;
  }
  if (!(sweep.startHz >= 0) || !(sweep.endHz <= kGeneratorMaxHz)) {
    // Nothing reaches the generator that it cannot take.
    generator_.refuseValue(NumToText(sweep.startHz < 0 ? sweep.startHz : sweep.endHz).trimmed());
    error_ = generator_.lastError();
    return false;
  }
  generator_.setIoTimeoutMs(kGeneratorOpenMs);
  for (const char* c : {"*RST", "FUNCtion SQUARE", "VOLTage 5", "VOLTage:OFFSet 0", "OUTPut ON"})
    if (!generatorWrite(c)) {
      generatorOff();
      return false;
    }
  commands_.StartMeasure();
  state_.measureRunning = true;
  QByteArray log;
  bool ok = true;
  // Points are counted rather than summed so a step like 0.1 never drifts
  // past the end point.
  for (int i = 0; state_.measureRunning && !state_.exitFlag; ++i) {
    const double f = sweep.startHz + i * sweep.stepHz;
    if (f > sweep.endHz + sweep.stepHz * 1e-9) break;
    const QByteArray command = SweepFrequencyCommand(f);
    if (command.isEmpty()) break;
    if (!generatorWrite(command)) {
      ok = false;
      break;
    }
    commands_.transport().Pause(sweep.delayStepS);
    const qint64 start = clock_.nowMs();
    const qint64 span = std::llround(sweep.delayMeasureS * 1000.0);
    // At least one frame per point, however short the measuring time.
    do {
      if (!state_.measureRunning || state_.exitFlag) break;
      const FrameBytes frame = commands_.ReadMeasureFrame();
      if (frame[0] != 0) {
        state_.measureRunning = false;
        break;
      }
      const double reading = FrameReading(state_.identity, frame);
      const QString shown = FormatTestReading(reading);
      emit readingShown(shown);
      log += NumToText(f).trimmed().toLatin1() + '\t' + shown.toLatin1() + "\r\n";
      if (std::abs(reading - f) > sweep.toleranceHz)
        emit resultLine(NumToText(f).trimmed() + QStringLiteral("-->") + shown);
    } while (clock_.nowMs() - start < span);
  }
  state_.measureRunning = false;
  commands_.StopMeasure();
  // The sweep switched the generator on; however it ends, it goes off.
  generatorOff();
  closing_ = false;
  QString why;
  if (!SaveAtomically(logPath, log, &why)) {
    error_ = why;
    logFailed_ = true;
    return false;
  }
  return ok;
}

void ProductionTest::stopAll() {
  forcing_ = false;
  state_.measureRunning = false;
}

void ProductionTest::generatorOff() {
  // Only a session the test opened: a generator that was never reached is
  // not looked for now.
  if (generator_.isOpen()) generator_.write("OUTPut OFF");
}

void ProductionTest::close() {
  stopAll();
  // A running loop switches it off as it ends.
  if (looping()) closing_ = true;
  else generatorOff();
}

} // namespace pv
